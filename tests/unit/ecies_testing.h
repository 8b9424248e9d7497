// An independent ECIES model on OpenSSL (EC arithmetic, SHA-512, AES-256-CBC,
// HMAC-SHA256) for the ECIES and ECDH tests, and small key helpers.
#ifndef TOLVARIS_TESTS_ECIES_TESTING_H
#define TOLVARIS_TESTS_ECIES_TESTING_H

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/obj_mac.h>
#include <openssl/sha.h>

#include <optional>
#include <string>

#include "crypto/random.h"
#include "platform/entropy.h"
#include "tv_test.h"

namespace eciest {

using tvt::Bytes;

inline int Nid(uint32_t curveCode) { return curveCode == 1 ? NID_X9_62_prime256v1 : NID_secp256k1; }

// The group order n as 32 big-endian bytes.
inline Bytes Order(uint32_t curveCode) {
  EC_GROUP* g = EC_GROUP_new_by_curve_name(Nid(curveCode));
  Bytes n(32);
  BN_bn2binpad(EC_GROUP_get0_order(g), n.data(), 32);
  EC_GROUP_free(g);
  return n;
}

// scalar * P (P as octets; empty: the generator) in the given form, or
// nullopt when OpenSSL refuses the point or the result is the point at
// infinity.
inline std::optional<Bytes> Mul(uint32_t curveCode, const Bytes& scalar, const Bytes& P = {},
                                bool compressed = false) {
  EC_GROUP* g = EC_GROUP_new_by_curve_name(Nid(curveCode));
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* k = BN_bin2bn(scalar.data(), static_cast<int>(scalar.size()), nullptr);
  EC_POINT* r = EC_POINT_new(g);
  EC_POINT* p = nullptr;
  bool ok = true;
  if (!P.empty()) {
    p = EC_POINT_new(g);
    ok = EC_POINT_oct2point(g, p, P.data(), P.size(), ctx) == 1;
  }
  if (ok) ok = (p ? EC_POINT_mul(g, r, nullptr, p, k, ctx) : EC_POINT_mul(g, r, k, nullptr, nullptr, ctx)) == 1;
  std::optional<Bytes> out;
  if (ok && !EC_POINT_is_at_infinity(g, r)) {
    Bytes b(65);
    size_t n = EC_POINT_point2oct(g, r, compressed ? POINT_CONVERSION_COMPRESSED : POINT_CONVERSION_UNCOMPRESSED,
                                  b.data(), b.size(), ctx);
    b.resize(n);
    out = b;
  }
  EC_POINT_free(p);
  EC_POINT_free(r);
  BN_free(k);
  BN_CTX_free(ctx);
  EC_GROUP_free(g);
  return out;
}

inline Bytes Pub(uint32_t curveCode, const Bytes& priv, bool compressed = true) {
  std::optional<Bytes> p = Mul(curveCode, priv, {}, compressed);
  EXPECT_TRUE(p.has_value());
  return p.value_or(Bytes());
}

// A private key in 1 .. n - 1 from test data.
inline Bytes RandPriv(tvt::TestRng& rng) {
  for (;;) {
    Bytes d = rng.RandBytes(32);
    if (d[0] < 0xfe && d != Bytes(32, 0)) return d;  // below both orders
  }
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes r;
  for (const Bytes& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

inline Bytes Sha512(const Bytes& in) {
  Bytes out(64);
  SHA512(in.data(), in.size(), out.data());
  return out;
}

inline Bytes HmacSha256(const unsigned char* key, const Bytes& data) {
  Bytes out(32);
  unsigned int len = 32;
  HMAC(EVP_sha256(), key, 32, data.data(), data.size(), out.data(), &len);
  return out;
}

inline std::optional<Bytes> AesCbc(bool enc, const unsigned char* key, const unsigned char* iv, const Bytes& in,
                                   bool pad = true) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  Bytes out(in.size() + 32);
  int n1 = 0, n2 = 0;
  bool ok = EVP_CipherInit_ex(c, EVP_aes_256_cbc(), nullptr, key, iv, enc ? 1 : 0) == 1 &&
            EVP_CIPHER_CTX_set_padding(c, pad ? 1 : 0) == 1 &&
            EVP_CipherUpdate(c, out.data(), &n1, in.data(), static_cast<int>(in.size())) == 1 &&
            EVP_CipherFinal_ex(c, out.data() + n1, &n2) == 1;
  EVP_CIPHER_CTX_free(c);
  if (!ok) return std::nullopt;
  out.resize(static_cast<size_t>(n1 + n2));
  return out;
}

// Key material: SHA-512(04 || X || Y) of eph * P.
inline std::optional<Bytes> KeyMaterial(uint32_t curveCode, const Bytes& scalar, const Bytes& P) {
  std::optional<Bytes> S = Mul(curveCode, scalar, P);
  if (!S) return std::nullopt;
  return Sha512(*S);
}

// A message from its parts with a correct tag; the ciphertext is taken as
// given, so malformed ones can be sealed.
inline Bytes Seal(const Bytes& km, const Bytes& iv, const Bytes& ephPub, const Bytes& cipher) {
  Bytes body = Cat({iv, ephPub, cipher});
  return Cat({body, HmacSha256(km.data() + 32, body)});
}

// The whole construction, with a given one-time scalar and IV.
inline Bytes ModelEncrypt(uint32_t curveCode, const Bytes& recipientPub, const Bytes& eph, const Bytes& iv,
                          const Bytes& plain) {
  std::optional<Bytes> km = KeyMaterial(curveCode, eph, recipientPub);
  EXPECT_TRUE(km.has_value());
  if (!km) return {};
  std::optional<Bytes> c = AesCbc(true, km->data(), iv.data(), plain);
  EXPECT_TRUE(c.has_value());
  return Seal(*km, iv, Pub(curveCode, eph), c.value_or(Bytes()));
}

// nullopt when the message is malformed, the tag differs or the padding is bad.
inline std::optional<Bytes> ModelDecrypt(uint32_t curveCode, const Bytes& priv, const Bytes& msg) {
  if (msg.size() < 97) return std::nullopt;
  const Bytes iv(msg.begin(), msg.begin() + 16);
  const Bytes eph(msg.begin() + 16, msg.begin() + 49);
  const Bytes body(msg.begin(), msg.end() - 32);
  const Bytes tag(msg.end() - 32, msg.end());
  const Bytes cipher(msg.begin() + 49, msg.end() - 32);
  std::optional<Bytes> km = KeyMaterial(curveCode, priv, eph);
  if (!km || HmacSha256(km->data() + 32, body) != tag) return std::nullopt;
  return AesCbc(false, km->data(), iv.data(), cipher);
}

// Forces the random source to fail for one scope: the next request must
// reseed from an operating system source that delivers nothing.
class RandomSourceDown {
 public:
  RandomSourceDown() : saved_(g_osRandomSource) {
    unsigned char b[16];
    EXPECT_EQ(NXVT_RNG_GetBytes(b, 128), 0);  // instantiated before the source goes down
    g_osRandomSource = [](void*, size_t) -> ssize_t { return -1; };
    NXVT_DRBG_STATE* st = NXVT_DRBG_ProcessState();
    st->reseedCounter = st->reseedInterval + 1;
  }
  ~RandomSourceDown() { g_osRandomSource = saved_; }

 private:
  OsRandomSource saved_;
};

}  // namespace eciest

#endif
