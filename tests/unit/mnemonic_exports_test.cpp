// Mnemonic and share-mnemonic exports: codes, size queries and trail texts.
#include "tolvaris/bcm_mnemonic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tv_test.h"

namespace {

const char kM12[] = "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
const char kBad12[] =
    "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon";

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(MnemonicExports, GenMnemonic) {
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"];
  for (const Json::Value& r : v) {
    const tvt::Bytes e = tvt::Unhex(r[0].asString());
    int len = 0;
    ASSERT_EQ(BCMGenMnemonic(e.data(), static_cast<int>(e.size()), nullptr, &len), 0);
    EXPECT_EQ(len, static_cast<int>(e.size()) * 3 / 4 * 11);
    std::vector<char> buf(static_cast<size_t>(len));
    ASSERT_EQ(BCMGenMnemonic(e.data(), static_cast<int>(e.size()), buf.data(), &len), 0);
    EXPECT_EQ(std::string(buf.data(), static_cast<size_t>(len)), r[1].asString());
  }
  EXPECT_EQ(tvt::LastErr(), "[BCMGenMnemonic][][]");

  const tvt::Bytes e(128, 0x5a);
  int len = 0;
  EXPECT_EQ(BCMGenMnemonic(e.data(), 16, nullptr, &len), 0);
  EXPECT_EQ(len, 132);
  EXPECT_EQ(BCMGenMnemonic(e.data(), 4, nullptr, &len), 0);
  EXPECT_EQ(len, 33);
  EXPECT_EQ(BCMGenMnemonic(e.data(), 128, nullptr, &len), 0);
  EXPECT_EQ(len, 1056);

  len = 500;
  EXPECT_EQ(BCMGenMnemonic(e.data(), 15, nullptr, &len), 931);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMGenMnemonic][BCMGenMnemonic:931][(entropy size is not support [15] make mnemonic)]");
  EXPECT_EQ(len, 500);
  char buf[300];
  len = 131;
  EXPECT_EQ(BCMGenMnemonic(e.data(), 16, buf, &len), 943);
  EXPECT_EQ(tvt::LastErr(), "[BCMGenMnemonic][BCMGenMnemonic:943][(buffer size[131] is lower than [132])]");
  EXPECT_EQ(BCMGenMnemonic(nullptr, 16, buf, &len), 924);
  EXPECT_EQ(tvt::LastErr(), "[BCMGenMnemonic][BCMGenMnemonic:924][(param is NULL)]");
  EXPECT_EQ(BCMGenMnemonic(e.data(), 16, buf, nullptr), 924);
}

TEST(MnemonicExports, MnemonicToEntropy) {
  const int textLen = static_cast<int>(sizeof kM12 - 1);
  int len = 0;
  ASSERT_EQ(BCMConvMnemonicToEntropy(kM12, nullptr, &len), 0);
  EXPECT_EQ(len, textLen);
  unsigned char out[200];
  len = textLen - 1;
  EXPECT_EQ(BCMConvMnemonicToEntropy(kM12, out, &len), 983);
  EXPECT_EQ(len, textLen - 1);
  len = textLen;
  ASSERT_EQ(BCMConvMnemonicToEntropy(kM12, out, &len), 0);
  EXPECT_EQ(tvt::Hex(out, static_cast<size_t>(len)), std::string(32, '0'));

  len = sizeof out;
  EXPECT_EQ(BCMConvMnemonicToEntropy(kBad12, out, &len), 989);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvMnemonicToEntropy][GetMnemonicInfo:376<-BCMConvMnemonicToEntropy:989]"
            "[(mnemonic check ( checksum failed ))<-(bc-module GetMnemonicInfo error)]");
  EXPECT_EQ(len, static_cast<int>(sizeof out));
  EXPECT_EQ(BCMConvMnemonicToEntropy(nullptr, out, &len), 970);
}

TEST(MnemonicExports, MnemonicToSeed) {
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"];
  unsigned char seed[64];
  for (const Json::Value& r : v) {
    int len = 64;
    ASSERT_EQ(BCMConvMnemonicToSeed(r[1].asCString(), "TREZOR", seed, &len), 0);
    EXPECT_EQ(len, 64);
    EXPECT_EQ(tvt::Hex(seed, 64), r[2].asString());
  }
  int len = 0;
  EXPECT_EQ(BCMConvMnemonicToSeed(kM12, "", nullptr, &len), 0);
  EXPECT_EQ(len, 64);
  len = 63;
  EXPECT_EQ(BCMConvMnemonicToSeed(kM12, "", seed, &len), 1023);
  EXPECT_EQ(tvt::LastErr(), "[BCMConvMnemonicToSeed][BCMConvMnemonicToSeed:1023][(buffer size[63] is lower than [64])]");
  len = 64;
  EXPECT_EQ(BCMConvMnemonicToSeed(kM12, nullptr, seed, &len), 1029);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvMnemonicToSeed][ConvertMnemonic2Seed:559<-BCMConvMnemonicToSeed:1029]"
            "[(bc-module ConvertMnemonic2Seed error)]");
  EXPECT_EQ(BCMConvMnemonicToSeed(nullptr, "", seed, &len), 1010);

  // A passphrase far beyond any fixed salt area (BIP39 sets no limit).
  const std::string pass(3000, 'p');
  ASSERT_EQ(BCMConvMnemonicToSeed(kM12, pass.c_str(), seed, &len), 0);
  const std::string want = tvt::RunPython(
      "import hashlib,sys\nm,p=sys.stdin.read().split('|')\n"
      "print(hashlib.pbkdf2_hmac('sha512', m.encode(), b'mnemonic'+p.encode(), 2048).hex())\n",
      std::string(kM12) + "|" + pass);
  EXPECT_EQ(tvt::Hex(seed, 64) + "\n", want);
}

TEST(MnemonicExports, ValidityChecks) {
  EXPECT_EQ(BCMChkMnemonicValid(kM12), 0);
  EXPECT_EQ(tvt::LastErr(), "[BCMChkMnemonicValid][][]");
  EXPECT_EQ(BCMChkMnemonicValid(kBad12), 1055);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMChkMnemonicValid][GetMnemonicInfo:376<-CheckMnemonicValidate:603<-BCMChkMnemonicValid:1055]"
            "[(mnemonic check ( checksum failed ))<-(bc-module CheckMnemonicValidate error)]");
  EXPECT_EQ(BCMChkMnemonicValid("abandon"), 1055);
  EXPECT_EQ(BCMChkMnemonicValid(nullptr), 1049);
  EXPECT_EQ(tvt::LastErr(), "[BCMChkMnemonicValid][BCMChkMnemonicValid:1049][(param is NULL)]");

  EXPECT_EQ(BCMChkMnemonicWordValid("abandon"), 0);
  EXPECT_EQ(BCMChkMnemonicWordValid("zoo"), 0);
  EXPECT_EQ(BCMChkMnemonicWordValid("abandona"), 1080);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMChkMnemonicWordValid][FindWord:204<-CheckMnemonicWordValidate:625<-BCMChkMnemonicWordValid:1080]"
            "[(bc-module CheckMnemonicWordValidate error)]");
  EXPECT_EQ(BCMChkMnemonicWordValid(""), 1080);
  EXPECT_EQ(BCMChkMnemonicWordValid(nullptr), 1074);
}

TEST(MnemonicExports, SplitAndRecover) {
  int len = 0;
  ASSERT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 2, nullptr, &len), 0);
  EXPECT_EQ(len, (12 + 3) * 3 * 11);
  std::vector<char> shares(static_cast<size_t>(len));
  int cap = len - 1;
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 2, shares.data(), &cap), 1133);
  EXPECT_EQ(cap, len - 1);
  ASSERT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 2, shares.data(), &len), 0);
  const std::string all(shares.data(), static_cast<size_t>(len));
  const std::string first = all.substr(0, all.find(';'));
  const std::string last = all.substr(all.rfind(';') + 1);

  int outLen = 0;
  EXPECT_EQ(BCMConvSSSMnemonicToMasterMnemonic(first.c_str(), nullptr, &outLen), 0);
  EXPECT_EQ(outLen, 264);
  char out[264];
  outLen = 263;
  EXPECT_EQ(BCMConvSSSMnemonicToMasterMnemonic((last + ";" + first).c_str(), out, &outLen), 1173);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvSSSMnemonicToMasterMnemonic][BCMConvSSSMnemonicToMasterMnemonic:1173]"
            "[(buffer size[263] is lower than [264])]");
  outLen = 264;
  ASSERT_EQ(BCMConvSSSMnemonicToMasterMnemonic((last + ";" + first).c_str(), out, &outLen), 0);
  EXPECT_EQ(std::string(out, static_cast<size_t>(outLen)), kM12);

  outLen = 264;
  EXPECT_EQ(BCMConvSSSMnemonicToMasterMnemonic(all.c_str(), out, &outLen), 1179);
  EXPECT_EQ(outLen, 264);
  EXPECT_TRUE(Has(tvt::LastErr(), "[(bc-module GetSSS_Secret error)]"));
  EXPECT_EQ(BCMConvSSSMnemonicToMasterMnemonic(nullptr, out, &outLen), 1160);
  EXPECT_EQ(BCMConvSSSMnemonicToMasterMnemonic(first.c_str(), out, nullptr), 1160);
}

TEST(MnemonicExports, SplitFailures) {
  int len = 0;
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 11, 2, nullptr, &len), 1109);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvMasterMnemonicToSSSMnemonic][BCMConvMasterMnemonicToSSSMnemonic:1109]"
            "[(SSS Total Cnt[11 must bigger than Need Cnt[2 must bigger than 2] and smaller than [10]])]");
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 4, nullptr, &len), 1109);
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 1, nullptr, &len), 1121);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvMasterMnemonicToSSSMnemonic][BCMConvMasterMnemonicToSSSMnemonic:1121]"
            "[(bc-module Create_SSS error)]");
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(nullptr, 3, 2, nullptr, &len), 1102);
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kM12, 3, 2, nullptr, nullptr), 1102);

  // An invalid master mnemonic is reported without copying it into the trail.
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(kBad12, 3, 2, nullptr, &len), 1115);
  EXPECT_EQ(tvt::LastErr(),
            "[BCMConvMasterMnemonicToSSSMnemonic]"
            "[GetMnemonicInfo:376<-CheckMnemonicValidate:603<-BCMConvMasterMnemonicToSSSMnemonic:1115]"
            "[(mnemonic check ( checksum failed ))<-(Mnemonic is invald [<hidden>])]");

  // 48 words have no prime row; all-FF entropy lies above every prime of its
  // size. Both are refused rather than split into shares of another secret.
  const tvt::Bytes e64(64, 1);
  std::vector<char> m48(600);
  int mlen = 600;
  ASSERT_EQ(BCMGenMnemonic(e64.data(), 64, m48.data(), &mlen), 0);
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(m48.data(), 3, 2, nullptr, &len), 1121);
  const char* allFF = "zoo zoo zoo zoo zoo zoo zoo zoo zoo zoo zoo wrong";
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(allFF, 3, 2, nullptr, &len), 1121);
  EXPECT_TRUE(Has(tvt::LastErr(), "(SSS secret is not below any prime of its size)<-(bc-module Create_SSS error)"));
  std::vector<char> buf(1000);
  len = 1000;
  EXPECT_EQ(BCMConvMasterMnemonicToSSSMnemonic(allFF, 3, 2, buf.data(), &len), 1121);
  EXPECT_EQ(len, 1000);
}
