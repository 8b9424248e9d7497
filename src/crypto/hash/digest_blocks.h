#ifndef TOLVARIS_CRYPTO_HASH_DIGEST_BLOCKS_H
#define TOLVARIS_CRYPTO_HASH_DIGEST_BLOCKS_H

#include <cstddef>
#include <cstdint>

// Compression of whole blocks straight from the input, for the streaming
// layer, HMAC and PBKDF2. The message schedule is wiped once per call, not
// once per block. SHA-256 takes SHA-NI, and SHA-512 an AVX2 or AVX-512
// build of its schedule beside BMI rounds, when the processor has them.
void NXVT_SHA256_Blocks(uint32_t* state, const unsigned char* data, size_t blocks);  // 64-byte blocks
void NXVT_SHA512_Blocks(uint64_t* state, const unsigned char* data, size_t blocks);  // 128-byte blocks
void NXVT_RIPEMD160_Blocks(uint32_t* state, const unsigned char* data, size_t blocks);  // 64-byte blocks

#endif
