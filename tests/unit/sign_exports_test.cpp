#include <gtest/gtest.h>
#include <secp256k1.h>
#include <sodium.h>

#include <map>
#include <string>
#include <vector>

#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_sign.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::LastErr;
using tvt::Unhex;

const unsigned char kEmpty[1] = {0};
const unsigned char* Ptr(const Bytes& b) { return b.empty() ? kEmpty : b.data(); }
int Len(const Bytes& b) { return static_cast<int>(b.size()); }

struct Sig {
  int rc = -1;
  Bytes R, S;
  uint32_t recid = 9;
};

Sig Gen(uint32_t curve, const Bytes& priv, uint32_t hashId, const Bytes& msg, uint32_t keepS = 0) {
  Sig out;
  unsigned char R[33], S[33];
  int rl = 33, sl = 33;
  out.rc = BCMGenSignature(curve, Ptr(priv), Len(priv), hashId, Ptr(msg), Len(msg), keepS, R, &rl, S, &sl, &out.recid);
  if (out.rc == 0) {
    out.R.assign(R, R + rl);
    out.S.assign(S, S + sl);
  }
  return out;
}

int Ver(uint32_t curve, const Bytes& pub, const Bytes& R, const Bytes& S, uint32_t hashId, const Bytes& msg) {
  return BCMVerifySignature(curve, Ptr(pub), Len(pub), Ptr(R), Len(R), Ptr(S), Len(S), hashId, Ptr(msg), Len(msg));
}

// The compressed form of an uncompressed SEC 1 key.
Bytes Compress(const Bytes& u) {
  Bytes c(u.begin(), u.begin() + 33);
  c[0] = static_cast<uint8_t>(0x02 | (u[64] & 1));
  return c;
}

// Strict DER of ECDSA-Sig-Value: SEQUENCE { INTEGER r, INTEGER s }, short
// lengths, minimal non-negative integers, nothing after.
bool ParseDer(const Bytes& d, Bytes& r, Bytes& s) {
  if (d.size() < 2 || d[0] != 0x30 || (d[1] & 0x80) || d[1] != d.size() - 2) return false;
  size_t i = 2;
  auto integer = [&](Bytes& out) {
    if (i + 2 > d.size() || d[i] != 0x02 || (d[i + 1] & 0x80)) return false;
    const size_t len = d[i + 1];
    i += 2;
    if (len == 0 || i + len > d.size()) return false;
    if (d[i] & 0x80) return false;
    if (len > 1 && d[i] == 0 && !(d[i + 1] & 0x80)) return false;
    out.assign(d.begin() + static_cast<long>(i), d.begin() + static_cast<long>(i + len));
    i += len;
    return true;
  };
  return integer(r) && integer(s) && i == d.size();
}

// BCMGenSignature: the argument checks, the size query, the capacity check and
// a failing front end, with their codes and trail texts.
TEST(SignExports, GenSignatureCodes) {
  const Bytes priv(32, 0x42), msg = tvt::FromText("abc");
  unsigned char R[33], S[33];
  int rl = 33, sl = 33;
  uint32_t recid = 0;
  const Bytes shortKey(31, 1);
  EXPECT_EQ(BCMGenSignature(0, shortKey.data(), 31, 1, msg.data(), 3, 0, R, &rl, S, &sl, &recid), 1583);
  EXPECT_EQ(LastErr(), "[BCMGenSignature][BCMGenSignature:1583][(param is NULL)]");
  EXPECT_EQ(BCMGenSignature(0, nullptr, 32, 1, msg.data(), 3, 0, R, &rl, S, &sl, &recid), 1583);
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, nullptr, 3, 0, R, &rl, S, &sl, &recid), 1583);
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), 3, 0, R, nullptr, S, &sl, &recid), 1583);
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), 3, 0, R, &rl, S, &sl, nullptr), 1583);

  rl = 0;
  sl = -5;
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), 3, 0, nullptr, &rl, S, &sl, &recid), 0);
  EXPECT_EQ(rl, 33);
  EXPECT_EQ(sl, 33);
  EXPECT_EQ(LastErr(), "[BCMGenSignature][][]");

  rl = 32;
  sl = 33;
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), 3, 0, R, &rl, S, &sl, &recid), 1596);
  EXPECT_EQ(LastErr(),
            "[BCMGenSignature][BCMGenSignature:1596][(buffer size SigR[32 is lower than 33] SigS[33 is lower than "
            "33])]");
  rl = 33;
  sl = -1;
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), 3, 0, R, &rl, S, &sl, &recid), 1596);

  // Hash id 0 with a message over 32 bytes, and a negative message length.
  const Bytes longMsg(33, 7);
  EXPECT_EQ(Gen(0, priv, 0, longMsg).rc, 1636);
  EXPECT_EQ(LastErr(),
            "[BCMGenSignature][rfc6979_secp256k1_sign:23<-BCMGenSignature:1636][(bc-module rfc6979_secp256k1_sign "
            "error)]");
  rl = sl = 33;
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 0, msg.data(), -1, 0, R, &rl, S, &sl, &recid), 1636);
  EXPECT_EQ(BCMGenSignature(0, priv.data(), 32, 1, msg.data(), -1, 0, R, &rl, S, &sl, &recid), 1636);
  // SHA-512 does not fit the 32-byte hash value.
  EXPECT_EQ(Gen(1, priv, 2, msg).rc, 1636);
  EXPECT_NE(LastErr().find("DoDigest:"), std::string::npos);
  // A private key of value zero cannot sign.
  EXPECT_EQ(Gen(0, Bytes(32, 0), 1, msg).rc, 1636);
  EXPECT_EQ(LastErr(),
            "[BCMGenSignature][rfc6979_secp256k1_sign:35<-BCMGenSignature:1636][(bc-module rfc6979_secp256k1_sign "
            "error)]");

  const Sig ok = Gen(0, priv, 1, msg);
  ASSERT_EQ(ok.rc, 0);
  EXPECT_EQ(LastErr(), "[BCMGenSignature][][]");
  // Any curve code but 1 is secp256k1.
  const Sig other = Gen(7, priv, 1, msg);
  EXPECT_EQ(Hex(other.R) + Hex(other.S), Hex(ok.R) + Hex(ok.S));
}

// BCMVerifySignature: argument checks and a wrong signature.
TEST(SignExports, VerifySignatureCodes) {
  const Bytes priv(32, 0x42), msg = tvt::FromText("abc");
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"))["ecdsa_p256_rfc6979"];
  const Bytes p256Priv = Unhex(v["private"].asString());
  const Bytes p256Pub = Unhex(v["public_uncompressed"].asString());
  const Bytes pub = Compress(p256Pub);
  // RFC 6979 A.2.5 through the export, keep-S: r and s as listed.
  for (const Json::Value& cs : v["cases"]) {
    const Sig sig = Gen(1, p256Priv, 1, tvt::FromText(cs["message"].asString()), 1);
    ASSERT_EQ(sig.rc, 0);
    EXPECT_EQ(Hex(sig.R).substr(sig.R.size() == 33 ? 2 : 0), cs["r"].asString());
    EXPECT_EQ(Hex(sig.S).substr(sig.S.size() == 33 ? 2 : 0), cs["s"].asString());
    EXPECT_EQ(Ver(1, pub, sig.R, sig.S, 1, tvt::FromText(cs["message"].asString())), 0);
    EXPECT_EQ(LastErr(), "[BCMVerifySignature][][]");
  }
  const Sig sig = Gen(1, p256Priv, 1, msg);
  ASSERT_EQ(sig.rc, 0);
  EXPECT_EQ(Ver(1, p256Pub, sig.R, sig.S, 1, msg), 1663);
  EXPECT_EQ(LastErr(), "[BCMVerifySignature][BCMVerifySignature:1663][(param is NULL)]");
  EXPECT_EQ(BCMVerifySignature(1, pub.data(), 33, nullptr, 32, sig.S.data(), Len(sig.S), 1, msg.data(), 3), 1663);
  EXPECT_EQ(BCMVerifySignature(1, pub.data(), 33, sig.R.data(), Len(sig.R), nullptr, 32, 1, msg.data(), 3), 1663);
  EXPECT_EQ(BCMVerifySignature(1, pub.data(), 33, sig.R.data(), Len(sig.R), sig.S.data(), Len(sig.S), 1, nullptr, 3),
            1663);
  EXPECT_EQ(Ver(1, pub, sig.R, sig.S, 1, tvt::FromText("abd")), 1677);
  EXPECT_EQ(LastErr(),
            "[BCMVerifySignature][rfc6979_secp256k1_verify:73<-BCMVerifySignature:1677][(bc-module "
            "rfc6979_secp256k1_verify error)]");
  // The same signature on the other curve, and negative lengths.
  EXPECT_EQ(Ver(0, pub, sig.R, sig.S, 1, msg), 1677);
  EXPECT_EQ(BCMVerifySignature(1, pub.data(), 33, sig.R.data(), -1, sig.S.data(), Len(sig.S), 1, msg.data(), 3), 1677);
  EXPECT_EQ(BCMVerifySignature(1, pub.data(), 33, sig.R.data(), Len(sig.R), sig.S.data(), Len(sig.S), 1, msg.data(), -3),
            1677);
  EXPECT_EQ(LastErr(),
            "[BCMVerifySignature][rfc6979_secp256k1_verify:62<-BCMVerifySignature:1677][(bc-module "
            "rfc6979_secp256k1_verify error)]");
  // A RIPEMD-160 signature made by the engine verifies in the engine.
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  secp256k1_pubkey pk;
  ASSERT_EQ(secp256k1_ec_pubkey_create(ctx, &pk, priv.data()), 1);
  Bytes k1Pub(33);
  size_t pl = 33;
  secp256k1_ec_pubkey_serialize(ctx, k1Pub.data(), &pl, &pk, SECP256K1_EC_COMPRESSED);
  secp256k1_context_destroy(ctx);
  for (uint32_t id : {3u, 10u}) {
    const Sig shortDigest = Gen(0, priv, id, msg);
    ASSERT_EQ(shortDigest.rc, 0);
    EXPECT_EQ(Ver(0, k1Pub, shortDigest.R, shortDigest.S, id, msg), 0) << id;
  }
}

// BCMGenSignature_ED / BCMVerifySignature_ED codes and trail texts.
TEST(SignExports, Ed25519Codes) {
  const Bytes priv(32, 5), msg = tvt::FromText("hello");
  unsigned char sig[64];
  int len = 64;
  const Bytes shortKey(31, 1);
  EXPECT_EQ(BCMGenSignature_ED(shortKey.data(), 31, msg.data(), 5, nullptr, 0, 0, sig, &len), 1941);
  EXPECT_EQ(LastErr(), "[BCMGenSignature_ED][BCMGenSignature_ED:1941][(param is NULL)]");
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, nullptr, 0, nullptr, 0, 0, sig, &len), 1941);
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 0, 0, sig, nullptr), 1941);
  len = 0;
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 0, 0, nullptr, &len), 0);
  EXPECT_EQ(len, 64);
  len = 63;
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 0, 0, sig, &len), 1954);
  EXPECT_EQ(LastErr(), "[BCMGenSignature_ED][BCMGenSignature_ED:1954][(buffer size Sig[63 is lower than 64])]");
  len = 64;
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 0, 2, sig, &len), 1970);
  EXPECT_EQ(LastErr(),
            "[BCMGenSignature_ED][rfc8032_ed25519_sign:103<-BCMGenSignature_ED:1970][(bc-module rfc8032_ed25519_sign "
            "error)]");
  const Bytes ctx(256, 'x');
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, ctx.data(), 256, 0, sig, &len), 1970);
  EXPECT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 4, 0, sig, &len), 1970);

  // A context pointer with length 0 (or below) signs plain Ed25519.
  unsigned char plain[64];
  len = 64;
  ASSERT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, nullptr, 0, 0, plain, &len), 0);
  EXPECT_EQ(len, 64);
  for (int cl : {0, -1}) {
    len = 64;
    ASSERT_EQ(BCMGenSignature_ED(priv.data(), 32, msg.data(), 5, ctx.data(), cl, 0, sig, &len), 0);
    EXPECT_EQ(Hex(sig, 64), Hex(plain, 64));
  }
  unsigned char pub[32], sk[64];
  crypto_sign_seed_keypair(pub, sk, priv.data());
  EXPECT_EQ(BCMVerifySignature_ED(plain, 64, pub, 32, msg.data(), 5, ctx.data(), 0, 0), 0);
  EXPECT_EQ(LastErr(), "[BCMVerifySignature_ED][][]");
  EXPECT_EQ(BCMVerifySignature_ED(plain, 63, pub, 32, msg.data(), 5, nullptr, 0, 0), 1996);
  EXPECT_EQ(LastErr(), "[BCMVerifySignature_ED][BCMVerifySignature_ED:1996][(param is NULL)]");
  EXPECT_EQ(BCMVerifySignature_ED(nullptr, 64, pub, 32, msg.data(), 5, nullptr, 0, 0), 1996);
  EXPECT_EQ(BCMVerifySignature_ED(plain, 64, pub, 33, msg.data(), 5, nullptr, 0, 0), 1996);
  EXPECT_EQ(BCMVerifySignature_ED(plain, 64, pub, 32, nullptr, 0, nullptr, 0, 0), 1996);
  EXPECT_EQ(BCMVerifySignature_ED(plain, 64, pub, 32, msg.data(), 4, nullptr, 0, 0), 2002);
  EXPECT_EQ(LastErr(),
            "[BCMVerifySignature_ED][rfc8032_ed25519_verify:130<-BCMVerifySignature_ED:2002][(bc-module "
            "rfc8032_ed25519_verify error)]");
  EXPECT_EQ(BCMVerifySignature_ED(plain, 64, pub, 32, msg.data(), 5, ctx.data(), 256, 0), 2002);
}

// Ed25519 through the exports: RFC 8032 vectors, and libsodium's signatures
// byte for byte for random keys and messages.
TEST(SignExports, Ed25519MatchesVectorsAndLibsodium) {
  ASSERT_GE(sodium_init(), 0);
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"))["ed25519"];
  int count = 0;
  for (const char* kind : {"plain", "ctx", "ph"}) {
    for (const Json::Value& r : v[kind]) {
      const bool withCtx = std::string(kind) != "plain";
      const Bytes priv = Unhex(r[0].asString()), pub = Unhex(r[1].asString()), msg = Unhex(r[2].asString());
      const Bytes ctx = withCtx ? Unhex(r[3].asString()) : Bytes();
      const Bytes want = Unhex(r[withCtx ? 4 : 3].asString());
      const unsigned char ph = std::string(kind) == "ph" ? 1 : 0;
      unsigned char sig[64];
      int len = 64;
      ASSERT_EQ(BCMGenSignature_ED(priv.data(), 32, Ptr(msg), Len(msg), Ptr(ctx), Len(ctx), ph, sig, &len), 0);
      EXPECT_EQ(Hex(sig, 64), Hex(want)) << kind;
      EXPECT_EQ(BCMVerifySignature_ED(sig, 64, pub.data(), 32, Ptr(msg), Len(msg), Ptr(ctx), Len(ctx), ph), 0);
      ++count;
    }
  }
  EXPECT_EQ(count, 8);
  tvt::TestRng rng(808);
  for (int i = 0; i < 100; ++i) {
    const Bytes seed = rng.RandBytes(32);
    const Bytes msg = rng.RandBytes(rng.Below(300));
    unsigned char pk[32], sk[64], ref[64], sig[64];
    crypto_sign_seed_keypair(pk, sk, seed.data());
    crypto_sign_detached(ref, nullptr, Ptr(msg), msg.size(), sk);
    int len = 64;
    ASSERT_EQ(BCMGenSignature_ED(seed.data(), 32, Ptr(msg), Len(msg), nullptr, 0, 0, sig, &len), 0);
    ASSERT_EQ(Hex(sig, 64), Hex(ref, 64)) << i;
    EXPECT_EQ(BCMVerifySignature_ED(ref, 64, pk, 32, Ptr(msg), Len(msg), nullptr, 0, 0), 0);
  }
}

// Wycheproof ECDSA (SHA-256) through BCMVerifySignature: keys converted to
// the compressed form, DER parsed strictly (an unparsable one counts as
// refused). Verification accepts high S, so every "valid" case is expected
// to verify and every "invalid" one to be refused; no case is exempt.
void RunWycheproofEcdsa(const char* file, uint32_t curve) {
  const Json::Value doc = tvt::ReadJson(tvt::VectorPath(std::string("wycheproof/") + file));
  const std::map<int, std::string> exempt;  // tcId -> reason; none needed
  int valid = 0, invalid = 0;
  for (const Json::Value& g : doc["testGroups"]) {
    const Bytes pub = Compress(Unhex(g["publicKey"]["uncompressed"].asString()));
    for (const Json::Value& t : g["tests"]) {
      const int id = t["tcId"].asInt();
      if (exempt.count(id)) continue;
      const std::string result = t["result"].asString();
      const Bytes msg = Unhex(t["msg"].asString());
      Bytes r, s;
      bool accepted = false;
      if (ParseDer(Unhex(t["sig"].asString()), r, s)) accepted = Ver(curve, pub, r, s, 1, msg) == 0;
      if (result == "valid") {
        EXPECT_TRUE(accepted) << file << " tcId " << id << " " << t["comment"].asString();
        ++valid;
      } else if (result == "invalid") {
        EXPECT_FALSE(accepted) << file << " tcId " << id << " " << t["comment"].asString();
        ++invalid;
      }
    }
  }
  EXPECT_GT(valid, 100);
  EXPECT_GT(invalid, 100);
}

TEST(SignExports, WycheproofSecp256k1) { RunWycheproofEcdsa("ecdsa_secp256k1_sha256_test.json", 0); }
TEST(SignExports, WycheproofP256) { RunWycheproofEcdsa("ecdsa_secp256r1_sha256_test.json", 1); }

// Wycheproof Ed25519 through BCMVerifySignature_ED: no exemptions.
TEST(SignExports, WycheproofEd25519) {
  const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/ed25519_test.json"));
  int n = 0;
  for (const Json::Value& g : doc["testGroups"]) {
    const Bytes pk = Unhex(g["publicKey"]["pk"].asString());
    for (const Json::Value& t : g["tests"]) {
      const Bytes msg = Unhex(t["msg"].asString()), sig = Unhex(t["sig"].asString());
      const bool accepted = BCMVerifySignature_ED(Ptr(sig), Len(sig), Ptr(pk), Len(pk), Ptr(msg), Len(msg), nullptr,
                                                  0, 0) == 0;
      EXPECT_EQ(accepted, t["result"].asString() == "valid") << "tcId " << t["tcId"].asInt() << " "
                                                              << t["comment"].asString();
      ++n;
    }
  }
  EXPECT_GT(n, 100);
}

}  // namespace
