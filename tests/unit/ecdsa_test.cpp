#include "crypto/ecdsa/ecdsa.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/obj_mac.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "cpu_paths_testing.h"
#include "ec_testing.h"

namespace {

using ect::Bn;
using ect::Hex64;
using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

// The test curves, with a signing object that views the helper's curve.
class Curve : public ect::Curve {
 public:
  explicit Curve(uint32_t code) : ect::Curve(code), view_{&NXVT_ECDSA_METHOD, c()} {}
  const NXVT_PKC* pkc() const { return &view_; }

 private:
  NXVT_PKC view_;
};

const char* const kN256k1 = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
const char* const kNP256 = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

struct Sig {
  int rc = -2;
  Bytes R, S;
  uint32_t recid = 99;
};

Sig SignWith(const Curve& c, const Bytes& priv, const Bytes& hash, uint32_t keepS) {
  Sig out;
  uint8_t R[40], S[40];
  uint32_t rl = sizeof R, sl = sizeof S;
  out.rc = NXVT_ECDSA_SignRFC6979(hash.data(), static_cast<uint32_t>(hash.size()), keepS, priv.data(),
                                  static_cast<uint32_t>(priv.size()), c.pkc(), R, &rl, S, &sl, &out.recid);
  if (out.rc == 0) {
    out.R.assign(R, R + rl);
    out.S.assign(S, S + sl);
  }
  return out;
}

int Verify(const Curve& c, const Bytes& R, const Bytes& S, const Bytes& hash, const Bytes& pub) {
  return NXVT_ECDSA_VerifyRS(R.data(), static_cast<uint32_t>(R.size()), S.data(), static_cast<uint32_t>(S.size()),
                             hash.data(), static_cast<uint32_t>(hash.size()), pub.data(),
                             static_cast<uint32_t>(pub.size()), c.pkc());
}

Bytes CompPub(const Curve& c, const Bytes& priv) {
  uint8_t out[40];
  uint32_t len = sizeof out;
  EXPECT_EQ(NXVT_EC_GetCompPub(priv.data(), 32, c.pkc(), out, &len), 0);
  return Bytes(out, out + len);
}

// The 32-byte value of an R or S output (checking its layout on the way).
Bytes Value32(const Bytes& part) {
  if (part.size() == 33) {
    EXPECT_EQ(part[0], 0x00);
    EXPECT_NE(part[1] & 0x80, 0);
    return Bytes(part.begin() + 1, part.end());
  }
  EXPECT_EQ(part.size(), 32u);
  EXPECT_EQ(part[0] & 0x80, 0);
  return part;
}

// Valid private keys: below n, nonzero.
Bytes RandKey(tvt::TestRng& rng, int nid) {
  for (;;) {
    Bytes k = rng.RandBytes(32);
    const std::string h = Hex(k);
    if (h != std::string(64, '0') && h < (nid == NID_secp256k1 ? kN256k1 : kNP256)) return k;
  }
}

// OpenSSL verification of (r, s) over a 32-byte hash under octet key pub.
int OsslVerify(int nid, const Bytes& pub, const Bytes& hash, const Bytes& r, const Bytes& s) {
  EC_KEY* key = EC_KEY_new_by_curve_name(nid);
  EC_POINT* Q = EC_POINT_new(EC_KEY_get0_group(key));
  EXPECT_EQ(EC_POINT_oct2point(EC_KEY_get0_group(key), Q, pub.data(), pub.size(), nullptr), 1);
  EC_KEY_set_public_key(key, Q);
  ECDSA_SIG* sig = ECDSA_SIG_new();
  ECDSA_SIG_set0(sig, BN_bin2bn(r.data(), static_cast<int>(r.size()), nullptr),
                 BN_bin2bn(s.data(), static_cast<int>(s.size()), nullptr));
  const int ok = ECDSA_do_verify(hash.data(), static_cast<int>(hash.size()), sig, key);
  ECDSA_SIG_free(sig);
  EC_POINT_free(Q);
  EC_KEY_free(key);
  return ok;
}

Bytes BnBytes(const BIGNUM* b) {
  Bytes out(32);
  BN_bn2binpad(b, out.data(), 32);
  return out;
}

// A signature that verifies for a chosen public key without its private key
// (z is free): R' = u1*G + u2*Q, r = X(R') mod n, s = r / u2, z = u1 * s.
// qOct empty stands for the point at infinity.
struct Forged {
  Bytes r, s, z;
};
Forged Forge(int nid, const Bytes& qOct, const Bytes& u1b, const Bytes& u2b) {
  EC_GROUP* g = EC_GROUP_new_by_curve_name(nid);
  BN_CTX* ctx = BN_CTX_new();
  const BIGNUM* n = EC_GROUP_get0_order(g);
  BIGNUM* u1 = BN_bin2bn(u1b.data(), 32, nullptr);
  BIGNUM* u2 = BN_bin2bn(u2b.data(), 32, nullptr);
  EC_POINT* P = EC_POINT_new(g);
  EC_POINT* Q = nullptr;
  if (!qOct.empty()) {
    Q = EC_POINT_new(g);
    EXPECT_EQ(EC_POINT_oct2point(g, Q, qOct.data(), qOct.size(), ctx), 1);
  }
  EXPECT_EQ(EC_POINT_mul(g, P, u1, Q, Q ? u2 : nullptr, ctx), 1);
  BIGNUM *x = BN_new(), *r = BN_new(), *s = BN_new(), *z = BN_new(), *inv = BN_new();
  EC_POINT_get_affine_coordinates(g, P, x, nullptr, ctx);
  BN_nnmod(r, x, n, ctx);
  BN_mod_inverse(inv, u2, n, ctx);
  BN_mod_mul(s, r, inv, n, ctx);
  BN_mod_mul(z, u1, s, n, ctx);
  Forged f{BnBytes(r), BnBytes(s), BnBytes(z)};
  for (BIGNUM* b : {u1, u2, x, r, s, z, inv}) BN_free(b);
  EC_POINT_free(P);
  EC_POINT_free(Q);
  BN_CTX_free(ctx);
  EC_GROUP_free(g);
  return f;
}

// Big-endian a + b, one byte wider.
Bytes AddBE(const Bytes& a, const std::string& bHex) {
  Bytes b = Unhex(bHex);
  Bytes out(33, 0);
  unsigned carry = 0;
  for (int i = 31; i >= 0; --i) {
    unsigned v = a[static_cast<size_t>(i)] + b[static_cast<size_t>(i)] + carry;
    out[static_cast<size_t>(i) + 1] = static_cast<uint8_t>(v);
    carry = v >> 8;
  }
  out[0] = static_cast<uint8_t>(carry);
  return out;
}

// secp256k1 low-S signatures equal libsecp256k1's recoverable signatures
// byte for byte (its default nonce is RFC 6979 over HMAC-SHA-256), and keep-S
// signatures verify under OpenSSL and under our verifier.
TEST(Ecdsa, Secp256k1MatchesLibsecp256k1) {
  Curve c(0);
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  tvt::TestRng rng(101);
  int longR = 0, longS = 0, odd = 0;
  for (int i = 0; i < 200; ++i) {
    const Bytes priv = RandKey(rng, NID_secp256k1);
    const Bytes hash = rng.RandBytes(32);
    const Sig ours = SignWith(c, priv, hash, 0);
    ASSERT_EQ(ours.rc, 0);
    secp256k1_ecdsa_recoverable_signature rs;
    ASSERT_EQ(secp256k1_ecdsa_sign_recoverable(ctx, &rs, hash.data(), priv.data(), nullptr, nullptr), 1);
    uint8_t compact[64];
    int recid = -1;
    secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx, compact, &recid, &rs);
    ASSERT_EQ(Hex(Value32(ours.R)), Hex(compact, 32)) << i;
    ASSERT_EQ(Hex(Value32(ours.S)), Hex(compact + 32, 32)) << i;
    ASSERT_EQ(ours.recid, static_cast<uint32_t>(recid)) << i;
    longR += ours.R.size() == 33;
    odd += ours.recid;

    const Bytes pub = CompPub(c, priv);
    const Sig keep = SignWith(c, priv, hash, 1);
    ASSERT_EQ(keep.rc, 0);
    longS += keep.S.size() == 33;
    EXPECT_EQ(Hex(keep.R), Hex(ours.R));
    // Keep-S gives the plain parity: inverted exactly when low-S replaced S.
    EXPECT_EQ(keep.recid ^ ours.recid, Hex(keep.S) != Hex(ours.S) ? 1u : 0u);
    EXPECT_EQ(OsslVerify(NID_secp256k1, pub, hash, Value32(keep.R), Value32(keep.S)), 1) << i;
    EXPECT_EQ(Verify(c, keep.R, keep.S, hash, pub), 0);
    EXPECT_EQ(Verify(c, ours.R, ours.S, hash, pub), 0);
    Bytes other = hash;
    other[31] ^= 1;
    EXPECT_EQ(Verify(c, ours.R, ours.S, other, pub), -1);
    // Deterministic: the same inputs give the same signature.
    const Sig again = SignWith(c, priv, hash, 0);
    EXPECT_EQ(Hex(again.R) + Hex(again.S), Hex(ours.R) + Hex(ours.S));
  }
  // Both layouts and both recovery ids were exercised.
  EXPECT_GT(longR, 0);
  EXPECT_GT(longS, 0);
  EXPECT_GT(odd, 0);
  secp256k1_context_destroy(ctx);
}

// The nonce of candidate c equals libsecp256k1's RFC 6979 nonce of attempt c.
TEST(Ecdsa, NonceCandidatesMatchLibsecp256k1) {
  tvt::TestRng rng(7);
  for (int i = 0; i < 20; ++i) {
    const Bytes key = rng.RandBytes(32), hash = rng.RandBytes(32);
    for (uint32_t attempt = 0; attempt < 4; ++attempt) {
      uint8_t ref[32], k[32];
      ASSERT_EQ(secp256k1_nonce_function_rfc6979(ref, hash.data(), key.data(), nullptr, nullptr, attempt), 1);
      uint32_t kLen = 32;
      ASSERT_EQ(NXVT_ECDSA_RFC6979Nonce(k, &kLen, key.data(), 32, hash.data(), 32, attempt), 0);
      EXPECT_EQ(kLen, 32u);
      EXPECT_EQ(Hex(k, 32), Hex(ref, 32));
    }
  }
  uint8_t k[32];
  uint32_t kLen = 32;
  const Bytes key(32, 1), hash(32, 2);
  // A shorter key stands right-aligned in 32 zero bytes; a longer one is cut
  // to its first 32 bytes.
  const Bytes shortKey = rng.RandBytes(20), longKey = rng.RandBytes(40);
  Bytes shortPadded(12, 0);
  shortPadded.insert(shortPadded.end(), shortKey.begin(), shortKey.end());
  const Bytes longCut(longKey.begin(), longKey.begin() + 32);
  for (const auto& [given, as32] : {std::pair{shortKey, shortPadded}, std::pair{longKey, longCut}}) {
    uint8_t a[32], b[32];
    uint32_t al = 32, bl = 32;
    ASSERT_EQ(NXVT_ECDSA_RFC6979Nonce(a, &al, given.data(), static_cast<uint32_t>(given.size()), hash.data(), 32, 1), 0);
    ASSERT_EQ(NXVT_ECDSA_RFC6979Nonce(b, &bl, as32.data(), 32, hash.data(), 32, 1), 0);
    EXPECT_EQ(Hex(a, 32), Hex(b, 32)) << given.size();
  }
  EXPECT_EQ(NXVT_ECDSA_RFC6979Nonce(k, &kLen, key.data(), 32, hash.data(), 31, 0), -1);
  kLen = 31;
  EXPECT_EQ(NXVT_ECDSA_RFC6979Nonce(k, &kLen, key.data(), 32, hash.data(), 32, 0), -1);
}

// RFC 6979 3.2 candidate 0 over OpenSSL's HMAC-SHA-256 with h taken as the
// raw 32 bytes.
Bytes RawNonce(const Bytes& x, const Bytes& h) {
  uint8_t V[32], K[32];
  std::memset(V, 1, 32);
  std::memset(K, 0, 32);
  unsigned int len = 32;
  for (uint8_t sep : {0, 1}) {
    Bytes in(V, V + 32);
    in.push_back(sep);
    in.insert(in.end(), x.begin(), x.end());
    in.insert(in.end(), h.begin(), h.end());
    HMAC(EVP_sha256(), K, 32, in.data(), in.size(), K, &len);
    HMAC(EVP_sha256(), K, 32, V, 32, V, &len);
  }
  HMAC(EVP_sha256(), K, 32, V, 32, V, &len);
  return Bytes(V, V + 32);
}

// Hash values not below n (z >= n): the raw 32 bytes enter the nonce (no
// reduction modulo n before the HMAC, unlike libsecp256k1's nonce function),
// and z is reduced in s, so the signature verifies under OpenSSL.
TEST(Ecdsa, HashNotBelowN) {
  tvt::TestRng rng(606);
  const Bytes hashes[] = {Bytes(32, 0xff), Unhex(kN256k1), Unhex(kNP256)};
  for (const Bytes& hash : hashes) {
    for (uint32_t code : {0u, 1u}) {
      Curve c(code);
      const Bytes priv = RandKey(rng, c.nid());
      const Sig sig = SignWith(c, priv, hash, code);
      ASSERT_EQ(sig.rc, 0);
      const Bytes pub = CompPub(c, priv);
      EXPECT_EQ(Verify(c, sig.R, sig.S, hash, pub), 0);
      EXPECT_EQ(OsslVerify(c.nid(), pub, hash, Value32(sig.R), Value32(sig.S)), 1);
      uint8_t k[32];
      uint32_t kLen = 32;
      ASSERT_EQ(NXVT_ECDSA_RFC6979Nonce(k, &kLen, priv.data(), 32, hash.data(), 32, 0), 0);
      const Bytes want = RawNonce(priv, hash);
      EXPECT_EQ(Hex(k, 32), Hex(want));
      NXVT_BN x = Bn(ect::Ossl(c.nid(), want).substr(2, 64));
      NXVT_BN_Mod(&x, c.c()->n);
      EXPECT_EQ(Hex(Value32(sig.R)), Hex64(x));
    }
  }
}

// RFC 6979 A.2.5, P-256 with SHA-256: k, r and s as computed (keep-S); the
// low-S form is n - s with the inverted recovery id.
TEST(Ecdsa, P256Rfc6979Vectors) {
  Curve c(1);
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"))["ecdsa_p256_rfc6979"];
  const Bytes priv = Unhex(v["private"].asString());
  const Bytes pubU = Unhex(v["public_uncompressed"].asString());
  Bytes pubC(pubU.begin(), pubU.begin() + 33);
  pubC[0] = static_cast<uint8_t>(0x02 | (pubU[64] & 1));
  EXPECT_EQ(Hex(CompPub(c, priv)), Hex(pubC));
  ASSERT_EQ(v["cases"].size(), 2u);
  for (const Json::Value& cs : v["cases"]) {
    const Bytes hash = Unhex(cs["sha256"].asString());
    uint8_t k[32];
    uint32_t kLen = 32;
    ASSERT_EQ(NXVT_ECDSA_RFC6979Nonce(k, &kLen, priv.data(), 32, hash.data(), 32, 0), 0);
    EXPECT_EQ(Hex(k, 32), cs["k"].asString());
    const Sig keep = SignWith(c, priv, hash, 1);
    ASSERT_EQ(keep.rc, 0);
    EXPECT_EQ(Hex(Value32(keep.R)), cs["r"].asString());
    EXPECT_EQ(Hex(Value32(keep.S)), cs["s"].asString());
    EXPECT_EQ(Verify(c, keep.R, keep.S, hash, pubC), 0);
    const Sig low = SignWith(c, priv, hash, 0);
    ASSERT_EQ(low.rc, 0);
    const bool high = cs["s"].asString() > std::string("7fffffff800000007fffffffffffffffde737d56d38bcf4279dce5617e3192a8");
    EXPECT_EQ(low.recid, keep.recid ^ (high ? 1u : 0u));
    if (!high) {
      EXPECT_EQ(Hex(low.S), Hex(keep.S));
    } else {
      EXPECT_EQ(Hex64(Bn(Value32(low.S))), ect::HexBE([&] {
                  NXVT_BN n = Bn(kNP256), s = Bn(cs["s"].asString()), d;
                  NXVT_BN_Sub(&d, &n, &s);
                  return d;
                }(), 32));
    }
  }
}

// P-256 random signatures verify under OpenSSL, and OpenSSL's under ours.
TEST(Ecdsa, P256AgreesWithOpenSSL) {
  Curve c(1);
  tvt::TestRng rng(202);
  EC_GROUP* g = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
  for (int i = 0; i < 60; ++i) {
    const Bytes priv = RandKey(rng, NID_X9_62_prime256v1);
    const Bytes hash = rng.RandBytes(32);
    const Bytes pub = CompPub(c, priv);
    for (uint32_t keepS : {0u, 1u}) {
      const Sig ours = SignWith(c, priv, hash, keepS);
      ASSERT_EQ(ours.rc, 0);
      EXPECT_EQ(OsslVerify(NID_X9_62_prime256v1, pub, hash, Value32(ours.R), Value32(ours.S)), 1);
    }
    EC_KEY* key = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
    BIGNUM* d = BN_bin2bn(priv.data(), 32, nullptr);
    EC_KEY_set_private_key(key, d);
    EC_POINT* Q = EC_POINT_new(g);
    EC_POINT_mul(g, Q, d, nullptr, nullptr, nullptr);
    EC_KEY_set_public_key(key, Q);
    ECDSA_SIG* sig = ECDSA_do_sign(hash.data(), 32, key);
    const Bytes r = BnBytes(ECDSA_SIG_get0_r(sig)), s = BnBytes(ECDSA_SIG_get0_s(sig));
    EXPECT_EQ(Verify(c, r, s, hash, pub), 0);
    Bytes bad = s;
    bad[5] ^= 0x10;
    EXPECT_EQ(Verify(c, r, bad, hash, pub), -1);
    ECDSA_SIG_free(sig);
    EC_POINT_free(Q);
    BN_free(d);
    EC_KEY_free(key);
  }
  EC_GROUP_free(g);
}

// R and S are at most 33 bytes and 1 <= r, s <= n - 1: a value padded to 34
// bytes, s + n, r + n, zero and n are refused; a 33-byte form with a leading
// 0x00 and a short form of the same value verify.
TEST(Ecdsa, VerifyChecksLengthsAndRanges) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    const std::string nHex = code == 1 ? kNP256 : kN256k1;
    tvt::TestRng rng(303 + code);
    const Bytes priv = RandKey(rng, c.nid()), hash = rng.RandBytes(32);
    const Bytes pub = CompPub(c, priv);
    const Sig sig = SignWith(c, priv, hash, 1);
    ASSERT_EQ(sig.rc, 0);
    const Bytes r = Value32(sig.R), s = Value32(sig.S);
    ASSERT_EQ(Verify(c, r, s, hash, pub), 0);
    Bytes r33 = r, s33 = s;
    r33.insert(r33.begin(), 0);
    s33.insert(s33.begin(), 0);
    EXPECT_EQ(Verify(c, r33, s33, hash, pub), 0);
    Bytes r34 = r33, s34 = s33;
    r34.insert(r34.begin(), 0);
    s34.insert(s34.begin(), 0);
    EXPECT_EQ(Verify(c, r34, s, hash, pub), -1);
    EXPECT_EQ(Verify(c, r, s34, hash, pub), -1);
    EXPECT_EQ(Verify(c, r, Bytes(200, 0), hash, pub), -1);
    EXPECT_EQ(Verify(c, r, AddBE(s, nHex), hash, pub), -1) << "s + n";
    EXPECT_EQ(Verify(c, AddBE(r, nHex), s, hash, pub), -1) << "r + n";
    EXPECT_EQ(Verify(c, r, Unhex(nHex), hash, pub), -1);
    EXPECT_EQ(Verify(c, Bytes(32, 0), s, hash, pub), -1);
    EXPECT_EQ(Verify(c, r, Bytes(32, 0), hash, pub), -1);
    EXPECT_EQ(Verify(c, r, Bytes(), hash, pub), -1);
    // Hash length and key length.
    Bytes longHash = hash;
    longHash.push_back(0);
    EXPECT_EQ(Verify(c, r, s, longHash, pub), -1);
    EXPECT_EQ(Verify(c, r, s, Bytes(hash.begin(), hash.end() - 1), pub), -1);
    EXPECT_EQ(Verify(c, r, s, hash, Bytes(65, 4)), -1);
  }
}

// Only 02/03 keys with X below p are keys. The point at infinity would let
// anyone "sign": with Q = O, u1*G alone decides, so (r, s, z) are free.
TEST(Ecdsa, VerifyRefusesNonCompressedKeys) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    tvt::TestRng rng(404 + code);
    const Forged inf = Forge(c.nid(), {}, rng.RandBytes(32), rng.RandBytes(32));
    Bytes zeroKey(33, 0);
    EXPECT_EQ(Verify(c, inf.r, inf.s, inf.z, zeroKey), -1);
    EXPECT_EQ(Verify(c, inf.r, inf.s, inf.z, Bytes{0x00}), -1);

    const Bytes priv = RandKey(rng, c.nid()), hash = rng.RandBytes(32);
    const Bytes pub = CompPub(c, priv);
    const Sig sig = SignWith(c, priv, hash, 0);
    ASSERT_EQ(Verify(c, sig.R, sig.S, hash, pub), 0);
    for (uint8_t prefix : {0x00, 0x01, 0x04, 0x05, 0x06, 0x07, 0xff}) {
      Bytes k = pub;
      k[0] = prefix;
      EXPECT_EQ(Verify(c, sig.R, sig.S, hash, k), -1) << int(prefix);
    }
    Bytes flipped = pub;
    flipped[0] ^= 1;  // the negated key
    EXPECT_EQ(Verify(c, sig.R, sig.S, hash, flipped), -1);
  }
  // secp256k1: X = x + p fits 32 bytes for a small x; a key with such an X is
  // refused even though x itself is a valid point.
  Curve c(0);
  const std::string p = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
  for (uint32_t x = 1; x < 50; ++x) {
    Bytes small(33, 0);
    small[0] = 0x02;
    small[32] = static_cast<uint8_t>(x);
    ect::Point P;
    if (NXVT_EC_Point_Decode(P.get(), small.data(), 33, c.c()) != 0) continue;
    uint8_t yb[32];
    uint32_t yl = 32;
    ASSERT_EQ(NXVT_EC_GetPubY(small.data(), 33, c.pkc(), yb, &yl), 0);
    Bytes u(65, 0);
    u[0] = 4;
    std::memcpy(u.data() + 1, small.data() + 1, 32);
    std::memcpy(u.data() + 33, yb, 32);
    tvt::TestRng rng(x);
    const Forged f = Forge(NID_secp256k1, u, rng.RandBytes(32), rng.RandBytes(32));
    ASSERT_EQ(Verify(c, f.r, f.s, f.z, small), 0);
    Bytes big = AddBE(Bytes(small.begin() + 1, small.end()), p);
    ASSERT_EQ(big[0], 0);
    big[0] = 0x02;
    EXPECT_EQ(Verify(c, f.r, f.s, f.z, big), -1);
    return;
  }
  FAIL() << "no small x on the curve";
}

// Low-S: floor(n/2) stays (it is the low one), floor(n/2) + 1 becomes
// n - s = floor(n/2) with the recovery id inverted; keep-S leaves both.
TEST(Ecdsa, LowSBoundary) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    NXVT_BN half;
    NXVT_BN_Shr1(&half, c.c()->n);
    if (code == 0) {
      EXPECT_EQ(Hex64(half), "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0");
    }
    NXVT_BN above;
    NXVT_BN_AddWord(&above, &half, 1);
    const NXVT_BN r = Bn("1");
    const int32_t parity = NXVT_EC_Point_YParity(c.c()->G, c.c());
    struct Case {
      NXVT_BN s;
      uint32_t keepS;
      uint32_t recid;
    };
    const Case cases[] = {{half, 0, static_cast<uint32_t>(parity)},
                          {above, 0, static_cast<uint32_t>(parity ^ 1)},
                          {above, 1, static_cast<uint32_t>(parity)}};
    for (const Case& cs : cases) {
      NXVT_BN s = cs.s;
      uint8_t R[33], S[33];
      uint32_t rl = 33, sl = 33, recid = 9;
      ASSERT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &r, &s, cs.keepS, c.c(), R, &rl, S, &sl, &recid), 0);
      EXPECT_EQ(recid, cs.recid);
      const bool replaced = cs.keepS == 0 && NXVT_BN_Cmp(&cs.s, &half) == 1;
      EXPECT_EQ(Hex(S, sl), Hex64(replaced ? half : cs.s)) << c.name();
      EXPECT_EQ(Hex64(s), Hex64(replaced ? half : cs.s));
      // r = 1 needs one byte: 32 bytes with zeros in front.
      EXPECT_EQ(rl, 32u);
      EXPECT_EQ(Hex(R, rl), Hex64(r));
    }
  }
}

// Scripted candidates for the deterministic signer; a failure past the end.
std::vector<Bytes> gCandidates;
int32_t ScriptedNonce(uint8_t* k, uint32_t* kLen, const uint8_t*, uint32_t, const uint8_t*, uint32_t,
                      uint32_t counter) {
  if (counter >= gCandidates.size()) return -1;
  std::memcpy(k, gCandidates[counter].data(), 32);
  *kLen = 32;
  return 0;
}

Sig SignScripted(const Curve& c, const Bytes& priv, const Bytes& hash, std::vector<Bytes> candidates) {
  gCandidates = std::move(candidates);
  Sig out;
  uint8_t R[33], S[33];
  uint32_t rl = 33, sl = 33;
  out.rc = NXVT_ECDSA_SignWithNonce(ScriptedNonce, hash.data(), 32, 1, priv.data(), 32, c.pkc(), R, &rl, S, &sl,
                                    &out.recid);
  if (out.rc == 0) {
    out.R.assign(R, R + rl);
    out.S.assign(S, S + sl);
  }
  return out;
}

// X(k*G) mod n as 32 bytes.
std::string RofK(const Curve& c, const Bytes& k) {
  NXVT_BN x = Bn(ect::Ossl(c.nid(), k).substr(2, 64));
  NXVT_BN_Mod(&x, c.c()->n);
  return Hex64(x);
}

// A candidate is used as it stands, with no range check: 2^256 - 1 (above n)
// signs as the nonce 2^256 - 1 - n, and 0 or n (0 modulo n) give the point at
// infinity, which fails the signing instead of moving on. Only r = 0 and
// s = 0 lead to the next candidate.
TEST(Ecdsa, CandidateUse) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    tvt::TestRng rng(707 + code);
    const Bytes priv = RandKey(rng, c.nid()), hash = rng.RandBytes(32);
    const Bytes pub = CompPub(c, priv);
    const Bytes n = Unhex(code == 1 ? kNP256 : kN256k1);
    const Bytes k = RandKey(rng, c.nid());
    const Sig direct = SignScripted(c, priv, hash, {k});
    ASSERT_EQ(direct.rc, 0);
    EXPECT_EQ(Hex(Value32(direct.R)), RofK(c, k));

    const Bytes top(32, 0xff);
    NXVT_BN small = Bn(Hex(top)), nBn = Bn(Hex(n));
    ASSERT_EQ(NXVT_BN_Sub(&small, &small, &nBn), 1);
    const Bytes kSmall = Unhex(Hex64(small));
    const Sig above = SignScripted(c, priv, hash, {top, k});
    const Sig reduced = SignScripted(c, priv, hash, {kSmall});
    ASSERT_EQ(above.rc, 0);
    ASSERT_EQ(reduced.rc, 0);
    EXPECT_EQ(Hex(above.R) + Hex(above.S), Hex(reduced.R) + Hex(reduced.S));
    EXPECT_EQ(above.recid, reduced.recid);
    EXPECT_EQ(Hex(Value32(above.R)), RofK(c, kSmall));
    EXPECT_EQ(OsslVerify(c.nid(), pub, hash, Value32(above.R), Value32(above.S)), 1);
    for (const Bytes& zeroModN : {Bytes(32, 0), n}) {
      EXPECT_EQ(SignScripted(c, priv, hash, {zeroModN, k}).rc, -1) << Hex(zeroModN);
    }

    // z = -r0 * d mod n makes s = 0 for the first candidate.
    const Bytes k0 = RandKey(rng, c.nid()), k1 = RandKey(rng, c.nid());
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* bn = BN_bin2bn(n.data(), 32, nullptr);
    const Bytes r0 = Unhex(RofK(c, k0));
    BIGNUM* z = BN_bin2bn(r0.data(), 32, nullptr);
    BIGNUM* d = BN_bin2bn(priv.data(), 32, nullptr);
    BN_mod_mul(z, z, d, bn, ctx);
    BN_mod_sub(z, bn, z, bn, ctx);
    const Bytes zHash = BnBytes(z);
    BN_free(z);
    BN_free(d);
    BN_free(bn);
    BN_CTX_free(ctx);
    const Sig sZero = SignScripted(c, priv, zHash, {k0, k1});
    ASSERT_EQ(sZero.rc, 0);
    EXPECT_EQ(Hex(Value32(sZero.R)), RofK(c, k1));
    EXPECT_EQ(Verify(c, sZero.R, sZero.S, zHash, pub), 0);
    EXPECT_EQ(SignScripted(c, priv, zHash, {k0}).rc, -1);
  }
}

// Layout: a top bit set gives 33 bytes with 0x00 in front, a value with a
// clear top bit 32 bytes; a capacity below 33 is refused with nothing written.
TEST(Ecdsa, FormatLayoutAndCapacity) {
  Curve c(0);
  NXVT_BN r = Bn("80" + std::string(62, '1'));
  NXVT_BN s = Bn("00ff" + std::string(60, '2'));
  uint8_t R[40], S[40];
  uint32_t rl = 33, sl = 33;
  ASSERT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &r, &s, 1, c.c(), R, &rl, S, &sl, nullptr), 0);
  EXPECT_EQ(Hex(R, rl), "0080" + std::string(62, '1'));
  EXPECT_EQ(Hex(S, sl), "00ff" + std::string(60, '2'));
  // Both buffers are cleared over their stated capacities, not just 33 bytes.
  std::memset(R, 0xAA, sizeof R);
  std::memset(S, 0xAA, sizeof S);
  rl = sizeof R;
  sl = 36;
  ASSERT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &r, &s, 1, c.c(), R, &rl, S, &sl, nullptr), 0);
  EXPECT_EQ(Hex(R, sizeof R), "0080" + std::string(62, '1') + std::string(14, '0'));
  EXPECT_EQ(Hex(S, sizeof S), "00ff" + std::string(60, '2') + std::string(8, '0') + std::string(8, 'a'));
  for (uint32_t cap : {0u, 1u, 32u}) {
    std::memset(R, 0xAA, sizeof R);
    std::memset(S, 0xAA, sizeof S);
    uint32_t small = cap, big = 33;
    EXPECT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &r, &s, 1, c.c(), R, &small, S, &big, nullptr), -1);
    EXPECT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &r, &s, 1, c.c(), R, &big, S, &small, nullptr), -1);
    EXPECT_EQ(Hex(R, sizeof R), std::string(80, 'a'));
    EXPECT_EQ(Hex(S, sizeof S), std::string(80, 'a'));
  }
  // Values wider than 32 bytes are refused.
  NXVT_BN wide = Bn("1" + std::string(64, '0'));
  EXPECT_EQ(NXVT_ECDSA_FormatSig(c.c()->G, &wide, &s, 1, c.c(), R, &rl, S, &sl, nullptr), -1);
}

// When X of k*G is not below n (possible on P-256, where p - n is about
// 2^224), the recovery id is still the parity alone: ids 2 and 3 are never
// produced.
TEST(Ecdsa, RecoveryIdIsParityWhenXNotBelowN) {
  Curve c(1);
  NXVT_BN n = Bn(kNP256);
  for (uint32_t i = 1; i < 64; ++i) {
    NXVT_BN x;
    NXVT_BN_AddWord(&x, &n, i);
    Bytes oct = Unhex("02" + Hex64(x));
    ect::Point P;
    if (NXVT_EC_Point_Decode(P.get(), oct.data(), 33, c.c()) != 0) continue;
    const uint32_t parity = static_cast<uint32_t>(NXVT_EC_Point_YParity(P.get(), c.c()));
    NXVT_BN r = Bn("1"), half;
    NXVT_BN_AddWord(&r, &r, i - 1);
    NXVT_BN_Shr1(&half, c.c()->n);
    NXVT_BN high;
    NXVT_BN_AddWord(&high, &half, 5);
    for (uint32_t keepS : {0u, 1u}) {
      NXVT_BN s = high;
      uint8_t R[33], S[33];
      uint32_t rl = 33, sl = 33, recid = 9;
      ASSERT_EQ(NXVT_ECDSA_FormatSig(P.get(), &r, &s, keepS, c.c(), R, &rl, S, &sl, &recid), 0);
      EXPECT_EQ(recid, parity ^ (keepS ? 0u : 1u)) << keepS;
    }
    return;
  }
  FAIL() << "no point with X just above n";
}

// A sum u1*G + u2*Q whose x lies in n..p-1 verifies with r = x - n, as
// OpenSSL has it, and altered signatures get OpenSSL's answer; u1, u2 at the edges
// of the scalar range. Q = u2^-1 (T - u1*G) for a point T with such an x.
TEST(Ecdsa, VerifyWhereTheSumsXIsNotBelowN) {
  tvt::TestRng rng(0x5E1F);
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    NXVT_BN n = Bn(code == 0 ? kN256k1 : kNP256);
    Bytes tOct;
    for (uint32_t i = 1; i < 64 && tOct.empty(); ++i) {
      NXVT_BN x;
      NXVT_BN_AddWord(&x, &n, i);
      Bytes oct = Unhex("02" + Hex64(x));
      ect::Point T;
      if (NXVT_EC_Point_Decode(T.get(), oct.data(), 33, c.c()) == 0) tOct = oct;
    }
    ASSERT_FALSE(tOct.empty()) << "no point with x just above n";
    const Bytes nMinus1 = Unhex(Hex64(n)), one = Unhex(std::string(63, '0') + "1");
    Bytes nm1 = nMinus1;
    nm1[31] -= 1;
    std::vector<std::pair<Bytes, Bytes>> us = {{Bytes(32, 0), one}, {one, one}, {nm1, nm1}, {Bytes(32, 0), nm1}};
    for (int i = 0; i < 12; ++i) us.push_back({rng.RandBytes(32), rng.RandBytes(32)});
    for (const auto& [u1b, u2b] : us) {
      EC_GROUP* g = EC_GROUP_new_by_curve_name(c.nid());
      BN_CTX* ctx = BN_CTX_new();
      BIGNUM *u1 = BN_bin2bn(u1b.data(), 32, nullptr), *u2 = BN_bin2bn(u2b.data(), 32, nullptr);
      BIGNUM *inv = BN_new(), *gk = BN_new();
      const BIGNUM* order = EC_GROUP_get0_order(g);
      BN_nnmod(u1, u1, order, ctx);
      BN_nnmod(u2, u2, order, ctx);
      ASSERT_NE(BN_mod_inverse(inv, u2, order, ctx), nullptr);
      BN_mod_mul(gk, u1, inv, order, ctx);
      BN_mod_sub(gk, order, gk, order, ctx);  // -u1 / u2
      EC_POINT *T = EC_POINT_new(g), *Q = EC_POINT_new(g);
      ASSERT_EQ(EC_POINT_oct2point(g, T, tOct.data(), tOct.size(), ctx), 1);
      ASSERT_EQ(EC_POINT_mul(g, Q, gk, T, inv, ctx), 1);
      uint8_t q[33];
      ASSERT_EQ(EC_POINT_point2oct(g, Q, POINT_CONVERSION_COMPRESSED, q, sizeof q, ctx), 33u);
      Bytes u1n = BnBytes(u1), u2n = BnBytes(u2);
      for (BIGNUM* b : {u1, u2, inv, gk}) BN_free(b);
      EC_POINT_free(T);
      EC_POINT_free(Q);
      BN_CTX_free(ctx);
      EC_GROUP_free(g);
      const Bytes pub(q, q + 33), full = Unhex(ect::Ossl(c.nid(), {}, pub, one));
      const Forged f = Forge(c.nid(), full, u1n, u2n);
      EXPECT_EQ(Hex(f.r).substr(0, 56), std::string(56, '0')) << "r = x - n is small";
      EXPECT_EQ(Verify(c, f.r, f.s, f.z, pub), 0) << c.name() << " u1=" << Hex(u1n) << " u2=" << Hex(u2n);
      EXPECT_EQ(OsslVerify(c.nid(), pub, f.z, f.r, f.s), 1);
      Bytes r1 = f.r, z1 = f.z, flipped = pub;
      r1[31] ^= 1;
      z1[31] ^= 1;
      flipped[0] ^= 1;
      for (const auto& [R, Z, K] : {std::tuple{r1, f.z, pub}, std::tuple{f.r, z1, pub}, std::tuple{f.r, f.z, flipped}}) {
        // (With u1 = 0 the negated key still verifies: -T has the same x.)
        EXPECT_EQ(Verify(c, R, f.s, Z, K) == 0, OsslVerify(c.nid(), K, Z, R, f.s) == 1)
            << c.name() << " u1=" << Hex(u1n) << " u2=" << Hex(u2n);
      }
    }
  }
}

// Private keys that are 0 modulo n are refused by signing and by the
// public-key operation; wrong lengths too.
TEST(Ecdsa, RefusesUnusablePrivateKeys) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    const Bytes hash(32, 7);
    const Bytes n = Unhex(code == 1 ? kNP256 : kN256k1);
    for (const Bytes& k : {Bytes(32, 0), n}) {
      EXPECT_EQ(SignWith(c, k, hash, 0).rc, -1);
      uint8_t out[33];
      uint32_t len = 33;
      EXPECT_EQ(NXVT_EC_GetCompPub(k.data(), 32, c.pkc(), out, &len), -1);
    }
    EXPECT_EQ(SignWith(c, Bytes(31, 1), hash, 0).rc, -1);
    EXPECT_EQ(SignWith(c, Bytes(33, 1), hash, 0).rc, -1);
    // n - 1 is a key.
    Bytes nm1 = n;
    nm1[31] -= 1;
    EXPECT_EQ(SignWith(c, nm1, hash, 0).rc, 0);
  }
}

// Compressed keys and Y recovery agree with libsecp256k1 and OpenSSL.
TEST(Ecdsa, PublicKeysMatchReferences) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  tvt::TestRng rng(505);
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    for (int i = 0; i < 40; ++i) {
      const Bytes priv = RandKey(rng, c.nid());
      const Bytes pub = CompPub(c, priv);
      ASSERT_EQ(pub.size(), 33u);
      const std::string u = ect::Ossl(c.nid(), priv);
      Bytes want = Unhex(u.substr(0, 66));
      want[0] = static_cast<uint8_t>(0x02 | (Unhex(u.substr(128, 2))[0] & 1));
      EXPECT_EQ(Hex(pub), Hex(want));
      if (code == 0) {
        secp256k1_pubkey pk;
        ASSERT_EQ(secp256k1_ec_pubkey_create(ctx, &pk, priv.data()), 1);
        uint8_t ser[33];
        size_t sl = 33;
        secp256k1_ec_pubkey_serialize(ctx, ser, &sl, &pk, SECP256K1_EC_COMPRESSED);
        EXPECT_EQ(Hex(pub), Hex(ser, 33));
      }
      uint8_t y[32];
      uint32_t yl = 32;
      ASSERT_EQ(NXVT_EC_GetPubY(pub.data(), 33, c.pkc(), y, &yl), 0);
      EXPECT_EQ(Hex(y, yl), u.substr(66));
    }
    uint8_t out[33];
    uint32_t len = 32;
    const Bytes priv = RandKey(rng, c.nid());
    EXPECT_EQ(NXVT_EC_GetCompPub(priv.data(), 32, c.pkc(), out, &len), -1);
    Bytes pub = CompPub(c, priv);
    uint32_t yl = 32;
    pub[0] = 0x04;
    EXPECT_EQ(NXVT_EC_GetPubY(pub.data(), 33, c.pkc(), out, &yl), -1);
  }
  secp256k1_context_destroy(ctx);
}

// Keys at the edges of the generator table's signed 7-bit digits and its
// top row, and with long runs of zero or one bits: their public keys equal
// OpenSSL's and their signatures verify under OpenSSL, on both paths.
TEST(Ecdsa, EdgeKeysAgreeWithOpenSSL) {
  tvt::TestRng rng(506);
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    Bytes nm1 = Unhex(code == 1 ? kNP256 : kN256k1), nm2 = nm1;
    nm1[31] -= 1;  // both orders end in a byte above 2
    nm2[31] -= 2;
    std::vector<Bytes> keys = {nm1, nm2};
    for (const char* h : {"0000000000000000000000000000000000000000000000000000000000000001",
                          "0000000000000000000000000000000000000000000000000000000000000002",
                          "0000000000000000000000000000000000000000000000000000000000000040",
                          "1000000000000000000000000000000000000000000000000000000000000000",
                          "0fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
                          "8000000000000000000000000000000000000000000000000000000000000000",
                          "7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
                          "00000000000000000000000000000000ffffffffffffffffffffffffffffffff",
                          "ff000000000000000000000000000000000000000000000000000000000000ff",
                          "0000000fffffffffffffffffffffffffffffffffffffffffffffffff00000000",
                          "0810204081020408102040810204081020408102040810204081020408102040"})
      keys.push_back(Unhex(h));
    for (const Bytes& priv : keys) {
      const std::string u = ect::Ossl(c.nid(), priv);
      Bytes want = Unhex(u.substr(0, 66));
      want[0] = static_cast<uint8_t>(0x02 | (Unhex(u.substr(128, 2))[0] & 1));
      for (bool portable : {false, true}) {
        cput::ForcedPath path(portable);
        const Bytes pub = CompPub(c, priv);
        EXPECT_EQ(Hex(pub), Hex(want)) << c.name() << " " << Hex(priv) << (portable ? " portable" : "");
        const Bytes hash = rng.RandBytes(32);
        const Sig sig = SignWith(c, priv, hash, 0);
        ASSERT_EQ(sig.rc, 0);
        EXPECT_EQ(OsslVerify(c.nid(), want, hash, Value32(sig.R), Value32(sig.S)), 1)
            << c.name() << " " << Hex(priv) << (portable ? " portable" : "");
      }
    }
  }
}

// A public X that needs fewer than 32 bytes is zero-filled after the prefix
// (the key stays 33 bytes), and such a key verifies its own signatures.
TEST(Ecdsa, CompressedKeyWithShortX) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    tvt::TestRng rng(515 + code);
    int found = 0;
    for (int i = 0; i < 4000 && found < 2; ++i) {
      const Bytes priv = RandKey(rng, c.nid());
      const Bytes pub = CompPub(c, priv);
      ASSERT_EQ(pub.size(), 33u);
      if (pub[1] != 0) continue;
      ++found;
      const std::string u = ect::Ossl(c.nid(), priv);
      EXPECT_EQ(Hex(pub).substr(2), u.substr(2, 64));
      EXPECT_EQ(pub[0], 0x02 | (Unhex(u.substr(128, 2))[0] & 1));
      const Bytes hash = rng.RandBytes(32);
      const Sig sig = SignWith(c, priv, hash, 0);
      ASSERT_EQ(sig.rc, 0);
      EXPECT_EQ(Verify(c, sig.R, sig.S, hash, pub), 0);
    }
    EXPECT_EQ(found, 2) << c.name();
  }
}

// The table operations: random-nonce signing over a digest, verification,
// key generation and the key-pair check.
TEST(Ecdsa, TableOperations) {
  for (uint32_t code : {0u, 1u}) {
    Curve c(code);
    NXVT_EC_PUBKEY* pub = NXVT_EC_PubKey_New();
    ASSERT_NE(pub, nullptr);
    NXVT_BN d, r, s;
    ASSERT_EQ(NXVT_ECDSA_GenKeyPair(&d, pub, c.c()), 0);
    EXPECT_EQ(NXVT_ECDSA_CheckKeyPair(&d, pub, c.c()), 0);
    EXPECT_EQ(NXVT_ECDSA_CheckKeyPair(nullptr, pub, c.c()), 0);
    NXVT_BN d2 = d;
    NXVT_BN_AddWord(&d2, &d2, 1);
    EXPECT_EQ(NXVT_ECDSA_CheckKeyPair(&d2, pub, c.c()), -1);
    EXPECT_EQ(NXVT_ECDSA_CheckKeyPair(&d, nullptr, c.c()), -1);

    const Bytes msg = tvt::FromText("table operation message");
    NXVT_ECDSA_SIG sig{&r, &s};
    ASSERT_EQ(NXVT_ECDSA_Sign(&sig, msg.data(), static_cast<uint32_t>(msg.size()), &d, c.c(), &NXVT_SHA256_DESC), 0);
    EXPECT_EQ(NXVT_ECDSA_Verify(&sig, msg.data(), static_cast<uint32_t>(msg.size()), pub, c.c(), &NXVT_SHA256_DESC), 0);
    Bytes h(32);
    SHA256(msg.data(), msg.size(), h.data());
    uint8_t oct[65];
    uint32_t ol = 65;
    ASSERT_EQ(NXVT_EC_Point_ToOctets(pub->Q, kEcFormUncompressed, oct, &ol, c.c()), 0);
    EXPECT_EQ(OsslVerify(c.nid(), Bytes(oct, oct + 65), h, Unhex(ect::Hex64(r)), Unhex(ect::Hex64(s))), 1);
    Bytes other = msg;
    other[0] ^= 1;
    EXPECT_EQ(NXVT_ECDSA_Verify(&sig, other.data(), static_cast<uint32_t>(other.size()), pub, c.c(), &NXVT_SHA256_DESC),
              -1);
    // A digest longer than n (SHA-512) is cut to its leftmost bits, as
    // OpenSSL does with a long digest.
    NXVT_BN r5, s5;
    NXVT_ECDSA_SIG sig5{&r5, &s5};
    ASSERT_EQ(NXVT_ECDSA_Sign(&sig5, msg.data(), static_cast<uint32_t>(msg.size()), &d, c.c(), &NXVT_SHA512_DESC), 0);
    EXPECT_EQ(NXVT_ECDSA_Verify(&sig5, msg.data(), static_cast<uint32_t>(msg.size()), pub, c.c(), &NXVT_SHA512_DESC),
              0);
    Bytes h5(64);
    SHA512(msg.data(), msg.size(), h5.data());
    EXPECT_EQ(OsslVerify(c.nid(), Bytes(oct, oct + 65), h5, Unhex(ect::Hex64(r5)), Unhex(ect::Hex64(s5))), 1);
    EXPECT_EQ(NXVT_ECDSA_Verify(&sig5, msg.data(), static_cast<uint32_t>(msg.size()), pub, c.c(), &NXVT_SHA256_DESC),
              -1);
    // Random nonces: a second signature differs.
    NXVT_BN r2, s2;
    NXVT_ECDSA_SIG sig2{&r2, &s2};
    ASSERT_EQ(NXVT_ECDSA_Sign(&sig2, msg.data(), static_cast<uint32_t>(msg.size()), &d, c.c(), &NXVT_SHA256_DESC), 0);
    EXPECT_NE(Hex64(r2), Hex64(r));
    // s = n is out of range.
    NXVT_BN nn = *c.c()->n;
    NXVT_ECDSA_SIG bad{&r, &nn};
    EXPECT_EQ(NXVT_ECDSA_Verify(&bad, msg.data(), static_cast<uint32_t>(msg.size()), pub, c.c(), &NXVT_SHA256_DESC), -1);
    NXVT_BN zero = Bn("0");
    EXPECT_EQ(NXVT_ECDSA_Sign(&sig, msg.data(), static_cast<uint32_t>(msg.size()), &zero, c.c(), &NXVT_SHA256_DESC), -1);
    NXVT_EC_KeyPair_Free(pub);
    NXVT_EC_KeyPair_Free(nullptr);
  }
}

}  // namespace
