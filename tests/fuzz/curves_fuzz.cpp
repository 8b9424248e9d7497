// The constant-time curve code against the general big-number code on
// arbitrary inputs: for a key given as 33 bytes (02/03 and X) and two
// 32-byte scalars, k*P, k*G and the double multiplication of verification
// agree with the window-NAF reference on both curves, and Ed25519's fast
// double multiplication agrees with the reference ladders, including on
// encodings that do not decode. Layout: curve byte, 33 key bytes, k, m. The
// curve byte also picks the field code: (byte / 3) odd forces the portable
// path, else the processor's (MULX, AVX2).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crypto/cpu_features.h"
#include "crypto/eccurve.h"
#include "crypto/ecpoint.h"
#include "crypto/ed25519.h"
#include "crypto/ed25519_mult.h"

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
    // m*G + k*P
    if (NXVT_EC_Point_MultVartime(R.p, &mb, c->G, c) != 0 || NXVT_EC_Point_Add(R.p, R.p, B.p, c) != 0)
      Fail("reference sum failed");
    if (NXVT_EC_Point_DualMult(S.p, &kb, P.p, &mb, c) != 0) Fail("double multiplication failed");
    if (!Same(R.p, S.p, c)) Fail("double multiplication differs from the reference");
  }
  if (NXVT_EC_Point_MultSecret(A.p, &kb, c->G, c) != 0 || NXVT_EC_Point_MultVartime(B.p, &kb, c->G, c) != 0)
    Fail("k*G failed");
  if (!Same(A.p, B.p, c)) Fail("k*G differs from the reference");
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
