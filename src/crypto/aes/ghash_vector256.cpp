// GHASH with VPCLMULQDQ on 256-bit vectors: the key powers and the runs of
// whole blocks, sixteen blocks to a reduction (crypto/aes/ghash_vector256.h).
#include "crypto/aes/ghash_vector256.h"

namespace {

using ghv256::Y;

// The lane products a * b, reduced in each lane: with both factors kept
// times x^-1, the product of h^i and h^j comes out as h^(i+j) * x^-1.
NXVT_GHASH256_INLINE Y MulLanes(Y a, Y b) { return ghv256::ReduceLanes(ghv256::Mul(a, b)); }

NXVT_GHASH256_INLINE Y Lane0Twice(Y v) { return _mm256_permute2x128_si256(v, v, 0x00); }

}  // namespace

NXVT_GHASH256_TARGET void NXVT_GHashV256_Init(NXVT_GHASH* g, const unsigned char* h) {
  const __m128i r = ghv256::Reflect(ghv256::Load128(h));
  // h * x^-1: the reflected value shifted up by one bit; when the
  // coefficient of x^0 falls out, x^-1 = x^127 + x^6 + x + 1 comes in. The
  // mask of the top bit stands in for a branch on a key bit.
  const __m128i poly = _mm_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1);
  const __m128i top = _mm_srai_epi32(_mm_shuffle_epi32(r, 0xFF), 31);
  const __m128i shifted = _mm_or_si128(_mm_slli_epi64(r, 1), _mm_srli_epi64(_mm_slli_si128(r, 8), 63));
  const __m128i k1 = _mm_xor_si128(shifted, _mm_and_si128(top, poly));
  const Y one = _mm256_broadcastsi128_si256(k1);
  const Y two = MulLanes(one, one);
  // Vector j of the key holds slots 2j and 2j + 1: h^(16-2j) in lane 0 and
  // h^(15-2j) in lane 1 (each times x^-1). Each vector is stored as soon as
  // it is made and read back from the key where it is needed, so no more
  // than a few powers are in registers at once and none is spilled.
  Y* k = reinterpret_cast<Y*>(g->key);
  _mm256_store_si256(k + 7, _mm256_blend_epi32(two, one, 0xF0));   // h^2, h
  _mm256_store_si256(k + 6, MulLanes(_mm256_load_si256(k + 7), two));  // h^4, h^3
  const Y four = Lane0Twice(_mm256_load_si256(k + 6));
  _mm256_store_si256(k + 5, MulLanes(_mm256_load_si256(k + 7), four));
  _mm256_store_si256(k + 4, MulLanes(_mm256_load_si256(k + 6), four));
  const Y eight = Lane0Twice(_mm256_load_si256(k + 4));
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) _mm256_store_si256(k + 3 - j, MulLanes(_mm256_load_si256(k + 7 - j), eight));
}

NXVT_GHASH256_TARGET void NXVT_GHashV256_Blocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  __m128i y = ghv256::Reflect(ghv256::Load128(g->y));
  for (; blocks >= ghv256::kPowers; blocks -= ghv256::kPowers, data += 16 * ghv256::kPowers) {
    y = ghv256::Absorb16(y, data, g->key);
  }
  if (blocks > 0) y = ghv256::AbsorbTail(y, data, blocks, nullptr, g->key);
  ghv256::Store128(g->y, ghv256::Reflect(y));
}
