#ifndef TOLVARIS_COMMAND_JSON_TREE_H
#define TOLVARIS_COMMAND_JSON_TREE_H

#include <json.h>

#include <cstddef>

// A json-parser tree whose blocks (names and string values included) are all
// wiped before they are freed: requests and replies carry keys and mnemonics.
class ParsedJson {
 public:
  ParsedJson(const char* text, size_t len);
  ~ParsedJson();
  ParsedJson(const ParsedJson&) = delete;
  ParsedJson& operator=(const ParsedJson&) = delete;
  // The root value, or null when the text did not parse, when an object in it
  // names a key twice (keys compared as decoded), or when a text in it (a
  // member name included) is not UTF-8: such a request is unreadable.
  const json_value* root() const { return root_; }

 private:
  json_settings settings_;
  json_value* root_ = nullptr;
};

#endif
