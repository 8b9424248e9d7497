#ifndef QUENMOD_COMMON_JSON_WRITER_H
#define QUENMOD_COMMON_JSON_WRITER_H

// The add-ons' JSON writer. It writes a jsoncpp tree byte for byte as the
// StreamWriterBuilder with its default settings and the given "indentation"
// does, but straight into one wiping text: jsoncpp's own writer quotes each
// string into a temporary that it frees unwiped, and replies carry private
// keys and mnemonics.
//
// What that writer does, and so this one:
// - object members in the tree's key order; ":" between name and value on
//   one line (no indentation), " : " otherwise;
// - with an indentation, every member and array element on a line of its
//   own, and an object or array that is a member's value opened on the line
//   after the member's name; empty ones as "{}" and "[]";
// - strings quoted with \" \\ \b \f \n \r \t, other bytes below 0x20 and every
//   character above 0x7f as \u escapes (lower-case hex; surrogate pairs above
//   U+FFFF), a sequence that is not UTF-8 as U+FFFD, as jsoncpp decodes it;
// - integers in decimal, doubles with 17 significant digits and ".0" added
//   where neither a point nor an exponent shows, infinities as 1e+9999 and
//   -1e+9999, NaN as null.
// Comments are not written: no tree the add-ons build carries any.

#include <json/json.h>

#include <string_view>

#include "command/secure_text.h"

// Appends `value` to `out`. Throws std::bad_alloc when `out` cannot grow.
void WriteJsonTree(const Json::Value& value, std::string_view indentation, SecureText& out);

// Appends `text` as the writer writes a string value, quotes included.
void AppendJsonString(SecureText& out, std::string_view text);

#endif
