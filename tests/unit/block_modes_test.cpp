// Block-cipher modes at the routine level: SP 800-38A, 38C and 38D examples,
// counter arithmetic, CCM formatting and the parameter rules.
#include "crypto/aes/block_modes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cpu_paths_testing.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

const char* kKey128 = "2b7e151628aed2a6abf7158809cf4f3c";
const char* kKey256 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* kPlain38A =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char* kIv38A = "000102030405060708090a0b0c0d0e0f";
const char* kCtr38A = "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";

struct Keyed {
  const NXVT_CIPHER_DESC* desc;
  Bytes schedule;
  explicit Keyed(const Bytes& key) : desc(key.size() == 32 ? &NXVT_AES256_DESC : &NXVT_AES128_DESC) {
    schedule.resize(desc->scheduleSize);
    desc->setKey(schedule.data(), key.data(), static_cast<uint32_t>(key.size()));
  }
  const unsigned char* s() const { return schedule.data(); }
};

enum class Mode { kCbc, kCfb, kOfb, kCtr };

int32_t RunMode(Mode m, bool enc, const Keyed& k, Bytes& data, Bytes iv) {
  const auto len = static_cast<uint32_t>(data.size());
  switch (m) {
    case Mode::kCbc:
      return enc ? NXVT_CBC_Encrypt(data.data(), len, k.s(), iv.data(), 16, k.desc->encryptBlock)
                 : NXVT_CBC_Decrypt(data.data(), len, k.s(), iv.data(), 16, k.desc->decryptBlock);
    case Mode::kCfb:
      return enc ? NXVT_CFB_Encrypt(data.data(), len, k.s(), iv.data(), 16, k.desc->encryptBlock)
                 : NXVT_CFB_Decrypt(data.data(), len, k.s(), iv.data(), 16, k.desc->encryptBlock);
    case Mode::kOfb:
      return NXVT_OFB_Crypt(data.data(), len, k.s(), iv.data(), 16, k.desc->encryptBlock);
    case Mode::kCtr:
      return NXVT_CTR_Crypt(data.data(), len, k.s(), iv.data(), 16, k.desc->encryptBlock);
  }
  return -99;
}

Bytes EncryptBlock(const Keyed& k, Bytes block) {
  k.desc->encryptBlock(block.data(), k.s());
  return block;
}

}  // namespace

TEST(BlockModes, Sp800_38aExamples) {
  cput::OnEveryAesPath([&] {
    struct Case {
      Mode mode;
      const char* key;
      const char* iv;
      const char* cipher;
    };
    const Case cases[] = {
        {Mode::kCbc, kKey128, kIv38A,
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b273bed6b8e3c1743b7116e69e222295163ff1caa1681fac09"
         "120eca307586e1a7"},
        {Mode::kCbc, kKey256, kIv38A,
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fc"
         "da6c19078c6a9d1b"},
        {Mode::kCfb, kKey128, kIv38A,
         "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b26751f67a3cbb140b1808cf187a4f4dfc04b05357c5d1c0e"
         "eac4c66f9ff7f2e6"},
        {Mode::kCfb, kKey256, kIv38A,
         "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407bdf10132415e54b92a13ed0a8267ae2f975a385741ab9cef8"
         "2031623d55b1e471"},
        {Mode::kOfb, kKey128, kIv38A,
         "3b3fd92eb72dad20333449f8e83cfb4a7789508d16918f03f53c52dac54ed8259740051e9c5fecf64344f7a82260edcc304c6528f659c778"
         "66a510d9c1d6ae5e"},
        {Mode::kOfb, kKey256, kIv38A,
         "dc7e84bfda79164b7ecd8486985d38604febdc6740d20b3ac88f6ad82a4fb08d71ab47a086e86eedf39d1c5bba97c4080126141d67f37be8"
         "538f5a8be740e484"},
        {Mode::kCtr, kKey128, kCtr38A,
         "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1"
         "792170a0f3009cee"},
        {Mode::kCtr, kKey256, kCtr38A,
         "601ec313775789a5b7a7f504bbf3d228f443e3ca4d62b59aca84e990cacaf5c52b0930daa23de94ce87017ba2d84988ddfc9c58db67aada6"
         "13c2dd08457941a6"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.cipher).substr(0, 8));
      Keyed k(Unhex(c.key));
      Bytes data = Unhex(kPlain38A);
      ASSERT_EQ(RunMode(c.mode, true, k, data, Unhex(c.iv)), 0);
      EXPECT_EQ(Hex(data), c.cipher);
      ASSERT_EQ(RunMode(c.mode, false, k, data, Unhex(c.iv)), 0);
      EXPECT_EQ(Hex(data), kPlain38A);
      // Stream modes cut the last block short: the prefix of the full output.
      if (c.mode != Mode::kCbc) {
        Bytes part = Unhex(kPlain38A);
        part.resize(37);
        ASSERT_EQ(RunMode(c.mode, true, k, part, Unhex(c.iv)), 0);
        EXPECT_EQ(Hex(part), std::string(c.cipher).substr(0, 74));
      }
    }
  });
}

TEST(BlockModes, CbcLeavesTrailingBytesAndReportsThem) {
  Keyed k(Unhex(kKey128));
  Bytes data = Unhex(kPlain38A);
  data.resize(20);
  const Bytes tail(data.begin() + 16, data.end());
  EXPECT_EQ(RunMode(Mode::kCbc, true, k, data, Unhex(kIv38A)), 4);
  EXPECT_EQ(Hex(data.data(), 16), "7649abac8119b246cee98e9b12e9197d");
  EXPECT_EQ(Hex(data.data() + 16, 4), Hex(tail));
  Bytes shortData(5, 1);
  EXPECT_EQ(RunMode(Mode::kCbc, true, k, shortData, Unhex(kIv38A)), 5);
}

TEST(BlockModes, StreamModesOfZeroAndOneByte) {
  Keyed k(Unhex(kKey128));
  for (Mode m : {Mode::kCfb, Mode::kOfb, Mode::kCtr}) {
    Bytes empty;
    EXPECT_EQ(RunMode(m, true, k, empty, Unhex(kIv38A)), 0);
    Bytes one = {0x6b};
    EXPECT_EQ(RunMode(m, true, k, one, Unhex(m == Mode::kCtr ? kCtr38A : kIv38A)), 0);
    EXPECT_EQ(one[0], m == Mode::kCtr ? 0x87 : 0x3b);
  }
}

// Counter runs long enough for the bulk paths (eight blocks at a time with
// AES-NI, sixteen and 32 with VAES) to carry in the middle of a batch and in
// the tail after it, checked block by block against the single block
// function: CTR carries through all sixteen bytes, GCM's GCTR wraps the last
// four only. The carry falls on blocks from the first to the 67th.
TEST(BlockModes, CountersCarryAcrossBatches) {
  cput::OnEveryAesPath([&] {
    Keyed k(Unhex(kKey128));
    std::vector<std::string> starts = {"fffffffffffffffffffffffffffffffa", "0102030405060708090a0b0c0d0e0fff"};
    for (int before : {1, 2, 4, 5, 13, 16, 17, 31, 32, 33, 48, 66}) {
      char low[17];
      snprintf(low, sizeof low, "%016llx", static_cast<unsigned long long>(0 - static_cast<uint64_t>(before)));
      starts.push_back(std::string("00000000000000aa") + low);                  // into the high half
      starts.push_back(std::string("0102030405060708090a0b0c") + (low + 8));  // past inc32's four bytes
    }
    for (const std::string& start : starts) {
      for (int counterBytes : {16, 4}) {
        SCOPED_TRACE(start + " counter bytes " + std::to_string(counterBytes));
        const uint32_t len = 70 * 16 - 5;
        Bytes data(len, 0);
        Bytes counter = Unhex(start);
        if (counterBytes == 16) {
          ASSERT_EQ(NXVT_CTR_Crypt(data.data(), len, k.s(), counter.data(), 16, k.desc->encryptBlock), 0);
        } else {
          NXVT_GCM_GCTR(data.data(), counter.data(), data.data(), len, 16, k.s(), k.desc->encryptBlock);
        }
        Bytes model = Unhex(start);
        for (uint32_t i = 0; i < len; i += 16) {
          const Bytes ks = EncryptBlock(k, model);
          ASSERT_EQ(Hex(data.data() + i, std::min<uint32_t>(16, len - i)), Hex(ks.data(), std::min<uint32_t>(16, len - i)))
              << "block " << i / 16;
          for (int b = 15, carry = 1; b >= 16 - counterBytes; --b) {
            const int v = model[b] + carry;
            model[b] = static_cast<unsigned char>(v);
            carry = v >> 8;
          }
        }
        EXPECT_EQ(Hex(counter), Hex(model)) << "counter left for the next call";
      }
    }
  });
}

TEST(BlockModes, Pkcs7PadLengths) {
  struct Case {
    uint32_t len;
    uint32_t padded;
    unsigned char pad;
  };
  for (const Case c : {Case{0, 16, 0x10}, Case{16, 32, 0x10}, Case{17, 32, 0x0f}, Case{31, 32, 0x01}}) {
    Bytes in(c.len, 0x55);
    Bytes out(c.padded + 4, 0xEE);
    ASSERT_EQ(NXVT_PKCS7_Pad(out.data(), in.data(), c.len, 16), c.padded);
    for (uint32_t i = 0; i < c.len; ++i) ASSERT_EQ(out[i], 0x55);
    for (uint32_t i = c.len; i < c.padded; ++i) ASSERT_EQ(out[i], c.pad) << c.len;
    EXPECT_EQ(out[c.padded], 0xEE);  // nothing beyond the padded length
  }
}

TEST(BlockModes, Inc32TouchesOnlyTheLastFourBytes) {
  unsigned char block[20];
  memset(block, 0xff, sizeof block);
  block[16] = 0x77;  // sentinel after the block
  NXVT_GCM_Inc32(block, 16);
  EXPECT_EQ(Hex(block, 16), "ffffffffffffffffffffffff00000000");
  EXPECT_EQ(block[16], 0x77);
  Bytes b = Unhex("000000000000000000000000000000fe");
  NXVT_GCM_Inc32(b.data(), 16);
  EXPECT_EQ(Hex(b), "000000000000000000000000000000ff");
}

TEST(BlockModes, GcmPublishedVectors) {
  cput::OnEveryAesPath([&] {
    const char* k = "feffe9928665731c6d6a8f9467308308";
    const char* p =
        "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a721c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657"
        "ba637b39";
    const char* a = "feedfacedeadbeeffeedfacedeadbeefabaddad2";
    const char* iv60 =
        "9313225df88406e555909c5aff5269aa6a7a9538534f7da1e4c303d2a318a728c3c0c95156809539fcf0e2429a6b525416aedbf5a0de6a57"
        "a637b39b";
    const std::string k256 = std::string(k) + k;
    struct Case {
      std::string key;
      const char* iv;
      const char* plain;
      const char* aad;
      const char* cipher;
      const char* tag;
    };
    const Case cases[] = {
        // Published GCM test cases 1, 4, 5 (8-byte IV), 6 (60-byte IV), 13, 16, 17, 18.
        {"00000000000000000000000000000000", "000000000000000000000000", "", "", "", "58e2fccefa7e3061367f1d57a4e7455a"},
        {k, "cafebabefacedbaddecaf888", p, a,
         "42831ec2217774244b7221b784d0d49ce3aa212f2c02a4e035c17e2329aca12e21d514b25466931c7d8f6a5aac84aa051ba30b396a0aac97"
         "3d58e091",
         "5bc94fbc3221a5db94fae95ae7121a47"},
        {k, "cafebabefacedbad", p, a,
         "61353b4c2806934a777ff51fa22a4755699b2a714fcdc6f83766e5f97b6c742373806900e49f24b22b097544d4896b424989b5e1ebac0f07"
         "c23f4598",
         "3612d2e79e3b0785561be14aaca2fccb"},
        {k, iv60, p, a,
         "8ce24998625615b603a033aca13fb894be9112a5c3a211a8ba262a3cca7e2ca701e4a9a4fba43c90ccdcb281d48c7c6fd62875d2aca41703"
         "4c34aee5",
         "619cc5aefffe0bfa462af43c1699d050"},
        {std::string(64, '0'), "000000000000000000000000", "", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
        {k256, "cafebabefacedbaddecaf888", p, a,
         "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0a"
         "bcc9f662",
         "76fc6ece0f4e1768cddf8853bb2d551b"},
        {k256, "cafebabefacedbad", p, a,
         "c3762df1ca787d32ae47c13bf19844cbaf1ae14d0b976afac52ff7d79bba9de0feb582d33934a4f0954cc2363bc73f7862ac430e64abe499"
         "f47c9b1f",
         "3a337dbf46a792c45e454913fe2ea8f2"},
        {k256, iv60, p, a,
         "5a8def2f0c9e53f1f75d7853659e2a20eeb2b22aafde6419a058ab4f6f746bf40fc0c3b780f244452da3ebf1c5d82cdea2418997200ef82e"
         "44ae7e3f",
         "a44a8266ee1c8eb0c8b5d4cf5ae9f19a"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.tag);
      Keyed key(Unhex(c.key));
      const Bytes iv = Unhex(c.iv), aad = Unhex(c.aad);
      Bytes data = Unhex(c.plain);
      unsigned char tag[16];
      ASSERT_EQ(NXVT_GCM_Encrypt(data.data(), static_cast<uint32_t>(data.size()), tag, aad.data(),
                                 static_cast<uint32_t>(aad.size()), key.s(), iv.data(),
                                 static_cast<uint32_t>(iv.size()), 16, key.desc->encryptBlock),
                0);
      EXPECT_EQ(Hex(data), c.cipher);
      EXPECT_EQ(Hex(tag, 16), c.tag);
      unsigned char tag2[16];
      ASSERT_EQ(NXVT_GCM_Decrypt(data.data(), static_cast<uint32_t>(data.size()), tag2, aad.data(),
                                 static_cast<uint32_t>(aad.size()), key.s(), iv.data(),
                                 static_cast<uint32_t>(iv.size()), 16, key.desc->encryptBlock),
                0);
      EXPECT_EQ(Hex(data), c.plain);
      EXPECT_EQ(Hex(tag2, 16), c.tag);
    }
  });
}

TEST(BlockModes, GcmRefusesBadBlockSizeAndEmptyIv) {
  Keyed key(Unhex(kKey128));
  unsigned char iv[12] = {0}, tag[16];
  Bytes data(8, 1);
  EXPECT_EQ(NXVT_GCM_Encrypt(data.data(), 8, tag, nullptr, 0, key.s(), iv, 12, 8, key.desc->encryptBlock), -1);
  EXPECT_EQ(NXVT_GCM_Encrypt(data.data(), 8, tag, nullptr, 0, key.s(), iv, 0, 16, key.desc->encryptBlock), -1);
  EXPECT_EQ(NXVT_GCM_Decrypt(data.data(), 8, tag, nullptr, 0, key.s(), iv, 0, 16, key.desc->encryptBlock), -1);
  EXPECT_EQ(Hex(data), "0101010101010101");
}

namespace {

struct CcmCase {
  const char* nonce;
  Bytes aad;
  Bytes plain;
  uint32_t tagLen;
  const char* out;  // ciphertext followed by the tag
};

Bytes Range(int from, int to) {
  Bytes b;
  for (int i = from; i < to; ++i) b.push_back(static_cast<unsigned char>(i));
  return b;
}

}  // namespace

TEST(BlockModes, CcmSp800_38cExamples) {
  cput::OnEveryAesPath([&] {
    Bytes bigAad;
    for (int i = 0; i < 256; ++i) {
      const Bytes r = Range(0, 256);
      bigAad.insert(bigAad.end(), r.begin(), r.end());
    }
    ASSERT_EQ(bigAad.size(), 65536u);  // example 4: the FF FE + 4-byte AAD length form
    const CcmCase cases[] = {
        {"10111213141516", Range(0, 8), Range(0x20, 0x24), 4, "7162015b4dac255d"},
        {"1011121314151617", Range(0, 16), Range(0x20, 0x30), 6, "d2a1f0e051ea5f62081a7792073d593d1fc64fbfaccd"},
        {"101112131415161718191a1b", Range(0, 20), Range(0x20, 0x38), 8,
         "e3b201a9f5b71a7a9b1ceaeccd97e70b6176aad9a4428aa5484392fbc1b09951"},
        {"101112131415161718191a1b1c", bigAad, Range(0x20, 0x40), 14,
         "69915dad1e84c6376a68c2967e4dab615ae0fd1faec44cc484828529463ccf72b4ac6bec93e8598e7f0dadbcea5b"},
    };
    Keyed key(Unhex("404142434445464748494a4b4c4d4e4f"));
    for (const auto& c : cases) {
      SCOPED_TRACE(c.nonce);
      const Bytes nonce = Unhex(c.nonce);
      const auto n = static_cast<uint32_t>(nonce.size());
      Bytes data = c.plain;
      data.resize(c.plain.size() + c.tagLen);
      ASSERT_EQ(NXVT_CCM_Encrypt(data.data(), static_cast<uint32_t>(c.plain.size()), c.tagLen, nonce.data(), n,
                                 c.aad.data(), static_cast<uint32_t>(c.aad.size()), key.s(), 16,
                                 key.desc->encryptBlock),
                0);
      EXPECT_EQ(Hex(data), c.out);
      ASSERT_EQ(NXVT_CCM_Decrypt(data.data(), static_cast<uint32_t>(data.size()), c.tagLen, nonce.data(), n,
                                 c.aad.data(), static_cast<uint32_t>(c.aad.size()), key.s(), 16,
                                 key.desc->encryptBlock),
                0);
      EXPECT_EQ(Hex(data.data(), c.plain.size()), Hex(c.plain));

      // A changed tag byte is refused and the buffer keeps the ciphertext.
      Bytes bad = Unhex(c.out);
      bad.back() ^= 1;
      const Bytes before = bad;
      EXPECT_EQ(NXVT_CCM_Decrypt(bad.data(), static_cast<uint32_t>(bad.size()), c.tagLen, nonce.data(), n,
                                 c.aad.data(), static_cast<uint32_t>(c.aad.size()), key.s(), 16,
                                 key.desc->encryptBlock),
                -1);
      EXPECT_EQ(Hex(bad), Hex(before));
    }
  });
}

TEST(BlockModes, CcmAadLengthForms) {
  cput::OnEveryAesPath([&] {
    const Bytes nonce = Unhex("10111213141516");
    struct Case {
      uint32_t aadLen;
      const char* head;  // bytes 16.. of the formatted input
    };
    for (const Case c : {Case{1, "0001"}, Case{65279, "feff"}, Case{65280, "fffe0000ff00"},
                         Case{70000, "fffe00011170"}}) {
      const Bytes aad(c.aadLen, 0xAB);
      const Bytes payload(3, 0xCD);
      Bytes out(NXVT_CCM_FormattedLength(c.aadLen, 3));
      size_t len = 0;
      NXVT_CCM_FormatHeader(out.data(), &len, nonce.data(), 7, aad.data(), c.aadLen, payload.data(), 3, 8);
      ASSERT_EQ(len, out.size());
      ASSERT_EQ(len % 16, 0u);
      const std::string head = c.head;
      EXPECT_EQ(Hex(out.data() + 16, head.size() / 2), head) << c.aadLen;
      EXPECT_EQ(out[0], 0x40 | (3 << 3) | 7);
      EXPECT_EQ(Hex(out.data() + 13, 3), "000003");
      const size_t aadEnd = 16 + head.size() / 2 + c.aadLen;
      EXPECT_EQ(out[aadEnd - 1], 0xAB);
      const size_t payloadAt = (aadEnd + 15) / 16 * 16;
      EXPECT_EQ(Hex(out.data() + payloadAt, 3), "cdcdcd");
    }
  });
}

TEST(BlockModes, CcmParameterRules) {
  Keyed key(Unhex("404142434445464748494a4b4c4d4e4f"));
  const Bytes nonce(14, 0x11);
  auto enc = [&](uint32_t nonceLen, uint32_t tagLen, uint32_t payload) {
    Bytes data(payload + 16, 0);
    return NXVT_CCM_Encrypt(data.data(), payload, tagLen, nonce.data(), nonceLen, nullptr, 0, key.s(), 16,
                            key.desc->encryptBlock);
  };
  for (uint32_t n = 7; n <= 13; ++n) EXPECT_EQ(enc(n, 8, 10), 0) << n;
  for (uint32_t t = 4; t <= 16; t += 2) EXPECT_EQ(enc(12, t, 10), 0) << t;
  for (uint32_t n : {0u, 6u, 14u}) EXPECT_EQ(enc(n, 8, 10), -1) << n;
  for (uint32_t t : {0u, 2u, 5u, 15u, 18u}) EXPECT_EQ(enc(12, t, 10), -1) << t;
  // A 13-byte nonce leaves a 2-byte length field: 65535 bytes fit, 65536 do not.
  EXPECT_EQ(enc(13, 8, 65535), 0);
  EXPECT_EQ(enc(13, 8, 65536), -1);
  EXPECT_EQ(enc(12, 8, 65536), 0);
  Bytes data(20, 0);
  EXPECT_EQ(NXVT_CCM_Decrypt(data.data(), 7, 8, nonce.data(), 12, nullptr, 0, key.s(), 16, key.desc->encryptBlock),
            -1);
  Bytes big(65536 + 8, 0);
  EXPECT_EQ(NXVT_CCM_Decrypt(big.data(), 65536 + 8, 8, nonce.data(), 13, nullptr, 0, key.s(), 16,
                             key.desc->encryptBlock),
            -1);
  EXPECT_EQ(NXVT_CCM_Encrypt(data.data(), 4, 8, nonce.data(), 12, nullptr, 0, key.s(), 8, key.desc->encryptBlock), -1);
}

TEST(BlockModes, ConstantTimeEqualFindsEveryDifference) {
  const Bytes a = Unhex("00112233445566778899aabbccddeeff");
  for (size_t i = 0; i < a.size(); ++i) {
    for (unsigned char bit = 1; bit != 0; bit = static_cast<unsigned char>(bit << 1)) {
      Bytes b = a;
      b[i] ^= bit;
      ASSERT_FALSE(ConstantTimeEqual(a.data(), b.data(), a.size()));
    }
  }
  EXPECT_TRUE(ConstantTimeEqual(a.data(), a.data(), a.size()));
}
