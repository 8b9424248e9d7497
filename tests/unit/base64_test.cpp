// Base64 (standard alphabet, "=" padding) and the one-character-per-value
// Base32 over the bech32 set.
#include "crypto/codec/base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "trail/trail.h"
#include "crypto/codec/base32.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

const unsigned char kNone = 0;
const unsigned char* Ptr(const Bytes& b) { return b.empty() ? &kNone : b.data(); }

std::string Encode64(const Bytes& in) {
  uint32_t len = 0;
  EXPECT_EQ(Base64Encode(Ptr(in), static_cast<int32_t>(in.size()), nullptr, &len), 0);
  EXPECT_EQ(len, 4 * in.size() / 3 + 4);
  std::vector<char> out(len + 4, 'Z');
  EXPECT_EQ(Base64Encode(Ptr(in), static_cast<int32_t>(in.size()), out.data(), &len), 0);
  EXPECT_EQ(out[len], '\0');
  return std::string(out.data(), len);
}

// Decodes with the size that the query answers as the capacity.
Bytes Decode64(const std::string& text, int* rc) {
  uint32_t len = 0;
  *rc = Base64Decode(text.c_str(), nullptr, &len);
  if (*rc != 0) return {};
  const uint32_t bound = len;
  Bytes out(bound + 8, 0xEE);
  *rc = Base64Decode(text.c_str(), out.data(), &len);
  for (size_t i = bound; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "write past the answered size";
  if (*rc != 0) return {};
  out.resize(len);
  return out;
}

TEST(Base64, Rfc4648Vectors) {
  const char* vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                              {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(Encode64(tvt::FromText(v[0])), v[1]);
    if (v[0][0] == '\0') continue;  // the empty text is refused by the decoder
    int rc = -1;
    EXPECT_EQ(Decode64(v[1], &rc), tvt::FromText(v[0])) << v[1];
    EXPECT_EQ(rc, 0);
  }
  const Bytes all = tvt::Unhex("fbff");
  EXPECT_EQ(Encode64(all), "+/8=");
}

TEST(Base64, DecodingRules) {
  struct Case {
    const char* text;
    int rc;
    const char* hex;
  } cases[] = {
      {"Zm9v\r\nYmFy", 0, "666f6f626172"},
      {"Zm9v\nYmFy\n", 0, "666f6f626172"},
      {"Zm9v   \r\nYmFy  ", 0, "666f6f626172"},
      {"Zm9v  \nYg==   ", 0, "666f6f62"},
      {"Zm9v Ym Fy", 159, ""},   // blank inside a line
      {"Zm9v\tYmFy", 159, ""},   // TAB
      {"Zm9v\rYmFy", 159, ""},   // CR without LF
      {"Zm9v   \rYmFy", 159, ""},
      {"Zg===", 159, ""},        // a third "="
      {"Zg=a", 159, ""},         // data after "="
      {"Zg==\nZg==", 159, ""},
      {"Zm9v*", 159, ""},
      {"Zm9v\xc3\xa9", 159, ""},  // codes of 128 and more
      {"Zm9v\x80", 159, ""},
      {"    ", 167, ""},
      {"\r\n\n", 167, ""},
      {"", 167, ""},
      // Unpadded last groups keep their bytes; a lone character carries none.
      {"Zg", 0, "66"},
      {"Zm8", 0, "666f"},
      {"Zm9vYg", 0, "666f6f62"},
      {"Zm9vYmE", 0, "666f6f6261"},
      {"Zg=", 0, "66"},
      {"Z", 159, ""},
      {"Zm9vY", 159, ""},
      {"Zm9vY==", 159, ""},
      {"Zm9v=", 0, "666f6f"},  // surplus padding after a full group
  };
  for (const auto& c : cases) {
    int rc = -1;
    const Bytes out = Decode64(c.text, &rc);
    EXPECT_EQ(rc, c.rc) << c.text;
    EXPECT_EQ(tvt::Hex(out), c.hex) << c.text;
  }
}

TEST(Base64, CapacityAndErrors) {
  uint32_t len = 0;
  ASSERT_EQ(Base64Decode("Zm9vYg==", nullptr, &len), 0);
  EXPECT_EQ(len, 4u);
  ASSERT_EQ(Base64Decode("Zg", nullptr, &len), 0);
  EXPECT_EQ(len, 2u);
  unsigned char out[8];
  len = 3;
  SetErrFunc("T");
  EXPECT_EQ(Base64Decode("Zm9vYg==", out, &len), 182);
  EXPECT_STREQ(ErrTrailLocations(), "Base64Decode:182");
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(Base64Decode(nullptr, out, &len), 132);
  EXPECT_EQ(Base64Decode("Zg==", out, nullptr), 132);
  char text[8];
  len = 7;  // 3 bytes need 3 * 4 / 3 + 4 = 8
  EXPECT_EQ(Base64Encode(out, 3, text, &len), 43);
  EXPECT_EQ(Base64Encode(nullptr, 3, text, &len), 32);
  EXPECT_EQ(Base64Encode(out, -1, text, &len), 32);
  // 4n / 3 + 4 beyond 32 bits: refused, not wrapped.
  EXPECT_EQ(Base64Encode(out, INT32_MAX, nullptr, &len), 43);
  EXPECT_EQ(Base64Encode(out, INT32_MAX, text, &len), 43);
  EXPECT_EQ(len, 7u);
}

// Random data against Python's base64: encoding, decoding its MIME form with
// line breaks, and decoding its unpadded form.
TEST(Base64, MatchesPython) {
  tvt::TestRng rng(0xb64);
  std::vector<Bytes> data;
  std::ostringstream input;
  for (int k = 0; k < 200; ++k) {
    data.push_back(rng.RandBytes(1 + rng.Below(k < 150 ? 12 : 300)));
    input << tvt::Hex(data.back()) << "\n";
  }
  const std::string script = R"(
import base64, sys
for line in sys.stdin:
    b = bytes.fromhex(line.strip())
    e = base64.b64encode(b).decode()
    mime = base64.encodebytes(b).decode().replace('\n', '|')
    print(e, mime, e.rstrip('='))
)";
  std::istringstream expected(tvt::RunPython(script, input.str()));
  for (const auto& d : data) {
    std::string plain, mime, bare;
    ASSERT_TRUE(expected >> plain >> mime >> bare);
    for (auto& ch : mime)
      if (ch == '|') ch = '\n';
    EXPECT_EQ(Encode64(d), plain);
    for (const std::string& text : {plain, mime, bare}) {
      int rc = -1;
      EXPECT_EQ(Decode64(text, &rc), d) << text;
      EXPECT_EQ(rc, 0);
    }
  }
}

TEST(Base32, ValuesAndCharacters) {
  const unsigned char values[] = {0, 1, 31};
  char text[4];
  memset(text, 'Z', sizeof text);
  uint32_t len = sizeof text;
  ASSERT_EQ(Base32Encode(values, 3, text, &len), 0);
  EXPECT_EQ(len, 3u);
  EXPECT_STREQ(text, "qpl");
  unsigned char out[8];
  len = sizeof out;
  ASSERT_EQ(Base32Decode("QPL", out, &len), 0);
  EXPECT_EQ(tvt::Hex(out, len), "00011f");
  len = sizeof out;
  ASSERT_EQ(Base32Decode("qPzRy9X8", out, &len), 0);
  EXPECT_EQ(tvt::Hex(out, len), "0001020304050607");
  // Every value round-trips.
  unsigned char all[32];
  for (int i = 0; i < 32; ++i) all[i] = static_cast<unsigned char>(i);
  char allText[33];
  len = sizeof allText;
  ASSERT_EQ(Base32Encode(all, 32, allText, &len), 0);
  EXPECT_STREQ(allText, "qpzry9x8gf2tvdw0s3jn54khce6mua7l");
  unsigned char back[32];
  len = sizeof back;
  ASSERT_EQ(Base32Decode(allText, back, &len), 0);
  EXPECT_EQ(memcmp(back, all, 32), 0);
}

TEST(Base32, Refusals) {
  SetErrFunc("T");
  unsigned char out[8];
  for (const char* bad : {"q1", "qb", "qi", "qo", "q-", "q\x80", "\xff"}) {
    uint32_t len = sizeof out;
    EXPECT_EQ(Base32Decode(bad, out, &len), 1) << bad;
    EXPECT_EQ(len, sizeof out);
  }
  uint32_t len = 2;
  EXPECT_EQ(Base32Decode("qpz", out, &len), 1);
  EXPECT_EQ(Base32Decode(nullptr, out, &len), 1);
  len = 0;
  ASSERT_EQ(Base32Decode("qpz", nullptr, &len), 0);
  EXPECT_EQ(len, 3u);

  // A value above 31 has no character.
  const unsigned char big[] = {0, 32};
  char text[4];
  len = sizeof text;
  EXPECT_EQ(Base32Encode(big, 2, text, &len), 1);
  const unsigned char ff[] = {255};
  EXPECT_EQ(Base32Encode(ff, 1, text, &len), 1);
  EXPECT_EQ(Base32Encode(nullptr, 1, text, &len), 1);
  EXPECT_EQ(Base32Encode(ff, -1, text, &len), 1);
  EXPECT_EQ(len, sizeof text);
  EXPECT_STREQ(ErrTrailLocations(), "") << "the Base32 pair records nothing";
}

// With a capacity of exactly n the characters fit but the terminator does not:
// it is left out rather than written past the buffer.
TEST(Base32, TerminatorOnlyWhenThereIsRoom) {
  const unsigned char values[] = {3, 4};
  char text[4] = {'Z', 'Z', 'Z', 'Z'};
  uint32_t len = 2;
  ASSERT_EQ(Base32Encode(values, 2, text, &len), 0);
  EXPECT_EQ(len, 2u);
  EXPECT_EQ(std::string(text, 4), "ryZZ");
  len = 1;
  EXPECT_EQ(Base32Encode(values, 2, text, &len), 1);
}

}  // namespace
