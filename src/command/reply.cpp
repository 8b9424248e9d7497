#include "command/reply.h"

#include <cstdio>

#include "command/text/text.h"
#include "tolvaris/bcm_core.h"

namespace {
// A "," goes between pairs: not at the start of the text or of an object.
void AddKey(SecureText& out, std::string_view key) {
  if (!out.empty() && out.back() != '{') out.push_back(',');
  out.push_back('"');
  AppendJsonEscaped(out, key);
  out.append("\":");
}
}  // namespace

void AddPair(SecureText& out, std::string_view key, std::string_view value) {
  AddKey(out, key);
  out.push_back('"');
  AppendJsonEscaped(out, value);
  out.push_back('"');
}

void AddHexPair(SecureText& out, std::string_view key, const unsigned char* data, size_t len) {
  static const char kHex[] = "0123456789abcdef";
  AddKey(out, key);
  out.push_back('"');
  if (len > 0) {
    out.append("0x");
    for (size_t i = 0; i < len; ++i) {
      out.push_back(kHex[data[i] >> 4]);
      out.push_back(kHex[data[i] & 15]);
    }
  }
  out.push_back('"');
}

void AddArrayPair(SecureText& out, std::string_view key, const std::vector<std::string_view>& items) {
  AddKey(out, key);
  out.push_back('[');
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out.push_back(',');
    out.push_back('"');
    AppendJsonEscaped(out, items[i]);
    out.push_back('"');
  }
  out.push_back(']');
}

SecureText MakeErrMsg(const char* label) {
  SecureText msg("ostrel Ver(");
  msg.append(BCMGetVer());
  msg.append(") Func(");
  msg.append(label);
  msg.append(") detail(");
  msg.append(BCMGetLastErr());
  return msg;
}

void AddCoreErrMsg(SecureText& out, const char* label) { AddPair(out, "err_msg", MakeErrMsg(label)); }

void MakeFailureObject(SecureText& out, std::string_view message) {
  out.clear();
  out.append(R"j({"err_code":"100")j");
  AddPair(out, "err_msg", message);
  out.push_back('}');
}

SecureText MakeResultEnvelope(std::string_view action, std::string_view addon, bool success,
                              std::string_view returnObject) {
  SecureText env("{");
  AddPair(env, "action", action);
  if (!addon.empty()) AddPair(env, "addon", addon);
  AddPair(env, "result", success ? "success" : "fail");
  env.append(",\"return\":");
  env.append(returnObject);
  env.push_back('}');
  return env;
}

std::string DecimalText(int64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return buf;
}
