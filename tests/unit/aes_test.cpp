// AES block cipher: FIPS 197 examples, the schedule layout, and random
// blocks and batches against OpenSSL on the vector, AES-NI and portable paths.
#include "crypto/aes/aes.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "aes_testing.h"
#include "cpu_paths_testing.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

struct Fips197Case {
  const NXVT_CIPHER_DESC* desc;
  int rounds;
  const char* key;
  const char* lastWord;  // w[4(Nr+1)-1] of the key expansion example
  const char* plain;
  const char* cipher;
};

const Fips197Case kFips197[] = {
    // Appendix C.1 and C.3 (cipher examples), A.1 and A.3 (expansion examples).
    {&NXVT_AES128_DESC, 10, "000102030405060708090a0b0c0d0e0f", nullptr, "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {&NXVT_AES256_DESC, 14, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", nullptr,
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
    {&NXVT_AES128_DESC, 10, "2b7e151628aed2a6abf7158809cf4f3c", "b6630ca6", "3243f6a8885a308d313198a2e0370734",
     "3925841d02dc09fbdc118597196a0b32"},
    {&NXVT_AES256_DESC, 14, "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", "706c631e",
     nullptr, nullptr},
};

// InvMixColumns of one 4-byte column, written out from the matrix.
void InvMixColumn(const unsigned char* in, unsigned char* out) {
  static const uint8_t m[4][4] = {{14, 11, 13, 9}, {9, 14, 11, 13}, {13, 9, 14, 11}, {11, 13, 9, 14}};
  for (int r = 0; r < 4; ++r) {
    out[r] = 0;
    for (int c = 0; c < 4; ++c) out[r] ^= aest::GfMul(in[c], m[r][c]);
  }
}

Bytes OpenSslEcb(const Bytes& key, const Bytes& blocks) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(c, key.size() == 16 ? EVP_aes_128_ecb() : EVP_aes_256_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(c, 0);
  Bytes out(blocks.size());
  int n = 0;
  EVP_EncryptUpdate(c, out.data(), &n, blocks.data(), static_cast<int>(blocks.size()));
  EVP_CIPHER_CTX_free(c);
  return out;
}

}  // namespace

TEST(Aes, DescriptorsMatchTheCipherSizes) {
  EXPECT_EQ(NXVT_AES128_DESC.blockSize, 16u);
  EXPECT_EQ(NXVT_AES256_DESC.blockSize, 16u);
  EXPECT_EQ(NXVT_AES128_DESC.scheduleSize, 352u);
  EXPECT_EQ(NXVT_AES256_DESC.scheduleSize, 480u);
}

TEST(Aes, Fips197ExamplesAndScheduleLayoutOnEveryPath) {
  cput::OnEveryAesPath([] {
  for (const auto& tc : kFips197) {
    SCOPED_TRACE(tc.key);
    const Bytes key = Unhex(tc.key);
    Bytes schedule(tc.desc->scheduleSize, 0xAA);
    tc.desc->setKey(schedule.data(), key.data(), static_cast<uint32_t>(key.size()));

    const size_t half = 16 * (tc.rounds + 1);
    ASSERT_EQ(2 * half, schedule.size());
    EXPECT_EQ(Hex(schedule.data(), key.size()), tc.key);
    if (tc.lastWord) {
      EXPECT_EQ(Hex(schedule.data() + half - 4, 4), tc.lastWord);
    }
    // Second half: round keys 0 and Nr as they are, the others through InvMixColumns.
    EXPECT_EQ(Hex(schedule.data() + half, 16), Hex(schedule.data(), 16));
    EXPECT_EQ(Hex(schedule.data() + 2 * half - 16, 16), Hex(schedule.data() + half - 16, 16));
    for (int w = 4; w < 4 * tc.rounds; ++w) {
      unsigned char expect[4];
      InvMixColumn(schedule.data() + 4 * w, expect);
      EXPECT_EQ(Hex(schedule.data() + half + 4 * w, 4), Hex(expect, 4)) << "word " << w;
    }

    if (!tc.plain) continue;
    Bytes block = Unhex(tc.plain);
    tc.desc->encryptBlock(block.data(), schedule.data());
    EXPECT_EQ(Hex(block), tc.cipher);
    tc.desc->decryptBlock(block.data(), schedule.data());
    EXPECT_EQ(Hex(block), tc.plain);
  }
  });
}

TEST(Aes, RandomBlocksAndBatchesMatchOpenSslOnEveryPath) {
  cput::OnEveryAesPath([] {
    tvt::TestRng rng(130);
    for (int iter = 0; iter < 140; ++iter) {
      const bool big = iter % 2 == 1;
      const NXVT_CIPHER_DESC& desc = big ? NXVT_AES256_DESC : NXVT_AES128_DESC;
      const Bytes key = rng.RandBytes(big ? 32 : 16);
      // Batches of 1..70 blocks cross the widths the bulk code works in
      // (eight blocks with AES-NI, 32 with VAES) and leave every tail.
      const size_t blocks = 1 + iter % 70;
      const Bytes plain = rng.RandBytes(16 * blocks);
      Bytes schedule(desc.scheduleSize);
      desc.setKey(schedule.data(), key.data(), static_cast<uint32_t>(key.size()));
      const Bytes expect = OpenSslEcb(key, plain);

      Bytes one = plain;
      desc.encryptBlock(one.data(), schedule.data());
      ASSERT_EQ(Hex(one.data(), 16), Hex(expect.data(), 16));
      desc.decryptBlock(one.data(), schedule.data());
      ASSERT_EQ(Hex(one.data(), 16), Hex(plain.data(), 16));

      const NXVT_BLOCK_BULK* bulk = NXVT_BlockBulk(desc.encryptBlock);
      ASSERT_NE(bulk, nullptr);
      ASSERT_EQ(bulk, NXVT_BlockBulk(desc.decryptBlock));
      Bytes many = plain;
      bulk->encryptBlocks(many.data(), blocks, schedule.data());
      ASSERT_EQ(Hex(many), Hex(expect)) << blocks << " blocks";
      bulk->decryptBlocks(many.data(), blocks, schedule.data());
      ASSERT_EQ(Hex(many), Hex(plain)) << blocks << " blocks";
    }
  });
}

TEST(Aes, OtherBlockFunctionsHaveNoBulkRoutines) {
  EXPECT_EQ(NXVT_BlockBulk(nullptr), nullptr);
  EXPECT_EQ(NXVT_BlockBulk([](unsigned char*, const unsigned char*) {}), nullptr);
}
