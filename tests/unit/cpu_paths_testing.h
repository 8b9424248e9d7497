// Runs a check on every implementation the machine has: the dispatched path
// (hardware where the processor has the extension), the SSSE3-only path (as
// on a processor without AES-NI) and the portable path, forced through the
// library's test switches.
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

class ForcedSsse3Only {
 public:
  ForcedSsse3Only() { NXVT_ForceSsse3OnlyForTest(true); }
  ~ForcedSsse3Only() { NXVT_ForceSsse3OnlyForTest(false); }
  ForcedSsse3Only(const ForcedSsse3Only&) = delete;
  ForcedSsse3Only& operator=(const ForcedSsse3Only&) = delete;
};

// body() runs on the dispatched path, the SSSE3-only path and the portable
// path, in that order.
template <class F>
void OnEveryPath(F body) {
  for (bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "portable path" : "dispatched path");
    ForcedPath path(portable);
    body();
  }
  SCOPED_TRACE("SSSE3-only path");
  ForcedSsse3Only path;
  body();
}

}  // namespace cput

#endif
