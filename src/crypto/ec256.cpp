#include "crypto/ec256.h"

#include "crypto/eccurve.h"
#include "crypto/memory.h"

// Everything in this file that takes a secret (a scalar, a point derived from
// one, a field element of such a point) is written without branches or
// indices on it: selections are masks, loops have fixed bounds, table scans
// read every entry. Branches below depend only on public values (the curve,
// the fixed exponents of the inversions, loop counters) or sit in the
// functions marked Vartime, which take public data only.

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

struct Fe {
  u64 v[4];
};

// All ones when a == b, else zero; no branch.
inline u64 EqMask(u64 a, u64 b) {
  const u64 x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

inline void Cmov(Fe& r, const Fe& a, u64 mask) {
  for (int i = 0; i < 4; ++i) r.v[i] = (a.v[i] & mask) | (r.v[i] & ~mask);
}

inline u64 IsZeroMask(const Fe& a) { return EqMask(a.v[0] | a.v[1] | a.v[2] | a.v[3], 0); }

// A 256-bit odd modulus above 2^255 and its Montgomery constants (R = 2^256).
struct Modulus {
  u64 m[4];
  u64 n0;  // -m^-1 mod 2^64
  Fe one;  // R mod m
  Fe r2;   // R^2 mod m
};

// r = t - m when t (five limbs, t[4] 0 or 1, t < 2m) is at least m, else t.
inline void FinalSub(Fe& r, const u64 t[5], const u64 m[4]) {
  u64 d[4];
  u64 borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(t[i]) - m[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  // t < m exactly when the subtraction borrowed and there is no fifth limb.
  const u64 keep = 0 - (borrow & (t[4] ^ 1));
  for (int i = 0; i < 4; ++i) r.v[i] = (t[i] & keep) | (d[i] & ~keep);
}

// r = a + b mod m for a, b < m.
inline void AddMod(Fe& r, const Fe& a, const Fe& b, const u64 m[4]) {
  u64 t[5];
  u64 carry = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 s = static_cast<u128>(a.v[i]) + b.v[i] + carry;
    t[i] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
  t[4] = carry;
  FinalSub(r, t, m);
}

// r = a - b mod m for a, b < m.
inline void SubMod(Fe& r, const Fe& a, const Fe& b, const u64 m[4]) {
  u64 d[4];
  u64 borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(a.v[i]) - b.v[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  const u64 mask = 0 - borrow;
  u64 carry = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 s = static_cast<u128>(d[i]) + (m[i] & mask) + carry;
    r.v[i] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
}

// r = a * b * R^-1 mod m (CIOS Montgomery multiplication) for a, b < m.
inline void MontMul(Fe& r, const Fe& a, const Fe& b, const Modulus& M) {
  u64 t[6] = {0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    u64 carry = 0;
    for (int j = 0; j < 4; ++j) {
      const u128 s = static_cast<u128>(a.v[j]) * b.v[i] + t[j] + carry;
      t[j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    u128 s = static_cast<u128>(t[4]) + carry;
    t[4] = static_cast<u64>(s);
    t[5] = static_cast<u64>(s >> 64);
    const u64 q = t[0] * M.n0;
    s = static_cast<u128>(q) * M.m[0] + t[0];
    carry = static_cast<u64>(s >> 64);
    for (int j = 1; j < 4; ++j) {
      s = static_cast<u128>(q) * M.m[j] + t[j] + carry;
      t[j - 1] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    s = static_cast<u128>(t[4]) + carry;
    t[3] = static_cast<u64>(s);
    t[4] = t[5] + static_cast<u64>(s >> 64);
  }
  FinalSub(r, t, M.m);
}

// r = a^e mod m in Montgomery form; e is a public constant (the exponent of
// an inversion), so its digits may steer the table index.
void PowPublic(Fe& r, const Fe& a, const u64 e[4], const Modulus& M) {
  Fe tbl[16];
  tbl[0] = M.one;
  tbl[1] = a;
  for (int j = 2; j < 16; ++j) MontMul(tbl[j], tbl[j - 1], a, M);
  Fe acc = M.one;
  for (int i = 63; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) MontMul(acc, acc, acc, M);
    const unsigned digit = static_cast<unsigned>(e[i / 16] >> (4 * (i % 16))) & 15u;
    MontMul(acc, acc, tbl[digit], M);
  }
  r = acc;
  Wipe(tbl, sizeof tbl);
}

constexpr u64 NegInv64(u64 m0) {
  u64 x = 1;
  for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
  return 0 - x;
}

Modulus MakeModulus(const u64 m[4]) {
  Modulus M{};
  for (int i = 0; i < 4; ++i) M.m[i] = m[i];
  M.n0 = NegInv64(m[0]);
  // R mod m = 2^256 - m, as m > 2^255.
  u64 borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(0) - m[i] - borrow;
    M.one.v[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  // R^2 mod m: R doubled 256 times.
  Fe x = M.one;
  for (int i = 0; i < 256; ++i) AddMod(x, x, x, M.m);
  M.r2 = x;
  return M;
}

void LoadBE(Fe& r, const uint8_t in[32]) {
  for (int i = 0; i < 4; ++i) {
    u64 w = 0;
    for (int b = 0; b < 8; ++b) w = (w << 8) | in[8 * (3 - i) + b];
    r.v[i] = w;
  }
}

void StoreBE(uint8_t out[32], const Fe& a) {
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * (3 - i) + b] = static_cast<uint8_t>(a.v[i] >> (8 * (7 - b)));
  }
}

// r = a mod m for any a < 2^256 (one conditional subtraction, as m > 2^255).
// Returns all ones when a was already below m.
u64 ReduceOnce(Fe& r, const Fe& a, const u64 m[4]) {
  u64 d[4];
  u64 borrow = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(a.v[i]) - m[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  const u64 keep = 0 - borrow;
  for (int i = 0; i < 4; ++i) r.v[i] = (a.v[i] & keep) | (d[i] & ~keep);
  return keep;
}

struct Proj {
  Fe X, Y, Z;
};
struct Aff {
  Fe x, y;
};

constexpr int kCombWindows = 64;  // 4-bit digits of a 256-bit scalar
constexpr int kCombEntries = 15;  // digits 1..15

Fe HexFe(const char* hex) {
  uint8_t b[32];
  for (int i = 0; i < 32; ++i) {
    auto nib = [](char ch) -> uint8_t {
      return static_cast<uint8_t>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10);
    };
    b[i] = static_cast<uint8_t>(nib(hex[2 * i]) << 4 | nib(hex[2 * i + 1]));
  }
  Fe r;
  LoadBE(r, b);
  return r;
}

}  // namespace

struct Ec256Curve {
  Modulus p, n;
  bool aMinus3;  // a = -3 (P-256); otherwise a = 0 (secp256k1)
  Fe b3;         // 3b, Montgomery form
  Aff g;         // the generator, Montgomery form
  Fe pMinus2, nMinus2;
  // comb[i][j] = (j + 1) * 16^i * G, affine, Montgomery form.
  Aff comb[kCombWindows][kCombEntries];

  Ec256Curve(const char* p, const char* n, const char* b, const char* gx, const char* gy, bool am3);

  void FMul(Fe& r, const Fe& a, const Fe& b) const { MontMul(r, a, b, p); }
  void FAdd(Fe& r, const Fe& a, const Fe& b) const { AddMod(r, a, b, p.m); }
  void FSub(Fe& r, const Fe& a, const Fe& b) const { SubMod(r, a, b, p.m); }
  void ToMont(Fe& r, const Fe& a) const { MontMul(r, a, p.r2, p); }
  void FromMont(Fe& r, const Fe& a) const {
    const Fe unit = {{1, 0, 0, 0}};
    MontMul(r, a, unit, p);
  }
  void FInv(Fe& r, const Fe& a) const { PowPublic(r, a, pMinus2.v, p); }

  // r = a * x for the curve's a (0 or -3).
  void MulA(Fe& r, const Fe& x) const {
    if (!aMinus3) {
      r = Fe{{0, 0, 0, 0}};
      return;
    }
    Fe t;
    FAdd(t, x, x);
    FAdd(t, t, x);
    FSub(r, Fe{{0, 0, 0, 0}}, t);
  }

  // R = P + Q by the complete projective formulas of Renes, Costello and
  // Batina (any a): correct for doubling, inverses and the point at infinity
  // alike, so no input needs a branch. R may alias P or Q.
  void Add(Proj& R, const Proj& P, const Proj& Q) const {
    Fe t0, t1, t2, t3, t4, t5, X3, Y3, Z3;
    FMul(t0, P.X, Q.X);
    FMul(t1, P.Y, Q.Y);
    FMul(t2, P.Z, Q.Z);
    FAdd(t3, P.X, P.Y);
    FAdd(t4, Q.X, Q.Y);
    FMul(t3, t3, t4);
    FAdd(t4, t0, t1);
    FSub(t3, t3, t4);
    FAdd(t4, P.X, P.Z);
    FAdd(t5, Q.X, Q.Z);
    FMul(t4, t4, t5);
    FAdd(t5, t0, t2);
    FSub(t4, t4, t5);
    FAdd(t5, P.Y, P.Z);
    FAdd(X3, Q.Y, Q.Z);
    FMul(t5, t5, X3);
    FAdd(X3, t1, t2);
    FSub(t5, t5, X3);
    MulA(Z3, t4);
    FMul(X3, b3, t2);
    FAdd(Z3, X3, Z3);
    FSub(X3, t1, Z3);
    FAdd(Z3, t1, Z3);
    FMul(Y3, X3, Z3);
    FAdd(t1, t0, t0);
    FAdd(t1, t1, t0);
    MulA(t2, t2);
    FMul(t4, b3, t4);
    FAdd(t1, t1, t2);
    FSub(t2, t0, t2);
    MulA(t2, t2);
    FAdd(t4, t4, t2);
    FMul(t0, t1, t4);
    FAdd(Y3, Y3, t0);
    FMul(t0, t5, t4);
    FMul(X3, t3, X3);
    FSub(X3, X3, t0);
    FMul(t0, t3, t1);
    FMul(Z3, t5, Z3);
    FAdd(Z3, Z3, t0);
    R.X = X3;
    R.Y = Y3;
    R.Z = Z3;
  }

  void AddAff(Proj& R, const Proj& P, const Aff& Q) const { Add(R, P, Proj{Q.x, Q.y, p.one}); }

  Proj Infinity() const { return Proj{Fe{{0, 0, 0, 0}}, p.one, Fe{{0, 0, 0, 0}}}; }

  // Affine bytes of P; Z = 0 gives the point at infinity. Constant time.
  void ToPoint(Ec256Point* out, const Proj& P) const {
    Fe zi, x, y;
    FInv(zi, P.Z);  // 0 for Z = 0
    FMul(x, P.X, zi);
    FMul(y, P.Y, zi);
    FromMont(x, x);
    FromMont(y, y);
    StoreBE(out->x, x);
    StoreBE(out->y, y);
    out->infinity = static_cast<uint32_t>(IsZeroMask(P.Z) & 1);
    Wipe(&zi, sizeof zi);
    Wipe(&x, sizeof x);
    Wipe(&y, sizeof y);
  }

  void BuildComb();
};

Ec256Curve::Ec256Curve(const char* ph, const char* nh, const char* bh, const char* gxh, const char* gyh, bool am3)
    : aMinus3(am3) {
  Fe pm = HexFe(ph), nm = HexFe(nh);
  p = MakeModulus(pm.v);
  n = MakeModulus(nm.v);
  const Fe two = {{2, 0, 0, 0}};
  SubMod(pMinus2, pm, two, pm.v);
  SubMod(nMinus2, nm, two, nm.v);
  Fe b = HexFe(bh), bm;
  ToMont(bm, b);
  FAdd(b3, bm, bm);
  FAdd(b3, b3, bm);
  ToMont(g.x, HexFe(gxh));
  ToMont(g.y, HexFe(gyh));
  BuildComb();
}

// Fills the comb: projective multiples first, then one shared inversion
// (Montgomery's trick) turns all of them affine. Runs once per process on
// public data.
void Ec256Curve::BuildComb() {
  constexpr int kAll = kCombWindows * kCombEntries;
  Fe zs[kAll], prefix[kAll];  // 60 KB of stack, once
  Proj base{g.x, g.y, p.one};
  for (int i = 0; i < kCombWindows; ++i) {
    Proj cur = base;
    for (int j = 0; j < kCombEntries; ++j) {
      if (j > 0) Add(cur, cur, base);
      comb[i][j] = Aff{cur.X, cur.Y};
      zs[i * kCombEntries + j] = cur.Z;
    }
    Add(base, cur, base);  // 16 * base
  }
  prefix[0] = zs[0];
  for (int k = 1; k < kAll; ++k) FMul(prefix[k], prefix[k - 1], zs[k]);
  Fe inv;
  FInv(inv, prefix[kAll - 1]);
  for (int k = kAll - 1; k >= 0; --k) {
    Fe zi;
    if (k > 0) {
      FMul(zi, inv, prefix[k - 1]);
      FMul(inv, inv, zs[k]);
    } else {
      zi = inv;
    }
    Aff& e = comb[k / kCombEntries][k % kCombEntries];
    FMul(e.x, e.x, zi);
    FMul(e.y, e.y, zi);
  }
}

const Ec256Curve* Ec256_Secp256k1() {
  static const Ec256Curve c("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f",
                            "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                            "0000000000000000000000000000000000000000000000000000000000000007",
                            "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
                            "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8", false);
  return &c;
}

const Ec256Curve* Ec256_P256() {
  static const Ec256Curve c("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff",
                            "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
                            "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b",
                            "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296",
                            "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5", true);
  return &c;
}

const Ec256Curve* Ec256_Of(const NXVT_EC_CURVE* curve) {
  if (curve == nullptr) return nullptr;
  if (curve->id == NXVT_EC_CURVE_SECP256K1) return Ec256_Secp256k1();
  if (curve->id == NXVT_EC_CURVE_P256) return Ec256_P256();
  return nullptr;
}

uint64_t Ec256_ScalarFromBytes(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]) {
  Fe a, r;
  LoadBE(a, in);
  const u64 below = ReduceOnce(r, a, c->n.m);
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
  return below;
}

void Ec256_ScalarFromWords(const Ec256Curve* c, Ec256Scalar* s, const uint32_t* words, uint32_t count) {
  Fe a = {{0, 0, 0, 0}}, r;
  for (uint32_t i = 0; i < count && i < 8; ++i) a.v[i / 2] |= static_cast<u64>(words[i]) << (32 * (i % 2));
  ReduceOnce(r, a, c->n.m);
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
}

void Ec256_ScalarFromDraw(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]) {
  // v < 2^256 < 2(n - 1): v mod (n - 1) is v or v - (n - 1), chosen by mask.
  Fe v, r;
  LoadBE(v, in);
  Fe nm1 = {{c->n.m[0] - 1, c->n.m[1], c->n.m[2], c->n.m[3]}};  // n is odd
  ReduceOnce(r, v, nm1.v);
  u64 carry = 1;
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(r.v[i]) + carry;
    s->v[i] = static_cast<u64>(x);
    carry = static_cast<u64>(x >> 64);
  }
  Wipe(&v, sizeof v);
  Wipe(&r, sizeof r);
}

void Ec256_ScalarToBytes(uint8_t out[32], const Ec256Scalar* s) {
  Fe a;
  for (int i = 0; i < 4; ++i) a.v[i] = s->v[i];
  StoreBE(out, a);
  Wipe(&a, sizeof a);
}

uint64_t Ec256_ScalarIsZero(const Ec256Scalar* s) { return EqMask(s->v[0] | s->v[1] | s->v[2] | s->v[3], 0); }

namespace {

// r = op(a, b) on the limbs of two scalars, temporaries wiped.
template <class Op>
void ScalarBinary(Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b, Op op) {
  Fe x, y, z;
  for (int i = 0; i < 4; ++i) {
    x.v[i] = a->v[i];
    y.v[i] = b->v[i];
  }
  op(z, x, y);
  for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
  Wipe(&x, sizeof x);
  Wipe(&y, sizeof y);
  Wipe(&z, sizeof z);
}

}  // namespace

void Ec256_ScalarAdd(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  ScalarBinary(r, a, b, [c](Fe& z, const Fe& x, const Fe& y) { AddMod(z, x, y, c->n.m); });
}

void Ec256_ScalarMul(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  ScalarBinary(r, a, b, [c](Fe& z, const Fe& x, const Fe& y) {
    MontMul(z, x, y, c->n);        // a b R^-1
    MontMul(z, z, c->n.r2, c->n);  // a b
  });
}

void Ec256_ScalarInv(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a) {
  Fe x, z;
  for (int i = 0; i < 4; ++i) x.v[i] = a->v[i];
  MontMul(x, x, c->n.r2, c->n);  // Montgomery form
  PowPublic(z, x, c->nMinus2.v, c->n);
  const Fe unit = {{1, 0, 0, 0}};
  MontMul(z, z, unit, c->n);
  for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
  Wipe(&x, sizeof x);
  Wipe(&z, sizeof z);
}

namespace {

inline unsigned Digit(const Ec256Scalar* k, int i) {
  return static_cast<unsigned>(k->v[i / 16] >> (4 * (i % 16))) & 15u;
}

}  // namespace

void Ec256_MulGen(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k) {
  Proj acc = c->Infinity(), sum;
  Aff e;
  // Every window adds one table entry: the digit picks it by mask from all
  // fifteen, and a zero digit keeps the old sum by mask as well.
  for (int i = 0; i < kCombWindows; ++i) {
    const u64 d = Digit(k, i);
    e = Aff{{{0, 0, 0, 0}}, {{0, 0, 0, 0}}};
    for (int j = 0; j < kCombEntries; ++j) {
      const u64 m = EqMask(d, static_cast<u64>(j + 1));
      Cmov(e.x, c->comb[i][j].x, m);
      Cmov(e.y, c->comb[i][j].y, m);
    }
    c->AddAff(sum, acc, e);
    const u64 keep = EqMask(d, 0);
    Cmov(sum.X, acc.X, keep);
    Cmov(sum.Y, acc.Y, keep);
    Cmov(sum.Z, acc.Z, keep);
    acc = sum;
  }
  c->ToPoint(out, acc);
  Wipe(&acc, sizeof acc);
  Wipe(&sum, sizeof sum);
  Wipe(&e, sizeof e);
}

namespace {

// T[j] = j * P for j = 0..15 (T[0] the point at infinity).
void BuildWindow(const Ec256Curve* c, Proj T[16], const Aff& P) {
  T[0] = c->Infinity();
  T[1] = Proj{P.x, P.y, c->p.one};
  for (int j = 2; j < 16; ++j) c->Add(T[j], T[j - 1], T[1]);
}

void LoadAff(const Ec256Curve* c, Aff& P, const uint8_t px[32], const uint8_t py[32]) {
  Fe x, y;
  LoadBE(x, px);
  LoadBE(y, py);
  c->ToMont(P.x, x);
  c->ToMont(P.y, y);
}

}  // namespace

void Ec256_Mul(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
               const uint8_t py[32]) {
  Aff P;
  LoadAff(c, P, px, py);
  Proj T[16];
  BuildWindow(c, T, P);
  Proj acc = c->Infinity(), e;
  for (int i = kCombWindows - 1; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) c->Add(acc, acc, acc);
    const u64 d = Digit(k, i);
    e = T[0];
    for (int j = 1; j < 16; ++j) {
      const u64 m = EqMask(d, static_cast<u64>(j));
      Cmov(e.X, T[j].X, m);
      Cmov(e.Y, T[j].Y, m);
      Cmov(e.Z, T[j].Z, m);
    }
    c->Add(acc, acc, e);
  }
  c->ToPoint(out, acc);
  Wipe(T, sizeof T);
  Wipe(&acc, sizeof acc);
  Wipe(&e, sizeof e);
  Wipe(&P, sizeof P);
}

void Ec256_MulGenAddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                            const uint8_t px[32], const uint8_t py[32]) {
  Proj acc = c->Infinity();
  for (int i = 0; i < kCombWindows; ++i) {
    const unsigned d = Digit(a, i);
    if (d != 0) c->AddAff(acc, acc, c->comb[i][d - 1]);
  }
  Aff P;
  LoadAff(c, P, px, py);
  Proj T[16];
  BuildWindow(c, T, P);
  Proj bp = c->Infinity();
  for (int i = kCombWindows - 1; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) c->Add(bp, bp, bp);
    const unsigned d = Digit(b, i);
    if (d != 0) c->Add(bp, bp, T[d]);
  }
  c->Add(acc, acc, bp);
  c->ToPoint(out, acc);
}
