#include "atom/bech32.h"

#include <cstdint>

#include "common/error_chain.h"
#include "tolvaris/bcm_codec.h"

const AtomRole kAtomRoles[3] = {
    {"account", "cosmos1", "cosmospub1"},
    {"valoper", "cosmosvaloper1", "cosmosvaloperpub1"},
    {"valcons", "cosmosvalcons1", "cosmosvalconspub1"},
};

const AtomRole* FindAtomRole(std::string_view word) {
  for (const AtomRole& r : kAtomRoles) {
    if (word == r.word) return &r;
  }
  return nullptr;
}

bool IsAtomAddressPrefix(std::string_view prefix) {
  for (const AtomRole& r : kAtomRoles) {
    if (prefix == r.addressPrefix) return true;
  }
  return false;
}

bool IsAtomPubPrefix(std::string_view prefix) {
  for (const AtomRole& r : kAtomRoles) {
    if (prefix == r.pubPrefix) return true;
  }
  return false;
}

namespace {

constexpr char kUnknown[] = "ToDo Add Detail Error Message!!";

bool IsAtomPrefix(std::string_view prefix) { return IsAtomAddressPrefix(prefix) || IsAtomPubPrefix(prefix); }

uint32_t Polymod(const std::vector<unsigned char>& values) {
  static const uint32_t kGenerator[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
  uint32_t chk = 1;
  for (unsigned char v : values) {
    const uint32_t top = chk >> 25;
    chk = ((chk & 0x1ffffff) << 5) ^ v;
    for (int i = 0; i < 5; ++i) {
      if ((top >> i) & 1) chk ^= kGenerator[i];
    }
  }
  return chk;
}

}  // namespace

int GenerateATOMBech32CheckSum(const std::string& prefix, const std::vector<unsigned char>& values,
                               std::vector<unsigned char>& out) {
  if (!IsAtomPrefix(prefix)) {
    AddErrTrail("GenerateATOMBech32CheckSum", 70, 1000, kUnknown);
    return 1;
  }
  const std::string_view hrp(prefix.data(), prefix.size() - 1);
  std::vector<unsigned char> all;
  all.reserve(hrp.size() * 2 + 1 + values.size() + 6);
  for (char c : hrp) all.push_back(static_cast<unsigned char>(c) >> 5);
  all.push_back(0);
  for (char c : hrp) all.push_back(static_cast<unsigned char>(c) & 31);
  all.insert(all.end(), values.begin(), values.end());
  all.insert(all.end(), 6, 0);
  const uint32_t chk = Polymod(all) ^ 1;
  for (int i = 0; i < 6; ++i) out.push_back(static_cast<unsigned char>((chk >> (5 * (5 - i))) & 31));
  return 0;
}

int GenerateATOMBech32Encode(const std::string& prefix, const std::vector<unsigned char>& payload, std::string& out) {
  if (!IsAtomPrefix(prefix)) {
    AddErrTrail("GenerateATOMBech32Encode", 115, 1000, kUnknown);
    return 1;
  }
  // 8-bit bytes to 5-bit values, the last group padded with zero bits.
  std::vector<unsigned char> values((payload.size() * 8 + 1) / 5 + 1);
  uint32_t count = static_cast<uint32_t>(values.size());
  static const unsigned char kNothing = 0;
  if (BCMConvBitToBit(payload.empty() ? &kNothing : payload.data(), static_cast<uint32_t>(payload.size()), 8, 5,
                      values.data(), &count) != 0) {
    AddErrTrail("GenerateATOMBech32Encode", 123, 1000, kUnknown);
    return 1;
  }
  values.resize(count);
  if (GenerateATOMBech32CheckSum(prefix, values, values) != 0) {
    AddErrTrail("GenerateATOMBech32Encode", 131, 1000, kUnknown);
    return 1;
  }
  std::string chars(values.size() * 4 / 3 + 4, '\0');
  uint32_t charCount = static_cast<uint32_t>(chars.size());
  if (BCMGenBase32Encode(values.data(), static_cast<uint32_t>(values.size()), chars.data(), &charCount) != 0) {
    AddErrTrail("GenerateATOMBech32Encode", 140, 1000, kUnknown);
    return 1;
  }
  chars.resize(charCount);
  out = prefix + chars;
  return 0;
}
