#ifndef TOLVARIS_TESTS_ADDON_AMO_TESTING_H
#define TOLVARIS_TESTS_ADDON_AMO_TESTING_H

// Calls RunModule_AMO of the add-on's internals and reads its reply.

#include <json/json.h>

#include <sstream>
#include <string>

#include "tv_test.h"

extern "C" int RunModule_AMO(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_AMO(char* text);

namespace amot {

struct Reply {
  int rc = -1;
  std::string text;
  Json::Value json;  // null when the text is no JSON
};

inline Reply Call(const std::string& request) {
  char* out = nullptr;
  Reply r;
  r.rc = RunModule_AMO("x", "amo", request.c_str(), &out);
  if (out != nullptr) {
    r.text = out;
    FreeMem_AMO(out);
  }
  Json::CharReaderBuilder b;
  b["rejectDupKeys"] = true;
  b["failIfExtra"] = true;
  std::string errs;
  std::istringstream in(r.text);
  if (!Json::parseFromStream(b, in, &r.json, &errs)) r.json = Json::Value();
  return r;
}

inline std::string Compact(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

inline Reply Action(const std::string& action, const Json::Value& args) {
  Json::Value request;
  request["action"] = action;
  request["addon"] = "amo";
  request["args"] = args;
  return Call(Compact(request));
}

// The text between "Addon(" and the closing ")" of an error reply.
inline std::string Chain(const Reply& r) {
  const std::string msg = r.json["error"]["err_msg"].asString();
  const size_t at = msg.find("Addon(");
  if (at == std::string::npos || msg.empty() || msg.back() != ')') return "";
  return msg.substr(at + 6, msg.size() - at - 7);
}

}  // namespace amot

#endif
