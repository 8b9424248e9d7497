// P-256's own field arithmetic against OpenSSL's BIGNUM, on both paths (the
// MULX/ADX code where the processor has it, and the portable code), and the
// curve operations of the two paths against each other.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <string>
#include <vector>

#include "crypto/cpu_features.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/ec256_p256.h"
#include "tv_test.h"

namespace {

using ec256::Fe;
using ec256::P256Field;

const char* kP = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";

// The field of one path: the portable code, or the MULX/ADX code (skipped
// where the processor lacks it).
struct FieldFns {
  void (*mul)(Fe&, const Fe&, const Fe&);
  void (*sqr)(Fe&, const Fe&);
  void (*add)(Fe&, const Fe&, const Fe&);
  void (*sub)(Fe&, const Fe&, const Fe&);
  void (*toRepr)(Fe&, const Fe&);
  void (*fromRepr)(Fe&, const Fe&);
};

template <class F>
FieldFns FnsOf() {
  return {F::Mul, F::Sqr, F::Add, F::Sub, F::ToRepr, F::FromRepr};
}

class P256Paths : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      f = FnsOf<P256Field>();
      return;
    }
#if EC256_MULX
    if (!NXVT_CpuFeatures().mulx) GTEST_SKIP() << "no MULX/ADX on this processor";
    f = FnsOf<ec256::P256FieldMulx>();
#else
    GTEST_SKIP() << "no MULX/ADX code in this build";
#endif
  }
  FieldFns f{};
};

INSTANTIATE_TEST_SUITE_P(Paths, P256Paths, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Portable" : "Native"; });

struct Bn {
  BIGNUM* b = BN_new();
  Bn() = default;
  explicit Bn(const std::string& hex) { BN_hex2bn(&b, hex.c_str()); }
  ~Bn() { BN_free(b); }
  Bn(const Bn&) = delete;
  Bn& operator=(const Bn&) = delete;
};

Fe FromHex(const std::string& hex) {
  const tvt::Bytes b = tvt::Unhex(hex);
  Fe r;
  ec256::LoadBE(r, b.data());
  return r;
}

std::string ToHex(const Fe& a) {
  uint8_t b[32];
  ec256::StoreBE(b, a);
  return tvt::Hex(b, 32);
}

std::string ToHex(const BIGNUM* b) {
  uint8_t out[32];
  BN_bn2binpad(b, out, 32);
  return tvt::Hex(out, 32);
}

// Residues where limbs sit at their carry boundaries, next to p and to
// 2^256 - p, and the Montgomery images of 0 and 1, then random ones below p.
std::vector<std::string> Operands(tvt::TestRng& rng, int randoms) {
  std::vector<std::string> v = {
      std::string(64, '0'),
      "0000000000000000000000000000000000000000000000000000000000000001",
      "0000000000000000000000000000000000000000000000000000000000000002",
      "ffffffff00000001000000000000000000000000fffffffffffffffffffffffe",  // p - 1
      "ffffffff00000001000000000000000000000000fffffffffffffffffffffffd",  // p - 2
      "00000000fffffffeffffffffffffffffffffffff000000000000000000000001",  // 2^256 - p (R mod p)
      "00000000fffffffeffffffffffffffffffffffff000000000000000000000000",
      "000000000000000000000000000000000000000000000000ffffffffffffffff",
      "00000000000000000000000000000000ffffffffffffffffffffffffffffffff",
      "0000000000000000ffffffffffffffffffffffffffffffffffffffffffffffff",
      "0000000000000001000000000000000000000000000000000000000000000000",
      "0000000000000000000000000000000100000000000000000000000000000000",
      "ffffffff00000000ffffffffffffffffffffffffffffffffffffffffffffffff",
      "7fffffff80000000800000000000000000000000800000000000000000000000",  // (p + 1) / 2
      "7fffffff800000008000000000000000000000007fffffffffffffffffffffff",  // (p - 1) / 2
      "ffffffff00000000ffffffffffffffff00000000000000000000000000000000",
  };
  Bn p(kP);
  BN_CTX* ctx = BN_CTX_new();
  for (int i = 0; i < randoms; ++i) {
    Bn r(tvt::Hex(rng.RandBytes(32)));
    BN_nnmod(r.b, r.b, p.b, ctx);
    v.push_back(ToHex(r.b));
  }
  BN_CTX_free(ctx);
  return v;
}

// Every operation of the field on every pair of operands: products carry the
// Montgomery factor R^-1, sums and differences wrap at p, the conversions
// undo each other.
TEST_P(P256Paths, FieldMatchesOpenSSL) {
  tvt::TestRng rng(0x9256);
  const std::vector<std::string> ops = Operands(rng, 48);
  BN_CTX* ctx = BN_CTX_new();
  Bn p(kP), rinv, R, t;
  BN_set_bit(R.b, 256);
  BN_mod_inverse(rinv.b, R.b, p.b, ctx);
  for (size_t i = 0; i < ops.size(); ++i) {
    for (size_t j = 0; j < ops.size(); ++j) {
      const Fe a = FromHex(ops[i]), b = FromHex(ops[j]);
      Bn A(ops[i]), B(ops[j]);
      Fe r;
      f.mul(r, a, b);
      BN_mod_mul(t.b, A.b, B.b, p.b, ctx);
      BN_mod_mul(t.b, t.b, rinv.b, p.b, ctx);
      ASSERT_EQ(ToHex(r), ToHex(t.b)) << ops[i] << " * " << ops[j];
      f.add(r, a, b);
      BN_mod_add(t.b, A.b, B.b, p.b, ctx);
      ASSERT_EQ(ToHex(r), ToHex(t.b)) << ops[i] << " + " << ops[j];
      f.sub(r, a, b);
      BN_mod_sub(t.b, A.b, B.b, p.b, ctx);
      ASSERT_EQ(ToHex(r), ToHex(t.b)) << ops[i] << " - " << ops[j];
    }
    const Fe a = FromHex(ops[i]);
    Bn A(ops[i]);
    Fe r;
    f.sqr(r, a);
    BN_mod_sqr(t.b, A.b, p.b, ctx);
    BN_mod_mul(t.b, t.b, rinv.b, p.b, ctx);
    EXPECT_EQ(ToHex(r), ToHex(t.b)) << ops[i] << " ^ 2";
    f.toRepr(r, a);
    BN_mod_mul(t.b, A.b, R.b, p.b, ctx);
    EXPECT_EQ(ToHex(r), ToHex(t.b)) << ops[i] << " to Montgomery";
    f.fromRepr(r, r);
    EXPECT_EQ(ToHex(r), ops[i]) << ops[i] << " back from Montgomery";
  }
  BN_CTX_free(ctx);
}

// Long chains of squarings and products stay on the same residues as the
// generic Montgomery code: one wrong carry anywhere would spread.
TEST_P(P256Paths, ChainsAgreeWithTheGenericReduction) {
  using Generic = ec256::MontField<ec256::kP256P>;
  tvt::TestRng rng(0x9257);
  const std::vector<std::string> ops = Operands(rng, 16);
  for (const std::string& h : ops) {
    Fe x = FromHex(h), y = x;
    const Fe k = FromHex(ops[ops.size() - 1]);
    for (int i = 0; i < 300; ++i) {
      f.sqr(x, x);
      f.mul(x, x, k);
      f.sub(x, x, k);
      Generic::Sqr(y, y);
      Generic::Mul(y, y, k);
      Generic::Sub(y, y, k);
    }
    EXPECT_EQ(ToHex(x), ToHex(y)) << h;
  }
}

std::string Enc(const Ec256Point& p) {
  return p.infinity ? "inf" : tvt::Hex(p.x, 32) + tvt::Hex(p.y, 32);
}

// The curve operations give the same bytes on both paths: k*G, k*P, the
// verification's double multiplication, scalar products and inverses, and
// decompression.
TEST(P256PathsAgree, CurveOperations) {
  const Ec256Curve* c = Ec256_P256();
  tvt::TestRng rng(0x9258);
  const char* n1 = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632550";
  for (int round = 0; round < 40; ++round) {
    tvt::Bytes kb = rng.RandBytes(32), mb = rng.RandBytes(32);
    if (round == 0) kb = tvt::Unhex(n1);  // n - 1
    if (round == 1) kb = tvt::Unhex(std::string(63, '0') + "1");
    Ec256Scalar k, m;
    Ec256_ScalarFromBytes(c, &k, kb.data());
    Ec256_ScalarFromBytes(c, &m, mb.data());
    std::string out[2];
    for (int portable = 0; portable < 2; ++portable) {
      NXVT_ForcePortableForTest(portable != 0);
      Ec256Point P, Q, R;
      Ec256_MulGen(c, &P, &k);
      Ec256_Mul(c, &Q, &m, P.x, P.y);
      Ec256_MulGenAddVartime(c, &R, &m, &k, Q.x, Q.y);
      Ec256Scalar s, inv;
      Ec256_ScalarMul(c, &s, &k, &m);
      Ec256_ScalarInv(c, &inv, &k);
      uint8_t sb[32], ib[32], y[32], fi[32];
      Ec256_ScalarToBytes(sb, &s);
      Ec256_ScalarToBytes(ib, &inv);
      const bool ok = Ec256_DecompressVartime(c, y, Q.x, Q.y[31] & 1);
      Ec256_FieldInv(c, fi, P.x);
      out[portable] = Enc(P) + Enc(Q) + Enc(R) + tvt::Hex(sb, 32) + tvt::Hex(ib, 32) + (ok ? tvt::Hex(y, 32) : "no") +
                      tvt::Hex(fi, 32);
    }
    NXVT_ForcePortableForTest(false);
    EXPECT_EQ(out[0], out[1]) << tvt::Hex(kb) << " " << tvt::Hex(mb);
  }
}

}  // namespace
