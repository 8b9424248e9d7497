// Inversion by divsteps against OpenSSL's BN_mod_inverse, for the four
// moduli of the curve code, with and without the Montgomery factor, in the
// constant-time and the variable-time variant alike.
#include "crypto/ec/modinv.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <string>
#include <vector>

#include "crypto/ec/ec256.h"
#include "crypto/ec/ec256_field.h"
#include "tv_test.h"

namespace {

using ec256::Fe;

struct Mod {
  const char* name;
  const char* hex;
};

const Mod kMods[] = {
    {"secp256k1 p", "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f"},
    {"secp256k1 n", "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141"},
    {"P-256 p", "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"},
    {"P-256 n", "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"},
};

struct BnCtx {
  BN_CTX* ctx = BN_CTX_new();
  ~BnCtx() { BN_CTX_free(ctx); }
};

struct Bn {
  BIGNUM* b = BN_new();
  Bn() = default;
  explicit Bn(const char* hex) { BN_hex2bn(&b, hex); }
  Bn(const Bn& o) : b(BN_dup(o.b)) {}
  Bn& operator=(const Bn& o) {
    BN_copy(b, o.b);
    return *this;
  }
  ~Bn() { BN_free(b); }
};

Fe ToFe(const BIGNUM* a) {
  uint8_t be[32];
  BN_bn2binpad(a, be, 32);
  Fe r;
  ec256::LoadBE(r, be);
  return r;
}

Bn FromFe(const Fe& a) {
  uint8_t be[32];
  ec256::StoreBE(be, a);
  Bn r;
  BN_bin2bn(be, 32, r.b);
  return r;
}

std::string Hex(const BIGNUM* a) {
  char* h = BN_bn2hex(a);
  std::string s(h);
  OPENSSL_free(h);
  return s;
}

// Values where the limbs (64-bit words and the 62-bit limbs of the
// inversion) carry or borrow, around the modulus, and powers of two.
std::vector<Bn> EdgeValues(const Bn& m, BN_CTX* ctx) {
  std::vector<Bn> v;
  auto add = [&](const Bn& x) {
    Bn r;
    BN_nnmod(r.b, x.b, m.b, ctx);
    v.push_back(r);
  };
  for (BN_ULONG w : {0, 1, 2, 3, 5, 7}) {
    Bn x;
    BN_set_word(x.b, w);
    add(x);
    Bn y;
    BN_sub(y.b, m.b, x.b);  // m - w (m itself gives 0 again)
    add(y);
  }
  Bn half;  // (m + 1) / 2, the inverse of 2
  BN_add(half.b, m.b, BN_value_one());
  BN_rshift1(half.b, half.b);
  add(half);
  for (int k = 0; k < 256; ++k) {
    Bn p;
    BN_lshift(p.b, BN_value_one(), k);
    add(p);
    Bn pm1;  // 2^k - 1
    BN_sub(pm1.b, p.b, BN_value_one());
    add(pm1);
    Bn mp;  // m - 2^k
    BN_sub(mp.b, m.b, p.b);
    add(mp);
  }
  // One limb of all ones at each position of both limb sizes.
  for (int bits : {62, 64}) {
    for (int pos = 0; pos + bits <= 256; pos += bits) {
      Bn x, ones;
      BN_lshift(ones.b, BN_value_one(), bits);
      BN_sub(ones.b, ones.b, BN_value_one());
      BN_lshift(x.b, ones.b, pos);
      add(x);
    }
  }
  return v;
}

Bn RandomBelow(const Bn& m, tvt::TestRng& rng, BN_CTX* ctx) {
  const tvt::Bytes b = rng.RandBytes(32);
  Bn r;
  BN_bin2bn(b.data(), 32, r.b);
  BN_nnmod(r.b, r.b, m.b, ctx);
  return r;
}

// a^-1 * scale mod m, or 0 for a = 0.
Bn Expected(const Bn& a, const Bn& scale, const Bn& m, BN_CTX* ctx) {
  Bn r;
  if (BN_is_zero(a.b)) return r;
  BN_mod_inverse(r.b, a.b, m.b, ctx);
  BN_mod_mul(r.b, r.b, scale.b, m.b, ctx);
  return r;
}

// Divsteps from (1, m, a) until g = 0, on big numbers.
int CountDivsteps(const Bn& m, const Bn& a) {
  Bn f = m, g = a, t;
  int delta = 1, n = 0;
  while (!BN_is_zero(g.b)) {
    if (delta > 0 && BN_is_odd(g.b)) {
      delta = 1 - delta;
      BN_sub(t.b, g.b, f.b);
      f = g;
      g = t;
    } else {
      delta = 1 + delta;
      if (BN_is_odd(g.b)) BN_add(g.b, g.b, f.b);
    }
    BN_rshift1(g.b, g.b);  // exact: g is even here, also when negative
    ++n;
  }
  return n;
}

void CheckBoth(const Bn& a, const Bn& scale, const ModInvModulus& mod, const Bn& m, BN_CTX* ctx,
               const std::string& name) {
  const Fe x = ToFe(a.b);
  const std::string want = Hex(Expected(a, scale, m, ctx).b);
  Fe r;
  ModInv256(r.v, x.v, mod);
  EXPECT_EQ(Hex(FromFe(r).b), want) << name << ": 1 / " << Hex(a.b);
  Fe rv;
  ModInv256Vartime(rv.v, x.v, mod);
  EXPECT_EQ(Hex(FromFe(rv).b), want) << name << " (vartime): 1 / " << Hex(a.b);
}

TEST(ModInv, MatchesOpenSslPlainAndWithMontgomeryFactor) {
  BnCtx c;
  tvt::TestRng rng(0x6d6f64696e76ULL);
  for (const Mod& md : kMods) {
    const Bn m(md.hex);
    const Fe mf = ToFe(m.b);
    // R^2 mod m, the factor of the fields in Montgomery form.
    Bn r2;
    BN_lshift(r2.b, BN_value_one(), 512);
    BN_nnmod(r2.b, r2.b, m.b, c.ctx);
    Bn one;
    BN_one(one.b);
    for (const Bn* scale : {&one, &r2}) {
      const Fe sf = ToFe(scale->b);
      const ModInvModulus mod = MakeModInvModulus(mf.v, sf.v);
      for (const Bn& a : EdgeValues(m, c.ctx)) CheckBoth(a, *scale, mod, m, c.ctx, md.name);
      for (int i = 0; i < 2000; ++i) CheckBoth(RandomBelow(m, rng, c.ctx), *scale, mod, m, c.ctx, md.name);
    }
  }
}

// The constant-time variant runs a fixed 744 steps, counting on the proven
// bound of 741 for 256-bit inputs. The longest runs found (edges, random
// values, then single-bit changes that lengthen the run) stay within it and
// invert correctly.
TEST(ModInv, LongestDivstepRunsStayWithinTheFixedCount) {
  BnCtx c;
  tvt::TestRng rng(0x6c6f6e67ULL);
  for (const Mod& md : kMods) {
    const Bn m(md.hex);
    const Fe mf = ToFe(m.b);
    Bn one;
    BN_one(one.b);
    const ModInvModulus mod = MakeModInvModulus(mf.v, ToFe(one.b).v);
    Bn best;
    int longest = -1;
    auto consider = [&](const Bn& a) {
      const int n = CountDivsteps(m, a);
      if (n > longest) {
        longest = n;
        best = a;
      }
    };
    for (const Bn& a : EdgeValues(m, c.ctx)) consider(a);
    for (int i = 0; i < 200; ++i) consider(RandomBelow(m, rng, c.ctx));
    for (int i = 0; i < 600; ++i) {
      Bn a = best;
      const int bit = static_cast<int>(rng.Below(256));
      if (BN_is_bit_set(a.b, bit)) {
        BN_clear_bit(a.b, bit);
      } else {
        BN_set_bit(a.b, bit);
      }
      if (BN_cmp(a.b, m.b) < 0) consider(a);
    }
    EXPECT_LE(longest, 741) << md.name << ": " << Hex(best.b);
    CheckBoth(best, one, mod, m, c.ctx, md.name);
    std::printf("%s: longest run found %d divsteps\n", md.name, longest);
  }
}

// The method takes any odd modulus below 2^256: moduli of every length
// (the top limb from full to nearly empty), composite ones included, with
// values prime to them.
TEST(ModInv, AnyOddModulus) {
  BnCtx c;
  tvt::TestRng rng(0x6f6464ULL);
  Bn one, gcd;
  BN_one(one.b);
  for (int i = 0; i < 600; ++i) {
    const int bits = 2 + static_cast<int>(rng.Below(255));  // 2..256
    const tvt::Bytes raw = rng.RandBytes(32);
    Bn m;
    BN_bin2bn(raw.data(), 32, m.b);
    BN_mask_bits(m.b, bits);
    BN_set_bit(m.b, bits - 1);
    BN_set_bit(m.b, 0);
    if (i == 0) {  // 2^256 - 1
      BN_lshift(m.b, one.b, 256);
      BN_sub(m.b, m.b, one.b);
    }
    const Bn a = RandomBelow(m, rng, c.ctx);
    BN_gcd(gcd.b, a.b, m.b, c.ctx);
    if (!BN_is_one(gcd.b) && !BN_is_zero(a.b)) continue;
    Bn r2;
    BN_lshift(r2.b, one.b, 512);
    BN_nnmod(r2.b, r2.b, m.b, c.ctx);
    const Fe mf = ToFe(m.b);
    for (const Bn* scale : {&one, &r2}) {
      Bn s;
      BN_nnmod(s.b, scale->b, m.b, c.ctx);
      CheckBoth(a, s, MakeModInvModulus(mf.v, ToFe(s.b).v), m, c.ctx, "modulus " + Hex(m.b));
    }
  }
}

// The curve code's inversions: field elements (Montgomery form on P-256),
// the secret scalar inverse and the public one, against OpenSSL.
TEST(ModInv, CurveInversionsMatchOpenSsl) {
  BnCtx c;
  tvt::TestRng rng(0x63757276ULL);
  struct Curve {
    const Ec256Curve* ec;
    const char* p;
    const char* n;
  };
  const Curve curves[] = {{Ec256_Secp256k1(), kMods[0].hex, kMods[1].hex}, {Ec256_P256(), kMods[2].hex, kMods[3].hex}};
  Bn one;
  BN_one(one.b);
  for (const Curve& cv : curves) {
    const Bn p(cv.p), n(cv.n);
    std::vector<Bn> fieldValues = EdgeValues(p, c.ctx), scalarValues = EdgeValues(n, c.ctx);
    for (int i = 0; i < 300; ++i) {
      fieldValues.push_back(RandomBelow(p, rng, c.ctx));
      scalarValues.push_back(RandomBelow(n, rng, c.ctx));
    }
    for (const Bn& a : fieldValues) {
      uint8_t in[32], out[32];
      BN_bn2binpad(a.b, in, 32);
      Ec256_FieldInv(cv.ec, out, in);
      Bn got;
      BN_bin2bn(out, 32, got.b);
      EXPECT_EQ(Hex(got.b), Hex(Expected(a, one, p, c.ctx).b)) << "field 1 / " << Hex(a.b);
    }
    for (const Bn& a : scalarValues) {
      const Fe x = ToFe(a.b);
      Ec256Scalar s{{x.v[0], x.v[1], x.v[2], x.v[3]}}, r, rv;
      Ec256_ScalarInv(cv.ec, &r, &s);
      Ec256_ScalarInvVartime(cv.ec, &rv, &s);
      const std::string want = Hex(Expected(a, one, n, c.ctx).b);
      EXPECT_EQ(Hex(FromFe(Fe{{r.v[0], r.v[1], r.v[2], r.v[3]}}).b), want) << "scalar 1 / " << Hex(a.b);
      EXPECT_EQ(Hex(FromFe(Fe{{rv.v[0], rv.v[1], rv.v[2], rv.v[3]}}).b), want) << "scalar 1 / " << Hex(a.b);
    }
  }
}

}  // namespace
