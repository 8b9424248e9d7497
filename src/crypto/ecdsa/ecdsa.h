#ifndef TOLVARIS_CRYPTO_ECDSA_ECDSA_H
#define TOLVARIS_CRYPTO_ECDSA_ECDSA_H

#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/hash/digest.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"

// ECDSA over secp256k1 and P-256 (SEC 1), with RFC 6979 nonces over
// HMAC-SHA-256. Every function returns 0 on success (for the verifiers: the
// signature is valid) and -1 on any failure unless said otherwise, and writes
// nothing to the error trail: the callers report.
//
// Signature layout written by the deterministic signer (ECDSASig): R and S
// each in a caller buffer of at least kEcdsaSigPartCap bytes whose u32 length
// holds the capacity on entry and the written length (32 or 33) on return.
// The value is big-endian in 32 bytes, zero-filled in front; when the first
// byte has its top bit set a 0x00 byte goes in front (length 33). The
// recovery id is the parity of k*G's Y, inverted when S was replaced by
// n - S: always 0 or 1 (the X >= n case of public-key recovery is not
// marked).

inline constexpr uint32_t kEcdsaSigPartCap = 33;
inline constexpr uint32_t kEcdsaHashLen = 32;
inline constexpr uint32_t kEcdsaPrivLen = 32;
inline constexpr uint32_t kEcCompPubLen = 33;

// r and s of the table operations; the caller allocates and owns both.
struct NXVT_ECDSA_SIG {
  NXVT_BN* r;
  NXVT_BN* s;
};

// Deterministic signing of a hash. The hash is taken as its first 32 bytes,
// a shorter one zero-filled at the end (the form the front ends pass). keepS
// nonzero leaves S as computed; 0 applies the low-S rule (S > n/2 becomes
// n - S). privLen must be 32 and the key must not be 0 modulo n. recid may be
// null.
int32_t NXVT_ECDSA_SignRFC6979(const uint8_t* hash, uint32_t hashLen, uint32_t keepS, const uint8_t* priv,
                               uint32_t privLen, const NXVT_PKC* pkc, uint8_t* R, uint32_t* RLen, uint8_t* S,
                               uint32_t* SLen, uint32_t* recid);

// The candidate source of the deterministic signer: 32 bytes for candidate
// `counter` (0, 1, ...), arguments as for NXVT_ECDSA_RFC6979Nonce.
using NXVT_ECDSA_NonceFn = int32_t (*)(uint8_t* k, uint32_t* kLen, const uint8_t* priv, uint32_t privLen,
                                       const uint8_t* hash, uint32_t hashLen, uint32_t counter);

// NXVT_ECDSA_SignRFC6979 with another candidate source (tests). A candidate
// is used as it stands (one at or above n acts as k mod n, one that is 0
// modulo n fails); r = 0 or s = 0 moves on to the next candidate.
int32_t NXVT_ECDSA_SignWithNonce(NXVT_ECDSA_NonceFn nonce, const uint8_t* hash, uint32_t hashLen, uint32_t keepS,
                                 const uint8_t* priv, uint32_t privLen, const NXVT_PKC* pkc, uint8_t* R,
                                 uint32_t* RLen, uint8_t* S, uint32_t* SLen, uint32_t* recid);

// RFC 6979 3.2 candidate `counter` (0, 1, ...) over HMAC-SHA-256 with
// qlen 256: x = the private key (shorter keys right-aligned in 32 zero
// bytes, longer ones cut to their first 32), h = the 32 raw hash bytes.
// *kLen holds the capacity (at least 32) and becomes 32. -1 for a null
// pointer, a hash length other than 32 or a short capacity.
int32_t NXVT_ECDSA_RFC6979Nonce(uint8_t* k, uint32_t* kLen, const uint8_t* priv, uint32_t privLen,
                                const uint8_t* hash, uint32_t hashLen, uint32_t counter);

// Writes r, s (s possibly replaced by n - s in place) and the recovery id
// from k*G in the ECDSASig layout; R and S are cleared over their stated
// capacities first. -1 for a missing argument, a capacity below 33 for R or S
// (nothing written), or r or s wider than 32 bytes.
int32_t NXVT_ECDSA_FormatSig(const NXVT_EC_POINT* kG, const NXVT_BN* r, NXVT_BN* s, uint32_t keepS,
                             const NXVT_EC_CURVE* curve, uint8_t* R, uint32_t* RLen, uint8_t* S, uint32_t* SLen,
                             uint32_t* recid);

// Verifies R, S (1..33 bytes each, big-endian; 1 <= r, s <= n - 1) over a
// 32-byte hash under a 33-byte compressed key (02/03, X below p, on the
// curve). 0 valid, -1 invalid or bad arguments.
int32_t NXVT_ECDSA_VerifyRS(const uint8_t* R, uint32_t RLen, const uint8_t* S, uint32_t SLen, const uint8_t* hash,
                            uint32_t hashLen, const uint8_t* pub, uint32_t pubLen, const NXVT_PKC* pkc);

// Compressed public key (33 bytes) of a 32-byte private key that is not 0
// modulo n. *outLen holds the capacity (at least 33) and becomes 33.
int32_t NXVT_EC_GetCompPub(const uint8_t* priv, uint32_t privLen, const NXVT_PKC* pkc, uint8_t* out,
                           uint32_t* outLen);

// The 32-byte Y of a compressed key (02/03 and X). *outLen holds the
// capacity (at least 32) and becomes 32.
int32_t NXVT_EC_GetPubY(const uint8_t* pub, uint32_t pubLen, const NXVT_PKC* pkc, uint8_t* out,
                        uint32_t* outLen);

// Table operations (random nonce; no low-S, no recovery id).
// r and s of the digest of msg under d (1 <= d mod n). 0, -1, or the random
// source's failure code.
int32_t NXVT_ECDSA_Sign(NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_BN* d,
                        NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc);
// 0 valid, -1 invalid (r or s out of 1..n-1, Q not a finite curve point,
// degenerate result), or the double multiplication's failure code.
int32_t NXVT_ECDSA_Verify(const NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_EC_PUBKEY* pub,
                          NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc);
// New key pair into the caller's d and pub (pub->Q allocated). On failure d
// and Q are wiped and stay the caller's to free; the failure code is
// returned.
int32_t NXVT_ECDSA_GenKeyPair(NXVT_BN* d, NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve);
// NXVT_EC_CheckKeyPair of (d or null, pub, curve); -1 for a null pub or curve.
int32_t NXVT_ECDSA_CheckKeyPair(const NXVT_BN* d, const NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve);

// A public-key record with a new point, or null. Release with
// NXVT_EC_KeyPair_Free.
NXVT_EC_PUBKEY* NXVT_EC_PubKey_New();
// Frees the point and the record (public data: nothing is wiped). Null does
// nothing.
void NXVT_EC_KeyPair_Free(NXVT_EC_PUBKEY* pub);

#endif
