#include "command/request_args.h"

#include <cstring>
#include <string>
#include <vector>

#include "command/reply.h"
#include "command/text/text.h"

namespace {
std::string_view StringOf(const json_value& v) { return std::string_view(v.u.string.ptr, v.u.string.length); }
}  // namespace

const json_value& ArgValue(const json_value& args, std::string_view key) {
  if (args.type != json_object) return json_value_none;
  for (unsigned i = 0; i < args.u.object.length; ++i) {
    const json_object_entry& e = args.u.object.values[i];
    if (e.name_length == key.size() && std::memcmp(e.name, key.data(), key.size()) == 0) return *e.value;
  }
  return json_value_none;
}

SecureText ArgText(const json_value& args, std::string_view key) {
  const json_value& v = ArgValue(args, key);
  if (v.type == json_none) return SecureText();
  if (v.type != json_string) throw ArgumentRefused(std::string(key) + " is not a JSON string");
  const std::string_view text = ArgTextChecked(key, StringOf(v));
  return SecureText(text.data(), text.size());
}

SecureText ValueText(const json_value& value, std::string_view name) {
  if (value.type != json_string) return SecureText();
  const std::string_view text = ArgTextChecked(name, StringOf(value));
  return SecureText(text.data(), text.size());
}

SecureText EchoArg(const json_value& args, std::string_view key, SecureText& out) {
  SecureText text = ArgText(args, key);
  AddPair(out, key, text);
  return text;
}

void EchoBytes(const json_value& args, std::string_view key, SecureText& out, SecureBytes& bytes) {
  ToBytes(key, EchoArg(args, key, out), bytes);
}

int32_t EchoInt(const json_value& args, std::string_view key, SecureText& out) {
  return ArgToInt(key, EchoArg(args, key, out));
}

void ToBytes(std::string_view name, std::string_view text, SecureBytes& out) {
  std::vector<unsigned char> bytes = ArgHexToBytes(name, text);
  // Wiped on every path, a failed resize of `out` included.
  const ScopedWipe wipe(bytes.data(), bytes.size());
  out.resize(bytes.size());
  if (!bytes.empty()) std::memcpy(out.data(), bytes.data(), bytes.size());
}
