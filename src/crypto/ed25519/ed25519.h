#ifndef TOLVARIS_CRYPTO_ED25519_ED25519_H
#define TOLVARIS_CRYPTO_ED25519_ED25519_H

#include <cstddef>
#include <cstdint>

#include "crypto/ed25519/ed25519_point.h"
#include "crypto/hash/digest.h"

// Ed25519 signatures (RFC 8032): plain Ed25519, Ed25519ctx and Ed25519ph.
// Keys are 32 bytes, signatures R || S are 64 bytes; scalars and field
// elements are little-endian. Every entry point returns 0 on success and
// NXVT_ED25519_FAIL on any failure, without writing to the error trail (the
// callers report).
inline constexpr int NXVT_ED25519_FAIL = -500;
inline constexpr size_t NXVT_ED25519_KEY_LEN = 32;
inline constexpr size_t NXVT_ED25519_SIG_LEN = 64;
inline constexpr size_t NXVT_ED25519_MAX_CTX_LEN = 255;

// Public key A = encode([s]B) of a 32-byte private key.
int NXVT_Ed25519_GetPub(const unsigned char* priv, unsigned char* pub);

// Signs `msg` into the 64-byte `sig`.
// - pub: null, or the caller's copy of the public key. The key is always
//   derived from `priv`; a supplied key that differs from it is refused.
// - ctx/ctxLen: null with length 0 for no context; a context is at most 255
//   bytes (longer ones are refused). A non-null context (even empty) or a
//   prehash flag of 1 selects the dom2 prefix (Ed25519ctx / Ed25519ph).
// - prehash: 0 (message as given) or 1 (message replaced by its SHA-512);
//   other values are refused.
// - msg may be null only when msgLen is 0.
int NXVT_Ed25519_Sign(unsigned char* sig, const unsigned char* priv, const unsigned char* pub,
                      const unsigned char* msg, size_t msgLen, const unsigned char* ctx, size_t ctxLen,
                      uint8_t prehash);

// Verifies a 64-byte signature under a 32-byte public key; arguments as for
// signing. 0 for a valid signature (S < L, A decodes, encode([S]B - [k]A) == R).
int NXVT_Ed25519_Verify(const unsigned char* sig, const unsigned char* pub, const unsigned char* msg,
                        size_t msgLen, const unsigned char* ctx, size_t ctxLen, uint8_t prehash);

// ---- Building blocks ----

// out (32 bytes) = in (64 bytes, little-endian) mod L. out may alias in.
void NXVT_Ed25519_ReduceL(unsigned char* out, const unsigned char* in);
// out = a + b over 32 bytes; returns the carry out of the top byte (0 or 1).
uint32_t NXVT_Ed25519_ScalarAdd(unsigned char* out, const unsigned char* a, const unsigned char* b);
// n-byte by n-byte product; the low and the high n bytes go to lo and hi,
// each optional (null to drop). lo/hi must not alias a or b.
void NXVT_Ed25519_ScalarMul(unsigned char* lo, unsigned char* hi, const unsigned char* a, const unsigned char* b,
                            size_t n);
// out = flag ? b : a over n bytes, by masks; flag is 0 or 1.
void NXVT_Ed25519_CondCopy(unsigned char* out, const unsigned char* a, const unsigned char* b, size_t n,
                           uint32_t flag);

// ---- Work areas ----
// Everything secret that signing and key derivation compute lives in these
// areas; the entry points above fill one on their own stack and wipe it before
// returning. The *Work variants take the area from the caller and leave it
// zeroed on every path.

struct NXVT_ED_SIGN_WORK {
  unsigned char h[64];     // SHA-512(private key): clamped scalar s || prefix
  unsigned char a[32];     // public key derived from s
  unsigned char ph[64];    // SHA-512 of the message (prehash)
  unsigned char r[64];     // nonce digest, then r mod L
  unsigned char k[64];     // challenge digest, then k mod L
  unsigned char ks[64];    // k * s, then reduced
  unsigned char sum[32];   // r + (k s mod L)
  unsigned char diff[32];  // sum - L
  NXVT_DIGEST_CTX dctx;
};

int NXVT_Ed25519_GetPubWork(NXVT_ED_SIGN_WORK* w, const unsigned char* priv, unsigned char* pub);
int NXVT_Ed25519_SignWork(NXVT_ED_SIGN_WORK* w, unsigned char* sig, const unsigned char* priv,
                          const unsigned char* pub, const unsigned char* msg, size_t msgLen,
                          const unsigned char* ctx, size_t ctxLen, uint8_t prehash);

#endif
