// GHASH with PCLMULQDQ on 128-bit registers, eight blocks per reduction:
// the layout of the key powers, the Karatsuba products and the reduction.
// Shared by the GHASH code and the stitched GCM of crypto/aes/aes_hw.cpp;
// callers check NXVT_CpuFeatures().pclmul first.
//
// Blocks are byte-reversed as in crypto/aes/ghash_vector.h (bit 127 the
// coefficient of x^0), so the carry-less product of two blocks is x * a * b
// and the key powers are kept as h^i * x^-1; the 256-bit sum reduces with
// two folds by the constant 0xC2 << 56. Each power comes with its Karatsuba
// middle term (the xor of its halves), so a block costs three products.
// Nothing here branches on or indexes by data or key.
#ifndef TOLVARIS_CRYPTO_AES_GHASH_CLMUL_H
#define TOLVARIS_CRYPTO_AES_GHASH_CLMUL_H

#include <immintrin.h>

#include <cstddef>

#define NXVT_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))
// Inlined into their callers, whose targets include these extensions (and
// may add AVX, which re-encodes the same code with three operands).
#define NXVT_CLMUL_INLINE NXVT_CLMUL_TARGET inline __attribute__((always_inline))
// The byte moves alone, for the 512-bit key setup too.
#define NXVT_SHUFFLE_INLINE __attribute__((target("sse4.1,ssse3"))) inline __attribute__((always_inline))

namespace ghc {

// Slot s (16 bytes at key + 16 s) holds h^(8-s) * x^-1, so slot j multiplies
// block j of a run of eight; the middle term of slot s is at
// key + kMiddles + 16 s, in both halves.
inline constexpr int kPowers = 8;
inline constexpr size_t kMiddles = 16 * kPowers;

NXVT_SHUFFLE_INLINE __m128i Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
NXVT_CLMUL_INLINE __m128i LoadKey(const unsigned char* key, size_t at) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(key + at));
}

NXVT_SHUFFLE_INLINE __m128i Reflect(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

NXVT_SHUFFLE_INLINE __m128i SwapHalves(__m128i v) { return _mm_shuffle_epi32(v, 0x4E); }

// h * x^-1 for a reflected h: shifted up by one bit; when the coefficient of
// x^0 falls out, x^-1 = x^127 + x^6 + x + 1 comes in (the constant of the
// reduction). The mask stands in for a branch on a key bit.
NXVT_SHUFFLE_INLINE __m128i TimesInverseX(__m128i r) {
  const __m128i poly = _mm_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1);
  const __m128i top = _mm_srai_epi32(_mm_shuffle_epi32(r, 0xFF), 31);
  const __m128i shifted = _mm_or_si128(_mm_slli_epi64(r, 1), _mm_srli_epi64(_mm_slli_si128(r, 8), 63));
  return _mm_xor_si128(shifted, _mm_and_si128(top, poly));
}

// The unreduced sum of products: lo for bits 0..127, hi for 128..255, and
// the Karatsuba sum of (a.lo ^ a.hi)(b.lo ^ b.hi), which Reduce turns into
// the middle part (bits 64..191) by adding lo and hi.
struct Product {
  __m128i lo, hi, mid;
};

NXVT_CLMUL_INLINE Product Mul(__m128i a, __m128i b, __m128i bMiddle) {
  return {_mm_clmulepi64_si128(a, b, 0x00), _mm_clmulepi64_si128(a, b, 0x11),
          _mm_clmulepi64_si128(_mm_xor_si128(a, SwapHalves(a)), bMiddle, 0x00)};
}

// The sums are pinned to registers after each block: otherwise GCC turns
// the chain of xors into a tree at the end, which holds all the products at
// once and spills them to the stack (in the stitched GCM loop, where the AES
// blocks take half the registers).
NXVT_CLMUL_INLINE void MulAdd(Product& p, __m128i a, __m128i b, __m128i bMiddle) {
  const Product q = Mul(a, b, bMiddle);
  p.lo = _mm_xor_si128(p.lo, q.lo);
  p.hi = _mm_xor_si128(p.hi, q.hi);
  p.mid = _mm_xor_si128(p.mid, q.mid);
  __asm__("" : "+x"(p.lo), "+x"(p.hi), "+x"(p.mid));
}

// The lowest 64 bits w times the constant, with w itself 128 bits up,
// cancel w; twice, so the top 128 bits remain.
NXVT_CLMUL_INLINE __m128i Reduce(const Product& p) {
  const __m128i poly = _mm_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1);
  const __m128i mid = _mm_xor_si128(_mm_xor_si128(p.mid, p.lo), p.hi);
  const __m128i m = _mm_xor_si128(_mm_xor_si128(mid, _mm_clmulepi64_si128(p.lo, poly, 0x10)), SwapHalves(p.lo));
  return _mm_xor_si128(_mm_xor_si128(p.hi, _mm_clmulepi64_si128(m, poly, 0x10)), SwapHalves(m));
}

// Product term of block j (reflected x) of a run of n <= 8 blocks: block j
// is multiplied by h^(n-j), in slot 8 - n + j.
NXVT_CLMUL_INLINE Product Term(__m128i x, const unsigned char* key, size_t slot) {
  return Mul(x, LoadKey(key, 16 * slot), LoadKey(key, kMiddles + 16 * slot));
}
NXVT_CLMUL_INLINE void AddTerm(Product& p, __m128i x, const unsigned char* key, size_t slot) {
  MulAdd(p, x, LoadKey(key, 16 * slot), LoadKey(key, kMiddles + 16 * slot));
}

// Y = (Y ^ X0) h^n ^ X1 h^(n-1) ^ ... ^ X(n-1) h for n = 1..8 blocks (raw
// bytes): the first `whole` at `data`, the one after them (when n is one
// more) at `last`; y is reflected.
NXVT_CLMUL_INLINE __m128i Absorb(__m128i y, const unsigned char* data, size_t whole, const unsigned char* last,
                                 size_t n, const unsigned char* key) {
  const size_t from = kPowers - n;
  const auto block = [&](size_t j) { return j < whole ? data + 16 * j : last; };
  Product p = Term(_mm_xor_si128(y, Reflect(Load(block(0)))), key, from);
  for (size_t j = 1; j < n; ++j) AddTerm(p, Reflect(Load(block(j))), key, from + j);
  return Reduce(p);
}

// The same for a whole run of eight, unrolled.
NXVT_CLMUL_INLINE __m128i Absorb8(__m128i y, const unsigned char* data, const unsigned char* key) {
  Product p = Term(_mm_xor_si128(y, Reflect(Load(data))), key, 0);
#pragma GCC unroll 8
  for (int j = 1; j < kPowers; ++j) AddTerm(p, Reflect(Load(data + 16 * j)), key, static_cast<size_t>(j));
  return Reduce(p);
}

// a * b for two keys (the middle term of b made on the spot).
NXVT_CLMUL_INLINE __m128i MulKeys(__m128i a, __m128i b) { return Reduce(Mul(a, b, _mm_xor_si128(b, SwapHalves(b)))); }

NXVT_CLMUL_INLINE void StorePower(unsigned char* key, int i, __m128i k) {
  const size_t slot = static_cast<size_t>(kPowers - i);
  _mm_store_si128(reinterpret_cast<__m128i*>(key + 16 * slot), k);
  _mm_store_si128(reinterpret_cast<__m128i*>(key + kMiddles + 16 * slot), _mm_xor_si128(k, SwapHalves(k)));
}

// The key powers h^8..h^1 (times x^-1) and their middle terms from the hash
// subkey h in the standard's byte order, three products deep. The powers
// stay in registers on their way to the key.
NXVT_CLMUL_INLINE void Init(unsigned char* key, const unsigned char* h) {
  const __m128i k1 = TimesInverseX(Reflect(Load(h)));
  const __m128i k2 = MulKeys(k1, k1);
  const __m128i k3 = MulKeys(k2, k1), k4 = MulKeys(k2, k2);
  StorePower(key, 1, k1);
  StorePower(key, 2, k2);
  StorePower(key, 3, k3);
  StorePower(key, 4, k4);
  StorePower(key, 5, MulKeys(k4, k1));
  StorePower(key, 6, MulKeys(k4, k2));
  StorePower(key, 7, MulKeys(k4, k3));
  StorePower(key, 8, MulKeys(k4, k4));
}

}  // namespace ghc

#endif
