// The add-on's own signer: strict DER with low S, deterministic, single-key
// inputs only, and its refusals.
#include <gtest/gtest.h>
#include <json/json.h>
#include <secp256k1.h>

#include <string>

#include "btc/der_signature.h"
#include "btc/sighash.h"
#include "btc/signing.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "tv_test.h"

namespace {

const std::string kPri = "0xeb696a065ef48a2192da5b28b694f87544b30fae8327c4510137a922f32c6dcf";
const std::string kPub = "0x03ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a26873";
const std::string kHash = "0x64f3b0f4dd2bb3aa1ce8566d220cc74dda9df97d8490cc81d89d735c92e59fb6";

Json::Value Input(const std::string& pri = kPri) {
  Json::Value in(Json::objectValue);
  in["wallet"]["pri"] = pri;
  return in;
}

Json::Value Entry(const std::string& hash = kHash) {
  Json::Value e(Json::objectValue);
  e["signaturehash"] = hash;
  e["signinfo"][0]["pubkey"] = kPub;
  e["signinfo"][0]["signature"] = "";
  return e;
}

int Sign(const Json::Value& in, Json::Value& entry) {
  ResetErrTrail();
  return MakeSignature(in, entry);
}

TEST(BtcSigning, SignsStrictLowSAndDeterministic) {
  static secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_VERIFY);
  secp256k1_pubkey pub;
  const tvt::Bytes pubBytes = tvt::Unhex(kPub.substr(2));
  ASSERT_EQ(secp256k1_ec_pubkey_parse(ctx, &pub, pubBytes.data(), pubBytes.size()), 1);
  tvt::TestRng rng(5);
  for (int i = 0; i < 50; ++i) {
    const std::string hash = "0x" + tvt::Hex(rng.RandBytes(32));
    Json::Value a = Entry(hash), b = Entry(hash);
    ASSERT_EQ(Sign(Input(), a), 0) << GetErrTrail();
    ASSERT_EQ(Sign(Input(), b), 0);
    const std::string sig = a["signinfo"][0]["signature"].asString();
    EXPECT_EQ(sig, b["signinfo"][0]["signature"].asString());
    const tvt::Bytes der = HexToBytes(sig);
    EXPECT_LE(der.size(), 72u);
    EXPECT_TRUE(IsStrictDerSignature(der)) << sig;
    EXPECT_EQ(LowSDerSignature(der), der) << "high S: " << sig;
    // libsecp256k1 verifies only low-S signatures.
    secp256k1_ecdsa_signature parsed;
    ASSERT_EQ(secp256k1_ecdsa_signature_parse_der(ctx, &parsed, der.data(), der.size()), 1);
    EXPECT_EQ(secp256k1_ecdsa_verify(ctx, &parsed, tvt::Unhex(hash.substr(2)).data(), &pub), 1);
  }
}

TEST(BtcSigning, Refusals) {
  struct Case {
    Json::Value in, entry;
    const char* tail;
  };
  Json::Value pubOnly(Json::objectValue);
  pubOnly["wallet"]["pub"] = kPub;
  Json::Value ed = Input();
  ed["wallet"]["algo"] = "ED25519";
  Json::Value twoKeys = Entry();
  twoKeys["signinfo"][1]["pubkey"] = kPub;
  Json::Value otherKey = Entry();
  otherKey["signinfo"][0]["pubkey"] = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
  Json::Value noHash = Entry();
  noHash.removeMember("signaturehash");
  const Case cases[] = {
      {pubOnly, Entry(), "MakeSignature:1102[wallet.pri is invalid !!]"},
      {Input(kPri.substr(0, 64)), Entry(), "MakeSignature:1102[wallet.pri is invalid !!]"},
      {ed, Entry(), "MakeSignature:1102[wallet.pri is invalid !!]"},
      {Input(), twoKeys, "MakeSignature:1109[jvSignInfo.signinfo is invalie !!]"},
      {Input(), otherKey, "MakeSignature:1109[jvSignInfo.signinfo is invalie !!]"},
      {Input(), noHash, "MakeSignature:1115[jvSignInfo.signaturehash is not exist !!]"},
      {Input(), Entry(kHash.substr(0, 64)), "MakeSignature:1121[jvSignInfo.signaturehash is invalid !!]"},
  };
  for (const Case& c : cases) {
    Json::Value entry = c.entry;
    EXPECT_EQ(Sign(c.in, entry), 1) << c.tail;
    const std::string chain = GetErrTrail();
    EXPECT_EQ(chain.substr(chain.size() - std::min(chain.size(), std::string(c.tail).size())), c.tail) << chain;
    EXPECT_EQ(entry, c.entry);
  }
  // The whole transaction: counts must match, and each entry needs its hash.
  Json::Value tx(Json::objectValue);
  tx["input"].append(Input());
  tx["input"].append(Input());
  Json::Value infos(Json::arrayValue);
  infos.append(Entry());
  ResetErrTrail();
  EXPECT_EQ(GenerateBTCSignature(tx, infos), 1);
  EXPECT_EQ(GetErrTrail(), "GenerateBTCSignature:1544[tx.input and tx.signifnos is not invalid !!]");
  EXPECT_EQ(infos[0]["signinfo"][0]["signature"].asString(), "");
  infos.append(noHash);
  ResetErrTrail();
  EXPECT_EQ(GenerateBTCSignature(tx, infos), 1);
  EXPECT_EQ(GetErrTrail(), "GenerateBTCSignature:1560[jvSigninfo[1].signaturehash is not exist !!]");
  tx["input"][1] = Json::Value(Json::objectValue);
  ResetErrTrail();
  EXPECT_EQ(GenerateBTCSignature(tx, infos), 1);
  EXPECT_EQ(GetErrTrail(), "GenerateBTCSignature:1554[input[1].wallet is not exist !!]");
}

}  // namespace
