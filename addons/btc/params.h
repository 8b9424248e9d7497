#ifndef QUENMOD_BTC_PARAMS_H
#define QUENMOD_BTC_PARAMS_H

// What tells the five coins apart (btc, ltc, btg, bch, bsv: lower case,
// compared exactly), and the byte helpers of the transaction code.

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/bytes.h"

// The coin parameter object {"coin", "hrplen", "bech32hrp", "bech32hrptest",
// "hashtype"}. 0, or 1 with GetCoinSpec:1457 (its fixed message)
// recorded for an unknown coin.
int GetCoinSpec(Json::Value& coinSpec, const std::string& coin);

// What the coin's nodes take: amounts and their sums up to the money supply
// (in the smallest unit), and transactions up to the relay limit, a weight
// (4 per byte outside the witnesses, 1 per witness byte) or a size in bytes.
struct CoinLimits {
  uint64_t maxMoney;
  uint64_t relayLimit;
  bool byWeight;
};

// The limits of a coin; null for an unknown coin.
const CoinLimits* GetCoinLimits(const std::string& coin);

// Address type codes.
enum AddrTypeCode : int {
  kAddrUnsupported = 10,
  kAddrP2PKH = 11,
  kAddrP2SH_P2WPKH = 12,
  kAddrP2WPKH = 13,
  kAddrP2SH = 14,
  kAddrP2SH_P2WSH = 15,
  kAddrP2WSH = 16,
  kAddrP2PKH_BitPay = 17,
  kAddrP2SH_BitPay = 18,
  kAddrP2PKH_Cash = 19,
  kAddrP2SH_Cash = 20,
};

// The code of a type name (any case) for a coin and network ("test" in any
// case selects the test network). For codes 11-20 it also sets the hash kind
// (1 HASH160, 0 SHA-256) and appends the prefix to `prefix`: one version byte,
// or a bech32 prefix with its "1", or a cash prefix with its ":". Code 10 (not
// supported) touches neither. Records nothing.
int GetAddrTypeInfo(const std::string& coin, const std::string& network, const std::string& addrType,
                    unsigned char& hashKind, Bytes& prefix);

// 0 when the bech32 or cash prefix belongs to the coin; 1 with IsHRPStr:<line>
// recorded otherwise. Any other coin text passes unchecked.
int IsHRPStr(const std::string& coin, const std::string& prefix);

// Length of the coin's longest prefix (3 for an unknown coin).
int GetHRPLen(const std::string& coin);

// The CompactSize count.
Bytes MakeVarInt(uint64_t n);
// MakeVarInt(length) followed by the bytes.
Bytes MakeVarBytes(const Bytes& data);
// The bytes of a "0x" hex text in reverse order, as "0x" hex.
std::string ReverseHexBytes(const std::string& hex);
// A 4- or 8-byte little-endian integer from decimal text (4 bytes: the value
// modulo 2^32); the empty text gives HexToBytes(defaultHex). Throws
// std::out_of_range above 2^64-1.
Bytes MakeLEBytes(const std::string& decimal, unsigned width, const std::string& defaultHex);
// True when the text is unsigned decimal digits (the empty text included)
// that fit in `width` (4 or 8) bytes; leading zeros count towards the length.
bool IsDecimalInRange(std::string_view decimal, unsigned width);
// "TRUE" or "FALSE".
std::string BoolToStr(bool value);

#endif
