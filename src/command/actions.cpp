#include "command/actions.h"

#include <cstdio>
#include <cstring>

#include "command/run_module.h"
#include "command/text/text.h"

const json_value& ArgValue(const json_value& args, std::string_view key) {
  if (args.type != json_object) return json_value_none;
  for (unsigned i = 0; i < args.u.object.length; ++i) {
    const json_object_entry& e = args.u.object.values[i];
    if (e.name_length == key.size() && std::memcmp(e.name, key.data(), key.size()) == 0) return *e.value;
  }
  return json_value_none;
}

SecureText ValueText(const json_value& value) {
  if (value.type != json_string) return SecureText();
  return SecureText(value.u.string.ptr, strnlen(value.u.string.ptr, value.u.string.length));
}

SecureText ArgText(const json_value& args, std::string_view key) { return ValueText(ArgValue(args, key)); }

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

SecureText EchoArg(const json_value& args, std::string_view key, SecureText& out) {
  SecureText text = ArgText(args, key);
  AddPair(out, key, text);
  return text;
}

void AddCoreErrMsg(SecureText& out, const char* label) { AddPair(out, "err_msg", MakeErrMsg(label)); }

std::string DecimalText(int64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value));
  return buf;
}

void ToBytes(std::string_view text, SecureBytes& out) {
  std::vector<unsigned char> bytes = HexToBytes(text);
  // Wiped on every path, a failed resize of `out` included.
  struct WipeOnExit {
    std::vector<unsigned char>& v;
    ~WipeOnExit() { WipeVector(v); }
  } wipe{bytes};
  out.resize(bytes.size());
  if (!bytes.empty()) std::memcpy(out.data(), bytes.data(), bytes.size());
}
