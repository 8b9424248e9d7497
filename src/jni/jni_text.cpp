#include "jni/jni_text.h"

#include <cstdint>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(char32_t c, SecureText& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(char32_t c, Utf16Text& out) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// The well-formed UTF-8 sequences by lead byte: their length and the range
// of the second byte (later bytes are always 80..BF). Lead bytes that begin
// no sequence (80..C1, F5..FF) have length 0.
struct LeadRow {
  uint8_t first, last;  // lead byte range
  uint8_t length;
  uint8_t secondLow, secondHigh;
};
constexpr LeadRow kLeads[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF},
    {0xE0, 0xE0, 3, 0xA0, 0xBF},  // no overlong three-byte form
    {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F},  // no encoded surrogate
    {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF},  // no overlong four-byte form
    {0xF1, 0xF3, 4, 0x80, 0xBF},
    {0xF4, 0xF4, 4, 0x80, 0x8F},  // nothing above U+10FFFF
};

const LeadRow* FindLead(uint8_t b) {
  for (const LeadRow& row : kLeads)
    if (b >= row.first && b <= row.last) return &row;
  return nullptr;
}

}  // namespace

bool Utf16ToUtf8(const char16_t* text, size_t len, SecureText& out) {
  out.clear();
  out.reserve(len * 3);
  for (size_t i = 0; i < len; ++i) {
    char32_t c = text[i];
    if (c == 0 || IsLowSurrogate(c)) {
      out.clear();
      return false;
    }
    if (IsHighSurrogate(c)) {
      if (i + 1 == len || !IsLowSurrogate(text[i + 1])) {
        out.clear();
        return false;
      }
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    }
    AppendUtf8(c, out);
  }
  return true;
}

void Utf8ToUtf16(const char* text, size_t len, Utf16Text& out) {
  out.clear();
  out.reserve(len);
  const auto* s = reinterpret_cast<const uint8_t*>(text);
  size_t i = 0;
  while (i < len) {
    const uint8_t b = s[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    const LeadRow* row = FindLead(b);
    if (row == nullptr) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t c = b & (0x7F >> row->length);
    size_t k = 1;
    for (; k < row->length && i + k < len; ++k) {
      const uint8_t low = k == 1 ? row->secondLow : 0x80;
      const uint8_t high = k == 1 ? row->secondHigh : 0xBF;
      if (s[i + k] < low || s[i + k] > high) break;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if (k == row->length) {
      AppendUtf16(c, out);
    } else {
      // The bytes read so far form one ill-formed part; the byte that broke
      // the sequence starts the next one.
      out.push_back(kReplacement);
    }
    i += k;
  }
}
