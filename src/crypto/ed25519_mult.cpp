#include "crypto/ed25519_mult.h"

#include <cstdint>
#include <cstring>

#include "crypto/memory.h"

// Nothing here branches on or indexes by a secret outside the functions
// marked Vartime: selections are masks over whole tables, loops have fixed
// bounds, and the inversion's exponent is a constant.

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

constexpr u64 kMask51 = (u64{1} << 51) - 1;

// An element of GF(2^255 - 19) as five 51-bit limbs; limbs may run a few
// bits over 51 between carries.
struct Fe {
  u64 v[5];
};

constexpr Fe kZero = {{0, 0, 0, 0, 0}};
constexpr Fe kOne = {{1, 0, 0, 0, 0}};

inline u64 Load64(const unsigned char* p) {
  u64 w = 0;
  for (int i = 7; i >= 0; --i) w = (w << 8) | p[i];
  return w;
}

// Low 255 bits of the 32 little-endian bytes (bit 255 ignored).
Fe FromBytes(const unsigned char in[32]) {
  Fe r;
  r.v[0] = Load64(in) & kMask51;
  r.v[1] = (Load64(in + 6) >> 3) & kMask51;
  r.v[2] = (Load64(in + 12) >> 6) & kMask51;
  r.v[3] = (Load64(in + 19) >> 1) & kMask51;
  r.v[4] = (Load64(in + 24) >> 12) & kMask51;
  return r;
}

[[gnu::always_inline]] inline void Carry(Fe& r) {
  u64 c;
  c = r.v[0] >> 51;
  r.v[0] &= kMask51;
  r.v[1] += c;
  c = r.v[1] >> 51;
  r.v[1] &= kMask51;
  r.v[2] += c;
  c = r.v[2] >> 51;
  r.v[2] &= kMask51;
  r.v[3] += c;
  c = r.v[3] >> 51;
  r.v[3] &= kMask51;
  r.v[4] += c;
  c = r.v[4] >> 51;
  r.v[4] &= kMask51;
  r.v[0] += 19 * c;
}

// The canonical 32 bytes (value below p).
void ToBytes(unsigned char out[32], const Fe& a) {
  Fe t = a;
  Carry(t);
  Carry(t);
  // q = 1 exactly when t >= p.
  u64 q = (t.v[0] + 19) >> 51;
  q = (t.v[1] + q) >> 51;
  q = (t.v[2] + q) >> 51;
  q = (t.v[3] + q) >> 51;
  q = (t.v[4] + q) >> 51;
  t.v[0] += 19 * q;
  for (int i = 0; i < 4; ++i) {
    t.v[i + 1] += t.v[i] >> 51;
    t.v[i] &= kMask51;
  }
  t.v[4] &= kMask51;
  const u64 w[4] = {t.v[0] | (t.v[1] << 51), (t.v[1] >> 13) | (t.v[2] << 38), (t.v[2] >> 26) | (t.v[3] << 25),
                    (t.v[3] >> 39) | (t.v[4] << 12)};
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * i + b] = static_cast<unsigned char>(w[i] >> (8 * b));
  }
  Wipe(&t, sizeof t);
}

[[gnu::always_inline]] inline void Add(Fe& r, const Fe& a, const Fe& b) {
#pragma GCC unroll 5
  for (int i = 0; i < 5; ++i) r.v[i] = a.v[i] + b.v[i];
  Carry(r);
}

// a - b + 4p keeps every limb positive for limbs up to 2^53.
[[gnu::always_inline]] inline void Sub(Fe& r, const Fe& a, const Fe& b) {
  r.v[0] = a.v[0] + 0x1fffffffffffb4 - b.v[0];
#pragma GCC unroll 4
  for (int i = 1; i < 5; ++i) r.v[i] = a.v[i] + 0x1ffffffffffffc - b.v[i];
  Carry(r);
}

[[gnu::always_inline]] inline void Neg(Fe& r, const Fe& a) { Sub(r, kZero, a); }

[[gnu::always_inline]] inline void Reduce(Fe& r, u128 t0, u128 t1, u128 t2, u128 t3, u128 t4) {
  t1 += static_cast<u64>(t0 >> 51);
  t2 += static_cast<u64>(t1 >> 51);
  t3 += static_cast<u64>(t2 >> 51);
  t4 += static_cast<u64>(t3 >> 51);
  u64 r0 = static_cast<u64>(t0) & kMask51;
  const u64 c = static_cast<u64>(t4 >> 51);
  r0 += 19 * c;
  r.v[1] = (static_cast<u64>(t1) & kMask51) + (r0 >> 51);
  r.v[0] = r0 & kMask51;
  r.v[2] = static_cast<u64>(t2) & kMask51;
  r.v[3] = static_cast<u64>(t3) & kMask51;
  r.v[4] = static_cast<u64>(t4) & kMask51;
}

[[gnu::always_inline]] inline void Mul(Fe& r, const Fe& a, const Fe& b) {
  const u64 a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
  const u64 b0 = b.v[0], b1 = b.v[1], b2 = b.v[2], b3 = b.v[3], b4 = b.v[4];
  const u64 b1_19 = 19 * b1, b2_19 = 19 * b2, b3_19 = 19 * b3, b4_19 = 19 * b4;
  const u128 t0 = static_cast<u128>(a0) * b0 + static_cast<u128>(a1) * b4_19 + static_cast<u128>(a2) * b3_19 +
                  static_cast<u128>(a3) * b2_19 + static_cast<u128>(a4) * b1_19;
  const u128 t1 = static_cast<u128>(a0) * b1 + static_cast<u128>(a1) * b0 + static_cast<u128>(a2) * b4_19 +
                  static_cast<u128>(a3) * b3_19 + static_cast<u128>(a4) * b2_19;
  const u128 t2 = static_cast<u128>(a0) * b2 + static_cast<u128>(a1) * b1 + static_cast<u128>(a2) * b0 +
                  static_cast<u128>(a3) * b4_19 + static_cast<u128>(a4) * b3_19;
  const u128 t3 = static_cast<u128>(a0) * b3 + static_cast<u128>(a1) * b2 + static_cast<u128>(a2) * b1 +
                  static_cast<u128>(a3) * b0 + static_cast<u128>(a4) * b4_19;
  const u128 t4 = static_cast<u128>(a0) * b4 + static_cast<u128>(a1) * b3 + static_cast<u128>(a2) * b2 +
                  static_cast<u128>(a3) * b1 + static_cast<u128>(a4) * b0;
  Reduce(r, t0, t1, t2, t3, t4);
}

[[gnu::always_inline]] inline void Sqr(Fe& r, const Fe& a) {
  const u64 a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
  const u64 d0 = 2 * a0, d1 = 2 * a1, a3_19 = 19 * a3, a4_19 = 19 * a4;
  const u128 t0 = static_cast<u128>(a0) * a0 + static_cast<u128>(2 * a1) * a4_19 +
                  static_cast<u128>(2 * a2) * a3_19;
  const u128 t1 = static_cast<u128>(d0) * a1 + static_cast<u128>(2 * a2) * a4_19 + static_cast<u128>(a3) * a3_19;
  const u128 t2 = static_cast<u128>(d0) * a2 + static_cast<u128>(a1) * a1 + static_cast<u128>(2 * a3) * a4_19;
  const u128 t3 = static_cast<u128>(d0) * a3 + static_cast<u128>(d1) * a2 + static_cast<u128>(a4) * a4_19;
  const u128 t4 = static_cast<u128>(d0) * a4 + static_cast<u128>(d1) * a3 + static_cast<u128>(a2) * a2;
  Reduce(r, t0, t1, t2, t3, t4);
}

inline void SqrN(Fe& r, const Fe& a, int n) {
  Sqr(r, a);
  for (int i = 1; i < n; ++i) Sqr(r, r);
}

// z^(2^250 - 1) and z^11, the common head of the two exponentiations.
void Pow250(Fe& t250, Fe& z11, const Fe& z) {
  Fe z2, z9, t, z5, z10, z20, z50, z100;
  Sqr(z2, z);            // 2
  SqrN(t, z2, 2);        // 8
  Mul(z9, t, z);         // 9
  Mul(z11, z9, z2);      // 11
  Sqr(t, z11);           // 22
  Mul(z5, t, z9);        // 2^5 - 1
  SqrN(t, z5, 5);
  Mul(z10, t, z5);       // 2^10 - 1
  SqrN(t, z10, 10);
  Mul(z20, t, z10);      // 2^20 - 1
  SqrN(t, z20, 20);
  Mul(t, t, z20);        // 2^40 - 1
  SqrN(t, t, 10);
  Mul(z50, t, z10);      // 2^50 - 1
  SqrN(t, z50, 50);
  Mul(z100, t, z50);     // 2^100 - 1
  SqrN(t, z100, 100);
  Mul(t, t, z100);       // 2^200 - 1
  SqrN(t, t, 50);
  Mul(t250, t, z50);     // 2^250 - 1
  Fe* all[] = {&z2, &z9, &t, &z5, &z10, &z20, &z50, &z100};
  for (Fe* f : all) Wipe(f, sizeof *f);
}

// z^(p - 2); 0 for 0.
void Invert(Fe& r, const Fe& z) {
  Fe t, z11;
  Pow250(t, z11, z);
  SqrN(t, t, 5);
  Mul(r, t, z11);  // 2^255 - 21
  Wipe(&t, sizeof t);
  Wipe(&z11, sizeof z11);
}

// z^((p - 5) / 8) = z^(2^252 - 3).
void Pow22523(Fe& r, const Fe& z) {
  Fe t, z11;
  Pow250(t, z11, z);
  SqrN(t, t, 2);
  Mul(r, t, z);
}

[[gnu::always_inline]] inline void Cmov(Fe& r, const Fe& a, u64 mask) {
#pragma GCC unroll 5
  for (int i = 0; i < 5; ++i) r.v[i] = (a.v[i] & mask) | (r.v[i] & ~mask);
}

inline u64 EqMask(u64 a, u64 b) {
  const u64 x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

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
  Sub(r.e, b, a);
  Sub(r.f, d, c);
  Add(r.g, d, c);
  Add(r.h, b, a);
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
  Sub(a, p.Y, p.X);
  Mul(a, a, q.ymx);
  Add(b, p.Y, p.X);
  Mul(b, b, q.ypx);
  Mul(c, p.T, q.xy2d);
  Add(d, p.Z, p.Z);
  AddFinish(r, a, b, c, d);
}

void AddCached(Ext& r, const Ext& p, const Cached& q) {
  Fe a, b, c, d;
  Sub(a, p.Y, p.X);
  Mul(a, a, q.ymx);
  Add(b, p.Y, p.X);
  Mul(b, b, q.ypx);
  Mul(c, p.T, q.t2d);
  Mul(d, p.Z, q.Z);
  Add(d, d, d);
  AddFinish(r, a, b, c, d);
}

// r = p + q (sub = false) or p - q (sub = true) for public points, from
// q's Y + X, Y - X and the products c, d of the unified formulas. -q swaps
// Y + X with Y - X and negates c.
inline void AddPartsVartime(Completed& r, const Ext& p, const Fe& ypx, const Fe& ymx, const Fe& c, const Fe& d,
                            bool sub) {
  Fe a, b;
  Sub(a, p.Y, p.X);
  Mul(a, a, sub ? ypx : ymx);
  Add(b, p.Y, p.X);
  Mul(b, b, sub ? ymx : ypx);
  Sub(r.e, b, a);
  Add(r.h, b, a);
  if (sub) {
    Add(r.f, d, c);
    Sub(r.g, d, c);
  } else {
    Sub(r.f, d, c);
    Add(r.g, d, c);
  }
}

inline void AddNielsVartime(Completed& r, const Ext& p, const Niels& q, bool sub) {
  Fe c, d;
  Mul(c, p.T, q.xy2d);
  Add(d, p.Z, p.Z);
  AddPartsVartime(r, p, q.ypx, q.ymx, c, d, sub);
}

inline void AddCachedVartime(Completed& r, const Ext& p, const Cached& q, bool sub) {
  Fe c, d;
  Mul(c, p.T, q.t2d);
  Mul(d, p.Z, q.Z);
  Add(d, d, d);
  AddPartsVartime(r, p, q.ypx, q.ymx, c, d, sub);
}

// Doubling from (X : Y : Z); T is not read.
[[gnu::always_inline]] inline void DblCompleted(Completed& r, const Ext& p) {
  Fe a, b, c;
  Sqr(a, p.X);
  Sqr(b, p.Y);
  Sqr(c, p.Z);
  Add(c, c, c);
  Add(r.h, a, b);
  Add(r.e, p.X, p.Y);
  Sqr(r.e, r.e);
  Sub(r.e, r.h, r.e);
  Sub(r.g, a, b);
  Add(r.f, c, r.g);
}

void Dbl(Ext& r, const Ext& p) {
  Completed c;
  DblCompleted(c, p);
  ToExt(r, c);
}

Cached ToCached(const Consts& k, const Ext& p) {
  Cached c;
  Add(c.ypx, p.Y, p.X);
  Sub(c.ymx, p.Y, p.X);
  c.Z = p.Z;
  Mul(c.t2d, p.T, k.d2);
  return c;
}

void Encode(unsigned char out[32], const Ext& p) {
  Fe zi, x, y;
  Invert(zi, p.Z);
  Mul(x, p.X, zi);
  Mul(y, p.Y, zi);
  unsigned char xb[32];
  ToBytes(xb, x);
  ToBytes(out, y);
  out[31] = static_cast<unsigned char>(out[31] | ((xb[0] & 1u) << 7));
  Wipe(&zi, sizeof zi);
  Wipe(&x, sizeof x);
  Wipe(&y, sizeof y);
  Wipe(xb, sizeof xb);
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

void Ed25519_MulBaseEncode(unsigned char out[32], const unsigned char s[32]) {
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
  Ext acc = Neutral();
  Niels t, neg;
  for (int i = 0; i < kCombRows; ++i) {
    // Every entry of the row is read; the digit only steers the masks. A
    // zero digit leaves the neutral element (1, 1, 0) selected.
    const u64 negative = static_cast<u64>(static_cast<uint8_t>(e[i]) >> 7);
    const u64 mag = static_cast<u64>(e[i] - ((-static_cast<int>(negative) & e[i]) * 2));
    t = Niels{kOne, kOne, kZero};
#pragma GCC unroll 8
    for (int j = 0; j < kCombEntries; ++j) {
      const u64 m = EqMask(mag, static_cast<u64>(j + 1));
      Cmov(t.ypx, k.comb[i][j].ypx, m);
      Cmov(t.ymx, k.comb[i][j].ymx, m);
      Cmov(t.xy2d, k.comb[i][j].xy2d, m);
    }
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
  Encode(out, acc);
  Wipe(e, sizeof e);
  Wipe(&acc, sizeof acc);
  Wipe(&t, sizeof t);
  Wipe(&neg, sizeof neg);
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
  Encode(out, acc);
  return true;
}
