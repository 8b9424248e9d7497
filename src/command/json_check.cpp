#include "command/json_check.h"

#include <set>
#include <string>
#include <vector>

#include "command/text/text.h"

namespace {

// A comparator of our own keeps the set's code inside the library instead of
// among the exported standard-library instantiations.
struct KeyLess {
  bool operator()(const std::string& a, const std::string& b) const { return a < b; }
};
using KeySet = std::set<std::string, KeyLess>;

class StrictChecker {
 public:
  explicit StrictChecker(std::string_view t) : t_(t) {}

  bool Run() {
    struct Frame {
      bool object;
      KeySet keys;
    };
    std::vector<Frame> stack;
    for (;;) {
      // A value is expected here.
      SkipBlanks();
      if (AtEnd()) return false;
      const char c = t_[p_];
      if (c == '{' || c == '[') {
        ++p_;
        stack.push_back(Frame{c == '{', {}});
        SkipBlanks();
        if (!AtEnd() && t_[p_] == (c == '{' ? '}' : ']')) {
          ++p_;
          stack.pop_back();
        } else if (c == '{') {
          if (!Key(stack.back().keys)) return false;
          continue;
        } else {
          continue;
        }
      } else if (c == '"') {
        // Values are checked, not kept: a reply's strings may carry keys.
        if (!String(nullptr)) return false;
      } else if (c == '-' || (c >= '0' && c <= '9')) {
        if (!Number()) return false;
      } else if (!Word("true") && !Word("false") && !Word("null")) {
        return false;
      }
      // After a complete value: a separator, a closing bracket or the end.
      for (;;) {
        SkipBlanks();
        if (stack.empty()) return AtEnd();
        if (AtEnd()) return false;
        const char d = t_[p_++];
        Frame& top = stack.back();
        if (d == ',') {
          if (top.object && !Key(top.keys)) return false;
          break;
        }
        if (d == (top.object ? '}' : ']')) {
          stack.pop_back();
          continue;
        }
        return false;
      }
    }
  }

 private:
  bool AtEnd() const { return p_ >= t_.size(); }
  void SkipBlanks() {
    while (!AtEnd() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) ++p_;
  }
  bool Word(std::string_view w) {
    if (t_.substr(p_, w.size()) != w) return false;
    p_ += w.size();
    return true;
  }
  // A member name, its colon, and a check that the object has not seen it.
  bool Key(KeySet& keys) {
    SkipBlanks();
    if (AtEnd() || t_[p_] != '"') return false;
    std::string name;
    if (!String(&name)) return false;
    if (!keys.insert(std::move(name)).second) return false;
    SkipBlanks();
    if (AtEnd() || t_[p_] != ':') return false;
    ++p_;
    return true;
  }
  bool Digits() {
    const size_t start = p_;
    while (!AtEnd() && t_[p_] >= '0' && t_[p_] <= '9') ++p_;
    return p_ > start;
  }
  bool Number() {
    if (t_[p_] == '-') ++p_;
    if (AtEnd()) return false;
    if (t_[p_] == '0') {
      ++p_;
    } else if (!Digits()) {
      return false;
    }
    if (!AtEnd() && t_[p_] == '.') {
      ++p_;
      if (!Digits()) return false;
    }
    if (!AtEnd() && (t_[p_] == 'e' || t_[p_] == 'E')) {
      ++p_;
      if (!AtEnd() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
      if (!Digits()) return false;
    }
    return true;
  }
  bool Hex4(unsigned* v) {
    if (t_.size() - p_ < 4) return false;
    unsigned x = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = t_[p_++];
      x <<= 4;
      if (c >= '0' && c <= '9') x |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f') x |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') x |= static_cast<unsigned>(c - 'A' + 10);
      else return false;
    }
    *v = x;
    return true;
  }
  static void PutUtf8(std::string* out, unsigned cp) {
    if (out == nullptr) return;
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out->push_back(static_cast<char>(0xC0 | cp >> 6));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | cp >> 12));
      out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | cp >> 18));
      out->push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  // A string starting at its opening quote; `out`, when given, receives the
  // decoded bytes.
  bool String(std::string* out) {
    auto put = [out](char ch) {
      if (out != nullptr) out->push_back(ch);
    };
    ++p_;
    for (;;) {
      if (AtEnd()) return false;
      const unsigned char c = static_cast<unsigned char>(t_[p_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c >= 0x80) {
        bool wellFormed = false;
        const size_t len = Utf8SequenceLength(t_.substr(p_ - 1), wellFormed);
        if (!wellFormed) return false;
        if (out != nullptr) out->append(t_.substr(p_ - 1, len));
        p_ += len - 1;
        continue;
      }
      if (c != '\\') {
        put(static_cast<char>(c));
        continue;
      }
      if (AtEnd()) return false;
      const char e = t_[p_++];
      switch (e) {
        case '"': put('"'); break;
        case '\\': put('\\'); break;
        case '/': put('/'); break;
        case 'b': put('\b'); break;
        case 'f': put('\f'); break;
        case 'n': put('\n'); break;
        case 'r': put('\r'); break;
        case 't': put('\t'); break;
        case 'u': {
          unsigned u = 0;
          if (!Hex4(&u)) return false;
          // A surrogate stands only as the first half of a pair: alone it is
          // no character, and no UTF-8 text holds it.
          if (u >= 0xDC00 && u < 0xE000) return false;
          if (u >= 0xD800 && u < 0xDC00) {
            unsigned lo = 0;
            if (t_.substr(p_, 2) != "\\u") return false;
            p_ += 2;
            if (!Hex4(&lo) || lo < 0xDC00 || lo >= 0xE000) return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
          }
          PutUtf8(out, u);
          break;
        }
        default:
          return false;
      }
    }
  }

  std::string_view t_;
  size_t p_ = 0;
};

}  // namespace

bool IsStrictJson(std::string_view text) { return StrictChecker(text).Run(); }
