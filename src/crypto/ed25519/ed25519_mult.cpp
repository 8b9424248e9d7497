#include "crypto/ed25519/ed25519_mult.h"

#include <cstdint>
#include <cstring>

#include "crypto/ed25519/ed25519_field.h"
#include "platform/memory.h"

// Nothing here branches on or indexes by a secret outside the functions
// marked Vartime: selections are masks over whole tables, loops have fixed
// bounds, and the inversion's exponent is a constant.

namespace {

using namespace ed25519_field;

Fe FromHexBE(const char* hex) {
  unsigned char le[32];
  for (int i = 0; i < 32; ++i) {
    auto nib = [](char ch) { return static_cast<unsigned char>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10); };
    le[31 - i] = static_cast<unsigned char>(nib(hex[2 * i]) << 4 | nib(hex[2 * i + 1]));
  }
  return FromBytes(le);
}

// Extended coordinates: x = X/Z, y = Y/Z, xy = T/Z.
struct Ext {
  Fe X, Y, Z, T;
};
// An affine point ready for addition: y + x, y - x, 2dxy.
struct Niels {
  Fe ypx, ymx, xy2d;
};
// A projective point ready for addition: Y + X, Y - X, Z, 2dT.
struct Cached {
  Fe ypx, ymx, Z, t2d;
};

constexpr int kWindows = 64;      // 4-bit digits of a 256-bit scalar
constexpr int kCombRows = 65;     // signed digits: one more for the last carry
constexpr int kCombEntries = 8;   // |digit| 1..8

// Verification recodes the multiplier of B into odd digits below 2^7 in
// absolute value, at least eight positions apart.
constexpr int kBaseWindow = 8;
constexpr int kOddBase = 1 << (kBaseWindow - 2);  // B, 3B, ..., 127B
// and the multiplier of the key point into odd digits below 2^4.
constexpr int kPointWindow = 5;
constexpr int kOddPoint = 1 << (kPointWindow - 2);  // P, 3P, ..., 15P

struct Consts {
  Fe d, d2, sqrtm1;
  Ext base;
  Niels comb[kCombRows][kCombEntries];  // comb[i][j] = (j + 1) * 16^i * B
  Niels oddBase[kOddBase];              // oddBase[j] = (2j + 1) * B
};

Ext Neutral() { return Ext{kZero, kOne, kOne, kZero}; }

// A point in completed form, the result of an addition or doubling before
// its last products: x = e f / (f g), y = g h / (f g). Converting costs three
// products for (X : Y : Z), four with T, so a doubling that follows another
// doubling skips T.
struct Completed {
  Fe e, f, g, h;
};

// The unified formulas of twisted Edwards curves with a = -1 (complete on
// this curve: d is not a square), so no input needs a branch. a, b, c, d are
// (Y1 - X1)(Y2 - X2), (Y1 + X1)(Y2 + X2), 2d T1 T2, 2 Z1 Z2; a subtraction
// trades the roles of a and b and the sign of c.
[[gnu::always_inline]] inline void Finish(Completed& r, const Fe& a, const Fe& b, const Fe& c, const Fe& d) {
  SubLazy(r.e, b, a);
  SubLazy(r.f, d, c);
  AddLazy(r.g, d, c);
  AddLazy(r.h, b, a);
}

[[gnu::always_inline]] inline void ToExt(Ext& r, const Completed& c) {
  Mul(r.X, c.e, c.f);
  Mul(r.Y, c.g, c.h);
  Mul(r.T, c.e, c.h);
  Mul(r.Z, c.f, c.g);
}

// (X : Y : Z) only; T is left as it was.
[[gnu::always_inline]] inline void ToProj(Ext& r, const Completed& c) {
  Mul(r.X, c.e, c.f);
  Mul(r.Y, c.g, c.h);
  Mul(r.Z, c.f, c.g);
}

void AddFinish(Ext& r, const Fe& a, const Fe& b, const Fe& c, const Fe& d) {
  Completed t;
  Finish(t, a, b, c, d);
  ToExt(r, t);
}

void AddNiels(Ext& r, const Ext& p, const Niels& q) {
  Fe a, b, c, d;
  SubLazy(a, p.Y, p.X);
  Mul(a, a, q.ymx);
  AddLazy(b, p.Y, p.X);
  Mul(b, b, q.ypx);
  Mul(c, p.T, q.xy2d);
  AddLazy(d, p.Z, p.Z);
  AddFinish(r, a, b, c, d);
}

void AddCached(Ext& r, const Ext& p, const Cached& q) {
  Fe a, b, c, d;
  SubLazy(a, p.Y, p.X);
  Mul(a, a, q.ymx);
  AddLazy(b, p.Y, p.X);
  Mul(b, b, q.ypx);
  Mul(c, p.T, q.t2d);
  Mul(d, p.Z, q.Z);
  AddLazy(d, d, d);
  AddFinish(r, a, b, c, d);
}

// r = p + q (sub = false) or p - q (sub = true) for public points, from
// q's Y + X, Y - X and the products c, d of the unified formulas. -q swaps
// Y + X with Y - X and negates c.
inline void AddPartsVartime(Completed& r, const Ext& p, const Fe& ypx, const Fe& ymx, const Fe& c, const Fe& d,
                            bool sub) {
  Fe a, b;
  SubLazy(a, p.Y, p.X);
  Mul(a, a, sub ? ypx : ymx);
  AddLazy(b, p.Y, p.X);
  Mul(b, b, sub ? ymx : ypx);
  SubLazy(r.e, b, a);
  AddLazy(r.h, b, a);
  if (sub) {
    AddLazy(r.f, d, c);
    SubLazy(r.g, d, c);
  } else {
    SubLazy(r.f, d, c);
    AddLazy(r.g, d, c);
  }
}

inline void AddNielsVartime(Completed& r, const Ext& p, const Niels& q, bool sub) {
  Fe c, d;
  Mul(c, p.T, q.xy2d);
  AddLazy(d, p.Z, p.Z);
  AddPartsVartime(r, p, q.ypx, q.ymx, c, d, sub);
}

inline void AddCachedVartime(Completed& r, const Ext& p, const Cached& q, bool sub) {
  Fe c, d;
  Mul(c, p.T, q.t2d);
  Mul(d, p.Z, q.Z);
  AddLazy(d, d, d);
  AddPartsVartime(r, p, q.ypx, q.ymx, c, d, sub);
}

// Doubling from (X : Y : Z); T is not read.
[[gnu::always_inline]] inline void DblCompleted(Completed& r, const Ext& p) {
  Fe a, b, c;
  Sqr(a, p.X);
  Sqr(b, p.Y);
  Sqr(c, p.Z);
  AddLazy(c, c, c);
  AddLazy(r.h, a, b);
  AddLazy(r.e, p.X, p.Y);
  Sqr(r.e, r.e);
  SubLazy(r.e, r.h, r.e);
  SubLazy(r.g, a, b);
  AddLazy(r.f, c, r.g);
}

void Dbl(Ext& r, const Ext& p) {
  Completed c;
  DblCompleted(c, p);
  ToExt(r, c);
}

Cached ToCached(const Consts& k, const Ext& p) {
  Cached c;
  AddLazy(c.ypx, p.Y, p.X);
  SubLazy(c.ymx, p.Y, p.X);
  c.Z = p.Z;
  Mul(c.t2d, p.T, k.d2);
  return c;
}

// out = encode(p) given zi = 1/Z.
void EncodeWithInverse(unsigned char out[32], const Ext& p, const Fe& zi) {
  Fe x, y;
  Mul(x, p.X, zi);
  Mul(y, p.Y, zi);
  unsigned char xb[32];
  ToBytes(xb, x);
  ToBytes(out, y);
  out[31] = static_cast<unsigned char>(out[31] | ((xb[0] & 1u) << 7));
  Wipe(&x, sizeof x);
  Wipe(&y, sizeof y);
  Wipe(xb, sizeof xb);
}

void Encode(unsigned char out[32], const Ext& p) {
  Fe zi;
  Invert(zi, p.Z);
  EncodeWithInverse(out, p, zi);
  Wipe(&zi, sizeof zi);
}

void EncodeVartime(unsigned char out[32], const Ext& p) {
  Fe zi;
  InvertVartime(zi, p.Z);
  EncodeWithInverse(out, p, zi);
}

// out[n] = pts[n] in affine form ready for addition, by one shared
// inversion (Montgomery's trick); prefix is scratch of n elements.
void ToNiels(const Consts& k, Niels* out, const Ext* pts, Fe* prefix, int n) {
  prefix[0] = pts[0].Z;
  for (int i = 1; i < n; ++i) Mul(prefix[i], prefix[i - 1], pts[i].Z);
  Fe inv;
  Invert(inv, prefix[n - 1]);
  for (int i = n - 1; i >= 0; --i) {
    Fe zi;
    if (i > 0) {
      Mul(zi, inv, prefix[i - 1]);
      Mul(inv, inv, pts[i].Z);
    } else {
      zi = inv;
    }
    Fe x, y, xy;
    Mul(x, pts[i].X, zi);
    Mul(y, pts[i].Y, zi);
    Add(out[i].ypx, y, x);
    Sub(out[i].ymx, y, x);
    Mul(xy, x, y);
    Mul(out[i].xy2d, xy, k.d2);
  }
}

// Builds the base-point tables from projective multiples. Once per process.
void BuildTables(Consts& k) {
  constexpr int kAll = kCombRows * kCombEntries;
  // Static scratch: this runs once, under the lock of the table's
  // initialisation.
  static Ext pts[kAll];
  static Fe prefix[kAll];
  Ext base = k.base;
  for (int i = 0; i < kCombRows; ++i) {
    const Cached cb = ToCached(k, base);
    Ext cur = base;
    for (int j = 0; j < kCombEntries; ++j) {
      if (j > 0) AddCached(cur, cur, cb);
      pts[i * kCombEntries + j] = cur;
    }
    for (int j = kCombEntries; j < 16; ++j) AddCached(cur, cur, cb);  // 16 * base
    base = cur;
  }
  ToNiels(k, &k.comb[0][0], pts, prefix, kAll);

  Ext twice;
  Dbl(twice, k.base);
  const Cached c2 = ToCached(k, twice);
  pts[0] = k.base;
  for (int j = 1; j < kOddBase; ++j) AddCached(pts[j], pts[j - 1], c2);
  ToNiels(k, k.oddBase, pts, prefix, kOddBase);
}

const Consts& K() {
  static const Consts* const k = [] {
    static Consts c;
    c.d = FromHexBE("52036cee2b6ffe738cc740797779e89800700a4d4141d8ab75eb4dca135978a3");
    Add(c.d2, c.d, c.d);
    c.sqrtm1 = FromHexBE("2b8324804fc1df0b2b4d00993dfbd7a72f431806ad2fe478c4ee1b274a0ea0b0");
    c.base.X = FromHexBE("216936d3cd6e53fec0a4e231fdd6dc5c692cc7609525a7b2c9562d608f25d51a");
    c.base.Y = FromHexBE("6666666666666666666666666666666666666666666666666666666666666658");
    c.base.Z = kOne;
    Mul(c.base.T, c.base.X, c.base.Y);
    BuildTables(c);
    return &c;
  }();
  return *k;
}

constexpr int kDigits = 257;  // a 256-bit scalar may carry into bit 256

// Width-w non-adjacent form of a public scalar: odd digits d with |d| <
// 2^(w-1), any two nonzero digits at least w positions apart, sum of d_i 2^i
// equal to s. Variable time.
void WnafVartime(signed char out[kDigits], const unsigned char s[32], int w) {
  u64 v[6] = {Load64(s), Load64(s + 8), Load64(s + 16), Load64(s + 24), 0, 0};
  const u64 mask = (u64{1} << w) - 1;
  std::memset(out, 0, kDigits);
  int i = 0;
  while (i < kDigits) {
    const int limb = i / 64, shift = i % 64;
    if (((v[limb] >> shift) & 1) == 0) {
      ++i;
      continue;
    }
    u64 window = v[limb] >> shift;
    if (shift + w > 64) window |= v[limb + 1] << (64 - shift);
    int d = static_cast<int>(window & mask);
    if (d >= (1 << (w - 1))) {
      d -= 1 << w;
      // The borrowed 2^(i+w) goes back into the higher bits.
      const int at = i + w;
      for (int l = at / 64, add = 1; l < 6 && add; ++l) {
        const u64 inc = l == at / 64 ? u64{1} << (at % 64) : 1;
        v[l] += inc;
        add = v[l] < inc;
      }
    }
    out[i] = static_cast<signed char>(d);
    i += w;
  }
}

// Decodes an encoded point (RFC 8032 5.1.3). False for y >= p, no square
// root, or x = 0 with the sign bit set. Public input only.
bool DecodeVartime(const Consts& k, Ext& p, const unsigned char in[32]) {
  unsigned char yb[32], back[32];
  std::memcpy(yb, in, 32);
  const unsigned sign = yb[31] >> 7;
  yb[31] &= 0x7f;
  Fe y = FromBytes(yb);
  ToBytes(back, y);
  if (std::memcmp(back, yb, 32) != 0) return false;  // y >= p
  Fe yy, u, v, v3, v7, x, vxx, t;
  Sqr(yy, y);
  Sub(u, yy, kOne);
  Mul(v, yy, k.d);
  Add(v, v, kOne);
  // x = u v^3 (u v^7)^((p - 5) / 8)
  Sqr(v3, v);
  Mul(v3, v3, v);
  Sqr(v7, v3);
  Mul(v7, v7, v);
  Mul(t, u, v7);
  Pow22523(t, t);
  Mul(x, u, v3);
  Mul(x, x, t);
  Sqr(vxx, x);
  Mul(vxx, vxx, v);
  unsigned char a[32], b[32];
  ToBytes(a, vxx);
  ToBytes(b, u);
  if (std::memcmp(a, b, 32) != 0) {
    Fe nu;
    Neg(nu, u);
    ToBytes(b, nu);
    if (std::memcmp(a, b, 32) != 0) return false;
    Mul(x, x, k.sqrtm1);
  }
  unsigned char xb[32];
  ToBytes(xb, x);
  bool zero = true;
  for (unsigned char c : xb) zero = zero && c == 0;
  if (zero && sign) return false;
  if ((xb[0] & 1u) != sign) Neg(x, x);
  p.X = x;
  p.Y = y;
  p.Z = kOne;
  Mul(p.T, x, y);
  return true;
}

}  // namespace

namespace {

typedef u64 WordPair __attribute__((vector_size(16)));
static_assert(sizeof(Niels) == 15 * sizeof(u64), "an entry is 15 words");

// t = row[mag - 1], or the neutral element (1, 1, 0) for mag = 0, reading
// every entry of the row whole, two words at a time under a mask. The
// selection builds up in vector registers and is stored into t once.
[[gnu::always_inline]] inline void SelectRow(Niels& t, const Niels* row, u64 mag) {
  WordPair pairs[7] = {{1, 0}, {0, 0}, {0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}};
  u64 last = 0;
#pragma GCC unroll 8
  for (int j = 0; j < kCombEntries; ++j) {
    const u64 m = EqMask(mag, static_cast<u64>(j + 1));
    const WordPair mask = {m, m};
    const auto* src = reinterpret_cast<const unsigned char*>(&row[j]);
#pragma GCC unroll 7
    for (int q = 0; q < 7; ++q) {
      WordPair x;
      std::memcpy(&x, src + 16 * q, 16);
      pairs[q] ^= (pairs[q] ^ x) & mask;
    }
    u64 x;
    std::memcpy(&x, src + 16 * 7, 8);
    last ^= (last ^ x) & m;
  }
  auto* dst = reinterpret_cast<unsigned char*>(&t);
  std::memcpy(dst, pairs, sizeof pairs);
  std::memcpy(dst + sizeof pairs, &last, 8);
}

// acc = [s]B, all 256 bits of s, in constant time.
void MulBase(Ext& acc, const unsigned char s[32]) {
  const Consts& k = K();
  // Signed 4-bit digits in -8..7, the last carry in a 65th digit (0 or 1).
  signed char e[kCombRows];
  for (int i = 0; i < 32; ++i) {
    e[2 * i] = static_cast<signed char>(s[i] & 15);
    e[2 * i + 1] = static_cast<signed char>(s[i] >> 4);
  }
  signed char carry = 0;
  for (int i = 0; i < kWindows; ++i) {
    e[i] = static_cast<signed char>(e[i] + carry);
    carry = static_cast<signed char>((e[i] + 8) >> 4);
    e[i] = static_cast<signed char>(e[i] - carry * 16);
  }
  e[kWindows] = carry;
  acc = Neutral();
  Niels t, neg;
  for (int i = 0; i < kCombRows; ++i) {
    // Every entry of the row is read; the digit only steers the masks. A
    // zero digit leaves the neutral element (1, 1, 0) selected.
    const u64 negative = static_cast<u64>(static_cast<uint8_t>(e[i]) >> 7);
    const u64 mag = static_cast<u64>(e[i] - ((-static_cast<int>(negative) & e[i]) * 2));
    SelectRow(t, k.comb[i], mag);
    // -(x, y) = (-x, y): y + x and y - x trade places, 2dxy changes sign.
    neg.ypx = t.ymx;
    neg.ymx = t.ypx;
    Neg(neg.xy2d, t.xy2d);
    const u64 nm = 0 - negative;
    Cmov(t.ypx, neg.ypx, nm);
    Cmov(t.ymx, neg.ymx, nm);
    Cmov(t.xy2d, neg.xy2d, nm);
    AddNiels(acc, acc, t);
  }
  Wipe(e, sizeof e);
  Wipe(&t, sizeof t);
  Wipe(&neg, sizeof neg);
}

}  // namespace

void Ed25519_MulBaseEncode(unsigned char out[32], const unsigned char s[32]) {
  Ext acc;
  MulBase(acc, s);
  Encode(out, acc);
  Wipe(&acc, sizeof acc);
}

void Ed25519_MulBaseEncode2(unsigned char out1[32], const unsigned char s1[32], unsigned char out2[32],
                            const unsigned char s2[32]) {
  Ext p1, p2;
  MulBase(p1, s1);
  MulBase(p2, s2);
  // One inversion for both: 1/Z1 = Z2 / (Z1 Z2) and 1/Z2 = Z1 / (Z1 Z2).
  Fe z12, inv, zi;
  Mul(z12, p1.Z, p2.Z);
  Invert(inv, z12);
  Mul(zi, inv, p2.Z);
  EncodeWithInverse(out1, p1, zi);
  Mul(zi, inv, p1.Z);
  EncodeWithInverse(out2, p2, zi);
  Wipe(&p1, sizeof p1);
  Wipe(&p2, sizeof p2);
  Wipe(&z12, sizeof z12);
  Wipe(&inv, sizeof inv);
  Wipe(&zi, sizeof zi);
}

bool Ed25519_DoubleMulEncodeVartime(unsigned char out[32], const unsigned char a[32], const unsigned char b[32],
                                    const unsigned char pEnc[32]) {
  const Consts& k = K();
  Ext P;
  if (!DecodeVartime(k, P, pEnc)) return false;
  Neg(P.X, P.X);
  Neg(P.T, P.T);
  // Odd multiples of -P for its digits.
  Cached odd[kOddPoint];
  odd[0] = ToCached(k, P);
  Ext twice, cur = P;
  Dbl(twice, P);
  const Cached c2 = ToCached(k, twice);
  for (int j = 1; j < kOddPoint; ++j) {
    AddCached(cur, cur, c2);
    odd[j] = ToCached(k, cur);
  }
  signed char da[kDigits], db[kDigits];
  WnafVartime(da, a, kBaseWindow);
  WnafVartime(db, b, kPointWindow);
  int top = kDigits - 1;
  while (top >= 0 && da[top] == 0 && db[top] == 0) --top;
  // One shared run of doublings; acc holds (X : Y : Z) between steps and
  // gets its T only before an addition.
  Ext acc = Neutral();
  Completed c;
  for (int i = top; i >= 0; --i) {
    DblCompleted(c, acc);
    if (da[i] != 0) {
      ToExt(acc, c);
      AddNielsVartime(c, acc, k.oddBase[(da[i] < 0 ? -da[i] : da[i]) / 2], da[i] < 0);
    }
    if (db[i] != 0) {
      ToExt(acc, c);
      AddCachedVartime(c, acc, odd[(db[i] < 0 ? -db[i] : db[i]) / 2], db[i] < 0);
    }
    ToProj(acc, c);
  }
  acc.T = kZero;  // not read by the encoding
  EncodeVartime(out, acc);
  return true;
}
