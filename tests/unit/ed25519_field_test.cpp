// The 51-bit-limb field of Ed25519 against OpenSSL big numbers, at the edges
// where lazy carries break: limbs at 2^51 and at the top of what each
// operation accepts, values p - 1, p, 2p - 1 and 2^255 - 1 written in more
// than one way, plus random elements at every accepted size.
#include "crypto/ed25519/ed25519_field.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <string>
#include <vector>

#include "tv_test.h"

namespace {

using namespace ed25519_field;
using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

BnPtr NewBn() { return BnPtr(BN_new(), BN_free); }

struct Ctx {
  BN_CTX* c = BN_CTX_new();
  BnPtr p = NewBn();
  Ctx() {
    BN_set_bit(p.get(), 255);
    BN_sub_word(p.get(), 19);
  }
  ~Ctx() { BN_CTX_free(c); }
};

Ctx& C() {
  static Ctx ctx;
  return ctx;
}

// The integer the limbs stand for, not reduced.
BnPtr Value(const Fe& a) {
  BnPtr r = NewBn(), limb = NewBn();
  for (int i = 4; i >= 0; --i) {
    BN_lshift(r.get(), r.get(), 51);
    BN_set_word(limb.get(), a.v[i]);
    BN_add(r.get(), r.get(), limb.get());
  }
  return r;
}

std::string ModP(const BIGNUM* v) {
  BnPtr r = NewBn();
  BN_nnmod(r.get(), v, C().p.get(), C().c);
  char* h = BN_bn2hex(r.get());
  std::string s(h);
  OPENSSL_free(h);
  return s;
}

std::string ModP(const Fe& a) { return ModP(Value(a).get()); }

u64 MaxLimb(const Fe& a) {
  u64 m = 0;
  for (u64 v : a.v) m = v > m ? v : m;
  return m;
}

constexpr u64 k51 = u64{1} << 51;
// What products return and carried sums hold.
constexpr u64 kProductBound = k51 + (u64{1} << 13);

// Elements whose limbs stay below `bound`, in many shapes: the values 0, 1,
// p - 1, p, p + 1, 2p - 1, 2p and 2^255 - 1 in canonical and in lazy limbs
// (2p written as 2^52 - 38, 2^52 - 2, ...), single limbs at 2^51 - 1 and
// 2^51, every limb at the bound, and random limbs below it.
std::vector<Fe> Edges(u64 bound, tvt::TestRng& rng, int randoms) {
  const u64 m = k51 - 1;
  std::vector<Fe> all = {
      {{0, 0, 0, 0, 0}},
      {{1, 0, 0, 0, 0}},
      {{m - 19, m, m, m, m}},                                  // p - 1
      {{m - 18, m, m, m, m}},                                  // p
      {{m - 17, m, m, m, m}},                                  // p + 1
      {{m, m, m, m, m}},                                       // 2^255 - 1
      {{2 * k51 - 38, 2 * k51 - 2, 2 * k51 - 2, 2 * k51 - 2, 2 * k51 - 2}},  // 2p, limb by limb
      {{2 * k51 - 39, 2 * k51 - 2, 2 * k51 - 2, 2 * k51 - 2, 2 * k51 - 2}},  // 2p - 1
      {{k51, 0, 0, 0, 0}},
      {{0, 0, 0, 0, k51}},                                     // 2^255 = 19
      {{m, 0, m, 0, m}},
      {{0, k51, 0, k51, 0}},
  };
  std::vector<Fe> out;
  for (const Fe& f : all) {
    if (MaxLimb(f) < bound) out.push_back(f);
  }
  out.push_back({{bound - 1, bound - 1, bound - 1, bound - 1, bound - 1}});
  out.push_back({{bound - 1, 0, bound - 1, 0, bound - 1}});
  for (int i = 0; i < randoms; ++i) {
    Fe f;
    for (u64& v : f.v) v = rng.Next() % bound;
    if (i % 3 == 0) f.v[rng.Below(5)] = bound - 1;
    out.push_back(f);
  }
  return out;
}

std::string Hex(const Fe& a) {
  std::string s;
  for (u64 v : a.v) s += std::to_string(v) + " ";
  return s;
}

// Products accept limbs below 2^54 on both sides and return limbs below
// 2^51 + 2^13; squaring likewise.
TEST(Ed25519Field, ProductsAtTheLimbBounds) {
  tvt::TestRng rng(0xF1E1D);
  const std::vector<Fe> xs = Edges(u64{1} << 54, rng, 12);
  BnPtr want = NewBn();
  for (const Fe& a : xs) {
    for (const Fe& b : xs) {
      Fe r;
      Mul(r, a, b);
      BN_mul(want.get(), Value(a).get(), Value(b).get(), C().c);
      ASSERT_EQ(ModP(r), ModP(want.get())) << Hex(a) << "* " << Hex(b);
      ASSERT_LT(MaxLimb(r), kProductBound);
    }
    Fe s;
    Sqr(s, a);
    BN_sqr(want.get(), Value(a).get(), C().c);
    ASSERT_EQ(ModP(s), ModP(want.get())) << Hex(a);
    ASSERT_LT(MaxLimb(s), kProductBound);
  }
}

// Lazy sums of two values below 2^53 and lazy differences a - b with a below
// 2^52 and b a product's output or carried value: the value is right and
// the result still multiplies correctly.
TEST(Ed25519Field, LazySumsAndDifferences) {
  tvt::TestRng rng(0x1A2E);
  const std::vector<Fe> wide = Edges(u64{1} << 53, rng, 10);
  const std::vector<Fe> mid = Edges(u64{1} << 52, rng, 10);
  const std::vector<Fe> carried = Edges(2 * k51 - 38, rng, 10);  // every limb of 2p is the most b may hold
  BnPtr want = NewBn();
  for (const Fe& a : wide) {
    for (const Fe& b : wide) {
      Fe r, sq;
      AddLazy(r, a, b);
      BN_add(want.get(), Value(a).get(), Value(b).get());
      ASSERT_EQ(ModP(r), ModP(want.get()));
      ASSERT_LT(MaxLimb(r), u64{1} << 54);
      Sqr(sq, r);
      BN_sqr(want.get(), want.get(), C().c);
      ASSERT_EQ(ModP(sq), ModP(want.get()));
    }
  }
  for (const Fe& a : mid) {
    for (const Fe& b : carried) {
      Fe r, sq;
      SubLazy(r, a, b);
      BN_sub(want.get(), Value(a).get(), Value(b).get());
      ASSERT_EQ(ModP(r), ModP(want.get())) << Hex(a) << "- " << Hex(b);
      ASSERT_LT(MaxLimb(r), u64{1} << 53);
      Sqr(sq, r);
      BN_sqr(want.get(), want.get(), C().c);
      ASSERT_EQ(ModP(sq), ModP(want.get()));
      // The carried forms agree too.
      Fe s, n;
      Sub(s, a, b);
      ASSERT_EQ(ModP(s), ModP(r));
      ASSERT_LT(MaxLimb(s), kProductBound);
      Add(s, a, b);
      BN_add(want.get(), Value(a).get(), Value(b).get());
      ASSERT_EQ(ModP(s), ModP(want.get()));
      ASSERT_LT(MaxLimb(s), kProductBound);
      Neg(n, b);
      BN_sub(want.get(), C().p.get(), Value(b).get());
      ASSERT_EQ(ModP(n), ModP(want.get()));
    }
  }
}

// Encoding gives the canonical residue for every representation of p - 1,
// p, p + 1, 2p - 1, ... with limbs up to 2^63; decoding drops bit 255.
TEST(Ed25519Field, BytesAreCanonical) {
  tvt::TestRng rng(0xB17E5);
  std::vector<Fe> xs = Edges(kProductBound, rng, 30);
  for (const Fe& a : Edges(u64{1} << 63, rng, 30)) xs.push_back(a);
  for (const Fe& a : xs) {
    unsigned char out[32];
    ToBytes(out, a);
    BnPtr got(BN_lebin2bn(out, 32, nullptr), BN_free);
    ASSERT_LT(BN_cmp(got.get(), C().p.get()), 0) << Hex(a);
    ASSERT_EQ(ModP(got.get()), ModP(a)) << Hex(a);
    Fe back = FromBytes(out);
    ASSERT_EQ(ModP(back), ModP(a));
  }
  for (int i = 0; i < 20; ++i) {
    tvt::Bytes in = rng.RandBytes(32);
    if (i < 2) in.assign(32, 0xff);
    Fe f = FromBytes(in.data());
    in[31] &= 0x7f;
    BnPtr want(BN_lebin2bn(in.data(), 32, nullptr), BN_free);
    EXPECT_EQ(BN_cmp(Value(f).get(), want.get()), 0);
  }
}

// Both inversions and the square-root power against modular
// exponentiation, for edge and random values (0, p and 2p map to 0).
TEST(Ed25519Field, PowersMatchModularExponentiation) {
  tvt::TestRng rng(0x1D7);
  BnPtr e1 = NewBn(), e2 = NewBn(), want = NewBn();
  BN_copy(e1.get(), C().p.get());
  BN_sub_word(e1.get(), 2);  // p - 2
  BN_set_bit(e2.get(), 252);
  BN_sub_word(e2.get(), 3);  // 2^252 - 3
  for (const Fe& a : Edges(kProductBound, rng, 30)) {
    BnPtr v = NewBn();
    BN_nnmod(v.get(), Value(a).get(), C().p.get(), C().c);
    Fe r;
    Invert(r, a);
    BN_mod_exp(want.get(), v.get(), e1.get(), C().p.get(), C().c);
    EXPECT_EQ(ModP(r), ModP(want.get())) << Hex(a);
    EXPECT_LT(MaxLimb(r), k51);
    InvertVartime(r, a);
    EXPECT_EQ(ModP(r), ModP(want.get())) << Hex(a);
    Pow22523(r, a);
    BN_mod_exp(want.get(), v.get(), e2.get(), C().p.get(), C().c);
    EXPECT_EQ(ModP(r), ModP(want.get())) << Hex(a);
  }
}

}  // namespace
