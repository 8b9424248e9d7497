// The HD key actions through RunModule: exact replies along the SLIP-10 and
// BIP32 vector chains, leaf nodes against step-by-step derivation, and the
// refusals with their exact error objects (key-path numbers beyond 32 bits
// included, which must never be cut to a different key).
#include <gtest/gtest.h>
#include <openssl/hmac.h>

#include <cstdio>
#include <string>
#include <vector>

#include "key_actions_testing.h"
#include "tv_test.h"

namespace {

using kat::Pairs;

const Json::Value& HdVectors() {
  static const Json::Value v = tvt::ReadJson(tvt::VectorPath("hd-vectors.json"));
  return v;
}

std::string AlgoName(const std::string& curve) {
  if (curve == "ed25519") return "ED25519";
  if (curve == "nist256p1") return "P256";
  return "secp256k1";
}

// The vectors give Ed25519 public keys with SLIP-10's 00 prefix; the
// actions answer the 32-byte key.
std::string PubOf(const Json::Value& node, bool ed) {
  const std::string pub = node["public"].asString();
  return "0x" + (ed ? pub.substr(2) : pub);
}

// Last path element of "m/0'/1": its index, and the text a request carries
// (hardened ones in hex, for both number forms to be used).
uint32_t LastIndex(const std::string& path, std::string* text) {
  std::string last = path.substr(path.rfind('/') + 1);
  const bool hardened = last.back() == '\'';
  if (hardened) last.pop_back();
  const uint32_t index = static_cast<uint32_t>(std::stoul(last)) | (hardened ? 0x80000000u : 0);
  char buf[16];
  std::snprintf(buf, sizeof buf, hardened ? "0x%08x" : "%u", index);
  *text = buf;
  return index;
}

// Every vector record: its master node, then each child of the chain by
// private derivation, by public derivation where the index is normal, and
// each node's public key from its private key.
TEST(HdActions, VectorChains) {
  for (const Json::Value& rec : HdVectors()) {
    SCOPED_TRACE(rec["source"].asString());
    const std::string algo = AlgoName(rec["curve"].asString());
    const bool ed = algo == "ED25519";
    const Json::Value& chain = rec["chains"];
    ASSERT_EQ(chain[0]["path"].asString(), "m");

    const Pairs masterArgs = {{"algo", algo}, {"masterseed", "0x" + rec["seed"].asString()}};
    const kat::Reply m = kat::Send("GenMasterNode", masterArgs);
    EXPECT_EQ(m.rc, 0);
    EXPECT_EQ(m.envelope, kat::SuccessEnvelope("GenMasterNode",
                                               kat::Concat(masterArgs, {{"mpri", "0x" + chain[0]["private"].asString()},
                                                                        {"mpub", PubOf(chain[0], ed)},
                                                                        {"mchain", "0x" + chain[0]["chain"].asString()}})));

    for (Json::ArrayIndex i = 0; i < chain.size(); ++i) {
      const Json::Value& node = chain[i];
      const Pairs pubArgs = {{"algo", algo}, {"pri", "0x" + node["private"].asString()}};
      EXPECT_EQ(kat::Send("GenPubkeyFromPrikey", pubArgs).envelope,
                kat::SuccessEnvelope("GenPubkeyFromPrikey", kat::Concat(pubArgs, {{"pub", PubOf(node, ed)}})));
      if (i == 0) continue;

      const Json::Value& parent = chain[i - 1];
      std::string indexText;
      const uint32_t index = LastIndex(node["path"].asString(), &indexText);
      const Pairs child = {{"cpri", "0x" + node["private"].asString()},
                           {"cpub", PubOf(node, ed)},
                           {"cchain", "0x" + node["chain"].asString()}};
      const Pairs ckdArgs = {{"algo", algo},
                             {"ppri", "0x" + parent["private"].asString()},
                             {"ppub", PubOf(parent, ed)},
                             {"pchain", "0x" + parent["chain"].asString()},
                             {"index", indexText}};
      const kat::Reply c = kat::Send("GenCKD", ckdArgs);
      EXPECT_EQ(c.rc, 0);
      EXPECT_EQ(c.envelope, kat::SuccessEnvelope("GenCKD", kat::Concat(ckdArgs, child)));

      if (ed || index >= 0x80000000u) continue;
      const Pairs pubChildArgs = {{"algo", algo},
                                  {"ppub", PubOf(parent, ed)},
                                  {"pchain", "0x" + parent["chain"].asString()},
                                  {"index", indexText}};
      EXPECT_EQ(kat::Send("GenCKDPub", pubChildArgs).envelope,
                kat::SuccessEnvelope("GenCKDPub", kat::Concat(pubChildArgs, {child[1], child[2]})));
    }
  }
}

// A hardened index written in decimal is the same child as in hex.
TEST(HdActions, HardenedIndexInDecimal) {
  const Json::Value& chain = HdVectors()[0]["chains"];
  const Pairs args = {{"ppri", "0x" + chain[0]["private"].asString()},
                      {"ppub", "0x" + chain[0]["public"].asString()},
                      {"pchain", "0x" + chain[0]["chain"].asString()},
                      {"index", "2147483648"}};
  const kat::Reply r = kat::Send("GenCKD", args);
  ASSERT_EQ(r.rc, 0) << r.envelope;
  EXPECT_EQ(r.ret["algo"].asString(), "");
  EXPECT_EQ(r.ret["cpri"].asString(), "0x" + chain[1]["private"].asString());
}

// The empty seed is a seed (HMAC-SHA512 keyed "Bitcoin seed" over nothing),
// not a missing argument.
TEST(HdActions, EmptySeedIsASeed) {
  unsigned char mac[64];
  unsigned int macLen = 0;
  static const char kKey[] = "Bitcoin seed";
  static const unsigned char kNothing[1] = {0};
  ASSERT_NE(HMAC(EVP_sha512(), kKey, sizeof kKey - 1, kNothing, 0, mac, &macLen), nullptr);
  const kat::Reply r = kat::Send("GenMasterNode", {{"masterseed", ""}});
  ASSERT_EQ(r.rc, 0) << r.envelope;
  EXPECT_EQ(r.ret["mpri"].asString(), "0x" + tvt::Hex(mac, 32));
  EXPECT_EQ(r.ret["mchain"].asString(), "0x" + tvt::Hex(mac + 32, 32));
}

// GenLeafNode is m/44'/coin'/0'/0/index, the same as five GenCKD steps from
// the master node; the seed may be given as 64 characters of text.
TEST(HdActions, LeafNodeMatchesStepwiseDerivation) {
  const std::string bip39Seed =
      "0x" + tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"))["english"][0][2].asString();
  const std::string textSeed(64, 'k');
  const struct {
    const char* algo;
    std::string seed;
    const char* coin;
    const char* index;
    uint32_t coinValue, indexValue;
  } cases[] = {
      {"secp256k1", bip39Seed, "0", "0", 0, 0},
      {"secp256k1", bip39Seed, "60", "7", 60, 7},
      {"P256", textSeed, "0x1", "0x80000002", 1, 0x80000002u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.algo) + " " + c.coin + " " + c.index);
    const kat::Reply m = kat::Send("GenMasterNode", {{"algo", c.algo}, {"masterseed", c.seed}});
    ASSERT_EQ(m.rc, 0) << m.envelope;
    std::string pri = m.ret["mpri"].asString(), pub = m.ret["mpub"].asString(), chain = m.ret["mchain"].asString();
    for (uint32_t step : {0x8000002Cu, 0x80000000u | c.coinValue, 0x80000000u, 0u, c.indexValue}) {
      const kat::Reply s = kat::Send("GenCKD", {{"algo", c.algo},
                                               {"ppri", pri},
                                               {"ppub", pub},
                                               {"pchain", chain},
                                               {"index", std::to_string(step)}});
      ASSERT_EQ(s.rc, 0) << s.envelope;
      pri = s.ret["cpri"].asString();
      pub = s.ret["cpub"].asString();
      chain = s.ret["cchain"].asString();
    }
    const kat::Reply leaf =
        kat::Send("GenLeafNode", {{"algo", c.algo}, {"masterseed", c.seed}, {"cointype", c.coin}, {"index", c.index}});
    EXPECT_EQ(leaf.envelope,
              kat::SuccessEnvelope("GenLeafNode", {{"algo", c.algo},
                                                   {"cointype", c.coin},
                                                   {"index", c.index},
                                                   {"cpri", pri},
                                                   {"cpub", pub},
                                                   {"cchain", chain}}));
  }
}

TEST(HdActions, Refusals) {
  const Json::Value& chain = HdVectors()[0]["chains"];
  const std::string ppri = "0x" + chain[0]["private"].asString();
  const std::string ppub = "0x" + chain[0]["public"].asString();
  const std::string pchain = "0x" + chain[0]["chain"].asString();
  const std::string edPub = "0x" + chain[0]["public"].asString().substr(2);
  const std::string uncompressed = "0x04" + std::string(128, '1');
  const std::string seed32 = "0x" + std::string(64, '5');
  const std::string lenText = "parent's pri/pub/chain len is different 32/33/32byte";
  const std::string indexText = "index must be a number from 0 to 4294967295";
  auto ckd = [&](const std::string& algo, const std::string& pub, const std::string& index) {
    return Pairs{{"algo", algo}, {"ppri", ppri}, {"ppub", pub}, {"pchain", pchain}, {"index", index}};
  };
  auto ckdPub = [&](const std::string& algo, const std::string& pub, const std::string& index) {
    return Pairs{{"algo", algo}, {"ppub", pub}, {"pchain", pchain}, {"index", index}};
  };
  auto leaf = [&](const std::string& algo, const std::string& seed, const std::string& coin) {
    return Pairs{{"algo", algo}, {"masterseed", seed}, {"cointype", coin}, {"index", "0"}};
  };
  const Pairs leafEcho = {{"algo", "secp256k1"}, {"cointype", "0"}, {"index", "0"}};
  const std::string zero = "0x" + std::string(64, '0');

  std::vector<kat::FailCase> cases = {
      // Key lengths: 33-byte public keys for the ECDSA curves, 32 for Ed25519.
      {"GenCKD", ckd("secp256k1", uncompressed, "0"), ckd("secp256k1", uncompressed, "0"), 728, lenText},
      {"GenCKD", ckd("ED25519", ppub, "0x80000000"), ckd("ED25519", ppub, "0x80000000"), 728, lenText},
      {"GenCKDPub", ckdPub("ED25519", ppub, "0"), ckdPub("ED25519", ppub, "0"), 789, lenText},
      {"GenPubkeyFromPrikey", {{"pri", ppri.substr(0, 64)}}, {{"algo", ""}, {"pri", ppri.substr(0, 64)}}, 877,
       lenText},
      // Ed25519 has no public derivation; checked after the lengths.
      {"GenCKDPub", ckdPub("ED25519", edPub, "0"), ckdPub("ED25519", edPub, "0"), 809,
       "ed25519 is not support bip32 public derivate"},
      {"GenLeafNode", leaf("ed25519", seed32, "0"), {{"algo", "ed25519"}, {"cointype", "0"}, {"index", "0"}}, 850,
       "eddsa is not support bip32 public derivate"},
      // Refusals of the exports, with their trail.
      {"GenCKD", ckd("ED25519", edPub, "1"), ckd("ED25519", edPub, "1"), 758,
       actt::CoreErr("GenCKD_ED", "[BCMGenCKD_ED][CKD_ED:535<-BCMGenCKD_ED:1800][(bc-module CKD_ED error)]")},
      {"GenCKDPub", ckdPub("", ppub, "0x80000000"), ckdPub("", ppub, "0x80000000"), 803,
       actt::CoreErr("GenCKDPub", "[BCMGenCKDPub][CKDPub:306<-BCMGenCKDPub:1379][(bc-module CKDPub error)]")},
      {"GenLeafNode", leaf("secp256k1", seed32, "0"), leafEcho, 844,
       actt::CoreErr("GenPathLeafNode",
                        "[BCMGenPathLeafNode][BCMGenPathLeafNode:1414][(MasterSeed Len[32 must 64])]")},
      {"GenPubkeyFromPrikey", {{"algo", "p256"}, {"pri", zero}}, {{"algo", "p256"}, {"pri", zero}}, 888,
       actt::CoreErr("GenPubkeyFromPriKey",
                        "[BCMGenPubkeyFromPriKey][DerivePub:252<-BCMGenPubkeyFromPriKey:1555][(bc-module DerivePub "
                        "error)]")},
  };
  // Key-path numbers beyond 32 bits, or that are no number at all, are
  // refused: cut to 32 bits or read as 0 they would derive another key.
  for (const char* bad : {"4294967296", "0x100000000", "18446744073709551616", "99999999999999999999999", "-1",
                          "12a", "0x", "0X5", " 1", "1.0"}) {
    cases.push_back({"GenCKD", ckd("", ppub, bad), ckd("", ppub, bad), 728, indexText});
    cases.push_back({"GenCKDPub", ckdPub("", ppub, bad), ckdPub("", ppub, bad), 789, indexText});
  }
  cases.push_back({"GenLeafNode", leaf("secp256k1", seed32, "4294967296"),
                   {{"algo", "secp256k1"}, {"cointype", "4294967296"}, {"index", "0"}}, 844,
                   "cointype must be a number from 0 to 4294967295"});
  cases.push_back({"GenLeafNode",
                   {{"algo", "secp256k1"}, {"masterseed", seed32}, {"cointype", "0"}, {"index", "0x1ffffffff"}},
                   {{"algo", "secp256k1"}, {"cointype", "0"}, {"index", "0x1ffffffff"}}, 844, indexText});
  kat::ExpectFailures(cases);
}

// An index sent as a JSON number is not silently child 0.
TEST(HdActions, IndexMustBeText) {
  const Json::Value& chain = HdVectors()[0]["chains"];
  const std::string request = R"({"action":"GenCKD","args":{"ppri":"0x)" + chain[0]["private"].asString() +
                              R"(","ppub":"0x)" + chain[0]["public"].asString() + R"(","pchain":"0x)" +
                              chain[0]["chain"].asString() + R"(","index":5}})";
  const kat::Reply r = kat::SendRequest(request);
  EXPECT_EQ(r.rc, 1203);
  EXPECT_EQ(r.ret["err_code"].asString(), "728");
  EXPECT_EQ(r.ret["index"].asString(), "");
  EXPECT_EQ(r.ret["err_msg"].asString(), "index must be a number from 0 to 4294967295");
}

}  // namespace
