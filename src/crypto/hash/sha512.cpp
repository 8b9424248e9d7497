// SHA-512 (FIPS 180-4) as a digest descriptor for the streaming layer.
#include <immintrin.h>

#include <cstring>

#include "crypto/cpu_features.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/digest_blocks.h"
#include "crypto/digest_util.h"

namespace {

constexpr uint64_t kK[80] = {
    0x428a2f98d728ae22ull, 0x7137449123ef65cdull, 0xb5c0fbcfec4d3b2full, 0xe9b5dba58189dbbcull,
    0x3956c25bf348b538ull, 0x59f111f1b605d019ull, 0x923f82a4af194f9bull, 0xab1c5ed5da6d8118ull,
    0xd807aa98a3030242ull, 0x12835b0145706fbeull, 0x243185be4ee4b28cull, 0x550c7dc3d5ffb4e2ull,
    0x72be5d74f27b896full, 0x80deb1fe3b1696b1ull, 0x9bdc06a725c71235ull, 0xc19bf174cf692694ull,
    0xe49b69c19ef14ad2ull, 0xefbe4786384f25e3ull, 0x0fc19dc68b8cd5b5ull, 0x240ca1cc77ac9c65ull,
    0x2de92c6f592b0275ull, 0x4a7484aa6ea6e483ull, 0x5cb0a9dcbd41fbd4ull, 0x76f988da831153b5ull,
    0x983e5152ee66dfabull, 0xa831c66d2db43210ull, 0xb00327c898fb213full, 0xbf597fc7beef0ee4ull,
    0xc6e00bf33da88fc2ull, 0xd5a79147930aa725ull, 0x06ca6351e003826full, 0x142929670a0e6e70ull,
    0x27b70a8546d22ffcull, 0x2e1b21385c26c926ull, 0x4d2c6dfc5ac42aedull, 0x53380d139d95b3dfull,
    0x650a73548baf63deull, 0x766a0abb3c77b2a8ull, 0x81c2c92e47edaee6ull, 0x92722c851482353bull,
    0xa2bfe8a14cf10364ull, 0xa81a664bbc423001ull, 0xc24b8b70d0f89791ull, 0xc76c51a30654be30ull,
    0xd192e819d6ef5218ull, 0xd69906245565a910ull, 0xf40e35855771202aull, 0x106aa07032bbd1b8ull,
    0x19a4c116b8d2d0c8ull, 0x1e376c085141ab53ull, 0x2748774cdf8eeb99ull, 0x34b0bcb5e19b48a8ull,
    0x391c0cb3c5c95a63ull, 0x4ed8aa4ae3418acbull, 0x5b9cca4f7763e373ull, 0x682e6ff3d6b2b8a3ull,
    0x748f82ee5defb2fcull, 0x78a5636f43172f60ull, 0x84c87814a1f0ab72ull, 0x8cc702081a6439ecull,
    0x90befffa23631e28ull, 0xa4506cebde82bde9ull, 0xbef9a3f7b2c67915ull, 0xc67178f2e372532bull,
    0xca273eceea26619cull, 0xd186b8c721c0c207ull, 0xeada7dd6cde0eb1eull, 0xf57d4f7fee6ed178ull,
    0x06f067aa72176fbaull, 0x0a637dc5a2c898a6ull, 0x113f9804bef90daeull, 0x1b710b35131c471bull,
    0x28db77f523047d84ull, 0x32caab7b40c72493ull, 0x3c9ebe0a15c9bebcull, 0x431d67c49c100d4cull,
    0x4cc5d4becb3e42b6ull, 0x597f299cfc657e2aull, 0x5fcb6fab3ad6faecull, 0x6c44198c4a475817ull};

inline uint64_t Rotr(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }
inline uint64_t S0(uint64_t x) { return Rotr(x, 28) ^ Rotr(x, 34) ^ Rotr(x, 39); }
inline uint64_t S1(uint64_t x) { return Rotr(x, 14) ^ Rotr(x, 18) ^ Rotr(x, 41); }
inline uint64_t s0(uint64_t x) { return Rotr(x, 1) ^ Rotr(x, 8) ^ (x >> 7); }
inline uint64_t s1(uint64_t x) { return Rotr(x, 19) ^ Rotr(x, 61) ^ (x >> 6); }

void Sha512Init(NXVT_DIGEST_CTX* ctx) {
  static constexpr uint64_t kIv[8] = {0x6a09e667f3bcc908ull, 0xbb67ae8584caa73bull, 0x3c6ef372fe94f82bull,
                                      0xa54ff53a5f1d36f1ull, 0x510e527fade682d1ull, 0x9b05688c2b3e6c1full,
                                      0x1f83d9abfb41bd6bull, 0x5be0cd19137e2179ull};
  memcpy(ctx->w64.state, kIv, sizeof kIv);
}

// Rounds i..i+15 with the schedule kept as a rolling window of sixteen
// words: w[j] is replaced by W[i + j + 16] after its last use (not in the
// last sixteen rounds). Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)), and b ^ c
// is the a ^ b of the round before.
#define SHA512_ROUND(a, b, c, d, e, f, g, h, j, expand)                                     \
  do {                                                                                     \
    /* S1(e) is the long path: the rest of the new e and a is summed while it runs. */    \
    const uint64_t t1 = (h + kK[i + (j)] + w[j]) + (((f ^ g) & e) ^ g);                   \
    const uint64_t e1 = S1(e);                                                             \
    const uint64_t ab = a ^ b;                                                             \
    const uint64_t t2 = S0(a) + (b ^ (ab & bc));                                           \
    bc = ab;                                                                               \
    d = (d + t1) + e1;                                                                     \
    h = (t1 + t2) + e1;                                                                    \
    if (expand) w[j] += s1(w[((j) + 14) & 15]) + w[((j) + 9) & 15] + s0(w[((j) + 1) & 15]); \
  } while (0)

#define SHA512_16_ROUNDS(expand)                         \
  do {                                                   \
    SHA512_ROUND(a, b, c, d, e, f, g, h, 0, expand);     \
    SHA512_ROUND(h, a, b, c, d, e, f, g, 1, expand);     \
    SHA512_ROUND(g, h, a, b, c, d, e, f, 2, expand);     \
    SHA512_ROUND(f, g, h, a, b, c, d, e, 3, expand);     \
    SHA512_ROUND(e, f, g, h, a, b, c, d, 4, expand);     \
    SHA512_ROUND(d, e, f, g, h, a, b, c, 5, expand);     \
    SHA512_ROUND(c, d, e, f, g, h, a, b, 6, expand);     \
    SHA512_ROUND(b, c, d, e, f, g, h, a, 7, expand);     \
    SHA512_ROUND(a, b, c, d, e, f, g, h, 8, expand);     \
    SHA512_ROUND(h, a, b, c, d, e, f, g, 9, expand);     \
    SHA512_ROUND(g, h, a, b, c, d, e, f, 10, expand);    \
    SHA512_ROUND(f, g, h, a, b, c, d, e, 11, expand);    \
    SHA512_ROUND(e, f, g, h, a, b, c, d, 12, expand);    \
    SHA512_ROUND(d, e, f, g, h, a, b, c, 13, expand);    \
    SHA512_ROUND(c, d, e, f, g, h, a, b, 14, expand);    \
    SHA512_ROUND(b, c, d, e, f, g, h, a, 15, expand);    \
  } while (0)

inline void Rounds(uint64_t* st, const unsigned char* data, size_t blocks) {
  uint64_t w[16];
  for (size_t n = 0; n < blocks; ++n, data += 128) {
    for (int k = 0; k < 16; ++k) w[k] = LoadBe64(data + 8 * k);
    uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];
    uint64_t bc = b ^ c;
    int i = 0;
    for (; i < 64; i += 16) SHA512_16_ROUNDS(true);
    SHA512_16_ROUNDS(false);
    FeedForward(st, a, b, c, d, e, f, g, h);
  }
  Wipe(w, sizeof w);
}
#undef SHA512_16_ROUNDS
#undef SHA512_ROUND

void PortableBlocks(uint64_t* st, const unsigned char* data, size_t blocks) { Rounds(st, data, blocks); }

// The vector builds: the message schedule runs two words per 128-bit
// register beside the scalar rounds, which use the BMI rotation RORX and
// ANDN. The AVX2 and AVX-512 builds share their bodies (the macros below)
// and are all compiled for AVX2: with AVX-512 the schedule's rotations are
// single VPRORQs and its three-way XORs single VPTERNLOGQs, written as
// one-instruction asm on the sixteen AVX2 registers. (Given the AVX-512
// registers, GCC computes the whole schedule ahead of the rounds, which
// then wait for it.) Whether GCC schedules for register pressure before
// allocating is chosen per build by what measured faster on a Zen 5.
#define NXVT_SHA512_VECTOR __attribute__((target("avx2,bmi,bmi2")))
#if defined(__GNUC__) && !defined(__clang__)
#define NXVT_SHA512_VECTOR_PRESSURE \
  __attribute__((target("avx2,bmi,bmi2"), optimize("schedule-insns,sched-pressure")))
#else
#define NXVT_SHA512_VECTOR_PRESSURE NXVT_SHA512_VECTOR
#endif

template <int N>
NXVT_SHA512_VECTOR inline __m128i Ror2(__m128i x) {
  return _mm_or_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}
template <int N>
NXVT_SHA512_VECTOR inline __m128i Ror2Evex(__m128i x) {
  __m128i r;
  __asm__("vprorq %[n], %[x], %[r]" : [r] "=x"(r) : [x] "x"(x), [n] "i"(N));
  return r;
}
NXVT_SHA512_VECTOR inline __m128i Xor3Evex(__m128i x, __m128i y, __m128i z) {
  __asm__("vpternlogq $0x96, %[y], %[x], %[z]" : [z] "+x"(z) : [x] "x"(x), [y] "x"(y));
  return z;
}

// The small sigmas on two words: ROTR^1 ^ ROTR^8 ^ SHR^7 and
// ROTR^19 ^ ROTR^61 ^ SHR^6.
NXVT_SHA512_VECTOR inline __m128i Avx2Sigma0(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(Ror2<1>(x), Ror2<8>(x)), _mm_srli_epi64(x, 7));
}
NXVT_SHA512_VECTOR inline __m128i Avx2Sigma1(__m128i x) {
  return _mm_xor_si128(_mm_xor_si128(Ror2<19>(x), Ror2<61>(x)), _mm_srli_epi64(x, 6));
}
NXVT_SHA512_VECTOR inline __m128i Avx512Sigma0(__m128i x) {
  return Xor3Evex(Ror2Evex<1>(x), Ror2Evex<8>(x), _mm_srli_epi64(x, 7));
}
NXVT_SHA512_VECTOR inline __m128i Avx512Sigma1(__m128i x) {
  return Xor3Evex(Ror2Evex<19>(x), Ror2Evex<61>(x), _mm_srli_epi64(x, 6));
}

#define SHA512_PLUS_K(w, i) _mm_add_epi64((w), _mm_loadu_si128(reinterpret_cast<const __m128i*>(kK + (i))))

// x[k] holds W[i + 2k] and W[i + 2k + 1] of the sixteen-word window; the
// pair moves sixteen words on. sigma1 of the pair before is the long path
// (the pairs form one chain), so it is added last.
#define SHA512_NEXT_PAIR(SIGMA0, SIGMA1, k)                                                   \
  do {                                                                                       \
    const __m128i w15 = _mm_alignr_epi8(x[((k) + 1) & 7], x[k], 8);                          \
    const __m128i w7 = _mm_alignr_epi8(x[((k) + 5) & 7], x[((k) + 4) & 7], 8);               \
    x[k] = _mm_add_epi64(_mm_add_epi64(_mm_add_epi64(x[k], SIGMA0(w15)), w7), SIGMA1(x[((k) + 7) & 7])); \
  } while (0)

// One round, W + K in wk. S1(e) and S0(a) are the long paths: the new e is
// summed as (d + h + W + K) + Ch + S1 and the new a as (new e - d) +
// (b & c) + (a & (b ^ c)) + S0 (T1 is the new e less d; Maj's two parts
// have no bit in common), so a single addition follows each sigma and T1
// costs no addition of its own.
#define SHA512_VROUND(a, b, c, d, e, f, g, h, wk)   \
  do {                                             \
    const uint64_t hk = h + (wk);                  \
    const uint64_t ch = ((f ^ g) & e) ^ g;         \
    const uint64_t e1 = S1(e);                     \
    const uint64_t m = (b & c) - d;                \
    d = ((d + hk) + ch) + e1;                      \
    const uint64_t ab = a ^ b;                     \
    h = ((d + m) + (a & bc)) + S0(a);              \
    bc = ab;                                       \
  } while (0)

// Rounds i + 2k and i + 2k + 1 with W + K taken straight from x[k], then
// the pair moves sixteen words on.
#define SHA512_VPAIR(SIGMA0, SIGMA1, k, a, b, c, d, e, f, g, h)                                \
  do {                                                                                        \
    const __m128i wk = SHA512_PLUS_K(x[k], i + 2 * (k));                                      \
    SHA512_VROUND(a, b, c, d, e, f, g, h, static_cast<uint64_t>(_mm_cvtsi128_si64(wk)));    \
    SHA512_VROUND(h, a, b, c, d, e, f, g, static_cast<uint64_t>(_mm_extract_epi64(wk, 1))); \
    if (i < 64) SHA512_NEXT_PAIR(SIGMA0, SIGMA1, k);                                          \
  } while (0)

// Indexed by constants only, x stays in registers (loaded in a loop, it went
// through the stack: 3 % slower for a block on its own on Zen 5).
#define SHA512_LOAD_PAIR(k, from) \
  x[k] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>((from) + 16 * (k))), byteSwap)
#define SHA512_FOR_PAIRS(OP, arg) \
  do {                            \
    OP(0, arg);                   \
    OP(1, arg);                   \
    OP(2, arg);                   \
    OP(3, arg);                   \
    OP(4, arg);                   \
    OP(5, arg);                   \
    OP(6, arg);                   \
    OP(7, arg);                   \
  } while (0)

// One block, the rounds taking each W + K from the schedule's registers
// as soon as it is made: the shortest path for a block on its own (a trip
// through memory would hold the rounds up by a store and a reload). The
// caller loops over a few blocks.
#define SHA512_INTERLEAVED_BODY(SIGMA0, SIGMA1)                                                         \
  {                                                                                                    \
    const __m128i byteSwap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);       \
    __m128i x[8];                                                                                      \
    SHA512_FOR_PAIRS(SHA512_LOAD_PAIR, data);                                                          \
    uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];   \
    uint64_t bc = b ^ c;                                                                               \
    _Pragma("GCC unroll 5") for (int i = 0; i < 80; i += 16) {                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 0, a, b, c, d, e, f, g, h);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 1, g, h, a, b, c, d, e, f);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 2, e, f, g, h, a, b, c, d);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 3, c, d, e, f, g, h, a, b);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 4, a, b, c, d, e, f, g, h);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 5, g, h, a, b, c, d, e, f);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 6, e, f, g, h, a, b, c, d);                                         \
      SHA512_VPAIR(SIGMA0, SIGMA1, 7, c, d, e, f, g, h, a, b);                                         \
    }                                                                                                  \
    FeedForward(st, a, b, c, d, e, f, g, h);                                                           \
    /* The schedule registers hold message words; clear them. */                                      \
    _mm256_zeroall();                                                                                  \
  }

// Loads block `from` into x and stores its first sixteen W + K at `to`. In
// the pipelined body this stays a loop: written out, GCC placed the rounds
// worse there (2 to 3 % slower on Zen 5).
#define SHA512_LOAD_STORE_PAIR(k, from, to)                                                     \
  do {                                                                                         \
    SHA512_LOAD_PAIR(k, from);                                                                 \
    _mm_store_si128(reinterpret_cast<__m128i*>((to) + 2 * (k)), SHA512_PLUS_K(x[k], 2 * (k))); \
  } while (0)
#define SHA512_LOAD_BLOCK(from, to) \
  for (int k = 0; k < 8; ++k) SHA512_LOAD_STORE_PAIR(k, from, to)

// Pair k of the block being scheduled moves sixteen words on; its W + K
// goes to `to` for that block's rounds.
#define SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, k, to)                                                    \
  do {                                                                                                  \
    SHA512_NEXT_PAIR(SIGMA0, SIGMA1, k);                                                                \
    _mm_store_si128(reinterpret_cast<__m128i*>((to) + i + 16 + 2 * (k)), SHA512_PLUS_K(x[k], i + 16 + 2 * (k))); \
  } while (0)

#define SHA512_8_ROUNDS(w)                              \
  do {                                                  \
    SHA512_VROUND(a, b, c, d, e, f, g, h, (w)[0]);      \
    SHA512_VROUND(h, a, b, c, d, e, f, g, (w)[1]);      \
    SHA512_VROUND(g, h, a, b, c, d, e, f, (w)[2]);      \
    SHA512_VROUND(f, g, h, a, b, c, d, e, (w)[3]);      \
    SHA512_VROUND(e, f, g, h, a, b, c, d, (w)[4]);      \
    SHA512_VROUND(d, e, f, g, h, a, b, c, (w)[5]);      \
    SHA512_VROUND(c, d, e, f, g, h, a, b, (w)[6]);      \
    SHA512_VROUND(b, c, d, e, f, g, h, a, (w)[7]);      \
  } while (0)

// Many blocks: the schedule of block n + 1 runs beside the rounds of block
// n, which read their W + K from memory written a block earlier. The rounds
// then never wait for the schedule, whose chain of pairs is as long as the
// rounds' own where vector operations take two cycles. The first block's
// schedule runs alone; the last block schedules itself once more (its
// words are in range, the result is not read).
#define SHA512_PIPELINED_BODY(SIGMA0, SIGMA1)                                                    \
  {                                                                                             \
    const __m128i byteSwap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7); \
    alignas(16) uint64_t wk[2][80];                                                             \
    __m128i x[8];                                                                               \
    uint64_t* cur = wk[0];                                                                      \
    uint64_t* nxt = wk[1];                                                                      \
    SHA512_LOAD_BLOCK(data, cur);                                                               \
    _Pragma("GCC unroll 4") for (int i = 0; i < 64; i += 16) {                                  \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 0, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 1, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 2, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 3, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 4, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 5, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 6, cur);                                           \
      SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 7, cur);                                           \
    }                                                                                           \
    for (size_t n = 0; n < blocks; ++n) {                                                       \
      const unsigned char* next = n + 1 < blocks ? data + 128 : data;                           \
      SHA512_LOAD_BLOCK(next, nxt);                                                             \
      uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7]; \
      uint64_t bc = b ^ c;                                                                      \
      _Pragma("GCC unroll 4") for (int i = 0; i < 64; i += 16) {                                \
        SHA512_8_ROUNDS(cur + i);                                                               \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 0, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 1, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 2, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 3, nxt);                                         \
        SHA512_8_ROUNDS(cur + i + 8);                                                           \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 4, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 5, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 6, nxt);                                         \
        SHA512_STORE_NEXT_PAIR(SIGMA0, SIGMA1, 7, nxt);                                         \
      }                                                                                         \
      SHA512_8_ROUNDS(cur + 64);                                                                \
      SHA512_8_ROUNDS(cur + 72);                                                                \
      FeedForward(st, a, b, c, d, e, f, g, h);                                                  \
      uint64_t* const done = cur;                                                               \
      cur = nxt;                                                                                \
      nxt = done;                                                                               \
      data = next;                                                                              \
    }                                                                                           \
    Wipe(wk, sizeof wk);                                                                        \
    _mm256_zeroall();                                                                           \
  }

NXVT_SHA512_VECTOR void Avx2Interleaved(uint64_t* st, const unsigned char* data)
    SHA512_INTERLEAVED_BODY(Avx2Sigma0, Avx2Sigma1)
NXVT_SHA512_VECTOR_PRESSURE void Avx2Pipelined(uint64_t* st, const unsigned char* data, size_t blocks)
    SHA512_PIPELINED_BODY(Avx2Sigma0, Avx2Sigma1)
NXVT_SHA512_VECTOR_PRESSURE void Avx512Interleaved(uint64_t* st, const unsigned char* data)
    SHA512_INTERLEAVED_BODY(Avx512Sigma0, Avx512Sigma1)
NXVT_SHA512_VECTOR void Avx512Pipelined(uint64_t* st, const unsigned char* data, size_t blocks)
    SHA512_PIPELINED_BODY(Avx512Sigma0, Avx512Sigma1)
#undef SHA512_PIPELINED_BODY
#undef SHA512_8_ROUNDS
#undef SHA512_STORE_NEXT_PAIR
#undef SHA512_LOAD_BLOCK
#undef SHA512_LOAD_STORE_PAIR
#undef SHA512_FOR_PAIRS
#undef SHA512_LOAD_PAIR
#undef SHA512_INTERLEAVED_BODY
#undef SHA512_VPAIR
#undef SHA512_VROUND
#undef SHA512_NEXT_PAIR
#undef SHA512_PLUS_K

// From this many blocks (4 KiB) on, the pipelined builds pay for their
// first block's schedule running alone.
constexpr size_t kPipelineBlocks = 32;

void Sha512Compress(NXVT_DIGEST_CTX* ctx, unsigned char* block) { NXVT_SHA512_Blocks(ctx->w64.state, block, 1); }

// 128-bit big-endian bit count in the last 16 bytes.
void Sha512Length(unsigned char* block, const NXVT_DIGEST_CTX* ctx) {
  StoreBe64(block + 112, ctx->w64.count[1]);
  StoreBe64(block + 120, ctx->w64.count[0]);
}

void Sha512Output(unsigned char* out, const NXVT_DIGEST_CTX* ctx) {
  for (int i = 0; i < 8; ++i) StoreBe64(out + 8 * i, ctx->w64.state[i]);
}

}  // namespace

const NXVT_DIGEST_DESC NXVT_SHA512_DESC = {64, Sha512Init, Sha512Compress, Sha512Length, Sha512Output};

void NXVT_SHA512_Blocks(uint64_t* state, const unsigned char* data, size_t blocks) {
  if (blocks == 0) return;
  const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
  if (!f.avx2 || !f.bmi2) {
    PortableBlocks(state, data, blocks);
  } else if (blocks >= kPipelineBlocks) {
    (f.avx512 ? Avx512Pipelined : Avx2Pipelined)(state, data, blocks);
  } else {
    const auto one = f.avx512 ? Avx512Interleaved : Avx2Interleaved;
    for (size_t n = 0; n < blocks; ++n) one(state, data + 128 * n);
  }
}
