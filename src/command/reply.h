#ifndef TOLVARIS_COMMAND_REPLY_H
#define TOLVARIS_COMMAND_REPLY_H

// Building the JSON replies of the command interface: "key":"value" pairs,
// the "err_msg" text after a refused export, the fixed error object and the
// result envelope. Every inserted text is JSON-escaped here; no caller
// writes quotes or separators itself.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command/secure_text.h"

// Appends "key":"value" (value JSON-escaped), with a "," before it when `out`
// already holds a pair (no "," right after an opening "{").
void AddPair(SecureText& out, std::string_view key, std::string_view value);
// Appends "key":"0x<lower-case hex>" (the empty value for no bytes).
void AddHexPair(SecureText& out, std::string_view key, const unsigned char* data, size_t len);
inline void AddHexPair(SecureText& out, std::string_view key, const SecureBytes& bytes) {
  AddHexPair(out, key, bytes.data(), bytes.size());
}
// Appends "key":["item",...] (each item JSON-escaped; no items give []).
void AddArrayPair(SecureText& out, std::string_view key, const std::vector<std::string_view>& items);

// "ostrel Ver(<version>) Func(<label>) detail(<last error>": the value of the
// "err_msg" pair after a refused export.
SecureText MakeErrMsg(const char* label);
// Appends the "err_msg" pair built from `label` (MakeErrMsg).
void AddCoreErrMsg(SecureText& out, const char* label);

// Replaces `out` with the object of a request the core could not run:
// {"err_code":"100","err_msg":<message>}.
void MakeFailureObject(SecureText& out, std::string_view message);

// {"action":...,["addon":...,]"result":"success"|"fail","return":<object>};
// the texts are JSON-escaped, the object inserted as it stands.
SecureText MakeResultEnvelope(std::string_view action, std::string_view addon, bool success,
                              std::string_view returnObject);

// Signed decimal text ("recovery", lengths in messages). Use this rather
// than std::to_string, whose templates would leak into the exported symbols.
std::string DecimalText(int64_t value);

#endif
