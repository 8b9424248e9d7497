#ifndef TOLVARIS_CRYPTO_ED25519_FE25519_H
#define TOLVARIS_CRYPTO_ED25519_FE25519_H

#include <cstdint>

// An element of the field of p = 2^255 - 19: eight 32-bit words, least
// significant first. Every arithmetic operation leaves its result canonical
// (below p), so elements compare word by word and the lowest bit is the
// parity of the value. Only FromBytes can produce a non-canonical element;
// every operation accepts any 256-bit input and still returns a canonical one.
struct NXVT_GF25519 {
  uint32_t v[8];
};

// Outputs may alias inputs. None of these fail and none branch on data.
void NXVT_GF25519_Add(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b);
void NXVT_GF25519_Sub(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b);
void NXVT_GF25519_Mul(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b);
// p - a, canonical: the negation of 0 is 0 (not p).
void NXVT_GF25519_Neg(NXVT_GF25519* out, const NXVT_GF25519* a);

// Canonical value of any 256-bit input (values >= p, up to 2^256 - 1, are reduced).
void NXVT_GF25519_Freeze(NXVT_GF25519* out, const NXVT_GF25519* in);

// in^(p-2); zero maps to zero.
void NXVT_GF25519_Invert(NXVT_GF25519* out, const NXVT_GF25519* in);

// A square root x of u/v: returns 0 and x when one exists, nonzero otherwise
// (x is then unspecified). Of the two roots, which one is returned is unspecified.
int NXVT_GF25519_SqrtRatio(NXVT_GF25519* x, const NXVT_GF25519* u, const NXVT_GF25519* v);

// 32 bytes little-endian. FromBytes keeps the full 256-bit value, bit 255
// included; the caller clears that bit and checks the range where it matters.
void NXVT_GF25519_FromBytes(NXVT_GF25519* out, const unsigned char in[32]);
void NXVT_GF25519_ToBytes(const NXVT_GF25519* in, unsigned char out[32]);

// out = flag ? b : a, by masks; flag must be 0 or 1. out may alias a or b.
void NXVT_GF25519_Select(NXVT_GF25519* out, const NXVT_GF25519* a, const NXVT_GF25519* b, uint32_t flag);

// 1 when a == b (both canonical), else 0; no early exit.
uint32_t NXVT_GF25519_Equal(const NXVT_GF25519* a, const NXVT_GF25519* b);

// 1 when a is zero (canonical input), else 0.
uint32_t NXVT_GF25519_IsZero(const NXVT_GF25519* a);

// The square root of -1, 2^((p-1)/4).
extern const NXVT_GF25519 NXVT_GF25519_SQRTM1;

#endif
