#ifndef TOLVARIS_COMMAND_SECURE_TEXT_H
#define TOLVARIS_COMMAND_SECURE_TEXT_H

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "platform/memory.h"

// An allocator that wipes every block before it goes back to the heap, so
// texts that carry keys, seeds or mnemonics leave no copy behind when they
// grow or die.
template <class T>
struct WipeAllocator {
  using value_type = T;
  WipeAllocator() noexcept = default;
  template <class U>
  WipeAllocator(const WipeAllocator<U>&) noexcept {}
  T* allocate(size_t n) { return std::allocator<T>().allocate(n); }
  void deallocate(T* p, size_t n) noexcept {
    Wipe(p, n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(const WipeAllocator<U>&) const noexcept { return true; }
};

using SecureTextBase = std::basic_string<char, std::char_traits<char>, WipeAllocator<char>>;

// The JSON layer's working text: request copies, handler output, envelopes.
// A short text is kept inside the object itself, out of the allocator's
// reach: the destructor wipes the buffer in use, wherever it lives.
class SecureText : public SecureTextBase {
 public:
  using SecureTextBase::SecureTextBase;
  using SecureTextBase::operator=;
  SecureText() noexcept = default;
  SecureText(const SecureTextBase& other) : SecureTextBase(other) {}
  // A plain temporary (the result of +, substr) is left with no copy either.
  SecureText(SecureTextBase&& other) noexcept : SecureTextBase(std::move(other)) {
    Wipe(other.data(), other.capacity());
  }
  SecureText(const SecureText&) = default;
  SecureText(SecureText&&) noexcept = default;
  SecureText& operator=(const SecureText&) = default;
  SecureText& operator=(SecureText&&) = default;
  ~SecureText() { Wipe(data(), capacity()); }
};

#endif
