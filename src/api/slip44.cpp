#include "api/slip44.h"

namespace {

// SLIP-44 coin types, indexed by coin code.
constexpr uint32_t kSlip44Types[] = {
    0,    // BTC
    60,   // ETH
    145,  // BCH
    61,   // ETC
    2,    // LTC
    144,  // XRP
    194,  // EOS
    236,  // BSV
    156,  // BTG
};
constexpr uint32_t kCoinCount = sizeof kSlip44Types / sizeof kSlip44Types[0];

}  // namespace

uint32_t Slip44Index(uint32_t code) {
  const uint32_t flag = code & kCoinTestFlag;
  if (flag != 0 && flag != kCoinTestFlag) return kSlip44Unknown;
  const uint32_t coin = code & ~kCoinTestFlag;
  if (coin >= kCoinCount) return kSlip44Unknown;
  return flag | kSlip44Types[coin];
}
