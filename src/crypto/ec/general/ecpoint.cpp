#include "crypto/ec/general/ecpoint.h"

#include <cstring>
#include <new>

#include "crypto/ct_check.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/general/ecfield.h"
#include "platform/memory.h"
#include "trail/trail.h"
#include "crypto/bignum/modexp.h"

namespace {

const NXVT_BN kZero = {0, {0}};

uint32_t ClampedCount(const NXVT_BN* a) { return a->count > NXVT_BN_MAX_WORDS ? NXVT_BN_MAX_WORDS : a->count; }

bool IsOne(const NXVT_BN* a) {
  const uint32_t n = ClampedCount(a);
  if (n == 0 || a->words[0] != 1) return false;
  for (uint32_t i = 1; i < n; ++i) {
    if (a->words[i] != 0) return false;
  }
  return true;
}

void SetWord(NXVT_BN* r, uint32_t w) {
  r->words[0] = w;
  r->count = w ? 1 : 0;
}

// Copies the meaningful words only (a record's words beyond count carry no
// meaning), which keeps point copies cheap.
void CopyBN(NXVT_BN* r, const NXVT_BN* a) {
  if (r == a) return;
  const uint32_t n = ClampedCount(a);
  for (uint32_t i = 0; i < n; ++i) r->words[i] = a->words[i];
  r->count = n;
}

bool Bit(const NXVT_BN* k, uint32_t i) {
  const uint32_t w = i / 32;
  if (w >= ClampedCount(k)) return false;
  return (k->words[w] >> (i % 32)) & 1u;
}

bool PointOk(const NXVT_EC_POINT* P) { return P && P->X && P->Y && P->Z; }

bool CurveReady(const NXVT_EC_CURVE* c) {
  return c && c->id != -1 && c->p && c->a && c->b && c->n && c->G && c->fieldAdd && c->fieldSub && c->fieldMul &&
         c->fieldSqr;
}

// A point whose coordinates live on the stack. Not copyable: the point view
// refers to the record members.
struct LocalPoint {
  NXVT_BN x, y, z;
  NXVT_EC_POINT pt;
  LocalPoint() : pt{&x, &y, &z} {
    x.count = 0;
    SetWord(&y, 1);
    z.count = 0;
  }
  ~LocalPoint() {
    Wipe(&x, sizeof(x));
    Wipe(&y, sizeof(y));
    Wipe(&z, sizeof(z));
  }
  LocalPoint(const LocalPoint&) = delete;
  LocalPoint& operator=(const LocalPoint&) = delete;
  NXVT_EC_POINT* operator&() = delete;
  NXVT_EC_POINT* get() { return &pt; }
};

// The curve's field methods with failure tracking: once one operation fails
// the rest are skipped and ok() stays false.
class Field {
 public:
  explicit Field(const NXVT_EC_CURVE* c) : c_(c) {}
  void Add(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { Run(c_->fieldAdd, r, a, b); }
  void Sub(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { Run(c_->fieldSub, r, a, b); }
  void Mul(NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) { Run(c_->fieldMul, r, a, b); }
  void Sqr(NXVT_BN* r, const NXVT_BN* a) {
    if (ok_ && c_->fieldSqr(r, a) != 0) ok_ = false;
  }
  // r = a reduced below p.
  void Canon(NXVT_BN* r, const NXVT_BN* a) { Add(r, a, &kZero); }
  bool ok() const { return ok_; }

 private:
  void Run(NXVT_EC_FieldBinFn fn, NXVT_BN* r, const NXVT_BN* a, const NXVT_BN* b) {
    if (ok_ && fn(r, a, b) != 0) ok_ = false;
  }
  const NXVT_EC_CURVE* c_;
  bool ok_ = true;
};

// Clears the used part of stack temporaries of the point formulas (count and
// the words a field method writes) when the scope ends: they hold values
// derived from the scalar being multiplied.
class TempWipe {
 public:
  template <class... B>
  explicit TempWipe(B*... bs) : list_{bs...}, n_(sizeof...(B)) {}
  ~TempWipe() {
    for (size_t i = 0; i < n_; ++i) Wipe(list_[i], sizeof(uint32_t) * 17);
  }
  TempWipe(const TempWipe&) = delete;
  TempWipe& operator=(const TempWipe&) = delete;

 private:
  NXVT_BN* list_[16];
  size_t n_;
};

int32_t DblImpl(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (NXVT_BN_IsZero(P->Z)) {
    NXVT_EC_Point_SetInfinity(R);
    return 0;
  }
  Field f(curve);
  NXVT_BN XX, YY, YYYY, ZZ, S, M, T, t, u;
  TempWipe wipe(&XX, &YY, &YYYY, &ZZ, &S, &M, &T, &t, &u);
  f.Sqr(&XX, P->X);
  f.Sqr(&YY, P->Y);
  f.Sqr(&YYYY, &YY);
  f.Sqr(&ZZ, P->Z);
  // S = 2((X1 + YY)^2 - XX - YYYY)
  f.Add(&t, P->X, &YY);
  f.Sqr(&t, &t);
  f.Sub(&t, &t, &XX);
  f.Sub(&t, &t, &YYYY);
  f.Add(&S, &t, &t);
  // M = 3XX + a*ZZ^2
  f.Add(&M, &XX, &XX);
  f.Add(&M, &M, &XX);
  if (curve->aKind == -3) {
    f.Sqr(&t, &ZZ);
    f.Sub(&M, &M, &t);
    f.Sub(&M, &M, &t);
    f.Sub(&M, &M, &t);
  } else if (curve->aKind != 0) {
    f.Sqr(&t, &ZZ);
    f.Mul(&t, curve->a, &t);
    f.Add(&M, &M, &t);
  }
  // T = M^2 - 2S
  f.Sqr(&T, &M);
  f.Sub(&T, &T, &S);
  f.Sub(&T, &T, &S);
  // Z3 = (Y1 + Z1)^2 - YY - ZZ (computed before R's coordinates are written)
  f.Add(&u, P->Y, P->Z);
  f.Sqr(&u, &u);
  f.Sub(&u, &u, &YY);
  f.Sub(&u, &u, &ZZ);
  // Y3 = M(S - T) - 8YYYY
  f.Sub(&t, &S, &T);
  f.Mul(&t, &M, &t);
  f.Add(&YYYY, &YYYY, &YYYY);
  f.Add(&YYYY, &YYYY, &YYYY);
  f.Add(&YYYY, &YYYY, &YYYY);
  f.Sub(&t, &t, &YYYY);
  if (!f.ok()) return -1;
  CopyBN(R->X, &T);
  CopyBN(R->Y, &t);
  CopyBN(R->Z, &u);
  return 0;
}

// The addition formulas proper; P and Q finite. When the X coordinates agree
// the sum is either a doubling (same Y) or the point at infinity.
int32_t AddFinite(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q, const NXVT_EC_CURVE* curve,
                  bool qAffine) {
  Field f(curve);
  NXVT_BN Z1Z1, Z2Z2, U1, U2, S1, S2, H, I, J, r, V, X3, Y3, Z3, t, HH;
  TempWipe wipe(&Z1Z1, &Z2Z2, &U1, &U2, &S1, &S2, &H, &I, &J, &r, &V, &X3, &Y3, &Z3, &t, &HH);
  f.Sqr(&Z1Z1, P->Z);
  if (qAffine) {
    CopyBN(&U1, P->X);
    CopyBN(&S1, P->Y);
    f.Canon(&U1, &U1);
    f.Canon(&S1, &S1);
  } else {
    f.Sqr(&Z2Z2, Q->Z);
    f.Mul(&U1, P->X, &Z2Z2);
    f.Mul(&S1, P->Y, Q->Z);
    f.Mul(&S1, &S1, &Z2Z2);
  }
  f.Mul(&U2, Q->X, &Z1Z1);
  f.Mul(&S2, Q->Y, P->Z);
  f.Mul(&S2, &S2, &Z1Z1);
  f.Sub(&H, &U2, &U1);
  f.Sub(&r, &S2, &S1);
  if (!f.ok()) return -1;
  if (NXVT_BN_IsZero(&H)) {
    if (NXVT_BN_IsZero(&r)) return DblImpl(R, P, curve);
    NXVT_EC_Point_SetInfinity(R);
    return 0;
  }
  f.Add(&r, &r, &r);
  if (qAffine) {
    f.Sqr(&HH, &H);
    f.Add(&I, &HH, &HH);
    f.Add(&I, &I, &I);
    // Z3 = (Z1 + H)^2 - Z1Z1 - HH
    f.Add(&Z3, P->Z, &H);
    f.Sqr(&Z3, &Z3);
    f.Sub(&Z3, &Z3, &Z1Z1);
    f.Sub(&Z3, &Z3, &HH);
  } else {
    f.Add(&I, &H, &H);
    f.Sqr(&I, &I);
    // Z3 = ((Z1 + Z2)^2 - Z1Z1 - Z2Z2) * H
    f.Add(&Z3, P->Z, Q->Z);
    f.Sqr(&Z3, &Z3);
    f.Sub(&Z3, &Z3, &Z1Z1);
    f.Sub(&Z3, &Z3, &Z2Z2);
    f.Mul(&Z3, &Z3, &H);
  }
  f.Mul(&J, &H, &I);
  f.Mul(&V, &U1, &I);
  // X3 = r^2 - J - 2V
  f.Sqr(&X3, &r);
  f.Sub(&X3, &X3, &J);
  f.Sub(&X3, &X3, &V);
  f.Sub(&X3, &X3, &V);
  // Y3 = r(V - X3) - 2 S1 J
  f.Sub(&Y3, &V, &X3);
  f.Mul(&Y3, &r, &Y3);
  f.Mul(&t, &S1, &J);
  f.Sub(&Y3, &Y3, &t);
  f.Sub(&Y3, &Y3, &t);
  if (!f.ok()) return -1;
  CopyBN(R->X, &X3);
  CopyBN(R->Y, &Y3);
  CopyBN(R->Z, &Z3);
  return 0;
}

int32_t AddImpl(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q, const NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !PointOk(P) || !PointOk(Q) || !CurveReady(curve)) return -1;
  if (NXVT_BN_IsZero(P->Z)) return NXVT_EC_Point_Copy(R, Q);
  if (NXVT_BN_IsZero(Q->Z)) return NXVT_EC_Point_Copy(R, P);
  if (P == Q) return DblImpl(R, P, curve);
  return AddFinite(R, P, Q, curve, IsOne(Q->Z));
}

// Both curves have cofactor 1 and coordinates of 32 bytes; the field size is
// still taken from p.
uint32_t FieldBytes(const NXVT_EC_CURVE* curve) { return (NXVT_BN_BitLen(curve->p) + 7) / 8; }

bool BelowP(const NXVT_BN* v, const NXVT_EC_CURVE* curve) { return NXVT_BN_Cmp(v, curve->p) == -2; }

// Writes v (canonical, below p) as exactly fb big-endian bytes.
void WriteFixed(uint8_t* out, uint32_t fb, const NXVT_BN* v) {
  const uint32_t n = ClampedCount(v);
  for (uint32_t i = 0; i < fb; ++i) {
    const uint32_t bytePos = fb - 1 - i;  // significance of out[i]
    const uint32_t w = bytePos / 4;
    out[i] = w < n ? static_cast<uint8_t>(v->words[w] >> (8 * (bytePos % 4))) : 0;
  }
}

// Table of odd multiples held on the stack: slots 1, 2, 3, 5, 7 of each sign.
struct LocalTable {
  LocalPoint store[10];
  NXVT_EC_POINT* pos[kEcTableSlots] = {};
  NXVT_EC_POINT* neg[kEcTableSlots] = {};
  LocalTable() {
    const int slots[5] = {1, 2, 3, 5, 7};
    for (int i = 0; i < 5; ++i) {
      pos[slots[i]] = store[2 * i].get();
      neg[slots[i]] = store[2 * i + 1].get();
    }
  }
};

// Builds the generator's tables in the curve object on first use.
int32_t EnsureGeneratorCache(NXVT_EC_CURVE* curve) {
  if (curve->cachePresent) return 0;
  NXVT_EC_Curve_DropCache(curve);
  const int slots[5] = {1, 2, 3, 5, 7};
  for (int s : slots) {
    curve->gPos[s] = NXVT_EC_Point_New();
    curve->gNeg[s] = NXVT_EC_Point_New();
    if (!curve->gPos[s] || !curve->gNeg[s]) {
      NXVT_EC_Curve_DropCache(curve);
      return -1;
    }
  }
  curve->cachePresent = 1;
  if (NXVT_EC_PrecompOddMultiples(curve->gPos, curve->gNeg, curve->G, curve) != 0) {
    NXVT_EC_Curve_DropCache(curve);
    return -1;
  }
  return 0;
}

}  // namespace

void NXVT_EC_Curve_DropCache(NXVT_EC_CURVE* curve) {
  if (!curve) return;
  for (int i = 0; i < kEcTableSlots; ++i) {
    NXVT_EC_Point_Free(curve->gPos[i]);
    NXVT_EC_Point_Free(curve->gNeg[i]);
    curve->gPos[i] = nullptr;
    curve->gNeg[i] = nullptr;
  }
  curve->cachePresent = 0;
}

int32_t NXVT_EC_Curve_FillCache(NXVT_EC_CURVE* curve) {
  if (curve == nullptr || curve->G == nullptr) return -1;
  return EnsureGeneratorCache(curve);
}

namespace {

// Adds the table entry for a nonzero digit d.
int32_t AddDigit(NXVT_EC_POINT* acc, int32_t d, NXVT_EC_POINT* const* pos, NXVT_EC_POINT* const* neg,
                 const NXVT_EC_CURVE* curve) {
  if (d > 0) return AddImpl(acc, acc, pos[d], curve);
  return AddImpl(acc, acc, neg[-d], curve);
}

// Checks shared by the multiplications: a usable point is at infinity or on
// the curve (a point off the curve would make the result meaningless and
// could leak a secret scalar through an invalid-curve attack).
bool UsablePoint(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  return NXVT_BN_IsZero(P->Z) || NXVT_EC_Point_IsOnCurve(P, curve) == 1;
}

// The window-NAF multiplication behind both entry points.
int32_t MultWnaf(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P, NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !k || !PointOk(P) || !CurveReady(curve)) return -1;
  if (k->count > NXVT_BN_MAX_WORDS) return -1;
  if (!UsablePoint(P, curve)) return -1;
  const uint32_t bits = NXVT_BN_BitLen(k);
  if (bits > kEcMaxScalarBits) return -1;
  LocalPoint acc;
  if (bits == 0 || NXVT_BN_IsZero(P->Z)) {
    NXVT_EC_Point_SetInfinity(R);
    return 0;
  }
  if (bits < 4) {
    for (int32_t i = static_cast<int32_t>(bits) - 1; i >= 0; --i) {
      if (!NXVT_BN_IsZero(&acc.z) && DblImpl(acc.get(), acc.get(), curve) != 0) return -1;
      if (Bit(k, static_cast<uint32_t>(i)) && AddImpl(acc.get(), acc.get(), P, curve) != 0) return -1;
    }
    return NXVT_EC_Point_Copy(R, acc.get());
  }
  int32_t digits[kEcWnafDigits];
  ScopedWipe wipeDigits(digits, sizeof(digits));
  const int32_t nd = NXVT_EC_ScalarToWNAF(digits, k);
  if (nd < 0) return -1;
  LocalTable local;
  NXVT_EC_POINT* const* pos = local.pos;
  NXVT_EC_POINT* const* neg = local.neg;
  if (NXVT_EC_Point_Cmp(P, curve->G, curve) == 0) {
    if (EnsureGeneratorCache(curve) != 0) return -1;
    pos = curve->gPos;
    neg = curve->gNeg;
  } else if (NXVT_EC_PrecompOddMultiples(local.pos, local.neg, P, curve) != 0) {
    return -1;
  }
  for (int32_t i = nd - 1; i >= 0; --i) {
    if (!NXVT_BN_IsZero(&acc.z) && DblImpl(acc.get(), acc.get(), curve) != 0) return -1;
    if (digits[i] != 0 && AddDigit(acc.get(), digits[i], pos, neg, curve) != 0) return -1;
  }
  return NXVT_EC_Point_Copy(R, acc.get());
}

// A scalar record as a scalar modulo n. Records of at most eight words (every
// key, nonce and tweak: 32 bytes) are read and reduced in constant time; a
// longer record (none of the secret callers builds one) is reduced by the
// general division first. False for a record above kEcMaxScalarBits bits.
bool LoadScalar(Ec256Scalar* s, const NXVT_BN* k, const NXVT_EC_CURVE* curve, const Ec256Curve* c) {
  if (k->count <= 8) {
    Ec256_ScalarFromWords(c, s, k->words, k->count);
    return true;
  }
  if (NXVT_BN_BitLen(k) > kEcMaxScalarBits) return false;
  NXVT_BN t = *k;
  ScopedWipe wipeT(t);
  if (NXVT_BN_Mod(&t, curve->n) != 0) return false;
  Ec256_ScalarFromWords(c, s, t.words, t.count);
  return true;
}

// Affine coordinates of a finite point as 32-byte fields.
bool AffineBytes(uint8_t x[32], uint8_t y[32], const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  LocalPoint A;
  if (NXVT_EC_Point_ToAffine(A.get(), P, curve) != 0) return false;
  return NXVT_BN_ToFixedBytes(x, 32, &A.x) == 0 && NXVT_BN_ToFixedBytes(y, 32, &A.y) == 0;
}

// R = the point of the dedicated arithmetic (affine, Z = 1, or infinity).
void StorePoint(NXVT_EC_POINT* R, const Ec256Point& p) {
  if (p.infinity) {
    NXVT_EC_Point_SetInfinity(R);
    return;
  }
  NXVT_BN_FromBytes(R->X, p.x, 32);
  NXVT_BN_FromBytes(R->Y, p.y, 32);
  NXVT_BN_Normalize(R->X);
  NXVT_BN_Normalize(R->Y);
  SetWord(R->Z, 1);
}

// out = k * P in constant time through the dedicated arithmetic of the
// curve, the product left as that code gives it: secret when k is.
int32_t MultDedicated(Ec256Point* out, const NXVT_BN* k, const NXVT_EC_POINT* P, NXVT_EC_CURVE* curve,
                      const Ec256Curve* c) {
  if (!k || !PointOk(P) || !CurveReady(curve)) return -1;
  if (k->count > NXVT_BN_MAX_WORDS) return -1;
  if (!UsablePoint(P, curve)) return -1;
  Ec256Scalar s;
  ScopedWipe wipeS(s);
  if (!LoadScalar(&s, k, curve, c)) return -1;
  if (NXVT_BN_IsZero(P->Z)) {
    *out = Ec256Point{};
    out->infinity = 1;
    return 0;
  }
  if (NXVT_EC_Point_Cmp(P, curve->G, curve) == 0) {
    Ec256_MulGen(c, out, &s);
  } else {
    uint8_t x[32], y[32];
    if (!AffineBytes(x, y, P, curve)) return -1;
    Ec256_Mul(c, out, &s, x, y);
  }
  return 0;
}

// R = k * P for a product that is public (NXVT_EC_Point_MultSecret).
int32_t MultConstTime(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P, NXVT_EC_CURVE* curve,
                      const Ec256Curve* c) {
  if (!PointOk(R)) return -1;
  Ec256Point out;
  ScopedWipe wipeOut(out);
  if (MultDedicated(&out, k, P, curve, c) != 0) return -1;
  CtDeclassify(&out, sizeof out);  // a public key or a signature's R: public by this entry point's contract
  StorePoint(R, out);
  return 0;
}

}  // namespace

NXVT_EC_POINT* NXVT_EC_Point_New() {
  NXVT_EC_POINT* P = new (std::nothrow) NXVT_EC_POINT{nullptr, nullptr, nullptr};
  if (!P) return NoMemory<NXVT_EC_POINT*>(nullptr);
  P->X = new (std::nothrow) NXVT_BN();
  P->Y = new (std::nothrow) NXVT_BN();
  P->Z = new (std::nothrow) NXVT_BN();
  if (!P->X || !P->Y || !P->Z) {
    NXVT_EC_Point_Free(P);
    return NoMemory<NXVT_EC_POINT*>(nullptr);
  }
  NXVT_EC_Point_SetInfinity(P);
  return P;
}

void NXVT_EC_Point_Free(NXVT_EC_POINT* P) {
  if (!P) return;
  NXVT_BN* coords[3] = {P->X, P->Y, P->Z};
  for (NXVT_BN* c : coords) {
    if (c) {
      NXVT_BN_Wipe(c);
      delete c;
    }
  }
  delete P;
}

int32_t NXVT_EC_Point_Copy(NXVT_EC_POINT* R, const NXVT_EC_POINT* P) {
  if (!PointOk(R) || !PointOk(P)) return -1;
  if (R == P) return 0;
  CopyBN(R->X, P->X);
  CopyBN(R->Y, P->Y);
  CopyBN(R->Z, P->Z);
  return 0;
}

void NXVT_EC_Point_SetInfinity(NXVT_EC_POINT* P) {
  if (!PointOk(P)) return;
  P->X->count = 0;
  SetWord(P->Y, 1);
  P->Z->count = 0;
}

int32_t NXVT_EC_Point_IsInfinity(const NXVT_EC_POINT* P) {
  if (!PointOk(P)) return 1;
  return NXVT_BN_IsZero(P->Z) ? 1 : 0;
}

void NXVT_EC_Point_Wipe(NXVT_EC_POINT* P) {
  if (!PointOk(P)) return;
  NXVT_BN_Wipe(P->X);
  NXVT_BN_Wipe(P->Y);
  NXVT_BN_Wipe(P->Z);
}

namespace {

// The field methods are the ones the curve was loaded with (a caller may
// replace them): only then does the dedicated arithmetic answer for them.
bool OwnFieldMethods(const NXVT_EC_CURVE* c) {
  if (c->id == NXVT_EC_CURVE_SECP256K1)
    return c->fieldAdd == NXVT_EC_Secp256k1_ModAdd && c->fieldSub == NXVT_EC_Secp256k1_ModSub &&
           c->fieldMul == NXVT_EC_Secp256k1_ModMul && c->fieldSqr == NXVT_EC_Secp256k1_ModSqr;
  if (c->id == NXVT_EC_CURVE_P256)
    return c->fieldAdd == NXVT_EC_P256_ModAdd && c->fieldSub == NXVT_EC_P256_ModSub &&
           c->fieldMul == NXVT_EC_P256_ModMul && c->fieldSqr == NXVT_EC_P256_ModSqr;
  return false;
}

}  // namespace

int32_t NXVT_EC_Point_IsOnCurve(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (!PointOk(P) || !CurveReady(curve)) return 0;
  if (const Ec256Curve* c = Ec256_Of(curve); c != nullptr && OwnFieldMethods(curve)) {
    uint8_t xyz[3][32];
    ScopedWipe wipeXyz(xyz, sizeof xyz);
    if (NXVT_BN_ToFixedBytes(xyz[0], 32, P->X) == 0 && NXVT_BN_ToFixedBytes(xyz[1], 32, P->Y) == 0 &&
        NXVT_BN_ToFixedBytes(xyz[2], 32, P->Z) == 0)
      return Ec256_IsOnCurve(c, xyz[0], xyz[1], xyz[2]);
  }
  Field f(curve);
  NXVT_BN z2, z4, t, u;
  TempWipe wipe(&z2, &z4, &t, &u);
  // t = Y^2 - X^3 - a X Z^4 - b Z^6
  f.Sqr(&z2, P->Z);
  f.Sqr(&z4, &z2);
  f.Sqr(&t, P->Y);
  f.Sqr(&u, P->X);
  f.Mul(&u, &u, P->X);
  f.Sub(&t, &t, &u);
  if (!NXVT_BN_IsZero(curve->a)) {
    f.Mul(&u, curve->a, P->X);
    f.Mul(&u, &u, &z4);
    f.Sub(&t, &t, &u);
  }
  f.Mul(&u, &z4, &z2);
  f.Mul(&u, &u, curve->b);
  f.Sub(&t, &t, &u);
  return f.ok() && NXVT_BN_IsZero(&t) ? 1 : 0;
}

int32_t NXVT_EC_Point_Add(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q,
                          const NXVT_EC_CURVE* curve) {
  return AddImpl(R, P, Q, curve);
}

int32_t NXVT_EC_Point_AddAffine(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q,
                                const NXVT_EC_CURVE* curve) {
  // Q with Z other than 1 takes the general formulas, so the result is right
  // whatever the caller passes.
  return AddImpl(R, P, Q, curve);
}

int32_t NXVT_EC_Point_Dbl(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !PointOk(P) || !CurveReady(curve)) return -1;
  return DblImpl(R, P, curve);
}

int32_t NXVT_EC_Point_Neg(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !PointOk(P) || !CurveReady(curve)) return -1;
  NXVT_BN y;
  if (curve->fieldSub(&y, &kZero, P->Y) != 0) return -1;
  CopyBN(R->X, P->X);
  CopyBN(R->Y, &y);
  CopyBN(R->Z, P->Z);
  return 0;
}

int32_t NXVT_EC_Point_ToAffine(NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !PointOk(P) || !CurveReady(curve)) return -1;
  if (NXVT_BN_IsZero(P->Z)) return NXVT_EC_Point_Copy(R, P);
  Field f(curve);
  NXVT_BN x, y, z, t;
  TempWipe wipe(&x, &y, &z, &t);
  if (IsOne(P->Z)) {
    f.Canon(&x, P->X);
    f.Canon(&y, P->Y);
  } else {
    f.Canon(&z, P->Z);
    if (!f.ok() || NXVT_BN_IsZero(&z)) return -1;
    if (const Ec256Curve* c = Ec256_Of(curve); c != nullptr && !curve->fieldInv) {
      // The dedicated inversion of the curve's field.
      uint8_t b[32];
      if (NXVT_BN_ToFixedBytes(b, 32, &z) != 0) return -1;
      Ec256_FieldInv(c, b, b);
      NXVT_BN_FromBytes(&z, b, 32);
      NXVT_BN_Normalize(&z);
      Wipe(b, sizeof b);
    } else {
      const int32_t inv = curve->fieldInv ? curve->fieldInv(&z, &z, curve) : NXVT_BN_ModInv(&z, &z, curve->p);
      if (inv != 0) return -1;
    }
    f.Sqr(&t, &z);
    f.Mul(&z, &t, &z);
    f.Mul(&x, P->X, &t);
    f.Mul(&y, P->Y, &z);
  }
  if (!f.ok()) return -1;
  CopyBN(R->X, &x);
  CopyBN(R->Y, &y);
  SetWord(R->Z, 1);
  return 0;
}

int32_t NXVT_EC_Point_Cmp(const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q, const NXVT_EC_CURVE* curve) {
  if (!CurveReady(curve) || !PointOk(P) || !PointOk(Q)) return -1;
  if (P == Q) return 0;
  const bool infP = NXVT_BN_IsZero(P->Z), infQ = NXVT_BN_IsZero(Q->Z);
  if (infP || infQ) return infP && infQ ? 0 : 1;
  Field f(curve);
  NXVT_BN z1z1, z2z2, a, b;
  // X1 Z2^2 against X2 Z1^2, then Y1 Z2^3 against Y2 Z1^3.
  f.Sqr(&z1z1, P->Z);
  f.Sqr(&z2z2, Q->Z);
  f.Mul(&a, P->X, &z2z2);
  f.Mul(&b, Q->X, &z1z1);
  if (!f.ok()) return -1;
  if (NXVT_BN_Cmp(&a, &b) != 0) return 1;
  f.Mul(&a, P->Y, &z2z2);
  f.Mul(&a, &a, Q->Z);
  f.Mul(&b, Q->Y, &z1z1);
  f.Mul(&b, &b, P->Z);
  if (!f.ok()) return -1;
  return NXVT_BN_Cmp(&a, &b) == 0 ? 0 : 1;
}

int32_t NXVT_EC_Point_YParity(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  if (!PointOk(P) || !CurveReady(curve)) return -1;
  if (NXVT_BN_IsZero(P->Z)) return -1;
  LocalPoint A;
  if (NXVT_EC_Point_ToAffine(A.get(), P, curve) != 0) return -1;
  return A.y.count == 0 ? 0 : static_cast<int32_t>(A.y.words[0] & 1u);
}

int32_t NXVT_EC_Point_Decompress(NXVT_EC_POINT* P, uint32_t parity, const NXVT_EC_CURVE* curve) {
  if (!PointOk(P) || !CurveReady(curve)) return -1;
  if (!BelowP(P->X, curve)) return -1;
  if (const Ec256Curve* c = Ec256_Of(curve)) {
    uint8_t x[32], y[32];
    if (NXVT_BN_ToFixedBytes(x, 32, P->X) != 0 || !Ec256_DecompressVartime(c, y, x, parity)) return -1;
    NXVT_BN_FromBytes(P->Y, y, 32);
    NXVT_BN_Normalize(P->Y);
    SetWord(P->Z, 1);
    return 0;
  }
  Field f(curve);
  NXVT_BN t, u, y;
  ScopedWipe wipeY(y);
  // t = X^3 + aX + b
  f.Sqr(&t, P->X);
  f.Mul(&t, &t, P->X);
  if (!NXVT_BN_IsZero(curve->a)) {
    f.Mul(&u, curve->a, P->X);
    f.Add(&t, &t, &u);
  }
  f.Add(&t, &t, curve->b);
  if (!f.ok()) return -1;
  if (NXVT_BN_ModSqrt(&y, &t, curve->p) != 0) return -1;
  f.Canon(&y, &y);
  const uint32_t yBit = y.count == 0 ? 0 : (y.words[0] & 1u);
  if (yBit != (parity & 1u)) f.Sub(&y, &kZero, &y);
  if (!f.ok()) return -1;
  CopyBN(P->Y, &y);
  SetWord(P->Z, 1);
  return 0;
}

int32_t NXVT_EC_Point_Decode(NXVT_EC_POINT* P, const uint8_t* octets, uint64_t len, const NXVT_EC_CURVE* curve) {
  if (!PointOk(P) || !octets || len == 0 || !CurveReady(curve)) return -1;
  const uint8_t tag = octets[0];
  const uint64_t fb = FieldBytes(curve);
  if (fb == 0 || fb > 128) return -1;
  if (tag == 0x00) {
    if (len != 1) return -1;
    P->Z->count = 0;
    return 0;
  }
  LocalPoint A;
  if (tag == 0x02 || tag == 0x03) {
    if (len != 1 + fb) return -1;
    NXVT_BN_FromBytes(&A.x, octets + 1, static_cast<int32_t>(fb));
    if (!BelowP(&A.x, curve)) return -1;
    if (NXVT_EC_Point_Decompress(A.get(), tag & 1u, curve) != 0) return -1;
  } else if (tag == 0x04 || tag == 0x06 || tag == 0x07) {
    if (len != 1 + 2 * fb) return -1;
    NXVT_BN_FromBytes(&A.x, octets + 1, static_cast<int32_t>(fb));
    NXVT_BN_FromBytes(&A.y, octets + 1 + fb, static_cast<int32_t>(fb));
    SetWord(&A.z, 1);
    if (!BelowP(&A.x, curve) || !BelowP(&A.y, curve)) return -1;
    if (NXVT_EC_Point_IsOnCurve(A.get(), curve) != 1) return -1;
    if (tag != 0x04) {
      const uint32_t yBit = NXVT_BN_IsZero(&A.y) ? 0 : (A.y.words[0] & 1u);
      if (yBit != (tag & 1u)) return -1;
    }
  } else {
    return -1;
  }
  NXVT_BN_Normalize(&A.x);
  NXVT_BN_Normalize(&A.y);
  return NXVT_EC_Point_Copy(P, A.get());
}

int32_t NXVT_EC_Point_ToOctets(const NXVT_EC_POINT* P, int32_t form, uint8_t* out, uint32_t* len,
                               const NXVT_EC_CURVE* curve) {
  if (!PointOk(P) || !out || !len || !CurveReady(curve)) return 1;
  if (NXVT_BN_IsZero(P->Z)) return 1;
  const uint32_t fb = FieldBytes(curve);
  uint32_t needed;
  if (form < 0) {
    needed = fb;
  } else if (form == kEcFormUncompressed) {
    needed = 1 + 2 * fb;
  } else if (form == kEcFormCompressed) {
    needed = 1 + fb;
  } else {
    return 1;
  }
  if (*len < needed) return 1;
  LocalPoint A;
  if (NXVT_EC_Point_ToAffine(A.get(), P, curve) != 0) return 1;
  if (NXVT_EC_Point_IsOnCurve(A.get(), curve) != 1) return 1;
  if (form < 0) {
    WriteFixed(out, fb, &A.x);
  } else if (form == kEcFormUncompressed) {
    out[0] = 0x04;
    WriteFixed(out + 1, fb, &A.x);
    WriteFixed(out + 1 + fb, fb, &A.y);
  } else {
    const bool odd = A.y.count != 0 && (A.y.words[0] & 1u);
    out[0] = odd ? 0x03 : 0x02;
    WriteFixed(out + 1, fb, &A.x);
  }
  *len = needed;
  return 0;
}

int32_t NXVT_EC_ScalarToWNAF(int32_t* digits, const NXVT_BN* k) {
  if (!digits || !k || k->count > NXVT_BN_MAX_WORDS) return -1;
  const uint32_t bits = NXVT_BN_BitLen(k);
  if (bits > kEcMaxScalarBits) return -1;
  constexpr uint32_t kWords = kEcWnafDigits / 32 + 1;
  uint32_t w[kWords] = {};
  ScopedWipe wipeW(w, sizeof(w));
  const uint32_t n = (bits + 31) / 32;
  for (uint32_t i = 0; i < n; ++i) w[i] = k->words[i];
  uint32_t top = n;  // words at and above top are zero
  int32_t i = 0;
  while (top > 0) {
    int32_t d = 0;
    if (w[0] & 1u) {
      d = static_cast<int32_t>(w[0] & 15u);
      if (d >= 8) d -= 16;
      if (d > 0) {
        // d <= 7 and the low word is at least d: no borrow
        w[0] -= static_cast<uint32_t>(d);
      } else {
        uint64_t carry = static_cast<uint32_t>(-d);
        for (uint32_t j = 0; j < kWords && carry; ++j) {
          const uint64_t s = static_cast<uint64_t>(w[j]) + carry;
          w[j] = static_cast<uint32_t>(s);
          carry = s >> 32;
          if (j + 1 > top) top = j + 1;
        }
      }
    }
    digits[i++] = d;
    for (uint32_t j = 0; j < top; ++j) {
      w[j] = (w[j] >> 1) | (j + 1 < kWords ? (w[j + 1] << 31) : 0u);
    }
    while (top > 0 && w[top - 1] == 0) --top;
  }
  return i;
}

int32_t NXVT_EC_PrecompOddMultiples(NXVT_EC_POINT** pos, NXVT_EC_POINT** neg, const NXVT_EC_POINT* P,
                                    const NXVT_EC_CURVE* curve) {
  if (!pos || !neg || !PointOk(P) || !CurveReady(curve)) return -1;
  const int odd[4] = {1, 3, 5, 7};
  for (int s : odd) {
    if (!PointOk(pos[s]) || !PointOk(neg[s])) return -1;
  }
  if (!PointOk(pos[2]) || !PointOk(neg[2])) return -1;
  // Every entry is affine so the additions take the mixed formulas.
  if (NXVT_EC_Point_ToAffine(pos[1], P, curve) != 0) return -1;
  if (NXVT_EC_Point_Neg(neg[1], pos[1], curve) != 0) return -1;
  if (DblImpl(pos[2], pos[1], curve) != 0 || NXVT_EC_Point_ToAffine(pos[2], pos[2], curve) != 0) return -1;
  if (NXVT_EC_Point_Neg(neg[2], pos[2], curve) != 0) return -1;
  for (int m = 3; m <= 7; m += 2) {
    if (AddImpl(pos[m], pos[m - 2], pos[2], curve) != 0) return -1;
    if (NXVT_EC_Point_ToAffine(pos[m], pos[m], curve) != 0) return -1;
    if (NXVT_EC_Point_Neg(neg[m], pos[m], curve) != 0) return -1;
  }
  return 0;
}

int32_t NXVT_EC_Point_MultSecret(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P,
                                 NXVT_EC_CURVE* curve) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr) return MultWnaf(R, k, P, curve);
  return MultConstTime(R, k, P, curve, c);
}

int32_t NXVT_EC_Point_MultShared(const NXVT_BN* k, const NXVT_EC_POINT* P, int32_t form, uint8_t* out,
                                 uint32_t* len, NXVT_EC_CURVE* curve) {
  const Ec256Curve* c = Ec256_Of(curve);
  if (c == nullptr || !out || !len) return -1;
  const uint32_t needed = form == kEcFormCompressed ? 33 : form == kEcFormUncompressed ? 65 : 0;
  if (needed == 0 || *len < needed) return -1;
  Ec256Point S;
  ScopedWipe wipeS(S);
  if (MultDedicated(&S, k, P, curve, c) != 0) return -1;
  CtDeclassify(&S.infinity, sizeof S.infinity);  // at infinity or not (k = 0 mod n): refused, the call's result
  if (S.infinity) return 1;
  // A product off the curve would be a fault; the test runs in constant time
  // and only its verdict is public.
  static const uint8_t kOne[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  if (Ec256_IsOnCurve(c, S.x, S.y, kOne) != 1) return -1;
  // The coordinates are secret: the prefix takes Y's parity by arithmetic,
  // and the copies do not depend on the values.
  if (form == kEcFormCompressed) {
    out[0] = static_cast<uint8_t>(0x02 | (S.y[31] & 1u));
    std::memcpy(out + 1, S.x, 32);
  } else {
    out[0] = 0x04;
    std::memcpy(out + 1, S.x, 32);
    std::memcpy(out + 33, S.y, 32);
  }
  *len = needed;
  return 0;
}

int32_t NXVT_EC_Point_Mult(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P, NXVT_EC_CURVE* curve) {
  return NXVT_EC_Point_MultSecret(R, k, P, curve);
}

int32_t NXVT_EC_Point_MultVartime(NXVT_EC_POINT* R, const NXVT_BN* k, const NXVT_EC_POINT* P,
                                  NXVT_EC_CURVE* curve) {
  return MultWnaf(R, k, P, curve);
}

int32_t NXVT_EC_Point_DualMult(NXVT_EC_POINT* R, const NXVT_BN* u1, const NXVT_EC_POINT* Q, const NXVT_BN* u2,
                               NXVT_EC_CURVE* curve) {
  if (!PointOk(R) || !u1 || !PointOk(Q) || !u2 || !CurveReady(curve)) return -1;
  if (u1->count > NXVT_BN_MAX_WORDS || u2->count > NXVT_BN_MAX_WORDS) return -1;
  if (!UsablePoint(Q, curve)) return -1;
  const bool qInf = NXVT_BN_IsZero(Q->Z);
  const uint32_t b1 = qInf ? 0 : NXVT_BN_BitLen(u1);
  const uint32_t b2 = NXVT_BN_BitLen(u2);
  if (b1 > kEcMaxScalarBits || b2 > kEcMaxScalarBits) return -1;
  if (const Ec256Curve* c = Ec256_Of(curve)) {
    Ec256Scalar s1 = {}, s2;
    uint8_t x[32] = {}, y[32] = {};
    if (!qInf && (!LoadScalar(&s1, u1, curve, c) || !AffineBytes(x, y, Q, curve))) return -1;
    if (!LoadScalar(&s2, u2, curve, c)) return -1;
    Ec256Point out;
    Ec256_MulGenAddVartime(c, &out, &s2, &s1, x, y);
    StorePoint(R, out);
    return 0;
  }
  LocalPoint acc;
  const uint32_t maxBits = b1 > b2 ? b1 : b2;
  if (maxBits < 4) {
    for (int32_t i = static_cast<int32_t>(maxBits) - 1; i >= 0; --i) {
      const uint32_t bi = static_cast<uint32_t>(i);
      if (!NXVT_BN_IsZero(&acc.z) && DblImpl(acc.get(), acc.get(), curve) != 0) return -1;
      if (bi < b1 && Bit(u1, bi) && AddImpl(acc.get(), acc.get(), Q, curve) != 0) return -1;
      if (bi < b2 && Bit(u2, bi) && AddImpl(acc.get(), acc.get(), curve->G, curve) != 0) return -1;
    }
    return NXVT_EC_Point_Copy(R, acc.get());
  }
  int32_t d1[kEcWnafDigits], d2[kEcWnafDigits];
  const int32_t n1 = b1 ? NXVT_EC_ScalarToWNAF(d1, u1) : 0;
  const int32_t n2 = NXVT_EC_ScalarToWNAF(d2, u2);
  if (n1 < 0 || n2 < 0) return -1;
  if (EnsureGeneratorCache(curve) != 0) return -1;
  LocalTable local;
  NXVT_EC_POINT* const* qPos = local.pos;
  NXVT_EC_POINT* const* qNeg = local.neg;
  if (Q == curve->G) {
    qPos = curve->gPos;
    qNeg = curve->gNeg;
  } else if (n1 > 0 && NXVT_EC_PrecompOddMultiples(local.pos, local.neg, Q, curve) != 0) {
    return -1;
  }
  const int32_t nd = n1 > n2 ? n1 : n2;
  for (int32_t i = nd - 1; i >= 0; --i) {
    if (!NXVT_BN_IsZero(&acc.z) && DblImpl(acc.get(), acc.get(), curve) != 0) return -1;
    if (i < n1 && d1[i] != 0 && AddDigit(acc.get(), d1[i], qPos, qNeg, curve) != 0) return -1;
    if (i < n2 && d2[i] != 0 && AddDigit(acc.get(), d2[i], curve->gPos, curve->gNeg, curve) != 0) return -1;
  }
  return NXVT_EC_Point_Copy(R, acc.get());
}

const Ec256Curve* Ec256_Of(const NXVT_EC_CURVE* curve) {
  if (curve == nullptr) return nullptr;
  if (curve->id == NXVT_EC_CURVE_SECP256K1) return Ec256_Secp256k1();
  if (curve->id == NXVT_EC_CURVE_P256) return Ec256_P256();
  return nullptr;
}
