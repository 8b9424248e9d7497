// Drives the four AES exports with arbitrary lengths, modes, paddings, tag
// lengths and capacities. Every buffer is allocated to its exact size so an
// over-read or over-write is caught; a successful encryption must decrypt
// back to its input, and no call may write more than its capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tolvaris/bcm_aes.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

using Bytes = std::vector<unsigned char>;

// Copies n bytes into an exact-size heap block (a 1-byte block when empty,
// so the pointer stays non-null).
unsigned char* Exact(const uint8_t* p, size_t n) {
  auto* b = static_cast<unsigned char*>(malloc(n ? n : 1));
  if (n) memcpy(b, p, n);
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  const bool auth = data[0] & 1;
  static const uint32_t kPlainModes[] = {1, 2, 3, 5, 9, 0, 4};
  static const uint32_t kAuthModes[] = {11, 12, 10};
  const uint32_t mode = auth ? kAuthModes[(data[0] >> 1) % 3] : kPlainModes[(data[0] >> 1) % 7];
  static const uint32_t kKeyLens[] = {16, 32, 24, 0};
  const uint32_t keyLen = kKeyLens[data[1] & 3];
  const uint32_t pad = (data[1] >> 2) & 3;
  const int ivLen = static_cast<int>(data[2] % 24) - 2;
  const int tagLen = static_cast<int>(data[3] % 22) - 2;
  const uint32_t aadLen = data[4] % 40;
  const int slack = static_cast<int>(data[5] % 40) - 20;
  data += 8;
  size -= 8;
  const size_t fixed = 32 + 24 + aadLen;
  if (size < fixed) return 0;
  const uint8_t* key = data;
  const uint8_t* ivSrc = data + 32;
  const uint8_t* aadSrc = data + 56;
  const uint8_t* msg = data + fixed;
  const auto msgLen = static_cast<uint32_t>(size - fixed);

  unsigned char* k = Exact(key, keyLen);
  unsigned char* iv = Exact(ivSrc, ivLen > 0 ? static_cast<size_t>(ivLen) : 0);
  unsigned char* aad = Exact(aadSrc, aadLen);
  unsigned char* in = Exact(msg, msgLen);

  int needed = 0;
  int rc = auth ? BCMGenAESEncryptAuth(in, msgLen, k, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, nullptr, &needed)
                : BCMGenAESEncrypt(in, msgLen, k, keyLen, iv, ivLen, mode, pad, nullptr, &needed);
  if (rc == 0) {
    Check(needed >= 0);
    int capacity = needed + slack;
    if (capacity < 0) capacity = 0;
    unsigned char* out = static_cast<unsigned char*>(malloc(static_cast<size_t>(capacity) + 1));
    int outLen = capacity;
    rc = auth ? BCMGenAESEncryptAuth(in, msgLen, k, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, &outLen)
              : BCMGenAESEncrypt(in, msgLen, k, keyLen, iv, ivLen, mode, pad, out, &outLen);
    if (rc == 0) {
      Check(outLen >= 0 && outLen <= capacity);
      unsigned char* ct = Exact(out, static_cast<size_t>(outLen));
      unsigned char* back = static_cast<unsigned char*>(malloc(static_cast<size_t>(outLen) + 1));
      int backLen = outLen;
      const auto ctLen = static_cast<uint32_t>(outLen);
      const int rc2 = auth ? BCMGenAESDecryptAuth(ct, ctLen, k, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, back,
                                                  &backLen)
                           : BCMGenAESDecrypt(ct, ctLen, k, keyLen, iv, ivLen, mode, pad, back, &backLen);
      Check(rc2 == 0);
      Check(static_cast<uint32_t>(backLen) == msgLen);
      Check(msgLen == 0 || memcmp(back, msg, msgLen) == 0);
      // A changed last byte must not authenticate.
      if (auth && ctLen > 0) {
        ct[ctLen - 1] ^= 1;
        backLen = outLen;
        Check(BCMGenAESDecryptAuth(ct, ctLen, k, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, back, &backLen) != 0);
      }
      free(back);
      free(ct);
    } else {
      Check(capacity < needed || mode == 1 || mode == 2 || ivLen > 16);
    }
    free(out);
  }

  // Decryption of arbitrary input with an exact-size output.
  int capacity = static_cast<int>(msgLen) + slack;
  if (capacity < 0) capacity = 0;
  unsigned char* out = static_cast<unsigned char*>(malloc(static_cast<size_t>(capacity) + 1));
  int outLen = capacity;
  rc = auth ? BCMGenAESDecryptAuth(in, msgLen, k, keyLen, iv, ivLen, mode, aad, aadLen, tagLen, out, &outLen)
            : BCMGenAESDecrypt(in, msgLen, k, keyLen, iv, ivLen, mode, pad, out, &outLen);
  if (rc == 0) Check(outLen >= 0 && outLen <= capacity);
  free(out);
  free(in);
  free(aad);
  free(iv);
  free(k);
  return 0;
}
