#ifndef TOLVARIS_CRYPTO_EC_GENERAL_ECFIELD_H
#define TOLVARIS_CRYPTO_EC_GENERAL_ECFIELD_H

#include <cstdint>

#include "crypto/bignum/bignum.h"

// Arithmetic modulo the two curve primes:
//   P-256:     p = 2^256 - 2^224 + 2^192 + 2^96 - 1
//   secp256k1: p = 2^256 - 2^32 - 977
// Every method accepts operands of any value (an operand at or above p is
// reduced first) and returns a canonical result in [0, p), normalised.
// r may alias any operand. Results: 0, or -1 for a null argument.

extern const NXVT_BN NXVT_EC_P256_PRIME;
extern const NXVT_BN NXVT_EC_SECP256K1_PRIME;

int32_t NXVT_EC_P256_ModAdd(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_P256_ModSub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_P256_ModMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_P256_ModSqr(NXVT_BN* r, const NXVT_BN* a);

int32_t NXVT_EC_Secp256k1_ModAdd(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_Secp256k1_ModSub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_Secp256k1_ModMul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
int32_t NXVT_EC_Secp256k1_ModSqr(NXVT_BN* r, const NXVT_BN* a);

// r = c mod p for a double-length product c (of any count; the fast path
// covers values below 2^512, larger ones fall back to long division).
// r may be c. The result is canonical: below p.
int32_t NXVT_EC_P256_Reduce(NXVT_BN* r, const NXVT_BN* c);
int32_t NXVT_EC_Secp256k1_Reduce(NXVT_BN* r, const NXVT_BN* c);

#endif
