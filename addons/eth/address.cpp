#include "eth/address.h"

#include <algorithm>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_hd.h"

namespace {

constexpr size_t kCompressedSize = 33;

int Fail(uint32_t line, const char* message) { return Refuse("GenerateETHAddress", line, message); }

}  // namespace

int GenerateETHAddress(const Bytes& pub, std::string& address) {
  if (pub.size() != kCompressedSize || (pub[0] != 0x02 && pub[0] != 0x03))
    return Fail(195, "pub is not compress type !!");
  unsigned char y[64] = {};
  int yLen = sizeof y;
  if (BCMGetPubYFromCompPub(0, pub.data(), static_cast<int>(kCompressedSize), y, &yLen) != 0)
    return Fail(202, "GetPubYFromCompPub is Error !!");
  unsigned char xy[64];
  std::copy(pub.begin() + 1, pub.end(), xy);
  std::copy(y, y + 32, xy + 32);
  unsigned char digest[64] = {};
  int digestLen = sizeof digest;
  if (BCMGenHashMessage(kHashKeccak256, xy, sizeof xy, digest, &digestLen) != 0 || digestLen != 32)
    return Fail(211, "BCMGenHashMessage is Error !!");
  address = BytesToHex(digest + 32 - kEthAddressSize, kEthAddressSize);
  return 0;
}
