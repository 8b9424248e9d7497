// The entropy and codec actions through RunModule: exact replies for known
// values, the failures of each export, and the request numbers and empty
// inputs that must not reach an export as a huge buffer or a null pointer.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "reply_text_testing.h"

namespace {

using rtt::Case;

bool IsLowerHex(const std::string& s) { return s.find_first_not_of("0123456789abcdef") == std::string::npos; }

TEST(GenEntropy, LengthsAndFreshBytes) {
  std::set<std::string> seen;
  for (const char* entlen : {"32", "0x20"}) {
    const rtt::Reply r = rtt::Run("GenEntropy", std::string(R"({"entlen":")") + entlen + R"("})");
    const std::string head = std::string(R"({"entlen":")") + entlen + R"(","entropy":"0x)";
    ASSERT_EQ(r.rc, 0) << r.envelope;
    ASSERT_EQ(r.ret.compare(0, head.size(), head), 0) << r.ret;
    const std::string hex = r.ret.substr(head.size(), r.ret.size() - head.size() - 2);
    EXPECT_EQ(hex.size(), 64u) << r.ret;
    EXPECT_TRUE(IsLowerHex(hex)) << r.ret;
    EXPECT_EQ(r.ret.substr(r.ret.size() - 2), "\"}");
    seen.insert(hex);
  }
  EXPECT_EQ(seen.size(), 2u) << "two draws gave the same bytes";

  const rtt::Reply max = rtt::Run("GenEntropy", R"({"entlen":"2048"})");
  EXPECT_EQ(max.rc, 0);
  EXPECT_EQ(max.ret.size(), std::string(R"({"entlen":"2048","entropy":"0x"})").size() + 4096) << max.ret;
}

// A count above 2048 is refused by the export; one near 2^31 must be
// refused the same way, without a buffer of that size being made first.
constexpr char kEntropyRefused[] =
    R"(","err_msg":"$ERR(GenEntropy)[BCMGenEntropy][GenerateEntropy:429<-BCMGenEntropy:449][(bc-vantrel GenerateEntropy error)]"})";

TEST(GenEntropy, Replies) {
  const std::string refused2049 = std::string(R"({"err_code":"215","entlen":"2049)") + kEntropyRefused;
  const std::string refusedMax = std::string(R"({"err_code":"215","entlen":"2147483647)") + kEntropyRefused;
  const std::string refusedHex = std::string(R"({"err_code":"215","entlen":"0x7fffffff)") + kEntropyRefused;
  const Case cases[] = {
      // No count, a number value or another "args" type: 0 bytes, an empty value.
      {"GenEntropy", R"({})", R"({"err_code":"100","err_msg":"entlen must be at least 1"})"},
      {"GenEntropy", R"({"entlen":"0"})", R"({"err_code":"100","err_msg":"entlen must be at least 1"})"},
      {"GenEntropy", R"({"entlen":32})", R"({"err_code":"100","err_msg":"entlen is not a JSON string"})"},
      {"GenEntropy", R"([])", R"({"err_code":"100","err_msg":"entlen must be at least 1"})"},
      {"GenEntropy", R"({"entlen":"32x"})", R"({"err_code":"100","err_msg":"entlen is not a number"})"},
      {"GenEntropy", R"({"entlen":"2049"})", refused2049.c_str()},
      {"GenEntropy", R"({"entlen":"2147483647"})", refusedMax.c_str()},
      {"GenEntropy", R"({"entlen":"0x7fffffff"})", refusedHex.c_str()},
      // Numbers the helpers cannot read are answered by the dispatcher.
      {"GenEntropy", R"({"entlen":"2147483648"})", R"({"err_code":"100","err_msg":"number is out of range"})"},
      {"GenEntropy", R"({"entlen":"0x"})", R"({"err_code":"100","err_msg":"number has no digits"})"},
  };
  rtt::ExpectReplies(cases);
}

TEST(GenBase64, Replies) {
  const Case cases[] = {
      // RFC 4648 values; "data" without "0x" is encoded as its own characters.
      {"GenBase64", R"({"isenc":"TrUe","data":"0x616263"})", R"({"isenc":"TrUe","data":"0x616263","encode":"YWJj"})"},
      {"GenBase64", R"({"isenc":"true","data":"abc"})", R"({"isenc":"true","data":"abc","encode":"YWJj"})"},
      {"GenBase64", R"({"isenc":"true","data":"foobar"})", R"({"isenc":"true","data":"foobar","encode":"Zm9vYmFy"})"},
      {"GenBase64", R"({"isenc":"true","data":"0x666f"})", R"({"isenc":"true","data":"0x666f","encode":"Zm8="})"},
      {"GenBase64", R"({"isenc":"true","data":"f"})", R"({"isenc":"true","data":"f","encode":"Zg=="})"},
      // Empty data is an empty input, not a missing one.
      {"GenBase64", R"({"isenc":"true","data":""})", R"({"isenc":"true","data":"","encode":""})"},
      {"GenBase64", R"({"isenc":"true"})", R"({"isenc":"true","data":"","encode":""})"},
      // Anything but "true" decodes.
      {"GenBase64", R"({"data":"YWJj"})", R"({"isenc":"","data":"YWJj","decode":"0x616263"})"},
      {"GenBase64", R"({"isenc":"yes","data":"Zm9vYmFy"})", R"({"isenc":"yes","data":"Zm9vYmFy","decode":"0x666f6f626172"})"},
      {"GenBase64", R"({"isenc":"false","data":"Y"})",
       R"({"err_code":"250","isenc":"false","data":"Y","err_msg":"$ERR(GenBase64Decode)[BCMGenBase64Decode][Base64Decode:159<-BCMGenBase64Decode:249][(bc-module Base64Decode error)]"})"},
      {"GenBase64", R"({"isenc":"false","data":""})",
       R"({"err_code":"250","isenc":"false","data":"","err_msg":"$ERR(GenBase64Decode)[BCMGenBase64Decode][Base64Decode:167<-BCMGenBase64Decode:249][(bc-module Base64Decode error)]"})"},
  };
  rtt::ExpectReplies(cases);
}

TEST(GenBase58, Replies) {
  const Case cases[] = {
      // Version 0 and a public-key hash: a Bitcoin address, and the same
      // bytes in the XRP alphabet; the XRP genesis account.
      {"GenBase58", R"({"isenc":"TRUE","data":"0x00010966776006953d5567439e5e39f86a0d273bee"})",
       R"({"isenc":"TRUE","data":"0x00010966776006953d5567439e5e39f86a0d273bee","isxrp":"","encode":"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvM"})"},
      {"GenBase58", R"({"isenc":"true","data":"0x00010966776006953d5567439e5e39f86a0d273bee","isxrp":"true"})",
       R"({"isenc":"true","data":"0x00010966776006953d5567439e5e39f86a0d273bee","isxrp":"true","encode":"ra7ALL9R51csQCPqB7vKoCHmBQfAMtjvM"})"},
      {"GenBase58", R"({"data":"rHb9CJAWyB4rj91VRWn96DkukG4bwdtyTh","isxrp":"True"})",
       R"({"isenc":"","data":"rHb9CJAWyB4rj91VRWn96DkukG4bwdtyTh","isxrp":"True","decode":"0x00b5f762798a53d543a014caf8b297cff8f2f937e8"})"},
      {"GenBase58", R"({"isenc":"false","data":"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvM"})",
       R"({"isenc":"false","data":"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvM","isxrp":"","decode":"0x00010966776006953d5567439e5e39f86a0d273bee"})"},
      {"GenBase58", R"({"isenc":"true","data":"abc"})", R"({"isenc":"true","data":"abc","isxrp":"","encode":"4h3c6RH52R"})"},
      // An empty payload still has its checksum.
      {"GenBase58", R"({"isenc":"true","data":""})", R"({"isenc":"true","data":"","isxrp":"","encode":"3QJmnh"})"},
      {"GenBase58", R"({"data":"3QJmnh"})", R"({"isenc":"","data":"3QJmnh","isxrp":"","decode":""})"},
      // Wrong checksum (last character changed).
      {"GenBase58", R"({"data":"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvN"})",
       R"({"err_code":"291","isenc":"","data":"16UwLL9Risc3QfPqBUvKofHmBQ7wMtjvN","isxrp":"","err_msg":"$ERR(GenBase58CheckDecode)[BCMGenBase58CheckDecode][Base58CheckDecode:369<-BCMGenBase58CheckDecode:334][(bc-module Base58CheckDecode error)]"})"},
      // Texts that decode to fewer bytes than the checksum.
      {"GenBase58", R"({"data":"1"})",
       R"({"err_code":"291","isenc":"","data":"1","isxrp":"","err_msg":"$ERR(GenBase58CheckDecode)[BCMGenBase58CheckDecode][Base58CheckDecode:357<-BCMGenBase58CheckDecode:334][(bc-module Base58CheckDecode error)]"})"},
      {"GenBase58", R"({"data":"Ldp"})",
       R"({"err_code":"291","isenc":"","data":"Ldp","isxrp":"","err_msg":"$ERR(GenBase58CheckDecode)[BCMGenBase58CheckDecode][Base58CheckDecode:357<-BCMGenBase58CheckDecode:334][(bc-module Base58CheckDecode error)]"})"},
      {"GenBase58", R"({"data":""})",
       R"({"err_code":"291","isenc":"","data":"","isxrp":"","err_msg":"$ERR(GenBase58CheckDecode)[BCMGenBase58CheckDecode][Base58CheckDecode:345<-BCMGenBase58CheckDecode:334][(bc-module Base58CheckDecode error)]"})"},
      // Not in the alphabet.
      {"GenBase58", R"({"data":"0OIl"})",
       R"({"err_code":"291","isenc":"","data":"0OIl","isxrp":"","err_msg":"$ERR(GenBase58CheckDecode)[BCMGenBase58CheckDecode][DecodeBase58:228<-Base58CheckDecode:354<-BCMGenBase58CheckDecode:334][(bc-module Base58CheckDecode error)]"})"},
  };
  rtt::ExpectReplies(cases);
}

// Echoed texts with quotes, backslashes and control characters stay valid
// JSON, and the values reach the codec as they were sent.
TEST(GenBase64, EchoIsEscaped) {
  const rtt::Reply r = rtt::Run("GenBase64", R"({"isenc":"true","data":"a\"b\\c\n"})");
  EXPECT_EQ(r.ret, R"({"isenc":"true","data":"a\"b\\c\n","encode":"YSJiXGMK"})");
}

}  // namespace
