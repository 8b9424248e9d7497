// SHA-256 (FIPS 180-4) as a digest descriptor for the streaming layer.
#include <immintrin.h>

#include <cstring>

#include "crypto/cpu_features.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/digest_blocks.h"
#include "crypto/digest_util.h"

namespace {

constexpr uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }
inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (~x & z); }
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) { return (x & y) ^ (x & z) ^ (y & z); }
inline uint32_t S0(uint32_t x) { return Rotr(x, 2) ^ Rotr(x, 13) ^ Rotr(x, 22); }
inline uint32_t S1(uint32_t x) { return Rotr(x, 6) ^ Rotr(x, 11) ^ Rotr(x, 25); }
inline uint32_t s0(uint32_t x) { return Rotr(x, 7) ^ Rotr(x, 18) ^ (x >> 3); }
inline uint32_t s1(uint32_t x) { return Rotr(x, 17) ^ Rotr(x, 19) ^ (x >> 10); }

void Sha256Init(NXVT_DIGEST_CTX* ctx) {
  static constexpr uint32_t kIv[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  memcpy(ctx->w32.state, kIv, sizeof kIv);
}

// One round with the working variables renamed instead of shifted.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, i)          \
  do {                                                   \
    uint32_t t1 = h + S1(e) + Ch(e, f, g) + kK[i] + w[i]; \
    uint32_t t2 = S0(a) + Maj(a, b, c);                  \
    d += t1;                                             \
    h = t1 + t2;                                         \
  } while (0)

void PortableBlocks(uint32_t* st, const unsigned char* data, size_t blocks) {
  uint32_t w[64];
  for (size_t n = 0; n < blocks; ++n, data += 64) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(data + 4 * i);
    for (int i = 16; i < 64; ++i) w[i] = s1(w[i - 2]) + w[i - 7] + s0(w[i - 15]) + w[i - 16];
    uint32_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];
    for (int i = 0; i < 64; i += 8) {
      SHA256_ROUND(a, b, c, d, e, f, g, h, i);
      SHA256_ROUND(h, a, b, c, d, e, f, g, i + 1);
      SHA256_ROUND(g, h, a, b, c, d, e, f, i + 2);
      SHA256_ROUND(f, g, h, a, b, c, d, e, i + 3);
      SHA256_ROUND(e, f, g, h, a, b, c, d, i + 4);
      SHA256_ROUND(d, e, f, g, h, a, b, c, i + 5);
      SHA256_ROUND(c, d, e, f, g, h, a, b, i + 6);
      SHA256_ROUND(b, c, d, e, f, g, h, a, i + 7);
    }
    FeedForward(st, a, b, c, d, e, f, g, h);
  }
  Wipe(w, sizeof w);
}
#undef SHA256_ROUND

void Sha256Compress(NXVT_DIGEST_CTX* ctx, unsigned char* block) { NXVT_SHA256_Blocks(ctx->w32.state, block, 1); }

// The bit count (already converted from bytes) goes big-endian into the last 8 bytes.
void Sha256Length(unsigned char* block, const NXVT_DIGEST_CTX* ctx) {
  StoreBe32(block + 56, ctx->w32.count[1]);
  StoreBe32(block + 60, ctx->w32.count[0]);
}

void Sha256Output(unsigned char* out, const NXVT_DIGEST_CTX* ctx) {
  for (int i = 0; i < 8; ++i) StoreBe32(out + 4 * i, ctx->w32.state[i]);
}

}  // namespace

const NXVT_DIGEST_DESC NXVT_SHA256_DESC = {32, Sha256Init, Sha256Compress, Sha256Length, Sha256Output};

// SHA-NI: two rounds per SHA256RNDS2, the message schedule with
// SHA256MSG1 / SHA256MSG2, four schedule words per register. The state is
// kept as the register pair ABEF / CDGH the instructions work on.
static __attribute__((target("sha,sse4.1,ssse3"))) void ShaNiBlocks(uint32_t* state,
                                                                         const unsigned char* data,
                                                                         size_t blocks) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
  __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));        // DCBA
  __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));  // HGFE
  tmp = _mm_shuffle_epi32(tmp, 0xB1);                                              // CDAB
  state1 = _mm_shuffle_epi32(state1, 0x1B);                                        // EFGH
  __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);                               // ABEF
  state1 = _mm_blend_epi16(state1, tmp, 0xF0);                                     // CDGH

  for (size_t n = 0; n < blocks; ++n, data += 64) {
    const __m128i abefSave = state0, cdghSave = state1;
    __m128i m[16];
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      if (g < 4) {
        m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byteSwap);
      }
      __m128i msg = _mm_add_epi32(m[g], _mm_loadu_si128(reinterpret_cast<const __m128i*>(kK + 4 * g)));
      state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
      if (g >= 3 && g < 15) {
        // W[4(g+1) ..] = msg2(msg1(W[4(g-3)..], W[4(g-2)..]) + W[4g-3 ..], W[4g ..])
        m[g + 1] = _mm_sha256msg2_epu32(_mm_add_epi32(m[g + 1], _mm_alignr_epi8(m[g], m[g - 1], 4)), m[g]);
      }
      msg = _mm_shuffle_epi32(msg, 0x0E);
      state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
      if (g >= 1 && g < 13) m[g + 3] = _mm_sha256msg1_epu32(m[g - 1], m[g]);
    }
    state0 = _mm_add_epi32(state0, abefSave);
    state1 = _mm_add_epi32(state1, cdghSave);
  }

  tmp = _mm_shuffle_epi32(state0, 0x1B);         // FEBA
  state1 = _mm_shuffle_epi32(state1, 0xB1);      // DCHG
  state0 = _mm_blend_epi16(tmp, state1, 0xF0);   // DCBA
  state1 = _mm_alignr_epi8(state1, tmp, 8);      // HGFE
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

void NXVT_SHA256_Blocks(uint32_t* state, const unsigned char* data, size_t blocks) {
  if (blocks == 0) return;
  if (NXVT_CpuFeatures().shani) {
    ShaNiBlocks(state, data, blocks);
  } else {
    PortableBlocks(state, data, blocks);
  }
}
