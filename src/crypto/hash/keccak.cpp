// Keccak-f[1600] and the one-shot sponge with the original Keccak padding
// (0x01 after the message, 0x80 at the end of the rate), as used by the
// Keccak-224/256/384/512 hash ids.
#include "crypto/hash/keccak.h"

#include <immintrin.h>

#include <cstring>

#include "crypto/cpu_features.h"
#include "crypto/digest_util.h"
#include "platform/memory.h"

namespace {

constexpr uint64_t kRoundConst[24] = {
    0x0000000000000001ull, 0x0000000000008082ull, 0x800000000000808aull, 0x8000000080008000ull,
    0x000000000000808bull, 0x0000000080000001ull, 0x8000000080008081ull, 0x8000000000008009ull,
    0x000000000000008aull, 0x0000000000000088ull, 0x0000000080008009ull, 0x000000008000000aull,
    0x000000008000808bull, 0x800000000000008bull, 0x8000000000008089ull, 0x8000000000008003ull,
    0x8000000000008002ull, 0x8000000000000080ull, 0x000000000000800aull, 0x800000008000000aull,
    0x8000000080008081ull, 0x8000000000008080ull, 0x0000000080000001ull, 0x8000000080008008ull};

// The pi walk from lane (1, 0): each lane index with the rho offset (the
// triangular numbers mod 64) of the lane that moves into it.
constexpr int kPiLane[24] = {10, 7, 11, 17, 18, 3, 5, 16, 8, 21, 24, 4, 15, 23, 19, 13, 12, 2, 20, 14, 22, 9, 6, 1};
constexpr int kRhoOffset[24] = {1,  3,  6,  10, 15, 21, 28, 36, 45, 55, 2,  14,
                                27, 41, 56, 8,  25, 43, 62, 18, 39, 61, 20, 44};

inline uint64_t Rotl(uint64_t x, int n) { return n == 0 ? x : (x << n) | (x >> (64 - n)); }

constexpr int kStateBytes = 200;

}  // namespace

namespace {

// The 24 rounds on the state as 25 lanes. The loops are unrolled, so every
// index and rotation is a constant and the lanes stay in registers.
void Rounds(uint64_t* a) {
  uint64_t c[5];
  for (int round = 0; round < 24; ++round) {
    // theta
#pragma GCC unroll 5
    for (int x = 0; x < 5; ++x) c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
#pragma GCC unroll 5
    for (int x = 0; x < 5; ++x) {
      const uint64_t d = c[(x + 4) % 5] ^ Rotl(c[(x + 1) % 5], 1);
#pragma GCC unroll 5
      for (int y = 0; y < 25; y += 5) a[y + x] ^= d;
    }
    // rho and pi together, along the single 24-lane cycle
    uint64_t carry = a[1];
#pragma GCC unroll 24
    for (int i = 0; i < 24; ++i) {
      const int j = kPiLane[i];
      const uint64_t next = a[j];
      a[j] = Rotl(carry, kRhoOffset[i]);
      carry = next;
    }
    // chi, row by row from the row's old values
#pragma GCC unroll 5
    for (int y = 0; y < 25; y += 5) {
#pragma GCC unroll 5
      for (int x = 0; x < 5; ++x) c[x] = a[y + x];
#pragma GCC unroll 5
      for (int x = 0; x < 5; ++x) a[y + x] = c[x] ^ (~c[(x + 1) % 5] & c[(x + 2) % 5]);
    }
    // iota
    a[0] ^= kRoundConst[round];
  }
  Wipe(c, sizeof c);
}

// The unrolled round. Lanes are named A<y><x> with rows b g k m s and
// columns a e i o u (lane x + 5y of the state). A round goes from the A
// lanes to the E lanes and the next one back, so the 25 lanes stay in
// registers (or their spill slots) and pi moves nothing: each output row
// reads its five lanes by name.

// theta: column parities c0..c4 and the value d0..d4 each column takes in.
#define KECCAK_THETA(A)                                             \
  c0 = Xor5(A##ba, A##ga, A##ka, A##ma, A##sa);                     \
  c1 = Xor5(A##be, A##ge, A##ke, A##me, A##se);                     \
  c2 = Xor5(A##bi, A##gi, A##ki, A##mi, A##si);                     \
  c3 = Xor5(A##bo, A##go, A##ko, A##mo, A##so);                     \
  c4 = Xor5(A##bu, A##gu, A##ku, A##mu, A##su);                     \
  d0 = Xor(c4, Rol<1>(c1));                                         \
  d1 = Xor(c0, Rol<1>(c2));                                         \
  d2 = Xor(c1, Rol<1>(c3));                                         \
  d3 = Xor(c2, Rol<1>(c4));                                         \
  d4 = Xor(c3, Rol<1>(c0))

// theta's share and rho for the five lanes pi brings into one output row,
// each with its column's d and its rotation.
#define KECCAK_GATHER(a0, d0, r0, a1, d1, r1, a2, d2, r2, a3, d3, r3, a4, d4, r4) \
  b0 = Rol<r0>(Xor(a0, d0));                                                      \
  b1 = Rol<r1>(Xor(a1, d1));                                                      \
  b2 = Rol<r2>(Xor(a2, d2));                                                      \
  b3 = Rol<r3>(Xor(a3, d3));                                                      \
  b4 = Rol<r4>(Xor(a4, d4))

// The lanes of output rows b, g, k, m and s: pi takes lane (x, y) to
// (y, 2x + 3y); the offsets are rho's triangular numbers mod 64.
#define KECCAK_ROW_B(A) KECCAK_GATHER(A##ba, d0, 0, A##ge, d1, 44, A##ki, d2, 43, A##mo, d3, 21, A##su, d4, 14)
#define KECCAK_ROW_G(A) KECCAK_GATHER(A##bo, d3, 28, A##gu, d4, 20, A##ka, d0, 3, A##me, d1, 45, A##si, d2, 61)
#define KECCAK_ROW_K(A) KECCAK_GATHER(A##be, d1, 1, A##gi, d2, 6, A##ko, d3, 25, A##mu, d4, 8, A##sa, d0, 18)
#define KECCAK_ROW_M(A) KECCAK_GATHER(A##bu, d4, 27, A##ga, d0, 36, A##ke, d1, 10, A##mi, d2, 15, A##so, d3, 56)
#define KECCAK_ROW_S(A) KECCAK_GATHER(A##bi, d2, 62, A##go, d3, 55, A##ku, d4, 39, A##ma, d0, 41, A##se, d1, 2)

#define KECCAK_LANES(T, A)                                                                                     \
  T A##ba, A##be, A##bi, A##bo, A##bu, A##ga, A##ge, A##gi, A##go, A##gu, A##ka, A##ke, A##ki, A##ko, A##ku, \
      A##ma, A##me, A##mi, A##mo, A##mu, A##sa, A##se, A##si, A##so, A##su

// Lane i of the state, in the order the names are declared.
#define KECCAK_FOR_LANES(OP, A)                                                                                \
  OP(0, A##ba); OP(1, A##be); OP(2, A##bi); OP(3, A##bo); OP(4, A##bu); OP(5, A##ga); OP(6, A##ge);        \
  OP(7, A##gi); OP(8, A##go); OP(9, A##gu); OP(10, A##ka); OP(11, A##ke); OP(12, A##ki); OP(13, A##ko);    \
  OP(14, A##ku); OP(15, A##ma); OP(16, A##me); OP(17, A##mi); OP(18, A##mo); OP(19, A##mu); OP(20, A##sa); \
  OP(21, A##se); OP(22, A##si); OP(23, A##so); OP(24, A##su)

// ---- Scalar lanes with lane complementing --------------------------------
//
// chi's NOT would cost an instruction per lane. Six lanes (be, bi, go, ki,
// mi and sa) are kept complemented instead; with that pattern every row's
// chi takes one NOT at most, the others turning into AND or OR of the
// stored values. The complements go in before the rounds and come out
// after them.

template <int N>
inline uint64_t Rol(uint64_t x) {
  if constexpr (N == 0) {
    return x;
  } else {
    return (x << N) | (x >> (64 - N));
  }
}
inline uint64_t Xor(uint64_t x, uint64_t y) { return x ^ y; }
inline uint64_t Xor5(uint64_t a, uint64_t b, uint64_t c, uint64_t d, uint64_t e) { return a ^ b ^ c ^ d ^ e; }

constexpr int kComplemented[6] = {1, 2, 8, 12, 17, 20};

// One round from the A lanes to the E lanes on the complemented layout.
#define KECCAK_COMPLEMENTED_ROUND(A, E, rc)                                                       \
  do {                                                                                          \
    KECCAK_THETA(A);                                                                            \
    KECCAK_ROW_B(A);                                                                            \
    E##ba = b0 ^ (b1 | b2) ^ (rc);                                                              \
    E##be = b1 ^ (~b2 | b3);                                                                    \
    E##bi = b2 ^ (b3 & b4);                                                                     \
    E##bo = b3 ^ (b4 | b0);                                                                     \
    E##bu = b4 ^ (b0 & b1);                                                                     \
    KECCAK_ROW_G(A);                                                                            \
    E##ga = b0 ^ (b1 | b2);                                                                     \
    E##ge = b1 ^ (b2 & b3);                                                                     \
    E##gi = b2 ^ (b3 | ~b4);                                                                    \
    E##go = b3 ^ (b4 | b0);                                                                     \
    E##gu = b4 ^ (b0 & b1);                                                                     \
    KECCAK_ROW_K(A);                                                                            \
    nb = ~b3;                                                                                   \
    E##ka = b0 ^ (b1 | b2);                                                                     \
    E##ke = b1 ^ (b2 & b3);                                                                     \
    E##ki = b2 ^ (nb & b4);                                                                     \
    E##ko = nb ^ (b4 | b0);                                                                     \
    E##ku = b4 ^ (b0 & b1);                                                                     \
    KECCAK_ROW_M(A);                                                                            \
    nb = ~b3;                                                                                   \
    E##ma = b0 ^ (b1 & b2);                                                                     \
    E##me = b1 ^ (b2 | b3);                                                                     \
    E##mi = b2 ^ (nb | b4);                                                                     \
    E##mo = nb ^ (b4 & b0);                                                                     \
    E##mu = b4 ^ (b0 | b1);                                                                     \
    KECCAK_ROW_S(A);                                                                            \
    nb = ~b1;                                                                                   \
    E##sa = b0 ^ (nb & b2);                                                                     \
    E##se = nb ^ (b2 | b3);                                                                     \
    E##si = b2 ^ (b3 & b4);                                                                     \
    E##so = b3 ^ (b4 | b0);                                                                     \
    E##su = b4 ^ (b0 & b1);                                                                     \
  } while (0)

#define KECCAK_LOAD_LANE(i, lane) lane = a[i]
#define KECCAK_STORE_LANE(i, lane) a[i] = lane

// Built twice: for every x86-64 processor, and with BMI, where the
// compiler has ANDN and the non-destructive rotation RORX.
__attribute__((always_inline)) inline void ComplementedRounds(uint64_t* a) {
  for (int i : kComplemented) a[i] = ~a[i];
  KECCAK_LANES(uint64_t, A);
  KECCAK_LANES(uint64_t, E);
  uint64_t c0, c1, c2, c3, c4, d0, d1, d2, d3, d4, b0, b1, b2, b3, b4, nb;
  KECCAK_FOR_LANES(KECCAK_LOAD_LANE, A);
  for (int round = 0; round < 24; round += 2) {
    KECCAK_COMPLEMENTED_ROUND(A, E, kRoundConst[round]);
    KECCAK_COMPLEMENTED_ROUND(E, A, kRoundConst[round + 1]);
  }
  KECCAK_FOR_LANES(KECCAK_STORE_LANE, A);
  for (int i : kComplemented) a[i] = ~a[i];
}
#undef KECCAK_COMPLEMENTED_ROUND

void UnrolledRounds(uint64_t* a) { ComplementedRounds(a); }
__attribute__((target("bmi,bmi2"))) void BmiRounds(uint64_t* a) { ComplementedRounds(a); }

// ---- AVX-512 lanes ---------------------------------------------------------
//
// A lane per 128-bit register (its low half), 25 of the 32: VPROLQ rotates
// a lane in one instruction, VPTERNLOGQ does theta's five-way XOR in two and
// chi's a ^ (~b & c) in one. Under valgrind, whose processor has no
// AVX-512, the scalar builds run instead.
#define NXVT_KECCAK_AVX512 __attribute__((target("avx2,avx512f,avx512vl")))

template <int N>
NXVT_KECCAK_AVX512 inline __m128i Rol(__m128i x) {
  if constexpr (N == 0) {
    return x;
  } else {
    return _mm_rol_epi64(x, N);
  }
}
NXVT_KECCAK_AVX512 inline __m128i Xor(__m128i x, __m128i y) { return _mm_xor_si128(x, y); }
NXVT_KECCAK_AVX512 inline __m128i Xor5(__m128i a, __m128i b, __m128i c, __m128i d, __m128i e) {
  return _mm_ternarylogic_epi64(_mm_ternarylogic_epi64(a, b, c, 0x96), d, e, 0x96);
}
// a ^ (~b & c)
NXVT_KECCAK_AVX512 inline __m128i Chi(__m128i a, __m128i b, __m128i c) { return _mm_ternarylogic_epi64(a, b, c, 0xD2); }

// chi on the row in b0..b4 into the lanes E0..E4.
#define KECCAK_CHI_ROW(E0, E1, E2, E3, E4) \
  E0 = Chi(b0, b1, b2);                    \
  E1 = Chi(b1, b2, b3);                    \
  E2 = Chi(b2, b3, b4);                    \
  E3 = Chi(b3, b4, b0);                    \
  E4 = Chi(b4, b0, b1)

#define KECCAK_VECTOR_ROUND(A, E, rc)                                                         \
  do {                                                                                      \
    KECCAK_THETA(A);                                                                        \
    KECCAK_ROW_B(A);                                                                        \
    KECCAK_CHI_ROW(E##ba, E##be, E##bi, E##bo, E##bu);                                      \
    E##ba = Xor(E##ba, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rc)));              \
    KECCAK_ROW_G(A);                                                                        \
    KECCAK_CHI_ROW(E##ga, E##ge, E##gi, E##go, E##gu);                                      \
    KECCAK_ROW_K(A);                                                                        \
    KECCAK_CHI_ROW(E##ka, E##ke, E##ki, E##ko, E##ku);                                      \
    KECCAK_ROW_M(A);                                                                        \
    KECCAK_CHI_ROW(E##ma, E##me, E##mi, E##mo, E##mu);                                      \
    KECCAK_ROW_S(A);                                                                        \
    KECCAK_CHI_ROW(E##sa, E##se, E##si, E##so, E##su);                                      \
  } while (0)

#define KECCAK_LOAD_VLANE(i, lane) lane = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + (i)))
#define KECCAK_STORE_VLANE(i, lane) _mm_storel_epi64(reinterpret_cast<__m128i*>(a + (i)), lane)

NXVT_KECCAK_AVX512 void Avx512Rounds(uint64_t* a) {
  KECCAK_LANES(__m128i, A);
  KECCAK_LANES(__m128i, E);
  __m128i c0, c1, c2, c3, c4, d0, d1, d2, d3, d4, b0, b1, b2, b3, b4;
  KECCAK_FOR_LANES(KECCAK_LOAD_VLANE, A);
  for (int round = 0; round < 24; round += 2) {
    KECCAK_VECTOR_ROUND(A, E, kRoundConst + round);
    KECCAK_VECTOR_ROUND(E, A, kRoundConst + round + 1);
  }
  KECCAK_FOR_LANES(KECCAK_STORE_VLANE, A);
  // The lanes are state; xmm16 and up are the compiler's for them too.
  __asm__ volatile("vpxord %%xmm16, %%xmm16, %%xmm16\n\tvpxord %%xmm17, %%xmm17, %%xmm17\n\t"
                   "vpxord %%xmm18, %%xmm18, %%xmm18\n\tvpxord %%xmm19, %%xmm19, %%xmm19\n\t"
                   "vpxord %%xmm20, %%xmm20, %%xmm20\n\tvpxord %%xmm21, %%xmm21, %%xmm21\n\t"
                   "vpxord %%xmm22, %%xmm22, %%xmm22\n\tvpxord %%xmm23, %%xmm23, %%xmm23\n\t"
                   "vpxord %%xmm24, %%xmm24, %%xmm24\n\tvpxord %%xmm25, %%xmm25, %%xmm25\n\t"
                   "vpxord %%xmm26, %%xmm26, %%xmm26\n\tvpxord %%xmm27, %%xmm27, %%xmm27\n\t"
                   "vpxord %%xmm28, %%xmm28, %%xmm28\n\tvpxord %%xmm29, %%xmm29, %%xmm29\n\t"
                   "vpxord %%xmm30, %%xmm30, %%xmm30\n\tvpxord %%xmm31, %%xmm31, %%xmm31" ::
                       : "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24",
                         "xmm25", "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
  _mm256_zeroall();
}
#undef KECCAK_VECTOR_ROUND
#undef KECCAK_CHI_ROW
#undef KECCAK_LOAD_LANE
#undef KECCAK_STORE_LANE
#undef KECCAK_LOAD_VLANE
#undef KECCAK_STORE_VLANE
#undef KECCAK_FOR_LANES
#undef KECCAK_LANES
#undef KECCAK_ROW_B
#undef KECCAK_ROW_G
#undef KECCAK_ROW_K
#undef KECCAK_ROW_M
#undef KECCAK_ROW_S
#undef KECCAK_GATHER
#undef KECCAK_THETA

using Permutation = void (*)(uint64_t* a);

// The permutation for this processor: AVX-512, the BMI build of the
// unrolled round, the plain build, or (forced for tests) the loop above.
Permutation PermutationFor(const NXVT_CPU_FEATURES& f) {
  if (f.avx512) return Avx512Rounds;
  if (f.bmi2) return BmiRounds;
  if (f.sse2) return UnrolledRounds;
  return Rounds;
}

}  // namespace

void NXVT_Keccak_F1600(unsigned char state[200]) {
  uint64_t a[25];
  for (int i = 0; i < 25; ++i) a[i] = LoadLe64(state + 8 * i);
  PermutationFor(NXVT_CpuFeatures())(a);
  for (int i = 0; i < 25; ++i) StoreLe64(state + 8 * i, a[i]);
  Wipe(a, sizeof a);
}

namespace {

// The sponge for a rate of whole lanes (every Keccak hash id): the state
// stays in lanes from the first block to the last output byte.
int LaneSponge(int rate, unsigned char* out, const unsigned char* msg, size_t left, size_t outBytes) {
  const int lanes = rate / 8;
  const Permutation permute = PermutationFor(NXVT_CpuFeatures());
  uint64_t a[25] = {0};
  while (left >= static_cast<size_t>(rate)) {
    for (int k = 0; k < lanes; ++k) a[k] ^= LoadLe64(msg + 8 * k);
    permute(a);
    msg += rate;
    left -= static_cast<size_t>(rate);
  }
  unsigned char last[kStateBytes] = {0};
  memcpy(last, msg, left);
  last[left] ^= 0x01;
  last[rate - 1] ^= 0x80;
  for (int k = 0; k < lanes; ++k) a[k] ^= LoadLe64(last + 8 * k);
  permute(a);
  while (true) {
    for (int k = 0; k < lanes; ++k) StoreLe64(last + 8 * k, a[k]);
    const size_t take = outBytes < static_cast<size_t>(rate) ? outBytes : static_cast<size_t>(rate);
    memcpy(out, last, take);
    out += take;
    outBytes -= take;
    if (outBytes == 0) break;
    permute(a);
  }
  Wipe(a, sizeof a);
  Wipe(last, sizeof last);
  return 1;
}

}  // namespace

int NXVT_Keccak_Hash(int32_t capacityBits, unsigned char* out, const unsigned char* msg, int32_t msgLen,
                     int32_t outBits) {
  // The rate must be 1..200 bytes: a capacity outside 0..1592 bits would give
  // a zero rate (endless squeeze, division by zero) or one wider than the state.
  if (capacityBits < 0 || capacityBits > 1592) return 0;
  if (out == nullptr || msg == nullptr || msgLen < 0 || outBits < 8) return 0;
  const int rate = (1600 - capacityBits) / 8;

  if (rate % 8 == 0) return LaneSponge(rate, out, msg, static_cast<size_t>(msgLen), static_cast<size_t>(outBits / 8));

  unsigned char st[kStateBytes];
  memset(st, 0, sizeof st);
  ScopedWipe wipeState(st, sizeof st);

  size_t left = static_cast<size_t>(msgLen);
  const unsigned char* p = msg;
  while (left >= static_cast<size_t>(rate)) {
    for (int k = 0; k < rate; ++k) st[k] ^= p[k];
    NXVT_Keccak_F1600(st);
    p += rate;
    left -= static_cast<size_t>(rate);
  }
  for (size_t k = 0; k < left; ++k) st[k] ^= p[k];
  st[left] ^= 0x01;
  st[rate - 1] ^= 0x80;
  NXVT_Keccak_F1600(st);

  size_t outBytes = static_cast<size_t>(outBits / 8);
  unsigned char* o = out;
  while (outBytes > static_cast<size_t>(rate)) {
    memcpy(o, st, static_cast<size_t>(rate));
    NXVT_Keccak_F1600(st);
    o += rate;
    outBytes -= static_cast<size_t>(rate);
  }
  memcpy(o, st, outBytes);
  return 1;
}
