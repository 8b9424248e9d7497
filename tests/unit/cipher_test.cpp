// Cipher context, mode dispatch and AES front ends: whole outputs against
// OpenSSL for every mode, the front ends' codes, capacities, tag rules, and
// the Wycheproof AES-GCM, AES-CCM and AES-CBC-PKCS5 files.
#include "crypto/aes/cipher.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <functional>
#include <iterator>
#include <map>
#include <string>

#include "aes_testing.h"
#include "cpu_paths_testing.h"
#include "crypto/aes/block_modes.h"
#include "ghash_testing.h"
#include "trail/trail.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

uint32_t U(size_t n) { return static_cast<uint32_t>(n); }
int32_t I(size_t n) { return static_cast<int32_t>(n); }
// The front ends want non-null pointers even for empty inputs.
const unsigned char* P(const Bytes& b) {
  static const unsigned char kEmpty[1] = {0};
  return b.empty() ? kEmpty : b.data();
}

// ---- OpenSSL oracles -------------------------------------------------------

const EVP_CIPHER* EvpPlain(AESMode mode, size_t keyLen) {
  const bool b = keyLen == 32;
  switch (mode) {
    case kAesModeEcb: return b ? EVP_aes_256_ecb() : EVP_aes_128_ecb();
    case kAesModeCbc: return b ? EVP_aes_256_cbc() : EVP_aes_128_cbc();
    case kAesModeCfb: return b ? EVP_aes_256_cfb128() : EVP_aes_128_cfb128();
    case kAesModeOfb: return b ? EVP_aes_256_ofb() : EVP_aes_128_ofb();
    case kAesModeCtr: return b ? EVP_aes_256_ctr() : EVP_aes_128_ctr();
    default: return nullptr;
  }
}

Bytes OsslEncrypt(AESMode mode, const Bytes& key, const Bytes& iv, const Bytes& in, bool pad) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(c, EvpPlain(mode, key.size()), nullptr, key.data(), iv.empty() ? nullptr : iv.data());
  EVP_CIPHER_CTX_set_padding(c, pad ? 1 : 0);
  Bytes out(in.size() + 32);
  int n = 0, m = 0;
  EVP_EncryptUpdate(c, out.data(), &n, P(in), I(in.size()));
  EVP_EncryptFinal_ex(c, out.data() + n, &m);
  EVP_CIPHER_CTX_free(c);
  out.resize(static_cast<size_t>(n + m));
  return out;
}

// Ciphertext followed by the tag.
Bytes OsslAead(AESMode mode, const Bytes& key, const Bytes& iv, const Bytes& aad, const Bytes& in, int tagLen) {
  const bool b = key.size() == 32;
  const EVP_CIPHER* ciph = mode == kAesModeGcm ? (b ? EVP_aes_256_gcm() : EVP_aes_128_gcm())
                                               : (b ? EVP_aes_256_ccm() : EVP_aes_128_ccm());
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(c, ciph, nullptr, nullptr, nullptr);
  const int ivCtl = mode == kAesModeGcm ? EVP_CTRL_GCM_SET_IVLEN : EVP_CTRL_CCM_SET_IVLEN;
  EVP_CIPHER_CTX_ctrl(c, ivCtl, I(iv.size()), nullptr);
  if (mode == kAesModeCcm) EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_CCM_SET_TAG, tagLen, nullptr);
  EVP_EncryptInit_ex(c, nullptr, nullptr, key.data(), iv.data());
  int n = 0;
  if (mode == kAesModeCcm) EVP_EncryptUpdate(c, nullptr, &n, nullptr, I(in.size()));
  if (!aad.empty() || mode == kAesModeCcm) EVP_EncryptUpdate(c, nullptr, &n, P(aad), I(aad.size()));
  Bytes out(in.size() + 16);
  EVP_EncryptUpdate(c, out.data(), &n, P(in), I(in.size()));
  int m = 0;
  EVP_EncryptFinal_ex(c, out.data() + n, &m);
  out.resize(in.size());
  Bytes tag(16);
  EVP_CIPHER_CTX_ctrl(c, mode == kAesModeGcm ? EVP_CTRL_GCM_GET_TAG : EVP_CTRL_CCM_GET_TAG,
                      mode == kAesModeGcm ? 16 : tagLen, tag.data());
  EVP_CIPHER_CTX_free(c);
  out.insert(out.end(), tag.begin(), tag.begin() + tagLen);
  return out;
}

// ---- Front-end calls -------------------------------------------------------

struct Result {
  int rc;
  Bytes out;
};

// Runs a front end with exactly `capacity` bytes of room followed by a
// guard area that must stay untouched.
template <class F>
Result WithCapacity(uint32_t capacity, F&& call) {
  Bytes buf(capacity + 16, 0xC5);
  uint32_t len = capacity;
  Result r;
  r.rc = call(buf.data(), &len);
  for (size_t i = capacity; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xC5) << "written past the capacity at " << i;
  buf.resize(r.rc == 0 ? len : capacity);
  r.out = buf;
  return r;
}

Result Enc(const Bytes& in, const Bytes& key, const Bytes& iv, AESMode mode, AESPadding pad, uint32_t capacity) {
  return WithCapacity(capacity, [&](unsigned char* out, uint32_t* len) {
    return AESEncrypt(P(in), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, pad, out,
                      len);
  });
}

Result Dec(const Bytes& in, const Bytes& key, const Bytes& iv, AESMode mode, AESPadding pad, uint32_t capacity) {
  return WithCapacity(capacity, [&](unsigned char* out, uint32_t* len) {
    return AESDecrypt(P(in), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, pad, out,
                      len);
  });
}

Result EncAuth(const Bytes& in, const Bytes& key, const Bytes& iv, AESMode mode, const Bytes& aad, int tagLen,
               uint32_t capacity) {
  return WithCapacity(capacity, [&](unsigned char* out, uint32_t* len) {
    return AESEncryptAuth(P(in), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, P(aad),
                          U(aad.size()), tagLen, out, len);
  });
}

Result DecAuth(const Bytes& in, const Bytes& key, const Bytes& iv, AESMode mode, const Bytes& aad, int tagLen,
               uint32_t capacity) {
  return WithCapacity(capacity, [&](unsigned char* out, uint32_t* len) {
    return AESDecryptAuth(P(in), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, P(aad),
                          U(aad.size()), tagLen, out, len);
  });
}

bool AllZero(const Bytes& b) {
  for (unsigned char c : b)
    if (c != 0) return false;
  return true;
}

}  // namespace

// ---- Context ---------------------------------------------------------------

TEST(CipherContext, KeyRulesAndDescriptorIdentity) {
  EXPECT_EQ(NXVT_Cipher_New(nullptr), nullptr);
  NXVT_CIPHER_CTX* ctx = NXVT_Cipher_New(&NXVT_AES128_DESC);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->keyLen, 0u);
  EXPECT_EQ(ctx->schedule, nullptr);
  const Bytes key(32, 7);
  EXPECT_EQ(NXVT_Cipher_SetKey(ctx, key.data(), 32, &NXVT_AES128_DESC), -1);
  EXPECT_EQ(NXVT_Cipher_SetKey(ctx, key.data(), 16, &NXVT_AES256_DESC), -1);
  EXPECT_EQ(NXVT_Cipher_SetKey(ctx, nullptr, 16, &NXVT_AES128_DESC), -1);

  // A context without a key, or parameters naming another cipher, do nothing.
  NXVT_CIPHER_PARAM p{static_cast<uint8_t>(kAesModeCtr), {0}, &NXVT_AES128_DESC};
  Bytes data(16, 1);
  uint32_t len = 16;
  EXPECT_NE(NXVT_Cipher_Encrypt(data.data(), &len, data.data(), 16, &p, ctx, 0), 0);
  ASSERT_EQ(NXVT_Cipher_SetKey(ctx, key.data(), 16, &NXVT_AES128_DESC), 0);
  EXPECT_EQ(ctx->keyLen, 16u);
  p.desc = &NXVT_AES256_DESC;
  EXPECT_NE(NXVT_Cipher_Encrypt(data.data(), &len, data.data(), 16, &p, ctx, 0), 0);
  p.desc = &NXVT_AES128_DESC;
  EXPECT_EQ(NXVT_Cipher_Encrypt(data.data(), &len, data.data(), 16, &p, ctx, 0), 0);
  NXVT_Cipher_Free(ctx);
  NXVT_Cipher_Free(nullptr);
}

// ---- Whole outputs against OpenSSL ----------------------------------------

TEST(AesFrontEnds, EveryModeKeySizeAndLengthMatchesOpenSsl) {
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(1132);
    for (size_t keyLen : {16u, 32u}) {
      for (uint32_t len = 0; len <= 64; ++len) {
        SCOPED_TRACE("key " + std::to_string(keyLen) + " len " + std::to_string(len));
        const Bytes key = rng.RandBytes(keyLen), iv = rng.RandBytes(16), in = rng.RandBytes(len);
        for (AESMode mode : {kAesModeEcb, kAesModeCbc, kAesModeCfb, kAesModeOfb, kAesModeCtr}) {
          SCOPED_TRACE("mode " + std::to_string(mode));
          const Bytes useIv = mode == kAesModeEcb ? Bytes() : iv;
          const bool blockMode = mode == kAesModeEcb || mode == kAesModeCbc;
          if (blockMode) {
            const Bytes expect = OsslEncrypt(mode, key, useIv, in, true);
            const Result e = Enc(in, key, useIv, mode, kAesPkcs7Padding, U(expect.size()));
            ASSERT_EQ(e.rc, 0);
            ASSERT_EQ(Hex(e.out), Hex(expect));
            const Result d = Dec(e.out, key, useIv, mode, kAesPkcs7Padding, U(e.out.size()));
            ASSERT_EQ(d.rc, 0);
            ASSERT_EQ(Hex(d.out), Hex(in));
            const Result raw = Enc(in, key, useIv, mode, kAesNoPadding, len);
            if (len > 0 && len % 16 == 0) {
              ASSERT_EQ(raw.rc, 0);
              ASSERT_EQ(Hex(raw.out), Hex(OsslEncrypt(mode, key, useIv, in, false)));
            } else {
              ASSERT_EQ(raw.rc, 55);
            }
          } else {
            const Result e = Enc(in, key, useIv, mode, rng.Below(8), len);
            ASSERT_EQ(e.rc, 0);
            ASSERT_EQ(Hex(e.out), Hex(OsslEncrypt(mode, key, useIv, in, false)));
            const Result d = Dec(e.out, key, useIv, mode, kAesPkcs7Padding, len);
            ASSERT_EQ(d.rc, 0);
            ASSERT_EQ(Hex(d.out), Hex(in));
          }
        }
        const Bytes aad = rng.RandBytes(rng.Below(40));
        const int gcmTag = 4 + static_cast<int>(rng.Below(13));
        const int ccmTag = 4 + 2 * static_cast<int>(rng.Below(7));
        const Bytes nonce = rng.RandBytes(7 + len % 7);
        struct Auth {
          AESMode mode;
          Bytes iv;
          int tag;
        };
        for (const Auth& a : {Auth{kAesModeGcm, iv, gcmTag}, Auth{kAesModeCcm, nonce, ccmTag}}) {
          SCOPED_TRACE("mode " + std::to_string(a.mode) + " tag " + std::to_string(a.tag));
          const Bytes expect = OsslAead(a.mode, key, a.iv, aad, in, a.tag);
          const Result e = EncAuth(in, key, a.iv, a.mode, aad, a.tag, U(len + a.tag));
          ASSERT_EQ(e.rc, 0);
          ASSERT_EQ(Hex(e.out), Hex(expect));
          const Result d = DecAuth(e.out, key, a.iv, a.mode, aad, a.tag, U(e.out.size()));
          ASSERT_EQ(d.rc, 0);
          ASSERT_EQ(Hex(d.out), Hex(in));
        }
      }
    }
  });
}

TEST(AesFrontEnds, InPlaceOperation) {
  const Bytes key(16, 3), iv(16, 9);
  Bytes buf = Unhex("00112233445566778899aabbccddeeff0011");
  const Bytes in = buf;
  buf.resize(32);
  uint32_t len = 32;
  ASSERT_EQ(AESEncrypt(buf.data(), 18, key.data(), 16, iv.data(), 16, kAesModeCbc, 1, buf.data(), &len), 0);
  EXPECT_EQ(Hex(buf), Hex(OsslEncrypt(kAesModeCbc, key, iv, in, true)));
  ASSERT_EQ(AESDecrypt(buf.data(), 32, key.data(), 16, iv.data(), 16, kAesModeCbc, 1, buf.data(), &len), 0);
  EXPECT_EQ(len, 18u);
  EXPECT_EQ(Hex(buf.data(), 18), Hex(in));
}

// CTR and GCM read the input where it lies and write the output elsewhere;
// buffers that overlap in part must still give the result of the input
// copied over first, with the output before or after the input, at any
// distance, across whole vector runs and a partial block.
TEST(AesFrontEnds, PartlyOverlappingBuffersActAsIfCopiedFirst) {
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(1134);
    const Bytes key = rng.RandBytes(32), iv = rng.RandBytes(16), aad = rng.RandBytes(9), plain = rng.RandBytes(700);
    const Bytes ctr = OsslEncrypt(kAesModeCtr, key, iv, plain, false);
    const Bytes gcm = OsslAead(kAesModeGcm, key, iv, aad, plain, 16);
    const uint32_t n = U(plain.size());
    for (long shift : {-517L, -64L, -17L, -16L, -1L, 1L, 15L, 16L, 63L, 300L}) {
      SCOPED_TRACE("output at input + " + std::to_string(shift));
      Bytes buf(plain.size() + 16 + 1200);
      unsigned char* in = buf.data() + 600;
      unsigned char* out = in + shift;
      uint32_t len = n;
      memcpy(in, plain.data(), n);
      ASSERT_EQ(AESEncrypt(in, n, key.data(), 32, iv.data(), 16, kAesModeCtr, 0, out, &len), 0);
      EXPECT_EQ(Hex(out, len), Hex(ctr));
      memcpy(in, ctr.data(), n);
      len = n;
      ASSERT_EQ(AESDecrypt(in, n, key.data(), 32, iv.data(), 16, kAesModeCtr, 0, out, &len), 0);
      EXPECT_EQ(Hex(out, len), Hex(plain));
      memcpy(in, plain.data(), n);
      len = n + 16;
      ASSERT_EQ(AESEncryptAuth(in, n, key.data(), 32, iv.data(), 16, kAesModeGcm, aad.data(), U(aad.size()), 16, out,
                               &len),
                0);
      EXPECT_EQ(Hex(out, len), Hex(gcm));
      memcpy(in, gcm.data(), gcm.size());
      len = U(gcm.size());
      ASSERT_EQ(AESDecryptAuth(in, len, key.data(), 32, iv.data(), 16, kAesModeGcm, aad.data(), U(aad.size()), 16,
                               out, &len),
                0);
      EXPECT_EQ(Hex(out, len), Hex(plain));
    }
  });
}

// CCM runs its MAC chain and counter mode in one pass on AES-NI and apart
// elsewhere, with the AAD and the payload read where they lie: every nonce
// and tag length against OpenSSL, with payload and AAD lengths at the block,
// batch and run edges of both passes and in between, buffers at odd offsets,
// in place and apart, and a changed byte refused with the ciphertext back in
// the output.
TEST(AesFrontEnds, CcmMatchesOpenSslOnEveryParameterAndPath) {
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(3813);
    const size_t kPayloads[] = {0, 1, 15, 16, 17, 64, 111, 112, 113, 127, 128, 129, 1023, 1024, 1025, 4095, 4096};
    const size_t kAads[] = {0, 1, 13, 14, 15, 16, 30, 31, 46, 526, 1038, 300};
    size_t at = 0;
    for (uint32_t nonceLen = 7; nonceLen <= 13; ++nonceLen) {
      for (int tagLen = 4; tagLen <= 16; tagLen += 2) {
        ++at;
        const size_t keyLen = at % 2 == 0 ? 16 : 32;
        const size_t len = at % 3 == 0 ? rng.Below(4097) : kPayloads[at % std::size(kPayloads)];
        const size_t aadLen = at % 4 == 0 ? rng.Below(301) : kAads[at % std::size(kAads)];
        const bool inPlace = at % 2 == 1;
        const size_t inOff = rng.Below(16), outOff = inPlace ? inOff : rng.Below(16);
        SCOPED_TRACE("nonce " + std::to_string(nonceLen) + " tag " + std::to_string(tagLen) + " key " +
                     std::to_string(keyLen) + " len " + std::to_string(len) + " aad " + std::to_string(aadLen) +
                     (inPlace ? " in place" : " apart") + " offsets " + std::to_string(inOff) + "/" +
                     std::to_string(outOff));
        const Bytes key = rng.RandBytes(keyLen), nonce = rng.RandBytes(nonceLen), aad = rng.RandBytes(aadLen),
                    plain = rng.RandBytes(len);
        const Bytes expect = OsslAead(kAesModeCcm, key, nonce, aad, plain, tagLen);

        Bytes inBuf(len + 32), outBuf(len + 32);
        unsigned char* src = inBuf.data() + inOff;
        unsigned char* dst = inPlace ? src : outBuf.data() + outOff;
        if (len > 0) memcpy(src, plain.data(), len);
        uint32_t outLen = U(len + tagLen);
        ASSERT_EQ(AESEncryptAuth(src, U(len), key.data(), U(keyLen), nonce.data(), I(nonceLen), kAesModeCcm, P(aad),
                                 U(aadLen), tagLen, dst, &outLen),
                  0);
        ASSERT_EQ(Hex(dst, outLen), Hex(expect));

        memcpy(src, expect.data(), expect.size());
        outLen = U(expect.size());
        ASSERT_EQ(AESDecryptAuth(src, outLen, key.data(), U(keyLen), nonce.data(), I(nonceLen), kAesModeCcm, P(aad),
                                 U(aadLen), tagLen, dst, &outLen),
                  0);
        ASSERT_EQ(outLen, len);
        ASSERT_EQ(Hex(dst, len), Hex(plain));

        // One changed byte, in the ciphertext or the tag: refused, and the
        // output holds the input as it came.
        Bytes bad = expect;
        bad[rng.Below(U(bad.size()))] ^= 0x40;
        memcpy(src, bad.data(), bad.size());
        outLen = U(bad.size());
        EXPECT_EQ(AESDecryptAuth(src, outLen, key.data(), U(keyLen), nonce.data(), I(nonceLen), kAesModeCcm, P(aad),
                                 U(aadLen), tagLen, dst, &outLen),
                  248);
        EXPECT_EQ(Hex(dst, bad.size()), Hex(bad));
      }
    }
  });
}

// ---- Codes of the front ends ------------------------------------------------

TEST(AesFrontEnds, ArgumentCodesAndTrailEntries) {
  const Bytes key16(16, 1), key24(24, 1), iv16(16, 2), iv12(12, 2), in(20, 5), aad(3, 4);
  struct Case {
    const char* what;
    int expect;
    std::function<int(unsigned char*, uint32_t*)> call;
  };
  auto enc = [&](const Bytes& key, const Bytes& iv, AESMode mode, AESPadding pad) {
    return [&, mode, pad](unsigned char* o, uint32_t* l) {
      return AESEncrypt(in.data(), 20, key.data(), U(key.size()), iv.data(), I(iv.size()), mode, pad, o, l);
    };
  };
  auto dec = [&](const Bytes& key, const Bytes& iv, AESMode mode, AESPadding pad) {
    return [&, mode, pad](unsigned char* o, uint32_t* l) {
      return AESDecrypt(in.data(), 20, key.data(), U(key.size()), iv.data(), I(iv.size()), mode, pad, o, l);
    };
  };
  auto encA = [&](const Bytes& iv, AESMode mode, int tag, const unsigned char* a) {
    return [&, mode, tag, a](unsigned char* o, uint32_t* l) {
      return AESEncryptAuth(in.data(), 20, key16.data(), 16, iv.data(), I(iv.size()), mode, a, 0, tag, o, l);
    };
  };
  auto decA = [&](const Bytes& iv, AESMode mode, int tag, const unsigned char* a) {
    return [&, mode, tag, a](unsigned char* o, uint32_t* l) {
      return AESDecryptAuth(in.data(), 20, key16.data(), 16, iv.data(), I(iv.size()), mode, a, 0, tag, o, l);
    };
  };
  const Case cases[] = {
      {"AESEncrypt:23", 23, enc(key24, iv16, kAesModeCbc, 1)},
      {"AESEncrypt:28", 28, enc(key16, iv16, 4, 1)},
      {"AESEncrypt:33", 33, enc(key16, iv16, kAesModeEcb, 2)},
      {"AESEncrypt:38", 38, enc(key16, iv12, kAesModeCbc, 1)},
      {"AESEncrypt:38", 38, enc(key16, iv12, kAesModeCtr, 1)},
      {"AESEncrypt:55", 55, enc(key16, iv16, kAesModeCbc, 0)},  // 20 bytes, no padding
      {"AESDecrypt:81", 81, dec(key24, iv16, kAesModeCbc, 1)},
      {"AESDecrypt:86", 86, dec(key16, iv16, 10, 1)},
      {"AESDecrypt:91", 91, dec(key16, iv16, kAesModeCbc, 2)},
      {"AESDecrypt:96", 96, dec(key16, iv12, kAesModeOfb, 0)},
      {"AESDecrypt:113", 113, dec(key16, iv16, kAesModeCbc, 1)},  // 20 bytes
      {"AESDecrypt:113", 113, dec(key16, iv16, kAesModeEcb, 0)},
      {"AESEncryptAuth:141", 141, encA(iv16, kAesModeGcm, 17, aad.data())},
      {"AESEncryptAuth:141", 141, encA(iv16, kAesModeGcm, 16, nullptr)},
      {"AESEncryptAuth:146", 146, encA(iv16, kAesModeCbc, 16, aad.data())},
      {"AESEncryptAuth:151", 151, encA(iv12, kAesModeGcm, 16, aad.data())},
      {"AESEncryptAuth:151", 151, encA(iv16, kAesModeCcm, 16, aad.data())},
      {"AESEncryptAuth:181", 181, encA(iv12, kAesModeCcm, 15, aad.data())},  // CCM tags are even
      {"AESDecryptAuth:208", 208, decA(iv16, kAesModeGcm, 17, aad.data())},
      {"AESDecryptAuth:213", 213, decA(iv16, 1, 16, aad.data())},
      {"AESDecryptAuth:218", 218, decA(iv12, kAesModeGcm, 16, aad.data())},
      {"AESDecryptAuth:248", 248, decA(iv16, kAesModeGcm, 16, aad.data())},  // tag mismatch
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetErrFunc("test");
    const Result r = WithCapacity(64, c.call);
    EXPECT_EQ(r.rc, c.expect);
    EXPECT_STREQ(ErrTrailLocations(), c.what);
    EXPECT_STREQ(ErrTrailMessages(), "");
  }
}

TEST(AesFrontEnds, SizeQueries) {
  const Bytes iv(16, 0), aad;
  for (uint32_t keyLen : {16u, 32u}) {
    const Bytes key(keyLen, 1);
    for (auto [inLen, size] : {std::pair{20u, 32u}, {32u, 48u}, {0u, 16u}}) {
      const Bytes in(inLen, 0);
      uint32_t len = 12345;
      for (AESMode mode : {kAesModeEcb, kAesModeCbc, kAesModeCtr}) {
        ASSERT_EQ(AESEncrypt(P(in), inLen, key.data(), keyLen, iv.data(), 16, mode, 0, nullptr, &len), 0);
        EXPECT_EQ(len, size);
      }
      ASSERT_EQ(AESDecrypt(P(in), inLen, key.data(), keyLen, iv.data(), 16, kAesModeCbc, 1, nullptr, &len), 0);
      EXPECT_EQ(len, inLen);
      ASSERT_EQ(AESEncryptAuth(P(in), inLen, key.data(), keyLen, iv.data(), 16, kAesModeGcm, iv.data(), 0, 12,
                               nullptr, &len),
                0);
      EXPECT_EQ(len, inLen + 16);
      ASSERT_EQ(AESDecryptAuth(P(in), inLen, key.data(), keyLen, iv.data(), 16, kAesModeGcm, iv.data(), 0, 12,
                               nullptr, &len),
                0);
      EXPECT_EQ(len, inLen + 16);
    }
  }
}

TEST(AesFrontEnds, PaddingRules) {
  const Bytes key(16, 1), iv(16, 2);
  // PKCS#7 of a whole block adds a block; CTR ignores any padding value.
  EXPECT_EQ(Enc(Bytes(16, 0), key, Bytes(), kAesModeEcb, 1, 32).out.size(), 32u);
  EXPECT_EQ(Enc(Bytes(0, 0), key, Bytes(), kAesModeEcb, 0, 16).rc, 55);
  EXPECT_EQ(Enc(Bytes(15, 0), key, Bytes(), kAesModeEcb, 0, 16).rc, 55);
  const Result ctr = Enc(Bytes(5, 0), key, iv, kAesModeCtr, 7, 5);
  EXPECT_EQ(ctr.rc, 0);
  EXPECT_EQ(ctr.out.size(), 5u);

  // Decryption strips as many bytes as the last one says, without looking at
  // the others; 0 and anything above 16 are refused and leave no plaintext
  // (every value of the byte: the test is arithmetic).
  tvt::TestRng rng(7);
  for (int last = 0; last <= 255; ++last) {
    SCOPED_TRACE(last);
    Bytes plain = rng.RandBytes(32);
    plain.back() = static_cast<unsigned char>(last);
    for (AESMode mode : {kAesModeEcb, kAesModeCbc}) {
      const Bytes useIv = mode == kAesModeEcb ? Bytes() : iv;
      const Result ct = Enc(plain, key, useIv, mode, 0, 32);
      ASSERT_EQ(ct.rc, 0);
      const Result d = Dec(ct.out, key, useIv, mode, 1, 32);
      if (last >= 1 && last <= 16) {
        ASSERT_EQ(d.rc, 0);
        EXPECT_EQ(Hex(d.out), Hex(Bytes(plain.begin(), plain.end() - last)));
      } else {
        EXPECT_EQ(d.rc, 113);
        EXPECT_TRUE(AllZero(d.out)) << Hex(d.out);
      }
    }
  }
}

// ---- Mended faults -----------------------------------------------------------

TEST(AesFrontEnds, EveryFrontEndHonoursTheCapacity) {
  const Bytes key(32, 1), iv(16, 2), nonce(12, 3), aad(5, 4), in(37, 5);
  for (AESMode mode : {kAesModeCfb, kAesModeOfb, kAesModeCtr}) {
    EXPECT_EQ(Enc(in, key, iv, mode, 0, 36).rc, 55) << mode;
    EXPECT_EQ(Dec(in, key, iv, mode, 0, 36).rc, 113) << mode;
    EXPECT_EQ(Enc(in, key, iv, mode, 0, 37).rc, 0) << mode;
  }
  EXPECT_EQ(Enc(in, key, iv, kAesModeCbc, 1, 47).rc, 55);
  for (auto [mode, useIv] : {std::pair{kAesModeGcm, iv}, {kAesModeCcm, nonce}}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(EncAuth(in, key, useIv, mode, aad, 16, 52).rc, 181);
    const Result ok = EncAuth(in, key, useIv, mode, aad, 16, 53);
    ASSERT_EQ(ok.rc, 0);
    EXPECT_EQ(DecAuth(ok.out, key, useIv, mode, aad, 16, 52).rc, 248);
    EXPECT_EQ(DecAuth(ok.out, key, useIv, mode, aad, 16, 53).rc, 0);
  }
}

TEST(AesFrontEnds, TagMismatchLeavesNoPlaintext) {
  const Bytes key(16, 1), iv(16, 2), nonce(13, 3), aad(7, 4);
  const Bytes in = tvt::FromText("attack at dawn, bring the keys");
  for (auto [mode, useIv] : {std::pair{kAesModeGcm, iv}, {kAesModeCcm, nonce}}) {
    for (int tag : {4, 12, 16}) {
      SCOPED_TRACE(std::to_string(mode) + "/" + std::to_string(tag));
      const Result ct = EncAuth(in, key, useIv, mode, aad, tag, U(in.size() + tag));
      ASSERT_EQ(ct.rc, 0);
      for (size_t at : {size_t{0}, in.size() - 1, ct.out.size() - 1}) {
        Bytes bad = ct.out;
        bad[at] ^= 0x20;
        const Result d = DecAuth(bad, key, useIv, mode, aad, tag, U(bad.size()));
        EXPECT_EQ(d.rc, 248);
        // No byte of the (unauthenticated) plaintext is left in the buffer.
        EXPECT_EQ(Hex(d.out).find(Hex(Bytes(in.begin(), in.begin() + 4))), std::string::npos) << Hex(d.out);
        if (mode == kAesModeGcm) {
          EXPECT_TRUE(AllZero(d.out));
        }
      }
    }
  }
}

TEST(AesFrontEnds, ShortAndNegativeTagsAreRefusedBothWays) {
  const Bytes key(16, 1), iv(16, 2), nonce(12, 2), aad;
  const Bytes in(10, 5);
  // Not above 16, so past the argument check; the dispatch refuses them.
  for (auto [mode, useIv] : {std::pair{kAesModeGcm, iv}, {kAesModeCcm, nonce}}) {
    for (int tag : {INT32_MIN, -1, 0, 1, 2, 3}) {
      SCOPED_TRACE(std::to_string(mode) + "/" + std::to_string(tag));
      SetErrFunc("test");
      EXPECT_EQ(EncAuth(in, key, useIv, mode, aad, tag, 64).rc, 181);
      EXPECT_STREQ(ErrTrailLocations(), "AESEncryptAuth:181");
      // With tag length 0 any input used to authenticate: it must not now.
      EXPECT_EQ(DecAuth(in, key, useIv, mode, aad, tag, 64).rc, 248);
    }
  }
  // The dispatch itself refuses a short tag too.
  NXVT_CIPHER_CTX* ctx = NXVT_Cipher_New(&NXVT_AES128_DESC);
  ASSERT_EQ(NXVT_Cipher_SetKey(ctx, key.data(), 16, &NXVT_AES128_DESC), 0);
  NXVT_CIPHER_PARAM p{static_cast<uint8_t>(kAesModeGcm), {0}, &NXVT_AES128_DESC};
  Bytes out(32);
  uint32_t len = 32;
  EXPECT_NE(NXVT_Cipher_DecryptAuth(out.data(), &len, in.data(), 10, aad.data(), 0, iv.data(), 16, &p, ctx, 0), 0);
  EXPECT_NE(NXVT_Cipher_EncryptAuth(out.data(), &len, in.data(), 10, aad.data(), 0, iv.data(), 16, &p, ctx, 0), 0);
  NXVT_Cipher_Free(ctx);
}

TEST(AesFrontEnds, CcmTakesItsNonceAsTheIv) {
  const Bytes key(16, 1), aad(3, 4), in(40, 5);
  for (size_t n = 0; n <= 17; ++n) {
    const Bytes nonce(n, 9);
    const bool ok = n >= 7 && n <= 13;
    const Result e = EncAuth(in, key, nonce, kAesModeCcm, aad, 8, 48);
    EXPECT_EQ(e.rc, ok ? 0 : 151) << n;
    EXPECT_EQ(DecAuth(ok ? e.out : in, key, nonce, kAesModeCcm, aad, 8, 48).rc, ok ? 0 : 218) << n;
  }
  // A 13-byte nonce leaves room for payloads below 65536 bytes only.
  const Bytes nonce(13, 9), big(65536, 1);
  EXPECT_EQ(EncAuth(big, key, nonce, kAesModeCcm, aad, 8, 65544).rc, 181);
}

// ---- Round state on the stack ----------------------------------------------

namespace {

// How many of the four state columns are found in the stack area below
// the caller's frame, where the front end has just run.
[[gnu::noinline]] int ColumnsOnStack(const unsigned char* state) {
  unsigned char frame[8192];
  // Read what the stack held before, not what the compiler assumes it holds.
  unsigned char* p = frame;
  __asm__ __volatile__("" : "+r"(p) : : "memory");
  const volatile unsigned char* area = p;
  int hits = 0;
  for (size_t i = 0; i + 4 <= sizeof frame; ++i) {
    for (int c = 0; c < 4; ++c) {
      bool same = true;
      for (int k = 0; k < 4 && same; ++k) same = area[i + k] == state[4 * c + k];
      hits += same ? 1 : 0;
    }
  }
  return hits;
}

[[gnu::noinline]] int RunFrontEnd(bool encrypt, AESMode mode, const Bytes& key, const Bytes& iv, const Bytes& in,
                                  Bytes& out) {
  out.assign(in.size() + 16, 0);
  uint32_t len = U(out.size());
  if (mode == kAesModeCcm || mode == kAesModeGcm) {
    // CCM: the IV's first 12 bytes as the nonce; GCM: the whole IV; no AAD.
    return AESEncryptAuth(in.data(), U(in.size()), key.data(), U(key.size()), iv.data(), mode == kAesModeCcm ? 12 : 16,
                          mode, iv.data(), 0, 16, out.data(), &len);
  }
  return encrypt ? AESEncrypt(in.data(), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, 0,
                              out.data(), &len)
                 : AESDecrypt(in.data(), U(in.size()), key.data(), U(key.size()), iv.data(), I(iv.size()), mode, 0,
                              out.data(), &len);
}

}  // namespace

// The state before the last round, with the output block, gives the last
// round key (for decryption: round key 0, the key itself). No column of it
// may be left on the stack once a front end has returned.
TEST(AesFrontEnds, NoRoundStateLeftOnTheStack) {
  cput::OnEveryAesPath([&] {
    static const aest::SBoxes box;
    tvt::TestRng rng(1130);
    struct Case {
      bool encrypt;
      AESMode mode;
      size_t keyLen;
    };
    for (const Case c : {Case{true, kAesModeEcb, 16}, Case{true, kAesModeEcb, 32}, Case{true, kAesModeCtr, 16},
                         Case{true, kAesModeCcm, 16}, Case{true, kAesModeCcm, 32}, Case{true, kAesModeGcm, 16},
                         Case{true, kAesModeGcm, 32}, Case{false, kAesModeEcb, 16},
                         Case{false, kAesModeEcb, 32}}) {
      SCOPED_TRACE(std::to_string(c.encrypt) + "/" + std::to_string(c.mode) + "/" + std::to_string(c.keyLen));
      const Bytes key = rng.RandBytes(c.keyLen), iv = rng.RandBytes(16), in = rng.RandBytes(64);
      const NXVT_CIPHER_DESC& desc = c.keyLen == 32 ? NXVT_AES256_DESC : NXVT_AES128_DESC;
      const size_t rounds = c.keyLen == 32 ? 14 : 10;
      Bytes schedule(desc.scheduleSize);
      desc.setKey(schedule.data(), key.data(), U(key.size()));
      Bytes out;
      ASSERT_EQ(RunFrontEnd(c.encrypt, c.mode, key, iv, in, out), 0);

      // The last block the block routine produced, and the round key of its
      // last round.
      Bytes y(out.begin() + 48, out.begin() + 64);
      // In CTR, CCM and GCM the last block is the input's xor the last
      // keystream block.
      if (c.mode == kAesModeCtr || c.mode == kAesModeCcm || c.mode == kAesModeGcm)
        for (size_t i = 0; i < 16; ++i) y[i] ^= in[48 + i];
      unsigned char state[16];
      if (c.encrypt) {
        const unsigned char* rk = schedule.data() + 16 * rounds;
        for (int r = 0; r < 4; ++r)
          for (int col = 0; col < 4; ++col) {
            const int at = r + 4 * ((col - r + 4) % 4);
            state[r + 4 * col] = box.inv[y[at] ^ rk[at]];
          }
      } else {
        for (int r = 0; r < 4; ++r)
          for (int col = 0; col < 4; ++col) {
            const int at = r + 4 * ((col + r) % 4);
            state[r + 4 * col] = box.s[y[at] ^ key[at]];
          }
      }
      EXPECT_EQ(ColumnsOnStack(state), 0);
    }
  });
}

namespace {

constexpr size_t kPaintedBytes = 16384;
constexpr unsigned char kPaint = 0xA5;

// Fills the stack below the caller's frame with the paint.
[[gnu::noinline]] void PaintStack() {
  unsigned char area[kPaintedBytes];
  memset(area, kPaint, sizeof area);
  __asm__ __volatile__("" : : "r"(area) : "memory");
}

// How far below the caller's frame the stack was written since it was
// painted: the distance of the deepest byte that is no longer paint.
[[gnu::noinline]] size_t DeepestWrite() {
  unsigned char frame[kPaintedBytes];
  unsigned char* p = frame;
  __asm__ __volatile__("" : "+r"(p) : : "memory");
  const volatile unsigned char* area = p;
  for (size_t i = 0; i < sizeof frame; ++i) {
    if (area[i] != kPaint) return sizeof frame - i;
  }
  return 0;
}

}  // namespace

// The front ends sweep the stack below their frame once the work is done;
// the sweep must reach as deep as the work went on every path. A size query
// does no work but the sweep, so no call may write deeper than one. (The
// sanitizers' frames are not the library's: the check is for the normal
// builds.)
TEST(AesFrontEnds, TheStackSweepReachesAsDeepAsTheWork) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer lays out its own frames";
#endif
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(1131);
    const Bytes iv = rng.RandBytes(16), in = rng.RandBytes(1000), aad = rng.RandBytes(40);
    Bytes out(in.size() + 32);
    for (const size_t keyLen : {size_t{16}, size_t{32}}) {
      const Bytes key = rng.RandBytes(keyLen);
      const auto plain = [&](bool encrypt, AESMode mode, AESPadding padding) {
        uint32_t len = U(out.size());
        const uint32_t n = encrypt || padding == 0 ? 992 : 1008;
        return (encrypt ? AESEncrypt : AESDecrypt)(encrypt ? in.data() : out.data(), n, key.data(), U(keyLen),
                                                   iv.data(), 16, mode, padding, out.data(), &len);
      };
      const auto auth = [&](bool encrypt, AESMode mode) {
        uint32_t len = U(out.size());
        const int32_t ivLen = mode == kAesModeCcm ? 13 : 16;
        return (encrypt ? AESEncryptAuth : AESDecryptAuth)(encrypt ? in.data() : out.data(), encrypt ? 1000 : 1016,
                                                           key.data(), U(keyLen), iv.data(), ivLen, mode, aad.data(),
                                                           U(aad.size()), 16, out.data(), &len);
      };
      struct Call {
        const char* name;
        std::function<int()> run;
        bool auth = false, encrypt = false;
      };
      // Every call, the size queries included, goes through the same frames.
      const auto depth = [](const Call& c) {
        PaintStack();
        EXPECT_EQ(c.run(), 0);
        return DeepestWrite();
      };
      // Each front end's frame is its own: a size query of each.
      const auto queryPlain = [&](bool encrypt) {
        uint32_t len = 0;
        return (encrypt ? AESEncrypt : AESDecrypt)(in.data(), 1008, key.data(), U(keyLen), iv.data(), 16,
                                                   kAesModeCbc, 1, nullptr, &len);
      };
      const auto queryAuth = [&](bool encrypt) {
        uint32_t len = 0;
        return (encrypt ? AESEncryptAuth : AESDecryptAuth)(in.data(), 1016, key.data(), U(keyLen), iv.data(), 16,
                                                           kAesModeGcm, aad.data(), U(aad.size()), 16, nullptr,
                                                           &len);
      };
      // The first calls of the process make one-time set-ups of their own.
      queryPlain(false);
      queryAuth(false);
      const size_t swept[2][2] = {
          {depth({"", [&] { return queryPlain(false); }}), depth({"", [&] { return queryPlain(true); }})},
          {depth({"", [&] { return queryAuth(false); }}), depth({"", [&] { return queryAuth(true); }})}};
      // Each decryption runs on what the encryption before it wrote.
      const Call calls[] = {
          {"ECB encryption", [&] { return plain(true, kAesModeEcb, 0); }, false, true},
          {"ECB decryption", [&] { return plain(false, kAesModeEcb, 0); }},
          {"CBC encryption", [&] { return plain(true, kAesModeCbc, 1); }, false, true},
          {"CBC decryption", [&] { return plain(false, kAesModeCbc, 1); }},
          {"CFB", [&] { return plain(true, kAesModeCfb, 0); }, false, true},
          {"OFB", [&] { return plain(true, kAesModeOfb, 0); }, false, true},
          {"CTR", [&] { return plain(true, kAesModeCtr, 0); }, false, true},
          {"GCM encryption", [&] { return auth(true, kAesModeGcm); }, true, true},
          {"GCM decryption", [&] { return auth(false, kAesModeGcm); }, true},
          {"CCM encryption", [&] { return auth(true, kAesModeCcm); }, true, true},
          {"CCM decryption", [&] { return auth(false, kAesModeCcm); }, true},
      };
      for (const Call& c : calls) {
        SCOPED_TRACE(std::string(c.name) + ", key of " + std::to_string(keyLen) + " bytes");
        const size_t reached = depth(c);
        EXPECT_LE(reached, swept[c.auth][c.encrypt]);
      }
    }
  });
}

// ---- Wycheproof ----------------------------------------------------------------

namespace {

struct Tally {
  std::map<std::string, int> skipped;
  int checked = 0;
  void Skip(const std::string& why) { ++skipped[why]; }
  void Report(const char* file) const {
    std::string s;
    for (const auto& [why, n] : skipped) s += "  skipped " + std::to_string(n) + ": " + why + "\n";
    std::printf("%s: %d cases checked\n%s", file, checked, s.c_str());
  }
};

}  // namespace

TEST(Wycheproof, AesGcm) {
  cput::OnEveryAesPath([&] {
    const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/aes_gcm_test.json"));
    Tally t;
    for (const auto& g : doc["testGroups"]) {
      const int keyBits = g["keySize"].asInt(), ivBits = g["ivSize"].asInt(), tagBits = g["tagSize"].asInt();
      for (const auto& c : g["tests"]) {
        SCOPED_TRACE("tcId " + c["tcId"].asString());
        if (keyBits == 192) {
          t.Skip("AES-192 is not offered");
          continue;
        }
        const Bytes key = Unhex(c["key"].asString()), iv = Unhex(c["iv"].asString()),
                    aad = Unhex(c["aad"].asString()), msg = Unhex(c["msg"].asString());
        Bytes ctTag = Unhex(c["ct"].asString());
        const Bytes tag = Unhex(c["tag"].asString());
        ctTag.insert(ctTag.end(), tag.begin(), tag.end());
        const bool valid = c["result"].asString() != "invalid";
        const int tagLen = tagBits / 8;

        // Routine level: any IV length but the empty one.
        {
          NXVT_CIPHER_CTX* ctx = NXVT_Cipher_New(key.size() == 32 ? &NXVT_AES256_DESC : &NXVT_AES128_DESC);
          ASSERT_EQ(NXVT_Cipher_SetKey(ctx, key.data(), U(key.size()), ctx->desc), 0);
          Bytes data = msg;
          unsigned char out[16];
          const int rc = NXVT_GCM_Encrypt(data.data(), U(data.size()), out, aad.data(), U(aad.size()), ctx->schedule,
                                          iv.data(), U(iv.size()), 16, ctx->desc->encryptBlock);
          if (iv.empty()) {
            EXPECT_EQ(rc, -1);
            EXPECT_FALSE(valid);
          } else if (valid) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(Hex(data) + Hex(out, 16), Hex(ctTag));
          } else {
            EXPECT_TRUE(rc != 0 || Hex(data) + Hex(out, 16) != Hex(ctTag));
          }
          NXVT_Cipher_Free(ctx);
        }

        if (ivBits != 128) {
          t.Skip("front ends take a 16-byte GCM IV only (routine level checked)");
          continue;
        }
        ++t.checked;
        const Result d = DecAuth(ctTag, key, iv, kAesModeGcm, aad, tagLen, U(ctTag.size()));
        if (valid) {
          ASSERT_EQ(d.rc, 0);
          EXPECT_EQ(Hex(d.out), Hex(msg));
          const Result e = EncAuth(msg, key, iv, kAesModeGcm, aad, tagLen, U(msg.size() + tagLen));
          ASSERT_EQ(e.rc, 0);
          EXPECT_EQ(Hex(e.out), Hex(ctTag));
        } else {
          EXPECT_EQ(d.rc, 248);
        }
      }
    }
    t.Report("aes_gcm_test.json");
  });
}

TEST(Wycheproof, AesCcm) {
  cput::OnEveryAesPath([&] {
    const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/aes_ccm_test.json"));
    Tally t;
    for (const auto& g : doc["testGroups"]) {
      const int keyBits = g["keySize"].asInt(), ivBits = g["ivSize"].asInt(), tagBits = g["tagSize"].asInt();
      for (const auto& c : g["tests"]) {
        SCOPED_TRACE("tcId " + c["tcId"].asString());
        if (keyBits == 192) {
          t.Skip("AES-192 is not offered");
          continue;
        }
        const Bytes key = Unhex(c["key"].asString()), iv = Unhex(c["iv"].asString()),
                    aad = Unhex(c["aad"].asString()), msg = Unhex(c["msg"].asString());
        Bytes ctTag = Unhex(c["ct"].asString());
        const Bytes tag = Unhex(c["tag"].asString());
        ctTag.insert(ctTag.end(), tag.begin(), tag.end());
        const bool valid = c["result"].asString() != "invalid";
        const int tagLen = tagBits / 8;
        const bool admitted = ivBits / 8 >= 7 && ivBits / 8 <= 13 && tagLen >= 4 && tagLen <= 16 && tagLen % 2 == 0 &&
                              tagBits % 8 == 0 && ivBits % 8 == 0;
        const Result d = DecAuth(ctTag, key, iv, kAesModeCcm, aad, tagLen, U(ctTag.size()));
        const Result e = EncAuth(msg, key, iv, kAesModeCcm, aad, tagLen, U(msg.size() + 16));
        if (!admitted) {
          // Nonce or tag lengths outside 7..13 / 4,6,..,16: refused both ways.
          EXPECT_NE(d.rc, 0);
          EXPECT_NE(e.rc, 0);
          t.Skip(valid ? "valid, but tag length below 4 bytes is refused" : "refused nonce or tag length");
          continue;
        }
        ++t.checked;
        if (valid) {
          ASSERT_EQ(d.rc, 0);
          EXPECT_EQ(Hex(d.out), Hex(msg));
          ASSERT_EQ(e.rc, 0);
          EXPECT_EQ(Hex(e.out), Hex(ctTag));
        } else {
          EXPECT_EQ(d.rc, 248);
        }
      }
    }
    t.Report("aes_ccm_test.json");
  });
}

TEST(Wycheproof, AesCbcPkcs5) {
  cput::OnEveryAesPath([&] {
    const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/aes_cbc_pkcs5_test.json"));
    Tally t;
    for (const auto& g : doc["testGroups"]) {
      for (const auto& c : g["tests"]) {
        SCOPED_TRACE("tcId " + c["tcId"].asString());
        if (g["keySize"].asInt() == 192) {
          t.Skip("AES-192 is not offered");
          continue;
        }
        const Bytes key = Unhex(c["key"].asString()), iv = Unhex(c["iv"].asString()), msg = Unhex(c["msg"].asString()),
                    ct = Unhex(c["ct"].asString());
        const Result d = Dec(ct, key, iv, kAesModeCbc, 1, U(ct.size()));
        if (c["result"].asString() == "valid") {
          ++t.checked;
          ASSERT_EQ(d.rc, 0);
          EXPECT_EQ(Hex(d.out), Hex(msg));
          const Result e = Enc(msg, key, iv, kAesModeCbc, 1, U(ct.size()));
          ASSERT_EQ(e.rc, 0);
          EXPECT_EQ(Hex(e.out), Hex(ct));
          continue;
        }
        // Invalid padding: refused when the length is not whole blocks or the
        // last byte is 0 or above 16; other byte patterns pass the lenient rule.
        const Result raw = Dec(ct, key, iv, kAesModeCbc, 0, U(ct.size()));
        if (raw.rc == 0 && raw.out.back() >= 1 && raw.out.back() <= 16) {
          EXPECT_EQ(d.rc, 0);
          t.Skip("only the last padding byte is checked");
          continue;
        }
        ++t.checked;
        EXPECT_EQ(d.rc, 113);
      }
    }
    t.Report("aes_cbc_pkcs5_test.json");
  });
}

// Long inputs at every alignment: the bulk routines work several blocks at a
// time and in batches, so lengths up to 4096 with odd offsets reach their
// edges (partial batches, a partial last block, a carry through the counter).
TEST(AesFrontEnds, LongUnalignedInputsMatchOpenSslOnEveryPath) {
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(4096);
    for (int iter = 0; iter < 120; ++iter) {
      const size_t keyLen = iter % 2 == 0 ? 16 : 32;
      const size_t len = iter < 4 ? static_cast<size_t>(iter) * 16 : rng.Below(4097);
      const size_t inOff = rng.Below(16), outOff = rng.Below(16);
      SCOPED_TRACE("key " + std::to_string(keyLen) + " len " + std::to_string(len) + " offsets " +
                   std::to_string(inOff) + "/" + std::to_string(outOff));
      const Bytes key = rng.RandBytes(keyLen), in = rng.RandBytes(len);
      Bytes iv = rng.RandBytes(16);
      // Every fourth CTR case starts a few blocks below the 2^64 carry.
      if (iter % 4 == 1) {
        memset(iv.data() + 8, 0xFF, 8);
        iv[15] = static_cast<unsigned char>(0xFF - rng.Below(4));
      }
      Bytes inBuf(len + 16), outBuf(len + 48);
      if (len > 0) memcpy(inBuf.data() + inOff, in.data(), len);
      const unsigned char* inP = inBuf.data() + inOff;
      unsigned char* outP = outBuf.data() + outOff;
      const size_t whole = len / 16 * 16;

      for (AESMode mode : {kAesModeEcb, kAesModeCbc, kAesModeCtr}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const bool block = mode != kAesModeCtr;
        const size_t n = block ? whole : len;
        if (block && n == 0) continue;
        const Bytes part(in.begin(), in.begin() + static_cast<long>(n));
        const Bytes useIv = mode == kAesModeEcb ? Bytes() : iv;
        const Bytes expect = OsslEncrypt(mode, key, useIv, part, false);
        uint32_t outLen = U(n);
        ASSERT_EQ(AESEncrypt(inP, U(n), key.data(), U(keyLen), P(useIv), I(useIv.size()), mode, 0, outP, &outLen), 0);
        ASSERT_EQ(Hex(outP, outLen), Hex(expect));
        memcpy(inBuf.data() + inOff, outP, n);
        outLen = U(n);
        ASSERT_EQ(AESDecrypt(inP, U(n), key.data(), U(keyLen), P(useIv), I(useIv.size()), mode, 0, outP, &outLen),
                  0);
        ASSERT_EQ(Hex(outP, outLen), Hex(part));
        if (len > 0) memcpy(inBuf.data() + inOff, in.data(), len);
      }

      const Bytes aad = rng.RandBytes(rng.Below(100));
      for (AESMode mode : {kAesModeGcm, kAesModeCcm}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const Bytes useIv = mode == kAesModeGcm ? iv : rng.RandBytes(7 + rng.Below(7));
        const Bytes expect = OsslAead(mode, key, useIv, aad, in, 16);
        uint32_t outLen = U(len + 16);
        ASSERT_EQ(AESEncryptAuth(inP, U(len), key.data(), U(keyLen), useIv.data(), I(useIv.size()), mode, P(aad),
                                 U(aad.size()), 16, outP, &outLen),
                  0);
        ASSERT_EQ(Hex(outP, outLen), Hex(expect));
        const Result d = DecAuth(expect, key, useIv, mode, aad, 16, U(expect.size()));
        ASSERT_EQ(d.rc, 0);
        ASSERT_EQ(Hex(d.out), Hex(in));
      }
    }
  });
}

// The vector paths work in runs (sixteen blocks of two-block vectors without
// AVX-512, sixteen or 32 of four-block vectors with it, eight blocks on
// AES-NI, where GCM hashes each run during the next one's rounds and CTR
// reads its counter blocks from a buffer after the first run; CTR in the VEX
// encoding takes twelve, then ends in a run of eight and one of four) and
// end a message with whole vectors, a vector's first block alone and a
// partial block. Every length to 300 bytes, every length within 17 bytes of
// each multiple of 128 bytes to 4096 (and 33 bytes off), and around each
// multiple of 192 the lengths that end there or in one of the shorter runs
// reach each of those ends,
// at odd offsets, in place and apart, both ways: GCM with 12- and 16-byte
// IVs (and now and then others) and AAD of every tail length, CTR with its
// counter carrying across 2^64 and 2^128, ECB and CBC on the whole blocks.
TEST(AesFrontEnds, EveryRunAndTailEdgeMatchesOpenSslOnEveryPath) {
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (size_t m = 384; m <= 4096; m += 128) {
    for (int d = -17; d <= 17; ++d) lengths.push_back(m + d);
    lengths.push_back(m - 33);
    if (m + 33 <= 4096) lengths.push_back(m + 33);
  }
  for (size_t m = 576; m <= 4096; m += 384) {
    for (int d : {-33, -17, -16, -15, -1, 0, 1, 15, 16, 17, 63, 64, 65, 127, 128, 129, 145})
      if (m + d <= 4096) lengths.push_back(m + d);
  }
  const size_t kAads[] = {0, 1, 15, 16, 17, 31, 255, 256, 257, 300};
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(4097);
    for (size_t len : lengths) {
      const size_t keyLen = len % 2 == 0 ? 32 : 16;
      const bool inPlace = len % 3 == 0;
      const size_t inOff = rng.Below(32), outOff = inPlace ? inOff : rng.Below(32);
      SCOPED_TRACE("len " + std::to_string(len) + " key " + std::to_string(keyLen) + (inPlace ? " in place" : ""));
      const Bytes key = rng.RandBytes(keyLen), in = rng.RandBytes(len);
      Bytes inBuf(len + 64), outBuf(len + 64);
      Bytes& outStore = inPlace ? inBuf : outBuf;
      unsigned char* inP = inBuf.data() + inOff;
      unsigned char* outP = outStore.data() + outOff;
      auto load = [&](const Bytes& b) {
        if (!b.empty()) memcpy(inP, b.data(), b.size());
      };

      // GCM through the mode routine, which takes any IV length.
      const NXVT_CIPHER_DESC& desc = keyLen == 32 ? NXVT_AES256_DESC : NXVT_AES128_DESC;
      Bytes schedule(desc.scheduleSize);
      desc.setKey(schedule.data(), key.data(), U(keyLen));
      const size_t kIvs[] = {12, 12, 16, 16, 12, 16, 12, 16, 12, 16, 1, 60};
      const Bytes iv = rng.RandBytes(kIvs[len % std::size(kIvs)]), aad = rng.RandBytes(kAads[len % std::size(kAads)]);
      const Bytes sealed = OsslAead(kAesModeGcm, key, iv, aad, in, 16);
      unsigned char tag[16];
      load(in);
      ASSERT_EQ(NXVT_GCM_EncryptTo(outP, inP, U(len), tag, P(aad), U(aad.size()), schedule.data(), iv.data(),
                                   U(iv.size()), 16, desc.encryptBlock),
                0);
      ASSERT_EQ(Hex(outP, len) + Hex(tag, 16), Hex(sealed)) << "GCM iv " << iv.size() << " aad " << aad.size();
      load(Bytes(sealed.begin(), sealed.begin() + static_cast<long>(len)));
      ASSERT_EQ(NXVT_GCM_DecryptTo(outP, inP, U(len), tag, P(aad), U(aad.size()), schedule.data(), iv.data(),
                                   U(iv.size()), 16, desc.encryptBlock),
                0);
      ASSERT_EQ(Hex(outP, len) + Hex(tag, 16), Hex(in) + Hex(sealed.data() + len, 16)) << "GCM decryption";

      // CTR, the counter a few blocks below a carry out of its low half, or
      // out of the whole block.
      Bytes ctrIv = rng.RandBytes(16);
      const size_t blocks = (len + 15) / 16;
      memset(ctrIv.data() + (len % 5 == 0 ? 0 : 8), 0xFF, len % 5 == 0 ? 16 : 8);
      ctrIv[15] = static_cast<unsigned char>(0xFF - rng.Below(static_cast<uint32_t>(blocks + 1)));
      const Bytes ctr = OsslEncrypt(kAesModeCtr, key, ctrIv, in, false);
      load(in);
      uint32_t outLen = U(len);
      ASSERT_EQ(AESEncrypt(inP, U(len), key.data(), U(keyLen), ctrIv.data(), 16, kAesModeCtr, 0, outP, &outLen),
                0);
      ASSERT_EQ(Hex(outP, outLen), Hex(ctr)) << "CTR from " << Hex(ctrIv);

      // ECB and CBC over the whole blocks, both ways.
      const size_t whole = len / 16 * 16;
      if (whole == 0) continue;
      const Bytes part(in.begin(), in.begin() + static_cast<long>(whole));
      for (AESMode mode : {kAesModeEcb, kAesModeCbc}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        const Bytes useIv = mode == kAesModeEcb ? Bytes() : ctrIv;
        const Bytes expect = OsslEncrypt(mode, key, useIv, part, false);
        load(part);
        outLen = U(whole);
        ASSERT_EQ(AESEncrypt(inP, U(whole), key.data(), U(keyLen), P(useIv), I(useIv.size()), mode, 0, outP, &outLen),
                  0);
        ASSERT_EQ(Hex(outP, outLen), Hex(expect));
        load(expect);
        outLen = U(whole);
        ASSERT_EQ(AESDecrypt(inP, U(whole), key.data(), U(keyLen), P(useIv), I(useIv.size()), mode, 0, outP, &outLen),
                  0);
        ASSERT_EQ(Hex(outP, outLen), Hex(part));
      }
    }
  });
}

// GCM's counter is inc32: it wraps in its last four bytes, whatever the run
// of blocks the wrap falls in. J0 comes from GHASH of a 16-byte IV, so the
// IV is solved for a J0 whose counter wraps after `w` blocks: for an IV
// block X and the lengths block L, J0 = ((X H) ^ L) H.
TEST(AesFrontEnds, GcmCounterWrapsInItsLastFourBytesOnEveryPath) {
  cput::OnEveryAesPath([&] {
    tvt::TestRng rng(3232);
    const Bytes key = rng.RandBytes(32), aad = rng.RandBytes(20), in = rng.RandBytes(64 * 16 + 5);
    Bytes h(16, 0);
    Bytes schedule(NXVT_AES256_DESC.scheduleSize);
    NXVT_AES256_DESC.setKey(schedule.data(), key.data(), 32);
    NXVT_AES256_DESC.encryptBlock(h.data(), schedule.data());
    const Bytes hInv = ghst::Inverse(h);
    Bytes lengths(16, 0);
    lengths[15] = 0x80;  // 128 bits of IV, no AAD
    for (uint32_t w : {0u, 1u, 2u, 7u, 8u, 15u, 16u, 17u, 31u, 32u, 33u, 47u, 63u}) {
      SCOPED_TRACE("wrap after " + std::to_string(w) + " blocks");
      Bytes j0 = rng.RandBytes(16);
      // The first block takes inc32(J0) = 0xFFFFFFFF - w, so block w + 1 takes 0.
      const uint32_t low = 0xFFFFFFFEu - w;
      for (int b = 0; b < 4; ++b) j0[12 + b] = static_cast<unsigned char>(low >> (24 - 8 * b));
      Bytes iv(16);
      ghst::Mul(iv.data(), j0.data(), hInv.data());
      for (int i = 0; i < 16; ++i) iv[i] ^= lengths[i];
      ghst::Mul(iv.data(), iv.data(), hInv.data());
      Bytes ivAndLengths = iv, check(16);
      ivAndLengths.insert(ivAndLengths.end(), lengths.begin(), lengths.end());
      NXVT_GCM_GHash(check.data(), ivAndLengths.data(), 32, h.data(), 16);
      ASSERT_EQ(Hex(check), Hex(j0)) << "the IV solved for J0";

      const Bytes sealed = OsslAead(kAesModeGcm, key, iv, aad, in, 16);
      const Result e = EncAuth(in, key, iv, kAesModeGcm, aad, 16, U(sealed.size()));
      ASSERT_EQ(e.rc, 0);
      ASSERT_EQ(Hex(e.out), Hex(sealed));
      const Result d = DecAuth(sealed, key, iv, kAesModeGcm, aad, 16, U(sealed.size()));
      ASSERT_EQ(d.rc, 0);
      ASSERT_EQ(Hex(d.out), Hex(in));
    }
  });
}
