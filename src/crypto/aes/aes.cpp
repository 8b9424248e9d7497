// AES-128 and AES-256 (FIPS 197): the key expansion with the round keys of
// the equivalent inverse cipher, and the block and bulk routines, which take
// VAES on 512-bit vectors for runs of independent blocks where the processor
// has it (on 256-bit vectors where it has VAES without AVX-512), AES-NI when
// it has that, and constant-time code otherwise: the
// SSSE3 shuffle code for serial single blocks (CBC encryption, one block at
// a time) where the processor has SSSE3, the bitsliced code for the rest.
// Nothing here indexes memory with key or data bytes.
#include "crypto/aes/aes.h"

#include <cstring>

#include "crypto/aes/aes_bitslice.h"
#include "crypto/aes/aes_hw.h"
#include "crypto/aes/aes_vaes.h"
#include "crypto/aes/aes_vaes256.h"
#include "crypto/aes/aes_vperm.h"
#include "crypto/aes/ghash.h"
#include "crypto/cpu_features.h"
#include "platform/memory.h"

namespace {

bool HasVaes() { return NXVT_CpuFeatures().vaes512; }
// VAES and VPCLMULQDQ on 256-bit vectors, where the 512-bit code cannot run.
bool HasVaes256() {
  const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
  return f.vaes && f.vpclmul && f.avx2 && !f.vaes512;
}
bool HasAesNi() { return NXVT_CpuFeatures().aesni; }
bool HasSsse3() { return NXVT_CpuFeatures().ssse3; }

// The portable routines work in place.
void CopyIn(unsigned char* out, const unsigned char* in, size_t len) {
  if (out != in && len > 0) memcpy(out, in, len);
}

inline unsigned char XTime(unsigned char x) {
  // The reduction is selected with a mask, not a branch: x is key material.
  return static_cast<unsigned char>((x << 1) ^ (0x1b & (0 - (x >> 7))));
}

// InvMixColumns of one column: out[r] = 14a[r] ^ 11a[r+1] ^ 13a[r+2] ^ 9a[r+3].
void InvMixColumn(unsigned char* out, const unsigned char* a) {
  unsigned char x2[4], x4[4], x8[4];
  for (int r = 0; r < 4; ++r) {
    x2[r] = XTime(a[r]);
    x4[r] = XTime(x2[r]);
    x8[r] = XTime(x4[r]);
  }
  for (int r = 0; r < 4; ++r) {
    const int r1 = (r + 1) & 3, r2 = (r + 2) & 3, r3 = (r + 3) & 3;
    out[r] = static_cast<unsigned char>((x8[r] ^ x4[r] ^ x2[r]) ^ (x8[r1] ^ x2[r1] ^ a[r1]) ^
                                        (x8[r2] ^ x4[r2] ^ a[r2]) ^ (x8[r3] ^ a[r3]));
  }
  Wipe(x2, sizeof x2);
  Wipe(x4, sizeof x4);
  Wipe(x8, sizeof x8);
}

void ExpandKey(unsigned char* schedule, const unsigned char* key, int nk, int nr) {
  if (HasAesNi()) {
    NXVT_AesNi_ExpandKey(schedule, key, nr);
    return;
  }
  memcpy(schedule, key, static_cast<size_t>(4 * nk));
  unsigned char temp[4];
  unsigned char rcon = 1;
  for (int i = nk; i < 4 * (nr + 1); ++i) {
    memcpy(temp, schedule + 4 * (i - 1), 4);
    // The branches follow the word index only.
    if (i % nk == 0) {
      const unsigned char first = temp[0];
      temp[0] = temp[1];
      temp[1] = temp[2];
      temp[2] = temp[3];
      temp[3] = first;
      NXVT_AesCt_SubWord(temp);
      temp[0] ^= rcon;
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      NXVT_AesCt_SubWord(temp);
    }
    for (int b = 0; b < 4; ++b) schedule[4 * i + b] = schedule[4 * (i - nk) + b] ^ temp[b];
  }
  Wipe(temp, sizeof temp);
  // Round keys of the equivalent inverse cipher: 0 and Nr copied, the
  // others through InvMixColumns, in the second half in the same order.
  unsigned char* dk = schedule + 16 * (nr + 1);
  memcpy(dk, schedule, 16);
  memcpy(dk + 16 * nr, schedule + 16 * nr, 16);
  for (int w = 4; w < 4 * nr; ++w) InvMixColumn(dk + 4 * w, schedule + 4 * w);
}


// Vectors pay from a few blocks on; a single block stays on AES-NI.
constexpr size_t kVaesMinBlocks = 2;

template <int Nr>
void EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  if (count >= kVaesMinBlocks && HasVaes()) {
    NXVT_AesVaes_EncryptBlocks(blocks, count, schedule, Nr);
  } else if (count >= kVaesMinBlocks && HasVaes256()) {
    NXVT_AesVaes256_EncryptBlocks(blocks, count, schedule, Nr);
  } else if (HasAesNi()) {
    NXVT_AesNi_EncryptBlocks(blocks, count, schedule, Nr);
  } else if (count == 1 && HasSsse3()) {
    NXVT_AesVp_EncryptBlocks(blocks, count, schedule, Nr);
  } else {
    NXVT_AesCt_EncryptBlocks(blocks, count, schedule, Nr);
  }
}

template <int Nr>
void DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  if (count >= kVaesMinBlocks && HasVaes()) {
    NXVT_AesVaes_DecryptBlocks(blocks, count, schedule, Nr);
  } else if (count >= kVaesMinBlocks && HasVaes256()) {
    NXVT_AesVaes256_DecryptBlocks(blocks, count, schedule, Nr);
  } else if (HasAesNi()) {
    NXVT_AesNi_DecryptBlocks(blocks, count, schedule, Nr);
  } else if (count == 1 && HasSsse3()) {
    NXVT_AesVp_DecryptBlocks(blocks, count, schedule, Nr);
  } else {
    NXVT_AesCt_DecryptBlocks(blocks, count, schedule, Nr);
  }
}

// CBC encryption is serial: vectors would not help it.
template <int Nr>
void CbcEncrypt(unsigned char* out, const unsigned char* in, size_t count, const unsigned char* schedule,
                unsigned char* iv) {
  if (HasAesNi()) {
    NXVT_AesNi_CbcEncrypt(out, in, count, schedule, Nr, iv);
    return;
  }
  CopyIn(out, in, 16 * count);
  if (HasSsse3()) {
    NXVT_AesVp_CbcEncrypt(out, count, schedule, Nr, iv);
  } else {
    NXVT_AesCt_CbcEncrypt(out, count, schedule, Nr, iv);
  }
}

template <int Nr>
void CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, unsigned char* iv) {
  if (count >= kVaesMinBlocks && HasVaes()) {
    NXVT_AesVaes_CbcDecrypt(data, count, schedule, Nr, iv);
  } else if (count >= kVaesMinBlocks && HasVaes256()) {
    NXVT_AesVaes256_CbcDecrypt(data, count, schedule, Nr, iv);
  } else if (HasAesNi()) {
    NXVT_AesNi_CbcDecrypt(data, count, schedule, Nr, iv);
  } else {
    NXVT_AesCt_CbcDecrypt(data, count, schedule, Nr, iv);
  }
}

template <int Nr>
void Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
         unsigned char* counter, int counterBytes) {
  if (len > 16 * (kVaesMinBlocks - 1) && HasVaes()) {
    NXVT_AesVaes_Ctr(out, in, len, schedule, Nr, counter, counterBytes);
  } else if (len > 16 * (kVaesMinBlocks - 1) && HasVaes256()) {
    NXVT_AesVaes256_Ctr(out, in, len, schedule, Nr, counter, counterBytes);
  } else if (HasAesNi()) {
    NXVT_AesNi_Ctr(out, in, len, schedule, Nr, counter, counterBytes);
  } else {
    CopyIn(out, in, len);
    NXVT_AesCt_Ctr(out, len, schedule, Nr, counter, counterBytes);
  }
}

template <int Nr>
void Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
         unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  if (g->path == kGhashVector && HasVaes()) {
    NXVT_AesVaes_Gcm(out, in, len, schedule, Nr, counter, g, decrypt);
    return;
  }
  if (g->path == kGhashVector256 && HasVaes256()) {
    NXVT_AesVaes256_Gcm(out, in, len, schedule, Nr, counter, g, decrypt);
    return;
  }
  if (g->path == kGhashClmul && HasAesNi()) {
    NXVT_AesNi_Gcm(out, in, len, schedule, Nr, counter, g, decrypt);
    return;
  }
  // The hash takes the ciphertext: before decryption, after encryption.
  if (decrypt) NXVT_GHash_Padded(g, in, len);
  Ctr<Nr>(out, in, len, schedule, counter, 4);
  if (!decrypt) NXVT_GHash_Padded(g, out, len);
}

// The MAC chain bounds CCM, so its one counter block per MAC block fits in
// the chain's latency on AES-NI; wider vectors would not help.
template <int Nr>
bool Ccm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
         unsigned char* counter, unsigned char* mac, const unsigned char* head, size_t headCount, bool decrypt) {
  if (!HasAesNi()) return false;
  NXVT_AesNi_Ccm(out, in, len, schedule, Nr, counter, mac, head, headCount, decrypt);
  return true;
}

template <int Nr>
void EncryptBlock(unsigned char* block, const unsigned char* schedule) {
  EncryptBlocks<Nr>(block, 1, schedule);
}

template <int Nr>
void DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  DecryptBlocks<Nr>(block, 1, schedule);
}

template <int Nr>
constexpr NXVT_BLOCK_BULK kBulk = {EncryptBlocks<Nr>, DecryptBlocks<Nr>, CbcEncrypt<Nr>, CbcDecrypt<Nr>,
                                   Ctr<Nr>,           Gcm<Nr>,           Ccm<Nr>};

}  // namespace

void NXVT_AES128_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen) {
  (void)keyLen;
  ExpandKey(schedule, key, 4, 10);
}

void NXVT_AES256_SetKey(unsigned char* schedule, const unsigned char* key, uint32_t keyLen) {
  (void)keyLen;
  ExpandKey(schedule, key, 8, 14);
}

void NXVT_AES128_EncryptBlock(unsigned char* block, const unsigned char* schedule) {
  EncryptBlock<10>(block, schedule);
}
void NXVT_AES128_DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  DecryptBlock<10>(block, schedule);
}
void NXVT_AES256_EncryptBlock(unsigned char* block, const unsigned char* schedule) {
  EncryptBlock<14>(block, schedule);
}
void NXVT_AES256_DecryptBlock(unsigned char* block, const unsigned char* schedule) {
  DecryptBlock<14>(block, schedule);
}

const NXVT_BLOCK_BULK* NXVT_BlockBulk(NXVT_BlockFn fn) {
  struct Row {
    NXVT_BlockFn encrypt, decrypt;
    const NXVT_BLOCK_BULK* bulk;
  };
  static const Row kRows[] = {
      {NXVT_AES128_EncryptBlock, NXVT_AES128_DecryptBlock, &kBulk<10>},
      {NXVT_AES256_EncryptBlock, NXVT_AES256_DecryptBlock, &kBulk<14>},
  };
  for (const Row& r : kRows) {
    if (fn == r.encrypt || fn == r.decrypt) return r.bulk;
  }
  return nullptr;
}

const NXVT_CIPHER_DESC NXVT_AES128_DESC = {16, kAes128ScheduleSize, NXVT_AES128_SetKey, NXVT_AES128_EncryptBlock,
                                           NXVT_AES128_DecryptBlock};
const NXVT_CIPHER_DESC NXVT_AES256_DESC = {16, kAes256ScheduleSize, NXVT_AES256_SetKey, NXVT_AES256_EncryptBlock,
                                           NXVT_AES256_DecryptBlock};
