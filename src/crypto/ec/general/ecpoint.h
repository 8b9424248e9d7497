#ifndef TOLVARIS_CRYPTO_EC_GENERAL_ECPOINT_H
#define TOLVARIS_CRYPTO_EC_GENERAL_ECPOINT_H

#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/ec/general/ec_types.h"

// Window NAF recoding of width 4: one digit per bit, least significant first,
// each 0 or odd in -7..7. Scalars of up to kEcMaxScalarBits bits recode into
// at most kEcWnafDigits digits.
inline constexpr uint32_t kEcMaxScalarBits = 1023;
inline constexpr uint32_t kEcWnafDigits = 1024;

// Octet forms of NXVT_EC_Point_ToOctets.
inline constexpr int32_t kEcFormX = -1;             // X alone, 32 bytes
inline constexpr int32_t kEcFormUncompressed = 0;   // 04 || X || Y, 65 bytes
inline constexpr int32_t kEcFormCompressed = 1;     // 02/03 || X, 33 bytes

NXVT_EC_POINT* NXVT_EC_Point_New();
void NXVT_EC_Point_Free(NXVT_EC_POINT* P);
// A point owned by one scope; NXVT_EC_Point_Free wipes its coordinates, so
// one derived from a secret scalar leaves nothing behind on any path.
class OwnedPoint {
 public:
  OwnedPoint() : p_(NXVT_EC_Point_New()) {}
  ~OwnedPoint() { NXVT_EC_Point_Free(p_); }
  OwnedPoint(const OwnedPoint&) = delete;
  OwnedPoint& operator=(const OwnedPoint&) = delete;
  bool ok() const { return p_ != nullptr; }
  NXVT_EC_POINT* get() const { return p_; }

 private:
  NXVT_EC_POINT* p_;
};

// Copies the three coordinates (whole records). 0, or -1 for a null point.
int32_t NXVT_EC_Point_Copy(NXVT_EC_POINT* R, const NXVT_EC_POINT* P);
// Makes P the point at infinity (X = 0, Y = 1, Z = 0).
void NXVT_EC_Point_SetInfinity(NXVT_EC_POINT* P);
// 1 when P is the point at infinity (Z of value zero), else 0; 1 for null.
int32_t NXVT_EC_Point_IsInfinity(const NXVT_EC_POINT* P);
// Overwrites the three coordinates (points derived from secret scalars).
void NXVT_EC_Point_Wipe(NXVT_EC_POINT* P);

// The six point methods the curve object installs for both curves.
// 1 when P lies on the curve (Jacobian test Y^2 = X^3 + aXZ^4 + bZ^6), else 0.
int32_t NXVT_EC_Point_IsOnCurve(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
// R = P + Q. 0, or -1 for a missing argument or a failed field operation.
int32_t NXVT_EC_Point_Add(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q,
                          const NXVT_EC_CURVE* curve);
// R = P + Q for an affine Q (Z = 1).
int32_t NXVT_EC_Point_AddAffine(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q,
                                const NXVT_EC_CURVE* curve);
// R = 2P.
int32_t NXVT_EC_Point_Dbl(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
// R = -P.
int32_t NXVT_EC_Point_Neg(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
// Bit 0 of the affine Y; -1 for the point at infinity or a failed conversion.
int32_t NXVT_EC_Point_YParity(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
// Y from P's X (which must be below p) with the requested parity; Z = 1.
// -1 when X is out of range or X^3 + aX + b has no square root (P unchanged).
int32_t NXVT_EC_Point_Decompress(NXVT_EC_POINT* P, uint32_t parity, const NXVT_EC_CURVE* curve);

// 0 equal, 1 different, -1 when the curve or its order is missing. Two
// points at infinity are equal; infinity never equals a finite point.
int32_t NXVT_EC_Point_Cmp(const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q, const NXVT_EC_CURVE* curve);
// R = P in affine form (Z = 1, coordinates below p); the point at infinity
// stays at infinity. 0, or -1.
int32_t NXVT_EC_Point_ToAffine(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);

// Strict SEC 1 reading: 0x00 (exactly 1 byte) gives the point at infinity;
// 0x02/0x03 (exactly 1 + 32 bytes) a compressed point; 0x04/0x06/0x07
// (exactly 1 + 64 bytes) an uncompressed or hybrid point, which must lie on
// the curve and, when hybrid, match the parity bit. Coordinates must be below
// p. 0, or -1 with P unchanged.
int32_t NXVT_EC_Point_Decode(NXVT_EC_POINT* P, const uint8_t* octets, uint64_t len, const NXVT_EC_CURVE* curve);
// Writes P (any Z) in the given form. *len holds the capacity on entry and
// the written length on return. 0, or 1 for a missing argument, the point at
// infinity, a point off the curve, an unknown form or too small a capacity
// (nothing is written then).
int32_t NXVT_EC_Point_ToOctets(const NXVT_EC_POINT* P, int32_t form, uint8_t* out, uint32_t* len,
                               const NXVT_EC_CURVE* curve);

// Width-4 NAF of k into digits (room for kEcWnafDigits). Returns the number of
// digits (0 for k = 0), or -1 for a null argument or k above kEcMaxScalarBits.
int32_t NXVT_EC_ScalarToWNAF(int32_t* digits, const NXVT_BN* k);
// Fills slots 1, 2, 3, 5, 7 of both tables (16 slots each, those five
// allocated by the caller): P, 2P, 3P, 5P, 7P and their negations; all but
// slot 1 affine. 0, or -1 when a point operation fails.
int32_t NXVT_EC_PrecompOddMultiples(NXVT_EC_POINT** pos, NXVT_EC_POINT** neg, const NXVT_EC_POINT* P,
                                    const NXVT_EC_CURVE* curve);
// Drops the generator cache (frees its points, flag 0).
void NXVT_EC_Curve_DropCache(NXVT_EC_CURVE* curve);
// Builds the generator cache now if it is not there (0, or -1).
int32_t NXVT_EC_Curve_FillCache(NXVT_EC_CURVE* curve);

// R = k * P for a SECRET scalar k whose product is PUBLIC: a public key, the
// R of a signature. The multiplication runs in constant time in k (on
// secp256k1 and P-256, the dedicated arithmetic); the product then leaves it
// as public data, in Jacobian form. A product that is itself secret takes
// NXVT_EC_Point_MultShared instead. 0, or -1 for a missing argument, a point
// P off the curve, a scalar above kEcMaxScalarBits bits or a failed point
// operation.
int32_t NXVT_EC_Point_MultSecret(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P,
                                 NXVT_EC_CURVE* curve);
// The shared point k * P of a key agreement (ECDH, ECIES) for a SECRET scalar
// k and a public point P, on secp256k1 or P-256: the product is secret too,
// so it never leaves the constant-time code as a point. It is written in the
// given form (kEcFormCompressed: 02/03 by the parity of Y, then X;
// kEcFormUncompressed: 04 || X || Y) straight from the constant-time affine
// coordinates; whether it is the point at infinity is all that becomes
// public. *len holds the capacity on entry and the written length on return.
// 0; 1 when the product is the point at infinity (k is 0 modulo n, or P is
// the point at infinity), nothing written; -1 for a missing argument,
// another curve, a point P off the curve, a scalar above kEcMaxScalarBits
// bits, another form or too small a capacity (nothing written either).
int32_t NXVT_EC_Point_MultShared(const NXVT_BN* k, const NXVT_EC_POINT* P, int32_t form, uint8_t* out,
                                 uint32_t* len, NXVT_EC_CURVE* curve);
// R = k * P. Forwards to NXVT_EC_Point_MultSecret: constant time in k, the
// product public.
int32_t NXVT_EC_Point_Mult(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P, NXVT_EC_CURVE* curve);
// R = k * P for a PUBLIC scalar (the order check, tests): the variable-time
// window-NAF multiplication. It is also the reference the secret entry point
// must agree with.
int32_t NXVT_EC_Point_MultVartime(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P,
                                  NXVT_EC_CURVE* curve);
// R = u1 * Q + u2 * G (G the curve's generator) for public scalars
// (signature verification). 0, or -1 as for the multiplication.
int32_t NXVT_EC_Point_DualMult(NXVT_EC_POINT* R, const NXVT_BN* u1, const NXVT_EC_POINT* Q, const NXVT_BN* u2,
                               NXVT_EC_CURVE* curve);

#endif
