// RunModule_SAMPLE and FreeMem_SAMPLE: the test action and the self-tests of
// the core's exports, named by "bcmodule".
#include <json/json.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "command/text/text.h"
#include "common/entry.h"
#include "common/json_io.h"
#include "sample_entry.h"
#include "self_tests.h"

namespace {

constexpr char kParamIsNull[] = R"({"error":{"err_code":"1000","err_msg":"param is null"}})";
constexpr char kFormatError[] = R"({"error":{"err_code":"1000","err_msg":"request format error"}})";
constexpr char kNoMemory[] = R"({"error":{"err_code":"1000","err_msg":"memory allocation failed"}})";

struct SelfTest {
  const char* name;  // matched exactly
  int (*run)();
};

const SelfTest kSelfTests[] = {
    {"BCMGenEntropy", TestGenEntropy},         {"BCMGenBase64", TestGenBase64},
    {"BCMGenBase58", TestGenBase58},           {"BCMGenHashMessage", TestGenHashMessage},
    {"BCMGenMnemonic", TestGenMnemonic},       {"BCMGenSignature", TestGenSignature},
    {"BCMVerifySignature", TestVerifySignature},
};

// The request as echoed after a parse failure: double quotes turned into
// apostrophes, line feeds, carriage returns and tabs removed, then escaped so
// the reply stays JSON (a backslash or another control byte would break it).
std::string CleanRequest(std::string_view request) {
  std::string cleaned;
  AppendEchoedRequest(cleaned, request);
  return JsonEscape(cleaned);
}

// Runs one request; `reply` receives the reply text.
int Answer(const char* request, std::string& reply) {
  Json::Value root;
  if (!ParseJson(request, root)) {
    reply = R"({"json":")" + CleanRequest(request) + R"(","error":{"err_code":"1000","err_msg":"json parse error"}})";
    return 1;
  }
  if (!root.isObject() || !root["action"].isString() || (root.isMember("args") && !root["args"].isObject())) {
    reply = kFormatError;
    return 1;
  }
  const std::string action = root["action"].asString();
  Json::Value& args = root["args"];
  if (args.isNull()) args = Json::Value(Json::objectValue);

  int result;
  const char* failure;
  if (action == "TestAction") {
    result = TestAction(args);
    failure = "TestAction Running Error";
  } else if (action == "TestBCModule") {
    result = TestBCModule(args);
    failure = "TestBCModule Running Error";
  } else {
    reply = R"({"action":")" + JsonEscape(action) + R"(","error":{"err_code":"1000","err_msg":"not support action"}})";
    return 1;
  }
  if (result != 0) {
    args["error"]["err_code"] = "1000";
    args["error"]["err_msg"] = failure;
  }
  reply.assign(WriteJson(args, ""));
  return result != 0 ? 1 : 0;
}

}  // namespace

int TestAction(Json::Value& args) {
  // Read without adding: a missing argument does not appear in the reply.
  const Json::Value& in = args;
  const Json::Value& arg1 = in["arg1"];
  const Json::Value& arg2 = in["arg2"];
  if (!arg1.isString() || !arg2.isString()) return 1;
  const std::string ret1 = arg1.asString() + "=>TestAction Run1";
  const std::string ret2 = arg2.asString() + "=>TestAction Run2";
  args["retvalue1"] = ret1;
  args["retvalue2"] = ret2;
  return 0;
}

int TestBCModule(const Json::Value& args) {
  const Json::Value& name = args["bcmodule"];
  if (!name.isString()) return 1;
  const std::string wanted = name.asString();
  for (const SelfTest& t : kSelfTests)
    if (wanted == t.name) return t.run();
  return 1;
}

extern "C" __attribute__((visibility("default"))) int RunModule_SAMPLE(const char* action, const char* addon,
                                                                         const char* request, char** out) {
  if (out == nullptr) return 1;
  *out = nullptr;
  std::string reply;
  std::string_view answer = kParamIsNull;
  int result = 1;
  try {
    if (action != nullptr && addon != nullptr && request != nullptr) {
      result = Answer(request, reply);
      answer = reply;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory, the reply's writing included: a fixed error, which
    // needs no allocation but the reply's own.
    result = 1;
    answer = kNoMemory;
  } catch (...) {
    // A lookup the JSON library refuses: the format error.
    result = 1;
    answer = kFormatError;
  }
  char* text = static_cast<char*>(std::calloc(answer.size() + 1, 1));
  if (text == nullptr) return 1;
  std::memcpy(text, answer.data(), answer.size());
  *out = text;
  return result;
}

extern "C" __attribute__((visibility("default"))) int FreeMem_SAMPLE(char* text) { return FreeAddonText(text); }
