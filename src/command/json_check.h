#ifndef TOLVARIS_COMMAND_JSON_CHECK_H
#define TOLVARIS_COMMAND_JSON_CHECK_H

#include <string_view>

// True when the text is exactly one strict JSON value (RFC 8259 grammar,
// surrounding blanks allowed) in which no object repeats a key, and every
// string is Unicode text in UTF-8. Keys are compared after their escapes are
// decoded. Raw control characters, bytes that are not UTF-8 and a \u escape
// of a surrogate that is not half of a pair are refused.
bool IsStrictJson(std::string_view text);

#endif
