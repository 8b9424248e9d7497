#ifndef TOLVARIS_CRYPTO_EC_GENERAL_ECCURVE_H
#define TOLVARIS_CRYPTO_EC_GENERAL_ECCURVE_H

#include <cstdint>

#include "crypto/bignum/bignum.h"
#include "crypto/ec/general/ec_types.h"
#include "crypto/ec/general/ecpoint.h"

NXVT_EC_CURVE* NXVT_EC_Curve_New();
void NXVT_EC_Curve_Free(NXVT_EC_CURVE* curve);
// Loads the parameters of a curve id. 0, or -1 for a null curve or an
// unknown id (then id = -1 and the object is unusable).
int32_t NXVT_EC_SetCurve(NXVT_EC_CURVE* curve, int32_t id);
int32_t NXVT_ECDSA_SetCurve(NXVT_EC_CURVE* curve, uint32_t id);

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
