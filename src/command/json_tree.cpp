#include "command/json_tree.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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

}  // namespace

ParsedJson::ParsedJson(const char* text, size_t len) {
  std::memset(&settings_, 0, sizeof settings_);
  settings_.mem_alloc = TreeAlloc;
  settings_.mem_free = TreeFree;
  // The parser's error text quotes the offending character of the input.
  char error[json_error_max] = {0};
  ScopedWipe wipeError(error, sizeof error);
  root_ = json_parse_ex(&settings_, text, len, error);
}

ParsedJson::~ParsedJson() {
  if (root_ != nullptr) json_value_free_ex(&settings_, root_);
}
