// BCMGenEntropy, BCMGenHMac, BCMGenPBKDF2 and BCMGenScrypt: codes, size
// queries and the exact trail texts.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstring>
#include <string>

#include "crypto/random.h"
#include "platform/entropy.h"
#include "tolvaris/bcm_kdf.h"
#include "tv_test.h"

// The scrypt table of 2^47 bytes below must fail as a null allocation.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace {

using tvt::Bytes;
using tvt::LastErr;

TEST(GenEntropy, CountsAndTrail) {
  Bytes a(2048, 0), b(2048, 0);
  ASSERT_EQ(BCMGenEntropy(2048, a.data()), 0);
  ASSERT_EQ(BCMGenEntropy(2048, b.data()), 0);
  EXPECT_EQ(LastErr(), "[BCMGenEntropy][][]");
  EXPECT_NE(a, b);
  EXPECT_NE(a, Bytes(2048, 0));
  // The last bytes are filled too (not just a prefix).
  EXPECT_NE(Bytes(a.end() - 32, a.end()), Bytes(32, 0));
  EXPECT_EQ(BCMGenEntropy(0, a.data()), 0);

  EXPECT_EQ(BCMGenEntropy(16, nullptr), 433);
  EXPECT_EQ(LastErr(), "[BCMGenEntropy][BCMGenEntropy:433][(param is NULL)]");

  // Counts whose 8-fold wraps in 32 bits (to 0, to 256 bytes, to a small
  // request) are refused before anything is drawn; the buffer stays untouched.
  for (uint32_t count : {2049u, 0x20000000u, 0x20000100u, 0x40000001u, 0xFFFFFFFFu}) {
    unsigned char small[16];
    memset(small, 0xAA, sizeof small);
    EXPECT_EQ(BCMGenEntropy(count, small), 449) << count;
    EXPECT_EQ(LastErr(), "[BCMGenEntropy][GenerateEntropy:429<-BCMGenEntropy:449][(bc-vantrel GenerateEntropy error)]");
    EXPECT_EQ(small[0], 0xAA);
  }
}

// When the random source cannot seed (the operating system generator gives
// nothing and a reseed is due), the export reports it instead of handing
// out bytes; once the source is back it draws again.
TEST(GenEntropy, RandomSourceDown) {
  unsigned char b[32];
  ASSERT_EQ(BCMGenEntropy(sizeof b, b), 0);
  const OsRandomSource saved = g_osRandomSource;
  g_osRandomSource = [](void*, size_t) -> ssize_t { return -1; };
  NXVT_DRBG_STATE* st = NXVT_DRBG_ProcessState();
  st->reseedCounter = st->reseedInterval + 1;
  memset(b, 0xAA, sizeof b);
  EXPECT_EQ(BCMGenEntropy(sizeof b, b), 449);
  EXPECT_EQ(LastErr(), "[BCMGenEntropy][GenerateEntropy:429<-BCMGenEntropy:449][(bc-vantrel GenerateEntropy error)]");
  EXPECT_EQ(Bytes(b, b + sizeof b), Bytes(sizeof b, 0xAA));
  g_osRandomSource = saved;
  EXPECT_EQ(BCMGenEntropy(sizeof b, b), 0);
  EXPECT_EQ(st->reseedCounter, 2u);
}

TEST(GenHMac, CodesAndTrail) {
  const unsigned char key[5] = {'k', 'e', 'y', '!', '!'}, data[4] = {'d', 'a', 't', 'a'};
  unsigned char out[64];
  int len = 0;
  EXPECT_EQ(BCMGenHMac(10, key, 5, data, 4, nullptr, &len), 0);
  EXPECT_EQ(len, 28);
  len = 99;
  EXPECT_EQ(BCMGenHMac(4, key, 5, data, 4, nullptr, &len), 0);
  EXPECT_EQ(len, 0);

  len = 64;
  ASSERT_EQ(BCMGenHMac(1, key, 5, data, 4, out, &len), 0);
  EXPECT_EQ(len, 32);
  EXPECT_EQ(LastErr(), "[BCMGenHMac][][]");
  unsigned char want[32];
  unsigned int wantLen = 0;
  HMAC(EVP_sha256(), key, 5, data, 4, want, &wantLen);
  EXPECT_EQ(tvt::Hex(out, 32), tvt::Hex(want, wantLen));

  EXPECT_EQ(BCMGenHMac(1, key, 5, nullptr, 0, out, &len), 511);
  EXPECT_EQ(LastErr(), "[BCMGenHMac][BCMGenHMac:511][(param is NULL)]");
  EXPECT_EQ(BCMGenHMac(1, nullptr, 0, data, 4, out, &len), 511);
  EXPECT_EQ(BCMGenHMac(1, key, 5, data, 4, out, nullptr), 511);

  len = 63;
  EXPECT_EQ(BCMGenHMac(13, key, 5, data, 4, out, &len), 524);
  EXPECT_EQ(LastErr(), "[BCMGenHMac][BCMGenHMac:524][(buffer size[63] is lower than [64])]");
  EXPECT_EQ(len, 63);

  len = 64;
  EXPECT_EQ(BCMGenHMac(4, key, 5, data, 4, out, &len), 530);
  EXPECT_EQ(LastErr(), "[BCMGenHMac][DoHMAC:106<-BCMGenHMac:530][(bc-vantrel DoHMAC error)]");
  EXPECT_EQ(len, 64);
  // Key or data lengths of 2^31 and more are refused, never read.
  EXPECT_EQ(BCMGenHMac(1, key, 0x80000000u, data, 4, out, &len), 530);
  EXPECT_EQ(BCMGenHMac(11, key, 5, data, 0xFFFFFFFFu, out, &len), 530);
  EXPECT_EQ(LastErr(), "[BCMGenHMac][DoHMAC:106<-BCMGenHMac:530][(bc-vantrel DoHMAC error)]");
}

TEST(GenPBKDF2, CodesAndTrail) {
  const unsigned char salt[4] = {'s', 'a', 'l', 't'};
  unsigned char out[64];
  int len = 64;
  ASSERT_EQ(BCMGenPBKDF2(1, "passwd", salt, 4, 1, 64, out, &len), 0);
  EXPECT_EQ(len, 64);
  EXPECT_EQ(tvt::Hex(out, 64),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
  EXPECT_EQ(LastErr(), "[BCMGenPBKDF2][][]");

  for (auto [c, dk] : {std::pair{0x80000000u, 32u}, std::pair{0u, 32u}, std::pair{0xFFFFFFFFu, 32u},
                       std::pair{1u, 0u}, std::pair{1u, 0x80000000u}}) {
    len = 64;
    EXPECT_EQ(BCMGenPBKDF2(1, "pw", salt, 4, c, dk, out, &len), 552) << c << " " << dk;
    EXPECT_EQ(LastErr(), "[BCMGenPBKDF2][BCMGenPBKDF2:552][(param is NULL)]");
  }
  EXPECT_EQ(BCMGenPBKDF2(1, nullptr, salt, 4, 1, 32, out, &len), 552);
  EXPECT_EQ(BCMGenPBKDF2(1, "pw", nullptr, 0, 1, 32, out, &len), 552);
  EXPECT_EQ(BCMGenPBKDF2(1, "pw", salt, 4, 1, 32, out, nullptr), 552);

  // The size query answers before the hash id is looked at.
  len = 0;
  EXPECT_EQ(BCMGenPBKDF2(11, "pw", salt, 4, 1, 40, nullptr, &len), 0);
  EXPECT_EQ(len, 40);

  len = 39;
  EXPECT_EQ(BCMGenPBKDF2(1, "pw", salt, 4, 1, 40, out, &len), 565);
  EXPECT_EQ(LastErr(), "[BCMGenPBKDF2][BCMGenPBKDF2:565][(buffer size[39] is lower than [40])]");

  len = 64;
  EXPECT_EQ(BCMGenPBKDF2(11, "pw", salt, 4, 1, 40, out, &len), 571);
  EXPECT_EQ(LastErr(), "[BCMGenPBKDF2][DoPBKDF2:220<-BCMGenPBKDF2:571][(bc-vantrel DoPBKDF2 error)]");
  EXPECT_EQ(len, 64);
}

TEST(GenScrypt, CodesAndTrail) {
  const unsigned char salt[4] = {'N', 'a', 'C', 'l'};
  unsigned char out[64];
  int len = 64;
  ASSERT_EQ(BCMGenScrypt("", salt, 0, 16, 1, 1, 64, out, &len), 0);
  EXPECT_EQ(len, 64);
  EXPECT_EQ(tvt::Hex(out, 64),
            "77d6576238657b203b19ca42c18a0497f16b4844e3074ae8dfdffa3fede21442fcd0069ded0948f8326a753a0fc81f17e8d3e0fb2e0d3628cf35e20c38d18906");
  EXPECT_EQ(LastErr(), "[BCMGenScrypt][][]");

  len = 0;
  EXPECT_EQ(BCMGenScrypt("password", salt, 4, 1024, 8, 16, 64, nullptr, &len), 0);
  EXPECT_EQ(len, 64);

  const struct {
    const char* pw;
    const unsigned char* salt;
    int saltLen, N, r, p;
    uint32_t dkLen;
    bool nullLen;
    int code;
    std::string trail;
  } cases[] = {
      {nullptr, salt, 4, 16, 1, 1, 32, false, 592, "[BCMGenScrypt:592][(param is NULL)]"},
      {"pw", nullptr, 4, 16, 1, 1, 32, false, 592, "[BCMGenScrypt:592][(param is NULL)]"},
      {"pw", salt, -1, 16, 1, 1, 32, false, 592, "[BCMGenScrypt:592][(param is NULL)]"},
      {"pw", salt, 4, 16, 1, 1, 0x80000000u, false, 592, "[BCMGenScrypt:592][(param is NULL)]"},
      {"pw", salt, 4, 16, 1, 1, 32, true, 598, "[BCMGenScrypt:598][(param is NULL)]"},
      {"pw", salt, 4, 0, 8, 16, 32, false, 604, "[BCMGenScrypt:604][(N[0] , r[8] , p[16] is invalid( must > 0 ))]"},
      {"pw", salt, 4, 16, -1, 1, 32, false, 604, "[BCMGenScrypt:604][(N[16] , r[-1] , p[1] is invalid( must > 0 ))]"},
      {"pw", salt, 4, 1000, 8, 1, 32, false, 610, "[BCMGenScrypt:610][(N[1000] is not power of 2)]"},
      {"pw", salt, 4, 131072, 1, 1, 32, false, 616, "[BCMGenScrypt:616][(N[131072] is too big)]"},
      {"pw", salt, 4, 16, 1, 1073741824, 32, false, 622, "[BCMGenScrypt:622][(p[1073741824] is too big)]"},
      // r·p = 2^32 wraps to 0 in 32 bits, 2^31 to a negative number.
      {"pw", salt, 4, 16, 65536, 65536, 32, false, 622, "[BCMGenScrypt:622][(p[65536] is too big)]"},
      {"pw", salt, 4, 16, 65536, 32768, 32, false, 622, "[BCMGenScrypt:622][(p[32768] is too big)]"},
      {"pw", salt, 4, 16, 1, 1, 65, false, 635, "[BCMGenScrypt:635][(buffer size[64] is lower than [65])]"},
      // A 2^47-byte table cannot be had.
      {"pw", salt, 4, 1 << 30, 1024, 1, 32, false, 641,
       "[DoScrypt:182<-BCMGenScrypt:641][(bc-vantrel DoScrypt error)]"},
  };
  for (const auto& c : cases) {
    len = 64;
    EXPECT_EQ(BCMGenScrypt(c.pw, c.salt, c.saltLen, c.N, c.r, c.p, c.dkLen, out, c.nullLen ? nullptr : &len), c.code)
        << c.trail;
    EXPECT_EQ(LastErr(), "[BCMGenScrypt]" + c.trail);
    EXPECT_EQ(len, 64);
  }
}

}  // namespace
