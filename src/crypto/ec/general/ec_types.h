// The records the general curve code shares: a point and a curve object.
// The point functions (ecpoint.h) and the curve object (eccurve.h) both use
// them; the curve object also holds the generator's table of points.
#ifndef TOLVARIS_CRYPTO_EC_GENERAL_EC_TYPES_H
#define TOLVARIS_CRYPTO_EC_GENERAL_EC_TYPES_H

#include <cstdint>

#include "crypto/bignum/bignum.h"

// A point in Jacobian coordinates: affine (X / Z^2, Y / Z^3) modulo p. Z = 1
// is affine; Z = 0 is the point at infinity whatever X and Y hold. The point
// owns its three records. A new point is X = 0, Y = 1, Z = 0.
struct NXVT_EC_POINT {
  NXVT_BN* X;
  NXVT_BN* Y;
  NXVT_BN* Z;
};

inline constexpr int32_t NXVT_EC_CURVE_SECP256K1 = 0x03210100;
inline constexpr int32_t NXVT_EC_CURVE_P256 = 0x07110100;

// Curve code of the flat API: 1 selects P-256, every other value secp256k1.
using BCMCurveCode = uint32_t;

inline constexpr int kEcTableSlots = 16;

using NXVT_EC_FieldBinFn = int32_t (*)(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b);
using NXVT_EC_FieldSqrFn = int32_t (*)(NXVT_BN* r, const NXVT_BN* a);

// Domain parameters of one curve, its point and field methods, and a cache of
// odd multiples of the generator built on first use. Serves one thread at a
// time.
struct NXVT_EC_CURVE {
  int32_t id;         // NXVT_EC_CURVE_SECP256K1, NXVT_EC_CURVE_P256, -1 after an unknown id
  uint32_t cofactor;  // 1 for both curves
  NXVT_BN* p;
  NXVT_BN* a;
  NXVT_BN* b;
  NXVT_BN* n;
  NXVT_EC_POINT* G;   // affine once loaded
  int32_t aKind;      // -3 when a = p - 3, 0 for a = 0, -1 while not loaded

  int32_t (*isOnCurve)(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
  int32_t (*pointAdd)(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q,
                      const NXVT_EC_CURVE* curve);
  int32_t (*pointDbl)(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
  int32_t (*pointNeg)(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
  int32_t (*yParity)(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve);
  int32_t (*decompress)(NXVT_EC_POINT* P, uint32_t parity, const NXVT_EC_CURVE* curve);

  NXVT_EC_FieldBinFn fieldAdd;
  NXVT_EC_FieldBinFn fieldSub;
  NXVT_EC_FieldBinFn fieldMul;
  NXVT_EC_FieldSqrFn fieldSqr;
  int32_t (*fieldInv)(NXVT_BN* r, const NXVT_BN* a, const NXVT_EC_CURVE* curve);  // null: NXVT_BN_ModInv

  // Generator cache: slots 1, 3, 5, 7 hold G, 3G, 5G, 7G (and negations),
  // slot 2 holds 2G; other slots are null.
  NXVT_EC_POINT* gPos[kEcTableSlots];
  NXVT_EC_POINT* gNeg[kEcTableSlots];
  uint32_t cachePresent;
};

struct Ec256Curve;

// The dedicated arithmetic of a loaded curve object, or null (unknown id).
const Ec256Curve* Ec256_Of(const NXVT_EC_CURVE* curve);

#endif
