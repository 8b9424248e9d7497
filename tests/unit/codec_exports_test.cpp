// The codec exports: size queries, capacity checks, library failures and the
// error trail each leaves.
#include "tolvaris/bcm_codec.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Trail(const std::string& name, const std::string& locations, const std::string& messages) {
  return "[" + name + "][" + locations + "][" + messages + "]";
}

// One failing call per row, with the exact code and trail it must leave.
struct FailureCase {
  const char* what;
  std::function<int()> call;
  int code;
  const char* trail;
};

const unsigned char kBytes[64] = {1, 2, 3, 4, 5, 6, 7, 8};
unsigned char g_out[256];
char g_text[256];

TEST(CodecExports, FailuresAndTheirTrails) {
  uint32_t len = 0;
  const std::vector<FailureCase> cases = {
      {"hex null text", [&] { return BCMConvHexStrToByteArr(nullptr, g_out, &(len = 8)); }, 65,
       "[BCMConvHexStrToByteArr][BCMConvHexStrToByteArr:65][(param is NULL)]"},
      {"hex null length", [&] { return BCMConvHexStrToByteArr("00", g_out, nullptr); }, 65,
       "[BCMConvHexStrToByteArr][BCMConvHexStrToByteArr:65][(param is NULL)]"},
      {"hex capacity", [&] { return BCMConvHexStrToByteArr("a1b2c", g_out, &(len = 2)); }, 78,
       "[BCMConvHexStrToByteArr][BCMConvHexStrToByteArr:78][(buffer size[2] is lower than [3])]"},
      {"hex bad digit", [&] { return BCMConvHexStrToByteArr("0x12", g_out, &(len = 8)); }, 84,
       "[BCMConvHexStrToByteArr][ConvertHexStr2ByteArr:117<-BCMConvHexStrToByteArr:84]"
       "[(bc-module ConvertHexStr2ByteArr error)]"},
      {"tohex null", [&] { return BCMConvByteArrToHexStr(nullptr, 4, 0, g_text, &(len = 9)); }, 105,
       "[BCMConvByteArrToHexStr][BCMConvByteArrToHexStr:105][(param is NULL)]"},
      {"tohex no room for the NUL", [&] { return BCMConvByteArrToHexStr(kBytes, 4, 0, g_text, &(len = 8)); }, 118,
       "[BCMConvByteArrToHexStr][BCMConvByteArrToHexStr:118][(buffer size[8] is lower than [9])]"},
      {"bits null", [&] { return BCMConvBitToBit(kBytes, 4, 8, 5, g_out, nullptr); }, 145,
       "[BCMConvBitToBit][BCMConvBitToBit:145][(param is NULL)]"},
      {"bits capacity", [&] { return BCMConvBitToBit(kBytes, 20, 8, 5, g_out, &(len = 32)); }, 158,
       "[BCMConvBitToBit][BCMConvBitToBit:158][(buffer size[32] is lower than [33])]"},
      {"b64 encode null", [&] { return BCMGenBase64Encode(nullptr, 3, g_text, &(len = 8)); }, 190,
       "[BCMGenBase64Encode][BCMGenBase64Encode:190][(param is NULL)]"},
      {"b64 encode capacity", [&] { return BCMGenBase64Encode(kBytes, 3, g_text, &(len = 7)); }, 203,
       "[BCMGenBase64Encode][BCMGenBase64Encode:203][(buffer size[7] is lower than [8])]"},
      {"b64 decode null", [&] { return BCMGenBase64Decode(nullptr, g_out, &(len = 8)); }, 230,
       "[BCMGenBase64Decode][BCMGenBase64Decode:230][(param is NULL)]"},
      {"b64 decode capacity", [&] { return BCMGenBase64Decode("Zm9vYg==", g_out, &(len = 7)); }, 243,
       "[BCMGenBase64Decode][BCMGenBase64Decode:243][(buffer size[7] is lower than [8])]"},
      {"b64 decode invalid", [&] { return BCMGenBase64Decode("Zm 9v", g_out, &(len = 8)); }, 249,
       "[BCMGenBase64Decode][Base64Decode:159<-BCMGenBase64Decode:249][(bc-module Base64Decode error)]"},
      {"b64 decode empty", [&] { return BCMGenBase64Decode("", g_out, &(len = 8)); }, 249,
       "[BCMGenBase64Decode][Base64Decode:167<-BCMGenBase64Decode:249][(bc-module Base64Decode error)]"},
      {"b58 encode null", [&] { return BCMGenBase58CheckEncode(0, nullptr, 21, g_text, &(len = 64)); }, 275,
       "[BCMGenBase58CheckEncode][BCMGenBase58CheckEncode:275][(param is NULL)]"},
      {"b58 encode capacity", [&] { return BCMGenBase58CheckEncode(0, kBytes, 21, g_text, &(len = 35)); }, 288,
       "[BCMGenBase58CheckEncode][BCMGenBase58CheckEncode:288][(buffer size[35] is lower than [36])]"},
      {"b58 decode null", [&] { return BCMGenBase58CheckDecode(0, "2", g_out, nullptr); }, 315,
       "[BCMGenBase58CheckDecode][BCMGenBase58CheckDecode:315][(param is NULL)]"},
      {"b58 decode capacity",
       [&] { return BCMGenBase58CheckDecode(0, "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNa", g_out, &(len = 33)); }, 328,
       "[BCMGenBase58CheckDecode][BCMGenBase58CheckDecode:328][(buffer size[33] is lower than [34])]"},
      {"b58 decode checksum",
       [&] { return BCMGenBase58CheckDecode(0, "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfNb", g_out, &(len = 64)); }, 334,
       "[BCMGenBase58CheckDecode][Base58CheckDecode:369<-BCMGenBase58CheckDecode:334]"
       "[(bc-module Base58CheckDecode error)]"},
      {"b58 decode alien character",
       [&] { return BCMGenBase58CheckDecode(0, "1A1zP1eP5QGefi2DMPTfTL5SLmv7DivfN0", g_out, &(len = 64)); }, 334,
       "[BCMGenBase58CheckDecode][DecodeBase58:228<-Base58CheckDecode:354<-BCMGenBase58CheckDecode:334]"
       "[(bc-module Base58CheckDecode error)]"},
      {"b58 decode empty", [&] { return BCMGenBase58CheckDecode(0, "", g_out, &(len = 64)); }, 334,
       "[BCMGenBase58CheckDecode][Base58CheckDecode:345<-BCMGenBase58CheckDecode:334]"
       "[(bc-module Base58CheckDecode error)]"},
      {"b58 decode too short", [&] { return BCMGenBase58CheckDecode(0, "zzz", g_out, &(len = 64)); }, 334,
       "[BCMGenBase58CheckDecode][Base58CheckDecode:357<-BCMGenBase58CheckDecode:334]"
       "[(bc-module Base58CheckDecode error)]"},
      {"b32 encode null", [&] { return BCMGenBase32Encode(nullptr, 3, g_text, &(len = 8)); }, 355,
       "[BCMGenBase32Encode][BCMGenBase32Encode:355][(param is NULL)]"},
      {"b32 encode capacity", [&] { return BCMGenBase32Encode(kBytes, 3, g_text, &(len = 7)); }, 368,
       "[BCMGenBase32Encode][BCMGenBase32Encode:368][(buffer size[7] is lower than [8])]"},
      {"b32 encode value above 31",
       [&] {
         static const unsigned char v[] = {1, 32};
         return BCMGenBase32Encode(v, 2, g_text, &(len = 8));
       },
       374, "[BCMGenBase32Encode][BCMGenBase32Encode:374][(bc-module Base32Encode error)]"},
      {"b32 decode null", [&] { return BCMGenBase32Decode(nullptr, g_out, &(len = 8)); }, 395,
       "[BCMGenBase32Decode][BCMGenBase32Decode:395][(param is NULL)]"},
      {"b32 decode capacity", [&] { return BCMGenBase32Decode("qpzry", g_out, &(len = 4)); }, 408,
       "[BCMGenBase32Decode][BCMGenBase32Decode:408][(buffer size[4] is lower than [5])]"},
      {"b32 decode invalid", [&] { return BCMGenBase32Decode("qpzrb", g_out, &(len = 8)); }, 414,
       "[BCMGenBase32Decode][BCMGenBase32Decode:414][(bc-module Base32Decode error)]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(tvt::LastErr(), c.trail) << c.what;
  }
}

// The export and the library agree on ceil(digits / 2): exactly that much
// room converts, for even and odd counts.
TEST(CodecExports, HexToBytesNeedsTheByteCount) {
  struct Case {
    const char* hex;
    const char* bytes;
  } cases[] = {{"", ""}, {"7", "07"}, {"a1b2c", "0a1b2c"}, {"00112233", "00112233"}, {"ABcd", "abcd"}};
  for (const auto& c : cases) {
    uint32_t len = 999;
    ASSERT_EQ(BCMConvHexStrToByteArr(c.hex, nullptr, &len), 0);
    const uint32_t needed = len;
    EXPECT_EQ(needed, (strlen(c.hex) + 1) / 2);
    unsigned char out[8];
    memset(out, 0x5A, sizeof out);
    ASSERT_EQ(BCMConvHexStrToByteArr(c.hex, out, &len), 0) << c.hex << ": " << tvt::LastErr();
    EXPECT_EQ(tvt::Hex(out, len), c.bytes);
    EXPECT_EQ(out[needed], 0x5A);
    EXPECT_EQ(tvt::LastErr(), "[BCMConvHexStrToByteArr][][]");
  }
}

TEST(CodecExports, BytesToHex) {
  const unsigned char in[] = {0xDE, 0xAD, 0xBE, 0xEF};
  uint32_t len = 0;
  ASSERT_EQ(BCMConvByteArrToHexStr(in, 4, 1, nullptr, &len), 0);
  EXPECT_EQ(len, 9u);
  char text[9];
  ASSERT_EQ(BCMConvByteArrToHexStr(in, 4, 1, text, &len), 0);
  EXPECT_EQ(len, 8u);
  EXPECT_STREQ(text, "DEADBEEF");
  len = 9;
  ASSERT_EQ(BCMConvByteArrToHexStr(in, 4, 0, text, &len), 0);
  EXPECT_STREQ(text, "deadbeef");
}

TEST(CodecExports, BitToBit) {
  Bytes hash(20);
  for (size_t i = 0; i < hash.size(); ++i) hash[i] = static_cast<unsigned char>(0x75 + 13 * i);
  uint32_t len = 0;
  ASSERT_EQ(BCMConvBitToBit(hash.data(), 20, 8, 5, nullptr, &len), 0);
  EXPECT_EQ(len, 33u);  // (160 + 1) / 5 + 1
  unsigned char values[33];
  ASSERT_EQ(BCMConvBitToBit(hash.data(), 20, 8, 5, values, &len), 0);
  EXPECT_EQ(len, 32u);
  unsigned char back[40];
  uint32_t backLen = sizeof back;
  ASSERT_EQ(BCMConvBitToBit(values, 32, 5, 8, back, &backLen), 0);
  EXPECT_EQ(Bytes(back, back + backLen), hash);
}

// A width of 0 would be divided by; a negative width or one above a byte is
// meaningless for one value per byte. Refused before any division or write.
TEST(CodecExports, BitToBitWidthsRefused) {
  const struct {
    uint32_t from;
    int to;
    const char* msg;
  } cases[] = {{8, 0, "(param is invalid [bit width from 8 to 0])"},
               {8, -1, "(param is invalid [bit width from 8 to -1])"},
               {0x80000000u, -1, "(param is invalid [bit width from 2147483648 to -1])"},
               {8, 9, "(param is invalid [bit width from 8 to 9])"},
               {0, 5, "(param is invalid [bit width from 0 to 5])"},
               {32, 8, "(param is invalid [bit width from 32 to 8])"}};
  for (const auto& c : cases) {
    for (unsigned char* out : {static_cast<unsigned char*>(nullptr), g_out}) {
      uint32_t len = 77;
      EXPECT_EQ(BCMConvBitToBit(kBytes, 4, c.from, c.to, out, &len), 145);
      EXPECT_EQ(len, 77u);
      EXPECT_EQ(tvt::LastErr(), Trail("BCMConvBitToBit", "BCMConvBitToBit:145", c.msg));
    }
  }
}

TEST(CodecExports, LengthFunctions) {
  EXPECT_EQ(BCMGenBase64EncodeLen(0), 4);
  EXPECT_EQ(BCMGenBase64EncodeLen(3), 8);
  EXPECT_EQ(BCMGenBase64EncodeLen(100), 137);
  EXPECT_EQ(BCMGenBase58CheckEncodeLen(0), 7);
  EXPECT_EQ(BCMGenBase58CheckEncodeLen(21), 36);
  EXPECT_EQ(BCMGenBase58CheckEncodeLen(32), 51);
  // Above INT32_MAX the answer would wrap; -1 says no buffer can be sized.
  EXPECT_EQ(BCMGenBase64EncodeLen(0x60000000u), -1);
  EXPECT_EQ(BCMGenBase64EncodeLen(0xFFFFFFFFu), -1);
  EXPECT_EQ(BCMGenBase58CheckEncodeLen(0x60000000u), -1);
  EXPECT_EQ(BCMGenBase58CheckEncodeLen(0xFFFFFFFFu), -1);
  // They match what the size queries answer.
  for (uint32_t n : {0u, 1u, 2u, 3u, 20u, 33u, 1000u}) {
    uint32_t len = 0;
    ASSERT_EQ(BCMGenBase64Encode(kBytes, n, nullptr, &len), 0);
    EXPECT_EQ(static_cast<int>(len), BCMGenBase64EncodeLen(n));
    ASSERT_EQ(BCMGenBase58CheckEncode(1, kBytes, n, nullptr, &len), 0);
    EXPECT_EQ(static_cast<int>(len), BCMGenBase58CheckEncodeLen(n));
  }
}

// Needed lengths beyond INT32_MAX are refused before anything is read or
// written (the input here is far shorter than the length claimed).
TEST(CodecExports, HugeLengthsRefused) {
  struct Case {
    const char* what;
    std::function<int(char*, unsigned char*, uint32_t*)> call;
    int code;
  } cases[] = {
      {"tohex", [](char* t, unsigned char*, uint32_t* l) { return BCMConvByteArrToHexStr(kBytes, 0x40000000u, 0, t, l); },
       118},
      {"tohex max", [](char* t, unsigned char*, uint32_t* l) { return BCMConvByteArrToHexStr(kBytes, 0xFFFFFFFFu, 0, t, l); },
       118},
      {"bits", [](char*, unsigned char* o, uint32_t* l) { return BCMConvBitToBit(kBytes, 0x40000000u, 8, 1, o, l); }, 158},
      {"bits count", [](char*, unsigned char* o, uint32_t* l) { return BCMConvBitToBit(kBytes, 0x80000001u, 1, 8, o, l); },
       158},
      {"b64", [](char* t, unsigned char*, uint32_t* l) { return BCMGenBase64Encode(kBytes, 0x60000000u, t, l); }, 203},
      {"b64 max", [](char* t, unsigned char*, uint32_t* l) { return BCMGenBase64Encode(kBytes, 0xFFFFFFFFu, t, l); }, 203},
      {"b58", [](char* t, unsigned char*, uint32_t* l) { return BCMGenBase58CheckEncode(0, kBytes, 0x60000000u, t, l); },
       288},
      {"b58 max", [](char* t, unsigned char*, uint32_t* l) { return BCMGenBase58CheckEncode(0, kBytes, 0xFFFFFFFCu, t, l); },
       288},
      {"b32", [](char* t, unsigned char*, uint32_t* l) { return BCMGenBase32Encode(kBytes, 0x60000000u, t, l); }, 368},
  };
  for (const auto& c : cases) {
    for (bool query : {true, false}) {
      uint32_t len = query ? 0 : 0x7FFFFFFFu;  // even the largest capacity
      memset(g_text, 'Z', sizeof g_text);
      EXPECT_EQ(c.call(query ? nullptr : g_text, query ? nullptr : g_out, &len), c.code) << c.what;
      EXPECT_EQ(len, query ? 0u : 0x7FFFFFFFu) << c.what;
      EXPECT_EQ(g_text[0], 'Z');
      EXPECT_NE(tvt::LastErr().find("is above [2147483647]"), std::string::npos) << tvt::LastErr();
    }
  }
}

TEST(CodecExports, Base64) {
  uint32_t len = 0;
  ASSERT_EQ(BCMGenBase64Encode(reinterpret_cast<const unsigned char*>("foob"), 4, nullptr, &len), 0);
  EXPECT_EQ(len, 9u);
  ASSERT_EQ(BCMGenBase64Encode(reinterpret_cast<const unsigned char*>("foob"), 4, g_text, &len), 0);
  EXPECT_EQ(len, 8u);
  EXPECT_STREQ(g_text, "Zm9vYg==");
  EXPECT_EQ(tvt::LastErr(), "[BCMGenBase64Encode][][]");
  // A capacity equal to the text length suffices though fewer bytes come out.
  ASSERT_EQ(BCMGenBase64Decode("Zm9vYg==", nullptr, &len), 0);
  EXPECT_EQ(len, 8u);
  ASSERT_EQ(BCMGenBase64Decode("Zm9vYg==", g_out, &len), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_out), len), "foob");
  len = 7;
  ASSERT_EQ(BCMGenBase64Decode("Zm9vYmE", g_out, &len), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(g_out), len), "fooba");
  ASSERT_EQ(BCMGenBase64Encode(kBytes, 0, g_text, &(len = 4)), 0);
  EXPECT_EQ(len, 0u);
  EXPECT_STREQ(g_text, "");
}

TEST(CodecExports, Base58Check) {
  const Bytes payload(21, 0);
  const struct {
    uint32_t alphabet;
    const char* text;
  } cases[] = {{0, "1111111111111111111114oLvT2"}, {1, "rrrrrrrrrrrrrrrrrrrrrhoLvTp"}};
  for (const auto& c : cases) {
    uint32_t len = 0;
    ASSERT_EQ(BCMGenBase58CheckEncode(c.alphabet, payload.data(), 21, nullptr, &len), 0);
    EXPECT_EQ(len, 36u);
    ASSERT_EQ(BCMGenBase58CheckEncode(c.alphabet, payload.data(), 21, g_text, &len), 0);
    EXPECT_EQ(len, strlen(c.text));
    EXPECT_STREQ(g_text, c.text);
    ASSERT_EQ(BCMGenBase58CheckDecode(c.alphabet, c.text, nullptr, &len), 0);
    EXPECT_EQ(len, strlen(c.text));
    memset(g_out, 0xEE, sizeof g_out);
    ASSERT_EQ(BCMGenBase58CheckDecode(c.alphabet, c.text, g_out, &len), 0);
    EXPECT_EQ(len, 21u);
    EXPECT_EQ(Bytes(g_out, g_out + 21), payload);
    EXPECT_EQ(tvt::Hex(g_out + 21, 4), "00000000");
    EXPECT_EQ(tvt::LastErr(), "[BCMGenBase58CheckDecode][][]");
  }
  // Each text in the other alphabet fails its checksum.
  uint32_t len = 64;
  EXPECT_EQ(BCMGenBase58CheckDecode(1, "1111111111111111111114oLvT2", g_out, &len), 334);
  EXPECT_EQ(len, 64u);
}

TEST(CodecExports, Base32) {
  const unsigned char values[] = {0, 1, 31};
  uint32_t len = 0;
  ASSERT_EQ(BCMGenBase32Encode(values, 3, nullptr, &len), 0);
  EXPECT_EQ(len, 8u);  // 4 * 3 / 3 + 4
  ASSERT_EQ(BCMGenBase32Encode(values, 3, g_text, &len), 0);
  EXPECT_EQ(len, 3u);
  EXPECT_STREQ(g_text, "qpl");
  ASSERT_EQ(BCMGenBase32Decode("QpL", nullptr, &len), 0);
  EXPECT_EQ(len, 3u);
  ASSERT_EQ(BCMGenBase32Decode("QpL", g_out, &len), 0);
  EXPECT_EQ(tvt::Hex(g_out, len), "00011f");
}

}  // namespace
