// Hex text to bytes and back, field extraction and bit-width regrouping.
#include "crypto/codec/hex_convert.h"

#include <climits>
#include <cstring>

#include "trail/trail.h"

namespace {

int HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

int GetValue(const char* text, char sep, int32_t n, char* out, size_t outCap) {
  if (text == nullptr || out == nullptr || sep == '\0') return TrailFail("GetValue", 57);
  const size_t textLen = strlen(text);
  size_t pos = 0;
  for (int32_t i = 0; i < n; ++i) {
    const char* next = strchr(text + pos, sep);
    if (next == nullptr) return TrailFail("GetValue", 62);
    pos = static_cast<size_t>(next - text) + 1;
  }
  if (pos > textLen) return TrailFail("GetValue", 71);
  const char* end = strchr(text + pos, sep);
  const size_t fieldLen = end != nullptr ? static_cast<size_t>(end - (text + pos)) : textLen - pos;
  if (fieldLen >= outCap) return TrailFail("GetValue", 76);
  memcpy(out, text + pos, fieldLen);
  out[fieldLen] = '\0';
  return 0;
}

int ConvertHexStr2ByteArr(const char* hex, unsigned char* out, uint32_t* len) {
  if (hex == nullptr || len == nullptr) return TrailFail("ConvertHexStr2ByteArr", 92);
  const size_t digits = strlen(hex);
  const size_t odd = digits % 2;
  const uint64_t needed = digits / 2 + odd;
  if (needed > INT32_MAX) return TrailFail("ConvertHexStr2ByteArr", 104);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(needed);
    return 0;
  }
  if (static_cast<int64_t>(static_cast<int32_t>(*len)) < static_cast<int64_t>(needed))
    return TrailFail("ConvertHexStr2ByteArr", 104);
  for (size_t i = 0; i < digits; ++i) {
    const int v = HexDigitValue(static_cast<unsigned char>(hex[i]));
    if (v < 0) return TrailFail("ConvertHexStr2ByteArr", 117);
    const size_t at = (i + odd) / 2;
    // The high half is written first and clears the low half; the low half
    // then completes the byte. An odd count starts with a lone low half.
    if ((i + odd) % 2 == 0)
      out[at] = static_cast<unsigned char>(v << 4);
    else if (i == 0)
      out[at] = static_cast<unsigned char>(v);
    else
      out[at] = static_cast<unsigned char>(out[at] | v);
  }
  *len = static_cast<uint32_t>(needed);
  return 0;
}

int ConvertByteArr2HexStr(const unsigned char* in, uint32_t n, int32_t upper, char* out, uint32_t* len) {
  if (in == nullptr || len == nullptr) return TrailFail("ConvertByteArr2HexStr", 140);
  const uint64_t needed = 2 * static_cast<uint64_t>(n) + 1;
  if (needed > INT32_MAX) return TrailFail("ConvertByteArr2HexStr", 152);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(needed);
    return 0;
  }
  if (static_cast<int64_t>(static_cast<int32_t>(*len)) < static_cast<int64_t>(needed))
    return TrailFail("ConvertByteArr2HexStr", 152);
  const char* digits = upper == 1 ? "0123456789ABCDEF" : "0123456789abcdef";
  for (uint32_t i = 0; i < n; ++i) {
    out[2 * static_cast<size_t>(i)] = digits[in[i] >> 4];
    out[2 * static_cast<size_t>(i) + 1] = digits[in[i] & 0x0f];
  }
  out[2 * static_cast<size_t>(n)] = '\0';
  *len = 2 * n;
  return 0;
}

int ConverByte2Bit(const unsigned char* in, int32_t n, int32_t from, int32_t to, unsigned char* out,
                   uint32_t* len) {
  if (from < 1 || from > 8 || to < 1 || to > 8) return TrailFail("ConverByte2Bit", 183);
  if (in == nullptr || len == nullptr) return TrailFail("ConverByte2Bit", 187);
  const int64_t count = n > 0 ? n : 0;
  const int64_t total = count * from;
  const int64_t needed = total / to + (total % to > 0 ? 1 : 0);
  if (needed > INT32_MAX) return TrailFail("ConverByte2Bit", 198);
  if (out == nullptr) {
    *len = static_cast<uint32_t>(needed);
    return 0;
  }
  if (static_cast<int64_t>(static_cast<int32_t>(*len)) < needed) return TrailFail("ConverByte2Bit", 198);
  if (from == to) {
    if (count > 0) memcpy(out, in, static_cast<size_t>(count));
    *len = static_cast<uint32_t>(count);
    return 0;
  }
  const uint32_t mask = ((1u << to) - 1u) & 0xffu;
  uint32_t acc = 0;
  int32_t bits = 0;
  int64_t emitted = 0;
  for (int64_t i = 0; i < count; ++i) {
    acc = (acc << from) | in[i];
    bits += from;
    while (bits >= to) {
      bits -= to;
      out[emitted++] = static_cast<unsigned char>((acc >> bits) & mask);
    }
  }
  if (bits > 0) {
    const unsigned char last = static_cast<unsigned char>(((acc & 0xffu) << (to - bits)) & mask);
    if (from > to || last != 0) out[emitted++] = last;
  }
  *len = static_cast<uint32_t>(emitted);
  return 0;
}
