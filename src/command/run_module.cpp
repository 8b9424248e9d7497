// RunModule and FreeMem: one JSON request in, one result envelope out.
#include "command/run_module.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "command/action_table.h"
#include "command/addon_registry.h"
#include "command/json_check.h"
#include "command/json_tree.h"
#include "command/reply.h"
#include "command/request_args.h"
#include "command/text/text.h"
#include "platform/memory.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/runmodule.h"

namespace {

constexpr char kNullRequestObject[] = R"j({"err_code":"100","err_msg":"json parameter is null"})j";

std::string ToStd(const SecureText& t) { return std::string(t.data(), t.size()); }

int32_t RunBuiltIn(ActionHandler handler, const json_value& args, SecureText& out) {
  SecureText pairs;
  const int32_t rc = handler(GetInterfaceState(), args, pairs);
  out.assign("{");
  if (rc != 0) {
    out.append("\"err_code\":\"");
    out.append(DecimalText(rc));
    out.push_back('"');
    if (!pairs.empty()) out.push_back(',');
  }
  out.append(pairs);
  out.push_back('}');
  return rc;
}

int32_t RunAddon(const std::string& action, const std::string& addon, const char* request, SecureText& out) {
  InterfaceState& state = GetInterfaceState();
  AddonModuleRecord record;
  bool found = false;
  {
    CriticalSectionGuard lock(state.registryLock);
    auto it = state.addons.find(addon);
    if (it != state.addons.end()) {
      record = it->second;
      found = true;
    }
  }
  if (!found) {
    out.assign("{");
    AddPair(out, "add_module", addon);
    out.append(R"j(,"err_code":"300","err_msg":"AddModule is not exist(not loaded)"})j");
    return 1;
  }
  int32_t rc = CallAddonRunModule(record, action.c_str(), addon.c_str(), request, out);
  if (out.empty()) {
    // No reply (or an empty one) is a failure even when the add-on said 0.
    if (rc == 0) rc = 1;
    out.assign("{");
    AddPair(out, "add_module", addon);
    AddPair(out, "err_code", DecimalText(rc));
    AddPair(out, "err_msg", "addon returned no reply");
    out.push_back('}');
  } else if (!IsStrictJson(out)) {
    // A reply that is no JSON value is handed on as a JSON string, so the
    // envelope stays valid JSON.
    SecureText quoted("\"");
    AppendJsonEscaped(quoted, out);
    quoted.push_back('"');
    out.swap(quoted);
  }
  return rc;
}

}  // namespace

int32_t DispatchAction(const std::string& action, const std::string& addon, const char* request,
                       const json_value& args, SecureText& out) {
  try {
    if (ActionHandler handler = FindAction(GetInterfaceState(), action)) return RunBuiltIn(handler, args, out);
    return RunAddon(action, addon, request, out);
  } catch (const ArgumentRefused& e) {
    MakeFailureObject(out, e.what());
  } catch (const std::out_of_range&) {
    MakeFailureObject(out, "number is out of range");
  } catch (const std::invalid_argument&) {
    MakeFailureObject(out, "number has no digits");
  } catch (const std::bad_alloc&) {
    MakeFailureObject(out, "memory allocation error");
  } catch (...) {
    MakeFailureObject(out, "internal error");
  }
  return 1;
}

SecureText CleanRequestText(std::string_view request) {
  SecureText cleaned;
  cleaned.reserve(request.size());
  for (char c : request) {
    if (c == '"') cleaned.push_back('\'');
    else if (c != '\n' && c != '\r' && c != '\t') cleaned.push_back(c);
  }
  return cleaned;
}

int RunModule(const char* request, char** result) {
  if (result != nullptr) *result = nullptr;
  int32_t code = kRunModuleActionFailed;
  SecureText envelope;
  // Set when the envelope could not be built: a fixed one stands in.
  const char* fixed = nullptr;
  try {
    if (request == nullptr) {
      code = kRunModuleNullRequest;
      envelope = MakeResultEnvelope("check_param", "", false, kNullRequestObject);
    } else {
      const SecureText text(request);
      ParsedJson parsed(text.data(), text.size());
      if (parsed.root() == nullptr) {
        code = kRunModuleParseError;
        SecureText object("{");
        AddPair(object, "json", CleanRequestText(text));
        object.append(R"j(,"err_code":"100","err_msg":"invalid json format"})j");
        envelope = MakeResultEnvelope("json_parse", "", false, object);
      } else {
        const json_value& root = *parsed.root();
        std::string action;
        std::string addon;
        SecureText object;
        int32_t rc = 1;
        try {
          action = ToStd(ArgText(root, "action"));
          addon = ToStd(ArgText(root, "addon"));
          rc = DispatchAction(action, addon, text.c_str(), ArgValue(root, "args"), object);
        } catch (const ArgumentRefused& e) {
          // An action or add-on name that is no string, or holds a NUL, is
          // not run under a part of itself.
          MakeFailureObject(object, e.what());
        }
        code = rc == 0 ? kRunModuleOk : kRunModuleActionFailed;
        envelope = MakeResultEnvelope(action, addon, rc == 0, object);
      }
    }
  } catch (const std::bad_alloc&) {
    // No memory to parse the request or to build the envelope.
    fixed = R"j({"action":"run_module","result":"fail","return":{"err_code":"100","err_msg":"memory allocation error"}})j";
  } catch (...) {
    fixed = R"j({"action":"run_module","result":"fail","return":{"err_code":"100","err_msg":"internal error"}})j";
  }
  if (fixed != nullptr && code == kRunModuleOk) code = kRunModuleActionFailed;
  if (result == nullptr) return code;
  const size_t size = fixed != nullptr ? std::strlen(fixed) : envelope.size();
  char* copy = static_cast<char*>(calloc(size + 1, 1));
  // No envelope to hand back: never a code that promises one.
  if (copy == nullptr) return kRunModuleNoResult;
  std::memcpy(copy, fixed != nullptr ? fixed : envelope.data(), size);
  *result = copy;
  return code;
}

int FreeMem(char* text) {
  if (text == nullptr) return 1;
  Wipe(text, std::strlen(text));
  free(text);
  return 0;
}

void PrintHex(void) {}
void PrintDec(void) {}
void BCMPrintHex(void) {}
void BCMPrintDec(void) {}
