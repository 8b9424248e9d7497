// ECIES: ECDH with a one-time scalar, SHA-512 key derivation over the shared
// point, AES-256-CBC with PKCS#7 padding, HMAC-SHA256 over IV, ephemeral key
// and ciphertext (encrypt-then-MAC).
#include "keys/ecies.h"

#include <cstring>
#include <functional>

#include "trail/trail.h"
#include "crypto/bignum/bignum.h"
#include "crypto/aes/block_modes.h"
#include "crypto/aes/cipher.h"
#include "crypto/hash/digest.h"
#include "crypto/ec/general/ecpoint.h"
#include "crypto/hash/hmac.h"
#include "platform/memory.h"
#include "keys/bip39.h"

namespace {

constexpr int32_t kUncompressedLen = 65;
constexpr int32_t kCompressedLen = 33;
constexpr int32_t kAesKeyLen = 32;
constexpr int32_t kMacKeyLen = 32;

bool CurveLoaded(const NXVT_EC_CURVE* curve) {
  return curve != nullptr && (curve->id == NXVT_EC_CURVE_SECP256K1 || curve->id == NXVT_EC_CURVE_P256) &&
         curve->n != nullptr && curve->G != nullptr && curve->isOnCurve != nullptr;
}

// A finite point that the curve's own test accepts.
bool FiniteOnCurve(const NXVT_EC_POINT* P, const NXVT_EC_CURVE* curve) {
  return NXVT_EC_Point_IsInfinity(P) == 0 && curve->isOnCurve(P, curve) == 1;
}

// r = the 32-byte big-endian scalar times the cofactor. It is not reduced
// here: the secret multiplication reduces it modulo n in constant time.
bool LoadScalar(NXVT_BN* r, const uint8_t* scalar, const NXVT_EC_CURVE* curve) {
  NXVT_BN_FromBytes(r, scalar, kEciesScalarLen);
  if (curve->cofactor != 1) {
    NXVT_BN h;
    h.count = 1;
    h.words[0] = curve->cofactor;
    if (NXVT_BN_Mul(r, r, &h) != 0) return false;
  }
  return true;
}

// HMAC-SHA256 of data under the 32-byte key.
bool MacTag(const uint8_t* key, const uint8_t* data, size_t len, uint8_t* tag) {
  NXVT_HMAC_CTX ctx;
  ScopedWipe wipeCtx(ctx);
  if (NXVT_HMAC_Init(&ctx, key, kMacKeyLen, &NXVT_SHA256_DESC) != 0) return false;
  NXVT_HMAC_Update(&ctx, data, len);
  int32_t tagLen = kEciesTagLen;
  NXVT_HMAC_Final(tag, &tagLen, &ctx);
  return tagLen == kEciesTagLen;
}

// Compressed (scalar mod n) * G.
bool EphemeralPublic(const uint8_t* scalar, NXVT_EC_CURVE* curve, uint8_t* out) {
  NXVT_BN r;
  ScopedWipe wipeR(r);
  if (!LoadScalar(&r, scalar, curve)) return false;
  OwnedPoint Q;
  if (!Q.ok() || NXVT_EC_Point_MultSecret(Q.get(), &r, curve->G, curve) != 0) return false;
  if (NXVT_EC_Point_ToAffine(Q.get(), Q.get(), curve) != 0 || !FiniteOnCurve(Q.get(), curve)) return false;
  uint32_t len = kCompressedLen;
  return NXVT_EC_Point_ToOctets(Q.get(), kEcFormCompressed, out, &len, curve) == 0 && len == kCompressedLen;
}

bool Overlaps(const uint8_t* a, size_t aLen, const uint8_t* b, size_t bLen) {
  const std::less<const uint8_t*> lt;
  return aLen > 0 && bLen > 0 && lt(a, b + bLen) && lt(b, a + aLen);
}

}  // namespace

int64_t EciesEncryptBound(int64_t plainLen) {
  if (plainLen < 0) return -1;
  const int64_t bound = 16 * (plainLen / 16) + kEciesOverhead + kEciesTagLen;
  return bound > INT32_MAX ? -1 : bound;
}

int ECIES_KDF(const uint8_t* priv, int32_t privLen, const uint8_t* pub, int32_t pubLen, uint8_t* iv, int32_t ivLen,
              uint8_t* keyMaterial, const void* /*unused*/, NXVT_EC_CURVE* curve) {
  if (priv == nullptr || privLen != kEciesScalarLen || pub == nullptr ||
      (pubLen != kCompressedLen && pubLen != kUncompressedLen) || keyMaterial == nullptr || !CurveLoaded(curve) ||
      (iv != nullptr && ivLen != kEciesIvLen))
    return TrailFail("ECIES_KDF", 154);
  // A message must never go out under an IV the random source did not fill.
  if (iv != nullptr && GenerateEntropy(nullptr, iv, kEciesIvLen) != 0) return TrailFail("ECIES_KDF", 154);

  struct {
    NXVT_BN r;
    uint8_t shared[kUncompressedLen];
    NXVT_DIGEST_CTX sha;
  } w;
  ScopedWipe wipeW(w);
  OwnedPoint P;
  if (!P.ok() || !LoadScalar(&w.r, priv, curve)) return TrailFail("ECIES_KDF", 166);
  // The peer key must be a finite curve point; the shared point must not be
  // the point at infinity (a scalar of 0 modulo n), whose key material anyone
  // could compute.
  if (NXVT_EC_Point_Decode(P.get(), pub, static_cast<uint64_t>(pubLen), curve) != 0 ||
      !FiniteOnCurve(P.get(), curve))
    return TrailFail("ECIES_KDF", 166);
  // 04 || X || Y of the shared point, from the constant-time code: the
  // point is secret and never becomes a big-number point.
  uint32_t encLen = kUncompressedLen;
  if (NXVT_EC_Point_MultShared(&w.r, P.get(), kEcFormUncompressed, w.shared, &encLen, curve) != 0 ||
      encLen != static_cast<uint32_t>(kUncompressedLen))
    return TrailFail("ECIES_KDF", 166);

  if (NXVT_Digest_Init(&w.sha, &NXVT_SHA512_DESC) != 0) return TrailFail("ECIES_KDF", 166);
  NXVT_Digest_Update(&w.sha, w.shared, kUncompressedLen);
  int32_t kmLen = kEciesKeyMaterialLen;
  NXVT_Digest_Final(keyMaterial, &kmLen, &w.sha);
  if (kmLen != kEciesKeyMaterialLen) {
    Wipe(keyMaterial, kEciesKeyMaterialLen);
    return TrailFail("ECIES_KDF", 166);
  }
  return 0;
}

int ECIES_Encrypt(const uint8_t* plain, int32_t plainLen, const uint8_t* ephPriv, int32_t ephPrivLen,
                  const uint8_t* pub, int32_t pubLen, uint8_t* out, int32_t* outLen, const NXVT_PKC* pkc) {
  if (plain == nullptr || plainLen < 0 || ephPriv == nullptr || ephPrivLen != kEciesScalarLen || pub == nullptr ||
      (pubLen != kCompressedLen && pubLen != kUncompressedLen) || outLen == nullptr || pkc == nullptr)
    return TrailFail("ECIES_Encrypt", 212);
  const int64_t bound = EciesEncryptBound(plainLen);
  if (bound < 0) return TrailFail("ECIES_Encrypt", 212);
  const int32_t needed = static_cast<int32_t>(bound);
  if (out == nullptr) {
    *outLen = needed;
    return 0;
  }
  if (*outLen < needed || !CurveLoaded(pkc->curve)) return TrailFail("ECIES_Encrypt", 224);
  NXVT_EC_CURVE* curve = pkc->curve;

  // The output is written before the plaintext is read in full; a plaintext
  // inside the output buffer is encrypted from a copy.
  SecureBytes plainCopy;
  if (Overlaps(plain, static_cast<size_t>(plainLen), out, static_cast<size_t>(needed))) {
    plainCopy.resize(static_cast<size_t>(plainLen));
    std::memcpy(plainCopy.data(), plain, static_cast<size_t>(plainLen));
    plain = plainCopy.data();
  }

  // The keys are read from copies too, so that the IV written first cannot
  // change them.
  struct {
    uint8_t km[kEciesKeyMaterialLen];
    uint8_t eph[kEciesScalarLen];
    uint8_t pub[kUncompressedLen];
  } w;
  ScopedWipe wipeW(w);
  std::memcpy(w.eph, ephPriv, kEciesScalarLen);
  std::memcpy(w.pub, pub, static_cast<size_t>(pubLen));
  uint8_t* km = w.km;
  int code = 0;
  uint32_t cLen = static_cast<uint32_t>(needed - kEciesOverhead);
  if (ECIES_KDF(w.eph, ephPrivLen, w.pub, pubLen, out, kEciesIvLen, km, nullptr, curve) != 0) {
    code = 232;
  } else if (!EphemeralPublic(w.eph, curve, out + kEciesEphPubOffset)) {
    code = 240;
  } else if (AESEncrypt(plain, static_cast<uint32_t>(plainLen), km, kAesKeyLen, out, kEciesIvLen, kAesModeCbc,
                        kAesPkcs7Padding, out + kEciesCipherOffset, &cLen) != 0 ||
             cLen != static_cast<uint32_t>(16 * (plainLen / 16 + 1))) {
    code = 248;
  } else {
    const uint32_t macLen = static_cast<uint32_t>(kEciesCipherOffset) + cLen;
    if (!MacTag(km + kAesKeyLen, out, macLen, out + macLen)) code = 248;
  }
  if (code != 0) {
    // No half-built message is left behind.
    Wipe(out, static_cast<size_t>(needed));
    return TrailFail("ECIES_Encrypt", code);
  }
  *outLen = kEciesCipherOffset + static_cast<int32_t>(cLen) + kEciesTagLen;
  return 0;
}

int ECIES_Decrypt(const uint8_t* msg, int32_t msgLen, const uint8_t* priv, int32_t privLen, uint8_t* out,
                  int32_t* outLen, const NXVT_PKC* pkc) {
  // The length is checked before any offset is formed from it.
  if (msg == nullptr || msgLen < kEciesMinMsgLen || priv == nullptr || privLen != kEciesScalarLen ||
      outLen == nullptr || pkc == nullptr)
    return TrailFail("ECIES_Decrypt", 295);
  if (out == nullptr) {
    *outLen = msgLen;
    return 0;
  }
  if (*outLen < msgLen || !CurveLoaded(pkc->curve)) return TrailFail("ECIES_Decrypt", 306);

  struct {
    uint8_t km[kEciesKeyMaterialLen];
    uint8_t tag[kEciesTagLen];
  } w;
  ScopedWipe wipeW(w);
  if (ECIES_KDF(priv, privLen, msg + kEciesEphPubOffset, kEciesEphPubLen, nullptr, 0, w.km, nullptr, pkc->curve) !=
      0)
    return TrailFail("ECIES_Decrypt", 315);
  const size_t macLen = static_cast<size_t>(msgLen - kEciesTagLen);
  if (!MacTag(w.km + kAesKeyLen, msg, macLen, w.tag) || !ConstantTimeEqual(w.tag, msg + macLen, kEciesTagLen))
    return TrailFail("ECIES_Decrypt", 325);

  // Decrypt into a work buffer: the caller's buffer receives only a plaintext
  // whose padding checked out, and may overlap the message.
  const uint32_t cLen = static_cast<uint32_t>(msgLen - kEciesOverhead);
  SecureBytes work(cLen);
  uint32_t pLen = cLen;
  if (AESDecrypt(msg + kEciesCipherOffset, cLen, w.km, kAesKeyLen, msg, kEciesIvLen, kAesModeCbc, kAesPkcs7Padding,
                 work.data(), &pLen) != 0 ||
      pLen > cLen)
    return TrailFail("ECIES_Decrypt", 331);
  if (pLen > 0) std::memmove(out, work.data(), pLen);
  *outLen = static_cast<int32_t>(pLen);
  return 0;
}
