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

constexpr int kStateLanes = 25;
constexpr int kWorkLanes = 2 * kStateLanes;

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
// lanes to the E lanes and the next one back, so pi moves nothing: each
// output row reads its five lanes by name, registers in the AVX-512 build
// and memory in the scalar ones.

// theta: the value d0..d4 each column takes in, from the column parities c0..c4.
#define KECCAK_THETA_D()      \
  d0 = Xor(c4, Rol<1>(c1));   \
  d1 = Xor(c0, Rol<1>(c2));   \
  d2 = Xor(c1, Rol<1>(c3));   \
  d3 = Xor(c2, Rol<1>(c4));   \
  d4 = Xor(c3, Rol<1>(c0))

// theta from the lanes A.
#define KECCAK_THETA(A)                         \
  c0 = Xor5(A##ba, A##ga, A##ka, A##ma, A##sa); \
  c1 = Xor5(A##be, A##ge, A##ke, A##me, A##se); \
  c2 = Xor5(A##bi, A##gi, A##ki, A##mi, A##si); \
  c3 = Xor5(A##bo, A##go, A##ko, A##mo, A##so); \
  c4 = Xor5(A##bu, A##gu, A##ku, A##mu, A##su); \
  KECCAK_THETA_D()

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

// ---- Scalar lanes in memory -----------------------------------------------
//
// Named lanes in registers do not fit x86-64: a round reads 25 lanes, writes
// 25 and needs theta's ten values, with 15 registers for all of them, so the
// compiler spills half the state, and the spill loads and stores and the
// register copies come to two fifths of the round's instructions. Here the
// state stays in memory, in the two halves of a 50-lane buffer that the
// rounds take in turn: a round reads each lane of its half once, as its
// output row gathers it, and writes the other half. The registers hold
// theta's values, one output row, and the column parities of the lanes
// written so far: each chi output goes into its column's parity as it is
// stored, so the next round's theta reads nothing back, and its d values
// are ready one XOR after the round's last lane.

template <int N>
inline uint64_t Rol(uint64_t x) {
  if constexpr (N == 0) {
    return x;
  } else {
    return (x << N) | (x >> (64 - N));
  }
}
inline uint64_t Xor(uint64_t x, uint64_t y) { return x ^ y; }
// a ^ (~b & c): one ANDN and one XOR where BMI is there.
inline uint64_t Chi(uint64_t a, uint64_t b, uint64_t c) { return a ^ (~b & c); }

// An empty asm that takes x in a register and gives it back changed, as far
// as the compiler knows. A parity sum then grows lane by lane in the order
// the lanes are written: reassociated, it would keep stored lanes alive to
// add them up later, and they would spill.
inline void KeepSum(uint64_t& x) { __asm__("" : "+r"(x)); }

// The parities of the state's columns, the sums in row order.
inline uint64_t ColumnParity(const uint64_t* s, int x) {
  uint64_t c = s[x];
  for (int y = 5; y < kStateLanes; y += 5) {
    c ^= s[x + y];
    KeepSum(c);
  }
  return c;
}

// The compiler would carry the lanes stored by one round over to the next in
// registers (and spill them): no instruction, but every lane is read from
// memory after it.
#define KECCAK_FROM_MEMORY() __asm__ volatile("" ::: "memory")

// The lane names of the two halves, as references into the buffer s.
#define KECCAK_BIND_LANE(i, lane) uint64_t& lane = s[i]
#define KECCAK_BIND_SPARE(i, lane) uint64_t& lane = s[kStateLanes + (i)]

// A chi output: stored, and taken into its column's parity, which the first
// output row starts.
#define KECCAK_OUT_FIRST(lane, value, c) \
  t = (value);                           \
  lane = t;                              \
  c = t
#define KECCAK_OUT(lane, value, c) \
  t = (value);                     \
  lane = t;                        \
  c ^= t;                          \
  KeepSum(c)

// chi with ANDN, on the row in b0..b4.
#define KECCAK_ANDN_ROW(E, OUT, rc)              \
  OUT(E##a, Chi(b0, b1, b2) ^ (rc), c0);         \
  OUT(E##e, Chi(b1, b2, b3), c1);                \
  OUT(E##i, Chi(b2, b3, b4), c2);                \
  OUT(E##o, Chi(b3, b4, b0), c3);                \
  OUT(E##u, Chi(b4, b0, b1), c4)

// One round from the lanes A to the lanes E, c0..c4 the parities of A's
// columns before and of E's after.
#define KECCAK_ANDN_ROUND(A, E, rc)                   \
  do {                                                \
    KECCAK_FROM_MEMORY();                             \
    KECCAK_THETA_D();                                 \
    KECCAK_ROW_B(A);                                  \
    KECCAK_ANDN_ROW(E##b, KECCAK_OUT_FIRST, rc);      \
    KECCAK_ROW_G(A);                                  \
    KECCAK_ANDN_ROW(E##g, KECCAK_OUT, 0);             \
    KECCAK_ROW_K(A);                                  \
    KECCAK_ANDN_ROW(E##k, KECCAK_OUT, 0);             \
    KECCAK_ROW_M(A);                                  \
    KECCAK_ANDN_ROW(E##m, KECCAK_OUT, 0);             \
    KECCAK_ROW_S(A);                                  \
    KECCAK_ANDN_ROW(E##s, KECCAK_OUT, 0);             \
  } while (0)

// Without ANDN, chi's NOT would cost an instruction per lane. Six lanes
// (be, bi, go, ki, mi and sa) are kept complemented instead; with that
// pattern every row's chi takes one NOT, n, the others turning into AND or
// OR of the stored values p0..p4. The complements go in before the rounds
// and come out after them; the parities are those of the stored values.
//
// On two-operand code a step overwrites one of its operands, so a value
// still needed later is copied first. Each row takes its steps in an order
// that needs two copies (the fewest of any order), where the order of the
// formulas needs four or five: from the third step on, most steps overwrite
// a value no later step reads.
constexpr int kComplemented[6] = {1, 2, 8, 12, 17, 20};

// Rows k and m, the same steps with AND and OR trading places: their
// NOT is of the fourth lane, n = ~b3.
#define KECCAK_NOT3_ROW(E, OP, PO)   \
  n = ~b3;                           \
  p0 = b1 OP b2;                     \
  p1 = b2 PO b3;                     \
  KECCAK_OUT(E##a, b0 ^ p0, c0);     \
  KECCAK_OUT(E##e, b1 ^ p1, c1);     \
  p4 = b0 PO b1;                     \
  p3 = b4 OP b0;                     \
  KECCAK_OUT(E##o, n ^ p3, c3);      \
  p2 = n PO b4;                      \
  KECCAK_OUT(E##i, b2 ^ p2, c2);     \
  KECCAK_OUT(E##u, b4 ^ p4, c4)

#define KECCAK_COMPLEMENTED_ROUND(A, E, rc)                   \
  do {                                                        \
    KECCAK_FROM_MEMORY();                                     \
    KECCAK_THETA_D();                                         \
    KECCAK_ROW_B(A);                                          \
    n = ~b2;                                                  \
    p0 = b1 | b2;                                             \
    p1 = n | b3;                                              \
    KECCAK_OUT_FIRST(E##ba, b0 ^ p0 ^ (rc), c0);              \
    KECCAK_OUT_FIRST(E##be, b1 ^ p1, c1);                     \
    p4 = b0 & b1;                                             \
    p3 = b4 | b0;                                             \
    KECCAK_OUT_FIRST(E##bo, b3 ^ p3, c3);                     \
    p2 = b3 & b4;                                             \
    KECCAK_OUT_FIRST(E##bi, b2 ^ p2, c2);                     \
    KECCAK_OUT_FIRST(E##bu, b4 ^ p4, c4);                     \
    KECCAK_ROW_G(A);                                          \
    n = ~b4;                                                  \
    p0 = b1 | b2;                                             \
    p2 = b3 | n;                                              \
    KECCAK_OUT(E##ga, b0 ^ p0, c0);                           \
    KECCAK_OUT(E##gi, b2 ^ p2, c2);                           \
    p1 = b2 & b3;                                             \
    KECCAK_OUT(E##ge, b1 ^ p1, c1);                           \
    p4 = b0 & b1;                                             \
    p3 = b4 | b0;                                             \
    KECCAK_OUT(E##go, b3 ^ p3, c3);                           \
    KECCAK_OUT(E##gu, b4 ^ p4, c4);                           \
    KECCAK_ROW_K(A);                                          \
    KECCAK_NOT3_ROW(E##k, |, &);                              \
    KECCAK_ROW_M(A);                                          \
    KECCAK_NOT3_ROW(E##m, &, |);                              \
    KECCAK_ROW_S(A);                                          \
    n = ~b1;                                                  \
    p0 = n & b2;                                              \
    p4 = b0 & b1;                                             \
    KECCAK_OUT(E##sa, b0 ^ p0, c0);                           \
    p3 = b4 | b0;                                             \
    KECCAK_OUT(E##so, b3 ^ p3, c3);                           \
    KECCAK_OUT(E##su, b4 ^ p4, c4);                           \
    p2 = b3 & b4;                                             \
    p1 = b2 | b3;                                             \
    KECCAK_OUT(E##se, n ^ p1, c1);                            \
    KECCAK_OUT(E##si, b2 ^ p2, c2);                           \
  } while (0)

// The rounds in pairs, so that the state ends in the half it started in.
#define KECCAK_MEMORY_ROUNDS(ROUND)                                                \
  KECCAK_FOR_LANES(KECCAK_BIND_LANE, A);                                           \
  KECCAK_FOR_LANES(KECCAK_BIND_SPARE, E);                                          \
  uint64_t c0 = ColumnParity(s, 0), c1 = ColumnParity(s, 1), c2 = ColumnParity(s, 2), \
           c3 = ColumnParity(s, 3), c4 = ColumnParity(s, 4);                      \
  uint64_t d0, d1, d2, d3, d4, b0, b1, b2, b3, b4, t;                              \
  for (int round = 0; round < 24; round += 2) {                                    \
    ROUND(A, E, kRoundConst[round]);                                               \
    ROUND(E, A, kRoundConst[round + 1]);                                           \
  }                                                                                \
  KECCAK_FROM_MEMORY()

// For every x86-64 processor.
void ComplementedRounds(uint64_t* s) {
  for (int i : kComplemented) s[i] = ~s[i];
  {
    uint64_t n, p0, p1, p2, p3, p4;
    KECCAK_MEMORY_ROUNDS(KECCAK_COMPLEMENTED_ROUND);
  }
  for (int i : kComplemented) s[i] = ~s[i];
}

// With BMI: ANDN, and the rotation RORX that leaves its source alone.
__attribute__((target("bmi,bmi2"))) void BmiRounds(uint64_t* s) { KECCAK_MEMORY_ROUNDS(KECCAK_ANDN_ROUND); }
#undef KECCAK_MEMORY_ROUNDS
#undef KECCAK_COMPLEMENTED_ROUND
#undef KECCAK_NOT3_ROW
#undef KECCAK_ANDN_ROUND
#undef KECCAK_ANDN_ROW
#undef KECCAK_OUT
#undef KECCAK_OUT_FIRST
#undef KECCAK_BIND_SPARE
#undef KECCAK_BIND_LANE
#undef KECCAK_FROM_MEMORY

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
#undef KECCAK_THETA_D

// Every build takes a buffer of kWorkLanes lanes: the state in the first
// 25, the memory builds' other half in the rest.
using Permutation = void (*)(uint64_t* s);

// The permutation for this processor: AVX-512, the BMI build of the
// round in memory, the plain build, or (forced for tests) the loop above.
Permutation PermutationFor(const NXVT_CPU_FEATURES& f) {
  if (f.avx512) return Avx512Rounds;
  if (f.bmi2) return BmiRounds;
  if (f.sse2) return ComplementedRounds;
  return Rounds;
}

// XORs n bytes (n at most the rate) into the state from its first byte, the
// lanes little-endian: whole lanes at once, then the bytes of a last
// partial one.
void Absorb(uint64_t* s, const unsigned char* p, size_t n) {
  size_t k = 0;
  for (; k + 8 <= n; k += 8) s[k / 8] ^= LoadLe64(p + k);
  for (; k < n; ++k) s[k / 8] ^= uint64_t{p[k]} << (8 * (k % 8));
}

// The first n bytes of the state (n at most the rate).
void Squeeze(unsigned char* out, const uint64_t* s, size_t n) {
  size_t k = 0;
  for (; k + 8 <= n; k += 8) StoreLe64(out + k, s[k / 8]);
  for (; k < n; ++k) out[k] = static_cast<unsigned char>(s[k / 8] >> (8 * (k % 8)));
}

}  // namespace

void NXVT_Keccak_F1600(unsigned char state[200]) {
  uint64_t s[kWorkLanes];
  for (int i = 0; i < kStateLanes; ++i) s[i] = LoadLe64(state + 8 * i);
  PermutationFor(NXVT_CpuFeatures())(s);
  for (int i = 0; i < kStateLanes; ++i) StoreLe64(state + 8 * i, s[i]);
  Wipe(s, sizeof s);
}

int NXVT_Keccak_Hash(int32_t capacityBits, unsigned char* out, const unsigned char* msg, int32_t msgLen,
                     int32_t outBits) {
  // The rate must be 1..200 bytes: a capacity outside 0..1592 bits would give
  // a zero rate (endless squeeze, division by zero) or one wider than the state.
  if (capacityBits < 0 || capacityBits > 1592) return 0;
  if (out == nullptr || msg == nullptr || msgLen < 0 || outBits < 8) return 0;
  const size_t rate = static_cast<size_t>(1600 - capacityBits) / 8;
  const Permutation permute = PermutationFor(NXVT_CpuFeatures());

  // On a cache line, so that each half of the buffer spans as few lines as it
  // can (without, 16 KiB took about 1% longer here). The spare half needs
  // no zeros: every round writes it before reading it.
  alignas(64) uint64_t s[kWorkLanes];
  memset(s, 0, kStateLanes * sizeof s[0]);
  size_t left = static_cast<size_t>(msgLen);
  for (; left >= rate; left -= rate, msg += rate) {
    Absorb(s, msg, rate);
    permute(s);
  }
  Absorb(s, msg, left);
  s[left / 8] ^= uint64_t{0x01} << (8 * (left % 8));
  s[(rate - 1) / 8] ^= uint64_t{0x80} << (8 * ((rate - 1) % 8));
  permute(s);

  size_t outBytes = static_cast<size_t>(outBits / 8);
  for (; outBytes > rate; outBytes -= rate, out += rate) {
    Squeeze(out, s, rate);
    permute(s);
  }
  Squeeze(out, s, outBytes);
  Wipe(s, sizeof s);
  return 1;
}
