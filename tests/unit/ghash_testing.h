// GF(2^128) arithmetic of GCM written out bit by bit from SP 800-38D, for
// tests that model GHASH or pick a GCM counter from outside the library.
#ifndef TOLVARIS_TESTS_GHASH_TESTING_H
#define TOLVARIS_TESTS_GHASH_TESTING_H

#include <cstring>

#include "tv_test.h"

namespace ghst {

// x * y with the right-shift algorithm (bit 0 of byte 0 is the coefficient
// of x^0); z may be x or y.
inline void Mul(unsigned char* z, const unsigned char* x, const unsigned char* y) {
  unsigned char acc[16] = {0}, v[16], xs[16];
  memcpy(v, y, 16);
  memcpy(xs, x, 16);
  for (int bit = 0; bit < 128; ++bit) {
    if ((xs[bit / 8] >> (7 - bit % 8)) & 1) {
      for (int i = 0; i < 16; ++i) acc[i] ^= v[i];
    }
    const bool lsb = v[15] & 1;
    for (int i = 15; i > 0; --i) v[i] = static_cast<unsigned char>((v[i] >> 1) | (v[i - 1] << 7));
    v[0] >>= 1;
    if (lsb) v[0] ^= 0xE1;
  }
  memcpy(z, acc, 16);
}

// h^-1 = h^(2^128 - 2), the product of h^(2^i) for i = 1..127; h nonzero.
inline tvt::Bytes Inverse(const tvt::Bytes& h) {
  tvt::Bytes inv(16, 0), power = h;
  inv[0] = 0x80;  // one
  for (int i = 1; i < 128; ++i) {
    Mul(power.data(), power.data(), power.data());
    Mul(inv.data(), inv.data(), power.data());
  }
  return inv;
}

}  // namespace ghst

#endif
