// HD and public-key exports: results against the vectors and the oracles,
// size queries, and the codes and exact trail texts of their failures.
#include "tolvaris/bcm_hd.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>
#include <secp256k1.h>
#include <sodium.h>

#include <string>

#include "tolvaris/bcm_core.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::LastErr;
using tvt::Unhex;

const char* kK1N = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";

// Three outputs with their length words.
struct Out3 {
  Bytes pri = Bytes(40), pub = Bytes(40), chain = Bytes(40);
  int priLen = 40, pubLen = 40, chainLen = 40;
  std::string Pri() const { return Hex(pri.data(), static_cast<size_t>(priLen)); }
  std::string Pub() const { return Hex(pub.data(), static_cast<size_t>(pubLen)); }
  std::string Chain() const { return Hex(chain.data(), static_cast<size_t>(chainLen)); }
};

const Json::Value& Vectors() {
  static const Json::Value v = tvt::ReadJson(tvt::VectorPath("hd-vectors.json"));
  return v;
}
const Json::Value& Record(const std::string& source) {
  for (const Json::Value& r : Vectors())
    if (r["source"].asString() == source) return r;
  static const Json::Value none;
  ADD_FAILURE() << source;
  return none;
}

// Y of a compressed key from the oracles.
std::string OracleY(uint32_t curve, const Bytes& comp) {
  if (curve != 1) {
    secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_VERIFY);
    secp256k1_pubkey pk;
    EXPECT_EQ(secp256k1_ec_pubkey_parse(ctx, &pk, comp.data(), comp.size()), 1);
    unsigned char out[65];
    size_t len = sizeof out;
    secp256k1_ec_pubkey_serialize(ctx, out, &len, &pk, SECP256K1_EC_UNCOMPRESSED);
    secp256k1_context_destroy(ctx);
    return Hex(out + 33, 32);
  }
  EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  EC_POINT* P = EC_POINT_new(g);
  EXPECT_EQ(EC_POINT_oct2point(g, P, comp.data(), comp.size(), nullptr), 1);
  unsigned char out[65];
  const size_t len = EC_POINT_point2oct(g, P, POINT_CONVERSION_UNCOMPRESSED, out, sizeof out, nullptr);
  EC_POINT_free(P);
  EC_GROUP_free(g);
  return len == 65 ? Hex(out + 33, 32) : "fail";
}

// Compressed public key of a private key from the oracles.
std::string OraclePub(uint32_t curve, const Bytes& pri) {
  unsigned char out[65];
  size_t len = sizeof out;
  if (curve != 1) {
    secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN);
    secp256k1_pubkey pk;
    EXPECT_EQ(secp256k1_ec_pubkey_create(ctx, &pk, pri.data()), 1);
    secp256k1_ec_pubkey_serialize(ctx, out, &len, &pk, SECP256K1_EC_COMPRESSED);
    secp256k1_context_destroy(ctx);
    return Hex(out, len);
  }
  EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  EC_POINT* P = EC_POINT_new(g);
  BIGNUM* d = BN_bin2bn(pri.data(), static_cast<int>(pri.size()), nullptr);
  EXPECT_EQ(EC_POINT_mul(g, P, d, nullptr, nullptr, nullptr), 1);
  len = EC_POINT_point2oct(g, P, POINT_CONVERSION_COMPRESSED, out, sizeof out, nullptr);
  BN_free(d);
  EC_POINT_free(P);
  EC_GROUP_free(g);
  return Hex(out, len);
}

TEST(HdExports, MasterNode) {
  // Curve code 1 is P-256; every other code secp256k1.
  for (const auto& [curve, source] : {std::pair<uint32_t, const char*>{0, "SLIP-0010 Test vector 2 for secp256k1"},
                                      {7, "SLIP-0010 Test vector 2 for secp256k1"},
                                      {1, "SLIP-0010 Test vector 1 for nist256p1"},
                                      {1, "SLIP-0010 Test seed retry for nist256p1"}}) {
    const Json::Value& rec = Record(source);
    const Bytes seed = Unhex(rec["seed"].asString());
    Out3 o;
    ASSERT_EQ(BCMGenMasterNode(curve, seed.data(), static_cast<uint32_t>(seed.size()), o.pri.data(), &o.priLen,
                               o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
              0)
        << source;
    EXPECT_EQ(LastErr(), "[BCMGenMasterNode][][]");
    EXPECT_EQ(o.Pri(), rec["chains"][0]["private"].asString());
    EXPECT_EQ(o.Pub(), rec["chains"][0]["public"].asString());
    EXPECT_EQ(o.Chain(), rec["chains"][0]["chain"].asString());
  }

  const Bytes seed(16, 0x5A);
  Out3 o;
  o.priLen = o.pubLen = o.chainLen = 0;
  EXPECT_EQ(BCMGenMasterNode(0, seed.data(), 16, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen, nullptr,
                             &o.chainLen),
            0);
  EXPECT_EQ(o.priLen * 10000 + o.pubLen * 100 + o.chainLen, 323332);
  EXPECT_EQ(o.pri, Bytes(40, 0));

  EXPECT_EQ(BCMGenMasterNode(0, nullptr, 16, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen, o.chain.data(),
                             &o.chainLen),
            1204);
  EXPECT_EQ(LastErr(), "[BCMGenMasterNode][BCMGenMasterNode:1204][(param is NULL)]");
  EXPECT_EQ(BCMGenMasterNode(0, seed.data(), 16, o.pri.data(), nullptr, o.pub.data(), &o.pubLen, o.chain.data(),
                             &o.chainLen),
            1204);

  // One short capacity fails the call; the message names all three.
  struct Caps {
    int pri, pub, chain;
    const char* text;
  };
  for (const Caps& c : {Caps{32, 32, 32, "pri[32 is lower than 32] , pub[32 is lower than 33] , chaincode[32 is lower than 32]"},
                        Caps{31, 33, 99, "pri[31 is lower than 32] , pub[33 is lower than 33] , chaincode[99 is lower than 32]"},
                        Caps{32, 33, -1, "pri[32 is lower than 32] , pub[33 is lower than 33] , chaincode[-1 is lower than 32]"}}) {
    o.priLen = c.pri, o.pubLen = c.pub, o.chainLen = c.chain;
    EXPECT_EQ(BCMGenMasterNode(1, seed.data(), 16, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen, o.chain.data(),
                               &o.chainLen),
              1218);
    EXPECT_EQ(LastErr(), std::string("[BCMGenMasterNode][BCMGenMasterNode:1218][(buffer size ") + c.text + ")]");
    EXPECT_EQ(o.priLen * 10000 + o.pubLen * 100 + o.chainLen, c.pri * 10000 + c.pub * 100 + c.chain);
  }

  o = Out3();
  EXPECT_EQ(BCMGenMasterNode(0, seed.data(), 0x80000000u, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen,
                             o.chain.data(), &o.chainLen),
            1241);
  EXPECT_EQ(LastErr(),
            "[BCMGenMasterNode][DoHMAC:106<-GenerateMasterNodeFromSeed:135<-BCMGenMasterNode:1241]"
            "[(bc-module GenerateMasterNodeFromSeed error)]");
  EXPECT_EQ(o.priLen, 40);
}

TEST(HdExports, Ckd) {
  const Json::Value& chains = Record("SLIP-0010 Test vector 2 for secp256k1")["chains"];
  const Bytes pri = Unhex(chains[0]["private"].asString()), pub = Unhex(chains[0]["public"].asString()),
              chain = Unhex(chains[0]["chain"].asString());
  Out3 o;
  ASSERT_EQ(BCMGenCKD(0, pri.data(), 32, pub.data(), 33, chain.data(), 32, 0, o.pri.data(), &o.priLen, o.pub.data(),
                      &o.pubLen, o.chain.data(), &o.chainLen),
            0);
  EXPECT_EQ(LastErr(), "[BCMGenCKD][][]");
  EXPECT_EQ(o.Pri(), chains[1]["private"].asString());
  EXPECT_EQ(o.Pub(), chains[1]["public"].asString());
  EXPECT_EQ(o.Chain(), chains[1]["chain"].asString());

  const Bytes pub65(65, 0x04);
  EXPECT_EQ(BCMGenCKD(0, pri.data(), 32, pub65.data(), 65, chain.data(), 32, 0, o.pri.data(), &o.priLen,
                      o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            1279);
  EXPECT_EQ(LastErr(),
            "[BCMGenCKD][BCMGenCKD:1279][(parent pri size[32 must 32] , pub size[65 must 33] , chaincode size[32 "
            "must 32])]");
  EXPECT_EQ(BCMGenCKD(0, pri.data(), 32, pub.data(), 33, nullptr, 32, 0, o.pri.data(), &o.priLen, o.pub.data(),
                      &o.pubLen, o.chain.data(), &o.chainLen),
            1272);
  EXPECT_EQ(LastErr(), "[BCMGenCKD][BCMGenCKD:1272][(param is NULL)]");

  Out3 q;
  q.priLen = q.pubLen = q.chainLen = -5;
  EXPECT_EQ(BCMGenCKD(1, pri.data(), 32, pub.data(), 33, chain.data(), 32, 0, q.pri.data(), &q.priLen, nullptr,
                      &q.pubLen, q.chain.data(), &q.chainLen),
            0);
  EXPECT_EQ(q.priLen * 10000 + q.pubLen * 100 + q.chainLen, 323332);
  q.pubLen = 32;
  EXPECT_EQ(BCMGenCKD(0, pri.data(), 32, pub.data(), 33, chain.data(), 32, 0, q.pri.data(), &q.priLen, q.pub.data(),
                      &q.pubLen, q.chain.data(), &q.chainLen),
            1293);
  EXPECT_EQ(LastErr(),
            "[BCMGenCKD][BCMGenCKD:1293][(buffer size pri[32 is lower than 32] , pub[32 is lower than 33] , "
            "chaincode[32 is lower than 32])]");

  // A parent public key that is not the private key's own (here the P-256
  // key of the same private key) is refused.
  Bytes p256pub(33);
  int len = 33;
  ASSERT_EQ(BCMGenPubkeyFromPriKey(1, pri.data(), 32, p256pub.data(), &len), 0);
  ASSERT_NE(p256pub, pub);
  EXPECT_EQ(BCMGenCKD(0, pri.data(), 32, p256pub.data(), 33, chain.data(), 32, 0, o.pri.data(), &o.priLen,
                      o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            1317);
  EXPECT_EQ(LastErr(), "[BCMGenCKD][CKD:186<-BCMGenCKD:1317][(bc-module CKD error)]");
}

TEST(HdExports, CkdPub) {
  const Json::Value& chains = Record("SLIP-0010 Test vector 2 for nist256p1")["chains"];
  const Bytes pub = Unhex(chains[0]["public"].asString()), chain = Unhex(chains[0]["chain"].asString());
  Out3 o;
  ASSERT_EQ(BCMGenCKDPub(1, pub.data(), 33, chain.data(), 32, 0, o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            0);
  EXPECT_EQ(LastErr(), "[BCMGenCKDPub][][]");
  EXPECT_EQ(o.Pub(), chains[1]["public"].asString());
  EXPECT_EQ(o.Chain(), chains[1]["chain"].asString());

  EXPECT_EQ(BCMGenCKDPub(1, pub.data(), 33, chain.data(), 32, 0x80000000u, o.pub.data(), &o.pubLen, o.chain.data(),
                         &o.chainLen),
            1379);
  EXPECT_EQ(LastErr(), "[BCMGenCKDPub][CKDPub:306<-BCMGenCKDPub:1379][(bc-module CKDPub error)]");
  Bytes unc = pub;
  unc[0] = 0x04;
  EXPECT_EQ(BCMGenCKDPub(1, unc.data(), 33, chain.data(), 32, 0, o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            1379);
  EXPECT_EQ(LastErr(), "[BCMGenCKDPub][CKDPub:343<-BCMGenCKDPub:1379][(bc-module CKDPub error)]");

  EXPECT_EQ(BCMGenCKDPub(1, pub.data(), 32, chain.data(), 31, 0, o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            1352);
  EXPECT_EQ(LastErr(), "[BCMGenCKDPub][BCMGenCKDPub:1352][(parent pub size[32 must 33] , chaincode size[31 must 32])]");
  EXPECT_EQ(BCMGenCKDPub(1, pub.data(), 33, chain.data(), 32, 0, o.pub.data(), nullptr, o.chain.data(), &o.chainLen),
            1346);
  EXPECT_EQ(LastErr(), "[BCMGenCKDPub][BCMGenCKDPub:1346][(param is NULL)]");

  o.pubLen = o.chainLen = 0;
  EXPECT_EQ(BCMGenCKDPub(1, pub.data(), 33, chain.data(), 32, 0, o.pub.data(), &o.pubLen, nullptr, &o.chainLen), 0);
  EXPECT_EQ(o.pubLen * 100 + o.chainLen, 3332);
  o.chainLen = 31;
  EXPECT_EQ(BCMGenCKDPub(1, pub.data(), 33, chain.data(), 32, 0, o.pub.data(), &o.pubLen, o.chain.data(), &o.chainLen),
            1366);
  EXPECT_EQ(LastErr(),
            "[BCMGenCKDPub][BCMGenCKDPub:1366][(buffer size pub[33 is lower than 33] , chaincode[31 is lower than "
            "32])]");
}

TEST(HdExports, PathLeafNode) {
  tvt::TestRng rng(0x9A7);
  const Bytes seed = rng.RandBytes(64);
  for (uint32_t curve : {0u, 1u}) {
    Out3 want;
    ASSERT_EQ(BCMGenMasterNode(curve, seed.data(), 64, want.pri.data(), &want.priLen, want.pub.data(), &want.pubLen,
                               want.chain.data(), &want.chainLen),
              0);
    for (uint32_t index : {0x80000000u + 44, 0x80000000u + 60, 0x80000000u + 2, 1u, 9u}) {
      Out3 next;
      ASSERT_EQ(BCMGenCKD(curve, want.pri.data(), 32, want.pub.data(), 33, want.chain.data(), 32, index, next.pri.data(),
                          &next.priLen, next.pub.data(), &next.pubLen, next.chain.data(), &next.chainLen),
                0);
      want = next;
    }
    Out3 o;
    ASSERT_EQ(BCMGenPathLeafNode(curve, seed.data(), 64, 44, 60, 2, 1, 9, o.pri.data(), &o.priLen, o.pub.data(),
                                 &o.pubLen, o.chain.data(), &o.chainLen),
              0);
    EXPECT_EQ(LastErr(), "[BCMGenPathLeafNode][][]");
    EXPECT_EQ(o.Pri(), want.Pri());
    EXPECT_EQ(o.Pub(), want.Pub());
    EXPECT_EQ(o.Chain(), want.Chain());
  }
  Out3 o;
  EXPECT_EQ(BCMGenPathLeafNode(0, seed.data(), 32, 44, 0, 0, 0, 0, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen,
                               o.chain.data(), &o.chainLen),
            1414);
  EXPECT_EQ(LastErr(), "[BCMGenPathLeafNode][BCMGenPathLeafNode:1414][(MasterSeed Len[32 must 64])]");
  EXPECT_EQ(BCMGenPathLeafNode(0, nullptr, 64, 44, 0, 0, 0, 0, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen,
                               o.chain.data(), &o.chainLen),
            1408);
  o.priLen = 3;
  EXPECT_EQ(BCMGenPathLeafNode(0, seed.data(), 64, 44, 0, 0, 0, 0, o.pri.data(), &o.priLen, o.pub.data(), &o.pubLen,
                               o.chain.data(), &o.chainLen),
            1428);
  EXPECT_EQ(LastErr(),
            "[BCMGenPathLeafNode][BCMGenPathLeafNode:1428][(buffer size pri[3 is lower than 32] , pub[40 is lower "
            "than 33] , chaincode[40 is lower than 32])]");
  EXPECT_EQ(BCMGenPathLeafNode(0, seed.data(), 64, 44, 0, 0, 0, 0, nullptr, &o.priLen, o.pub.data(), &o.pubLen,
                               o.chain.data(), &o.chainLen),
            0);
  EXPECT_EQ(o.priLen * 10000 + o.pubLen * 100 + o.chainLen, 323332);
}

// Both parities on both curves against libsecp256k1 and OpenSSL.
TEST(HdExports, PubYFromCompPub) {
  tvt::TestRng rng(0x77);
  for (uint32_t curve : {0u, 1u}) {
    int seen[2] = {0, 0};
    for (int i = 0; i < 40 || !seen[0] || !seen[1]; ++i) {
      const Bytes pri = rng.RandBytes(32);
      Bytes pub(33);
      int pubLen = 33;
      ASSERT_EQ(BCMGenPubkeyFromPriKey(curve, pri.data(), 32, pub.data(), &pubLen), 0);
      ASSERT_EQ(Hex(pub), OraclePub(curve, pri));
      ++seen[pub[0] & 1];
      Bytes y(33, 0xCC);
      int yLen = 33;
      ASSERT_EQ(BCMGetPubYFromCompPub(curve, pub.data(), 33, y.data(), &yLen), 0);
      EXPECT_EQ(yLen, 32);
      EXPECT_EQ(Hex(y.data(), 32), OracleY(curve, pub));
      EXPECT_EQ(y[32], 0xCC);
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
  }

  Bytes pub(33, 0), y(40);
  pub[0] = 0x04;
  pub[32] = 0x07;
  int yLen = 40;
  // The library's code, location entries only.
  EXPECT_EQ(BCMGetPubYFromCompPub(0, pub.data(), 33, y.data(), &yLen), 269);
  EXPECT_EQ(LastErr(), "[BCMGetPubYFromCompPub][GetPubYFromCompPub:269<-BCMGetPubYFromCompPub:269][]");
  pub[0] = 0x02;
  EXPECT_EQ(BCMGetPubYFromCompPub(0, pub.data(), 33, y.data(), nullptr), 269);
  yLen = 32;
  EXPECT_EQ(BCMGetPubYFromCompPub(0, pub.data(), 33, y.data(), &yLen), 269);
  yLen = 33;
  // x = 7 is on neither curve.
  for (uint32_t curve : {0u, 1u}) {
    EXPECT_EQ(BCMGetPubYFromCompPub(curve, pub.data(), 33, y.data(), &yLen), 274);
    EXPECT_EQ(LastErr(), "[BCMGetPubYFromCompPub][GetPubYFromCompPub:274<-BCMGetPubYFromCompPub:274][]");
  }
  EXPECT_EQ(BCMGetPubYFromCompPub(0, pub.data(), 32, y.data(), &yLen), 1483);
  EXPECT_EQ(LastErr(), "[BCMGetPubYFromCompPub][BCMGetPubYFromCompPub:1483][(Pub Len[32 must 33])]");
  EXPECT_EQ(BCMGetPubYFromCompPub(0, pub.data(), 33, nullptr, &yLen), 1477);
  EXPECT_EQ(LastErr(), "[BCMGetPubYFromCompPub][BCMGetPubYFromCompPub:1477][(param is NULL)]");
}

TEST(HdExports, PubkeyFromPriKey) {
  // Curve code 7 is secp256k1: the key of 1 is its generator.
  Bytes one(32, 0);
  one[31] = 1;
  Bytes pub(40);
  int len = 40;
  ASSERT_EQ(BCMGenPubkeyFromPriKey(7, one.data(), 32, pub.data(), &len), 0);
  EXPECT_EQ(len, 33);
  EXPECT_EQ(Hex(pub.data(), 33), "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798");
  EXPECT_EQ(LastErr(), "[BCMGenPubkeyFromPriKey][][]");

  // A key 0 modulo n has no public key.
  for (const Bytes& zero : {Bytes(32, 0), Unhex(kK1N)}) {
    len = 40;
    EXPECT_EQ(BCMGenPubkeyFromPriKey(0, zero.data(), 32, pub.data(), &len), 1555);
    EXPECT_EQ(LastErr(),
              "[BCMGenPubkeyFromPriKey][DerivePub:252<-BCMGenPubkeyFromPriKey:1555][(bc-module DerivePub error)]");
    EXPECT_EQ(len, 40);
  }
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, one.data(), 31, pub.data(), &len), 1521);
  EXPECT_EQ(LastErr(), "[BCMGenPubkeyFromPriKey][BCMGenPubkeyFromPriKey:1521][(Pri Len[31 must 32])]");
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, nullptr, 32, pub.data(), &len), 1515);
  EXPECT_EQ(LastErr(), "[BCMGenPubkeyFromPriKey][BCMGenPubkeyFromPriKey:1515][(param is NULL)]");
  len = 0;
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, one.data(), 32, nullptr, &len), 0);
  EXPECT_EQ(len, 33);
  len = 32;
  EXPECT_EQ(BCMGenPubkeyFromPriKey(0, one.data(), 32, pub.data(), &len), 1534);
  EXPECT_EQ(LastErr(), "[BCMGenPubkeyFromPriKey][BCMGenPubkeyFromPriKey:1534][(buffer size pub[32 is lower than 33])]");
}

TEST(HdExports, Ed25519) {
  const Json::Value& chains = Record("SLIP-0010 Test vector 1 for ed25519")["chains"];
  const Bytes seed = Unhex("000102030405060708090a0b0c0d0e0f");
  Out3 m;
  ASSERT_EQ(BCMGenMasterNode_ED(seed.data(), 16, m.pri.data(), &m.priLen, m.pub.data(), &m.pubLen, m.chain.data(),
                                &m.chainLen),
            0);
  EXPECT_EQ(LastErr(), "[BCMGenMasterNode_ED][][]");
  EXPECT_EQ(m.Pri(), chains[0]["private"].asString());
  EXPECT_EQ("00" + m.Pub(), chains[0]["public"].asString());
  EXPECT_EQ(m.Chain(), chains[0]["chain"].asString());

  Out3 c;
  ASSERT_EQ(BCMGenCKD_ED(m.pri.data(), 32, m.pub.data(), 32, m.chain.data(), 32, 0x80000000u, c.pri.data(), &c.priLen,
                         c.pub.data(), &c.pubLen, c.chain.data(), &c.chainLen),
            0);
  EXPECT_EQ(c.Pri(), chains[1]["private"].asString());
  EXPECT_EQ("00" + c.Pub(), chains[1]["public"].asString());
  EXPECT_EQ(c.Chain(), chains[1]["chain"].asString());

  // The public key matches libsodium's for the same secret key.
  unsigned char pk[32], sk[64];
  crypto_sign_seed_keypair(pk, sk, c.pri.data());
  Bytes pub(40);
  int len = 40;
  ASSERT_EQ(BCMGenPubkeyFromPriKey_ED(c.pri.data(), 32, pub.data(), &len), 0);
  EXPECT_EQ(len, 32);
  EXPECT_EQ(Hex(pub.data(), 32), Hex(pk, 32));
  EXPECT_EQ(c.Pub(), Hex(pk, 32));

  Out3 q;
  q.priLen = q.pubLen = q.chainLen = 0;
  EXPECT_EQ(BCMGenMasterNode_ED(seed.data(), 16, nullptr, &q.priLen, nullptr, &q.pubLen, nullptr, &q.chainLen), 0);
  EXPECT_EQ(q.priLen * 10000 + q.pubLen * 100 + q.chainLen, 323232);
  EXPECT_EQ(LastErr(), "[BCMGenMasterNode_ED][][]");
  EXPECT_EQ(BCMGenMasterNode_ED(nullptr, 16, q.pri.data(), &q.priLen, q.pub.data(), &q.pubLen, q.chain.data(),
                                &q.chainLen),
            1702);
  q.pubLen = 31;
  EXPECT_EQ(BCMGenMasterNode_ED(seed.data(), 16, q.pri.data(), &q.priLen, q.pub.data(), &q.pubLen, q.chain.data(),
                                &q.chainLen),
            1716);
  EXPECT_EQ(LastErr(),
            "[BCMGenMasterNode_ED][BCMGenMasterNode_ED:1716][(buffer size Pri[32 is lower than 32] Pub[31 is lower "
            "than 32] Chain[32 is lower than 32])]");
  EXPECT_EQ(BCMGenMasterNode_ED(seed.data(), 0x80000000u, m.pri.data(), &m.priLen, m.pub.data(), &m.pubLen,
                                m.chain.data(), &m.chainLen),
            1733);
  EXPECT_EQ(LastErr(),
            "[BCMGenMasterNode_ED][DoHMAC:106<-GenerateMasterNodeFromSeed_ED:492<-BCMGenMasterNode_ED:1733]"
            "[(bc-module GenerateMasterNodeFromSeed_ED error)]");

  EXPECT_EQ(BCMGenCKD_ED(m.pri.data(), 32, m.pub.data(), 32, m.chain.data(), 32, 5, c.pri.data(), &c.priLen,
                         c.pub.data(), &c.pubLen, c.chain.data(), &c.chainLen),
            1800);
  EXPECT_EQ(LastErr(), "[BCMGenCKD_ED][CKD_ED:535<-BCMGenCKD_ED:1800][(bc-module CKD_ED error)]");
  EXPECT_EQ(BCMGenCKD_ED(m.pri.data(), 32, m.pub.data(), 33, m.chain.data(), 32, 0x80000000u, c.pri.data(), &c.priLen,
                         c.pub.data(), &c.pubLen, c.chain.data(), &c.chainLen),
            1768);
  EXPECT_EQ(LastErr(),
            "[BCMGenCKD_ED][BCMGenCKD_ED:1768][(parent pri size[32 must 32] , pub size[33 must 32] , chaincode "
            "size[32 must 32])]");
  EXPECT_EQ(BCMGenCKD_ED(m.pri.data(), 32, nullptr, 32, m.chain.data(), 32, 0x80000000u, c.pri.data(), &c.priLen,
                         c.pub.data(), &c.pubLen, c.chain.data(), &c.chainLen),
            1761);
  c.chainLen = 31;
  EXPECT_EQ(BCMGenCKD_ED(m.pri.data(), 32, m.pub.data(), 32, m.chain.data(), 32, 0x80000000u, c.pri.data(), &c.priLen,
                         c.pub.data(), &c.pubLen, c.chain.data(), &c.chainLen),
            1782);
  EXPECT_EQ(LastErr(),
            "[BCMGenCKD_ED][BCMGenCKD_ED:1782][(buffer size pri[32 is lower than 32] , pub[32 is lower than 32] , "
            "chaincode[31 is lower than 32])]");
  c.priLen = c.pubLen = c.chainLen = 0;
  EXPECT_EQ(BCMGenCKD_ED(m.pri.data(), 32, m.pub.data(), 32, m.chain.data(), 32, 5, c.pri.data(), &c.priLen, nullptr,
                         &c.pubLen, c.chain.data(), &c.chainLen),
            0);
  EXPECT_EQ(c.priLen * 10000 + c.pubLen * 100 + c.chainLen, 323232);

  EXPECT_EQ(BCMGenPubkeyFromPriKey_ED(m.pri.data(), 31, pub.data(), &len), 1885);
  EXPECT_EQ(LastErr(), "[BCMGenPubkeyFromPriKey_ED][BCMGenPubkeyFromPriKey_ED:1885][(Pri Len[31 must 32])]");
  EXPECT_EQ(BCMGenPubkeyFromPriKey_ED(m.pri.data(), 32, pub.data(), nullptr), 1879);
  len = 0;
  EXPECT_EQ(BCMGenPubkeyFromPriKey_ED(m.pri.data(), 32, nullptr, &len), 0);
  EXPECT_EQ(len, 32);
  len = 31;
  EXPECT_EQ(BCMGenPubkeyFromPriKey_ED(m.pri.data(), 32, pub.data(), &len), 1898);
  EXPECT_EQ(LastErr(),
            "[BCMGenPubkeyFromPriKey_ED][BCMGenPubkeyFromPriKey_ED:1898][(buffer size pub[31 is lower than 32])]");
}

}  // namespace
