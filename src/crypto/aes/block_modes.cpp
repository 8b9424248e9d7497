// Modes of operation over a block operation: PKCS#7, CBC, CFB-128, OFB, CTR
// with a 128-bit counter, GCM and CCM.
#include "crypto/aes/block_modes.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "crypto/ct_check.h"
#include "crypto/digest_util.h"
#include "crypto/aes/ghash.h"
#include "platform/memory.h"

namespace {

constexpr uint32_t kMaxBlock = 16;

bool BadBlockSize(uint32_t blockSize) { return blockSize == 0 || blockSize > kMaxBlock; }

void XorInto(unsigned char* dst, const unsigned char* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] ^= src[i];
}

// A GHASH computation that wipes its key powers and running value.
struct Ghash {
  NXVT_GHASH g;
  explicit Ghash(const unsigned char* h) { NXVT_GHash_Init(&g, h); }
  ~Ghash() { NXVT_GHash_Wipe(&g); }
  Ghash(const Ghash&) = delete;
  Ghash& operator=(const Ghash&) = delete;

  void Padded(const unsigned char* data, size_t len) { NXVT_GHash_Padded(&g, data, len); }
  void Lengths(uint64_t aadBytes, uint64_t textBytes) {
    unsigned char b[16];
    StoreBe64(b, aadBytes * 8);
    StoreBe64(b + 8, textBytes * 8);
    NXVT_GHash_Blocks(&g, b, 1);
  }
  void Out(unsigned char* result) const { memcpy(result, g.y, 16); }
  // Starts a new hash under the same key.
  void Restart() { memset(g.y, 0, sizeof g.y); }
};

// GCM in both directions: H and J0, the counter mode from inc32(J0) with the
// hash of AAD and ciphertext, and tag = E(J0) xor GHASH(AAD, C, lengths).
// One hash key serves J0 and the tag.
int32_t GcmRun(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag,
               const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule, const unsigned char* iv,
               uint32_t ivLen, uint32_t blockSize, NXVT_BlockFn encrypt, bool decrypt) {
  if (tag == nullptr || ((out == nullptr || in == nullptr) && len > 0) || (aad == nullptr && aadLen > 0)) return -1;
  if (blockSize != 16 || schedule == nullptr || encrypt == nullptr || iv == nullptr || ivLen == 0) return -1;
  unsigned char h[16] = {0};
  encrypt(h, schedule);
  Ghash g(h);
  Wipe(h, sizeof h);
  unsigned char j0[16] = {0}, counter[16];
  ScopedWipe j0Wipe(j0), counterWipe(counter);
  if (ivLen == 12) {
    memcpy(j0, iv, 12);
    j0[15] = 1;
  } else {
    g.Padded(iv, ivLen);
    g.Lengths(0, ivLen);
    g.Out(j0);
    g.Restart();
  }
  if (aadLen > 0) g.Padded(aad, aadLen);
  if (len > 0) {
    if (PartlyOverlapping(out, in, len)) {
      memmove(out, in, len);
      in = out;
    }
    memcpy(counter, j0, 16);
    NXVT_GCM_Inc32(counter, 16);
    const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
    if (bulk != nullptr) {
      bulk->gcm(out, in, len, schedule, counter, &g.g, decrypt);
    } else {
      if (decrypt) g.Padded(in, len);
      NXVT_GCM_GCTR(out, counter, in, len, 16, schedule, encrypt);
      if (!decrypt) g.Padded(out, len);
    }
  }
  g.Lengths(aadLen, len);
  unsigned char s[16];
  ScopedWipe sWipe(s);
  g.Out(s);
  NXVT_GCM_GCTR(tag, j0, s, 16, 16, schedule, encrypt);
  return 0;
}

bool CcmParamsOk(uint32_t tagLen, uint32_t nonceLen, uint32_t payloadLen, uint32_t blockSize) {
  if (blockSize != 16) return false;
  if ((tagLen & 1) != 0 || tagLen < 4 || tagLen > 16) return false;
  if (nonceLen < 7 || nonceLen > 13) return false;
  const uint32_t q = 15 - nonceLen;
  // The length field holds the payload length in q bytes.
  if (q < 4 && payloadLen >= (1u << (8 * q))) return false;
  return true;
}

// CBC-MAC over the formatted blocks: the first tag-length bytes of Y_last.
void CcmMac(unsigned char* mac, const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad,
            uint32_t aadLen, const unsigned char* payload, uint32_t payloadLen, uint32_t tagLen,
            const unsigned char* schedule, NXVT_BlockFn encrypt) {
  SecureBytes formatted(NXVT_CCM_FormattedLength(aadLen, payloadLen));
  size_t total = 0;
  NXVT_CCM_FormatHeader(formatted.data(), &total, nonce, nonceLen, aad, aadLen, payload, payloadLen, tagLen);
  unsigned char y[16] = {0};
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (bulk != nullptr) {
    // CBC encryption of the formatted copy from a zero IV: y ends as the last block.
    bulk->cbcEncrypt(formatted.data(), formatted.data(), total / 16, schedule, y);
  } else {
    for (size_t i = 0; i < total; i += 16) {
      XorInto(y, formatted.data() + i, 16);
      encrypt(y, schedule);
    }
  }
  memcpy(mac, y, 16);
  Wipe(y, sizeof y);
}

// S_0 .. S_m: the encrypted counter blocks for a payload of `payloadLen`.
void CcmKeystream(SecureBytes& s, const unsigned char* nonce, uint32_t nonceLen, uint32_t payloadLen,
                  const unsigned char* schedule, NXVT_BlockFn encrypt) {
  const size_t blocks = (static_cast<size_t>(payloadLen) + 15) / 16 + 1;
  s.resize(blocks * 16);
  NXVT_CCM_FormatCounter(s.data(), blocks * 16, nonce, nonceLen, 16, 15 - nonceLen);
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (bulk != nullptr) {
    bulk->encryptBlocks(s.data(), blocks, schedule);
  } else {
    for (size_t i = 0; i < blocks; ++i) encrypt(s.data() + 16 * i, schedule);
  }
}

}  // namespace

bool ConstantTimeEqual(const unsigned char* a, const unsigned char* b, size_t n) {
  volatile unsigned char diff = 0;
  for (size_t i = 0; i < n; ++i) diff = static_cast<unsigned char>(diff | (a[i] ^ b[i]));
  unsigned char verdict = diff;
  CtDeclassify(&verdict, 1);  // equal or not: a tag check's result, which its caller returns
  return verdict == 0;
}

bool PartlyOverlapping(const unsigned char* a, const unsigned char* b, size_t n) {
  const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
  return x != y && (x < y ? y - x : x - y) < n;
}

uint32_t NXVT_PKCS7_Pad(unsigned char* out, const unsigned char* in, uint32_t len, uint32_t blockSize) {
  if (BadBlockSize(blockSize)) return len;
  const uint32_t pad = blockSize - (len % blockSize);
  if (out != in && len > 0) memmove(out, in, len);
  memset(out + len, static_cast<int>(pad), pad);
  return len + pad;
}

int32_t NXVT_CBC_Encrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (BadBlockSize(blockSize)) return -1;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (bulk != nullptr && blockSize == 16) {
    // The caller's IV stays as it was; the chain runs on a copy.
    unsigned char chainCopy[16];
    memcpy(chainCopy, iv, 16);
    bulk->cbcEncrypt(data, data, len / 16, schedule, chainCopy);
    return static_cast<int32_t>(len % 16);
  }
  const unsigned char* chain = iv;
  uint32_t i = 0;
  for (; len - i >= blockSize; i += blockSize) {
    XorInto(data + i, chain, blockSize);
    encrypt(data + i, schedule);
    chain = data + i;
  }
  return static_cast<int32_t>(len - i);
}

int32_t NXVT_CBC_Decrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn decrypt) {
  if (BadBlockSize(blockSize)) return -1;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(decrypt);
  if (bulk != nullptr && blockSize == 16) {
    bulk->cbcDecrypt(data, len / 16, schedule, iv);
    return static_cast<int32_t>(len % 16);
  }
  unsigned char kept[kMaxBlock];
  uint32_t i = 0;
  for (; len - i >= blockSize; i += blockSize) {
    memcpy(kept, data + i, blockSize);
    decrypt(data + i, schedule);
    XorInto(data + i, iv, blockSize);
    memcpy(iv, kept, blockSize);
  }
  return static_cast<int32_t>(len - i);
}

int32_t NXVT_CFB_Encrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (BadBlockSize(blockSize)) return -1;
  for (uint32_t i = 0, n = 0; i < len; i += n) {
    n = len - i < blockSize ? len - i : blockSize;
    encrypt(iv, schedule);
    XorInto(data + i, iv, n);
    memcpy(iv, data + i, n);
  }
  return 0;
}

int32_t NXVT_CFB_Decrypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (BadBlockSize(blockSize)) return -1;
  unsigned char kept[kMaxBlock];
  for (uint32_t i = 0, n = 0; i < len; i += n) {
    n = len - i < blockSize ? len - i : blockSize;
    memcpy(kept, data + i, n);
    encrypt(iv, schedule);
    XorInto(data + i, iv, n);
    memcpy(iv, kept, n);
  }
  return 0;
}

int32_t NXVT_OFB_Crypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* iv,
                       uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (BadBlockSize(blockSize)) return -1;
  for (uint32_t i = 0, n = 0; i < len; i += n) {
    n = len - i < blockSize ? len - i : blockSize;
    encrypt(iv, schedule);
    XorInto(data + i, iv, n);
  }
  return 0;
}

int32_t NXVT_CTR_Crypt(unsigned char* data, uint32_t len, const unsigned char* schedule, unsigned char* counter,
                       uint32_t blockSize, NXVT_BlockFn encrypt) {
  return NXVT_CTR_CryptTo(data, data, len, schedule, counter, blockSize, encrypt);
}

int32_t NXVT_CTR_CryptTo(unsigned char* out, const unsigned char* in, uint32_t len, const unsigned char* schedule,
                         unsigned char* counter, uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (BadBlockSize(blockSize)) return -1;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (bulk != nullptr && blockSize == 16) {
    if (PartlyOverlapping(out, in, len)) {
      memmove(out, in, len);
      in = out;
    }
    bulk->ctr(out, in, len, schedule, counter, 16);
    return 0;
  }
  if (out != in && len > 0) memmove(out, in, len);
  unsigned char ks[kMaxBlock];
  for (uint32_t i = 0, n = 0; i < len; i += n) {
    n = len - i < blockSize ? len - i : blockSize;
    memcpy(ks, counter, blockSize);
    encrypt(ks, schedule);
    XorInto(out + i, ks, n);
    // The whole block is one big-endian counter; a carry runs to the front.
    for (uint32_t b = blockSize; b-- > 0;) {
      if (++counter[b] != 0) break;
    }
  }
  Wipe(ks, sizeof ks);
  return 0;
}

void NXVT_GCM_GHash(unsigned char* result, const unsigned char* data, size_t len, const unsigned char* h,
                    uint32_t blockSize) {
  if (blockSize != 16) return;
  Ghash g(h);
  NXVT_GHash_Blocks(&g.g, data, len / 16);
  g.Out(result);
}

void NXVT_GCM_Inc32(unsigned char* counter, uint32_t blockSize) {
  if (blockSize < 4) return;
  unsigned char* c = counter + blockSize - 4;
  uint32_t v = (uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | uint32_t(c[3])) + 1;
  for (int i = 3; i >= 0; --i) {
    c[i] = static_cast<unsigned char>(v);
    v >>= 8;
  }
}

void NXVT_GCM_GCTR(unsigned char* out, unsigned char* counter, const unsigned char* in, uint32_t len,
                   uint32_t blockSize, const unsigned char* schedule, NXVT_BlockFn encrypt) {
  if (blockSize != 16) return;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (bulk != nullptr) {
    if (PartlyOverlapping(out, in, len)) {
      memmove(out, in, len);
      in = out;
    }
    bulk->ctr(out, in, len, schedule, counter, 4);
    return;
  }
  unsigned char ks[16];
  for (uint32_t i = 0, n = 0; i < len; i += n) {
    n = len - i < 16 ? len - i : 16;
    memcpy(ks, counter, 16);
    encrypt(ks, schedule);
    for (uint32_t b = 0; b < n; ++b) out[i + b] = in[i + b] ^ ks[b];
    NXVT_GCM_Inc32(counter, 16);
  }
  Wipe(ks, sizeof ks);
}

int32_t NXVT_GCM_Encrypt(unsigned char* data, uint32_t len, unsigned char* tag, const unsigned char* aad,
                         uint32_t aadLen, const unsigned char* schedule, const unsigned char* iv, uint32_t ivLen,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  return GcmRun(data, data, len, tag, aad, aadLen, schedule, iv, ivLen, blockSize, encrypt, false);
}

int32_t NXVT_GCM_Decrypt(unsigned char* data, uint32_t len, unsigned char* tag, const unsigned char* aad,
                         uint32_t aadLen, const unsigned char* schedule, const unsigned char* iv, uint32_t ivLen,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  return GcmRun(data, data, len, tag, aad, aadLen, schedule, iv, ivLen, blockSize, encrypt, true);
}

int32_t NXVT_GCM_EncryptTo(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                           const unsigned char* iv, uint32_t ivLen, uint32_t blockSize, NXVT_BlockFn encrypt) {
  return GcmRun(out, in, len, tag, aad, aadLen, schedule, iv, ivLen, blockSize, encrypt, false);
}

int32_t NXVT_GCM_DecryptTo(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                           const unsigned char* iv, uint32_t ivLen, uint32_t blockSize, NXVT_BlockFn encrypt) {
  return GcmRun(out, in, len, tag, aad, aadLen, schedule, iv, ivLen, blockSize, encrypt, true);
}

size_t NXVT_CCM_FormattedLength(uint32_t aadLen, uint32_t payloadLen) {
  size_t total = 16;
  if (aadLen > 0) {
    const size_t head = aadLen < 0xFF00 ? 2 : 6;
    total += (head + aadLen + 15) / 16 * 16;
  }
  total += (static_cast<size_t>(payloadLen) + 15) / 16 * 16;
  return total;
}

void NXVT_CCM_FormatHeader(unsigned char* out, size_t* outLen, const unsigned char* nonce, uint32_t nonceLen,
                           const unsigned char* aad, uint32_t aadLen, const unsigned char* payload,
                           uint32_t payloadLen, uint32_t tagLen) {
  const uint32_t q = 15 - nonceLen;
  const size_t total = NXVT_CCM_FormattedLength(aadLen, payloadLen);
  memset(out, 0, total);
  out[0] = static_cast<unsigned char>((aadLen != 0 ? 0x40 : 0) | (((tagLen - 2) / 2) << 3) | (q - 1));
  memcpy(out + 1, nonce, nonceLen);
  for (uint32_t k = 0; k < q && k < 4; ++k) out[15 - k] = static_cast<unsigned char>(payloadLen >> (8 * k));
  size_t pos = 16;
  if (aadLen > 0) {
    if (aadLen < 0xFF00) {
      out[pos++] = static_cast<unsigned char>(aadLen >> 8);
      out[pos++] = static_cast<unsigned char>(aadLen);
    } else {
      out[pos++] = 0xFF;
      out[pos++] = 0xFE;
      for (int s = 24; s >= 0; s -= 8) out[pos++] = static_cast<unsigned char>(aadLen >> s);
    }
    memcpy(out + pos, aad, aadLen);
    pos = (pos + aadLen + 15) / 16 * 16;
  }
  if (payloadLen > 0) memcpy(out + pos, payload, payloadLen);
  *outLen = total;
}

void NXVT_CCM_FormatCounter(unsigned char* out, size_t totalLen, const unsigned char* nonce, uint32_t nonceLen,
                            uint32_t blockSize, uint32_t q) {
  if (blockSize != 16) return;
  for (size_t i = 0; 16 * i < totalLen; ++i) {
    unsigned char* c = out + 16 * i;
    memset(c, 0, 16);
    c[0] = static_cast<unsigned char>(q - 1);
    memcpy(c + 1, nonce, nonceLen);
    for (uint32_t k = 0; k < q && k < 8; ++k) c[15 - k] = static_cast<unsigned char>(static_cast<uint64_t>(i) >> (8 * k));
  }
}

int32_t NXVT_CCM_Encrypt(unsigned char* data, uint32_t payloadLen, uint32_t tagLen, const unsigned char* nonce,
                         uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (!CcmParamsOk(tagLen, nonceLen, payloadLen, blockSize)) return -1;
  if (data == nullptr || nonce == nullptr || schedule == nullptr || encrypt == nullptr ||
      (aad == nullptr && aadLen > 0))
    return -1;
  try {
    unsigned char mac[16];
    ScopedWipe macWipe(mac);
    CcmMac(mac, nonce, nonceLen, aad, aadLen, data, payloadLen, tagLen, schedule, encrypt);
    SecureBytes s;
    CcmKeystream(s, nonce, nonceLen, payloadLen, schedule, encrypt);
    XorInto(data, s.data() + 16, payloadLen);
    for (uint32_t j = 0; j < tagLen; ++j) data[payloadLen + j] = mac[j] ^ s[j];
    return 0;
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (const std::length_error&) {
    return -1;
  }
}

int32_t NXVT_CCM_Decrypt(unsigned char* data, uint32_t inLen, uint32_t tagLen, const unsigned char* nonce,
                         uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (inLen < tagLen) return -1;
  const uint32_t payloadLen = inLen - tagLen;
  if (!CcmParamsOk(tagLen, nonceLen, payloadLen, blockSize)) return -1;
  if (data == nullptr || nonce == nullptr || schedule == nullptr || encrypt == nullptr ||
      (aad == nullptr && aadLen > 0))
    return -1;
  try {
    SecureBytes s;
    CcmKeystream(s, nonce, nonceLen, payloadLen, schedule, encrypt);
    SecureBytes plain(data, payloadLen);
    XorInto(plain.data(), s.data() + 16, payloadLen);
    unsigned char received[16];
    ScopedWipe receivedWipe(received);
    for (uint32_t j = 0; j < tagLen; ++j) received[j] = data[payloadLen + j] ^ s[j];
    unsigned char mac[16];
    ScopedWipe macWipe(mac);
    CcmMac(mac, nonce, nonceLen, aad, aadLen, plain.data(), payloadLen, tagLen, schedule, encrypt);
    if (!ConstantTimeEqual(mac, received, tagLen)) return -1;
    if (payloadLen > 0) memcpy(data, plain.data(), payloadLen);
    return 0;
  } catch (const std::bad_alloc&) {
    return -1;
  } catch (const std::length_error&) {
    return -1;
  }
}
