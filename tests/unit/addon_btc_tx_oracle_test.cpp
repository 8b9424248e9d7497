// Differential test of the Bitcoin-family transactions against an independent
// model (tests/fixtures/btc_tx_oracle.py: python-bitcoinlib and
// python-ecdsa): random keys, every coin, both networks, every input kind
// (one key; m-of-n up to 15 keys in P2SH, 16 in P2WSH), one to five inputs
// and outputs of every address kind. Each transaction must parse and
// re-serialise byte for byte, pay its outputs' scripts, carry minimal pushes
// and strict-DER low-S signatures with the coin's hash type that verify
// against the model's own digest, and (btc and ltc legacy inputs) pass the
// model's script interpreter. Inputs are signed both by "GenTx" and, through
// "GenUnsignedTx" and "GenSignedTx", by libsecp256k1 as an outside signer.
// The bound of the signed size that the relay limit is checked against must
// hold each transaction, and closely.
#include <gtest/gtest.h>
#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

#include "btc/sighash.h"
#include "btc/tx_size.h"
#include "common/error_chain.h"
#include "addon_btc_tx_testing.h"
#include "tv_test.h"

namespace {

using namespace btctx;

TEST(BtcTxOracle, RandomTransactionsOfEveryKindAgreeWithAnIndependentModel) {
  const Json::Value cases = OracleJson(R"({"mode":"make","seed":20261210,"count":150})");
  ASSERT_EQ(cases.size(), 150u);
  tvt::TestRng rng(77);
  Json::Value check(Json::arrayValue);
  int multisig = 0, oneStep = 0;
  for (const Json::Value& c : cases) {
    const std::string coin = c["coin"].asString();
    bool hasRedeem = false;
    for (const Json::Value& in : c["inputs"]) hasRedeem |= !in["redeem"].asString().empty();

    // Two steps, signed outside.
    Json::Value args(Json::objectValue);
    args["network"] = c["network"];
    args["txinfo"] = TxInfo(c, false);
    ASSERT_EQ(UnsignedTx(args, coin), 0) << GetErrTrail() << "\n" << c.toStyledString();
    EXPECT_EQ(tvt::ParseJson(DecodeBase64Text(args["unsignedtxinfo"].asString())), args["txinfo"]);
    Json::Value infos = args["signinfos"];
    ASSERT_EQ(infos.size(), c["inputs"].size());
    for (Json::ArrayIndex i = 0; i < infos.size(); ++i) {
      const Json::Value& in = c["inputs"][i];
      const Json::ArrayIndex n = in["pubs"].size();
      ASSERT_EQ(infos[i]["signinfo"].size(), n);
      ASSERT_EQ(infos[i]["needsig"].asString(), std::to_string(in["m"].asUInt()));
      // Any m or more of the n keys sign; the rest stay empty.
      std::vector<bool> signs(n, false);
      uint32_t count = 0;
      const uint32_t want = in["m"].asUInt() + rng.Below(n - in["m"].asUInt() + 1);
      while (count < want) {
        const uint32_t k = rng.Below(n);
        if (!signs[k]) signs[k] = true, ++count;
      }
      for (Json::ArrayIndex k = 0; k < n; ++k) {
        ASSERT_EQ(infos[i]["signinfo"][k]["pubkey"].asString(), Hx(in["pubs"][k].asString()));
        if (signs[k])
          infos[i]["signinfo"][k]["signature"] =
              OutsideSign(in["pris"][k].asString(), infos[i]["signaturehash"].asString());
      }
    }
    Json::Value second(Json::objectValue);
    second["network"] = c["network"];
    second["txinfo"]["unsignedtxinfo"] = args["unsignedtxinfo"];
    second["txinfo"]["signinfos"] = infos;
    ASSERT_EQ(SignedTx(second, coin), 0) << GetErrTrail() << "\n" << c.toStyledString();
    const std::string raw = second["rawtx"].asString();
    Json::Value item(Json::objectValue);
    item["case"] = c;
    item["rawtx"] = raw;
    Json::Value prepared = TxInfo(c, false), unused;
    ASSERT_EQ(GenerateBTCUnsignedTx(prepared, "main", coin, unused), 0) << GetErrTrail();
    TxSize bound = FrameTxSize(prepared);
    for (const Json::Value& in : prepared["input"]) AddInputTxSize(in, bound);
    item["bound"]["base"] = Json::UInt64(bound.base);
    item["bound"]["witness"] = Json::UInt64(bound.witness);
    check.append(item);
    multisig += hasRedeem;

    // One step with the private keys: the core's signer gives the same
    // RFC 6979 signatures as libsecp256k1, so the same bytes.
    if (!hasRedeem) {
      Json::Value one(Json::objectValue);
      one["network"] = c["network"];
      one["txinfo"] = TxInfo(c, true);
      ASSERT_EQ(OneStepTx(one, coin), 0) << GetErrTrail();
      EXPECT_EQ(one["rawtx"].asString(), raw);
      ++oneStep;
    }
  }
  EXPECT_GT(multisig, 20);
  EXPECT_GT(oneStep, 20);

  const std::vector<std::string> verdicts = OracleCheck(check);
  ASSERT_EQ(verdicts.size(), check.size());
  for (Json::ArrayIndex i = 0; i < check.size(); ++i)
    EXPECT_EQ(verdicts[i], "ok") << "case " << i << ": " << check[i].toStyledString();
}

}  // namespace
