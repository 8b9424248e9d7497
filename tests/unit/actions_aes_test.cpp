// The AES actions through RunModule: FIPS 197 and SP 800-38A values in every
// plain mode, GCM through the authenticated action, round trips, and the
// refusals of the exports with their exact reply objects.
#include <gtest/gtest.h>

#include <string>

#include "reply_text_testing.h"

namespace {

using rtt::Case;

constexpr char kKey128[] = "0x2b7e151628aed2a6abf7158809cf4f3c";
constexpr char kIv[] = "0x000102030405060708090a0b0c0d0e0f";
constexpr char kPlain[] = "0x6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51";

std::string Args(const std::string& isenc, const std::string& data, const std::string& key, const std::string& iv,
                 const std::string& mode, const std::string& pad) {
  return R"({"isenc":")" + isenc + R"(","data":")" + data + R"(","key":")" + key + R"(","iv":")" + iv +
         R"(","mode":")" + mode + R"(","pad":")" + pad + R"("})";
}

// FIPS 197 appendix C and SP 800-38A appendix F (two blocks each), one row
// per mode, encrypted and decrypted back.
TEST(GenAES, KnownValuesBothWays) {
  const struct {
    const char* key;
    const char* iv;
    const char* mode;
    const char* pad;
    const char* plain;
    const char* cipher;
  } cases[] = {
      {"0x000102030405060708090a0b0c0d0e0f", "", "ecb", "none_pad", "0x00112233445566778899aabbccddeeff",
       "0x69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"0x000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "", "ECB", "NONE_PAD",
       "0x00112233445566778899aabbccddeeff", "0x8ea2b7ca516745bfeafc49904b496089"},
      {kKey128, kIv, "CBC", "NONE_PAD", kPlain,
       "0x7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
      {"0x603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", kIv, "cbc", "none_pad", kPlain,
       "0xf58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"},
      // PKCS#7 adds a whole block to whole blocks.
      {kKey128, kIv, "CBC", "PKCS7_PAD", kPlain,
       "0x7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b255e21d7100b988ffec32feeafaf23538"},
      {kKey128, kIv, "cfb", "", kPlain, "0x3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b"},
      {kKey128, kIv, "ofb", "", kPlain, "0x3b3fd92eb72dad20333449f8e83cfb4a7789508d16918f03f53c52dac54ed825"},
      {kKey128, "0xf0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", "ctr", "", kPlain,
       "0x874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"},
      // Stream modes keep the length.
      {kKey128, "0xf0f1f2f3f4f5f6f7f8f9fafbfcfdfeff", "CTR", "", "0x6bc1be", "0x874d61"},
  };
  for (const auto& c : cases) {
    const std::string enc = Args("true", c.plain, c.key, c.iv, c.mode, c.pad);
    EXPECT_EQ(rtt::Run("GenAES", enc).ret, enc.substr(0, enc.size() - 1) + R"(,"encrypt":")" + c.cipher + "\"}");
    const std::string dec = Args("false", c.cipher, c.key, c.iv, c.mode, c.pad);
    EXPECT_EQ(rtt::Run("GenAES", dec).ret, dec.substr(0, dec.size() - 1) + R"(,"decrypt":")" + c.plain + "\"}");
  }
}

TEST(GenAES, Replies) {
  const Case cases[] = {
      // No mode and no padding: CBC with PKCS#7; an empty message is one block of padding.
      {"GenAES", R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","encrypt":"0xe717d9be0bd90f750b58e38385f082ab"})"},
      {"GenAES", R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"bogus"})",
       R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"bogus","pad":"","encrypt":"0x07feef74e1d5036e900eee118e949293"})"},
      {"GenAES", R"({"data":"0x07feef74e1d5036e900eee118e949293","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"isenc":"","data":"0x07feef74e1d5036e900eee118e949293","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","decrypt":""})"},
      {"GenAES", R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"err_code":"419","isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","err_msg":"$ERR(GenAESEncrypt)[BCMGenAESEncrypt][BCMGenAESEncrypt:670][(param is invalid [key length is invalid[15])]"})"},
      {"GenAES", R"({"isenc":"true","data":"abc","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"err_code":"419","isenc":"true","data":"abc","key":"","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","err_msg":"$ERR(GenAESEncrypt)[BCMGenAESEncrypt][BCMGenAESEncrypt:670][(param is invalid [key length is invalid[0])]"})"},
      // The authenticated modes belong to the other action.
      {"GenAES", R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"gcm"})",
       R"({"err_code":"419","isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"gcm","pad":"","err_msg":"$ERR(GenAESEncrypt)[BCMGenAESEncrypt][BCMGenAESEncrypt:676][(param is invalid [not support mode[11])]"})"},
      {"GenAES", R"({"isenc":"false","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"ccm"})",
       R"({"err_code":"432","isenc":"false","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"ccm","pad":"","err_msg":"$ERR(GenAESDecrypt)[BCMGenAESDecrypt][BCMGenAESDecrypt:743][(param is invalid [not support mode[12])]"})"},
      {"GenAES", R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","mode":"cfb"})",
       R"({"err_code":"419","isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"","mode":"cfb","pad":"","err_msg":"$ERR(GenAESEncrypt)[BCMGenAESEncrypt][BCMGenAESEncrypt:688][(param is invalid [iv is invalid[0])]"})"},
      {"GenAES", R"({"isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","pad":"NONE_PAD"})",
       R"({"err_code":"419","isenc":"true","data":"abc","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"NONE_PAD","err_msg":"$ERR(GenAESEncrypt)[BCMGenAESEncrypt][AESEncrypt:55<-BCMGenAESEncrypt:707][(bc-module AESEncrypt error)]"})"},
      // A ciphertext that is no whole block, and one whose padding is wrong.
      {"GenAES", R"({"data":"0x0011","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"err_code":"432","isenc":"","data":"0x0011","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","err_msg":"$ERR(GenAESDecrypt)[BCMGenAESDecrypt][AESDecrypt:113<-BCMGenAESDecrypt:774][(bc-module AESDecrypt error)]"})"},
      {"GenAES", R"({"data":"0x00112233445566778899aabbccddeeff","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f"})",
       R"({"err_code":"432","isenc":"","data":"0x00112233445566778899aabbccddeeff","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","mode":"","pad":"","err_msg":"$ERR(GenAESDecrypt)[BCMGenAESDecrypt][AESDecrypt:113<-BCMGenAESDecrypt:774][(bc-module AESDecrypt error)]"})"},
  };
  rtt::ExpectReplies(cases);
}

// GCM with a 16-byte IV (values from an independent AES-GCM): ciphertext and
// tag on encryption, the plaintext back on decryption; "mode" is neither
// used nor echoed.
TEST(GenAESAuth, Replies) {
  const Case cases[] = {
      {"GenAESAuth", R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","taglen":"16"})",
       R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"","taglen":"16","encrypt":"0x106bbb741ebe4517d893f9dec72b4c8f"})"},
      {"GenAESAuth", R"({"isenc":"true","data":"0x00112233445566778899aabbccddeeff","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"hdr","taglen":"0x10","mode":"CCM"})",
       R"({"isenc":"true","data":"0x00112233445566778899aabbccddeeff","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"hdr","taglen":"0x10","encrypt":"0xaab9b1adddd7afb47921bdd548a24600ef7d039b9444d5a64822e0aeee3abc8b"})"},
      {"GenAESAuth", R"({"isenc":"false","data":"0xaab9b1adddd7afb47921bdd548a24600ef7d039b9444d5a64822e0aeee3abc8b","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"0x686472","taglen":"16","mode":"gcm"})",
       R"({"isenc":"false","data":"0xaab9b1adddd7afb47921bdd548a24600ef7d039b9444d5a64822e0aeee3abc8b","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"0x686472","taglen":"16","decrypt":"0x00112233445566778899aabbccddeeff"})"},
      // AES-256 with a 12-byte tag.
      {"GenAESAuth", R"({"isenc":"true","data":"hello world","key":"0x000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"0xfeedface","taglen":"12"})",
       R"({"isenc":"true","data":"hello world","key":"0x000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"0xfeedface","taglen":"12","encrypt":"0x0f09cc1a56c43d47ef93bf38e56a431d1d5e8ce7e5b514"})"},
      // One bit of the tag changed; the wrong authenticated data.
      {"GenAESAuth", R"({"isenc":"false","data":"0x106bbb741ebe4517d893f9dec72b4c8e","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","taglen":"16"})",
       R"({"err_code":"483","isenc":"false","data":"0x106bbb741ebe4517d893f9dec72b4c8e","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"","taglen":"16","err_msg":"$ERR(GenAESDecryptAuth)[BCMGenAESDecryptAuth][AESDecryptAuth:248<-BCMGenAESDecryptAuth:903][(bc-vantrel AESDecryptAuth error)]"})"},
      {"GenAESAuth", R"({"isenc":"false","data":"0xaab9b1adddd7afb47921bdd548a24600ef7d039b9444d5a64822e0aeee3abc8b","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"hdx","taglen":"16"})",
       R"({"err_code":"483","isenc":"false","data":"0xaab9b1adddd7afb47921bdd548a24600ef7d039b9444d5a64822e0aeee3abc8b","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"hdx","taglen":"16","err_msg":"$ERR(GenAESDecryptAuth)[BCMGenAESDecryptAuth][AESDecryptAuth:248<-BCMGenAESDecryptAuth:903][(bc-vantrel AESDecryptAuth error)]"})"},
      // A tag length that is no number, and an IV of the wrong length.
      {"GenAESAuth", R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","taglen":"sixteen"})",
       R"({"err_code":"100","err_msg":"taglen is not a number"})"},
      {"GenAESAuth", R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x0001","taglen":"16"})",
       R"({"err_code":"469","isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x0001","authdata":"","taglen":"16","err_msg":"$ERR(GenAESEncryptAuth)[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[2 must 16Byte] TagLen[16 must smaller than 16])]"})"},
      {"GenAESAuth", R"({"isenc":"true","data":"","key":"0x0001","iv":"0x000102030405060708090a0b0c0d0e0f","taglen":"16"})",
       R"({"err_code":"469","isenc":"true","data":"","key":"0x0001","iv":"0x000102030405060708090a0b0c0d0e0f","authdata":"","taglen":"16","err_msg":"$ERR(GenAESEncryptAuth)[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:805][(param is invalid [key length is invalid[2])]"})"},
      {"GenAESAuth", R"({"isenc":"true","data":"","key":"0x000102030405060708090a0b0c0d0e0f","iv":"0x000102030405060708090a0b0c0d0e0f","taglen":"99999999999"})",
       R"({"err_code":"100","err_msg":"number is out of range"})"},
  };
  rtt::ExpectReplies(cases);
}

}  // namespace
