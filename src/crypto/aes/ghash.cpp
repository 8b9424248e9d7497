// GHASH: carry-less multiplication in GF(2^128) modulo x^128 + x^7 + x^2 + x
// + 1, in the bit-reflected order of GCM.
#include "crypto/aes/ghash.h"

#include <immintrin.h>

#include <cstring>

#include "crypto/aes/ghash_vector.h"
#include "crypto/aes/ghash_vector256.h"
#include "crypto/cpu_features.h"
#include "crypto/digest_util.h"
#include "platform/memory.h"

namespace {

// ---------------------------------------------------------------------------
// Portable path. The low 64 bits of a carry-less product from four integer
// products of operands masked to every fourth bit: each partial sum counts at
// most 15 ones, so its carries stay in the three bits a mask drops.

inline uint64_t Bmul64(uint64_t x, uint64_t y) {
  constexpr uint64_t m0 = 0x1111111111111111ull, m1 = 0x2222222222222222ull, m2 = 0x4444444444444444ull,
                     m3 = 0x8888888888888888ull;
  const uint64_t x0 = x & m0, x1 = x & m1, x2 = x & m2, x3 = x & m3;
  const uint64_t y0 = y & m0, y1 = y & m1, y2 = y & m2, y3 = y & m3;
  uint64_t z0 = (x0 * y0) ^ (x1 * y3) ^ (x2 * y2) ^ (x3 * y1);
  uint64_t z1 = (x0 * y1) ^ (x1 * y0) ^ (x2 * y3) ^ (x3 * y2);
  uint64_t z2 = (x0 * y2) ^ (x1 * y1) ^ (x2 * y0) ^ (x3 * y3);
  uint64_t z3 = (x0 * y3) ^ (x1 * y2) ^ (x2 * y1) ^ (x3 * y0);
  return (z0 & m0) | (z1 & m1) | (z2 & m2) | (z3 & m3);
}

inline uint64_t Rev64(uint64_t x) {
  x = ((x & 0x5555555555555555ull) << 1) | ((x >> 1) & 0x5555555555555555ull);
  x = ((x & 0x3333333333333333ull) << 2) | ((x >> 2) & 0x3333333333333333ull);
  x = ((x & 0x0F0F0F0F0F0F0F0Full) << 4) | ((x >> 4) & 0x0F0F0F0F0F0F0F0Full);
  return __builtin_bswap64(x);
}

// Y = (Y ^ X) * H for each block: Karatsuba over 64-bit halves, the high
// halves of the products taken from the products of the bit-reversed halves.
void PortableBlocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  const uint64_t h1 = LoadBe64(g->key), h0 = LoadBe64(g->key + 8);
  const uint64_t h0r = Rev64(h0), h1r = Rev64(h1);
  const uint64_t h2 = h0 ^ h1, h2r = h0r ^ h1r;
  uint64_t y1 = LoadBe64(g->y), y0 = LoadBe64(g->y + 8);
  for (size_t i = 0; i < blocks; ++i, data += 16) {
    y1 ^= LoadBe64(data);
    y0 ^= LoadBe64(data + 8);
    const uint64_t y0r = Rev64(y0), y1r = Rev64(y1);
    const uint64_t y2 = y0 ^ y1, y2r = y0r ^ y1r;
    const uint64_t z0 = Bmul64(y0, h0), z1 = Bmul64(y1, h1);
    uint64_t z2 = Bmul64(y2, h2);
    uint64_t z0h = Bmul64(y0r, h0r), z1h = Bmul64(y1r, h1r), z2h = Bmul64(y2r, h2r);
    z2 ^= z0 ^ z1;
    z2h ^= z0h ^ z1h;
    z0h = Rev64(z0h) >> 1;
    z1h = Rev64(z1h) >> 1;
    z2h = Rev64(z2h) >> 1;
    uint64_t v0 = z0, v1 = z0h ^ z2, v2 = z1 ^ z2h, v3 = z1h;
    // The product of reflected operands is the reflected product shifted
    // right by one; shift back, then reduce.
    v3 = (v3 << 1) | (v2 >> 63);
    v2 = (v2 << 1) | (v1 >> 63);
    v1 = (v1 << 1) | (v0 >> 63);
    v0 = v0 << 1;
    v2 ^= v0 ^ (v0 >> 1) ^ (v0 >> 2) ^ (v0 >> 7);
    v1 ^= (v0 << 63) ^ (v0 << 62) ^ (v0 << 57);
    v3 ^= v1 ^ (v1 >> 1) ^ (v1 >> 2) ^ (v1 >> 7);
    v2 ^= (v1 << 63) ^ (v1 << 62) ^ (v1 << 57);
    y0 = v2;
    y1 = v3;
  }
  StoreBe64(g->y, y1);
  StoreBe64(g->y + 8, y0);
}

// ---------------------------------------------------------------------------
// PCLMULQDQ path, on byte-reversed blocks.

#define NXVT_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))

NXVT_CLMUL_TARGET inline __m128i ByteReverse(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// 256-bit product a * b as (lo, hi), unreduced.
NXVT_CLMUL_TARGET inline void ClMul(__m128i a, __m128i b, __m128i& lo, __m128i& hi) {
  const __m128i t0 = _mm_clmulepi64_si128(a, b, 0x00);
  const __m128i t3 = _mm_clmulepi64_si128(a, b, 0x11);
  const __m128i t1 = _mm_xor_si128(_mm_clmulepi64_si128(a, b, 0x10), _mm_clmulepi64_si128(a, b, 0x01));
  lo = _mm_xor_si128(t0, _mm_slli_si128(t1, 8));
  hi = _mm_xor_si128(t3, _mm_srli_si128(t1, 8));
}

// Shifts the reflected 256-bit product left by one and reduces it modulo the
// GCM polynomial.
NXVT_CLMUL_TARGET inline __m128i Reduce(__m128i lo, __m128i hi) {
  __m128i t7 = _mm_srli_epi32(lo, 31);
  __m128i t8 = _mm_srli_epi32(hi, 31);
  lo = _mm_slli_epi32(lo, 1);
  hi = _mm_slli_epi32(hi, 1);
  const __m128i t9 = _mm_srli_si128(t7, 12);
  t8 = _mm_slli_si128(t8, 4);
  t7 = _mm_slli_si128(t7, 4);
  lo = _mm_or_si128(lo, t7);
  hi = _mm_or_si128(_mm_or_si128(hi, t8), t9);

  t7 = _mm_xor_si128(_mm_xor_si128(_mm_slli_epi32(lo, 31), _mm_slli_epi32(lo, 30)), _mm_slli_epi32(lo, 25));
  t8 = _mm_srli_si128(t7, 4);
  t7 = _mm_slli_si128(t7, 12);
  lo = _mm_xor_si128(lo, t7);
  __m128i t2 = _mm_xor_si128(_mm_xor_si128(_mm_srli_epi32(lo, 1), _mm_srli_epi32(lo, 2)), _mm_srli_epi32(lo, 7));
  t2 = _mm_xor_si128(t2, t8);
  lo = _mm_xor_si128(lo, t2);
  return _mm_xor_si128(hi, lo);
}

NXVT_CLMUL_TARGET inline __m128i GfMul(__m128i a, __m128i b) {
  __m128i lo, hi;
  ClMul(a, b, lo, hi);
  return Reduce(lo, hi);
}

NXVT_CLMUL_TARGET void ClmulInit(NXVT_GHASH* g, const unsigned char* h) {
  const __m128i h1 = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)));
  const __m128i h2 = GfMul(h1, h1);
  const __m128i h3 = GfMul(h2, h1);
  const __m128i h4 = GfMul(h3, h1);
  __m128i* k = reinterpret_cast<__m128i*>(g->key);
  _mm_store_si128(k, h1);
  _mm_store_si128(k + 1, h2);
  _mm_store_si128(k + 2, h3);
  _mm_store_si128(k + 3, h4);
}

NXVT_CLMUL_TARGET void ClmulBlocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  const __m128i* k = reinterpret_cast<const __m128i*>(g->key);
  const __m128i h1 = _mm_load_si128(k), h2 = _mm_load_si128(k + 1), h3 = _mm_load_si128(k + 2),
                h4 = _mm_load_si128(k + 3);
  __m128i y = ByteReverse(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g->y)));
  const __m128i* p = reinterpret_cast<const __m128i*>(data);
  size_t i = 0;
  // Y' = (Y ^ X1) H^4 ^ X2 H^3 ^ X3 H^2 ^ X4 H, reduced once.
  for (; i + 4 <= blocks; i += 4, p += 4) {
    const __m128i x1 = _mm_xor_si128(y, ByteReverse(_mm_loadu_si128(p)));
    const __m128i x2 = ByteReverse(_mm_loadu_si128(p + 1));
    const __m128i x3 = ByteReverse(_mm_loadu_si128(p + 2));
    const __m128i x4 = ByteReverse(_mm_loadu_si128(p + 3));
    __m128i lo, hi, l, h;
    ClMul(x1, h4, lo, hi);
    ClMul(x2, h3, l, h);
    lo = _mm_xor_si128(lo, l);
    hi = _mm_xor_si128(hi, h);
    ClMul(x3, h2, l, h);
    lo = _mm_xor_si128(lo, l);
    hi = _mm_xor_si128(hi, h);
    ClMul(x4, h1, l, h);
    lo = _mm_xor_si128(lo, l);
    hi = _mm_xor_si128(hi, h);
    y = Reduce(lo, hi);
  }
  for (; i < blocks; ++i, ++p) y = GfMul(_mm_xor_si128(y, ByteReverse(_mm_loadu_si128(p))), h1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(g->y), ByteReverse(y));
}

// ---------------------------------------------------------------------------
// VPCLMULQDQ path on 512-bit vectors, sixteen blocks per reduction.

// The lane products a * b, reduced in each lane.
NXVT_VEC512_INLINE ghv::V MulLanes(ghv::V a, ghv::V b) { return ghv::ReduceLanes(ghv::Mul(a, b)); }

NXVT_VEC512_TARGET void VectorInit(NXVT_GHASH* g, const unsigned char* h) {
  const __m128i r = ghv::Reflect(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)));
  // h * x^-1: the reflected value shifted up by one bit; when the
  // coefficient of x^0 falls out, x^-1 = x^127 + x^6 + x + 1 comes in (the
  // constant of the reduction). The mask stands in for a branch on a key bit.
  const __m128i poly = _mm_set_epi64x(static_cast<long long>(0xC200000000000000ull), 1);
  const __m128i top = _mm_srai_epi32(_mm_shuffle_epi32(r, 0xFF), 31);
  const __m128i shifted = _mm_or_si128(_mm_slli_epi64(r, 1), _mm_srli_epi64(_mm_slli_si128(r, 8), 63));
  const __m128i k1 = _mm_xor_si128(shifted, _mm_and_si128(top, poly));
  const ghv::V one = ghv::Broadcast(k1);
  const ghv::V two = MulLanes(one, one);
  // Lanes from the first: h^4, h^3, h^2, h (each times x^-1).
  const ghv::V three4 = MulLanes(_mm512_inserti32x4(two, k1, 1), two);
  const ghv::V p4 = _mm512_inserti32x4(_mm512_inserti32x4(three4, ghv::Lane0(two), 2), k1, 3);
  const ghv::V p8 = MulLanes(p4, ghv::Broadcast(ghv::Lane0(p4)));
  const ghv::V h8 = ghv::Broadcast(ghv::Lane0(p8));
  const ghv::V p12 = MulLanes(p4, h8);
  const ghv::V p16 = MulLanes(p8, h8);
  _mm512_store_si512(g->key, p16);
  _mm512_store_si512(g->key + 64, p12);
  _mm512_store_si512(g->key + 128, p8);
  _mm512_store_si512(g->key + 192, p4);
}

NXVT_VEC512_TARGET void VectorBlocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  ghv::V k[4], x[4];
  ghv::LoadKeys(k, g->key);
  __m128i y = ghv::Reflect(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g->y)));
  for (; blocks >= ghv::kPowers; blocks -= ghv::kPowers, data += 16 * ghv::kPowers) {
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) x[j] = ghv::Reflect(_mm512_loadu_si512(data + 64 * j));
    y = ghv::Absorb16(y, x, k);
  }
  if (blocks > 0) {
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) x[j] = ghv::Reflect(_mm512_maskz_loadu_epi64(ghv::LaneMask(blocks, j), data + 64 * j));
    y = ghv::AbsorbShort(y, x, g->key, blocks);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(g->y), ghv::Reflect(y));
}

}  // namespace

void NXVT_GHash_Init(NXVT_GHASH* g, const unsigned char* h) {
  memset(g->y, 0, sizeof g->y);
  memset(g->key, 0, sizeof g->key);
  const NXVT_CPU_FEATURES cpu = NXVT_CpuFeatures();
  if (cpu.vaes512) {
    g->path = kGhashVector;
    VectorInit(g, h);
  } else if (cpu.vpclmul) {
    g->path = kGhashVector256;
    NXVT_GHashV256_Init(g, h);
  } else if (cpu.pclmul) {
    g->path = kGhashClmul;
    ClmulInit(g, h);
  } else {
    g->path = kGhashPortable;
    memcpy(g->key, h, 16);
  }
}

void NXVT_GHash_Blocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  if (blocks == 0) return;
  if (g->path == kGhashVector) {
    VectorBlocks(g, data, blocks);
  } else if (g->path == kGhashVector256) {
    NXVT_GHashV256_Blocks(g, data, blocks);
  } else if (g->path == kGhashClmul) {
    ClmulBlocks(g, data, blocks);
  } else {
    PortableBlocks(g, data, blocks);
  }
}

void NXVT_GHash_Padded(NXVT_GHASH* g, const unsigned char* data, size_t len) {
  NXVT_GHash_Blocks(g, data, len / 16);
  const size_t rest = len % 16;
  if (rest != 0) {
    unsigned char last[16] = {0};
    memcpy(last, data + len - rest, rest);
    NXVT_GHash_Blocks(g, last, 1);
    Wipe(last, sizeof last);
  }
}

void NXVT_GHash_Wipe(NXVT_GHASH* g) { Wipe(g, sizeof *g); }
