#ifndef TOLVARIS_CRYPTO_DIGEST_UTIL_H
#define TOLVARIS_CRYPTO_DIGEST_UTIL_H

// Byte-order helpers of the hash, MAC, KDF and mode code. They read and write the
// algorithms' byte order directly, so the results do not depend on the host.
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/memory.h"

// Each load and store goes through one word move, byte-swapped where the
// host's order is not the algorithm's: GCC 12 merges a byte-by-byte load
// into one, but not always such a store (a 128-bit counter update took a
// hundred instructions). InOrder swaps when the host's order is not
// `kOrder`, so the same call serves both ways.
template <std::endian kOrder, class W>
inline W InOrder(W v) {
  if constexpr (std::endian::native != kOrder) {
    if constexpr (sizeof(W) == 4) return __builtin_bswap32(v);
    if constexpr (sizeof(W) == 8) return __builtin_bswap64(v);
  }
  return v;
}
template <class W>
inline W LoadWord(const unsigned char* p) {
  W v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class W>
inline void StoreWord(unsigned char* p, W v) {
  std::memcpy(p, &v, sizeof v);
}

inline uint32_t LoadBe32(const unsigned char* p) { return InOrder<std::endian::big>(LoadWord<uint32_t>(p)); }
inline uint32_t LoadLe32(const unsigned char* p) { return InOrder<std::endian::little>(LoadWord<uint32_t>(p)); }
inline uint64_t LoadBe64(const unsigned char* p) { return InOrder<std::endian::big>(LoadWord<uint64_t>(p)); }
inline uint64_t LoadLe64(const unsigned char* p) { return InOrder<std::endian::little>(LoadWord<uint64_t>(p)); }
inline void StoreBe32(unsigned char* p, uint32_t v) { StoreWord(p, InOrder<std::endian::big>(v)); }
inline void StoreLe32(unsigned char* p, uint32_t v) { StoreWord(p, InOrder<std::endian::little>(v)); }
inline void StoreBe64(unsigned char* p, uint64_t v) { StoreWord(p, InOrder<std::endian::big>(v)); }
inline void StoreLe64(unsigned char* p, uint64_t v) { StoreWord(p, InOrder<std::endian::little>(v)); }

// Big-endian store of a 32- or 64-bit word.
inline void StoreBeWord(unsigned char* p, uint32_t v) { StoreBe32(p, v); }
inline void StoreBeWord(unsigned char* p, uint64_t v) { StoreBe64(p, v); }

// Adds the working variables back into an eight-word chaining state.
template <class W>
inline void FeedForward(W* st, W a, W b, W c, W d, W e, W f, W g, W h) {
  st[0] += a;
  st[1] += b;
  st[2] += c;
  st[3] += d;
  st[4] += e;
  st[5] += f;
  st[6] += g;
  st[7] += h;
}

#endif
