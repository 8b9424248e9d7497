// Mnemonic actions through RunModule: exact replies for the public BIP39
// vectors, the echo in front of every result and error, empty inputs, and
// the error objects of bad requests.
#include <gtest/gtest.h>

#include <string>

#include "actions_reply_testing.h"
#include "tv_test.h"

namespace {

using actt::CoreErr;
using actt::ExpectReply;

const std::string kAbout =
    "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";

std::string Arg(const std::string& key, const std::string& value) {
  return "\"" + key + "\":\"" + value + "\"";
}

TEST(MnemonicActions, Bip39VectorsThroughEveryAction) {
  const Json::Value vectors = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"];
  ASSERT_GE(vectors.size(), 24u);
  for (const Json::Value& v : vectors) {
    const std::string entropy = "0x" + v[0].asString();
    const std::string mnemonic = v[1].asString();
    const std::string seed = "0x" + v[2].asString();
    SCOPED_TRACE(mnemonic);
    ExpectReply("GenMNemonic", "{" + Arg("entropy", entropy) + "}", 0,
                "{" + Arg("entropy", entropy) + "," + Arg("mnemonic", mnemonic) + "}");
    ExpectReply("ChkMNemonicValid", "{" + Arg("mnemonic", mnemonic) + "}", 0,
                "{" + Arg("mnemonic", mnemonic) + R"(,"valid":"true"})");
    ExpectReply("ConvMNemonicToEntropy", "{" + Arg("mnemonic", mnemonic) + "}", 0,
                "{" + Arg("mnemonic", mnemonic) + "," + Arg("entropy", entropy) + "}");
    ExpectReply("ConvMnemonicToSeed", "{" + Arg("mnemonic", mnemonic) + "," + Arg("passpharse", "TREZOR") + "}", 0,
                "{" + Arg("mnemonic", mnemonic) + "," + Arg("passpharse", "TREZOR") + "," + Arg("seed", seed) + "}");
  }
}

TEST(MnemonicActions, RepliesForEdgeInputs) {
  // BIP39 seed of kAbout with the empty passphrase.
  const std::string emptyPassSeed =
      "0x5eb00bbddcf069084889a8ab9155568165f5c453ccb85e70811aaed6f6da5fc19a5ac40b389cd370d086206dec8aa6c43daea6690f20"
      "ad3d8d48b2d2ce9e38e4";
  const struct {
    const char* action;
    std::string args;
    std::string object;
  } cases[] = {
      // A missing or empty passphrase is the empty passphrase, not a missing one.
      {"ConvMnemonicToSeed", "{" + Arg("mnemonic", kAbout) + "}",
       "{" + Arg("mnemonic", kAbout) + R"(,"passpharse":"",)" + Arg("seed", emptyPassSeed) + "}"},
      {"ConvMnemonicToSeed", "{" + Arg("mnemonic", kAbout) + "," + Arg("passpharse", "") + "}",
       "{" + Arg("mnemonic", kAbout) + R"(,"passpharse":"",)" + Arg("seed", emptyPassSeed) + "}"},
      {"ChkMNemonicValid", "{}", R"({"mnemonic":"","valid":"false"})"},
      {"ChkMNemonicValid", R"({"mnemonic":"abandon"})", R"({"mnemonic":"abandon","valid":"false"})"},
      // Twelve known words with a wrong checksum.
      {"ChkMNemonicValid", R"({"mnemonic":"abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon"})",
       R"({"mnemonic":"abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon","valid":"false"})"},
      // Echoed texts are escaped, so the reply stays JSON.
      {"ChkMNemonicValid", R"({"mnemonic":"ab\"and\\on\n"})", R"({"mnemonic":"ab\"and\\on\n","valid":"false"})"},
      {"ChkMNemonicWordValid", R"({"word":"zoo"})", R"({"word":"zoo","valid":"true"})"},
      {"ChkMNemonicWordValid", R"({"word":"abandon"})", R"({"word":"abandon","valid":"true"})"},
      {"ChkMNemonicWordValid", R"({"word":"Zoo"})", R"({"word":"Zoo","valid":"false"})"},
      {"ChkMNemonicWordValid", R"({"word":""})", R"({"word":"","valid":"false"})"},
      // Entropy without the "0x" prefix is its own bytes.
      {"GenMNemonic", R"({"entropy":"abcdefghijklmnop"})",
       R"({"entropy":"abcdefghijklmnop","mnemonic":"gesture basic suit skull grid reflect pizza estate hockey hidden orange tiger"})"},
  };
  for (const auto& c : cases) ExpectReply(c.action, c.args, 0, c.object);
  // A value that is no string, or a text cut short by a NUL, is refused
  // rather than read as something else.
  ExpectReply("ConvMnemonicToSeed", "{" + Arg("mnemonic", kAbout) + R"(,"passpharse":7})", 100,
              R"({"err_code":"100","err_msg":"passpharse is not a JSON string"})");
  ExpectReply("ConvMnemonicToSeed", "{" + Arg("mnemonic", kAbout) + R"(,"passpharse":"TREZOR\u0000x"})", 100,
              R"({"err_code":"100","err_msg":"passpharse holds a NUL character"})");
  ExpectReply("ChkMNemonicWordValid", R"({"word":["zoo"]})", 100,
              R"({"err_code":"100","err_msg":"word is not a JSON string"})");
  ExpectReply("ChkMNemonicWordValid", R"({"word":"zoo\u0000x"})", 100,
              R"({"err_code":"100","err_msg":"word holds a NUL character"})");
  // ...the same mnemonic as the hex of those bytes.
  ExpectReply("GenMNemonic", R"({"entropy":"0x6162636465666768696a6b6c6d6e6f70"})", 0,
              R"({"entropy":"0x6162636465666768696a6b6c6d6e6f70","mnemonic":"gesture basic suit skull grid reflect pizza estate hockey hidden orange tiger"})");
  // Checks answer through "valid" even without "args".
  const actt::Reply r = actt::Send(R"({"action":"ChkMNemonicWordValid"})");
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.envelope, actt::Envelope("ChkMNemonicWordValid", true, R"({"word":"","valid":"false"})"));
}

TEST(MnemonicActions, BadRequestsGiveTheirErrorObjects) {
  const std::string zeros64(128, '0');
  std::string longText = "abandon";
  for (int i = 0; i < 39; ++i) longText += " abandon";  // 319 characters
  const std::string badChecksum =
      "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon";
  const std::string unknownWord =
      "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon xyzzy";
  auto entropyErr = [](const std::string& echo, const std::string& trail) {
    return R"({"err_code":"506","entropy":")" + echo + R"(","err_msg":")" + CoreErr("GenMnemonic", trail) + "\"}";
  };
  auto toEntropyErr = [](const std::string& echo, const std::string& trail) {
    return R"({"err_code":"550","mnemonic":")" + echo + R"(","err_msg":")" +
           CoreErr("ConvMNemonicToEntropy", trail) + "\"}";
  };
  const std::string size0 = "[BCMGenMnemonic][BCMGenMnemonic:931][(entropy size is not support [0] make mnemonic)]";
  const struct {
    const char* action;
    std::string args;
    int code;
    std::string object;
  } cases[] = {
      // An empty entropy reaches the export as zero bytes, not as a missing buffer.
      {"GenMNemonic", R"({"entropy":""})", 506, entropyErr("", size0)},
      {"GenMNemonic", "{}", 506, entropyErr("", size0)},
      {"GenMNemonic", R"({"entropy":"0x"})", 506, entropyErr("0x", size0)},
      // Bad hex is refused, not converted to no bytes.
      {"GenMNemonic", R"({"entropy":"0x00zz"})", 100, R"({"err_code":"100","err_msg":"entropy is not hex text"})"},
      {"GenMNemonic", R"({"entropy":"0x0"})", 506,
       entropyErr("0x0", "[BCMGenMnemonic][BCMGenMnemonic:931][(entropy size is not support [1] make mnemonic)]")},
      {"GenMNemonic", R"({"entropy":"0x000000000000000000000000000000"})", 506,
       entropyErr("0x000000000000000000000000000000",
                  "[BCMGenMnemonic][BCMGenMnemonic:931][(entropy size is not support [15] make mnemonic)]")},
      // 64 bytes are a valid size, but their 48 words exceed the reply buffer.
      {"GenMNemonic", R"({"entropy":"0x)" + zeros64 + "\"}", 506,
       entropyErr("0x" + zeros64, "[BCMGenMnemonic][BCMGenMnemonic:943][(buffer size[264] is lower than [528])]")},
      {"ConvMNemonicToEntropy", "{}", 550,
       toEntropyErr("", "[BCMConvMnemonicToEntropy][GetMnemonicInfo:305<-BCMConvMnemonicToEntropy:989][(mnemonic "
                        "check ( mnemonic count not allowed [0] words ))<-(bc-module GetMnemonicInfo error)]")},
      {"ConvMNemonicToEntropy", "{" + Arg("mnemonic", badChecksum) + "}", 550,
       toEntropyErr(badChecksum, "[BCMConvMnemonicToEntropy][GetMnemonicInfo:376<-BCMConvMnemonicToEntropy:989][("
                                 "mnemonic check ( checksum failed ))<-(bc-module GetMnemonicInfo error)]")},
      {"ConvMNemonicToEntropy", "{" + Arg("mnemonic", unknownWord) + "}", 550,
       toEntropyErr(unknownWord,
                    "[BCMConvMnemonicToEntropy][FindWord:182<-GetMnemonicInfo:295<-BCMConvMnemonicToEntropy:989][("
                    "mnemonic check ( not exist word [xyzzy] ))<-(bc-module GetMnemonicInfo error)]")},
      // The reply buffer holds 264 characters of mnemonic text.
      {"ConvMNemonicToEntropy", "{" + Arg("mnemonic", longText) + "}", 550,
       toEntropyErr(longText, "[BCMConvMnemonicToEntropy][BCMConvMnemonicToEntropy:983][(buffer size[264] is lower "
                              "than [319])]")},
  };
  for (const auto& c : cases) ExpectReply(c.action, c.args, c.code, c.object);
}

}  // namespace
