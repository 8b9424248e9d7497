#include "crypto/bignum/modexp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "bignum_testing.h"
#include "tv_test.h"

using bnt::HexOf;
using bnt::Make;
using bnt::Check;
using bnt::Pending;

namespace {

const char* kSecpP = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
const char* kP256P = "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff";
const char* kEd25519P = "7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffed";  // 5 mod 8
const char* kP224P = "ffffffffffffffffffffffffffffffff000000000000000000000001";            // 1 mod 8

const char* kPyOracle =
    "    if op == 'exp': res = H(pow(v[0], v[1], v[2]))\n"
    "    elif op == 'qr': res = '1' if pow(v[0], (v[1] - 1) // 2, v[1]) == 1 else '0'\n"
    "    elif op == 'root4': res = H(pow(v[0], (v[1] + 1) // 4, v[1]))\n"
    "    elif op == 'lucas':\n"
    "        Q, k, p = v\n"
    "        def mm(A, B): return [[(A[0][0]*B[0][0] + A[0][1]*B[1][0]) % p, (A[0][0]*B[0][1] + A[0][1]*B[1][1]) % p],\n"
    "                              [(A[1][0]*B[0][0] + A[1][1]*B[1][0]) % p, (A[1][0]*B[0][1] + A[1][1]*B[1][1]) % p]]\n"
    "        R = [[1, 0], [0, 1]]; M = [[1, (-Q) % p], [1, 0]]; e = k\n"
    "        while e:\n"
    "            if e & 1: R = mm(R, M)\n"
    "            M = mm(M, M); e >>= 1\n"
    "        vk = (R[1][0] * 1 + R[1][1] * 2) % p\n"
    "        res = H(vk) + ' ' + H(pow(Q, k // 2, p))\n";


// r^2 mod p, through the (separately tested) record arithmetic.
std::string SquareMod(const NXVT_BN& r, const NXVT_BN& p) {
  NXVT_BN s;
  EXPECT_EQ(NXVT_BN_Sqr(&s, &r), 0);
  EXPECT_EQ(NXVT_BN_Mod(&s, &p), 0);
  return HexOf(s);
}

std::string Hex32(uint32_t w) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%x", w);
  return buf;
}

}  // namespace

TEST(ModExp, SpecificResults) {
  struct Case {
    const char* a;
    const char* e;
    const char* m;
    const char* r;
  };
  const Case cases[] = {{"3", "0", "7", "1"}, {"0", "5", "7", "0"}, {"3", "5", "1", "0"},
                        {"7", "2", "7", "0"}, {"a", "2", "7", "2"}, {"0", "0", "7", "0"},
                        {"2", "a", "3e8", "18"}, {"e", "1", "7", "0"}};
  for (const Case& c : cases) {
    NXVT_BN a = Make(c.a), e = Make(c.e), m = Make(c.m), r = Make("99");
    EXPECT_EQ(NXVT_BN_ModExp(&r, &a, &e, &m), 0) << c.a << "^" << c.e << " mod " << c.m;
    EXPECT_EQ(HexOf(r), c.r) << c.a << "^" << c.e << " mod " << c.m;
  }
  NXVT_BN a = Make("3"), e = Make("5"), m = Make("7"), zero = Make("0");
  NXVT_BN r = Make("99");
  EXPECT_EQ(NXVT_BN_ModExp(&r, &a, &a, &m), -1);
  EXPECT_EQ(NXVT_BN_ModExp(&r, &a, &m, &m), -1);
  EXPECT_EQ(NXVT_BN_ModExp(&r, &m, &e, &m), -1);
  EXPECT_EQ(NXVT_BN_ModExp(&r, &a, &e, &zero), -1);
  EXPECT_EQ(HexOf(r), "99");  // unchanged on failure
  // The result may not be the modulus: the modulus is read to the end.
  NXVT_BN m2 = m;
  EXPECT_EQ(NXVT_BN_ModExp(&m2, &a, &e, &m2), -1);
  EXPECT_EQ(HexOf(m2), "7");
  // The result may be the base or the exponent.
  EXPECT_EQ(NXVT_BN_ModExp(&a, &a, &e, &m), 0);
  EXPECT_EQ(HexOf(a), "5");  // 3^5 = 243 = 5 mod 7
  a = Make("3");
  EXPECT_EQ(NXVT_BN_ModExp(&e, &a, &e, &m), 0);
  EXPECT_EQ(HexOf(e), "5");
  // Residues whose products would not fit a record are refused.
  tvt::TestRng rng(1);
  NXVT_BN bigM = bnt::RandomBn(rng, 130, 0), two = Make("2"), three = Make("3");
  r = Make("99");
  EXPECT_EQ(NXVT_BN_ModExp(&r, &two, &three, &bigM), -1);
  EXPECT_EQ(HexOf(r), "99");
}

TEST(ModExp, MatchesPython) {
  tvt::TestRng rng(77);
  bnt::Oracle oracle(kPyOracle);
  std::vector<Pending> pending;
  const uint32_t mSizes[] = {1, 2, 3, 8, 9, 16, 17, 33, 64, 129};
  const uint32_t eSizes[] = {1, 2, 8, 9, 16};
  for (uint32_t nm : mSizes) {
    for (uint32_t ne : eSizes) {
      for (int rep = 0; rep < 4; ++rep) {
        if (nm > 33 && ne > 2 && rep > 0) continue;  // keep the large cases few
        NXVT_BN m = bnt::RandomBn(rng, nm, rep == 3 ? static_cast<int>(rng.Below(5)) : 0);
        if (rep % 2 == 0) m.words[0] |= 1;
        NXVT_BN e = bnt::RandomBn(rng, ne, rep == 2 ? 3 : 0);
        uint32_t na = rep == 1 ? nm + 1 : 1 + rng.Below(nm);  // sometimes above m
        NXVT_BN a = bnt::RandomBn(rng, na, 0);
        NXVT_BN r;
        int mode = rep % 3;  // fresh result, result in a, result in e
        NXVT_BN aa = a, ee = e;
        NXVT_BN* target = mode == 1 ? &aa : (mode == 2 ? &ee : &r);
        int32_t rc = NXVT_BN_ModExp(target, &aa, &ee, &m);
        EXPECT_EQ(rc, 0);
        oracle.Ask("exp " + HexOf(a) + " " + HexOf(e) + " " + HexOf(m));
        pending.push_back({"exp " + HexOf(a).substr(0, 60) + " ^ " + HexOf(e).substr(0, 60) + " mod " +
                               HexOf(m).substr(0, 60) + " mode " + std::to_string(mode),
                           HexOf(*target)});
      }
    }
  }
  // A long exponent over a small modulus, and a full-record exponent.
  for (uint32_t ne : {64u, 258u}) {
    NXVT_BN a = bnt::RandomBn(rng, 4, 0), e = bnt::RandomBn(rng, ne, 0), m = Make(kSecpP), r;
    ASSERT_EQ(NXVT_BN_ModExp(&r, &a, &e, &m), 0);
    oracle.Ask("exp " + HexOf(a) + " " + HexOf(e) + " " + HexOf(m));
    pending.push_back({"long exponent " + std::to_string(ne), HexOf(r)});
  }
  Check(oracle, pending);
}

TEST(ModSqrt, SpecificResults) {
  struct Case {
    const char* a;
    const char* p;
    int32_t rc;
    const char* r;
  };
  const Case cases[] = {{"2", "7", 0, "4"}, {"3", "7", -1, nullptr}, {"0", "7", -1, nullptr},
                        {"9", "7", -1, nullptr}, {"a", "d", 0, "7"}, {"4", "8", -1, nullptr},
                        {"1", "2", -1, nullptr}};
  for (const Case& c : cases) {
    NXVT_BN a = Make(c.a), p = Make(c.p), r;
    EXPECT_EQ(NXVT_BN_ModSqrt(&r, &a, &p), c.rc) << c.a << " mod " << c.p;
    if (c.r) {
      EXPECT_EQ(HexOf(r), c.r) << c.a << " mod " << c.p;
    }
  }
  // In place.
  NXVT_BN a = Make("2"), p = Make("7");
  EXPECT_EQ(NXVT_BN_ModSqrt(&a, &a, &p), 0);
  EXPECT_EQ(HexOf(a), "4");
  NXVT_BN zeroCountOne = Make("0", 1);
  EXPECT_EQ(NXVT_BN_ModSqrt(&a, &zeroCountOne, &p), -1);
}

// Every odd prime below 400, every a from 0 to p + 2: roots exactly for the
// nonzero residues below p, whichever of the three methods the prime takes.
TEST(ModSqrt, SmallPrimesExhaustive) {
  for (uint32_t p = 3; p < 400; p += 2) {
    bool prime = true;
    for (uint32_t d = 3; d * d <= p; d += 2) prime = prime && (p % d != 0);
    if (!prime) continue;
    std::set<uint32_t> squares;
    for (uint32_t x = 1; x < p; ++x) squares.insert(x * x % p);
    NXVT_BN pb = Make(Hex32(p));
    for (uint32_t a = 0; a <= p + 2; ++a) {
      NXVT_BN ab = Make(Hex32(a)), r;
      int32_t rc = NXVT_BN_ModSqrt(&r, &ab, &pb);
      bool expectRoot = a > 0 && a < p && squares.count(a) > 0;
      ASSERT_EQ(rc, expectRoot ? 0 : -1) << "a=" << a << " p=" << p << " (p mod 8 = " << p % 8 << ")";
      if (expectRoot) {
        ASSERT_EQ(SquareMod(r, pb), Hex32(a)) << "a=" << a << " p=" << p;
      }
    }
  }
}

// Moduli that are not prime (the caller's mistake) end promptly, and any
// root they report is a root.
TEST(ModSqrt, CompositeModuliNeverGiveAWrongRoot) {
  for (uint32_t p : {9u, 15u, 21u, 561u, 697u, 1105u, 41u * 73u, 65u}) {
    NXVT_BN pb = Make(Hex32(p));
    for (uint32_t a = 1; a < p; ++a) {
      NXVT_BN ab = Make(Hex32(a)), r;
      if (NXVT_BN_ModSqrt(&r, &ab, &pb) == 0) {
        ASSERT_EQ(SquareMod(r, pb), Hex32(a)) << "a=" << a << " p=" << p;
      }
    }
  }
}

TEST(ModSqrt, CurvePrimesAndOthers) {
  tvt::TestRng rng(31337);
  bnt::Oracle oracle(kPyOracle);
  std::vector<Pending> pending;
  for (const char* ph : {kSecpP, kP256P, kEd25519P, kP224P}) {
    NXVT_BN p = Make(ph);
    bool threeMod4 = (p.words[0] & 3u) == 3u;
    for (int rep = 0; rep < 40; ++rep) {
      NXVT_BN a = bnt::RandomBn(rng, p.count, 0), r;
      ASSERT_EQ(NXVT_BN_Mod(&a, &p), 0);
      if (rep % 2 == 0) {
        // A square by construction: the root is x or p - x.
        NXVT_BN x = a;
        ASSERT_EQ(NXVT_BN_Sqr(&a, &x), 0);
        ASSERT_EQ(NXVT_BN_Mod(&a, &p), 0);
        ASSERT_EQ(NXVT_BN_ModSqrt(&r, &a, &p), 0) << HexOf(a) << " mod " << ph;
        NXVT_BN neg;
        NXVT_BN_Sub(&neg, &p, &x);
        EXPECT_TRUE(HexOf(r) == HexOf(x) || HexOf(r) == HexOf(neg)) << HexOf(a) << " mod " << ph;
        continue;
      }
      int32_t rc = NXVT_BN_ModSqrt(&r, &a, &p);
      oracle.Ask("qr " + HexOf(a) + " " + ph);
      pending.push_back({"residue test " + HexOf(a) + " mod " + ph, rc == 0 ? "1" : "0"});
      if (rc == 0) {
        EXPECT_EQ(SquareMod(r, p), HexOf(a));
        if (threeMod4) {
          oracle.Ask("root4 " + HexOf(a) + " " + ph);
          pending.push_back({"root is a^((p+1)/4) for " + HexOf(a), HexOf(r)});
        }
      }
      // Adding p makes the same residue unreduced: refused.
      NXVT_BN up;
      NXVT_BN_Add(&up, &a, &p);
      EXPECT_EQ(NXVT_BN_ModSqrt(&r, &up, &p), -1);
    }
  }
  Check(oracle, pending);

  // The secp256k1 generator: sqrt(x^3 + 7) is its Y or p - Y.
  NXVT_BN p = Make(kSecpP);
  NXVT_BN gx = Make("79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798");
  NXVT_BN gy = Make("483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8");
  NXVT_BN t, t2;
  NXVT_BN_Sqr(&t, &gx);
  NXVT_BN_Mod(&t, &p);
  NXVT_BN_Mul(&t2, &t, &gx);
  NXVT_BN_AddWord(&t2, &t2, 7);
  NXVT_BN_Mod(&t2, &p);
  NXVT_BN y, negY;
  ASSERT_EQ(NXVT_BN_ModSqrt(&y, &t2, &p), 0);
  NXVT_BN_Sub(&negY, &p, &gy);
  EXPECT_TRUE(HexOf(y) == HexOf(gy) || HexOf(y) == HexOf(negY)) << HexOf(y);
}

TEST(LucasSeq, MatchesPython) {
  tvt::TestRng rng(5);
  bnt::Oracle oracle(kPyOracle);
  std::vector<Pending> pending;
  for (const char* ph : {"11", "61", "3b9aca07", kP224P, kSecpP}) {
    NXVT_BN p = Make(ph);
    for (int rep = 0; rep < 12; ++rep) {
      NXVT_BN q = bnt::RandomBn(rng, 1 + rng.Below(p.count), 0);
      NXVT_BN k = bnt::RandomBn(rng, 1 + rng.Below(9), rep % 3 == 0 ? 3 : 0);
      if (rep == 0) k = Make("1");
      if (rep == 1) k = Make("2");
      NXVT_BN v = Make("0"), qk = Make("0");
      NXVT_BN_LucasSeq(&v, &qk, &p, nullptr, &q, &k);
      oracle.Ask("lucas " + HexOf(q) + " " + HexOf(k) + " " + ph);
      pending.push_back({"lucas Q=" + HexOf(q) + " k=" + HexOf(k) + " p=" + ph, HexOf(v) + " " + HexOf(qk)});
    }
  }
  Check(oracle, pending);
}
