// ECIES and ECDH exports on secp256k1 / P-256.
#include <cstring>

#include "api/frame.h"
#include "crypto/bignum/bignum.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"
#include "platform/memory.h"
#include "keys/ecies.h"
#include "tolvaris/bcm_ecies.h"
#include "tolvaris/bcm_kdf.h"

namespace {

constexpr int kPrivLen = 32;
constexpr int kCompPubLen = 33;
constexpr int kUncompPubLen = 65;

// The ECDH exports record a message but no location entry.
template <class... A>
int MsgFail(int code, const char* fmt, A... args) {
  if constexpr (sizeof...(A) == 0) {
    AddErrMsg("%s", fmt);
  } else {
    AddErrMsg(fmt, args...);
  }
  return code;
}

bool IsPubLen(int len) { return len == kCompPubLen || len == kUncompPubLen; }

// Compressed form of a finite public point: 02/03 by the parity of the
// affine Y, then X. The point is made affine in place.
bool Compress(NXVT_EC_POINT* P, NXVT_EC_CURVE* curve, uint8_t* out) {
  if (NXVT_EC_Point_ToAffine(P, P, curve) != 0 || NXVT_EC_Point_IsInfinity(P)) return false;
  uint32_t len = kCompPubLen;
  return NXVT_EC_Point_ToOctets(P, kEcFormCompressed, out, &len, curve) == 0 && len == kCompPubLen;
}

}  // namespace

int BCMGenECIESEncrypt(uint32_t curve, const unsigned char* plain, int plainLen, const unsigned char* ephPri,
                       int ephPriLen, const unsigned char* pub, int pubLen, unsigned char* out, int* outLen) {
  return RunExport("BCMGenECIESEncrypt", 2049, [&](ExportFrame& f) {
    // A negative length, or one whose message would not fit a 32-bit length,
    // is refused with the argument check.
    const int64_t bound = EciesEncryptBound(plainLen);
    if (plain == nullptr || pub == nullptr || !IsPubLen(pubLen) || ephPri == nullptr || ephPriLen != kPrivLen ||
        outLen == nullptr || bound < 0)
      return f.NullParam(2028);
    const int32_t needed = static_cast<int32_t>(bound);
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(2042, *outLen, needed)) return rc;
    ScopedPkc pkc(curve);
    if (pkc.curve() == nullptr) return f.Fail(2042, "bc-vantrel get pkcparam error");
    int32_t written = *outLen;
    if (ECIES_Encrypt(plain, plainLen, ephPri, ephPriLen, pub, pubLen, out, &written, pkc.get()) != 0)
      return f.Fail(2049, "bc-module ECIES_Encrypt error");
    *outLen = written;
    return 0;
  });
}

int BCMGenECIESDecrypt(uint32_t curve, const unsigned char* msg, int msgLen, const unsigned char* pri, int priLen,
                       unsigned char* out, int* outLen) {
  return RunExport("BCMGenECIESDecrypt", 2097, [&](ExportFrame& f) {
    // A negative length would make a negative size-query answer.
    if (msg == nullptr || msgLen < 0 || pri == nullptr || priLen != kPrivLen || outLen == nullptr)
      return f.NullParam(2077);
    const int32_t needed = msgLen;
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(2091, *outLen, needed)) return rc;
    ScopedPkc pkc(curve);
    if (pkc.curve() == nullptr) return f.Fail(2091, "bc-vantrel get pkcparam error");
    int32_t written = *outLen;
    if (ECIES_Decrypt(msg, msgLen, pri, priLen, out, &written, pkc.get()) != 0)
      return f.Fail(2097, "bc-module ECIES_Decrypt error");
    *outLen = written;
    return 0;
  });
}

int BCMGenECDHKeyPair(uint32_t curve, unsigned char* pri, int* priLen, unsigned char* pub, int* pubLen) {
  return RunExport("BCMGenECDHKeyPair", 2144, [&](ExportFrame&) {
    if (priLen == nullptr || pubLen == nullptr) return MsgFail(2118, "param is NULL");
    if (pri == nullptr || pub == nullptr) {
      *priLen = kPrivLen;
      *pubLen = kCompPubLen;
      return 0;
    }
    if (*priLen < kPrivLen || *pubLen < kCompPubLen)
      return MsgFail(2124, "buffer size pri[%d is lower than %d] , pub[%d is lower than %d]", *priLen, kPrivLen,
                     *pubLen, kCompPubLen);
    ScopedPkc pkc(curve);
    NXVT_EC_CURVE* c = pkc.curve();
    if (c == nullptr) return MsgFail(2129, "bc-vantrel get pkcparam error");

    struct {
      uint8_t rnd[32];
      uint8_t d32[32];
      NXVT_BN d;
      Ec256Scalar s;
    } w;
    ScopedWipe wipeW(w);
    const uint32_t k = (NXVT_BN_BitLen(c->n) + 7) / 8;
    if (k == 0 || k > sizeof w.rnd) return MsgFail(2129, "bc-vantrel get pkcparam error");
    // BCMGenEntropy opens the trail under its own name and records its own
    // failure.
    if (BCMGenEntropy(k, w.rnd) != 0) return 2136;

    // d in 1 .. n - 1: the draw reduced modulo n - 1, plus one (constant
    // time: the draw is the new private key).
    const Ec256Curve* ec = Ec256_Of(c);
    if (ec == nullptr || k != kPrivLen) return MsgFail(2129, "bc-vantrel get pkcparam error");
    Ec256_ScalarFromDraw(ec, &w.s, w.rnd);
    Ec256_ScalarToBytes(w.d32, &w.s);
    NXVT_BN_FromBytes(&w.d, w.d32, kPrivLen);

    OwnedPoint Q;
    uint8_t q[kCompPubLen];
    if (!Q.ok() || NXVT_EC_Point_MultSecret(Q.get(), &w.d, c->G, c) != 0 || !Compress(Q.get(), c, q))
      return MsgFail(2144, "bc-vantrel NXVT_EC_Point_Mult error");
    std::memcpy(pub, q, kCompPubLen);
    std::memcpy(pri, w.d32, kPrivLen);
    *pubLen = kCompPubLen;
    *priLen = kPrivLen;
    return 0;
  });
}

int BCMGenECDHComputeShareKey(uint32_t curve, const unsigned char* pri, int priLen, const unsigned char* pub,
                              int pubLen, unsigned char* out, int* outLen) {
  return RunExport("BCMGenECDHComputeShareKey", 2208, [&](ExportFrame&) {
    if (pri == nullptr || priLen != kPrivLen || pub == nullptr || !IsPubLen(pubLen) || outLen == nullptr)
      return MsgFail(2180, "param is NULL");
    if (out == nullptr) {
      *outLen = kCompPubLen;
      return 0;
    }
    if (*outLen < kCompPubLen) return MsgFail(2186, "buffer size[%d] is lower than [%d]", *outLen, kCompPubLen);
    ScopedPkc pkc(curve);
    NXVT_EC_CURVE* c = pkc.curve();
    if (c == nullptr) return MsgFail(2191, "bc-vantrel get pkcparam error");

    OwnedPoint P;
    if (!P.ok()) return MsgFail(2208, "bc-vantrel NXVT_EC_Point_Mult error");
    if (NXVT_EC_Point_Decode(P.get(), pub, static_cast<uint64_t>(pubLen), c) != 0) {
      // The decoder refuses an uncompressed (or hybrid) point off the curve;
      // that is an invalid peer key rather than a malformed one.
      const bool uncompressed = pubLen == kUncompPubLen && (pub[0] == 0x04 || pub[0] == 0x06 || pub[0] == 0x07);
      if (uncompressed) return MsgFail(2201, "peerPub is invalid");
      return MsgFail(2198, "bc-vantrel NXVT_EC_Point_Mult error");
    }
    if (NXVT_EC_Point_IsInfinity(P.get()) || c->isOnCurve(P.get(), c) != 1)
      return MsgFail(2201, "peerPub is invalid");

    // d as given (not reduced); both curves have cofactor 1.
    NXVT_BN d;
    ScopedWipe wipeD(d);
    NXVT_BN_FromBytes(&d, pri, kPrivLen);
    // The shared point is secret: it is compressed inside the constant-time
    // code and written only on success. Only the point at infinity is
    // refused: a finite shared point with X = 0 exists on P-256 and is a
    // valid result.
    uint32_t len = kCompPubLen;
    const int32_t rc = NXVT_EC_Point_MultShared(&d, P.get(), kEcFormCompressed, out, &len, c);
    if (rc == 1) return MsgFail(2213, "share point is zero error");
    if (rc != 0 || len != kCompPubLen) return MsgFail(2208, "bc-vantrel NXVT_EC_Point_Mult error");
    *outLen = kCompPubLen;
    return 0;
  });
}
