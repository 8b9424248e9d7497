// The bindings' text conversions over arbitrary input: UTF-8 decoding never
// reads past its length and always yields well-formed UTF-16; well-formed
// UTF-8 without NUL survives the trip to UTF-16 and back unchanged; UTF-16
// that converts to UTF-8 comes back unchanged as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jni/jni_text.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

bool WellFormedUtf16(const Utf16Text& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] >= 0xD800 && t[i] <= 0xDBFF) {
      if (i + 1 == t.size() || t[i + 1] < 0xDC00 || t[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (t[i] >= 0xDC00 && t[i] <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // As UTF-8 (an exact-size copy, so reading past the end is caught).
  std::vector<char> bytes(data, data + size);
  Utf16Text utf16;
  Utf8ToUtf16(bytes.data(), bytes.size(), utf16);
  Check(WellFormedUtf16(utf16));
  Check(utf16.size() <= size);
  SecureText back;
  const bool hasNul = std::memchr(data, 0, size) != nullptr;
  const bool replaced = [&] {
    for (char16_t u : utf16)
      if (u == 0xFFFD) return true;
    return false;
  }();
  Check(Utf16ToUtf8(utf16.data(), utf16.size(), back) == !hasNul);
  if (!hasNul && !replaced) Check(back.size() == size && std::memcmp(back.data(), data, size) == 0);

  // As UTF-16 code units.
  std::vector<char16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) units[i] = static_cast<char16_t>(data[2 * i] << 8 | data[2 * i + 1]);
  SecureText utf8;
  if (Utf16ToUtf8(units.data(), units.size(), utf8)) {
    Utf16Text again;
    Utf8ToUtf16(utf8.data(), utf8.size(), again);
    Check(again.size() == units.size() && std::equal(again.begin(), again.end(), units.begin()));
  }
  return 0;
}
