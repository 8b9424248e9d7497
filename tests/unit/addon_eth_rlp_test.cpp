// RLP encoding of the eth add-on: the boundary table, the failures, and a
// differential run against python3-rlp (a strict decoder too).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/error_chain.h"
#include "eth/rlp.h"
#include "tv_test.h"

namespace {

using tvt::Hex;
using tvt::Unhex;

Bytes Filled(size_t n, unsigned char c = 0x61) { return Bytes(n, c); }

std::string Encoded(const Bytes& data, int isList) {
  Bytes out;
  EXPECT_EQ(AppendRLPBytes(data, isList, out), 0);
  return Hex(out);
}

TEST(AddonEthRlp, StringsAndListPayloadsAtTheirBoundaries) {
  struct Case {
    const char* what;
    Bytes data;
    int isList;
    std::string prefix;  // the bytes in front of the data
  } cases[] = {
      {"empty string", {}, 0, "80"},
      {"empty list", {}, 1, "c0"},
      {"byte 0x00 stands alone", {0x00}, 0, ""},
      {"byte 0x7f stands alone", {0x7f}, 0, ""},
      {"byte 0x80 gets a prefix", {0x80}, 0, "81"},
      {"one-byte list payload keeps its prefix", {0x05}, 1, "c1"},
      {"two bytes with a leading zero", {0x00, 0x01}, 0, "82"},
      {"55-byte string", Filled(55), 0, "b7"},
      {"56-byte string", Filled(56), 0, "b838"},
      {"255-byte string", Filled(255), 0, "b8ff"},
      {"256-byte string", Filled(256), 0, "b90100"},
      {"65535-byte string", Filled(65535), 0, "b9ffff"},
      {"65536-byte string", Filled(65536), 0, "ba010000"},
      {"55-byte list payload", Filled(55), 1, "f7"},
      {"56-byte list payload", Filled(56), 1, "f838"},
      {"16777216-byte list payload", Filled(16777216), 1, "fb01000000"},
  };
  for (const Case& c : cases) {
    const std::string want = c.prefix + Hex(c.data);
    EXPECT_EQ(Encoded(c.data, c.isList), want) << c.what;
    // A size query tells exactly what the write takes.
    int needed = -1;
    ASSERT_EQ(MakeRLPEncode(c.data.data(), static_cast<int>(c.data.size()), c.isList, nullptr, &needed), 0);
    EXPECT_EQ(static_cast<size_t>(needed) * 2, want.size()) << c.what;
  }
}

TEST(AddonEthRlp, IntegersAreMinimalBigEndian) {
  struct Case {
    uint64_t value;
    const char* want;
  } cases[] = {
      {0, "80"},         {1, "01"},          {127, "7f"},          {128, "8180"},
      {255, "81ff"},     {256, "820100"},    {0x3d, "3d"},         {1024, "820400"},
      {0xffffffffffffffffull, "88ffffffffffffffff"},              {0x0100000000000000ull, "880100000000000000"},
  };
  for (const Case& c : cases) {
    Bytes out = {0xee};  // appended after what is there
    ASSERT_EQ(SetTxUulDatas(c.value, out), 0);
    EXPECT_EQ(Hex(out), std::string("ee") + c.want) << c.value;
  }
  // Big-endian bytes read as an integer: leading zeros go, zero is 0x80.
  struct BytesCase {
    const char* in;
    const char* want;
  } bytesCases[] = {{"", "80"}, {"00", "80"}, {"0000", "80"}, {"0001", "01"},
                    {"000080", "8180"}, {"7f", "7f"}, {"00ff00", "82ff00"}};
  for (const BytesCase& c : bytesCases) {
    Bytes out;
    ASSERT_EQ(AppendRLPUInt(Unhex(c.in), out), 0);
    EXPECT_EQ(Hex(out), c.want) << c.in;
  }
}

TEST(AddonEthRlp, FailuresWriteNothingAndRecordTheirLine) {
  const Bytes data = Filled(60);
  unsigned char buf[70];
  for (unsigned char& b : buf) b = 0xee;
  int len = 61;  // the encoding takes 62: b8 3c and the 60 bytes
  ResetErrTrail();
  EXPECT_EQ(MakeRLPEncode(data.data(), 60, 0, buf, &len), 113);
  EXPECT_EQ(len, 61);
  for (unsigned char b : buf) EXPECT_EQ(b, 0xee);
  EXPECT_EQ(GetErrTrail(), "MakeRLPEncode:113[MakeRLPEncode Error !!]");
  EXPECT_EQ(GetErrCode(), 113u);
  // A capacity equal to the need is enough.
  len = 62;
  EXPECT_EQ(MakeRLPEncode(data.data(), 60, 0, buf, &len), 0);
  EXPECT_EQ(len, 62);

  struct Bad {
    const char* what;
    const unsigned char* data;
    int count;
    bool nullLen;
  } bad[] = {{"null length", data.data(), 3, true},
             {"negative count", data.data(), -1, false},
             {"null data with a count", nullptr, 3, false}};
  for (const Bad& b : bad) {
    ResetErrTrail();
    int n = 70;
    EXPECT_EQ(MakeRLPEncode(b.data, b.count, 0, buf, b.nullLen ? nullptr : &n), 52) << b.what;
    EXPECT_EQ(GetErrTrail(), "MakeRLPEncode:52[MakeRLPEncode Error !!]") << b.what;
  }
  // No data and no count is the empty string.
  len = 1;
  EXPECT_EQ(MakeRLPEncode(nullptr, 0, 0, buf, &len), 0);
  EXPECT_EQ(buf[0], 0x80);
}

// A random item tree, encoded here and described as JSON for python.
struct Item {
  bool list = false;
  Bytes str;
  std::vector<Item> kids;
};

Bytes Encode(const Item& item) {
  Bytes out;
  if (!item.list) {
    EXPECT_EQ(AppendRLPBytes(item.str, 0, out), 0);
    return out;
  }
  Bytes payload;
  for (const Item& k : item.kids) {
    const Bytes e = Encode(k);
    payload.insert(payload.end(), e.begin(), e.end());
  }
  EXPECT_EQ(AppendRLPBytes(payload, 1, out), 0);
  return out;
}

std::string Describe(const Item& item) {
  if (!item.list) return "\"" + Hex(item.str) + "\"";
  std::string s = "[";
  for (size_t i = 0; i < item.kids.size(); ++i) s += (i ? "," : "") + Describe(item.kids[i]);
  return s + "]";
}

// Lengths on both sides of every prefix change.
const size_t kEdgeLengths[] = {0, 1, 2, 54, 55, 56, 57, 254, 255, 256, 257, 65534, 65535, 65536, 65537};

Item RandomString(tvt::TestRng& rng) {
  Item it;
  const uint32_t pick = rng.Below(4);
  size_t n = pick == 0 ? kEdgeLengths[rng.Below(sizeof kEdgeLengths / sizeof kEdgeLengths[0])] : rng.Below(80);
  it.str = rng.RandBytes(n);
  // Single bytes of both kinds, below and above 0x80.
  if (n == 1 && rng.Below(2) == 0) it.str[0] &= 0x7f;
  return it;
}

Item RandomTree(tvt::TestRng& rng, int depth) {
  if (depth == 0 || rng.Below(3) == 0) return RandomString(rng);
  Item it;
  it.list = true;
  const uint32_t n = rng.Below(5);
  for (uint32_t i = 0; i < n; ++i) it.kids.push_back(RandomTree(rng, depth - 1));
  return it;
}

// A list whose payload is exactly `payload` bytes: one string filling it.
Item ListWithPayload(size_t payload, tvt::TestRng& rng) {
  size_t n = payload - 1;                 // 1-byte prefix up to 55
  if (payload > 56) n = payload - 2;      // b8 xx
  if (payload > 257) n = payload - 3;     // b9 xx xx
  if (payload > 65538) n = payload - 4;   // ba xx xx xx
  Item s;
  s.str = rng.RandBytes(n);
  if (n == 1) s.str[0] |= 0x80;
  Item it;
  it.list = true;
  it.kids.push_back(s);
  return it;
}

const char kRlpOracle[] = R"py(
import json, sys, rlp
from rlp.sedes import big_endian_int
def conv(x):
    return bytes.fromhex(x) if isinstance(x, str) else [conv(k) for k in x]
for line in sys.stdin:
    c = json.loads(line)
    enc = bytes.fromhex(c["enc"])
    if "int" in c:
        v = int(c["int"])
        ok = rlp.encode(v) == enc and big_endian_int.deserialize(rlp.decode(enc, strict=True)) == v
    else:
        item = conv(c["item"])
        ok = rlp.encode(item) == enc and rlp.decode(enc, strict=True) == item
    print("ok" if ok else "MISMATCH " + line.strip()[:200])
)py";

TEST(AddonEthRlp, MatchesPythonRlpForStringsListsAndIntegers) {
  tvt::TestRng rng(0xe7f1);
  std::vector<Item> items;
  for (int i = 0; i < 150; ++i) items.push_back(RandomTree(rng, 3));
  for (size_t payload : {1, 2, 55, 56, 57, 255, 256, 257, 65535, 65536, 65537}) {
    items.push_back(ListWithPayload(payload, rng));
    Item nested;  // the same inside another list
    nested.list = true;
    nested.kids.push_back(ListWithPayload(payload, rng));
    items.push_back(nested);
  }
  std::ostringstream input;
  size_t cases = 0;
  for (const Item& it : items) {
    input << "{\"item\":" << Describe(it) << ",\"enc\":\"" << Hex(Encode(it)) << "\"}\n";
    ++cases;
  }
  // Integers of every byte length, and the ends of each length.
  std::vector<uint64_t> ints = {0, 1, 0x7f, 0x80, 0xff, 0x100, 0xffffffffffffffffull};
  for (int bits = 1; bits <= 64; ++bits) {
    const uint64_t top = bits == 64 ? ~0ull : (1ull << bits) - 1;
    ints.push_back(top);
    ints.push_back(rng.Next() & top);
    if (bits < 64) ints.push_back(top + 1);
  }
  for (uint64_t v : ints) {
    Bytes enc;
    ASSERT_EQ(SetTxUulDatas(v, enc), 0);
    input << "{\"int\":\"" << v << "\",\"enc\":\"" << Hex(enc) << "\"}\n";
    ++cases;
  }
  std::istringstream answers(tvt::RunPython(kRlpOracle, input.str()));
  size_t checked = 0;
  for (std::string line; std::getline(answers, line); ++checked) EXPECT_EQ(line, "ok");
  EXPECT_EQ(checked, cases);
}

}  // namespace
