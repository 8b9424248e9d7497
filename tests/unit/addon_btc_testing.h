// Helpers for the Bitcoin-family add-on tests: one request through
// RunModule_BTC, its reply checked to be strict JSON and released with
// FreeMem_BTC.
#ifndef TOLVARIS_TESTS_ADDON_BTC_TESTING_H
#define TOLVARIS_TESTS_ADDON_BTC_TESTING_H

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "command/json_check.h"
#include "common/json_io.h"

extern "C" int RunModule_BTC(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_BTC(char* text);

namespace btct {

struct Reply {
  int rc = -1;
  std::string text;
  Json::Value value;

  // The add-on's chain inside "err_msg" (between "Addon(" and the last ")").
  std::string Chain() const {
    const std::string msg = GetJsonStr(value["error"]["err_msg"]);
    const size_t at = msg.find(") Addon(");
    return at == std::string::npos ? "" : msg.substr(at + 8, msg.size() - at - 9);
  }
};

inline Reply Send(const std::string& request, const char* addon = "btc") {
  char* out = nullptr;
  Reply r;
  r.rc = RunModule_BTC("x", addon, request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  r.text = out != nullptr ? out : "";
  EXPECT_EQ(FreeMem_BTC(out), 0);
  EXPECT_TRUE(IsStrictJson(r.text)) << r.text;
  EXPECT_TRUE(::ParseJson(r.text, r.value)) << r.text;
  return r;
}

// A GenAddr request with the given "addrinfo" text (and network).
inline Reply GenAddr(const std::string& addrinfo, const std::string& coin = "btc",
                     const std::string& network = "main") {
  return Send(R"({"action":"GenAddr","args":{"coin":")" + coin + R"(","network":")" + network +
              R"(","addrinfo":)" + addrinfo + "}}");
}

// "addrinfo" for keys (hex without "0x"), a type, and optionally m of n.
inline std::string AddrInfo(const std::vector<std::string>& pubs, const std::string& type, int m = 0) {
  std::string info = R"({"pubs":[)";
  for (size_t i = 0; i < pubs.size(); ++i) info += (i ? "," : "") + std::string(R"({"pub":"0x)") + pubs[i] + "\"}";
  info += R"(],"addr_type":")" + type + "\"";
  if (m > 0)
    info += R"(,"msig":[{"totalsigcnt":")" + std::to_string(pubs.size()) + R"(","needsigcnt":")" +
            std::to_string(m) + "\"}]";
  return info + "}";
}

}  // namespace btct

#endif
