#include "common/json_reader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <locale.h>

#include "command/secure_text.h"

namespace {

enum class Tok {
  kObjectBegin,
  kObjectEnd,
  kArrayBegin,
  kArrayEnd,
  kString,
  kNumber,
  kTrue,
  kFalse,
  kNull,
  kArraySeparator,
  kMemberSeparator,
  kComment,
  kEnd,
  kError,
};

struct Token {
  Tok type = Tok::kError;
  const char* start = nullptr;
  const char* end = nullptr;
};

// The deepest a value may sit, the root counting as 1.
constexpr size_t kDepthLimit = 1000;
// jsoncpp refuses a member name this long (its length field would not hold it).
constexpr size_t kNameLimit = size_t{1} << 30;
// Past the text a string object keeps inside itself.
constexpr size_t kScratchStart = 64;

// Number texts are read in the C locale, whatever the host set.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

class Reader {
 public:
  // The scratch text starts on the heap: a short text kept inside the
  // object would stay behind when the buffer grows out of it.
  Reader(const char* begin, const char* end) : cur_(begin), end_(end) { scratch_.reserve(kScratchStart); }

  bool Read(Json::Value& root) {
    if (end_ - cur_ >= 3 && std::memcmp(cur_, "\xEF\xBB\xBF", 3) == 0) cur_ += 3;
    // What follows the first value is not looked at for errors.
    return ReadValue(root, 1);
  }

 private:
  // The byte at the cursor, taken; 0 at the end (where the cursor stays).
  char Next() { return cur_ == end_ ? '\0' : *cur_++; }

  void SkipSpaces() {
    while (cur_ != end_ && (*cur_ == ' ' || *cur_ == '\t' || *cur_ == '\r' || *cur_ == '\n')) ++cur_;
  }

  // The rest of a literal after its first letter; the cursor moves only
  // when all of it is there.
  bool Match(const char* rest, size_t n) {
    if (static_cast<size_t>(end_ - cur_) < n || std::memcmp(cur_, rest, n) != 0) return false;
    cur_ += n;
    return true;
  }

  // Past the opening quote: up to the closing one, a backslash taking the
  // byte after it whatever it is.
  bool ScanString() {
    char c = '\0';
    while (cur_ != end_) {
      c = *cur_++;
      if (c == '\\') {
        Next();
      } else if (c == '"') {
        break;
      }
    }
    return c == '"';
  }

  // Past the first character: digits, a fraction, an exponent with its sign.
  // After a sign, an 'I' is taken (the start of "Infinity", refused here).
  bool ScanNumber(bool afterSign) {
    if (afterSign && cur_ != end_ && *cur_ == 'I') {
      ++cur_;
      return false;
    }
    auto digits = [this] {
      while (cur_ != end_ && *cur_ >= '0' && *cur_ <= '9') ++cur_;
    };
    digits();
    if (cur_ != end_ && *cur_ == '.') {
      ++cur_;
      digits();
    }
    if (cur_ != end_ && (*cur_ == 'e' || *cur_ == 'E')) {
      ++cur_;
      if (cur_ != end_ && (*cur_ == '+' || *cur_ == '-')) ++cur_;
      digits();
    }
    return true;
  }

  // Past the '/': a block comment, or a line comment up to a line end.
  bool ScanComment() {
    const char c = Next();
    if (c == '*') {
      // The last byte is never looked at as a '*': a "/*" whose text runs
      // to a '/' at the very end is taken as closed there.
      while (cur_ + 1 < end_) {
        const char d = *cur_++;
        if (d == '*' && *cur_ == '/') break;
      }
      return Next() == '/';
    }
    if (c != '/') return false;
    while (cur_ != end_) {
      const char d = *cur_++;
      if (d == '\n') break;
      if (d == '\r') {
        if (cur_ != end_ && *cur_ == '\n') ++cur_;
        break;
      }
    }
    return true;
  }

  bool ReadToken(Token& token) {
    SkipSpaces();
    token.start = cur_;
    const char c = Next();
    bool ok = true;
    switch (c) {
      case '{': token.type = Tok::kObjectBegin; break;
      case '}': token.type = Tok::kObjectEnd; break;
      case '[': token.type = Tok::kArrayBegin; break;
      case ']': token.type = Tok::kArrayEnd; break;
      case '"':
        token.type = Tok::kString;
        ok = ScanString();
        break;
      case '/':
        token.type = Tok::kComment;
        ok = ScanComment();
        break;
      case '0': case '1': case '2': case '3': case '4':
      case '5': case '6': case '7': case '8': case '9':
        token.type = Tok::kNumber;
        ScanNumber(false);
        break;
      case '-':
      case '+':
        token.type = Tok::kNumber;
        ok = ScanNumber(true);
        break;
      case 't':
        token.type = Tok::kTrue;
        ok = Match("rue", 3);
        break;
      case 'f':
        token.type = Tok::kFalse;
        ok = Match("alse", 4);
        break;
      case 'n':
        token.type = Tok::kNull;
        ok = Match("ull", 3);
        break;
      case ',': token.type = Tok::kArraySeparator; break;
      case ':': token.type = Tok::kMemberSeparator; break;
      case '\0': token.type = Tok::kEnd; break;
      default: ok = false; break;
    }
    if (!ok) token.type = Tok::kError;
    token.end = cur_;
    return ok;
  }

  void SkipComments(Token& token) {
    do {
      ReadToken(token);
    } while (token.type == Tok::kComment);
  }

  bool ReadValue(Json::Value& target, size_t depth) {
    if (depth > kDepthLimit) return false;
    Token token;
    SkipComments(token);
    switch (token.type) {
      case Tok::kObjectBegin: return ReadObject(target, depth);
      case Tok::kArrayBegin: return ReadArray(target, depth);
      case Tok::kNumber: return DecodeNumber(token, target);
      case Tok::kString: {
        if (!DecodeString(token)) return false;
        Json::Value text(scratch_.data(), scratch_.data() + scratch_.size());
        target.swapPayload(text);
        return true;
      }
      case Tok::kTrue: {
        Json::Value v(true);
        target.swapPayload(v);
        return true;
      }
      case Tok::kFalse: {
        Json::Value v(false);
        target.swapPayload(v);
        return true;
      }
      case Tok::kNull: {
        Json::Value v;
        target.swapPayload(v);
        return true;
      }
      default: return false;
    }
  }

  bool ReadObject(Json::Value& target, size_t depth) {
    Json::Value init(Json::objectValue);
    target.swapPayload(init);
    Token name;
    while (ReadToken(name)) {
      bool ok = true;
      while (name.type == Tok::kComment && ok) ok = ReadToken(name);
      if (!ok) break;
      // An empty object, or a comma before the brace.
      if (name.type == Tok::kObjectEnd) return true;
      if (name.type != Tok::kString) break;
      if (!DecodeString(name)) return false;
      if (scratch_.size() >= kNameLimit) return false;
      const char* nameBegin = scratch_.data();
      const char* nameEnd = nameBegin + scratch_.size();
      if (target.find(nameBegin, nameEnd) != nullptr) return false;  // a key named twice
      Token colon;
      if (!ReadToken(colon) || colon.type != Tok::kMemberSeparator) return false;
      Json::Value& member = *target.demand(nameBegin, nameEnd);
      if (!ReadValue(member, depth + 1)) return false;
      Token comma;
      if (!ReadToken(comma) ||
          (comma.type != Tok::kObjectEnd && comma.type != Tok::kArraySeparator && comma.type != Tok::kComment))
        return false;
      // After a comment any token stands for the comma (the next name is
      // looked for after it), and a token that does not read ends the loop
      // of comments the same way.
      bool more = true;
      while (comma.type == Tok::kComment && more) more = ReadToken(comma);
      if (comma.type == Tok::kObjectEnd) return true;
    }
    return false;
  }

  bool ReadArray(Json::Value& target, size_t depth) {
    Json::Value init(Json::arrayValue);
    target.swapPayload(init);
    Json::ArrayIndex index = 0;
    for (;;) {
      // Only spaces are skipped here: a comment before the bracket makes
      // the bracket read as a missing value.
      SkipSpaces();
      if (cur_ != end_ && *cur_ == ']') {  // an empty array, or a comma before the bracket
        Token close;
        ReadToken(close);
        return true;
      }
      Json::Value& element = target[index++];
      if (!ReadValue(element, depth + 1)) return false;
      Token token;
      bool ok = ReadToken(token);
      while (token.type == Tok::kComment && ok) ok = ReadToken(token);
      if (!ok || (token.type != Tok::kArraySeparator && token.type != Tok::kArrayEnd)) return false;
      if (token.type == Tok::kArrayEnd) return true;
    }
  }

  // Four hex digits at `at`, moved past them.
  static bool HexQuad(const char*& at, const char* end, unsigned& value) {
    if (end - at < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = *at++;
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value += static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value += static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        value += static_cast<unsigned>(c - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  void AppendCodePoint(unsigned cp) {
    if (cp <= 0x7f) {
      scratch_ += static_cast<char>(cp);
    } else if (cp <= 0x7ff) {
      scratch_ += static_cast<char>(0xc0 | (0x1f & (cp >> 6)));
      scratch_ += static_cast<char>(0x80 | (0x3f & cp));
    } else if (cp <= 0xffff) {
      scratch_ += static_cast<char>(0xe0 | (0x0f & (cp >> 12)));
      scratch_ += static_cast<char>(0x80 | (0x3f & (cp >> 6)));
      scratch_ += static_cast<char>(0x80 | (0x3f & cp));
    } else {  // at most 0x10ffff: a surrogate pair is all that gets here
      scratch_ += static_cast<char>(0xf0 | (0x07 & (cp >> 18)));
      scratch_ += static_cast<char>(0x80 | (0x3f & (cp >> 12)));
      scratch_ += static_cast<char>(0x80 | (0x3f & (cp >> 6)));
      scratch_ += static_cast<char>(0x80 | (0x3f & cp));
    }
  }

  // The text of a string token (quotes included), decoded into scratch_.
  // The one buffer serves every string of the document: reserved for the
  // token so it does not move while it grows, and wiped when the reader dies.
  bool DecodeString(const Token& token) {
    const char* at = token.start + 1;
    const char* end = token.end - 1;
    scratch_.clear();
    const size_t room = static_cast<size_t>(end - at);
    if (room > scratch_.capacity()) {
      SecureText grown;
      grown.reserve(room);
      scratch_.swap(grown);
    }
    while (at != end) {
      const char c = *at++;
      if (c == '"') break;
      if (c != '\\') {
        scratch_ += c;
        continue;
      }
      if (at == end) return false;
      switch (*at++) {
        case '"': scratch_ += '"'; break;
        case '/': scratch_ += '/'; break;
        case '\\': scratch_ += '\\'; break;
        case 'b': scratch_ += '\b'; break;
        case 'f': scratch_ += '\f'; break;
        case 'n': scratch_ += '\n'; break;
        case 'r': scratch_ += '\r'; break;
        case 't': scratch_ += '\t'; break;
        case 'u': {
          unsigned cp = 0;
          if (!HexQuad(at, end, cp)) return false;
          if (cp >= 0xd800 && cp <= 0xdbff) {
            // The next escape is joined as the low half, whatever its value.
            if (end - at < 6) return false;
            if (*at++ != '\\' || *at++ != 'u') return false;
            unsigned low = 0;
            if (!HexQuad(at, end, low)) return false;
            cp = 0x10000 + ((cp & 0x3ff) << 10) + (low & 0x3ff);
          }
          AppendCodePoint(cp);
          break;
        }
        default: return false;
      }
    }
    return true;
  }

  bool DecodeNumber(const Token& token, Json::Value& target) {
    const char* at = token.start;
    const bool negative = *at == '-';
    if (negative) ++at;
    // The magnitude as an integer while it fits: up to 2^64 - 1, or 2^63 for
    // a negative number.
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    constexpr uint64_t kNegMax = uint64_t{1} << 63;
    const uint64_t threshold = (negative ? kNegMax : kMax) / 10;
    const unsigned lastDigit = static_cast<unsigned>((negative ? kNegMax : kMax) % 10);
    uint64_t value = 0;
    while (at < token.end) {
      const char c = *at++;
      if (c < '0' || c > '9') return DecodeDouble(token, target);
      const unsigned digit = static_cast<unsigned>(c - '0');
      if (value >= threshold && (value > threshold || at != token.end || digit > lastDigit))
        return DecodeDouble(token, target);
      value = value * 10 + digit;
    }
    Json::Value v;
    if (negative) {
      v = Json::Value(static_cast<Json::LargestInt>(0 - value));
    } else if (value <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      v = Json::Value(static_cast<Json::LargestInt>(value));
    } else {
      v = Json::Value(static_cast<Json::LargestUInt>(value));
    }
    target.swapPayload(v);
    return true;
  }

  // The whole token as a C-locale double. A token that is not all number is
  // refused, and so is a value too large for a double (the stream jsoncpp
  // reads it with fails there), while one too small for it reads as what
  // the conversion gives (zero or a subnormal).
  bool DecodeDouble(const Token& token, Json::Value& target) {
    const size_t n = static_cast<size_t>(token.end - token.start);
    scratch_.assign(token.start, n);
    char* stop = nullptr;
    const double value = strtod_l(scratch_.c_str(), &stop, CLocale());
    if (n == 0 || stop != scratch_.c_str() + n || std::isinf(value)) return false;
    Json::Value v(value);
    target.swapPayload(v);
    return true;
  }

  const char* cur_;
  const char* end_;
  SecureText scratch_;
};

}  // namespace

bool ReadJsonTree(std::string_view text, Json::Value& root) {
  Reader reader(text.data(), text.data() + text.size());
  return reader.Read(root);
}
