// Plain GF(2^8) arithmetic and S-boxes written out from FIPS 197, for tests
// that check the AES tables and round state from outside.
#ifndef TOLVARIS_TESTS_AES_TESTING_H
#define TOLVARIS_TESTS_AES_TESTING_H

#include <cstdint>

namespace aest {

// Multiplication in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
inline uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  for (; b; b >>= 1) {
    if (b & 1) r ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
  }
  return r;
}

// The S-box (inverse in GF(2^8), then the affine map) and its inverse.
struct SBoxes {
  uint8_t s[256], inv[256];
  SBoxes() {
    for (int x = 0; x < 256; ++x) {
      uint8_t v = 0;
      for (int y = 1; y < 256 && x != 0; ++y)
        if (GfMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y)) == 1) v = static_cast<uint8_t>(y);
      uint8_t out = v, rot = v;
      for (int i = 0; i < 4; ++i) {
        rot = static_cast<uint8_t>((rot << 1) | (rot >> 7));
        out ^= rot;
      }
      s[x] = out ^ 0x63;
      inv[s[x]] = static_cast<uint8_t>(x);
    }
  }
};

}  // namespace aest

#endif
