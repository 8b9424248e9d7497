#include "command/json_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "command/text/text.h"
#include "platform/memory.h"

namespace {

constexpr size_t kAlign = alignof(std::max_align_t);

constexpr size_t RoundUp(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

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

// A block taken from the heap once the arena is used up, chained for the
// release; its size in front so that it is wiped whole.
struct ParsedJson::Spill {
  Spill* next;
  size_t size;
};

// What json-parser allocates for a text, with its defaults (no extra room
// per value): in its first pass one record per value; in its second, for
// each string its bytes and a NUL, for each array a slot per element, for
// each object an entry per member and the members' names with a NUL each.
// Every value is the root or follows '[', ',' or ':', so the count of those
// characters anywhere in the text (inside strings too: that only adds)
// bounds the values, the array slots and the object members; every string
// and name needs two quotes and decodes to no more bytes than the text
// between them. Each block is rounded up to the alignment; a value record
// is given room beyond its declared size in case the library's is larger.
size_t ParsedJson::ArenaSize(const char* text, size_t len) {
  size_t opens = 0, commas = 0, colons = 0, quotes = 0;
  for (size_t i = 0; i < len; ++i) {
    switch (text[i]) {
      case '[': ++opens; break;
      case ',': ++commas; break;
      case ':': ++colons; break;
      case '"': ++quotes; break;
      default: break;
    }
  }
  // Far beyond any text that fits in memory: no arena.
  if (len > SIZE_MAX / 1024) return SIZE_MAX;
  const size_t values = 1 + opens + commas + colons;
  const size_t strings = quotes / 2;
  const size_t records = values * (RoundUp(sizeof(json_value)) + 2 * kAlign);
  const size_t slots = (opens + commas) * sizeof(json_value*);
  const size_t members = colons * sizeof(json_object_entry);
  const size_t texts = len + strings;
  // One block per array, object and string in the second pass.
  const size_t padding = values * kAlign;
  return records + slots + members + texts + padding + kAlign;
}

void* ParsedJson::Allocate(size_t size, int zero, void* self) {
  auto* tree = static_cast<ParsedJson*>(self);
  const size_t need = RoundUp(size);
  if (need >= size && need <= tree->size_ - tree->used_) {
    // The arena came zeroed and nothing in it is handed out twice.
    void* p = tree->arena_ + tree->used_;
    tree->used_ += need;
    return p;
  }
  // Only a wrong bound gets here: the parse goes on from the heap.
  constexpr size_t kHeader = RoundUp(sizeof(Spill));
  if (size > SIZE_MAX - kHeader) return nullptr;
  auto* block = static_cast<unsigned char*>(zero ? calloc(1, kHeader + size) : malloc(kHeader + size));
  if (block == nullptr) return nullptr;
  auto* spill = reinterpret_cast<Spill*>(block);
  spill->next = tree->spill_;
  spill->size = kHeader + size;
  tree->spill_ = spill;
  return block + kHeader;
}

// The parser frees what it drops; everything goes when the tree does.
void ParsedJson::Release(void*, void*) {}

ParsedJson::ParsedJson(const char* text, size_t len) {
  size_ = ArenaSize(text, len);
  arena_ = size_ == SIZE_MAX ? nullptr : static_cast<unsigned char*>(calloc(1, size_));
  if (arena_ == nullptr) throw std::bad_alloc();
  std::memset(&settings_, 0, sizeof settings_);
  settings_.mem_alloc = Allocate;
  settings_.mem_free = Release;
  settings_.user_data = this;
  // The parser's error text quotes the offending character of the input.
  char error[json_error_max] = {0};
  ScopedWipe wipeError(error, sizeof error);
  root_ = json_parse_ex(&settings_, text, len, error);
  // A refused tree stays in the arena until the object goes. The walk takes
  // memory of its own; when that fails no destructor runs, so the arena goes
  // here before the failure travels on.
  try {
    if (root_ != nullptr && !HasOneMeaning(*root_)) root_ = nullptr;
  } catch (...) {
    FreeAll();
    throw;
  }
}

ParsedJson::~ParsedJson() { FreeAll(); }

void ParsedJson::FreeAll() {
  // The tree's blocks all lie in the arena or the spill chain: no walk.
  while (spill_ != nullptr) {
    Spill* next = spill_->next;
    Wipe(spill_, spill_->size);
    free(spill_);
    spill_ = next;
  }
  Wipe(arena_, used_);
  free(arena_);
  arena_ = nullptr;
  used_ = 0;
  root_ = nullptr;
}
