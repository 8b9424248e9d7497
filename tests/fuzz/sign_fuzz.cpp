// Signs with a key and message taken from the input through the signature
// exports and checks that the signature verifies (and a changed message does
// not); the rest of the input goes to the verifiers as arbitrary R, S, key and
// signature bytes, which must be refused or accepted without a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypto/ec/general/eccurve.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ed25519/ed25519.h"
#include "tolvaris/bcm_sign.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 36) return 0;
  const uint8_t mode = data[0];
  const uint32_t curve = mode & 1u;
  const uint32_t keepS = (mode >> 1) & 1u;
  const uint32_t hashIds[] = {0, 1, 3, 10, 11, 2, 12, 7};
  const uint32_t hashId = hashIds[(mode >> 2) & 7u];
  const uint8_t rLen = data[1] % 40, sLen = data[2] % 40;
  const uint8_t* priv = data + 3;
  const uint8_t* rest = data + 35;
  const size_t restLen = size - 35;
  const int msgLen = static_cast<int>(restLen > 64 ? 64 : restLen);

  uint8_t R[33], S[33];
  int rl = 33, sl = 33;
  uint32_t recid = 0;
  const int rc = BCMGenSignature(curve, priv, 32, hashId, rest, msgLen, keepS, R, &rl, S, &sl, &recid);
  NXVT_PKC* pkc = GetPKCParam(curve);
  Check(pkc != nullptr);
  uint8_t pub[33];
  uint32_t pubLen = 33;
  const bool keyOk = NXVT_EC_GetCompPub(priv, 32, pkc, pub, &pubLen) == 0;
  const bool hashOk = hashId == 1 || hashId == 3 || hashId == 10 || hashId == 11 || (hashId == 0 && msgLen <= 32);
  Check((rc == 0) == (keyOk && hashOk));
  if (rc == 0) {
    Check((rl == 32 || rl == 33) && (sl == 32 || sl == 33) && recid <= 1);
    Check(BCMVerifySignature(curve, pub, 33, R, rl, S, sl, hashId, rest, msgLen) == 0);
    if (msgLen > 0 && hashId != 0) {
      uint8_t changed[64];
      std::memcpy(changed, rest, static_cast<size_t>(msgLen));
      changed[0] ^= 1;
      Check(BCMVerifySignature(curve, pub, 33, R, rl, S, sl, hashId, changed, msgLen) != 0);
    }
  }
  // Arbitrary bytes as R, S and key.
  if (restLen >= static_cast<size_t>(rLen) + sLen + 33) {
    const uint8_t* r = rest;
    const uint8_t* s = rest + rLen;
    const uint8_t* k = s + sLen;
    BCMVerifySignature(curve, k, 33, r, rLen, s, sLen, 0, rest, 32 < restLen ? 32 : static_cast<int>(restLen));
    NXVT_ECDSA_VerifyRS(r, rLen, s, sLen, rest, 32, k, 33, pkc);
  }
  if (restLen >= 96) BCMVerifySignature_ED(rest, 64, rest + 64, 32, rest, static_cast<int>(restLen), nullptr, 0, 0);
  NXVT_PKC_Free(pkc);
  return 0;
}
