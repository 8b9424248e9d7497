// HMAC over SHA-256, SHA-512, RIPEMD-160 (streaming) and Keccak (one-shot).
#include "crypto/hash/hmac.h"

#include <climits>
#include <cstring>
#include <exception>

#include "trail/trail.h"
#include "platform/memory.h"

namespace {

constexpr size_t kMaxBlock = 128;
constexpr size_t kMaxDigest = 64;

bool StreamingDesc(const NXVT_DIGEST_DESC* d) {
  return d == &NXVT_SHA256_DESC || d == &NXVT_SHA512_DESC || d == &NXVT_RIPEMD160_DESC;
}

// out = K0 ^ (pad repeated), eight bytes at a time: every key block (40,
// 56, 64, 96 or 128 bytes) is a whole number of words, and a byte loop
// cost as much as a tenth of a short SHA-512 MAC.
void XorPad(unsigned char* out, const unsigned char* k0, size_t n, unsigned char pad) {
  const uint64_t p = 0x0101010101010101ull * pad;
  for (size_t i = 0; i < n; i += 8) {
    uint64_t w;
    memcpy(&w, k0 + i, 8);
    w ^= p;
    memcpy(out + i, &w, 8);
  }
}

}  // namespace

uint32_t HmacBlockLen(HashId id) { return 2 * GetDigestLen(id); }

int NXVT_HMAC_Init(NXVT_HMAC_CTX* ctx, const unsigned char* key, int32_t keyLen, const NXVT_DIGEST_DESC* desc) {
  if (ctx == nullptr || key == nullptr || desc == nullptr || keyLen < 0 || !StreamingDesc(desc)) return -1;
  const size_t B = 2 * desc->digestSize;
  if (NXVT_Digest_Init(&ctx->inner, desc) != 0 || NXVT_Digest_Init(&ctx->outer, desc) != 0) return -1;

  unsigned char k0[kMaxBlock];
  unsigned char pad[kMaxBlock];
  ScopedWipe wipeK0(k0, sizeof k0);
  ScopedWipe wipePad(pad, sizeof pad);
  memset(k0, 0, sizeof k0);
  if (static_cast<size_t>(keyLen) > B) {
    NXVT_DIGEST_CTX h;
    ScopedWipe wipeH(h);
    NXVT_Digest_Init(&h, desc);
    NXVT_Digest_Update(&h, key, keyLen);
    int32_t len = static_cast<int32_t>(kMaxDigest);
    NXVT_Digest_Final(k0, &len, &h);
  } else if (keyLen > 0) {
    memcpy(k0, key, static_cast<size_t>(keyLen));
  }
  XorPad(pad, k0, B, 0x36);
  NXVT_Digest_Update(&ctx->inner, pad, static_cast<int32_t>(B));
  XorPad(pad, k0, B, 0x5c);
  NXVT_Digest_Update(&ctx->outer, pad, static_cast<int32_t>(B));
  return 0;
}

void NXVT_HMAC_Update(NXVT_HMAC_CTX* ctx, const unsigned char* data, size_t len) {
  if (ctx == nullptr) return;
  DigestUpdateAll(&ctx->inner, data, len);
}

namespace {

// The outer hash of the inner digest, finished on the contexts themselves,
// which it uses up.
void FinalInPlace(unsigned char* out, int32_t* outLen, NXVT_HMAC_CTX* ctx) {
  unsigned char innerDigest[kMaxDigest];
  ScopedWipe wipeInner(innerDigest, sizeof innerDigest);
  int32_t innerLen = sizeof innerDigest;
  NXVT_Digest_FinalInPlace(innerDigest, &innerLen, &ctx->inner);
  NXVT_Digest_Update(&ctx->outer, innerDigest, innerLen);
  NXVT_Digest_FinalInPlace(out, outLen, &ctx->outer);
}

}  // namespace

void NXVT_HMAC_Final(unsigned char* out, int32_t* outLen, const NXVT_HMAC_CTX* ctx) {
  if (out == nullptr || outLen == nullptr || ctx == nullptr || !StreamingDesc(ctx->inner.desc)) return;
  const int32_t size = static_cast<int32_t>(ctx->inner.desc->digestSize);
  if (*outLen < size) {
    *outLen = 0;
    return;
  }
  // One copy of both contexts, so the caller's stays as it was.
  NXVT_HMAC_CTX work = *ctx;
  ScopedWipe wipeWork(work);
  FinalInPlace(out, outLen, &work);
}

int DoHMAC(HashId id, const unsigned char* key, int32_t keyLen, const unsigned char* data, uint32_t dataLen,
           unsigned char* out, int32_t* outLen) {
  const uint32_t size = GetDigestLen(id);
  // Lengths beyond the signed 32-bit range are refused, not wrapped.
  if (key == nullptr || data == nullptr || outLen == nullptr || size == 0 || keyLen < 0 ||
      dataLen > static_cast<uint32_t>(INT32_MAX))
    return TrailFail("DoHMAC", 106);
  if (out == nullptr) {
    *outLen = static_cast<int32_t>(size);
    return 0;
  }
  if (*outLen < static_cast<int32_t>(size)) return TrailFail("DoHMAC", 117);

  if (id >= kHashKeccak224 && id <= kHashKeccak512) {
    const size_t B = 2 * size;
    unsigned char k0[kMaxBlock];
    ScopedWipe wipeK0(k0, sizeof k0);
    memset(k0, 0, sizeof k0);
    if (static_cast<size_t>(keyLen) > B) {
      int32_t len = static_cast<int32_t>(sizeof k0);
      if (DoDigest(id, key, static_cast<uint32_t>(keyLen), k0, &len) != 0) return TrailFail("DoHMAC", 144);
    } else if (keyLen > 0) {
      memcpy(k0, key, static_cast<size_t>(keyLen));
    }
    // inner = H(K0 ^ ipad || data); the sponge takes at most INT32_MAX bytes.
    if (static_cast<uint64_t>(B) + dataLen > static_cast<uint64_t>(INT32_MAX)) return TrailFail("DoHMAC", 169);
    unsigned char inner[kMaxDigest];
    ScopedWipe wipeInner(inner, sizeof inner);
    {
      SecureBytes buf;
      try {
        buf.resize(B + dataLen);
      } catch (const std::exception&) {
        return TrailFail("DoHMAC", 161);
      }
      XorPad(buf.data(), k0, B, 0x36);
      if (dataLen > 0) memcpy(buf.data() + B, data, dataLen);
      int32_t len = static_cast<int32_t>(sizeof inner);
      if (DoDigest(id, buf.data(), static_cast<uint32_t>(buf.size()), inner, &len) != 0)
        return TrailFail("DoHMAC", 169);
    }
    unsigned char outerMsg[kMaxBlock + kMaxDigest];
    ScopedWipe wipeOuter(outerMsg, sizeof outerMsg);
    XorPad(outerMsg, k0, B, 0x5c);
    memcpy(outerMsg + B, inner, size);
    int32_t len = *outLen;
    if (DoDigest(id, outerMsg, static_cast<uint32_t>(B + size), out, &len) != 0) return TrailFail("DoHMAC", 177);
    *outLen = static_cast<int32_t>(size);
    return 0;
  }

  NXVT_HMAC_CTX ctx;
  ScopedWipe wipeCtx(ctx);
  if (NXVT_HMAC_Init(&ctx, key, keyLen, DigestDescForId(id)) != 0) {
    AddErrLocation(nullptr, "InitHMAC", 31);
    return TrailFail("DoHMAC", 128);
  }
  NXVT_HMAC_Update(&ctx, data, dataLen);
  int32_t written = *outLen;
  // The context is this call's own (and wiped on return): no copy.
  FinalInPlace(out, &written, &ctx);
  if (written == 0) {
    AddErrLocation(nullptr, "FinalHMAC", 80);
    return TrailFail("DoHMAC", 128);
  }
  if (written != static_cast<int32_t>(size)) {
    AddErrLocation(nullptr, "FinalHMAC", 87);
    return TrailFail("DoHMAC", 128);
  }
  *outLen = written;
  return 0;
}
