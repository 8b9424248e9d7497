#include "command/json_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "command/text/text.h"
#include "platform/memory.h"

namespace {

// Each block carries its size in front, so the free can wipe all of it.
constexpr size_t kBlockHeader = 16;

void* TreeAlloc(size_t size, int zero, void*) {
  if (size > SIZE_MAX - kBlockHeader) return nullptr;
  unsigned char* block =
      static_cast<unsigned char*>(zero ? calloc(1, size + kBlockHeader) : malloc(size + kBlockHeader));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &size, sizeof size);
  return block + kBlockHeader;
}

void TreeFree(void* p, void*) {
  if (p == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kBlockHeader;
  size_t size = 0;
  std::memcpy(&size, block, sizeof size);
  Wipe(block, size + kBlockHeader);
  free(block);
}

std::string_view NameOf(const json_object_entry& e) { return std::string_view(e.name, e.name_length); }

// Whether the tree reads the same to every reader: no object names a key
// twice (the parser keeps both, and readers differ in which one they take),
// and every text, member names included, is UTF-8 (readers differ in what
// they make of the rest, and two names that differ only there would become
// one). Iterative: the parser has no nesting limit.
bool HasOneMeaning(const json_value& root) {
  std::vector<const json_value*> pending{&root};
  std::vector<std::string_view> names;
  while (!pending.empty()) {
    const json_value& v = *pending.back();
    pending.pop_back();
    if (v.type == json_string) {
      if (!IsValidUtf8(std::string_view(v.u.string.ptr, v.u.string.length))) return false;
    } else if (v.type == json_array) {
      for (unsigned i = 0; i < v.u.array.length; ++i) pending.push_back(v.u.array.values[i]);
    } else if (v.type == json_object) {
      names.clear();
      for (unsigned i = 0; i < v.u.object.length; ++i) {
        const json_object_entry& e = v.u.object.values[i];
        if (!IsValidUtf8(NameOf(e))) return false;
        names.push_back(NameOf(e));
        pending.push_back(e.value);
      }
      std::sort(names.begin(), names.end());
      if (std::adjacent_find(names.begin(), names.end()) != names.end()) return false;
    }
  }
  return true;
}

}  // namespace

ParsedJson::ParsedJson(const char* text, size_t len) {
  std::memset(&settings_, 0, sizeof settings_);
  settings_.mem_alloc = TreeAlloc;
  settings_.mem_free = TreeFree;
  // The parser's error text quotes the offending character of the input.
  char error[json_error_max] = {0};
  ScopedWipe wipeError(error, sizeof error);
  root_ = json_parse_ex(&settings_, text, len, error);
  if (root_ != nullptr && !HasOneMeaning(*root_)) {
    json_value_free_ex(&settings_, root_);
    root_ = nullptr;
  }
}

ParsedJson::~ParsedJson() {
  if (root_ != nullptr) json_value_free_ex(&settings_, root_);
}
