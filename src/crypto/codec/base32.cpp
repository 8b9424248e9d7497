// One character per 5-bit value over the bech32 character set.
#include "crypto/codec/base32.h"

#include <climits>
#include <cstring>

namespace {

constexpr char kBase32Chars[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

struct Base32Table {
  signed char v[128];
  constexpr Base32Table() : v() {
    for (int i = 0; i < 128; ++i) v[i] = -1;
    for (int i = 0; i < 32; ++i) {
      const char c = kBase32Chars[i];
      v[static_cast<int>(c)] = static_cast<signed char>(i);
      if (c >= 'a' && c <= 'z') v[c - 'a' + 'A'] = static_cast<signed char>(i);
    }
  }
};
constexpr Base32Table kBase32Decode;

}  // namespace

int Base32Encode(const unsigned char* values, int32_t n, char* out, uint32_t* len) {
  if (values == nullptr || len == nullptr || n < 0) return 1;
  if (out == nullptr) {
    *len = static_cast<uint32_t>(n);
    return 0;
  }
  const int32_t cap = static_cast<int32_t>(*len);
  if (cap < n) return 1;
  for (int32_t i = 0; i < n; ++i)
    if (values[i] > 31) return 1;
  for (int32_t i = 0; i < n; ++i) out[i] = kBase32Chars[values[i]];
  if (cap > n) out[n] = '\0';
  *len = static_cast<uint32_t>(n);
  return 0;
}

int Base32Decode(const char* text, unsigned char* out, uint32_t* len) {
  if (text == nullptr || len == nullptr) return 1;
  const size_t n = strlen(text);
  if (n > INT32_MAX) return 1;
  if (out == nullptr) {
    *len = static_cast<uint32_t>(n);
    return 0;
  }
  if (static_cast<int64_t>(static_cast<int32_t>(*len)) < static_cast<int64_t>(n)) return 1;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 128 || kBase32Decode.v[c] < 0) return 1;
    out[i] = static_cast<unsigned char>(kBase32Decode.v[c]);
  }
  *len = static_cast<uint32_t>(n);
  return 0;
}
