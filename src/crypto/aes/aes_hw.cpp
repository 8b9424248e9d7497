// AES with the AES-NI instructions: the independent blocks of ECB, CTR and
// CBC decryption run eight at a time so the pipelined units stay busy, and
// GCM hashes eight ciphertext blocks with PCLMULQDQ while eight counter
// blocks are in the rounds.
#include "crypto/aes/aes_hw.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "crypto/aes/ghash_clmul.h"
#include "crypto/cpu_features.h"
#include "crypto/digest_util.h"
#include "platform/memory.h"

#define NXVT_AESNI_TARGET __attribute__((target("aes,sse4.1,ssse3")))
#define NXVT_AESNI_INLINE NXVT_AESNI_TARGET inline __attribute__((always_inline))
#define NXVT_AESNI_CLMUL_TARGET __attribute__((target("aes,pclmul,sse4.1,ssse3")))
#define NXVT_AESNI_CLMUL_INLINE NXVT_AESNI_CLMUL_TARGET inline __attribute__((always_inline))
// CTR and GCM are compiled a second time with the VEX encoding where the
// processor has it: three-operand forms need no register copies, and round
// keys can be memory operands of the rounds, which the SSE forms cannot take
// from a schedule of unknown alignment. The bodies are always inlined, so
// each entry point encodes them its own way.
#define NXVT_AESNI_AVX_TARGET __attribute__((target("aes,pclmul,sse4.1,ssse3,avx")))

namespace {

constexpr int kWide = 8;
// CTR in the VEX encoding keeps twelve blocks in flight: eight fill the AES
// units exactly (four cycles a round, two rounds a cycle) and leave no
// slack, so any hold-up of the front end or the scheduler cost a few
// percent; twelve, the round key and the stores fit in the sixteen XMM
// registers with no copies.
constexpr int kWideAvx = 12;

// Round keys are read from the schedule in every round rather than held in
// registers: eight blocks in flight need the registers, and no copy of the
// keys is left on the stack.
template <int R>
struct RoundKeys {
  const unsigned char* keys;
  explicit RoundKeys(const unsigned char* p) : keys(p) {}
  NXVT_AESNI_INLINE __m128i operator[](int i) const {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 16 * i));
  }
};

template <int R>
NXVT_AESNI_INLINE __m128i Enc1(__m128i b, const RoundKeys<R>& rk) {
  b = _mm_xor_si128(b, rk[0]);
  #pragma GCC unroll 16
  for (int r = 1; r < R; ++r) b = _mm_aesenc_si128(b, rk[r]);
  return _mm_aesenclast_si128(b, rk[R]);
}

// The inverse-cipher keys are stored dk[0] first and used from dk[Nr] down.
template <int R>
NXVT_AESNI_TARGET inline __m128i Dec1(__m128i b, const RoundKeys<R>& dk) {
  b = _mm_xor_si128(b, dk[R]);
  #pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) b = _mm_aesdec_si128(b, dk[r]);
  return _mm_aesdeclast_si128(b, dk[0]);
}

// Round r (1 <= r < R) of a run of N blocks (eight unless said otherwise).
template <int R, int N = kWide>
NXVT_AESNI_INLINE void Round8(__m128i* b, const RoundKeys<R>& rk, int r) {
  const __m128i k = rk[r];
#pragma GCC unroll 16
  for (int j = 0; j < N; ++j) b[j] = _mm_aesenc_si128(b[j], k);
}

template <int R, int N = kWide>
NXVT_AESNI_INLINE void Last8(__m128i* b, const RoundKeys<R>& rk) {
  const __m128i k = rk[R];
#pragma GCC unroll 16
  for (int j = 0; j < N; ++j) b[j] = _mm_aesenclast_si128(b[j], k);
}

// Rounds 1..R of a run whose blocks have had round key 0 added.
template <int R, int N = kWide>
NXVT_AESNI_INLINE void Enc8Whitened(__m128i* b, const RoundKeys<R>& rk) {
#pragma GCC unroll 16
  for (int r = 1; r < R; ++r) Round8<R, N>(b, rk, r);
  Last8<R, N>(b, rk);
}

template <int R>
NXVT_AESNI_INLINE void Enc8(__m128i* b, const RoundKeys<R>& rk) {
  const __m128i k0 = rk[0];
#pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_xor_si128(b[j], k0);
  Enc8Whitened(b, rk);
}

template <int R>
NXVT_AESNI_TARGET inline void Dec8(__m128i* b, const RoundKeys<R>& dk) {
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_xor_si128(b[j], dk[R]);
  #pragma GCC unroll 16
  for (int r = R - 1; r > 0; --r) {
    const __m128i k = dk[r];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = _mm_aesdec_si128(b[j], k);
  }
  const __m128i k = dk[0];
  #pragma GCC unroll 16
  for (int j = 0; j < kWide; ++j) b[j] = _mm_aesdeclast_si128(b[j], k);
}

NXVT_AESNI_INLINE __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
NXVT_AESNI_INLINE void Store(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <int Rounds>
NXVT_AESNI_TARGET void EncryptBlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  const RoundKeys<Rounds> rk(schedule);
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = Load(blocks + 16 * (i + j));
    Enc8(b, rk);
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) Store(blocks + 16 * (i + j), b[j]);
  }
  for (; i < count; ++i) Store(blocks + 16 * i, Enc1(Load(blocks + 16 * i), rk));
}

template <int Rounds>
NXVT_AESNI_TARGET void DecryptBlocksT(unsigned char* blocks, size_t count, const unsigned char* schedule) {
  const RoundKeys<Rounds> dk(schedule + 16 * (Rounds + 1));
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = Load(blocks + 16 * (i + j));
    Dec8(b, dk);
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) Store(blocks + 16 * (i + j), b[j]);
  }
  for (; i < count; ++i) Store(blocks + 16 * i, Dec1(Load(blocks + 16 * i), dk));
}

// CBC encryption is one chain of rounds through the whole message, so only
// the rounds stay on it: the next plaintext block and round key 0 are folded
// into the last round key (AESENCLAST adds its key last), which hands the
// next block its first-round input directly; the ciphertext is recovered
// beside the chain.
template <int Rounds>
NXVT_AESNI_TARGET void CbcEncryptT(unsigned char* out, const unsigned char* in, size_t count,
                                   const unsigned char* schedule, unsigned char* iv) {
  if (count == 0) return;
  const RoundKeys<Rounds> rk(schedule);
  __m128i x = _mm_xor_si128(_mm_xor_si128(Load(in), rk[0]), Load(iv));
  for (size_t i = 0; i + 1 < count; ++i) {
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
    const __m128i next = _mm_xor_si128(Load(in + 16 * (i + 1)), rk[0]);
    x = _mm_aesenclast_si128(x, _mm_xor_si128(rk[Rounds], next));
    Store(out + 16 * i, _mm_xor_si128(x, next));
  }
#pragma GCC unroll 16
  for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
  x = _mm_aesenclast_si128(x, rk[Rounds]);
  Store(out + 16 * (count - 1), x);
  Store(iv, x);
}

template <int Rounds>
NXVT_AESNI_TARGET void CbcDecryptT(unsigned char* data, size_t count, const unsigned char* schedule,
                                   unsigned char* iv) {
  const RoundKeys<Rounds> dk(schedule + 16 * (Rounds + 1));
  __m128i chain = Load(iv);
  size_t i = 0;
  for (; i + kWide <= count; i += kWide) {
    __m128i c[kWide], b[kWide];
#pragma GCC unroll 16
    for (int j = 0; j < kWide; ++j) b[j] = c[j] = Load(data + 16 * (i + j));
    Dec8(b, dk);
    Store(data + 16 * i, _mm_xor_si128(b[0], chain));
#pragma GCC unroll 16
    for (int j = 1; j < kWide; ++j) Store(data + 16 * (i + j), _mm_xor_si128(b[j], c[j - 1]));
    chain = c[kWide - 1];
  }
  for (; i < count; ++i) {
    const __m128i c = Load(data + 16 * i);
    Store(data + 16 * i, _mm_xor_si128(Dec1(c, dk), chain));
    chain = c;
  }
  Store(iv, chain);
}

// The counter as two host words (big-endian halves); counterBytes 4 wraps
// the low 32 bits only.
struct Counter {
  uint64_t hi, lo;
  bool inc32;

  NXVT_AESNI_TARGET __m128i Block() const {
    // Byte-swapped halves: the block reads hi then lo in big-endian order.
    const __m128i v = _mm_set_epi64x(static_cast<long long>(lo), static_cast<long long>(hi));
    return _mm_shuffle_epi8(v, _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
  }
  // Branch-free: GCM's first counter can be derived from the key. The mode
  // (inc32) is public.
  void Next() {
    if (inc32) {
      lo = (lo & 0xFFFFFFFF00000000ull) | ((lo + 1) & 0xFFFFFFFFull);
    } else {
      const uint64_t next = lo + 1;
      hi += 1 ^ ((next | (0 - next)) >> 63);
      lo = next;
    }
  }
};

// The counter blocks of CTR and GCM, each with round key 0 already added.
// The first run of eight is built in registers. Later runs are written to
// a buffer while the run before them is in the rounds, and read back from
// there: a few scalar operations per block (the whole block for the 128-bit
// counter, its last word for GCM's) beside the AES units rather than vector
// work in their way, and written long before they are read, so no read
// waits for a store. The counter is two words that ADD and ADC carry
// through without a branch: the first counter of GCM can come from the key.
// The buffer holds round key 0 and is wiped by its owner.
template <bool Inc32, int N = kWide>
struct Counters {
  using Buffer = unsigned char[N][16];

  uint64_t hi, lo;      // the counter of block 0 of the next run
  uint64_t k0hi, k0lo;  // round key 0 as two words in memory order
  // The 128-bit counter's first half of block j of the next run, round key
  // 0 added, is one of two words: before, or after the second half wraps,
  // which it does after block ~lo. Made once a run, they leave each block
  // its second half's addition and a conditional move.
  uint64_t firstBefore = 0, firstAfter = 0, wrapAfter = 0;

  NXVT_AESNI_INLINE Counters(const unsigned char* counter, const unsigned char* k0)
      : hi(LoadBe64(counter)), lo(LoadBe64(counter + 8)) {
    memcpy(&k0hi, k0, 8);
    memcpy(&k0lo, k0 + 8, 8);
    Prepare();
  }

  NXVT_AESNI_INLINE void Prepare() {
    if (Inc32) return;
    firstBefore = __builtin_bswap64(hi) ^ k0hi;
    firstAfter = __builtin_bswap64(hi + 1) ^ k0hi;
    wrapAfter = ~lo;
  }

  // Counter block j of the next run, as two words; GCM's inc32 wraps in the
  // last word, the whole counter carries with ADD and ADC.
  NXVT_AESNI_INLINE void Value(unsigned j, uint64_t& h, uint64_t& l) const {
    if (Inc32) {
      h = hi;
      l = (lo & 0xFFFFFFFF00000000ull) | static_cast<uint32_t>(static_cast<uint32_t>(lo) + j);
    } else {
      h = hi + __builtin_add_overflow(lo, uint64_t{j}, &l);
    }
  }

  // The counter goes through an empty asm, opaque to the optimizer:
  // otherwise GCC sees it advance with the loop and derives the loop's exit
  // test from it, a branch on the counter (the constant-time check caught
  // one in CTR).
  NXVT_AESNI_INLINE void Advance() {
    Value(N, hi, lo);
    __asm__("" : "+r"(lo), "+r"(hi));
    Prepare();
  }

  // The next run's blocks in registers.
  NXVT_AESNI_INLINE void Direct(__m128i* b) {
#pragma GCC unroll 16
    for (int j = 0; j < N; ++j) {
      uint64_t h, l;
      Value(static_cast<unsigned>(j), h, l);
      b[j] = _mm_set_epi64x(static_cast<long long>(__builtin_bswap64(l) ^ k0lo),
                            static_cast<long long>(__builtin_bswap64(h) ^ k0hi));
    }
    Advance();
  }

  // Block j of the next run into `buf`: the whole block the first time,
  // then for GCM the last word alone.
  NXVT_AESNI_INLINE void FillOne(Buffer& buf, int j, bool first) const {
    if (Inc32 && !first) {
      const uint32_t word = __builtin_bswap32(static_cast<uint32_t>(lo) + static_cast<uint32_t>(j)) ^
                            static_cast<uint32_t>(k0lo >> 32);
      memcpy(buf[j] + 12, &word, 4);
      return;
    }
    uint64_t h, l;
    if (Inc32 || first) {
      Value(static_cast<unsigned>(j), h, l);
      h = __builtin_bswap64(h) ^ k0hi;
    } else {
      // Block j is past the wrap when j > ~lo; the move is made by the
      // processor's flags, not a branch: the counter is the caller's nonce.
      l = lo + static_cast<uint64_t>(j);
      h = firstBefore;
      __asm__("cmp %[j], %[wrap]\n\tcmovb %[after], %[h]"
              : [h] "+r"(h)
              : [j] "re"(static_cast<uint64_t>(j)), [wrap] "r"(wrapAfter), [after] "r"(firstAfter)
              : "cc");
    }
    l = __builtin_bswap64(l) ^ k0lo;
    memcpy(buf[j], &h, 8);
    memcpy(buf[j] + 8, &l, 8);
  }

  NXVT_AESNI_INLINE void Fill(Buffer& buf) const {
#pragma GCC unroll 16
    for (int j = 0; j < N; ++j) FillOne(buf, j, true);
  }

  // The run written last.
  NXVT_AESNI_INLINE void Take(__m128i* b, const Buffer& buf) {
#pragma GCC unroll 16
    for (int j = 0; j < N; ++j) b[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(buf[j]));
    Advance();
  }
};

// The rounds of a run taken from the buffer, with the blocks of the run
// after it (when there is one) written one between each two rounds: in one
// stretch between runs, that scalar work kept the out-of-order window (a run
// is more instructions than it holds) from reaching the next run's first
// rounds while the last ones of this run were in the AES units. (Adding the
// input into the last round's key instead of after it measured slower.)
template <int R, bool Inc32, int N = kWide>
NXVT_AESNI_INLINE void Enc8Filling(__m128i* b, const RoundKeys<R>& rk, const Counters<Inc32, N>& ctr,
                                   typename Counters<Inc32, N>::Buffer& buf, bool more) {
#pragma GCC unroll 16
  for (int r = 1; r < R; ++r) {
    Round8<R, N>(b, rk, r);
    if (r <= N && more) ctr.FillOne(buf, r - 1, false);
  }
  // Twelve blocks under AES-128's nine gaps: the rest go before the last round.
#pragma GCC unroll 16
  for (int j = R - 1; j < N; ++j) {
    if (more) ctr.FillOne(buf, j, false);
  }
  Last8<R, N>(b, rk);
}

// out = in ^ keystream over a whole run.
template <int N = kWide>
NXVT_AESNI_INLINE void XorStore8(unsigned char* out, const unsigned char* in, const __m128i* ks) {
#pragma GCC unroll 16
  for (int j = 0; j < N; ++j) Store(out + 16 * j, _mm_xor_si128(Load(in + 16 * j), ks[j]));
}

// The counter after `blocks` more blocks, with the same carry rule.
template <bool Inc32>
void AddToCounter(unsigned char* counter, uint64_t blocks) {
  if (Inc32) {
    StoreBe32(counter + 12, LoadBe32(counter + 12) + static_cast<uint32_t>(blocks));
    return;
  }
  const unsigned __int128 v = ((static_cast<unsigned __int128>(LoadBe64(counter)) << 64) | LoadBe64(counter + 8)) + blocks;
  StoreBe64(counter, static_cast<uint64_t>(v >> 64));
  StoreBe64(counter + 8, static_cast<uint64_t>(v));
}

// Block `rest / 16` of a run of eight, chosen with masks (the registers
// stay registers; the length is public anyway).
template <int N = kWide>
NXVT_AESNI_INLINE __m128i PartialBlock(const __m128i* b, size_t rest) {
  __m128i v = _mm_setzero_si128();
#pragma GCC unroll 16
  for (int j = 0; j < N; ++j) {
    const __m128i pick = _mm_set1_epi32(-static_cast<int>(static_cast<size_t>(j) == rest / 16));
    v = _mm_or_si128(v, _mm_and_si128(pick, b[j]));
  }
  return v;
}

// out = in ^ keystream over the `rest` < 128 bytes after the whole runs:
// whole blocks straight, the partial one through `last`, a 16-byte copy of
// its input zero-padded (its output afterwards), which the caller wipes.
template <int N = kWide>
NXVT_AESNI_INLINE void XorTail(unsigned char* out, const unsigned char* in, size_t rest, const __m128i* ks,
                               unsigned char* last) {
#pragma GCC unroll 16
  for (int j = 0; j < N; ++j) {
    if (16 * static_cast<size_t>(j + 1) <= rest) Store(out + 16 * j, _mm_xor_si128(Load(in + 16 * j), ks[j]));
  }
  const size_t whole = rest & ~static_cast<size_t>(15), part = rest - whole;
  if (part == 0) return;
  memset(last, 0, 16);
  memcpy(last, in + whole, part);
  Store(last, _mm_xor_si128(Load(last), PartialBlock<N>(ks, rest)));
  memcpy(out + whole, last, part);
}

template <int Rounds, bool Inc32, int N>
NXVT_AESNI_INLINE void CtrRuns(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                               unsigned char* counter) {
  constexpr size_t run = 16 * N;
  if (len == 0) return;
  const RoundKeys<Rounds> rk(schedule);
  Counters<Inc32, N> ctr(counter, schedule);
  alignas(16) typename Counters<Inc32, N>::Buffer buf;
  __m128i b[N];
  ctr.Direct(b);
  if (len > run) ctr.Fill(buf);
  Enc8Whitened<Rounds, N>(b, rk);
  size_t i = 0;
  while (len - i >= run) {
    XorStore8<N>(out + i, in + i, b);
    i += run;
    if (i == len) break;
    ctr.Take(b, buf);
    Enc8Filling(b, rk, ctr, buf, len - i > run);
  }
  if (i < len) {
    unsigned char last[16];
    XorTail<N>(out + i, in + i, len - i, b, last);
    Wipe(last, sizeof last);
  }
  if (len > run) Wipe(buf, sizeof buf);
  // A partial last block counts as one.
  AddToCounter<Inc32>(counter, (len + 15) / 16);
}

// The counter mode in runs of `Wide` blocks and, at the end, of eight. A
// run takes as long as its rounds, however few of its blocks are used:
// twelve blocks take one and a half times as long as eight, and up to eight
// take as long as eight. So the end is a run of eight when it has up to
// eight blocks; with up to four, the run of twelve before it and the end
// make two runs of eight; with more than eight, a short run of twelve.
template <int Rounds, bool Inc32, int Wide>
NXVT_AESNI_INLINE void CtrBody(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                               unsigned char* counter) {
  constexpr size_t wideRun = 16 * Wide, run = 16 * kWide;
  const size_t runs = len / wideRun, end = len % wideRun;
  size_t wide = len;
  if (Wide > kWide && end > 0 && end <= run) wide = end <= run / 2 && runs > 0 ? (runs - 1) * wideRun : runs * wideRun;
  if (wide > 0) CtrRuns<Rounds, Inc32, Wide>(out, in, wide, schedule, counter);
  if (wide < len) CtrRuns<Rounds, Inc32, kWide>(out + wide, in + wide, len - wide, schedule, counter);
}

template <int Rounds, bool Inc32>
NXVT_AESNI_TARGET void CtrSse(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                              unsigned char* counter) {
  CtrBody<Rounds, Inc32, 8>(out, in, len, schedule, counter);
}

template <int Rounds, bool Inc32>
NXVT_AESNI_AVX_TARGET void CtrAvx(unsigned char* out, const unsigned char* in, size_t len,
                                  const unsigned char* schedule, unsigned char* counter) {
  CtrBody<Rounds, Inc32, kWideAvx>(out, in, len, schedule, counter);
}

template <int Rounds, bool Inc32>
void CtrT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
          unsigned char* counter) {
  // The VEX encoding needs AVX; AVX2 implies it (the processors with AVX
  // alone, Sandy and Ivy Bridge, take the SSE encoding).
  if (NXVT_CpuFeatures().avx2) {
    CtrAvx<Rounds, Inc32>(out, in, len, schedule, counter);
  } else {
    CtrSse<Rounds, Inc32>(out, in, len, schedule, counter);
  }
}

// GCM's middle in one pass: eight counter blocks in the rounds while the
// eight ciphertext blocks before them are hashed (encryption: the run
// before, read back from out; decryption: the run itself, from in), one
// reduction per run. Between rounds the carry-less products of one block
// keep the other units busy, and one block of the run after this one (when
// there is one, `more`) is written to the counter buffer, as in Enc8Filling.
template <int R>
NXVT_AESNI_CLMUL_INLINE __m128i Enc8AndAbsorb(__m128i* b, const RoundKeys<R>& rk, __m128i y, const unsigned char* x,
                                              const unsigned char* key, const Counters<true>& ctr,
                                              Counters<true>::Buffer& buf, bool more) {
  Round8(b, rk, 1);
  ghc::Product p = ghc::Term(_mm_xor_si128(y, ghc::Reflect(Load(x))), key, 0);
  if (more) ctr.FillOne(buf, 0, false);
#pragma GCC unroll 16
  for (int r = 2; r < R; ++r) {
    Round8(b, rk, r);
    if (r <= ghc::kPowers) ghc::AddTerm(p, ghc::Reflect(Load(x + 16 * (r - 1))), key, static_cast<size_t>(r - 1));
    if (r <= kWide && more) ctr.FillOne(buf, r - 1, false);
    if (r == ghc::kPowers + 1) y = ghc::Reduce(p);
  }
  Last8(b, rk);
  return y;
}

template <int Rounds>
NXVT_AESNI_CLMUL_INLINE void GcmBody(unsigned char* out, const unsigned char* in, size_t len,
                                     const unsigned char* schedule, unsigned char* counter, NXVT_GHASH* g,
                                     bool decrypt) {
  constexpr size_t run = 16 * kWide;
  if (len == 0) return;
  const RoundKeys<Rounds> rk(schedule);
  Counters<true> ctr(counter, schedule);
  alignas(16) Counters<true>::Buffer buf;
  const unsigned char* key = g->key;
  __m128i y = ghc::Reflect(Load(g->y));
  __m128i b[kWide];
  ctr.Direct(b);
  if (len > run) ctr.Fill(buf);
  size_t i = 0;
  if (decrypt) {
    // The ciphertext is at hand: each run is hashed while it is decrypted.
    bool more = false;  // the second run is in the buffer already
    while (len - i >= run) {
      y = Enc8AndAbsorb(b, rk, y, in + i, key, ctr, buf, more);
      XorStore8(out + i, in + i, b);
      i += run;
      if (i == len) break;
      ctr.Take(b, buf);
      more = len - i > run;
    }
  } else {
    // Each run's ciphertext is hashed during the rounds of the next one.
    Enc8Whitened(b, rk);
    while (len - i >= run) {
      XorStore8(out + i, in + i, b);
      i += run;
      if (i == len) {
        y = ghc::Absorb8(y, out + i - run, key);
        break;
      }
      ctr.Take(b, buf);
      y = Enc8AndAbsorb(b, rk, y, out + i - run, key, ctr, buf, len - i > run);
    }
  }
  if (i < len) {
    // The hash takes the ciphertext zero-padded to whole blocks: the whole
    // blocks where they lie (in before decryption, which may overwrite it;
    // out after encryption), the partial one from `last`.
    const size_t rest = len - i, whole = rest / 16;
    const size_t blocks = (rest + 15) / 16;
    unsigned char last[16] = {0};
    if (decrypt) {
      memcpy(last, in + len - rest % 16, rest % 16);
      y = ghc::Absorb(y, in + i, whole, last, blocks, key);
      Enc8Whitened(b, rk);
    }
    XorTail(out + i, in + i, rest, b, last);
    if (!decrypt) {
      memset(last + rest % 16, 0, 16 - rest % 16);
      y = ghc::Absorb(y, out + i, whole, last, blocks, key);
    }
    Wipe(last, sizeof last);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(g->y), ghc::Reflect(y));
  if (len > run) Wipe(buf, sizeof buf);
  AddToCounter<true>(counter, (len + 15) / 16);
}

template <int Rounds>
NXVT_AESNI_CLMUL_TARGET void GcmSse(unsigned char* out, const unsigned char* in, size_t len,
                                    const unsigned char* schedule, unsigned char* counter, NXVT_GHASH* g,
                                    bool decrypt) {
  GcmBody<Rounds>(out, in, len, schedule, counter, g, decrypt);
}

template <int Rounds>
NXVT_AESNI_AVX_TARGET void GcmAvx(unsigned char* out, const unsigned char* in, size_t len,
                                  const unsigned char* schedule, unsigned char* counter, NXVT_GHASH* g,
                                  bool decrypt) {
  GcmBody<Rounds>(out, in, len, schedule, counter, g, decrypt);
}

template <int Rounds>
void GcmT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
          unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  if (NXVT_CpuFeatures().avx2) {
    GcmAvx<Rounds>(out, in, len, schedule, counter, g, decrypt);
  } else {
    GcmSse<Rounds>(out, in, len, schedule, counter, g, decrypt);
  }
}

// CCM's middle: the CBC-MAC chain over the plaintext and the counter mode
// in one pass, one MAC block and one counter block through the same round
// sequence. The chain's latency bounds the pass and the counter block runs
// in its shadow. As in CbcEncryptT the next plaintext block and round key 0
// are folded into the chain's last round key. Decryption needs P_i before
// the MAC can take it, so its counter blocks run one ahead of the chain.
template <int Rounds>
NXVT_AESNI_TARGET inline void Rounds2(__m128i& x, __m128i& c, const RoundKeys<Rounds>& rk) {
#pragma GCC unroll 16
  for (int r = 1; r < Rounds; ++r) {
    const __m128i k = rk[r];
    x = _mm_aesenc_si128(x, k);
    c = _mm_aesenc_si128(c, k);
  }
}

template <int Rounds>
NXVT_AESNI_TARGET void CcmT(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                            unsigned char* counter, unsigned char* mac, const unsigned char* head, size_t headCount,
                            bool decrypt) {
  const RoundKeys<Rounds> rk(schedule);
  Counter ctr{LoadBe64(counter), LoadBe64(counter + 8), true};
  const __m128i k0 = rk[0], kLast = rk[Rounds];
  const __m128i kFold = _mm_xor_si128(kLast, k0);
  const size_t whole = len / 16, rest = len % 16;
  __m128i y = Load(mac);
  for (size_t i = 0; i < headCount; ++i) y = Enc1(_mm_xor_si128(y, Load(head + 16 * i)), rk);
  if (whole > 0 && !decrypt) {
    __m128i p = Load(in);
    __m128i x = _mm_xor_si128(y, _mm_xor_si128(p, k0));
    for (size_t i = 0;; ++i) {
      __m128i c = _mm_xor_si128(ctr.Block(), k0);
      ctr.Next();
      Rounds2(x, c, rk);
      c = _mm_aesenclast_si128(c, kLast);
      if (i + 1 == whole) {
        Store(out + 16 * i, _mm_xor_si128(c, p));
        y = _mm_aesenclast_si128(x, kLast);
        break;
      }
      // Read before the store: out may be in.
      const __m128i next = Load(in + 16 * (i + 1));
      Store(out + 16 * i, _mm_xor_si128(c, p));
      x = _mm_aesenclast_si128(x, _mm_xor_si128(kFold, next));
      p = next;
    }
  } else if (whole > 0) {
    __m128i p = _mm_xor_si128(Load(in), Enc1(ctr.Block(), rk));
    ctr.Next();
    Store(out, p);
    __m128i x = _mm_xor_si128(y, _mm_xor_si128(p, k0));
    for (size_t i = 1; i < whole; ++i) {
      __m128i c = _mm_xor_si128(ctr.Block(), k0);
      ctr.Next();
      Rounds2(x, c, rk);
      p = _mm_xor_si128(Load(in + 16 * i), _mm_aesenclast_si128(c, kLast));
      Store(out + 16 * i, p);
      x = _mm_aesenclast_si128(x, _mm_xor_si128(kFold, p));
    }
#pragma GCC unroll 16
    for (int r = 1; r < Rounds; ++r) x = _mm_aesenc_si128(x, rk[r]);
    y = _mm_aesenclast_si128(x, kLast);
  }
  if (rest > 0) {
    // The partial last block goes through a zero-filled copy: the MAC takes
    // the plaintext zero-padded, the output only its `rest` bytes.
    unsigned char buf[16] = {0};
    memcpy(buf, in + 16 * whole, rest);
    const __m128i ks = Enc1(ctr.Block(), rk);
    ctr.Next();
    __m128i p = Load(buf);
    Store(buf, _mm_xor_si128(p, ks));
    memcpy(out + 16 * whole, buf, rest);
    if (decrypt) {
      memset(buf + rest, 0, 16 - rest);
      p = Load(buf);
    }
    y = Enc1(_mm_xor_si128(y, p), rk);
    Wipe(buf, sizeof buf);
  }
  Store(mac, y);
  StoreBe64(counter, ctr.hi);
  StoreBe64(counter + 8, ctr.lo);
}

}  // namespace

void NXVT_AesNi_EncryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? EncryptBlocksT<14>(blocks, count, schedule) : EncryptBlocksT<10>(blocks, count, schedule);
}

void NXVT_AesNi_DecryptBlocks(unsigned char* blocks, size_t count, const unsigned char* schedule, int rounds) {
  rounds == 14 ? DecryptBlocksT<14>(blocks, count, schedule) : DecryptBlocksT<10>(blocks, count, schedule);
}

void NXVT_AesNi_CbcEncrypt(unsigned char* out, const unsigned char* in, size_t count, const unsigned char* schedule,
                           int rounds, unsigned char* iv) {
  rounds == 14 ? CbcEncryptT<14>(out, in, count, schedule, iv) : CbcEncryptT<10>(out, in, count, schedule, iv);
}

void NXVT_AesNi_CbcDecrypt(unsigned char* data, size_t count, const unsigned char* schedule, int rounds,
                           unsigned char* iv) {
  rounds == 14 ? CbcDecryptT<14>(data, count, schedule, iv) : CbcDecryptT<10>(data, count, schedule, iv);
}

void NXVT_AesNi_Ctr(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, int counterBytes) {
  if (counterBytes == 4) {
    rounds == 14 ? CtrT<14, true>(out, in, len, schedule, counter) : CtrT<10, true>(out, in, len, schedule, counter);
  } else {
    rounds == 14 ? CtrT<14, false>(out, in, len, schedule, counter)
                 : CtrT<10, false>(out, in, len, schedule, counter);
  }
}

void NXVT_AesNi_Gcm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, NXVT_GHASH* g, bool decrypt) {
  rounds == 14 ? GcmT<14>(out, in, len, schedule, counter, g, decrypt)
               : GcmT<10>(out, in, len, schedule, counter, g, decrypt);
}

void NXVT_AesNi_Ccm(unsigned char* out, const unsigned char* in, size_t len, const unsigned char* schedule,
                    int rounds, unsigned char* counter, unsigned char* mac, const unsigned char* head,
                    size_t headCount, bool decrypt) {
  rounds == 14 ? CcmT<14>(out, in, len, schedule, counter, mac, head, headCount, decrypt)
               : CcmT<10>(out, in, len, schedule, counter, mac, head, headCount, decrypt);
}

namespace {

// One step of the key expansion: each word of `prev` is added to all words
// before it, then `assist` (one word of AESKEYGENASSIST's result, broadcast
// by the shuffle) to all four.
template <int Pick>
NXVT_AESNI_INLINE __m128i ExpandStep(__m128i prev, __m128i assist) {
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 4));
  prev = _mm_xor_si128(prev, _mm_slli_si128(prev, 8));
  return _mm_xor_si128(prev, _mm_shuffle_epi32(assist, Pick));
}

// Round key i into both halves of the schedule: the encryption key as it
// is, the inverse cipher's through InvMixColumns (but the first and last).
NXVT_AESNI_INLINE void PutRoundKey(unsigned char* schedule, int rounds, int i, __m128i k) {
  Store(schedule + 16 * i, k);
  Store(schedule + 16 * (rounds + 1 + i), i == 0 || i == rounds ? k : _mm_aesimc_si128(k));
}

// AES-128: w[4i..4i+3] from the four before, with RotWord, SubWord and the
// round constant from AESKEYGENASSIST.
template <int Rcon>
NXVT_AESNI_INLINE __m128i Next128(__m128i k) {
  return ExpandStep<0xFF>(k, _mm_aeskeygenassist_si128(k, Rcon));
}

// AES-256: an even round key takes RotWord, SubWord and the round constant
// of the odd key before it; an odd one SubWord alone of the even key before.
template <int Rcon>
NXVT_AESNI_INLINE void Next256(__m128i& even, __m128i& odd) {
  even = ExpandStep<0xFF>(even, _mm_aeskeygenassist_si128(odd, Rcon));
  odd = ExpandStep<0xAA>(odd, _mm_aeskeygenassist_si128(even, 0));
}

}  // namespace

// The round keys go to the schedule as they are made: the expansion keeps
// only the last one or two in registers, so no copy is left to wipe.
NXVT_AESNI_TARGET void NXVT_AesNi_ExpandKey(unsigned char* schedule, const unsigned char* key, int rounds) {
  if (rounds == 14) {
    __m128i even = Load(key), odd = Load(key + 16);
    PutRoundKey(schedule, 14, 0, even);
    PutRoundKey(schedule, 14, 1, odd);
#define NXVT_AES256_STEP(i, rcon)       \
  Next256<rcon>(even, odd);             \
  PutRoundKey(schedule, 14, i, even);   \
  if (i < 14) PutRoundKey(schedule, 14, i + 1, odd)
    NXVT_AES256_STEP(2, 0x01);
    NXVT_AES256_STEP(4, 0x02);
    NXVT_AES256_STEP(6, 0x04);
    NXVT_AES256_STEP(8, 0x08);
    NXVT_AES256_STEP(10, 0x10);
    NXVT_AES256_STEP(12, 0x20);
    NXVT_AES256_STEP(14, 0x40);
#undef NXVT_AES256_STEP
    return;
  }
  __m128i k = Load(key);
  PutRoundKey(schedule, 10, 0, k);
#define NXVT_AES128_STEP(i, rcon) \
  k = Next128<rcon>(k);           \
  PutRoundKey(schedule, 10, i, k)
  NXVT_AES128_STEP(1, 0x01);
  NXVT_AES128_STEP(2, 0x02);
  NXVT_AES128_STEP(3, 0x04);
  NXVT_AES128_STEP(4, 0x08);
  NXVT_AES128_STEP(5, 0x10);
  NXVT_AES128_STEP(6, 0x20);
  NXVT_AES128_STEP(7, 0x40);
  NXVT_AES128_STEP(8, 0x80);
  NXVT_AES128_STEP(9, 0x1b);
  NXVT_AES128_STEP(10, 0x36);
#undef NXVT_AES128_STEP
}
