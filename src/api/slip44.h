#ifndef TOLVARIS_API_SLIP44_H
#define TOLVARIS_API_SLIP44_H

#include <cstdint>

// Coin codes of the unprefixed exports.
enum CoinCode : uint32_t {
  kCoinBTC = 0,
  kCoinETH = 1,
  kCoinBCH = 2,
  kCoinETC = 3,
  kCoinLTC = 4,
  kCoinXRP = 5,
  kCoinEOS = 6,
  kCoinBSV = 7,
  kCoinBTG = 8,
};

// Added to a coin code for the test network.
inline constexpr uint32_t kCoinTestFlag = 0x0F000000u;
inline constexpr uint32_t kSlip44Unknown = 0xFFFFFFFFu;

// The SLIP-44 coin type of `code`, with the code's test flag kept; values
// other than the nine codes, with or without the flag, give kSlip44Unknown.
uint32_t Slip44Index(uint32_t code);

#endif
