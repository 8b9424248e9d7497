#ifndef TOLVARIS_COMMAND_RUN_MODULE_H
#define TOLVARIS_COMMAND_RUN_MODULE_H

#include <json.h>

#include <cstdint>
#include <string_view>

#include "command/secure_text.h"

// Return codes of RunModule.
inline constexpr int32_t kRunModuleOk = 0;
inline constexpr int32_t kRunModuleNullRequest = 1181;
inline constexpr int32_t kRunModuleParseError = 1196;
inline constexpr int32_t kRunModuleActionFailed = 1203;

// Runs a built-in action or forwards the request to the add-on registered
// under `addon`; `out` receives the "return" object. Returns the handler's or
// the add-on's code, or 1 for an unknown add-on or a request the core could
// not run (a number out of range, no memory).
int32_t DispatchAction(const std::string& action, const std::string& addon, const char* request,
                       const json_value& args, SecureText& out);

// {"action":...,["addon":...,]"result":"success"|"fail","return":<object>};
// the texts are JSON-escaped, the object inserted as it stands.
SecureText MakeResultEnvelope(std::string_view action, std::string_view addon, bool success,
                              std::string_view returnObject);

// "ostrel Ver(<version>) Func(<label>) detail(<last error>": the value of the
// "err_msg" pair after a refused export.
SecureText MakeErrMsg(const char* label);

// The request as echoed after a parse failure: double quotes turned into
// apostrophes, line feeds, carriage returns and tabs removed.
SecureText CleanRequestText(std::string_view request);

#endif
