#ifndef TOLVARIS_CRYPTO_ED25519_ED25519_POINT_H
#define TOLVARIS_CRYPTO_ED25519_ED25519_POINT_H

// Points of the twisted Edwards curve -x^2 + y^2 = 1 + d x^2 y^2 of Ed25519
// in extended coordinates, over the radix-2^32 field: encoding, decoding,
// the group law and multiplication by a scalar. Nothing here hashes, so the
// add-ons compile this module in to check the public keys they are given.

#include "crypto/ed25519/fe25519.h"

// A point in extended coordinates: x = X/Z, y = Y/Z, x*y = T/Z.
struct NXVT_ED_POINT {
  NXVT_GF25519 X, Y, Z, T;
};

// The group order L = 2^252 + 27742317777372353535851937790883648493,
// little-endian, with a zero 33rd byte for 33-byte reduction steps.
extern const unsigned char NXVT_ED25519_ORDER[33];

// out = [scalar]P for a 32-byte little-endian scalar (all 256 bits are used);
// the same operations run for every scalar. out may alias p.
void NXVT_Ed25519_ScalarMult(NXVT_ED_POINT* out, const unsigned char* scalar, const NXVT_ED_POINT* p);
// out = [scalar]B for the base point B.
void NXVT_Ed25519_ScalarMultBase(NXVT_ED_POINT* out, const unsigned char* scalar);
// out = p + q, out = 2p (complete formulas; out may alias the inputs).
void NXVT_Ed25519_PointAdd(NXVT_ED_POINT* out, const NXVT_ED_POINT* p, const NXVT_ED_POINT* q);
void NXVT_Ed25519_PointDbl(NXVT_ED_POINT* out, const NXVT_ED_POINT* p);
// out = -p (x and T negated; the coordinates stay canonical).
void NXVT_Ed25519_PointNeg(NXVT_ED_POINT* out, const NXVT_ED_POINT* p);
// Normalises p in place to Z = 1, then writes its 32-byte encoding.
void NXVT_Ed25519_PointEncode(unsigned char* out, NXVT_ED_POINT* p);
// Decodes 32 bytes: 0 on success, nonzero for y >= p, no square root, or
// x = 0 with the sign bit set.
int NXVT_Ed25519_PointDecode(NXVT_ED_POINT* out, const unsigned char* in);
// The neutral element (0, 1, 1, 0) and the base point B.
void NXVT_Ed25519_PointZero(NXVT_ED_POINT* out);
void NXVT_Ed25519_PointBase(NXVT_ED_POINT* out);

// 1 when the 32 bytes are the canonical encoding of a point of order L, the
// only public keys a signature can be checked under without ambiguity; 0 for
// anything else: an encoding that does not decode, the identity and the
// other seven points of small order (anyone can sign for those), and a point
// with a small-order component ([L]A is not the identity). Every key derived
// from a private key passes. For public keys: the time depends on the input.
int NXVT_Ed25519_IsPrimeOrderPoint(const unsigned char* in);

struct NXVT_ED_MULT_WORK {
  NXVT_ED_POINT p;  // copy of the input point
  NXVT_ED_POINT q;  // accumulator
  NXVT_ED_POINT t;  // q + p
};

#endif
