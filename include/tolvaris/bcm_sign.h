#ifndef TOLVARIS_BCM_SIGN_H
#define TOLVARIS_BCM_SIGN_H

#include <stdint.h>

#include "tolvaris/export.h"

/* ECDSA with RFC 6979 nonces (HMAC-SHA-256) on secp256k1 (curve 0, and any
 * value but 1) or NIST P-256 (curve 1).
 * hashId: 0 = msg is the hash value itself (at most 32 bytes), 1 SHA-256,
 * 3 RIPEMD-160, 10 Keccak-224, 11 Keccak-256; a digest shorter than 32 bytes
 * is signed as its zero-filled 32-byte form.
 * keepS: 0 applies the low-S rule (S above n/2 becomes n - S), nonzero keeps
 * S as computed.
 * R and S are written big-endian in 32 bytes, with a 0x00 in front (33 bytes)
 * when the top bit is set; each buffer needs a capacity of 33. *sigRLen and
 * *sigSLen hold the capacities on entry and the written lengths on return; a
 * null sigR or sigS sets both lengths to 33 and returns 0.
 * *recid receives the recovery id, 0 or 1: the parity of k*G's Y (inverted
 * when S was replaced).
 * Returns 0, or a fixed nonzero code with the error trail filled. */
TOLVARIS_API int BCMGenSignature(uint32_t curve, const unsigned char* pri, int priLen, uint32_t hashId,
                                 const unsigned char* msg, int msgLen, uint32_t keepS, unsigned char* sigR,
                                 int* sigRLen, unsigned char* sigS, int* sigSLen, uint32_t* recid);

/* 0 when (R, S) is a valid signature over the message's hash value under
 * the 33-byte compressed public key (02/03 prefix); R and S are 1 to 33
 * bytes with 1 <= r, s <= n - 1. High S values verify too. */
TOLVARIS_API int BCMVerifySignature(uint32_t curve, const unsigned char* pub, int pubLen, const unsigned char* sigR,
                                    int sigRLen, const unsigned char* sigS, int sigSLen, uint32_t hashId,
                                    const unsigned char* msg, int msgLen);

/* Ed25519 (RFC 8032) with a 32-byte private key. ctxLen below 1 means no
 * context; a context is at most 255 bytes. prehash 1 selects Ed25519ph.
 * The 64-byte signature goes to sig; a null sig sets *sigLen to 64. */
TOLVARIS_API int BCMGenSignature_ED(const unsigned char* pri, int priLen, const unsigned char* msg, int msgLen,
                                    const unsigned char* ctx, int ctxLen, unsigned char prehash, unsigned char* sig,
                                    int* sigLen);

/* 0 when the 64-byte signature verifies under the 32-byte public key. */
TOLVARIS_API int BCMVerifySignature_ED(const unsigned char* sig, int sigLen, const unsigned char* pub, int pubLen,
                                       const unsigned char* msg, int msgLen, const unsigned char* ctx, int ctxLen,
                                       unsigned char prehash);

#endif
