// Modes of operation over a block operation: PKCS#7, CBC, CFB-128, OFB, CTR
// with a 128-bit counter, GCM and CCM.
#include "crypto/aes/block_modes.h"

#include <cstring>

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
    in = UnOverlap(out, in, len);
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

// The CBC-MAC chain of CCM. Its input is held back in runs of whole blocks
// (a short message is then one call into the portable code, which sets up
// its round keys once per call); wiped when done.
class CcmChain {
 public:
  CcmChain(const unsigned char* schedule, NXVT_BlockFn encrypt)
      : schedule_(schedule), encrypt_(encrypt), bulk_(NXVT_BlockBulk(encrypt)) {}
  ~CcmChain() {
    Wipe(y, sizeof y);
    Wipe(held_, 16 * used_);
  }
  CcmChain(const CcmChain&) = delete;
  CcmChain& operator=(const CcmChain&) = delete;

  // The bytes, then zeros to the end of their last block.
  void Absorb(const unsigned char* data, size_t len) {
    while (len > 0) {
      if (count_ == kRun) Flush();
      const size_t room = 16 * (kRun - count_);
      const size_t n = len < room ? len : room;
      const size_t blocks = (n + 15) / 16;
      unsigned char* dst = held_ + 16 * count_;
      memcpy(dst, data, n);
      memset(dst + n, 0, 16 * blocks - n);
      count_ += blocks;
      used_ = count_ > used_ ? count_ : used_;
      data += n;
      len -= n;
    }
  }
  // Runs what is held back: y is then the chaining value.
  void Flush() {
    if (bulk_ != nullptr) {
      if (count_ > 0) bulk_->cbcEncrypt(held_, held_, count_, schedule_, y);
    } else {
      for (size_t i = 0; i < count_; ++i) {
        XorInto(y, held_ + 16 * i, 16);
        encrypt_(y, schedule_);
      }
    }
    count_ = 0;
  }

  // The blocks held back, for a caller that runs them itself (and then Clears).
  const unsigned char* Held() const { return held_; }
  size_t HeldCount() const { return count_; }
  void Clear() { count_ = 0; }

  unsigned char y[16] = {0};

 private:
  static constexpr size_t kRun = 32;
  const unsigned char* schedule_;
  NXVT_BlockFn encrypt_;
  const NXVT_BLOCK_BULK* bulk_;
  unsigned char held_[16 * kRun];
  size_t count_ = 0, used_ = 0;
};

// B0 into head[0..15] and the encoded AAD length after it; returns the
// length of that encoding (0 without AAD, 2 or 6).
size_t CcmHead(unsigned char* head, const unsigned char* nonce, uint32_t nonceLen, uint32_t aadLen,
               uint32_t payloadLen, uint32_t tagLen) {
  const uint32_t q = 15 - nonceLen;
  memset(head, 0, 16);
  head[0] = static_cast<unsigned char>((aadLen != 0 ? 0x40 : 0) | (((tagLen - 2) / 2) << 3) | (q - 1));
  memcpy(head + 1, nonce, nonceLen);
  for (uint32_t k = 0; k < q && k < 4; ++k) head[15 - k] = static_cast<unsigned char>(payloadLen >> (8 * k));
  if (aadLen == 0) return 0;
  unsigned char* a = head + 16;
  if (aadLen < 0xFF00) {
    a[0] = static_cast<unsigned char>(aadLen >> 8);
    a[1] = static_cast<unsigned char>(aadLen);
    return 2;
  }
  a[0] = 0xFF;
  a[1] = 0xFE;
  for (int k = 0; k < 4; ++k) a[2 + k] = static_cast<unsigned char>(aadLen >> (24 - 8 * k));
  return 6;
}

// Ctr_1, the first counter block of the payload.
void CcmFirstCounter(unsigned char* counter, const unsigned char* nonce, uint32_t nonceLen) {
  NXVT_CCM_FormatCounter(counter, 16, nonce, nonceLen, 16, 15 - nonceLen);
  counter[15] = 1;
}

// The counter mode from Ctr_1 over the payload and S_0 = E(Ctr_0), which
// `s0` holds on entry (Ctr_0) and on return (S_0). S_0 and the first payload
// blocks go through one call: one batch of the portable code.
void CcmCounterMode(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* s0,
                    const unsigned char* schedule, NXVT_BlockFn encrypt) {
  unsigned char first[128], counter[16];
  ScopedWipe firstWipe(first), counterWipe(counter);
  const uint32_t n = len < sizeof first - 16 ? len : sizeof first - 16;
  memset(first, 0, 16);
  if (n > 0) memcpy(first + 16, in, n);
  memcpy(counter, s0, 16);
  NXVT_GCM_GCTR(first, counter, first, 16 + n, 16, schedule, encrypt);
  memcpy(s0, first, 16);
  if (n > 0) memcpy(out, first + 16, n);
  if (len > n) NXVT_GCM_GCTR(out + n, counter, in + n, len - n, 16, schedule, encrypt);
}

// CCM over one payload from `in` to `out` (the same buffer or apart): the
// CBC-MAC of B0, the AAD and the plaintext, the counter mode from Ctr_1, and
// the full tag S_0 xor the MAC. The formatted input is never built whole.
void CcmRun(unsigned char* out, const unsigned char* in, uint32_t len, unsigned char* tag, const unsigned char* nonce,
            uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, uint32_t tagLen,
            const unsigned char* schedule, NXVT_BlockFn encrypt, bool decrypt) {
  CcmChain chain(schedule, encrypt);
  // B0, then the AAD's length and as much of the AAD as fills the block.
  unsigned char head[32];
  ScopedWipe headWipe(head);
  const size_t lenBytes = CcmHead(head, nonce, nonceLen, aadLen, len, tagLen);
  const size_t first = aadLen < 16 - lenBytes ? aadLen : 16 - lenBytes;
  if (aadLen > 0) memcpy(head + 16 + lenBytes, aad, first);
  chain.Absorb(head, aadLen > 0 ? 16 + lenBytes + first : 16);
  if (aadLen > first) chain.Absorb(aad + first, aadLen - first);

  unsigned char counter[16], s0[16];
  ScopedWipe counterWipe(counter), s0Wipe(s0);
  CcmFirstCounter(counter, nonce, nonceLen);
  memcpy(s0, counter, 16);
  s0[15] = 0;
  const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(encrypt);
  if (len > 0 && bulk != nullptr &&
      bulk->ccm(out, in, len, schedule, counter, chain.y, chain.Held(), chain.HeldCount(), decrypt)) {
    chain.Clear();
    encrypt(s0, schedule);
  } else {
    // The MAC takes the plaintext: before encryption, after decryption.
    if (!decrypt) chain.Absorb(in, len);
    CcmCounterMode(out, in, len, s0, schedule, encrypt);
    if (decrypt) chain.Absorb(out, len);
    chain.Flush();
  }
  for (int j = 0; j < 16; ++j) tag[j] = chain.y[j] ^ s0[j];
}

bool CcmCallOk(const unsigned char* out, const unsigned char* in, uint32_t payloadLen, uint32_t tagLen,
               const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen,
               const unsigned char* schedule, uint32_t blockSize, NXVT_BlockFn encrypt) {
  return CcmParamsOk(tagLen, nonceLen, payloadLen, blockSize) && out != nullptr && in != nullptr &&
         nonce != nullptr && schedule != nullptr && encrypt != nullptr && (aad != nullptr || aadLen == 0);
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

const unsigned char* UnOverlap(unsigned char* out, const unsigned char* in, size_t n) {
  if (!PartlyOverlapping(out, in, n)) return in;
  memmove(out, in, n);
  return out;
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
    in = UnOverlap(out, in, len);
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
    in = UnOverlap(out, in, len);
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
  const size_t total = NXVT_CCM_FormattedLength(aadLen, payloadLen);
  memset(out, 0, total);
  size_t pos = 16 + CcmHead(out, nonce, nonceLen, aadLen, payloadLen, tagLen);
  if (aadLen > 0) {
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
  return NXVT_CCM_EncryptTo(data, data, payloadLen, tagLen, nonce, nonceLen, aad, aadLen, schedule, blockSize,
                            encrypt);
}

int32_t NXVT_CCM_Decrypt(unsigned char* data, uint32_t inLen, uint32_t tagLen, const unsigned char* nonce,
                         uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen, const unsigned char* schedule,
                         uint32_t blockSize, NXVT_BlockFn encrypt) {
  return NXVT_CCM_DecryptTo(data, data, inLen, tagLen, nonce, nonceLen, aad, aadLen, schedule, blockSize, encrypt);
}

int32_t NXVT_CCM_EncryptTo(unsigned char* out, const unsigned char* in, uint32_t payloadLen, uint32_t tagLen,
                           const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen,
                           const unsigned char* schedule, uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (!CcmCallOk(out, in, payloadLen, tagLen, nonce, nonceLen, aad, aadLen, schedule, blockSize, encrypt)) return -1;
  in = UnOverlap(out, in, payloadLen);
  unsigned char tag[16];
  ScopedWipe tagWipe(tag);
  CcmRun(out, in, payloadLen, tag, nonce, nonceLen, aad, aadLen, tagLen, schedule, encrypt, false);
  memcpy(out + payloadLen, tag, tagLen);
  return 0;
}

int32_t NXVT_CCM_DecryptTo(unsigned char* out, const unsigned char* in, uint32_t inLen, uint32_t tagLen,
                           const unsigned char* nonce, uint32_t nonceLen, const unsigned char* aad, uint32_t aadLen,
                           const unsigned char* schedule, uint32_t blockSize, NXVT_BlockFn encrypt) {
  if (inLen < tagLen) return -1;
  const uint32_t payloadLen = inLen - tagLen;
  if (!CcmCallOk(out, in, payloadLen, tagLen, nonce, nonceLen, aad, aadLen, schedule, blockSize, encrypt)) return -1;
  in = UnOverlap(out, in, inLen);
  unsigned char received[16], computed[16];
  ScopedWipe receivedWipe(received), computedWipe(computed);
  memcpy(received, in + payloadLen, tagLen);
  if (out != in) memcpy(out + payloadLen, received, tagLen);
  CcmRun(out, in, payloadLen, computed, nonce, nonceLen, aad, aadLen, tagLen, schedule, encrypt, true);
  if (!ConstantTimeEqual(computed, received, tagLen)) {
    // Not authentic: the counter mode once more turns the plaintext back
    // into the ciphertext, so the caller's buffer ends as it began.
    unsigned char counter[16];
    CcmFirstCounter(counter, nonce, nonceLen);
    NXVT_GCM_GCTR(out, counter, out, payloadLen, 16, schedule, encrypt);
    Wipe(counter, sizeof counter);
    return -1;
  }
  return 0;
}
