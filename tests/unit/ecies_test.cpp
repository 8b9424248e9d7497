// ECIES: round trips on both curves against an OpenSSL model of the whole
// construction, tampering, refused keys and shared points, short messages,
// argument codes, and a failing random source while the IV is drawn.
#include "keys/ecies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "trail/trail.h"
#include "crypto/ec/general/eccurve.h"
#include "ecies_testing.h"
#include "tv_test.h"

using eciest::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

constexpr uint32_t kCurves[2] = {0, 1};

using Pkc = ScopedPkc;

int I(size_t n) { return static_cast<int>(n); }

struct Result {
  int rc;
  Bytes out;
};

Result Encrypt(const Pkc& pkc, const Bytes& plain, const Bytes& eph, const Bytes& pub) {
  static const unsigned char kEmpty[1] = {0};
  int32_t len = 0;
  const unsigned char* p = plain.empty() ? kEmpty : plain.data();
  EXPECT_EQ(ECIES_Encrypt(p, I(plain.size()), eph.data(), I(eph.size()), pub.data(), I(pub.size()), nullptr, &len,
                          pkc.get()),
            0);
  Bytes out(static_cast<size_t>(len) + 8, 0xEE);
  int rc = ECIES_Encrypt(p, I(plain.size()), eph.data(), I(eph.size()), pub.data(), I(pub.size()), out.data(), &len,
                         pkc.get());
  for (size_t i = out.size() - 8; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the bound";
  if (rc == 0) out.resize(static_cast<size_t>(len));
  return {rc, out};
}

Result Decrypt(const Pkc& pkc, const Bytes& msg, const Bytes& priv) {
  Bytes out(msg.size() + 8, 0xDD);
  int32_t len = I(msg.size());
  int rc = ECIES_Decrypt(msg.data(), I(msg.size()), priv.data(), I(priv.size()), out.data(), &len, pkc.get());
  if (rc == 0) out.resize(static_cast<size_t>(len));
  return {rc, out};
}

// Our messages decrypt in the model, equal the model's message for the same
// scalar and IV byte for byte (for either form of the recipient key), and
// the model's messages decrypt here; lengths follow the layout.
TEST(Ecies, MatchesOpenSslModelBothWays) {
  tvt::TestRng rng(114);
  const size_t lengths[] = {0, 1, 15, 16, 17, 20, 31, 32, 33, 100, 1000};
  for (uint32_t code : kCurves) {
    Pkc pkc(code);
    for (size_t n : lengths) {
      SCOPED_TRACE("curve " + std::to_string(code) + " length " + std::to_string(n));
      const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng);
      const Bytes plain = rng.RandBytes(n);
      const Bytes pub33 = eciest::Pub(code, d), pub65 = eciest::Pub(code, d, false);
      for (const Bytes& pub : {pub33, pub65}) {
        Result e = Encrypt(pkc, plain, eph, pub);
        ASSERT_EQ(e.rc, 0);
        ASSERT_EQ(e.out.size(), 16 * (n / 16 + 1) + 81);
        const Bytes iv(e.out.begin(), e.out.begin() + 16);
        EXPECT_EQ(Hex(e.out), Hex(eciest::ModelEncrypt(code, pub33, eph, iv, plain)));
        EXPECT_EQ(eciest::ModelDecrypt(code, d, e.out).value_or(Bytes{0xFF}), plain);
        Result back = Decrypt(pkc, e.out, d);
        ASSERT_EQ(back.rc, 0);
        EXPECT_EQ(back.out, plain);
      }
      const Bytes model = eciest::ModelEncrypt(code, pub65, eph, rng.RandBytes(16), plain);
      Result back = Decrypt(pkc, model, d);
      ASSERT_EQ(back.rc, 0);
      EXPECT_EQ(back.out, plain);
    }
  }
}

TEST(Ecies, FreshIvEachMessage) {
  tvt::TestRng rng(1141);
  Pkc pkc(0);
  const Bytes eph = eciest::RandPriv(rng), pub = eciest::Pub(0, eciest::RandPriv(rng));
  Result a = Encrypt(pkc, Bytes(5, 1), eph, pub), b = Encrypt(pkc, Bytes(5, 1), eph, pub);
  ASSERT_EQ(a.rc, 0);
  ASSERT_EQ(b.rc, 0);
  EXPECT_NE(Hex(a.out.data(), 16), Hex(b.out.data(), 16));
}

// Flipping any bit of any byte fails the tag (or, in the ephemeral key, the
// key agreement when the key no longer decodes); nothing reaches the output.
TEST(Ecies, EveryTamperedByteIsRefused) {
  tvt::TestRng rng(1142);
  for (uint32_t code : kCurves) {
    Pkc pkc(code);
    const Bytes d = eciest::RandPriv(rng);
    Result e = Encrypt(pkc, rng.RandBytes(20), eciest::RandPriv(rng), eciest::Pub(code, d));
    ASSERT_EQ(e.rc, 0);
    ASSERT_EQ(e.out.size(), 113u);
    for (size_t i = 0; i < e.out.size(); ++i) {
      for (unsigned char mask : {0x01, 0x80}) {
        Bytes m = e.out;
        m[i] ^= mask;
        Result r = Decrypt(pkc, m, d);
        const bool inKey = i >= 16 && i < 49;
        if (inKey && r.rc == 315) continue;
        EXPECT_EQ(r.rc, 325) << "byte " << i << " mask " << int(mask);
        EXPECT_EQ(r.out, Bytes(m.size() + 8, 0xDD)) << "byte " << i;
      }
    }
    // Another private key: the tag fails.
    EXPECT_EQ(Decrypt(pkc, e.out, eciest::RandPriv(rng)).rc, 325);
    // Cut or extended by one byte: the tag no longer covers the same bytes.
    Bytes shorter(e.out.begin(), e.out.end() - 1), longer = e.out;
    longer.push_back(0);
    EXPECT_EQ(Decrypt(pkc, shorter, d).rc, 325);
    EXPECT_EQ(Decrypt(pkc, longer, d).rc, 325);
  }
}

// A correctly tagged message whose ciphertext has a bad length or padding
// fails in AES (331), and the caller's buffer gets none of it.
TEST(Ecies, AuthenticMalformedCiphertext) {
  tvt::TestRng rng(1143);
  Pkc pkc(1);
  const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng);
  const Bytes pub = eciest::Pub(1, d);
  const Bytes km = *eciest::KeyMaterial(1, eph, pub);
  const Bytes iv = rng.RandBytes(16);
  const Bytes badPad = *eciest::AesCbc(true, km.data(), iv.data(), Bytes(16, 0x00), false);
  const Bytes cases[] = {rng.RandBytes(17), rng.RandBytes(31), badPad};
  for (const Bytes& c : cases) {
    const Bytes msg = eciest::Seal(km, iv, eciest::Pub(1, eph), c);
    Result r = Decrypt(pkc, msg, d);
    EXPECT_EQ(r.rc, 331) << c.size();
    EXPECT_EQ(r.out, Bytes(msg.size() + 8, 0xDD));
  }
}

TEST(Ecies, InPlaceBuffers) {
  tvt::TestRng rng(1144);
  Pkc pkc(0);
  const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng), plain = rng.RandBytes(40);
  const Bytes pub = eciest::Pub(0, d);
  // The plaintext sits at the start of the output buffer.
  Bytes buf(16 * (40 / 16) + 113);
  std::memcpy(buf.data(), plain.data(), plain.size());
  int32_t len = I(buf.size());
  ASSERT_EQ(ECIES_Encrypt(buf.data(), 40, eph.data(), 32, pub.data(), 33, buf.data(), &len, pkc.get()), 0);
  buf.resize(static_cast<size_t>(len));
  EXPECT_EQ(eciest::ModelDecrypt(0, d, buf).value_or(Bytes()), plain);
  // Decrypting over the message itself.
  len = I(buf.size());
  ASSERT_EQ(ECIES_Decrypt(buf.data(), I(buf.size()), d.data(), 32, buf.data(), &len, pkc.get()), 0);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + len), plain);
  // The recipient key and the scalar inside the output buffer, where the IV
  // goes first.
  Bytes keys(113);
  std::memcpy(keys.data(), pub.data(), 33);
  std::memcpy(keys.data() + 33, eph.data(), 32);
  len = 113;
  ASSERT_EQ(ECIES_Encrypt(plain.data(), 0, keys.data() + 33, 32, keys.data(), 33, keys.data(), &len, pkc.get()), 0);
  keys.resize(static_cast<size_t>(len));
  EXPECT_EQ(Hex(keys), Hex(eciest::ModelEncrypt(0, pub, eph, Bytes(keys.begin(), keys.begin() + 16), Bytes())));
}

// The recipient key must be a finite point of the curve: the point at
// infinity (or an unknown prefix) would make the key material
// SHA-512(04 || 0..0), known to anyone.
TEST(Ecies, RecipientKeyMustBeACurvePoint) {
  tvt::TestRng rng(1145);
  for (uint32_t code : kCurves) {
    Pkc pkc(code);
    const Bytes good = eciest::Pub(code, eciest::RandPriv(rng), false);
    Bytes offCurve = good;
    offCurve[64] ^= 1;
    Bytes xAboveP = Bytes(65, 0xFF);
    xAboveP[0] = 0x04;
    Bytes badPrefix = eciest::Pub(code, eciest::RandPriv(rng));
    badPrefix[0] = 0x05;
    const Bytes bad[] = {eciest::Cat({Bytes{0x00}, Bytes(32, 0)}), eciest::Cat({Bytes{0x00}, Bytes(64, 0)}),
                         eciest::Cat({Bytes{0x04}, Bytes(64, 0)}), offCurve, xAboveP, badPrefix,
                         eciest::Cat({Bytes{0x04}, Bytes(31, 0), Bytes{1}, Bytes(31, 0), Bytes{1}})};
    const Bytes eph = eciest::RandPriv(rng);
    for (const Bytes& pub : bad) {
      SCOPED_TRACE(Hex(pub));
      uint8_t km[64];
      uint8_t iv[16];
      SetErrFunc("t");
      EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), I(pub.size()), iv, 16, km, nullptr, pkc.curve()), 166);
      EXPECT_STREQ(ErrTrailLocations(), "ECIES_KDF:166");
      SetErrFunc("t");
      Result e = Encrypt(pkc, Bytes(20, 7), eph, pub);
      EXPECT_EQ(e.rc, 232);
      EXPECT_STREQ(ErrTrailLocations(), "ECIES_KDF:166<-ECIES_Encrypt:232");
      EXPECT_EQ(Bytes(e.out.begin(), e.out.begin() + 129), Bytes(129, 0)) << "no half-built message";
    }
  }
}

// A scalar of 0 modulo n makes the shared point the point at infinity: both
// as the sender's one-time scalar and as the recipient's private key.
TEST(Ecies, SharedPointAtInfinityIsRefused) {
  tvt::TestRng rng(1146);
  for (uint32_t code : kCurves) {
    Pkc pkc(code);
    const Bytes d = eciest::RandPriv(rng);
    const Bytes pub = eciest::Pub(code, d);
    for (const Bytes& zero : {Bytes(32, 0), eciest::Order(code)}) {
      uint8_t km[64];
      EXPECT_EQ(ECIES_KDF(zero.data(), 32, pub.data(), 33, nullptr, 0, km, nullptr, pkc.curve()), 166);
      EXPECT_EQ(Encrypt(pkc, Bytes(3, 1), zero, pub).rc, 232);
      Result e = Encrypt(pkc, Bytes(3, 1), eciest::RandPriv(rng), pub);
      ASSERT_EQ(e.rc, 0);
      EXPECT_EQ(Decrypt(pkc, e.out, zero).rc, 315);
    }
    // n + 1 acts as 1.
    Bytes n1 = eciest::Order(code);
    n1[31] += 1;
    Bytes one(32, 0);
    one[31] = 1;
    uint8_t a[64], b[64];
    ASSERT_EQ(ECIES_KDF(n1.data(), 32, pub.data(), 33, nullptr, 0, a, nullptr, pkc.curve()), 0);
    ASSERT_EQ(ECIES_KDF(one.data(), 32, pub.data(), 33, nullptr, 0, b, nullptr, pkc.curve()), 0);
    EXPECT_EQ(Hex(a, 64), Hex(b, 64));
    EXPECT_EQ(Hex(a, 64), Hex(eciest::Sha512(eciest::Pub(code, d, false))));
  }
}

// A message whose ephemeral key is no curve point is refused before the tag
// is checked; in particular a forger's message under the all-zero key
// material of the point at infinity does not decrypt.
TEST(Ecies, EphemeralKeyMustBeACurvePoint) {
  tvt::TestRng rng(1147);
  for (uint32_t code : kCurves) {
    Pkc pkc(code);
    const Bytes d = eciest::RandPriv(rng);
    const Bytes iv = rng.RandBytes(16);
    const Bytes km0 = eciest::Sha512(eciest::Cat({Bytes{0x04}, Bytes(64, 0)}));
    const Bytes cipher = *eciest::AesCbc(true, km0.data(), iv.data(), tvt::FromText("forged"));
    Bytes noRoot(33, 0);
    // An X whose right-hand side is no square on either curve.
    for (unsigned char x = 1; x < 255; ++x) {
      Bytes cand(33, 0);
      cand[0] = 0x02;
      cand[32] = x;
      if (!eciest::Mul(code, Bytes{1}, cand)) {
        noRoot = cand;
        break;
      }
    }
    ASSERT_EQ(noRoot[0], 0x02);
    Bytes prefix04 = eciest::Pub(code, d);
    prefix04[0] = 0x04;
    for (const Bytes& eph : {Bytes(33, 0), noRoot, prefix04, eciest::Cat({Bytes{0x02}, Bytes(32, 0xFF)})}) {
      const Bytes msg = eciest::Seal(km0, iv, eph, cipher);
      SetErrFunc("t");
      Result r = Decrypt(pkc, msg, d);
      EXPECT_EQ(r.rc, 315) << Hex(eph);
      EXPECT_STREQ(ErrTrailLocations(), "ECIES_KDF:166<-ECIES_Decrypt:315");
    }
  }
}

// Anything under 97 bytes (an empty plaintext's message) is refused before
// offsets are formed from its length, even by a size query.
TEST(Ecies, ShortMessagesAreRefused) {
  tvt::TestRng rng(1148);
  Pkc pkc(0);
  const Bytes d = eciest::RandPriv(rng);
  Result e = Encrypt(pkc, Bytes(), eciest::RandPriv(rng), eciest::Pub(0, d));
  ASSERT_EQ(e.rc, 0);
  ASSERT_EQ(e.out.size(), 97u);
  Result ok = Decrypt(pkc, e.out, d);
  EXPECT_EQ(ok.rc, 0);
  EXPECT_TRUE(ok.out.empty());
  for (int len : {-1, -97, 0, 1, 16, 48, 49, 80, 81, 82, 96}) {
    Bytes out(128, 0xDD);
    int32_t outLen = 128;
    SetErrFunc("t");
    EXPECT_EQ(ECIES_Decrypt(e.out.data(), len, d.data(), 32, out.data(), &outLen, pkc.get()), 295) << len;
    EXPECT_STREQ(ErrTrailLocations(), "ECIES_Decrypt:295");
    EXPECT_EQ(outLen, 128);
    EXPECT_EQ(out, Bytes(128, 0xDD));
    EXPECT_EQ(ECIES_Decrypt(e.out.data(), len, d.data(), 32, nullptr, &outLen, pkc.get()), 295) << len;
  }
}

// The IV comes from the random source; when it fails the message is not
// made (and the failure is reported), while decryption needs no randomness.
TEST(Ecies, RandomSourceFailureWhileDrawingTheIv) {
  tvt::TestRng rng(1149);
  Pkc pkc(1);
  const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng);
  const Bytes pub = eciest::Pub(1, d);
  const Bytes msg = eciest::ModelEncrypt(1, pub, eph, rng.RandBytes(16), Bytes(10, 3));
  {
    eciest::RandomSourceDown down;
    uint8_t km[64];
    uint8_t iv[16] = {0};
    SetErrFunc("t");
    EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), 33, iv, 16, km, nullptr, pkc.curve()), 154);
    EXPECT_STREQ(ErrTrailLocations(), "GenerateEntropy:429<-ECIES_KDF:154");
    SetErrFunc("t");
    Result e = Encrypt(pkc, Bytes(20, 7), eph, pub);
    EXPECT_EQ(e.rc, 232);
    EXPECT_STREQ(ErrTrailLocations(), "GenerateEntropy:429<-ECIES_KDF:154<-ECIES_Encrypt:232");
    Result back = Decrypt(pkc, msg, d);
    EXPECT_EQ(back.rc, 0);
    EXPECT_EQ(back.out, Bytes(10, 3));
  }
  EXPECT_EQ(Encrypt(pkc, Bytes(20, 7), eph, pub).rc, 0);
}

TEST(Ecies, ArgumentChecksAndSizes) {
  tvt::TestRng rng(1150);
  Pkc pkc(0);
  const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng), pt = Bytes(20, 1);
  const Bytes pub = eciest::Pub(0, d);
  // Size queries: 16 * (n / 16) + 113.
  for (auto [n, want] : {std::pair{0, 113}, {15, 113}, {16, 129}, {20, 129}, {1000, 1105}}) {
    Bytes p(static_cast<size_t>(n) + 1);
    int32_t len = -5;
    EXPECT_EQ(ECIES_Encrypt(p.data(), n, eph.data(), 32, pub.data(), 33, nullptr, &len, pkc.get()), 0);
    EXPECT_EQ(len, want) << n;
  }
  EXPECT_EQ(EciesEncryptBound(INT32_MAX), -1);
  EXPECT_EQ(EciesEncryptBound(INT32_MAX - 128), 16 * ((INT32_MAX - 128) / 16) + 113);

  Bytes out(200);
  int32_t len = 200;
  auto enc = [&](const uint8_t* p, int32_t n, const uint8_t* e, int32_t el, const uint8_t* k, int32_t kl,
                 int32_t* l, const NXVT_PKC* c) { return ECIES_Encrypt(p, n, e, el, k, kl, out.data(), l, c); };
  EXPECT_EQ(enc(nullptr, 20, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), -1, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), INT32_MAX, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, nullptr, 32, pub.data(), 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 31, pub.data(), 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 64, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, nullptr, 33, &len, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 33, nullptr, pkc.get()), 212);
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 33, &len, nullptr), 212);
  len = 128;
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 224);
  len = -1;
  EXPECT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 224);
  len = 129;
  ASSERT_EQ(enc(pt.data(), 20, eph.data(), 32, pub.data(), 33, &len, pkc.get()), 0);
  EXPECT_EQ(len, 113);

  const Bytes msg(out.begin(), out.begin() + 113);
  Bytes plain(200);
  int32_t pl = 113;
  EXPECT_EQ(ECIES_Decrypt(nullptr, 113, d.data(), 32, plain.data(), &pl, pkc.get()), 295);
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, nullptr, 32, plain.data(), &pl, pkc.get()), 295);
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 33, plain.data(), &pl, pkc.get()), 295);
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 32, plain.data(), nullptr, pkc.get()), 295);
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 32, plain.data(), &pl, nullptr), 295);
  pl = 0;
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 32, nullptr, &pl, pkc.get()), 0);
  EXPECT_EQ(pl, 113);
  pl = 112;
  EXPECT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 32, plain.data(), &pl, pkc.get()), 306);
  pl = 113;
  ASSERT_EQ(ECIES_Decrypt(msg.data(), 113, d.data(), 32, plain.data(), &pl, pkc.get()), 0);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + pl), pt);

  uint8_t km[64], iv[16];
  EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), 33, iv, 15, km, nullptr, pkc.curve()), 154);
  EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), 33, nullptr, 0, nullptr, nullptr, pkc.curve()), 154);
  EXPECT_EQ(ECIES_KDF(eph.data(), 31, pub.data(), 33, nullptr, 0, km, nullptr, pkc.curve()), 154);
  EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), 32, nullptr, 0, km, nullptr, pkc.curve()), 154);
  EXPECT_EQ(ECIES_KDF(eph.data(), 32, pub.data(), 33, nullptr, 0, km, nullptr, nullptr), 154);
}

}  // namespace
