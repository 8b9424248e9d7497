// RunModule_AMO on arbitrary request texts: it never crashes, always
// answers, returns 0 or 1, its reply is strict JSON in UTF-8 without
// repeated keys, and every success that carries "tx" carries the Base64 of
// such a text.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "command/json_check.h"
#include "tolvaris/bcm_codec.h"

extern "C" int RunModule_AMO(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_AMO(char* text);

namespace {

[[noreturn]] void Fail(const char* what, const std::string& request, const std::string& reply) {
  std::fprintf(stderr, "%s\nrequest: %s\nreply: %s\n", what, request.c_str(), reply.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  char* out = nullptr;
  const int rc = RunModule_AMO("fuzz", "amo", request.c_str(), &out);
  if (out == nullptr) Fail("no reply", request, "");
  const std::string reply = out;
  if (FreeMem_AMO(out) != 0) Fail("FreeMem_AMO", request, reply);
  if (rc != 0 && rc != 1) Fail("code neither 0 nor 1", request, reply);
  if (!IsStrictJson(reply)) Fail("reply is not strict UTF-8 JSON", request, reply);
  if (rc != 0) return 0;

  Json::Value v;
  Json::CharReaderBuilder builder;
  std::string errs;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(reply.data(), reply.data() + reply.size(), &v, &errs)) Fail("reply unreadable", request, reply);
  if (!v.isObject() || !v.isMember("tx")) return 0;
  if (!v["tx"].isString()) Fail("tx is not a text", request, reply);
  const std::string tx = v["tx"].asString();
  std::vector<unsigned char> raw(tx.size() + 1);
  uint32_t len = static_cast<uint32_t>(raw.size());
  if (BCMGenBase64Decode(tx.c_str(), raw.data(), &len) != 0) Fail("tx is not Base64", request, reply);
  if (!IsStrictJson(std::string(raw.begin(), raw.begin() + len))) Fail("tx is not strict JSON", request, reply);
  return 0;
}
