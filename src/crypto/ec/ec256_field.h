// Field elements and scalars of the two 256-bit curves: four 64-bit limbs,
// secp256k1's field with a reduction of its own, everything else in
// Montgomery form. Internal to the curve code (ec256*.cpp).
#ifndef TOLVARIS_CRYPTO_EC_EC256_FIELD_H
#define TOLVARIS_CRYPTO_EC_EC256_FIELD_H

#include <cstdint>

#include "platform/memory.h"
#include "crypto/ec/modinv.h"

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

// The MULX/ADX field code holds most general registers in one asm block. An
// unoptimised build keeps registers for its frame, and AddressSanitizer's
// instrumented frames keep one more (clang), so those builds cannot compile
// it and run the portable code alone.
#if defined(__SANITIZE_ADDRESS__)
#define EC256_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define EC256_ASAN 1
#endif
#endif
#if defined(__x86_64__) && defined(__OPTIMIZE__) && !defined(EC256_ASAN)
#define EC256_MULX 1
#else
#define EC256_MULX 0
#endif

namespace ec256 {

using u64 = uint64_t;
using u128 = unsigned __int128;

struct Fe {
  u64 v[4];
};

inline constexpr Fe kZeroFe = {{0, 0, 0, 0}};

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

// r = a / 2 modulo an odd m, for a below m: a or a + m, whichever is even,
// shifted right. Constant time (the choice is a mask).
EC_INLINE void HalfMod(Fe& r, const Fe& a, const Fe& m) {
  const u64 odd = 0 - (a.v[0] & 1);
  u64 t[4], carry = 0;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(a.v[i]) + (m.v[i] & odd) + carry;
    t[i] = static_cast<u64>(x);
    carry = static_cast<u64>(x >> 64);
  }
  for (int i = 0; i < 3; ++i) r.v[i] = (t[i] >> 1) | (t[i + 1] << 63);
  r.v[3] = (t[3] >> 1) | (carry << 63);
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
  // r = a^-1 (0 for 0) in Montgomery form: the divsteps invert a R, the
  // factor R^2 brings the result back to a^-1 R.
  static constexpr ModInvModulus kInvMod = MakeModInvModulus(M.m.v, M.r2.v);
  static void Inv(Fe& r, const Fe& a) { ModInv256(r.v, a.v, kInvMod); }
  static void InvVartime(Fe& r, const Fe& a) { ModInv256Vartime(r.v, a.v, kInvMod); }
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
  // r = a + b mod p: the sum, or the sum + C (= sum - p modulo 2^256) when
  // the sum carries out of 2^256 or the sum + C does (the sum was >= p).
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) {
    u64 t[4], u[4];
    u64 carry = 0;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 s = static_cast<u128>(a.v[i]) + b.v[i] + carry;
      t[i] = static_cast<u64>(s);
      carry = static_cast<u64>(s >> 64);
    }
    u64 carry2 = kC;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 s = static_cast<u128>(t[i]) + carry2;
      u[i] = static_cast<u64>(s);
      carry2 = static_cast<u64>(s >> 64);
    }
    const u64 take = 0 - (carry | carry2);
    EC_UNROLL
    for (int i = 0; i < 4; ++i) r.v[i] = (u[i] & take) | (t[i] & ~take);
  }
  // r = a - b mod p: a borrow out of 2^256 is taken back by subtracting C
  // (adding p), which cannot borrow again as a - b + 2^256 > C.
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) {
    u64 d[4];
    u64 borrow = 0;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 x = static_cast<u128>(a.v[i]) - b.v[i] - borrow;
      d[i] = static_cast<u64>(x);
      borrow = static_cast<u64>(x >> 64) & 1;
    }
    u64 back = kC & (0 - borrow);
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 x = static_cast<u128>(d[i]) - back;
      r.v[i] = static_cast<u64>(x);
      back = static_cast<u64>(x >> 64) & 1;
    }
  }
  // r = a^-1 (0 for 0).
  static constexpr ModInvModulus kInvMod = MakeModInvModulus(kMod.v, kOne.v);
  static void Inv(Fe& r, const Fe& a) { ModInv256(r.v, a.v, kInvMod); }
  static void InvVartime(Fe& r, const Fe& a) { ModInv256Vartime(r.v, a.v, kInvMod); }
  EC_INLINE static void ToRepr(Fe& r, const Fe& a) { r = a; }
  EC_INLINE static void FromRepr(Fe& r, const Fe& a) { r = a; }
};

#if EC256_MULX
// The end of every MULX product: with rdx = C = 2^256 mod p, folds the top
// word t4 (below 2^35) into t0..t3, then a carry out of that once more (the
// sum is small then, so it cannot carry again), then subtracts p once when
// t0..t3 >= p, which is exactly when t + C carries out of 2^256 (t + C -
// 2^256 = t - p). Uses lo, hi, t4..t7 as scratch.
#define K1_MULX_FOLD_TOP            \
  "mulxq %[t4], %[lo], %[hi]\n\t" \
  "addq %[lo], %[t0]\n\t"         \
  "adcq %[hi], %[t1]\n\t"         \
  "adcq $0, %[t2]\n\t"            \
  "adcq $0, %[t3]\n\t"            \
  "sbbq %[lo], %[lo]\n\t"         \
  "andq %%rdx, %[lo]\n\t"         \
  "addq %[lo], %[t0]\n\t"         \
  "adcq $0, %[t1]\n\t"            \
  "adcq $0, %[t2]\n\t"            \
  "adcq $0, %[t3]\n\t"            \
  "movq %[t0], %[t4]\n\t"         \
  "addq %%rdx, %[t4]\n\t"         \
  "movq %[t1], %[t5]\n\t"         \
  "adcq $0, %[t5]\n\t"            \
  "movq %[t2], %[t6]\n\t"         \
  "adcq $0, %[t6]\n\t"            \
  "movq %[t3], %[t7]\n\t"         \
  "adcq $0, %[t7]\n\t"            \
  "cmovcq %[t4], %[t0]\n\t"       \
  "cmovcq %[t5], %[t1]\n\t"       \
  "cmovcq %[t6], %[t2]\n\t"       \
  "cmovcq %[t7], %[t3]\n\t"

// The reduction of an eight-word product t0..t7 modulo p: t0..t3 +
// (t4..t7) * C leaves a top word t4 below 2^34, which the fold above takes.
#define K1_MULX_REDUCE \
  "movabsq $0x1000003d1, %%rdx\n\t" \
  "xorl %k[lo], %k[lo]\n\t" \
  "mulxq %[t4], %[lo], %[hi]\n\t" \
  "adcxq %[lo], %[t0]\n\t" \
  "adoxq %[hi], %[t1]\n\t" \
  "mulxq %[t5], %[lo], %[hi]\n\t" \
  "adcxq %[lo], %[t1]\n\t" \
  "adoxq %[hi], %[t2]\n\t" \
  "mulxq %[t6], %[lo], %[hi]\n\t" \
  "adcxq %[lo], %[t2]\n\t" \
  "adoxq %[hi], %[t3]\n\t" \
  "mulxq %[t7], %[lo], %[t4]\n\t" \
  "adcxq %[lo], %[t3]\n\t" \
  "adoxq %[zero], %[t4]\n\t" \
  "adcxq %[zero], %[t4]\n\t" \
  K1_MULX_FOLD_TOP

// The outputs of those blocks: t0..t3 the result, the rest scratch.
#define K1_MULX_OUTPUTS                                                                                   \
  [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3), [t4] "=&r"(t4), [t5] "=&r"(t5), [t6] "=&r"(t6), \
      [t7] "=&r"(t7), [lo] "=&r"(lo), [hi] "=&r"(hi)

// secp256k1's field on processors with MULX and ADCX/ADOX (asked once per
// operation through the processor features; K1Field is the fallback and
// the reference). Same residues, same results: only the product and its
// reduction run as two interleaved carry chains. Straight-line code, no
// branch or index on the operands.
struct K1FieldMulx : K1Field {
  // r = a * b mod p, fully reduced.
  EC_INLINE static void Mul(Fe& r, const Fe& a, const Fe& b) {
    u64 t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
    const u64 zero = 0;
    __asm__(
        // Row 0: t0..t4 = a * b0.
        "movq 0(%[b]), %%rdx\n\t"
        "mulxq 0(%[a]), %[t0], %[t1]\n\t"
        "mulxq 8(%[a]), %[lo], %[t2]\n\t"
        "addq %[lo], %[t1]\n\t"
        "mulxq 16(%[a]), %[lo], %[t3]\n\t"
        "adcq %[lo], %[t2]\n\t"
        "mulxq 24(%[a]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        // Rows 1..3: low halves on the CF chain, high halves on the OF chain.
        "movq 8(%[b]), %%rdx\n\t"
        "xorl %k[t5], %k[t5]\n\t"
        "mulxq 0(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t1]\n\t"
        "adoxq %[hi], %[t2]\n\t"
        "mulxq 8(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t2]\n\t"
        "adoxq %[hi], %[t3]\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 24(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "adcxq %[zero], %[t5]\n\t"
        "movq 16(%[b]), %%rdx\n\t"
        "xorl %k[t6], %k[t6]\n\t"
        "mulxq 0(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t2]\n\t"
        "adoxq %[hi], %[t3]\n\t"
        "mulxq 8(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "mulxq 24(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[hi], %[t6]\n\t"
        "adcxq %[zero], %[t6]\n\t"
        "movq 24(%[b]), %%rdx\n\t"
        "xorl %k[t7], %k[t7]\n\t"
        "mulxq 0(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 8(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[hi], %[t6]\n\t"
        "mulxq 24(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t6]\n\t"
        "adoxq %[hi], %[t7]\n\t"
        "adcxq %[zero], %[t7]\n\t"
        K1_MULX_REDUCE
        : K1_MULX_OUTPUTS
        : [a] "r"(a.v), [b] "r"(b.v), [zero] "m"(zero), "m"(a), "m"(b)
        : "rdx", "cc");
    r = Fe{{t0, t1, t2, t3}};
  }
  // r = a^2 mod p: the six cross products once, doubled on one carry chain,
  // the four squares added on the next (MULX leaves the flags alone).
  EC_INLINE static void Sqr(Fe& r, const Fe& a) {
    u64 t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
    const u64 zero = 0;
    __asm__(
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq 8(%[a]), %[t1], %[t2]\n\t"
        "mulxq 16(%[a]), %[lo], %[t3]\n\t"
        "addq %[lo], %[t2]\n\t"
        "mulxq 24(%[a]), %[lo], %[t4]\n\t"
        "adcq %[lo], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "xorl %k[t5], %k[t5]\n\t"
        "mulxq 16(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t3]\n\t"
        "adoxq %[hi], %[t4]\n\t"
        "mulxq 24(%[a]), %[lo], %[hi]\n\t"
        "adcxq %[lo], %[t4]\n\t"
        "adoxq %[hi], %[t5]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq 24(%[a]), %[lo], %[t6]\n\t"
        "adcxq %[lo], %[t5]\n\t"
        "adoxq %[zero], %[t6]\n\t"
        "adcxq %[zero], %[t6]\n\t"
        "xorl %k[t7], %k[t7]\n\t"
        "addq %[t1], %[t1]\n\t"
        "adcq %[t2], %[t2]\n\t"
        "adcq %[t3], %[t3]\n\t"
        "adcq %[t4], %[t4]\n\t"
        "adcq %[t5], %[t5]\n\t"
        "adcq %[t6], %[t6]\n\t"
        "adcq $0, %[t7]\n\t"
        "movq 0(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[t0], %[hi]\n\t"
        "addq %[hi], %[t1]\n\t"
        "movq 8(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t2]\n\t"
        "adcq %[hi], %[t3]\n\t"
        "movq 16(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t4]\n\t"
        "adcq %[hi], %[t5]\n\t"
        "movq 24(%[a]), %%rdx\n\t"
        "mulxq %%rdx, %[lo], %[hi]\n\t"
        "adcq %[lo], %[t6]\n\t"
        "adcq %[hi], %[t7]\n\t"
        K1_MULX_REDUCE
        : K1_MULX_OUTPUTS
        : [a] "r"(a.v), [zero] "m"(zero), "m"(a)
        : "rdx", "cc");
    r = Fe{{t0, t1, t2, t3}};
  }
  // r = a * w mod p for a small w (below 2^29).
  EC_INLINE static void MulWord(Fe& r, const Fe& a, u64 w) {
    u64 t0, t1, t2, t3, t4, t5, t6, t7, lo, hi;
    __asm__(
        "movq %[w], %%rdx\n\t"
        "mulxq 0(%[a]), %[t0], %[t5]\n\t"
        "mulxq 8(%[a]), %[t1], %[t6]\n\t"
        "mulxq 16(%[a]), %[t2], %[t7]\n\t"
        "mulxq 24(%[a]), %[t3], %[t4]\n\t"
        "addq %[t5], %[t1]\n\t"
        "adcq %[t6], %[t2]\n\t"
        "adcq %[t7], %[t3]\n\t"
        "adcq $0, %[t4]\n\t"
        "movabsq $0x1000003d1, %%rdx\n\t"
        K1_MULX_FOLD_TOP
        : K1_MULX_OUTPUTS
        : [a] "r"(a.v), [w] "r"(w), "m"(a)
        : "rdx", "cc");
    r = Fe{{t0, t1, t2, t3}};
  }
  // r = a + b mod p: the sum, and the sum + C chosen when either carries
  // out of 2^256 (the sum was at least p).
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) {
    u64 t0 = a.v[0], t1 = a.v[1], t2 = a.v[2], t3 = a.v[3], u0, u1, u2, u3, c, c2;
    __asm__(
        "addq 0(%[b]), %[t0]\n\t"
        "adcq 8(%[b]), %[t1]\n\t"
        "adcq 16(%[b]), %[t2]\n\t"
        "adcq 24(%[b]), %[t3]\n\t"
        "sbbq %[c], %[c]\n\t"
        "movabsq $0x1000003d1, %[u0]\n\t"
        "addq %[t0], %[u0]\n\t"
        "movq %[t1], %[u1]\n\t"
        "adcq $0, %[u1]\n\t"
        "movq %[t2], %[u2]\n\t"
        "adcq $0, %[u2]\n\t"
        "movq %[t3], %[u3]\n\t"
        "adcq $0, %[u3]\n\t"
        "sbbq %[c2], %[c2]\n\t"
        "orq %[c2], %[c]\n\t"
        "cmovnzq %[u0], %[t0]\n\t"
        "cmovnzq %[u1], %[t1]\n\t"
        "cmovnzq %[u2], %[t2]\n\t"
        "cmovnzq %[u3], %[t3]\n\t"
        : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [u0] "=&r"(u0), [u1] "=&r"(u1),
          [u2] "=&r"(u2), [u3] "=&r"(u3), [c] "=&r"(c), [c2] "=&r"(c2)
        : [b] "r"(b.v), "m"(b)
        : "cc");
    r = Fe{{t0, t1, t2, t3}};
  }
  // r = a - b mod p: a borrow out of 2^256 is taken back by subtracting C
  // (adding p), which cannot borrow again as a - b + 2^256 > C.
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) {
    u64 t0 = a.v[0], t1 = a.v[1], t2 = a.v[2], t3 = a.v[3], m, k;
    __asm__(
        "subq 0(%[b]), %[t0]\n\t"
        "sbbq 8(%[b]), %[t1]\n\t"
        "sbbq 16(%[b]), %[t2]\n\t"
        "sbbq 24(%[b]), %[t3]\n\t"
        "sbbq %[m], %[m]\n\t"
        "movabsq $0x1000003d1, %[k]\n\t"
        "andq %[k], %[m]\n\t"
        "subq %[m], %[t0]\n\t"
        "sbbq $0, %[t1]\n\t"
        "sbbq $0, %[t2]\n\t"
        "sbbq $0, %[t3]\n\t"
        : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [m] "=&r"(m), [k] "=&r"(k)
        : [b] "r"(b.v), "m"(b)
        : "cc");
    r = Fe{{t0, t1, t2, t3}};
  }
};
#undef K1_MULX_FOLD_TOP
#undef K1_MULX_REDUCE
#undef K1_MULX_OUTPUTS
#endif

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

inline constexpr Modulus kP256P = MakeModulus(HexFe("ffffffff00000001000000000000000000000000ffffffffffffffffffffffff"));
inline constexpr Modulus kP256N = MakeModulus(HexFe("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551"));
inline constexpr Modulus kK1N = MakeModulus(HexFe("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141"));

inline void LoadBE(Fe& r, const uint8_t in[32]) {
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    u64 w = 0;
    for (int b = 0; b < 8; ++b) w = (w << 8) | in[8 * (3 - i) + b];
    r.v[i] = w;
  }
}

inline void StoreBE(uint8_t out[32], const Fe& a) {
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) out[8 * (3 - i) + b] = static_cast<uint8_t>(a.v[i] >> (8 * (7 - b)));
  }
}

}  // namespace ec256

#endif
