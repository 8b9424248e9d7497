// Signature hashes: the legacy preimage and the BIP 143 one, which coins and
// kinds use which, the coin's hash type at the end, and what each covers.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "btc/sighash.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "tv_test.h"

namespace {

const std::string kPub = "0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873";
const std::string kP2PKH = "0x76a91479091972186c449eb1ded22b78e40d009bdf008988ac";
const std::string kP2WPKH = "0x001479091972186c449eb1ded22b78e40d009bdf0089";

Json::Value In(const std::string& prespub, int n) {
  Json::Value in(Json::objectValue);
  in["prehex"] = "0x" + std::string(62, '0') + "0" + std::to_string(n);
  in["preidx"] = std::to_string(n);
  in["prevalue"] = "5000";
  in["prespub"] = prespub;
  in["wallet"]["pub"] = kPub;
  return in;
}

Json::Value Tx(std::initializer_list<std::string> spent, const std::string& coin = "btc") {
  Json::Value tx(Json::objectValue);
  int n = 0;
  for (const std::string& s : spent) tx["input"].append(In(s, n++));
  // The same key hash on each coin's legacy address.
  tx["output"][0]["dest"] = coin == "btg"   ? "GUXByHDZLvU4DnVH9imSFckt3HEQ5cFgE5"
                            : coin == "ltc" ? "LVuDpNCSSj6pQ7t9Pv6d6sUkLKoqDEVUnJ"
                                            : "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH";
  tx["output"][0]["value"] = "4000";
  return tx;
}

struct Prepared {
  Json::Value tx, infos;
  std::vector<tvt::Bytes> preimages;
};

Prepared Prepare(Json::Value tx, const std::string& coin = "btc") {
  Prepared p;
  ResetErrTrail();
  p.infos = Json::Value(Json::arrayValue);
  EXPECT_EQ(GenerateBTCUnsignedTx(tx, "main", coin, p.infos), 0) << GetErrTrail();
  for (Json::ArrayIndex i = 0; i < tx["input"].size(); ++i) {
    Json::Value entry(Json::objectValue);
    EXPECT_EQ(MakeUnsignedTx(tx, i, tx["input"][i], entry), 0);
    p.preimages.push_back(HexToBytes(entry["unsignedrawtx"].asString()));
    EXPECT_FALSE(p.infos[i].isMember("unsignedrawtx"));
    EXPECT_EQ(p.infos[i]["signaturehash"].asString().size(), 66u);
  }
  p.tx = tx;
  return p;
}

std::string Hash(const Json::Value& tx, Json::ArrayIndex i, const std::string& coin = "btc") {
  return Prepare(tx, coin).infos[i]["signaturehash"].asString();
}

TEST(BtcSighash, LegacyPreimageLayout) {
  const Prepared p = Prepare(Tx({kP2PKH}));
  // 4 + 1 + 36 + (1 + 25) + 4 + 1 + 8 + (1 + 25) + 4 + 4.
  ASSERT_EQ(p.preimages[0].size(), 114u);
  EXPECT_EQ(tvt::Hex(p.preimages[0]).substr(0, 10), "0100000001");
  EXPECT_EQ(tvt::Hex(p.preimages[0]).substr(tvt::Hex(p.preimages[0]).size() - 16), "0000000001000000");
  EXPECT_EQ(p.tx["segwitcnt"].asString(), "0");
  EXPECT_FALSE(p.tx.isMember("maker"));
  EXPECT_FALSE(p.tx.isMember("flags"));
}

TEST(BtcSighash, LegacyPreimagesDifferOnlyInTheScriptSlots) {
  const Prepared p = Prepare(Tx({kP2PKH, kP2PKH, kP2PKH}));
  // Input i carries its script code (0x19 and 25 bytes) in slot i and an
  // empty script (0x00) in the others.
  const std::string code = "19" + kP2PKH.substr(2);
  for (int i = 0; i < 3; ++i) {
    std::string hex = tvt::Hex(p.preimages[i]);
    size_t at = 10;  // version and count
    for (int j = 0; j < 3; ++j) {
      at += 72;      // outpoint
      const std::string slot = j == i ? code : "00";
      EXPECT_EQ(hex.substr(at, slot.size()), slot) << i << " " << j;
      at += slot.size() + 8;
    }
  }
}

TEST(BtcSighash, FormAndHashTypeByCoinAndKind) {
  struct Case {
    const char* coin;
    std::string spent;
    size_t size;
    const char* tail;
  };
  // BIP 143: 4 + 32 + 32 + 36 + 26 + 8 + 4 + 32 + 4 + 4 = 182 bytes.
  const Case cases[] = {{"btc", kP2PKH, 114, "01000000"}, {"ltc", kP2PKH, 114, "01000000"},
                        {"bch", kP2PKH, 182, "41000000"}, {"bsv", kP2PKH, 182, "41000000"},
                        {"btg", kP2PKH, 182, "414f0000"}, {"btc", kP2WPKH, 182, "01000000"},
                        {"btg", kP2WPKH, 182, "414f0000"}};
  for (const Case& c : cases) {
    const Prepared p = Prepare(Tx({c.spent}, c.coin), c.coin);
    ASSERT_EQ(p.preimages.size(), 1u);
    EXPECT_EQ(p.preimages[0].size(), c.size) << c.coin;
    const std::string hex = tvt::Hex(p.preimages[0]);
    EXPECT_EQ(hex.substr(hex.size() - 8), c.tail) << c.coin;
  }
}

TEST(BtcSighash, WhatEachHashCovers) {
  // The amount: in the BIP 143 digest only.
  Json::Value a = Tx({kP2PKH, kP2WPKH}), b = a;
  b["input"][0]["prevalue"] = "5001";
  b["input"][1]["prevalue"] = "5001";
  EXPECT_EQ(Hash(a, 0), Hash(b, 0));
  EXPECT_NE(Hash(a, 1), Hash(b, 1));
  // Input 0's sequence: in every input's digest, both forms.
  Json::Value c = a;
  c["input"][0]["sequence"] = "0xfeffffff";
  EXPECT_NE(Hash(a, 0), Hash(c, 0));
  EXPECT_NE(Hash(a, 1), Hash(c, 1));
  // A caller's hash type is overwritten by the coin's.
  Json::Value d = a;
  d["input"][0]["hashtype"] = "0x02000000";
  EXPECT_EQ(Hash(a, 0), Hash(d, 0));
  // The mixed transaction counts one segwit input.
  const Prepared p = Prepare(a);
  EXPECT_EQ(p.tx["segwitcnt"].asString(), "1");
  EXPECT_EQ(p.tx["maker"].asString(), "0x00");
  EXPECT_EQ(p.tx["flags"].asString(), "0x01");
}

TEST(BtcSighash, Refusals) {
  struct Case {
    Json::Value tx;
    const char* coin;
    const char* chain;
  };
  Json::Value noOutput = Tx({kP2PKH});
  noOutput["output"] = Json::Value(Json::arrayValue);
  Json::Value notObject = Tx({kP2PKH});
  notObject["input"].append(3);
  const Case cases[] = {
      {noOutput, "btc", "GenerateBTCUnsignedTx:1478[txinfo is invalid(format) !!]"},
      {Json::Value("x"), "btc", "GenerateBTCUnsignedTx:1478[txinfo is invalid(format) !!]"},
      {Tx({kP2PKH}), "BTC", "GetCoinSpec:1457[BTC spec define is invalid !]<=GenerateBTCUnsignedTx:1484[txinfo is "
                            "invalid(coninsecp) !!]"},
      {notObject, "btc", "ReadyForUseJson:1375[input[1] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490["
                         "ReadyForUseJson Error !!]"},
  };
  for (const Case& c : cases) {
    Json::Value tx = c.tx, infos;
    ResetErrTrail();
    EXPECT_EQ(GenerateBTCUnsignedTx(tx, "main", c.coin, infos), 1);
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
  Json::Value entry(Json::objectValue);
  ResetErrTrail();
  EXPECT_EQ(MakeSignatureHash(entry), 1);
  EXPECT_EQ(GetErrTrail(), "MakeSignatureHash:1079[signinfos.unsignedrawtx is not exist !!]");
  ResetErrTrail();
  EXPECT_EQ(MakeUnsignedTx(Tx({kP2PKH}), 1, In(kP2PKH, 0), entry), 1);
  EXPECT_EQ(GetErrTrail(), "MakeUnsignedTx:960[input[1] is invalie !!]");
}

}  // namespace
