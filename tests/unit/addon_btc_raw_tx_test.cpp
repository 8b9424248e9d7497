// Script signatures, witnesses and the raw transaction: which signatures
// count, the refusals of each step, and the two wire layouts.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "addon_btc_tx_testing.h"
#include "btc/raw_tx.h"
#include "btc/sighash.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "tv_test.h"

namespace {

using namespace btctx;

// A model case prepared as "GenSignedTx" prepares it, with its sign infos.
struct Prepared {
  Json::Value c, tx, infos;
};

Prepared Prepare(const std::string& coin, const std::string& type, int n, int m, int seed) {
  Prepared p;
  p.c = OracleJson(R"({"mode":"one","seed":)" + std::to_string(seed) + R"(,"coin":")" + coin + R"(","type":")" +
                   type + R"(","n":)" + std::to_string(n) + R"(,"m":)" + std::to_string(m) + "}");
  p.tx = TxInfo(p.c, false);
  p.infos = Json::Value(Json::arrayValue);
  ResetErrTrail();
  EXPECT_EQ(GenerateBTCUnsignedTx(p.tx, "main", coin, p.infos), 0) << GetErrTrail();
  return p;
}

void SignKey(Prepared& p, int k) {
  p.infos[0]["signinfo"][k]["signature"] =
      OutsideSign(p.c["inputs"][0]["pris"][k].asString(), p.infos[0]["signaturehash"].asString());
}

int Signed(Prepared& p, const Json::Value& given) {
  ResetErrTrail();
  return GenerateBTCSignedTx(p.tx, given, p.infos);
}

TEST(BtcRawTx, SignaturesThatAreNotStrictDerCountAsAbsent) {
  Prepared p = Prepare("btc", "P2SH", 3, 2, 31);
  SignKey(p, 0);
  SignKey(p, 2);
  const Json::Value good = p.infos;
  const std::string sig = good[0]["signinfo"][0]["signature"].asString();
  // Each in place of key 1's signature: all absent, so keys 1 and 3 are used.
  const std::string absent[] = {"", "0x30", sig.substr(2), sig + "01", "0x3044", "0xzz" + sig.substr(4)};
  for (const std::string& s : absent) {
    Json::Value given = good;
    given[0]["signinfo"][1]["signature"] = s;
    Prepared q = p;
    ASSERT_EQ(Signed(q, given), 0) << s << " " << GetErrTrail();
    EXPECT_EQ(q.tx["input"][0]["witness"].asString(), "0x00");
  }
  // So does null; a number where the text should be is refused by name.
  Json::Value given = good;
  given[0]["signinfo"][1]["signature"] = Json::Value();
  EXPECT_EQ(Signed(p, given), 0) << GetErrTrail();
  given[0]["signinfo"][1]["signature"] = 7;
  try {
    Signed(p, given);
    ADD_FAILURE() << "a number signature was taken";
  } catch (const ArgumentRefused& e) {
    EXPECT_STREQ(e.what(), "signature is not a JSON string");
  }
  // All three given: every one must verify, the first two are used.
  Json::Value three = good;
  three[0]["signinfo"][1]["signature"] =
      OutsideSign(p.c["inputs"][0]["pris"][1].asString(), good[0]["signaturehash"].asString());
  Prepared q = p;
  ASSERT_EQ(Signed(q, three), 0) << GetErrTrail();
  const std::string scriptSig = q.tx["input"][0]["scriptsig"].asString();
  // "0x", OP_0, the push of key 1's signature, then key 2's; key 3's is not used.
  EXPECT_EQ(scriptSig.find(sig.substr(2)), 6u);
  EXPECT_NE(scriptSig.find(three[0]["signinfo"][1]["signature"].asString().substr(2)), std::string::npos);
  EXPECT_EQ(scriptSig.find(good[0]["signinfo"][2]["signature"].asString().substr(2)), std::string::npos);
}

TEST(BtcRawTx, SignedTxRefusals) {
  Prepared p = Prepare("ltc", "P2WSH", 2, 1, 32);
  SignKey(p, 0);
  const Json::Value good = p.infos;
  struct Case {
    Json::Value given;
    const char* chain;
  };
  Json::Value fewer(Json::arrayValue);
  Json::Value otherCount = good;
  otherCount[0]["signinfo"].append(good[0]["signinfo"][0]);
  Json::Value otherKeyText = good;
  std::string key = good[0]["signinfo"][1]["pubkey"].asString();
  for (char& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  otherKeyText[0]["signinfo"][1]["pubkey"] = "0x" + key.substr(2);
  Json::Value wrongSig = good;
  wrongSig[0]["signinfo"][1]["signature"] = good[0]["signinfo"][0]["signature"];
  Json::Value noHash = good;
  noHash[0].removeMember("signaturehash");
  const Case cases[] = {
      {fewer, "GenerateBTCSignedTx:1580[input and signinfos is invalid !!]"},
      {Json::Value("x"), "GenerateBTCSignedTx:1580[input and signinfos is invalid !!]"},
      {noHash, "GenerateBTCSignedTx:1591[input[0].signinfos.signaturehash is not exist !!]"},
      {otherCount, "GenerateBTCSignedTx:1598[signinfos[0].signinfo is invalid !!]"},
      {otherKeyText, "GenerateBTCSignedTx:1606[signinfos[0].signinfo[1] is invalid !!]"},
      {wrongSig, "GenerateBTCSignedTx:1623[signinfos[0].signinfo[1].signature verify is failed !!]"},
  };
  for (const Case& c : cases) {
    const Json::Value before = p.tx;
    EXPECT_EQ(Signed(p, c.given), 1) << c.chain;
    const std::string chain = GetErrTrail();
    EXPECT_EQ(chain.substr(chain.size() - std::min(chain.size(), std::string(c.chain).size())), c.chain) << chain;
    EXPECT_EQ(p.tx, before);
  }
}

TEST(BtcRawTx, KeysOfSixtyFiveBytesCannotBeCompleted) {
  // A 1-of-1 P2SH over an uncompressed key: the core verifies 33-byte keys only.
  const std::string k = "0479be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798483ada7726a3c4655da4fbfc0e"
                        "1108a8fd17b448a68554199c47d08ffb10d4b8";
  Json::Value in = tvt::ParseJson(R"({"utxotype":"P2SH","hashtype":"0x01000000","redeems":"0x5141)" + k + R"(51ae"})");
  Json::Value entry = tvt::ParseJson(R"({"signaturehash":"0x00","signinfo":[{"pubkey":"0x)" + k +
                                     R"(","signature":"0x3006020101020101"}]})");
  Json::Value tx(Json::objectValue);
  tx["input"].append(in);
  Json::Value given(Json::arrayValue);
  given.append(entry);
  ResetErrTrail();
  EXPECT_EQ(GenerateBTCSignedTx(tx, given, given), 1);
  EXPECT_EQ(GetErrTrail(), "GenerateBTCSignedTx:1623[signinfos[0].signinfo[0].signature verify is failed !!]");
}

TEST(BtcRawTx, ScriptSigRefusals) {
  const std::string k = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
  const std::string sig = "0x3006020101020101";
  struct Case {
    std::string input, entry;
    const char* chain;
  };
  const Case cases[] = {
      {R"({"hashtype":"0x01000000"})", R"({})", "MakeScripSig:1149[input info is invalid(format) !!]"},
      {R"({"utxotype":"P2PKH","wallet":{"algo":"ED25519","pub":"0x00"}})", R"({})",
       "MakeScripSig:1163[input[].wallet[pub] is not exist !!]"},
      {R"({"utxotype":"P2SH","redeems":"0x5121)" + k.substr(2) + R"(51ae00"})", R"({})",
       "MakeScripSig:1172[GetRedeemInfo Error !!]"},
      {R"({"utxotype":"P2PKH","wallet":{"pub":")" + k + R"("}})", R"({"signinfo":[]})",
       "MakeScripSig:1179[SignInfos is invalid(array count) !!]"},
      {R"({"utxotype":"P2PKH","wallet":{"pub":")" + k + R"("}})",
       R"({"signinfo":[{"pubkey":"0x02","signature":")" + sig + R"("}]})",
       "MakeScripSig:1189[SignInfos.signinfo[0].pubkey is invalid !!]"},
      {R"({"utxotype":"P2PKH","wallet":{"pub":")" + k + R"("}})",
       R"({"signinfo":[{"pubkey":")" + k + R"(","signature":"0x3007020101020101"}]})",
       "MakeScripSig:1209[make signed transaction more need signature !!]"},
      {R"({"utxotype":"P2SH","wallet":{"pub":")" + k + R"("}})",
       R"({"signinfo":[{"pubkey":")" + k + R"(","signature":")" + sig + R"("}]})",
       "MakeScripSig:1219[not support utxo type !!]"},
      {R"({"utxotype":"P2PKH","redeems":"0x5121)" + k.substr(2) + R"(51ae"})",
       R"({"signinfo":[{"pubkey":")" + k + R"(","signature":")" + sig + R"("}]})",
       "MakeScripSig:1249[not support utxo type !!]"},
  };
  for (const Case& c : cases) {
    Json::Value in = tvt::ParseJson(c.input);
    ResetErrTrail();
    EXPECT_EQ(MakeScripSig(in, tvt::ParseJson(c.entry)), 1) << c.chain;
    const std::string chain = GetErrTrail();
    EXPECT_EQ(chain.substr(chain.size() - std::min(chain.size(), std::string(c.chain).size())), c.chain) << chain;
    EXPECT_FALSE(in.isMember("scriptsig"));
  }
}

TEST(BtcRawTx, WireLayouts) {
  // Stored fields are written as they stand; segwitcnt decides the layout.
  Json::Value tx = tvt::ParseJson(R"({"version":"0x02000000","locktime":"0x11223344","segwitcnt":"0",
    "maker":"0x00","flags":"0x01",
    "input":[{"utxotype":"P2PKH","prehex":"0xaa","preidx":"0xbb","scriptsig":"0xcc","sequence":"0xdd","witness":"0x00"},
             {"utxotype":"P2WPKH","prehex":"0xa1","preidx":"0xb1","scriptsig":"0x00","sequence":"0xd1","witness":"0x02e1"}],
    "output":[{"value":"0xee","scriptpub":"0xff"}]})");
  EXPECT_EQ(tvt::Hex(GenRawTx(tx)), "02000000" "02" "aabb" "01cc" "dd" "a1b1" "00" "d1" "01" "ee" "01ff" "11223344");
  tx["segwitcnt"] = "1";
  EXPECT_EQ(tvt::Hex(GenRawTx(tx)),
            "02000000" "0001" "02" "aabb" "01cc" "dd" "a1b1" "00" "d1" "01" "ee" "01ff" "00" "02e1" "11223344");
  struct Case {
    const char* change;
    const char* chain;
  };
  const Case cases[] = {{R"({"input":{}})", "GenRawTx:1289[txinfo is invalid(input or output) !!]"},
                        {R"({"output":null})", "GenRawTx:1289[txinfo is invalid(input or output) !!]"},
                        {R"({"input":[{"scriptsig":"0x00"}]})", "GenRawTx:1301[input is invalid(scriptsig or wintness) !!]"},
                        {R"({"input":[{"witness":"0x00"}]})", "GenRawTx:1301[input is invalid(scriptsig or wintness) !!]"}};
  for (const Case& c : cases) {
    Json::Value bad = tx;
    const Json::Value change = tvt::ParseJson(c.change);
    for (const std::string& key : change.getMemberNames()) bad[key] = change[key];
    ResetErrTrail();
    EXPECT_TRUE(GenRawTx(bad).empty()) << c.change;
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
}

}  // namespace
