// Runs a check on every implementation the machine has: the dispatched path
// (hardware where the processor has the extension) and the portable path,
// forced through the library's test switch.
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

// body() runs once on the dispatched path and once on the portable path.
template <class F>
void OnEveryPath(F body) {
  for (bool portable : {false, true}) {
    SCOPED_TRACE(portable ? "portable path" : "dispatched path");
    ForcedPath path(portable);
    body();
  }
}

}  // namespace cput

#endif
