// GHASH on 512-bit vectors (VPCLMULQDQ with AVX-512), four blocks to a
// vector: the layout of the key powers, the products and the reduction.
// Shared by the GHASH code and the stitched GCM of crypto/aes/aes_vaes.cpp;
// callers check NXVT_CpuFeatures().vaes512 first.
//
// A block is byte-reversed into its 128-bit lane, so bit 127 of the lane is
// the coefficient of x^0 and bit 0 that of x^127 (GCM's bit order, as one
// reflected integer). The carry-less product of two such lanes, read as 256
// bits with bit n the coefficient of x^(255-n), is x * a * b. The keys are
// therefore kept as h^i * x^-1, and the 256-bit sums reduce to 128 bits with
// two folds of 64 bits each by the constant 0xC2 << 56 (x^-1 gives the
// same constant). Nothing here branches on or indexes by data or key.
#ifndef TOLVARIS_CRYPTO_AES_GHASH_VECTOR_H
#define TOLVARIS_CRYPTO_AES_GHASH_VECTOR_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#define NXVT_VEC512_TARGET __attribute__((target("avx512f,avx512bw,avx512vl,vaes,vpclmulqdq,bmi2")))
// For the helpers: vectors passed through memory would cost more than the work.
#define NXVT_VEC512_INLINE NXVT_VEC512_TARGET inline __attribute__((always_inline))

namespace ghv {

// Slot s of the key (16 bytes at key + 16 s) holds h^(16-s) * x^-1, so the
// four vectors from slot 0 multiply blocks 0..15 of a run of sixteen.
inline constexpr int kPowers = 16;

using V = __m512i;

// GCC 12 builds the plain forms of these from an "undefined" vector that its
// own warnings flag; the forms with an all-ones mask start from zero and
// give the same instruction.
NXVT_VEC512_INLINE V Broadcast(__m128i v) { return _mm512_maskz_broadcast_i32x4(0xFFFF, v); }
NXVT_VEC512_INLINE V SwapHalves(V v) { return _mm512_maskz_shuffle_epi32(0xFFFF, v, _MM_PERM_BADC); }
NXVT_VEC512_INLINE __m128i Lane0(V v) { return _mm512_maskz_extracti32x4_epi32(0xF, v, 0); }

// Byte reversal inside each lane.
NXVT_VEC512_INLINE V Reflect(V v) {
  const V rev = Broadcast(_mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
  return _mm512_shuffle_epi8(v, rev);
}

NXVT_VEC512_INLINE __m128i Reflect(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

NXVT_VEC512_INLINE V Xor3(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, 0x96); }

// The unreduced sum of lane products, in three parts: lo for bits 0..127,
// mid for 64..191, hi for 128..255.
struct Product {
  V lo, mid, hi;
};

NXVT_VEC512_INLINE Product Mul(V a, V b) {
  return {_mm512_clmulepi64_epi128(a, b, 0x00),
          _mm512_xor_si512(_mm512_clmulepi64_epi128(a, b, 0x01), _mm512_clmulepi64_epi128(a, b, 0x10)),
          _mm512_clmulepi64_epi128(a, b, 0x11)};
}

NXVT_VEC512_INLINE void MulAdd(Product& p, V a, V b) {
  p.lo = _mm512_xor_si512(p.lo, _mm512_clmulepi64_epi128(a, b, 0x00));
  p.mid = Xor3(p.mid, _mm512_clmulepi64_epi128(a, b, 0x01), _mm512_clmulepi64_epi128(a, b, 0x10));
  p.hi = _mm512_xor_si512(p.hi, _mm512_clmulepi64_epi128(a, b, 0x11));
}

// Reduces each lane: the lowest 64 bits w times the constant, together with
// w itself 128 bits up, cancel w; twice, so the top 128 bits remain.
NXVT_VEC512_INLINE V ReduceLanes(const Product& p) {
  const V poly = Broadcast(_mm_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1));
  const V mid = Xor3(p.mid, _mm512_clmulepi64_epi128(p.lo, poly, 0x10), SwapHalves(p.lo));
  return Xor3(p.hi, _mm512_clmulepi64_epi128(mid, poly, 0x10), SwapHalves(mid));
}

// The sum of the four lanes.
NXVT_VEC512_INLINE __m128i SumLanes(V v) {
  const __m256i h =
      _mm256_xor_si256(_mm512_maskz_extracti64x4_epi64(0xF, v, 0), _mm512_maskz_extracti64x4_epi64(0xF, v, 1));
  return _mm_xor_si128(_mm256_castsi256_si128(h), _mm256_extracti128_si256(h, 1));
}

// Y = (Y ^ X0) h^16 ^ X1 h^15 ^ ... ^ X15 h for sixteen reflected blocks in
// x[0..3], with the key powers of slot 0 in k[0..3]; y is reflected too.
NXVT_VEC512_INLINE __m128i Absorb16(__m128i y, const V* x, const V* k) {
  Product p = Mul(_mm512_xor_si512(x[0], _mm512_zextsi128_si512(y)), k[0]);
  MulAdd(p, x[1], k[1]);
  MulAdd(p, x[2], k[2]);
  MulAdd(p, x[3], k[3]);
  return SumLanes(ReduceLanes(p));
}

// Lanes of vector j that hold one of n blocks, as a mask of 64-bit elements.
NXVT_VEC512_INLINE __mmask8 LaneMask(size_t n, int j) {
  const size_t from = 4 * static_cast<size_t>(j);
  const size_t lanes = n <= from ? 0 : (n - from < 4 ? n - from : 4);
  return static_cast<__mmask8>(_bzhi_u32(0xFFu, static_cast<unsigned>(2 * lanes)));
}

// The same for n = 1..16 blocks (zero past the n-th): block i is multiplied
// by h^(n-i), read from slot 16 - n + i; key lanes past the n-th are not read.
NXVT_VEC512_INLINE __m128i AbsorbShort(__m128i y, const V* x, const unsigned char* key, size_t n) {
  const unsigned char* from = key + 16 * (kPowers - n);
  Product p = Mul(_mm512_xor_si512(x[0], _mm512_zextsi128_si512(y)), _mm512_maskz_loadu_epi64(LaneMask(n, 0), from));
#pragma GCC unroll 4
  for (int j = 1; j < 4; ++j) MulAdd(p, x[j], _mm512_maskz_loadu_epi64(LaneMask(n, j), from + 64 * j));
  return SumLanes(ReduceLanes(p));
}

NXVT_VEC512_INLINE void LoadKeys(V* k, const unsigned char* key) {
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) k[j] = _mm512_load_si512(key + 64 * j);
}

}  // namespace ghv

#endif
