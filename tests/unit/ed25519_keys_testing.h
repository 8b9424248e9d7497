#ifndef TESTS_UNIT_ED25519_KEYS_TESTING_H
#define TESTS_UNIT_ED25519_KEYS_TESTING_H

// Ed25519 public keys for the add-ons' key checks: a real key, and 32-byte
// strings that are no key anyone can sign for (libsodium builds the sums).
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

#include "tv_test.h"

namespace edkeys {

// The public key of RFC 8032's first test (secret key 9d61b19d...).
inline const std::string kKey = "0xd75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a";

struct BadKey {
  std::string why;
  std::string hex;  // "0x" and 64 hex digits
};

// One of each way 32 bytes fail to be a key of the prime-order subgroup.
inline std::vector<BadKey> BadKeys() {
  EXPECT_GE(sodium_init(), 0);
  const std::string ones(60, 'f');
  // The key plus the point (sqrt(-1), 0) of order 4: a point of the curve
  // whose order is 4L.
  tvt::Bytes mixed(32);
  const tvt::Bytes key = tvt::Unhex(kKey.substr(2));
  const tvt::Bytes order4(32, 0);
  EXPECT_EQ(crypto_core_ed25519_add(mixed.data(), key.data(), order4.data()), 0);
  return {
      {"y = 2, x^2 has no root", "0x02" + std::string(62, '0')},
      {"no root either", "0x6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
      {"y = p", "0xed" + ones + "7f"},
      {"y = 2^255 - 1", "0xff" + ones + "7f"},
      {"x = 0 with the sign bit set", "0x01" + std::string(60, '0') + "80"},
      {"the identity", "0x01" + std::string(62, '0')},
      {"order 2", "0xec" + ones + "7f"},
      {"order 8", "0xc7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a"},
      {"a key plus a point of order 4", "0x" + tvt::Hex(mixed)},
  };
}

}  // namespace edkeys

#endif
