// Java's UTF-16 strings to standard UTF-8 and back, as the bindings convert
// them (JNI's own functions would use modified UTF-8).
#include "jni/jni_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tv_test.h"

namespace {

std::string ToUtf8(const std::u16string& s, bool* ok) {
  SecureText out("left over");
  *ok = Utf16ToUtf8(s.data(), s.size(), out);
  return std::string(out.data(), out.size());
}

std::u16string ToUtf16(const std::string& s) {
  Utf16Text out;
  Utf8ToUtf16(s.data(), s.size(), out);
  return std::u16string(out.begin(), out.end());
}

TEST(JniText, Utf16ToStandardUtf8) {
  const struct {
    std::u16string in;
    std::string out;
  } cases[] = {
      {u"", ""},
      {u"abc", "abc"},
      {u"caf\u00e9", "caf\xc3\xa9"},
      {u"\u07ff\u0800", "\xdf\xbf\xe0\xa0\x80"},
      {u"\u20ac", "\xe2\x82\xac"},
      {u"\uffff", "\xef\xbf\xbf"},
      // A surrogate pair is one four-byte character, not two three-byte halves.
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {u"\U00010000\U0010FFFF", "\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
      {u"a\U0001F511b", "a\xf0\x9f\x94\x91" "b"},
  };
  for (const auto& c : cases) {
    bool ok = false;
    EXPECT_EQ(ToUtf8(c.in, &ok), c.out);
    EXPECT_TRUE(ok);
  }
}

TEST(JniText, RefusesNulAndUnpairedSurrogates) {
  const std::u16string refused[] = {
      std::u16string(u"pass\0word", 9), std::u16string(1, u'\0'), u"\xd83d", u"\xd83dx", u"x\xde00",
      u"\xde00\xd83d", u"\xd83d\xd83d",
  };
  for (const std::u16string& s : refused) {
    bool ok = true;
    EXPECT_EQ(ToUtf8(s, &ok), "");
    EXPECT_FALSE(ok);
  }
}

TEST(JniText, Utf8ToUtf16WithReplacement) {
  const struct {
    std::string in;
    std::u16string out;
  } cases[] = {
      {"", u""},
      {"abc", u"abc"},
      {"caf\xc3\xa9", u"caf\u00e9"},
      {"\xf0\x9f\x98\x80", u"\U0001F600"},
      {"\xf4\x8f\xbf\xbf", u"\U0010FFFF"},
      // A NUL inside the length is a character like any other.
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      // Ill-formed input: one U+FFFD per maximal ill-formed part.
      {"\x80", u"\ufffd"},
      {"a\xbf" "b", u"a\ufffdb"},
      {"\xc0\x80", u"\ufffd\ufffd"},          // overlong NUL (modified UTF-8)
      {"\xc1\xbf", u"\ufffd\ufffd"},          // overlong
      {"\xe0\x80\x80", u"\ufffd\ufffd\ufffd"},  // overlong three-byte form
      {"\xed\xa0\xbd\xed\xb8\x80", u"\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd"},  // encoded surrogates (CESU-8)
      {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // above U+10FFFF
      {"\xf5\x80", u"\ufffd\ufffd"},
      {"\xff", u"\ufffd"},
      {"\xf0\x9f\x98", u"\ufffd"},            // cut short at the end
      {"\xf0\x9f\x98" "a", u"\ufffda"},       // cut short before an ASCII byte
      {"\xe2\x82" "\xe2\x82\xac", u"\ufffd\u20ac"},
      {"\xc3", u"\ufffd"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToUtf16(c.in), c.out) << c.in;
}

TEST(JniText, RoundTripOfEveryPlane) {
  std::u16string all;
  for (char32_t c = 1; c <= 0x10FFFF; c += 0x3FF) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (c < 0x10000) {
      all.push_back(static_cast<char16_t>(c));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  bool ok = false;
  const std::string utf8 = ToUtf8(all, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ToUtf16(utf8), all);
}

// Random byte strings, most of them ill-formed somewhere, decoded as
// Python's codec decodes them with errors="replace" (the same maximal-part
// rule); Python's UTF-16 of the result is compared code unit by code unit.
TEST(JniText, Utf8ToUtf16AgainstPython) {
  tvt::TestRng rng(0x75746638);
  const unsigned char pieces[] = {0x00, 0x41, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1, 0xc2,
                                  0xdf, 0xe0, 0xe1, 0xec, 0xed, 0xee, 0xef, 0xf0, 0xf1, 0xf3, 0xf4, 0xf5, 0xff};
  std::vector<std::string> inputs;
  std::string lines;
  for (int i = 0; i < 400; ++i) {
    std::string s;
    const size_t n = rng.Below(12);
    for (size_t k = 0; k < n; ++k)
      s.push_back(static_cast<char>(rng.Below(3) == 0 ? rng.Below(256) : pieces[rng.Below(sizeof pieces)]));
    inputs.push_back(s);
    lines += tvt::Hex(reinterpret_cast<const unsigned char*>(s.data()), s.size()) + "\n";
  }
  const std::string script =
      "import sys\n"
      "for line in sys.stdin.read().split('\\n')[:-1]:\n"
      "    u = bytes.fromhex(line).decode('utf-8', errors='replace').encode('utf-16-be')\n"
      "    print(u.hex())\n";
  std::istringstream want(tvt::RunPython(script, lines));
  for (const std::string& in : inputs) {
    std::string line;
    ASSERT_TRUE(std::getline(want, line));
    std::string got;
    for (char16_t u : ToUtf16(in)) {
      const unsigned char be[2] = {static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u & 0xff)};
      got += tvt::Hex(be, 2);
    }
    EXPECT_EQ(got, line) << tvt::Hex(reinterpret_cast<const unsigned char*>(in.data()), in.size());
  }
}

}  // namespace
