// RunModule_ATOM on arbitrary request texts: it never crashes, always
// answers with 0 or 1 and strict JSON in UTF-8 without repeated keys, and
// every "tx" it writes reads back as such JSON once its apostrophes are
// turned into double quotes.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "command/json_check.h"
#include "command/text/text.h"

extern "C" int RunModule_ATOM(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ATOM(char* text);

namespace {

[[noreturn]] void Fail(const char* what, const std::string& request, const char* reply) {
  std::fprintf(stderr, "%s\nrequest: %s\nreply: %s\n", what, request.c_str(), reply ? reply : "(null)");
  std::abort();
}

bool StrictParse(const std::string& text, Json::Value& v) {
  Json::CharReaderBuilder b;
  Json::CharReaderBuilder::strictMode(&b.settings_);
  std::string errs;
  std::unique_ptr<Json::CharReader> r(b.newCharReader());
  try {
    return r->parse(text.data(), text.data() + text.size(), &v, &errs);
  } catch (...) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  char* out = nullptr;
  const int rc = RunModule_ATOM("GenTx", "atom", request.c_str(), &out);
  if (out == nullptr) Fail("no reply", request, out);
  if (rc != 0 && rc != 1) Fail("return code other than 0 and 1", request, out);
  Json::Value reply;
  if (!IsStrictJson(out)) Fail("reply is not strict UTF-8 JSON", request, out);
  if (!StrictParse(out, reply)) Fail("reply is not JSON", request, out);
  if (rc == 0 && reply.isObject() && reply["tx"].isString()) {
    Json::Value tx;
    const std::string text = ReplaceAll(reply["tx"].asString(), "'", "\"");
    if (!IsStrictJson(text) || !StrictParse(text, tx) || !tx.isObject())
      Fail("tx does not read back as JSON", request, out);
  }
  FreeMem_ATOM(out);
  return 0;
}
