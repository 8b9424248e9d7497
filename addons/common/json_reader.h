#ifndef QUENMOD_COMMON_JSON_READER_H
#define QUENMOD_COMMON_JSON_READER_H

// The add-ons' JSON reader. It builds the same jsoncpp tree as the
// CharReaderBuilder with its default settings, "collectComments" false and
// "rejectDupKeys" true, and accepts and refuses the same texts, but every
// text it decodes on the way lives in wiping storage: jsoncpp's own reader
// decodes each string into a temporary that it frees unwiped, and requests
// carry private keys as text.
//
// What that reader does, and so this one:
// - comments (/* */ and //) between tokens, a byte order mark at the start,
//   any JSON value as the root, and whatever follows the first complete
//   value ignored;
// - a comma before a closing bracket or brace, and (in an object) the token
//   after a comment in place of a comma taken as read;
// - raw control characters inside strings; \u escapes decoded as they come,
//   a high surrogate joined with whatever \u escape follows it;
// - numbers read by the token's shape: a sign, digits, a fraction and an
//   exponent, each optional; integers that fit as Int64 (or UInt64 above
//   it), anything else as a double (one too large for a double refused),
//   "-" alone as the integer 0;
// - a NUL byte outside a string ends the text;
// - values nested 1000 deep at most.
// Comments are not kept.

#include <json/json.h>

#include <string_view>

// True when `text` parses; `root` then holds the value. On false `root`
// holds what was read before the failure (its strings are the caller's to
// wipe). Throws std::bad_alloc (or jsoncpp's exception for a string it
// cannot allocate) when memory runs out.
bool ReadJsonTree(std::string_view text, Json::Value& root);

#endif
