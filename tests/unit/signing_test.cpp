#include "keys/signing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "trail/trail.h"
#include "crypto/ecdsa/ecdsa.h"
#include "crypto/ed25519/ed25519.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

using Pkc = ScopedPkc;

struct Sig {
  int rc = -2;
  Bytes R, S;
  uint32_t recid = 9;
};

Sig Sign(const Pkc& pkc, const Bytes& priv, HashId id, const unsigned char* msg, int32_t len, uint32_t keepS = 0) {
  Sig out;
  uint8_t R[33], S[33];
  uint32_t rl = 33, sl = 33;
  out.rc = rfc6979_secp256k1_sign(priv.data(), static_cast<int32_t>(priv.size()), id, msg, len, keepS, pkc.get(), R,
                                  &rl, S, &sl, &out.recid);
  if (out.rc == 0) {
    out.R.assign(R, R + rl);
    out.S.assign(S, S + sl);
  }
  return out;
}
Sig Sign(const Pkc& pkc, const Bytes& priv, HashId id, const Bytes& msg) {
  return Sign(pkc, priv, id, msg.data(), static_cast<int32_t>(msg.size()));
}

int Verify(const Pkc& pkc, const Bytes& pub, const Sig& sig, HashId id, const unsigned char* msg, int32_t len) {
  return rfc6979_secp256k1_verify(pub.data(), static_cast<int32_t>(pub.size()), sig.R.data(),
                                  static_cast<int32_t>(sig.R.size()), sig.S.data(), static_cast<int32_t>(sig.S.size()),
                                  id, msg, len, pkc.get());
}
int Verify(const Pkc& pkc, const Bytes& pub, const Sig& sig, HashId id, const Bytes& msg) {
  return Verify(pkc, pub, sig, id, msg.data(), static_cast<int32_t>(msg.size()));
}

Bytes PubOf(const Pkc& pkc, const Bytes& priv) {
  uint8_t out[33];
  uint32_t len = 33;
  EXPECT_EQ(NXVT_EC_GetCompPub(priv.data(), 32, pkc.get(), out, &len), 0);
  return Bytes(out, out + len);
}

Bytes Digest(HashId id, const Bytes& msg) {
  Bytes out(64);
  int32_t len = 64;
  EXPECT_EQ(DoDigest(id, msg.data(), static_cast<uint32_t>(msg.size()), out.data(), &len), 0);
  out.resize(static_cast<size_t>(len));
  return out;
}

// The location chain after a call made in a fresh trail.
template <class F>
std::string Locations(F&& call) {
  SetErrFunc("test");
  call();
  return ErrTrailLocations();
}

// Hash id 0 signs the message itself; the other ids sign its digest. A digest
// shorter than 32 bytes is the same zero-filled 32-byte value for signing and
// verification, so those signatures verify too.
TEST(Signing, HashIdsGiveTheSignedValue) {
  const Bytes priv = Unhex("c9afa9d845ba75166b5c215767b1d6934e50c3db36e89b127b8a622b120f6721");
  const Bytes msg = tvt::FromText("message to be signed");
  for (uint32_t code : {0u, 1u}) {
    Pkc pkc(code);
    const Bytes pub = PubOf(pkc, priv);
    for (HashId id : {kHashSha256, kHashRipemd160, kHashKeccak224, kHashKeccak256}) {
      const Bytes d = Digest(id, msg);
      Bytes padded = d;
      padded.resize(32, 0);
      const Sig byId = Sign(pkc, priv, id, msg);
      ASSERT_EQ(byId.rc, 0) << id;
      const Sig raw = Sign(pkc, priv, 0, d);
      const Sig rawPadded = Sign(pkc, priv, 0, padded);
      EXPECT_EQ(Hex(byId.R) + Hex(byId.S), Hex(raw.R) + Hex(raw.S)) << id;
      EXPECT_EQ(Hex(raw.R) + Hex(raw.S), Hex(rawPadded.R) + Hex(rawPadded.S)) << id;
      EXPECT_EQ(byId.recid, raw.recid);
      EXPECT_EQ(Verify(pkc, pub, byId, id, msg), 0) << id;
      EXPECT_EQ(Verify(pkc, pub, byId, 0, d), 0) << id;
      EXPECT_EQ(Verify(pkc, pub, byId, 0, padded), 0) << id;
      Bytes other = msg;
      other[0] ^= 1;
      EXPECT_EQ(Verify(pkc, pub, byId, id, other), 73) << id;
    }
    // An empty message with hash id 0 is the all-zero value.
    const unsigned char none = 0;
    const Sig empty = Sign(pkc, priv, 0, &none, 0);
    ASSERT_EQ(empty.rc, 0);
    EXPECT_EQ(Verify(pkc, pub, empty, 0, Bytes(32, 0)), 0);
  }
}

// Refused hash values: ids whose digest is longer than 32 bytes or that are
// no digest ids, a hash id 0 message over 32 bytes, a negative length and a
// null message. Each leaves one entry under the front end's name.
TEST(Signing, RefusedHashValues) {
  Pkc pkc(0);
  const Bytes priv(32, 0x11);
  const Bytes pub = PubOf(pkc, priv);
  const Bytes msg(64, 0x5a);
  const Sig good = Sign(pkc, priv, 1, msg);
  ASSERT_EQ(good.rc, 0);
  struct Case {
    HashId id;
    const unsigned char* msg;
    int32_t len;
    bool digestEntry;  // the digest layer adds its own entries first
  };
  const Case cases[] = {
      {kHashSha512, msg.data(), 64, true}, {kHashKeccak384, msg.data(), 64, true},
      {kHashKeccak512, msg.data(), 64, true}, {7, msg.data(), 64, true},
      {0, msg.data(), 33, false},          {0, msg.data(), 64, false},
      {0, msg.data(), -1, false},          {kHashSha256, msg.data(), -1, false},
      {0, nullptr, 0, false},              {kHashSha256, nullptr, 4, false},
  };
  for (const Case& cs : cases) {
    const std::string signLoc = Locations([&] { EXPECT_EQ(Sign(pkc, priv, cs.id, cs.msg, cs.len).rc, 23); });
    const std::string verLoc = Locations([&] { EXPECT_EQ(Verify(pkc, pub, good, cs.id, cs.msg, cs.len), 62); });
    if (cs.digestEntry) {
      EXPECT_NE(signLoc.find("DoDigest:"), std::string::npos) << signLoc;
      EXPECT_NE(signLoc.find("<-rfc6979_secp256k1_sign:23"), std::string::npos) << signLoc;
      EXPECT_NE(verLoc.find("<-rfc6979_secp256k1_verify:62"), std::string::npos) << verLoc;
    } else {
      EXPECT_EQ(signLoc, "rfc6979_secp256k1_sign:23") << cs.id << " " << cs.len;
      EXPECT_EQ(verLoc, "rfc6979_secp256k1_verify:62") << cs.id << " " << cs.len;
    }
  }
  // 32 bytes is the longest raw value.
  EXPECT_EQ(Sign(pkc, priv, 0, msg.data(), 32).rc, 0);
}

// Failures of the signature algorithm itself: 35 and 73.
TEST(Signing, AlgorithmFailures) {
  Pkc pkc(1);
  const Bytes msg = tvt::FromText("abc");
  EXPECT_EQ(Locations([&] { EXPECT_EQ(Sign(pkc, Bytes(32, 0), 1, msg).rc, 35); }), "rfc6979_secp256k1_sign:35");
  EXPECT_EQ(Sign(pkc, Bytes(31, 1), 1, msg).rc, 35);
  const Bytes priv(32, 3);
  const Bytes pub = PubOf(pkc, priv);
  Sig sig = Sign(pkc, priv, 1, msg);
  ASSERT_EQ(Verify(pkc, pub, sig, 1, msg), 0);
  Sig bad = sig;
  bad.S[bad.S.size() - 1] ^= 1;
  EXPECT_EQ(Locations([&] { EXPECT_EQ(Verify(pkc, pub, bad, 1, msg), 73); }), "rfc6979_secp256k1_verify:73");
  EXPECT_EQ(rfc6979_secp256k1_verify(pub.data(), 33, sig.R.data(), -1, sig.S.data(),
                                     static_cast<int32_t>(sig.S.size()), 1, msg.data(), 3, pkc.get()),
            73);
  EXPECT_EQ(rfc6979_secp256k1_verify(pub.data(), 33, sig.R.data(), static_cast<int32_t>(sig.R.size()), sig.S.data(),
                                     static_cast<int32_t>(sig.S.size()), 1, msg.data(), 3, nullptr),
            73);
}

struct EdCase {
  Bytes priv, pub, msg, ctx, sig;
  bool hasCtx;
  uint8_t prehash;
};

std::vector<EdCase> Rfc8032Cases() {
  const Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"))["ed25519"];
  std::vector<EdCase> out;
  for (const Json::Value& r : v["plain"])
    out.push_back({Unhex(r[0].asString()), Unhex(r[1].asString()), Unhex(r[2].asString()), {},
                   Unhex(r[3].asString()), false, 0});
  for (const Json::Value& r : v["ctx"])
    out.push_back({Unhex(r[0].asString()), Unhex(r[1].asString()), Unhex(r[2].asString()), Unhex(r[3].asString()),
                   Unhex(r[4].asString()), true, 0});
  for (const Json::Value& r : v["ph"]) {
    const Bytes ctx = Unhex(r[3].asString());
    out.push_back({Unhex(r[0].asString()), Unhex(r[1].asString()), Unhex(r[2].asString()), ctx,
                   Unhex(r[4].asString()), !ctx.empty(), 1});
  }
  return out;
}

// RFC 8032 7.1 (plain), 7.2 (ctx) and 7.3 (ph) through the Ed25519 front ends.
TEST(Signing, Ed25519Rfc8032Vectors) {
  const std::vector<EdCase> cases = Rfc8032Cases();
  ASSERT_EQ(cases.size(), 8u);
  for (const EdCase& cs : cases) {
    const unsigned char* m = cs.msg.empty() ? reinterpret_cast<const unsigned char*>("") : cs.msg.data();
    const unsigned char* c = cs.hasCtx ? cs.ctx.data() : nullptr;
    const int32_t cl = static_cast<int32_t>(cs.ctx.size());
    uint8_t sig[64];
    ASSERT_EQ(rfc8032_ed25519_sign(cs.priv.data(), 32, m, static_cast<int32_t>(cs.msg.size()), c, cl, cs.prehash, sig),
              0);
    EXPECT_EQ(Hex(sig, 64), Hex(cs.sig));
    EXPECT_EQ(rfc8032_ed25519_verify(sig, 64, cs.pub.data(), 32, m, static_cast<int32_t>(cs.msg.size()), c, cl,
                                     cs.prehash),
              0);
    sig[0] ^= 1;
    EXPECT_EQ(rfc8032_ed25519_verify(sig, 64, cs.pub.data(), 32, m, static_cast<int32_t>(cs.msg.size()), c, cl,
                                     cs.prehash),
              130);
  }
}

// Ed25519 argument rules: 98 / 125 for bad arguments (a context longer than
// 255 bytes is refused rather than cut to its low 8 bits), 103 / 130 when the
// algorithm refuses.
TEST(Signing, Ed25519ArgumentRules) {
  const Bytes priv(32, 9), msg = tvt::FromText("m");
  const Bytes ctx(300, 'c');
  uint8_t pub[32];
  ASSERT_EQ(NXVT_Ed25519_GetPub(priv.data(), pub), 0);
  uint8_t sig[64];
  ASSERT_EQ(rfc8032_ed25519_sign(priv.data(), 32, msg.data(), 1, ctx.data(), 255, 0, sig), 0);
  EXPECT_EQ(rfc8032_ed25519_verify(sig, 64, pub, 32, msg.data(), 1, ctx.data(), 255, 0), 0);
  struct SignCase {
    const unsigned char* priv;
    int32_t privLen;
    const unsigned char* msg;
    int32_t msgLen;
    const unsigned char* ctx;
    int32_t ctxLen;
    uint8_t prehash;
    int code;
  };
  const SignCase sc[] = {
      {nullptr, 32, msg.data(), 1, nullptr, 0, 0, 98},      {priv.data(), 31, msg.data(), 1, nullptr, 0, 0, 98},
      {priv.data(), 32, nullptr, 0, nullptr, 0, 0, 98},     {priv.data(), 32, msg.data(), -1, nullptr, 0, 0, 98},
      {priv.data(), 32, msg.data(), 1, ctx.data(), 0, 0, 98}, {priv.data(), 32, msg.data(), 1, nullptr, 1, 0, 98},
      {priv.data(), 32, msg.data(), 1, ctx.data(), 256, 0, 98}, {priv.data(), 32, msg.data(), 1, ctx.data(), -3, 0, 98},
      {priv.data(), 32, msg.data(), 1, nullptr, 0, 2, 103},
  };
  for (const SignCase& c : sc) {
    const std::string loc = Locations([&] {
      EXPECT_EQ(rfc8032_ed25519_sign(c.priv, c.privLen, c.msg, c.msgLen, c.ctx, c.ctxLen, c.prehash, sig), c.code);
    });
    EXPECT_EQ(loc, "rfc8032_ed25519_sign:" + std::to_string(c.code));
  }
  EXPECT_EQ(rfc8032_ed25519_sign(priv.data(), 32, msg.data(), 1, nullptr, 0, 0, nullptr), 98);
  ASSERT_EQ(rfc8032_ed25519_sign(priv.data(), 32, msg.data(), 1, nullptr, 0, 0, sig), 0);
  struct VerifyCase {
    const unsigned char* sig;
    int32_t sigLen;
    const unsigned char* pub;
    int32_t pubLen;
    const unsigned char* msg;
    int32_t msgLen;
    const unsigned char* ctx;
    int32_t ctxLen;
    int code;
  };
  const VerifyCase vc[] = {
      {nullptr, 64, pub, 32, msg.data(), 1, nullptr, 0, 125}, {sig, 63, pub, 32, msg.data(), 1, nullptr, 0, 125},
      {sig, 65, pub, 32, msg.data(), 1, nullptr, 0, 125},     {sig, 64, nullptr, 32, msg.data(), 1, nullptr, 0, 125},
      {sig, 64, pub, 33, msg.data(), 1, nullptr, 0, 125},     {sig, 64, pub, 32, nullptr, 0, nullptr, 0, 125},
      {sig, 64, pub, 32, msg.data(), -1, nullptr, 0, 125},    {sig, 64, pub, 32, msg.data(), 1, ctx.data(), 0, 125},
      {sig, 64, pub, 32, msg.data(), 1, nullptr, 2, 125},     {sig, 64, pub, 32, msg.data(), 1, ctx.data(), 256, 125},
      {sig, 64, pub, 32, msg.data(), 1, ctx.data(), 1, 130},  {sig, 64, pub, 32, msg.data(), 0, nullptr, 0, 130},
  };
  for (const VerifyCase& c : vc) {
    const std::string loc = Locations([&] {
      EXPECT_EQ(rfc8032_ed25519_verify(c.sig, c.sigLen, c.pub, c.pubLen, c.msg, c.msgLen, c.ctx, c.ctxLen, 0), c.code);
    });
    EXPECT_EQ(loc, "rfc8032_ed25519_verify:" + std::to_string(c.code));
  }
  EXPECT_EQ(rfc8032_ed25519_verify(sig, 64, pub, 32, msg.data(), 1, nullptr, 0, 0), 0);
}

}  // namespace
