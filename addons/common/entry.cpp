#include "common/entry.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "platform/memory.h"

namespace {

// The reply when no error reply can be built for lack of memory (the thread
// has no error chain, or the chain and "args" cannot be written).
constexpr char kNoMemoryReply[] = R"({"error":{"err_code":"1000","err_msg":"memory allocation failed"}})";
// The entry's record when the call ran out of memory.
constexpr char kNoMemoryMessage[] = "memory allocation failed !!";

// Steps up to the handler; 0 when the action succeeded. `args` is left as
// the reply is to be built from.
int Dispatch(const EntrySpec& entrySpec, std::span<const ActionRow> actions, const char* addon,
             const std::string& request, Json::Value& args) {
  Json::Value root;
  ScopedJsonWipe wipeRoot(root);
  if (!ParseJson(request, root)) {
    std::string message;
    // Room for the echo at its longest (every byte a replacement), so the
    // buffer never moves and is wiped on every way out (the chain's own
    // allocation can fail).
    message.reserve(3 * request.size() + 32);
    const ScopedWipe wipeMessage(message.data(), message.capacity());
    message += "json parse error(";
    AppendEchoedRequest(message, request);
    message += ')';
    AddErrTrail(entrySpec.name, entrySpec.parseLine, 1000, message);
    return 1;
  }
  const Json::Value& top = root;
  const std::string action = GetJsonStr(top["action"], "action");
  // Taken out of the request tree rather than copied: a copy cut short by a
  // lack of memory would free what it had copied unwiped. (A root that is
  // neither an object nor null was refused by the lookup above.)
  if (root.isObject()) args.swap(root["args"]);

  std::string coin;
  if (entrySpec.coin == CoinSource::kArgs) {
    const Json::Value& readArgs = args;
    coin = GetJsonStr(readArgs["coin"], "coin");
    if (coin.empty()) coin = addon;
    ReplaceJson(args["coin"], coin);
  } else if (entrySpec.coin == CoinSource::kTopLevel) {
    coin = GetJsonStr(top["coin"], "coin");
    if (coin.empty()) coin = addon;
  }

  for (const ActionRow& row : actions) {
    if (action != row.name) continue;
    static const std::string kNoCoin;
    if (row.handler(args, row.receivesCoin ? coin : kNoCoin) == 0) return 0;
    AddErrTrail(entrySpec.name, row.line, 1000, row.failure);
    return 1;
  }
  AddErrTrail(entrySpec.name, entrySpec.unknownLine, 1000,
              entrySpec.unknownNamesAction ? "not support action[" + action + "]" : std::string("not support action"));
  return 1;
}

// Records that the call ran out of memory.
void RecordNoMemory(const EntrySpec& entrySpec) {
  AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, kNoMemoryMessage);
}

// Runs the call; any exception ends it as a failed action. Returns the
// result and leaves the reply text in `reply`. Throws std::bad_alloc only
// when not even the error reply can be built.
int RunCall(const EntrySpec& entrySpec, std::span<const ActionRow> actions, const char* action, const char* addon,
            const char* request, SecureText& reply) {
  Json::Value args;
  ScopedJsonWipe wipeArgs(args);
  int result = 1;
  if (action == nullptr || addon == nullptr || request == nullptr) {
    AddErrTrail(entrySpec.name, entrySpec.nullLine, 1000, "param is null");
  } else {
    std::string text;
    try {
      text = request;
      result = Dispatch(entrySpec, actions, addon, text, args);
    } catch (const Json::Exception& e) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, std::string("json operation failed(") + e.what() + ") !!");
      result = 1;
    } catch (const ArgumentRefused& e) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, std::string(e.what()) + " !!");
      result = 1;
    } catch (const std::invalid_argument& e) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, std::string("number conversion failed(") + e.what() + ") !!");
      result = 1;
    } catch (const std::out_of_range& e) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, std::string("number out of range(") + e.what() + ") !!");
      result = 1;
    } catch (const std::bad_alloc&) {
      RecordNoMemory(entrySpec);
      result = 1;
    } catch (const std::exception& e) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, std::string("request failed(") + e.what() + ") !!");
      result = 1;
    } catch (...) {
      AddErrTrail(entrySpec.name, entrySpec.exceptionLine, 1000, "request failed !!");
      result = 1;
    }
    // The request and the reply can hold private keys.
    WipeString(text);
  }
  if (result == 0) {
    try {
      reply = WriteJson(args, "");
      return 0;
    } catch (const std::bad_alloc&) {
      RecordNoMemory(entrySpec);
    }
  }
  reply = MakeErrorJson(args);
  return 1;
}

}  // namespace

int RunAddonEntry(const EntrySpec& entrySpec, std::span<const ActionRow> actions, const char* action,
                  const char* addon, const char* request, char** out) {
  if (out == nullptr) return 1;
  *out = nullptr;
  SecureText reply;  // wiped wherever it grows or dies
  int result = 1;
  std::string_view text = kNoMemoryReply;
  if (ResetErrTrail(entrySpec.fixedCode)) {
    try {
      result = RunCall(entrySpec, actions, action, addon, request, reply);
      text = reply;
    } catch (...) {
      // Not even the error reply could be built: the fixed one.
      result = 1;
    }
  }
  char* copy = static_cast<char*>(std::calloc(text.size() + 1, 1));
  if (copy != nullptr) std::memcpy(copy, text.data(), text.size());
  *out = copy;
  return copy == nullptr ? 1 : result;
}

void AppendEchoedRequest(std::string& out, std::string_view request) {
  for (size_t i = 0; i < request.size();) {
    // A run of bytes from 0x80 up: what is not UTF-8 in it becomes U+FFFD
    // (a sequence never holds a byte below 0x80, so the run can be taken alone).
    size_t end = i;
    while (end < request.size() && static_cast<unsigned char>(request[end]) >= 0x80) ++end;
    if (end > i) {
      AppendValidUtf8(out, request.substr(i, end - i));
      i = end;
      continue;
    }
    const char c = request[i++];
    if (c == '\n' || c == '\r' || c == '\t') continue;
    out.push_back(c == '"' ? '\'' : c);
  }
}

int FreeAddonText(char* text) {
  if (text == nullptr) return 1;
  Wipe(text, std::strlen(text));
  std::free(text);
  return 0;
}
