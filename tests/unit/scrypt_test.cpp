// scrypt: RFC 7914 vectors for Salsa20/8, BlockMix, ROMix and the whole
// function, OpenSSL and libsodium on random parameters and on work tables
// either side of the huge-page size, parameter checks and sizes that do not
// fit 32 bits.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sodium.h>

#include <cstring>
#include <string>

#include "trail/trail.h"
#include "crypto/kdf/scrypt.h"
#include "cpu_paths_testing.h"
#include "tv_test.h"

// Let the table allocation of 2^47 bytes below fail with a null pointer
// instead of a sanitizer report.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace {

using tvt::Bytes;

const char* kBlockMixIn =
    "f7ce0b653d2d72a4108cf5abe912ffdd777616dbbb27a70e8204f3ae2d0f6fad89f68f4811d1e87bcc3bd7400a9ffd29094f0184639574f39ae5a1315217bcd7"
    "894991447213bb226c25b54da86370fbcd984380374666bb8ffcb5bf40c254b067d27c51ce4ad5fed829c90b505a571b7f4d1cad6a523cda770e67bceaaf7e89";

TEST(Scrypt, Rfc7914BuildingBlocks) {
  cput::OnEveryPath([&] {
    Bytes salsa = tvt::Unhex(
        "7e879a214f3ec9867ca940e641718f26baee555b8c61c1b50df846116dcd3b1dee24f319df9b3d8514121e4b5ac5aa3276021d2909c74829edebc68db8b8c25e");
    ScryptSalsa208(salsa.data());
    EXPECT_EQ(tvt::Hex(salsa),
              "a41f859c6608cc993b81cacb020cef05044b2181a2fd337dfd7b1c6396682f29b4393168e3c9e6bcfe6bc5b7a06d96bae424cc102c91745c24ad673dc7618f81");

    Bytes mix = tvt::Unhex(kBlockMixIn);
    ASSERT_EQ(ScryptBlockMix(mix.data(), 1), 0);
    EXPECT_EQ(tvt::Hex(mix),
              "a41f859c6608cc993b81cacb020cef05044b2181a2fd337dfd7b1c6396682f29b4393168e3c9e6bcfe6bc5b7a06d96bae424cc102c91745c24ad673dc7618f81"
              "20edc975323881a80540f64c162dcd3c21077cfe5f8d5fe2b1a4168f953678b77d3b3d803b60e4ab920996e59b4d53b65d2a225877d5edf5842cb9f14eefe425");

    Bytes ro = tvt::Unhex(kBlockMixIn);
    ASSERT_EQ(ScryptROMix(ro.data(), 16, 1), 0);
    EXPECT_EQ(tvt::Hex(ro),
              "79ccc193629debca047f0b70604bf6b62ce3dd4a9626e355fafc6198e6ea2b46d58413673b99b029d665c357601fb426a0b2f4bba200ee9f0a43d19b571a9c71"
              "ef1142e65d5a266fddca832ce59faa7cac0b9cf1be2bffca300d01ee387619c4ae12fd4438f203a0e4e1c47ec314861f4e9087cb33396a6873e8f9d2539a4b8e");
  });
}

std::string Scrypt(const char* pw, const std::string& salt, int32_t N, int32_t r, int32_t p, uint32_t dkLen) {
  Bytes out(dkLen);
  int32_t len = static_cast<int32_t>(dkLen);
  EXPECT_EQ(DoScrypt(pw, reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int32_t>(salt.size()), N, r,
                     p, dkLen, out.data(), &len),
            0);
  EXPECT_EQ(len, static_cast<int32_t>(dkLen));
  return tvt::Hex(out);
}

TEST(Scrypt, Rfc7914Vectors) {
  cput::OnEveryPath([&] {
    EXPECT_EQ(Scrypt("", "", 16, 1, 1, 64),
              "77d6576238657b203b19ca42c18a0497f16b4844e3074ae8dfdffa3fede21442fcd0069ded0948f8326a753a0fc81f17e8d3e0fb2e0d3628cf35e20c38d18906");
    EXPECT_EQ(Scrypt("password", "NaCl", 1024, 8, 16, 64),
              "fdbabe1c9d3472007856e7190d01e9fe7c6ad7cbc8237830e77376634b3731622eaf30d92e22a3886ff109279d9830dac727afb94a83ee6d8360cbdfa2cc0640");
    EXPECT_EQ(Scrypt("pleaseletmein", "SodiumChloride", 16384, 8, 1, 64),
              "7023bdcb3afd7348461c06cd81fd38ebfda8fbba904f8e3ea9b543f6545da1f2d5432955613f0fcf62d49705242a9af9e61e85dc0d651e40dfcf017b45575887");
  });
}

TEST(Scrypt, MatchesOpenSslOnRandomParameters) {
  cput::OnEveryPath([&] {
    tvt::TestRng rng(61);
    for (int i = 0; i < 40; ++i) {
      std::string pw;
      for (uint32_t n = rng.Below(40); n > 0; --n) pw.push_back(static_cast<char>(1 + rng.Below(255)));
      const Bytes saltBytes = rng.RandBytes(rng.Below(40));
      const std::string salt(saltBytes.begin(), saltBytes.end());
      const int32_t N = 1 << (1 + rng.Below(8));
      const int32_t r = 1 + static_cast<int32_t>(rng.Below(4));
      const int32_t p = 1 + static_cast<int32_t>(rng.Below(3));
      const uint32_t dkLen = 1 + rng.Below(100);
      Bytes want(dkLen);
      ASSERT_EQ(EVP_PBE_scrypt(pw.data(), pw.size(), saltBytes.data(), saltBytes.size(), static_cast<uint64_t>(N),
                               static_cast<uint64_t>(r), static_cast<uint64_t>(p), 0, want.data(), dkLen),
                1);
      ASSERT_EQ(Scrypt(pw.c_str(), salt, N, r, p, dkLen), tvt::Hex(want)) << N << " " << r << " " << p;
    }
  });
}

// Tables of 2 MiB and more are mapped apart from the heap, aligned to and
// rounded up to whole huge pages; the sizes here fall just below, on and
// between those bounds, with p > 1 reusing one work area. libsodium checks
// the same derivations independently of OpenSSL.
TEST(Scrypt, MatchesReferencesAcrossTableSizes) {
  const struct {
    int32_t N, r, p;
  } cases[] = {
      {1024, 15, 1},  // 1.875 MiB: from the heap
      {2048, 8, 2},   // 2 MiB exactly
      {4096, 5, 1},   // 2.5 MiB: the last huge page partly used
      {8192, 3, 2},   // 3 MiB
      {32768, 1, 1},  // 4 MiB of 128-byte blocks
  };
  ASSERT_GE(sodium_init(), 0);
  tvt::TestRng rng(62);
  for (const auto& c : cases) {
    std::string pw;
    for (uint32_t n = 1 + rng.Below(30); n > 0; --n) pw.push_back(static_cast<char>(1 + rng.Below(255)));
    const Bytes saltBytes = rng.RandBytes(rng.Below(33));
    const uint32_t dkLen = 1 + rng.Below(80);
    Bytes want(dkLen), sodium(dkLen);
    ASSERT_EQ(EVP_PBE_scrypt(pw.data(), pw.size(), saltBytes.data(), saltBytes.size(), static_cast<uint64_t>(c.N),
                             static_cast<uint64_t>(c.r), static_cast<uint64_t>(c.p), 64ull << 20, want.data(), dkLen),
              1);
    ASSERT_EQ(crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t*>(pw.data()), pw.size(),
                                                    saltBytes.data(), saltBytes.size(), static_cast<uint64_t>(c.N),
                                                    static_cast<uint32_t>(c.r), static_cast<uint32_t>(c.p),
                                                    sodium.data(), dkLen),
              0);
    ASSERT_EQ(want, sodium);
    EXPECT_EQ(Scrypt(pw.c_str(), std::string(saltBytes.begin(), saltBytes.end()), c.N, c.r, c.p, dkLen),
              tvt::Hex(want))
        << c.N << " " << c.r << " " << c.p;
  }
}

TEST(DoScrypt, ParameterChecks) {
  const unsigned char salt[4] = {1, 2, 3, 4};
  unsigned char out[64];
  const struct {
    const char* pw;
    const unsigned char* salt;
    int32_t saltLen, N, r, p;
    bool nullOut;
    int32_t cap;
    int code;
  } cases[] = {
      {nullptr, salt, 4, 16, 1, 1, false, 64, 172},
      {"pw", nullptr, 0, 16, 1, 1, false, 64, 172},
      {"pw", salt, -1, 16, 1, 1, false, 64, 172},
      {"pw", salt, 4, 0, 1, 1, false, 64, 172},
      {"pw", salt, 4, -16, 1, 1, false, 64, 172},
      {"pw", salt, 4, 3, 1, 1, false, 64, 172},
      {"pw", salt, 4, 16, 0, 1, false, 64, 172},
      {"pw", salt, 4, 16, 1, 0, false, 64, 172},
      {"pw", salt, 4, 1 << 17, 1, 1, false, 64, 172},       // N must stay below 2^(r+16)
      {"pw", salt, 4, 16, 1, 1 << 30, false, 64, 172},      // r·p below 2^30
      {"pw", salt, 4, 16, 65536, 65536, false, 64, 172},    // r·p = 2^32: wraps to 0 in 32 bits
      {"pw", salt, 4, 16, 1 << 16, 1 << 15, false, 64, 172},  // 2^31: negative in 32 bits
      {"pw", salt, 4, 16, 1, 1, true, 64, 172},
      {"pw", salt, 4, 16, 1, 1, false, 31, 177},
      {"pw", salt, 4, 16, 1, 1, false, -1, 177},
  };
  for (const auto& c : cases) {
    SetErrFunc("t");
    int32_t len = c.cap;
    EXPECT_EQ(DoScrypt(c.pw, c.salt, c.saltLen, c.N, c.r, c.p, 32, c.nullOut ? nullptr : out, &len), c.code)
        << c.N << " " << c.r << " " << c.p;
    EXPECT_EQ(ErrTrailLocations(), "DoScrypt:" + std::to_string(c.code));
    EXPECT_EQ(len, c.cap);
  }
  EXPECT_EQ(DoScrypt("pw", salt, 4, 16, 1, 1, 32, out, nullptr), 172);
  // N = 2^16 is the largest N for r = 1; r >= 15 lifts the bound past every int.
  int32_t len = 64;
  EXPECT_EQ(DoScrypt("pw", salt, 4, 1 << 16, 1, 1, 32, out, &len), 0);
  // A password is used up to its first zero byte.
  const char withZero[] = "pw\0tail";
  unsigned char other[32];
  len = 32;
  ASSERT_EQ(DoScrypt(withZero, salt, 4, 16, 1, 1, 32, other, &len), 0);
  len = 32;
  ASSERT_EQ(DoScrypt("pw", salt, 4, 16, 1, 1, 32, out, &len), 0);
  EXPECT_EQ(tvt::Hex(out, 32), tvt::Hex(other, 32));
}

// The ROMix table is N·128·r bytes: a size beyond 64 bits is refused before
// any allocation, and a table that cannot be had fails DoScrypt with 182
// (in 32-bit arithmetic both would wrap to a small, overrun buffer).
TEST(DoScrypt, WorkMemoryThatCannotBeHad) {
  unsigned char block[128] = {0};
  const Bytes before(block, block + sizeof block);
  EXPECT_EQ(ScryptROMix(block, 1u << 31, 1u << 31), -1);
  EXPECT_EQ(ScryptROMix(block, 3, 1), -1);
  EXPECT_EQ(Bytes(block, block + sizeof block), before);

  const unsigned char salt[1] = {0};
  unsigned char out[32];
  int32_t len = 32;
  SetErrFunc("t");
  // N = 2^30, r = 1024: a 2^47-byte table (0 in 32 bits).
  EXPECT_EQ(DoScrypt("pw", salt, 1, 1 << 30, 1024, 1, 32, out, &len), 182);
  EXPECT_STREQ(ErrTrailLocations(), "DoScrypt:182");
  EXPECT_EQ(len, 32);
}

}  // namespace
