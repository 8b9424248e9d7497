#ifndef TOLVARIS_CRYPTO_HASH_KECCAK_H
#define TOLVARIS_CRYPTO_HASH_KECCAK_H

#include <cstdint>

// One-shot Keccak sponge with the original Keccak padding (0x01 ... 0x80).
// Returns 1 on success, 0 on failure (nothing written).
int NXVT_Keccak_Hash(int32_t capacityBits, unsigned char* out, const unsigned char* msg, int32_t msgLen,
                     int32_t outBits);
// Keccak-f[1600] on a 200-byte state, lanes little-endian.
void NXVT_Keccak_F1600(unsigned char state[200]);

#endif
