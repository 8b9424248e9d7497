#ifndef TOLVARIS_CRYPTO_AES_GHASH_H
#define TOLVARIS_CRYPTO_AES_GHASH_H

#include <cstddef>
#include <cstdint>

// GHASH (SP 800-38D) under one hash subkey H: Y = (Y ^ X) * H in GF(2^128)
// for each 16-byte block X. With VPCLMULQDQ on 512-bit vectors sixteen
// blocks share one reduction (the layout of crypto/aes/ghash_vector.h);
// with PCLMULQDQ eight do (crypto/aes/ghash_clmul.h); the portable path
// multiplies with integer multiplications on spaced-out bits, so no path has
// a table or branch indexed by H or the data.
// Without AVX-512, VPCLMULQDQ on 256-bit vectors takes the same layout and
// run length (crypto/aes/ghash_vector256.h).
enum : uint8_t { kGhashPortable = 0, kGhashClmul = 1, kGhashVector = 2, kGhashVector256 = 3 };

struct NXVT_GHASH {
  // vector (either width): H^16..H^1 times x^-1, reflected; PCLMULQDQ:
  // H^8..H^1 times x^-1, reflected, then their Karatsuba middle terms;
  // portable: H.
  alignas(64) unsigned char key[256];
  unsigned char y[16];  // running value, in the standard's byte order
  uint8_t path;         // chosen when the key was set
};

void NXVT_GHash_Init(NXVT_GHASH* g, const unsigned char* h);
// Absorbs `blocks` whole blocks.
void NXVT_GHash_Blocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks);
// Absorbs `len` bytes: the whole blocks, then the rest zero-padded to a block.
void NXVT_GHash_Padded(NXVT_GHASH* g, const unsigned char* data, size_t len);
// Wipes key powers and running value.
void NXVT_GHash_Wipe(NXVT_GHASH* g);

#endif
