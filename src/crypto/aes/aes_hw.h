#ifndef TOLVARIS_CRYPTO_AES_AES_HW_H
#define TOLVARIS_CRYPTO_AES_AES_HW_H

#include <cstddef>

#include "crypto/aes/ghash.h"

// AES-NI routines over the byte schedule of crypto/aes/aes.h (encryption round
// keys, then those of the equivalent inverse cipher, exactly what the
// instructions take). Callers check NXVT_CpuFeatures().aesni first.
// `rounds` is 10 or 14; data is transformed in place.
void NXVT_AesNi_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
void NXVT_AesNi_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds);
// CBC encryption from `in` to `out` (the same buffer, or buffers that do not
// overlap); `iv` becomes the last ciphertext block.
void NXVT_AesNi_CbcEncrypt(unsigned char* out, const unsigned char* in, size_t count, const unsigned char* schedule,
                           int rounds, unsigned char* iv);
void NXVT_AesNi_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv);
// out = in ^ E(ctr), E(ctr + 1), ... over `len` bytes (the same buffer, or
// buffers that do not overlap); the counter is the whole block as a
// big-endian number (counterBytes 16) or its last four bytes (counterBytes
// 4, GCM), and is advanced by one per block used.
void NXVT_AesNi_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, int counterBytes);
// GCM's middle in one pass: out = in ^ E(ctr), E(inc32(ctr)), ... over
// `len` bytes, the counter advanced by one per block used, and the
// ciphertext (out when encrypting, in when decrypting), zero-padded to whole
// blocks, absorbed into `g`, which must have been set up on the PCLMULQDQ
// path (kGhashClmul); the caller checks NXVT_CpuFeatures().pclmul too.
void NXVT_AesNi_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt);
// CCM's payload pass: out = in ^ E(ctr), E(inc32(ctr)), ... over `len`
// bytes (the same buffer, or buffers that do not overlap), the counter
// advanced by one per block used; `mac`, the CBC-MAC chaining value, absorbs
// the `headCount` whole blocks at `head`, then the plaintext (in when
// encrypting, out when decrypting) zero-padded to whole blocks.
void NXVT_AesNi_Ccm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, unsigned char* mac, const unsigned char* head,
                    size_t headCount, bool decrypt);
// The whole schedule of crypto/aes/aes.h (both halves) from a 16-byte key
// (rounds 10) or a 32-byte key (rounds 14).
void NXVT_AesNi_ExpandKey(unsigned char* schedule, const unsigned char* key, int rounds);

#endif
