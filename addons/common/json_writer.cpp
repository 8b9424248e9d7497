#include "common/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr unsigned kReplacement = 0xfffd;

// The code point of the sequence at `at`, read as jsoncpp reads it: the
// length from the first byte alone (continuation bytes are not checked), an
// overlong form, a surrogate or a sequence cut by the end as U+FFFD. `at`
// is left on the sequence's last byte.
unsigned ReadCodePoint(const unsigned char*& at, const unsigned char* end) {
  const unsigned first = *at;
  if (first < 0x80) return first;
  if (first < 0xe0) {
    if (end - at < 2) return kReplacement;
    const unsigned cp = ((first & 0x1f) << 6) | (at[1] & 0x3fu);
    at += 1;
    return cp < 0x80 ? kReplacement : cp;
  }
  if (first < 0xf0) {
    if (end - at < 3) return kReplacement;
    const unsigned cp = ((first & 0x0f) << 12) | ((at[1] & 0x3fu) << 6) | (at[2] & 0x3fu);
    at += 2;
    if (cp >= 0xd800 && cp <= 0xdfff) return kReplacement;
    return cp < 0x800 ? kReplacement : cp;
  }
  if (first < 0xf8) {
    if (end - at < 4) return kReplacement;
    const unsigned cp = ((first & 0x07) << 18) | ((at[1] & 0x3fu) << 12) | ((at[2] & 0x3fu) << 6) | (at[3] & 0x3fu);
    at += 3;
    return cp < 0x10000 ? kReplacement : cp;
  }
  return kReplacement;
}

void AppendEscape(SecureText& out, unsigned unit) {
  static const char kHex[] = "0123456789abcdef";
  const char escape[6] = {'\\', 'u', kHex[(unit >> 12) & 0xf], kHex[(unit >> 8) & 0xf], kHex[(unit >> 4) & 0xf],
                          kHex[unit & 0xf]};
  out.append(escape, sizeof escape);
}

void AppendQuoted(SecureText& out, const char* text, size_t length) {
  const auto* at = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = at + length;
  out += '"';
  // Runs of bytes that need no escape go in whole.
  const unsigned char* run = at;
  auto flush = [&](const unsigned char* upTo) {
    if (upTo > run) out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(upTo - run));
  };
  for (; at != end; ++at) {
    const unsigned char c = *at;
    if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') continue;
    flush(at);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        unsigned cp = ReadCodePoint(at, end);
        if (cp < 0x20) {
          AppendEscape(out, cp);
        } else if (cp < 0x80) {
          // A two-byte sequence can read as ASCII only as an overlong form,
          // which is U+FFFD: nothing gets here but the bytes above.
          out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
          AppendEscape(out, cp);
        } else {
          // jsoncpp masks both halves, so a value above U+10FFFF (from F4 90
          // and up, or F5 to F7) wraps into a pair as well.
          cp -= 0x10000;
          AppendEscape(out, 0xd800 + ((cp >> 10) & 0x3ff));
          AppendEscape(out, 0xdc00 + (cp & 0x3ff));
        }
      }
    }
    run = at + 1;
  }
  flush(end);
  out += '"';
}

template <class T>
void AppendInteger(SecureText& out, T value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, static_cast<size_t>(result.ptr - digits));
}

void AppendDouble(SecureText& out, double value) {
  if (std::isnan(value)) {
    out += "null";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-1e+9999" : "1e+9999";
    return;
  }
  // %.17g takes at most 24 bytes ("-1.2345678901234567e-308").
  char text[40];
  const int n = std::snprintf(text, sizeof text, "%.*g", 17, value);
  bool pointOrExponent = false;
  for (int i = 0; i < n; ++i) {
    // The host's locale may write a decimal comma.
    if (text[i] == ',') text[i] = '.';
    if (text[i] == '.' || text[i] == 'e') pointOrExponent = true;
  }
  out.append(text, static_cast<size_t>(n));
  if (!pointOrExponent) out += ".0";
}

class Writer {
 public:
  Writer(std::string_view indentation, SecureText& out)
      : indentation_(indentation), colon_(indentation.empty() ? ":" : " : "), out_(out) {}

  void Write(const Json::Value& root) {
    indented_ = true;
    WriteValue(root);
  }

 private:
  // A new line at the current depth; nothing without an indentation.
  void WriteIndent() {
    if (indentation_.empty()) return;
    out_ += '\n';
    for (size_t i = 0; i < depth_; ++i) out_ += indentation_;
  }

  void WriteWithIndent(std::string_view text) {
    if (!indented_) WriteIndent();
    out_ += text;
    indented_ = false;
  }

  void WriteValue(const Json::Value& value) {
    switch (value.type()) {
      case Json::nullValue: out_ += "null"; break;
      case Json::intValue: AppendInteger(out_, value.asLargestInt()); break;
      case Json::uintValue: AppendInteger(out_, value.asLargestUInt()); break;
      case Json::realValue: AppendDouble(out_, value.asDouble()); break;
      case Json::booleanValue: out_ += value.asBool() ? "true" : "false"; break;
      case Json::stringValue: {
        const char* begin = nullptr;
        const char* end = nullptr;
        if (value.getString(&begin, &end) && begin != nullptr)
          AppendQuoted(out_, begin, static_cast<size_t>(end - begin));
        break;
      }
      case Json::arrayValue: WriteArray(value); break;
      case Json::objectValue: WriteObject(value); break;
    }
  }

  void WriteObject(const Json::Value& value) {
    if (value.empty()) {
      out_ += "{}";
      return;
    }
    WriteWithIndent("{");
    ++depth_;
    for (auto it = value.begin(); it != value.end();) {
      const char* nameEnd = nullptr;
      const char* name = it.memberName(&nameEnd);
      if (!indented_) WriteIndent();
      AppendQuoted(out_, name, static_cast<size_t>(nameEnd - name));
      indented_ = false;
      out_ += colon_;
      WriteValue(*it);
      if (++it != value.end()) out_ += ',';
    }
    --depth_;
    WriteWithIndent("}");
  }

  void WriteArray(const Json::Value& value) {
    const Json::ArrayIndex size = value.size();
    if (size == 0) {
      out_ += "[]";
      return;
    }
    WriteWithIndent("[");
    ++depth_;
    for (Json::ArrayIndex i = 0; i < size; ++i) {
      if (!indented_) WriteIndent();
      indented_ = true;
      WriteValue(value[i]);
      indented_ = false;
      if (i + 1 != size) out_ += ',';
    }
    --depth_;
    WriteWithIndent("]");
  }

  const std::string_view indentation_;
  const std::string_view colon_;
  SecureText& out_;
  size_t depth_ = 0;
  // Whether the cursor is known to stand where the next text goes (at the
  // start, or right after a new line and its indentation), as jsoncpp keeps it.
  bool indented_ = true;
};

}  // namespace

void WriteJsonTree(const Json::Value& value, std::string_view indentation, SecureText& out) {
  Writer(indentation, out).Write(value);
}

void AppendJsonString(SecureText& out, std::string_view text) { AppendQuoted(out, text.data(), text.size()); }
