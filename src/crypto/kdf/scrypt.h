#ifndef TOLVARIS_CRYPTO_KDF_SCRYPT_H
#define TOLVARIS_CRYPTO_KDF_SCRYPT_H

#include <cstdint>

// scrypt (RFC 7914) with PBKDF2-HMAC-SHA256 on both sides. The password is a
// NUL-terminated text. Returns 0, 172 (bad parameters), 177 (capacity), 182
// (work memory could not be had), 188 or 198 (the two PBKDF2 steps), with a
// trail entry.
int DoScrypt(const char* password, const unsigned char* salt, int32_t saltLen, int32_t N, int32_t r, int32_t p,
             uint32_t dkLen, unsigned char* out, int32_t* outLen);

// The building blocks on byte strings (32-bit words little-endian).
// ROMix and BlockMix need work memory and return 0, or -1 when it cannot be
// had (sizes that do not fit 64 bits included); the block is then unchanged.
int ScryptROMix(unsigned char* block, uint32_t N, uint32_t r);
int ScryptBlockMix(unsigned char* block, uint32_t r);
void ScryptSalsa208(unsigned char block[64]);

#endif
