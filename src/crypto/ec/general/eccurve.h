#ifndef TOLVARIS_CRYPTO_EC_GENERAL_ECCURVE_H
#define TOLVARIS_CRYPTO_EC_GENERAL_ECCURVE_H

#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/ec/general/ecpoint.h"

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

NXVT_EC_CURVE* NXVT_EC_Curve_New();
void NXVT_EC_Curve_Free(NXVT_EC_CURVE* curve);
// Loads the parameters of a curve id. 0, or -1 for a null curve or an
// unknown id (then id = -1 and the object is unusable).
int32_t NXVT_EC_SetCurve(NXVT_EC_CURVE* curve, int32_t id);
int32_t NXVT_ECDSA_SetCurve(NXVT_EC_CURVE* curve, uint32_t id);
// Drops the generator cache (frees its points, flag 0).
void NXVT_EC_Curve_DropCache(NXVT_EC_CURVE* curve);
// Builds the generator cache now if it is not there (0, or -1).
int32_t NXVT_EC_Curve_FillCache(NXVT_EC_CURVE* curve);

struct NXVT_ECDSA_SIG;
struct NXVT_EC_PUBKEY;
struct NXVT_DIGEST_DESC;

// Method table of the signing object. Nothing in the system calls through
// it; the signing code calls the ECDSA functions directly. Slots left null
// here are filled by no one.
struct NXVT_PKC_METHOD {
  int32_t (*sign)(NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_BN* d,
                  NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc);
  int32_t (*verify)(const NXVT_ECDSA_SIG* sig, const uint8_t* msg, uint32_t msgLen, const NXVT_EC_PUBKEY* pub,
                    NXVT_EC_CURVE* curve, const NXVT_DIGEST_DESC* desc);
  int32_t (*setCurve)(NXVT_EC_CURVE* curve, uint32_t id);
  int32_t (*genKeyPair)(NXVT_BN* d, NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve);
  int32_t (*checkKeyPair)(const NXVT_BN* d, const NXVT_EC_PUBKEY* pub, NXVT_EC_CURVE* curve);
};

extern const NXVT_PKC_METHOD NXVT_ECDSA_METHOD;

// The signing object: the ECDSA method table and an owned curve.
struct NXVT_PKC {
  const NXVT_PKC_METHOD* meth;
  NXVT_EC_CURVE* curve;
};

// A signing object with an empty (not loaded) curve, or null.
NXVT_PKC* NXVT_PKC_New();
// Frees the curve (when the table is the ECDSA table) and the object. Null
// does nothing.
void NXVT_PKC_Free(NXVT_PKC* pkc);
// A signing object bound to the curve of a curve code (1: P-256, else
// secp256k1), or null. Release with NXVT_PKC_Free.
NXVT_PKC* GetPKCParam(BCMCurveCode code);

// The signing object of a curve code shared by the whole process: built by
// the first caller, its generator cache filled before anyone else sees it,
// and never changed afterwards, so any number of threads use it at once.
// Null when it could not be built. Never freed: do not pass it to
// NXVT_PKC_Free.
NXVT_PKC* SharedPKC(BCMCurveCode code);

// The signing object of one call: the shared one of its curve code, so an
// export builds no curve of its own. get() is null when it could not be
// built.
class ScopedPkc {
 public:
  explicit ScopedPkc(BCMCurveCode code) : pkc_(SharedPKC(code)) {}
  ScopedPkc(const ScopedPkc&) = delete;
  ScopedPkc& operator=(const ScopedPkc&) = delete;
  NXVT_PKC* get() const { return pkc_; }
  NXVT_EC_CURVE* curve() const { return pkc_ != nullptr ? pkc_->curve : nullptr; }

 private:
  NXVT_PKC* pkc_;
};

// Public key: field size in bits (the bit length of p) and the owned point.
struct NXVT_EC_PUBKEY {
  int32_t fieldBits;
  NXVT_EC_POINT* Q;
};

// Key-pair record of the generate and check operations (nothing owned).
struct NXVT_EC_KEYPAIR {
  NXVT_BN* d;  // may be null for a check of a public key alone
  NXVT_EC_PUBKEY* pub;
  NXVT_EC_CURVE* curve;
};

// 0 when d is usable as a private key on the curve (d mod n != 0), else -1
// (also for a null argument or a curve without order).
int32_t NXVT_EC_CheckPrivKey(const NXVT_BN* d, const NXVT_EC_CURVE* curve);

// Draws d in 1..n-1 from the random source and sets Q = d*G (affine).
// 0, -1, or the random source's failure code.
int32_t NXVT_EC_GenKeyPair(NXVT_EC_KEYPAIR* keypair);
// 0 when Q is a valid point of order n and, when d is given, d is a valid
// private key (d mod n != 0) with d*G = Q; -1 otherwise.
int32_t NXVT_EC_CheckKeyPair(const NXVT_EC_KEYPAIR* keypair);

#endif
