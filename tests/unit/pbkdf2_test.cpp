// PBKDF2-HMAC over SHA-256, SHA-512 and RIPEMD-160: BIP39 seeds, RFC 7914
// section 11, Wycheproof, OpenSSL on random inputs and DoPBKDF2's codes.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <sstream>
#include <string>

#include "trail/trail.h"
#include "crypto/kdf/pbkdf2.h"
#include "cpu_paths_testing.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Derive(HashId id, const std::string& pw, const Bytes& salt, uint32_t c, uint32_t dkLen) {
  Bytes out(dkLen + 1);
  int32_t len = static_cast<int32_t>(dkLen);
  static const unsigned char kEmpty = 0;
  EXPECT_EQ(DoPBKDF2(id, pw.c_str(), salt.empty() ? &kEmpty : salt.data(), static_cast<uint32_t>(salt.size()), c,
                     dkLen, out.data(), &len),
            0);
  EXPECT_EQ(len, static_cast<int32_t>(dkLen));
  return tvt::Hex(out.data(), dkLen);
}

TEST(Pbkdf2, Bip39Seeds) {
  cput::OnEveryPath([&] {
    const Json::Value doc = tvt::ReadJson(tvt::VectorPath("bip39-vectors.json"));
    ASSERT_EQ(doc["english"].size(), 24u);
    for (const auto& v : doc["english"]) {
      unsigned char seed[64];
      const std::string salt = "mnemonicTREZOR";
      ASSERT_EQ(NXVT_PBKDF2_HMAC(seed, 64, v[1].asCString(), reinterpret_cast<const unsigned char*>(salt.data()),
                                 static_cast<uint32_t>(salt.size()), 2048, &NXVT_SHA512_DESC),
                0);
      EXPECT_EQ(tvt::Hex(seed, 64), v[2].asString()) << v[1].asString();
    }
  });
}

TEST(Pbkdf2, Rfc7914Section11) {
  EXPECT_EQ(Derive(1, "passwd", tvt::FromText("salt"), 1, 64),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
  EXPECT_EQ(Derive(1, "Password", tvt::FromText("NaCl"), 80000, 64),
            "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
  // A derived length that is not a multiple of 32 is cut from the last block.
  EXPECT_EQ(Derive(1, "passwd", tvt::FromText("salt"), 1, 37), Derive(1, "passwd", tvt::FromText("salt"), 1, 64).substr(0, 74));
}

TEST(Pbkdf2, Wycheproof) {
  cput::OnEveryPath([&] {
    for (const auto& [file, id] : {std::pair{"pbkdf2_hmacsha256_test.json", 1u}, std::pair{"pbkdf2_hmacsha512_test.json", 2u}}) {
      const Json::Value doc = tvt::ReadJson(tvt::VectorPath(std::string("wycheproof/") + file));
      int checked = 0;
      for (const auto& g : doc["testGroups"]) {
        for (const auto& t : g["tests"]) {
          const Bytes pw = tvt::Unhex(t["password"].asString());
          // Passwords are NUL-terminated texts here: one holding a 0 byte
          // cannot be passed whole.
          if (!pw.empty() && memchr(pw.data(), 0, pw.size()) != nullptr) continue;
          const std::string dk = Derive(id, std::string(pw.begin(), pw.end()), tvt::Unhex(t["salt"].asString()),
                                        t["iterationCount"].asUInt(), t["dkLen"].asUInt());
          EXPECT_EQ(dk == t["dk"].asString(), t["result"].asString() == "valid") << file << " " << t["tcId"].asInt();
          ++checked;
        }
      }
      EXPECT_GT(checked, 10);
    }
  });
}

TEST(Pbkdf2, MatchesOpenSslOnRandomInputs) {
  cput::OnEveryPath([&] {
    tvt::TestRng rng(51);
    for (int i = 0; i < 120; ++i) {
      std::string pw;
      for (uint32_t n = rng.Below(150); n > 0; --n) pw.push_back(static_cast<char>(1 + rng.Below(255)));
      const Bytes salt = rng.RandBytes(rng.Below(150));
      const uint32_t c = 1 + rng.Below(20);
      const uint32_t dkLen = 1 + rng.Below(200);
      for (auto [id, md] : {std::pair{1u, EVP_sha256()}, std::pair{2u, EVP_sha512()}}) {
        Bytes want(dkLen);
        ASSERT_EQ(PKCS5_PBKDF2_HMAC(pw.data(), static_cast<int>(pw.size()), salt.data(), static_cast<int>(salt.size()),
                                    static_cast<int>(c), md, static_cast<int>(dkLen), want.data()),
                  1);
        ASSERT_EQ(Derive(id, pw, salt, c, dkLen), tvt::Hex(want)) << id << " c " << c << " dk " << dkLen;
      }
    }
  });
}

// RIPEMD-160 runs over the 40-byte-block HMAC; the model is Python's own
// PBKDF2 loop over that HMAC built on pycryptodome's RIPEMD-160.
TEST(Pbkdf2, RipemdOverItsHmac) {
  tvt::TestRng rng(53);
  std::string input;
  struct Case {
    std::string pw;
    Bytes salt;
    uint32_t c, dkLen;
  };
  std::vector<Case> cases;
  for (int i = 0; i < 30; ++i) {
    Case k{"", rng.RandBytes(1 + rng.Below(60)), 1 + rng.Below(5), 1 + rng.Below(70)};
    for (uint32_t n = 1 + rng.Below(80); n > 0; --n) k.pw.push_back(static_cast<char>('!' + rng.Below(90)));
    input += tvt::Hex(tvt::FromText(k.pw)) + " " + tvt::Hex(k.salt) + " " + std::to_string(k.c) + " " +
             std::to_string(k.dkLen) + "\n";
    cases.push_back(k);
  }
  const std::string script = R"(
import sys
from Cryptodome.Hash import RIPEMD160
H = lambda d: RIPEMD160.new(d).digest()
def mac(key, msg):
    if len(key) > 40:
        key = H(key)
    key = key.ljust(40, b"\0")
    return H(bytes(k ^ 0x5c for k in key) + H(bytes(k ^ 0x36 for k in key) + msg))
for line in sys.stdin:
    p, s, c, dk = line.split()
    p, s, c, dk = bytes.fromhex(p), bytes.fromhex(s), int(c), int(dk)
    out = b""
    i = 1
    while len(out) < dk:
        u = mac(p, s + i.to_bytes(4, "big"))
        t = bytearray(u)
        for _ in range(c - 1):
            u = mac(p, u)
            t = bytearray(a ^ b for a, b in zip(t, u))
        out += bytes(t)
        i += 1
    print(out[:dk].hex())
)";
  std::istringstream out(tvt::RunPython(script, input));
  for (const auto& k : cases) {
    std::string want;
    out >> want;
    EXPECT_EQ(Derive(3, k.pw, k.salt, k.c, k.dkLen), want);
  }
}

TEST(Pbkdf2, PasswordEndsAtFirstZeroByte) {
  const char withZero[] = "pass\0word";
  unsigned char a[32], b[32];
  const unsigned char salt[4] = {'s', 'a', 'l', 't'};
  ASSERT_EQ(NXVT_PBKDF2_HMAC(a, 32, withZero, salt, 4, 2, &NXVT_SHA256_DESC), 0);
  ASSERT_EQ(NXVT_PBKDF2_HMAC(b, 32, "pass", salt, 4, 2, &NXVT_SHA256_DESC), 0);
  EXPECT_EQ(tvt::Hex(a, 32), tvt::Hex(b, 32));
}

// At most 2^32 - 1 blocks (RFC 8018): a longer key, as the 64-bit entry that
// scrypt uses could ask for, is refused before anything is written.
TEST(Pbkdf2, BlockCountBeyondThirtyTwoBitsRefused) {
  const unsigned char pw[2] = {'p', 'w'}, salt[4] = {1, 2, 3, 4};
  unsigned char out[8];
  memset(out, 0xEE, sizeof out);
  EXPECT_EQ(Pbkdf2Hmac(out, 0xFFFFFFFFull * 32 + 1, pw, 2, salt, 4, 1, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(Pbkdf2Hmac(out, 0xFFFFFFFFull * 64 + 1, pw, 2, salt, 4, 1, &NXVT_SHA512_DESC), -1);
  EXPECT_EQ(Pbkdf2Hmac(out, UINT64_MAX, pw, 2, salt, 4, 1, &NXVT_RIPEMD160_DESC), -1);
  EXPECT_EQ(tvt::Hex(out, sizeof out), "eeeeeeeeeeeeeeee");
}

TEST(DoPBKDF2, CodesAndTrail) {
  const unsigned char salt[4] = {1, 2, 3, 4};
  unsigned char out[64];
  const struct {
    HashId id;
    const char* pw;
    const unsigned char* salt;
    uint32_t c, dkLen;
    bool nullOut;
    int32_t cap;
    int code;
  } cases[] = {
      {11, "pw", salt, 1, 32, false, 64, 220}, {10, "pw", salt, 1, 32, false, 64, 220},
      {0, "pw", salt, 1, 32, false, 64, 220},  {4, "pw", salt, 1, 32, false, 64, 220},
      {1, "pw", salt, 0, 32, false, 64, 225},  {1, nullptr, salt, 1, 32, false, 64, 225},
      {1, "pw", nullptr, 1, 32, false, 64, 225}, {1, "pw", salt, 1, 32, true, 64, 225},
      {2, "pw", salt, 1, 64, false, 63, 230},  {2, "pw", salt, 1, 0x80000000u, false, INT32_MAX, 230},
      {2, "pw", salt, 1, 1, false, -1, 230},
  };
  for (const auto& c : cases) {
    SetErrFunc("t");
    int32_t len = c.cap;
    EXPECT_EQ(DoPBKDF2(c.id, c.pw, c.salt, 4, c.c, c.dkLen, c.nullOut ? nullptr : out, &len), c.code);
    EXPECT_EQ(ErrTrailLocations(), "DoPBKDF2:" + std::to_string(c.code));
    EXPECT_EQ(len, c.cap);
  }
  EXPECT_EQ(DoPBKDF2(1, "pw", salt, 4, 1, 16, out, nullptr), 225);
  EXPECT_EQ(NXVT_PBKDF2_HMAC(out, 16, "pw", salt, 4, 0, &NXVT_SHA256_DESC), -1);
  NXVT_DIGEST_DESC foreign = NXVT_SHA256_DESC;
  EXPECT_EQ(NXVT_PBKDF2_HMAC(out, 16, "pw", salt, 4, 1, &foreign), -1);
  // An empty salt and a zero derived length are fine.
  int32_t len = 64;
  EXPECT_EQ(DoPBKDF2(3, "pw", salt, 0, 3, 0, out, &len), 0);
  EXPECT_EQ(len, 0);
}

}  // namespace
