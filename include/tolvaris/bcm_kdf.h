#ifndef TOLVARIS_BCM_KDF_H
#define TOLVARIS_BCM_KDF_H

#include <stdint.h>

#include "tolvaris/export.h"

/* Fills out with count random bytes (count at most 2048). There is no size
 * query: out must hold count bytes. */
TOLVARIS_API int BCMGenEntropy(uint32_t count, unsigned char* out);
/* HMAC of data under key over a hash id (1 SHA-256, 2 SHA-512, 3 RIPEMD-160,
 * 10..13 Keccak-224..512). A null out asks for the MAC length. */
TOLVARIS_API int BCMGenHMac(uint32_t hashId, const unsigned char* key, uint32_t keyLen, const unsigned char* data,
                            uint32_t dataLen, unsigned char* out, int* outLen);
/* PBKDF2-HMAC over hash id 1, 2 or 3; the password is a NUL-terminated text.
 * Iterations and dkLen must be positive as signed numbers. A null out asks
 * for dkLen. */
TOLVARIS_API int BCMGenPBKDF2(uint32_t hashId, const char* password, const unsigned char* salt, uint32_t saltLen,
                              uint32_t iterations, uint32_t dkLen, unsigned char* out, int* outLen);
/* scrypt (RFC 7914) with N a power of two below 2^(r+16) and r*p below 2^30.
 * A null out asks for dkLen. */
TOLVARIS_API int BCMGenScrypt(const char* password, const unsigned char* salt, int saltLen, int N, int r, int p,
                              uint32_t dkLen, unsigned char* out, int* outLen);

#endif
