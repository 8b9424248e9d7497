#ifndef TOLVARIS_CRYPTO_AES_AES_VAES_H
#define TOLVARIS_CRYPTO_AES_AES_VAES_H

#include <cstddef>

#include "crypto/aes/ghash.h"

// AES with VAES on 512-bit vectors, four blocks to an instruction and
// sixteen in flight, over the byte schedule of crypto/aes/aes.h; and GCM's
// counter mode stitched with its GHASH (VPCLMULQDQ), so the AES and the
// carry-less units work on the same pass over the data. Callers check
// NXVT_CpuFeatures().vaes512 first. `rounds` is 10 or 14. Where a routine
// takes `out` and `in`, they are the same buffer or do not overlap.
void NXVT_AesVaes_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
void NXVT_AesVaes_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
// CBC decryption of `count` whole blocks in place; `iv` becomes the last
// ciphertext block.
void NXVT_AesVaes_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                             unsigned char* iv);
// out = in ^ E(ctr), E(ctr + 1), ... as NXVT_AesNi_Ctr.
void NXVT_AesVaes_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                      int rounds, unsigned char* counter, int counterBytes);
// out = in ^ E(ctr), E(inc32(ctr)), ... over `len` bytes, the counter
// advanced by one per block used; the ciphertext (out when encrypting, in
// when decrypting), zero-padded to whole blocks, is absorbed into `g`, which
// must have been set up on the vector path (kGhashVector).
void NXVT_AesVaes_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                      int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt);

#endif
