#include "common/json_io.h"

#include <cstring>
#include <string>

#include "command/secure_text.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "platform/memory.h"
#include "tolvaris/bcm_core.h"

bool IsJsonText(const Json::Value& value, std::string_view name) {
  if (value.isString()) return true;
  if (value.isNull()) return false;
  throw ArgumentRefused(std::string(name) + " is not a JSON string");
}

std::string GetJsonStr(const Json::Value& value, std::string_view name) {
  return std::string(GetJsonStrView(value, name));
}

std::string_view GetJsonStrView(const Json::Value& value, std::string_view name) {
  if (!IsJsonText(value, name)) return {};
  const char* begin = nullptr;
  const char* end = nullptr;
  if (!value.getString(&begin, &end) || begin == nullptr) return {};
  return ArgTextChecked(name, std::string_view(begin, static_cast<size_t>(end - begin)));
}

bool HasJsonStrs(const Json::Value& object, std::initializer_list<const char*> keys, std::string_view prefix) {
  if (!object.isObject()) return false;
  bool all = true;
  for (const char* key : keys) all = IsJsonText(object[key], std::string(prefix) + key) && all;
  return all;
}

namespace {

// Whether every string of the tree, member names included, is UTF-8. The
// reader decodes an escaped lone low surrogate (\udc00) into bytes that
// are not. Recursion is bounded by the reader's nesting limit.
bool AllTextIsUtf8(const Json::Value& value) {
  if (value.isString()) {
    const char* begin = nullptr;
    const char* end = nullptr;
    return !value.getString(&begin, &end) || begin == nullptr ||
           IsValidUtf8(std::string_view(begin, static_cast<size_t>(end - begin)));
  }
  if (!value.isArray() && !value.isObject()) return true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (value.isObject()) {
      const char* end = nullptr;
      const char* name = it.memberName(&end);
      if (name != nullptr && !IsValidUtf8(std::string_view(name, static_cast<size_t>(end - name)))) return false;
    }
    if (!AllTextIsUtf8(*it)) return false;
  }
  return true;
}

}  // namespace

bool ParseJson(std::string_view text, Json::Value& root) {
  // JSON text is UTF-8. The reader does not check it, and the writer turns
  // every ill-formed sequence into U+FFFD, so two keys that differ only there
  // would come back as one key written twice.
  if (!IsValidUtf8(text)) return false;
  Json::Value parsed;
  // What was read before a failure can hold keys.
  ScopedJsonWipe wipeParsed(parsed);
  try {
    if (!ReadJsonTree(text, parsed)) return false;
  } catch (const Json::Exception&) {
    // jsoncpp's answer to a string value it cannot allocate.
    return false;
  }
  if (!AllTextIsUtf8(parsed)) return false;
  root.swap(parsed);
  return true;
}

SecureText WriteJson(const Json::Value& value, std::string_view indentation) {
  SecureText text;
  WriteJsonTree(value, indentation, text);
  return text;
}

void WipeJson(Json::Value& value) {
  if (value.isString()) {
    const char* begin = nullptr;
    const char* end = nullptr;
    // The buffer belongs to the value (parsed or assigned text, never a
    // static string), so it may be written.
    if (value.getString(&begin, &end) && begin != nullptr && end > begin)
      Wipe(const_cast<char*>(begin), static_cast<size_t>(end - begin));
  } else if (value.isArray() || value.isObject()) {
    for (Json::Value& child : value) WipeJson(child);
  }
}

void CopyJson(const Json::Value& from, Json::Value& to) {
  WipeJson(to);
  switch (from.type()) {
    case Json::stringValue: {
      const char* begin = nullptr;
      const char* end = nullptr;
      from.getString(&begin, &end);
      to = Json::Value(begin, end);
      return;
    }
    case Json::arrayValue:
      to = Json::Value(Json::arrayValue);
      // Element by element at its own index: a hole stays one.
      for (auto it = from.begin(); it != from.end(); ++it) CopyJson(*it, to[it.index()]);
      return;
    case Json::objectValue:
      to = Json::Value(Json::objectValue);
      for (auto it = from.begin(); it != from.end(); ++it) {
        const char* end = nullptr;
        const char* name = it.memberName(&end);
        CopyJson(*it, *to.demand(name, end));
      }
      return;
    default:
      to = from;  // no text in it
      return;
  }
}

namespace {

// The chain can quote the request: its copy is wiped on every way out (the
// message's allocation can fail), and the message is built in one wiping
// buffer so no partial copy is left behind.
SecureText ErrorMessage() {
  const char* version = BCMGetVer();
  if (version == nullptr) version = "";
  const char* last = BCMGetLastErr();
  if (last == nullptr || std::strcmp(last, "[][][]") == 0) last = "";
  std::string trail = GetErrTrail();
  const ScopedWipe wipeTrail(trail.data(), trail.size());
  SecureText message;
  message.reserve(std::strlen(version) + std::strlen(last) + trail.size() + 32);
  message += "VQ(VER[";
  message += version;
  message += ']';
  message += last;
  message += ") Addon(";
  message += trail;
  message += ')';
  return message;
}

}  // namespace

SecureText MakeErrorJson(Json::Value& args) {
  const std::string code = std::to_string(GetErrCode());
  const SecureText message = ErrorMessage();
  if (args.isObject()) {
    Json::Value& error = args["error"];
    // What the caller sent under these names is wiped before it is let go.
    if (!error.isObject()) ReplaceJson(error, Json::Value(Json::objectValue));
    ReplaceJson(error["err_code"], code);
    ReplaceJson(error["err_msg"], JsonText(message));
    return WriteJson(args, "  ");
  }
  // The message can carry caller text (the request of a parse error, the
  // core's trail): escaped as the object form escapes it (quotes, controls,
  // and every byte above 0x7f as \u, a broken UTF-8 sequence as U+FFFD), so
  // the reply stays JSON and ASCII.
  SecureText text;
  text.reserve(message.size() * 6 + code.size() + 40);
  text += R"({"error":{"err_code":")";
  text += code;
  text += R"(","err_msg":)";
  AppendJsonString(text, message);
  text += "}}";
  return text;
}
