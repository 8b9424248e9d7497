// RunModule_SAMPLE on arbitrary request texts: it never crashes, always
// answers with 0 or 1, and its reply is strict JSON in UTF-8 without
// repeated keys.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command/json_check.h"
#include "sample_entry.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The self-tests report on standard output; the fuzzer needs none of it.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  char* out = nullptr;
  const int rc = RunModule_SAMPLE("x", "sample", request.c_str(), &out);
  if (rc != 0 && rc != 1) std::abort();
  if (out == nullptr) std::abort();
  const std::string reply = out;
  if (FreeMem_SAMPLE(out) != 0) std::abort();
  if (!IsStrictJson(reply)) {
    std::fprintf(stderr, "reply is not strict UTF-8 JSON\nrequest: %s\nreply: %s\n", request.c_str(), reply.c_str());
    std::abort();
  }
  return 0;
}
