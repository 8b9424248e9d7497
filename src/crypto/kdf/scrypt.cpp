// scrypt (RFC 7914): Salsa20/8, BlockMix, ROMix and the PBKDF2 frame.
#include "crypto/kdf/scrypt.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "trail/trail.h"
#include "crypto/digest_util.h"
#include "platform/memory.h"
#include "crypto/kdf/pbkdf2.h"

namespace {

// A heap array of words that is wiped when released; empty when the memory
// could not be had. Not zeroed: ROMix writes every word before reading it.
//
// An array of a huge page or more (the ROMix table: 16 MiB for N = 16384,
// r = 8) is aligned to 2 MiB, asked for transparent huge pages and made
// present in one call. Touched page by page, fresh 4 KiB pages cost one
// fault each: on a virtual machine that took several times longer than the
// derivation itself, for each of the first calls of a process. Memory the
// heap hands out again is already present, and the calls cost next to
// nothing then.
class WipedWords {
 public:
  explicit WipedWords(uint64_t count) {
    if (count == 0 || count > SIZE_MAX / sizeof(uint32_t)) return;
    bytes_ = count * sizeof(uint32_t);
    if (bytes_ >= kHugePage) {
      AllocLarge();
    } else {
      p_ = new (std::nothrow) uint32_t[count];
    }
  }
  ~WipedWords() {
    if (p_ == nullptr) return;
    Wipe(p_, bytes_);
    if (large_) {
      free(p_);
    } else {
      delete[] p_;
    }
  }
  WipedWords(const WipedWords&) = delete;
  WipedWords& operator=(const WipedWords&) = delete;
  uint32_t* get() const { return p_; }
  bool ok() const { return p_ != nullptr; }

 private:
  static constexpr size_t kHugePage = size_t{2} << 20;

  void AllocLarge() {
    if (bytes_ > SIZE_MAX - kHugePage) return;
    // Whole huge pages, as the alignment asks.
    const size_t len = (bytes_ + kHugePage - 1) & ~(kHugePage - 1);
    void* p = aligned_alloc(kHugePage, len);
    if (p == nullptr) return;
    // Both are hints: without huge pages (or on an older kernel) the table
    // works as well, only slower to set up. A table whose pages cannot be
    // had is refused here rather than failing when first written.
    madvise(p, len, MADV_HUGEPAGE);
    if (madvise(p, bytes_, MADV_POPULATE_WRITE) != 0 && errno == ENOMEM) {
      free(p);
      return;
    }
    p_ = static_cast<uint32_t*>(p);
    large_ = true;
  }

  uint32_t* p_ = nullptr;
  size_t bytes_ = 0;
  bool large_ = false;
};

// Salsa20/8 on sixteen words held as named values: with every round
// unrolled they stay in registers, and the four quarter-rounds of a column
// (or row) round run side by side on the integer units. The scalar form beats
// vector code here: each quarter-round is a chain of add, rotate and xor,
// which costs one cycle per instruction on the integer units and two on the
// vector units of recent processors.
inline uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

[[gnu::always_inline]] inline void Quarter(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d) {
  b ^= Rotl(a + d, 7);
  c ^= Rotl(b + a, 9);
  d ^= Rotl(c + b, 13);
  a ^= Rotl(d + c, 18);
}

// x = Salsa20/8(x) without the final addition of the input.
[[gnu::always_inline]] inline void Salsa208Rounds(uint32_t (&x)[16]) {
#pragma GCC unroll 4
  for (int i = 0; i < 4; ++i) {
    // columns
    Quarter(x[0], x[4], x[8], x[12]);
    Quarter(x[5], x[9], x[13], x[1]);
    Quarter(x[10], x[14], x[2], x[6]);
    Quarter(x[15], x[3], x[7], x[11]);
    // rows
    Quarter(x[0], x[1], x[2], x[3]);
    Quarter(x[5], x[6], x[7], x[4]);
    Quarter(x[10], x[11], x[8], x[9]);
    Quarter(x[15], x[12], x[13], x[14]);
  }
}

// BlockMix of (in ^ mask) into out (2r sub-blocks of 16 words): the
// sub-blocks of even index go to the first half, the odd ones to the
// second. Without a mask it is BlockMix of in; ROMix's second loop passes
// V[j] as the mask, so X ^ V[j] is never written out. out must not overlap
// in or mask.
template <bool Masked>
void BlockMixWords(const uint32_t* in, const uint32_t* mask, uint32_t* out, uint64_t r) {
  auto word = [&](uint64_t k) { return Masked ? in[k] ^ mask[k] : in[k]; };
  const uint64_t last = (2 * r - 1) * 16;
  uint32_t x[16], y[16];
#pragma GCC unroll 16
  for (int k = 0; k < 16; ++k) x[k] = word(last + k);
  for (uint64_t i = 0; i < 2 * r; ++i) {
#pragma GCC unroll 16
    for (int k = 0; k < 16; ++k) {
      x[k] ^= word(16 * i + k);
      y[k] = x[k];
    }
    Salsa208Rounds(x);
    uint32_t* o = out + ((i / 2) + (i % 2) * r) * 16;
#pragma GCC unroll 16
    for (int k = 0; k < 16; ++k) {
      x[k] += y[k];
      o[k] = x[k];
    }
  }
  Wipe(x, sizeof x);
  Wipe(y, sizeof y);
}

void LoadWords(uint32_t* w, const unsigned char* b, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) w[i] = LoadLe32(b + 4 * i);
}
void StoreWords(unsigned char* b, const uint32_t* w, uint64_t count) {
  for (uint64_t i = 0; i < count; ++i) StoreLe32(b + 4 * i, w[i]);
}

// ROMix of the block with the caller's work memory: a table V of N blocks
// and two blocks X, T of 32r words each. The first loop runs BlockMix from
// each table entry straight into the next; the second reads V[j] at
// j = Integerify(X) mod N. That index depends on the password by the
// algorithm's design (scrypt's memory-hardness rests on it), so the table
// reads are the one part of the derivation whose addresses follow the
// secret; Salsa20/8 and BlockMix are free of branches and indices on it.
void RoMixWith(unsigned char* block, uint64_t N, uint64_t r, uint32_t* V, uint32_t* X, uint32_t* T) {
  const uint64_t words = 32 * r;  // 128·r bytes
  LoadWords(V, block, words);
  for (uint64_t i = 0; i + 1 < N; ++i) BlockMixWords<false>(V + i * words, nullptr, V + (i + 1) * words, r);
  BlockMixWords<false>(V + (N - 1) * words, nullptr, X, r);
  for (uint64_t i = 0; i < N; ++i) {
    // Integerify: the first word of the last sub-block; N is a power of two
    // no larger than 2^31, so its low 32 bits decide j.
    const uint64_t j = X[(2 * r - 1) * 16] & (N - 1);
    BlockMixWords<true>(X, V + j * words, T, r);
    std::swap(X, T);
  }
  // An even number of swaps: the result is in the caller's X.
  StoreWords(block, X, words);
}

// The work memory of ROMix for N and r: the table of N·128·r bytes (a size
// beyond 64 bits is refused) and the two blocks.
class RoMixMemory {
 public:
  RoMixMemory(uint64_t N, uint64_t r) : x_(32 * r), t_(32 * r), v_(TableWords(N, r)) {}
  bool ok() const { return x_.ok() && t_.ok() && v_.ok(); }
  void Run(unsigned char* block, uint64_t N, uint64_t r) { RoMixWith(block, N, r, v_.get(), x_.get(), t_.get()); }

 private:
  static uint64_t TableWords(uint64_t N, uint64_t r) {
    uint64_t words = 0;
    return __builtin_mul_overflow(32 * r, N, &words) ? 0 : words;
  }
  WipedWords x_, t_, v_;
};

}  // namespace

void ScryptSalsa208(unsigned char block[64]) {
  uint32_t x[16], y[16];
  LoadWords(y, block, 16);
  memcpy(x, y, sizeof x);
  Salsa208Rounds(x);
  for (int k = 0; k < 16; ++k) x[k] += y[k];
  StoreWords(block, x, 16);
  Wipe(x, sizeof x);
  Wipe(y, sizeof y);
}

int ScryptBlockMix(unsigned char* block, uint32_t r) {
  if (block == nullptr || r == 0) return -1;
  const uint64_t words = 32ull * r;
  WipedWords in(words), out(words);
  if (!in.ok() || !out.ok()) return -1;
  LoadWords(in.get(), block, words);
  BlockMixWords<false>(in.get(), nullptr, out.get(), r);
  StoreWords(block, out.get(), words);
  return 0;
}

int ScryptROMix(unsigned char* block, uint32_t N, uint32_t r) {
  if (block == nullptr || r == 0 || N == 0 || (N & (N - 1)) != 0) return -1;
  RoMixMemory mem(N, r);
  if (!mem.ok()) return -1;
  mem.Run(block, N, r);
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
  // One work area serves the p blocks in turn.
  RoMixMemory mem(static_cast<uint64_t>(N), static_cast<uint64_t>(r));
  if (!mem.ok()) return TrailFail("DoScrypt", 182);
  for (int32_t i = 0; i < p; ++i) mem.Run(B.data() + static_cast<uint64_t>(i) * blockLen, N, r);
  if (Pbkdf2Hmac(out, dkLen, pw, pwLen, B.data(), B.size(), 1, &NXVT_SHA256_DESC) != 0)
    return TrailFail("DoScrypt", 198);
  *outLen = static_cast<int32_t>(dkLen);
  return 0;
}
