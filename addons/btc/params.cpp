#include "btc/params.h"

#include <algorithm>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "tolvaris/bcm_core.h"

namespace {

struct CoinRow {
  const char* coin;
  const char* coinSpec;
  const char* hrp;       // accepted prefixes
  const char* hrpTest;
  uint32_t hrpLine;      // IsHRPStr's line for the coin
  int hrpLen;
  int column;            // column of the address-type table
  CoinLimits limits;
};

// The money supplies are the chains' consensus limit on an amount and on a
// sum of amounts; the relay limits their nodes' standard transaction size.
constexpr uint64_t kMaxMoney = 2100000000000000;  // 21 million coins of 10^8 units
constexpr CoinLimits kWeightLimited = {kMaxMoney, 400000, true};

const CoinRow kCoins[] = {
    {"btc", R"({"coin":"btc","hrplen":"3","bech32hrp":"bc1","bech32hrptest":"tb1","hashtype":"0x01000000"})",
     "bc1", "tb1", 34, 3, 0, kWeightLimited},
    {"ltc", R"({"coin":"ltc","hrplen":5,"bech32hrp":"ltc1","bech32hrptest":"tltc1","hashtype":"0x01000000"})",
     "ltc1", "tltc1", 39, 5, 1, {4 * kMaxMoney, 400000, true}},
    {"btg", R"({"coin":"btg","hrplen":5,"bech32hrp":"btg1","bech32hrptest":"tbtg1","hashtype":"0x414f0000"})",
     "btg1", "tbtg1", 44, 5, 2, kWeightLimited},
    {"bch",
     R"({"coin":"bch","hrplen":12,"bech32hrp":"bitcoincash:","bech32hrptest":"bchtest:","hashtype":"0x41000000"})",
     "bitcoincash:", "bchtest:", 49, 12, 3, {kMaxMoney, 100000, false}},
    {"bsv",
     R"({"coin":"bsv","hrplen":12,"bech32hrp":"bitcoincash:","bech32hrptest":"bchtest:","hashtype":"0x41000000"})",
     "bitcoincash:", "bchtest:", 54, 12, 3, {kMaxMoney, 10000000, false}},
};

const CoinRow* FindCoin(const std::string& coin) {
  for (const CoinRow& row : kCoins)
    if (coin == row.coin) return &row;
  return nullptr;
}

// One cell of the address-type table: version bytes, or prefix texts.
struct Prefixes {
  bool supported;
  unsigned char mainVersion, testVersion;
  const char* mainText;  // null for version bytes
  const char* testText;
};
constexpr Prefixes V(unsigned char main, unsigned char test) { return {true, main, test, nullptr, nullptr}; }
constexpr Prefixes T(const char* main, const char* test) { return {true, 0, 0, main, test}; }
constexpr Prefixes kNo = {false, 0, 0, nullptr, nullptr};

struct AddrTypeRow {
  const char* name;  // upper case
  int code;
  unsigned char hashKind;
  Prefixes cells[4];  // btc, ltc, btg, bch and bsv
};

const AddrTypeRow kAddrTypes[] = {
    {"P2PKH", kAddrP2PKH, 1, {V(0x00, 0x6f), V(0x30, 0x6f), V(0x26, 0x6f), V(0x00, 0x6f)}},
    {"P2SH(P2WPKH)", kAddrP2SH_P2WPKH, 1, {V(0x05, 0xc4), V(0x32, 0x3a), V(0x17, 0xc4), kNo}},
    {"P2WPKH", kAddrP2WPKH, 1, {T("bc1", "tb1"), T("ltc1", "tltc1"), T("btg1", "tbtg1"), kNo}},
    {"P2SH", kAddrP2SH, 1, {V(0x05, 0xc4), V(0x32, 0x3a), V(0x17, 0xc4), V(0x05, 0xc4)}},
    {"P2SH(P2WSH)", kAddrP2SH_P2WSH, 0, {V(0x05, 0xc4), V(0x32, 0x3a), V(0x17, 0xc4), kNo}},
    {"P2WSH", kAddrP2WSH, 0, {T("bc1", "tb1"), T("ltc1", "tltc1"), T("btg1", "tbtg1"), kNo}},
    {"P2PKH(BITPAY)", kAddrP2PKH_BitPay, 1, {kNo, kNo, kNo, V(0x1c, 0x6f)}},
    {"P2SH(BITPAY)", kAddrP2SH_BitPay, 1, {kNo, kNo, kNo, V(0x28, 0xc4)}},
    {"P2PKH(CASH)", kAddrP2PKH_Cash, 1, {kNo, kNo, kNo, T("bitcoincash:", "bchtest:")}},
    {"P2SH(CASH)", kAddrP2SH_Cash, 1, {kNo, kNo, kNo, T("bitcoincash:", "bchtest:")}},
};

void AppendLittleEndian(Bytes& out, uint64_t value, unsigned width) {
  for (unsigned i = 0; i < width; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

}  // namespace

int GetCoinSpec(Json::Value& coinSpec, const std::string& coin) {
  const CoinRow* row = FindCoin(coin);
  if (!ParseJson(row != nullptr ? row->coinSpec : "", coinSpec)) {
    AddErrTrail("GetCoinSpec", 1457, 1000, coin + " spec define is invalid !");
    return 1;
  }
  if (!coinSpec.isObject() || GetJsonStr(coinSpec["bech32hrp"]).empty() || GetJsonStr(coinSpec["bech32hrptest"]).empty() ||
      GetJsonStr(coinSpec["hashtype"]).empty()) {
    AddErrTrail("GetCoinSpec", 1466, 1000, coin + " spec define is invalid !!");
    return 1;
  }
  return 0;
}

const CoinLimits* GetCoinLimits(const std::string& coin) {
  const CoinRow* row = FindCoin(coin);
  return row != nullptr ? &row->limits : nullptr;
}

int GetAddrTypeInfo(const std::string& coin, const std::string& network, const std::string& addrType,
                    unsigned char& hashKind, Bytes& prefix) {
  const CoinRow* coinRow = FindCoin(coin);
  if (coinRow == nullptr) return kAddrUnsupported;
  const std::string type = ToUpper(addrType);
  const bool test = ToUpper(network) == "TEST";
  for (const AddrTypeRow& row : kAddrTypes) {
    if (type != row.name) continue;
    const Prefixes& cell = row.cells[coinRow->column];
    if (!cell.supported) return kAddrUnsupported;
    hashKind = row.hashKind;
    if (cell.mainText == nullptr) {
      prefix.push_back(test ? cell.testVersion : cell.mainVersion);
    } else {
      const std::string_view text = test ? cell.testText : cell.mainText;
      prefix.insert(prefix.end(), text.begin(), text.end());
    }
    return row.code;
  }
  return kAddrUnsupported;
}

int IsHRPStr(const std::string& coin, const std::string& prefix) {
  const CoinRow* row = FindCoin(coin);
  if (row == nullptr || prefix == row->hrp || prefix == row->hrpTest) return 0;
  AddErrTrail("IsHRPStr", row->hrpLine, 1000, "not support bech32 prefix[" + prefix + "] !!");
  return 1;
}

int GetHRPLen(const std::string& coin) {
  const CoinRow* row = FindCoin(coin);
  return row != nullptr ? row->hrpLen : 3;
}

Bytes MakeVarInt(uint64_t n) {
  Bytes out;
  if (n < 0xfd) {
    out.push_back(static_cast<unsigned char>(n));
  } else if (n <= 0xffff) {
    out.push_back(0xfd);
    AppendLittleEndian(out, n, 2);
  } else if (n <= 0xffffffffu) {
    out.push_back(0xfe);
    AppendLittleEndian(out, n, 4);
  } else {
    out.push_back(0xff);
    AppendLittleEndian(out, n, 8);
  }
  return out;
}

Bytes MakeVarBytes(const Bytes& data) {
  Bytes out = MakeVarInt(data.size());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::string ReverseHexBytes(const std::string& hex) {
  Bytes bytes = HexToBytes(hex);
  // The core reverses in place; it needs a buffer even for no bytes.
  unsigned char none = 0;
  BCMSwapBytes(bytes.empty() ? &none : bytes.data(), static_cast<int>(bytes.size()));
  return BytesToHex(bytes);
}

Bytes MakeLEBytes(const std::string& decimal, unsigned width, const std::string& defaultHex) {
  if (decimal.empty()) return HexToBytes(defaultHex);
  const uint64_t value = StrToUInt64(decimal);
  Bytes out;
  AppendLittleEndian(out, value, width == 8 ? 8 : 4);
  return out;
}

bool IsDecimalInRange(std::string_view decimal, unsigned width) {
  std::string_view max;
  if (width == 4) max = "4294967295";
  else if (width == 8) max = "18446744073709551615";
  else return false;
  if (!std::all_of(decimal.begin(), decimal.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  if (decimal.size() != max.size()) return decimal.size() < max.size();
  return decimal <= max;
}

std::string BoolToStr(bool value) { return value ? "TRUE" : "FALSE"; }
