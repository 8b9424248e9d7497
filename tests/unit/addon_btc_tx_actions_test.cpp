// The transaction actions of the Bitcoin-family add-on end to end:
// published vectors, the two-step flow with an outside signer, and the
// refusals of each action.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cctype>
#include <string>

#include "btc/params.h"
#include "btc/tx_size.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "addon_btc_testing.h"
#include "addon_btc_tx_testing.h"
#include "tv_test.h"

namespace {

using namespace btctx;

// BIP 143's P2SH-P2WPKH example, written as a request.
constexpr char kBip143Pri[] = "0xeb696a065ef48a2192da5b28b694f87544b30fae8327c4510137a922f32c6dcf";
constexpr char kBip143Signed[] =
    "0x01000000000101db6b1b20aa0fd7b23880be2ecbd4a98130974cf4748fb66092ac4d3ceb1a5477010000001716001479091972186c"
    "449eb1ded22b78e40d009bdf0089feffffff02b8b4eb0b000000001976a914a457b684d7f0d539a46a45bbc043f35b59d0d96388ac00"
    "08af2f000000001976a914fd270b1ee6abcaea97fea7ad0402e8bd8ad6d77c88ac02473044022047ac8e878352d3ebbde1c94ce3a10d"
    "057c24175747116f8288e5d794d12d482f0220217f36a485cae903c713331d877c1f64677e3622ad4010726870540656fe9dcb012103"
    "ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a2687392040000";

Json::Value Bip143Args(bool withPri) {
  Json::Value args = tvt::ParseJson(R"({"coin":"btc","txinfo":{
    "locktime":"0x92040000",
    "input":[{"prehex":"0x77541aeb3c4dac9260b68f74f44c973081a9d4cb2ebe8038b2d70faa201b6bdb","preidx":"1",
              "prevalue":"1000000000","sequence":"0xfeffffff",
              "prespub":"0xa9144733f37cf4db86fbc2efed2500b4f4e49f31202387",
              "wallet":{"pub":"0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873"}}],
    "output":[{"dest":"1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7","value":"199996600"},
              {"dest":"1Q5YjKVj5yQWHBBsyEBamkfph3cA6G9KK8","value":"800000000"}]}})");
  if (withPri) args["txinfo"]["input"][0]["wallet"] = tvt::ParseJson(std::string(R"({"pri":")") + kBip143Pri + "\"}");
  return args;
}

TEST(BtcTxActions, Bip143ExampleGivesItsHashAndItsSignedTransaction) {
  Json::Value args = Bip143Args(false);
  ASSERT_EQ(UnsignedTx(args, "btc"), 0) << GetErrTrail();
  ASSERT_EQ(args["signinfos"].size(), 1u);
  EXPECT_EQ(args["signinfos"][0]["signaturehash"].asString(),
            "0x64f3b0f4dd2bb3aa1ce8566d220cc74dda9df97d8490cc81d89d735c92e59fb6");
  EXPECT_EQ(args["network"].asString(), "main");

  Json::Value one = Bip143Args(true);
  ASSERT_EQ(OneStepTx(one, "btc"), 0) << GetErrTrail();
  EXPECT_EQ(one["rawtx"].asString(), kBip143Signed);
}


// A signature of 69 bytes from the add-on's own signer: R is below 2^247,
// so its DER integer has 31 bytes. Framed at 32 bytes with a zero in front it
// would not be strict DER, and a count of 70 to 72-byte signatures would not
// see it. The expected bytes come from python-ecdsa and python-bitcoinlib.
TEST(BtcTxActions, OwnSignatureWithAShortRIsMinimalDer) {
  Json::Value args = tvt::ParseJson(R"({"coin":"btc","txinfo":{
    "input":[{"prehex":"0x8ac60eb9575db5b2d987e29f301b5b819ea83a5c6579d282d189cc04b8e151ef","preidx":"0",
              "prevalue":"100000","prespub":"0x76a914cebcc0399cb2735471aa374c30fe10cd57cb46de88ac",
              "wallet":{"pri":"0x7db40133bf061a0cb79fd179d3b2f8f7696498f2d0590bcb42c9e34f7bbbd19f"}}],
    "output":[{"dest":"1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH","value":"90000"}]}})");
  ASSERT_EQ(OneStepTx(args, "btc"), 0) << GetErrTrail();
  EXPECT_EQ(args["rawtx"].asString(),
            "0x0100000001ef51e1b804cc89d182d279655c3aa89e815b1b309fe287d9b2b55d57b90ec68a0000000069463043021f526d4c"
            "1948686affd34672d97f4bc35258f8ef3d24754b206845783287b151022041eb17cda6d57a582c76a40fd77663d277773fa7da89"
            "67c00a1ae48748deb0da012102f5f6ab3fc48a59a6f31a5df4286b194bfb571ba5730c3fbcf9a082ad87c9d672ffffffff01905f"
            "0100000000001976a914751e76e8199196d454941c45d1b3a323f1433bd688ac00000000");
}

struct TwoStep {
  Json::Value c;         // the model's case
  Json::Value unsigned_; // the "GenUnsignedTx" reply
  Json::Value infos;     // its "signinfos", to be signed
};

TwoStep Start(const char* coin, const char* type, int n, int m, int seed) {
  TwoStep t;
  t.c = OracleJson(std::string(R"({"mode":"one","seed":)") + std::to_string(seed) + R"(,"coin":")" + coin +
                   R"(","type":")" + type + R"(","n":)" + std::to_string(n) + R"(,"m":)" + std::to_string(m) + "}");
  t.unsigned_ = Json::Value(Json::objectValue);
  t.unsigned_["txinfo"] = TxInfo(t.c, false);
  EXPECT_EQ(UnsignedTx(t.unsigned_, coin), 0) << GetErrTrail();
  t.infos = t.unsigned_["signinfos"];
  return t;
}

std::string Pri(const TwoStep& t, int k) { return t.c["inputs"][0]["pris"][k].asString(); }
std::string Hash(const TwoStep& t) { return t.infos[0]["signaturehash"].asString(); }
Json::Value& Sig(TwoStep& t, int k) { return t.infos[0]["signinfo"][k]["signature"]; }

int Finish(const TwoStep& t, const char* coin, Json::Value& reply) {
  reply = Json::Value(Json::objectValue);
  reply["txinfo"]["unsignedtxinfo"] = t.unsigned_["unsignedtxinfo"];
  reply["txinfo"]["signinfos"] = t.infos;
  return SignedTx(reply, coin);
}

// An outside signer signs keys 1 and 3 of a 2-of-3 (not adjacent), one
// signature short (69 bytes or less), one with a high S. Both count; the high
// S goes into the transaction in its low form, the caller's array keeps it.
TEST(BtcTxActions, OutsideSignerWithShortAndHighSSignatures) {
  struct Case {
    const char* coin;
    const char* type;
  };
  const Case cases[] = {{"btc", "P2SH"}, {"ltc", "P2WSH"}, {"btg", "P2SH(P2WSH)"}, {"bch", "P2SH"}, {"bsv", "P2SH"}};
  int seed = 100;
  for (const Case& cs : cases) {
    TwoStep t = Start(cs.coin, cs.type, 3, 2, ++seed);
    EXPECT_EQ(tvt::ParseJson(DecodeBase64Text(t.unsigned_["unsignedtxinfo"].asString())), t.unsigned_["txinfo"]);
    Sig(t, 0) = OutsideSign(Pri(t, 0), Hash(t), 69);
    Sig(t, 2) = HighS(OutsideSign(Pri(t, 2), Hash(t)));
    Json::Value reply;
    ASSERT_EQ(Finish(t, cs.coin, reply), 0) << cs.type << " " << GetErrTrail();
    EXPECT_EQ(reply["txinfo"]["signinfos"], t.infos);
    EXPECT_EQ(OracleCheckOne(t.c, reply["rawtx"].asString()), "ok") << cs.coin << " " << cs.type;
  }
}

// A signature that is not strict DER counts as absent, also when its numbers
// verify: here key 1's signature with R framed at 33 bytes behind a needless
// zero. With key 3 alone the 2-of-3 lacks a signature; with key 2 added it
// is complete and the padded one is not used.
TEST(BtcTxActions, NonStrictSignatureCountsAsAbsent) {
  TwoStep t = Start("btc", "P2WSH", 3, 2, 7);
  const std::string good = OutsideSign(Pri(t, 0), Hash(t));
  const tvt::Bytes der = tvt::Unhex(good.substr(2));
  tvt::Bytes padded = {0x30, static_cast<unsigned char>(der[1] + 1), 0x02, static_cast<unsigned char>(der[3] + 1), 0x00};
  padded.insert(padded.end(), der.begin() + 4, der.end());
  Sig(t, 0) = "0x" + tvt::Hex(padded);
  Sig(t, 2) = OutsideSign(Pri(t, 2), Hash(t));
  Json::Value reply;
  ASSERT_EQ(Finish(t, "btc", reply), 1);
  EXPECT_NE(GetErrTrail().find("MakeScripSig:1209[make signed transaction more need signature !!]<="
                               "GenerateBTCSignedTx:1630[make input[0]scriptsig error !!]<="
                               "GenSignedTx_BTC:1792[GenerateSignedTx error !!]"),
            std::string::npos)
      << GetErrTrail();

  Sig(t, 1) = OutsideSign(Pri(t, 1), Hash(t));
  ASSERT_EQ(Finish(t, "btc", reply), 0) << GetErrTrail();
  EXPECT_EQ(OracleCheckOne(t.c, reply["rawtx"].asString()), "ok");
}

// Every strict signature must verify, also one beyond the m needed.
TEST(BtcTxActions, StrictSignatureThatDoesNotVerifyFails) {
  TwoStep t = Start("btc", "P2SH", 3, 2, 8);
  Sig(t, 0) = OutsideSign(Pri(t, 0), Hash(t));
  Sig(t, 1) = OutsideSign(Pri(t, 1), Hash(t));
  Sig(t, 2) = OutsideSign(Pri(t, 0), Hash(t));  // the wrong key
  Json::Value reply;
  ASSERT_EQ(Finish(t, "btc", reply), 1);
  EXPECT_NE(GetErrTrail().find("GenerateBTCSignedTx:1623[signinfos[0].signinfo[2].signature verify is failed !!]<="
                               "GenSignedTx_BTC:1792[GenerateSignedTx error !!]"),
            std::string::npos)
      << GetErrTrail();
}

// The redeem script of a P2SH input is pushed minimally: directly up to 75
// bytes (a 2-of-2 is 71), with 0x4c up to 255 (a 2-of-3 is 105), with 0x4d
// beyond (8 keys and more). The model checks every push; over 520 bytes (16
// keys) a P2SH input can never be spent and is refused.
TEST(BtcTxActions, RedeemScriptPushIsMinimal) {
  const int keys[] = {1, 2, 3, 7, 8, 15};
  int seed = 200;
  for (int n : keys) {
    TwoStep t = Start("bch", "P2SH", n, n > 1 ? 2 : 1, ++seed);
    for (int k = 0; k < (n > 1 ? 2 : 1); ++k) Sig(t, k) = OutsideSign(Pri(t, k), Hash(t));
    Json::Value reply;
    ASSERT_EQ(Finish(t, "bch", reply), 0) << n << " " << GetErrTrail();
    EXPECT_EQ(OracleCheckOne(t.c, reply["rawtx"].asString()), "ok") << n << " keys";
  }
  const Json::Value c = OracleJson(R"({"mode":"one","seed":5,"coin":"btc","type":"P2SH","n":16,"m":1})");
  Json::Value args(Json::objectValue);
  args["txinfo"] = TxInfo(c, false);
  ASSERT_EQ(UnsignedTx(args, "btc"), 1);
  EXPECT_NE(GetErrTrail().find("MakeUtxoType:928[not support scriptpub[0x" + c["inputs"][0]["prespub"].asString() +
                               "] !!]"),
            std::string::npos)
      << GetErrTrail();
  // The same 16 keys in a P2WSH are fine: the witness carries them.
  const Json::Value w = OracleJson(R"({"mode":"one","seed":5,"coin":"btc","type":"P2WSH","n":16,"m":1})");
  args["txinfo"] = TxInfo(w, false);
  EXPECT_EQ(UnsignedTx(args, "btc"), 0) << GetErrTrail();
}

// A redeem script with bytes after OP_CHECKMULTISIG is no multisig script:
// the input is refused before anything is hashed.
TEST(BtcTxActions, RedeemScriptWithTrailingBytesIsRefused) {
  const Json::Value c = OracleJson(R"({"mode":"one","seed":11,"coin":"btc","type":"P2WSH","n":2,"m":2})");
  Json::Value args(Json::objectValue);
  args["txinfo"] = TxInfo(c, false);
  args["txinfo"]["input"][0]["redeems"] = args["txinfo"]["input"][0]["redeems"].asString() + "52ae";
  ASSERT_EQ(UnsignedTx(args, "btc"), 1);
  EXPECT_NE(GetErrTrail().find("MakeUtxoType:913[GetRedeemInfo Error !!]<=GenerateBTCUnsignedTx:1506[input[0] "
                               "MakeUtxoType Error !!]<=GenUnsignedTx_BTC:1739[GenerateUnsignedTx error !!]"),
            std::string::npos)
      << GetErrTrail();
}

// Bitcoin Cash and Bitcoin SV have no segwit: an input that spends a segwit
// script is refused there, single key (894) or redeem script (928).
TEST(BtcTxActions, SegwitSpendsAreRefusedOnCashChains) {
  struct Case {
    const char* type;
    int n;
    const char* entry;
  };
  const Case cases[] = {{"P2WPKH", 1, "MakeUtxoType:894"},
                        {"P2SH(P2WPKH)", 1, "MakeUtxoType:894"},
                        {"P2WSH", 2, "MakeUtxoType:928"},
                        {"P2SH(P2WSH)", 2, "MakeUtxoType:928"}};
  for (const char* coin : {"bch", "bsv"}) {
    for (const Case& cs : cases) {
      // The model makes the spent script on btc; only the coin changes.
      Json::Value c = OracleJson(std::string(R"({"mode":"one","seed":9,"coin":"btc","type":")") + cs.type +
                                 R"(","n":)" + std::to_string(cs.n) + R"(,"m":1})");
      c["outputs"][0]["dest"] = "bitcoincash:qp63uahgrxged4z5jswyt5dn5v3lzsem6cy4spdc2h";
      Json::Value args(Json::objectValue);
      args["txinfo"] = TxInfo(c, false);
      ASSERT_EQ(UnsignedTx(args, coin), 1) << coin << " " << cs.type;
      EXPECT_NE(GetErrTrail().find(std::string(cs.entry) + "[not support scriptpub[0x" +
                                   c["inputs"][0]["prespub"].asString() + "] !!]"),
                std::string::npos)
          << GetErrTrail();
      // The same input on btc is accepted.
      args["txinfo"]["output"][0]["dest"] = "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH";
      EXPECT_EQ(UnsignedTx(args, "btc"), 0) << GetErrTrail();
    }
  }
}

// `count` copies of the model's one input of `type` (`keys` keys, all
// needed), each spending an outpoint of its own, paid to one P2PKH output.
Json::Value Replicated(const std::string& coin, const char* type, int keys, int count) {
  const Json::Value c = OracleJson(R"({"mode":"one","seed":5,"coin":")" + coin + R"(","type":")" + type +
                                   R"(","n":)" + std::to_string(keys) + R"(,"m":)" + std::to_string(keys) + "}");
  Json::Value tx = TxInfo(c, false);
  const Json::Value in = tx["input"][0];
  tx["input"] = Json::Value(Json::arrayValue);
  for (int i = 0; i < count; ++i) {
    Json::Value one = in;
    const unsigned char id[32] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8), 0xa5};
    one["prehex"] = "0x" + tvt::Hex(id, sizeof id);
    one["prevalue"] = "10000";
    tx["input"].append(one);
  }
  tx["output"][0]["value"] = "5000";
  tx["output"][0]["dest"] = coin == "ltc"   ? "LVuDpNCSSj6pQ7t9Pv6d6sUkLKoqDEVUnJ"
                            : coin == "btg" ? "GUXByHDZLvU4DnVH9imSFckt3HEQ5cFgE5"
                                            : "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH";
  return tx;
}

// Nodes relay transactions up to weight 400000 (btc, ltc, btg) or up to
// 100000 bytes (bch) and 10000000 bytes (bsv). What a transaction takes once
// signed is bounded from its inputs before any signature hash: a P2PKH input
// at most 148 bytes, a P2WPKH input 41 bytes and 108 witness bytes, a P2SH
// 15-of-15 input 1655 bytes. Beyond the limit the transaction is refused.
TEST(BtcTxActions, TransactionsBeyondTheRelayLimitAreRefused) {
  const std::string weight = "GenerateBTCUnsignedTx:1509[transaction is over the relay limit(weight[400000]) !!]";
  const std::string bytes = "GenerateBTCUnsignedTx:1509[transaction is over the relay limit(size[100000]) !!]";
  struct Case {
    const char* coin;
    const char* type;
    int keys, count;
    std::string chain;  // empty: accepted
  };
  const Case cases[] = {
      {"btc", "P2PKH", 1, 674, ""},
      {"btc", "P2PKH", 1, 675, weight},
      {"ltc", "P2PKH", 1, 675, weight},
      {"btg", "P2PKH", 1, 674, ""},
      {"btc", "P2WPKH", 1, 1469, ""},
      {"btc", "P2WPKH", 1, 1470, weight},
      {"btc", "P2SH", 15, 60, ""},
      {"btc", "P2SH", 15, 61, weight},
      {"bch", "P2PKH", 1, 675, ""},
      {"bch", "P2PKH", 1, 676, bytes},
      {"bsv", "P2PKH", 1, 676, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.coin) + " " + c.type + " x" + std::to_string(c.count));
    Json::Value args(Json::objectValue);
    args["txinfo"] = Replicated(c.coin, c.type, c.keys, c.count);
    const int rc = UnsignedTx(args, c.coin);
    if (c.chain.empty()) {
      EXPECT_EQ(rc, 0) << GetErrTrail();
      EXPECT_EQ(args["signinfos"].size(), static_cast<Json::ArrayIndex>(c.count));
    } else {
      // The chain ends with the refusal; before it stand the entries that the
      // script tests tried on each input left (segwit inputs fail the P2PKH
      // test first).
      const std::string chain = GetErrTrail();
      const std::string tail = c.chain + "<=GenUnsignedTx_BTC:1739[GenerateUnsignedTx error !!]";
      EXPECT_EQ(rc, 1);
      ASSERT_GE(chain.size(), tail.size());
      EXPECT_EQ(chain.substr(chain.size() - tail.size()), tail);
      EXPECT_FALSE(args.isMember("signinfos"));
    }
  }
  // The counts alone: every input takes at least 41 bytes, every output 9.
  // Such a transaction is refused before its inputs are even read.
  struct Count {
    const char* coin;
    Json::ArrayIndex inputs;
    std::string chain;
  };
  const Count counts[] = {
      {"btc", 2438, "ReadyForUseJson:1375[input[0] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490[ReadyForUseJson Error !!]"},
      {"btc", 2439, "GenerateBTCUnsignedTx:1487[transaction is over the relay limit(weight[400000]) !!]"},
      {"bch", 2438, "ReadyForUseJson:1375[input[0] is invalid(format) !!]<=GenerateBTCUnsignedTx:1490[ReadyForUseJson Error !!]"},
      {"bch", 2439, "GenerateBTCUnsignedTx:1487[transaction is over the relay limit(size[100000]) !!]"},
  };
  for (const Count& c : counts) {
    Json::Value args(Json::objectValue);
    Json::Value& tx = args["txinfo"];
    for (Json::ArrayIndex i = 0; i < c.inputs; ++i) tx["input"].append(Json::Value(Json::objectValue));
    tx["output"].append(Json::Value(Json::objectValue));
    EXPECT_EQ(UnsignedTx(args, c.coin), 1);
    EXPECT_EQ(GetErrTrail(), c.chain + "<=GenUnsignedTx_BTC:1739[GenerateUnsignedTx error !!]") << c.inputs;
  }
  // Bitcoin SV's ten million bytes take 243901 inputs by their counts.
  const CoinLimits& bsv = *GetCoinLimits("bsv");
  EXPECT_FALSE(IsOverRelayLimit(MinimalTxSize(243901, 1), bsv));
  EXPECT_TRUE(IsOverRelayLimit(MinimalTxSize(243902, 1), bsv));
  EXPECT_EQ(OverRelayLimitMessage(bsv), "transaction is over the relay limit(size[10000000]) !!");
}

// "version", "locktime" and "sequence" go into the transaction as their
// bytes: each must be "0x" and exactly 8 hex digits.
TEST(BtcTxActions, FixedWidthFieldsMustBeFourBytes) {
  struct Case {
    const char* field;
    const char* value;
    bool ok;
  };
  const Case cases[] = {
      {"version", "0x02000000", true},  {"version", "2", false},           {"version", "0x2", false},
      {"version", "0x0200000", false},  {"version", "0x0200000000", false}, {"version", "0x0200000g", false},
      {"version", "02000000", false},   {"version", "", false},             {"locktime", "0xffffffff", true},
      {"locktime", "4294967294", false}, {"locktime", "0x", false},          {"sequence", "0xFEFFFFFF", true},
      {"sequence", "0xfffffffe0", false}, {"sequence", "4294967294", false}, {"sequence", "feffffff", false},
  };
  for (const Case& cs : cases) {
    Json::Value args = Bip143Args(true);
    Json::Value& where = std::string(cs.field) == "sequence" ? args["txinfo"]["input"][0] : args["txinfo"];
    where[cs.field] = cs.value;
    ASSERT_EQ(OneStepTx(args, "btc"), cs.ok ? 0 : 1) << cs.field << " " << cs.value << " " << GetErrTrail();
    if (cs.ok) continue;
    const std::string entry = std::string(cs.field) == "sequence" ? "ReadyForUseJson:1375[input[0] is invalid(format) !!]"
                                                                  : "ReadyForUseJson:1360[txinfo is invalid(format) !!]";
    EXPECT_EQ(GetErrTrail().find(entry), 0u) << GetErrTrail();
  }
  // Null falls back to the default; a number where text is expected is
  // refused by name, not signed as the default.
  Json::Value args = Bip143Args(true);
  args["txinfo"]["version"] = Json::Value();
  args["txinfo"]["locktime"] = Json::Value();
  ASSERT_EQ(OneStepTx(args, "btc"), 0) << GetErrTrail();
  EXPECT_EQ(args["rawtx"].asString().substr(0, 10), "0x01000000");
  EXPECT_EQ(args["rawtx"].asString().substr(args["rawtx"].asString().size() - 8), "00000000");
  for (const char* field : {"version", "locktime", "sequence"}) {
    args = Bip143Args(true);
    Json::Value& where = std::string(field) == "sequence" ? args["txinfo"]["input"][0] : args["txinfo"];
    where[field] = 2;
    try {
      OneStepTx(args, "btc");
      ADD_FAILURE() << field << " given as a number was taken";
    } catch (const ArgumentRefused& e) {
      EXPECT_EQ(std::string(e.what()), std::string(field) + " is not a JSON string");
    }
  }
}

// Refusals of the three actions, with the chain they leave.
TEST(BtcTxActions, RefusalTable) {
  struct Case {
    const char* action;
    std::string args;
    const char* chain;
  };
  const std::string bip143 = std::string(WriteJson(Bip143Args(true), ""));
  const Case cases[] = {
      {"GenTx", R"({})", "GenTx_BTC:1678[txinfo is not exist !!]"},
      {"GenTx", R"({"txinfo":{"input":[{"wallet":{"pub":"0x02"}}]}})",
       "GenTx_BTC:1684[input.wallet.pri is not exist or multisign is exist !!]"},
      {"GenTx", R"({"txinfo":{"input":[{"wallet":{"pri":"0x01"},"redeems":""}]}})",
       "GenTx_BTC:1690[GenTx is not support multisig (use GenUnsignedTx and GenSignedTx) !!]"},
      {"GenTx", R"({"txinfo":{"input":[],"output":[]}})",
       "GenerateBTCUnsignedTx:1478[txinfo is invalid(format) !!]<=GenTx_BTC:1698[GenerateUnsignedTx error !!]"},
      {"GenUnsignedTx", R"({"txinfo":"x"})", "GenUnsignedTx_BTC:1731[object is not exist(txinfo)]"},
      {"GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"*&^%","signinfos":[]}})", "GenSignedTx_BTC:1771[BCMGenBase64Decode Error]"},
      {"GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"bm90IGpzb24=","signinfos":[]}})",
       "GenSignedTx_BTC:1779[json format error(unsignedtx)]"},
      {"GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"WzFd","signinfos":[]}})",
       "GenSignedTx_BTC:1779[json format error(unsignedtx)]"},
      {"GenSignedTx", R"({"txinfo":{"unsignedtxinfo":"e30=","signinfos":{}}})", "GenSignedTx_BTC:1763[txinfo is invalid(data) !!]"},
  };
  for (const Case& cs : cases) {
    Json::Value args = tvt::ParseJson(cs.args);
    const std::string action = cs.action;
    const int rc = action == "GenTx" ? OneStepTx(args, "btc")
                   : action == "GenUnsignedTx" ? UnsignedTx(args, "btc")
                                               : SignedTx(args, "btc");
    EXPECT_EQ(rc, 1) << cs.args;
    EXPECT_EQ(GetErrTrail(), cs.chain) << cs.args;
  }
  // Another coin than the five; a signature hash given back changed in case only.
  Json::Value args = Bip143Args(false);
  EXPECT_EQ(UnsignedTx(args, "doge"), 1);
  EXPECT_NE(GetErrTrail().find("GenerateBTCUnsignedTx:1484[txinfo is invalid(coninsecp) !!]"), std::string::npos);
  ResetErrTrail();
  ASSERT_EQ(UnsignedTx(args, "btc"), 0);
  Json::Value infos = args["signinfos"];
  std::string h = infos[0]["signaturehash"].asString();
  for (char& ch : h) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  infos[0]["signaturehash"] = "0x" + h.substr(2);
  Json::Value second(Json::objectValue);
  second["txinfo"]["unsignedtxinfo"] = args["unsignedtxinfo"];
  second["txinfo"]["signinfos"] = infos;
  EXPECT_EQ(SignedTx(second, "btc"), 1);
  EXPECT_NE(GetErrTrail().find("GenerateBTCSignedTx:1591[input[0].signinfos.signaturehash is not exist !!]"),
            std::string::npos)
      << GetErrTrail();
  // Given back exactly as produced (no signature), the input lacks its one.
  ResetErrTrail();
  second["txinfo"]["signinfos"] = args["signinfos"];
  EXPECT_EQ(SignedTx(second, "btc"), 1);
  EXPECT_NE(GetErrTrail().find("MakeScripSig:1209[make signed transaction more need signature !!]"), std::string::npos)
      << GetErrTrail();
}

// The three actions through RunModule_BTC: rows of the entry's table, one
// line on success, the action's own record on failure.
TEST(BtcTxActions, ThroughTheEntry) {
  Json::Value args = Bip143Args(true);
  args.removeMember("coin");
  const std::string txinfo = std::string(WriteJson(args["txinfo"], ""));
  btct::Reply r = btct::Send(R"({"action":"GenTx","args":{"txinfo":)" + txinfo + "}}");
  ASSERT_EQ(r.rc, 0) << r.text;
  EXPECT_EQ(r.text.find('\n'), std::string::npos);
  EXPECT_EQ(r.value["rawtx"].asString(), kBip143Signed);
  EXPECT_EQ(r.value["coin"].asString(), "btc");
  EXPECT_EQ(r.value["network"].asString(), "main");
  EXPECT_EQ(r.value["txinfo"], args["txinfo"]);

  // Litecoin by "coin", whatever the library was loaded as: the same
  // transaction, since Litecoin shares Bitcoin's hash type, but the outputs
  // must be Litecoin addresses.
  r = btct::Send(R"({"action":"GenTx","args":{"coin":"ltc","txinfo":)" + txinfo + "}}");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.Chain().find("ltclegacy addr[1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7] is invalid !!"), std::string::npos)
      << r.Chain();

  struct Case {
    std::string request;
    std::string chain;
  };
  const Case cases[] = {
      {R"({"action":"GenTx","args":{"txinfo":{"input":[{"wallet":{"pub":"0x02"}}]}}})",
       "GenTx_BTC:1684[input.wallet.pri is not exist or multisign is exist !!]<=RunModule_BTC:1869[GetTx Error]"},
      {R"({"action":"GenUnsignedTx","args":{}})",
       "GenUnsignedTx_BTC:1731[object is not exist(txinfo)]<=RunModule_BTC:1853[GenUnsignedTx Error]"},
      {R"({"action":"GenSignedTx","args":{"txinfo":{}}})",
       "GenSignedTx_BTC:1763[txinfo is invalid(data) !!]<=RunModule_BTC:1861[GenSignedTx Error]"},
      {R"({"action":"GenUnsignedTx","args":{"txinfo":{"input":[{"prehex":"0x)" + std::string(64, '1') +
           R"(","preidx":"0","prevalue":"1","prespub":"0x76a9q","wallet":{"pub":"0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873"}}],"output":[{"dest":"1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7","value":"1"}]}}})",
       "RunModule_BTC:1880[prespub is not hex text !!]"},
  };
  for (const Case& c : cases) {
    r = btct::Send(c.request);
    EXPECT_EQ(r.rc, 1) << c.request;
    EXPECT_EQ(r.value["error"]["err_code"].asString(), "1000");
    EXPECT_EQ(r.Chain(), c.chain);
  }
}

}  // namespace
