// Runs the same input through the dispatched symmetric code (VAES and
// VPCLMULQDQ, AES-NI, PCLMULQDQ, SHA-NI and the AVX2 SHA-512 where the
// processor has them), through the same with AVX-512 hidden (VAES and
// VPCLMULQDQ on 256-bit vectors), with the vector AES and carry-less
// extensions hidden (AES-NI and PCLMULQDQ: with AVX-512, without it, and
// without AVX2 too, the SSE encoding of the stitched GCM and of CTR),
// through the SSSE3-only code (the byte-shuffle AES) and through the forced
// portable code, and aborts when any output byte differs: AES in every mode
// at any length and alignment (GCM and CCM both ways), GHASH, the three
// digests, HMAC, PBKDF2 and a small scrypt.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "crypto/aes/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/hash/digest.h"
#include "crypto/aes/ghash.h"
#include "crypto/hash/hmac.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/kdf/scrypt.h"

namespace {

using Bytes = std::vector<unsigned char>;

// One run of the operation chosen by `op` over `in`; the result bytes
// (return codes included) are what the two paths must agree on.
Bytes Run(uint8_t op, uint8_t param, const uint8_t* in, size_t size) {
  Bytes out;
  auto code = [&](int rc) { out.push_back(static_cast<unsigned char>(rc)); };
  // The data starts at an offset taken from `param`, so every alignment shows up.
  const size_t off = param % 16 < size ? param % 16 : 0;
  const uint8_t* msg = in + off;
  const auto len = static_cast<uint32_t>(size - off);
  unsigned char key[32] = {0}, iv[16] = {0};
  // An empty input has no data pointer to copy from (memcpy wants one even
  // for no bytes).
  if (size > 0) {
    memcpy(key, in, size < 32 ? size : 32);
    memcpy(iv, in + size / 2, size - size / 2 < 16 ? size - size / 2 : 16);
  }
  const uint32_t keyLen = param & 0x80 ? 32 : 16;
  switch (op % 8) {
    case 0: {  // ECB, CBC, CFB, OFB, CTR with the data length as it comes
      static const AESMode kModes[] = {kAesModeEcb, kAesModeCbc, kAesModeCfb, kAesModeOfb, kAesModeCtr};
      const AESMode mode = kModes[(param >> 4) % 5];
      out.resize(len + 32);
      uint32_t n = static_cast<uint32_t>(out.size());
      code(AESEncrypt(msg, len, key, keyLen, iv, 16, mode, 1, out.data(), &n));
      Bytes back(out.size());
      uint32_t m = static_cast<uint32_t>(back.size());
      code(AESDecrypt(msg, len, key, keyLen, iv, 16, mode, 0, back.data(), &m));
      out.insert(out.end(), back.begin(), back.end());
      break;
    }
    case 1: {  // GCM and CCM: sealed, then opened again (all bytes of the buffer compared)
      const bool gcm = param & 0x10;
      // The AAD is the first half of the data (long ones included) or at most 20 bytes of it.
      const uint32_t aadLen = len < 40 || (param & 0x40) ? len / 2 : 20;
      const int32_t ivLen = gcm ? 16 : 7 + (param >> 5) % 7;
      const int32_t tagLen = gcm ? 16 : 4 + 2 * (param % 7);
      const AESMode mode = gcm ? kAesModeGcm : kAesModeCcm;
      out.resize(len + 16);
      uint32_t n = static_cast<uint32_t>(out.size());
      code(AESEncryptAuth(msg, len, key, keyLen, iv, ivLen, mode, msg, aadLen, tagLen, out.data(), &n));
      Bytes back(len + 16);
      uint32_t m = static_cast<uint32_t>(back.size());
      code(AESDecryptAuth(out.data(), n, key, keyLen, iv, ivLen, mode, msg, aadLen, tagLen, back.data(), &m));
      out.insert(out.end(), back.begin(), back.end());
      break;
    }
    case 2: {  // GHASH under a key from the input
      NXVT_GHASH g;
      NXVT_GHash_Init(&g, key);
      NXVT_GHash_Padded(&g, msg, len);
      out.assign(g.y, g.y + 16);
      NXVT_GHash_Wipe(&g);
      break;
    }
    case 3:
    case 4: {  // digests, one call and streamed in pieces of `param` bytes
      const HashId id = op % 8 == 3 ? kHashSha256 : (param & 1 ? kHashSha512 : kHashRipemd160);
      out.resize(64);
      int32_t n = 64;
      code(DoDigest(id, msg, len, out.data(), &n));
      NXVT_DIGEST_CTX ctx;
      NXVT_Digest_Init(&ctx, DigestDescForId(id));
      const size_t piece = 1 + param;
      for (size_t i = 0; i < len; i += piece) {
        NXVT_Digest_Update(&ctx, msg + i, static_cast<int32_t>(len - i < piece ? len - i : piece));
      }
      unsigned char d[64];
      n = 64;
      NXVT_Digest_Final(d, &n, &ctx);
      out.insert(out.end(), d, d + 64);
      break;
    }
    case 5: {  // HMAC
      static const HashId kIds[] = {kHashSha256, kHashSha512, kHashRipemd160};
      out.resize(64);
      int32_t n = 64;
      code(DoHMAC(kIds[param % 3], key, static_cast<int32_t>(param % 33), msg, len, out.data(), &n));
      break;
    }
    case 6: {  // PBKDF2 with a few iterations
      static const NXVT_DIGEST_DESC* kDescs[] = {&NXVT_SHA256_DESC, &NXVT_SHA512_DESC, &NXVT_RIPEMD160_DESC};
      out.resize(100);
      code(Pbkdf2Hmac(out.data(), 1 + param % 100, msg, len < 64 ? len : 64, key, param % 32, 1 + param % 5,
                      kDescs[param % 3]));
      break;
    }
    default: {  // scrypt small enough for a fuzzer
      const char pw[] = "password";
      out.resize(48);
      int32_t n = 48;
      code(DoScrypt(pw, msg, static_cast<int32_t>(len < 64 ? len : 64), 1 << (1 + param % 4), 1 + (param >> 4) % 3,
                    1 + (param >> 6) % 2, 48, out.data(), &n));
      break;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096 + 2) return 0;
  const uint8_t op = data[0], param = data[1];
  // An exact-size copy, so any read past the end is caught.
  std::vector<uint8_t> in(data + 2, data + size);
  NXVT_ForcePortableForTest(false);
  const Bytes fast = Run(op, param, in.data(), in.size());
  NXVT_ForceNoAvx512ForTest(true);
  const Bytes narrow = Run(op, param, in.data(), in.size());
  NXVT_ForceNoVectorAesForTest(true);
  const Bytes scalar = Run(op, param, in.data(), in.size());
  NXVT_ForceAesNiAvx2ForTest(true);
  const Bytes avx2 = Run(op, param, in.data(), in.size());
  NXVT_ForceAesNiSseForTest(true);
  const Bytes sse = Run(op, param, in.data(), in.size());
  NXVT_ForcePortableForTest(true);
  const Bytes portable = Run(op, param, in.data(), in.size());
  NXVT_ForceSsse3OnlyForTest(true);
  const Bytes shuffles = Run(op, param, in.data(), in.size());
  NXVT_ForcePortableForTest(false);
  if (fast != narrow || fast != scalar || fast != avx2 || fast != sse || fast != portable || fast != shuffles)
    abort();
  return 0;
}
