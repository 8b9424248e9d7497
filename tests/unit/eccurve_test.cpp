#include "crypto/ec/general/eccurve.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <secp256k1.h>

#include "crypto/ec/general/ecfield.h"
#include "crypto/random.h"
#include "platform/entropy.h"
#include "ec_testing.h"

namespace {

using ect::Bn;
using ect::Hex64;
using ect::Point;
using tvt::Bytes;
using tvt::Hex;

std::string BnHex(const BIGNUM* b) {
  uint8_t buf[32];
  BN_bn2binpad(b, buf, 32);
  return Hex(buf, 32);
}

// The loaded parameters agree with OpenSSL's curves.
TEST(EcCurve, ParametersMatchOpenSSL) {
  struct Case {
    uint32_t code;
    int nid;
    int32_t id;
    int32_t aKind;
  };
  const Case cases[] = {{0, NID_secp256k1, NXVT_EC_CURVE_SECP256K1, 0},
                        {1, NID_X9_62_prime256v1, NXVT_EC_CURVE_P256, -3},
                        {7, NID_secp256k1, NXVT_EC_CURVE_SECP256K1, 0}};
  for (const Case& cs : cases) {
    NXVT_PKC* pkc = GetPKCParam(cs.code);
    ASSERT_NE(pkc, nullptr);
    EXPECT_EQ(pkc->meth, &NXVT_ECDSA_METHOD);
    const NXVT_EC_CURVE* c = pkc->curve;
    EXPECT_EQ(c->id, cs.id);
    EXPECT_EQ(c->aKind, cs.aKind);
    EXPECT_EQ(c->cofactor, 1u);
    EXPECT_EQ(c->cachePresent, 0u);
    EC_GROUP* g = EC_GROUP_new_by_curve_name(cs.nid);
    BIGNUM *p = BN_new(), *a = BN_new(), *b = BN_new(), *x = BN_new(), *y = BN_new();
    EC_GROUP_get_curve(g, p, a, b, nullptr);
    EC_POINT_get_affine_coordinates(g, EC_GROUP_get0_generator(g), x, y, nullptr);
    EXPECT_EQ(Hex64(*c->p), BnHex(p));
    EXPECT_EQ(Hex64(*c->a), BnHex(a));
    EXPECT_EQ(Hex64(*c->b), BnHex(b));
    EXPECT_EQ(Hex64(*c->n), BnHex(EC_GROUP_get0_order(g)));
    EXPECT_EQ(Hex64(*c->G->X), BnHex(x));
    EXPECT_EQ(Hex64(*c->G->Y), BnHex(y));
    EXPECT_EQ(Hex64(*c->G->Z), Hex64(Bn("1")));
    EXPECT_EQ(Hex64(*c->p), Hex64(cs.code == 1 ? NXVT_EC_P256_PRIME : NXVT_EC_SECP256K1_PRIME));
    if (cs.aKind == 0) {
      EXPECT_EQ(c->a->count, 0u);
      EXPECT_EQ(c->b->count, 1u);
    }
    for (BIGNUM* v : {p, a, b, x, y}) BN_free(v);
    EC_GROUP_free(g);
    NXVT_PKC_Free(pkc);
  }
}

TEST(EcCurve, SetCurveReloadsAndRejectsUnknownIds) {
  NXVT_EC_CURVE* c = NXVT_EC_Curve_New();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->cachePresent, 0u);
  ASSERT_EQ(NXVT_EC_SetCurve(c, NXVT_EC_CURVE_P256), 0);
  NXVT_BN k = Bn("abcdef0123456789");
  Point R;
  // The public-scalar multiplication keeps its generator cache in the object.
  ASSERT_EQ(NXVT_EC_Point_MultVartime(R.get(), &k, c->G, c), 0);
  EXPECT_EQ(c->cachePresent, 1u);
  // Reloading another curve drops the cache built for the old generator.
  ASSERT_EQ(NXVT_ECDSA_SetCurve(c, NXVT_EC_CURVE_SECP256K1), 0);
  EXPECT_EQ(c->cachePresent, 0u);
  for (NXVT_EC_POINT* e : c->gPos) EXPECT_EQ(e, nullptr);
  ASSERT_EQ(NXVT_EC_Point_Mult(R.get(), &k, c->G, c), 0);
  EXPECT_EQ(ect::Enc(R.get(), c), ect::Ossl(NID_secp256k1, tvt::Unhex("abcdef0123456789")));
  // An unknown id leaves the object unusable.
  EXPECT_EQ(NXVT_EC_SetCurve(c, 0x12345678), -1);
  EXPECT_EQ(c->id, -1);
  EXPECT_EQ(NXVT_EC_Point_Mult(R.get(), &k, c->G, c), -1);
  EXPECT_EQ(NXVT_EC_SetCurve(nullptr, NXVT_EC_CURVE_P256), -1);
  EXPECT_EQ(NXVT_ECDSA_SetCurve(nullptr, NXVT_EC_CURVE_P256), -1);
  NXVT_EC_Curve_Free(c);
  NXVT_EC_Curve_Free(nullptr);
  NXVT_PKC_Free(nullptr);
  // A curve that never built its cache frees cleanly.
  NXVT_EC_CURVE* fresh = NXVT_EC_Curve_New();
  NXVT_EC_Curve_Free(fresh);
}

class KeyPair {
 public:
  explicit KeyPair(NXVT_EC_CURVE* c) : pub_{0, NXVT_EC_Point_New()} { kp_ = {&d_, &pub_, c}; d_.count = 0; }
  ~KeyPair() {
    NXVT_EC_Point_Free(pub_.Q);
    NXVT_BN_Wipe(&d_);
  }
  NXVT_EC_KEYPAIR* get() { return &kp_; }
  NXVT_BN& d() { return d_; }
  NXVT_EC_POINT* Q() { return pub_.Q; }
  int32_t fieldBits() const { return pub_.fieldBits; }

 private:
  NXVT_BN d_;
  NXVT_EC_PUBKEY pub_;
  NXVT_EC_KEYPAIR kp_;
};

TEST(EcCurve, CheckKeyPairCases) {
  for (uint32_t code : {0u, 1u}) {
    ect::Curve C(code);
    NXVT_EC_CURVE* c = C.c();
    NXVT_BN n = *c->n, n1, twoN;
    NXVT_BN_SubWord(&n1, &n, 1);
    NXVT_BN_Add(&twoN, &n, &n);
    Point negG;
    NXVT_EC_Point_Neg(negG.get(), c->G, c);
    struct Case {
      const NXVT_EC_POINT* Q;
      const NXVT_BN* d;  // null: public key alone
      int32_t want;
      const char* why;
    };
    NXVT_BN one = Bn("1"), two = Bn("2"), zero = Bn("0"), nPlus1;
    NXVT_BN_AddWord(&nPlus1, &n, 1);
    Point off;
    NXVT_EC_Point_Copy(off.get(), c->G);
    NXVT_BN_AddWord(off->Y, off->Y, 1);
    Point inf;
    const Case cases[] = {
        {c->G, &one, 0, "G with d = 1"},
        {c->G, &two, -1, "G with d = 2"},
        {c->G, nullptr, 0, "G alone"},
        {negG.get(), &n1, 0, "-G with d = n - 1"},
        {c->G, &nPlus1, 0, "G with d = n + 1 (same key as 1)"},
        {off.get(), nullptr, -1, "off the curve"},
        {off.get(), &one, -1, "off the curve with d"},
        {inf.get(), nullptr, -1, "infinity"},
        {c->G, &zero, -1, "d = 0"},
        {c->G, &n, -1, "d = n"},
        {c->G, &twoN, -1, "d = 2n"},
    };
    for (const Case& cs : cases) {
      NXVT_EC_PUBKEY pub{256, const_cast<NXVT_EC_POINT*>(cs.Q)};
      NXVT_EC_KEYPAIR kp{const_cast<NXVT_BN*>(cs.d), &pub, c};
      EXPECT_EQ(NXVT_EC_CheckKeyPair(&kp), cs.want) << C.name() << ": " << cs.why;
    }
    NXVT_EC_KEYPAIR noPub{&one, nullptr, c};
    EXPECT_EQ(NXVT_EC_CheckKeyPair(&noPub), -1);
    EXPECT_EQ(NXVT_EC_CheckKeyPair(nullptr), -1);
  }
}

TEST(EcCurve, CheckPrivKeyRefusesMultiplesOfN) {
  ect::Curve C(0);
  NXVT_BN n = *C.c()->n, v;
  const struct {
    std::string hex;
    int32_t want;
  } cases[] = {{"0", -1}, {"1", 0}, {Hex64(n), -1}, {"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", 0}};
  for (const auto& cs : cases) {
    v = Bn(cs.hex);
    EXPECT_EQ(NXVT_EC_CheckPrivKey(&v, C.c()), cs.want) << cs.hex;
  }
  NXVT_BN_Add(&v, &n, &n);
  EXPECT_EQ(NXVT_EC_CheckPrivKey(&v, C.c()), -1);
  v.count = 0;  // zero as count 0 and as unnormalised zero words
  EXPECT_EQ(NXVT_EC_CheckPrivKey(&v, C.c()), -1);
  v.count = 3;
  v.words[0] = v.words[1] = v.words[2] = 0;
  EXPECT_EQ(NXVT_EC_CheckPrivKey(&v, C.c()), -1);
  EXPECT_EQ(NXVT_EC_CheckPrivKey(nullptr, C.c()), -1);
  EXPECT_EQ(NXVT_EC_CheckPrivKey(&n, nullptr), -1);
}

// Generated keys lie in 1..n-1, their public point agrees with the oracles
// (libsecp256k1 for secp256k1, OpenSSL for P-256) and passes the check.
TEST(EcCurve, GenKeyPairAgainstOracles) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN | SECP256K1_CONTEXT_VERIFY);
  for (uint32_t code : {0u, 1u}) {
    ect::Curve C(code);
    std::string previous;
    for (int i = 0; i < 8; ++i) {
      KeyPair kp(C.c());
      ASSERT_EQ(NXVT_EC_GenKeyPair(kp.get()), 0);
      EXPECT_EQ(kp.fieldBits(), 256);
      EXPECT_EQ(NXVT_EC_CheckPrivKey(&kp.d(), C.c()), 0);
      EXPECT_EQ(NXVT_BN_Cmp(&kp.d(), C.c()->n), -2);
      EXPECT_EQ(Hex64(*kp.Q()->Z), Hex64(Bn("1")));
      const std::string dHex = Hex64(kp.d());
      EXPECT_NE(dHex, previous);
      previous = dHex;
      Bytes db = tvt::Unhex(dHex);
      std::string want;
      if (code == 0) {
        secp256k1_pubkey pk;
        ASSERT_EQ(secp256k1_ec_pubkey_create(ctx, &pk, db.data()), 1);
        uint8_t out[65];
        size_t ol = sizeof out;
        secp256k1_ec_pubkey_serialize(ctx, out, &ol, &pk, SECP256K1_EC_UNCOMPRESSED);
        want = Hex(out, ol);
      } else {
        want = ect::Ossl(C.nid(), db);
      }
      EXPECT_EQ(ect::Enc(kp.Q(), C.c()), want);
      EXPECT_EQ(NXVT_EC_CheckKeyPair(kp.get()), 0);
    }
    KeyPair noD(C.c());
    NXVT_EC_KEYPAIR bad = *noD.get();
    bad.d = nullptr;
    EXPECT_EQ(NXVT_EC_GenKeyPair(&bad), -1);
    bad = *noD.get();
    bad.curve = nullptr;
    EXPECT_EQ(NXVT_EC_GenKeyPair(&bad), -1);
  }
  EXPECT_EQ(NXVT_EC_GenKeyPair(nullptr), -1);
  secp256k1_context_destroy(ctx);
}

// A failing random source fails the key generation: no key is made from an
// unseeded generator.
TEST(EcCurve, GenKeyPairReportsRandomSourceFailure) {
  ect::Curve C(0);
  KeyPair warm(C.c());
  ASSERT_EQ(NXVT_EC_GenKeyPair(warm.get()), 0);  // generator instantiated
  const OsRandomSource saved = g_osRandomSource;
  g_osRandomSource = [](void*, size_t) -> ssize_t { return -1; };
  NXVT_DRBG_STATE* st = NXVT_DRBG_ProcessState();
  st->reseedCounter = st->reseedInterval + 1;
  KeyPair kp(C.c());
  EXPECT_NE(NXVT_EC_GenKeyPair(kp.get()), 0);
  EXPECT_EQ(kp.d().count, 0u);
  EXPECT_TRUE(NXVT_EC_Point_IsInfinity(kp.Q()));
  g_osRandomSource = saved;
  EXPECT_EQ(NXVT_EC_GenKeyPair(kp.get()), 0);
}

}  // namespace
