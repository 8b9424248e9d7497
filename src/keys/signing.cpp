#include "keys/signing.h"

#include <cstring>

#include "trail/trail.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ed25519/ed25519.h"
#include "platform/memory.h"

namespace {

// The 32-byte hash value of a message: 0, or -1 (the digest layer has added
// its own trail entries then).
int HashValue(uint8_t* hash, HashId hashId, const uint8_t* msg, int32_t msgLen) {
  std::memset(hash, 0, kEcdsaHashLen);
  if (!msg || msgLen < 0) return -1;
  if (hashId == 0) {
    if (static_cast<uint32_t>(msgLen) > kEcdsaHashLen) return -1;
    if (msgLen > 0) std::memcpy(hash, msg, static_cast<size_t>(msgLen));
    return 0;
  }
  int32_t len = static_cast<int32_t>(kEcdsaHashLen);
  return DoDigest(hashId, msg, static_cast<uint32_t>(msgLen), hash, &len) == 0 ? 0 : -1;
}

// A context present with 1..255 bytes, or absent with length 0.
bool ContextOk(const uint8_t* ctx, int32_t ctxLen) {
  if (ctx) return ctxLen >= 1 && static_cast<size_t>(ctxLen) <= NXVT_ED25519_MAX_CTX_LEN;
  return ctxLen == 0;
}

}  // namespace

int rfc6979_secp256k1_sign(const uint8_t* pri, int32_t priLen, HashId hashId, const uint8_t* msg, int32_t msgLen,
                           uint32_t keepS, const NXVT_PKC* pkc, uint8_t* R, uint32_t* RLen, uint8_t* S,
                           uint32_t* SLen, uint32_t* recid) {
  static const char* const kName = "rfc6979_secp256k1_sign";
  uint8_t hash[kEcdsaHashLen];
  ScopedWipe wipeHash(hash, sizeof hash);
  if (HashValue(hash, hashId, msg, msgLen) != 0) return TrailFail(kName, 23);
  if (priLen < 0 ||
      NXVT_ECDSA_SignRFC6979(hash, kEcdsaHashLen, keepS, pri, static_cast<uint32_t>(priLen), pkc, R, RLen, S, SLen,
                             recid) != 0)
    return TrailFail(kName, 35);
  return 0;
}

int rfc6979_secp256k1_verify(const uint8_t* pub, int32_t pubLen, const uint8_t* R, int32_t RLen, const uint8_t* S,
                             int32_t SLen, HashId hashId, const uint8_t* msg, int32_t msgLen, const NXVT_PKC* pkc) {
  static const char* const kName = "rfc6979_secp256k1_verify";
  uint8_t hash[kEcdsaHashLen];
  ScopedWipe wipeHash(hash, sizeof hash);
  if (HashValue(hash, hashId, msg, msgLen) != 0) return TrailFail(kName, 62);
  if (pubLen < 0 || RLen < 0 || SLen < 0 ||
      NXVT_ECDSA_VerifyRS(R, static_cast<uint32_t>(RLen), S, static_cast<uint32_t>(SLen), hash, kEcdsaHashLen, pub,
                          static_cast<uint32_t>(pubLen), pkc) != 0)
    return TrailFail(kName, 73);
  return 0;
}

int rfc8032_ed25519_sign(const uint8_t* pri, int32_t priLen, const uint8_t* msg, int32_t msgLen, const uint8_t* ctx,
                         int32_t ctxLen, uint8_t prehash, uint8_t* sig) {
  static const char* const kName = "rfc8032_ed25519_sign";
  if (!pri || !sig || priLen != static_cast<int32_t>(NXVT_ED25519_KEY_LEN) || !msg || msgLen < 0 ||
      !ContextOk(ctx, ctxLen))
    return TrailFail(kName, 98);
  if (NXVT_Ed25519_Sign(sig, pri, nullptr, msg, static_cast<size_t>(msgLen), ctx, static_cast<size_t>(ctxLen),
                        prehash) != 0)
    return TrailFail(kName, 103);
  return 0;
}

int rfc8032_ed25519_verify(const uint8_t* sig, int32_t sigLen, const uint8_t* pub, int32_t pubLen,
                           const uint8_t* msg, int32_t msgLen, const uint8_t* ctx, int32_t ctxLen, uint8_t prehash) {
  static const char* const kName = "rfc8032_ed25519_verify";
  if (!sig || !pub || sigLen != static_cast<int32_t>(NXVT_ED25519_SIG_LEN) ||
      pubLen != static_cast<int32_t>(NXVT_ED25519_KEY_LEN) || !msg || msgLen < 0 || !ContextOk(ctx, ctxLen))
    return TrailFail(kName, 125);
  if (NXVT_Ed25519_Verify(sig, pub, msg, static_cast<size_t>(msgLen), ctx, static_cast<size_t>(ctxLen), prehash) != 0)
    return TrailFail(kName, 130);
  return 0;
}
