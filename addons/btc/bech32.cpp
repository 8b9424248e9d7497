#include "btc/bech32.h"

#include <cstdint>

namespace {

uint32_t Bech32Step(uint32_t chk, unsigned char value) {
  static const uint32_t kGen[5] = {0x3B6A57B2, 0x26508E6D, 0x1EA119FA, 0x3D4233DD, 0x2A1462B3};
  const uint32_t top = chk >> 25;
  chk = ((chk & 0x1FFFFFF) << 5) ^ value;
  for (int i = 0; i < 5; ++i)
    if ((top >> i) & 1) chk ^= kGen[i];
  return chk;
}

uint64_t CashStep(uint64_t chk, unsigned char value) {
  static const uint64_t kGen[5] = {0x98F2BC8E61, 0x79B76D99E2, 0xF33E5FB3C4, 0xAE2EABE2A8, 0x1E4F43E470};
  const uint64_t top = chk >> 35;
  chk = ((chk & 0x07FFFFFFFF) << 5) ^ value;
  for (int i = 0; i < 5; ++i)
    if ((top >> i) & 1) chk ^= kGen[i];
  return chk;
}

// The prefix without its last character (the separator).
std::string Human(const std::string& prefix) {
  return prefix.empty() ? prefix : prefix.substr(0, prefix.size() - 1);
}

}  // namespace

int GenerateBTCBech32CheckSum(const std::string& hrp, const Bytes& values, Bytes& checksum) {
  const std::string p = Human(hrp);
  uint32_t chk = 1;
  for (unsigned char c : p) chk = Bech32Step(chk, c >> 5);
  chk = Bech32Step(chk, 0);
  for (unsigned char c : p) chk = Bech32Step(chk, c & 31);
  for (unsigned char v : values) chk = Bech32Step(chk, v);
  for (int i = 0; i < 6; ++i) chk = Bech32Step(chk, 0);
  chk ^= 1;
  for (int i = 0; i < 6; ++i) checksum.push_back(static_cast<unsigned char>((chk >> (5 * (5 - i))) & 31));
  return 0;
}

int GenerateCashAddrCheckSum(const std::string& prefix, const Bytes& values, Bytes& checksum) {
  const std::string p = Human(prefix);
  uint64_t chk = 1;
  for (unsigned char c : p) chk = CashStep(chk, c & 31);
  chk = CashStep(chk, 0);
  for (unsigned char v : values) chk = CashStep(chk, v);
  for (int i = 0; i < 8; ++i) chk = CashStep(chk, 0);
  chk ^= 1;
  for (int i = 0; i < 8; ++i) checksum.push_back(static_cast<unsigned char>((chk >> (5 * (7 - i))) & 31));
  return 0;
}
