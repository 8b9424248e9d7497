#ifndef TOLVARIS_COMMAND_ACTION_OUTPUT_H
#define TOLVARIS_COMMAND_ACTION_OUTPUT_H

// The output buffer a handler hands to its one export call.
//
// Its size often comes from the request itself ("entlen", "outlen") or from
// the length of an input, so it is worked out in 64 bits and checked against
// the most the export will accept before anything is allocated. A size
// beyond that limit, or one the heap refuses, gets no buffer: the export is
// then offered a capacity of 0 (through a valid one-byte pointer) and refuses
// the call with its own message, which reaches the reply through the error
// trail. A handler never allocates without bound, and an empty result is a
// valid, non-null buffer.

#include <cstdint>
#include <new>
#include <stdexcept>

#include "command/actions.h"
#include "platform/memory.h"

class ActionOutput {
 public:
  ActionOutput(uint64_t wanted, uint64_t limit) {
    if (wanted == 0 || wanted > limit || wanted > INT32_MAX) return;
    try {
      bytes_.resize(static_cast<size_t>(wanted));
      capacity_ = static_cast<int32_t>(wanted);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  ActionOutput(const ActionOutput&) = delete;
  ActionOutput& operator=(const ActionOutput&) = delete;

  unsigned char* data() { return capacity_ > 0 ? bytes_.data() : spare_; }
  char* text() { return reinterpret_cast<char*>(data()); }
  // What the export may write: the allocated size, or 0 without a buffer.
  int32_t capacity() const { return capacity_; }

  // The first `len` bytes the export wrote; never more than the capacity.
  const unsigned char* bytes() const { return capacity_ > 0 ? bytes_.data() : spare_; }
  size_t Written(int64_t len) const {
    if (len <= 0) return 0;
    return static_cast<uint64_t>(len) < static_cast<uint64_t>(capacity_) ? static_cast<size_t>(len)
                                                                         : static_cast<size_t>(capacity_);
  }

 private:
  SecureBytes bytes_;
  int32_t capacity_ = 0;
  unsigned char spare_[1] = {0};
};

// The end of a handler's one export call: when the export returned 0 the
// result pair `key` (hex of the bytes), otherwise the "err_msg" pair under
// `label` and the action's failure code.
inline int32_t HexResult(SecureText& out, int rc, const char* label, int32_t code, const char* key,
                         const unsigned char* bytes, size_t len) {
  if (rc != 0) {
    AddCoreErrMsg(out, label);
    return code;
  }
  AddHexPair(out, key, bytes, len);
  return 0;
}

#endif
