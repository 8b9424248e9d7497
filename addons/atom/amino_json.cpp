#include "atom/amino_json.h"

#include <algorithm>

#include "command/text/text.h"

AminoValue AminoValue::Text(std::string text) {
  AminoValue v(Kind::kText);
  v.text_ = std::move(text);
  return v;
}

AminoValue AminoValue::Object() { return AminoValue(Kind::kObject); }
AminoValue AminoValue::Array() { return AminoValue(Kind::kArray); }

AminoValue& AminoValue::Add(std::string key, AminoValue value) {
  members_.emplace_back(std::move(key), std::move(value));
  return *this;
}

AminoValue& AminoValue::Push(AminoValue value) {
  items_.push_back(std::move(value));
  return *this;
}

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendUnicodeEscape(std::string& out, unsigned code) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(code >> shift) & 15]);
}

// Characters with a two-character escape.
struct ShortEscape {
  unsigned char c;
  const char* text;
};
constexpr ShortEscape kShortEscapes[] = {{'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"},
                                         {'\n', "\\n"}, {'\r', "\\r"},  {'\t', "\\t"}};

// A JSON string as the chain writes it: the short escapes above, other
// control characters and '<', '>', '&' as \u00xx, U+2028 and U+2029 as \u
// escapes, everything else raw UTF-8. With `apostrophe` set, "'" becomes
// \u0027 as well.
void AppendEscaped(std::string& out, const std::string& text, bool apostrophe) {
  out.push_back('"');
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const ShortEscape* shortEscape = nullptr;
    for (const ShortEscape& e : kShortEscapes) {
      if (e.c == c) shortEscape = &e;
    }
    if (shortEscape != nullptr) {
      out += shortEscape->text;
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || (apostrophe && c == '\'')) {
      AppendUnicodeEscape(out, c);
    } else if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[i + 2]) == 0xa8 || static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
      // E2 80 A8 and E2 80 A9: U+2028 and U+2029.
      AppendUnicodeEscape(out, 0x2000u | (static_cast<unsigned char>(text[i + 2]) - 0x80u));
      i += 2;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('"');
}

void Write(std::string& out, const AminoValue& v, bool sorted) {
  switch (v.kind()) {
    case AminoValue::Kind::kText:
      AppendEscaped(out, v.text(), !sorted);
      return;
    case AminoValue::Kind::kArray: {
      out.push_back('[');
      bool first = true;
      for (const AminoValue& item : v.items()) {
        if (!first) out.push_back(',');
        first = false;
        Write(out, item, sorted);
      }
      out.push_back(']');
      return;
    }
    case AminoValue::Kind::kObject: {
      std::vector<const std::pair<std::string, AminoValue>*> members;
      members.reserve(v.members().size());
      for (const auto& m : v.members()) members.push_back(&m);
      if (sorted) {
        std::stable_sort(members.begin(), members.end(),
                         [](const auto* a, const auto* b) { return a->first < b->first; });
      }
      out.push_back('{');
      bool first = true;
      for (const auto* m : members) {
        if (!first) out.push_back(',');
        first = false;
        AppendEscaped(out, m->first, !sorted);
        out.push_back(':');
        Write(out, m->second, sorted);
      }
      out.push_back('}');
      return;
    }
  }
}

}  // namespace

std::string WriteAminoSorted(const AminoValue& value) {
  std::string out;
  Write(out, value, true);
  return out;
}

std::string WriteAminoInOrder(const AminoValue& value) {
  std::string out;
  Write(out, value, false);
  return out;
}

const std::string* FindInvalidUtf8(const AminoValue& value) {
  switch (value.kind()) {
    case AminoValue::Kind::kText:
      return IsValidUtf8(value.text()) ? nullptr : &value.text();
    case AminoValue::Kind::kArray:
      for (const AminoValue& item : value.items()) {
        if (const std::string* bad = FindInvalidUtf8(item)) return bad;
      }
      return nullptr;
    case AminoValue::Kind::kObject:
      for (const auto& m : value.members()) {
        if (!IsValidUtf8(m.first)) return &m.first;
        if (const std::string* bad = FindInvalidUtf8(m.second)) return bad;
      }
      return nullptr;
  }
  return nullptr;
}
