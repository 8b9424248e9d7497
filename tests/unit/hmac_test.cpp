// HMAC over every digest id: RFC 4231, Wycheproof, OpenSSL for SHA-256/512,
// and an independent Python model for the 40-byte RIPEMD-160 block and the
// Keccak blocks (2 x digest length), which differ from RFC 2104 on purpose.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstring>
#include <sstream>
#include <string>

#include "trail/trail.h"
#include "crypto/hash/hmac.h"
#include "cpu_paths_testing.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Mac(HashId id, const Bytes& key, const Bytes& data) {
  unsigned char out[64];
  int32_t len = sizeof out;
  static const unsigned char kEmpty = 0;
  EXPECT_EQ(DoHMAC(id, key.empty() ? &kEmpty : key.data(), static_cast<int32_t>(key.size()),
                   data.empty() ? &kEmpty : data.data(), static_cast<uint32_t>(data.size()), out, &len),
            0);
  EXPECT_EQ(len, static_cast<int32_t>(GetDigestLen(id)));
  return tvt::Hex(out, static_cast<size_t>(len));
}

std::string OpenSslMac(const EVP_MD* md, const Bytes& key, const Bytes& data) {
  unsigned char out[64];
  unsigned int len = 0;
  static const unsigned char kEmpty = 0;
  HMAC(md, key.empty() ? &kEmpty : key.data(), static_cast<int>(key.size()), data.empty() ? &kEmpty : data.data(),
       data.size(), out, &len);
  return tvt::Hex(out, len);
}

TEST(Hmac, Rfc4231) {
  cput::OnEveryPath([&] {
    const Bytes longKey(131, 0xaa);
    Bytes key4;
    for (int i = 1; i <= 25; ++i) key4.push_back(static_cast<unsigned char>(i));
    const struct {
      Bytes key, data;
      std::string sha256, sha512;
    } cases[] = {
        {Bytes(20, 0x0b), tvt::FromText("Hi There"),
         "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
         "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cdedaa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
        {tvt::FromText("Jefe"), tvt::FromText("what do ya want for nothing?"),
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
         "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea2505549758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
        {Bytes(20, 0xaa), Bytes(50, 0xdd), "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe",
         "fa73b0089d56a284efb0f0756c890be9b1b5dbdd8ee81a3655f83e33b2279d39bf3e848279a722c806b485a47e67c807b946a337bee8942674278859e13292fb"},
        {key4, Bytes(50, 0xcd), "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b",
         "b0ba465637458c6990e5a8c5f61d4af7e576d97ff94b872de76f8050361ee3dba91ca5c11aa25eb4d679275cc5788063a5f19741120c4f2de2adebeb10a298dd"},
        {longKey, tvt::FromText("Test Using Larger Than Block-Size Key - Hash Key First"),
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
         "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f3526b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
        {longKey,
         tvt::FromText("This is a test using a larger than block-size key and a larger than block-size data. The key "
                       "needs to be hashed before being used by the HMAC algorithm."),
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2",
         "e37b6a775dc87dbaa4dfa9f96e5e3ffddebd71f8867289865df5a32d20cdc944b6022cac3c4982b10d5eeb55c3e4de15134676fb6de0446065c97440fa8c6a58"},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(Mac(1, c.key, c.data), c.sha256);
      EXPECT_EQ(Mac(2, c.key, c.data), c.sha512);
    }
  });
}

TEST(Hmac, Wycheproof) {
  for (const auto& [file, id] : {std::pair{"hmac_sha256_test.json", 1u}, std::pair{"hmac_sha512_test.json", 2u}}) {
    const Json::Value doc = tvt::ReadJson(tvt::VectorPath(std::string("wycheproof/") + file));
    cput::OnEveryPath([&] {
      int checked = 0;
      for (const auto& g : doc["testGroups"]) {
        const size_t tagBytes = g["tagSize"].asUInt() / 8;
        for (const auto& t : g["tests"]) {
          const std::string mac = Mac(id, tvt::Unhex(t["key"].asString()), tvt::Unhex(t["msg"].asString()));
          const bool match = mac.substr(0, 2 * tagBytes) == t["tag"].asString();
          EXPECT_EQ(match, t["result"].asString() == "valid") << file << " tcId " << t["tcId"].asInt();
          ++checked;
        }
      }
      EXPECT_GT(checked, 100);
    });
  }
}

TEST(Hmac, MatchesOpenSslOnRandomInputs) {
  cput::OnEveryPath([&] {
    tvt::TestRng rng(41);
    for (int i = 0; i < 400; ++i) {
      const Bytes key = rng.RandBytes(rng.Below(300));
      const Bytes data = rng.RandBytes(rng.Below(400));
      ASSERT_EQ(Mac(1, key, data), OpenSslMac(EVP_sha256(), key, data)) << key.size() << " " << data.size();
      ASSERT_EQ(Mac(2, key, data), OpenSslMac(EVP_sha512(), key, data)) << key.size() << " " << data.size();
    }
    // Long messages: runs of whole blocks, odd and even, after the key block.
    for (size_t n : {4095, 4096, 4097, 4224, 8191, 10000}) {
      const Bytes key = rng.RandBytes(rng.Below(200));
      const Bytes data = rng.RandBytes(n);
      ASSERT_EQ(Mac(2, key, data), OpenSslMac(EVP_sha512(), key, data)) << key.size() << " " << n;
    }
  });
}

// RIPEMD-160 and the Keccak ids use a key block of twice the digest length.
// The Python model builds the same construction on pycryptodome's hashes.
TEST(Hmac, RipemdAndKeccakUseDoubleDigestBlock) {
  tvt::TestRng rng(43);
  const HashId ids[] = {3, 10, 11, 12, 13};
  std::string input;
  std::vector<std::pair<Bytes, Bytes>> cases;
  for (int i = 0; i < 120; ++i) {
    // Keys around every block boundary (40, 56, 64, 96, 128) and beyond.
    size_t klen = i < 60 ? static_cast<size_t>(i) + 36 : rng.Below(300);
    if (i == 60) klen = 65;
    cases.emplace_back(rng.RandBytes(klen), rng.RandBytes(rng.Below(300)));
    input += (cases.back().first.empty() ? "-" : tvt::Hex(cases.back().first)) + " " +
             (cases.back().second.empty() ? "-" : tvt::Hex(cases.back().second)) + "\n";
  }
  const std::string script = R"(
import sys
from Cryptodome.Hash import RIPEMD160, keccak
def H(name, data):
    if name == 3:
        return RIPEMD160.new(data).digest()
    return keccak.new(digest_bits={10: 224, 11: 256, 12: 384, 13: 512}[name], data=data).digest()
def mac(name, key, msg):
    B = 2 * len(H(name, b""))
    if len(key) > B:
        key = H(name, key)
    key = key.ljust(B, b"\0")
    inner = H(name, bytes(k ^ 0x36 for k in key) + msg)
    return H(name, bytes(k ^ 0x5c for k in key) + inner).hex()
for line in sys.stdin:
    k, m = line.split()
    k = b"" if k == "-" else bytes.fromhex(k)
    m = b"" if m == "-" else bytes.fromhex(m)
    print(" ".join(mac(i, k, m) for i in (3, 10, 11, 12, 13)))
)";
  std::istringstream out(tvt::RunPython(script, input));
  for (const auto& [key, data] : cases) {
    for (HashId id : ids) {
      std::string want;
      out >> want;
      ASSERT_EQ(Mac(id, key, data), want) << id << " key " << key.size() << " data " << data.size();
    }
    // The 40-byte block makes RIPEMD-160 differ from RFC 2286 for every key.
    EXPECT_NE(Mac(3, key, data), OpenSslMac(EVP_ripemd160(), key, data));
  }
}

TEST(Hmac, StreamingContext) {
  const Bytes key = tvt::FromText("key"), a = tvt::FromText("The quick brown fox "),
              b = tvt::FromText("jumps over the lazy dog");
  NXVT_HMAC_CTX ctx;
  ASSERT_EQ(NXVT_HMAC_Init(&ctx, key.data(), 3, &NXVT_SHA256_DESC), 0);
  NXVT_HMAC_Update(&ctx, a.data(), a.size());
  NXVT_HMAC_Update(&ctx, b.data(), b.size());
  unsigned char o1[32], o2[32];
  int32_t l1 = 32, l2 = 32;
  NXVT_HMAC_Final(o1, &l1, &ctx);
  NXVT_HMAC_Final(o2, &l2, &ctx);  // the context is left as it was
  EXPECT_EQ(tvt::Hex(o1, l1), "f7bc83f430538424b13298e6aa6fb143ef4d59a14946175997479dbc2d1a3cd8");
  EXPECT_EQ(tvt::Hex(o2, l2), tvt::Hex(o1, l1));
  int32_t shortLen = 31;
  NXVT_HMAC_Final(o1, &shortLen, &ctx);
  EXPECT_EQ(shortLen, 0);

  NXVT_DIGEST_DESC foreign = NXVT_SHA256_DESC;
  EXPECT_EQ(NXVT_HMAC_Init(&ctx, key.data(), 3, &foreign), -1);
  EXPECT_EQ(NXVT_HMAC_Init(&ctx, nullptr, 0, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_HMAC_Init(nullptr, key.data(), 3, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_HMAC_Init(&ctx, key.data(), -1, &NXVT_SHA256_DESC), -1);
}

TEST(DoHMAC, CodesAndTrail) {
  const unsigned char key[4] = {1, 2, 3, 4}, data[3] = {5, 6, 7};
  unsigned char out[64];
  int32_t len = 0;
  EXPECT_EQ(DoHMAC(12, key, 4, data, 3, nullptr, &len), 0);
  EXPECT_EQ(len, 48);
  const struct {
    HashId id;
    const unsigned char* key;
    int32_t keyLen;
    const unsigned char* data;
    uint32_t dataLen;
    int32_t cap;
    bool nullLen;
    int code;
  } cases[] = {
      {4, key, 4, data, 3, 64, false, 106},
      {0, key, 4, data, 3, 64, false, 106},
      {1, nullptr, 0, data, 3, 64, false, 106},
      {1, key, 4, nullptr, 0, 64, false, 106},
      {1, key, 4, data, 3, 64, true, 106},
      // A negative key length or a data length beyond 2^31-1 is refused
      // before any byte is read (the buffers here are a few bytes long).
      {1, key, -1, data, 3, 64, false, 106},
      {11, key, INT32_MIN, data, 3, 64, false, 106},
      {1, key, 4, data, 0x80000000u, 64, false, 106},
      {11, key, 4, data, 0xFFFFFFFFu, 64, false, 106},
      {1, key, 4, data, 3, 31, false, 117},
      {13, key, 4, data, 3, 63, false, 117},
      {2, key, 4, data, 3, -1, false, 117},
  };
  for (const auto& c : cases) {
    SetErrFunc("t");
    len = c.cap;
    EXPECT_EQ(DoHMAC(c.id, c.key, c.keyLen, c.data, c.dataLen, out, c.nullLen ? nullptr : &len), c.code)
        << c.id << " " << c.keyLen << " " << c.dataLen;
    EXPECT_EQ(ErrTrailLocations(), "DoHMAC:" + std::to_string(c.code));
    if (!c.nullLen) {
      EXPECT_EQ(len, c.cap);
    }
  }
  // The exact capacity and a larger one both succeed.
  for (int32_t cap : {32, 64}) {
    len = cap;
    EXPECT_EQ(DoHMAC(11, key, 4, data, 3, out, &len), 0);
    EXPECT_EQ(len, 32);
  }
}

}  // namespace
