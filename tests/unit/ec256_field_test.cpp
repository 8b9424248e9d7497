// secp256k1's field code (portable and MULX/ADX) against OpenSSL's BIGNUM:
// products, sums and differences at the carry and reduction edges, products
// that land just above or below p before the last subtraction, and random
// ones.
#include "crypto/ec/ec256_field.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <string>
#include <vector>

#include "crypto/cpu_features.h"
#include "tv_test.h"

namespace {

using ec256::Fe;
using ec256::K1Field;

const char* const kP = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";

struct BnCtx {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* p = nullptr;
  BnCtx() { BN_hex2bn(&p, kP); }
  ~BnCtx() {
    BN_free(p);
    BN_CTX_free(ctx);
  }
};

BIGNUM* ToBn(const Fe& a) {
  uint8_t b[32];
  ec256::StoreBE(b, a);
  return BN_bin2bn(b, 32, nullptr);
}

Fe FromBn(const BIGNUM* x) {
  uint8_t b[32];
  BN_bn2binpad(x, b, 32);
  Fe r;
  ec256::LoadBE(r, b);
  return r;
}

std::string Hex(const Fe& a) {
  uint8_t b[32];
  ec256::StoreBE(b, a);
  return tvt::Hex(b, 32);
}

Fe FeHex(const std::string& h) {
  Fe r;
  ec256::LoadBE(r, tvt::Unhex(h).data());
  return r;
}

enum class Op { kMul, kAdd, kSub };

// a op b mod p by BIGNUM.
Fe Ref(BnCtx& bn, const Fe& a, const Fe& b, Op op = Op::kMul) {
  BIGNUM *x = ToBn(a), *y = ToBn(b), *z = BN_new();
  if (op == Op::kMul) BN_mod_mul(z, x, y, bn.p, bn.ctx);
  if (op == Op::kAdd) BN_mod_add(z, x, y, bn.p, bn.ctx);
  if (op == Op::kSub) BN_mod_sub(z, x, y, bn.p, bn.ctx);
  Fe r = FromBn(z);
  BN_free(x);
  BN_free(y);
  BN_free(z);
  return r;
}

// Values below p where limbs are all ones or empty, around p and 2^255,
// and small ones.
std::vector<Fe> EdgeValues() {
  std::vector<std::string> hex = {
      std::string(64, '0'),
      "0000000000000000000000000000000000000000000000000000000000000001",
      "0000000000000000000000000000000000000000000000000000000000000002",
      "00000000000000000000000000000000000000000000000000000001000003d1",
      "000000000000000000000000000000000000000000000000ffffffffffffffff",
      "00000000000000000000000000000000ffffffffffffffffffffffffffffffff",
      "0000000000000000000000000000000100000000000000000000000000000000",
      "7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
      "8000000000000000000000000000000000000000000000000000000000000000",
      "ffffffffffffffff000000000000000000000000000000000000000000000000",
      "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2e",  // p - 1
      "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2d",  // p - 2
      "fffffffffffffffffffffffffffffffffffffffffffffffffffffffe7fffffff",
      "fffffffffffffffffffffffffffffffffffffffffffffffffffffffe00000000",
      "fffffffffffffffffffffffffffffffffffffffffffffffeffffffffffffffff",
  };
  std::vector<Fe> v;
  for (const std::string& h : hex) v.push_back(FeHex(h));
  return v;
}

// Runs body once with the portable field and, where the processor has
// MULX/ADX, once with that code.
template <class Body>
void EveryField(Body body) {
  body(K1Field{}, "portable");
#if EC256_MULX
  if (NXVT_CpuFeatures().mulx) body(ec256::K1FieldMulx{}, "mulx");
#endif
}

TEST(K1Field, ArithmeticMatchesBignum) {
  BnCtx bn;
  tvt::TestRng rng(0xF1E1D);
  std::vector<Fe> edge = EdgeValues();
  std::vector<std::pair<Fe, Fe>> pairs;
  for (const Fe& a : edge)
    for (const Fe& b : edge) pairs.push_back({a, b});
  // Products congruent to a small r: before the last subtraction the
  // reduction holds r or r + p, so both sides of that step are met.
  BIGNUM *x = BN_new(), *y = BN_new(), *r = BN_new();
  for (int i = 0; i < 300; ++i) {
    do {
      tvt::Bytes rb = rng.RandBytes(32);
      BN_bin2bn(rb.data(), 32, x);
    } while (BN_cmp(x, bn.p) >= 0 || BN_is_zero(x));
    const Fe a = FromBn(x);
    BN_set_word(r, static_cast<BN_ULONG>(i % 7 == 0 ? 0x1000003d0 + i : i));
    BN_mod_inverse(y, x, bn.p, bn.ctx);
    BN_mod_mul(y, y, r, bn.p, bn.ctx);
    pairs.push_back({a, FromBn(y)});
  }
  BN_free(x);
  BN_free(y);
  BN_free(r);
  for (int i = 0; i < 2000; ++i) {
    Fe a = FeHex(tvt::Hex(rng.RandBytes(32))), b = FeHex(tvt::Hex(rng.RandBytes(32)));
    a.v[3] &= 0x7fffffffffffffffULL >> (i % 3);  // below p
    b.v[3] = (i % 5 == 0) ? ~0ULL - 1 : b.v[3] >> 1;
    pairs.push_back({a, b});
  }
  EveryField([&](auto f, const char* name) {
    using F = decltype(f);
    for (const auto& [a, b] : pairs) {
      const Fe want = Ref(bn, a, b);
      Fe got;
      F::Mul(got, a, b);
      ASSERT_EQ(Hex(got), Hex(want)) << name << " " << Hex(a) << " * " << Hex(b);
      F::Sqr(got, a);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, a))) << name << " " << Hex(a) << "^2";
      F::Add(got, a, b);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, b, Op::kAdd))) << name << " " << Hex(a) << " + " << Hex(b);
      F::Sub(got, a, b);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, b, Op::kSub))) << name << " " << Hex(a) << " - " << Hex(b);
      // 21 a: three times the curve's b, as the point formulas use it.
      F::MulWord(got, a, 21);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, Fe{{21, 0, 0, 0}}))) << name << " 21 * " << Hex(a);
      // The result may be an operand.
      Fe alias = a;
      F::Mul(alias, alias, b);
      ASSERT_EQ(Hex(alias), Hex(want)) << name;
      alias = a;
      F::Sub(alias, alias, alias);
      ASSERT_EQ(Hex(alias), Hex(ec256::kZeroFe)) << name;
    }
  });
}

// Products take any operands below 2^256, not only residues: p itself,
// p + 1 and the largest values still come out fully reduced.
TEST(K1Field, ProductsOfValuesAtOrAboveP) {
  BnCtx bn;
  std::vector<Fe> big = {FeHex(kP),
                         FeHex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc30"),
                         FeHex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffe"),
                         FeHex(std::string(64, 'f'))};
  std::vector<Fe> all = EdgeValues();
  all.insert(all.end(), big.begin(), big.end());
  EveryField([&](auto f, const char* name) {
    using F = decltype(f);
    for (const Fe& a : big) {
      for (const Fe& b : all) {
        Fe got;
        F::Mul(got, a, b);
        ASSERT_EQ(Hex(got), Hex(Ref(bn, a, b))) << name << " " << Hex(a) << " * " << Hex(b);
        F::Mul(got, b, a);
        ASSERT_EQ(Hex(got), Hex(Ref(bn, a, b))) << name << " " << Hex(b) << " * " << Hex(a);
      }
      Fe got;
      F::Sqr(got, a);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, a))) << name << " " << Hex(a) << "^2";
      F::MulWord(got, a, 21);
      ASSERT_EQ(Hex(got), Hex(Ref(bn, a, Fe{{21, 0, 0, 0}}))) << name << " 21 * " << Hex(a);
    }
  });
}

}  // namespace
