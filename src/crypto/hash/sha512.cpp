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
  do {                                                                                      \
    /* S1(e) is the long path: the rest of the new e and a is summed while it runs. */      \
    const uint64_t t1 = (h + kK[i + (j)] + w[j]) + (((f ^ g) & e) ^ g);                     \
    const uint64_t e1 = S1(e);                                                              \
    const uint64_t ab = a ^ b;                                                              \
    const uint64_t t2 = S0(a) + (b ^ (ab & bc));                                            \
    bc = ab;                                                                                \
    d = (d + t1) + e1;                                                                      \
    h = (t1 + t2) + e1;                                                                     \
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

// The vector builds: the message schedule runs in 128-bit halves, two
// words of one block per half, beside scalar rounds that use the BMI
// rotation RORX and read W + K from memory. A run of blocks is taken two at
// a time, one block per half of a 256-bit register, so that one vector
// operation schedules both; a block on its own uses one half. The AVX-512
// build differs in the schedule only: its rotations are single VPRORQs and
// its three-way XORs single VPTERNLOGQs, written as one-instruction asm on
// the sixteen AVX2 registers (given the AVX-512 registers, GCC computes the
// whole schedule ahead of the rounds, which then wait for it).
#define NXVT_SHA512_VECTOR __attribute__((target("avx2,bmi,bmi2")))
#define NXVT_SHA512_INLINE __attribute__((target("avx2,bmi,bmi2"), always_inline)) inline

// The schedule's operations on one 128-bit half and on a whole 256-bit
// register alike, each half holding two words of its own block.
NXVT_SHA512_INLINE __m128i Add(__m128i x, __m128i y) { return _mm_add_epi64(x, y); }
NXVT_SHA512_INLINE __m256i Add(__m256i x, __m256i y) { return _mm256_add_epi64(x, y); }
NXVT_SHA512_INLINE __m128i Xor(__m128i x, __m128i y) { return _mm_xor_si128(x, y); }
NXVT_SHA512_INLINE __m256i Xor(__m256i x, __m256i y) { return _mm256_xor_si256(x, y); }
template <int N>
NXVT_SHA512_INLINE __m128i Shr(__m128i x) {
  return _mm_srli_epi64(x, N);
}
template <int N>
NXVT_SHA512_INLINE __m256i Shr(__m256i x) {
  return _mm256_srli_epi64(x, N);
}
template <int N>
NXVT_SHA512_INLINE __m128i Ror(__m128i x) {
  return _mm_or_si128(_mm_srli_epi64(x, N), _mm_slli_epi64(x, 64 - N));
}
template <int N>
NXVT_SHA512_INLINE __m256i Ror(__m256i x) {
  return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
}
// ROTR^8 moves whole bytes: one byte shuffle instead of two shifts and an OR.
NXVT_SHA512_INLINE __m128i RorByte(__m128i x) {
  return _mm_shuffle_epi8(x, _mm_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1));
}
NXVT_SHA512_INLINE __m256i RorByte(__m256i x) {
  return _mm256_shuffle_epi8(x, _mm256_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1, 8, 15, 14, 13,
                                                12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1));
}
// The upper word of lo and the lower word of hi, in each half.
NXVT_SHA512_INLINE __m128i Mid(__m128i hi, __m128i lo) { return _mm_alignr_epi8(hi, lo, 8); }
NXVT_SHA512_INLINE __m256i Mid(__m256i hi, __m256i lo) { return _mm256_alignr_epi8(hi, lo, 8); }

template <int N, class V>
NXVT_SHA512_INLINE V RorEvex(V x) {
  V r;
  __asm__("vprorq %[n], %[x], %[r]" : [r] "=x"(r) : [x] "x"(x), [n] "i"(N));
  return r;
}
template <class V>
NXVT_SHA512_INLINE V Xor3Evex(V x, V y, V z) {
  __asm__("vpternlogq $0x96, %[y], %[x], %[z]" : [z] "+x"(z) : [x] "x"(x), [y] "x"(y));
  return z;
}

// The small sigmas, ROTR^1 ^ ROTR^8 ^ SHR^7 and ROTR^19 ^ ROTR^61 ^ SHR^6.
struct Avx2Sigmas {
  static constexpr bool kPairAhead = true;  // see TwoBlocks
  template <class V>
  NXVT_SHA512_INLINE static V Sigma0(V x) {
    return Xor(Xor(Ror<1>(x), RorByte(x)), Shr<7>(x));
  }
  template <class V>
  NXVT_SHA512_INLINE static V Sigma1(V x) {
    return Xor(Xor(Ror<19>(x), Ror<61>(x)), Shr<6>(x));
  }
};
struct Avx512Sigmas {
  static constexpr bool kPairAhead = false;
  template <class V>
  NXVT_SHA512_INLINE static V Sigma0(V x) {
    return Xor3Evex(RorEvex<1>(x), RorEvex<8>(x), Shr<7>(x));
  }
  template <class V>
  NXVT_SHA512_INLINE static V Sigma1(V x) {
    return Xor3Evex(RorEvex<19>(x), RorEvex<61>(x), Shr<6>(x));
  }
};

// Each pair of K twice, for both halves of a 256-bit register.
struct KTwice {
  alignas(32) uint64_t w[160];
};
constexpr KTwice MakeKTwice() {
  KTwice t{};
  for (int j = 0; j < 40; ++j) {
    t.w[4 * j] = t.w[4 * j + 2] = kK[2 * j];
    t.w[4 * j + 1] = t.w[4 * j + 3] = kK[2 * j + 1];
  }
  return t;
}
constexpr KTwice kK2 = MakeKTwice();

// x[k] holds W[t + 2k] and W[t + 2k + 1] of the sixteen-word window (in
// each half); the pair moves sixteen words on. sigma1 of the pair before is
// the long path (the pairs form one chain), so it is added last.
#define SHA512_NEXT_PAIR(S, k)                                                                            \
  x[k] = Add(Add(Add(x[k], S::Sigma0(Mid(x[((k) + 1) & 7], x[k]))), Mid(x[((k) + 5) & 7], x[((k) + 4) & 7])), \
             S::Sigma1(x[((k) + 7) & 7]))

// A round, W + K at wk, in a fixed order: the e side first (S1 and Ch), the
// new e, then the a side (S0 and Maj) as the two RORX units come free. The
// order of a round's operations changes its time by a few percent to a
// third; this one was chosen among some two hundred that keep its
// dependencies, timed on a Zen 5 (rounds alone, beside the schedule and
// single blocks) and modelled for Zen 2, Zen 3 and Skylake with llvm-mca:
// it is among the fastest on each of them. Rounds with schedule
// work beside them take it too: left to GCC, such rounds came out a tenth
// slower than these on a Zen 5. Two temporaries: Ch is made in ab before
// ab takes a ^ b, and S0 in the one that held S1. With a third, GCC ran
// out of registers for the state beside the schedule's pointers and the
// two-block loop spilled it. Maj uses bc (b ^ c) up and leaves a ^ b in
// ab, the next round's bc; the rounds alternate the two names.
#define SHA512_ROUND(a, b, d, e, f, g, h, wk, bc, ab)                                                      \
  do {                                                                                                     \
    uint64_t t0, t1;                                                                                       \
    __asm__("rorx $18, %[E], %[T1]\n\t"                                                                    \
            "add %[Wk], %[H]\n\t"                                                                          \
            "rorx $14, %[E], %[T0]\n\t"                                                                    \
            "mov %[F], %[Ab]\n\t"                                                                          \
            "xor %[T0], %[T1]\n\t"                                                                         \
            "xor %[G], %[Ab]\n\t"                                                                          \
            "and %[E], %[Ab]\n\t"                                                                          \
            "rorx $41, %[E], %[T0]\n\t"                                                                    \
            "xor %[G], %[Ab]\n\t"                                                                          \
            "xor %[T0], %[T1]\n\t"                                                                         \
            "add %[Ab], %[H]\n\t"                                                                          \
            "rorx $28, %[A], %[T0]\n\t"                                                                    \
            "add %[T1], %[H]\n\t"                                                                          \
            "rorx $34, %[A], %[T1]\n\t"                                                                    \
            "mov %[A], %[Ab]\n\t"                                                                          \
            "xor %[B], %[Ab]\n\t"                                                                          \
            "add %[H], %[D]\n\t"                                                                           \
            "xor %[T0], %[T1]\n\t"                                                                         \
            "and %[Ab], %[Bc]\n\t"                                                                         \
            "rorx $39, %[A], %[T0]\n\t"                                                                    \
            "xor %[T0], %[T1]\n\t"                                                                         \
            "add %[T1], %[H]\n\t"                                                                          \
            "xor %[B], %[Bc]\n\t"                                                                          \
            "add %[Bc], %[H]"                                                                              \
            : [D] "+r"(d), [H] "+r"(h), [Bc] "+r"(bc), [Ab] "=&r"(ab), [T0] "=&r"(t0), [T1] "=&r"(t1)      \
            : [A] "r"(a), [B] "r"(b), [E] "r"(e), [F] "r"(f), [G] "r"(g), [Wk] "m"(wk));                   \
  } while (0)

// Four rounds, W + K of round j0 + j at WK(j0 + j), the working variables
// named from a: the first half of a turn of eight rounds takes them as
// they are, the second half four places on.
#define SHA512_4_ROUNDS(WK, j0, a, b, c, d, e, f, g, h)      \
  do {                                                       \
    SHA512_ROUND(a, b, d, e, f, g, h, WK((j0) + 0), bc, ab); \
    SHA512_ROUND(h, a, c, d, e, f, g, WK((j0) + 1), ab, bc); \
    SHA512_ROUND(g, h, b, c, d, e, f, WK((j0) + 2), bc, ab); \
    SHA512_ROUND(f, g, a, b, c, d, e, WK((j0) + 3), ab, bc); \
  } while (0)
#define SHA512_4_ROUNDS_LO(WK, j0) SHA512_4_ROUNDS(WK, j0, a, b, c, d, e, f, g, h)
#define SHA512_4_ROUNDS_HI(WK, j0) SHA512_4_ROUNDS(WK, j0, e, f, g, h, a, b, c, d)
// Sixteen rounds, with nothing beside them.
#define SHA512_16_ROUNDS(WK)      \
  do {                            \
    SHA512_4_ROUNDS_LO(WK, 0);    \
    SHA512_4_ROUNDS_HI(WK, 4);    \
    SHA512_4_ROUNDS_LO(WK, 8);    \
    SHA512_4_ROUNDS_HI(WK, 12);   \
  } while (0)
// Sixteen rounds with four schedule steps k0 .. k0 + 3 beside them, one
// after every four rounds.
#define SHA512_16_ROUNDS_BESIDE_4(WK, NEXT, k0) \
  do {                                          \
    SHA512_4_ROUNDS_LO(WK, 0);                  \
    NEXT((k0) + 0);                             \
    SHA512_4_ROUNDS_HI(WK, 4);                  \
    NEXT((k0) + 1);                             \
    SHA512_4_ROUNDS_LO(WK, 8);                  \
    NEXT((k0) + 2);                             \
    SHA512_4_ROUNDS_HI(WK, 12);                 \
    NEXT((k0) + 3);                             \
  } while (0)

#define SHA512_FOR_PAIRS(OP) \
  do {                       \
    OP(0);                   \
    OP(1);                   \
    OP(2);                   \
    OP(3);                   \
    OP(4);                   \
    OP(5);                   \
    OP(6);                   \
    OP(7);                   \
  } while (0)

// The big-endian words of a block, two per 128-bit half.
NXVT_SHA512_INLINE __m128i LoadPair(const unsigned char* p) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                          _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
}
// Two words of the block at p in the lower half, the same two of the next
// block in the upper half.
NXVT_SHA512_INLINE __m256i LoadPairs(const unsigned char* p) {
  const __m128i swap = _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
  return _mm256_shuffle_epi8(
      _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 128)), 1),
      _mm256_broadcastsi128_si256(swap));
}
NXVT_SHA512_INLINE void StorePlusK(uint64_t* to, __m128i w, const uint64_t* k) {
  _mm_store_si128(reinterpret_cast<__m128i*>(to), Add(w, _mm_loadu_si128(reinterpret_cast<const __m128i*>(k))));
}
NXVT_SHA512_INLINE void StorePlusK(uint64_t* to, __m256i w, const uint64_t* k) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(to), Add(w, _mm256_load_si256(reinterpret_cast<const __m256i*>(k))));
}

// Where W + K go. A block alone: two words per 128-bit half, through a ring
// of two sixteen-word chunks (rounds i .. i + 15 read one chunk while words
// i + 16 .. i + 31 fill the other). Two blocks: two words of each per
// 256-bit register, into a buffer of all eighty, wk[4j .. 4j + 3] holding
// words 2j and 2j + 1 of the first block, then of the second (whose rounds
// come after and read them all).
struct OneBlockLayout {
  using V = __m128i;
  static constexpr int kStride = 2;  // from one pair of a block's words to the next
  NXVT_SHA512_INLINE static V Load(const unsigned char* p) { return LoadPair(p); }
  static const uint64_t* K() { return kK; }
  static uint64_t* Chunk(uint64_t* wk, int m) { return wk + 16 * (m & 1); }
};
struct TwoBlockLayout {
  using V = __m256i;
  static constexpr int kStride = 4;
  NXVT_SHA512_INLINE static V Load(const unsigned char* p) { return LoadPairs(p); }
  static const uint64_t* K() { return kK2.w; }
  static uint64_t* Chunk(uint64_t* wk, int m) { return wk + 32 * m; }
};

// Adds the working variables into the chaining value read again from
// memory: the asm rounds leave it there untouched, and GCC would otherwise
// keep the value it loaded at the block's start in stack slots until here,
// a copy nothing wipes (for HMAC the chaining value is as good as the key).
NXVT_SHA512_INLINE void FeedForwardFromMemory(uint64_t* st, uint64_t a, uint64_t b, uint64_t c, uint64_t d,
                                              uint64_t e, uint64_t f, uint64_t g, uint64_t h) {
  __asm__ volatile("" : : : "memory");
  FeedForward(st, a, b, c, d, e, f, g, h);
}

// The rounds of the block at data beside its schedule, which runs sixteen
// words ahead of them, two steps of it after every four rounds (in the
// two-block layout it schedules the next block too, in the upper halves).
// The last sixteen rounds have nothing beside them.
template <class S, class L>
NXVT_SHA512_INLINE void ScheduledBlock(uint64_t* st, const unsigned char* data, uint64_t* wk) {
  typename L::V x[8];
#define SHA512_LOAD(k)                                                                    \
  do {                                                                                    \
    x[k] = L::Load(data + 16 * (k));                                                      \
    StorePlusK(L::Chunk(wk, 0) + L::kStride * (k), x[k], L::K() + L::kStride * (k));      \
  } while (0)
  SHA512_FOR_PAIRS(SHA512_LOAD);
#undef SHA512_LOAD
  uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];
  uint64_t bc = b ^ c, ab;
#define SHA512_NEXT(k)                                                     \
  do {                                                                     \
    SHA512_NEXT_PAIR(S, k);                                                \
    StorePlusK(ahead + L::kStride * (k), x[k], kAhead + L::kStride * (k)); \
  } while (0)
#define SHA512_NEXT_TWO(k)      \
  do {                          \
    SHA512_NEXT(2 * (k));       \
    SHA512_NEXT(2 * (k) + 1);   \
  } while (0)
#define SHA512_WK(j) now[L::kStride * ((j) >> 1) + ((j) & 1)]
  for (int m = 0; m < 4; ++m) {
    const uint64_t* const now = L::Chunk(wk, m);
    uint64_t* const ahead = L::Chunk(wk, m + 1);
    const uint64_t* const kAhead = L::K() + L::kStride * 8 * (m + 1);
    SHA512_16_ROUNDS_BESIDE_4(SHA512_WK, SHA512_NEXT_TWO, 0);
  }
  {
    const uint64_t* const now = L::Chunk(wk, 4);
    SHA512_16_ROUNDS(SHA512_WK);
  }
#undef SHA512_WK
#undef SHA512_NEXT_TWO
#undef SHA512_NEXT
  FeedForwardFromMemory(st, a, b, c, d, e, f, g, h);
}

template <class S>
NXVT_SHA512_VECTOR void OneBlock(uint64_t* st, const unsigned char* data) {
  alignas(16) uint64_t wk[32];
  ScheduledBlock<S, OneBlockLayout>(st, data, wk);
  Wipe(wk, sizeof wk);
  // The schedule registers hold message words; clear them.
  _mm256_zeroall();
}

// W + K of round j of a pair's block, the first block's (kHalf 0) or the
// second's (kHalf 2), in the two-block layout.
#define SHA512_WK_OF(j) now[4 * ((j) >> 1) + kHalf + ((j) & 1)]

// The 80 rounds of one block of a pair, its W + K at wk, with nothing
// beside them.
template <int kHalf>
NXVT_SHA512_INLINE void PairBlock(uint64_t* st, const uint64_t* wk) {
  uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];
  uint64_t bc = b ^ c, ab;
  for (int m = 0; m < 5; ++m) {
    const uint64_t* const now = wk + 32 * m;
    SHA512_16_ROUNDS(SHA512_WK_OF);
  }
  FeedForwardFromMemory(st, a, b, c, d, e, f, g, h);
}

// The same beside two sixteen-word chunks of the next pair's schedule,
// chunks `chunk` and `chunk` + 1 of `ahead` from the window x: a step of it
// after every four of the first 64 rounds.
template <class S, int kHalf>
NXVT_SHA512_INLINE void PairBlockBeside(uint64_t* st, const uint64_t* wk, __m256i* x, uint64_t* ahead, int chunk) {
  uint64_t a = st[0], b = st[1], c = st[2], d = st[3], e = st[4], f = st[5], g = st[6], h = st[7];
  uint64_t bc = b ^ c, ab;
#define SHA512_NEXT(k)                                 \
  do {                                                 \
    SHA512_NEXT_PAIR(S, k);                            \
    StorePlusK(to + 4 * (k), x[k], kTo + 4 * (k));     \
  } while (0)
  for (int q = 0; q < 2; ++q) {
    uint64_t* const to = ahead + 32 * (chunk + q);
    const uint64_t* const kTo = kK2.w + 32 * (chunk + q);
    const uint64_t* now = wk + 64 * q;
    SHA512_16_ROUNDS_BESIDE_4(SHA512_WK_OF, SHA512_NEXT, 0);
    now += 32;
    SHA512_16_ROUNDS_BESIDE_4(SHA512_WK_OF, SHA512_NEXT, 4);
  }
#undef SHA512_NEXT
  const uint64_t* const now = wk + 128;
  SHA512_16_ROUNDS(SHA512_WK_OF);
  FeedForwardFromMemory(st, a, b, c, d, e, f, g, h);
}
#undef SHA512_WK_OF

// Two blocks at a time, the first in the lower halves and the second in
// the upper ones, so that one schedule step serves both. The first pair's
// schedule runs beside its first block's rounds. With the AVX2 schedule,
// which takes about as many instructions as the rounds beside it, the
// schedule then runs a pair ahead, spread over both blocks' rounds: the
// second block of pair p makes words 0 .. 47 of pair p + 1, whose first
// block makes the rest beside its own first rounds, well before its rounds
// 48 .. 79 read them. The AVX-512 schedule is short enough to run beside
// each pair's first block (spread, it cost a percent more on a Zen 5; the
// AVX2 one cost two percent more beside the first block alone).
template <class S>
NXVT_SHA512_VECTOR void TwoBlocks(uint64_t* st, const unsigned char* data, size_t pairs) {
  alignas(32) uint64_t wk[2][160];
  if constexpr (!S::kPairAhead) {
    for (; pairs > 0; --pairs, data += 256) {
      ScheduledBlock<S, TwoBlockLayout>(st, data, wk[0]);
      PairBlock<2>(st, wk[0]);
    }
  } else {
    ScheduledBlock<S, TwoBlockLayout>(st, data, wk[0]);
    for (size_t p = 0; p + 1 < pairs; ++p) {
      const uint64_t* const now = wk[p & 1];
      uint64_t* const next = wk[(p + 1) & 1];
      data += 256;
      __m256i x[8];
#define SHA512_LOAD(k)                                   \
  do {                                                   \
    x[k] = LoadPairs(data + 16 * (k));                   \
    StorePlusK(next + 4 * (k), x[k], kK2.w + 4 * (k));   \
  } while (0)
      SHA512_FOR_PAIRS(SHA512_LOAD);
#undef SHA512_LOAD
      PairBlockBeside<S, 2>(st, now, x, next, 1);
      PairBlockBeside<S, 0>(st, next, x, next, 3);
    }
    PairBlock<2>(st, wk[(pairs - 1) & 1]);
  }
  Wipe(wk, sizeof wk);
  _mm256_zeroall();
}
#undef SHA512_FOR_PAIRS
#undef SHA512_16_ROUNDS_BESIDE_4
#undef SHA512_16_ROUNDS
#undef SHA512_4_ROUNDS_HI
#undef SHA512_4_ROUNDS_LO
#undef SHA512_4_ROUNDS
#undef SHA512_ROUND
#undef SHA512_NEXT_PAIR

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
  const NXVT_CPU_FEATURES& f = NXVT_CpuFeatures();
  if (!f.avx2 || !f.bmi2) {
    PortableBlocks(state, data, blocks);
    return;
  }
  if (blocks >= 2) (f.avx512 ? TwoBlocks<Avx512Sigmas> : TwoBlocks<Avx2Sigmas>)(state, data, blocks / 2);
  if (blocks % 2 != 0) (f.avx512 ? OneBlock<Avx512Sigmas> : OneBlock<Avx2Sigmas>)(state, data + 128 * (blocks - 1));
}
