// The JSON layer's string, hex and number helpers, the argument name tables
// and the strict JSON check used on add-on replies.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "command/arg_names.h"
#include "command/json_check.h"
#include "command/text/text.h"
#include "tv_test.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(Text, HexToBytes) {
  const struct {
    std::string in;
    Bytes out;
  } cases[] = {
      {"0x00ff10", {0x00, 0xff, 0x10}},
      {"0x1", {0x01}},
      {"0xabc", {0x0a, 0xbc}},
      {"0xABcd", {0xab, 0xcd}},
      {"0x", {}},
      {"", {}},
      {"0", {'0'}},
      {"0X12", {'0', 'X', '1', '2'}},
      {"abcd", {'a', 'b', 'c', 'd'}},
      // A bad character anywhere among the digits empties the result; that
      // includes letters past f, which must not read as other digits.
      {"0x12g4", {}},
      {"0x12 4", {}},
      {"0xgg", {}},
      {"0xz", {}},
      {"0x0G", {}},
      {"0x-1", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(HexToBytes(c.in), c.out) << c.in;
}

TEST(Text, BytesToHexRoundTrip) {
  const Bytes b = {0x00, 0xff, 0x10};
  EXPECT_EQ(BytesToHex(b), "0x00ff10");
  EXPECT_EQ(BytesToHex(Bytes{}), "");
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(HexToBytes(BytesToHex(all)), all);
}

TEST(Text, StrToInt) {
  const struct {
    std::string in;
    int32_t out;
  } ok[] = {{"", 0},           {"0", 0},           {"0x1F", 31},        {"0x1f", 31},
            {"2147483647", 2147483647}, {"0x7fffffff", 2147483647}, {"00000000000000000012", 12}};
  for (const auto& c : ok) EXPECT_EQ(StrToInt(c.in), c.out) << c.in;
  for (const char* big : {"2147483648", "0x80000000", "99999999999", "0xffffffffffffffffff"})
    EXPECT_THROW(StrToInt(big), std::out_of_range) << big;
  // Outside the number convention: refused, never read as 0.
  for (const char* bad : {"0x", "12a", "-5", "+5", " 5", "5 ", "1.5", "1e3", "0X12", "0x1g", "0x-1", "0x 1"})
    EXPECT_THROW(StrToInt(bad), std::invalid_argument) << bad;
}

TEST(Text, StrToUInt64) {
  EXPECT_EQ(StrToUInt64("18446744073709551615"), 18446744073709551615ull);
  EXPECT_EQ(StrToUInt64("0xffffffffffffffff"), 18446744073709551615ull);
  EXPECT_EQ(StrToUInt64("4294967296"), 4294967296ull);
  EXPECT_THROW(StrToUInt64("-1"), std::invalid_argument);
  EXPECT_THROW(StrToUInt64("18446744073709551616"), std::out_of_range);
  EXPECT_THROW(StrToUInt64("0x10000000000000000"), std::out_of_range);
  EXPECT_THROW(StrToUInt64("0x"), std::invalid_argument);
}

// The reading rule for request arguments: every refusal names the argument.
TEST(Text, ArgumentReadingRule) {
  using namespace std::string_literals;
  EXPECT_EQ(ArgHexToBytes("data", "0x0aFf"), (std::vector<unsigned char>{0x0a, 0xff}));
  EXPECT_EQ(ArgHexToBytes("data", "0xabc"), (std::vector<unsigned char>{0x0a, 0xbc}));
  EXPECT_EQ(ArgHexToBytes("data", "0x"), std::vector<unsigned char>{});
  EXPECT_EQ(ArgHexToBytes("data", "zz"), (std::vector<unsigned char>{'z', 'z'}));
  EXPECT_EQ(ArgToInt("n", ""), 0);
  EXPECT_EQ(ArgToUInt64("n", "0x10"), 16u);
  const struct {
    std::function<void()> read;
    const char* message;
  } refused[] = {
      {[] { ArgHexToBytes("data", "0xzz"); }, "data is not hex text"},
      {[] { ArgHexToBytes("data", "0x0g"); }, "data is not hex text"},
      {[] { ArgHexToBytes("key", "0x 01"); }, "key is not hex text"},
      {[] { ArgHexToBytes("data", "ab\0cd"s); }, "data holds a NUL character"},
      {[] { ArgToInt("entlen", "-1"); }, "entlen is not a number"},
      {[] { ArgToInt("entlen", "16.5"); }, "entlen is not a number"},
      {[] { ArgToInt("entlen", "1e308"); }, "entlen is not a number"},
      {[] { ArgToUInt64("value", " 7"); }, "value is not a number"},
      {[] { ArgToInt("entlen", "16\0"s); }, "entlen holds a NUL character"},
      {[] { ArgTextChecked("password", "pass\0word"s); }, "password holds a NUL character"},
  };
  for (const auto& c : refused) {
    try {
      c.read();
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const ArgumentRefused& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  // "0x" alone and values out of range keep StrToInt's own exceptions.
  EXPECT_THROW(ArgToInt("n", "0x"), std::invalid_argument);
  EXPECT_THROW(ArgToInt("n", "2147483648"), std::out_of_range);
}

TEST(Text, BoolUpperReplaceSplit) {
  EXPECT_TRUE(StrToBool("True"));
  EXPECT_TRUE(StrToBool("tRUE"));
  for (const char* f : {"TRUE ", " true", "1", "yes", ""}) EXPECT_FALSE(StrToBool(f)) << f;

  EXPECT_EQ(ToUpper("ed25519"), "ED25519");
  EXPECT_EQ(ToUpper("\xe4z\x80"), "\xe4Z\x80");

  EXPECT_EQ(ReplaceAll("a/b/c", "/", "\\"), "a\\b\\c");
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");

  using V = std::vector<std::string>;
  EXPECT_EQ(SplitString("a b;c d;", ";"), (V{"a b", "c d", ""}));
  EXPECT_EQ(SplitString("a;b", ";"), (V{"a", "b"}));
  EXPECT_EQ(SplitString(";", ";"), (V{"", ""}));
  EXPECT_EQ(SplitString("a", ";"), (V{"a"}));
  EXPECT_EQ(SplitString("", ";"), V{});
}

TEST(Text, JsonEscape) {
  EXPECT_EQ(JsonEscape("plain text \xc3\xa9 ~"), "plain text \xc3\xa9 ~");
  EXPECT_EQ(JsonEscape("a\"b\\c"), "a\\\"b\\\\c");
  EXPECT_EQ(JsonEscape(std::string("\n\r\t\b\f\x01\x1f\0", 8)), "\\n\\r\\t\\b\\f\\u0001\\u001f\\u0000");
  // What is not UTF-8 comes out as U+FFFD, one for each longest ill-formed
  // part; a quote right after such a part is still escaped.
  EXPECT_EQ(JsonEscape("a\x80\"\xc0 \xed\xa0\x80\xff\xf4\x90\x80\x80\xe1\x80"),
            "a\xef\xbf\xbd\\\"\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"
            "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
  EXPECT_EQ(JsonEscape("\xef\xbf\xbd\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf"), "\xef\xbf\xbd\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf");
}

// Which bytes are UTF-8, and what a repair makes of the rest, against
// Python's decoder (which replaces the same longest ill-formed parts):
// every sequence of up to three bytes drawn from the bytes that matter, and
// random strings.
TEST(Text, Utf8RepairMatchesPython) {
  const unsigned char kEdges[] = {0x00, 0x20, 0x7f, 0x80, 0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc1, 0xc2,
                                  0xdf, 0xe0, 0xe1, 0xec, 0xed, 0xee, 0xef, 0xf0, 0xf1, 0xf3, 0xf4, 0xf5, 0xff};
  std::vector<std::string> texts;
  for (unsigned char a : kEdges) {
    texts.emplace_back(1, static_cast<char>(a));
    for (unsigned char b : kEdges) {
      texts.push_back({static_cast<char>(a), static_cast<char>(b)});
      for (unsigned char c : kEdges) texts.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
    }
  }
  tvt::TestRng rng(28);
  for (int i = 0; i < 3000; ++i) {
    // Half mostly bytes from 0x80 up, half mostly ASCII (runs of eight or
    // more are passed a word at a time).
    std::string t(1 + rng.Below(40), '\0');
    const uint32_t high = i % 2 == 0 ? 12 : 1;
    for (char& ch : t) ch = static_cast<char>(rng.Below(16) < high ? 0x80 + rng.Below(128) : 'a' + rng.Below(26));
    texts.push_back(t);
  }
  std::string input;
  for (const std::string& t : texts)
    input += tvt::Hex(reinterpret_cast<const unsigned char*>(t.data()), t.size()) + "\n";
  const std::string script = R"(
import sys
for line in sys.stdin:
    b = bytes.fromhex(line.strip())
    try:
        b.decode("utf-8")
        ok = 1
    except UnicodeDecodeError:
        ok = 0
    print(ok, b.decode("utf-8", "replace").encode("utf-8").hex())
)";
  const std::string out = tvt::RunPython(script, input);
  size_t pos = 0;
  for (const std::string& t : texts) {
    const size_t end = out.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    std::string repaired;
    AppendValidUtf8(repaired, t);
    const std::string hex = tvt::Hex(reinterpret_cast<const unsigned char*>(t.data()), t.size());
    EXPECT_EQ(line, std::string(IsValidUtf8(t) ? "1 " : "0 ") +
                        tvt::Hex(reinterpret_cast<const unsigned char*>(repaired.data()), repaired.size()))
        << hex;
    // JSON escaping repairs the same way (of these bytes it escapes NUL only).
    if (t.find('\0') == std::string::npos) {
      EXPECT_EQ(JsonEscape(t), repaired) << hex;
    }
  }
}

TEST(ArgNames, Tables) {
  const struct {
    const char* name;
    int32_t id, pub;
  } algos[] = {{"ED25519", 3, 32}, {"ed25519", 3, 32}, {"secp256k1", 1, 33}, {"", 1, 33},
               {"P256", 2, 33},    {"p256", 2, 33},    {"Secp256r1", 2, 33}, {"bogus", 1, 33}};
  for (const auto& a : algos) {
    int32_t id = 0, pri = 0, pub = 0, chain = 0;
    GetAlgoInfo(a.name, &id, &pri, &pub, &chain);
    EXPECT_EQ(id, a.id) << a.name;
    EXPECT_EQ(pub, a.pub) << a.name;
    EXPECT_EQ(pri, 32);
    EXPECT_EQ(chain, 32);
  }
  int32_t id = 0;
  GetAlgoInfo("ED25519", &id);
  EXPECT_EQ(id, 3);

  EXPECT_EQ(GetHashAlgoId("sha256"), 1);
  EXPECT_EQ(GetHashAlgoId("SHA-256"), 0);
  EXPECT_EQ(GetHashAlgoId("rip160"), 3);
  EXPECT_EQ(GetHashAlgoId("sha3-keccak256"), 11);
  EXPECT_EQ(GetHashAlgoId("SHA3-KECCAK512"), 13);
  EXPECT_EQ(GetAESModeId("gcm"), 11);
  EXPECT_EQ(GetAESModeId("ofb"), 5);
  EXPECT_EQ(GetAESModeId(""), 2);
  EXPECT_EQ(GetAESModeId("XTS"), 2);
  EXPECT_EQ(GetPaddingId("none_pad"), 0);
  EXPECT_EQ(GetPaddingId(""), 1);
  EXPECT_EQ(GetPaddingId("PKCS7_PAD"), 1);
}

TEST(JsonCheck, StrictValuesAndDuplicateKeys) {
  for (const char* good : {R"({"a":1,"b":[true,false,null,"x\u00e9\n"],"c":{"a":-1.5e+3}})", "[]", "{}",
                           " [1 , {} ] ", "\"s\"", "0", R"({"a":{"a":1},"b":{"a":2}})", "[[[[[]]]]]"})
    EXPECT_TRUE(IsStrictJson(good)) << good;
  for (const char* bad : {"", "{", "}", "[1,]", "{\"a\":1,}", "{\"a\"}", "{a:1}", "01", "1.", "-",
                          "[1] x", "'a'", "\"a\nb\"", "\"\\x\"", "\"\\u12\"", "{\"a\":1,\"a\":2}",
                          R"({"a":1,"\u0061":2})", "[1 2]", "nul", "{\"a\":1}}", "[}", "\"\xff\"", "\"a\xc3\"",
                          "\"\xed\xa0\x80\"", "{\"\xc0\x80\":1}", R"("\udc00")", R"("\ud800")", R"("\ud800x")",
                          R"("\ud800\u0041")", R"("\ud800\ud800")"})
    EXPECT_FALSE(IsStrictJson(bad)) << bad;
  // Unicode text, raw or escaped, surrogate pairs included.
  for (const char* good : {"\"\xc3\xa9\xf0\x9f\x98\x80\xef\xbf\xbd\"", R"("\ud83d\ude00\uffff\u0000")",
                           "{\"\xc3\xa9\":1,\"e\xcc\x81\":2}"})
    EXPECT_TRUE(IsStrictJson(good)) << good;
}

}  // namespace
