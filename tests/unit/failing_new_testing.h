#ifndef TOLVARIS_TESTS_FAILING_NEW_TESTING_H
#define TOLVARIS_TESTS_FAILING_NEW_TESTING_H

// Replaces the global operator new of the test program that includes it
// (include it from one source file only) so that a test can make a chosen
// allocation fail as an exhausted heap would:
//
//   for (long k = 1;; ++k) {
//     const fnt::FailAt fail(k);   // this thread's kth allocation throws
//     ... the call under test ...
//     if (!fnt::FailAt::Reached()) break;   // the call made fewer than k
//   }
//
// Only allocations made through operator new count (jsoncpp's, the standard
// library's, new (std::nothrow)); malloc and calloc do not.

#include <cstddef>
#include <cstdlib>
#include <new>

namespace fnt {
// This thread's allocations while armed; the one that fails (and with
// t_failOn every one after it).
inline thread_local long t_failAt = 0;  // 0: none
inline thread_local long t_count = 0;
inline thread_local bool t_failOn = false;

// Fails this thread's kth allocation while it lives (with `on`, every one
// from the kth).
class FailAt {
 public:
  explicit FailAt(long k, bool on = false) {
    t_count = 0;
    t_failAt = k;
    t_failOn = on;
  }
  ~FailAt() {
    t_failAt = 0;
    t_failOn = false;
  }
  FailAt(const FailAt&) = delete;
  FailAt& operator=(const FailAt&) = delete;
  // Whether the kth allocation was reached.
  static bool Reached() { return t_count >= t_failAt; }
};
}  // namespace fnt

// gcc pairs the malloc below with the sized delete wherever it inlines them
// and warns, not seeing that both replace the global operators.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (fnt::t_failAt != 0 &&
      (++fnt::t_count == fnt::t_failAt || (fnt::t_failOn && fnt::t_count > fnt::t_failAt)))
    throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The library's new (std::nothrow) fails the same way, and its blocks come
// from the same heap as the delete below frees them into (a sanitizer
// runtime brings its own).
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

#endif
