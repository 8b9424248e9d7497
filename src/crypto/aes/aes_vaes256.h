#ifndef TOLVARIS_CRYPTO_AES_AES_VAES256_H
#define TOLVARIS_CRYPTO_AES_AES_VAES256_H

#include <cstddef>

#include "crypto/aes/ghash.h"

// AES with VAES on 256-bit vectors, two blocks to an instruction and sixteen
// in flight, for processors with VAES and VPCLMULQDQ but without AVX-512
// (where crypto/aes/aes_vaes.h cannot run); and GCM's counter mode stitched
// with its GHASH on 256-bit VPCLMULQDQ. Callers check NXVT_CpuFeatures()
// .vaes and .vpclmul first. `rounds` is 10 or 14. Where a routine takes
// `out` and `in`, they are the same buffer or do not overlap.
void NXVT_AesVaes256_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
void NXVT_AesVaes256_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
// CBC decryption of `count` whole blocks in place; `iv` becomes the last
// ciphertext block.
void NXVT_AesVaes256_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                                unsigned char* iv);
// out = in ^ E(ctr), E(ctr + 1), ... as NXVT_AesNi_Ctr.
void NXVT_AesVaes256_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                         int rounds, unsigned char* counter, int counterBytes);
// out = in ^ E(ctr), E(inc32(ctr)), ... over `len` bytes, the counter
// advanced by one per block used; the ciphertext (out when encrypting, in
// when decrypting), zero-padded to whole blocks, is absorbed into `g`, which
// must have been set up on the 256-bit vector path (kGhashVector256).
void NXVT_AesVaes256_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                         int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt);

#endif
