#ifndef TOLVARIS_CRYPTO_KDF_PBKDF2_H
#define TOLVARIS_CRYPTO_KDF_PBKDF2_H

#include <cstddef>
#include <cstdint>

#include "crypto/hash/digest.h"

// PBKDF2 with HMAC over a streaming descriptor (RFC 8018). The password is a
// NUL-terminated text. Returns 0, or -1 for a null output, password or salt,
// zero iterations, another descriptor or a password beyond 2^31-1 bytes.
int NXVT_PBKDF2_HMAC(unsigned char* out, uint32_t dkLen, const char* password, const unsigned char* salt,
                     uint32_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc);

// The same over explicit 64-bit sizes (a password given by length, salts and
// derived keys beyond 4 GiB as scrypt needs them).
int Pbkdf2Hmac(unsigned char* out, uint64_t dkLen, const unsigned char* password, size_t passwordLen,
               const unsigned char* salt, size_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc);

// PBKDF2 over hash id 1, 2 or 3 under the flat API's buffer convention.
// Returns 0, 220, 225, 230 or 235 with a trail entry.
int DoPBKDF2(HashId id, const char* password, const unsigned char* salt, uint32_t saltLen, uint32_t iterations,
             uint32_t dkLen, unsigned char* out, int32_t* outLen);

#endif
