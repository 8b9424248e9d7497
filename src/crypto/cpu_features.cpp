// Reads the processor's extensions once; the test switch masks them.
#include "crypto/cpu_features.h"

#include <atomic>

#include <cpuid.h>

namespace {

NXVT_CPU_FEATURES Detect() {
  NXVT_CPU_FEATURES f{};
#if defined(__x86_64__) || defined(__i386__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return f;
  const bool sse41 = (c & bit_SSE4_1) != 0;
  f.sse2 = (d & bit_SSE2) != 0;
  f.ssse3 = (c & bit_SSSE3) != 0;
  f.aesni = (c & bit_AES) != 0 && sse41 && f.ssse3;
  f.pclmul = (c & bit_PCLMUL) != 0 && sse41 && f.ssse3;
  // AVX state must be enabled by the OS (OSXSAVE and XCR0 bits 1 and 2;
  // for AVX-512 also bits 5 to 7, the mask registers and the ZMM state).
  bool ymm = false;
  bool zmm = false;
  if ((c & bit_OSXSAVE) != 0 && (c & bit_AVX) != 0) {
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    ymm = (lo & 6u) == 6u;
    zmm = (lo & 0xE6u) == 0xE6u;
  }
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d) != 0) {
    f.avx2 = ymm && (b & bit_AVX2) != 0;
    f.shani = (b & bit_SHA) != 0 && sse41 && f.ssse3;
    f.mulx = (b & bit_BMI2) != 0 && (b & bit_ADX) != 0;
    f.bmi2 = (b & bit_BMI) != 0 && (b & bit_BMI2) != 0;
    f.avx512 = zmm && f.avx2 && (b & bit_AVX512F) != 0 && (b & bit_AVX512VL) != 0;
    f.vaes = f.avx2 && f.aesni && (c & bit_VAES) != 0;
    f.vpclmul = f.avx2 && f.pclmul && (c & bit_VPCLMULQDQ) != 0;
    // The 512-bit code masks its tails with BZHI.
    f.vaes512 = f.vaes && f.vpclmul && f.bmi2 && zmm && (b & bit_AVX512F) != 0 && (b & bit_AVX512BW) != 0 &&
                (b & bit_AVX512VL) != 0;
  }
#endif
  return f;
}

// 0: what the processor has; 1: SSE2 and SSSE3 only; 2: nothing; 3: all
// but AVX-512; 4: all but the vector AES and carry-less extensions; 5: all
// but AVX-512 and those; 6: all but AVX2, AVX-512 and those.
constexpr int kModes = 7;
std::atomic<int> g_forced{0};

// What each mode reports, worked out once: a forced path then costs every
// dispatching call what the processor's own would.
struct ModeTable {
  NXVT_CPU_FEATURES mode[kModes];
};

ModeTable BuildModes(const NXVT_CPU_FEATURES& detected) {
  ModeTable t{};
  t.mode[0] = detected;
  t.mode[1].sse2 = detected.sse2;
  t.mode[1].ssse3 = detected.ssse3;
  t.mode[3] = detected;
  t.mode[3].avx512 = t.mode[3].vaes512 = false;
  for (int m = 4; m <= 6; ++m) {
    NXVT_CPU_FEATURES& f = t.mode[m];
    f = detected;
    f.vaes = f.vpclmul = f.vaes512 = false;
    if (m >= 5) f.avx512 = false;
    if (m == 6) f.avx2 = false;
  }
  return t;
}

}  // namespace

const NXVT_CPU_FEATURES& NXVT_CpuFeatures() {
  static const ModeTable modes = BuildModes(Detect());
  return modes.mode[g_forced.load(std::memory_order_relaxed)];
}

void NXVT_ForcePortableForTest(bool on) { g_forced.store(on ? 2 : 0, std::memory_order_relaxed); }

void NXVT_ForceSsse3OnlyForTest(bool on) { g_forced.store(on ? 1 : 0, std::memory_order_relaxed); }

void NXVT_ForceNoAvx512ForTest(bool on) { g_forced.store(on ? 3 : 0, std::memory_order_relaxed); }

void NXVT_ForceNoVectorAesForTest(bool on) { g_forced.store(on ? 4 : 0, std::memory_order_relaxed); }

void NXVT_ForceAesNiAvx2ForTest(bool on) { g_forced.store(on ? 5 : 0, std::memory_order_relaxed); }

void NXVT_ForceAesNiSseForTest(bool on) { g_forced.store(on ? 6 : 0, std::memory_order_relaxed); }
