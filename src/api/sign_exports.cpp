// Signature exports: deterministic ECDSA on secp256k1 / P-256 and Ed25519.
#include "api/frame.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ed25519/ed25519.h"
#include "keys/signing.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr int kSigPartCap = static_cast<int>(kEcdsaSigPartCap);
constexpr int kEdSigLen = static_cast<int>(NXVT_ED25519_SIG_LEN);
constexpr int kEdKeyLen = static_cast<int>(NXVT_ED25519_KEY_LEN);

}  // namespace

int BCMGenSignature(uint32_t curve, const unsigned char* pri, int priLen, uint32_t hashId, const unsigned char* msg,
                    int msgLen, uint32_t keepS, unsigned char* sigR, int* sigRLen, unsigned char* sigS, int* sigSLen,
                    uint32_t* recid) {
  return RunExport("BCMGenSignature", 1636, [&](ExportFrame& f) {
    if (pri == nullptr || priLen != static_cast<int>(kEcdsaPrivLen) || msg == nullptr || sigRLen == nullptr ||
        sigSLen == nullptr || recid == nullptr)
      return f.NullParam(1583);
    if (sigR == nullptr || sigS == nullptr) {
      *sigRLen = kSigPartCap;
      *sigSLen = kSigPartCap;
      return 0;
    }
    if (*sigRLen < kSigPartCap || *sigSLen < kSigPartCap)
      return f.Fail(1596, "buffer size SigR[%d is lower than %d] SigS[%d is lower than %d]", *sigRLen, kSigPartCap,
                    *sigSLen, kSigPartCap);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1629, "bc-vantrel get pkcparam error");
    uint32_t rLen = static_cast<uint32_t>(*sigRLen);
    uint32_t sLen = static_cast<uint32_t>(*sigSLen);
    if (rfc6979_secp256k1_sign(pri, priLen, hashId, msg, msgLen, keepS, pkc.get(), sigR, &rLen, sigS, &sLen, recid) !=
        0)
      return f.Fail(1636, "bc-module rfc6979_secp256k1_sign error");
    *sigRLen = static_cast<int>(rLen);
    *sigSLen = static_cast<int>(sLen);
    return 0;
  });
}

int BCMVerifySignature(uint32_t curve, const unsigned char* pub, int pubLen, const unsigned char* sigR, int sigRLen,
                       const unsigned char* sigS, int sigSLen, uint32_t hashId, const unsigned char* msg, int msgLen) {
  return RunExport("BCMVerifySignature", 1677, [&](ExportFrame& f) {
    if (pub == nullptr || pubLen != static_cast<int>(kEcCompPubLen) || msg == nullptr || sigR == nullptr ||
        sigS == nullptr)
      return f.NullParam(1663);
    ScopedPkc pkc(curve);
    if (pkc.get() == nullptr) return f.Fail(1669, "bc-vantrel get pkcparam error");
    if (rfc6979_secp256k1_verify(pub, pubLen, sigR, sigRLen, sigS, sigSLen, hashId, msg, msgLen, pkc.get()) != 0)
      return f.Fail(1677, "bc-module rfc6979_secp256k1_verify error");
    return 0;
  });
}

int BCMGenSignature_ED(const unsigned char* pri, int priLen, const unsigned char* msg, int msgLen,
                       const unsigned char* ctx, int ctxLen, unsigned char prehash, unsigned char* sig, int* sigLen) {
  return RunExport("BCMGenSignature_ED", 1970, [&](ExportFrame& f) {
    if (pri == nullptr || priLen != kEdKeyLen || msg == nullptr || sigLen == nullptr) return f.NullParam(1941);
    if (sig == nullptr) {
      *sigLen = kEdSigLen;
      return 0;
    }
    if (*sigLen < kEdSigLen) return f.Fail(1954, "buffer size Sig[%d is lower than %d]", *sigLen, kEdSigLen);
    // A context length below 1 means no context, whatever the pointer.
    const unsigned char* c = ctxLen >= 1 ? ctx : nullptr;
    const int cLen = ctxLen >= 1 ? ctxLen : 0;
    if (rfc8032_ed25519_sign(pri, priLen, msg, msgLen, c, cLen, prehash, sig) != 0)
      return f.Fail(1970, "bc-module rfc8032_ed25519_sign error");
    *sigLen = kEdSigLen;
    return 0;
  });
}

int BCMVerifySignature_ED(const unsigned char* sig, int sigLen, const unsigned char* pub, int pubLen,
                          const unsigned char* msg, int msgLen, const unsigned char* ctx, int ctxLen,
                          unsigned char prehash) {
  return RunExport("BCMVerifySignature_ED", 2002, [&](ExportFrame& f) {
    if (sig == nullptr || sigLen != kEdSigLen || pub == nullptr || pubLen != kEdKeyLen || msg == nullptr)
      return f.NullParam(1996);
    const unsigned char* c = ctxLen >= 1 ? ctx : nullptr;
    const int cLen = ctxLen >= 1 ? ctxLen : 0;
    if (rfc8032_ed25519_verify(sig, sigLen, pub, pubLen, msg, msgLen, c, cLen, prehash) != 0)
      return f.Fail(2002, "bc-module rfc8032_ed25519_verify error");
    return 0;
  });
}
