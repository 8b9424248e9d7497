#ifndef QUENMOD_COMMON_JSON_IO_H
#define QUENMOD_COMMON_JSON_IO_H

// Reading and writing the add-ons' JSON documents: jsoncpp trees, read and
// written by the add-ons' own reader and writer (json_reader.h,
// json_writer.h), which leave no text of a document in freed memory.

#include <json/json.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "command/secure_text.h"

// Requests are read under one rule: a member that is read as text and is
// present with another JSON type (a number, a boolean, an array, an object)
// is refused with ArgumentRefused ("<name> is not a JSON string"), which
// fails the request (see entry.h), rather than read as absent or empty.
// Null, what a lookup of an absent member gives, reads as absent.

// True for a JSON string, false for null; any other value is refused, named
// `name`. For members whose absence the caller handles itself.
bool IsJsonText(const Json::Value& value, std::string_view name);

// The text of a JSON string value; null gives the empty text, any other value
// is refused (IsJsonText). A text holding a NUL character is not cut short:
// it throws ArgumentRefused ("<name> holds a NUL character") as well.
std::string GetJsonStr(const Json::Value& value, std::string_view name = "text");

// The same text read in place, with no copy to wipe: valid while `value`
// lives unchanged.
std::string_view GetJsonStrView(const Json::Value& value, std::string_view name = "text");

// Whether every member `keys` of `object` is a string: each one is looked at
// (and a member of another type refused, named `prefix` + key) before the
// answer is given. False for an `object` that is no object.
bool HasJsonStrs(const Json::Value& object, std::initializer_list<const char*> keys, std::string_view prefix = "");

// Parses `text` into `root` as jsoncpp's CharReaderBuilder would (see
// json_reader.h): comments allowed, any JSON value as the root, text after
// the first complete value ignored. False when the text does not
// parse, also when the reader gives up (nesting deeper than its limit), when
// an object names a key twice (compared as decoded), and when the text or a
// string in it (a member name included, escapes decoded) is not UTF-8: such
// a request means different things to different readers. Comments are not
// kept, so no reply ever carries them.
bool ParseJson(std::string_view text, Json::Value& root);

// Writes `value` as jsoncpp's StreamWriterBuilder would with the given
// indentation (see json_writer.h): "" gives one line (success replies), "  "
// two-space indentation (error replies). Object members come out in key
// order. The text is wiped wherever it grows or dies. A text that cannot be
// written whole is no text: std::bad_alloc is thrown.
SecureText WriteJson(const Json::Value& value, std::string_view indentation);

// Overwrites every string value in the tree with zeros (keys echo through
// the documents; jsoncpp frees its buffers without wiping them). Member names
// are left alone. Call it on a document before it dies, and on a value
// before it is overwritten or removed.
void WipeJson(Json::Value& value);

// Copies `from` into `to` (what `to` held is wiped first). jsoncpp's own
// copy frees what it has copied so far, unwiped, when memory runs out
// halfway; this one builds the copy node by node inside `to`, so whatever
// it made before a failure is reachable from `to`, for the caller's wipe
// (a ScopedJsonWipe set before the call). Comments and source offsets are
// not copied: no tree here has any that is read.
void CopyJson(const Json::Value& from, Json::Value& to);

// A JSON string of `text` (embedded zeros kept), made from the bytes in
// place: no plain std::string copy of a text that can hold a key.
inline Json::Value JsonText(std::string_view text) { return Json::Value(text.data(), text.data() + text.size()); }

// Puts `value` in `slot` once what `slot` held is wiped: for a result
// written over a member the caller sent, which could hold anything.
inline void ReplaceJson(Json::Value& slot, Json::Value value) {
  WipeJson(slot);
  slot = std::move(value);
}

// Wipes a document when the scope ends, on every path.
class ScopedJsonWipe {
 public:
  explicit ScopedJsonWipe(Json::Value& value) : value_(value) {}
  ~ScopedJsonWipe() { WipeJson(value_); }
  ScopedJsonWipe(const ScopedJsonWipe&) = delete;
  ScopedJsonWipe& operator=(const ScopedJsonWipe&) = delete;

 private:
  Json::Value& value_;
};

// The error reply for `args`:
// - an object: `args` itself with "error" = {"err_code": <chain code>,
//   "err_msg": ...} (what "error" held wiped first), written with two-space
//   indentation; an "error" member that is neither an object nor null is
//   replaced. `args` is left so: it is the dying tree of the call, and a
//   copy of it would be one more place for keys;
// - anything else: {"error":{"err_code":"<code>","err_msg":"<text>"}} on one
//   line, the text JSON-escaped as jsoncpp writes strings (plain ASCII text
//   comes out unchanged).
// "err_msg" = "VQ(VER[<BCMGetVer>]<BCMGetLastErr>) Addon(<chain>)", the core's
// last-error text left out while it is "[][][]".
SecureText MakeErrorJson(Json::Value& args);

#endif
