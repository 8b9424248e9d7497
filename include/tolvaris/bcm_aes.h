#ifndef TOLVARIS_BCM_AES_H
#define TOLVARIS_BCM_AES_H

#include <stdint.h>

#include "tolvaris/export.h"

/* AES-128 / AES-256 (16- or 32-byte key).
 * mode: 1 ECB, 2 CBC, 3 CFB-128, 5 OFB, 9 CTR (128-bit counter), 11 GCM, 12 CCM.
 * padding (ECB and CBC only): 0 none, 1 PKCS#7.
 * *outLen holds the capacity of out on entry and the written length on
 * success; a null out stores the needed capacity and returns 0.
 * Returns 0, or a fixed nonzero code with the error trail filled. */

/* Modes 1, 2, 3, 5, 9; a 16-byte IV except for ECB. */
TOLVARIS_API int BCMGenAESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                  uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode,
                                  uint32_t padding, unsigned char* out, int* outLen);
TOLVARIS_API int BCMGenAESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                  uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode,
                                  uint32_t padding, unsigned char* out, int* outLen);

/* GCM (16-byte IV) or CCM (the IV is the 7..13-byte nonce); tag length 4..16
 * (even for CCM); aad must be non-null even when aadLen is 0.
 * Encryption writes the ciphertext followed by the tag (inLen + tagLen bytes);
 * decryption takes the ciphertext followed by the tag and needs a capacity of
 * inLen. On a tag mismatch no plaintext is left in out. */
TOLVARIS_API int BCMGenAESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                      uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode,
                                      const unsigned char* aad, uint32_t aadLen, int tagLen, unsigned char* out,
                                      int* outLen);
TOLVARIS_API int BCMGenAESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key,
                                      uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode,
                                      const unsigned char* aad, uint32_t aadLen, int tagLen, unsigned char* out,
                                      int* outLen);

#endif
