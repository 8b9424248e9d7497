#include "crypto/ec/general/ecfield.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "ec_testing.h"

namespace {

using ect::Bn;
using ect::Hex64;

const char* kP256 = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
const char* kK1 = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";

struct Ops {
  const char* name;
  const char* p;
  int32_t (*add)(NXVT_BN*, const NXVT_BN*, const NXVT_BN*);
  int32_t (*sub)(NXVT_BN*, const NXVT_BN*, const NXVT_BN*);
  int32_t (*mul)(NXVT_BN*, const NXVT_BN*, const NXVT_BN*);
  int32_t (*sqr)(NXVT_BN*, const NXVT_BN*);
  int32_t (*reduce)(NXVT_BN*, const NXVT_BN*);
};

const Ops kFields[] = {
    {"P-256", kP256, NXVT_EC_P256_ModAdd, NXVT_EC_P256_ModSub, NXVT_EC_P256_ModMul, NXVT_EC_P256_ModSqr,
     NXVT_EC_P256_Reduce},
    {"secp256k1", kK1, NXVT_EC_Secp256k1_ModAdd, NXVT_EC_Secp256k1_ModSub, NXVT_EC_Secp256k1_ModMul,
     NXVT_EC_Secp256k1_ModSqr, NXVT_EC_Secp256k1_Reduce},
};

bool Normalised(const NXVT_BN& r) { return r.count == 0 || r.words[r.count - 1] != 0; }

TEST(EcField, PrimeConstants) {
  EXPECT_EQ(Hex64(NXVT_EC_P256_PRIME), kP256);
  EXPECT_EQ(Hex64(NXVT_EC_SECP256K1_PRIME), kK1);
}

// Fixed cases near the edges of the field, for both primes.
TEST(EcField, EdgeCases) {
  struct Case {
    int field;
    char op;  // + - * s
    std::string a, b, want;
  };
  const std::string p256m1 = "ffffffff00000001000000000000000000000000fffffffffffffffffffffffe";
  const std::string k1m1 = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2e";
  const std::string k1m2 = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2d";
  const std::string two128 = "100000000000000000000000000000000";
  const std::string k1half = "7fffffffffffffffffffffffffffffffffffffffffffffffffffffff7ffffe18";  // (p+1)/2
  const Case cases[] = {
      {0, '+', p256m1, "1", "0"},
      {0, '-', "0", "1", p256m1},
      {0, '*', p256m1, p256m1, "1"},
      {0, 's', two128, "", "00000000fffffffeffffffffffffffffffffffff000000000000000000000001"},
      {0, '+', kP256, "0", "0"},                 // an operand equal to p reads as 0
      {0, '+', "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", "1",
       "00000000fffffffeffffffffffffffffffffffff000000000000000000000001"},  // 2^256 mod p
      {1, 's', two128, "", "00000000000000000000000000000000000000000000000000000001000003d1"},
      {1, '*', k1m1, "1", k1m1},
      {1, '-', "5", "7", k1m2},
      {1, '+', k1m1, "1", "0"},
      {1, '*', "2", k1half, "1"},  // p + 1 before the final comparison
      {1, '*', k1m1, k1m1, "1"},
      {1, '-', "0", "1000003d1", "fffffffffffffffffffffffffffffffffffffffffffffffffffffffdfffff85e"},
  };
  for (const Case& c : cases) {
    const Ops& f = kFields[c.field];
    NXVT_BN a = Bn(c.a), b = Bn(c.b), r;
    switch (c.op) {
      case '+': ASSERT_EQ(f.add(&r, &a, &b), 0); break;
      case '-': ASSERT_EQ(f.sub(&r, &a, &b), 0); break;
      case '*': ASSERT_EQ(f.mul(&r, &a, &b), 0); break;
      default: ASSERT_EQ(f.sqr(&r, &a), 0); break;
    }
    EXPECT_EQ(Hex64(r), ect::HexBE(Bn(c.want), 32)) << f.name << " " << c.a << " " << c.op << " " << c.b;
    EXPECT_TRUE(Normalised(r));
  }
}

// A product that lands in [p, 2^256) must come out reduced, or the next
// subtraction goes wrong: 0 - 2 * (p + 1) / 2 is p - 1.
TEST(EcField, Secp256k1ProductIsCanonicalBeforeSubtraction) {
  NXVT_BN two = Bn("2"), half = Bn("7fffffffffffffffffffffffffffffffffffffffffffffffffffffff7ffffe18"), zero = Bn("0");
  NXVT_BN prod, r;
  ASSERT_EQ(NXVT_EC_Secp256k1_ModMul(&prod, &two, &half), 0);
  EXPECT_EQ(Hex64(prod), ect::HexBE(Bn("1"), 32));
  ASSERT_EQ(NXVT_EC_Secp256k1_ModSub(&r, &zero, &prod), 0);
  EXPECT_EQ(Hex64(r), "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2e");
  // The same with the unreduced value handed in directly.
  NXVT_BN pPlus1 = Bn("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc30");
  ASSERT_EQ(NXVT_EC_Secp256k1_ModSub(&r, &zero, &pPlus1), 0);
  EXPECT_EQ(Hex64(r), "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2e");
}

TEST(EcField, SumEqualToPrimeIsZeroWithCountZero) {
  for (const Ops& f : kFields) {
    NXVT_BN a = Bn(f.p), one = Bn("1"), r;
    ASSERT_EQ(NXVT_BN_SubWord(&a, &a, 1), 1);
    ASSERT_EQ(f.add(&r, &a, &one), 0);
    EXPECT_EQ(r.count, 0u) << f.name;
  }
}

TEST(EcField, ReduceReadsShortAndLongInputs) {
  for (const Ops& f : kFields) {
    // count 9: the missing upper words read as zero; result = 2^256 mod p.
    NXVT_BN c = Bn("1" + std::string(64, '0'));
    ASSERT_EQ(c.count, 9u);
    NXVT_BN r, want = Bn("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"), one = Bn("1");
    ASSERT_EQ(f.add(&want, &want, &one), 0);
    ASSERT_EQ(f.reduce(&r, &c), 0);
    EXPECT_EQ(Hex64(r), Hex64(want)) << f.name;
    // In place, and with unnormalised zero top words (count 16).
    c.count = 16;
    for (uint32_t i = 9; i < 16; ++i) c.words[i] = 0;
    ASSERT_EQ(f.reduce(&c, &c), 0);
    EXPECT_EQ(Hex64(c), Hex64(want)) << f.name;
  }
}

TEST(EcField, NullArgumentsFail) {
  NXVT_BN a = Bn("1");
  for (const Ops& f : kFields) {
    EXPECT_EQ(f.add(nullptr, &a, &a), -1);
    EXPECT_EQ(f.sub(&a, nullptr, &a), -1);
    EXPECT_EQ(f.mul(&a, &a, nullptr), -1);
    EXPECT_EQ(f.sqr(&a, nullptr), -1);
    EXPECT_EQ(f.reduce(nullptr, &a), -1);
  }
}

// Random operands against Python integers: values spread over [0, 2^256),
// clustered near 0, near p and in [p, 2^256), with aliased results.
TEST(EcField, RandomAgainstPython) {
  tvt::TestRng rng(0xEC0F1E1D);
  std::ostringstream in;
  std::vector<std::array<std::string, 6>> got;
  for (int fi = 0; fi < 2; ++fi) {
    const Ops& f = kFields[fi];
    const NXVT_BN p = Bn(f.p);
    for (int i = 0; i < 400; ++i) {
      NXVT_BN v[2];
      for (NXVT_BN& x : v) {
        const uint32_t shape = rng.Below(5);
        if (shape == 0) {
          x = Bn(tvt::Hex(rng.RandBytes(1 + rng.Below(4))));
        } else if (shape == 1 || shape == 2) {
          // p - small, or p + small (still below 2^256 for small < 2^32)
          NXVT_BN s = Bn(tvt::Hex(rng.RandBytes(4)));
          x = p;
          if (shape == 1) NXVT_BN_Sub(&x, &x, &s); else NXVT_BN_Add(&x, &x, &s);
          if (x.count > 8) x = p;
        } else {
          x = Bn(tvt::Hex(rng.RandBytes(32)));
        }
      }
      NXVT_BN r[4], a = v[0], b = v[1];
      ASSERT_EQ(f.add(&r[0], &a, &b), 0);
      ASSERT_EQ(f.sub(&r[1], &a, &b), 0);
      ASSERT_EQ(f.mul(&r[2], &a, &b), 0);
      NXVT_BN s = a;
      ASSERT_EQ(f.sqr(&s, &s), 0);  // aliased
      r[3] = s;
      // Wide input to the reduction: a full product written out by hand.
      NXVT_BN wide;
      ASSERT_EQ(NXVT_BN_Mul(&wide, &a, &b), 0);
      NXVT_BN red;
      ASSERT_EQ(f.reduce(&red, &wide), 0);
      in << fi << " " << Hex64(a) << " " << Hex64(b) << "\n";
      got.push_back({Hex64(r[0]), Hex64(r[1]), Hex64(r[2]), Hex64(r[3]), Hex64(red), ""});
      for (const NXVT_BN& x : r) EXPECT_TRUE(Normalised(x));
    }
  }
  const std::string script = R"(
import sys
P = [2**256 - 2**224 + 2**192 + 2**96 - 1, 2**256 - 2**32 - 977]
for line in sys.stdin:
    f, a, b = line.split()
    p = P[int(f)]; a = int(a, 16); b = int(b, 16)
    print(' '.join('%064x' % v for v in ((a + b) % p, (a - b) % p, a * b % p, a * a % p, a * b % p)))
)";
  std::istringstream out(tvt::RunPython(script, in.str()));
  std::string line;
  size_t i = 0;
  while (std::getline(out, line) && i < got.size()) {
    std::istringstream ls(line);
    for (int k = 0; k < 5; ++k) {
      std::string want;
      ls >> want;
      EXPECT_EQ(got[i][k], want) << "case " << i << " op " << k;
    }
    ++i;
  }
  EXPECT_EQ(i, got.size());
}

}  // namespace
