// Points of Ed25519's curve in extended coordinates: the group law
// (complete formulas), a fixed-schedule multiplication, encoding, decoding and
// the check that an encoding is a point of the prime-order subgroup.
#include "crypto/ed25519/ed25519_point.h"

#include <cstring>

#include "platform/memory.h"

const unsigned char NXVT_ED25519_ORDER[33] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                                              0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00};

namespace {

// d = -121665/121666 and 2d mod p.
const NXVT_GF25519 kD2 = {
    {0x26b2f159, 0xebd69b94, 0x8283b156, 0x00e0149a, 0xeef3d130, 0x198e80f2, 0x56dffce7, 0x2406d9dc}};
const NXVT_GF25519 kD = {
    {0x135978a3, 0x75eb4dca, 0x4141d8ab, 0x00700a4d, 0x7779e898, 0x8cc74079, 0x2b6ffe73, 0x52036cee}};

// Base point B, affine.
const NXVT_GF25519 kBx = {
    {0x8f25d51a, 0xc9562d60, 0x9525a7b2, 0x692cc760, 0xfdd6dc5c, 0xc0a4e231, 0xcd6e53fe, 0x216936d3}};
const NXVT_GF25519 kBy = {
    {0x66666658, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666, 0x66666666}};

const NXVT_GF25519 kOne = {{1, 0, 0, 0, 0, 0, 0, 0}};
const NXVT_GF25519 kZero = {{0, 0, 0, 0, 0, 0, 0, 0}};

void PointSelect(NXVT_ED_POINT* out, const NXVT_ED_POINT* a, const NXVT_ED_POINT* b, uint32_t flag) {
  NXVT_GF25519_Select(&out->X, &a->X, &b->X, flag);
  NXVT_GF25519_Select(&out->Y, &a->Y, &b->Y, flag);
  NXVT_GF25519_Select(&out->Z, &a->Z, &b->Z, flag);
  NXVT_GF25519_Select(&out->T, &a->T, &b->T, flag);
}

void ScalarMultWork(NXVT_ED_MULT_WORK* w, NXVT_ED_POINT* out, const unsigned char* scalar,
                    const NXVT_ED_POINT* p) {
  w->p = *p;
  NXVT_Ed25519_PointZero(&w->q);
  for (int i = 255; i >= 0; --i) {
    NXVT_Ed25519_PointDbl(&w->q, &w->q);
    NXVT_Ed25519_PointAdd(&w->t, &w->q, &w->p);
    uint32_t bit = (static_cast<uint32_t>(scalar[i >> 3]) >> (i & 7)) & 1u;
    PointSelect(&w->q, &w->q, &w->t, bit);
  }
  *out = w->q;
  Wipe(w, sizeof *w);
}

}  // namespace

void NXVT_Ed25519_PointZero(NXVT_ED_POINT* out) {
  out->X = kZero;
  out->Y = kOne;
  out->Z = kOne;
  out->T = kZero;
}

void NXVT_Ed25519_PointBase(NXVT_ED_POINT* out) {
  out->X = kBx;
  out->Y = kBy;
  out->Z = kOne;
  NXVT_GF25519_Mul(&out->T, &kBx, &kBy);
}

void NXVT_Ed25519_PointAdd(NXVT_ED_POINT* out, const NXVT_ED_POINT* p, const NXVT_ED_POINT* q) {
  struct {
    NXVT_GF25519 a, b, c, d, e, f, g, h;
  } t;
  ScopedWipe wipe(t);
  NXVT_GF25519_Sub(&t.a, &p->Y, &p->X);
  NXVT_GF25519_Sub(&t.e, &q->Y, &q->X);
  NXVT_GF25519_Mul(&t.a, &t.a, &t.e);  // A = (Y1 - X1)(Y2 - X2)
  NXVT_GF25519_Add(&t.b, &p->Y, &p->X);
  NXVT_GF25519_Add(&t.e, &q->Y, &q->X);
  NXVT_GF25519_Mul(&t.b, &t.b, &t.e);  // B = (Y1 + X1)(Y2 + X2)
  NXVT_GF25519_Mul(&t.c, &p->T, &kD2);
  NXVT_GF25519_Mul(&t.c, &t.c, &q->T);  // C = T1 2d T2
  NXVT_GF25519_Mul(&t.d, &p->Z, &q->Z);
  NXVT_GF25519_Add(&t.d, &t.d, &t.d);  // D = 2 Z1 Z2
  NXVT_GF25519_Sub(&t.e, &t.b, &t.a);  // E = B - A
  NXVT_GF25519_Sub(&t.f, &t.d, &t.c);  // F = D - C
  NXVT_GF25519_Add(&t.g, &t.d, &t.c);  // G = D + C
  NXVT_GF25519_Add(&t.h, &t.b, &t.a);  // H = B + A
  NXVT_GF25519_Mul(&out->X, &t.e, &t.f);
  NXVT_GF25519_Mul(&out->Y, &t.g, &t.h);
  NXVT_GF25519_Mul(&out->T, &t.e, &t.h);
  NXVT_GF25519_Mul(&out->Z, &t.f, &t.g);
}

void NXVT_Ed25519_PointDbl(NXVT_ED_POINT* out, const NXVT_ED_POINT* p) {
  struct {
    NXVT_GF25519 a, b, c, e, f, g, h;
  } t;
  ScopedWipe wipe(t);
  NXVT_GF25519_Mul(&t.a, &p->X, &p->X);  // A = X1^2
  NXVT_GF25519_Mul(&t.b, &p->Y, &p->Y);  // B = Y1^2
  NXVT_GF25519_Mul(&t.c, &p->Z, &p->Z);
  NXVT_GF25519_Add(&t.c, &t.c, &t.c);    // C = 2 Z1^2
  NXVT_GF25519_Add(&t.h, &t.a, &t.b);    // H = A + B
  NXVT_GF25519_Add(&t.e, &p->X, &p->Y);
  NXVT_GF25519_Mul(&t.e, &t.e, &t.e);
  NXVT_GF25519_Sub(&t.e, &t.h, &t.e);    // E = H - (X1 + Y1)^2
  NXVT_GF25519_Sub(&t.g, &t.a, &t.b);    // G = A - B
  NXVT_GF25519_Add(&t.f, &t.c, &t.g);    // F = C + G
  NXVT_GF25519_Mul(&out->X, &t.e, &t.f);
  NXVT_GF25519_Mul(&out->Y, &t.g, &t.h);
  NXVT_GF25519_Mul(&out->T, &t.e, &t.h);
  NXVT_GF25519_Mul(&out->Z, &t.f, &t.g);
}

void NXVT_Ed25519_PointNeg(NXVT_ED_POINT* out, const NXVT_ED_POINT* p) {
  NXVT_GF25519_Neg(&out->X, &p->X);
  out->Y = p->Y;
  out->Z = p->Z;
  NXVT_GF25519_Neg(&out->T, &p->T);
}

void NXVT_Ed25519_ScalarMult(NXVT_ED_POINT* out, const unsigned char* scalar, const NXVT_ED_POINT* p) {
  NXVT_ED_MULT_WORK w;
  ScalarMultWork(&w, out, scalar, p);  // wipes w
}

void NXVT_Ed25519_ScalarMultBase(NXVT_ED_POINT* out, const unsigned char* scalar) {
  NXVT_ED_POINT b;
  NXVT_Ed25519_PointBase(&b);
  NXVT_Ed25519_ScalarMult(out, scalar, &b);
}

void NXVT_Ed25519_PointEncode(unsigned char* out, NXVT_ED_POINT* p) {
  NXVT_GF25519 zi;
  NXVT_GF25519_Invert(&zi, &p->Z);
  NXVT_GF25519_Mul(&p->X, &p->X, &zi);
  NXVT_GF25519_Mul(&p->Y, &p->Y, &zi);
  p->Z = kOne;
  NXVT_GF25519_Mul(&p->T, &p->X, &p->Y);
  NXVT_GF25519_ToBytes(&p->Y, out);
  out[31] = static_cast<unsigned char>(out[31] | ((p->X.v[0] & 1u) << 7));
  Wipe(&zi, sizeof zi);
}

int NXVT_Ed25519_PointDecode(NXVT_ED_POINT* out, const unsigned char* in) {
  unsigned char yb[32];
  std::memcpy(yb, in, 32);
  uint32_t sign = (yb[31] >> 7) & 1u;
  yb[31] &= 0x7f;
  NXVT_GF25519 y, yc, yy, u, v, x, nx;
  NXVT_GF25519_FromBytes(&y, yb);
  NXVT_GF25519_Freeze(&yc, &y);
  uint32_t canonical = NXVT_GF25519_Equal(&y, &yc);  // y < p

  NXVT_GF25519_Mul(&yy, &yc, &yc);
  NXVT_GF25519_Sub(&u, &yy, &kOne);  // u = y^2 - 1
  NXVT_GF25519_Mul(&v, &yy, &kD);
  NXVT_GF25519_Add(&v, &v, &kOne);   // v = d y^2 + 1
  uint32_t root = NXVT_GF25519_SqrtRatio(&x, &u, &v) == 0 ? 1u : 0u;

  uint32_t xZeroSigned = NXVT_GF25519_IsZero(&x) & sign;
  NXVT_GF25519_Neg(&nx, &x);
  NXVT_GF25519_Select(&x, &x, &nx, (x.v[0] & 1u) ^ sign);

  out->X = x;
  out->Y = yc;
  out->Z = kOne;
  NXVT_GF25519_Mul(&out->T, &x, &yc);
  uint32_t ok = canonical & root & (xZeroSigned ^ 1u);
  return ok ? 0 : 1;
}

int NXVT_Ed25519_IsPrimeOrderPoint(const unsigned char* in) {
  NXVT_ED_POINT a;
  if (NXVT_Ed25519_PointDecode(&a, in) != 0) return 0;
  // The identity (0, 1) passes the order test below but is of order 1.
  if (NXVT_GF25519_IsZero(&a.X) & NXVT_GF25519_Equal(&a.Y, &kOne)) return 0;
  // The points of order 2, 4 and 8, and every sum of a point of order L and
  // one of them, leave their small-order part in [L]A; only points of order
  // L give the identity, X = 0 and Y = Z. A public key needs no fixed
  // schedule: [L]A by doubling from L's top bit (252) and adding A at each
  // set bit below it.
  NXVT_ED_POINT la = a;
  for (int i = 251; i >= 0; --i) {
    NXVT_Ed25519_PointDbl(&la, &la);
    if ((NXVT_ED25519_ORDER[i >> 3] >> (i & 7)) & 1) NXVT_Ed25519_PointAdd(&la, &la, &a);
  }
  return static_cast<int>(NXVT_GF25519_IsZero(&la.X) & NXVT_GF25519_Equal(&la.Y, &la.Z));
}
