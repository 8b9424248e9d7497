// AES with VAES on 256-bit vectors of two blocks, for the processors that
// have VAES and VPCLMULQDQ without AVX-512. A round takes four cycles there
// and two rounds start per cycle, so eight vectors (sixteen blocks) pass
// each round key together; with the round key that is nine of the sixteen
// registers, and GCM's hash of a run of sixteen blocks (eight products and
// one reduction) fits beside them. GCM hashes the ciphertext of one run
// during the rounds of the next one when encrypting, of the same one when
// decrypting. The end of a message goes through the same eight vectors:
// whole vectors, a vector's first block alone, then a partial block through
// a zero-filled stack buffer, chosen by the length. Loop counts and branches
// follow the lengths only; nothing branches on or indexes by key, counter or
// data. Only VEX-encoded AVX2, VAES and VPCLMULQDQ instructions: no mask
// registers, no three-input logic. No library call is made while secrets are
// in vector registers, so the compiler has no reason to spill them.
#include "crypto/aes/aes_vaes256.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "crypto/aes/ghash_vector256.h"
#include "platform/memory.h"

#define NXVT_VAES256_TARGET __attribute__((target("avx2,vaes,vpclmulqdq,aes,pclmul")))
#define NXVT_VAES256_INLINE NXVT_VAES256_TARGET inline __attribute__((always_inline))

namespace {

using ghv256::Load;
using ghv256::Load128;
using ghv256::Store128;
using ghv256::Y;

// Vectors in flight: four cycles of latency times two rounds a cycle.
constexpr int kVecs = 8;
// Bytes and blocks of one run of kVecs vectors.
constexpr size_t kRunBytes = 32 * kVecs;
constexpr size_t kRunBlocks = 2 * kVecs;
static_assert(kRunBlocks == ghv256::kPowers, "one GCM run is one reduction of the hash");

NXVT_VAES256_INLINE void Store(unsigned char* p, Y v) { _mm256_storeu_si256(reinterpret_cast<Y*>(p), v); }
NXVT_VAES256_INLINE __m128i Lo(Y v) { return _mm256_castsi256_si128(v); }
NXVT_VAES256_INLINE __m128i Hi(Y v) { return _mm256_extracti128_si256(v, 1); }

// Round key i in both lanes, read from the schedule where it is used, so no
// copy of the keys is made on the stack.
NXVT_VAES256_INLINE Y Key(const unsigned char* keys, int i) {
  return _mm256_broadcastsi128_si256(Load128(keys + 16 * i));
}

template <int N>
NXVT_VAES256_INLINE void Round(Y* b, const unsigned char* rk, int r) {
  const Y k = Key(rk, r);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm256_aesenc_epi128(b[j], k);
}

template <int N>
NXVT_VAES256_INLINE void AddKey(Y* b, const unsigned char* rk, int r) {
  const Y k = Key(rk, r);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm256_xor_si256(b[j], k);
}

template <int N>
NXVT_VAES256_INLINE void LastRound(Y* b, const unsigned char* rk, int r) {
  const Y k = Key(rk, r);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm256_aesenclast_epi128(b[j], k);
}

template <int R, int N>
NXVT_VAES256_INLINE void Encrypt(Y* b, const unsigned char* rk) {
  AddKey<N>(b, rk, 0);
#pragma GCC unroll 16
  for (int r = 1; r < R; ++r) Round<N>(b, rk, r);
  LastRound<N>(b, rk, R);
}

// The inverse-cipher keys are stored dk[0] first and used from dk[Nr] down.
template <int R, int N>
NXVT_VAES256_INLINE void Decrypt(Y* b, const unsigned char* dk) {
  AddKey<N>(b, dk, R);
#pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) {
    const Y k = Key(dk, r);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = _mm256_aesdec_epi128(b[j], k);
  }
  const Y kl = Key(dk, 0);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm256_aesdeclast_epi128(b[j], kl);
}

// Encrypts the eight vectors b and, between their rounds, absorbs the
// sixteen blocks at x into the hash (y, reflected, with the key powers at
// hk); returns the new hash value. R is at least 10, so the eight products
// fill rounds 1 to 8 and the reduction round 9.
template <int R>
NXVT_VAES256_INLINE __m128i EncryptAndAbsorb(Y* b, const unsigned char* rk, __m128i y, const unsigned char* x,
                                             const unsigned char* hk) {
  constexpr int N = kVecs;
  AddKey<N>(b, rk, 0);
  Round<N>(b, rk, 1);
  ghv256::Product p = ghv256::Mul(_mm256_xor_si256(ghv256::Blocks(x), _mm256_zextsi128_si256(y)), Load(hk));
#pragma GCC unroll 8
  for (int j = 1; j < N; ++j) {
    Round<N>(b, rk, j + 1);
    ghv256::MulAdd(p, ghv256::Blocks(x + 32 * j), Load(hk + 32 * j));
  }
  Round<N>(b, rk, N + 1);
  const Y reduced = ghv256::ReduceLanes(p);
#pragma GCC unroll 16
  for (int r = N + 2; r < R; ++r) Round<N>(b, rk, r);
  LastRound<N>(b, rk, R);
  return ghv256::SumLanes(reduced);
}

// Holds the N vectors in registers at this point: the empty statement has
// to stay where it is and take every vector, so all rounds are done before
// the stores that follow, which the length picks. Without it the compiler
// moved each vector's rounds behind its own store's branch, kept all the
// round keys in registers for that and spilled the blocks to the stack.
template <int N>
NXVT_VAES256_INLINE void Settle(Y* b) {
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) __asm__ volatile("" : "+x"(b[j]));
}

// out = keystream XOR in, one vector.
NXVT_VAES256_INLINE void XorStore(unsigned char* out, Y keystream, const unsigned char* in) {
  Store(out, _mm256_xor_si256(keystream, Load(in)));
}

// Copies n < 16 bytes in pieces of 8, 4, 2 and 1 picked by the bits of n:
// fixed-size moves, not a call of memcpy, so nothing held in the vector
// registers is spilled around it.
NXVT_VAES256_INLINE void CopyShort(unsigned char* dst, const unsigned char* src, size_t n) {
  size_t o = 0;
  if ((n & 8) != 0) {
    memcpy(dst + o, src + o, 8);
    o += 8;
  }
  if ((n & 4) != 0) {
    memcpy(dst + o, src + o, 4);
    o += 4;
  }
  if ((n & 2) != 0) {
    memcpy(dst + o, src + o, 2);
    o += 2;
  }
  if ((n & 1) != 0) dst[o] = src[o];
}

// The 64-bit elements of vector j that hold one of the first `count` blocks,
// as a VPMASKMOV mask (the top bit of each element).
NXVT_VAES256_INLINE Y LaneMask(size_t count, int j) {
  const long long q = 4 * static_cast<long long>(j);
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(2 * count)),
                            _mm256_set_epi64x(q + 3, q + 2, q + 1, q));
}

// Blocks 0..count-1 (count < 2N) into the N vectors, zero past the last.
// Masked loads rather than a branch per vector: with branches the compiler
// took each length apart and spilled the blocks around the rounds.
template <int N>
NXVT_VAES256_INLINE void LoadBlocks(Y* b, const unsigned char* p, size_t count) {
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) {
    b[j] = _mm256_maskload_epi64(reinterpret_cast<const long long*>(p + 32 * j), LaneMask(count, j));
  }
}

template <int N>
NXVT_VAES256_INLINE void StoreBlocks(unsigned char* p, const Y* b, size_t count) {
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) {
    const size_t from = 2 * static_cast<size_t>(j);
    if (count >= from + 2) {
      Store(p + 32 * j, b[j]);
    } else if (count > from) {
      Store128(p + 32 * j, Lo(b[j]));
    }
  }
}

// out = in ^ keystream over len < 32 N bytes: whole vectors, then a
// vector's first block alone, then the partial block through buf (16
// bytes), which holds that block's output zero-padded afterwards.
template <int N>
NXVT_VAES256_INLINE void XorTail(unsigned char* out, const unsigned char* in, size_t len, const Y* b,
                                 unsigned char* buf) {
  __m128i ks = _mm_setzero_si128();
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) {
    const size_t from = 32 * static_cast<size_t>(j);
    if (len >= from + 32) {
      XorStore(out + from, b[j], in + from);
    } else if (len >= from + 16) {
      Store128(out + from, _mm_xor_si128(Lo(b[j]), Load128(in + from)));
      ks = Hi(b[j]);
    } else if (len > from) {
      ks = Lo(b[j]);
    }
  }
  const size_t rest = len % 16;
  if (rest == 0) return;
  const size_t at = len - rest;
  CopyShort(buf, in + at, rest);
  // Bytes past the end: the keystream would stand there; zero, for the hash.
  const __m128i keep = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(rest)),
                                      _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
  Store128(buf, _mm_and_si128(keep, _mm_xor_si128(ks, Load128(buf))));
  CopyShort(out + at, buf, rest);
}

template <int R, bool Enc>
NXVT_VAES256_TARGET void BlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  constexpr int N = kVecs;
  const unsigned char* keys = Enc ? schedule : schedule + 16 * (R + 1);
  Y b[N];
  for (; count >= kRunBlocks; count -= kRunBlocks, blocks += 16 * kRunBlocks) {
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = Load(blocks + 32 * j);
    Enc ? Encrypt<R, N>(b, keys) : Decrypt<R, N>(b, keys);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) Store(blocks + 32 * j, b[j]);
  }
  if (count == 0) return;
  LoadBlocks<N>(b, blocks, count);
  Enc ? Encrypt<R, N>(b, keys) : Decrypt<R, N>(b, keys);
  Settle<N>(b);
  StoreBlocks<N>(blocks, b, count);
}

// Each plaintext block is its decryption XOR the ciphertext block before
// it. Those pairs are read again from memory (two registers per vector would
// not fit) one block below each vector, so the vectors are written last to
// first: a vector's store never covers a ciphertext block a lower vector
// still reads. The first vector takes the chaining block from `prev`.
template <int N>
NXVT_VAES256_INLINE void ChainStore(unsigned char* data, const Y* b, __m128i prev, size_t count) {
#pragma GCC unroll 8
  for (int j = N - 1; j >= 0; --j) {
    const size_t from = 2 * static_cast<size_t>(j);
    if (count <= from) continue;
    const Y before = j == 0 ? _mm256_set_m128i(Load128(data), prev) : Load(data + 32 * j - 16);
    const Y plain = _mm256_xor_si256(b[j], before);
    if (count >= from + 2) {
      Store(data + 32 * j, plain);
    } else {
      Store128(data + 32 * j, Lo(plain));
    }
  }
}

template <int R>
NXVT_VAES256_TARGET void CbcDecryptT(unsigned char* data, size_t count, const unsigned char* schedule,
                                     unsigned char* iv) {
  if (count == 0) return;
  constexpr int N = kVecs;
  const unsigned char* dk = schedule + 16 * (R + 1);
  __m128i prev = Load128(iv);
  Y b[N];
  for (; count >= kRunBlocks; count -= kRunBlocks, data += 16 * kRunBlocks) {
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = Load(data + 32 * j);
    const __m128i last = Load128(data + 16 * (kRunBlocks - 1));
    Decrypt<R, N>(b, dk);
    ChainStore<N>(data, b, prev, kRunBlocks);
    prev = last;
  }
  if (count > 0) {
    LoadBlocks<N>(b, data, count);
    const __m128i last = Load128(data + 16 * (count - 1));
    Decrypt<R, N>(b, dk);
    Settle<N>(b);
    ChainStore<N>(data, b, prev, count);
    prev = last;
  }
  Store128(iv, prev);
}

// Counter blocks, reflected into lanes so that the counter's last byte is
// the low end of the lane: an add to the lane is an add to the counter.
// GCM's inc32 adds to the low 32 bits only, wrapping there; the 128-bit
// counter takes the carry out of the low 64 bits into the high 64 with a
// mask, not a branch (GCM's first counter may come from the key). AVX2
// compares 64-bit lanes as signed numbers only: with the sign bits flipped
// the signed order is the unsigned one.
template <bool Inc32>
NXVT_VAES256_INLINE Y AddToLanes(Y c, Y step) {
  if (Inc32) return _mm256_add_epi32(c, step);
  const Y sum = _mm256_add_epi64(c, step);
  const Y sign = _mm256_set1_epi64x(static_cast<long long>(0x8000000000000000ull));
  const Y carry = _mm256_cmpgt_epi64(_mm256_xor_si256(step, sign), _mm256_xor_si256(sum, sign));
  // The all-ones of a carry, moved to the high half of its lane, adds one there.
  return _mm256_sub_epi64(sum, _mm256_slli_si256(carry, 8));
}

NXVT_VAES256_INLINE Y Steps(long long n) { return _mm256_set_epi64x(0, n, 0, n); }

template <bool Inc32>
struct Counters {
  Y next;  // the counters of the next run's first vector, reflected

  NXVT_VAES256_INLINE explicit Counters(const unsigned char* counter) {
    const Y first = _mm256_broadcastsi128_si256(ghv256::Reflect(Load128(counter)));
    next = AddToLanes<Inc32>(first, _mm256_set_epi64x(0, 1, 0, 0));
  }

  // The counter blocks of the next N vectors, in AES input order.
  template <int N>
  NXVT_VAES256_INLINE void Take(Y* b) {
    b[0] = ghv256::Reflect(next);
#pragma GCC unroll 8
    for (int j = 1; j < N; ++j) b[j] = ghv256::Reflect(AddToLanes<Inc32>(next, Steps(2 * j)));
    next = AddToLanes<Inc32>(next, Steps(2 * N));
  }
};

// The counter as it stands after `blocks` blocks, with the same carry rule;
// in the vector code, so the function ends there with its VZEROUPPER. Whole
// words and byte swaps: stored byte by byte, the compiler gathered the
// bytes through the stack.
template <bool Inc32>
NXVT_VAES256_INLINE void Advance(unsigned char* counter, size_t blocks) {
  if (Inc32) {
    uint32_t w;
    memcpy(&w, counter + 12, 4);
    w = __builtin_bswap32(__builtin_bswap32(w) + static_cast<uint32_t>(blocks));
    memcpy(counter + 12, &w, 4);
    return;
  }
  uint64_t hi, lo;
  memcpy(&hi, counter, 8);
  memcpy(&lo, counter + 8, 8);
  const unsigned __int128 v =
      ((static_cast<unsigned __int128>(__builtin_bswap64(hi)) << 64) | __builtin_bswap64(lo)) + blocks;
  hi = __builtin_bswap64(static_cast<uint64_t>(v >> 64));
  lo = __builtin_bswap64(static_cast<uint64_t>(v));
  memcpy(counter, &hi, 8);
  memcpy(counter + 8, &lo, 8);
}

template <int R, bool Inc32>
NXVT_VAES256_TARGET void CtrT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* rk,
                              unsigned char* counter) {
  constexpr int N = kVecs;
  const size_t blocks = (len + 15) / 16;
  Counters<Inc32> ctr(counter);
  Y b[N];
  for (; len >= kRunBytes; len -= kRunBytes, in += kRunBytes, out += kRunBytes) {
    ctr.template Take<N>(b);
    Encrypt<R, N>(b, rk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) XorStore(out + 32 * j, b[j], in + 32 * j);
  }
  unsigned char buf[16] = {0};
  if (len > 0) {
    ctr.template Take<N>(b);
    Encrypt<R, N>(b, rk);
    Settle<N>(b);
    XorTail<N>(out, in, len, b, buf);
  }
  Advance<Inc32>(counter, blocks);
  Wipe(buf, sizeof buf);
}

// The ciphertext just written, to be read back from memory: the compiler,
// seeing the stores, would otherwise keep the last run's sixteen blocks in
// registers (and so on the stack) instead of loading them again.
inline const unsigned char* Written(const unsigned char* p) {
  __asm__("" : "+r"(p));
  return p;
}

template <int R>
NXVT_VAES256_TARGET void GcmT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* rk,
                              unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  constexpr int N = kVecs;
  const size_t blocks = (len + 15) / 16;
  const unsigned char* hk = g->key;
  __m128i y = ghv256::Reflect(Load128(g->y));
  Counters<true> ctr(counter);
  Y b[N];
  if (decrypt) {
    // The ciphertext is at hand: each run is hashed while it is decrypted.
    for (; len >= kRunBytes; len -= kRunBytes, in += kRunBytes, out += kRunBytes) {
      ctr.Take<N>(b);
      y = EncryptAndAbsorb<R>(b, rk, y, in, hk);
#pragma GCC unroll 8
      for (int j = 0; j < N; ++j) XorStore(out + 32 * j, b[j], in + 32 * j);
    }
  } else if (len >= kRunBytes) {
    // Each run's ciphertext is hashed during the rounds of the next one,
    // read back from where it was written.
    ctr.Take<N>(b);
    Encrypt<R, N>(b, rk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) XorStore(out + 32 * j, b[j], in + 32 * j);
    for (len -= kRunBytes, in += kRunBytes, out += kRunBytes; len >= kRunBytes;
         len -= kRunBytes, in += kRunBytes, out += kRunBytes) {
      ctr.Take<N>(b);
      y = EncryptAndAbsorb<R>(b, rk, y, Written(out - kRunBytes), hk);
#pragma GCC unroll 8
      for (int j = 0; j < N; ++j) XorStore(out + 32 * j, b[j], in + 32 * j);
    }
    y = ghv256::Absorb16(y, Written(out - kRunBytes), hk);
  }
  unsigned char buf[16] = {0};
  if (len > 0) {
    const size_t whole = len / 16;
    const unsigned char* last = len % 16 != 0 ? buf : nullptr;
    ctr.Take<N>(b);
    Encrypt<R, N>(b, rk);
    Settle<N>(b);
    if (decrypt) {
      // Hashed before the output is written: out may be in.
      CopyShort(buf, in + 16 * whole, len % 16);
      y = ghv256::AbsorbTail(y, in, whole, last, hk);
    }
    // The partial block's ciphertext, zero-padded, is left in buf.
    XorTail<N>(out, in, len, b, buf);
    if (!decrypt) y = ghv256::AbsorbTail(y, out, whole, last, hk);
  }
  Store128(g->y, ghv256::Reflect(y));
  Advance<true>(counter, blocks);
  Wipe(buf, sizeof buf);
}

}  // namespace

void NXVT_AesVaes256_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? BlocksT<14, true>(blocks, count, schedule) : BlocksT<10, true>(blocks, count, schedule);
}

void NXVT_AesVaes256_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? BlocksT<14, false>(blocks, count, schedule) : BlocksT<10, false>(blocks, count, schedule);
}

void NXVT_AesVaes256_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                                unsigned char* iv) {
  rounds == 14 ? CbcDecryptT<14>(data, count, schedule, iv) : CbcDecryptT<10>(data, count, schedule, iv);
}

void NXVT_AesVaes256_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                         int rounds, unsigned char* counter, int counterBytes) {
  if (counterBytes == 4) {
    rounds == 14 ? CtrT<14, true>(out, in, len, schedule, counter) : CtrT<10, true>(out, in, len, schedule, counter);
  } else {
    rounds == 14 ? CtrT<14, false>(out, in, len, schedule, counter)
                 : CtrT<10, false>(out, in, len, schedule, counter);
  }
}

void NXVT_AesVaes256_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                         int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  rounds == 14 ? GcmT<14>(out, in, len, schedule, counter, g, decrypt)
               : GcmT<10>(out, in, len, schedule, counter, g, decrypt);
}
