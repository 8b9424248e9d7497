// Base64 with the standard alphabet and "=" padding.
#include "crypto/codec/base64.h"

#include <climits>
#include <cstring>

#include "trail/trail.h"

namespace {

constexpr char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kInvalid = 127;
constexpr unsigned char kPad = 64;

struct Base64Table {
  unsigned char v[128];
  constexpr Base64Table() : v() {
    for (int i = 0; i < 128; ++i) v[i] = kInvalid;
    for (int i = 0; i < 64; ++i) v[static_cast<int>(kBase64Chars[i])] = static_cast<unsigned char>(i);
    v[static_cast<int>('=')] = kPad;
  }
};
constexpr Base64Table kBase64Decode;

unsigned char Base64Value(unsigned char c) { return c < 128 ? kBase64Decode.v[c] : kInvalid; }

}  // namespace

int Base64Encode(const unsigned char* in, int32_t n, char* out, uint32_t* len) {
  if (in == nullptr || len == nullptr || n < 0) return TrailFail("Base64Encode", 32);
  const int64_t need = 4 * static_cast<int64_t>(n) / 3 + 4;
  if (need > INT32_MAX) return TrailFail("Base64Encode", 43);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(need);
    return 0;
  }
  if (static_cast<int32_t>(*len) < need) return TrailFail("Base64Encode", 43);
  size_t o = 0;
  int32_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t g = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    out[o++] = kBase64Chars[(g >> 18) & 63];
    out[o++] = kBase64Chars[(g >> 12) & 63];
    out[o++] = kBase64Chars[(g >> 6) & 63];
    out[o++] = kBase64Chars[g & 63];
  }
  const int32_t rest = n - i;
  if (rest > 0) {
    const uint32_t g = (uint32_t{in[i]} << 16) | (rest == 2 ? uint32_t{in[i + 1]} << 8 : 0u);
    out[o++] = kBase64Chars[(g >> 18) & 63];
    out[o++] = kBase64Chars[(g >> 12) & 63];
    out[o++] = rest == 2 ? kBase64Chars[(g >> 6) & 63] : '=';
    out[o++] = '=';
  }
  out[o] = '\0';
  *len = static_cast<uint32_t>(o);
  return 0;
}

int Base64Decode(const char* text, unsigned char* out, uint32_t* len) {
  if (text == nullptr || len == nullptr) return TrailFail("Base64Decode", 132);
  const size_t textLen = strlen(text);
  if (textLen == 0) return TrailFail("Base64Decode", 167);
  const unsigned char* t = reinterpret_cast<const unsigned char*>(text);

  // First pass: validate and count. Blanks may only precede a line break or the
  // end; "=" only ends the data, at most twice.
  uint64_t data = 0;
  uint64_t pads = 0;
  for (size_t i = 0; i < textLen;) {
    const unsigned char c = t[i];
    if (c == ' ') {
      while (i < textLen && t[i] == ' ') ++i;
      if (i == textLen) break;
      if (t[i] == '\n') {
        ++i;
        continue;
      }
      if (t[i] == '\r' && i + 1 < textLen && t[i + 1] == '\n') {
        i += 2;
        continue;
      }
      return TrailFail("Base64Decode", 159);
    }
    if (c == '\n') {
      ++i;
      continue;
    }
    if (c == '\r' && i + 1 < textLen && t[i + 1] == '\n') {
      i += 2;
      continue;
    }
    const unsigned char v = Base64Value(c);
    if (v == kInvalid) return TrailFail("Base64Decode", 159);
    if (v == kPad) {
      if (++pads > 2) return TrailFail("Base64Decode", 159);
    } else {
      if (pads > 0) return TrailFail("Base64Decode", 159);
      ++data;
    }
    ++i;
  }
  const uint64_t count = data + pads;
  if (count == 0) return TrailFail("Base64Decode", 167);
  // A last group of a single character carries fewer than 8 bits.
  if (data % 4 == 1) return TrailFail("Base64Decode", 159);

  // Upper bound answered to a size query; the count written is
  // 3 * (data / 4) + (data % 4) - 1 for a partial last group, never above it.
  const uint64_t sizeBound = 6 * (count / 8) + (6 * (count % 8) + 7) / 8 - pads;
  if (sizeBound > INT32_MAX) return TrailFail("Base64Decode", 182);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(sizeBound);
    return 0;
  }
  if (static_cast<int64_t>(static_cast<int32_t>(*len)) < static_cast<int64_t>(sizeBound))
    return TrailFail("Base64Decode", 182);

  // Second pass: the data characters, 6 bits each.
  uint32_t acc = 0;
  int held = 0;
  size_t o = 0;
  for (size_t i = 0; i < textLen; ++i) {
    const unsigned char v = Base64Value(t[i]);
    if (v >= 64) continue;  // blanks, line breaks and padding (validated above)
    acc = (acc << 6) | v;
    if (++held == 4) {
      out[o++] = static_cast<unsigned char>(acc >> 16);
      out[o++] = static_cast<unsigned char>(acc >> 8);
      out[o++] = static_cast<unsigned char>(acc);
      acc = 0;
      held = 0;
    }
  }
  if (held == 2) {
    out[o++] = static_cast<unsigned char>(acc >> 4);
  } else if (held == 3) {
    out[o++] = static_cast<unsigned char>(acc >> 10);
    out[o++] = static_cast<unsigned char>(acc >> 2);
  }
  *len = static_cast<uint32_t>(o);
  return 0;
}
