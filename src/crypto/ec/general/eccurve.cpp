#include "crypto/ec/general/eccurve.h"

#include <atomic>
#include <new>

#include "crypto/ct_check.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/general/ecfield.h"
#include "platform/memory.h"
#include "trail/trail.h"
#include "crypto/random.h"

namespace {

struct CurveHex {
  const char* p;
  const char* b;  // null: b = 7 (secp256k1)
  const char* n;
  const char* gx;
  const char* gy;
};

const CurveHex kSecp256k1Hex = {
    "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f",
    nullptr,
    "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
    "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
    "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8",
};

const CurveHex kP256Hex = {
    "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff",
    "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b",
    "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
    "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296",
    "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5",
};

void InstallPointMethods(NXVT_EC_CURVE* c) {
  c->isOnCurve = NXVT_EC_Point_IsOnCurve;
  c->pointAdd = NXVT_EC_Point_Add;
  c->pointDbl = NXVT_EC_Point_Dbl;
  c->pointNeg = NXVT_EC_Point_Neg;
  c->yParity = NXVT_EC_Point_YParity;
  c->decompress = NXVT_EC_Point_Decompress;
  c->fieldInv = nullptr;
}

bool LoadCommon(NXVT_EC_CURVE* c, const CurveHex& h) {
  if (NXVT_BN_FromHex(c->p, h.p) != 0) return false;
  if (NXVT_BN_FromHex(c->n, h.n) != 0) return false;
  if (NXVT_BN_FromHex(c->G->X, h.gx) != 0) return false;
  if (NXVT_BN_FromHex(c->G->Y, h.gy) != 0) return false;
  c->G->Z->words[0] = 1;
  c->G->Z->count = 1;
  c->cofactor = 1;
  return true;
}

bool LoadSecp256k1(NXVT_EC_CURVE* c) {
  if (!LoadCommon(c, kSecp256k1Hex)) return false;
  c->a->count = 0;
  c->b->words[0] = 7;
  c->b->count = 1;
  c->aKind = 0;
  InstallPointMethods(c);
  c->fieldAdd = NXVT_EC_Secp256k1_ModAdd;
  c->fieldSub = NXVT_EC_Secp256k1_ModSub;
  c->fieldMul = NXVT_EC_Secp256k1_ModMul;
  c->fieldSqr = NXVT_EC_Secp256k1_ModSqr;
  return true;
}

bool LoadP256(NXVT_EC_CURVE* c) {
  if (!LoadCommon(c, kP256Hex)) return false;
  if (NXVT_BN_SubWord(c->a, c->p, 3) != 1) return false;
  if (NXVT_BN_FromHex(c->b, kP256Hex.b) != 0) return false;
  c->aKind = -3;
  InstallPointMethods(c);
  c->fieldAdd = NXVT_EC_P256_ModAdd;
  c->fieldSub = NXVT_EC_P256_ModSub;
  c->fieldMul = NXVT_EC_P256_ModMul;
  c->fieldSqr = NXVT_EC_P256_ModSqr;
  return true;
}

bool CurveHasOrder(const NXVT_EC_CURVE* c) { return c && c->id != -1 && c->n && c->G && c->p; }

}  // namespace

const NXVT_PKC_METHOD NXVT_ECDSA_METHOD = {nullptr, nullptr, NXVT_ECDSA_SetCurve, nullptr, nullptr};

NXVT_EC_CURVE* NXVT_EC_Curve_New() {
  NXVT_EC_CURVE* c = new (std::nothrow) NXVT_EC_CURVE();
  if (!c) return NoMemory<NXVT_EC_CURVE*>(nullptr);
  c->id = -1;
  c->aKind = -1;
  c->p = new (std::nothrow) NXVT_BN();
  c->a = new (std::nothrow) NXVT_BN();
  c->b = new (std::nothrow) NXVT_BN();
  c->n = new (std::nothrow) NXVT_BN();
  c->G = NXVT_EC_Point_New();
  if (!c->p || !c->a || !c->b || !c->n || !c->G) {
    NXVT_EC_Curve_Free(c);
    return NoMemory<NXVT_EC_CURVE*>(nullptr);
  }
  return c;
}

void NXVT_EC_Curve_Free(NXVT_EC_CURVE* curve) {
  if (!curve) return;
  delete curve->p;
  delete curve->a;
  delete curve->b;
  delete curve->n;
  NXVT_EC_Point_Free(curve->G);
  NXVT_EC_Curve_DropCache(curve);
  delete curve;
}

int32_t NXVT_EC_SetCurve(NXVT_EC_CURVE* curve, int32_t id) {
  if (!curve || !curve->p || !curve->a || !curve->b || !curve->n || !curve->G) return -1;
  curve->id = id;
  curve->aKind = -1;
  NXVT_EC_Curve_DropCache(curve);
  bool ok = false;
  if (id == NXVT_EC_CURVE_SECP256K1) {
    ok = LoadSecp256k1(curve);
  } else if (id == NXVT_EC_CURVE_P256) {
    ok = LoadP256(curve);
  }
  if (!ok) {
    curve->id = -1;
    return -1;
  }
  return 0;
}

int32_t NXVT_ECDSA_SetCurve(NXVT_EC_CURVE* curve, uint32_t id) {
  if (!curve) return -1;
  return NXVT_EC_SetCurve(curve, static_cast<int32_t>(id));
}

NXVT_PKC* NXVT_PKC_New() {
  NXVT_PKC* pkc = new (std::nothrow) NXVT_PKC{nullptr, nullptr};
  if (!pkc) return NoMemory<NXVT_PKC*>(nullptr);
  pkc->curve = NXVT_EC_Curve_New();
  if (!pkc->curve) {
    delete pkc;
    return nullptr;
  }
  pkc->meth = &NXVT_ECDSA_METHOD;
  return pkc;
}

void NXVT_PKC_Free(NXVT_PKC* pkc) {
  if (!pkc) return;
  // The ECDSA table is the only one; its objects own their curve.
  NXVT_EC_Curve_Free(pkc->curve);
  delete pkc;
}

NXVT_PKC* GetPKCParam(BCMCurveCode code) {
  NXVT_PKC* pkc = NXVT_PKC_New();
  if (!pkc) return nullptr;
  const int32_t id = code == 1 ? NXVT_EC_CURVE_P256 : NXVT_EC_CURVE_SECP256K1;
  if (NXVT_EC_SetCurve(pkc->curve, id) != 0) {
    NXVT_PKC_Free(pkc);
    return nullptr;
  }
  return pkc;
}

namespace {

NXVT_PKC* BuildShared(BCMCurveCode code) {
  NXVT_PKC* pkc = GetPKCParam(code);
  if (pkc != nullptr && NXVT_EC_Curve_FillCache(pkc->curve) != 0) {
    NXVT_PKC_Free(pkc);
    return nullptr;
  }
  return pkc;
}

}  // namespace

NXVT_PKC* SharedPKC(BCMCurveCode code) {
  // Published once per curve; a failed build is retried by the next caller,
  // and of two concurrent builds the first one published stays.
  static std::atomic<NXVT_PKC*> slots[2];
  std::atomic<NXVT_PKC*>& slot = slots[code == 1 ? 1 : 0];
  NXVT_PKC* pkc = slot.load(std::memory_order_acquire);
  if (pkc != nullptr) return pkc;
  NXVT_PKC* built = BuildShared(code);
  if (built == nullptr) return nullptr;
  if (slot.compare_exchange_strong(pkc, built, std::memory_order_acq_rel, std::memory_order_acquire)) return built;
  NXVT_PKC_Free(built);
  return pkc;
}

int32_t NXVT_EC_CheckPrivKey(const NXVT_BN* d, const NXVT_EC_CURVE* curve) {
  if (!d || !CurveHasOrder(curve) || d->count > NXVT_BN_MAX_WORDS) return -1;
  const Ec256Curve* c = Ec256_Of(curve);
  if (c != nullptr && d->count <= 8) {
    // Every 32-byte key takes this constant-time path; only the answer is
    // public.
    Ec256Scalar k;
    Ec256_ScalarFromWords(c, &k, d->words, d->count);
    uint64_t zero = Ec256_ScalarIsZero(&k);
    Wipe(&k, sizeof k);
    CtDeclassify(&zero, sizeof zero);  // a key 0 mod n is refused: the call's result
    return zero ? -1 : 0;
  }
  NXVT_BN t = *d;
  ScopedWipe wipeT(t);
  if (NXVT_BN_Mod(&t, curve->n) != 0) return -1;
  return NXVT_BN_IsZero(&t) ? -1 : 0;
}

int32_t NXVT_EC_GenKeyPair(NXVT_EC_KEYPAIR* keypair) {
  if (!keypair || !CurveHasOrder(keypair->curve)) return -1;
  NXVT_EC_CURVE* curve = keypair->curve;
  if (!keypair->d || !keypair->pub || !keypair->pub->Q) return -1;
  const uint32_t bits = NXVT_BN_BitLen(curve->n);
  const uint32_t nbytes = (bits + 7) / 8;
  if (bits < 2 || nbytes * 8 > kRngMaxRequestBits) return -1;
  SecureBytes draw(nbytes);
  const int rc = NXVT_RNG_GetBytes(draw.data(), nbytes * 8);
  if (rc != 0) return rc;
  // d = (t mod (n - 1)) + 1 lies in 1 .. n - 1.
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr || nbytes != 32) return -1;
  struct {
    Ec256Scalar k;
    uint8_t b[32];
  } w;
  ScopedWipe wipeW(w);
  Ec256_ScalarFromDraw(c, &w.k, draw.data());
  Wipe(draw.data(), draw.size());
  Ec256_ScalarToBytes(w.b, &w.k);
  NXVT_BN_FromBytes(keypair->d, w.b, 32);
  NXVT_EC_POINT* Q = keypair->pub->Q;
  if (NXVT_EC_Point_MultSecret(Q, keypair->d, curve->G, curve) != 0 || NXVT_EC_Point_ToAffine(Q, Q, curve) != 0) {
    NXVT_BN_Wipe(keypair->d);
    return -1;
  }
  keypair->pub->fieldBits = static_cast<int32_t>(NXVT_BN_BitLen(curve->p));
  return NXVT_EC_CheckKeyPair(keypair);
}

int32_t NXVT_EC_CheckKeyPair(const NXVT_EC_KEYPAIR* keypair) {
  if (!keypair || !CurveHasOrder(keypair->curve)) return -1;
  NXVT_EC_CURVE* curve = keypair->curve;
  if (!keypair->pub) return -1;
  const NXVT_EC_POINT* Q = keypair->pub->Q;
  if (!Q || !Q->X || !Q->Y || !Q->Z) return -1;
  if (NXVT_BN_IsZero(Q->Z) || NXVT_BN_IsZero(Q->X) || NXVT_BN_IsZero(Q->Y)) return -1;
  if (!curve->isOnCurve || curve->isOnCurve(Q, curve) != 1) return -1;
  NXVT_EC_POINT* T = NXVT_EC_Point_New();
  if (!T) return -1;
  int32_t result = -1;
  if (NXVT_EC_Point_MultVartime(T, curve->n, Q, curve) == 0 && NXVT_EC_Point_IsInfinity(T)) {
    if (!keypair->d) {
      result = 0;  // a public key alone
    } else if (NXVT_EC_CheckPrivKey(keypair->d, curve) == 0 &&
               NXVT_EC_Point_MultSecret(T, keypair->d, curve->G, curve) == 0 &&
               NXVT_EC_Point_Cmp(Q, T, curve) == 0) {
      result = 0;
    }
  }
  NXVT_EC_Point_Free(T);
  return result;
}
