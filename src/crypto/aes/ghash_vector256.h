// GHASH on 256-bit vectors (VPCLMULQDQ with AVX2, no AVX-512), two blocks to
// a vector, for processors that have the vector carry-less product but not
// the 512-bit registers. The key is laid out as for the 512-bit code of
// crypto/aes/ghash_vector.h (slot s at key + 16 s holds h^(16-s) * x^-1,
// reflected; the bit order and the reduction are explained there), so
// sixteen blocks share one reduction here too. Shared by the GHASH code and
// the stitched GCM of crypto/aes/aes_vaes256.cpp; callers check
// NXVT_CpuFeatures().vpclmul first. Only VEX-encoded AVX2 instructions are
// used: no mask registers and no three-input logic, sixteen vector
// registers. Nothing here branches on or indexes by data or key; loop counts
// follow the number of blocks only.
#ifndef TOLVARIS_CRYPTO_AES_GHASH_VECTOR256_H
#define TOLVARIS_CRYPTO_AES_GHASH_VECTOR256_H

#include <immintrin.h>

#include <cstddef>

#include "crypto/aes/ghash.h"

#define NXVT_GHASH256_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul")))
// For the helpers: vectors passed through memory would cost more than the work.
#define NXVT_GHASH256_INLINE NXVT_GHASH256_TARGET inline __attribute__((always_inline))

// Key powers in the layout above from the hash subkey h (16 bytes).
void NXVT_GHashV256_Init(NXVT_GHASH* g, const unsigned char* h);
// Absorbs `blocks` whole blocks (at least one).
void NXVT_GHashV256_Blocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks);

namespace ghv256 {

// Sixteen key powers: the blocks of one reduction.
inline constexpr int kPowers = 16;
// Vectors of two blocks in one reduction.
inline constexpr int kVecs = kPowers / 2;

using Y = __m256i;

NXVT_GHASH256_INLINE Y Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const Y*>(p)); }
NXVT_GHASH256_INLINE __m128i Load128(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
NXVT_GHASH256_INLINE void Store128(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Byte reversal inside each lane.
NXVT_GHASH256_INLINE Y Reflect(Y v) {
  return _mm256_shuffle_epi8(v, _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13,
                                                 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
}

NXVT_GHASH256_INLINE __m128i Reflect(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
}

// Two blocks from memory, reflected.
NXVT_GHASH256_INLINE Y Blocks(const unsigned char* p) { return Reflect(Load(p)); }
// One block in lane 0, reflected, lane 1 zero.
NXVT_GHASH256_INLINE Y OneBlock(const unsigned char* p) { return _mm256_zextsi128_si256(Reflect(Load128(p))); }

// The unreduced sum of lane products, in three parts: lo for bits 0..127,
// mid for 64..191, hi for 128..255.
struct Product {
  Y lo, mid, hi;
};

NXVT_GHASH256_INLINE Product Mul(Y a, Y b) {
  return {_mm256_clmulepi64_epi128(a, b, 0x00),
          _mm256_xor_si256(_mm256_clmulepi64_epi128(a, b, 0x01), _mm256_clmulepi64_epi128(a, b, 0x10)),
          _mm256_clmulepi64_epi128(a, b, 0x11)};
}

// The sums are taken one product at a time, each through an empty statement
// the compiler cannot see into: left to itself it regrouped the sums of a
// run into a tree, which holds every product of the run at once and, beside
// the AES rounds of the stitched GCM, spilled products and round state.
NXVT_GHASH256_INLINE void Accumulate(Y& sum, Y v) {
  sum = _mm256_xor_si256(sum, v);
  __asm__("" : "+x"(sum));
}

NXVT_GHASH256_INLINE void MulAdd(Product& p, Y a, Y b) {
  Accumulate(p.lo, _mm256_clmulepi64_epi128(a, b, 0x00));
  Accumulate(p.mid, _mm256_clmulepi64_epi128(a, b, 0x01));
  Accumulate(p.mid, _mm256_clmulepi64_epi128(a, b, 0x10));
  Accumulate(p.hi, _mm256_clmulepi64_epi128(a, b, 0x11));
}

// Reduces each lane as ReduceLanes of ghash_vector.h: the lowest 64 bits w
// times the constant, with w itself 128 bits up, cancel w; twice.
NXVT_GHASH256_INLINE Y ReduceLanes(const Product& p) {
  const Y poly = _mm256_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1,
                                   static_cast<long long>(0xC200000000000000ull), 1);
  const Y mid = _mm256_xor_si256(_mm256_xor_si256(p.mid, _mm256_clmulepi64_epi128(p.lo, poly, 0x10)),
                                 _mm256_shuffle_epi32(p.lo, 0x4E));
  return _mm256_xor_si256(_mm256_xor_si256(p.hi, _mm256_clmulepi64_epi128(mid, poly, 0x10)),
                          _mm256_shuffle_epi32(mid, 0x4E));
}

// The sum of the two lanes.
NXVT_GHASH256_INLINE __m128i SumLanes(Y v) {
  return _mm_xor_si128(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Y = (Y ^ X0) h^16 ^ X1 h^15 ^ ... ^ X15 h for the sixteen blocks at x (in
// the standard's byte order), with the key powers of slot 0 at key; y is
// reflected.
NXVT_GHASH256_INLINE __m128i Absorb16(__m128i y, const unsigned char* x, const unsigned char* key) {
  Product p = Mul(_mm256_xor_si256(Blocks(x), _mm256_zextsi128_si256(y)), Load(key));
#pragma GCC unroll 8
  for (int j = 1; j < kVecs; ++j) MulAdd(p, Blocks(x + 32 * j), Load(key + 32 * j));
  return SumLanes(ReduceLanes(p));
}

// The end of a message, n = 1..16 blocks in all: `whole` blocks at p, then
// the block at `last` when it is not null (a zero-padded copy of a partial
// block). Block i is multiplied by h^(n-i), read from slot 16 - n + i, so
// no slot past the last is read.
NXVT_GHASH256_INLINE __m128i AbsorbTail(__m128i y, const unsigned char* p, size_t whole, const unsigned char* last,
                                        const unsigned char* key) {
  const size_t n = whole + (last != nullptr ? 1 : 0);
  const unsigned char* k = key + 16 * (kPowers - n);
  const Y zero = _mm256_setzero_si256();
  // Y goes into the first block only.
  Y first = _mm256_zextsi128_si256(y);
  Product acc = {zero, zero, zero};
  size_t i = 0;
  for (; i + 2 <= whole; i += 2, first = zero) {
    MulAdd(acc, _mm256_xor_si256(Blocks(p + 16 * i), first), Load(k + 16 * i));
  }
  if (i < whole) {
    MulAdd(acc, _mm256_xor_si256(OneBlock(p + 16 * i), first), _mm256_zextsi128_si256(Load128(k + 16 * i)));
    first = zero;
    ++i;
  }
  if (last != nullptr) {
    MulAdd(acc, _mm256_xor_si256(OneBlock(last), first), _mm256_zextsi128_si256(Load128(k + 16 * i)));
  }
  return SumLanes(ReduceLanes(acc));
}

}  // namespace ghv256

#endif
