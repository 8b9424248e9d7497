#include "command/secure_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// True when `needle` still stands somewhere in the bytes of `storage`.
template <size_t N>
bool Holds(const unsigned char (&storage)[N], const char* needle) {
  const unsigned char* n = reinterpret_cast<const unsigned char*>(needle);
  return std::search(storage, storage + N, n, n + std::strlen(needle)) != storage + N;
}

// A text short enough to live inside the string object, where the allocator
// never sees it, must still be gone once the object is destroyed: directly,
// and as the source of a move.
TEST(SecureText, ShortTextIsWipedWithTheObject) {
  alignas(SecureText) unsigned char storage[sizeof(SecureText)];
  auto* s = new (storage) SecureText("hunter2");
  ASSERT_TRUE(Holds(storage, "hunter2"));
  s->~SecureText();
  EXPECT_FALSE(Holds(storage, "hunter2"));

  SecureText kept;
  s = new (storage) SecureText("opensesame");
  kept = std::move(*s);
  s->~SecureText();
  EXPECT_FALSE(Holds(storage, "opensesame"));
  EXPECT_EQ(kept, "opensesame");
}

}  // namespace
