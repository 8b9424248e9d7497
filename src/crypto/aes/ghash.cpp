// GHASH: carry-less multiplication in GF(2^128) modulo x^128 + x^7 + x^2 + x
// + 1, in the bit-reflected order of GCM.
#include "crypto/aes/ghash.h"

#include <immintrin.h>

#include <cstring>

#include "crypto/aes/ghash_clmul.h"
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
// PCLMULQDQ path, eight blocks per reduction (crypto/aes/ghash_clmul.h).

NXVT_CLMUL_TARGET void ClmulInit(NXVT_GHASH* g, const unsigned char* h) { ghc::Init(g->key, h); }

NXVT_CLMUL_TARGET void ClmulBlocks(NXVT_GHASH* g, const unsigned char* data, size_t blocks) {
  __m128i y = ghc::Reflect(ghc::Load(g->y));
  for (; blocks >= ghc::kPowers; blocks -= ghc::kPowers, data += 16 * ghc::kPowers) y = ghc::Absorb8(y, data, g->key);
  if (blocks > 0) y = ghc::Absorb(y, data, blocks, nullptr, blocks, g->key);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(g->y), ghc::Reflect(y));
}

// ---------------------------------------------------------------------------
// VPCLMULQDQ path on 512-bit vectors, sixteen blocks per reduction.

// The lane products a * b, reduced in each lane.
NXVT_VEC512_INLINE ghv::V MulLanes(ghv::V a, ghv::V b) { return ghv::ReduceLanes(ghv::Mul(a, b)); }

NXVT_VEC512_TARGET void VectorInit(NXVT_GHASH* g, const unsigned char* h) {
  const __m128i k1 = ghc::TimesInverseX(ghc::Reflect(ghc::Load(h)));
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
  const NXVT_CPU_FEATURES cpu = NXVT_CpuFeatures();
  // The carry-less paths write every byte of the key.
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
    memset(g->key, 0, sizeof g->key);
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
