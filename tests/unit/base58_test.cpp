// Base58 and Base58Check with the Bitcoin and XRP alphabets.
#include "crypto/codec/base58.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "trail/trail.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string CheckEncode(Base58Alphabet a, const Bytes& payload, int* rc = nullptr) {
  static const unsigned char kNone = 0;
  const unsigned char* p = payload.empty() ? &kNone : payload.data();
  uint32_t len = 0;
  EXPECT_EQ(Base58CheckEncode(a, p, static_cast<int32_t>(payload.size()), nullptr, &len), 0);
  std::vector<char> out(len + 4, 'Z');
  int r = Base58CheckEncode(a, p, static_cast<int32_t>(payload.size()), out.data(), &len);
  if (rc != nullptr) *rc = r;
  if (r != 0) return "";
  EXPECT_EQ(strlen(out.data()), len);
  return std::string(out.data(), len);
}

// Decodes with exactly `cap` bytes of room; returns the payload.
Bytes CheckDecode(Base58Alphabet a, const std::string& text, uint32_t cap, int* rc) {
  Bytes out(cap + 8, 0xEE);
  uint32_t len = cap;
  *rc = Base58CheckDecode(a, text.c_str(), out.data(), &len);
  for (size_t i = cap; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "write past capacity";
  if (*rc != 0) return {};
  // The checksum bytes behind the payload are cleared.
  for (uint32_t i = len; i < len + 4; ++i) EXPECT_EQ(out[i], 0) << text;
  out.resize(len);
  return out;
}

struct Vector {
  Base58Alphabet alphabet;
  const char* payload;
  const char* text;
};
const Vector kVectors[] = {
    {kBase58Bitcoin, "000000000000000000000000000000000000000000", "1111111111111111111114oLvT2"},
    {kBase58Xrp, "000000000000000000000000000000000000000000", "rrrrrrrrrrrrrrrrrrrrrhoLvTp"},
    {kBase58Bitcoin, "0062e907b15cbf27d5425399ebf6f0fb50ebb88f18", "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa"},
    {kBase58Bitcoin, "800c28fca386c7a227600b2fe50b7cae11ec86d3bf1fbe471be89827e19d72aa1d",
     "5HueCGU8rMjxEXxiPuD5BDku4MkFqeZyd4dZ1jvhTVqvbTLvyTJ"},
    {kBase58Xrp, "00b5f762798a53d543a014caf8b297cff8f2f937e8", "rHb9CJAWyB4rj91VRWn96DkukG4bwdtyTh"},
    // Any selector other than 1 is the Bitcoin alphabet.
    {7, "0062e907b15cbf27d5425399ebf6f0fb50ebb88f18", "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa"},
};

TEST(Base58Check, KnownVectors) {
  for (const auto& v : kVectors) {
    const Bytes payload = tvt::Unhex(v.payload);
    EXPECT_EQ(CheckEncode(v.alphabet, payload), v.text);
    int rc = -1;
    // Exactly payload plus checksum is enough room.
    EXPECT_EQ(tvt::Hex(CheckDecode(v.alphabet, v.text, static_cast<uint32_t>(payload.size() + 4), &rc)), v.payload);
    EXPECT_EQ(rc, 0);
    // One byte less is not, and the decoder's failure stands before the outer one.
    SetErrFunc("T");
    CheckDecode(v.alphabet, v.text, static_cast<uint32_t>(payload.size() + 3), &rc);
    EXPECT_EQ(rc, 354);
    const std::string loc = ErrTrailLocations();
    EXPECT_TRUE(loc == "DecodeBase58:233<-Base58CheckDecode:354" || loc == "DecodeBase58:245<-Base58CheckDecode:354")
        << loc;
  }
}

TEST(Base58Check, SizeQueries) {
  const unsigned char p[40] = {0};
  for (int32_t n : {0, 1, 21, 32, 36}) {
    uint32_t len = 12345;
    ASSERT_EQ(Base58CheckEncode(kBase58Bitcoin, p, n, nullptr, &len), 0);
    EXPECT_EQ(len, static_cast<uint32_t>((n + 4) * 138 / 100 + 2));
  }
  uint32_t len = 0;
  ASSERT_EQ(Base58CheckDecode(kBase58Bitcoin, "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa", nullptr, &len), 0);
  EXPECT_EQ(len, 34u);
  uint32_t small = 10;
  char out[16];
  EXPECT_EQ(Base58CheckEncode(kBase58Bitcoin, p, 21, out, &small), 301);
  EXPECT_EQ(small, 10u);
}

// Every single-character change is caught: by the checksum, or as a character
// neither alphabet holds.
TEST(Base58Check, CorruptedTextRefused) {
  const std::string good = "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa";
  const char* bitcoinChars = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
  tvt::TestRng rng(58);
  for (int k = 0; k < 200; ++k) {
    std::string bad = good;
    const size_t at = rng.Below(static_cast<uint32_t>(bad.size()));
    char c;
    do c = bitcoinChars[rng.Below(58)];
    while (c == bad[at]);
    bad[at] = c;
    uint32_t len = 64;
    unsigned char out[64];
    const int rc = Base58CheckDecode(kBase58Bitcoin, bad.c_str(), out, &len);
    EXPECT_EQ(rc, 369) << bad;
    EXPECT_LE(len, 64u - 4);  // the payload length of the mismatching text
  }
  for (const char* alien : {"0", "O", "I", "l", " ", "\x80", "\xc3\xa9", "\xff"}) {
    for (Base58Alphabet a : {kBase58Bitcoin, kBase58Xrp}) {
      std::string bad = good;
      bad.replace(5, 1, alien);
      SetErrFunc("T");
      unsigned char out[64];
      uint32_t len = 64;
      EXPECT_EQ(Base58CheckDecode(a, bad.c_str(), out, &len), 354) << alien;
      EXPECT_STREQ(ErrTrailLocations(), "DecodeBase58:228<-Base58CheckDecode:354");
      EXPECT_EQ(len, 64u);
    }
  }
}

// Too short to carry a checksum: the empty text and anything decoding to
// fewer than 4 bytes are refused instead of hashing a negative length.
TEST(Base58Check, ShortTextsRefused) {
  struct Case {
    const char* text;
    int rc;
  } cases[] = {{"", 345}, {"2", 357}, {"111", 357}, {"zzz", 357}, {"1111", 369}, {"zzzzz", 369}};
  for (const auto& c : cases) {
    int rc = -1;
    CheckDecode(kBase58Bitcoin, c.text, 16, &rc);
    EXPECT_EQ(rc, c.rc) << c.text;
  }
  unsigned char out[4];
  uint32_t len = 4;
  EXPECT_EQ(Base58CheckDecode(kBase58Bitcoin, nullptr, out, &len), 337);
  EXPECT_EQ(Base58CheckDecode(kBase58Bitcoin, "2", out, nullptr), 342);
  EXPECT_EQ(Base58CheckEncode(kBase58Bitcoin, nullptr, 0, nullptr, &len), 290);
  EXPECT_EQ(Base58CheckEncode(kBase58Bitcoin, out, -1, nullptr, &len), 290);
}

// The value zero has no digits: k zero bytes are k zero characters, and back.
TEST(Base58, ZeroBytesAreZeroCharacters) {
  struct Case {
    const char* hex;
    const char* text;
  } cases[] = {{"", ""}, {"00", "1"}, {"0000", "11"}, {"000001", "112"}, {"0039", "1z"}, {"003a", "121"}};
  for (const auto& c : cases) {
    const Bytes in = tvt::Unhex(c.hex);
    static const unsigned char kNone = 0;
    char text[16];
    uint32_t len = sizeof text;
    ASSERT_EQ(EncodeBase58(kBase58Bitcoin, in.empty() ? &kNone : in.data(), static_cast<int32_t>(in.size()), text,
                           &len),
              0);
    EXPECT_EQ(std::string(text, len), c.text) << c.hex;
    unsigned char out[16];
    len = sizeof out;
    ASSERT_EQ(DecodeBase58(kBase58Bitcoin, c.text, static_cast<int32_t>(strlen(c.text)), out, &len), 0);
    EXPECT_EQ(tvt::Hex(out, len), c.hex) << c.text;
  }
}

// A capacity of 0 has no room even for the first byte: nothing is written.
TEST(Base58, DecodeNeverWritesIntoZeroCapacity) {
  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  uint32_t len = 0;
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "2", 1, out, &len), 223);
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "1", 1, out, &len), 223);
  ASSERT_EQ(DecodeBase58(kBase58Bitcoin, "", 0, out, &len), 0);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(tvt::Hex(out, 4), "eeeeeeee");
  len = 1;
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "5R", 2, out, &len), 233);  // 0x0100 needs 2 bytes
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "12", 2, out, &len), 245);  // 00 01
  len = 0;
  ASSERT_EQ(DecodeBase58(kBase58Bitcoin, "abc", 3, nullptr, &len), 0);
  EXPECT_EQ(len, 6u);
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "abc", -1, nullptr, &len), 205);
}

// Lengths whose estimate exceeds 32 bits are refused before anything is read.
TEST(Base58, HugeCountsRefused) {
  const unsigned char in[1] = {1};
  char out[8];
  uint32_t len = sizeof out;
  EXPECT_EQ(EncodeBase58(kBase58Bitcoin, in, INT32_MAX, out, &len), 120);
  EXPECT_EQ(EncodeBase58(kBase58Bitcoin, in, INT32_MAX, nullptr, &len), 120);
  EXPECT_EQ(Base58CheckEncode(kBase58Bitcoin, in, INT32_MAX - 2, out, &len), 301);
  EXPECT_EQ(Base58CheckEncode(kBase58Bitcoin, in, INT32_MAX - 2, nullptr, &len), 301);
  EXPECT_EQ(len, sizeof out);
  EXPECT_EQ(DecodeBase58(kBase58Bitcoin, "2", INT32_MAX, nullptr, &len), 205);
  EXPECT_EQ(EncodeBase58(kBase58Bitcoin, in, -5, out, &len), 109);
}

// Random payloads, many with leading zero bytes, against a Python model.
TEST(Base58Check, MatchesPythonModel) {
  tvt::TestRng rng(0x58c4);
  std::ostringstream input;
  std::vector<Bytes> payloads;
  for (int k = 0; k < 300; ++k) {
    Bytes p = rng.RandBytes(rng.Below(90));
    const uint32_t zeros = rng.Below(4) == 0 ? rng.Below(6) : 0;
    for (uint32_t i = 0; i < zeros && i < p.size(); ++i) p[i] = 0;
    payloads.push_back(p);
    input << (k % 2) << " " << tvt::Hex(p) << "\n";
  }
  const std::string model = R"(
import hashlib, sys
ALPHABETS = ["123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz",
             "rpshnaf39wBUDNEGHJKLM4PQRST7VWXYZ2bcdeCg65jkm8oFqi1tuvAxyz"]
def b58(data, chars):
    n = int.from_bytes(data, 'big')
    s = ''
    while n:
        n, r = divmod(n, 58)
        s = chars[r] + s
    zeros = len(data) - len(data.lstrip(b'\0'))
    return chars[0] * zeros + s
for line in sys.stdin:
    parts = line.split()
    chars = ALPHABETS[int(parts[0])]
    payload = bytes.fromhex(parts[1]) if len(parts) > 1 else b''
    check = hashlib.sha256(hashlib.sha256(payload).digest()).digest()[:4]
    print(b58(payload + check, chars))
)";
  std::istringstream expected(tvt::RunPython(model, input.str()));
  std::string line;
  for (size_t k = 0; k < payloads.size(); ++k) {
    ASSERT_TRUE(std::getline(expected, line));
    const Base58Alphabet a = k % 2 ? kBase58Xrp : kBase58Bitcoin;
    EXPECT_EQ(CheckEncode(a, payloads[k]), line) << tvt::Hex(payloads[k]);
    int rc = -1;
    EXPECT_EQ(CheckDecode(a, line, static_cast<uint32_t>(line.size()), &rc), payloads[k]) << line;
    EXPECT_EQ(rc, 0);
  }
}

}  // namespace
