// PBKDF2-HMAC (RFC 8018) over SHA-256, SHA-512 and RIPEMD-160.
#include "crypto/pbkdf2.h"

#include <climits>
#include <cstring>

#include "trail/trail.h"
#include "crypto/digest_util.h"
#include "crypto/hmac.h"
#include "crypto/memory.h"

int Pbkdf2Hmac(unsigned char* out, uint64_t dkLen, const unsigned char* password, size_t passwordLen,
               const unsigned char* salt, size_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc) {
  if (out == nullptr || password == nullptr || salt == nullptr || iterations == 0 || desc == nullptr)
    return -1;
  if (passwordLen > static_cast<size_t>(INT32_MAX)) return -1;
  if (desc != &NXVT_SHA256_DESC && desc != &NXVT_SHA512_DESC && desc != &NXVT_RIPEMD160_DESC) return -1;
  const uint64_t hLen = desc->digestSize;
  // Block count in 64 bits; the block index is a 32-bit counter.
  const uint64_t blocks = dkLen / hLen + (dkLen % hLen != 0 ? 1 : 0);
  if (blocks > 0xFFFFFFFFull) return -1;

  NXVT_HMAC_CTX ctx;
  unsigned char u[64];
  unsigned char t[64];
  unsigned char index[4];
  ScopedWipe wipeCtx(ctx);
  ScopedWipe wipeU(u, sizeof u);
  ScopedWipe wipeT(t, sizeof t);
  const int32_t pwLen = static_cast<int32_t>(passwordLen);

  uint64_t done = 0;
  for (uint64_t i = 1; i <= blocks; ++i) {
    StoreBe32(index, static_cast<uint32_t>(i));
    // U1 = PRF(P, S || INT(i))
    if (NXVT_HMAC_Init(&ctx, password, pwLen, desc) != 0) return -1;
    NXVT_HMAC_Update(&ctx, salt, saltLen);
    NXVT_HMAC_Update(&ctx, index, sizeof index);
    int32_t len = sizeof u;
    NXVT_HMAC_Final(u, &len, &ctx);
    memcpy(t, u, hLen);
    // Uj = PRF(P, Uj-1), T ^= Uj; the key schedule is redone for every U.
    for (uint32_t j = 2; j <= iterations; ++j) {
      NXVT_HMAC_Init(&ctx, password, pwLen, desc);
      NXVT_HMAC_Update(&ctx, u, hLen);
      len = sizeof u;
      NXVT_HMAC_Final(u, &len, &ctx);
      for (uint64_t k = 0; k < hLen; ++k) t[k] ^= u[k];
    }
    const uint64_t take = dkLen - done < hLen ? dkLen - done : hLen;
    memcpy(out + done, t, take);
    done += take;
  }
  return 0;
}

int NXVT_PBKDF2_HMAC(unsigned char* out, uint32_t dkLen, const char* password, const unsigned char* salt,
                     uint32_t saltLen, uint32_t iterations, const NXVT_DIGEST_DESC* desc) {
  if (password == nullptr) return -1;
  return Pbkdf2Hmac(out, dkLen, reinterpret_cast<const unsigned char*>(password), strlen(password), salt, saltLen,
                    iterations, desc);
}

int DoPBKDF2(HashId id, const char* password, const unsigned char* salt, uint32_t saltLen, uint32_t iterations,
             uint32_t dkLen, unsigned char* out, int32_t* outLen) {
  const NXVT_DIGEST_DESC* desc = DigestDescForId(id);
  if (desc == nullptr) return TrailFail("DoPBKDF2", 220);
  if (password == nullptr || salt == nullptr || out == nullptr || outLen == nullptr || iterations == 0)
    return TrailFail("DoPBKDF2", 225);
  if (static_cast<int64_t>(*outLen) < static_cast<int64_t>(dkLen)) return TrailFail("DoPBKDF2", 230);
  if (NXVT_PBKDF2_HMAC(out, dkLen, password, salt, saltLen, iterations, desc) != 0)
    return TrailFail("DoPBKDF2", 235);
  *outLen = static_cast<int32_t>(dkLen);
  return 0;
}
