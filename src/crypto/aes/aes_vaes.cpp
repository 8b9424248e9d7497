// AES with VAES on 512-bit vectors of four blocks: eight vectors (32 blocks)
// pass each round key together, four in GCM; a partial last run goes through
// the same rounds with masked loads and stores. GCM hashes the ciphertext of
// one run with VPCLMULQDQ while the next run is in the AES rounds, so both
// units are busy. Loop counts and masks follow the lengths only; nothing
// branches on or indexes by key, counter or data.
#include "crypto/aes/aes_vaes.h"

#include <immintrin.h>

#include <cstdint>

#include "crypto/aes/ghash_vector.h"
#include "crypto/digest_util.h"

namespace {

using ghv::V;

// Vectors in flight: AES alone keeps eight (32 blocks) so the rounds of
// different vectors hide each other's latency; GCM keeps four (16 blocks),
// as many as one reduction of its hash covers, and fills the gaps with the
// carry-less products.
constexpr int kAesVecs = 8;
constexpr int kGcmVecs = 4;

// Round key i in every lane, read from the schedule where it is used, so no
// copy of the keys is made on the stack.
NXVT_VEC512_INLINE V Key(const unsigned char* keys, int i) {
  return ghv::Broadcast(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 16 * i)));
}

template <int N>
NXVT_VEC512_INLINE void Round(V* b, const unsigned char* rk, int r) {
  const V k = Key(rk, r);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_aesenc_epi128(b[j], k);
}

template <int R, int N>
NXVT_VEC512_INLINE void Encrypt(V* b, const unsigned char* rk) {
  const V k0 = Key(rk, 0);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_xor_si512(b[j], k0);
#pragma GCC unroll 16
  for (int r = 1; r < R; ++r) Round<N>(b, rk, r);
  const V kl = Key(rk, R);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_aesenclast_epi128(b[j], kl);
}

// The inverse-cipher keys are stored dk[0] first and used from dk[Nr] down.
template <int R, int N>
NXVT_VEC512_INLINE void Decrypt(V* b, const unsigned char* dk) {
  const V k0 = Key(dk, R);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_xor_si512(b[j], k0);
#pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) {
    const V k = Key(dk, r);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = _mm512_aesdec_epi128(b[j], k);
  }
  const V kl = Key(dk, 0);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_aesdeclast_epi128(b[j], kl);
}

// Encrypts the four vectors b and, between their rounds, absorbs the
// sixteen reflected blocks x into the hash; returns the new (reflected)
// hash value.
template <int R>
NXVT_VEC512_INLINE __m128i EncryptAndAbsorb(V* b, const unsigned char* rk, __m128i y, const V* x, const V* hk) {
  constexpr int N = kGcmVecs;
  const V k0 = Key(rk, 0);
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) b[j] = _mm512_xor_si512(b[j], k0);
  Round<N>(b, rk, 1);
  ghv::Product p = ghv::Mul(_mm512_xor_si512(x[0], _mm512_zextsi128_si512(y)), hk[0]);
  Round<N>(b, rk, 2);
  ghv::MulAdd(p, x[1], hk[1]);
  Round<N>(b, rk, 3);
  ghv::MulAdd(p, x[2], hk[2]);
  Round<N>(b, rk, 4);
  ghv::MulAdd(p, x[3], hk[3]);
  Round<N>(b, rk, 5);
  const V reduced = ghv::ReduceLanes(p);
#pragma GCC unroll 16
  for (int r = 6; r < R; ++r) Round<N>(b, rk, r);
  const V kl = Key(rk, R);
#pragma GCC unroll 4
  for (int j = 0; j < N; ++j) b[j] = _mm512_aesenclast_epi128(b[j], kl);
  return ghv::SumLanes(reduced);
}

// out = keystream XOR in, one vector.
NXVT_VEC512_INLINE void XorStore(unsigned char* out, V keystream, const unsigned char* in) {
  _mm512_storeu_si512(out, _mm512_xor_si512(keystream, _mm512_loadu_si512(in)));
}

// The bytes of vector j that hold one of the n bytes left, as a byte mask.
NXVT_VEC512_INLINE __mmask64 ByteMask(size_t n, int j) {
  const size_t from = 64 * static_cast<size_t>(j);
  const size_t bytes = n <= from ? 0 : (n - from < 64 ? n - from : 64);
  return _bzhi_u64(~0ull, static_cast<unsigned>(bytes));
}

template <int R, bool Enc>
NXVT_VEC512_TARGET void BlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  constexpr int N = kAesVecs;
  constexpr size_t run = 4 * N;
  const unsigned char* keys = Enc ? schedule : schedule + 16 * (R + 1);
  V b[N];
  for (; count >= run; count -= run, blocks += 16 * run) {
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = _mm512_loadu_si512(blocks + 64 * j);
    Enc ? Encrypt<R, N>(b, keys) : Decrypt<R, N>(b, keys);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) _mm512_storeu_si512(blocks + 64 * j, b[j]);
  }
  if (count == 0) return;
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) b[j] = _mm512_maskz_loadu_epi64(ghv::LaneMask(count, j), blocks + 64 * j);
  Enc ? Encrypt<R, N>(b, keys) : Decrypt<R, N>(b, keys);
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) _mm512_mask_storeu_epi64(blocks + 64 * j, ghv::LaneMask(count, j), b[j]);
}

// Each block's plaintext is its decryption XOR the ciphertext block before
// it: lane 3 of the vector before (for the first vector, of `prev`) and
// lanes 0..2 of its own, shifted up one lane.
template <int R>
NXVT_VEC512_TARGET void CbcDecryptT(unsigned char* data, size_t count, const unsigned char* schedule,
                                    unsigned char* iv) {
  if (count == 0) return;
  constexpr int N = kAesVecs;
  constexpr size_t run = 4 * N;
  const unsigned char* dk = schedule + 16 * (R + 1);
  const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * (count - 1)));
  V prev = ghv::Broadcast(_mm_loadu_si128(reinterpret_cast<const __m128i*>(iv)));
  V c[N], b[N];
  for (; count >= run; count -= run, data += 16 * run) {
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = c[j] = _mm512_loadu_si512(data + 64 * j);
    Decrypt<R, N>(b, dk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) {
      const V before = _mm512_maskz_alignr_epi64(0xFF, c[j], j == 0 ? prev : c[j - 1], 6);
      _mm512_storeu_si512(data + 64 * j, _mm512_xor_si512(b[j], before));
    }
    prev = c[N - 1];
  }
  if (count > 0) {
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) b[j] = c[j] = _mm512_maskz_loadu_epi64(ghv::LaneMask(count, j), data + 64 * j);
    Decrypt<R, N>(b, dk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) {
      const V before = _mm512_maskz_alignr_epi64(0xFF, c[j], j == 0 ? prev : c[j - 1], 6);
      _mm512_mask_storeu_epi64(data + 64 * j, ghv::LaneMask(count, j), _mm512_xor_si512(b[j], before));
    }
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(iv), last);
}

// Counter blocks, reflected into lanes so that the counter's last byte is
// the low end of the lane: an add to the lane is an add to the counter.
// GCM's inc32 adds to the low 32 bits only, wrapping there; the 128-bit
// counter takes the carry out of the low 64 bits into the high 64 with a
// mask, not a branch (GCM's first counter may come from the key).
template <bool Inc32>
NXVT_VEC512_INLINE V AddToLanes(V c, V step) {
  if (Inc32) return _mm512_add_epi32(c, step);
  const V sum = _mm512_add_epi64(c, step);
  const __mmask8 carry = _mm512_cmplt_epu64_mask(sum, step);
  return _mm512_mask_sub_epi64(sum, static_cast<__mmask8>(carry << 1), sum, _mm512_set1_epi64(-1));
}

template <bool Inc32>
struct Counters {
  V next;  // the counters of the next run's first vector, reflected

  NXVT_VEC512_INLINE explicit Counters(const unsigned char* counter) {
    const V first = ghv::Broadcast(ghv::Reflect(_mm_loadu_si128(reinterpret_cast<const __m128i*>(counter))));
    next = AddToLanes<Inc32>(first, _mm512_set_epi64(0, 3, 0, 2, 0, 1, 0, 0));
  }

  // The counter blocks of the next N vectors, in AES input order.
  template <int N>
  NXVT_VEC512_INLINE void Take(V* b) {
    b[0] = ghv::Reflect(next);
#pragma GCC unroll 8
    for (int j = 1; j < N; ++j) {
      const long long step = 4 * j;
      b[j] = ghv::Reflect(AddToLanes<Inc32>(next, _mm512_set_epi64(0, step, 0, step, 0, step, 0, step)));
    }
    const long long all = 4 * N;
    next = AddToLanes<Inc32>(next, _mm512_set_epi64(0, all, 0, all, 0, all, 0, all));
  }
};

// The counter as it stands after `blocks` blocks, with the same carry rule.
// Inline in the vector code: as a call of its own it was reached after the
// vector code's end without the VZEROUPPER, and every SSE instruction the
// caller ran afterwards paid for the dirty upper halves.
template <bool Inc32>
NXVT_VEC512_INLINE void Advance(unsigned char* counter, size_t blocks) {
  if (Inc32) {
    StoreBe32(counter + 12, LoadBe32(counter + 12) + static_cast<uint32_t>(blocks));
    return;
  }
  const unsigned __int128 start = (static_cast<unsigned __int128>(LoadBe64(counter)) << 64) | LoadBe64(counter + 8);
  const unsigned __int128 v = start + blocks;
  StoreBe64(counter, static_cast<uint64_t>(v >> 64));
  StoreBe64(counter + 8, static_cast<uint64_t>(v));
}

template <int R, bool Inc32>
NXVT_VEC512_TARGET void CtrT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* rk,
                             unsigned char* counter) {
  constexpr int N = kAesVecs;
  constexpr size_t run = 64 * N;
  const size_t blocks = (len + 15) / 16;
  Counters<Inc32> ctr(counter);
  V b[N];
  for (; len >= run; len -= run, in += run, out += run) {
    ctr.template Take<N>(b);
    Encrypt<R, N>(b, rk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) XorStore(out + 64 * j, b[j], in + 64 * j);
  }
  if (len > 0) {
    ctr.template Take<N>(b);
    Encrypt<R, N>(b, rk);
#pragma GCC unroll 8
    for (int j = 0; j < N; ++j) {
      const __mmask64 m = ByteMask(len, j);
      _mm512_mask_storeu_epi8(out + 64 * j, m, _mm512_xor_si512(b[j], _mm512_maskz_loadu_epi8(m, in + 64 * j)));
    }
  }
  Advance<Inc32>(counter, blocks);
}

template <int R>
NXVT_VEC512_TARGET void GcmT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* rk,
                             unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  constexpr int N = kGcmVecs;
  constexpr size_t run = 64 * N;
  const size_t blocks = (len + 15) / 16;
  V hk[4];
  ghv::LoadKeys(hk, g->key);
  __m128i y = ghv::Reflect(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g->y)));
  Counters<true> ctr(counter);
  // x is read only after a run has filled it; zeroed so that no build
  // (the thread-sanitizer one does) takes the first run's skip for a read.
  V b[N], x[N] = {};
  if (decrypt) {
    // The ciphertext is at hand: each run is hashed while it is decrypted.
    for (; len >= run; len -= run, in += run, out += run) {
#pragma GCC unroll 4
      for (int j = 0; j < N; ++j) x[j] = ghv::Reflect(_mm512_loadu_si512(in + 64 * j));
      ctr.Take<N>(b);
      y = EncryptAndAbsorb<R>(b, rk, y, x, hk);
#pragma GCC unroll 4
      for (int j = 0; j < N; ++j) XorStore(out + 64 * j, b[j], in + 64 * j);
    }
  } else if (len >= run) {
    // Each run's ciphertext is hashed during the rounds of the next one.
    for (bool first = true; len >= run; len -= run, in += run, out += run, first = false) {
      ctr.Take<N>(b);
      if (first) {
        Encrypt<R, N>(b, rk);
      } else {
        y = EncryptAndAbsorb<R>(b, rk, y, x, hk);
      }
#pragma GCC unroll 4
      for (int j = 0; j < N; ++j) {
        const V c = _mm512_xor_si512(b[j], _mm512_loadu_si512(in + 64 * j));
        _mm512_storeu_si512(out + 64 * j, c);
        x[j] = ghv::Reflect(c);
      }
    }
    y = ghv::Absorb16(y, x, hk);
  }
  if (len > 0) {
    ctr.Take<N>(b);
    Encrypt<R, N>(b, rk);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
      const __mmask64 m = ByteMask(len, j);
      const V d = _mm512_maskz_loadu_epi8(m, in + 64 * j);
      const V c = _mm512_xor_si512(b[j], d);
      _mm512_mask_storeu_epi8(out + 64 * j, m, c);
      // The hash takes the ciphertext zero-padded to whole blocks.
      x[j] = ghv::Reflect(decrypt ? d : _mm512_maskz_mov_epi8(m, c));
    }
    y = ghv::AbsorbShort(y, x, g->key, (len + 15) / 16);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(g->y), ghv::Reflect(y));
  Advance<true>(counter, blocks);
}

}  // namespace

void NXVT_AesVaes_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? BlocksT<14, true>(blocks, count, schedule) : BlocksT<10, true>(blocks, count, schedule);
}

void NXVT_AesVaes_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? BlocksT<14, false>(blocks, count, schedule) : BlocksT<10, false>(blocks, count, schedule);
}

void NXVT_AesVaes_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                             unsigned char* iv) {
  rounds == 14 ? CbcDecryptT<14>(data, count, schedule, iv) : CbcDecryptT<10>(data, count, schedule, iv);
}

void NXVT_AesVaes_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                      int rounds, unsigned char* counter, int counterBytes) {
  if (counterBytes == 4) {
    rounds == 14 ? CtrT<14, true>(out, in, len, schedule, counter) : CtrT<10, true>(out, in, len, schedule, counter);
  } else {
    rounds == 14 ? CtrT<14, false>(out, in, len, schedule, counter)
                 : CtrT<10, false>(out, in, len, schedule, counter);
  }
}

void NXVT_AesVaes_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                      int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  rounds == 14 ? GcmT<14>(out, in, len, schedule, counter, g, decrypt)
               : GcmT<10>(out, in, len, schedule, counter, g, decrypt);
}
