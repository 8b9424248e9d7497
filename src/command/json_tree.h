#ifndef TOLVARIS_COMMAND_JSON_TREE_H
#define TOLVARIS_COMMAND_JSON_TREE_H

#include <json.h>

#include <cstddef>

// A json-parser tree that lives in one arena, allocated before the parse at
// the most the parser can ask for a text of that length and wiped before it
// is freed: requests and replies carry keys and mnemonics. The parser does
// not survive an allocation that fails half-way through a parse; from the
// arena none does. When the arena itself cannot be had the constructor
// throws std::bad_alloc, so a text is never taken for malformed for lack of
// memory.
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
  // True when the parser asked for more than the arena holds and the rest
  // came from the heap (never, if the bound is right; the tests and the
  // fuzz target check it).
  bool spilled() const { return spill_ != nullptr; }

  // The arena for a text: the most json-parser allocates for it, in bytes.
  static size_t ArenaSize(const char* text, size_t len);

 private:
  struct Spill;
  static void* Allocate(size_t size, int zero, void* self);
  static void Release(void* p, void* self);
  void FreeAll();

  json_settings settings_;
  json_value* root_ = nullptr;
  unsigned char* arena_ = nullptr;
  size_t size_ = 0;
  size_t used_ = 0;
  Spill* spill_ = nullptr;
};

#endif
