// The add-ons' JSON reader and writer against jsoncpp itself: the reader
// must accept and refuse what jsoncpp's CharReaderBuilder (as ParseJson sets
// it) accepts and refuses and build the same tree, types included; the
// writer must give the bytes of jsoncpp's StreamWriterBuilder for both
// indentations the add-ons use. Random trees and texts, and the corners of
// jsoncpp's grammar that a reader written from the JSON grammar alone gets
// wrong.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cmath>
#include <iterator>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/json_io.h"
#include "common/json_reader.h"
#include "common/json_writer.h"
#include "jsoncpp_reference.h"
#include "tv_test.h"

namespace {

std::string OurWrite(const Json::Value& value, const std::string& indentation) {
  SecureText out;
  WriteJsonTree(value, indentation, out);
  return std::string(out);
}

bool JsoncppRead(const std::string& text, Json::Value& root) {
  return tvt::JsoncppRead(text.data(), text.data() + text.size(), root);
}
using tvt::JsoncppWrite;

::testing::AssertionResult SameTree(const Json::Value& a, const Json::Value& b) {
  std::string where;
  if (tvt::SameJsonTree(a, b, &where)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << where;
}

// Both readers on one text: the same verdict and, when accepted, the same tree.
::testing::AssertionResult ReadAlike(const std::string& text) {
  Json::Value theirs;
  Json::Value ours;
  const bool theirVerdict = JsoncppRead(text, theirs);
  const bool ourVerdict = ReadJsonTree(text, ours);
  if (theirVerdict != ourVerdict)
    return ::testing::AssertionFailure() << "jsoncpp " << (theirVerdict ? "accepts" : "refuses") << " "
                                         << ::testing::PrintToString(text);
  if (!theirVerdict) return ::testing::AssertionSuccess();
  auto same = SameTree(theirs, ours);
  if (!same) return same << " in " << ::testing::PrintToString(text);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult WriteAlike(const Json::Value& value) {
  for (const char* indentation : {"", "  "}) {
    const std::string theirs = JsoncppWrite(value, indentation);
    const std::string ours = OurWrite(value, indentation);
    if (theirs != ours)
      return ::testing::AssertionFailure() << "indentation '" << indentation << "': jsoncpp "
                                           << ::testing::PrintToString(theirs) << " vs ours "
                                           << ::testing::PrintToString(ours);
  }
  return ::testing::AssertionSuccess();
}

// The corners of jsoncpp's grammar, each accepted or refused as it does.
TEST(AddonJsonReader, GrammarCornersAsJsoncpp) {
  const std::vector<std::string> texts = {
      "", " ", "null", "true", "false", "nul", "tru", "fals", "truex", "nullnull", "NaN", "Infinity", "-Infinity",
      "+Infinity", "-I", "+I", "'a'", "\"a\"", "\"a", "\"\\", "\"\\\"", "\"a\\\"b\"",
      // numbers by jsoncpp's token shape
      "0", "-0", "-", "+", "+1", "+.5", "-.5", "1.", "1.e5", "1e", "1e+", "1E-2", "01", "00.5", "-e5", "-.e1",
      "1.5.2", "1e5e", "9223372036854775807", "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
      "18446744073709551615", "18446744073709551616", "018446744073709551615", "1844674407370955161",
      "18446744073709551619", "1e400", "-1e400", "1e-400", "1.7976931348623157e308", "4.9e-324", "0.1", "123456789012345678901234567890",
      // strings
      "\"\\u0041\\u00e9\\u20ac\"", "\"\\ud83d\\ude00\"", "\"\\ud83d\\u0041\"", "\"\\ud83d\"", "\"\\ud83dx12345\"",
      "\"\\udc00\"", "\"\\u00\"", "\"\\u00zz\"", "\"\\x\"", "\"\\/\\b\\f\\n\\r\\t\"", "\"raw\ncontrol\t\"",
      std::string("\"nul\0inside\"", 12), "\"\\u0000\"",
      // containers
      "[]", "[ ]", "[1,]", "[,1]", "[1,,2]", "[1 2]", "[/*c*/]", "[1/*c*/]", "[1,/*c*/]", "[1,/*c*/2]", "[1",
      "{}", "{ }", "{,}", "{\"a\":1,}", "{\"a\":1,/**/}", "{\"a\" 1}", "{\"a\":}", "{1:2}", "{\"a\":1", "{\"a\":1 \"b\":2}",
      "{\"a\":1 /**/ \"b\" \"c\":2}", "{\"a\":1 /**/ x \"c\":2}", "{\"a\":1 /**/ }", "{\"a\":1,\"a\":2}",
      "{\"a\":{\"a\":1},\"b\":{\"a\":2}}", "{\"\\u0061\":1,\"a\":2}", "{\"a\":1}}", "[1]]", "{\"a\":[1,{\"b\":null}]}",
      // comments and what follows the value
      "/**/1", "//c\n1", "//c\r\n1", "//c\r1", "/*unclosed", "/*/", "1/*/", "[1/*/", "/*x*/ /*y*/ 2", "/ 1", "1 junk",
      "[1] junk", "1 /*", "/*abc/", "[/*abc/", std::string("\0 1", 3), std::string("[1,\0]", 5), std::string("1\0", 2),
      // a byte order mark at the start only
      "\xEF\xBB\xBF{}", "\xEF\xBB\xBF", " \xEF\xBB\xBF{}", "\xEF\xBB{}",
  };
  for (const std::string& text : texts) EXPECT_TRUE(ReadAlike(text));
}

TEST(AddonJsonReader, NestingLimitAsJsoncpp) {
  for (int depth : {998, 999, 1000, 1001, 1002}) {
    for (const char* open : {"[", "{\"k\":"}) {
      std::string text;
      for (int i = 0; i < depth; ++i) text += open;
      text += "1";
      for (int i = 0; i < depth; ++i) text += open[0] == '[' ? "]" : "}";
      EXPECT_TRUE(ReadAlike(text)) << depth << open;
      std::string empty;
      for (int i = 0; i < depth; ++i) empty += "[";
      for (int i = 0; i < depth; ++i) empty += "]";
      EXPECT_TRUE(ReadAlike(empty)) << depth;
    }
  }
}

// Random trees: texts of every kind, bytes that are not UTF-8 included,
// numbers at their edges.
class TreeMaker {
 public:
  explicit TreeMaker(uint64_t seed) : rng_(seed) {}

  std::string Text() {
    static const std::vector<std::string> kPieces = {
        "a", "Z", "0x1f", " ", "\"", "\\", "/", "\b", "\f", "\n", "\r", "\t", std::string(1, '\0'), "\x01", "\x1f",
        "\x7f", "\xc3\xa9", "\xe2\x82\xac", "\xef\xbf\xbf", "\xf0\x9f\x98\x80", "\xf4\x8f\xbf\xbf", "\xf4\x90\x80\x80",
        "\xf7\xbf\xbf\xbf", "\xf8\x88", "\xff", "\x80", "\xbf\x41", "\xc0\x80", "\xe0\x80\x80", "\xed\xa0\x80",
        "\xc3", "\xe2\x82", "\xf0\x9f\x98", "\x7b\"k\":1\x7d", "141f2101ecd818c8e443f9e083b65939537def16b33ce62f",
    };
    std::string s;
    const uint32_t n = rng_.Below(6);
    for (uint32_t i = 0; i < n; ++i) {
      if (rng_.Below(4) == 0) {
        s += static_cast<char>(rng_.Below(256));
      } else {
        s += kPieces[rng_.Below(static_cast<uint32_t>(kPieces.size()))];
      }
    }
    return s;
  }

  Json::Value Number() {
    switch (rng_.Below(10)) {
      case 0: return Json::Value(static_cast<Json::Int64>(rng_.Next()));
      case 1: return Json::Value(static_cast<Json::UInt64>(rng_.Next() | (uint64_t{1} << 63)));
      case 2: return Json::Value(static_cast<Json::Int64>(rng_.Below(2000)) - 1000);
      case 3: {
        const Json::Int64 edges[] = {std::numeric_limits<Json::Int64>::min(), std::numeric_limits<Json::Int64>::max(), 0,
                                     -1};
        return Json::Value(edges[rng_.Below(4)]);
      }
      case 4: {
        uint64_t bits = rng_.Next();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return Json::Value(d);  // NaN and the infinities too
      }
      case 5: {
        const double edges[] = {0.0,
                                -0.0,
                                1.0,
                                -1.0,
                                0.1,
                                1e21,
                                1e-7,
                                123456789012345678.0,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::lowest(),
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::nan("")};
        return Json::Value(edges[rng_.Below(sizeof edges / sizeof edges[0])]);
      }
      case 6: return Json::Value(static_cast<double>(static_cast<int32_t>(rng_.Next())));
      case 7: return Json::Value(static_cast<double>(rng_.Below(100000)) / 1000.0);
      default: return Json::Value(std::ldexp(static_cast<double>(rng_.Next() >> 11), static_cast<int>(rng_.Below(200)) - 100));
    }
  }

  Json::Value Tree(int depth) {
    const uint32_t pick = rng_.Below(depth > 4 ? 5 : 8);
    switch (pick) {
      case 0: return Json::Value();
      case 1: return Json::Value(rng_.Below(2) == 0);
      case 2: return Number();
      case 3:
      case 4: {
        const std::string s = Text();
        return Json::Value(s.data(), s.data() + s.size());
      }
      case 5:
      case 6: {
        Json::Value array(Json::arrayValue);
        const uint32_t n = rng_.Below(5);
        for (uint32_t i = 0; i < n; ++i) array.append(Tree(depth + 1));
        return array;
      }
      default: {
        Json::Value object(Json::objectValue);
        const uint32_t n = rng_.Below(5);
        for (uint32_t i = 0; i < n; ++i) {
          const std::string name = Text();
          *object.demand(name.data(), name.data() + name.size()) = Tree(depth + 1);
        }
        return object;
      }
    }
  }

  tvt::TestRng& Rng() { return rng_; }

 private:
  tvt::TestRng rng_;
};

TEST(AddonJsonWriter, RandomTreesAsJsoncpp) {
  TreeMaker maker(0x6a736f6e);
  for (int i = 0; i < 4000; ++i) {
    const Json::Value tree = maker.Tree(0);
    ASSERT_TRUE(WriteAlike(tree)) << i;
  }
}

TEST(AddonJsonWriter, ScalarsAndStringsAsJsoncpp) {
  // Every byte alone, and each after a lead byte of every length.
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    for (const std::string& s : {std::string(1, c), std::string("\xc3") + c, std::string("\xe2\x82") + c,
                                 std::string("\xf0\x9f\x98") + c, std::string(1, c) + "\x80\x80\x80"})
      ASSERT_TRUE(WriteAlike(Json::Value(s.data(), s.data() + s.size()))) << b;
  }
  TreeMaker maker(7);
  for (int i = 0; i < 20000; ++i) ASSERT_TRUE(WriteAlike(maker.Number())) << i;
}

// Texts: random trees as jsoncpp writes them, then bytes changed, put in,
// taken out; a good share stops parsing, in every way.
TEST(AddonJsonReader, RandomTextsAsJsoncpp) {
  TreeMaker maker(0x72656164);
  tvt::TestRng& rng = maker.Rng();
  static const char kAlphabet[] = "{}[]\",:/*\\ \n\t\r0123456789eE.+-truefalsnIN'u\xEF\xBB\xBF";
  for (int i = 0; i < 6000; ++i) {
    std::string text = JsoncppWrite(maker.Tree(0), rng.Below(2) == 0 ? "" : "  ");
    const uint32_t edits = rng.Below(4);
    for (uint32_t e = 0; e < edits && !text.empty(); ++e) {
      const size_t at = rng.Below(static_cast<uint32_t>(text.size()));
      const char c = kAlphabet[rng.Below(sizeof kAlphabet - 1)];
      switch (rng.Below(4)) {
        case 0: text[at] = c; break;
        case 1: text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c); break;
        case 2: text.erase(at, 1); break;
        default: text.insert(at, rng.Below(2) == 0 ? "/*x*/" : "//y\n"); break;
      }
    }
    ASSERT_TRUE(ReadAlike(text)) << i;
  }
  // Token soup: short texts from the grammar's own pieces.
  static const std::vector<std::string> kTokens = {
      "{", "}", "[", "]", ",", ":", "\"a\"", "\"b\"", "\"\\u00e9\"", "\"\\ud800\\udc00\"", "1", "-", "+1", "1.5e3", "-0",
      "true", "null", "fals", "/**/", "//\n", "/*", " ", "\n", "x", std::string(1, '\0')};
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const uint32_t n = 1 + rng.Below(10);
    for (uint32_t k = 0; k < n; ++k) text += kTokens[rng.Below(static_cast<uint32_t>(kTokens.size()))];
    ASSERT_TRUE(ReadAlike(text)) << i;
  }
}

// CopyJson gives what jsoncpp's copy gives, over whatever the target held.
TEST(AddonJsonIo, CopyAsJsoncppCopies) {
  TreeMaker maker(0x636f7079);
  for (int i = 0; i < 3000; ++i) {
    const Json::Value from = maker.Tree(0);
    Json::Value to = maker.Tree(0);
    CopyJson(from, to);
    ASSERT_TRUE(SameTree(Json::Value(from), to)) << i;
  }
  // An array with holes (only its element 3 set) keeps them: iterating the
  // copy meets one element, as in the original.
  Json::Value holes(Json::arrayValue);
  holes[3] = "x";
  Json::Value copied;
  CopyJson(holes, copied);
  EXPECT_TRUE(SameTree(holes, copied));
  EXPECT_EQ(std::distance(copied.begin(), copied.end()), std::distance(holes.begin(), holes.end()));
}

// Through the add-ons' own doors: what ParseJson accepts comes back from
// WriteJson as jsoncpp writes it, and the reply of a failure escapes as
// jsoncpp escapes a string.
TEST(AddonJsonIo, ParseAndWriteAsJsoncpp) {
  TreeMaker maker(0x696f);
  for (int i = 0; i < 2000; ++i) {
    const std::string text = JsoncppWrite(maker.Tree(0), "");
    Json::Value ours;
    if (!ParseJson(text, ours)) continue;  // a text that is not UTF-8
    Json::Value theirs;
    ASSERT_TRUE(JsoncppRead(text, theirs));
    ASSERT_TRUE(SameTree(theirs, ours));
    for (const char* indentation : {"", "  "})
      ASSERT_EQ(std::string(WriteJson(ours, indentation)), JsoncppWrite(theirs, indentation));
  }
  for (int i = 0; i < 2000; ++i) {
    const std::string s = maker.Text();
    SecureText quoted;
    AppendJsonString(quoted, s);
    ASSERT_EQ(std::string(quoted), JsoncppWrite(Json::Value(s.data(), s.data() + s.size()), ""));
  }
}

}  // namespace
