// The AES exports: argument checks, size queries and capacities in front of
// the AES front ends.
#include <climits>
#include <cstdint>

#include "api/frame.h"
#include "crypto/aes/cipher.h"
#include "tolvaris/bcm_aes.h"

namespace {

struct PlainExportCodes {
  const char* name;
  int null, keyLen, padding, mode, iv, capacity, call;
  const char* callMsg;
  bool encrypt;
};
constexpr PlainExportCodes kEnc = {"BCMGenAESEncrypt", 664, 670, 682, 676, 688, 701, 707,
                                   "bc-module AESEncrypt error", true};
constexpr PlainExportCodes kDec = {"BCMGenAESDecrypt", 731, 737, 749, 743, 755, 768, 774,
                                   "bc-module AESDecrypt error", false};

struct AuthExportCodes {
  const char* name;
  int null, keyLen, mode, params, capacity, call;
  const char* callMsg;
  bool encrypt;
};
constexpr AuthExportCodes kEncAuth = {"BCMGenAESEncryptAuth", 799, 805, 811, 818, 831, 839,
                                      "bc-vantrel AESEncryptAuth error", true};
constexpr AuthExportCodes kDecAuth = {"BCMGenAESDecryptAuth", 863, 869, 875, 882, 895, 903,
                                      "bc-vantrel AESDecryptAuth error", false};

bool KeyLenOk(uint32_t keyLen) { return keyLen == 16 || keyLen == 32; }

// Size query and capacity step shared by the four exports. Returns -1 to go
// on with the work, otherwise the export's result.
int SizeStep(ExportFrame& f, int capacityCode, int64_t needed, const unsigned char* out, int* outLen) {
  if (needed > INT32_MAX) {
    // An output this long cannot be described by the length argument.
    return f.Fail(capacityCode, "buffer size[%d] is lower than [%d]", out == nullptr ? 0 : *outLen, INT32_MAX);
  }
  if (out == nullptr) {
    *outLen = static_cast<int>(needed);
    return 0;
  }
  if (int rc = f.CheckCapacity(capacityCode, *outLen, needed)) return rc;
  return -1;
}

int PlainExport(const PlainExportCodes& c, const unsigned char* in, uint32_t inLen, const unsigned char* key,
                uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode, uint32_t padding,
                unsigned char* out, int* outLen) {
  return RunExport(c.name, c.call, [&](ExportFrame& f) {
    if (in == nullptr || key == nullptr || outLen == nullptr) return f.NullParam(c.null);
    if (!KeyLenOk(keyLen))
      return f.Fail(c.keyLen, "param is invalid [key length is invalid[%d]", static_cast<int>(keyLen));
    if ((mode == kAesModeEcb || mode == kAesModeCbc) && padding > kAesPkcs7Padding)
      return f.Fail(c.padding, "param is invalid [pad is invalid[%d]", static_cast<int>(padding));
    if (mode != kAesModeEcb && mode != kAesModeCbc && mode != kAesModeCfb && mode != kAesModeOfb &&
        mode != kAesModeCtr)
      return f.Fail(c.mode, "param is invalid [not support mode[%d]", static_cast<int>(mode));
    if (mode != kAesModeEcb && (iv == nullptr || ivLen < 16))
      return f.Fail(c.iv, "param is invalid [iv is invalid[%d]", ivLen);
    // Encryption rounds to the key length and adds one unit: enough for the
    // PKCS#7 output of either key size, and a bound for the unpadded modes.
    const int64_t needed = c.encrypt ? int64_t{inLen} - inLen % keyLen + keyLen : int64_t{inLen};
    if (int rc = SizeStep(f, c.capacity, needed, out, outLen); rc >= 0) return rc;
    uint32_t written = static_cast<uint32_t>(needed);
    const int rc = c.encrypt ? AESEncrypt(in, inLen, key, keyLen, iv, ivLen, mode, padding, out, &written)
                             : AESDecrypt(in, inLen, key, keyLen, iv, ivLen, mode, padding, out, &written);
    if (rc != 0) return f.Fail(c.call, "%s", c.callMsg);
    *outLen = static_cast<int>(written);
    return 0;
  });
}

// GCM takes an IV of at least 16 bytes here (the front end wants exactly 16);
// CCM takes the 7..13-byte nonce. Tags: 4..16 bytes, even for CCM.
bool AuthParamsOk(uint32_t mode, int ivLen, int tagLen) {
  if (tagLen < static_cast<int>(kAesMinTagLen) || tagLen > static_cast<int>(kAesMaxTagLen)) return false;
  if (mode == kAesModeCcm)
    return ivLen >= static_cast<int>(kCcmMinNonceLen) && ivLen <= static_cast<int>(kCcmMaxNonceLen) &&
           tagLen % 2 == 0;
  return ivLen >= static_cast<int>(kGcmIvLen);
}

int AuthExport(const AuthExportCodes& c, const unsigned char* in, uint32_t inLen, const unsigned char* key,
               uint32_t keyLen, const unsigned char* iv, int ivLen, uint32_t mode, const unsigned char* aad,
               uint32_t aadLen, int tagLen, unsigned char* out, int* outLen) {
  return RunExport(c.name, c.call, [&](ExportFrame& f) {
    if (in == nullptr || key == nullptr || iv == nullptr || aad == nullptr || outLen == nullptr)
      return f.NullParam(c.null);
    if (!KeyLenOk(keyLen))
      return f.Fail(c.keyLen, "param is invalid [key length is invalid[%d]", static_cast<int>(keyLen));
    if (mode != kAesModeGcm && mode != kAesModeCcm)
      return f.Fail(c.mode, "param is invalid [not support mode[%d]", static_cast<int>(mode));
    if (!AuthParamsOk(mode, ivLen, tagLen))
      return f.Fail(c.params, "param is invalid [IVLen[%d must 16Byte] TagLen[%d must smaller than %d]", ivLen,
                    tagLen, static_cast<int>(kAesMaxTagLen));
    // Encryption writes the ciphertext and the tag; decryption works on a
    // copy of ciphertext and tag in the output buffer.
    const int64_t needed = c.encrypt ? int64_t{inLen} + tagLen : int64_t{inLen};
    if (int rc = SizeStep(f, c.capacity, needed, out, outLen); rc >= 0) return rc;
    uint32_t written = static_cast<uint32_t>(needed);
    const int rc = c.encrypt
                       ? AESEncryptAuth(in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, &written)
                       : AESDecryptAuth(in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, &written);
    if (rc != 0) return f.Fail(c.call, "%s", c.callMsg);
    *outLen = static_cast<int>(written);
    return 0;
  });
}

}  // namespace

int BCMGenAESEncrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                     const unsigned char* iv, int ivLen, uint32_t mode, uint32_t padding, unsigned char* out,
                     int* outLen) {
  return PlainExport(kEnc, in, inLen, key, keyLen, iv, ivLen, mode, padding, out, outLen);
}

int BCMGenAESDecrypt(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                     const unsigned char* iv, int ivLen, uint32_t mode, uint32_t padding, unsigned char* out,
                     int* outLen) {
  return PlainExport(kDec, in, inLen, key, keyLen, iv, ivLen, mode, padding, out, outLen);
}

int BCMGenAESEncryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                         const unsigned char* iv, int ivLen, uint32_t mode, const unsigned char* aad,
                         uint32_t aadLen, int tagLen, unsigned char* out, int* outLen) {
  return AuthExport(kEncAuth, in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, outLen);
}

int BCMGenAESDecryptAuth(const unsigned char* in, uint32_t inLen, const unsigned char* key, uint32_t keyLen,
                         const unsigned char* iv, int ivLen, uint32_t mode, const unsigned char* aad,
                         uint32_t aadLen, int tagLen, unsigned char* out, int* outLen) {
  return AuthExport(kDecAuth, in, inLen, key, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, outLen);
}
