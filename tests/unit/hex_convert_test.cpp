// Field extraction, hex text <-> bytes and bit-width regrouping.
#include "crypto/codec/hex_convert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "trail/trail.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Field(const char* text, char sep, int32_t n, size_t cap, int* rc) {
  std::vector<char> out(cap + 8, 'Z');  // poison past the capacity
  *rc = GetValue(text, sep, n, out.data(), cap);
  for (size_t i = cap; i < out.size(); ++i) EXPECT_EQ(out[i], 'Z') << "write past capacity at " << i;
  return *rc == 0 ? std::string(out.data()) : std::string();
}

TEST(GetValue, FieldsByIndex) {
  struct Case {
    int32_t index;
    int rc;
    const char* field;
  } cases[] = {{0, 0, "a"}, {1, 0, "bb"}, {2, 0, "c"}, {3, 62, ""}, {-1, 0, "a"}, {-7, 0, "a"}};
  for (const auto& c : cases) {
    int rc = -1;
    EXPECT_EQ(Field("a bb c", ' ', c.index, 16, &rc), c.field) << c.index;
    EXPECT_EQ(rc, c.rc) << c.index;
  }
  int rc = -1;
  EXPECT_EQ(Field("x;;y;", ';', 1, 16, &rc), "");  // empty fields are fields
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(Field("x;;y;", ';', 3, 16, &rc), "");
  EXPECT_EQ(rc, 0);
}

// A field longer than the buffer is refused instead of overrunning it, and the
// field that fits is NUL-terminated even in a dirty buffer.
TEST(GetValue, FieldMustFitWithItsTerminator) {
  int rc = -1;
  EXPECT_EQ(Field("abcd efgh", ' ', 0, 5, &rc), "abcd");
  EXPECT_EQ(rc, 0);
  Field("abcd efgh", ' ', 1, 4, &rc);
  EXPECT_EQ(rc, 76);
  Field("abcd", ' ', 0, 0, &rc);
  EXPECT_EQ(rc, 76);
  char out[4];
  EXPECT_EQ(GetValue(nullptr, ' ', 0, out, sizeof out), 57);
  EXPECT_EQ(GetValue("a", ' ', 0, nullptr, 4), 57);
}

TEST(ConvertHexStr2ByteArr, DigitsToBytes) {
  struct Case {
    const char* hex;
    int rc;
    const char* bytes;
  } cases[] = {
      {"", 0, ""},          {"7", 0, "07"},         {"ABcd", 0, "abcd"},         {"abc", 0, "0abc"},
      {"00ff10", 0, "00ff10"}, {"0x12", 117, ""},   {"12 3", 117, ""},           {"-1", 117, ""},
      {"1g", 117, ""},      {"\xff", 117, ""},
  };
  for (const auto& c : cases) {
    // A dirty buffer: the digits must be assigned, not added into what was there.
    unsigned char out[8];
    memset(out, 0xA5, sizeof out);
    uint32_t len = sizeof out;
    ASSERT_EQ(ConvertHexStr2ByteArr(c.hex, out, &len), c.rc) << c.hex;
    if (c.rc == 0) {
      EXPECT_EQ(tvt::Hex(out, len), c.bytes) << c.hex;
    } else {
      EXPECT_EQ(len, sizeof out) << "length changed on failure";
    }
  }
}

TEST(ConvertHexStr2ByteArr, CapacityIsTheByteCount) {
  uint32_t len = 0;
  ASSERT_EQ(ConvertHexStr2ByteArr("abcde", nullptr, &len), 0);
  EXPECT_EQ(len, 3u);  // bytes, not digits
  unsigned char out[3];
  len = 3;
  ASSERT_EQ(ConvertHexStr2ByteArr("a1b2c3", out, &len), 0);
  EXPECT_EQ(tvt::Hex(out, len), "a1b2c3");
  len = 2;
  EXPECT_EQ(ConvertHexStr2ByteArr("a1b2c3", out, &len), 104);
  EXPECT_EQ(len, 2u);
  len = static_cast<uint32_t>(-1);  // a negative capacity always fails
  EXPECT_EQ(ConvertHexStr2ByteArr("a1", out, &len), 104);
  EXPECT_EQ(ConvertHexStr2ByteArr(nullptr, out, &len), 92);
  EXPECT_EQ(ConvertHexStr2ByteArr("a1", out, nullptr), 92);
}

TEST(ConvertByteArr2HexStr, CaseFlagAndTerminator) {
  const unsigned char in[] = {0xDE, 0xAD};
  struct Case {
    int32_t flag;
    const char* text;
  } cases[] = {{1, "DEAD"}, {0, "dead"}, {2, "dead"}, {-1, "dead"}};
  for (const auto& c : cases) {
    char out[5];
    memset(out, 'Z', sizeof out);
    uint32_t len = sizeof out;
    ASSERT_EQ(ConvertByteArr2HexStr(in, 2, c.flag, out, &len), 0);
    EXPECT_EQ(len, 4u);
    EXPECT_STREQ(out, c.text);
  }
  char out[5];
  uint32_t len = 4;  // no room for the NUL
  EXPECT_EQ(ConvertByteArr2HexStr(in, 2, 0, out, &len), 152);
  len = 0;
  ASSERT_EQ(ConvertByteArr2HexStr(in, 2, 0, nullptr, &len), 0);
  EXPECT_EQ(len, 5u);
  len = 1;
  ASSERT_EQ(ConvertByteArr2HexStr(in, 0, 0, out, &len), 0);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(ConvertByteArr2HexStr(nullptr, 2, 0, out, &len), 140);
}

// 2n + 1 does not fit 32 bits: refused, never wrapped into a small need.
TEST(ConvertByteArr2HexStr, HugeCountRefusedBeforeReading) {
  const unsigned char in[1] = {0};
  char out[4];
  uint32_t len = sizeof out;
  EXPECT_EQ(ConvertByteArr2HexStr(in, 0x80000000u, 0, out, &len), 152);
  len = 0;
  EXPECT_EQ(ConvertByteArr2HexStr(in, 0x7fffffffu, 0, nullptr, &len), 152);
  EXPECT_EQ(len, 0u);
}

Bytes Regroup(const Bytes& in, int from, int to, int* rc) {
  static const unsigned char kNone = 0;
  const unsigned char* p = in.empty() ? &kNone : in.data();
  uint32_t len = 0;
  *rc = ConverByte2Bit(p, static_cast<int32_t>(in.size()), from, to, nullptr, &len);
  if (*rc != 0) return {};
  Bytes out(len + 1, 0xEE);
  *rc = ConverByte2Bit(p, static_cast<int32_t>(in.size()), from, to, out.data(), &len);
  EXPECT_EQ(out[out.size() - 1], 0xEE) << "write past the answered size";
  out.resize(len);
  return out;
}

TEST(ConverByte2Bit, DocumentedGroups) {
  struct Case {
    const char* in;
    int from, to;
    const char* out;
  } cases[] = {
      {"ff", 8, 5, "1f1c"},      {"1f1c", 5, 8, "ff"},      {"1f1f", 5, 8, "ffc0"}, {"0102", 8, 8, "0102"},
      {"", 8, 5, ""},            {"00", 8, 5, "0000"},      {"0000", 5, 8, "00"},     {"01", 1, 8, "80"},
      {"ff", 8, 1, "0101010101010101"},                     {"abcd", 8, 3, "050207040604"},
  };
  for (const auto& c : cases) {
    int rc = -1;
    EXPECT_EQ(tvt::Hex(Regroup(tvt::Unhex(c.in), c.from, c.to, &rc)), c.out) << c.in << " " << c.from << "->" << c.to;
    EXPECT_EQ(rc, 0);
  }
}

// A width of 0 would divide by zero; negative widths and widths above a byte
// make no sense for one value per byte.
TEST(ConverByte2Bit, WidthsOutsideOneToEightRefused) {
  const unsigned char in[2] = {1, 2};
  unsigned char out[16];
  const int bad[][2] = {{8, 0}, {0, 5}, {8, -1}, {-1, 8}, {8, 9}, {9, 8}, {5, 32}, {INT32_MIN, -1}};
  for (const auto& w : bad) {
    uint32_t len = sizeof out;
    EXPECT_EQ(ConverByte2Bit(in, 2, w[0], w[1], out, &len), 183) << w[0] << "->" << w[1];
    EXPECT_EQ(ConverByte2Bit(in, 2, w[0], w[1], nullptr, &len), 183);
    EXPECT_EQ(len, sizeof out);
  }
  uint32_t len = 1;
  EXPECT_EQ(ConverByte2Bit(in, 2, 8, 5, out, &len), 198);  // needs 4
  EXPECT_EQ(ConverByte2Bit(nullptr, 2, 8, 5, out, &len), 187);
}

// n * from beyond 32 bits is refused, not wrapped into a small or negative
// need; a count of 0 or less needs and emits nothing.
TEST(ConverByte2Bit, NeededCountInSixtyFourBits) {
  const unsigned char in[1] = {1};
  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  uint32_t len = sizeof out;
  EXPECT_EQ(ConverByte2Bit(in, INT32_MAX, 8, 1, out, &len), 198);
  EXPECT_EQ(ConverByte2Bit(in, INT32_MAX, 8, 1, nullptr, &len), 198);
  EXPECT_EQ(len, sizeof out);
  EXPECT_EQ(tvt::Hex(out, sizeof out), "eeeeeeee");
  for (int32_t n : {0, -3, INT32_MIN}) {
    len = 77;
    ASSERT_EQ(ConverByte2Bit(in, n, 8, 5, nullptr, &len), 0) << n;
    EXPECT_EQ(len, 0u) << n;
    ASSERT_EQ(ConverByte2Bit(in, n, 5, 8, out, &len), 0) << n;
    EXPECT_EQ(len, 0u) << n;
  }
  EXPECT_EQ(tvt::Hex(out, sizeof out), "eeeeeeee");
}

// Differential against a bit-string model of the regrouping, all width pairs.
TEST(ConverByte2Bit, MatchesBitStringModel) {
  tvt::TestRng rng(0xb17b17);
  std::ostringstream cases;
  std::vector<std::string> ours;
  for (int from = 1; from <= 8; ++from) {
    for (int to = 1; to <= 8; ++to) {
      for (int k = 0; k < 6; ++k) {
        Bytes in = rng.RandBytes(rng.Below(40));
        for (auto& v : in) v = static_cast<unsigned char>(v & ((1 << from) - 1));
        int rc = -1;
        ours.push_back(tvt::Hex(Regroup(in, from, to, &rc)));
        ASSERT_EQ(rc, 0);
        cases << from << " " << to << " " << tvt::Hex(in) << "\n";
      }
    }
  }
  const std::string model = R"(
import sys
for line in sys.stdin:
    parts = line.split()
    f, t = int(parts[0]), int(parts[1])
    data = bytes.fromhex(parts[2]) if len(parts) > 2 else b''
    bits = ''.join(format(v, '0%db' % f) for v in data)
    if f == t:
        out = list(data)
    else:
        out = [int(bits[i:i + t], 2) for i in range(0, len(bits) - len(bits) % t, t)]
        rest = bits[len(bits) - len(bits) % t:]
        if rest:
            last = int(rest.ljust(t, '0'), 2)
            if f > t or last != 0:
                out.append(last)
    print(bytes(out).hex())
)";
  std::istringstream expected(tvt::RunPython(model, cases.str()));
  std::string line;
  for (const auto& o : ours) {
    ASSERT_TRUE(std::getline(expected, line));
    EXPECT_EQ(o, line);
  }
}

TEST(ConverByte2Bit, FailuresLeaveTrailEntries) {
  SetErrFunc("T");
  uint32_t len = 0;
  EXPECT_EQ(ConverByte2Bit(nullptr, 1, 8, 5, nullptr, &len), 187);
  EXPECT_STREQ(ErrTrailLocations(), "ConverByte2Bit:187");
}

}  // namespace
