// Ethereum addresses of compressed keys: the generator point's published
// address and the refusals.
#include <gtest/gtest.h>

#include <string>

#include "common/error_chain.h"
#include "eth/address.h"
#include "tv_test.h"

namespace {

const std::string kGenerator = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";

std::string Address(const std::string& pubHex) {
  ResetErrTrail();
  std::string address = "untouched";
  if (GenerateETHAddress(tvt::Unhex(pubHex), address) != 0) {
    EXPECT_EQ(address, "untouched");
    return "!" + GetErrTrail();
  }
  return address;
}

TEST(AddonEthAddress, PublishedKeysAndRefusals) {
  const std::string notCompressed = "!GenerateETHAddress:195[pub is not compress type !!]";
  struct Case {
    const char* what;
    std::string pub, want;
  } cases[] = {
      {"generator point", kGenerator, "0x7e5f4552091a69125d5dfcb7b8c2659029395bdf"},
      // 2G, whose Y is odd.
      {"twice the generator", "02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5",
       "0x2b5ad5c4795c026514f8317c7a215e218dccd6cf"},
      {"uncompressed key", "04" + kGenerator.substr(2) +
                               "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8",
       notCompressed},
      {"33 bytes starting 04", "04" + kGenerator.substr(2), notCompressed},
      {"32 bytes", kGenerator.substr(2), notCompressed},
      {"no bytes", "", notCompressed},
      // x = 5 is no point's x coordinate on secp256k1.
      {"not on the curve", "02" + std::string(62, '0') + "05",
       "!GenerateETHAddress:202[GetPubYFromCompPub is Error !!]"},
  };
  for (const Case& c : cases) EXPECT_EQ(Address(c.pub), c.want) << c.what;
}

}  // namespace
