#ifndef TOLVARIS_COMMAND_REQUEST_ARGS_H
#define TOLVARIS_COMMAND_REQUEST_ARGS_H

// Reading the arguments of a request (the members of its "args" object, or
// of the request itself) under one rule: a member that is present but not a
// JSON string, a string holding a NUL character, a "0x" text with a
// character that is not a hex digit and a number text outside the number
// convention are refused with ArgumentRefused (command/text/text.h), whose
// message names the argument. The dispatcher answers that with the fixed
// error object. A missing member reads as the empty text, which reads as
// no bytes and as 0.

#include <json.h>

#include <cstdint>
#include <string_view>

#include "command/secure_text.h"
#include "platform/memory.h"

// The value of the first member of `args` named exactly `key` (byte for
// byte); the parser's none value when `args` is no object or lacks the key.
const json_value& ArgValue(const json_value& args, std::string_view key);
// The argument's text; the empty text when it is missing.
SecureText ArgText(const json_value& args, std::string_view key);
// An array element's text: a string value (refused when it holds a NUL,
// naming `name`), the empty text for any other value.
SecureText ValueText(const json_value& value, std::string_view name);

// Reads an argument, echoes it as a pair and returns its text.
SecureText EchoArg(const json_value& args, std::string_view key, SecureText& out);
// Reads and echoes a byte-string argument and converts it.
void EchoBytes(const json_value& args, std::string_view key, SecureText& out, SecureBytes& bytes);
// Reads and echoes a number argument and converts it (StrToInt).
int32_t EchoInt(const json_value& args, std::string_view key, SecureText& out);

// The bytes of the text of argument `name` (ArgHexToBytes), in a buffer that
// is wiped when it dies.
void ToBytes(std::string_view name, std::string_view text, SecureBytes& out);

#endif
