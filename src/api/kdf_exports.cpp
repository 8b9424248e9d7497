// Exports for random bytes, HMAC, PBKDF2 and scrypt.
#include <climits>

#include "api/frame.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/hmac.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/kdf/scrypt.h"
#include "keys/bip39.h"
#include "tolvaris/bcm_kdf.h"

int BCMGenEntropy(uint32_t count, unsigned char* out) {
  return RunExport("BCMGenEntropy", 449, [&](ExportFrame& f) {
    if (out == nullptr) return f.NullParam(433);
    // GenerateEntropy refuses counts above one request before forming the bit
    // count, and records its own location.
    if (GenerateEntropy(nullptr, out, count) != 0) return f.Fail(449, "bc-vantrel GenerateEntropy error");
    return 0;
  });
}

int BCMGenHMac(uint32_t hashId, const unsigned char* key, uint32_t keyLen, const unsigned char* data,
               uint32_t dataLen, unsigned char* out, int* outLen) {
  return RunExport("BCMGenHMac", 530, [&](ExportFrame& f) {
    if (key == nullptr || data == nullptr || outLen == nullptr) return f.NullParam(511);
    const int32_t needed = static_cast<int32_t>(GetDigestLen(hashId));
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(524, *outLen, needed)) return rc;
    // A key length of 2^31 or more reaches DoHMAC as a negative count and is refused there.
    int32_t written = *outLen;
    if (DoHMAC(hashId, key, static_cast<int32_t>(keyLen), data, dataLen, out, &written) != 0)
      return f.Fail(530, "bc-vantrel DoHMAC error");
    *outLen = needed;
    return 0;
  });
}

int BCMGenPBKDF2(uint32_t hashId, const char* password, const unsigned char* salt, uint32_t saltLen,
                 uint32_t iterations, uint32_t dkLen, unsigned char* out, int* outLen) {
  return RunExport("BCMGenPBKDF2", 571, [&](ExportFrame& f) {
    if (password == nullptr || salt == nullptr || outLen == nullptr || static_cast<int32_t>(iterations) <= 0 ||
        static_cast<int32_t>(dkLen) <= 0)
      return f.NullParam(552);
    if (out == nullptr) {
      *outLen = static_cast<int32_t>(dkLen);
      return 0;
    }
    if (int rc = f.CheckCapacity(565, *outLen, dkLen)) return rc;
    int32_t written = *outLen;
    if (DoPBKDF2(hashId, password, salt, saltLen, iterations, dkLen, out, &written) != 0)
      return f.Fail(571, "bc-vantrel DoPBKDF2 error");
    *outLen = static_cast<int32_t>(dkLen);
    return 0;
  });
}

int BCMGenScrypt(const char* password, const unsigned char* salt, int saltLen, int N, int r, int p, uint32_t dkLen,
                 unsigned char* out, int* outLen) {
  return RunExport("BCMGenScrypt", 641, [&](ExportFrame& f) {
    // A derived length beyond 2^31-1 fits no buffer and no length word.
    if (password == nullptr || salt == nullptr || saltLen < 0 || dkLen > static_cast<uint32_t>(INT32_MAX))
      return f.NullParam(592);
    if (outLen == nullptr) return f.NullParam(598);
    if (N < 1 || r < 1 || p < 1) return f.Fail(604, "N[%d] , r[%d] , p[%d] is invalid( must > 0 )", N, r, p);
    if ((N & (N - 1)) != 0) return f.Fail(610, "N[%d] is not power of 2", N);
    // N < 2^r * 65536; from r = 15 on every positive int is below the bound.
    if (r < 15 && static_cast<int64_t>(N) >= (int64_t{1} << (r + 16))) return f.Fail(616, "N[%d] is too big", N);
    // r * p in 64 bits: a 32-bit product could wrap below the limit.
    if (static_cast<int64_t>(r) * p > 0x3FFFFFFF) return f.Fail(622, "p[%d] is too big", p);
    if (out == nullptr) {
      *outLen = static_cast<int32_t>(dkLen);
      return 0;
    }
    if (int rc = f.CheckCapacity(635, *outLen, dkLen)) return rc;
    int32_t written = *outLen;
    if (DoScrypt(password, salt, saltLen, N, r, p, dkLen, out, &written) != 0)
      return f.Fail(641, "bc-vantrel DoScrypt error");
    *outLen = static_cast<int32_t>(dkLen);
    return 0;
  });
}
