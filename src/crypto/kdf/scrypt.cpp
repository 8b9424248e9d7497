// scrypt (RFC 7914): Salsa20/8, BlockMix, ROMix and the PBKDF2 frame.
#include "crypto/kdf/scrypt.h"

#include <immintrin.h>

#include <cstring>
#include <new>
#include <utility>

#include "trail/trail.h"
#include "crypto/cpu_features.h"
#include "crypto/digest_util.h"
#include "platform/memory.h"
#include "crypto/kdf/pbkdf2.h"

namespace {

// A heap array of words that is wiped when released; empty when the memory
// could not be had. Not zeroed: ROMix writes every word before reading it.
class WipedWords {
 public:
  explicit WipedWords(uint64_t count) {
    if (count == 0 || count > SIZE_MAX / sizeof(uint32_t)) return;
    p_ = new (std::nothrow) uint32_t[count];
    if (p_ != nullptr) n_ = count;
  }
  ~WipedWords() {
    if (p_ != nullptr) {
      Wipe(p_, n_ * sizeof(uint32_t));
      delete[] p_;
    }
  }
  WipedWords(const WipedWords&) = delete;
  WipedWords& operator=(const WipedWords&) = delete;
  uint32_t* get() const { return p_; }
  bool ok() const { return p_ != nullptr; }

 private:
  uint32_t* p_ = nullptr;
  uint64_t n_ = 0;
};

inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Salsa208Words(uint32_t b[16]) {
  uint32_t x[16];
  memcpy(x, b, sizeof x);
  for (int i = 0; i < 8; i += 2) {
    // columns
    x[4] ^= Rotl(x[0] + x[12], 7);
    x[8] ^= Rotl(x[4] + x[0], 9);
    x[12] ^= Rotl(x[8] + x[4], 13);
    x[0] ^= Rotl(x[12] + x[8], 18);
    x[9] ^= Rotl(x[5] + x[1], 7);
    x[13] ^= Rotl(x[9] + x[5], 9);
    x[1] ^= Rotl(x[13] + x[9], 13);
    x[5] ^= Rotl(x[1] + x[13], 18);
    x[14] ^= Rotl(x[10] + x[6], 7);
    x[2] ^= Rotl(x[14] + x[10], 9);
    x[6] ^= Rotl(x[2] + x[14], 13);
    x[10] ^= Rotl(x[6] + x[2], 18);
    x[3] ^= Rotl(x[15] + x[11], 7);
    x[7] ^= Rotl(x[3] + x[15], 9);
    x[11] ^= Rotl(x[7] + x[3], 13);
    x[15] ^= Rotl(x[11] + x[7], 18);
    // rows
    x[1] ^= Rotl(x[0] + x[3], 7);
    x[2] ^= Rotl(x[1] + x[0], 9);
    x[3] ^= Rotl(x[2] + x[1], 13);
    x[0] ^= Rotl(x[3] + x[2], 18);
    x[6] ^= Rotl(x[5] + x[4], 7);
    x[7] ^= Rotl(x[6] + x[5], 9);
    x[4] ^= Rotl(x[7] + x[6], 13);
    x[5] ^= Rotl(x[4] + x[7], 18);
    x[11] ^= Rotl(x[10] + x[9], 7);
    x[8] ^= Rotl(x[11] + x[10], 9);
    x[9] ^= Rotl(x[8] + x[11], 13);
    x[10] ^= Rotl(x[9] + x[8], 18);
    x[12] ^= Rotl(x[15] + x[14], 7);
    x[13] ^= Rotl(x[12] + x[15], 9);
    x[14] ^= Rotl(x[13] + x[12], 13);
    x[15] ^= Rotl(x[14] + x[13], 18);
  }
  for (int i = 0; i < 16; ++i) b[i] += x[i];
  Wipe(x, sizeof x);
}

// BlockMix from `in` (2r sub-blocks of 16 words) into `out`: the sub-blocks of
// even index go to the first half, the odd ones to the second.
void BlockMixWords(const uint32_t* in, uint32_t* out, uint64_t r) {
  uint32_t x[16];
  memcpy(x, in + (2 * r - 1) * 16, sizeof x);
  for (uint64_t i = 0; i < 2 * r; ++i) {
    for (int k = 0; k < 16; ++k) x[k] ^= in[i * 16 + k];
    Salsa208Words(x);
    memcpy(out + ((i / 2) + (i % 2) * r) * 16, x, sizeof x);
  }
  Wipe(x, sizeof x);
}

void LoadWords(uint32_t* w, const unsigned char* b, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) w[i] = LoadLe32(b + 4 * i);
}
void StoreWords(unsigned char* b, const uint32_t* w, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) StoreLe32(b + 4 * i, w[i]);
}

// ---------------------------------------------------------------------------
// SSE2 path. Each 64-byte sub-block is kept with its words on diagonals, so
// that the four quarter-rounds of a column (and, after a lane rotation, of a
// row) run side by side in four vector registers:
//   a = (x0, x5, x10, x15), b = (x4, x9, x14, x3),
//   c = (x8, x13, x2, x7),  d = (x12, x1, x6, x11).
// Word 0 stays first, so Integerify reads the same position.

constexpr int kDiagonal[16] = {0, 5, 10, 15, 4, 9, 14, 3, 8, 13, 2, 7, 12, 1, 6, 11};

void LoadDiagonal(uint32_t* w, const unsigned char* b, uint64_t words) {
  for (uint64_t s = 0; s < words; s += 16) {
    for (int p = 0; p < 16; ++p) w[s + p] = LoadLe32(b + 4 * (s + kDiagonal[p]));
  }
}
void StoreDiagonal(unsigned char* b, const uint32_t* w, uint64_t words) {
  for (uint64_t s = 0; s < words; s += 16) {
    for (int p = 0; p < 16; ++p) StoreLe32(b + 4 * (s + kDiagonal[p]), w[s + p]);
  }
}

#define NXVT_SSE2_TARGET __attribute__((target("sse2")))

// t ^= (u <<< n), written as two shifts folded into t.
#define NXVT_XOR_ROTL(t, u, n) \
  t = _mm_xor_si128(_mm_xor_si128(t, _mm_slli_epi32(u, n)), _mm_srli_epi32(u, 32 - (n)))

NXVT_SSE2_TARGET __attribute__((always_inline)) inline void Salsa208Sse2(__m128i& ra, __m128i& rb, __m128i& rc,
                                                                            __m128i& rd) {
  // Locals, so the rounds stay in registers whatever the references alias.
  __m128i a = ra, b = rb, c = rc, d = rd;
#pragma GCC unroll 4
  for (int i = 0; i < 8; i += 2) {
    // Columns.
    NXVT_XOR_ROTL(b, _mm_add_epi32(a, d), 7);
    NXVT_XOR_ROTL(c, _mm_add_epi32(b, a), 9);
    NXVT_XOR_ROTL(d, _mm_add_epi32(c, b), 13);
    NXVT_XOR_ROTL(a, _mm_add_epi32(d, c), 18);
    // Rows: rotate b, c, d so that each row lines up with a.
    b = _mm_shuffle_epi32(b, 0x93);
    c = _mm_shuffle_epi32(c, 0x4E);
    d = _mm_shuffle_epi32(d, 0x39);
    NXVT_XOR_ROTL(d, _mm_add_epi32(a, b), 7);
    NXVT_XOR_ROTL(c, _mm_add_epi32(d, a), 9);
    NXVT_XOR_ROTL(b, _mm_add_epi32(c, d), 13);
    NXVT_XOR_ROTL(a, _mm_add_epi32(b, c), 18);
    b = _mm_shuffle_epi32(b, 0x39);
    c = _mm_shuffle_epi32(c, 0x4E);
    d = _mm_shuffle_epi32(d, 0x93);
  }
  ra = _mm_add_epi32(a, ra);
  rb = _mm_add_epi32(b, rb);
  rc = _mm_add_epi32(c, rc);
  rd = _mm_add_epi32(d, rd);
}
#undef NXVT_XOR_ROTL

NXVT_SSE2_TARGET inline __m128i Ld(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
NXVT_SSE2_TARGET inline void St(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// BlockMix of (in ^ mask) into out, in the diagonal layout; a null mask is
// no mask. ROMix's second loop passes V[j] as the mask, so X ^ V[j] is never
// written out.
template <bool Masked>
NXVT_SSE2_TARGET void BlockMixSse2(const uint32_t* in, const uint32_t* mask, uint32_t* out, uint64_t r) {
  auto load = [&](uint64_t word) {
    __m128i v = Ld(in + word);
    if constexpr (Masked) v = _mm_xor_si128(v, Ld(mask + word));
    return v;
  };
  const uint64_t last = (2 * r - 1) * 16;
  __m128i a = load(last), b = load(last + 4), c = load(last + 8), d = load(last + 12);
  for (uint64_t i = 0; i < 2 * r; ++i) {
    a = _mm_xor_si128(a, load(16 * i));
    b = _mm_xor_si128(b, load(16 * i + 4));
    c = _mm_xor_si128(c, load(16 * i + 8));
    d = _mm_xor_si128(d, load(16 * i + 12));
    Salsa208Sse2(a, b, c, d);
    uint32_t* o = out + ((i / 2) + (i % 2) * r) * 16;
    St(o, a);
    St(o + 4, b);
    St(o + 8, c);
    St(o + 12, d);
  }
}

// ROMix over words already in the diagonal layout.
void RoMixSse2(uint32_t* X, uint32_t* T, uint32_t* V, uint64_t N, uint64_t r) {
  const uint64_t words = 32 * r;
  for (uint64_t i = 0; i < N; ++i) {
    memcpy(V + i * words, X, words * sizeof(uint32_t));
    BlockMixSse2<false>(X, nullptr, T, r);
    std::swap(X, T);
  }
  for (uint64_t i = 0; i < N; ++i) {
    const uint64_t j = X[(2 * r - 1) * 16] & (N - 1);
    BlockMixSse2<true>(X, V + j * words, T, r);
    std::swap(X, T);
  }
  // 2N swaps of the local pointers: the result is in the caller's X.
}

}  // namespace

void ScryptSalsa208(unsigned char block[64]) {
  uint32_t w[16];
  LoadWords(w, block, 16);
  Salsa208Words(w);
  StoreWords(block, w, 16);
  Wipe(w, sizeof w);
}

int ScryptBlockMix(unsigned char* block, uint32_t r) {
  if (block == nullptr || r == 0) return -1;
  const uint64_t words = 32ull * r;
  WipedWords in(words), out(words);
  if (!in.ok() || !out.ok()) return -1;
  LoadWords(in.get(), block, words);
  BlockMixWords(in.get(), out.get(), r);
  StoreWords(block, out.get(), words);
  return 0;
}

int ScryptROMix(unsigned char* block, uint32_t N, uint32_t r) {
  if (block == nullptr || r == 0 || N == 0 || (N & (N - 1)) != 0) return -1;
  const uint64_t words = 32ull * r;  // 128·r bytes
  // The table holds N·128·r bytes: refuse a size that does not fit 64 bits.
  uint64_t tableWords = 0;
  if (__builtin_mul_overflow(words, static_cast<uint64_t>(N), &tableWords)) return -1;
  WipedWords x(words), t(words), v(tableWords);
  if (!x.ok() || !t.ok() || !v.ok()) return -1;
  uint32_t* X = x.get();
  uint32_t* T = t.get();
  uint32_t* V = v.get();
  if (NXVT_CpuFeatures().sse2) {
    LoadDiagonal(X, block, words);
    RoMixSse2(X, T, V, N, r);
    StoreDiagonal(block, X, words);
    return 0;
  }
  LoadWords(X, block, words);
  for (uint64_t i = 0; i < N; ++i) {
    memcpy(V + i * words, X, words * sizeof(uint32_t));
    BlockMixWords(X, T, r);
    std::swap(X, T);
  }
  for (uint64_t i = 0; i < N; ++i) {
    // Integerify: the first word of the last sub-block; N is a power of two
    // no larger than 2^31, so its low 32 bits decide j.
    const uint64_t j = X[(2 * r - 1) * 16] & (N - 1);
    const uint32_t* Vj = V + j * words;
    for (uint64_t k = 0; k < words; ++k) X[k] ^= Vj[k];
    BlockMixWords(X, T, r);
    std::swap(X, T);
  }
  StoreWords(block, X, words);
  return 0;
}

int DoScrypt(const char* password, const unsigned char* salt, int32_t saltLen, int32_t N, int32_t r, int32_t p,
             uint32_t dkLen, unsigned char* out, int32_t* outLen) {
  if (password == nullptr || salt == nullptr || saltLen < 0 || N <= 0 || r <= 0 || p < 1 || (N & (N - 1)) != 0 ||
      out == nullptr || outLen == nullptr)
    return TrailFail("DoScrypt", 172);
  // N < 2^(r+16); for r >= 15 every positive 32-bit N passes.
  if (r < 15 && static_cast<int64_t>(N) >= (int64_t{1} << (r + 16))) return TrailFail("DoScrypt", 172);
  // r·p < 2^30, computed in 64 bits so it cannot wrap.
  if (static_cast<int64_t>(r) * p >= (int64_t{1} << 30)) return TrailFail("DoScrypt", 172);
  if (static_cast<int64_t>(*outLen) < static_cast<int64_t>(dkLen)) return TrailFail("DoScrypt", 177);

  const uint64_t blockLen = 128ull * static_cast<uint64_t>(r);
  const uint64_t bLen = blockLen * static_cast<uint64_t>(p);  // below 2^37
  const size_t pwLen = strlen(password);
  SecureBytes B;
  try {
    B.resize(static_cast<size_t>(bLen));
  } catch (...) {
    return TrailFail("DoScrypt", 182);
  }
  const unsigned char* pw = reinterpret_cast<const unsigned char*>(password);
  if (Pbkdf2Hmac(B.data(), bLen, pw, pwLen, salt, static_cast<size_t>(saltLen), 1, &NXVT_SHA256_DESC) != 0)
    return TrailFail("DoScrypt", 188);
  for (int32_t i = 0; i < p; ++i) {
    if (ScryptROMix(B.data() + static_cast<uint64_t>(i) * blockLen, static_cast<uint32_t>(N),
                    static_cast<uint32_t>(r)) != 0)
      return TrailFail("DoScrypt", 182);
  }
  if (Pbkdf2Hmac(out, dkLen, pw, pwLen, B.data(), B.size(), 1, &NXVT_SHA256_DESC) != 0)
    return TrailFail("DoScrypt", 198);
  *outLen = static_cast<int32_t>(dkLen);
  return 0;
}
