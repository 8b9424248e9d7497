#ifndef TOLVARIS_BCM_ECIES_H
#define TOLVARIS_BCM_ECIES_H

#include <stdint.h>

#include "tolvaris/export.h"

/* ECIES and ECDH on secp256k1 (curve 0, and any value but 1) or NIST P-256
 * (curve 1). Outputs follow the library's buffer convention: *len holds the
 * capacity on entry and the written length on return; a null output buffer
 * asks for the needed length. Each export returns 0, or a fixed nonzero code
 * with the error trail filled.
 *
 * ECIES message: IV (16 random bytes) || ephemeral public key, compressed
 * (33) || AES-256-CBC ciphertext with PKCS#7 padding (16 * (n / 16 + 1) for n
 * plaintext bytes) || HMAC-SHA256 tag (32) over everything before it. Keys:
 * SHA-512(04 || X || Y) of the shared point; bytes 0..31 AES, 32..63 HMAC. */

/* Encrypts plain to the recipient key pub (33 bytes compressed or 65
 * uncompressed) with the caller's one-time 32-byte scalar ephPri. Needs room
 * for 16 * (plainLen / 16) + 113 bytes (the size query's answer); writes
 * 16 bytes less (16 * (plainLen / 16 + 1) + 81). Codes: 2028 bad or missing
 * argument, 2042 capacity or curve, 2049 encryption failed (a recipient key
 * that is no curve point, a failed random source included). */
TOLVARIS_API int BCMGenECIESEncrypt(uint32_t curve, const unsigned char* plain, int plainLen,
                                    const unsigned char* ephPri, int ephPriLen, const unsigned char* pub, int pubLen,
                                    unsigned char* out, int* outLen);

/* Decrypts an ECIES message with the recipient's 32-byte private key. Needs
 * a capacity of msgLen (the size query's answer); *outLen becomes the
 * plaintext length. Codes: 2077 bad or missing argument, 2091 capacity or
 * curve, 2097 decryption failed (message under 97 bytes, wrong key or tag,
 * bad padding). */
TOLVARIS_API int BCMGenECIESDecrypt(uint32_t curve, const unsigned char* msg, int msgLen, const unsigned char* pri,
                                    int priLen, unsigned char* out, int* outLen);

/* A fresh key pair: private key (32 bytes, 1 <= d <= n - 1) and compressed
 * public key (33 bytes). A null pri or pub sets *priLen = 32, *pubLen = 33.
 * Codes: 2118 null length pointer, 2124 capacity, 2129 curve, 2136 random
 * source (the trail holds BCMGenEntropy's entries), 2144 point arithmetic.
 * The random draw goes through BCMGenEntropy, whose name the trail keeps. */
TOLVARIS_API int BCMGenECDHKeyPair(uint32_t curve, unsigned char* pri, int* priLen, unsigned char* pub,
                                   int* pubLen);

/* The shared point pri * pub as 33 compressed bytes (not hashed). pri is 32
 * bytes, pub 33 or 65 bytes. A null out sets *outLen = 33. Codes: 2180 bad or
 * missing argument, 2186 capacity, 2191 curve, 2198 the key does not decode,
 * 2201 the key is no point of the curve ("peerPub is invalid"), 2208 point
 * arithmetic, 2213 the shared point is the point at infinity. The trail holds
 * messages only. */
TOLVARIS_API int BCMGenECDHComputeShareKey(uint32_t curve, const unsigned char* pri, int priLen,
                                           const unsigned char* pub, int pubLen, unsigned char* out, int* outLen);

#endif
