// The public curve exports against their reference libraries in the same
// run: secp256k1 (libsecp256k1), P-256 (OpenSSL), Ed25519 (libsodium),
// BIP32 children (OpenSSL's HMAC plus libsecp256k1), ECDH on both curves, and
// ECIES both ways (the key agreement of libsecp256k1 or OpenSSL, then
// OpenSSL's SHA-512, AES-256-CBC and HMAC-SHA256). Every operation runs as
// "<op>/ours" and "<op>/ref" with repetitions; the closing table gives the
// median CPU time per call of each side, its spread over the repetitions
// (lowest..highest), and the ratio of the medians (ours / ref).
// TOLVARIS_BENCH_PORTABLE=1 measures our portable paths.
#include <benchmark/benchmark.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/crypto.h>
#include <openssl/obj_mac.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <secp256k1_ecdh.h>
#include <secp256k1_recovery.h>
#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypto/cpu_features.h"
#include "tolvaris/bcm_ecies.h"
#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_sign.h"

namespace {

const uint8_t kPriv[32] = {0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a, 0x79, 0x88, 0x97, 0xa6, 0xb5,
                           0xc4, 0xd3, 0xe2, 0xf1, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
                           0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x01};
const uint8_t kChain[32] = {0x60, 0x49, 0x9f, 0x80, 0x1b, 0x89, 0x6d, 0x83, 0x17, 0x9a, 0x43,
                            0x74, 0xae, 0xb7, 0x82, 0x2a, 0xae, 0xac, 0xea, 0xa0, 0xdb, 0x1f,
                            0x85, 0xee, 0x3e, 0x90, 0x4c, 0x4d, 0xef, 0xbd, 0x96, 0x89};
const uint8_t kMsg[64] = {1, 2, 3, 4, 5};

void Next(uint8_t* h) {
  for (int i = 0; i < 32; ++i) {
    if (++h[i] != 0) break;
  }
}

secp256k1_context* K1() {
  static secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  return ctx;
}

void OurPub(uint32_t curve, uint8_t pub[33]) {
  int len = 33;
  BCMGenPubkeyFromPriKey(curve, kPriv, 32, pub, &len);
}

// ---- ours: the public exports ----

void OursSign(benchmark::State& st, uint32_t curve) {
  uint8_t hash[32] = {7}, R[33], S[33];
  uint32_t recid = 0;
  for (auto _ : st) {
    int rl = 33, sl = 33;
    Next(hash);
    if (BCMGenSignature(curve, kPriv, 32, 0, hash, 32, 0, R, &rl, S, &sl, &recid) != 0) st.SkipWithError("sign");
    benchmark::DoNotOptimize(S);
  }
}

void OursVerify(benchmark::State& st, uint32_t curve) {
  uint8_t hash[32] = {9}, R[33], S[33], pub[33];
  int rl = 33, sl = 33;
  uint32_t recid = 0;
  OurPub(curve, pub);
  BCMGenSignature(curve, kPriv, 32, 0, hash, 32, 0, R, &rl, S, &sl, &recid);
  for (auto _ : st) {
    if (BCMVerifySignature(curve, pub, 33, R, rl, S, sl, 0, hash, 32) != 0) st.SkipWithError("verify");
  }
}

void OursPub(benchmark::State& st, uint32_t curve) {
  uint8_t priv[32], out[33];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    int len = 33;
    Next(priv);
    if (BCMGenPubkeyFromPriKey(curve, priv, 32, out, &len) != 0) st.SkipWithError("pub");
    benchmark::DoNotOptimize(out);
  }
}

void OursPrivChild(benchmark::State& st) {
  uint8_t pub[33], cpri[32], cpub[33], cchain[32];
  OurPub(0, pub);
  uint32_t index = 0;
  for (auto _ : st) {
    int l1 = 32, l2 = 33, l3 = 32;
    if (BCMGenCKD(0, kPriv, 32, pub, 33, kChain, 32, index++ & 0x7fffffff, cpri, &l1, cpub, &l2, cchain, &l3) != 0)
      st.SkipWithError("ckd");
    benchmark::DoNotOptimize(cpub);
  }
}

void OursPubChild(benchmark::State& st) {
  uint8_t pub[33], cpub[33], cchain[32];
  OurPub(0, pub);
  uint32_t index = 0;
  for (auto _ : st) {
    int l2 = 33, l3 = 32;
    if (BCMGenCKDPub(0, pub, 33, kChain, 32, index++ & 0x7fffffff, cpub, &l2, cchain, &l3) != 0)
      st.SkipWithError("ckdpub");
    benchmark::DoNotOptimize(cpub);
  }
}

void OursEcdh(benchmark::State& st, uint32_t curve) {
  uint8_t peer[33], out[33];
  OurPub(curve, peer);
  uint8_t priv[32];
  std::memcpy(priv, kPriv, 32);
  priv[0] ^= 0x55;
  for (auto _ : st) {
    int len = 33;
    if (BCMGenECDHComputeShareKey(curve, priv, 32, peer, 33, out, &len) != 0) st.SkipWithError("ecdh");
    benchmark::DoNotOptimize(out);
  }
}

// ECIES of a 64-byte message to the public key of kPriv, with a one-time
// scalar of its own: 64 + 16 + 81 bytes.
constexpr int kEciesPlainLen = 64;
constexpr int kEciesMsgLen = kEciesPlainLen + 16 + 81;

void EphemeralScalar(uint8_t eph[32]) {
  std::memcpy(eph, kPriv, 32);
  eph[5] ^= 0xa5;
}

void OursEciesEncrypt(benchmark::State& st, uint32_t curve) {
  uint8_t pub[33], eph[32], out[kEciesMsgLen + 32];
  OurPub(curve, pub);
  EphemeralScalar(eph);
  for (auto _ : st) {
    int len = sizeof out;
    if (BCMGenECIESEncrypt(curve, kMsg, kEciesPlainLen, eph, 32, pub, 33, out, &len) != 0 || len != kEciesMsgLen)
      st.SkipWithError("ecies encrypt");
    benchmark::DoNotOptimize(out);
  }
}

void OursEciesDecrypt(benchmark::State& st, uint32_t curve) {
  uint8_t pub[33], eph[32], msg[kEciesMsgLen + 32], out[kEciesMsgLen];
  OurPub(curve, pub);
  EphemeralScalar(eph);
  int len = sizeof msg;
  BCMGenECIESEncrypt(curve, kMsg, kEciesPlainLen, eph, 32, pub, 33, msg, &len);
  for (auto _ : st) {
    int outLen = sizeof out;
    if (BCMGenECIESDecrypt(curve, msg, kEciesMsgLen, kPriv, 32, out, &outLen) != 0 || outLen != kEciesPlainLen)
      st.SkipWithError("ecies decrypt");
    benchmark::DoNotOptimize(out);
  }
}

void OursEdSign(benchmark::State& st) {
  uint8_t sig[64];
  for (auto _ : st) {
    int len = 64;
    if (BCMGenSignature_ED(kPriv, 32, kMsg, sizeof kMsg, nullptr, 0, 0, sig, &len) != 0) st.SkipWithError("sign");
    benchmark::DoNotOptimize(sig);
  }
}

void OursEdVerify(benchmark::State& st) {
  uint8_t sig[64], pub[32];
  int len = 32, sl = 64;
  BCMGenPubkeyFromPriKey_ED(kPriv, 32, pub, &len);
  BCMGenSignature_ED(kPriv, 32, kMsg, sizeof kMsg, nullptr, 0, 0, sig, &sl);
  for (auto _ : st) {
    if (BCMVerifySignature_ED(sig, 64, pub, 32, kMsg, sizeof kMsg, nullptr, 0, 0) != 0) st.SkipWithError("verify");
  }
}

void OursEdPub(benchmark::State& st) {
  uint8_t priv[32], pub[32];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    int len = 32;
    Next(priv);
    if (BCMGenPubkeyFromPriKey_ED(priv, 32, pub, &len) != 0) st.SkipWithError("pub");
    benchmark::DoNotOptimize(pub);
  }
}

// ---- references ----

void K1Sign(benchmark::State& st) {
  uint8_t hash[32] = {7}, out[64];
  int recid = 0;
  for (auto _ : st) {
    Next(hash);
    secp256k1_ecdsa_recoverable_signature sig;
    secp256k1_ecdsa_sign_recoverable(K1(), &sig, hash, kPriv, nullptr, nullptr);
    secp256k1_ecdsa_recoverable_signature_serialize_compact(K1(), out, &recid, &sig);
    benchmark::DoNotOptimize(out);
  }
}

// Parsing of the compressed key and the compact signature included, as ours.
void K1Verify(benchmark::State& st) {
  uint8_t hash[32] = {9}, compact[64], pub[33];
  secp256k1_pubkey pk;
  secp256k1_ec_pubkey_create(K1(), &pk, kPriv);
  size_t pl = 33;
  secp256k1_ec_pubkey_serialize(K1(), pub, &pl, &pk, SECP256K1_EC_COMPRESSED);
  secp256k1_ecdsa_signature sig;
  secp256k1_ecdsa_sign(K1(), &sig, hash, kPriv, nullptr, nullptr);
  secp256k1_ecdsa_signature_serialize_compact(K1(), compact, &sig);
  for (auto _ : st) {
    secp256k1_pubkey p;
    secp256k1_ecdsa_signature s;
    secp256k1_ec_pubkey_parse(K1(), &p, pub, 33);
    secp256k1_ecdsa_signature_parse_compact(K1(), &s, compact);
    if (secp256k1_ecdsa_verify(K1(), &s, hash, &p) != 1) st.SkipWithError("verify");
  }
}

void K1Pub(benchmark::State& st) {
  uint8_t priv[32], out[33];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    Next(priv);
    secp256k1_pubkey pk;
    size_t len = 33;
    secp256k1_ec_pubkey_create(K1(), &pk, priv);
    secp256k1_ec_pubkey_serialize(K1(), out, &len, &pk, SECP256K1_EC_COMPRESSED);
    benchmark::DoNotOptimize(out);
  }
}

// I = HMAC-SHA512(chain, data), as BIP32 computes it.
void Hmac512(const uint8_t* data, size_t len, uint8_t I[64]) {
  unsigned int il = 64;
  HMAC(EVP_sha512(), kChain, 32, data, len, I, &il);
}

// data[0..32] = the compressed public key of kPriv.
void ParentPub(uint8_t data[37]) {
  secp256k1_pubkey pk;
  secp256k1_ec_pubkey_create(K1(), &pk, kPriv);
  size_t pl = 33;
  secp256k1_ec_pubkey_serialize(K1(), data, &pl, &pk, SECP256K1_EC_COMPRESSED);
}

// I of a normal child: the index after the parent key, then the HMAC.
void ChildHmac(uint8_t data[37], uint32_t i, uint8_t I[64]) {
  data[33] = static_cast<uint8_t>(i >> 24);
  data[34] = static_cast<uint8_t>(i >> 16);
  data[35] = static_cast<uint8_t>(i >> 8);
  data[36] = static_cast<uint8_t>(i);
  Hmac512(data, 37, I);
}

void K1PrivChild(benchmark::State& st) {
  uint8_t data[37], I[64], child[32], pub[33];
  ParentPub(data);
  uint32_t index = 0;
  for (auto _ : st) {
    ChildHmac(data, index++ & 0x7fffffff, I);
    std::memcpy(child, kPriv, 32);
    secp256k1_ec_seckey_tweak_add(K1(), child, I);
    secp256k1_pubkey cpk;
    secp256k1_ec_pubkey_create(K1(), &cpk, child);
    size_t len = 33;
    secp256k1_ec_pubkey_serialize(K1(), pub, &len, &cpk, SECP256K1_EC_COMPRESSED);
    benchmark::DoNotOptimize(pub);
  }
}

void K1PubChild(benchmark::State& st) {
  uint8_t data[37], I[64], pub[33];
  ParentPub(data);
  uint32_t index = 0;
  for (auto _ : st) {
    ChildHmac(data, index++ & 0x7fffffff, I);
    secp256k1_pubkey cpk;
    secp256k1_ec_pubkey_parse(K1(), &cpk, data, 33);
    secp256k1_ec_pubkey_tweak_add(K1(), &cpk, I);
    size_t len = 33;
    secp256k1_ec_pubkey_serialize(K1(), pub, &len, &cpk, SECP256K1_EC_COMPRESSED);
    benchmark::DoNotOptimize(pub);
  }
}

// The shared point compressed, as ours returns it.
int CompressedPoint(unsigned char* out, const unsigned char* x, const unsigned char* y, void*) {
  out[0] = static_cast<unsigned char>(0x02 | (y[31] & 1));
  std::memcpy(out + 1, x, 32);
  return 1;
}

void K1Ecdh(benchmark::State& st) {
  uint8_t peer[33], out[33], priv[32];
  secp256k1_pubkey pk;
  secp256k1_ec_pubkey_create(K1(), &pk, kPriv);
  size_t pl = 33;
  secp256k1_ec_pubkey_serialize(K1(), peer, &pl, &pk, SECP256K1_EC_COMPRESSED);
  std::memcpy(priv, kPriv, 32);
  priv[0] ^= 0x55;
  for (auto _ : st) {
    secp256k1_pubkey p;
    secp256k1_ec_pubkey_parse(K1(), &p, peer, 33);
    secp256k1_ecdh(K1(), out, &p, priv, CompressedPoint, nullptr);
    benchmark::DoNotOptimize(out);
  }
}

// ---- ECIES from reference building blocks ----

// Key material: SHA-512(04 || X || Y) of the shared point.
int Sha512Point(unsigned char* out, const unsigned char* x, const unsigned char* y, void*) {
  unsigned char p[65];
  p[0] = 0x04;
  std::memcpy(p + 1, x, 32);
  std::memcpy(p + 33, y, 32);
  SHA512(p, sizeof p, out);
  return 1;
}

// Key material and, for encryption, the compressed public half of the scalar.
struct EciesCurve {
  virtual ~EciesCurve() = default;
  virtual bool KeyMaterial(const uint8_t* scalar, const uint8_t peer[33], uint8_t km[64]) = 0;
  virtual bool PublicHalf(const uint8_t* scalar, uint8_t pub[33]) = 0;
};

struct K1Ecies : EciesCurve {
  bool KeyMaterial(const uint8_t* scalar, const uint8_t peer[33], uint8_t km[64]) override {
    secp256k1_pubkey p;
    return secp256k1_ec_pubkey_parse(K1(), &p, peer, 33) == 1 &&
           secp256k1_ecdh(K1(), km, &p, scalar, Sha512Point, nullptr) == 1;
  }
  bool PublicHalf(const uint8_t* scalar, uint8_t pub[33]) override {
    secp256k1_pubkey pk;
    size_t len = 33;
    return secp256k1_ec_pubkey_create(K1(), &pk, scalar) == 1 &&
           secp256k1_ec_pubkey_serialize(K1(), pub, &len, &pk, SECP256K1_EC_COMPRESSED) == 1;
  }
};

// OpenSSL's P-256 group with the work records of one multiplication.
struct P256Work {
  EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  EC_POINT* P = EC_POINT_new(g);
  EC_POINT* S = EC_POINT_new(g);
  BIGNUM* d = BN_new();
  BN_CTX* ctx = BN_CTX_new();
  P256Work() = default;
  P256Work(const P256Work&) = delete;
  P256Work& operator=(const P256Work&) = delete;
  ~P256Work() {
    BN_CTX_free(ctx);
    BN_free(d);
    EC_POINT_free(S);
    EC_POINT_free(P);
    EC_GROUP_free(g);
  }
};

struct OsslEcies : EciesCurve, P256Work {
  bool KeyMaterial(const uint8_t* scalar, const uint8_t peer[33], uint8_t km[64]) override {
    unsigned char s[65];
    if (EC_POINT_oct2point(g, P, peer, 33, ctx) != 1 || BN_bin2bn(scalar, 32, d) == nullptr ||
        EC_POINT_mul(g, S, nullptr, P, d, ctx) != 1 ||
        EC_POINT_point2oct(g, S, POINT_CONVERSION_UNCOMPRESSED, s, sizeof s, ctx) != sizeof s)
      return false;
    SHA512(s, sizeof s, km);
    return true;
  }
  bool PublicHalf(const uint8_t* scalar, uint8_t pub[33]) override {
    return BN_bin2bn(scalar, 32, d) != nullptr && EC_POINT_mul(g, S, d, nullptr, nullptr, ctx) == 1 &&
           EC_POINT_point2oct(g, S, POINT_CONVERSION_COMPRESSED, pub, 33, ctx) == 33;
  }
};

bool AesCbc(bool enc, const uint8_t* key, const uint8_t* iv, const uint8_t* in, int len, uint8_t* out, int* outLen) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  int n1 = 0, n2 = 0;
  const bool ok = EVP_CipherInit_ex(c, EVP_aes_256_cbc(), nullptr, key, iv, enc ? 1 : 0) == 1 &&
                  EVP_CipherUpdate(c, out, &n1, in, len) == 1 && EVP_CipherFinal_ex(c, out + n1, &n2) == 1;
  EVP_CIPHER_CTX_free(c);
  *outLen = n1 + n2;
  return ok;
}

// IV || public half || AES-256-CBC || HMAC-SHA256, as ours writes it.
bool RefEciesEncrypt(EciesCurve& ec, const uint8_t* eph, const uint8_t peer[33], uint8_t* out, int* outLen) {
  uint8_t km[64];
  int cLen = 0;
  unsigned int tagLen = 32;
  if (RAND_bytes(out, 16) != 1 || !ec.KeyMaterial(eph, peer, km) || !ec.PublicHalf(eph, out + 16) ||
      !AesCbc(true, km, out, kMsg, kEciesPlainLen, out + 49, &cLen) ||
      HMAC(EVP_sha256(), km + 32, 32, out, static_cast<size_t>(49 + cLen), out + 49 + cLen, &tagLen) == nullptr)
    return false;
  *outLen = 49 + cLen + 32;
  return true;
}

bool RefEciesDecrypt(EciesCurve& ec, const uint8_t* priv, const uint8_t* msg, int len, uint8_t* out, int* outLen) {
  uint8_t km[64], tag[32];
  unsigned int tagLen = 32;
  return ec.KeyMaterial(priv, msg + 16, km) &&
         HMAC(EVP_sha256(), km + 32, 32, msg, static_cast<size_t>(len - 32), tag, &tagLen) != nullptr &&
         CRYPTO_memcmp(tag, msg + len - 32, 32) == 0 && AesCbc(false, km, msg, msg + 49, len - 81, out, outLen);
}

// The reference's messages decrypt with ours and ours with the reference,
// so both sides do the same work.
void RefEcies(benchmark::State& st, uint32_t curve, bool encrypt) {
  K1Ecies k1;
  OsslEcies p256;
  EciesCurve& ec = curve == 1 ? static_cast<EciesCurve&>(p256) : k1;
  uint8_t pub[33], eph[32], msg[kEciesMsgLen + 32], out[kEciesMsgLen];
  OurPub(curve, pub);
  EphemeralScalar(eph);
  int len = 0, outLen = sizeof out, ourLen = sizeof msg;
  if (!RefEciesEncrypt(ec, eph, pub, msg, &len) || len != kEciesMsgLen ||
      BCMGenECIESDecrypt(curve, msg, len, kPriv, 32, out, &outLen) != 0 || outLen != kEciesPlainLen ||
      BCMGenECIESEncrypt(curve, kMsg, kEciesPlainLen, eph, 32, pub, 33, msg, &ourLen) != 0 ||
      !RefEciesDecrypt(ec, kPriv, msg, ourLen, out, &outLen) || std::memcmp(out, kMsg, kEciesPlainLen) != 0) {
    st.SkipWithError("the reference and ours disagree");
    return;
  }
  for (auto _ : st) {
    const bool ok = encrypt ? RefEciesEncrypt(ec, eph, pub, msg, &len)
                            : RefEciesDecrypt(ec, kPriv, msg, kEciesMsgLen, out, &outLen);
    if (!ok) st.SkipWithError("reference ecies");
    benchmark::DoNotOptimize(msg);
    benchmark::DoNotOptimize(out);
  }
}

EC_KEY* P256Key() {
  EC_KEY* key = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
  BIGNUM* d = BN_bin2bn(kPriv, 32, nullptr);
  EC_KEY_set_private_key(key, d);
  EC_POINT* Q = EC_POINT_new(EC_KEY_get0_group(key));
  EC_POINT_mul(EC_KEY_get0_group(key), Q, d, nullptr, nullptr, nullptr);
  EC_KEY_set_public_key(key, Q);
  EC_POINT_free(Q);
  BN_free(d);
  return key;
}

void OsslSign(benchmark::State& st) {
  EC_KEY* key = P256Key();
  uint8_t hash[32] = {7};
  for (auto _ : st) {
    Next(hash);
    ECDSA_SIG* sig = ECDSA_do_sign(hash, 32, key);
    benchmark::DoNotOptimize(sig);
    ECDSA_SIG_free(sig);
  }
  EC_KEY_free(key);
}

// Decoding of the compressed key included, as ours.
void OsslVerify(benchmark::State& st) {
  EC_KEY* key = P256Key();
  uint8_t hash[32] = {9}, pub[33];
  const EC_GROUP* g = EC_KEY_get0_group(key);
  EC_POINT_point2oct(g, EC_KEY_get0_public_key(key), POINT_CONVERSION_COMPRESSED, pub, 33, nullptr);
  ECDSA_SIG* sig = ECDSA_do_sign(hash, 32, key);
  EC_KEY* vk = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
  EC_POINT* Q = EC_POINT_new(g);
  for (auto _ : st) {
    EC_POINT_oct2point(g, Q, pub, 33, nullptr);
    EC_KEY_set_public_key(vk, Q);
    if (ECDSA_do_verify(hash, 32, sig, vk) != 1) st.SkipWithError("verify");
  }
  EC_POINT_free(Q);
  EC_KEY_free(vk);
  ECDSA_SIG_free(sig);
  EC_KEY_free(key);
}

// Decoding of the compressed peer key and the compressed result, as ours.
void OsslEcdh(benchmark::State& st) {
  P256Work w;
  uint8_t peer[33], out[33], priv[32];
  OurPub(1, peer);
  std::memcpy(priv, kPriv, 32);
  priv[0] ^= 0x55;
  for (auto _ : st) {
    BN_bin2bn(priv, 32, w.d);
    EC_POINT_oct2point(w.g, w.P, peer, 33, w.ctx);
    EC_POINT_mul(w.g, w.S, nullptr, w.P, w.d, w.ctx);
    EC_POINT_point2oct(w.g, w.S, POINT_CONVERSION_COMPRESSED, out, 33, w.ctx);
    benchmark::DoNotOptimize(out);
  }
}

void OsslPub(benchmark::State& st) {
  EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  EC_POINT* Q = EC_POINT_new(g);
  uint8_t priv[32], out[33];
  std::memcpy(priv, kPriv, 32);
  BIGNUM* d = BN_new();
  for (auto _ : st) {
    Next(priv);
    BN_bin2bn(priv, 32, d);
    EC_POINT_mul(g, Q, d, nullptr, nullptr, nullptr);
    EC_POINT_point2oct(g, Q, POINT_CONVERSION_COMPRESSED, out, 33, nullptr);
    benchmark::DoNotOptimize(out);
  }
  BN_free(d);
  EC_POINT_free(Q);
  EC_GROUP_free(g);
}

// The export receives only the 32-byte secret: the reference derives the
// key pair from the seed and signs.
void SodiumSign(benchmark::State& st) {
  uint8_t pk[32], sk[64], sig[64];
  for (auto _ : st) {
    crypto_sign_seed_keypair(pk, sk, kPriv);
    crypto_sign_detached(sig, nullptr, kMsg, sizeof kMsg, sk);
    benchmark::DoNotOptimize(sig);
  }
}

void SodiumVerify(benchmark::State& st) {
  uint8_t pk[32], sk[64], sig[64];
  crypto_sign_seed_keypair(pk, sk, kPriv);
  crypto_sign_detached(sig, nullptr, kMsg, sizeof kMsg, sk);
  for (auto _ : st) {
    if (crypto_sign_verify_detached(sig, kMsg, sizeof kMsg, pk) != 0) st.SkipWithError("verify");
  }
}

void SodiumPub(benchmark::State& st) {
  uint8_t priv[32], pk[32], sk[64];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    Next(priv);
    crypto_sign_seed_keypair(pk, sk, priv);
    benchmark::DoNotOptimize(pk);
  }
}

// Keeps the CPU time per call of every repetition for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        times_[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() {
    std::printf("\nCPU time per call, median of the repetitions (lowest..highest)\n");
    std::printf("%-20s %26s %26s %7s\n", "operation", "ours (us)", "ref (us)", "ratio");
    for (const char* op : kOps) {
      auto a = times_.find(std::string(op) + "/ours"), b = times_.find(std::string(op) + "/ref");
      if (a == times_.end() || b == times_.end()) continue;
      const double ma = Median(a->second), mb = Median(b->second);
      char ours[64], ref[64];
      std::snprintf(ours, sizeof ours, "%.1f (%.1f..%.1f)", ma, Lo(a->second), Hi(a->second));
      std::snprintf(ref, sizeof ref, "%.1f (%.1f..%.1f)", mb, Lo(b->second), Hi(b->second));
      std::printf("%-20s %26s %26s %7.2f\n", op, ours, ref, ma / mb);
    }
  }
  static constexpr const char* kOps[] = {"secp256k1_sign", "secp256k1_verify", "secp256k1_pubkey",
                                         "p256_sign",      "p256_verify",      "p256_pubkey",
                                         "ed25519_sign",   "ed25519_verify",   "ed25519_keypair",
                                         "bip32_priv_child", "bip32_pub_child", "secp256k1_ecdh",
                                         "p256_ecdh",      "secp256k1_ecies_enc", "secp256k1_ecies_dec",
                                         "p256_ecies_enc", "p256_ecies_dec"};

 private:
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  static double Lo(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
  static double Hi(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }
  std::map<std::string, std::vector<double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return 1;
  // TOLVARIS_BENCH_PORTABLE=1 runs our portable field and table code instead
  // of the MULX/AVX2 paths the processor offers.
  const char* portable = std::getenv("TOLVARIS_BENCH_PORTABLE");
  if (portable != nullptr && std::strcmp(portable, "1") == 0) NXVT_ForcePortableForTest(true);
  const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
  std::printf("our paths: mulx %d avx2 %d\n", f.mulx, f.avx2);
  struct Row {
    const char* name;
    void (*ours)(benchmark::State&);
    void (*ref)(benchmark::State&);
  };
  const Row rows[] = {
      {"secp256k1_sign", [](benchmark::State& s) { OursSign(s, 0); }, K1Sign},
      {"secp256k1_verify", [](benchmark::State& s) { OursVerify(s, 0); }, K1Verify},
      {"secp256k1_pubkey", [](benchmark::State& s) { OursPub(s, 0); }, K1Pub},
      {"p256_sign", [](benchmark::State& s) { OursSign(s, 1); }, OsslSign},
      {"p256_verify", [](benchmark::State& s) { OursVerify(s, 1); }, OsslVerify},
      {"p256_pubkey", [](benchmark::State& s) { OursPub(s, 1); }, OsslPub},
      {"ed25519_sign", OursEdSign, SodiumSign},
      {"ed25519_verify", OursEdVerify, SodiumVerify},
      {"ed25519_keypair", OursEdPub, SodiumPub},
      {"bip32_priv_child", OursPrivChild, K1PrivChild},
      {"bip32_pub_child", OursPubChild, K1PubChild},
      {"secp256k1_ecdh", [](benchmark::State& s) { OursEcdh(s, 0); }, K1Ecdh},
      {"p256_ecdh", [](benchmark::State& s) { OursEcdh(s, 1); }, OsslEcdh},
      {"secp256k1_ecies_enc", [](benchmark::State& s) { OursEciesEncrypt(s, 0); },
       [](benchmark::State& s) { RefEcies(s, 0, true); }},
      {"secp256k1_ecies_dec", [](benchmark::State& s) { OursEciesDecrypt(s, 0); },
       [](benchmark::State& s) { RefEcies(s, 0, false); }},
      {"p256_ecies_enc", [](benchmark::State& s) { OursEciesEncrypt(s, 1); },
       [](benchmark::State& s) { RefEcies(s, 1, true); }},
      {"p256_ecies_dec", [](benchmark::State& s) { OursEciesDecrypt(s, 1); },
       [](benchmark::State& s) { RefEcies(s, 1, false); }},
  };
  for (const Row& r : rows) {
    // Ours and the reference alternate, so a change of machine load hits both.
    benchmark::RegisterBenchmark((std::string(r.name) + "/ours").c_str(), r.ours)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
    benchmark::RegisterBenchmark((std::string(r.name) + "/ref").c_str(), r.ref)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5);
  }
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
