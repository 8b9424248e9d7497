// Runs a check on every implementation the machine has: the dispatched path
// (hardware where the processor has the extension), the SSSE3-only path (as
// on a processor without AES-NI), the portable path and the path without
// AVX-512 (as on a processor with AVX2 alone; AES and GHASH take VAES and
// VPCLMULQDQ on 256-bit vectors there), forced through the library's
// test switches; for AES and GHASH also the AES-NI and PCLMULQDQ path of a
// processor without their vector forms, with and without AVX-512, and
// without AVX2 (the SSE encoding of that code).
#ifndef TOLVARIS_TESTS_CPU_PATHS_TESTING_H
#define TOLVARIS_TESTS_CPU_PATHS_TESTING_H

#include <gtest/gtest.h>

#include "crypto/cpu_features.h"

namespace cput {

class ForcedPath {
 public:
  explicit ForcedPath(bool portable) { NXVT_ForcePortableForTest(portable); }
  ~ForcedPath() { NXVT_ForcePortableForTest(false); }
  ForcedPath(const ForcedPath&) = delete;
  ForcedPath& operator=(const ForcedPath&) = delete;
};

// Holds one of the switches on for its scope.
template <void (*kSwitch)(bool)>
class ForcedSwitch {
 public:
  ForcedSwitch() { kSwitch(true); }
  ~ForcedSwitch() { kSwitch(false); }
  ForcedSwitch(const ForcedSwitch&) = delete;
  ForcedSwitch& operator=(const ForcedSwitch&) = delete;
};

using ForcedSsse3Only = ForcedSwitch<NXVT_ForceSsse3OnlyForTest>;
using ForcedNoAvx512 = ForcedSwitch<NXVT_ForceNoAvx512ForTest>;
using ForcedNoVectorAes = ForcedSwitch<NXVT_ForceNoVectorAesForTest>;
using ForcedAesNiAvx2 = ForcedSwitch<NXVT_ForceAesNiAvx2ForTest>;
using ForcedAesNiSse = ForcedSwitch<NXVT_ForceAesNiSseForTest>;

// body() runs on the dispatched path, the portable path, the SSSE3-only
// path and the path without AVX-512, in that order.
template <class F>
void OnEveryPath(F body) {
  for (bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "portable path" : "dispatched path");
    ForcedPath path(portable);
    body();
  }
  {
    SCOPED_TRACE("SSSE3-only path");
    ForcedSsse3Only path;
    body();
  }
  SCOPED_TRACE("path without AVX-512");
  ForcedNoAvx512 path;
  body();
}

// The same, after runs with VAES and VPCLMULQDQ hidden: with AVX-512,
// without it (as on a processor with AES-NI, PCLMULQDQ and AVX2 alone) and
// without AVX2 too (as on one that has AES-NI and PCLMULQDQ before AVX2).
template <class F>
void OnEveryAesPath(F body) {
  {
    SCOPED_TRACE("AES-NI path");
    ForcedNoVectorAes path;
    body();
  }
  {
    SCOPED_TRACE("AES-NI path without AVX-512");
    ForcedAesNiAvx2 path;
    body();
  }
  {
    SCOPED_TRACE("AES-NI path without AVX2");
    ForcedAesNiSse path;
    body();
  }
  OnEveryPath(body);
}

}  // namespace cput

#endif
