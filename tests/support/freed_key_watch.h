#ifndef TOLVARIS_TESTS_FREED_KEY_WATCH_H
#define TOLVARIS_TESTS_FREED_KEY_WATCH_H

// A watch over free(): while it is on, every block the process frees is
// searched for a private key, as text and as its leading bytes, and each
// block holding it is counted and reported with a backtrace. It replaces
// free() itself, so include it in one file of a test program only. The
// sanitizer build keeps its own free(): there the watch is absent
// (kFreedKeyWatchBuilt false) and a test skips.

#include <cstddef>

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
  bool on = false;
  int found = 0;
};

inline FreedKeyWatch freedKeyWatch;

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kFreedKeyWatchBuilt = false;
#else
inline constexpr bool kFreedKeyWatchBuilt = true;

inline void CheckFreedBlock(void* p) {
  FreedKeyWatch& w = freedKeyWatch;
  const size_t n = malloc_usable_size(p);
  if ((w.keyText == nullptr || memmem(p, n, w.keyText, std::strlen(w.keyText)) == nullptr) &&
      (w.keyBytes == nullptr || memmem(p, n, w.keyBytes, w.keyBytesLen) == nullptr))
    return;
  ++w.found;
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
  __libc_free(p);
}
#endif

#endif
