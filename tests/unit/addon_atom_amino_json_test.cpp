// The two writers of the Cosmos documents and the UTF-8 check.
#include <gtest/gtest.h>

#include <string>

#include "atom/amino_json.h"
#include "command/text/text.h"

namespace {

TEST(AminoJson, EscapesTextsAsTheChainDoes) {
  const struct {
    std::string text;
    const char* sorted;   // sign bytes
    const char* inOrder;  // transaction text
  } cases[] = {
      {"plain ASCII ~!@#$%^*()_+`-={}[]|:;,.?/", R"("plain ASCII ~!@#$%^*()_+`-={}[]|:;,.?/")",
       R"("plain ASCII ~!@#$%^*()_+`-={}[]|:;,.?/")"},
      {"a\"b\\c", R"("a\"b\\c")", R"("a\"b\\c")"},
      {"it's", R"("it's")", R"("it\u0027s")"},
      {"<b>&amp;", R"("\u003cb\u003e\u0026amp;")", R"("\u003cb\u003e\u0026amp;")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")", R"("\b\f\n\r\t")"},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\"", "\"\\u0001\\u001f\x7f\""},
      // Line and paragraph separators are escaped; other characters stay raw UTF-8.
      {"\xe2\x80\xa8|\xe2\x80\xa9|\xe2\x80\xaa", "\"\\u2028|\\u2029|\xe2\x80\xaa\"",
       "\"\\u2028|\\u2029|\xe2\x80\xaa\""},
      {"caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80\"",
       "\"caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80\""},
      {"", R"("")", R"("")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(WriteAminoSorted(AminoValue::Text(c.text)), c.sorted);
    EXPECT_EQ(WriteAminoInOrder(AminoValue::Text(c.text)), c.inOrder);
  }
}

TEST(AminoJson, SortsMembersOnlyForSigning) {
  AminoValue doc = AminoValue::Object();
  doc.Add("type", AminoValue::Text("t"))
      .Add("value",
           AminoValue::Object()
               .Add("address", AminoValue::Text("a"))
               .Add("Description", AminoValue::Object().Add("z", AminoValue::Text("1")).Add("b", AminoValue::Text("2")))
               .Add("list", AminoValue::Array().Push(AminoValue::Text("y")).Push(AminoValue::Text("x")))
               .Add("empty", AminoValue::Object())
               .Add("none", AminoValue::Array()));
  EXPECT_EQ(
      WriteAminoSorted(doc),
      R"({"type":"t","value":{"Description":{"b":"2","z":"1"},"address":"a","empty":{},"list":["y","x"],"none":[]}})");
  EXPECT_EQ(
      WriteAminoInOrder(doc),
      R"({"type":"t","value":{"address":"a","Description":{"z":"1","b":"2"},"list":["y","x"],"empty":{},"none":[]}})");
}

TEST(AminoJson, Utf8Check) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"ascii \x7f", true},
      {"\xc2\x80 \xdf\xbf", true},
      {"\xe0\xa0\x80 \xed\x9f\xbf \xee\x80\x80 \xef\xbf\xbf", true},
      {"\xf0\x90\x80\x80 \xf4\x8f\xbf\xbf", true},
      {"\x80", false},              // a continuation byte alone
      {"\xc0\x80", false},          // overlong NUL
      {"\xc1\xbf", false},          // overlong
      {"\xe0\x9f\xbf", false},      // overlong three-byte form
      {"\xf0\x8f\xbf\xbf", false},  // overlong four-byte form
      {"\xed\xa0\x80", false},      // a surrogate
      {"\xed\xbf\xbf", false},      // a surrogate
      {"\xf4\x90\x80\x80", false},  // above U+10FFFF
      {"\xf5\x80\x80\x80", false},
      {"\xf8\x88\x80\x80\x80", false},
      {"\xc3", false},  // cut short
      {"\xe4\xb8", false},
      {"\xe4\x41\x80", false},  // not a continuation byte
      {"ok\xff", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(IsValidUtf8(c.text), c.valid);
  }
  AminoValue doc = AminoValue::Object().Add("a", AminoValue::Array().Push(AminoValue::Text("fine")));
  EXPECT_EQ(FindInvalidUtf8(doc), nullptr);
  doc.Add("b", AminoValue::Array().Push(AminoValue::Text("bad\xc3")));
  ASSERT_NE(FindInvalidUtf8(doc), nullptr);
  EXPECT_EQ(*FindInvalidUtf8(doc), "bad\xc3");
  EXPECT_NE(FindInvalidUtf8(AminoValue::Object().Add("\xff", AminoValue::Text("x"))), nullptr);
}

}  // namespace
