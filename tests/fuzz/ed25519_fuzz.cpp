// Feeds arbitrary signatures, keys, contexts and messages to Ed25519
// verification and point decoding, and checks that signing with a key taken
// from the input always yields a signature that verifies (and only under the
// same variant). With flag bit 3 the fast multiplications are also compared
// with the reference ladders: [a]B - [b]P for the input's two signature
// halves and key, and [a]B alone. The check that a key is a point of order L
// agrees with the fixed-schedule ladder and accepts every derived key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/ed25519/ed25519.h"
#include "crypto/ed25519/ed25519_mult.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

// [a]B - [b]P and [a]B by the fast code and by the reference ladders.
void CompareWithReference(const uint8_t a[32], const uint8_t b[32], const uint8_t pEnc[32]) {
  NXVT_ED_POINT P, aB, bP;
  unsigned char fast[32], ref[32];
  NXVT_Ed25519_ScalarMultBase(&aB, a);
  NXVT_ED_POINT aOnly = aB;
  NXVT_Ed25519_PointEncode(ref, &aOnly);
  Ed25519_MulBaseEncode(fast, a);
  Check(std::memcmp(fast, ref, 32) == 0);
  const bool decodes = NXVT_Ed25519_PointDecode(&P, pEnc) == 0;
  Check(Ed25519_DoubleMulEncodeVartime(fast, a, b, pEnc) == decodes);
  if (!decodes) return;
  NXVT_Ed25519_PointNeg(&P, &P);
  NXVT_Ed25519_ScalarMult(&bP, b, &P);
  NXVT_Ed25519_PointAdd(&aB, &aB, &bP);
  NXVT_Ed25519_PointEncode(ref, &aB);
  Check(std::memcmp(fast, ref, 32) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: 1 flag byte, 64 signature bytes, 32 key bytes, 1 context length,
  // the context, then the message.
  if (size < 98) return 0;
  const uint8_t flags = data[0];
  const uint8_t* sig = data + 1;
  const uint8_t* key = data + 65;
  size_t ctxLen = data[97];
  size_t rest = size - 98;
  if (ctxLen > rest) ctxLen = rest;
  const uint8_t* ctx = (flags & 2) ? data + 98 : nullptr;
  if (ctx == nullptr) ctxLen = 0;
  const uint8_t* msg = data + 98 + ctxLen;
  const size_t msgLen = rest - ctxLen;
  const uint8_t ph = flags & 1;

  if (flags & 8) CompareWithReference(sig + 32, sig, key);

  NXVT_ED_POINT pt;
  const int primeOrder = NXVT_Ed25519_IsPrimeOrderPoint(key);
  if (NXVT_Ed25519_PointDecode(&pt, key) == 0) {
    // A decoded key re-encodes to the same bytes.
    unsigned char enc[32];
    NXVT_ED_POINT copy = pt;
    NXVT_Ed25519_PointEncode(enc, &copy);
    Check(std::memcmp(enc, key, 32) == 0);
    // The key check agrees with the fixed-schedule ladder: [L]A is the
    // identity for A other than the identity.
    NXVT_ED_POINT la;
    NXVT_Ed25519_ScalarMult(&la, NXVT_ED25519_ORDER, &pt);
    unsigned char lEnc[32];
    NXVT_Ed25519_PointEncode(lEnc, &la);
    static const unsigned char kIdentity[32] = {1};
    const bool identity = std::memcmp(key, kIdentity, 32) == 0;
    Check(primeOrder == ((std::memcmp(lEnc, kIdentity, 32) == 0 && !identity) ? 1 : 0));
  } else {
    Check(primeOrder == 0);
  }
  // The key bytes as a private key: its public key is always accepted.
  unsigned char derived[32];
  Check(NXVT_Ed25519_GetPub(key, derived) == 0);
  Check(NXVT_Ed25519_IsPrimeOrderPoint(derived) == 1);
  int rc = NXVT_Ed25519_Verify(sig, key, msg, msgLen, ctx, ctxLen, ph);
  Check(rc == 0 || rc == NXVT_ED25519_FAIL);

  // The key bytes as a private key: our own signature verifies.
  unsigned char pub[32], own[64];
  Check(NXVT_Ed25519_GetPub(key, pub) == 0);
  Check(NXVT_Ed25519_Sign(own, key, (flags & 4) ? pub : nullptr, msg, msgLen, ctx, ctxLen, ph) == 0);
  Check(NXVT_Ed25519_Verify(own, pub, msg, msgLen, ctx, ctxLen, ph) == 0);
  Check(NXVT_Ed25519_Verify(own, pub, msg, msgLen, ctx, ctxLen, ph ^ 1) == NXVT_ED25519_FAIL);
  // A supplied key other than the derived one is refused.
  if (std::memcmp(pub, sig, 32) != 0)
    Check(NXVT_Ed25519_Sign(own, key, sig, msg, msgLen, ctx, ctxLen, ph) == NXVT_ED25519_FAIL);
  return 0;
}
