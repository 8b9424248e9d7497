// The prime-order check on Ed25519 public keys: its verdict equals
// libsodium's crypto_core_ed25519_is_valid_point on random strings, on the
// eight points of small order, on keys with a small-order component and on
// the edge encodings of y and of the sign bit.
#include "crypto/ed25519/ed25519_point.h"

#include <gtest/gtest.h>
#include <sodium.h>

#include <iterator>
#include <string>
#include <vector>

#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

// The eight points of small order: the identity, (0, -1), (+-sqrt(-1), 0)
// and the four points of order 8.
const char* const kSmallOrder[] = {
    "0100000000000000000000000000000000000000000000000000000000000000",  // order 1
    "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",  // order 2
    "0000000000000000000000000000000000000000000000000000000000000000",  // order 4
    "0000000000000000000000000000000000000000000000000000000000000080",
    "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05",  // order 8
    "26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc85",
    "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a",
    "c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa",
};

bool Ours(const Bytes& key) { return NXVT_Ed25519_IsPrimeOrderPoint(key.data()) == 1; }
bool Sodium(const Bytes& key) { return crypto_core_ed25519_is_valid_point(key.data()) == 1; }

Bytes RandomKey() {
  Bytes key(32);
  randombytes_buf(key.data(), key.size());
  return key;
}

// The public key of a random private key.
Bytes DerivedKey() {
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  return Bytes(pk, pk + sizeof pk);
}

class Ed25519PointCheck : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(sodium_init(), 0); }
};

TEST_F(Ed25519PointCheck, SmallOrderPointsDecodeAndAreRefused) {
  for (const char* hex : kSmallOrder) {
    SCOPED_TRACE(hex);
    const Bytes key = Unhex(hex);
    NXVT_ED_POINT p;
    ASSERT_EQ(NXVT_Ed25519_PointDecode(&p, key.data()), 0) << "a point of the curve";
    // [8]P is the identity.
    for (int i = 0; i < 3; ++i) NXVT_Ed25519_PointDbl(&p, &p);
    unsigned char enc[32];
    NXVT_Ed25519_PointEncode(enc, &p);
    EXPECT_EQ(Hex(enc, 32), kSmallOrder[0]);
    EXPECT_FALSE(Ours(key));
    EXPECT_FALSE(Sodium(key));
  }
}

TEST_F(Ed25519PointCheck, DerivedKeysAndMixedOrderKeys) {
  for (int i = 0; i < 64; ++i) {
    const Bytes key = DerivedKey();
    SCOPED_TRACE(Hex(key));
    ASSERT_TRUE(Ours(key));
    ASSERT_TRUE(Sodium(key));
    // The same key plus each point of small order but the identity: a point
    // of the curve whose order is 2L, 4L or 8L.
    for (size_t t = 1; t < std::size(kSmallOrder); ++t) {
      Bytes mixed(32);
      ASSERT_EQ(crypto_core_ed25519_add(mixed.data(), key.data(), Unhex(kSmallOrder[t]).data()), 0);
      NXVT_ED_POINT p;
      ASSERT_EQ(NXVT_Ed25519_PointDecode(&p, mixed.data()), 0);
      EXPECT_FALSE(Ours(mixed)) << Hex(mixed);
      EXPECT_FALSE(Sodium(mixed)) << Hex(mixed);
    }
  }
}

TEST_F(Ed25519PointCheck, RandomStringsGetLibsodiumsVerdict) {
  int accepted = 0, decoded = 0;
  for (int i = 0; i < 3000; ++i) {
    const Bytes key = RandomKey();
    NXVT_ED_POINT p;
    if (NXVT_Ed25519_PointDecode(&p, key.data()) == 0) ++decoded;
    const bool ours = Ours(key);
    ASSERT_EQ(ours, Sodium(key)) << Hex(key);
    if (ours) ++accepted;
  }
  // About half the strings decode and an eighth of those lie in the subgroup:
  // both verdicts were seen many times.
  EXPECT_GT(decoded, 1200);
  EXPECT_GT(accepted, 100);
  EXPECT_LT(accepted, decoded);
}

TEST_F(Ed25519PointCheck, EdgeEncodings) {
  const std::string ones(62, 'f');
  struct Case {
    const char* why;
    std::string hex;
  };
  const Case cases[] = {
      {"y = p - 1 (order 2)", "ec" + ones.substr(0, 60) + "7f"},
      {"y = p - 1, sign bit set (x = 0)", "ec" + ones.substr(0, 60) + "ff"},
      {"y = p", "ed" + ones.substr(0, 60) + "7f"},
      {"y = p, sign bit set", "ed" + ones.substr(0, 60) + "ff"},
      {"y = p + 1", "ee" + ones.substr(0, 60) + "7f"},
      {"y = p + 1, sign bit set", "ee" + ones.substr(0, 60) + "ff"},
      {"y = 2^255 - 1", "ff" + ones.substr(0, 60) + "7f"},
      {"all bits set", "ff" + ones.substr(0, 60) + "ff"},
      {"y = 1, x = 0 (identity)", "01" + std::string(62, '0')},
      {"y = 1, x = 0 with the sign bit", "01" + std::string(60, '0') + "80"},
      {"y = 2: x^2 has no root", "02" + std::string(62, '0')},
      {"no square root", "6e340b9cffb37a989ca544e6bb780a2c78901d3fb33738768511a30617afa01d"},
      {"the base point", "5866666666666666666666666666666666666666666666666666666666666666"},
      {"the base point, other sign", "58666666666666666666666666666666666666666666666666666666666666e6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const Bytes key = Unhex(c.hex);
    ASSERT_EQ(key.size(), 32u);
    EXPECT_EQ(Ours(key), Sodium(key)) << c.hex;
  }
  EXPECT_TRUE(Ours(Unhex(cases[12].hex)));
  EXPECT_TRUE(Ours(Unhex(cases[13].hex)));  // -B is in the subgroup too
  for (size_t i = 0; i < 12; ++i) EXPECT_FALSE(Ours(Unhex(cases[i].hex))) << cases[i].why;
}

}  // namespace
