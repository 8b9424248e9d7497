// Test add-on "echo": replies with what it received. Some actions make it
// misbehave on purpose:
//   EchoFail      returns 1 with an error object
//   EchoNull      returns 0 and sets no reply
//   EchoNullFail  returns 7 and sets no reply
//   EchoEmpty     returns 0 with an empty reply
//   EchoText      returns 0 with a reply that is no JSON
//   EchoDupKeys   returns 0 with an object that repeats a key
//   EchoArray     returns 0 with a JSON array
//   EchoIndented  returns 0 with an object laid out over several lines
//   EchoNotUtf8   returns 0 with an object whose string is not UTF-8
//   EchoSurrogate returns 0 with an object whose string escapes a lone surrogate
//   EchoCode      returns 42 with an echo
#include <json/json.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
int g_freed = 0;

char* Copy(const std::string& s) {
  char* p = static_cast<char*>(calloc(s.size() + 1, 1));
  if (p) std::memcpy(p, s.data(), s.size());
  return p;
}
}  // namespace

extern "C" int RunModule_ECHO(const char* action, const char* addon, const char* request, char** reply) {
  if (action == nullptr || addon == nullptr || request == nullptr) {
    *reply = Copy(R"({"err_msg":"param is null"})");
    return 1;
  }
  const std::string a = action;
  if (a == "EchoNull") return 0;
  if (a == "EchoNullFail") return 7;
  if (a == "EchoEmpty") { *reply = Copy(""); return 0; }
  if (a == "EchoText") { *reply = Copy("plain \"text\"\n"); return 0; }
  if (a == "EchoDupKeys") { *reply = Copy(R"({"a":1,"a":2})"); return 0; }
  if (a == "EchoArray") { *reply = Copy("[1,2]"); return 0; }
  if (a == "EchoIndented") { *reply = Copy("{\n  \"a\" : 1\r\n}"); return 0; }
  if (a == "EchoNotUtf8") { *reply = Copy("{\"a\":\"x\xff\"}"); return 0; }
  if (a == "EchoSurrogate") { *reply = Copy(R"({"a":"\udc00"})"); return 0; }
  Json::Value v(Json::objectValue);
  v["action"] = action;
  v["addon"] = addon;
  v["request"] = request;
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  if (a == "EchoFail") {
    Json::Value e(Json::objectValue);
    e["err_code"] = "9";
    e["err_msg"] = "echo failed on request";
    *reply = Copy(Json::writeString(w, e));
    return 1;
  }
  *reply = Copy(Json::writeString(w, v));
  return a == "EchoCode" ? 42 : 0;
}

extern "C" int FreeMem_ECHO(char* reply) {
  if (reply == nullptr) return 1;
  ++g_freed;
  free(reply);
  return 0;
}

// How many replies the core has handed back so far.
extern "C" int EchoFreedCount() { return g_freed; }
