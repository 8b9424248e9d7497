// Requests whose arguments cannot be read as the caller meant them are
// refused with the fixed error object naming the argument; nothing is
// hashed, signed, encrypted or generated over data the caller never sent.
#include <gtest/gtest.h>

#include <openssl/sha.h>

#include <string>

#include "actions_reply_testing.h"
#include "tv_test.h"

namespace {

std::string Refusal(const std::string& message) { return R"({"err_code":"100","err_msg":")" + message + "\"}"; }

const char kKey[] = "0x000102030405060708090a0b0c0d0e0f";
const char kPri[] = "0x0000000000000000000000000000000000000000000000000000000000000001";

TEST(RequestArgs, UnreadableArgumentsAreRefused) {
  const std::string aesBase = std::string(R"("isenc":"true","mode":"CBC","padding":"PKCS7_PAD","key":")") + kKey +
                              R"(","iv":")" + kKey + "\"";
  const struct {
    const char* action;
    std::string args;
    const char* message;
  } cases[] = {
      // "0x" texts with characters that are not hex digits.
      {"GenHashMessage", R"({"hashalgo":"SHA256","data":"0xzz"})", "data is not hex text"},
      {"GenSignature", std::string(R"({"algo":"SECP256K1","pri":")") + kPri + R"(","data":"0xnot-hex","hashalgo":"SHA256"})",
       "data is not hex text"},
      {"GenSignature", R"({"algo":"SECP256K1","pri":"0x01zz","data":"0x00"})", "pri is not hex text"},
      {"GenAES", "{" + aesBase + R"(,"data":"0xgg"})", "data is not hex text"},
      {"GenHMac", R"({"hashalgo":"SHA256","key":"0xk","data":"0x00"})", "key is not hex text"},
      // Counts that are not number texts, or no texts at all.
      {"GenEntropy", R"({"entlen":16})", "entlen is not a JSON string"},
      {"GenEntropy", R"({"entlen":"-1"})", "entlen is not a number"},
      {"GenEntropy", R"({"entlen":"16.5"})", "entlen is not a number"},
      {"GenEntropy", R"({"entlen":"1e308"})", "entlen is not a number"},
      {"GenEntropy", R"({"entlen":" 16"})", "entlen is not a number"},
      {"GenEntropy", R"({"entlen":null})", "entlen is not a JSON string"},
      {"GenEntropy", "{}", "entlen must be at least 1"},
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"p","salt":"s","iterator":"1k","outlen":"32"})",
       "iterator is not a number"},
      {"GenScrypt", R"({"password":"p","salt":"s","N":"16","r":"1","p":"1","outlen":true})", "outlen is not a JSON string"},
      // NUL characters: a text is never cut short at one.
      {"GenPBKDF2", R"({"hashalgo":"SHA256","password":"pass\u0000word","salt":"s","iterator":"1","outlen":"32"})",
       "password holds a NUL character"},
      {"GenScrypt", R"({"password":"p","salt":"s\u0000t","N":"16","r":"1","p":"1","outlen":"32"})",
       "salt holds a NUL character"},
      {"ChkMNemonicValid",
       R"({"mnemonic":"abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about\u0000junk"})",
       "mnemonic holds a NUL character"},
      {"GenHashMessage", R"({"hashalgo":"SHA256\u0000","data":"abc"})", "hashalgo holds a NUL character"},
  };
  for (const auto& c : cases) actt::ExpectReply(c.action, c.args, 100, Refusal(c.message));
}

// The readings callers use on purpose stay as they were.
TEST(RequestArgs, DocumentedReadingsStay) {
  const struct {
    const char* data;  // as sent
    std::string bytes;  // what is hashed
  } cases[] = {
      {nullptr, ""},         // missing: the empty message
      {"", ""},              // empty
      {"zz", "zz"},          // without "0x": its own bytes
      {"0x", ""},            // the prefix alone: no bytes
      {"0xABC", "\x0a\xbc"},  // odd count: a leading 0; upper-case digits
  };
  for (const auto& c : cases) {
    std::string args = R"({"hashalgo":"sha256")";
    if (c.data != nullptr) args += std::string(R"(,"data":")") + c.data + "\"";
    args += "}";
    const actt::Reply r = actt::Send(R"({"action":"GenHashMessage","args":)" + args + "}");
    ASSERT_EQ(r.rc, 0) << args;
    unsigned char md[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), md);
    EXPECT_EQ(actt::ParseStrict(r.envelope)["return"]["md"].asString(), "0x" + tvt::Hex(md, sizeof md)) << args;
  }
}

}  // namespace
