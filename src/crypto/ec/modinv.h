// Inverses modulo an odd 256-bit modulus by divsteps (Bernstein and Yang,
// "Fast constant-time gcd computation and modular inversion"): the modulus f
// and the value g shrink by steps that look only at their low bits, so 62
// steps at a time run on one machine word and leave a 2x2 matrix, which is
// then applied to the full f, g and to the pair d, e that tracks the inverse.
//
// The constant-time variant always runs 12 batches of 62 steps: 744 steps,
// above the 741 that the paper proves enough for any input of 256 bits
// (floor((49 d + 57) / 17) for d = 256), and every step is made of masks.
// The variable-time variant skips runs of zeros and stops once g is zero; it
// is for public values only.
#ifndef TOLVARIS_CRYPTO_EC_MODINV_H
#define TOLVARIS_CRYPTO_EC_MODINV_H

#include <cstdint>

// An odd modulus m below 2^256 as signed 62-bit limbs (four of 62 bits and a
// signed top one), its inverse modulo 2^62, and the factor each result is
// multiplied by (1 for plain residues; R^2 mod m for Montgomery residues
// a R, whose inverse a^-1 R is (a R)^-1 R^2).
struct ModInvModulus {
  int64_t m[5];
  uint64_t mInv62;
  int64_t scale[5];
};

namespace modinv_detail {

constexpr uint64_t kMask62 = (uint64_t{1} << 62) - 1;

constexpr void ToLimbs62(int64_t out[5], const uint64_t a[4]) {
  out[0] = static_cast<int64_t>(a[0] & kMask62);
  out[1] = static_cast<int64_t>(((a[0] >> 62) | (a[1] << 2)) & kMask62);
  out[2] = static_cast<int64_t>(((a[1] >> 60) | (a[2] << 4)) & kMask62);
  out[3] = static_cast<int64_t>(((a[2] >> 58) | (a[3] << 6)) & kMask62);
  out[4] = static_cast<int64_t>(a[3] >> 56);
}

}  // namespace modinv_detail

// m odd, scale below m, both as little-endian 64-bit limbs.
constexpr ModInvModulus MakeModInvModulus(const uint64_t (&m)[4], const uint64_t (&scale)[4]) {
  ModInvModulus r{};
  modinv_detail::ToLimbs62(r.m, m);
  modinv_detail::ToLimbs62(r.scale, scale);
  uint64_t x = 1;  // Newton's iteration doubles the correct low bits
  for (int i = 0; i < 6; ++i) x *= 2 - m[0] * x;
  r.mInv62 = x & modinv_detail::kMask62;
  return r;
}

// r = a^-1 * scale mod m for a below m and prime to m (0 when a = 0; the
// curve moduli are prime, so every other value qualifies). Constant time in
// a: no branch, loop bound or memory index depends on it.
void ModInv256(uint64_t r[4], const uint64_t a[4], const ModInvModulus& mod);

// The same result in variable time: public values only.
void ModInv256Vartime(uint64_t r[4], const uint64_t a[4], const ModInvModulus& mod);

#endif
