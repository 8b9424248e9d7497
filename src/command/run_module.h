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
// No envelope could be allocated: the result pointer stays null.
inline constexpr int32_t kRunModuleNoResult = 1212;

// Runs a built-in action or forwards the request to the add-on registered
// under `addon`; `out` receives the "return" object. Returns the handler's or
// the add-on's code, or 1 for an unknown add-on or a request the core could
// not run (an argument refused by the reading rule, a number out of range,
// no memory).
int32_t DispatchAction(const std::string& action, const std::string& addon, const char* request,
                       const json_value& args, SecureText& out);

// The request as echoed after a parse failure: double quotes turned into
// apostrophes, line feeds, carriage returns and tabs removed.
SecureText CleanRequestText(std::string_view request);

#endif
