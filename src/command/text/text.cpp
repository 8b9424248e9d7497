#include "command/text/text.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "crypto/ct_check.h"

namespace {

// -1 when lo <= c <= hi, else 0 (c is 0..255): the two differences are both
// negative only inside the range.
int InRangeMask(int c, int lo, int hi) { return ((lo - 1 - c) & (c - (hi + 1))) >> 8; }

// The value of a hex digit, or -1. Private keys travel as hex text: no branch
// or index may depend on which digit a character is.
int HexDigitValue(char ch) {
  const int c = static_cast<unsigned char>(ch);
  const int value = (InRangeMask(c, '0', '9') & (c - '0' + 1)) | (InRangeMask(c, 'a', 'f') & (c - 'a' + 11)) |
                    (InRangeMask(c, 'A', 'F') & (c - 'A' + 11));
  return value - 1;
}

// Whether a flag gathered over secret text is set; the answer itself is
// public (the text is refused or not).
bool Revealed(int flag) {
  CtDeclassify(&flag, sizeof flag);  // the text is refused or not: the call's result
  return flag != 0;
}

// Clears bytes that may be secret before they are dropped; the volatile
// stores cannot be optimised away.
void Scrub(std::vector<unsigned char>& v) {
  volatile unsigned char* p = v.data();
  for (size_t i = 0; i < v.size(); ++i) p[i] = 0;
}

bool HasHexPrefix(std::string_view text) { return text.size() >= 2 && text[0] == '0' && text[1] == 'x'; }

bool AllHexDigits(std::string_view digits) {
  int invalid = 0;
  for (char c : digits) invalid |= HexDigitValue(c) >> 8;  // -1 only for a non-digit
  return !Revealed(invalid);
}

bool AllDecimalDigits(std::string_view digits) {
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

// The shared number reading of StrToInt and StrToUInt64: "0x" alone has no
// number, malformed text is refused, and anything above `max` is out of range.
uint64_t ParseNumber(std::string_view text, uint64_t max, const char* who) {
  if (text.empty()) return 0;
  if (text == "0x" || !IsNumberText(text)) throw std::invalid_argument(who);
  unsigned base = 10;
  std::string_view digits = text;
  if (HasHexPrefix(text)) {
    base = 16;
    digits = text.substr(2);
  }
  uint64_t value = 0;
  for (char c : digits) {
    const uint64_t d = static_cast<uint64_t>(HexDigitValue(c));
    if (value > (max - d) / base) throw std::out_of_range(who);
    value = value * base + d;
  }
  return value;
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
  std::string out(text);
  if (out.empty() || search.empty()) return out;
  size_t pos = 0;
  while ((pos = out.find(search, pos)) != std::string::npos) {
    out.replace(pos, search.size(), replacement);
    pos += replacement.size();
  }
  return out;
}

std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t pos = 0;
  for (;;) {
    const size_t hit = text.find(delimiter, pos);
    if (hit == std::string_view::npos) {
      pieces.emplace_back(text.substr(pos));
      return pieces;
    }
    pieces.emplace_back(text.substr(pos, hit - pos));
    pos = hit + delimiter.size();
  }
}

std::string ToUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string BytesToHex(const unsigned char* data, size_t len) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  if (len == 0) return out;
  out.reserve(2 + 2 * len);
  out += "0x";
  for (size_t i = 0; i < len; ++i) {
    out.push_back(kHex[data[i] >> 4]);
    out.push_back(kHex[data[i] & 15]);
  }
  return out;
}

std::vector<unsigned char> HexToBytes(std::string_view text) {
  if (!HasHexPrefix(text)) return std::vector<unsigned char>(text.begin(), text.end());
  std::string_view digits = text.substr(2);
  const bool odd = digits.size() % 2 != 0;
  std::vector<unsigned char> out((digits.size() + 1) / 2);
  size_t i = 0;
  size_t o = 0;
  // Every digit is decoded and checked alike; whether one was no digit is
  // looked at once, after the loop.
  int invalid = 0;
  if (odd) {
    // An odd count reads as if a "0" stood in front of the first digit.
    const int lo = HexDigitValue(digits[0]);
    invalid |= lo;
    out[o++] = static_cast<unsigned char>(lo & 15);
    i = 1;
  }
  for (; i < digits.size(); i += 2) {
    const int hi = HexDigitValue(digits[i]);
    const int lo = HexDigitValue(digits[i + 1]);
    invalid |= hi | lo;
    out[o++] = static_cast<unsigned char>((hi & 15) << 4 | (lo & 15));
  }
  if (Revealed(invalid >> 8)) {
    Scrub(out);
    return {};
  }
  return out;
}

bool StrToBool(std::string_view text) { return ToUpper(text) == "TRUE"; }

int32_t StrToInt(std::string_view text) {
  return static_cast<int32_t>(
      ParseNumber(text, static_cast<uint64_t>(std::numeric_limits<int32_t>::max()), "StrToInt"));
}

uint64_t StrToUInt64(std::string_view text) {
  return ParseNumber(text, std::numeric_limits<uint64_t>::max(), "StrToUInt64");
}

bool IsHexText(std::string_view text) { return !HasHexPrefix(text) || AllHexDigits(text.substr(2)); }

bool IsNumberText(std::string_view text) {
  if (HasHexPrefix(text)) return AllHexDigits(text.substr(2));
  return AllDecimalDigits(text);
}

std::string_view ArgTextChecked(std::string_view name, std::string_view text) {
  // Read whole, without stopping at the first NUL: the text may be a key.
  int nul = 0;
  for (char c : text) nul |= (static_cast<unsigned char>(c) - 1) >> 8;  // -1 only for 0
  if (Revealed(nul)) throw ArgumentRefused(std::string(name) + " holds a NUL character");
  return text;
}

std::vector<unsigned char> ArgHexToBytes(std::string_view name, std::string_view text) {
  ArgTextChecked(name, text);
  if (!IsHexText(text)) throw ArgumentRefused(std::string(name) + " is not hex text");
  return HexToBytes(text);
}

int32_t ArgToInt(std::string_view name, std::string_view text) {
  ArgTextChecked(name, text);
  if (!IsNumberText(text)) throw ArgumentRefused(std::string(name) + " is not a number");
  return StrToInt(text);
}

uint64_t ArgToUInt64(std::string_view name, std::string_view text) {
  ArgTextChecked(name, text);
  if (!IsNumberText(text)) throw ArgumentRefused(std::string(name) + " is not a number");
  return StrToUInt64(text);
}

size_t Utf8SequenceLength(std::string_view text, bool& wellFormed) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char c = p[0];
  wellFormed = c < 0x80;
  if (wellFormed) return 1;
  // The lead byte fixes the length and the range of the second byte (which
  // shuts out overlong forms, surrogates and values above U+10FFFF); every
  // later byte is 80..BF.
  size_t len = 0;
  unsigned char lo = 0x80, hi = 0xbf;
  if (c >= 0xc2 && c <= 0xdf) {
    len = 2;
  } else if (c >= 0xe0 && c <= 0xef) {
    len = 3;
    if (c == 0xe0) lo = 0xa0;
    if (c == 0xed) hi = 0x9f;
  } else if (c >= 0xf0 && c <= 0xf4) {
    len = 4;
    if (c == 0xf0) lo = 0x90;
    if (c == 0xf4) hi = 0x8f;
  } else {
    return 1;
  }
  size_t k = 1;
  for (; k < len && k < text.size(); ++k) {
    if (p[k] < lo || p[k] > hi) return k;
    lo = 0x80;
    hi = 0xbf;
  }
  wellFormed = k == len;
  return k;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    // Request text is mostly ASCII: eight such bytes are passed at a time.
    uint64_t word = 0;
    if (text.size() - i >= sizeof word) {
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & 0x8080808080808080ull) == 0) {
        i += sizeof word;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    bool wellFormed = false;
    i += Utf8SequenceLength(text.substr(i), wellFormed);
    if (!wellFormed) return false;
  }
  return true;
}

void AppendValidUtf8(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    bool wellFormed = false;
    const size_t len = Utf8SequenceLength(text.substr(i), wellFormed);
    if (wellFormed) {
      out.append(text.substr(i, len));
    } else {
      out.append(kReplacementChar);
    }
    i += len;
  }
}

std::string JsonEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendJsonEscaped(out, text);
  return out;
}
