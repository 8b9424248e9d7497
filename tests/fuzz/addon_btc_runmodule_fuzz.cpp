// RunModule_BTC on arbitrary request texts: it never crashes, returns 0 or 1,
// always answers, and its answer is strict JSON in plain ASCII (whatever bytes
// the request held come back escaped) whose strings are Unicode text and
// whose objects name no key twice.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "command/json_check.h"

extern "C" int RunModule_BTC(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_BTC(char* text);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  char* out = nullptr;
  const int rc = RunModule_BTC("x", "btc", request.c_str(), &out);
  bool ascii = out != nullptr;
  for (const char* p = out; ascii && *p != '\0'; ++p) ascii = static_cast<unsigned char>(*p) < 0x80;
  if ((rc != 0 && rc != 1) || out == nullptr || !ascii || !IsStrictJson(out)) {
    std::fprintf(stderr, "rc %d\nrequest: %s\nreply: %s\n", rc, request.c_str(), out ? out : "(null)");
    std::abort();
  }
  FreeMem_BTC(out);
  return 0;
}
