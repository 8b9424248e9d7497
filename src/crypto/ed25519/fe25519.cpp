// Arithmetic modulo p = 2^255 - 19 in radix 2^32.
//
// Reductions use 2^255 = 19 and 2^256 = 38 (mod p). All selections are made
// with masks, and every call of an operation runs the same instructions.
#include "crypto/ed25519/fe25519.h"

#include "platform/memory.h"

const NXVT_GF25519 NXVT_GF25519_SQRTM1 = {
    {0x4a0ea0b0, 0xc4ee1b27, 0xad2fe478, 0x2f431806, 0x3dfbd7a7, 0x2b4d0099, 0x4fc1df0b, 0x2b832480}};

namespace {

// p = 2^255 - 19 as words.
constexpr uint32_t kP[8] = {0xffffffed, 0xffffffff, 0xffffffff, 0xffffffff,
                            0xffffffff, 0xffffffff, 0xffffffff, 0x7fffffff};

// Adds a small value (below 2^32) to t, propagating the carry through all words.
// The caller guarantees the sum fits in 256 bits.
inline void AddSmall(uint32_t t[8], uint32_t x) {
  uint64_t c = x;
  for (int i = 0; i < 8; ++i) {
    c += t[i];
    t[i] = static_cast<uint32_t>(c);
    c >>= 32;
  }
}

// Brings top * 2^256 + t (top at most a few hundred) to its canonical value mod p.
void Canonical(uint32_t t[8], uint32_t top) {
  // First fold: everything from bit 255 upwards, times 19. Leaves a value below
  // 2^255 + 19 * (2 * top + 1).
  uint32_t hi = (top << 1) | (t[7] >> 31);
  t[7] &= 0x7fffffff;
  AddSmall(t, 19 * hi);
  // Second fold: a carry into bit 255 leaves only a small remainder below it,
  // so after this the value is below 2^255.
  hi = t[7] >> 31;
  t[7] &= 0x7fffffff;
  AddSmall(t, 19 * hi);
  // Now below 2^255 < 2p: subtract p once when t + 19 reaches 2^255.
  uint32_t u[8];
  for (int i = 0; i < 8; ++i) u[i] = t[i];
  AddSmall(u, 19);
  uint32_t mask = 0u - (u[7] >> 31);
  u[7] &= 0x7fffffff;
  for (int i = 0; i < 8; ++i) t[i] = (t[i] & ~mask) | (u[i] & mask);
  Wipe(u, sizeof u);
}

inline void Sqr(NXVT_GF25519* out, const NXVT_GF25519* a) { NXVT_GF25519_Mul(out, a, a); }

inline void SqrN(NXVT_GF25519* out, const NXVT_GF25519* a, int n) {
  Sqr(out, a);
  for (int i = 1; i < n; ++i) Sqr(out, out);
}

// Sets z250 = z^(2^250 - 1) and z11 = z^11, the common stem of the exponent chains.
void PowStem(NXVT_GF25519* z250, NXVT_GF25519* z11, const NXVT_GF25519* z) {
  NXVT_GF25519 t[4];
  ScopedWipe wipe(t);
  Sqr(&t[0], z);                       // z^2
  SqrN(&t[1], &t[0], 2);               // z^8
  NXVT_GF25519_Mul(&t[1], &t[1], z);   // z^9
  NXVT_GF25519_Mul(z11, &t[0], &t[1]); // z^11
  Sqr(&t[2], z11);                     // z^22
  NXVT_GF25519_Mul(&t[1], &t[1], &t[2]); // z^(2^5 - 1)
  SqrN(&t[2], &t[1], 5);
  NXVT_GF25519_Mul(&t[1], &t[2], &t[1]); // z^(2^10 - 1)
  SqrN(&t[2], &t[1], 10);
  NXVT_GF25519_Mul(&t[2], &t[2], &t[1]); // z^(2^20 - 1)
  SqrN(&t[3], &t[2], 20);
  NXVT_GF25519_Mul(&t[3], &t[3], &t[2]); // z^(2^40 - 1)
  SqrN(&t[3], &t[3], 10);
  NXVT_GF25519_Mul(&t[2], &t[3], &t[1]); // z^(2^50 - 1)
  SqrN(&t[3], &t[2], 50);
  NXVT_GF25519_Mul(&t[3], &t[3], &t[2]); // z^(2^100 - 1)
  SqrN(&t[1], &t[3], 100);
  NXVT_GF25519_Mul(&t[1], &t[1], &t[3]); // z^(2^200 - 1)
  SqrN(&t[1], &t[1], 50);
  NXVT_GF25519_Mul(z250, &t[1], &t[2]);  // z^(2^250 - 1)
}

// z^((p - 5) / 8) = z^(2^252 - 3).
void PowP58(NXVT_GF25519* out, const NXVT_GF25519* z) {
  NXVT_GF25519 t[2];  // z^(2^250 - 1), z^11
  ScopedWipe wipe(t);
  PowStem(&t[0], &t[1], z);
  SqrN(&t[0], &t[0], 2);            // z^(2^252 - 4)
  NXVT_GF25519_Mul(out, &t[0], z);  // z^(2^252 - 3)
}

}  // namespace

void NXVT_GF25519_Freeze(NXVT_GF25519* out, const NXVT_GF25519* in) {
  uint32_t t[8];
  for (int i = 0; i < 8; ++i) t[i] = in->v[i];
  Canonical(t, 0);
  for (int i = 0; i < 8; ++i) out->v[i] = t[i];
  Wipe(t, sizeof t);
}

void NXVT_GF25519_Add(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b) {
  uint32_t t[8];
  uint64_t c = 0;
  for (int i = 0; i < 8; ++i) {
    c += static_cast<uint64_t>(a->v[i]) + b->v[i];
    t[i] = static_cast<uint32_t>(c);
    c >>= 32;
  }
  Canonical(t, static_cast<uint32_t>(c));
  for (int i = 0; i < 8; ++i) out->v[i] = t[i];
  Wipe(t, sizeof t);
}

void NXVT_GF25519_Sub(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b) {
  // With both operands canonical, a + p - b lies in (0, 2p) and needs no borrow
  // beyond the top word.
  NXVT_GF25519 x, y;
  ScopedWipe wipeX(x), wipeY(y);
  NXVT_GF25519_Freeze(&x, a);
  NXVT_GF25519_Freeze(&y, b);
  uint32_t t[8];
  int64_t c = 0;
  for (int i = 0; i < 8; ++i) {
    c += static_cast<int64_t>(x.v[i]) + kP[i] - y.v[i];
    t[i] = static_cast<uint32_t>(c);
    c >>= 32;  // arithmetic shift: -1, 0 or 1
  }
  Canonical(t, 0);
  for (int i = 0; i < 8; ++i) out->v[i] = t[i];
  Wipe(t, sizeof t);
}

void NXVT_GF25519_Neg(NXVT_GF25519* out, const NXVT_GF25519* a) {
  const NXVT_GF25519 zero = {{0, 0, 0, 0, 0, 0, 0, 0}};
  NXVT_GF25519_Sub(out, &zero, a);
}

void NXVT_GF25519_Mul(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b) {
  uint32_t r[16];
  for (int i = 0; i < 16; ++i) r[i] = 0;
  for (int i = 0; i < 8; ++i) {
    uint64_t c = 0;
    for (int j = 0; j < 8; ++j) {
      // (2^32-1)^2 + 2 (2^32-1) = 2^64 - 1: the row accumulator cannot overflow.
      c += static_cast<uint64_t>(a->v[i]) * b->v[j] + r[i + j];
      r[i + j] = static_cast<uint32_t>(c);
      c >>= 32;
    }
    r[i + 8] = static_cast<uint32_t>(c);
  }
  // Fold the high 256 bits with 2^256 = 38; the carry out is at most 38.
  uint64_t c = 0;
  for (int i = 0; i < 8; ++i) {
    c += static_cast<uint64_t>(r[i]) + 38ull * r[i + 8];
    r[i] = static_cast<uint32_t>(c);
    c >>= 32;
  }
  Canonical(r, static_cast<uint32_t>(c));
  for (int i = 0; i < 8; ++i) out->v[i] = r[i];
  Wipe(r, sizeof r);
}

void NXVT_GF25519_Invert(NXVT_GF25519* out, const NXVT_GF25519* in) {
  // p - 2 = 2^255 - 21 = (2^250 - 1) * 2^5 + 11.
  NXVT_GF25519 t[2];  // z^(2^250 - 1), z^11
  ScopedWipe wipe(t);
  PowStem(&t[0], &t[1], in);
  SqrN(&t[0], &t[0], 5);
  NXVT_GF25519_Mul(out, &t[0], &t[1]);
}

int NXVT_GF25519_SqrtRatio(NXVT_GF25519* x, const NXVT_GF25519* u, const NXVT_GF25519* v) {
  // Candidate x = u v^3 (u v^7)^((p-5)/8); then v x^2 is u or -u when u/v is
  // a square, and x * sqrt(-1) is the root in the second case.
  struct {
    NXVT_GF25519 v3, v7, t, cand, cand2, chk, uu;
  } w;
  ScopedWipe wipe(w);
  NXVT_GF25519_Freeze(&w.uu, u);
  Sqr(&w.t, v);
  NXVT_GF25519_Mul(&w.v3, &w.t, v);        // v^3
  Sqr(&w.t, &w.v3);
  NXVT_GF25519_Mul(&w.v7, &w.t, v);        // v^7
  NXVT_GF25519_Mul(&w.t, &w.uu, &w.v7);    // u v^7
  PowP58(&w.t, &w.t);                      // (u v^7)^((p-5)/8)
  NXVT_GF25519_Mul(&w.t, &w.t, &w.v3);
  NXVT_GF25519_Mul(&w.cand, &w.t, &w.uu);  // u v^3 (u v^7)^((p-5)/8)
  NXVT_GF25519_Mul(&w.cand2, &w.cand, &NXVT_GF25519_SQRTM1);

  Sqr(&w.t, &w.cand);
  NXVT_GF25519_Mul(&w.chk, &w.t, v);
  uint32_t first = NXVT_GF25519_Equal(&w.chk, &w.uu);
  Sqr(&w.t, &w.cand2);
  NXVT_GF25519_Mul(&w.chk, &w.t, v);
  uint32_t second = NXVT_GF25519_Equal(&w.chk, &w.uu);

  // Prefer the first candidate when both satisfy the equation (u = 0).
  NXVT_GF25519_Select(x, &w.cand2, &w.cand, first);
  return (first | second) ? 0 : 1;
}

void NXVT_GF25519_FromBytes(NXVT_GF25519* out, const unsigned char in[32]) {
  // Assembled from bytes by shifts, which gives the little-endian reading on
  // either host byte order.
  for (int i = 0; i < 8; ++i) {
    out->v[i] = static_cast<uint32_t>(in[4 * i]) | (static_cast<uint32_t>(in[4 * i + 1]) << 8) |
                (static_cast<uint32_t>(in[4 * i + 2]) << 16) | (static_cast<uint32_t>(in[4 * i + 3]) << 24);
  }
}

void NXVT_GF25519_ToBytes(const NXVT_GF25519* in, unsigned char out[32]) {
  for (int i = 0; i < 8; ++i) {
    out[4 * i] = static_cast<unsigned char>(in->v[i]);
    out[4 * i + 1] = static_cast<unsigned char>(in->v[i] >> 8);
    out[4 * i + 2] = static_cast<unsigned char>(in->v[i] >> 16);
    out[4 * i + 3] = static_cast<unsigned char>(in->v[i] >> 24);
  }
}

void NXVT_GF25519_Select(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b, uint32_t flag) {
  uint32_t mask = 0u - (flag & 1u);
  for (int i = 0; i < 8; ++i) out->v[i] = (a->v[i] & ~mask) | (b->v[i] & mask);
}

uint32_t NXVT_GF25519_Equal(const NXVT_GF25519* a, const NXVT_GF25519* b) {
  uint32_t d = 0;
  for (int i = 0; i < 8; ++i) d |= a->v[i] ^ b->v[i];
  // d == 0 -> 1, else 0, without a branch.
  return 1u ^ static_cast<uint32_t>((static_cast<uint64_t>(d) + 0xffffffffull) >> 32);
}

uint32_t NXVT_GF25519_IsZero(const NXVT_GF25519* a) {
  const NXVT_GF25519 zero = {{0, 0, 0, 0, 0, 0, 0, 0}};
  return NXVT_GF25519_Equal(a, &zero);
}
