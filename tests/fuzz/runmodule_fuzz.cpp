// RunModule on arbitrary request texts: it never crashes, always answers,
// returns one of its four codes, says "success" exactly for code 0, and its
// reply is strict JSON in UTF-8 without repeated keys.
#include <json/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "command/actions.h"
#include "command/json_check.h"
#include "command/json_tree.h"
#include "command/text/text.h"
#include "tolvaris/runmodule.h"

namespace {

// A request number as the handlers read it; what they cannot read costs
// nothing (the dispatcher answers it at once).
uint64_t ArgNumber(const json_value& args, const char* key) {
  try {
    return static_cast<uint64_t>(StrToInt(ArgText(args, key)));
  } catch (...) {
    return 0;
  }
}

// The key derivations cost what the request asks for: skip the inputs whose
// iteration count, scrypt work or output length would stall the fuzzer.
// Refusals stay in (they are cheap), and the request is read by the same
// parser and lookups as RunModule, so escapes cannot hide a cost.
bool TooCostly(const char* request) {
  json_value* root = json_parse(request, std::strlen(request));
  if (root == nullptr) return false;
  bool costly = false;
  try {
    const SecureText action = ArgText(*root, "action");
    const json_value& args = ArgValue(*root, "args");
    if (action == "GenPBKDF2") {
      costly = ArgNumber(args, "iterator") > 1024 || ArgNumber(args, "outlen") > 4096;
    } else if (action == "GenScrypt") {
      const uint64_t N = ArgNumber(args, "N"), r = ArgNumber(args, "r"), p = ArgNumber(args, "p");
      // Each factor is checked alone first so that the product cannot wrap.
      const uint64_t most = 1u << 14;
      costly = N > most || r > most || p > most || N * r * p > most || ArgNumber(args, "outlen") > 4096;
    }
  } catch (...) {
    // An action name RunModule refuses costs nothing.
  }
  json_value_free(root);
  return costly;
}

[[noreturn]] void Fail(const char* what, const std::string& request, const char* reply) {
  std::fprintf(stderr, "%s\nrequest: %s\nreply: %s\n", what, request.c_str(), reply ? reply : "(null)");
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string request(reinterpret_cast<const char*>(data), size);
  {
    // The parser never needs more than the arena sized for the text.
    const ParsedJson tree(request.data(), request.size());
    if (tree.spilled()) Fail("parse arena too small", request, nullptr);
  }
  if (TooCostly(request.c_str())) return 0;
  char* reply = nullptr;
  const int rc = RunModule(request.c_str(), &reply);
  if (reply == nullptr) Fail("no reply", request, reply);
  if (rc != 0 && rc != 1181 && rc != 1196 && rc != 1203) Fail("unexpected code", request, reply);

  // The core's envelope holds no raw control characters (text it inserts is
  // escaped, and it writes no blanks of its own).
  for (const char* p = reply; *p; ++p)
    if (static_cast<unsigned char>(*p) < 0x20) Fail("raw control character", request, reply);

  // UTF-8 text in every string and no key twice in any object.
  if (!IsStrictJson(reply)) Fail("not strict UTF-8 JSON", request, reply);
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
