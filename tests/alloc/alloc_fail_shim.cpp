// Preloaded (LD_PRELOAD) in front of the C library, it counts the process's
// allocations and makes one of them fail, as an exhausted heap would: the
// Nth call of malloc, calloc, realloc or an aligned allocation (operator new
// ends in malloc) returns null with errno ENOMEM. Every other call goes to
// the C library's own allocator.
//
// The driver that preloads it steers it through the functions below, looked
// up with dlsym: it arms the shim with N, opens the count around each call
// into the libraries under test (so the driver's own bookkeeping is not
// counted), and reads back what happened. The shim reads no environment.
#include <errno.h>
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t) noexcept;
void* __libc_calloc(size_t, size_t) noexcept;
void* __libc_realloc(void*, size_t) noexcept;
void* __libc_memalign(size_t, size_t) noexcept;
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_count{0};
uint64_t g_target = 0;          // 0: never fail
std::atomic<uint64_t> g_failedSize{0};
std::atomic<bool> g_failed{false};

// Called as the armed allocation fails: a place for a debugger's breakpoint.
extern "C" __attribute__((noinline, visibility("default"))) void tv_alloc_fail_here(size_t size) {
  asm volatile("" : : "r"(size) : "memory");
}

// True when this allocation is the one that fails.
bool FailsNow(size_t size) {
  if (!g_counting.load(std::memory_order_relaxed)) return false;
  const uint64_t n = g_count.fetch_add(1, std::memory_order_relaxed) + 1;
  if (g_target == 0 || n != g_target) return false;
  g_failedSize.store(size, std::memory_order_relaxed);
  g_failed.store(true, std::memory_order_relaxed);
  tv_alloc_fail_here(size);
  errno = ENOMEM;
  return true;
}

}  // namespace

extern "C" {

// Fails the nth counted allocation from now on (0: none); the count starts
// at zero and closed.
__attribute__((visibility("default"))) void tv_alloc_fail_arm(uint64_t n) {
  g_counting.store(false);
  g_count.store(0);
  g_failed.store(false);
  g_failedSize.store(0);
  g_target = n;
}

// Fails the nth counted allocation (0: none), the count kept where it is.
__attribute__((visibility("default"))) void tv_alloc_fail_target(uint64_t n) {
  g_failed.store(false);
  g_failedSize.store(0);
  g_target = n;
}

// Opens (1) or closes (0) the count.
__attribute__((visibility("default"))) void tv_alloc_fail_count_on(int on) { g_counting.store(on != 0); }

// Counted allocations so far; whether the armed one failed, and its size.
__attribute__((visibility("default"))) uint64_t tv_alloc_fail_count() { return g_count.load(); }
__attribute__((visibility("default"))) int tv_alloc_fail_failed(uint64_t* size) {
  if (size != nullptr) *size = g_failedSize.load();
  return g_failed.load() ? 1 : 0;
}

__attribute__((visibility("default"))) void* malloc(size_t size) noexcept {
  return FailsNow(size) ? nullptr : __libc_malloc(size);
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) noexcept {
  return FailsNow(count * size) ? nullptr : __libc_calloc(count, size);
}

__attribute__((visibility("default"))) void* realloc(void* p, size_t size) noexcept {
  // Shrinking to nothing frees; that is no allocation.
  if (p != nullptr && size == 0) return __libc_realloc(p, size);
  return FailsNow(size) ? nullptr : __libc_realloc(p, size);
}

__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t size) noexcept {
  return FailsNow(size) ? nullptr : __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t size) noexcept {
  return FailsNow(size) ? nullptr : __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  if (FailsNow(size)) return ENOMEM;
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}

__attribute__((visibility("default"))) void* valloc(size_t size) noexcept {
  return FailsNow(size) ? nullptr : __libc_memalign(4096, size);
}

__attribute__((visibility("default"))) void* pvalloc(size_t size) noexcept {
  return FailsNow(size) ? nullptr : __libc_memalign(4096, (size + 4095) & ~static_cast<size_t>(4095));
}

}  // extern "C"
