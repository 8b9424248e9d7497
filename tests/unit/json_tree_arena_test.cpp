// The request parser's arena: sized from the text before the parse, it holds
// everything json-parser asks for, whatever the text's shape, so the parse
// never takes memory half-way through (which the parser does not survive).
#include <gtest/gtest.h>

#include <string>

#include "command/json_tree.h"

namespace {

std::string Repeat(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// Members "k0":0,"k1":0,... : names that differ, so one object can hold them all.
std::string Members(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":0";
  return out;
}

// Items joined by ",".
std::string List(const std::string& item, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += (i ? "," : "") + item;
  return out;
}

TEST(JsonTreeArena, HoldsEveryShapeOfText) {
  struct Case {
    const char* what;
    std::string text;
    bool parses;
  } cases[] = {
      {"a request", R"({"action":"GenAddr","addon":"btc","args":{"addrinfo":{"pubs":[{"pub":"0x02"}]}}})", true},
      {"nothing", "", false},
      {"one number", "7", true},
      {"deep arrays", Repeat("[", 3000) + Repeat("]", 3000), true},
      {"deep objects", Repeat(R"({"a":)", 2000) + "1" + Repeat("}", 2000), true},
      {"one-byte elements", "[" + List("1", 5000) + "]", true},
      {"empty containers", "[" + List("[]", 2000) + "," + List("{}", 2000) + "]", true},
      {"empty strings", "[" + List(R"("")", 3000) + "]", true},
      // A name stands once in an object, so the many names stand in many objects.
      {"empty names", "[" + List(R"({"":0})", 3000) + "]", true},
      {"short names and strings", "[" + List(R"({"k":"v"})", 3000) + "]", true},
      {"many names in one object", "{" + Members(3000) + "}", true},
      {"escapes", R"([")" + Repeat(R"(\n\"\\\/\u00e9\ud83d\ude00)", 500) + R"("])", true},
      {"literals", "[" + List("true", 500) + "," + List("null", 500) + "," + List("-1.5e3", 500) + "]", true},
      {"a long string", R"({"data":")" + std::string(100000, 'x') + R"("})", true},
      {"blanks", " \t\r\n[ 1 ,\n 2 ] \n", true},
      {"a byte-order mark", "\xEF\xBB\xBF{}", true},
      {"cut short", R"({"a":[1,2,{"b":")", false},
      {"commas and colons inside strings", R"([")" + std::string(3000, ',') + std::string(3000, ':') + R"("])", true},
  };
  for (const Case& c : cases) {
    const ParsedJson tree(c.text.data(), c.text.size());
    EXPECT_EQ(tree.root() != nullptr, c.parses) << c.what;
    EXPECT_FALSE(tree.spilled()) << c.what;
  }
}

TEST(JsonTreeArena, ReadsTheTreeItBuilt) {
  const std::string text = R"({"name":"caf\u00e9","list":[1,"two",{"three":3}],"empty":{}})";
  const ParsedJson tree(text.data(), text.size());
  ASSERT_NE(tree.root(), nullptr);
  const json_value& root = *tree.root();
  EXPECT_STREQ(static_cast<const char*>(root["name"]), "caf\xc3\xa9");
  EXPECT_EQ(root["list"].u.array.length, 3u);
  EXPECT_EQ(static_cast<json_int_t>(root["list"][2]["three"]), 3);
  EXPECT_EQ(root["empty"].type, json_object);
}

}  // namespace
