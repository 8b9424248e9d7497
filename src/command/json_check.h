#ifndef TOLVARIS_COMMAND_JSON_CHECK_H
#define TOLVARIS_COMMAND_JSON_CHECK_H

#include <string_view>

// True when the text is exactly one strict JSON value (RFC 8259 grammar,
// surrounding blanks allowed) in which no object repeats a key. Keys are
// compared after their escapes are decoded. Strings are taken as bytes:
// raw control characters are refused, other bytes are not checked as UTF-8.
bool IsStrictJson(std::string_view text);

#endif
