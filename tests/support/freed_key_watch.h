#ifndef TOLVARIS_TESTS_FREED_KEY_WATCH_H
#define TOLVARIS_TESTS_FREED_KEY_WATCH_H

// A watch over free(): while it is on, every block the process frees is
// searched for a private key, as text and as its leading bytes (and for any
// further byte strings the test names), and each block holding one is
// counted and reported with a backtrace. It replaces
// free() itself, so include it in one file of a test program only. The
// sanitizer build keeps its own free(): there the watch is absent
// (kFreedKeyWatchBuilt false) and a test skips.

#include <cstddef>
#include <string>

#if !defined(__SANITIZE_ADDRESS__)
#include <execinfo.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

extern "C" void __libc_free(void* p);
#endif

namespace tvt {

struct FreedKeyWatch {
  const char* keyText = nullptr;          // searched as it is
  const unsigned char* keyBytes = nullptr;
  size_t keyBytesLen = 0;
  const std::string* needles = nullptr;   // more byte strings, searched as they are
  size_t needleCount = 0;
  bool on = false;
  // Zero every freed block (after the search, when on): key text that the
  // test itself lets go (its requests, the replies it reads) cannot then be
  // handed, stale, to a block the code under test allocates and frees.
  bool scrub = false;
  int found = 0;
  size_t foundBytes = 0;                  // the usable sizes of those blocks
};

inline FreedKeyWatch freedKeyWatch;

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kFreedKeyWatchBuilt = false;
#else
inline constexpr bool kFreedKeyWatchBuilt = true;

inline bool HoldsNeedle(const void* p, size_t n) {
  const FreedKeyWatch& w = freedKeyWatch;
  if (w.keyText != nullptr && memmem(p, n, w.keyText, std::strlen(w.keyText)) != nullptr) return true;
  if (w.keyBytes != nullptr && memmem(p, n, w.keyBytes, w.keyBytesLen) != nullptr) return true;
  for (size_t i = 0; i < w.needleCount; ++i)
    if (memmem(p, n, w.needles[i].data(), w.needles[i].size()) != nullptr) return true;
  return false;
}

inline void CheckFreedBlock(void* p) {
  FreedKeyWatch& w = freedKeyWatch;
  const size_t n = malloc_usable_size(p);
  if (!HoldsNeedle(p, n)) return;
  ++w.found;
  w.foundBytes += n;
  w.on = false;  // no watching while reporting
  void* frames[16];
  const int depth = backtrace(frames, 16);
  std::fprintf(stderr, "a freed block holds the key:\n");
  backtrace_symbols_fd(frames, depth, 2);
  w.on = true;
}
#endif

}  // namespace tvt

#if !defined(__SANITIZE_ADDRESS__)
// Every free of the process passes here.
extern "C" void free(void* p) {
  if (p != nullptr && tvt::freedKeyWatch.on) tvt::CheckFreedBlock(p);
  if (p != nullptr && tvt::freedKeyWatch.scrub) std::memset(p, 0, malloc_usable_size(p));
  __libc_free(p);
}
#endif

#endif
