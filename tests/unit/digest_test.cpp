// SHA-256, SHA-512 and RIPEMD-160 through DoDigest and the streaming layer:
// published vectors, differential runs against OpenSSL, buffer convention
// and length limits.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <cstring>
#include <string>

#include "trail/trail.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/digest_blocks.h"
#include "cpu_paths_testing.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;

std::string Digest(HashId id, const Bytes& msg) {
  unsigned char out[64];
  int32_t len = sizeof out;
  static const unsigned char kEmpty = 0;
  EXPECT_EQ(DoDigest(id, msg.empty() ? &kEmpty : msg.data(), static_cast<uint32_t>(msg.size()), out, &len), 0);
  EXPECT_EQ(len, static_cast<int32_t>(GetDigestLen(id)));
  return tvt::Hex(out, static_cast<size_t>(len));
}

std::string Stream(const NXVT_DIGEST_DESC* desc, const unsigned char* p, size_t n, tvt::TestRng& rng) {
  NXVT_DIGEST_CTX ctx;
  EXPECT_EQ(NXVT_Digest_Init(&ctx, desc), 0);
  size_t off = 0;
  while (off < n) {
    size_t piece = rng.Below(200);
    if (piece > n - off) piece = n - off;
    NXVT_Digest_Update(&ctx, p + off, static_cast<int32_t>(piece));
    off += piece;
  }
  unsigned char out[64];
  int32_t len = sizeof out;
  NXVT_Digest_Final(out, &len, &ctx);
  return tvt::Hex(out, static_cast<size_t>(len));
}

std::string OpenSsl(const EVP_MD* md, const unsigned char* p, size_t n) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EXPECT_EQ(EVP_Digest(p, n, out, &len, md, nullptr), 1);
  return tvt::Hex(out, len);
}

struct Vector {
  HashId id;
  std::string msg;
  std::string digest;
};

TEST(Digest, PublishedVectors) {
  cput::OnEveryPath([&] {
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    const std::string sha512Two =
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu";
    const Vector vectors[] = {
        // FIPS 180-4 examples
        {1, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {1, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {1, two, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {1, std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {2, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {2, sha512Two,
         "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
        {2, std::string(1000000, 'a'),
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
        // RIPEMD-160 designers' vectors
        {3, "", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {3, "a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {3, "abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {3, "message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {3, "abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {3, two, "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {3, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {3, "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
        {3, std::string(1000000, 'a'), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    for (const auto& v : vectors) EXPECT_EQ(Digest(v.id, tvt::FromText(v.msg)), v.digest) << v.id << " " << v.msg.size();
  });
}

// Every length 0..4096 covers the one- and two-block final paths (55/56/63/64
// and 111/112/127/128) and, for SHA-512, runs of up to 32 whole blocks, odd
// and even (pairs take the two-block vector build, an odd last block the
// one-block build); the message starts at every offset mod 16 in turn. The
// streamed run cuts the same message at random points.
TEST(Digest, MatchesOpenSslOnEveryLengthAndSplit) {
  cput::OnEveryPath([&] {
    tvt::TestRng rng(101);
    const Bytes buf = rng.RandBytes(4096 + 16);
    const struct {
      HashId id;
      const NXVT_DIGEST_DESC* desc;
      const EVP_MD* md;
    } algos[] = {{1, &NXVT_SHA256_DESC, EVP_sha256()},
                 {2, &NXVT_SHA512_DESC, EVP_sha512()},
                 {3, &NXVT_RIPEMD160_DESC, EVP_ripemd160()}};
    for (const auto& a : algos) {
      ASSERT_NE(a.md, nullptr);
      for (size_t n = 0; n <= 4096; ++n) {
        const unsigned char* m = buf.data() + n % 16;
        const std::string want = OpenSsl(a.md, m, n);
        ASSERT_EQ(Digest(a.id, Bytes(m, m + n)), want) << a.id << " len " << n;
        unsigned char out[64];
        int32_t len = sizeof out;
        ASSERT_EQ(DoDigest(a.id, m, static_cast<uint32_t>(n), out, &len), 0);
        ASSERT_EQ(tvt::Hex(out, static_cast<size_t>(len)), want) << a.id << " in place, len " << n;
        ASSERT_EQ(Stream(a.desc, m, n, rng), want) << a.id << " split len " << n;
      }
      Bytes big = rng.RandBytes(5000);
      for (int i = 0; i < 20; ++i) EXPECT_EQ(Stream(a.desc, big.data(), big.size(), rng), OpenSsl(a.md, big.data(), big.size()));
    }
  });
}

// Runs of whole blocks handed over in one call, odd and even counts, from an
// aligned and an unaligned address: the block functions read straight from
// the caller's buffer.
TEST(Digest, WholeBlockRunsMatchOpenSsl) {
  auto oneCall = [](const NXVT_DIGEST_DESC* desc, const unsigned char* p, size_t n) {
    NXVT_DIGEST_CTX ctx;
    EXPECT_EQ(NXVT_Digest_Init(&ctx, desc), 0);
    NXVT_Digest_Update(&ctx, p, static_cast<int32_t>(n));
    unsigned char out[64];
    int32_t len = sizeof out;
    NXVT_Digest_Final(out, &len, &ctx);
    return tvt::Hex(out, static_cast<size_t>(len));
  };
  cput::OnEveryPath([&] {
    tvt::TestRng rng(202);
    const Bytes buf = rng.RandBytes(1 + 128 * 65);
    for (size_t blocks : {1, 2, 3, 4, 5, 8, 9, 31, 32, 33, 64, 65}) {
      for (size_t offset : {0, 1}) {
        const unsigned char* p = buf.data() + offset;
        const size_t n = 128 * blocks;
        EXPECT_EQ(oneCall(&NXVT_SHA512_DESC, p, n), OpenSsl(EVP_sha512(), p, n)) << blocks << " blocks, offset " << offset;
        EXPECT_EQ(oneCall(&NXVT_SHA256_DESC, p, n), OpenSsl(EVP_sha256(), p, n)) << blocks << " blocks, offset " << offset;
      }
    }
  });
}

// SHA-512's block function from arbitrary chaining states (HMAC and PBKDF2
// start from keyed ones), every run length to 40 blocks at odd addresses,
// against OpenSSL's own compression: pairs of blocks share one schedule in
// the vector builds, and an odd last block takes the one-block build.
TEST(Digest, Sha512BlocksFromAnyStateMatchOpenSsl) {
  cput::OnEveryPath([&] {
    tvt::TestRng rng(303);
    const Bytes buf = rng.RandBytes(128 * 40 + 8);
    for (size_t blocks = 1; blocks <= 40; ++blocks) {
      const unsigned char* p = buf.data() + rng.Below(9);
      SHA512_CTX ref;
      SHA512_Init(&ref);
      uint64_t st[8];
      for (int i = 0; i < 8; ++i) st[i] = ref.h[i] = rng.Next();
      NXVT_SHA512_Blocks(st, p, blocks);
      for (size_t n = 0; n < blocks; ++n) SHA512_Transform(&ref, p + 128 * n);
      for (int i = 0; i < 8; ++i) ASSERT_EQ(st[i], ref.h[i]) << blocks << " blocks, word " << i;
    }
  });
}

TEST(Digest, FinalLeavesContextUsable) {
  const Bytes a = tvt::FromText("hello "), b = tvt::FromText("world");
  for (const NXVT_DIGEST_DESC* d : {&NXVT_SHA256_DESC, &NXVT_SHA512_DESC, &NXVT_RIPEMD160_DESC}) {
    NXVT_DIGEST_CTX ctx;
    ASSERT_EQ(NXVT_Digest_Init(&ctx, d), 0);
    NXVT_Digest_Update(&ctx, a.data(), 6);
    unsigned char o1[64], o2[64], o3[64];
    int32_t l1 = 64, l2 = 64, l3 = 64;
    NXVT_Digest_Final(o1, &l1, &ctx);
    NXVT_Digest_Final(o2, &l2, &ctx);
    EXPECT_EQ(tvt::Hex(o1, l1), tvt::Hex(o2, l2));
    NXVT_Digest_Update(&ctx, b.data(), 5);
    NXVT_Digest_Final(o3, &l3, &ctx);
    HashId id = d == &NXVT_SHA256_DESC ? 1 : d == &NXVT_SHA512_DESC ? 2 : 3;
    EXPECT_EQ(tvt::Hex(o1, l1), Digest(id, a));
    EXPECT_EQ(tvt::Hex(o3, l3), Digest(id, tvt::FromText("hello world")));
    // A short capacity gives no output and a length of 0.
    int32_t shortLen = static_cast<int32_t>(d->digestSize) - 1;
    unsigned char keep[64];
    memset(keep, 0xAA, sizeof keep);
    NXVT_Digest_Final(keep, &shortLen, &ctx);
    EXPECT_EQ(shortLen, 0);
    EXPECT_EQ(keep[0], 0xAA);
    // A negative capacity is short too, not a huge unsigned one.
    for (int32_t negative : {-1, INT32_MIN}) {
      int32_t l = negative;
      NXVT_Digest_Final(keep, &l, &ctx);
      EXPECT_EQ(l, 0);
      EXPECT_EQ(keep[0], 0xAA);
    }
  }
}

TEST(Digest, StreamingRefusesBadArguments) {
  NXVT_DIGEST_CTX ctx;
  EXPECT_EQ(NXVT_Digest_Init(nullptr, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_Digest_Init(&ctx, nullptr), -1);
  NXVT_DIGEST_DESC foreign = NXVT_SHA256_DESC;  // same content, not one of the three
  EXPECT_EQ(NXVT_Digest_Init(&ctx, &foreign), -1);

  // A negative length is ignored: no copy, no count.
  ASSERT_EQ(NXVT_Digest_Init(&ctx, &NXVT_SHA256_DESC), 0);
  unsigned char byte = 'x';
  NXVT_Digest_Update(&ctx, &byte, -1);
  NXVT_Digest_Update(&ctx, &byte, INT32_MIN);
  NXVT_Digest_Update(&ctx, nullptr, 5);
  unsigned char out[32];
  int32_t len = 32;
  NXVT_Digest_Final(out, &len, &ctx);
  EXPECT_EQ(tvt::Hex(out, 32), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// The byte counters carry across 32-bit (SHA-256, RIPEMD-160) and 64-bit
// (SHA-512) words: a context whose count is just below the wrap is finished
// the same way as OpenSSL's with the same count.
TEST(Digest, ByteCountCarriesIntoHighWord) {
  tvt::TestRng rng(7);
  Bytes tail = rng.RandBytes(150);
  {
    NXVT_DIGEST_CTX ctx;
    NXVT_Digest_Init(&ctx, &NXVT_SHA256_DESC);
    ctx.w32.count[0] = 0xFFFFFFC0u;  // bytes, a whole number of blocks
    ctx.w32.count[1] = 0;
    SHA256_CTX ref;
    SHA256_Init(&ref);
    ref.Nl = 0xFFFFFE00u;  // the same count in bits
    ref.Nh = 7;
    NXVT_Digest_Update(&ctx, tail.data(), 150);
    SHA256_Update(&ref, tail.data(), 150);
    unsigned char a[32], b[32];
    int32_t len = 32;
    NXVT_Digest_Final(a, &len, &ctx);
    SHA256_Final(b, &ref);
    EXPECT_EQ(tvt::Hex(a, 32), tvt::Hex(b, 32));
  }
  {
    NXVT_DIGEST_CTX ctx;
    NXVT_Digest_Init(&ctx, &NXVT_SHA512_DESC);
    ctx.w64.count[0] = 0xFFFFFFFFFFFFFF80ull;
    ctx.w64.count[1] = 0;
    SHA512_CTX ref;
    SHA512_Init(&ref);
    ref.Nl = 0xFFFFFFFFFFFFFC00ull;
    ref.Nh = 7;
    NXVT_Digest_Update(&ctx, tail.data(), 150);
    SHA512_Update(&ref, tail.data(), 150);
    unsigned char a[64], b[64];
    int32_t len = 64;
    NXVT_Digest_Final(a, &len, &ctx);
    SHA512_Final(b, &ref);
    EXPECT_EQ(tvt::Hex(a, 64), tvt::Hex(b, 64));
  }
}

// 2^29 bytes and more: the bit count no longer fits 32 bits.
TEST(Digest, LongMessageOverHalfGigabyte) {
  const size_t total = (size_t{1} << 29) + 77;
  Bytes chunk(1 << 20);
  tvt::TestRng rng(3);
  for (auto& c : chunk) c = static_cast<unsigned char>(rng.Next());
  for (auto [desc, md] : {std::pair{&NXVT_SHA512_DESC, EVP_sha512()}}) {
    NXVT_DIGEST_CTX ctx;
    NXVT_Digest_Init(&ctx, desc);
    EVP_MD_CTX* ref = EVP_MD_CTX_new();
    EVP_DigestInit_ex(ref, md, nullptr);
    for (size_t done = 0; done < total;) {
      size_t n = std::min(chunk.size(), total - done);
      NXVT_Digest_Update(&ctx, chunk.data(), static_cast<int32_t>(n));
      EVP_DigestUpdate(ref, chunk.data(), n);
      done += n;
    }
    unsigned char a[64], b[64];
    int32_t len = 64;
    unsigned int blen = 0;
    NXVT_Digest_Final(a, &len, &ctx);
    EVP_DigestFinal_ex(ref, b, &blen);
    EVP_MD_CTX_free(ref);
    EXPECT_EQ(tvt::Hex(a, len), tvt::Hex(b, blen));
  }
}

TEST(DoDigest, BufferConventionAndCodes) {
  const unsigned char msg[3] = {'a', 'b', 'c'};
  unsigned char out[80];
  for (HashId id : {1u, 2u, 3u, 10u, 11u, 12u, 13u}) {
    const int32_t size = static_cast<int32_t>(GetDigestLen(id));
    int32_t len = 12345;
    EXPECT_EQ(DoDigest(id, msg, 3, nullptr, &len), 0);
    EXPECT_EQ(len, size);
    len = size;
    EXPECT_EQ(DoDigest(id, msg, 3, out, &len), 0);
    EXPECT_EQ(len, size);
    len = 80;
    EXPECT_EQ(DoDigest(id, msg, 3, out, &len), 0);
    EXPECT_EQ(len, size);
    SetErrFunc("t");
    len = size - 1;
    EXPECT_EQ(DoDigest(id, msg, 3, out, &len), 175);
    EXPECT_EQ(len, size - 1);
    EXPECT_STREQ(ErrTrailLocations(), "DoDigest:175");
    len = -1;
    EXPECT_EQ(DoDigest(id, msg, 3, out, &len), 175);
  }
  for (HashId id : {0u, 4u, 5u, 6u, 7u, 8u, 9u, 14u, 0xFFFFFFFFu}) {
    EXPECT_EQ(GetDigestLen(id), 0u);
    int32_t len = 64;
    SetErrFunc("t");
    EXPECT_EQ(DoDigest(id, msg, 3, out, &len), 164) << id;
    EXPECT_EQ(DoDigest(id, msg, 3, nullptr, &len), 164) << id;
    EXPECT_STREQ(ErrTrailLocations(), "DoDigest:164<-DoDigest:164");
  }
  int32_t len = 64;
  EXPECT_EQ(DoDigest(1, nullptr, 0, nullptr, &len), 164);  // size query still needs a message
  EXPECT_EQ(DoDigest(1, nullptr, 0, out, &len), 164);
  EXPECT_EQ(DoDigest(1, msg, 3, out, nullptr), 164);
  EXPECT_EQ(DoDigest(1, msg, 3, nullptr, nullptr), 164);
}

// Lengths of 2^31 and more are refused before any byte is read (the buffer
// here is 3 bytes; reading on would crash or be caught by the sanitizer).
TEST(DoDigest, RefusesLengthsBeyondSigned32) {
  const unsigned char msg[3] = {1, 2, 3};
  unsigned char out[64];
  for (HashId id : {1u, 2u, 3u, 10u, 11u, 12u, 13u}) {
    for (uint32_t n : {0x80000000u, 0x80000001u, 0xFFFFFFFFu}) {
      int32_t len = 64;
      SetErrFunc("t");
      EXPECT_EQ(DoDigest(id, msg, n, out, &len), 164) << id << " " << n;
      EXPECT_EQ(len, 64);
      EXPECT_STREQ(ErrTrailLocations(), "DoDigest:164");
    }
  }
}

}  // namespace
