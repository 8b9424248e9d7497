#ifndef TOLVARIS_CRYPTO_DIGEST_UTIL_H
#define TOLVARIS_CRYPTO_DIGEST_UTIL_H

// Byte-order helpers of the hash, MAC, KDF and mode code. They read and write the
// algorithms' byte order directly, so the results do not depend on the host.
#include <cstdint>

#include "platform/memory.h"

inline uint32_t LoadBe32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline uint32_t LoadLe32(const unsigned char* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t LoadBe64(const unsigned char* p) {
  return (uint64_t{LoadBe32(p)} << 32) | LoadBe32(p + 4);
}
inline uint64_t LoadLe64(const unsigned char* p) {
  return uint64_t{LoadLe32(p)} | (uint64_t{LoadLe32(p + 4)} << 32);
}
inline void StoreBe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}
inline void StoreLe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}
inline void StoreBe64(unsigned char* p, uint64_t v) {
  StoreBe32(p, static_cast<uint32_t>(v >> 32));
  StoreBe32(p + 4, static_cast<uint32_t>(v));
}
inline void StoreLe64(unsigned char* p, uint64_t v) {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

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
