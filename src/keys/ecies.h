#ifndef TOLVARIS_KEYS_ECIES_H
#define TOLVARIS_KEYS_ECIES_H

#include <cstdint>

#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"

// ECIES on secp256k1 and P-256: ECDH between a one-time scalar and the
// recipient's key, key material = SHA-512(04 || X || Y) of the shared point
// (bytes 0..31 the AES-256 key, 32..63 the HMAC-SHA256 key), AES-256-CBC with
// PKCS#7 padding and an HMAC-SHA256 tag over everything before it.
//
// ECIESMsg layout:
//   0        16  IV (random)
//   16       33  ephemeral public key, compressed (02/03 || X)
//   49       c   ciphertext, c = 16 * (plaintext length / 16 + 1)
//   49 + c   32  tag over bytes 0 .. 49 + c - 1
// Total c + 81; the shortest message (empty plaintext) is 97 bytes.
//
// Every function returns 0 or its fixed code and appends its location entry
// to the error trail on failure.
inline constexpr int32_t kEciesIvLen = 16;
inline constexpr int32_t kEciesEphPubOffset = 16;
inline constexpr int32_t kEciesEphPubLen = 33;
inline constexpr int32_t kEciesCipherOffset = 49;
inline constexpr int32_t kEciesTagLen = 32;
inline constexpr int32_t kEciesOverhead = 81;
inline constexpr int32_t kEciesMinMsgLen = 97;
inline constexpr int32_t kEciesScalarLen = 32;
inline constexpr int32_t kEciesKeyMaterialLen = 64;

// Room ECIES_Encrypt asks for: 16 * (plainLen / 16) + 113, 16 bytes more than
// the c + 81 it writes. -1 for a negative length or a bound beyond INT32_MAX.
int64_t EciesEncryptBound(int64_t plainLen);

// Key material of the scalar (32 bytes, big-endian, taken modulo n) and the
// public key (33 bytes compressed or 65 uncompressed). With an IV buffer
// (ivLen 16) the IV is first drawn from the random source. The public key,
// and the shared point, must be finite points on the curve.
// 154: bad arguments or the random source failed; 166: the key does not
// decode to a finite curve point, the multiplication failed or the shared
// point is the point at infinity.
int ECIES_KDF(const uint8_t* priv, int32_t privLen, const uint8_t* pub, int32_t pubLen, uint8_t* iv, int32_t ivLen,
              uint8_t* keyMaterial, const void* unused, NXVT_EC_CURVE* curve);

// Encrypts to the recipient key with the caller's one-time scalar. A null
// `out` stores EciesEncryptBound in *outLen and returns 0; otherwise *outLen
// holds the capacity and becomes the length written. 212 arguments (negative
// length included), 224 capacity or no curve, 232 key agreement (IV included),
// 240 ephemeral public key, 248 AES.
int ECIES_Encrypt(const uint8_t* plain, int32_t plainLen, const uint8_t* ephPriv, int32_t ephPrivLen,
                  const uint8_t* pub, int32_t pubLen, uint8_t* out, int32_t* outLen, const NXVT_PKC* pkc);

// Decrypts an ECIESMsg with the recipient's private key. A null `out` stores
// the message length in *outLen and returns 0; otherwise the capacity must
// hold the message length, and *outLen becomes the plaintext length. 295
// arguments (a message under 97 bytes included), 306 capacity or no curve, 315
// key agreement (an ephemeral key that is no curve point included), 325 tag
// mismatch (nothing is decrypted), 331 AES (bad length or padding).
int ECIES_Decrypt(const uint8_t* msg, int32_t msgLen, const uint8_t* priv, int32_t privLen, uint8_t* out,
                  int32_t* outLen, const NXVT_PKC* pkc);

#endif
