// The cipher context, the mode dispatch over it, and the four AES front ends
// that every other part of the library encrypts through.
#include "crypto/aes/cipher.h"

#include <cstring>
#include <new>

#include "trail/trail.h"
#include "crypto/aes/block_modes.h"
#include "crypto/ct_check.h"
#include "crypto/cpu_features.h"
#include "platform/memory.h"

namespace {

bool IsPlainMode(uint32_t mode) {
  return mode == kAesModeEcb || mode == kAesModeCbc || mode == kAesModeCfb || mode == kAesModeOfb ||
         mode == kAesModeCtr;
}

bool IsStreamMode(uint32_t mode) { return mode == kAesModeCfb || mode == kAesModeOfb || mode == kAesModeCtr; }

bool Usable(const unsigned char* out, const uint32_t* outLen, const unsigned char* in,
            const NXVT_CIPHER_PARAM* param, const NXVT_CIPHER_CTX* ctx) {
  return out != nullptr && outLen != nullptr && in != nullptr && param != nullptr && ctx != nullptr &&
         ctx->desc == param->desc && ctx->schedule != nullptr && ctx->desc->blockSize == 16;
}

// CTR reads `in` and writes `out` in one pass; the others run on a copy in `out`.
int RunStream(unsigned char* data, const unsigned char* in, uint32_t len, NXVT_CIPHER_PARAM* param,
              const NXVT_CIPHER_CTX* ctx, bool enc) {
  const NXVT_CIPHER_DESC* d = ctx->desc;
  if (param->mode == kAesModeCtr)
    return NXVT_CTR_CryptTo(data, in, len, ctx->schedule, param->iv, d->blockSize, d->encryptBlock);
  if (data != in) memmove(data, in, len);
  switch (param->mode) {
    case kAesModeCfb:
      return enc ? NXVT_CFB_Encrypt(data, len, ctx->schedule, param->iv, d->blockSize, d->encryptBlock)
                 : NXVT_CFB_Decrypt(data, len, ctx->schedule, param->iv, d->blockSize, d->encryptBlock);
    case kAesModeOfb:
      return NXVT_OFB_Crypt(data, len, ctx->schedule, param->iv, d->blockSize, d->encryptBlock);
    default:
      return -1;
  }
}

// ECB over whole blocks, through the bulk routines when the cipher has them.
void EcbRun(unsigned char* data, uint32_t len, const NXVT_CIPHER_CTX* ctx, bool enc) {
  const NXVT_CIPHER_DESC* d = ctx->desc;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(d->encryptBlock);
  if (bulk != nullptr) {
    (enc ? bulk->encryptBlocks : bulk->decryptBlocks)(data, len / 16, ctx->schedule);
    return;
  }
  for (uint32_t i = 0; i < len; i += 16) (enc ? d->encryptBlock : d->decryptBlock)(data + i, ctx->schedule);
}

bool AuthIvOk(uint32_t mode, const unsigned char* iv, int32_t ivLen) {
  if (iv == nullptr) return false;
  if (mode == kAesModeGcm) return ivLen == static_cast<int32_t>(kGcmIvLen);
  return ivLen >= static_cast<int32_t>(kCcmMinNonceLen) && ivLen <= static_cast<int32_t>(kCcmMaxNonceLen);
}

const NXVT_CIPHER_DESC* DescForKey(uint32_t keyLen) { return keyLen == 32 ? &NXVT_AES256_DESC : &NXVT_AES128_DESC; }

// The block routines keep their round state in locals and leave it on the
// stack; the state before the last round, together with the ciphertext,
// gives the last round key (and for AES-128 the key). Rather than wiping it
// in every block, each front end sweeps the stack below its own frame once,
// after the key schedule and the mode routines have run there. The area
// covers the depth that dispatch, mode routine and block routine reach on
// the path in use: the portable code goes deepest (CCM decryption nearly
// 4 KiB); the AES-NI and VAES routines, which keep their state in
// registers, reach 1.6 KiB in GCM and CCM and 0.7 KiB in the other modes. A
// test holds every path and mode to its front end's sweep. The sweep is the
// largest fixed cost of a call on the hardware paths, so it is no larger.
// Those depths are an optimising compiler's: a build without optimisation
// (the sanitizers' debug build) gives every temporary a slot of its own and
// sweeps as deep on every path.
constexpr size_t kPortableSweepBytes = 4096;
#if defined(__OPTIMIZE__)
constexpr size_t kHardwareAuthSweepBytes = 2048;
constexpr size_t kHardwarePlainSweepBytes = 1024;
#else
constexpr size_t kHardwareAuthSweepBytes = kPortableSweepBytes;
constexpr size_t kHardwarePlainSweepBytes = kPortableSweepBytes;
#endif

template <size_t kBytes>
[[gnu::noinline]] void SweepArea() {
  unsigned char area[kBytes];
  Wipe(area, sizeof area);
  // Keeps the area a real stack object that the call above must fill.
  __asm__ __volatile__("" : : "r"(area) : "memory");
}

// After GCM or CCM (`authenticated`), or after one of the other modes.
void SweepStack(bool authenticated) {
  if (!NXVT_CpuFeatures().aesni) {
    SweepArea<kPortableSweepBytes>();
  } else if (authenticated) {
    SweepArea<kHardwareAuthSweepBytes>();
  } else {
    SweepArea<kHardwarePlainSweepBytes>();
  }
}

// The context of one front-end call, schedule and mode parameters included,
// in the frame of the exported function: a call makes no allocation (two
// allocations and their frees cost about as much as the key expansion), and
// the mode routines run no deeper below the stack sweep than with a heap
// context. Wiped on the way out as NXVT_Cipher_Free wipes.
class LocalCipher {
 public:
  LocalCipher() = default;
  // Schedule and context together, in one wipe.
  ~LocalCipher() { Wipe(this, sizeof *this); }
  LocalCipher(const LocalCipher&) = delete;
  LocalCipher& operator=(const LocalCipher&) = delete;

  // The call's mode parameters, wiped with the rest (OFB and CFB leave
  // keystream in the IV).
  NXVT_CIPHER_PARAM& Param() { return param_; }

  NXVT_CIPHER_CTX* Keyed(const NXVT_CIPHER_DESC* desc, const unsigned char* key, uint32_t keyLen) {
    ctx_.desc = desc;
    memcpy(ctx_.key, key, keyLen);
    ctx_.keyLen = keyLen;
    ctx_.schedule = schedule_;
    desc->setKey(schedule_, key, keyLen);
    return &ctx_;
  }

 private:
  alignas(16) unsigned char schedule_[kAes256ScheduleSize];
  NXVT_CIPHER_CTX ctx_{};
  NXVT_CIPHER_PARAM param_;
};

}  // namespace

NXVT_CIPHER_CTX* NXVT_Cipher_New(const NXVT_CIPHER_DESC* desc) {
  if (desc == nullptr) return nullptr;
  NXVT_CIPHER_CTX* ctx = new (std::nothrow) NXVT_CIPHER_CTX;
  if (ctx == nullptr) return nullptr;
  ctx->desc = desc;
  memset(ctx->key, 0, sizeof ctx->key);
  ctx->keyLen = 0;
  ctx->schedule = nullptr;
  return ctx;
}

int NXVT_Cipher_SetKey(NXVT_CIPHER_CTX* ctx, const unsigned char* key, uint32_t keyLen,
                       const NXVT_CIPHER_DESC* desc) {
  if (ctx == nullptr || key == nullptr || desc == nullptr || ctx->desc != desc) return -1;
  if (desc == &NXVT_AES128_DESC) {
    if (keyLen != 16) return -1;
  } else if (desc == &NXVT_AES256_DESC) {
    if (keyLen != 32) return -1;
  } else if (keyLen > sizeof ctx->key) {
    return -1;
  }
  unsigned char* schedule = new (std::nothrow) unsigned char[desc->scheduleSize];
  if (schedule == nullptr) return -1;
  if (ctx->schedule != nullptr) {
    Wipe(ctx->schedule, ctx->desc->scheduleSize);
    delete[] ctx->schedule;
  }
  Wipe(ctx->key, sizeof ctx->key);
  memcpy(ctx->key, key, keyLen);
  ctx->keyLen = keyLen;
  ctx->schedule = schedule;
  desc->setKey(schedule, key, keyLen);
  return 0;
}

void NXVT_Cipher_Free(NXVT_CIPHER_CTX* ctx) {
  if (ctx == nullptr) return;
  if (ctx->schedule != nullptr) {
    Wipe(ctx->schedule, ctx->desc->scheduleSize);
    delete[] ctx->schedule;
  }
  Wipe(ctx->key, sizeof ctx->key);
  delete ctx;
}

int NXVT_Cipher_Encrypt(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                        NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint8_t padding) {
  if (!Usable(out, outLen, in, param, ctx)) return -1;
  const NXVT_CIPHER_DESC* d = ctx->desc;
  const uint64_t capacity = *outLen;
  if (param->mode == kAesModeEcb || param->mode == kAesModeCbc) {
    uint32_t total;
    if (padding == kAesPkcs7Padding) {
      const uint64_t padded = uint64_t{inLen} + 16 - inLen % 16;
      if (capacity < padded || padded > UINT32_MAX) return -1;
      total = NXVT_PKCS7_Pad(out, in, inLen, d->blockSize);
    } else {
      if (capacity < inLen || inLen % 16 != 0 || inLen == 0) return -1;
      if (out != in) memmove(out, in, inLen);
      total = inLen;
    }
    if (param->mode == kAesModeEcb) {
      EcbRun(out, total, ctx, true);
    } else if (NXVT_CBC_Encrypt(out, total, ctx->schedule, param->iv, d->blockSize, d->encryptBlock) != 0) {
      return -1;
    }
    *outLen = total;
    return 0;
  }
  if (IsStreamMode(param->mode)) {
    if (capacity < inLen) return -1;
    if (RunStream(out, in, inLen, param, ctx, true) != 0) return -1;
    *outLen = inLen;
    return 0;
  }
  return -1;
}

int NXVT_Cipher_Decrypt(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                        NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint8_t padding) {
  if (!Usable(out, outLen, in, param, ctx)) return -1;
  if (*outLen < inLen) return -1;
  const NXVT_CIPHER_DESC* d = ctx->desc;
  if (IsStreamMode(param->mode)) {
    if (RunStream(out, in, inLen, param, ctx, false) != 0) return -1;
    *outLen = inLen;
    return 0;
  }
  if (param->mode != kAesModeEcb && param->mode != kAesModeCbc) return -1;
  // Only whole, non-empty block sequences decrypt; the buffer is not touched otherwise.
  if (inLen == 0 || inLen % 16 != 0) return -1;
  if (out != in) memmove(out, in, inLen);
  if (param->mode == kAesModeEcb) {
    EcbRun(out, inLen, ctx, false);
  } else if (NXVT_CBC_Decrypt(out, inLen, ctx->schedule, param->iv, d->blockSize, d->decryptBlock) != 0) {
    Wipe(out, inLen);
    return -1;
  }
  uint32_t total = inLen;
  if (padding != 0) {
    // Lenient rule: only the last byte is read; it must be 1..16. The byte is
    // plaintext, so it is tested by arithmetic; the verdict and a good pad's
    // length are public (the caller learns both).
    uint32_t pad = out[inLen - 1];
    uint32_t bad = static_cast<uint32_t>(((pad - 1u) >> 4) != 0);
    CtDeclassify(&bad, sizeof bad);  // the call's result
    if (bad) {
      Wipe(out, inLen);
      return -1;
    }
    CtDeclassify(&pad, sizeof pad);  // sets the plaintext length the caller is told
    total = inLen - pad;
  }
  *outLen = total;
  return 0;
}

int NXVT_Cipher_EncryptAuth(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                            const unsigned char* aad, uint32_t aadLen, const unsigned char* iv, uint32_t ivLen,
                            NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint32_t tagLen) {
  if (!Usable(out, outLen, in, param, ctx) || iv == nullptr || (aad == nullptr && aadLen > 0)) return -1;
  if (tagLen < kAesMinTagLen || tagLen > kAesMaxTagLen) return -1;
  if (param->mode != kAesModeGcm && param->mode != kAesModeCcm) return -1;
  const uint64_t needed = uint64_t{inLen} + tagLen;
  if (*outLen < needed || needed > UINT32_MAX) return -1;
  const NXVT_CIPHER_DESC* d = ctx->desc;
  int rc;
  // Both modes read the plaintext where it is and write the ciphertext to out.
  if (param->mode == kAesModeGcm) {
    unsigned char tag[16];
    rc = NXVT_GCM_EncryptTo(out, in, inLen, tag, aad, aadLen, ctx->schedule, iv, ivLen, d->blockSize,
                            d->encryptBlock);
    if (rc == 0) memcpy(out + inLen, tag, tagLen);
    Wipe(tag, sizeof tag);
  } else {
    rc = NXVT_CCM_EncryptTo(out, in, inLen, tagLen, iv, ivLen, aad, aadLen, ctx->schedule, d->blockSize,
                            d->encryptBlock);
  }
  if (rc != 0) {
    // Refused before any work: out is cleared as when the plaintext was
    // copied there first.
    if (out != in) Wipe(out, inLen);
    return -1;
  }
  *outLen = static_cast<uint32_t>(needed);
  return 0;
}

int NXVT_Cipher_DecryptAuth(unsigned char* out, uint32_t* outLen, const unsigned char* in, uint32_t inLen,
                            const unsigned char* aad, uint32_t aadLen, const unsigned char* iv, uint32_t ivLen,
                            NXVT_CIPHER_PARAM* param, NXVT_CIPHER_CTX* ctx, uint32_t tagLen) {
  if (!Usable(out, outLen, in, param, ctx) || iv == nullptr || (aad == nullptr && aadLen > 0)) return -1;
  if (tagLen < kAesMinTagLen || tagLen > kAesMaxTagLen || inLen < tagLen) return -1;
  if (param->mode != kAesModeGcm && param->mode != kAesModeCcm) return -1;
  if (*outLen < inLen) return -1;
  const NXVT_CIPHER_DESC* d = ctx->desc;
  const uint32_t textLen = inLen - tagLen;
  // Both modes read the ciphertext where it is, unless the buffers overlap
  // in part; out ends as it would with the whole input copied over first.
  const unsigned char* src = UnOverlap(out, in, inLen);
  if (param->mode == kAesModeGcm) {
    unsigned char received[16];
    unsigned char computed[16];
    ScopedWipe w1(received), w2(computed);
    memcpy(received, src + textLen, tagLen);
    if (src != out) memcpy(out + textLen, src + textLen, tagLen);
    if (NXVT_GCM_DecryptTo(out, src, textLen, computed, aad, aadLen, ctx->schedule, iv, ivLen, d->blockSize,
                           d->encryptBlock) != 0) {
      return -1;
    }
    if (!ConstantTimeEqual(received, computed, tagLen)) {
      // The plaintext is not authentic: none of it may reach the caller.
      Wipe(out, inLen);
      return -1;
    }
  } else if (NXVT_CCM_DecryptTo(out, src, inLen, tagLen, iv, ivLen, aad, aadLen, ctx->schedule, d->blockSize,
                                d->encryptBlock) != 0) {
    return -1;
  }
  *outLen = textLen;
  return 0;
}

// ---------------------------------------------------------------------------
// Front ends

namespace {

struct PlainCodes {
  const char* name;
  int pointer, mode, padding, iv, cipher;
  bool encrypt;
};
constexpr PlainCodes kEncryptCodes = {"AESEncrypt", 23, 28, 33, 38, 55, true};
constexpr PlainCodes kDecryptCodes = {"AESDecrypt", 81, 86, 91, 96, 113, false};

int PlainFrontEnd(const PlainCodes& c, LocalCipher& cipher, const unsigned char* in, uint32_t inLen,
                  const unsigned char* key, uint32_t keyLen, const unsigned char* iv, int32_t ivLen, AESMode mode,
                  AESPadding padding, unsigned char* out, uint32_t* outLen) {
  if (in == nullptr || key == nullptr || outLen == nullptr || (keyLen != 16 && keyLen != 32))
    return TrailFail(c.name, c.pointer);
  if (!IsPlainMode(mode)) return TrailFail(c.name, c.mode);
  if ((mode == kAesModeEcb || mode == kAesModeCbc) && padding > kAesPkcs7Padding) return TrailFail(c.name, c.padding);
  if (mode != kAesModeEcb && (iv == nullptr || ivLen != 16)) return TrailFail(c.name, c.iv);
  if (out == nullptr) {
    const uint64_t size = c.encrypt ? uint64_t{inLen} + 16 - inLen % 16 : inLen;
    if (size > UINT32_MAX) return TrailFail(c.name, c.pointer);
    *outLen = static_cast<uint32_t>(size);
    return 0;
  }
  const NXVT_CIPHER_DESC* desc = DescForKey(keyLen);
  NXVT_CIPHER_PARAM& param = cipher.Param();
  param.mode = static_cast<uint8_t>(mode);
  memset(param.iv, 0, sizeof param.iv);
  if (mode != kAesModeEcb) memcpy(param.iv, iv, 16);
  param.desc = desc;
  NXVT_CIPHER_CTX* ctx = cipher.Keyed(desc, key, keyLen);
  const uint8_t flag = static_cast<uint8_t>(padding);
  const int rc = c.encrypt ? NXVT_Cipher_Encrypt(out, outLen, in, inLen, &param, ctx, flag)
                           : NXVT_Cipher_Decrypt(out, outLen, in, inLen, &param, ctx, flag);
  if (rc != 0) return TrailFail(c.name, c.cipher);
  return 0;
}

struct AuthCodes {
  const char* name;
  int pointer, mode, iv, cipher;
  bool encrypt;
};
constexpr AuthCodes kEncryptAuthCodes = {"AESEncryptAuth", 141, 146, 151, 181, true};
constexpr AuthCodes kDecryptAuthCodes = {"AESDecryptAuth", 208, 213, 218, 248, false};

int AuthFrontEnd(const AuthCodes& c, LocalCipher& cipher, const unsigned char* in, uint32_t inLen,
                 const unsigned char* key, uint32_t keyLen, const unsigned char* iv, int32_t ivLen, AESMode mode,
                 const unsigned char* aad, uint32_t aadLen, int32_t tagLen, unsigned char* out, uint32_t* outLen) {
  // Only a tag length above the maximum is an argument error here; a short
  // or negative one (huge as unsigned) is refused by the dispatch, so it
  // fails with the encryption / decryption code.
  if (in == nullptr || key == nullptr || outLen == nullptr || aad == nullptr || (keyLen != 16 && keyLen != 32) ||
      tagLen > static_cast<int32_t>(kAesMaxTagLen))
    return TrailFail(c.name, c.pointer);
  if (mode != kAesModeGcm && mode != kAesModeCcm) return TrailFail(c.name, c.mode);
  if (!AuthIvOk(mode, iv, ivLen)) return TrailFail(c.name, c.iv);
  if (out == nullptr) {
    const uint64_t size = uint64_t{inLen} + 16;
    if (size > UINT32_MAX) return TrailFail(c.name, c.pointer);
    *outLen = static_cast<uint32_t>(size);
    return 0;
  }
  const NXVT_CIPHER_DESC* desc = DescForKey(keyLen);
  NXVT_CIPHER_PARAM& param = cipher.Param();
  param.mode = static_cast<uint8_t>(mode);
  memset(param.iv, 0, sizeof param.iv);
  memcpy(param.iv, iv, static_cast<size_t>(ivLen));
  param.desc = desc;
  NXVT_CIPHER_CTX* ctx = cipher.Keyed(desc, key, keyLen);
  const uint32_t t = static_cast<uint32_t>(tagLen);
  const uint32_t n = static_cast<uint32_t>(ivLen);
  const int rc = c.encrypt ? NXVT_Cipher_EncryptAuth(out, outLen, in, inLen, aad, aadLen, param.iv, n, &param, ctx, t)
                           : NXVT_Cipher_DecryptAuth(out, outLen, in, inLen, aad, aadLen, param.iv, n, &param, ctx, t);
  if (rc != 0) return TrailFail(c.name, c.cipher);
  return 0;
}

}  // namespace

int AESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
               const unsigned char* iv, int32_t ivLen, AESMode mode, AESPadding padding, unsigned char* out,
               uint32_t* outLen) {
  int rc;
  {
    LocalCipher cipher;
    rc = PlainFrontEnd(kEncryptCodes, cipher, in, inLen, key, keyLen, iv, ivLen, mode, padding, out, outLen);
  }
  SweepStack(false);
  return rc;
}

int AESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
               const unsigned char* iv, int32_t ivLen, AESMode mode, AESPadding padding, unsigned char* out,
               uint32_t* outLen) {
  int rc;
  {
    LocalCipher cipher;
    rc = PlainFrontEnd(kDecryptCodes, cipher, in, inLen, key, keyLen, iv, ivLen, mode, padding, out, outLen);
  }
  SweepStack(false);
  return rc;
}

int AESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                   const unsigned char* iv, int32_t ivLen, AESMode mode, const unsigned char* aad, uint32_t aadLen,
                   int32_t tagLen, unsigned char* out, uint32_t* outLen) {
  int rc;
  {
    LocalCipher cipher;
    rc = AuthFrontEnd(kEncryptAuthCodes, cipher, in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, outLen);
  }
  SweepStack(true);
  return rc;
}

int AESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                   const unsigned char* iv, int32_t ivLen, AESMode mode, const unsigned char* aad, uint32_t aadLen,
                   int32_t tagLen, unsigned char* out, uint32_t* outLen) {
  int rc;
  {
    LocalCipher cipher;
    rc = AuthFrontEnd(kDecryptAuthCodes, cipher, in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, outLen);
  }
  SweepStack(true);
  return rc;
}
