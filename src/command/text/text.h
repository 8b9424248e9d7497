#ifndef TOLVARIS_COMMAND_TEXT_TEXT_H
#define TOLVARIS_COMMAND_TEXT_TEXT_H

// String, hex and number helpers of the JSON layer. The add-ons compile this
// file in as well, so it depends on nothing but the standard library and the
// header-only constant-time check marks.
//
// Conventions of the JSON layer:
// - bytes travel as "0x" followed by two lower-case hex digits per byte (no
//   bytes: the empty text); a text without the "0x" prefix stands for its own
//   bytes;
// - a flag is true only for "true" in any mix of case;
// - a number is decimal digits or "0x" followed by hex digits, no sign.
//
// The reading rule for request arguments (the Arg* functions below): a
// "0x" text with a character that is not a hex digit, a number text outside
// the number convention and a text holding a NUL character are refused with
// ArgumentRefused, whose message names the argument, rather than read as
// the empty text or 0. The empty text stays empty, and reads as 0.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Every occurrence of `search` replaced by `replacement`, scanning left to
// right; an inserted replacement is never searched again. An empty `search`
// leaves the text unchanged.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement);

// Pieces between delimiters, empty pieces included ("a;" gives "a" and "");
// the empty text gives no pieces. An empty delimiter gives the text whole.
std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter);

// ASCII a-z upper-cased; every other byte kept. No locale.
std::string ToUpper(std::string_view text);

// "0x" + lower-case hex; no bytes give the empty text.
std::string BytesToHex(const unsigned char* data, size_t len);
inline std::string BytesToHex(const std::vector<unsigned char>& bytes) {
  return BytesToHex(bytes.data(), bytes.size());
}

// "0x"-prefixed hex (lower-case x) to bytes; an odd digit count gains a
// leading "0"; any character other than 0-9, a-f, A-F among the digits makes
// the result empty. A text without the prefix gives its own bytes.
std::vector<unsigned char> HexToBytes(std::string_view text);

// True exactly when the text upper-cases to "TRUE".
bool StrToBool(std::string_view text);

// Decimal, or hex after "0x". The empty text is 0. Throws std::out_of_range
// above the type's maximum and std::invalid_argument for "0x" without digits
// and for a text with any other character (a sign, a blank, a point, an
// exponent, a capital X): a malformed number is never read as 0.
int32_t StrToInt(std::string_view text);
uint64_t StrToUInt64(std::string_view text);

// A request argument refused by the reading rule; what() names the argument
// ("data is not hex text").
class ArgumentRefused : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// True for a text without the "0x" prefix, and for "0x" followed by hex
// digits only (none, too: no bytes).
bool IsHexText(std::string_view text);
// True for the empty text, decimal digits, and "0x" followed by hex digits.
bool IsNumberText(std::string_view text);

// The argument `name` checked for a NUL character ("<name> holds a NUL
// character"); returns the text.
std::string_view ArgTextChecked(std::string_view name, std::string_view text);
// HexToBytes of the argument; "<name> is not hex text" for a "0x" text with
// a character that is not a hex digit, and the NUL check above.
std::vector<unsigned char> ArgHexToBytes(std::string_view name, std::string_view text);
// StrToInt / StrToUInt64 of the argument; "<name> is not a number" for a
// text outside the number convention ("0x" alone and values out of range
// throw as StrToInt does).
int32_t ArgToInt(std::string_view name, std::string_view text);
uint64_t ArgToUInt64(std::string_view name, std::string_view text);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// How many bytes the UTF-8 sequence at the start of `text` (not empty) takes:
// a whole well-formed sequence (`wellFormed` true), or its longest ill-formed
// start (at least one byte; `wellFormed` false), the part a reader replaces
// by one U+FFFD. So C0 20 gives 1, ED A0 80 gives 1 three times, and F4 90 80
// 80 gives 1 four times.
size_t Utf8SequenceLength(std::string_view text, bool& wellFormed);

// U+FFFD in UTF-8: what text that is not UTF-8 is written as.
inline constexpr char kReplacementChar[] = "\xef\xbf\xbd";

// Appends `text` to `out` with every ill-formed UTF-8 sequence replaced by
// U+FFFD (Utf8SequenceLength); UTF-8 text is appended unchanged.
void AppendValidUtf8(std::string& out, std::string_view text);

// The text as the inside of a JSON string: '"' and '\' get a backslash, bytes
// below 0x20 become \b \f \n \r \t or \u00XX, and a sequence that is not
// UTF-8 becomes U+FFFD, so the result is always UTF-8. Every other byte is
// kept: a UTF-8 text that needs no escaping comes back unchanged.
std::string JsonEscape(std::string_view text);
// Appends the escaped text to `out` (any string-like container with push_back).
template <class Out>
void AppendJsonEscaped(Out& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) {
      bool wellFormed = false;
      const size_t len = Utf8SequenceLength(text.substr(i), wellFormed);
      if (wellFormed) {
        for (size_t k = 0; k < len; ++k) out.push_back(text[i + k]);
      } else {
        for (size_t k = 0; k < 3; ++k) out.push_back(kReplacementChar[k]);
      }
      i += len - 1;
      continue;
    }
    switch (c) {
      case '"': out.push_back('\\'); out.push_back('"'); break;
      case '\\': out.push_back('\\'); out.push_back('\\'); break;
      case '\b': out.push_back('\\'); out.push_back('b'); break;
      case '\f': out.push_back('\\'); out.push_back('f'); break;
      case '\n': out.push_back('\\'); out.push_back('n'); break;
      case '\r': out.push_back('\\'); out.push_back('r'); break;
      case '\t': out.push_back('\\'); out.push_back('t'); break;
      default:
        if (u < 0x20) {
          out.push_back('\\'); out.push_back('u'); out.push_back('0'); out.push_back('0');
          out.push_back(kHex[u >> 4]); out.push_back(kHex[u & 15]);
        } else {
          out.push_back(c);
        }
    }
  }
}

#endif
