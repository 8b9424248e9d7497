#include "crypto/ec/ec256.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "crypto/ct_check.h"
#include "crypto/ec/ec256_point.h"
#include "platform/memory.h"

namespace {

using namespace ec256;

// t = row[mag - 1], or zeros for mag = 0: every entry is read and kept by
// mask, so the memory touched does not depend on mag.
void SelectRowPortable(Aff& t, const Aff* row, u64 mag) {
  t = Aff{kZeroFe, kZeroFe};
  EC_UNROLL
  for (int j = 0; j < kGenEntries; ++j) {
    const u64 m = EqMask(mag, static_cast<u64>(j + 1));
    Cmov(t.x, row[j].x, m);
    Cmov(t.y, row[j].y, m);
  }
}

#if defined(__x86_64__)
// out = table[index] for a table of count entries of kWords words, zeros
// when index >= count, with 256-bit vectors: one compare makes the mask of
// an entry, an AND/OR pair per four words keeps it. Every entry is read.
// Even and odd entries go to two accumulators, ORed at the end (only one
// can have kept an entry), so that the ORs (two cycles each on some
// processors) do not all wait on one another.
template <int kWords>
__attribute__((target("avx2"))) void SelectWordsAvx2(u64* out, const u64* table, int count, u64 index) {
  static_assert(kWords % 4 == 0, "whole vectors");
  constexpr int kVecs = kWords / 4;
  const __m256i wantEven = _mm256_set1_epi64x(static_cast<long long>(index));
  const __m256i wantOdd = _mm256_set1_epi64x(static_cast<long long>(index - 1));
  const __m256i two = _mm256_set1_epi64x(2);
  __m256i at = _mm256_setzero_si256(), even[kVecs], odd[kVecs];
#pragma GCC unroll 4
  for (int w = 0; w < kVecs; ++w) even[w] = odd[w] = _mm256_setzero_si256();
  const __m256i* t = reinterpret_cast<const __m256i*>(table);  // kVecs vectors per entry
  int e = 0;
  for (; e + 1 < count; e += 2) {
    // Entries e and e + 1 match when e = index and e = index - 1.
    const __m256i me = _mm256_cmpeq_epi64(at, wantEven), mo = _mm256_cmpeq_epi64(at, wantOdd);
#pragma GCC unroll 4
    for (int w = 0; w < kVecs; ++w) {
      even[w] = _mm256_or_si256(even[w], _mm256_and_si256(me, _mm256_loadu_si256(t + e * kVecs + w)));
      odd[w] = _mm256_or_si256(odd[w], _mm256_and_si256(mo, _mm256_loadu_si256(t + (e + 1) * kVecs + w)));
    }
    at = _mm256_add_epi64(at, two);
  }
  if (e < count) {  // an odd count: the last entry
    const __m256i me = _mm256_cmpeq_epi64(at, wantEven);
#pragma GCC unroll 4
    for (int w = 0; w < kVecs; ++w)
      even[w] = _mm256_or_si256(even[w], _mm256_and_si256(me, _mm256_loadu_si256(t + e * kVecs + w)));
  }
#pragma GCC unroll 4
  for (int w = 0; w < kVecs; ++w)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * w), _mm256_or_si256(even[w], odd[w]));
}

// SelectRowPortable with vectors (mag - 1 wraps above every index for 0).
void SelectRowAvx2(Aff& t, const Aff* row, u64 mag) {
  static_assert(sizeof(Aff) == 8 * sizeof(u64), "two coordinates of four words");
  SelectWordsAvx2<8>(t.x.v, row[0].x.v, kGenEntries, mag - 1);
}
#endif

// R = P + Q for P in Jacobian coordinates (x = X/Z^2, y = Y/Z^3) and an
// affine Q, by the incomplete mixed addition (8M + 3S against the 13M of
// the complete formulas). It is wrong when P is the point at infinity or
// P = Q, and gives Z = 0 (infinity, the right sum) for P = -Q; the fixed-base
// sum below masks the first case and never meets the second. R may alias P.
template <class C>
[[gnu::noinline]] void AddAffJacobian(Proj& R, const Proj& P, const Aff& Q) {
  using F = typename C::F;
  Fe zz, u2, s2, h, r, hh, hhh, v, t, X3, Y3, Z3;
  F::Sqr(zz, P.Z);
  F::Mul(u2, Q.x, zz);
  F::Mul(s2, P.Z, zz);
  F::Mul(s2, s2, Q.y);
  F::Sub(h, u2, P.X);
  F::Sub(r, s2, P.Y);
  F::Mul(Z3, P.Z, h);
  F::Sqr(hh, h);
  F::Mul(hhh, hh, h);
  F::Mul(v, P.X, hh);
  F::Sqr(X3, r);
  F::Sub(X3, X3, hhh);
  F::Add(t, v, v);
  F::Sub(X3, X3, t);
  F::Sub(t, v, X3);
  F::Mul(Y3, r, t);
  F::Mul(t, P.Y, hhh);
  F::Sub(Y3, Y3, t);
  R.X = X3;
  R.Y = Y3;
  R.Z = Z3;
}

// k*G as a sum of one table entry per row: k = sum e[i] 128^i with signed
// digits |e[i]| <= 64, row i holding 128^i G times 1..64.
//
// The sum is kept in Jacobian coordinates and grows by the incomplete mixed
// addition, which is safe here for every k below 2^256: with S the sum of
// the rows before row i (|S| < 0.504 * 128^i as an integer) and D = e[i]
// 128^i (|D| >= 128^i), S = +-D modulo n would need |S -+ D| to be 0 or a
// multiple of n. Below the top row |S| + |D| < 65 * 128^35 < n, so neither
// can happen; in the top row (|e[36]| <= 16, D = e[36] 2^252) S - D = -n
// forces e[36] = 16 and k = 2D - n = 2^257 - n, above 2^256, and S + D = 0
// modulo n is k = 0 or n, where every digit is 0 or the sum is P + (-P),
// which the formula gives as infinity. The sum is infinity exactly while all
// earlier digits were 0, and then the entry itself is taken by mask.
template <class C>
void MulGenProjT(const Ec256Curve& c, Proj* out, const Ec256Scalar* k) {
  using F = typename C::F;
  int e[kGenRows];
  RecodeSigned<kGenWindow>(e, k, kGenRows);
  auto select = SelectRowPortable;
#if defined(__x86_64__)
  if (NXVT_CpuFeatures().avx2) select = SelectRowAvx2;
#endif
  Proj acc, sum;
  Aff t;
  Fe ny;
  // Every row adds one table entry: |digit| picks it by mask from the whole
  // row, its sign negates y by mask, and a zero digit keeps the old sum by
  // mask as well. The first row's entry is the sum itself.
  for (int i = 0; i < kGenRows; ++i) {
    const u64 negative = static_cast<u64>(static_cast<unsigned>(e[i]) >> 31);
    const u64 mag = static_cast<u64>(e[i] - 2 * (e[i] & -static_cast<int>(negative)));
    select(t, c.comb[i], mag);
    F::Sub(ny, kZeroFe, t.y);
    Cmov(t.y, ny, 0 - negative);
    if (i == 0) {
      sum = Proj{t.x, t.y, F::kOne};
      acc = Proj{kZeroFe, kZeroFe, kZeroFe};
    } else {
      AddAffJacobian<C>(sum, acc, t);
      const u64 inf = IsZeroMask(acc.Z);
      Cmov(sum.X, t.x, inf);
      Cmov(sum.Y, t.y, inf);
      Cmov(sum.Z, F::kOne, inf);
    }
    const u64 keep = EqMask(mag, 0);
    Cmov(sum.X, acc.X, keep);
    Cmov(sum.Y, acc.Y, keep);
    Cmov(sum.Z, acc.Z, keep);
    acc = sum;
  }
  // Projective (x = X/Z, y = Y/Z) for the callers.
  JacobianToProj<C>(*out, acc);
  Wipe(e, sizeof e);
  Wipe(&acc, sizeof acc);
  Wipe(&sum, sizeof sum);
  Wipe(&t, sizeof t);
  Wipe(&ny, sizeof ny);
}

template <class C>
void MulGenT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k) {
  Proj P;
  MulGenProjT<C>(c, &P, k);
  Ops<C>::ToPoint(out, P);
  Wipe(&P, sizeof P);
}

template <class C>
void MulGen2T(const Ec256Curve& c, Ec256Point out[2], const Ec256Scalar k[2]) {
  Proj P[2];
  MulGenProjT<C>(c, &P[0], &k[0]);
  MulGenProjT<C>(c, &P[1], &k[1]);
  Ops<C>::ToPoint2(out, P[0], P[1]);
  Wipe(P, sizeof P);
}

constexpr int kHalfDigits = 26;  // signed 5-bit digits of a value below 2^129

// The split of a secret k: k = (-1)^neg1 h1 + (-1)^neg2 h2 lambda (mod n)
// with h1, h2 below 2^128; neg1, neg2 are masks. Constant time.
void SplitSecret(const Ec256Scalar* k, Ec256Scalar* h1, u64* neg1, Ec256Scalar* h2, u64* neg2) {
  using S = K1::S;
  const Fe& n = S::kMod;
  auto mulN = [](Fe& r, const Fe& x, const Fe& y) {
    S::Mul(r, x, y);  // x y / R
    S::ToRepr(r, r);  // x y
  };
  // round(k g / 2^384): bit 383 of the product rounds.
  auto mulShift = [](Fe& r, const Fe& x, const Fe& g) {
    u64 t[8];
    Mul512(t, x, g);
    const u128 lo = static_cast<u128>(t[6]) + (t[5] >> 63);
    r = Fe{{static_cast<u64>(lo), t[7] + static_cast<u64>(lo >> 64), 0, 0}};
    Wipe(t, sizeof t);
  };
  const Fe kf = {{k->v[0], k->v[1], k->v[2], k->v[3]}};
  Fe c1, c2, r1, r2, t;
  mulShift(c1, kf, kSplitG1);
  mulShift(c2, kf, kSplitG2);
  mulN(r2, c1, kSplitMinusB1);
  mulN(t, c2, kSplitMinusB2);
  S::Add(r2, r2, t);
  mulN(t, r2, kLambda);
  S::Sub(r1, kf, t);
  // Each half, or n minus it, is short: the one below n / 2, by mask.
  const Fe half = {{(n.v[0] >> 1) | (n.v[1] << 63), (n.v[1] >> 1) | (n.v[2] << 63), (n.v[2] >> 1) | (n.v[3] << 63),
                    n.v[3] >> 1}};
  auto shorten = [&](Fe& r, u64* neg) {
    u64 borrow = 0;  // half - r borrows exactly when r > half
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      const u128 x = static_cast<u128>(half.v[i]) - r.v[i] - borrow;
      borrow = static_cast<u64>(x >> 64) & 1;
    }
    *neg = 0 - borrow;
    Fe m;
    S::Sub(m, kZeroFe, r);
    Cmov(r, m, *neg);
    Wipe(&m, sizeof m);
  };
  shorten(r1, neg1);
  shorten(r2, neg2);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    h1->v[i] = r1.v[i];
    h2->v[i] = r2.v[i];
  }
  Fe* all[] = {&c1, &c2, &r1, &r2, &t};
  for (Fe* f : all) Wipe(f, sizeof *f);
}

// T[j] = j P for j = 0..16 (T[0] the point at infinity).
template <class C>
void Multiples17(const Ec256Curve& c, Proj T[17], const Aff& P) {
  using O = Ops<C>;
  T[0] = O::Infinity();
  T[1] = Proj{P.x, P.y, C::F::kOne};
  for (int j = 2; j <= 16; ++j) {
    if (j % 2 == 0) {
      O::Dbl(c, T[j], T[j / 2]);
    } else {
      O::AddAff(c, T[j], T[j - 1], P);
    }
  }
}

// |d| and the sign of a secret digit d as a mask, without a branch.
EC_INLINE u64 DigitMagnitude(int d, u64* negative) {
  const u64 neg = static_cast<u64>(static_cast<unsigned>(d) >> 31);
  *negative = 0 - neg;
  return static_cast<u64>(d - 2 * (d & -static_cast<int>(neg)));
}

// e = T[index] for index < kCount, zeros for any larger index: every entry
// is read (with vectors when avx2 is set), so the memory touched does not
// depend on the index.
template <int kCount>
EC_INLINE void SelectProj(Proj& e, const Proj* T, u64 index, bool avx2) {
#if defined(__x86_64__)
  static_assert(sizeof(Proj) == 12 * sizeof(u64), "three coordinates of four words");
  if (avx2) {
    SelectWordsAvx2<12>(e.X.v, T[0].X.v, kCount, index);
    return;
  }
#endif
  (void)avx2;
  e = Proj{kZeroFe, kZeroFe, kZeroFe};
  for (int j = 0; j < kCount; ++j) {
    const u64 m = EqMask(index, static_cast<u64>(j));
    Cmov(e.X, T[j].X, m);
    Cmov(e.Y, T[j].Y, m);
    Cmov(e.Z, T[j].Z, m);
  }
}

// y = -y under a mask.
template <class C>
EC_INLINE void NegateYByMask(Fe& y, u64 mask) {
  Fe ny;
  C::F::Sub(ny, kZeroFe, y);
  Cmov(y, ny, mask);
}

// e = (sign of d, xor flip) * T[|d|] for a secret digit d in -16..16, T[0]
// the point at infinity.
template <class C>
EC_INLINE void Select17(Proj& e, const Proj T[17], int d, u64 flip, bool avx2) {
  u64 negative;
  const u64 mag = DigitMagnitude(d, &negative);
  SelectProj<17>(e, T, mag, avx2);
  NegateYByMask<C>(e.Y, negative ^ flip);
}

// k P on P-256 for an affine P, by signed 5-bit digits (52 of them, five
// doublings each) over the Jacobian multiples 1..16 of P, every table read
// in full. Constant time in k and P.
//
// The sums use the incomplete Jacobian addition, which is safe here for
// every k below n: with A the multiple of P in the sum before digit e
// (A = 32 times the value of the higher digits, |e| <= 16), an exceptional
// sum needs A = +-e (mod n). Before the last digit |A| < k / 32 + 17 < n, so
// that is A = +-e as integers, which for a multiple of 32 means A = 0 (the
// sum so far is infinity) and e = 0. At the last digit A + e = k: A = -e is
// k = 0, and A = e would need k = 2e (so A = e = 0) or k = n + 2e with
// A = n + e divisible by 32, that is e = 15 (n = 17 mod 32) and k = n + 30,
// above n. The two infinities (the sum so far, a zero digit) are replaced
// by mask.
template <class C>
void MulJacobianT(Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32], const uint8_t py[32]) {
  using O = Ops<C>;
  using F = typename C::F;
  constexpr int kDigits = 52;  // signed 5-bit digits of a value below 2^256
  Aff P;
  O::LoadAff(P, px, py);
  int d[kDigits];
  RecodeSigned<5>(d, k, kDigits);
  // T[j - 1] = j P: the even multiples doubled, the odd ones j P = (j - 1) P
  // + P by the mixed sum, never exceptional ((j - 1) P is neither P nor -P
  // for j = 3..15).
  Proj T[16];
  T[0] = Proj{P.x, P.y, F::kOne};
  for (int j = 2; j <= 16; ++j) {
    if (j % 2 == 0) {
      DblJacobian<C>(T[j - 1], T[j / 2 - 1]);
    } else {
      AddAffJacobian<C>(T[j - 1], T[j - 2], P);
    }
  }
  const bool avx2 = NXVT_CpuFeatures().avx2;
  // e = d P, zeros (infinity) for d = 0 (mag - 1 is above every index
  // then); returns the mask of d = 0.
  auto select = [&](Proj& e, int digit) {
    u64 negative;
    const u64 mag = DigitMagnitude(digit, &negative);
    SelectProj<16>(e, T, mag - 1, avx2);
    NegateYByMask<C>(e.Y, negative);
    return EqMask(mag, 0);
  };
  // The top digit's entry starts the sum: no doublings of infinity.
  Proj acc, e, sum;
  select(acc, d[kDigits - 1]);
  for (int i = kDigits - 2; i >= 0; --i) {
    for (int s = 0; s < 5; ++s) DblJacobian<C>(acc, acc);
    const u64 zero = select(e, d[i]);
    AddJacobian<C>(sum, acc, e);
    const u64 inf = IsZeroMask(acc.Z);
    Cmov(sum.X, e.X, inf);
    Cmov(sum.Y, e.Y, inf);
    Cmov(sum.Z, e.Z, inf);
    Cmov(sum.X, acc.X, zero);
    Cmov(sum.Y, acc.Y, zero);
    Cmov(sum.Z, acc.Z, zero);
    acc = sum;
  }
  JacobianToProj<C>(sum, acc);
  O::ToPoint(out, sum);
  Wipe(T, sizeof T);
  Wipe(d, sizeof d);
  Wipe(&acc, sizeof acc);
  Wipe(&e, sizeof e);
  Wipe(&sum, sizeof sum);
  Wipe(&P, sizeof P);
}

// k P on secp256k1 by the endomorphism: k = +-h1 +- h2 lambda with halves of
// 128 bits, so half the doublings; signed 5-bit digits of both halves over
// the multiples of P and of lambda P = (beta X, Y, Z). Constant time in k
// and P.
template <class C>
void MulGlvT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
             const uint8_t py[32]) {
  using O = Ops<C>;
  using F = typename C::F;
  Aff P;
  O::LoadAff(P, px, py);
  Ec256Scalar h1, h2;
  u64 neg1, neg2;
  SplitSecret(k, &h1, &neg1, &h2, &neg2);
  int e1[kHalfDigits], e2[kHalfDigits];
  RecodeSigned<5>(e1, &h1, kHalfDigits);
  RecodeSigned<5>(e2, &h2, kHalfDigits);
  Proj T1[17], T2[17];
  Multiples17<C>(c, T1, P);
  for (int j = 0; j < 17; ++j) {
    F::Mul(T2[j].X, T1[j].X, kBeta);
    T2[j].Y = T1[j].Y;
    T2[j].Z = T1[j].Z;
  }
  const bool avx2 = NXVT_CpuFeatures().avx2;
  // The top digits' entries start the sum: no doublings of infinity.
  Proj acc, e;
  Select17<C>(acc, T1, e1[kHalfDigits - 1], neg1, avx2);
  Select17<C>(e, T2, e2[kHalfDigits - 1], neg2, avx2);
  O::Add(c, acc, acc, e);
  for (int i = kHalfDigits - 2; i >= 0; --i) {
    for (int s = 0; s < 5; ++s) O::Dbl(c, acc, acc);
    Select17<C>(e, T1, e1[i], neg1, avx2);
    O::Add(c, acc, acc, e);
    Select17<C>(e, T2, e2[i], neg2, avx2);
    O::Add(c, acc, acc, e);
  }
  O::ToPoint(out, acc);
  Wipe(T1, sizeof T1);
  Wipe(T2, sizeof T2);
  Wipe(e1, sizeof e1);
  Wipe(e2, sizeof e2);
  Wipe(&h1, sizeof h1);
  Wipe(&h2, sizeof h2);
  Wipe(&neg1, sizeof neg1);
  Wipe(&neg2, sizeof neg2);
  Wipe(&acc, sizeof acc);
  Wipe(&e, sizeof e);
  Wipe(&P, sizeof P);
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

template <class C>
int IsOnCurveT(const Ec256Curve& c, const uint8_t xb[32], const uint8_t yb[32], const uint8_t zb[32]) {
  using F = typename C::F;
  Fe x, y, z, z2, z4, t, u;
  auto load = [](Fe& r, const uint8_t b[32]) {
    LoadBE(r, b);
    ReduceOnce(r, r, F::kMod);
    F::ToRepr(r, r);
  };
  load(x, xb);
  load(y, yb);
  load(z, zb);
  F::Sqr(z2, z);
  F::Sqr(z4, z2);
  F::Sqr(t, y);
  F::Sqr(u, x);
  F::Mul(u, u, x);
  F::Sub(t, t, u);
  if constexpr (C::kAMinus3) {
    Ops<C>::MulA(u, x);
    F::Mul(u, u, z4);
    F::Sub(t, t, u);
  }
  F::Mul(u, z4, z2);
  F::Mul(u, u, c.b);
  F::Sub(t, t, u);
  u64 on = IsZeroMask(t);
  CtDeclassify(&on, sizeof on);  // on the curve or not: a point off it is refused, the call's result
  Fe* all[] = {&x, &y, &z, &z2, &z4, &t, &u};
  for (Fe* f : all) Wipe(f, sizeof *f);
  return on != 0 ? 1 : 0;
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
  // Scalars travel as plain residues, so their inverse has no factor.
  static constexpr ModInvModulus kInvPlain = MakeModInvModulus(S::kMod.v, Fe{{1, 0, 0, 0}}.v);
  static void Inv(Ec256Scalar* r, const Ec256Scalar* a) { ModInv256(r->v, a->v, kInvPlain); }
  static void InvVartime(Ec256Scalar* r, const Ec256Scalar* a) { ModInv256Vartime(r->v, a->v, kInvPlain); }
};

// The table is built with the field code of this processor (the same
// residues whichever it is).
Ec256Curve* MakeCurve(bool p256) {
  static Ec256Curve k1, p2;  // filled once, read-only afterwards
  if (p256) {
    WithP256([&](auto f) {
      Ops<decltype(f)>::Init(p2, true, "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
                             "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b",
                             "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296",
                             "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
    });
    return &p2;
  }
  WithK1([&](auto f) {
    Ops<decltype(f)>::Init(k1, false, "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                           "0000000000000000000000000000000000000000000000000000000000000007",
                           "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
                           "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8");
  });
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

void Ec256_ScalarInvVartime(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a) {
  if (c->p256) {
    ScalarOps<P256>::InvVartime(r, a);
  } else {
    ScalarOps<K1>::InvVartime(r, a);
  }
}

void Ec256_MulGen(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k) {
  if (c->p256) {
    WithP256([&](auto p2) { MulGenT<decltype(p2)>(*c, out, k); });
  } else {
    WithK1([&](auto k1) { MulGenT<decltype(k1)>(*c, out, k); });
  }
}

void Ec256_MulGen2(const Ec256Curve* c, Ec256Point out[2], const Ec256Scalar k[2]) {
  if (c->p256) {
    WithP256([&](auto p2) { MulGen2T<decltype(p2)>(*c, out, k); });
  } else {
    WithK1([&](auto k1) { MulGen2T<decltype(k1)>(*c, out, k); });
  }
}

void Ec256_Mul(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
               const uint8_t py[32]) {
  if (c->p256) {
    WithP256([&](auto p2) { MulJacobianT<decltype(p2)>(out, k, px, py); });
  } else {
    WithK1([&](auto k1) { MulGlvT<decltype(k1)>(*c, out, k, px, py); });
  }
}

int Ec256_IsOnCurve(const Ec256Curve* c, const uint8_t X[32], const uint8_t Y[32], const uint8_t Z[32]) {
  int on = 0;
  if (c->p256) {
    WithP256([&](auto p2) { on = IsOnCurveT<decltype(p2)>(*c, X, Y, Z); });
  } else {
    WithK1([&](auto k1) { on = IsOnCurveT<decltype(k1)>(*c, X, Y, Z); });
  }
  return on;
}

void Ec256_FieldInv(const Ec256Curve* c, uint8_t out[32], const uint8_t in[32]) {
  if (c->p256) {
    WithP256([&](auto p2) { FieldInvT<decltype(p2)>(out, in); });
  } else {
    WithK1([&](auto k1) { FieldInvT<decltype(k1)>(out, in); });
  }
}
