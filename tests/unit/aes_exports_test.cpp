// The AES exports: codes and trail texts of their checks, size queries,
// capacities and whole results.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>
#include <string>

#include "tolvaris/bcm_aes.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

int I(size_t n) { return static_cast<int>(n); }
uint32_t U(size_t n) { return static_cast<uint32_t>(n); }

struct Call {
  int rc;
  int len;
  Bytes out;
};

// Calls an export with `capacity` bytes of room (a negative capacity means a
// size query) and checks that nothing is written past the capacity.
Call Run(int capacity, const std::function<int(unsigned char*, int*)>& f) {
  Bytes buf(static_cast<size_t>(capacity < 0 ? 0 : capacity) + 16, 0xC5);
  Call c;
  c.len = capacity < 0 ? 777 : capacity;
  c.rc = f(capacity < 0 ? nullptr : buf.data(), &c.len);
  for (size_t i = static_cast<size_t>(capacity < 0 ? 0 : capacity); i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xC5) << "written past the capacity";
  if (c.rc == 0 && capacity >= 0) buf.resize(static_cast<size_t>(c.len));
  c.out = buf;
  return c;
}

struct Args {
  Bytes in = Bytes(20, 0x41);
  Bytes key = Bytes(16, 0x4b);
  Bytes iv = Bytes(16, 0x49);
  uint32_t mode = 2;
  uint32_t pad = 1;
  Bytes aad = Bytes(4, 0x44);
  int tag = 16;
  bool nullIn = false, nullIv = false, nullAad = false;
  // An empty input is still a non-null pointer unless a test asks for null.
  const unsigned char* In() const {
    static const unsigned char kEmpty[1] = {0};
    return nullIn ? nullptr : in.empty() ? kEmpty : in.data();
  }
  const unsigned char* Iv() const { return nullIv ? nullptr : iv.data(); }
  const unsigned char* Aad() const { return nullAad ? nullptr : aad.data(); }
};

enum class Fn { kEnc, kDec, kEncAuth, kDecAuth };

Call Do(Fn fn, const Args& a, int capacity) {
  return Run(capacity, [&](unsigned char* out, int* len) {
    switch (fn) {
      case Fn::kEnc:
        return BCMGenAESEncrypt(a.In(), U(a.in.size()), a.key.data(), U(a.key.size()), a.Iv(), I(a.iv.size()),
                                a.mode, a.pad, out, len);
      case Fn::kDec:
        return BCMGenAESDecrypt(a.In(), U(a.in.size()), a.key.data(), U(a.key.size()), a.Iv(), I(a.iv.size()),
                                a.mode, a.pad, out, len);
      case Fn::kEncAuth:
        return BCMGenAESEncryptAuth(a.In(), U(a.in.size()), a.key.data(), U(a.key.size()), a.Iv(), I(a.iv.size()),
                                    a.mode, a.Aad(), U(a.aad.size()), a.tag, out, len);
      case Fn::kDecAuth:
        return BCMGenAESDecryptAuth(a.In(), U(a.in.size()), a.key.data(), U(a.key.size()), a.Iv(), I(a.iv.size()),
                                    a.mode, a.Aad(), U(a.aad.size()), a.tag, out, len);
    }
    return -1;
  });
}

Args Gcm() {
  Args a;
  a.mode = 11;
  return a;
}

}  // namespace

TEST(AesExports, FailureCodesAndTrail) {
  struct Case {
    Fn fn;
    std::function<void(Args&)> change;
    int capacity;
    int code;
    const char* trail;
  };
  auto gcm = [](Args& a) { a.mode = 11; };
  const Case cases[] = {
      {Fn::kEnc, [](Args& a) { a.nullIn = true; a.in.clear(); }, 64, 664,
       "[BCMGenAESEncrypt][BCMGenAESEncrypt:664][(param is NULL)]"},
      {Fn::kEnc, [](Args& a) { a.key.resize(24); a.mode = 4; }, 64, 670,
       "[BCMGenAESEncrypt][BCMGenAESEncrypt:670][(param is invalid [key length is invalid[24])]"},
      {Fn::kEnc, [](Args& a) { a.mode = 4; }, 64, 676,
       "[BCMGenAESEncrypt][BCMGenAESEncrypt:676][(param is invalid [not support mode[4])]"},
      {Fn::kEnc, [](Args& a) { a.mode = 1; a.pad = 2; }, 64, 682,
       "[BCMGenAESEncrypt][BCMGenAESEncrypt:682][(param is invalid [pad is invalid[2])]"},
      {Fn::kEnc, [](Args& a) { a.mode = 9; a.iv.resize(12); }, 64, 688,
       "[BCMGenAESEncrypt][BCMGenAESEncrypt:688][(param is invalid [iv is invalid[12])]"},
      {Fn::kEnc, [](Args&) {}, 31, 701, "[BCMGenAESEncrypt][BCMGenAESEncrypt:701][(buffer size[31] is lower than [32])]"},
      {Fn::kEnc, [](Args& a) { a.pad = 0; }, 64, 707,
       "[BCMGenAESEncrypt][AESEncrypt:55<-BCMGenAESEncrypt:707][(bc-module AESEncrypt error)]"},
      {Fn::kEnc, [](Args& a) { a.iv.resize(20); }, 64, 707,
       "[BCMGenAESEncrypt][AESEncrypt:38<-BCMGenAESEncrypt:707][(bc-module AESEncrypt error)]"},
      {Fn::kDec, [](Args& a) { a.nullIn = true; }, 64, 731,
       "[BCMGenAESDecrypt][BCMGenAESDecrypt:731][(param is NULL)]"},
      {Fn::kDec, [](Args& a) { a.key = Bytes(15, 1); }, 64, 737,
       "[BCMGenAESDecrypt][BCMGenAESDecrypt:737][(param is invalid [key length is invalid[15])]"},
      {Fn::kDec, [](Args& a) { a.mode = 0; }, 64, 743,
       "[BCMGenAESDecrypt][BCMGenAESDecrypt:743][(param is invalid [not support mode[0])]"},
      {Fn::kDec, [](Args& a) { a.pad = 5; }, 64, 749,
       "[BCMGenAESDecrypt][BCMGenAESDecrypt:749][(param is invalid [pad is invalid[5])]"},
      {Fn::kDec, [](Args& a) { a.nullIv = true; }, 64, 755,
       "[BCMGenAESDecrypt][BCMGenAESDecrypt:755][(param is invalid [iv is invalid[16])]"},
      {Fn::kDec, [](Args&) {}, 19, 768, "[BCMGenAESDecrypt][BCMGenAESDecrypt:768][(buffer size[19] is lower than [20])]"},
      {Fn::kDec, [](Args&) {}, 64, 774,
       "[BCMGenAESDecrypt][AESDecrypt:113<-BCMGenAESDecrypt:774][(bc-module AESDecrypt error)]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.nullIv = true; }, 64, 799,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:799][(param is NULL)]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.nullAad = true; a.aad.clear(); }, 64, 799,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:799][(param is NULL)]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.key.resize(24); }, 64, 805,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:805][(param is invalid [key length is invalid[24])]"},
      {Fn::kEncAuth, [](Args& a) { a.mode = 2; }, 64, 811,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:811][(param is invalid [not support mode[2])]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.tag = 17; }, 64, 818,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[16 must 16Byte] TagLen[17 must "
       "smaller than 16])]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.iv.resize(12); }, 64, 818,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[12 must 16Byte] TagLen[16 must "
       "smaller than 16])]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.tag = 0; }, 64, 818,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[16 must 16Byte] TagLen[0 must "
       "smaller than 16])]"},
      {Fn::kEncAuth, [](Args& a) { a.mode = 12; }, 64, 818,  // CCM takes a 7..13-byte nonce
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[16 must 16Byte] TagLen[16 must "
       "smaller than 16])]"},
      {Fn::kEncAuth, [](Args& a) { a.mode = 12; a.iv.resize(12); a.tag = 9; }, 64, 818,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:818][(param is invalid [IVLen[12 must 16Byte] TagLen[9 must "
       "smaller than 16])]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); }, 35, 831,
       "[BCMGenAESEncryptAuth][BCMGenAESEncryptAuth:831][(buffer size[35] is lower than [36])]"},
      {Fn::kEncAuth, [&](Args& a) { gcm(a); a.iv.resize(20); }, 64, 839,
       "[BCMGenAESEncryptAuth][AESEncryptAuth:151<-BCMGenAESEncryptAuth:839][(bc-vantrel AESEncryptAuth error)]"},
      {Fn::kDecAuth, [&](Args& a) { gcm(a); a.nullIn = true; }, 64, 863,
       "[BCMGenAESDecryptAuth][BCMGenAESDecryptAuth:863][(param is NULL)]"},
      {Fn::kDecAuth, [&](Args& a) { gcm(a); a.key.resize(8); }, 64, 869,
       "[BCMGenAESDecryptAuth][BCMGenAESDecryptAuth:869][(param is invalid [key length is invalid[8])]"},
      {Fn::kDecAuth, [](Args& a) { a.mode = 1; }, 64, 875,
       "[BCMGenAESDecryptAuth][BCMGenAESDecryptAuth:875][(param is invalid [not support mode[1])]"},
      {Fn::kDecAuth, [&](Args& a) { gcm(a); a.tag = 3; }, 64, 882,
       "[BCMGenAESDecryptAuth][BCMGenAESDecryptAuth:882][(param is invalid [IVLen[16 must 16Byte] TagLen[3 must "
       "smaller than 16])]"},
      {Fn::kDecAuth, [&](Args& a) { gcm(a); }, 19, 895,
       "[BCMGenAESDecryptAuth][BCMGenAESDecryptAuth:895][(buffer size[19] is lower than [20])]"},
      {Fn::kDecAuth, [&](Args& a) { gcm(a); }, 64, 903,
       "[BCMGenAESDecryptAuth][AESDecryptAuth:248<-BCMGenAESDecryptAuth:903][(bc-vantrel AESDecryptAuth error)]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trail);
    Args a;
    c.change(a);
    const Call r = Do(c.fn, a, c.capacity);
    EXPECT_EQ(r.rc, c.code);
    EXPECT_EQ(tvt::LastErr(), c.trail);
  }
}

TEST(AesExports, SizeQueriesUseTheKeyLengthAsUnit) {
  struct Case {
    Fn fn;
    size_t keyLen, inLen;
    uint32_t mode;
    int tag;
    int needed;
  };
  const Case cases[] = {
      {Fn::kEnc, 16, 20, 2, 0, 32},     {Fn::kEnc, 32, 20, 2, 0, 32},      {Fn::kEnc, 32, 40, 2, 0, 64},
      {Fn::kEnc, 16, 0, 9, 0, 16},      {Fn::kDec, 32, 48, 2, 0, 48},      {Fn::kEncAuth, 16, 20, 11, 16, 36},
      {Fn::kEncAuth, 32, 20, 11, 16, 36}, {Fn::kEncAuth, 32, 20, 11, 4, 24}, {Fn::kDecAuth, 16, 36, 11, 16, 36},
  };
  for (const auto& c : cases) {
    Args a;
    a.key = Bytes(c.keyLen, 1);
    a.in = Bytes(c.inLen, 2);
    a.mode = c.mode;
    a.tag = c.tag;
    const Call r = Do(c.fn, a, -1);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.len, c.needed) << c.keyLen << "/" << c.inLen;
    const std::string err = tvt::LastErr();
    EXPECT_EQ(err.substr(err.size() - 5), "][][]") << err;
  }
}

TEST(AesExports, EcbTakesNoIv) {
  Args a;
  a.mode = 1;
  a.nullIv = true;
  a.in = Unhex("00112233445566778899aabbccddeeff");
  a.key = Unhex("000102030405060708090a0b0c0d0e0f");
  a.pad = 0;
  const Call r = Do(Fn::kEnc, a, 32);
  ASSERT_EQ(r.rc, 0);
  EXPECT_EQ(Hex(r.out), "69c4e0d86a7b0430d8cdb78070b4c55a");
  EXPECT_EQ(tvt::LastErr(), "[BCMGenAESEncrypt][][]");
}

TEST(AesExports, AuthenticatedRoundTripsAndTheCcmExample) {
  // SP 800-38C example 2 through the exports: 8-byte nonce, 6-byte tag.
  Args c;
  c.mode = 12;
  c.key = Unhex("404142434445464748494a4b4c4d4e4f");
  c.iv = Unhex("1011121314151617");
  c.aad = Unhex("000102030405060708090a0b0c0d0e0f");
  c.in = Unhex("202122232425262728292a2b2c2d2e2f");
  c.tag = 6;
  const Call e = Do(Fn::kEncAuth, c, 22);
  ASSERT_EQ(e.rc, 0);
  EXPECT_EQ(Hex(e.out), "d2a1f0e051ea5f62081a7792073d593d1fc64fbfaccd");
  Args d = c;
  d.in = e.out;
  const Call p = Do(Fn::kDecAuth, d, 22);
  ASSERT_EQ(p.rc, 0);
  EXPECT_EQ(Hex(p.out), "202122232425262728292a2b2c2d2e2f");

  // GCM with a 32-byte key: the output is input plus tag, exactly.
  Args g = Gcm();
  g.key = Bytes(32, 7);
  const Call ge = Do(Fn::kEncAuth, g, 36);
  ASSERT_EQ(ge.rc, 0);
  ASSERT_EQ(ge.out.size(), 36u);
  Args gd = g;
  gd.in = ge.out;
  const Call gp = Do(Fn::kDecAuth, gd, 36);
  ASSERT_EQ(gp.rc, 0);
  EXPECT_EQ(Hex(gp.out), Hex(g.in));

  // A changed tag fails and leaves nothing of the plaintext in the buffer.
  gd.in.back() ^= 1;
  const Call bad = Do(Fn::kDecAuth, gd, 36);
  EXPECT_EQ(bad.rc, 903);
  EXPECT_EQ(Hex(Bytes(bad.out.begin(), bad.out.begin() + 36)), std::string(72, '0'));
}

TEST(AesExports, PlainRoundTripsForEveryMode) {
  tvt::TestRng rng(2104);
  for (uint32_t mode : {1u, 2u, 3u, 5u, 9u}) {
    for (size_t keyLen : {16u, 32u}) {
      Args a;
      a.mode = mode;
      a.key = rng.RandBytes(keyLen);
      a.iv = rng.RandBytes(16);
      a.in = rng.RandBytes(1 + rng.Below(60));
      const Call e = Do(Fn::kEnc, a, 96);
      ASSERT_EQ(e.rc, 0) << mode;
      Args b = a;
      b.in = e.out;
      const Call d = Do(Fn::kDec, b, 96);
      ASSERT_EQ(d.rc, 0) << mode;
      EXPECT_EQ(Hex(d.out), Hex(a.in)) << mode;
    }
  }
}

TEST(AesExports, RandomArgumentsNeverOverrunAndGiveKnownCodes) {
  tvt::TestRng rng(9);
  const std::set<int> known = {0,   664, 670, 676, 682, 688, 701, 707, 731, 737, 743, 749, 755, 768, 774, 799,
                               805, 811, 818, 831, 839, 863, 869, 875, 882, 895, 903};
  const Bytes key = rng.RandBytes(32), iv = rng.RandBytes(20), aad = rng.RandBytes(8);
  for (int iter = 0; iter < 4000; ++iter) {
    Args a;
    a.in = rng.RandBytes(rng.Below(41));
    a.key = Bytes(key.begin(), key.begin() + std::vector<int>{0, 15, 16, 24, 32}[rng.Below(5)]);
    a.iv = Bytes(iv.begin(), iv.begin() + rng.Below(21));
    a.aad = Bytes(aad.begin(), aad.begin() + rng.Below(9));
    a.mode = rng.Below(14);
    a.pad = rng.Below(3);
    a.tag = static_cast<int>(rng.Below(21)) - 2;
    const int capacity = static_cast<int>(rng.Below(82)) - 1;
    const Fn fn = static_cast<Fn>(rng.Below(4));
    const Call r = Do(fn, a, capacity);
    ASSERT_TRUE(known.count(r.rc)) << r.rc;
    if (r.rc == 0 && capacity >= 0) {
      ASSERT_LE(r.len, capacity);
    }
  }
}
