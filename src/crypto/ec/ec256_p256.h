// P-256's own field arithmetic: Montgomery residues (R = 2^256) reduced by
// the shape of p instead of the generic word-by-word reduction. Internal to
// the curve code (ec256*.cpp). The scalars modulo n keep the generic
// MontField<kP256N>: signing spends under 1% of its time there.
#ifndef TOLVARIS_CRYPTO_EC_EC256_P256_H
#define TOLVARIS_CRYPTO_EC_EC256_P256_H

#include <x86intrin.h>

#include "crypto/ec/ec256_field.h"

namespace ec256 {

// Constant time throughout: no branch or index depends on an operand, and
// the carries run through the flag register (add/sub with carry), never
// through a comparison. Results are fully reduced (below the modulus), the
// same residues the generic MontField<kP256P> gives, so tables and
// intermediate values are interchangeable with it.
namespace p256 {

using Carry = unsigned char;

EC_INLINE u64 Adc(u64 a, u64 b, Carry& c) {
  unsigned long long r;
  c = _addcarry_u64(c, a, b, &r);
  return r;
}
EC_INLINE u64 Sbb(u64 a, u64 b, Carry& c) {
  unsigned long long r;
  c = _subborrow_u64(c, a, b, &r);
  return r;
}
EC_INLINE u64 MulLo(u64 a, u64 b, u64& hi) {
  const u128 p = static_cast<u128>(a) * b;
  hi = static_cast<u64>(p >> 64);
  return static_cast<u64>(p);
}

// r = t - m when t + hi * 2^256 (hi 0 or 1, the whole below 2m) is at
// least m, else t.
EC_INLINE void FinalSub(Fe& r, u64 t0, u64 t1, u64 t2, u64 t3, u64 hi, const Fe& m) {
  Carry b = 0;
  const u64 d0 = Sbb(t0, m.v[0], b), d1 = Sbb(t1, m.v[1], b), d2 = Sbb(t2, m.v[2], b), d3 = Sbb(t3, m.v[3], b);
  Sbb(hi, 0, b);
  const u64 keep = 0 - static_cast<u64>(b);  // borrowed: t was below m
  r.v[0] = (t0 & keep) | (d0 & ~keep);
  r.v[1] = (t1 & keep) | (d1 & ~keep);
  r.v[2] = (t2 & keep) | (d2 & ~keep);
  r.v[3] = (t3 & keep) | (d3 & ~keep);
}

// r = a + b mod m for a, b < m.
EC_INLINE void Add(Fe& r, const Fe& a, const Fe& b, const Fe& m) {
  Carry c = 0;
  const u64 t0 = Adc(a.v[0], b.v[0], c), t1 = Adc(a.v[1], b.v[1], c), t2 = Adc(a.v[2], b.v[2], c),
            t3 = Adc(a.v[3], b.v[3], c);
  FinalSub(r, t0, t1, t2, t3, c, m);
}

// r = a - b mod m for a, b < m: m added back under the borrow's mask.
EC_INLINE void Sub(Fe& r, const Fe& a, const Fe& b, const Fe& m) {
  Carry c = 0;
  const u64 t0 = Sbb(a.v[0], b.v[0], c), t1 = Sbb(a.v[1], b.v[1], c), t2 = Sbb(a.v[2], b.v[2], c),
            t3 = Sbb(a.v[3], b.v[3], c);
  const u64 mask = 0 - static_cast<u64>(c);
  c = 0;
  r.v[0] = Adc(t0, m.v[0] & mask, c);
  r.v[1] = Adc(t1, m.v[1] & mask, c);
  r.v[2] = Adc(t2, m.v[2] & mask, c);
  r.v[3] = Adc(t3, m.v[3] & mask, c);
}

}  // namespace p256

#if EC256_MULX
// The same multiplication and squaring with MULX (BMI2) and the two carry
// chains of ADCX/ADOX (ADX): the product rows add their low and high words
// on separate flags, and the reduction steps are those of P256Field. Only
// called where the processor has both (see P256FieldMulx).
// Every instruction runs whatever the values: the final subtraction keeps
// the old value by conditional moves.
namespace p256 {

inline constexpr u64 kTopWord = 0xffffffff00000001ULL;

// One reduction step of the product (see P256Field::Step): q = w0, the
// window w1..w4 gets q << 32, q >> 32 and q * kTopWord, w5 (zero before)
// the carry. MULX leaves q in rdx, where it is shifted in place.
#define P256_STEP(w0, w1, w2, w3, w4, w5) \
  "movq %[" #w0 "], %%rdx\n\t"            \
  "mulxq %[ktop], %[lo], %[hi]\n\t"       \
  "shlq $32, %%rdx\n\t"                   \
  "shrq $32, %[" #w0 "]\n\t"              \
  "addq %%rdx, %[" #w1 "]\n\t"            \
  "adcq %[" #w0 "], %[" #w2 "]\n\t"       \
  "adcq %[lo], %[" #w3 "]\n\t"            \
  "adcq %[hi], %[" #w4 "]\n\t"            \
  "adcq $0, %[" #w5 "]\n\t"

// Row i of the product added to the window x0..x4: low words on the CF
// chain, high words on the OF chain. The XOR that clears both flags zeroes
// z, the free register that takes the carry of the step after the row.
#define P256_ROW(off, x0, x1, x2, x3, x4, z)                              \
  "movq " #off "(%[b]), %%rdx\n\t"                                        \
  "xorl %k[" #z "], %k[" #z "]\n\t"                                       \
  "mulxq 0(%[a]), %[lo], %[hi]\n\t"                                       \
  "adcxq %[lo], %[" #x0 "]\n\t"                                           \
  "adoxq %[hi], %[" #x1 "]\n\t"                                           \
  "mulxq 8(%[a]), %[lo], %[hi]\n\t"                                       \
  "adcxq %[lo], %[" #x1 "]\n\t"                                           \
  "adoxq %[hi], %[" #x2 "]\n\t"                                           \
  "mulxq 16(%[a]), %[lo], %[hi]\n\t"                                      \
  "adcxq %[lo], %[" #x2 "]\n\t"                                           \
  "adoxq %[hi], %[" #x3 "]\n\t"                                           \
  "mulxq 24(%[a]), %[lo], %[hi]\n\t"                                      \
  "adcxq %[lo], %[" #x3 "]\n\t"                                           \
  "adoxq %[hi], %[" #x4 "]\n\t"                                           \
  "adcq $0, %[" #x4 "]\n\t"

// The reduction step of the squaring: the window never carries out (see
// P256Field::Reduce), so the top word is the high product word itself.
#define P256_SQR_STEP(w0, w1, w2, w3) \
  "movq %[" #w0 "], %%rdx\n\t"        \
  "mulxq %[ktop], %[lo], %[hi]\n\t"   \
  "shlq $32, %%rdx\n\t"               \
  "shrq $32, %[" #w0 "]\n\t"          \
  "addq %%rdx, %[" #w1 "]\n\t"        \
  "adcq %[" #w0 "], %[" #w2 "]\n\t"   \
  "adcq %[lo], %[" #w3 "]\n\t"        \
  "adcq $0, %[hi]\n\t"                \
  "movq %[hi], %[" #w0 "]\n\t"

// y0..y3 (with y4, 0 or 1, above) minus p unless that borrows; s is one
// more scratch register.
#define P256_FINAL_SUB(y0, y1, y2, y3, y4, s) \
  "movl $0xffffffff, %%edx\n\t"               \
  "movq %[" #y0 "], %[lo]\n\t"                \
  "movq %[" #y1 "], %[hi]\n\t"                \
  "movq %[" #y2 "], %[t]\n\t"                 \
  "movq %[" #y3 "], %[" #s "]\n\t"            \
  "subq $-1, %[" #y0 "]\n\t"                  \
  "sbbq %%rdx, %[" #y1 "]\n\t"                \
  "sbbq $0, %[" #y2 "]\n\t"                   \
  "sbbq %[ktop], %[" #y3 "]\n\t"              \
  "sbbq $0, %[" #y4 "]\n\t"                   \
  "cmovcq %[lo], %[" #y0 "]\n\t"              \
  "cmovcq %[hi], %[" #y1 "]\n\t"              \
  "cmovcq %[t], %[" #y2 "]\n\t"               \
  "cmovcq %[" #s "], %[" #y3 "]\n\t"

// r = a b / 2^256 mod p. The six window registers rotate: after row i and
// its step the window starts at x(i + 1).
EC_INLINE void MulMulx(Fe& r, const Fe& a, const Fe& b) {
  u64 x0, x1, x2, x3, x4, x5, lo, hi, t, dx;
  __asm__(
      "xorl %k[x5], %k[x5]\n\t"
      "movq 0(%[b]), %%rdx\n\t"
      "mulxq 0(%[a]), %[x0], %[x1]\n\t"
      "mulxq 8(%[a]), %[lo], %[x2]\n\t"
      "addq %[lo], %[x1]\n\t"
      "mulxq 16(%[a]), %[lo], %[x3]\n\t"
      "adcq %[lo], %[x2]\n\t"
      "mulxq 24(%[a]), %[lo], %[x4]\n\t"
      "adcq %[lo], %[x3]\n\t"
      "adcq $0, %[x4]\n\t"
      P256_STEP(x0, x1, x2, x3, x4, x5)
      P256_ROW(8, x1, x2, x3, x4, x5, x0)
      P256_STEP(x1, x2, x3, x4, x5, x0)
      P256_ROW(16, x2, x3, x4, x5, x0, x1)
      P256_STEP(x2, x3, x4, x5, x0, x1)
      P256_ROW(24, x3, x4, x5, x0, x1, x2)
      P256_STEP(x3, x4, x5, x0, x1, x2)
      P256_FINAL_SUB(x4, x5, x0, x1, x2, x3)
      : [x0] "=&r"(x0), [x1] "=&r"(x1), [x2] "=&r"(x2), [x3] "=&r"(x3), [x4] "=&r"(x4), [x5] "=&r"(x5),
        [lo] "=&r"(lo), [hi] "=&r"(hi), [t] "=&r"(t), "=&d"(dx)
      : [a] "r"(a.v), [b] "r"(b.v), [ktop] "m"(kTopWord), "m"(a), "m"(b)
      : "cc");
  r.v[0] = x4;
  r.v[1] = x5;
  r.v[2] = x0;
  r.v[3] = x1;
}

// r = a^2 / 2^256 mod p: the six cross products, doubled, plus the four
// squares, then four reduction steps on the low half and the high half
// added.
EC_INLINE void SqrMulx(Fe& r, const Fe& a) {
  u64 x0, x1, x2, x3, x4, x5, x6, x7, lo, hi, t, dx;
  __asm__(
      // a0 * (a1, a2, a3) at words 1..4
      "movq 0(%[a]), %%rdx\n\t"
      "mulxq 8(%[a]), %[x1], %[x2]\n\t"
      "mulxq 16(%[a]), %[lo], %[x3]\n\t"
      "addq %[lo], %[x2]\n\t"
      "mulxq 24(%[a]), %[lo], %[x4]\n\t"
      "adcq %[lo], %[x3]\n\t"
      "adcq $0, %[x4]\n\t"
      // a1 * (a2, a3) at words 3..5
      "movq 8(%[a]), %%rdx\n\t"
      "mulxq 16(%[a]), %[lo], %[hi]\n\t"
      "mulxq 24(%[a]), %[t], %[x5]\n\t"
      "addq %[t], %[hi]\n\t"
      "adcq $0, %[x5]\n\t"
      "addq %[lo], %[x3]\n\t"
      "adcq %[hi], %[x4]\n\t"
      "adcq $0, %[x5]\n\t"
      // a2 * a3 at words 5..6
      "movq 16(%[a]), %%rdx\n\t"
      "mulxq 24(%[a]), %[lo], %[x6]\n\t"
      "addq %[lo], %[x5]\n\t"
      "adcq $0, %[x6]\n\t"
      // doubled
      "xorl %k[x7], %k[x7]\n\t"
      "addq %[x1], %[x1]\n\t"
      "adcq %[x2], %[x2]\n\t"
      "adcq %[x3], %[x3]\n\t"
      "adcq %[x4], %[x4]\n\t"
      "adcq %[x5], %[x5]\n\t"
      "adcq %[x6], %[x6]\n\t"
      "adcq $0, %[x7]\n\t"
      // plus the squares
      "movq 0(%[a]), %%rdx\n\t"
      "mulxq %%rdx, %[x0], %[hi]\n\t"
      "movq 8(%[a]), %%rdx\n\t"
      "addq %[hi], %[x1]\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcq %[lo], %[x2]\n\t"
      "adcq %[hi], %[x3]\n\t"
      "movq 16(%[a]), %%rdx\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcq %[lo], %[x4]\n\t"
      "adcq %[hi], %[x5]\n\t"
      "movq 24(%[a]), %%rdx\n\t"
      "mulxq %%rdx, %[lo], %[hi]\n\t"
      "adcq %[lo], %[x6]\n\t"
      "adcq %[hi], %[x7]\n\t"
      // the low half reduced, the high half added
      P256_SQR_STEP(x0, x1, x2, x3)
      P256_SQR_STEP(x1, x2, x3, x0)
      P256_SQR_STEP(x2, x3, x0, x1)
      P256_SQR_STEP(x3, x0, x1, x2)
      "addq %[x4], %[x0]\n\t"
      "adcq %[x5], %[x1]\n\t"
      "adcq %[x6], %[x2]\n\t"
      "adcq %[x7], %[x3]\n\t"
      "movl $0, %k[x4]\n\t"
      "adcq $0, %[x4]\n\t"
      P256_FINAL_SUB(x0, x1, x2, x3, x4, x5)
      : [x0] "=&r"(x0), [x1] "=&r"(x1), [x2] "=&r"(x2), [x3] "=&r"(x3), [x4] "=&r"(x4), [x5] "=&r"(x5),
        [x6] "=&r"(x6), [x7] "=&r"(x7), [lo] "=&r"(lo), [hi] "=&r"(hi), [t] "=&r"(t), "=&d"(dx)
      : [a] "r"(a.v), [ktop] "m"(kTopWord), "m"(a)
      : "cc");
  r.v[0] = x0;
  r.v[1] = x1;
  r.v[2] = x2;
  r.v[3] = x3;
}

// r = a + b mod p: the sum with its carry word, then p subtracted unless
// that borrows (conditional moves keep the sum). Operands in registers or
// memory, as the compiler has them.
EC_INLINE void AddAsm(Fe& r, const Fe& a, const Fe& b) {
  u64 t0 = a.v[0], t1 = a.v[1], t2 = a.v[2], t3 = a.v[3], u0, u1, u2, u3, hi;
  __asm__(
      "xorl %k[hi], %k[hi]\n\t"
      "addq %[b0], %[t0]\n\t"
      "adcq %[b1], %[t1]\n\t"
      "adcq %[b2], %[t2]\n\t"
      "adcq %[b3], %[t3]\n\t"
      "adcq $0, %[hi]\n\t"
      "movq %[t0], %[u0]\n\t"
      "movq %[t1], %[u1]\n\t"
      "movq %[t2], %[u2]\n\t"
      "movq %[t3], %[u3]\n\t"
      "subq $-1, %[u0]\n\t"
      "sbbq %[p1], %[u1]\n\t"
      "sbbq $0, %[u2]\n\t"
      "sbbq %[ktop], %[u3]\n\t"
      "sbbq $0, %[hi]\n\t"
      "cmovcq %[t0], %[u0]\n\t"
      "cmovcq %[t1], %[u1]\n\t"
      "cmovcq %[t2], %[u2]\n\t"
      "cmovcq %[t3], %[u3]\n\t"
      : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [u0] "=&r"(u0), [u1] "=&r"(u1),
        [u2] "=&r"(u2), [u3] "=&r"(u3), [hi] "=&r"(hi)
      : [b0] "rm"(b.v[0]), [b1] "rm"(b.v[1]), [b2] "rm"(b.v[2]), [b3] "rm"(b.v[3]), [p1] "rm"(u64{0xffffffff}),
        [ktop] "m"(kTopWord)
      : "cc");
  r.v[0] = u0;
  r.v[1] = u1;
  r.v[2] = u2;
  r.v[3] = u3;
}

// r = a - b mod p: the difference, then p added under the borrow's mask
// (p's words are the mask, its upper half, 0 and the mask's bits of the
// top word).
EC_INLINE void SubAsm(Fe& r, const Fe& a, const Fe& b) {
  u64 t0 = a.v[0], t1 = a.v[1], t2 = a.v[2], t3 = a.v[3], m, m1, m3;
  __asm__(
      "subq %[b0], %[t0]\n\t"
      "sbbq %[b1], %[t1]\n\t"
      "sbbq %[b2], %[t2]\n\t"
      "sbbq %[b3], %[t3]\n\t"
      "sbbq %[m], %[m]\n\t"
      "movq %[m], %[m1]\n\t"
      "shrq $32, %[m1]\n\t"
      "movq %[m], %[m3]\n\t"
      "andq %[ktop], %[m3]\n\t"
      "addq %[m], %[t0]\n\t"
      "adcq %[m1], %[t1]\n\t"
      "adcq $0, %[t2]\n\t"
      "adcq %[m3], %[t3]\n\t"
      : [t0] "+&r"(t0), [t1] "+&r"(t1), [t2] "+&r"(t2), [t3] "+&r"(t3), [m] "=&r"(m), [m1] "=&r"(m1),
        [m3] "=&r"(m3)
      : [b0] "rm"(b.v[0]), [b1] "rm"(b.v[1]), [b2] "rm"(b.v[2]), [b3] "rm"(b.v[3]), [ktop] "m"(kTopWord)
      : "cc");
  r.v[0] = t0;
  r.v[1] = t1;
  r.v[2] = t2;
  r.v[3] = t3;
}

#undef P256_STEP
#undef P256_ROW
#undef P256_SQR_STEP
#undef P256_FINAL_SUB

}  // namespace p256
#endif

// The field modulo p = 2^256 - 2^224 + 2^192 + 2^96 - 1. Its words are
// 2^64 - 1, 2^32 - 1, 0 and 2^64 - 2^32 + 1, and -p^-1 = 1 (mod 2^64): the
// quotient digit of a reduction step is the low word itself, and adding
// q * p to a value whose low word is q clears that word, adds q << 32 one
// word up (the 2^64 - 1 and 2^32 - 1 words together with the carry of
// q * 2^64), nothing to the next and q * (2^64 - 2^32 + 1) to the top two.
struct P256Field : MontField<kP256P> {
  static constexpr u64 kTop = 0xffffffff00000001ULL;  // p's top word

  // One reduction step on the window x0..x4: x += x0 * p, then the window
  // moves up a word (x0 is zero by then). x4 takes the carry.
  EC_INLINE static void Step(u64& x0, u64& x1, u64& x2, u64& x3, u64& x4) {
    using namespace p256;
    const u64 q = x0;
    u64 mh;
    const u64 ml = MulLo(q, kTop, mh);
    Carry c = 0;
    x0 = Adc(x1, q << 32, c);
    x1 = Adc(x2, q >> 32, c);
    x2 = Adc(x3, ml, c);
    x3 = Adc(x4, mh, c);
    x4 = c;
  }

  // r = t / 2^256 mod p for an eight-word t < p 2^256: four steps on the
  // low half, whose window ((t_lo + Q p) / 2^256 <= p) then adds to the
  // high half; the sum is below 2p.
  EC_INLINE static void Reduce(Fe& r, const u64 t[8]) {
    using namespace p256;
    u64 x0 = t[0], x1 = t[1], x2 = t[2], x3 = t[3], x4 = 0;
    // The window never carries out here: after step i it is below
    // 2^(192 - 64 i) + p < 2^256.
    EC_UNROLL
    for (int i = 0; i < 4; ++i) Step(x0, x1, x2, x3, x4);
    Carry c = 0;
    x0 = Adc(x0, t[4], c);
    x1 = Adc(x1, t[5], c);
    x2 = Adc(x2, t[6], c);
    x3 = Adc(x3, t[7], c);
    FinalSub(r, x0, x1, x2, x3, c, kMod);
  }
  // r = a b / 2^256 mod p and r = a^2 / 2^256 mod p: the generic products,
  // then Reduce.
  EC_INLINE static void Mul(Fe& r, const Fe& a, const Fe& b) {
    u64 t[8];
    ec256::Mul512(t, a, b);
    Reduce(r, t);
  }
  EC_INLINE static void Sqr(Fe& r, const Fe& a) {
    u64 t[8];
    ec256::Sqr512(t, a);
    Reduce(r, t);
  }
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) { p256::Add(r, a, b, kMod); }
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) { p256::Sub(r, a, b, kMod); }
  EC_INLINE static void ToRepr(Fe& r, const Fe& a) { Mul(r, a, kP256P.r2); }
  EC_INLINE static void FromRepr(Fe& r, const Fe& a) {
    const u64 t[8] = {a.v[0], a.v[1], a.v[2], a.v[3], 0, 0, 0, 0};
    Reduce(r, t);
  }
};

#if EC256_MULX
// P-256's field on processors with MULX and ADCX/ADOX (chosen once per
// operation through the processor features; P256Field is the fallback and
// the reference): the same residues, only the instructions differ (the
// sums and differences select with conditional moves where the portable
// code masks).
struct P256FieldMulx : P256Field {
  EC_INLINE static void Mul(Fe& r, const Fe& a, const Fe& b) { p256::MulMulx(r, a, b); }
  EC_INLINE static void Sqr(Fe& r, const Fe& a) { p256::SqrMulx(r, a); }
  EC_INLINE static void Add(Fe& r, const Fe& a, const Fe& b) { p256::AddAsm(r, a, b); }
  EC_INLINE static void Sub(Fe& r, const Fe& a, const Fe& b) { p256::SubAsm(r, a, b); }
  EC_INLINE static void ToRepr(Fe& r, const Fe& a) { Mul(r, a, kP256P.r2); }
};
#endif

}  // namespace ec256

#endif
