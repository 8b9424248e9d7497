#ifndef TOLVARIS_CRYPTO_AES_CIPHER_H
#define TOLVARIS_CRYPTO_AES_CIPHER_H

#include <cstdint>

#include "crypto/aes/aes.h"

// Mode identifiers shared with the exports, the JSON actions and the bindings.
using AESMode = uint32_t;
inline constexpr AESMode kAesModeEcb = 1;
inline constexpr AESMode kAesModeCbc = 2;
inline constexpr AESMode kAesModeCfb = 3;  // CFB-128
inline constexpr AESMode kAesModeOfb = 5;
inline constexpr AESMode kAesModeCtr = 9;  // full 128-bit counter
inline constexpr AESMode kAesModeGcm = 11;
inline constexpr AESMode kAesModeCcm = 12;

// Padding of ECB and CBC; ignored by the other modes.
using AESPadding = uint32_t;
inline constexpr AESPadding kAesNoPadding = 0;
inline constexpr AESPadding kAesPkcs7Padding = 1;

// Tag lengths the authenticated modes take (CCM: even lengths only).
inline constexpr uint32_t kAesMinTagLen = 4;
inline constexpr uint32_t kAesMaxTagLen = 16;
// Nonce lengths of CCM; GCM takes a 16-byte IV through the front ends.
inline constexpr uint32_t kCcmMinNonceLen = 7;
inline constexpr uint32_t kCcmMaxNonceLen = 13;
inline constexpr uint32_t kGcmIvLen = 16;

// A cipher with its expanded key; lives for one front-end call.
struct NXVT_CIPHER_CTX {
  const NXVT_CIPHER_DESC* desc;
  unsigned char key[32];
  uint32_t keyLen;          // 0 until a key is set
  unsigned char* schedule;  // descriptor's schedule size; null until a key is set
};

// Per-call mode parameters. `iv` is working state for the chaining modes.
struct NXVT_CIPHER_PARAM {
  uint8_t mode;
  unsigned char iv[16];
  const NXVT_CIPHER_DESC* desc;
};

NXVT_CIPHER_CTX* NXVT_Cipher_New(const NXVT_CIPHER_DESC* desc);
// 0, or -1 for a null argument, a descriptor other than the context's, a key
// length the cipher does not take (16 for AES-128, 32 for AES-256) or no memory.
int NXVT_Cipher_SetKey(NXVT_CIPHER_CTX* ctx, const unsigned char* key, uint32_t keyLen,
                       const NXVT_CIPHER_DESC* desc);
// Wipes the schedule and key copy, then frees; null is ignored.
void NXVT_Cipher_Free(NXVT_CIPHER_CTX* ctx);

// Mode dispatch. `outLen` holds the capacity of `out` on entry and the
// written length on success; in and out may be the same buffer. 0 on
// success, non-zero on failure.
int NXVT_Cipher_Encrypt(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                        NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint8_t padding);
int NXVT_Cipher_Decrypt(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                        NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint8_t padding);
// Output: ciphertext followed by the tag (capacity inLen + tagLen).
int NXVT_Cipher_EncryptAuth(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                            const unsigned char* aad, uint32_t aadLen, const unsigned char* iv, uint32_t ivLen,
                            NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint32_t tagLen);
// Input: ciphertext followed by the tag (capacity inLen). On a tag mismatch
// no plaintext is left in `out`.
int NXVT_Cipher_DecryptAuth(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                            const unsigned char* aad, uint32_t aadLen, const unsigned char* iv, uint32_t ivLen,
                            NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint32_t tagLen);

// AES front ends: argument checks, cipher by key length (16: AES-128,
// 32: AES-256), one context per call, on the stack. `outLen` holds the capacity of `out` on
// entry and the written length on success; a null `out` stores the output
// size (an upper bound) and returns 0. Failures are recorded in the error
// trail under the front end's name.
//
// AESEncrypt / AESDecrypt: modes 1, 2, 3, 5, 9 with a 16-byte IV (none for
// ECB); padding 0 or 1 for ECB and CBC. Codes: encrypt 23 pointer / key
// length, 28 mode, 33 padding, 38 IV, 55 cipher failure (capacity included);
// decrypt 81, 86, 91, 96, 113.
int AESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
               const unsigned char* iv, int32_t ivLen, AESMode mode, AESPadding padding, unsigned char* out,
               uint32_t* outLen);
int AESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
               const unsigned char* iv, int32_t ivLen, AESMode mode, AESPadding padding, unsigned char* out,
               uint32_t* outLen);
// AESEncryptAuth / AESDecryptAuth: GCM (mode 11, 16-byte IV) or CCM (mode
// 12, the IV is the 7..13-byte nonce); tag lengths 4..16 (CCM: even). The
// AAD pointer must be non-null even when empty. Decryption input is the
// ciphertext followed by the tag. Codes: encrypt 141 pointer / key length /
// tag length above 16, 146 mode, 151 IV, 181 encryption (capacity, a tag
// length below 4 or negative, an odd CCM tag and a payload beyond the CCM
// length field included); decrypt 208, 213, 218, 248 (tag mismatch
// included). The context lives on the stack, so no call fails for memory
// (the codes 170 / 237 for the context and 175 / 242 for the key once
// reported that).
int AESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                   const unsigned char* iv, int32_t ivLen, AESMode mode, const unsigned char* aad, uint32_t aadLen,
                   int32_t tagLen, unsigned char* out, uint32_t* outLen);
int AESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                   const unsigned char* iv, int32_t ivLen, AESMode mode, const unsigned char* aad, uint32_t aadLen,
                   int32_t tagLen, unsigned char* out, uint32_t* outLen);

#endif
