// GF(2^255 - 19) in five 51-bit limbs, the field under Ed25519's point
// arithmetic. Limbs may run over 51 bits between carries; each operation
// says what it accepts and returns. Nothing here branches on or indexes by
// a value: secrets may pass through every function but InvertVartime.
#ifndef TOLVARIS_CRYPTO_ED25519_ED25519_FIELD_H
#define TOLVARIS_CRYPTO_ED25519_ED25519_FIELD_H

#include <cstdint>

namespace ed25519_field {

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

// Sums and differences that only feed products skip the carry. Products
// accept limbs below 2^54 and return limbs below 2^51 + 2^13, so a lazy step
// on product outputs, or a lazy sum of two such steps, stays in range.
// AddLazy of two values below 2^53 gives limbs below 2^54.
[[gnu::always_inline]] inline void AddLazy(Fe& r, const Fe& a, const Fe& b) {
#pragma GCC unroll 5
  for (int i = 0; i < 5; ++i) r.v[i] = a.v[i] + b.v[i];
}

// SubLazy adds 2p, so b's limbs must stay below 2^52 - 38 (a product's
// output, or a carried value): a below 2^52 gives below 2^53.
[[gnu::always_inline]] inline void SubLazy(Fe& r, const Fe& a, const Fe& b) {
  r.v[0] = a.v[0] + 0xfffffffffffda - b.v[0];
#pragma GCC unroll 4
  for (int i = 1; i < 5; ++i) r.v[i] = a.v[i] + 0xffffffffffffe - b.v[i];
}

// Products carry limb by limb as each column is summed, which keeps one
// 128-bit sum live at a time instead of five. Inputs below 2^54: a column
// (at most 77 * 2^108) plus the previous carry stays below 2^115, the last
// carry below 2^59, so 19 times it still fits 64 bits.
[[gnu::always_inline]] inline void Mul(Fe& r, const Fe& a, const Fe& b) {
  const u64 a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
  const u64 b0 = b.v[0], b1 = b.v[1], b2 = b.v[2], b3 = b.v[3], b4 = b.v[4];
  const u64 b1_19 = 19 * b1, b2_19 = 19 * b2, b3_19 = 19 * b3, b4_19 = 19 * b4;
  u128 t = static_cast<u128>(a0) * b0 + static_cast<u128>(a1) * b4_19 + static_cast<u128>(a2) * b3_19 +
           static_cast<u128>(a3) * b2_19 + static_cast<u128>(a4) * b1_19;
  u64 r0 = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(a0) * b1 + static_cast<u128>(a1) * b0 + static_cast<u128>(a2) * b4_19 +
      static_cast<u128>(a3) * b3_19 + static_cast<u128>(a4) * b2_19;
  const u64 r1 = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(a0) * b2 + static_cast<u128>(a1) * b1 + static_cast<u128>(a2) * b0 +
      static_cast<u128>(a3) * b4_19 + static_cast<u128>(a4) * b3_19;
  r.v[2] = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(a0) * b3 + static_cast<u128>(a1) * b2 + static_cast<u128>(a2) * b1 +
      static_cast<u128>(a3) * b0 + static_cast<u128>(a4) * b4_19;
  r.v[3] = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(a0) * b4 + static_cast<u128>(a1) * b3 + static_cast<u128>(a2) * b2 +
      static_cast<u128>(a3) * b1 + static_cast<u128>(a4) * b0;
  r.v[4] = static_cast<u64>(t) & kMask51;
  r0 += 19 * static_cast<u64>(t >> 51);
  r.v[1] = r1 + (r0 >> 51);
  r.v[0] = r0 & kMask51;
}

[[gnu::always_inline]] inline void Sqr(Fe& r, const Fe& a) {
  const u64 a0 = a.v[0], a1 = a.v[1], a2 = a.v[2], a3 = a.v[3], a4 = a.v[4];
  const u64 d0 = 2 * a0, d1 = 2 * a1, d2 = 2 * a2, d3 = 2 * a3, a3_19 = 19 * a3, a4_19 = 19 * a4;
  u128 t = static_cast<u128>(a0) * a0 + static_cast<u128>(d1) * a4_19 + static_cast<u128>(d2) * a3_19;
  u64 r0 = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(d0) * a1 + static_cast<u128>(d2) * a4_19 + static_cast<u128>(a3) * a3_19;
  const u64 r1 = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(d0) * a2 + static_cast<u128>(a1) * a1 + static_cast<u128>(d3) * a4_19;
  r.v[2] = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(d0) * a3 + static_cast<u128>(d1) * a2 + static_cast<u128>(a4) * a4_19;
  r.v[3] = static_cast<u64>(t) & kMask51;
  t = (t >> 51) + static_cast<u128>(d0) * a4 + static_cast<u128>(d1) * a3 + static_cast<u128>(a2) * a2;
  r.v[4] = static_cast<u64>(t) & kMask51;
  r0 += 19 * static_cast<u64>(t >> 51);
  r.v[1] = r1 + (r0 >> 51);
  r.v[0] = r0 & kMask51;
}

inline void SqrN(Fe& r, const Fe& a, int n) {
  Sqr(r, a);
  for (int i = 1; i < n; ++i) Sqr(r, r);
}

[[gnu::always_inline]] inline void Cmov(Fe& r, const Fe& a, u64 mask) {
#pragma GCC unroll 5
  for (int i = 0; i < 5; ++i) r.v[i] = (a.v[i] & mask) | (r.v[i] & ~mask);
}

inline u64 EqMask(u64 a, u64 b) {
  const u64 x = a ^ b;
  return ((x | (0 - x)) >> 63) - 1;
}

// Low 255 bits of the 32 little-endian bytes (bit 255 ignored).
Fe FromBytes(const unsigned char in[32]);
// The canonical 32 bytes (value below p) of a value with limbs below 2^63.
void ToBytes(unsigned char out[32], const Fe& a);
// The canonical value (below p) as four little-endian 64-bit words, for
// limbs below 2^63, and back from words below 2^255.
void ToWords(u64 out[4], const Fe& a);
Fe FromWords(const u64 w[4]);
// 1/z; 0 for 0. Constant time in z.
void Invert(Fe& r, const Fe& z);
// The same for public values only.
void InvertVartime(Fe& r, const Fe& z);
// z^((p - 5) / 8) = z^(2^252 - 3).
void Pow22523(Fe& r, const Fe& z);

}  // namespace ed25519_field

#endif
