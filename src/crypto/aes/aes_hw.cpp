// AES with the AES-NI instructions: the independent blocks of ECB, CTR and
// CBC decryption run eight at a time so the pipelined units stay busy.
#include "crypto/aes/aes_hw.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "crypto/digest_util.h"
#include "platform/memory.h"

#define NXVT_AESNI_TARGET __attribute__((target("aes,sse4.1,ssse3")))

namespace {

constexpr int kWide = 8;

// Round keys are read from the schedule in every round rather than held in
// registers: eight blocks in flight need the registers, and no copy of the
// keys is left on the stack.
template <int R>
struct RoundKeys {
  const unsigned char* keys;
  explicit RoundKeys(const unsigned char* p) : keys(p) {}
  NXVT_AESNI_TARGET __m128i operator[](int i) const {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 16 * i));
  }
};

template <int R>
NXVT_AESNI_TARGET inline __m128i Enc1(__m128i b, const RoundKeys<R>& rk) {
  b = _mm_xor_si128(b, rk[0]);
  #pragma GCC unroll 16
  for (int r = 1; r < R; ++r) b = _mm_aesenc_si128(b, rk[r]);
  return _mm_aesenclast_si128(b, rk[R]);
}

// The inverse-cipher keys are stored dk[0] first and used from dk[Nr] down.
template <int R>
NXVT_AESNI_TARGET inline __m128i Dec1(__m128i b, const RoundKeys<R>& dk) {
  b = _mm_xor_si128(b, dk[R]);
  #pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) b = _mm_aesdec_si128(b, dk[r]);
  return _mm_aesdeclast_si128(b, dk[0]);
}

template <int R>
NXVT_AESNI_TARGET inline void Enc8(__m128i* b, const RoundKeys<R>& rk) {
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_xor_si128(b[j], rk[0]);
  #pragma GCC unroll 16
  for (int r = 1; r < R; ++r) {
    const __m128i k = rk[r];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = _mm_aesenc_si128(b[j], k);
  }
  const __m128i k = rk[R];
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_aesenclast_si128(b[j], k);
}

template <int R>
NXVT_AESNI_TARGET inline void Dec8(__m128i* b, const RoundKeys<R>& dk) {
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_xor_si128(b[j], dk[R]);
  #pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) {
    const __m128i k = dk[r];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = _mm_aesdec_si128(b[j], k);
  }
  const __m128i k = dk[0];
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_aesdeclast_si128(b[j], k);
}

NXVT_AESNI_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
NXVT_AESNI_TARGET inline void Store(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <int Rounds>
NXVT_AESNI_TARGET void EncryptBlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  const RoundKeys<Rounds> rk(schedule);
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = Load(blocks + 16 * (i + j));
    Enc8(b, rk);
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) Store(blocks + 16 * (i + j), b[j]);
  }
  for (; i < count; ++i) Store(blocks + 16 * i, Enc1(Load(blocks + 16 * i), rk));
}

template <int Rounds>
NXVT_AESNI_TARGET void DecryptBlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  const RoundKeys<Rounds> dk(schedule + 16 * (Rounds + 1));
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = Load(blocks + 16 * (i + j));
    Dec8(b, dk);
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) Store(blocks + 16 * (i + j), b[j]);
  }
  for (; i < count; ++i) Store(blocks + 16 * i, Dec1(Load(blocks + 16 * i), dk));
}

// CBC encryption is one chain of rounds through the whole message, so only
// the rounds stay on it: the next plaintext block and round key 0 are folded
// into the last round key (AESENCLAST adds its key last), which hands the
// next block its first-round input directly; the ciphertext is recovered
// beside the chain.
template <int Rounds>
NXVT_AESNI_TARGET void CbcEncryptT(unsigned char* out, const unsigned char* in, size_t count,
                                   const unsigned char* schedule, unsigned char* iv) {
  if (count == 0) return;
  const RoundKeys<Rounds> rk(schedule);
  __m128i x = _mm_xor_si128(_mm_xor_si128(Load(in), rk[0]), Load(iv));
  for (size_t i = 0; i + 1 < count; ++i) {
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
    const __m128i next = _mm_xor_si128(Load(in + 16 * (i + 1)), rk[0]);
    x = _mm_aesenclast_si128(x, _mm_xor_si128(rk[Rounds], next));
    Store(out + 16 * i, _mm_xor_si128(x, next));
  }
#pragma GCC unroll 16
  for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
  x = _mm_aesenclast_si128(x, rk[Rounds]);
  Store(out + 16 * (count - 1), x);
  Store(iv, x);
}

template <int Rounds>
NXVT_AESNI_TARGET void CbcDecryptT(unsigned char* data, size_t count, const unsigned char* schedule,
                                   unsigned char* iv) {
  const RoundKeys<Rounds> dk(schedule + 16 * (Rounds + 1));
  __m128i chain = Load(iv);
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i c[kWide], b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = c[j] = Load(data + 16 * (i + j));
    Dec8(b, dk);
    Store(data + 16 * i, _mm_xor_si128(b[0], chain));
#pragma GCC unroll 16
    for (int j = 1; j < kWide; ++j) Store(data + 16 * (i + j), _mm_xor_si128(b[j], c[j - 1]));
    chain = c[kWide - 1];
  }
  for (; i < count; ++i) {
    const __m128i c = Load(data + 16 * i);
    Store(data + 16 * i, _mm_xor_si128(Dec1(c, dk), chain));
    chain = c;
  }
  Store(iv, chain);
}

// The counter as two host words (big-endian halves); counterBytes 4 wraps
// the low 32 bits only.
struct Counter {
  uint64_t hi, lo;
  bool inc32;

  NXVT_AESNI_TARGET __m128i Block() const {
    // Byte-swapped halves: the block reads hi then lo in big-endian order.
    const __m128i v = _mm_set_epi64x(static_cast<long long>(lo), static_cast<long long>(hi));
    return _mm_shuffle_epi8(v, _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
  }
  // Branch-free: GCM's first counter can be derived from the key. The mode
  // (inc32) is public.
  void Next() {
    if (inc32) {
      lo = (lo & 0xFFFFFFFF00000000ull) | ((lo + 1) & 0xFFFFFFFFull);
    } else {
      const uint64_t next = lo + 1;
      hi += 1 ^ ((next | (0 - next)) >> 63);
      lo = next;
    }
  }
};

template <int Rounds>
NXVT_AESNI_TARGET void CtrT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                            unsigned char* counter, int counterBytes) {
  const RoundKeys<Rounds> rk(schedule);
  Counter ctr{LoadBe64(counter), LoadBe64(counter + 8), counterBytes == 4};
  size_t i = 0;
  for (; i + 16 * kWide <= len; i += 16 * kWide) {
    __m128i b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) {
      b[j] = ctr.Block();
      ctr.Next();
    }
    Enc8(b, rk);
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) Store(out + i + 16 * j, _mm_xor_si128(Load(in + i + 16 * j), b[j]));
  }
  for (; i < len; i += 16) {
    const __m128i ks = Enc1(ctr.Block(), rk);
    ctr.Next();
    if (len - i >= 16) {
      Store(out + i, _mm_xor_si128(Load(in + i), ks));
    } else {
      unsigned char k[16];
      Store(k, ks);
      for (size_t b = 0; b < len - i; ++b) out[i + b] = in[i + b] ^ k[b];
      Wipe(k, sizeof k);
    }
  }
  StoreBe64(counter, ctr.hi);
  StoreBe64(counter + 8, ctr.lo);
}

// CCM's middle: the CBC-MAC chain over the plaintext and the counter mode
// in one pass, one MAC block and one counter block through the same round
// sequence. The chain's latency bounds the pass and the counter block runs
// in its shadow. As in CbcEncryptT the next plaintext block and round key 0
// are folded into the chain's last round key. Decryption needs P_i before
// the MAC can take it, so its counter blocks run one ahead of the chain.
template <int Rounds>
NXVT_AESNI_TARGET inline void Rounds2(__m128i& x, __m128i& c, const RoundKeys<Rounds>& rk) {
#pragma GCC unroll 16
  for (int r = 1; r < Rounds; ++r) {
    const __m128i k = rk[r];
    x = _mm_aesenc_si128(x, k);
    c = _mm_aesenc_si128(c, k);
  }
}

template <int Rounds>
NXVT_AESNI_TARGET void CcmT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                            unsigned char* counter, unsigned char* mac, const unsigned char* head, size_t headCount,
                            bool decrypt) {
  const RoundKeys<Rounds> rk(schedule);
  Counter ctr{LoadBe64(counter), LoadBe64(counter + 8), true};
  const __m128i k0 = rk[0], kLast = rk[Rounds];
  const __m128i kFold = _mm_xor_si128(kLast, k0);
  const size_t whole = len / 16, rest = len % 16;
  __m128i y = Load(mac);
  for (size_t i = 0; i < headCount; ++i) y = Enc1(_mm_xor_si128(y, Load(head + 16 * i)), rk);
  if (whole > 0 && !decrypt) {
    __m128i p = Load(in);
    __m128i x = _mm_xor_si128(y, _mm_xor_si128(p, k0));
    for (size_t i = 0;; ++i) {
      __m128i c = _mm_xor_si128(ctr.Block(), k0);
      ctr.Next();
      Rounds2(x, c, rk);
      c = _mm_aesenclast_si128(c, kLast);
      if (i + 1 == whole) {
        Store(out + 16 * i, _mm_xor_si128(c, p));
        y = _mm_aesenclast_si128(x, kLast);
        break;
      }
      // Read before the store: out may be in.
      const __m128i next = Load(in + 16 * (i + 1));
      Store(out + 16 * i, _mm_xor_si128(c, p));
      x = _mm_aesenclast_si128(x, _mm_xor_si128(kFold, next));
      p = next;
    }
  } else if (whole > 0) {
    __m128i p = _mm_xor_si128(Load(in), Enc1(ctr.Block(), rk));
    ctr.Next();
    Store(out, p);
    __m128i x = _mm_xor_si128(y, _mm_xor_si128(p, k0));
    for (size_t i = 1; i < whole; ++i) {
      __m128i c = _mm_xor_si128(ctr.Block(), k0);
      ctr.Next();
      Rounds2(x, c, rk);
      p = _mm_xor_si128(Load(in + 16 * i), _mm_aesenclast_si128(c, kLast));
      Store(out + 16 * i, p);
      x = _mm_aesenclast_si128(x, _mm_xor_si128(kFold, p));
    }
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
    y = _mm_aesenclast_si128(x, kLast);
  }
  if (rest > 0) {
    // The partial last block goes through a zero-filled copy: the MAC takes
    // the plaintext zero-padded, the output only its `rest` bytes.
    unsigned char buf[16] = {0};
    memcpy(buf, in + 16 * whole, rest);
    const __m128i ks = Enc1(ctr.Block(), rk);
    ctr.Next();
    __m128i p = Load(buf);
    Store(buf, _mm_xor_si128(p, ks));
    memcpy(out + 16 * whole, buf, rest);
    if (decrypt) {
      memset(buf + rest, 0, 16 - rest);
      p = Load(buf);
    }
    y = Enc1(_mm_xor_si128(y, p), rk);
    Wipe(buf, sizeof buf);
  }
  Store(mac, y);
  StoreBe64(counter, ctr.hi);
  StoreBe64(counter + 8, ctr.lo);
}

}  // namespace

void NXVT_AesNi_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? EncryptBlocksT<14>(blocks, count, schedule) : EncryptBlocksT<10>(blocks, count, schedule);
}

void NXVT_AesNi_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? DecryptBlocksT<14>(blocks, count, schedule) : DecryptBlocksT<10>(blocks, count, schedule);
}

void NXVT_AesNi_CbcEncrypt(unsigned char* out, const unsigned char* in, size_t count, const unsigned char* schedule,
                           int rounds, unsigned char* iv) {
  rounds == 14 ? CbcEncryptT<14>(out, in, count, schedule, iv) : CbcEncryptT<10>(out, in, count, schedule, iv);
}

void NXVT_AesNi_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv) {
  rounds == 14 ? CbcDecryptT<14>(data, count, schedule, iv) : CbcDecryptT<10>(data, count, schedule, iv);
}

void NXVT_AesNi_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, int counterBytes) {
  rounds == 14 ? CtrT<14>(out, in, len, schedule, counter, counterBytes)
               : CtrT<10>(out, in, len, schedule, counter, counterBytes);
}

void NXVT_AesNi_Ccm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, unsigned char* mac, const unsigned char* head,
                    size_t headCount, bool decrypt) {
  rounds == 14 ? CcmT<14>(out, in, len, schedule, counter, mac, head, headCount, decrypt)
               : CcmT<10>(out, in, len, schedule, counter, mac, head, headCount, decrypt);
}

namespace {

// One step of the key expansion: each word of `prev` is added to all words
// before it, then `assist` (one word of AESKEYGENASSIST's result, broadcast
// by the shuffle) to all four.
template <int Pick>
NXVT_AESNI_TARGET inline __m128i ExpandStep(__m128i prev, __m128i assist) {
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 4));
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 8));
  return _mm_xor_si128(prev, _mm_shuffle_epi32(assist, Pick));
}

// The round keys of AES-128: w[4i..4i+3] from the four before, with
// RotWord, SubWord and the round constant from AESKEYGENASSIST.
NXVT_AESNI_TARGET void Expand128(__m128i* k) {
#define NXVT_AES128_STEP(i, rcon) k[i] = ExpandStep<0xFF>(k[i - 1], _mm_aeskeygenassist_si128(k[i - 1], rcon))
  NXVT_AES128_STEP(1, 0x01);
  NXVT_AES128_STEP(2, 0x02);
  NXVT_AES128_STEP(3, 0x04);
  NXVT_AES128_STEP(4, 0x08);
  NXVT_AES128_STEP(5, 0x10);
  NXVT_AES128_STEP(6, 0x20);
  NXVT_AES128_STEP(7, 0x40);
  NXVT_AES128_STEP(8, 0x80);
  NXVT_AES128_STEP(9, 0x1b);
  NXVT_AES128_STEP(10, 0x36);
#undef NXVT_AES128_STEP
}

// AES-256: even round keys take RotWord, SubWord and the round constant of
// the odd key before them; odd ones SubWord alone of the even key before.
NXVT_AESNI_TARGET void Expand256(__m128i* k) {
#define NXVT_AES256_STEP(i, rcon)                                                  \
  k[i] = ExpandStep<0xFF>(k[i - 2], _mm_aeskeygenassist_si128(k[i - 1], rcon)); \
  if (i < 14) k[i + 1] = ExpandStep<0xAA>(k[i - 1], _mm_aeskeygenassist_si128(k[i], 0))
  NXVT_AES256_STEP(2, 0x01);
  NXVT_AES256_STEP(4, 0x02);
  NXVT_AES256_STEP(6, 0x04);
  NXVT_AES256_STEP(8, 0x08);
  NXVT_AES256_STEP(10, 0x10);
  NXVT_AES256_STEP(12, 0x20);
  NXVT_AES256_STEP(14, 0x40);
#undef NXVT_AES256_STEP
}

}  // namespace

NXVT_AESNI_TARGET void NXVT_AesNi_ExpandKey(unsigned char* schedule, const unsigned char* key, int rounds) {
  __m128i k[15];
  k[0] = Load(key);
  if (rounds == 14) {
    k[1] = Load(key + 16);
    Expand256(k);
  } else {
    Expand128(k);
  }
  unsigned char* dk = schedule + 16 * (rounds + 1);
  for (int i = 0; i <= rounds; ++i) Store(schedule + 16 * i, k[i]);
  Store(dk, k[0]);
  for (int i = 1; i < rounds; ++i) Store(dk + 16 * i, _mm_aesimc_si128(k[i]));
  Store(dk + 16 * rounds, k[rounds]);
  Wipe(k, sizeof k);
}
