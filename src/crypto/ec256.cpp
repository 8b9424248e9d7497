#include "crypto/ec256.h"

#include "crypto/eccurve.h"
#include "crypto/memory.h"

// Everything in this file that takes a secret (a scalar, a point derived from
// one, a field element of such a point) is written without branches or
// indices on it: selections are masks, loops have fixed bounds, table scans
// read every entry. Branches below depend only on public values (the curve,
// the fixed exponents of the inversions, loop counters) or sit in the
// functions marked Vartime, which take public data only.
//
// Field elements and scalars are always fully reduced (below the modulus).
// secp256k1's field keeps plain residues and reduces with 2^256 = 0x1000003d1
// (mod p); P-256's field and both scalar rings use Montgomery residues whose
// modulus is a compile-time constant, so the multiplier's special words fold.

// The limb loops are short and fixed: unrolled, they leave the carries in
// registers.
#define EC_UNROLL _Pragma("GCC unroll 8")
#define EC_INLINE [[gnu::always_inline]] inline

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

struct Fe {
  u64 v[4];
};

constexpr Fe kZeroFe = {{0, 0, 0, 0}};

// All ones when a == b, else zero; no branch.
inline u64 EqMask(u64 a, u64 b) {
  const u64 x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

EC_INLINE void Cmov(Fe& r, const Fe& a, u64 mask) {
  EC_UNROLL
  for (int i = 0; i < 4; ++i) r.v[i] = (a.v[i] & mask) | (r.v[i] & ~mask);
}

inline u64 IsZeroMask(const Fe& a) { return EqMask(a.v[0] | a.v[1] | a.v[2] | a.v[3], 0); }

// r = t - m when t + hi * 2^256 (hi 0 or 1, below 2m) is at least m, else t.
[[gnu::always_inline]] constexpr void FinalSub(Fe& r, const u64 t[4], u64 hi, const Fe& m) {
  u64 d[4] = {};
  u64 borrow = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(t[i]) - m.v[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  // t < m exactly when the subtraction borrowed and there is no high word.
  const u64 keep = 0 - (borrow & (hi ^ 1));
  EC_UNROLL
  for (int i = 0; i < 4; ++i) r.v[i] = (t[i] & keep) | (d[i] & ~keep);
}

// r = a + b mod m for a, b < m.
[[gnu::always_inline]] constexpr void AddMod(Fe& r, const Fe& a, const Fe& b, const Fe& m) {
  u64 t[4] = {};
  u64 carry = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 s = static_cast<u128>(a.v[i]) + b.v[i] + carry;
    t[i] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
  FinalSub(r, t, carry, m);
}

// r = a - b mod m for a, b < m.
[[gnu::always_inline]] constexpr void SubMod(Fe& r, const Fe& a, const Fe& b, const Fe& m) {
  u64 d[4] = {};
  u64 borrow = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(a.v[i]) - b.v[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  const u64 mask = 0 - borrow;
  u64 carry = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 s = static_cast<u128>(d[i]) + (m.v[i] & mask) + carry;
    r.v[i] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
}

// r = a mod m for any a < 2^256 and m > 2^255 (one conditional
// subtraction). Returns all ones when a was already below m.
[[gnu::always_inline]] constexpr u64 ReduceOnce(Fe& r, const Fe& a, const Fe& m) {
  u64 d[4] = {};
  u64 borrow = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(a.v[i]) - m.v[i] - borrow;
    d[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  const u64 keep = 0 - borrow;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) r.v[i] = (a.v[i] & keep) | (d[i] & ~keep);
  return keep;
}

// t = a * b, eight limbs.
[[gnu::always_inline]] constexpr void Mul512(u64 t[8], const Fe& a, const Fe& b) {
  EC_UNROLL
  for (int i = 0; i < 8; ++i) t[i] = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    u64 carry = 0;
    EC_UNROLL
    for (int j = 0; j < 4; ++j) {
      const u128 s = static_cast<u128>(a.v[i]) * b.v[j] + t[i + j] + carry;
      t[i + j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    t[i + 4] = carry;
  }
}

// t = a^2, eight limbs: the six cross products once, doubled, plus the
// four squares.
[[gnu::always_inline]] constexpr void Sqr512(u64 t[8], const Fe& a) {
  EC_UNROLL
  for (int i = 0; i < 8; ++i) t[i] = 0;
  EC_UNROLL
  for (int i = 0; i < 3; ++i) {
    u64 carry = 0;
    EC_UNROLL
    for (int j = i + 1; j < 4; ++j) {
      const u128 s = static_cast<u128>(a.v[i]) * a.v[j] + t[i + j] + carry;
      t[i + j] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    t[i + 4] = carry;
  }
  t[7] = t[6] >> 63;
  EC_UNROLL
  for (int i = 6; i > 0; --i) t[i] = (t[i] << 1) | (t[i - 1] >> 63);
  t[0] <<= 1;
  u64 carry = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 sq = static_cast<u128>(a.v[i]) * a.v[i];
    u128 s = static_cast<u128>(t[2 * i]) + static_cast<u64>(sq) + carry;
    t[2 * i] = static_cast<u64>(s);
    s = static_cast<u128>(t[2 * i + 1]) + static_cast<u64>(sq >> 64) + static_cast<u64>(s >> 64);
    t[2 * i + 1] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
}

// A 256-bit odd modulus above 2^255 and its Montgomery constants (R = 2^256).
struct Modulus {
  Fe m;
  u64 n0;  // -m^-1 mod 2^64
  Fe one;  // R mod m
  Fe r2;   // R^2 mod m
};

constexpr u64 NegInv64(u64 m0) {
  u64 x = 1;
  EC_UNROLL
  for (int i = 0; i < 6; ++i) x *= 2 - m0 * x;
  return 0 - x;
}

constexpr Modulus MakeModulus(Fe m) {
  Modulus M{};
  M.m = m;
  M.n0 = NegInv64(m.v[0]);
  // R mod m = 2^256 - m, as m > 2^255.
  u64 borrow = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(0) - m.v[i] - borrow;
    M.one.v[i] = static_cast<u64>(x);
    borrow = static_cast<u64>(x >> 64) & 1;
  }
  // R^2 mod m: R doubled 256 times.
  Fe x = M.one;
  for (int i = 0; i < 256; ++i) AddMod(x, x, x, m);
  M.r2 = x;
  return M;
}

// Residues modulo M in Montgomery form.
template <const Modulus& M>
struct MontField {
  static constexpr const Fe& kMod = M.m;
  static constexpr Fe kOne = M.one;

  // r = t / R mod m for t < m * R (word-by-word Montgomery reduction).
  EC_INLINE static void Reduce(Fe& r, u64 t[8]) {
    u64 extra = 0;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u64 q = t[i] * M.n0;
      u64 carry = 0;
      EC_UNROLL
      for (int j = 0; j < 4; ++j) {
        const u128 s = static_cast<u128>(q) * M.m.v[j] + t[i + j] + carry;
        t[i + j] = static_cast<u64>(s);
        carry = static_cast<u64>(s >> 64);
      }
      const u128 s = static_cast<u128>(t[i + 4]) + carry + extra;
      t[i + 4] = static_cast<u64>(s);
      extra = static_cast<u64>(s >> 64);
    }
    FinalSub(r, t + 4, extra, M.m);
  }
  EC_INLINE static void Mul(Fe& r, const Fe& a, const Fe& b) {
    u64 t[8];
    Mul512(t, a, b);
    Reduce(r, t);
  }
  EC_INLINE static void Sqr(Fe& r, const Fe& a) {
    u64 t[8];
    Sqr512(t, a);
    Reduce(r, t);
  }
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) { AddMod(r, a, b, M.m); }
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) { SubMod(r, a, b, M.m); }
  EC_INLINE static void ToRepr(Fe& r, const Fe& a) { Mul(r, a, M.r2); }
  EC_INLINE static void FromRepr(Fe& r, const Fe& a) {
    u64 t[8] = {a.v[0], a.v[1], a.v[2], a.v[3], 0, 0, 0, 0};
    Reduce(r, t);
  }
};

// secp256k1's field, p = 2^256 - 0x1000003d1, as plain residues.
struct K1Field {
  static constexpr Fe kMod = {{0xfffffffefffffc2fULL, ~0ULL, ~0ULL, ~0ULL}};
  static constexpr Fe kOne = {{1, 0, 0, 0}};
  static constexpr u64 kC = 0x1000003d1ULL;  // 2^256 mod p

  // r = lo + top * 2^256 mod p for top < 2^35.
  EC_INLINE static void Fold(Fe& r, const u64 lo[4], u64 top) {
    u128 s = static_cast<u128>(top) * kC + lo[0];
    u64 w[4];
    w[0] = static_cast<u64>(s);
    u64 carry = static_cast<u64>(s >> 64);
    EC_UNROLL
    for (int i = 1; i < 4; ++i) {
      s = static_cast<u128>(lo[i]) + carry;
      w[i] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    // A carry out wraps 2^256 into kC once more; the sum was small then, so
    // this addition cannot carry again.
    s = static_cast<u128>(w[0]) + (kC & (0 - carry));
    w[0] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
    EC_UNROLL
    for (int i = 1; i < 4; ++i) {
      s = static_cast<u128>(w[i]) + carry;
      w[i] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    ReduceOnce(r, Fe{{w[0], w[1], w[2], w[3]}}, kMod);
  }
  // r = t mod p for an eight-limb t: the high half times kC folds into the
  // low half, leaving five limbs for Fold.
  EC_INLINE static void Reduce(Fe& r, const u64 t[8]) {
    u64 lo[4];
    u64 carry = 0;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 s = static_cast<u128>(t[i + 4]) * kC + t[i] + carry;
      lo[i] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    Fold(r, lo, carry);
  }
  EC_INLINE static void Mul(Fe& r, const Fe& a, const Fe& b) {
    u64 t[8];
    Mul512(t, a, b);
    Reduce(r, t);
  }
  EC_INLINE static void Sqr(Fe& r, const Fe& a) {
    u64 t[8];
    Sqr512(t, a);
    Reduce(r, t);
  }
  // r = a * w for a small w.
  EC_INLINE static void MulWord(Fe& r, const Fe& a, u64 w) {
    u64 lo[4];
    u64 carry = 0;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 s = static_cast<u128>(a.v[i]) * w + carry;
      lo[i] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    Fold(r, lo, carry);
  }
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) { AddMod(r, a, b, kMod); }
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) { SubMod(r, a, b, kMod); }
  // r = a^(p - 2) by the runs of ones of p - 2 (223 ones, a zero, 22 ones,
  // then 0000101101): 255 squarings and 15 multiplications. 0 for 0.
  static void Inv(Fe& r, const Fe& a) {
    auto sqrMul = [](Fe& out, const Fe& in, int n, const Fe& m) {
      Fe t = in;
      for (int i = 0; i < n; ++i) Sqr(t, t);
      Mul(out, t, m);
    };
    Fe x2, x3, x6, x9, x11, x22, x44, x88, x176, x220, x223, t;
    sqrMul(x2, a, 1, a);
    sqrMul(x3, x2, 1, a);
    sqrMul(x6, x3, 3, x3);
    sqrMul(x9, x6, 3, x3);
    sqrMul(x11, x9, 2, x2);
    sqrMul(x22, x11, 11, x11);
    sqrMul(x44, x22, 22, x22);
    sqrMul(x88, x44, 44, x44);
    sqrMul(x176, x88, 88, x88);
    sqrMul(x220, x176, 44, x44);
    sqrMul(x223, x220, 3, x3);
    sqrMul(t, x223, 23, x22);
    sqrMul(t, t, 5, a);
    sqrMul(t, t, 3, x2);
    sqrMul(r, t, 2, a);
    Fe* all[] = {&x2, &x3, &x6, &x9, &x11, &x22, &x44, &x88, &x176, &x220, &x223, &t};
    for (Fe* f : all) Wipe(f, sizeof *f);
  }
  EC_INLINE static void ToRepr(Fe& r, const Fe& a) { r = a; }
  EC_INLINE static void FromRepr(Fe& r, const Fe& a) { r = a; }
};

constexpr Fe HexFe(const char* hex) {
  Fe r{};
  EC_UNROLL
  for (int i = 0; i < 64; ++i) {
    const char ch = hex[i];
    const u64 nib = static_cast<u64>(ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10);
    const int pos = 63 - i;  // nibble significance
    r.v[pos / 16] |= nib << (4 * (pos % 16));
  }
  return r;
}

constexpr Modulus kP256P = MakeModulus(HexFe("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"));
constexpr Modulus kP256N = MakeModulus(HexFe("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"));
constexpr Modulus kK1N = MakeModulus(HexFe("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141"));

// r = a^e for a public exponent e (the exponent of an inversion), so its
// digits may steer the table index; a stays secret.
template <class F>
void PowPublic(Fe& r, const Fe& a, const Fe& e) {
  Fe tbl[16];
  tbl[0] = F::kOne;
  tbl[1] = a;
  for (int j = 2; j < 16; ++j) F::Mul(tbl[j], tbl[j - 1], a);
  Fe acc = F::kOne;
  for (int i = 63; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) F::Sqr(acc, acc);
    const unsigned digit = static_cast<unsigned>(e.v[i / 16] >> (4 * (i % 16))) & 15u;
    if (digit != 0) F::Mul(acc, acc, tbl[digit]);
  }
  r = acc;
  Wipe(tbl, sizeof tbl);
  Wipe(&acc, sizeof acc);
}

// e - 2 of an odd modulus above 2.
constexpr Fe MinusTwo(const Fe& m) { return Fe{{m.v[0] - 2, m.v[1], m.v[2], m.v[3]}}; }

void LoadBE(Fe& r, const uint8_t in[32]) {
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    u64 w = 0;
    for (int b = 0; b < 8; ++b) w = (w << 8) | in[8 * (3 - i) + b];
    r.v[i] = w;
  }
}

void StoreBE(uint8_t out[32], const Fe& a) {
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * (3 - i) + b] = static_cast<uint8_t>(a.v[i] >> (8 * (7 - b)));
  }
}

struct Proj {
  Fe X, Y, Z;
};
struct Aff {
  Fe x, y;
};

constexpr int kCombWindows = 64;  // 4-bit digits of a 256-bit scalar
constexpr int kGenRows = 52;      // signed 5-bit digits of a scalar below 2^256
constexpr int kGenEntries = 16;   // |digit| 1..16

}  // namespace

struct Ec256Curve {
  bool p256;
  Fe n;       // the order
  Fe b;       // b, field representation
  Fe b3;      // 3b, field representation
  Aff g;      // the generator, field representation
  // comb[i][j] = (j + 1) * 32^i * G, affine, field representation.
  Aff comb[kGenRows][kGenEntries];
};

namespace {

struct K1 {
  using F = K1Field;
  using S = MontField<kK1N>;
  static constexpr bool kAMinus3 = false;
  EC_INLINE static void MulB3(const Ec256Curve&, Fe& r, const Fe& a) { F::MulWord(r, a, 21); }
};

struct P256 {
  using F = MontField<kP256P>;
  using S = MontField<kP256N>;
  static constexpr bool kAMinus3 = true;
  EC_INLINE static void MulB3(const Ec256Curve& c, Fe& r, const Fe& a) { F::Mul(r, c.b3, a); }
};

// Point arithmetic of one curve in projective coordinates (x = X/Z,
// y = Y/Z), by the complete formulas of Renes, Costello and Batina: correct
// for doubling, inverses and the point at infinity (0 : 1 : 0) alike, so no
// input needs a branch. Results may alias operands.
template <class C>
struct Ops {
  using F = typename C::F;

  static Proj Infinity() { return Proj{kZeroFe, F::kOne, kZeroFe}; }

  // r = -3x (the curve's a = -3 times x).
  EC_INLINE static void MulA(Fe& r, const Fe& x) {
    Fe t;
    F::Add(t, x, x);
    F::Add(t, t, x);
    F::Sub(r, kZeroFe, t);
  }

  // The common second half of both additions: t0 = X1X2, t1 = Y1Y2,
  // t2 = Z1Z2, t3 = X1Y2 + X2Y1, t4 = X1Z2 + X2Z1, t5 = Y1Z2 + Y2Z1.
  EC_INLINE static void Finish(const Ec256Curve& c, Proj& R, Fe& t0, Fe& t1, Fe& t2, Fe& t3, Fe& t4, Fe& t5) {
    Fe X3, Y3, Z3;
    if constexpr (C::kAMinus3) {
      MulA(Z3, t4);
      C::MulB3(c, X3, t2);
      F::Add(Z3, X3, Z3);
    } else {
      C::MulB3(c, Z3, t2);
    }
    F::Sub(X3, t1, Z3);
    F::Add(Z3, t1, Z3);
    F::Mul(Y3, X3, Z3);
    F::Add(t1, t0, t0);
    F::Add(t1, t1, t0);
    if constexpr (C::kAMinus3) {
      MulA(t2, t2);
      C::MulB3(c, t4, t4);
      F::Add(t1, t1, t2);
      F::Sub(t2, t0, t2);
      MulA(t2, t2);
      F::Add(t4, t4, t2);
    } else {
      C::MulB3(c, t4, t4);
    }
    F::Mul(t0, t1, t4);
    F::Add(Y3, Y3, t0);
    F::Mul(t0, t5, t4);
    F::Mul(X3, t3, X3);
    F::Sub(X3, X3, t0);
    F::Mul(t0, t3, t1);
    F::Mul(Z3, t5, Z3);
    F::Add(Z3, Z3, t0);
    R.X = X3;
    R.Y = Y3;
    R.Z = Z3;
  }

  static void Add(const Ec256Curve& c, Proj& R, const Proj& P, const Proj& Q) {
    Fe t0, t1, t2, t3, t4, t5, u;
    F::Mul(t0, P.X, Q.X);
    F::Mul(t1, P.Y, Q.Y);
    F::Mul(t2, P.Z, Q.Z);
    F::Add(t3, P.X, P.Y);
    F::Add(t4, Q.X, Q.Y);
    F::Mul(t3, t3, t4);
    F::Add(t4, t0, t1);
    F::Sub(t3, t3, t4);
    F::Add(t4, P.X, P.Z);
    F::Add(t5, Q.X, Q.Z);
    F::Mul(t4, t4, t5);
    F::Add(t5, t0, t2);
    F::Sub(t4, t4, t5);
    F::Add(t5, P.Y, P.Z);
    F::Add(u, Q.Y, Q.Z);
    F::Mul(t5, t5, u);
    F::Add(u, t1, t2);
    F::Sub(t5, t5, u);
    Finish(c, R, t0, t1, t2, t3, t4, t5);
  }

  // R = P + (x, y) for an affine point (Z2 = 1 in the complete formulas).
  static void AddAff(const Ec256Curve& c, Proj& R, const Proj& P, const Aff& Q) {
    Fe t0, t1, t2, t3, t4, t5;
    F::Mul(t0, P.X, Q.x);
    F::Mul(t1, P.Y, Q.y);
    t2 = P.Z;
    F::Add(t3, P.X, P.Y);
    F::Add(t4, Q.x, Q.y);
    F::Mul(t3, t3, t4);
    F::Add(t4, t0, t1);
    F::Sub(t3, t3, t4);
    F::Mul(t4, Q.x, P.Z);
    F::Add(t4, t4, P.X);
    F::Mul(t5, Q.y, P.Z);
    F::Add(t5, t5, P.Y);
    Finish(c, R, t0, t1, t2, t3, t4, t5);
  }

  // R = 2P, the complete doubling formulas of the same paper.
  static void Dbl(const Ec256Curve& c, Proj& R, const Proj& P) {
    Fe t0, t1, t2, t3, X3, Y3, Z3;
    if constexpr (!C::kAMinus3) {
      F::Sqr(t0, P.Y);
      F::Add(Z3, t0, t0);
      F::Add(Z3, Z3, Z3);
      F::Add(Z3, Z3, Z3);
      F::Mul(t1, P.Y, P.Z);
      F::Sqr(t2, P.Z);
      C::MulB3(c, t2, t2);
      F::Mul(X3, t2, Z3);
      F::Add(Y3, t0, t2);
      F::Mul(Z3, t1, Z3);
      F::Add(t1, t2, t2);
      F::Add(t2, t1, t2);
      F::Sub(t0, t0, t2);
      F::Mul(Y3, t0, Y3);
      F::Add(Y3, X3, Y3);
      F::Mul(t1, P.X, P.Y);
      F::Mul(X3, t0, t1);
      F::Add(X3, X3, X3);
    } else {
      F::Sqr(t0, P.X);
      F::Sqr(t1, P.Y);
      F::Sqr(t2, P.Z);
      F::Mul(t3, P.X, P.Y);
      F::Add(t3, t3, t3);
      F::Mul(Z3, P.X, P.Z);
      F::Add(Z3, Z3, Z3);
      F::Mul(Y3, c.b, t2);
      F::Sub(Y3, Y3, Z3);
      F::Add(X3, Y3, Y3);
      F::Add(Y3, X3, Y3);
      F::Sub(X3, t1, Y3);
      F::Add(Y3, t1, Y3);
      F::Mul(Y3, X3, Y3);
      F::Mul(X3, X3, t3);
      F::Add(t3, t2, t2);
      F::Add(t2, t2, t3);
      F::Mul(Z3, c.b, Z3);
      F::Sub(Z3, Z3, t2);
      F::Sub(Z3, Z3, t0);
      F::Add(t3, Z3, Z3);
      F::Add(Z3, Z3, t3);
      F::Add(t3, t0, t0);
      F::Add(t0, t3, t0);
      F::Sub(t0, t0, t2);
      F::Mul(t0, t0, Z3);
      F::Add(Y3, Y3, t0);
      F::Mul(t0, P.Y, P.Z);
      F::Add(t0, t0, t0);
      F::Mul(Z3, t0, Z3);
      F::Sub(X3, X3, Z3);
      F::Mul(Z3, t0, t1);
      F::Add(Z3, Z3, Z3);
      F::Add(Z3, Z3, Z3);
    }
    R.X = X3;
    R.Y = Y3;
    R.Z = Z3;
  }

  static void Inv(Fe& r, const Fe& a) {
    if constexpr (C::kAMinus3) {
      PowPublic<F>(r, a, MinusTwo(F::kMod));
    } else {
      K1Field::Inv(r, a);
    }
  }

  // Affine bytes of P; Z = 0 gives the point at infinity. Constant time.
  static void ToPoint(Ec256Point* out, const Proj& P) {
    Fe zi, x, y;
    Inv(zi, P.Z);  // 0 for Z = 0
    F::Mul(x, P.X, zi);
    F::Mul(y, P.Y, zi);
    F::FromRepr(x, x);
    F::FromRepr(y, y);
    StoreBE(out->x, x);
    StoreBE(out->y, y);
    out->infinity = static_cast<uint32_t>(IsZeroMask(P.Z) & 1);
    Wipe(&zi, sizeof zi);
    Wipe(&x, sizeof x);
    Wipe(&y, sizeof y);
  }

  static void LoadAff(Aff& P, const uint8_t px[32], const uint8_t py[32]) {
    Fe x, y;
    LoadBE(x, px);
    LoadBE(y, py);
    F::ToRepr(P.x, x);
    F::ToRepr(P.y, y);
  }

  // T[j] = j * P for j = 0..15 (T[0] the point at infinity).
  static void Window(const Ec256Curve& c, Proj T[16], const Aff& P) {
    T[0] = Infinity();
    T[1] = Proj{P.x, P.y, F::kOne};
    for (int j = 2; j < 16; ++j) {
      if (j % 2 == 0) {
        Dbl(c, T[j], T[j / 2]);
      } else {
        AddAff(c, T[j], T[j - 1], P);
      }
    }
  }

  // Fills the comb: projective multiples first, then one shared inversion
  // (Montgomery's trick) turns all of them affine. Runs once per process on
  // public data.
  static void BuildComb(Ec256Curve& c) {
    constexpr int kAll = kGenRows * kGenEntries;
    // Scratch of this curve's one-time build (each curve has its own copy of
    // this function, and the build runs under its initialisation lock).
    static Fe zs[kAll], prefix[kAll];
    Proj base{c.g.x, c.g.y, F::kOne};
    for (int i = 0; i < kGenRows; ++i) {
      Proj cur = base;
      for (int j = 0; j < kGenEntries; ++j) {
        if (j > 0) Add(c, cur, cur, base);
        c.comb[i][j] = Aff{cur.X, cur.Y};
        zs[i * kGenEntries + j] = cur.Z;
      }
      Dbl(c, base, cur);  // 32 * base
    }
    prefix[0] = zs[0];
    for (int k = 1; k < kAll; ++k) F::Mul(prefix[k], prefix[k - 1], zs[k]);
    Fe inv;
    Inv(inv, prefix[kAll - 1]);
    for (int k = kAll - 1; k >= 0; --k) {
      Fe zi;
      if (k > 0) {
        F::Mul(zi, inv, prefix[k - 1]);
        F::Mul(inv, inv, zs[k]);
      } else {
        zi = inv;
      }
      Aff& e = c.comb[k / kGenEntries][k % kGenEntries];
      F::Mul(e.x, e.x, zi);
      F::Mul(e.y, e.y, zi);
    }
  }

  static void Init(Ec256Curve& c, bool p256, const char* n, const char* b, const char* gx, const char* gy) {
    c.p256 = p256;
    c.n = HexFe(n);
    F::ToRepr(c.b, HexFe(b));
    F::Add(c.b3, c.b, c.b);
    F::Add(c.b3, c.b3, c.b);
    F::ToRepr(c.g.x, HexFe(gx));
    F::ToRepr(c.g.y, HexFe(gy));
    BuildComb(c);
  }
};

inline unsigned Digit(const Ec256Scalar* k, int i) {
  return static_cast<unsigned>(k->v[i / 16] >> (4 * (i % 16))) & 15u;
}

// The scalar as 52 signed 5-bit digits in -16..15 (k = sum e[i] 32^i),
// without a branch: a digit of 16 or more borrows 32 from the next.
void Recode5(int e[kGenRows], const Ec256Scalar* k) {
  int carry = 0;
  for (int i = 0; i < kGenRows; ++i) {
    const int pos = 5 * i;
    const int limb = pos / 64, shift = pos % 64;
    u128 w = k->v[limb];
    if (limb + 1 < 4) w |= static_cast<u128>(k->v[limb + 1]) << 64;
    const int d = static_cast<int>(static_cast<u64>(w >> shift) & 31) + carry;
    carry = (d + 16) >> 5;
    e[i] = d - (carry << 5);
  }
}

template <class C>
void MulGenT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k) {
  using O = Ops<C>;
  using F = typename C::F;
  int e[kGenRows];
  Recode5(e, k);
  Proj acc = O::Infinity(), sum;
  Aff t;
  Fe ny;
  // Every row adds one table entry: |digit| picks it by mask from all
  // sixteen, its sign negates y by mask, and a zero digit keeps the old sum
  // by mask as well.
  for (int i = 0; i < kGenRows; ++i) {
    const u64 negative = static_cast<u64>(static_cast<unsigned>(e[i]) >> 31);
    const u64 mag = static_cast<u64>(e[i] - 2 * (e[i] & -static_cast<int>(negative)));
    t = Aff{kZeroFe, kZeroFe};
    EC_UNROLL
    for (int j = 0; j < kGenEntries; ++j) {
      const u64 m = EqMask(mag, static_cast<u64>(j + 1));
      Cmov(t.x, c.comb[i][j].x, m);
      Cmov(t.y, c.comb[i][j].y, m);
    }
    F::Sub(ny, kZeroFe, t.y);
    Cmov(t.y, ny, 0 - negative);
    O::AddAff(c, sum, acc, t);
    const u64 keep = EqMask(mag, 0);
    Cmov(sum.X, acc.X, keep);
    Cmov(sum.Y, acc.Y, keep);
    Cmov(sum.Z, acc.Z, keep);
    acc = sum;
  }
  O::ToPoint(out, acc);
  Wipe(e, sizeof e);
  Wipe(&acc, sizeof acc);
  Wipe(&sum, sizeof sum);
  Wipe(&t, sizeof t);
  Wipe(&ny, sizeof ny);
}

template <class C>
void MulT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32], const uint8_t py[32]) {
  using O = Ops<C>;
  Aff P;
  O::LoadAff(P, px, py);
  Proj T[16];
  O::Window(c, T, P);
  Proj acc = O::Infinity(), e;
  for (int i = kCombWindows - 1; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) O::Dbl(c, acc, acc);
    const u64 d = Digit(k, i);
    e = T[0];
    for (int j = 1; j < 16; ++j) {
      const u64 m = EqMask(d, static_cast<u64>(j));
      Cmov(e.X, T[j].X, m);
      Cmov(e.Y, T[j].Y, m);
      Cmov(e.Z, T[j].Z, m);
    }
    O::Add(c, acc, acc, e);
  }
  O::ToPoint(out, acc);
  Wipe(T, sizeof T);
  Wipe(&acc, sizeof acc);
  Wipe(&e, sizeof e);
  Wipe(&P, sizeof P);
}

// secp256k1's endomorphism: lambda (x, y) = (beta x, y), lambda^3 = 1 mod n.
constexpr Fe kBeta = HexFe("7ae96a2b657c07106e64479eac3434e99cf0497512f58995c1396c28719501ee");
constexpr Fe kLambda = HexFe("5363ad4cc05c30e0a5261c028812645a122e22ea20816678df02967c1b23bd72");
// Rounded 2^384 b2 / n and 2^384 (-b1) / n, and -b1, -b2 modulo n, of the
// short lattice basis (a1, b1), (a2, b2) of k = k1 + k2 lambda.
constexpr Fe kG1 = HexFe("3086d221a7d46bcde86c90e49284eb153daa8a1471e8ca7fe893209a45dbb031");
constexpr Fe kG2 = HexFe("e4437ed6010e88286f547fa90abfe4c4221208ac9df506c61571b4ae8ac47f71");
constexpr Fe kMinusB1 = HexFe("00000000000000000000000000000000e4437ed6010e88286f547fa90abfe4c3");
constexpr Fe kMinusB2 = HexFe("fffffffffffffffffffffffffffffffe8a280ac50774346dd765cda83db1562c");

// round(a * g / 2^384) for a, g below 2^256.
Fe MulShift384(const Fe& a, const Fe& g) {
  u64 t[8];
  Mul512(t, a, g);
  const u64 round = t[5] >> 63;
  const u128 lo = static_cast<u128>(t[6]) + round;
  return Fe{{static_cast<u64>(lo), t[7] + static_cast<u64>(lo >> 64), 0, 0}};
}

// k = k1 + k2 lambda (mod n) with k1 = (neg1 ? -1 : 1) * b1 and likewise k2,
// b1 and b2 below 2^128. Public scalars only (it branches on them).
void SplitLambda(const Ec256Scalar* k, Ec256Scalar* b1, bool* neg1, Ec256Scalar* b2, bool* neg2) {
  using S = K1::S;
  auto mul = [](Fe& r, const Fe& x, const Fe& y) {
    S::Mul(r, x, y);
    S::ToRepr(r, r);
  };
  const Fe kf = {{k->v[0], k->v[1], k->v[2], k->v[3]}};
  const Fe c1 = MulShift384(kf, kG1), c2 = MulShift384(kf, kG2);
  Fe r1, r2, t;
  mul(r2, c1, kMinusB1);
  mul(t, c2, kMinusB2);
  S::Add(r2, r2, t);
  mul(t, r2, kLambda);
  S::Sub(r1, kf, t);
  // Each half or its negation is short; take the short one.
  const Fe& n = S::kMod;
  const Fe half = {{(n.v[0] >> 1) | (n.v[1] << 63), (n.v[1] >> 1) | (n.v[2] << 63), (n.v[2] >> 1) | (n.v[3] << 63),
                    n.v[3] >> 1}};
  auto shorten = [&](Fe& r, bool* neg) {
    *neg = false;  // r > (n - 1) / 2, compared from the top limb
    for (int i = 3; i >= 0; --i) {
      if (r.v[i] != half.v[i]) {
        *neg = r.v[i] > half.v[i];
        break;
      }
    }
    if (*neg) S::Sub(r, kZeroFe, r);
  };
  shorten(r1, neg1);
  shorten(r2, neg2);
  for (int i = 0; i < 4; ++i) {
    b1->v[i] = r1.v[i];
    b2->v[i] = r2.v[i];
  }
}

template <class C>
void MulGenAddVartimeT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                       const uint8_t px[32], const uint8_t py[32]) {
  using O = Ops<C>;
  using F = typename C::F;
  Proj acc = O::Infinity();
  int e[kGenRows];
  Recode5(e, a);
  for (int i = 0; i < kGenRows; ++i) {
    if (e[i] > 0) {
      O::AddAff(c, acc, acc, c.comb[i][e[i] - 1]);
    } else if (e[i] < 0) {
      Aff t = c.comb[i][-e[i] - 1];
      F::Sub(t.y, kZeroFe, t.y);
      O::AddAff(c, acc, acc, t);
    }
  }
  Aff P;
  O::LoadAff(P, px, py);
  Proj bp = O::Infinity();
  if constexpr (!C::kAMinus3) {
    // b P = b1 P + b2 (lambda P) with halves of 128 bits: half the doublings.
    Ec256Scalar b1, b2;
    bool neg1, neg2;
    SplitLambda(b, &b1, &neg1, &b2, &neg2);
    Aff P2 = P;
    F::Mul(P2.x, P.x, kBeta);  // lambda (x, y) = (beta x, y)
    if (neg1) F::Sub(P.y, kZeroFe, P.y);
    if (neg2) F::Sub(P2.y, kZeroFe, P2.y);
    Proj T1[16], T2[16];
    O::Window(c, T1, P);
    O::Window(c, T2, P2);
    for (int i = 31; i >= 0; --i) {
      for (int s = 0; s < 4; ++s) O::Dbl(c, bp, bp);
      const unsigned d1 = Digit(&b1, i), d2 = Digit(&b2, i);
      if (d1 != 0) O::Add(c, bp, bp, T1[d1]);
      if (d2 != 0) O::Add(c, bp, bp, T2[d2]);
    }
  } else {
    Proj T[16];
    O::Window(c, T, P);
    for (int i = kCombWindows - 1; i >= 0; --i) {
      for (int s = 0; s < 4; ++s) O::Dbl(c, bp, bp);
      const unsigned d = Digit(b, i);
      if (d != 0) O::Add(c, bp, bp, T[d]);
    }
  }
  O::Add(c, acc, acc, bp);
  O::ToPoint(out, acc);
}

template <class C>
bool DecompressT(const Ec256Curve& c, uint8_t yOut[32], const uint8_t xIn[32], uint32_t parity) {
  using F = typename C::F;
  Fe x, rhs, t, y, yy;
  LoadBE(t, xIn);
  F::ToRepr(x, t);
  F::Sqr(rhs, x);
  F::Mul(rhs, rhs, x);
  if constexpr (C::kAMinus3) {
    Ops<C>::MulA(t, x);
    F::Add(rhs, rhs, t);
  }
  F::Add(rhs, rhs, c.b);
  if (IsZeroMask(rhs)) return false;
  // p = 3 mod 4 on both curves: a root is rhs^((p + 1) / 4).
  // (p + 1) / 4 = floor(p / 4) + 1, as p = 3 mod 4.
  const Fe& m = F::kMod;
  Fe e = {{(m.v[0] >> 2) | (m.v[1] << 62), (m.v[1] >> 2) | (m.v[2] << 62), (m.v[2] >> 2) | (m.v[3] << 62),
           m.v[3] >> 2}};
  for (int i = 0; i < 4 && ++e.v[i] == 0; ++i) {
  }
  PowPublic<F>(y, rhs, e);
  F::Sqr(yy, y);
  for (int i = 0; i < 4; ++i) {
    if (yy.v[i] != rhs.v[i]) return false;
  }
  F::FromRepr(y, y);
  if ((y.v[0] & 1) != (parity & 1)) SubMod(y, kZeroFe, y, m);
  StoreBE(yOut, y);
  return true;
}

template <class C>
void FieldInvT(uint8_t out[32], const uint8_t in[32]) {
  using F = typename C::F;
  Fe a, r;
  LoadBE(a, in);
  F::ToRepr(a, a);
  Ops<C>::Inv(r, a);
  F::FromRepr(r, r);
  StoreBE(out, r);
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
}

// Scalars modulo n in the curve's Montgomery ring.
template <class C>
struct ScalarOps {
  using S = typename C::S;
  static void Mul(Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
    Fe x, y, z;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      x.v[i] = a->v[i];
      y.v[i] = b->v[i];
    }
    S::Mul(z, x, y);       // a b R^-1
    S::ToRepr(z, z);       // a b
    EC_UNROLL
    for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
    Wipe(&x, sizeof x);
    Wipe(&y, sizeof y);
    Wipe(&z, sizeof z);
  }
  static void Inv(Ec256Scalar* r, const Ec256Scalar* a) {
    Fe x, z;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) x.v[i] = a->v[i];
    S::ToRepr(x, x);
    PowPublic<S>(z, x, MinusTwo(S::kMod));
    S::FromRepr(z, z);
    EC_UNROLL
    for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
    Wipe(&x, sizeof x);
    Wipe(&z, sizeof z);
  }
};

Ec256Curve* MakeCurve(bool p256) {
  static Ec256Curve k1, p2;  // filled once, read-only afterwards
  if (p256) {
    Ops<P256>::Init(p2, true, "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
                    "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b",
                    "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296",
                    "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
    return &p2;
  }
  Ops<K1>::Init(k1, false, "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                "0000000000000000000000000000000000000000000000000000000000000007",
                "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
                "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8");
  return &k1;
}

}  // namespace

const Ec256Curve* Ec256_Secp256k1() {
  // Built by the first caller; the language makes the others wait for it.
  static const Ec256Curve* const c = MakeCurve(false);
  return c;
}

const Ec256Curve* Ec256_P256() {
  static const Ec256Curve* const c = MakeCurve(true);
  return c;
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
  const u64 below = ReduceOnce(r, a, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
  return below;
}

void Ec256_ScalarFromWords(const Ec256Curve* c, Ec256Scalar* s, const uint32_t* words, uint32_t count) {
  Fe a = kZeroFe, r;
  for (uint32_t i = 0; i < count && i < 8; ++i) a.v[i / 2] |= static_cast<u64>(words[i]) << (32 * (i % 2));
  ReduceOnce(r, a, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
}

void Ec256_ScalarFromDraw(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]) {
  // v < 2^256 < 2(n - 1): v mod (n - 1) is v or v - (n - 1), chosen by mask.
  Fe v, r;
  LoadBE(v, in);
  const Fe nm1 = {{c->n.v[0] - 1, c->n.v[1], c->n.v[2], c->n.v[3]}};  // n is odd
  ReduceOnce(r, v, nm1);
  u64 carry = 1;
  EC_UNROLL
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
  EC_UNROLL
  for (int i = 0; i < 4; ++i) a.v[i] = s->v[i];
  StoreBE(out, a);
  Wipe(&a, sizeof a);
}

uint64_t Ec256_ScalarIsZero(const Ec256Scalar* s) { return EqMask(s->v[0] | s->v[1] | s->v[2] | s->v[3], 0); }

void Ec256_ScalarAdd(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  Fe x, y, z;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    x.v[i] = a->v[i];
    y.v[i] = b->v[i];
  }
  AddMod(z, x, y, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
  Wipe(&x, sizeof x);
  Wipe(&y, sizeof y);
  Wipe(&z, sizeof z);
}

void Ec256_ScalarMul(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  if (c->p256) {
    ScalarOps<P256>::Mul(r, a, b);
  } else {
    ScalarOps<K1>::Mul(r, a, b);
  }
}

void Ec256_ScalarInv(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a) {
  if (c->p256) {
    ScalarOps<P256>::Inv(r, a);
  } else {
    ScalarOps<K1>::Inv(r, a);
  }
}

void Ec256_MulGen(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k) {
  if (c->p256) {
    MulGenT<P256>(*c, out, k);
  } else {
    MulGenT<K1>(*c, out, k);
  }
}

void Ec256_Mul(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
               const uint8_t py[32]) {
  if (c->p256) {
    MulT<P256>(*c, out, k, px, py);
  } else {
    MulT<K1>(*c, out, k, px, py);
  }
}

void Ec256_MulGenAddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                            const uint8_t px[32], const uint8_t py[32]) {
  if (c->p256) {
    MulGenAddVartimeT<P256>(*c, out, a, b, px, py);
  } else {
    MulGenAddVartimeT<K1>(*c, out, a, b, px, py);
  }
}

bool Ec256_DecompressVartime(const Ec256Curve* c, uint8_t y[32], const uint8_t x[32], uint32_t parity) {
  return c->p256 ? DecompressT<P256>(*c, y, x, parity) : DecompressT<K1>(*c, y, x, parity);
}

void Ec256_FieldInv(const Ec256Curve* c, uint8_t out[32], const uint8_t in[32]) {
  if (c->p256) {
    FieldInvT<P256>(out, in);
  } else {
    FieldInvT<K1>(out, in);
  }
}
