// The constant-time curve code against the general big-number code on
// arbitrary inputs: for a key given as 33 bytes (02/03 and X) and two
// 32-byte scalars, k*P, k*G (also as the encoded shared point of a key
// agreement) and the double multiplication of verification
// (and its comparison of x with r, and the public sum P + k*P) agree with
// the window-NAF reference on both curves, and Ed25519's fast
// double multiplication agrees with the reference ladders, including on
// encodings that do not decode. Layout: curve byte, 33 key bytes, k, m. The
// curve byte also picks the field code: (byte / 3) odd forces the portable
// path, else the processor's (MULX, AVX2).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "crypto/cpu_features.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"
#include "crypto/ed25519/ed25519.h"
#include "crypto/ed25519/ed25519_mult.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

struct Pt {
  NXVT_EC_POINT* p = NXVT_EC_Point_New();
  ~Pt() { NXVT_EC_Point_Free(p); }
};

bool Same(const NXVT_EC_POINT* a, const NXVT_EC_POINT* b, NXVT_EC_CURVE* c) {
  return NXVT_EC_Point_Cmp(a, b, c) == 0;
}

// Affine bytes of a finite point, through the general code.
Ec256Point Bytes(const NXVT_EC_POINT* P, NXVT_EC_CURVE* c) {
  Ec256Point out = {};
  Pt A;
  if (NXVT_EC_Point_IsInfinity(P)) {
    out.infinity = 1;
    return out;
  }
  if (NXVT_EC_Point_ToAffine(A.p, P, c) != 0 || NXVT_BN_ToFixedBytes(out.x, 32, A.p->X) != 0 ||
      NXVT_BN_ToFixedBytes(out.y, 32, A.p->Y) != 0)
    Fail("affine bytes");
  return out;
}

// The verification's comparison of x modulo n with r, against R = m*G + k*P
// from the reference: true for r = x mod n, false for r + 1.
void VerifyX(NXVT_EC_CURVE* c, const NXVT_EC_POINT* R, const NXVT_EC_POINT* P, const uint8_t* k, const uint8_t* m) {
  const Ec256Curve* ec = Ec256_Of(c);
  Ec256Scalar a, b, r;
  Ec256_ScalarFromBytes(ec, &a, m);
  Ec256_ScalarFromBytes(ec, &b, k);
  const Ec256Point p = Bytes(P, c), sum = Bytes(R, c);
  // x < p < 2n: x mod n is x or x - n.
  Ec256_ScalarFromBytes(ec, &r, sum.x);
  const Ec256Scalar one = {{1, 0, 0, 0}};
  if (sum.infinity) {
    if (Ec256_VerifyXVartime(ec, &a, &b, p.x, p.y, &one)) Fail("verification passes at infinity");
    return;
  }
  if (!Ec256_ScalarIsZero(&r) && !Ec256_VerifyXVartime(ec, &a, &b, p.x, p.y, &r)) Fail("verification misses x");
  Ec256_ScalarAdd(ec, &r, &r, &one);
  if (!Ec256_ScalarIsZero(&r) && Ec256_VerifyXVartime(ec, &a, &b, p.x, p.y, &r)) Fail("verification takes x + 1");
}

// The shared point k*P in both forms against the reference product R
// encoded by the general code (1 for the point at infinity).
void SharedPoint(NXVT_EC_CURVE* c, const NXVT_BN* k, const NXVT_EC_POINT* P, const NXVT_EC_POINT* R) {
  for (int32_t form : {kEcFormCompressed, kEcFormUncompressed}) {
    uint8_t got[65], want[65];
    uint32_t len = sizeof got, wantLen = sizeof want;
    const int32_t rc = NXVT_EC_Point_MultShared(k, P, form, got, &len, c);
    if (NXVT_EC_Point_IsInfinity(R)) {
      if (rc != 1) Fail("shared point at infinity not refused");
      continue;
    }
    if (rc != 0 || NXVT_EC_Point_ToOctets(R, form, want, &wantLen, c) != 0) Fail("shared point failed");
    if (len != wantLen || std::memcmp(got, want, len) != 0) Fail("shared point differs from the reference");
  }
}

// P + Q for public points against the general sum.
void PublicSum(NXVT_EC_CURVE* c, const NXVT_EC_POINT* P, const NXVT_EC_POINT* Q) {
  Pt R;
  if (NXVT_EC_Point_Add(R.p, P, Q, c) != 0) Fail("reference point sum failed");
  const Ec256Point p = Bytes(P, c), q = Bytes(Q, c), want = Bytes(R.p, c);
  Ec256Point got;
  Ec256_AddVartime(Ec256_Of(c), &got, &p, &q);
  if (got.infinity != want.infinity || std::memcmp(got.x, want.x, 32) != 0 || std::memcmp(got.y, want.y, 32) != 0)
    Fail("public point sum differs from the reference");
}

void Weierstrass(uint32_t code, const uint8_t* key, const uint8_t* k, const uint8_t* m) {
  NXVT_PKC* pkc = GetPKCParam(code);
  if (pkc == nullptr) Fail("curve");
  NXVT_EC_CURVE* c = pkc->curve;
  NXVT_BN kb, mb;
  NXVT_BN_FromBytes(&kb, k, 32);
  NXVT_BN_FromBytes(&mb, m, 32);
  Pt P, A, B, R, S;
  if (NXVT_EC_Point_Decode(P.p, key, 33, c) == 0) {
    if (NXVT_EC_Point_MultSecret(A.p, &kb, P.p, c) != 0 || NXVT_EC_Point_MultVartime(B.p, &kb, P.p, c) != 0)
      Fail("k*P failed");
    if (!Same(A.p, B.p, c)) Fail("k*P differs from the reference");
    SharedPoint(c, &kb, P.p, B.p);
    // m*G + k*P
    if (NXVT_EC_Point_MultVartime(R.p, &mb, c->G, c) != 0 || NXVT_EC_Point_Add(R.p, R.p, B.p, c) != 0)
      Fail("reference sum failed");
    if (NXVT_EC_Point_DualMult(S.p, &kb, P.p, &mb, c) != 0) Fail("double multiplication failed");
    if (!Same(R.p, S.p, c)) Fail("double multiplication differs from the reference");
    VerifyX(c, R.p, P.p, k, m);
    PublicSum(c, P.p, B.p);
  }
  if (NXVT_EC_Point_MultSecret(A.p, &kb, c->G, c) != 0 || NXVT_EC_Point_MultVartime(B.p, &kb, c->G, c) != 0)
    Fail("k*G failed");
  if (!Same(A.p, B.p, c)) Fail("k*G differs from the reference");
  SharedPoint(c, &kb, c->G, B.p);
  NXVT_PKC_Free(pkc);
}

void Edwards(const uint8_t* enc, const uint8_t* a, const uint8_t* b) {
  unsigned char fast[32], ref[32];
  NXVT_ED_POINT P, aB, bP;
  const bool ok = NXVT_Ed25519_PointDecode(&P, enc) == 0;
  if (Ed25519_DoubleMulEncodeVartime(fast, a, b, enc) != ok) Fail("Ed25519 decoding verdicts differ");
  if (ok) {
    NXVT_Ed25519_PointNeg(&P, &P);
    NXVT_Ed25519_ScalarMultBase(&aB, a);
    NXVT_Ed25519_ScalarMult(&bP, b, &P);
    NXVT_Ed25519_PointAdd(&aB, &aB, &bP);
    NXVT_Ed25519_PointEncode(ref, &aB);
    if (std::memcmp(fast, ref, 32) != 0) Fail("Ed25519 double multiplication differs");
  }
  Ed25519_MulBaseEncode(fast, a);
  NXVT_Ed25519_ScalarMultBase(&aB, a);
  NXVT_Ed25519_PointEncode(ref, &aB);
  if (std::memcmp(fast, ref, 32) != 0) Fail("Ed25519 [s]B differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 + 33 + 64) return 0;
  const uint8_t* key = data + 1;
  const uint8_t* k = data + 34;
  const uint8_t* m = data + 66;
  NXVT_ForcePortableForTest((data[0] / 3) % 2 == 1);
  switch (data[0] % 3) {
    case 0:
      Weierstrass(0, key, k, m);
      break;
    case 1:
      Weierstrass(1, key, k, m);
      break;
    default:
      Edwards(key + 1, k, m);
      break;
  }
  NXVT_ForcePortableForTest(false);
  return 0;
}
