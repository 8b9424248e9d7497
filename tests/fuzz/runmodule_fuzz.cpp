// RunModule on arbitrary request texts: it never crashes, always answers,
// returns one of its four codes, says "success" exactly for code 0, and its
// reply is strict JSON without repeated keys.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "tolvaris/runmodule.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& request, const char* reply) {
  std::fprintf(stderr, "%s\nrequest: %s\nreply: %s\n", what, request.c_str(), reply ? reply : "(null)");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  char* reply = nullptr;
  const int rc = RunModule(request.c_str(), &reply);
  if (reply == nullptr) Fail("no reply", request, reply);
  if (rc != 0 && rc != 1181 && rc != 1196 && rc != 1203) Fail("unexpected code", request, reply);

  // The core's envelope holds no raw control characters (text it inserts is
  // escaped, and it writes no blanks of its own).
  for (const char* p = reply; *p; ++p)
    if (static_cast<unsigned char>(*p) < 0x20) Fail("raw control character", request, reply);

  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  builder.settings_["rejectDupKeys"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value v;
  std::string errs;
  const size_t len = std::strlen(reply);
  if (!reader->parse(reply, reply + len, &v, &errs)) Fail(("not strict JSON: " + errs).c_str(), request, reply);
  if (!v.isObject() || !v["result"].isString() || !v["action"].isString() || !v.isMember("return"))
    Fail("envelope members", request, reply);
  const bool success = v["result"].asString() == "success";
  if (success != (rc == 0)) Fail("result does not match the code", request, reply);
  if (!success && v["result"].asString() != "fail") Fail("result is neither success nor fail", request, reply);
  if (FreeMem(reply) != 0) Fail("FreeMem", request, nullptr);
  return 0;
}
