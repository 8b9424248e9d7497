// Input preparation: the caller's txinfo made wire-ready, each input
// classified by the script it spends, and the two preconditions of "GenTx".
#include <gtest/gtest.h>
#include <json/json.h>

#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "btc/params.h"
#include "btc/tx_inputs.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "tv_test.h"

namespace {

// BIP 143's example key and the three single-key scripts it can be paid to.
const std::string kPub = "0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873";
const std::string kHash = "79091972186c449eb1ded22b78e40d009bdf0089";
const std::string kP2PKH = "0x76a914" + kHash + "88ac";
const std::string kP2WPKH = "0x0014" + kHash;
const std::string kP2SH_P2WPKH = "0xa9144733f37cf4db86fbc2efed2500b4f4e49f31202387";

Json::Value Input(const std::string& prespub = kP2PKH) {
  Json::Value in(Json::objectValue);
  in["prehex"] = "0x000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  in["preidx"] = "1";
  in["prevalue"] = "100000";
  in["prespub"] = prespub;
  in["wallet"]["pub"] = kPub;
  return in;
}

Json::Value TxInfo(const std::string& coin = "btc") {
  Json::Value tx(Json::objectValue);
  tx["input"].append(Input());
  Json::Value out(Json::objectValue);
  // The same key hash on each coin's legacy address.
  out["dest"] = coin == "btg"   ? "GUXByHDZLvU4DnVH9imSFckt3HEQ5cFgE5"
                : coin == "ltc" ? "LVuDpNCSSj6pQ7t9Pv6d6sUkLKoqDEVUnJ"
                                : "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH";
  out["value"] = "90000";
  tx["output"].append(out);
  EXPECT_EQ(GetCoinSpec(tx["coinspec"], coin), 0);
  return tx;
}

int Ready(Json::Value& tx) {
  ResetErrTrail();
  return ReadyForUseJson(tx);
}

TEST(BtcTxInputs, ReadyForUseFillsDefaultsAndWireForms) {
  Json::Value tx = TxInfo("btg");
  tx["version"] = Json::Value();  // null: the default
  ASSERT_EQ(Ready(tx), 0) << GetErrTrail();
  EXPECT_EQ(tx["version"].asString(), "0x01000000");
  EXPECT_EQ(tx["locktime"].asString(), "0x00000000");
  const Json::Value& in = tx["input"][0];
  EXPECT_EQ(in["prehex"].asString(), "0x1f1e1d1c1b1a191817161514131211100f0e0d0c0b0a09080706050403020100");
  EXPECT_EQ(in["prehexOri"], Input()["prehex"]);
  EXPECT_EQ(in["preidx"].asString(), "0x01000000");
  EXPECT_EQ(in["preidxOri"].asString(), "1");
  EXPECT_EQ(in["prevalue"].asString(), "0xa086010000000000");
  EXPECT_EQ(in["prevalueOri"].asString(), "100000");
  EXPECT_EQ(in["hashtype"].asString(), "0x414f0000");
  EXPECT_EQ(in["sequence"].asString(), "0xffffffff");
  const Json::Value& out = tx["output"][0];
  EXPECT_EQ(out["value"].asString(), "0x905f010000000000");
  EXPECT_EQ(out["valueOri"].asString(), "90000");
  EXPECT_EQ(out["scriptpub"].asString(), "0x76a914751e76e8199196d454941c45d1b3a323f1433bd688ac");
  // A second pass refuses the index it wrote.
  EXPECT_EQ(Ready(tx), 1);
  EXPECT_EQ(GetErrTrail(), "ReadyForUseJson:1390[input[0] preidx[0x01000000] is invalid !!]");
}

TEST(BtcTxInputs, ReadyForUseRefusalTable) {
  struct Case {
    const char* field;
    const char* value;
    const char* chain;  // empty: accepted
  };
  const Case cases[] = {
      {"prehex", "0x01", "ReadyForUseJson:1382[input[0] prehex[0x01] size is not 32 byte !!]"},
      {"prehex", "0x10102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", ""},  // 63 digits
      {"prehex", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "ReadyForUseJson:1382[input[0] prehex[000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f] size "
       "is not 32 byte !!]"},
      {"preidx", "4294967295", ""},
      {"preidx", "", ""},
      {"preidx", "0000000001", ""},
      {"preidx", "4294967296", "ReadyForUseJson:1390[input[0] preidx[4294967296] is invalid !!]"},
      {"preidx", "00000000001", "ReadyForUseJson:1390[input[0] preidx[00000000001] is invalid !!]"},
      {"preidx", "-1", "ReadyForUseJson:1390[input[0] preidx[-1] is invalid !!]"},
      {"preidx", "0x1", "ReadyForUseJson:1390[input[0] preidx[0x1] is invalid !!]"},
      {"preidx", " 1", "ReadyForUseJson:1390[input[0] preidx[ 1] is invalid !!]"},
      {"prevalue", "18446744073709551615",
       "ReadyForUseJson:1400[input[0] prevalue[18446744073709551615] is over max money[2100000000000000] !!]"},
      {"prevalue", "18446744073709551616", "ReadyForUseJson:1398[input[0] prevalue[18446744073709551616] is invalid !!]"},
      {"prevalue", "1.0", "ReadyForUseJson:1398[input[0] prevalue[1.0] is invalid !!]"},
      {"sequence", "0xfeffffff", ""},
      {"sequence", "0xfffffffe0", "ReadyForUseJson:1375[input[0] is invalid(format) !!]"},
      {"value", "-5", "ReadyForUseJson:1423[output[0] value[-5] is invalid !!]"},
      {"dest", "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMh", nullptr},  // the decoder's own entry first
  };
  for (const Case& c : cases) {
    Json::Value tx = TxInfo();
    const bool output = std::string(c.field) == "value" || std::string(c.field) == "dest";
    (output ? tx["output"][0] : tx["input"][0])[c.field] = c.value;
    const int rc = Ready(tx);
    if (c.chain != nullptr && *c.chain == '\0') {
      EXPECT_EQ(rc, 0) << c.field << " " << c.value << " " << GetErrTrail();
      continue;
    }
    EXPECT_EQ(rc, 1) << c.field << " " << c.value;
    if (c.chain != nullptr) {
      EXPECT_EQ(GetErrTrail(), c.chain);
    } else {
      EXPECT_NE(GetErrTrail().find("<=ReadyForUseJson:1430[MakeScriptPub Error !!]"), std::string::npos)
          << GetErrTrail();
    }
  }
  // A missing "prevalue", an input that is no object, no output array.
  Json::Value tx = TxInfo();
  tx["input"][0].removeMember("prevalue");
  EXPECT_EQ(Ready(tx), 1);
  EXPECT_EQ(GetErrTrail(), "ReadyForUseJson:1375[input[0] is invalid(format) !!]");
  tx = TxInfo();
  tx["input"].append("x");
  EXPECT_EQ(Ready(tx), 1);
  EXPECT_EQ(GetErrTrail(), "ReadyForUseJson:1375[input[1] is invalid(format) !!]");
  tx = TxInfo();
  tx["output"] = Json::Value(Json::objectValue);
  EXPECT_EQ(Ready(tx), 1);
  EXPECT_EQ(GetErrTrail(), "ReadyForUseJson:1360[txinfo is invalid(format) !!]");
}

// Amounts and their sums up to each coin's money supply: btc, btg, bch and
// bsv 21 million coins of 10^8 units, ltc 84 million.
TEST(BtcTxInputs, AmountsWithinTheMoneySupply) {
  const std::string btcMax = "2100000000000000", ltcMax = "8400000000000000";
  const std::string over = " is over max money[2100000000000000] !!]";
  struct Case {
    const char* coin;
    std::vector<std::string> inputs, outputs;  // amounts; each input spends its own outpoint
    std::string chain;                          // empty: accepted
  };
  const Case cases[] = {
      {"btc", {btcMax}, {btcMax}, ""},
      {"btc", {"000" + btcMax}, {"0" + btcMax}, ""},  // leading zeros
      {"btc", {"1", btcMax.substr(1)}, {"1", "999", "0"}, ""},
      {"btc", {"2100000000000001"}, {"1"},
       "ReadyForUseJson:1400[input[0] prevalue[2100000000000001]" + over},
      {"btc", {"1"}, {"2100000000000001"}, "ReadyForUseJson:1425[output[0] value[2100000000000001]" + over},
      // Written as a negative amount if it were taken.
      {"btc", {"1"}, {"18446744073709551615"}, "ReadyForUseJson:1425[output[0] value[18446744073709551615]" + over},
      {"btc", {btcMax, "1"}, {"1"}, "ReadyForUseJson:1402[sum of input prevalue" + over},
      {"btc", {"1"}, {"1", btcMax, "1"}, "ReadyForUseJson:1427[sum of output value" + over},
      // Sums are taken without overflow: 2^64 - 1 in three pieces.
      {"btc", {"1"}, {btcMax, btcMax, "18446744073709551615"},
       "ReadyForUseJson:1427[sum of output value" + over},
      {"ltc", {ltcMax}, {ltcMax}, ""},
      {"ltc", {"8400000000000001"}, {"1"},
       "ReadyForUseJson:1400[input[0] prevalue[8400000000000001] is over max money[8400000000000000] !!]"},
      {"ltc", {"1"}, {ltcMax, "1"}, "ReadyForUseJson:1427[sum of output value is over max money[8400000000000000] !!]"},
      {"btc", {ltcMax}, {"1"}, "ReadyForUseJson:1400[input[0] prevalue[8400000000000000]" + over},
      {"btg", {btcMax}, {"2100000000000001"}, "ReadyForUseJson:1425[output[0] value[2100000000000001]" + over},
      {"bch", {"2100000000000001"}, {"1"}, "ReadyForUseJson:1400[input[0] prevalue[2100000000000001]" + over},
      {"bsv", {btcMax}, {btcMax, "1"}, "ReadyForUseJson:1427[sum of output value" + over},
  };
  for (const Case& c : cases) {
    Json::Value tx = TxInfo(c.coin);
    const Json::Value in = tx["input"][0], out = tx["output"][0];
    tx["input"].clear();
    tx["output"].clear();
    for (size_t i = 0; i < c.inputs.size(); ++i) {
      Json::Value one = in;
      one["preidx"] = std::to_string(i);
      one["prevalue"] = c.inputs[i];
      tx["input"].append(one);
    }
    for (const std::string& v : c.outputs) {
      Json::Value one = out;
      one["value"] = v;
      tx["output"].append(one);
    }
    SCOPED_TRACE(WriteJson(tx, ""));
    EXPECT_EQ(Ready(tx), c.chain.empty() ? 0 : 1);
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
}

// No outpoint may be spent twice: "prehex" and "preidx" are compared as the
// bytes they stand for.
TEST(BtcTxInputs, AnOutpointIsSpentOnce) {
  const std::string hex = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  std::string upper = hex;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const std::string other = "ff" + hex.substr(2);
  struct Case {
    std::vector<std::pair<std::string, std::string>> outpoints;  // prehex, preidx
    std::string chain;
  };
  const Case cases[] = {
      {{{"0x" + hex, "1"}, {"0x" + hex, "0"}, {"0x" + other, "1"}}, ""},
      {{{"0x" + hex, "1"}, {"0x" + hex, "1"}},
       "ReadyForUseJson:1392[input[1] prehex[0x" + hex + "] preidx[1] is already spent by input[0] !!]"},
      {{{"0x" + hex, "0"}, {"0x" + other, "7"}, {"0x" + upper, "00"}},
       "ReadyForUseJson:1392[input[2] prehex[0x" + upper + "] preidx[00] is already spent by input[0] !!]"},
      {{{"0x" + hex, ""}, {"0x" + hex, "0"}},
       "ReadyForUseJson:1392[input[1] prehex[0x" + hex + "] preidx[0] is already spent by input[0] !!]"},
  };
  for (const Case& c : cases) {
    Json::Value tx = TxInfo();
    const Json::Value in = tx["input"][0];
    tx["input"].clear();
    for (const auto& [prehex, preidx] : c.outpoints) {
      Json::Value one = in;
      one["prehex"] = prehex;
      one["preidx"] = preidx;
      tx["input"].append(one);
    }
    SCOPED_TRACE(WriteJson(tx, ""));
    EXPECT_EQ(Ready(tx), c.chain.empty() ? 0 : 1);
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
}

int Classify(Json::Value& in, Json::Value& entry, const std::string& coin = "btc") {
  ResetErrTrail();
  Json::Value tx = TxInfo(coin);
  tx["input"][0] = in;
  if (ReadyForUseJson(tx) != 0) return -1;
  in = tx["input"][0];
  return MakeUtxoType(in, entry, coin);
}

TEST(BtcTxInputs, SingleKeyKinds) {
  struct Case {
    std::string prespub;
    const char* type;
    const char* segwit;
  };
  const Case cases[] = {{kP2PKH, "P2PKH", "FALSE"}, {kP2SH_P2WPKH, "P2SH(P2WPKH)", "TRUE"}, {kP2WPKH, "P2WPKH", "TRUE"}};
  for (const Case& c : cases) {
    Json::Value in = Input(c.prespub), entry;
    ASSERT_EQ(Classify(in, entry), 0) << c.type << " " << GetErrTrail();
    EXPECT_EQ(in["utxotype"].asString(), c.type);
    EXPECT_EQ(in["issegwit"].asString(), c.segwit);
    EXPECT_EQ(in["need"].asString(), "1");
    EXPECT_EQ(in["redeems"].asString(), "");
    EXPECT_EQ(in["scriptcode"].asString(), kP2PKH);
    EXPECT_EQ(entry["needsig"].asString(), "1");
    ASSERT_EQ(entry["signinfo"].size(), 1u);
    EXPECT_EQ(entry["signinfo"][0]["pubkey"].asString(), kPub);
    EXPECT_EQ(entry["signinfo"][0]["signature"].asString(), "");
  }
}

TEST(BtcTxInputs, RedeemScriptKinds) {
  // 2-of-3 whose second key is the wallet's.
  const std::string k1 = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
  const std::string k3 = "02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
  const std::string redeem = "0x5221" + k1 + "21" + kPub.substr(2) + "21" + k3 + "53ae";
  Bytes sha, h160, program;
  ASSERT_EQ(GenerateHash(HexToBytes(redeem), 0, sha), 0);
  ASSERT_EQ(GenerateHash(HexToBytes(redeem), 1, h160), 0);
  program = {0x00, 0x20};
  program.insert(program.end(), sha.begin(), sha.end());
  Bytes wrapped;
  ASSERT_EQ(GenerateHash(program, 1, wrapped), 0);
  struct Case {
    std::string prespub;
    const char* type;
    const char* segwit;
  };
  const Case cases[] = {{"0xa914" + tvt::Hex(h160) + "87", "P2SH", "FALSE"},
                        {"0xa914" + tvt::Hex(wrapped) + "87", "P2SH(P2WSH)", "TRUE"},
                        {BytesToHex(program), "P2WSH", "TRUE"}};
  for (const Case& c : cases) {
    Json::Value in = Input(c.prespub), entry;
    in["redeems"] = redeem;
    ASSERT_EQ(Classify(in, entry), 0) << c.type << " " << GetErrTrail();
    EXPECT_EQ(in["utxotype"].asString(), c.type);
    EXPECT_EQ(in["issegwit"].asString(), c.segwit);
    EXPECT_EQ(in["need"].asString(), "2");
    EXPECT_EQ(in["scriptcode"].asString(), redeem);
    EXPECT_EQ(entry["needsig"].asString(), "2");
    ASSERT_EQ(entry["signinfo"].size(), 3u);
    EXPECT_EQ(entry["signinfo"][0]["pubkey"].asString(), "0x" + k1);
    EXPECT_EQ(entry["signinfo"][1]["pubkey"].asString(), kPub);
    EXPECT_EQ(entry["signinfo"][2]["pubkey"].asString(), "0x" + k3);
  }
  // The wallet key outside the script.
  Json::Value in = Input(cases[2].prespub), entry;
  in["redeems"] = "0x5221" + k1 + "21" + k3 + "52ae";
  EXPECT_EQ(Classify(in, entry), 1);
  EXPECT_EQ(GetErrTrail(), "FindRedeemIdx:815[RedeemIdx Find Error !!]<=MakeUtxoType:919[FindRedeemIdx Error !!]");
  EXPECT_TRUE(entry.isNull());
}

TEST(BtcTxInputs, ClassificationRefusals) {
  struct Case {
    std::string prespub;
    const char* algo;
    const char* coin;
    std::string tail;  // the end of the chain
  };
  const Case cases[] = {
      {kP2PKH, "ED25519", "btc", "MakeUtxoType:873[input[].wallet[pub] is not exist !!]"},
      {kP2PKH, "SECP256R1", "btc", "MakeUtxoType:873[input[].wallet[pub] is not exist !!]"},
      {"0xa914751e76e8199196d454941c45d1b3a323f1433bd687", "", "btc",
       "MakeUtxoType:894[not support scriptpub[0xa914751e76e8199196d454941c45d1b3a323f1433bd687] !!]"},
      {kP2WPKH, "", "bch", "MakeUtxoType:894[not support scriptpub[" + kP2WPKH + "] !!]"},
      {kP2SH_P2WPKH, "", "bsv", "MakeUtxoType:894[not support scriptpub[" + kP2SH_P2WPKH + "] !!]"},
      {"", "", "btc", "MakeUtxoType:894[not support scriptpub[] !!]"},
  };
  for (const Case& c : cases) {
    Json::Value in = Input(c.prespub), entry;
    if (*c.algo) in["wallet"]["algo"] = c.algo;
    EXPECT_EQ(Classify(in, entry, c.coin), 1) << c.prespub;
    const std::string chain = GetErrTrail();
    EXPECT_EQ(chain.substr(chain.size() - std::min(chain.size(), c.tail.size())), c.tail) << chain;
  }
  // A spent script with a stray character is refused by name.
  Json::Value in = Input("0x76a9zz"), entry;
  EXPECT_THROW(Classify(in, entry), ArgumentRefused);
}

TEST(BtcTxInputs, GenTxPreconditions) {
  struct Case {
    const char* txinfo;
    int havePri, hasRedeem;
  };
  const Case cases[] = {
      {R"({"input":[{"wallet":{"pri":"0x01"}},{"wallet":{"pri":"0x02","pub":"0x03"}}]})", 0, 0},
      {R"({"input":[{"wallet":{"pri":"0x01"}},{"wallet":{"pub":"0x03"}}]})", 1, 0},
      {R"({"input":[{"wallet":{"pri":1}}]})", 1, 0},
      {R"({"input":[{"wallet":"0x01"}]})", 1, 0},
      {R"({"input":["x"]})", 1, 0},
      {R"({"input":[]})", 0, 0},
      {R"({"input":{}})", 0, 0},
      {R"({"input":[{"wallet":{"pri":"0x01"},"redeems":""}]})", 0, 1},
      {R"({"input":[{"wallet":{"pri":"0x01"},"redeems":null}]})", 0, 0},
      {R"({"input":[{"wallet":{"pri":"0x01"}},{"wallet":{"pri":"0x01"},"redeems":"0x52"}]})", 0, 1},
  };
  for (const Case& c : cases) {
    const Json::Value tx = tvt::ParseJson(c.txinfo);
    EXPECT_EQ(CheckInputsHavePri(tx), c.havePri) << c.txinfo;
    EXPECT_EQ(HasRedeemInput(tx), c.hasRedeem) << c.txinfo;
  }
}

}  // namespace
