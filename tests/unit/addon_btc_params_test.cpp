// Coin parameters, address types and the byte helpers of the Bitcoin-family
// add-on.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "btc/params.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"

namespace {

TEST(BtcParams, CoinSpecs) {
  const struct {
    const char* coin;
    const char* hrp;
    const char* hrpTest;
    const char* hashtype;
  } cases[] = {
      {"btc", "bc1", "tb1", "0x01000000"},         {"ltc", "ltc1", "tltc1", "0x01000000"},
      {"btg", "btg1", "tbtg1", "0x414f0000"},      {"bch", "bitcoincash:", "bchtest:", "0x41000000"},
      {"bsv", "bitcoincash:", "bchtest:", "0x41000000"},
  };
  for (const auto& c : cases) {
    Json::Value coinSpec;
    ASSERT_EQ(GetCoinSpec(coinSpec, c.coin), 0);
    EXPECT_EQ(coinSpec["coin"].asString(), c.coin);
    EXPECT_EQ(coinSpec["bech32hrp"].asString(), c.hrp);
    EXPECT_EQ(coinSpec["bech32hrptest"].asString(), c.hrpTest);
    EXPECT_EQ(coinSpec["hashtype"].asString(), c.hashtype);
  }
  Json::Value coinSpec;
  EXPECT_EQ(WriteJson((GetCoinSpec(coinSpec, "btc"), coinSpec), ""),
            R"({"bech32hrp":"bc1","bech32hrptest":"tb1","coin":"btc","hashtype":"0x01000000","hrplen":"3"})");
  for (const char* coin : {"BTC", "", "doge"}) {
    ResetErrTrail();
    EXPECT_EQ(GetCoinSpec(coinSpec, coin), 1);
    EXPECT_EQ(GetErrTrail(), "GetCoinSpec:1457[" + std::string(coin) + " spec define is invalid !]");
  }
}

TEST(BtcParams, AddressTypeTable) {
  const struct {
    const char* coin;
    const char* network;
    const char* type;
    int code;
    int hashKind;
    std::string prefix;  // hex of a version byte, or the text
  } cases[] = {
      {"ltc", "test", "p2sh", 14, 1, "3a"},
      {"ltc", "main", "P2SH", 14, 1, "32"},
      {"btc", "testnet", "P2PKH", 11, 1, "00"},
      {"btc", "TEST", "P2PKH", 11, 1, "6f"},
      {"bch", "main", "P2WPKH", 10, -1, ""},
      {"btc", "main", "P2PKH(CASH)", 10, -1, ""},
      {"bsv", "test", "P2PKH(CASH)", 19, 1, "bchtest:"},
      {"bch", "main", "p2sh(cash)", 20, 1, "bitcoincash:"},
      {"bch", "main", "P2PKH(BITPAY)", 17, 1, "1c"},
      {"bsv", "test", "P2SH(BITPAY)", 18, 1, "c4"},
      {"bch", "main", "P2SH(BITPAY)", 18, 1, "28"},
      {"btg", "main", "P2PKH", 11, 1, "26"},
      {"btg", "test", "p2wpkh", 13, 1, "tbtg1"},
      {"btg", "main", "P2SH(P2WSH)", 15, 0, "17"},
      {"ltc", "test", "P2SH(P2WPKH)", 12, 1, "3a"},
      {"ltc", "main", "p2wsh", 16, 0, "ltc1"},
      {"btc", "main", "p2wsh", 16, 0, "bc1"},
      {"bch", "main", "P2SH(P2WSH)", 10, -1, ""},
      {"BTC", "main", "P2PKH", 10, -1, ""},
      {"btc", "main", "P2PK", 10, -1, ""},
      {"doge", "main", "P2PKH", 10, -1, ""},
  };
  for (const auto& c : cases) {
    unsigned char hashKind = 0xEE;
    Bytes prefix;
    EXPECT_EQ(GetAddrTypeInfo(c.coin, c.network, c.type, hashKind, prefix), c.code) << c.coin << " " << c.type;
    EXPECT_EQ(hashKind, c.hashKind < 0 ? 0xEE : c.hashKind) << c.coin << " " << c.type;
    const std::string got = prefix.size() == 1 ? BytesToHex(prefix).substr(2) : std::string(prefix.begin(), prefix.end());
    EXPECT_EQ(got, c.prefix) << c.coin << " " << c.type;
  }
}

TEST(BtcParams, PrefixChecks) {
  const struct {
    const char* coin;
    const char* prefix;
    const char* chain;  // empty: accepted
  } cases[] = {
      {"btc", "bc1", ""},
      {"btc", "tb1", ""},
      {"btc", "BC1", "IsHRPStr:34[not support bech32 prefix[BC1] !!]"},
      {"ltc", "tb1", "IsHRPStr:39[not support bech32 prefix[tb1] !!]"},
      {"btg", "tbtg1", ""},
      {"btg", "btg", "IsHRPStr:44[not support bech32 prefix[btg] !!]"},
      {"bch", "bchtest:", ""},
      {"bch", "bitcoincash", "IsHRPStr:49[not support bech32 prefix[bitcoincash] !!]"},
      {"bsv", "bc1", "IsHRPStr:54[not support bech32 prefix[bc1] !!]"},
      {"doge", "anything", ""},
  };
  for (const auto& c : cases) {
    ResetErrTrail();
    EXPECT_EQ(IsHRPStr(c.coin, c.prefix), *c.chain ? 1 : 0) << c.coin << " " << c.prefix;
    EXPECT_EQ(GetErrTrail(), c.chain);
  }
  const struct {
    const char* coin;
    int len;
  } lens[] = {{"btc", 3}, {"ltc", 5}, {"btg", 5}, {"bch", 12}, {"bsv", 12}, {"doge", 3}, {"BCH", 3}};
  for (const auto& l : lens) EXPECT_EQ(GetHRPLen(l.coin), l.len) << l.coin;
}

TEST(BtcParams, CompactSizeAndLittleEndian) {
  const struct {
    uint64_t n;
    const char* hex;
  } counts[] = {
      {0, "0x00"},          {252, "0xfc"},           {253, "0xfdfd00"},       {65535, "0xfdffff"},
      {65536, "0xfe00000100"}, {4294967295u, "0xfeffffffff"}, {4294967296ull, "0xff0000000001000000"},
      {UINT64_MAX, "0xffffffffffffffffff"},
  };
  for (const auto& c : counts) EXPECT_EQ(BytesToHex(MakeVarInt(c.n)), c.hex) << c.n;
  EXPECT_EQ(BytesToHex(MakeVarBytes(Bytes(253, 7))).substr(0, 10), "0xfdfd0007");
  EXPECT_EQ(BytesToHex(MakeVarBytes({})), "0x00");

  const struct {
    const char* decimal;
    unsigned width;
    const char* hex;
  } les[] = {
      {"1", 4, "0x01000000"},
      {"", 8, "0x0000000000000000"},
      {"", 4, "0x00000000"},
      {"4294967296", 4, "0x00000000"},  // modulo 2^32
      {"4294967297", 8, "0x0100000001000000"},
      {"18446744073709551615", 8, "0xffffffffffffffff"},
      {"0x10", 4, "0x10000000"},
  };
  for (const auto& c : les) {
    const std::string def = c.width == 8 ? "0x0000000000000000" : "0x00000000";
    EXPECT_EQ(BytesToHex(MakeLEBytes(c.decimal, c.width, def)), c.hex) << c.decimal;
  }
  EXPECT_THROW(MakeLEBytes("18446744073709551616", 8, "0x00"), std::out_of_range);
}

TEST(BtcParams, TextHelpers) {
  EXPECT_EQ(ReverseHexBytes("0x0102ab"), "0xab0201");
  EXPECT_EQ(ReverseHexBytes(""), "");
  EXPECT_EQ(ReverseHexBytes("0x"), "");
  EXPECT_EQ(ReverseHexBytes("0xab"), "0xab");

  const struct {
    const char* text;
    unsigned width;
    bool inRange;
  } ranges[] = {
      {"4294967295", 4, true},  {"4294967296", 4, false}, {"04294967295", 4, false}, {"", 4, true},
      {"12a", 8, false},        {"1", 2, false},          {"18446744073709551615", 8, true},
      {"18446744073709551616", 8, false}, {"99999999999999999999", 8, false}, {"-1", 4, false},
      {"0999999999", 4, true},
  };
  for (const auto& r : ranges) EXPECT_EQ(IsDecimalInRange(r.text, r.width), r.inRange) << r.text << " " << r.width;
  EXPECT_EQ(BoolToStr(true), "TRUE");
  EXPECT_EQ(BoolToStr(false), "FALSE");
}

}  // namespace
