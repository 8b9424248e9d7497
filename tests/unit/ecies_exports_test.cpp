// ECIES and ECDH exports: round trips against the OpenSSL model, codes and
// trail texts of their failures, capacities, and Wycheproof ECDH on both
// curves through the shared-key export.
#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

#include "cpu_paths_testing.h"
#include "ecies_testing.h"
#include "tolvaris/bcm_ecies.h"
#include "tv_test.h"

using eciest::Bytes;
using tvt::Hex;
using tvt::LastErr;
using tvt::Unhex;

namespace {

int I(size_t n) { return static_cast<int>(n); }

struct Call {
  int rc;
  int len;
  Bytes out;
};

// A capacity that asks the helpers below for a size query (null output).
constexpr int kQuery = INT_MIN;

// A non-null pointer even for an empty input.
const unsigned char* P(const Bytes& b) {
  static const unsigned char kEmpty[1] = {0};
  return b.empty() ? kEmpty : b.data();
}

// Encrypts with `capacity` bytes of room (kQuery: a size query) and checks
// that nothing is written past it.
Call Enc(uint32_t curve, const Bytes& plain, const Bytes& eph, const Bytes& pub, int capacity) {
  Bytes buf(static_cast<size_t>(capacity < 0 ? 0 : capacity) + 16, 0xC5);
  Call c{0, capacity == kQuery ? 777 : capacity, {}};
  unsigned char* out = capacity == kQuery ? nullptr : buf.data();
  c.rc = BCMGenECIESEncrypt(curve, P(plain), I(plain.size()), eph.data(), I(eph.size()), pub.data(),
                            I(pub.size()), out, &c.len);
  for (size_t i = static_cast<size_t>(capacity < 0 ? 0 : capacity); i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xC5) << "written past the capacity";
  if (c.rc == 0 && out != nullptr) buf.resize(static_cast<size_t>(c.len));
  c.out = buf;
  return c;
}

Call Dec(uint32_t curve, const Bytes& msg, const Bytes& pri, int capacity) {
  Bytes buf(static_cast<size_t>(capacity < 0 ? 0 : capacity) + 16, 0xC5);
  Call c{0, capacity == kQuery ? 777 : capacity, {}};
  unsigned char* out = capacity == kQuery ? nullptr : buf.data();
  c.rc = BCMGenECIESDecrypt(curve, P(msg), I(msg.size()), pri.data(), I(pri.size()), out, &c.len);
  for (size_t i = static_cast<size_t>(capacity < 0 ? 0 : capacity); i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xC5) << "written past the capacity";
  if (c.rc == 0 && out != nullptr) buf.resize(static_cast<size_t>(c.len));
  c.out = buf;
  return c;
}

Call Share(uint32_t curve, const Bytes& pri, const Bytes& pub, int capacity = 33) {
  Bytes buf(static_cast<size_t>(capacity < 0 ? 0 : capacity) + 16, 0xC5);
  Call c{0, capacity == kQuery ? 777 : capacity, {}};
  unsigned char* out = capacity == kQuery ? nullptr : buf.data();
  c.rc = BCMGenECDHComputeShareKey(curve, pri.data(), I(pri.size()), pub.data(), I(pub.size()), out, &c.len);
  for (size_t i = static_cast<size_t>(capacity < 0 ? 0 : capacity); i < buf.size(); ++i)
    EXPECT_EQ(buf[i], 0xC5) << "written past the capacity";
  if (c.rc == 0 && out != nullptr) buf.resize(static_cast<size_t>(c.len));
  c.out = buf;
  return c;
}

// Curve codes: 1 is P-256, every other value secp256k1.
constexpr uint32_t kCodes[3] = {0, 1, 7};
uint32_t Model(uint32_t code) { return code == 1 ? 1 : 0; }

TEST(EciesExports, RoundTripsAgainstTheModel) {
  tvt::TestRng rng(109);
  for (uint32_t code : kCodes) {
    for (size_t n : {0, 20, 64}) {
      SCOPED_TRACE("curve " + std::to_string(code) + " length " + std::to_string(n));
      const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng), plain = rng.RandBytes(n);
      const Bytes pub = eciest::Pub(Model(code), d, n != 20);
      Call q = Enc(code, plain, eph, pub, kQuery);
      ASSERT_EQ(q.rc, 0);
      EXPECT_EQ(q.len, I(16 * (n / 16) + 113));
      Call e = Enc(code, plain, eph, pub, q.len);
      ASSERT_EQ(e.rc, 0);
      EXPECT_EQ(e.len, q.len - 16);
      EXPECT_EQ(LastErr(), "[BCMGenECIESEncrypt][][]");
      EXPECT_EQ(eciest::ModelDecrypt(Model(code), d, e.out).value_or(Bytes{1}), plain);
      // The JSON action's capacity for decryption: message length + 64.
      Call back = Dec(code, e.out, d, I(e.out.size()) + 64);
      ASSERT_EQ(back.rc, 0);
      EXPECT_EQ(back.out, plain);
      EXPECT_EQ(LastErr(), "[BCMGenECIESDecrypt][][]");
      const Bytes model = eciest::ModelEncrypt(Model(code), pub, eph, rng.RandBytes(16), plain);
      EXPECT_EQ(Dec(code, model, d, I(model.size())).out, plain);
    }
  }
}

TEST(EciesExports, EncryptCodesAndTrail) {
  tvt::TestRng rng(1091);
  const Bytes d = eciest::RandPriv(rng), eph = eciest::RandPriv(rng), pt = Bytes(20, 0x41);
  const Bytes pub = eciest::Pub(0, d);
  const std::string kParam = "[BCMGenECIESEncrypt][BCMGenECIESEncrypt:2028][(param is NULL)]";
  int len = 500;
  Bytes out(500);
  struct Case {
    const char* what;
    const unsigned char* plain;
    int plainLen;
    const unsigned char* eph;
    int ephLen;
    const unsigned char* pub;
    int pubLen;
    int* outLen;
  };
  const Case bad[] = {
      {"null plaintext", nullptr, 20, eph.data(), 32, pub.data(), 33, &len},
      {"negative length", pt.data(), -1, eph.data(), 32, pub.data(), 33, &len},
      {"length beyond a 32-bit message", pt.data(), INT_MAX, eph.data(), 32, pub.data(), 33, &len},
      {"null scalar", pt.data(), 20, nullptr, 32, pub.data(), 33, &len},
      {"31-byte scalar", pt.data(), 20, eph.data(), 31, pub.data(), 33, &len},
      {"null key", pt.data(), 20, eph.data(), 32, nullptr, 33, &len},
      {"64-byte key", pt.data(), 20, eph.data(), 32, pub.data(), 64, &len},
      {"null length", pt.data(), 20, eph.data(), 32, pub.data(), 33, nullptr},
  };
  for (const Case& c : bad) {
    EXPECT_EQ(BCMGenECIESEncrypt(0, c.plain, c.plainLen, c.eph, c.ephLen, c.pub, c.pubLen, out.data(), c.outLen),
              2028)
        << c.what;
    EXPECT_EQ(LastErr(), kParam) << c.what;
  }
  EXPECT_EQ(Enc(0, pt, eph, pub, kQuery).len, 129);
  for (int cap : {128, 0, -5}) {
    Bytes small(1, 0);
    int l = cap;
    EXPECT_EQ(BCMGenECIESEncrypt(0, pt.data(), 20, eph.data(), 32, pub.data(), 33, small.data(), &l), 2042);
    EXPECT_EQ(LastErr(), "[BCMGenECIESEncrypt][BCMGenECIESEncrypt:2042][(buffer size[" + std::to_string(cap) +
                             "] is lower than [129])]");
  }
  // A recipient key off the curve.
  Bytes off = eciest::Pub(0, d, false);
  off[64] ^= 1;
  EXPECT_EQ(Enc(0, pt, eph, off, 129).rc, 2049);
  EXPECT_EQ(LastErr(),
            "[BCMGenECIESEncrypt][ECIES_KDF:166<-ECIES_Encrypt:232<-BCMGenECIESEncrypt:2049]"
            "[(bc-module ECIES_Encrypt error)]");
  // The random source fails while the IV is drawn.
  {
    eciest::RandomSourceDown down;
    Call c = Enc(1, pt, eph, eciest::Pub(1, d), 129);
    EXPECT_EQ(c.rc, 2049);
    EXPECT_EQ(LastErr(),
              "[BCMGenECIESEncrypt][GenerateEntropy:429<-ECIES_KDF:154<-ECIES_Encrypt:232<-BCMGenECIESEncrypt:2049]"
              "[(bc-module ECIES_Encrypt error)]");
  }
}

TEST(EciesExports, DecryptCodesAndTrail) {
  tvt::TestRng rng(1092);
  const Bytes d = eciest::RandPriv(rng), other = eciest::RandPriv(rng);
  Call e = Enc(0, Bytes(20, 0x41), eciest::RandPriv(rng), eciest::Pub(0, d), 129);
  ASSERT_EQ(e.rc, 0);
  const Bytes& msg = e.out;
  const std::string kParam = "[BCMGenECIESDecrypt][BCMGenECIESDecrypt:2077][(param is NULL)]";
  Bytes out(200);
  int len = 200;
  EXPECT_EQ(BCMGenECIESDecrypt(0, nullptr, 113, d.data(), 32, out.data(), &len), 2077);
  EXPECT_EQ(LastErr(), kParam);
  EXPECT_EQ(BCMGenECIESDecrypt(0, msg.data(), -1, d.data(), 32, nullptr, &len), 2077);
  EXPECT_EQ(LastErr(), kParam);
  EXPECT_EQ(BCMGenECIESDecrypt(0, msg.data(), 113, nullptr, 32, out.data(), &len), 2077);
  EXPECT_EQ(BCMGenECIESDecrypt(0, msg.data(), 113, d.data(), 33, out.data(), &len), 2077);
  EXPECT_EQ(BCMGenECIESDecrypt(0, msg.data(), 113, d.data(), 32, out.data(), nullptr), 2077);
  EXPECT_EQ(LastErr(), kParam);

  Call q = Dec(0, msg, d, kQuery);
  EXPECT_EQ(q.rc, 0);
  EXPECT_EQ(q.len, 113);
  Call small = Dec(0, msg, d, 112);
  EXPECT_EQ(small.rc, 2091);
  EXPECT_EQ(LastErr(), "[BCMGenECIESDecrypt][BCMGenECIESDecrypt:2091][(buffer size[112] is lower than [113])]");

  struct Case {
    const char* what;
    Bytes msg;
    Bytes key;
    std::string locations;
  };
  Bytes badEph = msg;
  badEph[16] = 0x05;
  const Case cases[] = {
      {"another key", msg, other, "ECIES_Decrypt:325"},
      {"ephemeral key no point", badEph, d, "ECIES_KDF:166<-ECIES_Decrypt:315"},
      {"96 bytes", Bytes(msg.begin(), msg.begin() + 96), d, "ECIES_Decrypt:295"},
      {"empty", Bytes(), d, "ECIES_Decrypt:295"},
  };
  for (const Case& c : cases) {
    const unsigned char dummy = 0;
    Bytes o(c.msg.size() + 1, 0xC5);
    int l = I(c.msg.size());
    EXPECT_EQ(BCMGenECIESDecrypt(0, c.msg.empty() ? &dummy : c.msg.data(), I(c.msg.size()), c.key.data(), 32,
                                 o.data(), &l),
              2097)
        << c.what;
    EXPECT_EQ(LastErr(), "[BCMGenECIESDecrypt][" + c.locations +
                             "<-BCMGenECIESDecrypt:2097][(bc-module ECIES_Decrypt error)]")
        << c.what;
    EXPECT_EQ(o, Bytes(c.msg.size() + 1, 0xC5)) << c.what;
  }
}

TEST(EcdhExports, KeyPair) {
  for (uint32_t code : kCodes) {
    SCOPED_TRACE("curve " + std::to_string(code));
    int pl = -1, ql = -1;
    EXPECT_EQ(BCMGenECDHKeyPair(code, nullptr, &pl, nullptr, &ql), 0);
    EXPECT_EQ(pl, 32);
    EXPECT_EQ(ql, 33);
    const Bytes n = eciest::Order(Model(code));
    std::set<Bytes> seen;
    for (int i = 0; i < 16; ++i) {
      Bytes pri(40, 0xC5), pub(40, 0xC5);
      pl = 40;
      ql = 40;
      ASSERT_EQ(BCMGenECDHKeyPair(code, pri.data(), &pl, pub.data(), &ql), 0);
      ASSERT_EQ(pl, 32);
      ASSERT_EQ(ql, 33);
      EXPECT_EQ(Bytes(pri.begin() + 32, pri.end()), Bytes(8, 0xC5));
      EXPECT_EQ(Bytes(pub.begin() + 33, pub.end()), Bytes(7, 0xC5));
      pri.resize(32);
      pub.resize(33);
      // The random draw goes through BCMGenEntropy, whose name the trail keeps.
      EXPECT_EQ(LastErr(), "[BCMGenEntropy][][]");
      EXPECT_NE(pri, Bytes(32, 0));
      EXPECT_LT(Hex(pri), Hex(n));
      EXPECT_EQ(Hex(pub), Hex(eciest::Pub(Model(code), pri)));
      seen.insert(pri);
    }
    EXPECT_EQ(seen.size(), 16u);
  }
}

TEST(EcdhExports, KeyPairFailures) {
  Bytes pri(32, 0xC5), pub(33, 0xC5);
  int pl = 32, ql = 33;
  EXPECT_EQ(BCMGenECDHKeyPair(0, pri.data(), nullptr, pub.data(), &ql), 2118);
  EXPECT_EQ(LastErr(), "[BCMGenECDHKeyPair][][(param is NULL)]");
  EXPECT_EQ(BCMGenECDHKeyPair(0, pri.data(), &pl, pub.data(), nullptr), 2118);
  // Capacities are checked, negative ones included; nothing is written.
  const std::pair<int, int> caps[] = {{31, 33}, {32, 32}, {-1, 33}, {32, -33}, {0, 0}};
  for (auto [p, q] : caps) {
    pl = p;
    ql = q;
    EXPECT_EQ(BCMGenECDHKeyPair(1, pri.data(), &pl, pub.data(), &ql), 2124);
    EXPECT_EQ(LastErr(), "[BCMGenECDHKeyPair][][(buffer size pri[" + std::to_string(p) + " is lower than 32] , pub[" +
                             std::to_string(q) + " is lower than 33])]");
    EXPECT_EQ(pl, p);
    EXPECT_EQ(ql, q);
  }
  EXPECT_EQ(pri, Bytes(32, 0xC5));
  EXPECT_EQ(pub, Bytes(33, 0xC5));
  {
    eciest::RandomSourceDown down;
    pl = 32;
    ql = 33;
    EXPECT_EQ(BCMGenECDHKeyPair(0, pri.data(), &pl, pub.data(), &ql), 2136);
    EXPECT_EQ(LastErr(), "[BCMGenEntropy][GenerateEntropy:429<-BCMGenEntropy:449][(bc-vantrel GenerateEntropy error)]");
    EXPECT_EQ(pri, Bytes(32, 0xC5));
    EXPECT_EQ(pub, Bytes(33, 0xC5));
  }
}

// The shared point, compressed, equals OpenSSL's (X and the parity of Y),
// and both sides agree.
// Random key pairs on both paths (the MULX and vector code where the
// processor has it, the portable code), peer keys compressed and not.
TEST(EcdhExports, SharedPointMatchesOpenSsl) {
  tvt::TestRng rng(1093);
  for (uint32_t code : kCodes) {
    for (int i = 0; i < 64; ++i) {
      cput::ForcedPath path(i % 4 >= 2);
      const Bytes a = eciest::RandPriv(rng), b = eciest::RandPriv(rng);
      const Bytes aG = eciest::Pub(Model(code), a, i % 2 == 0), bG = eciest::Pub(Model(code), b, i % 2 == 1);
      Call ab = Share(code, a, bG), ba = Share(code, b, aG);
      ASSERT_EQ(ab.rc, 0);
      ASSERT_EQ(ba.rc, 0);
      EXPECT_EQ(ab.len, 33);
      EXPECT_EQ(LastErr(), "[BCMGenECDHComputeShareKey][][]");
      EXPECT_EQ(Hex(ab.out), Hex(ba.out));
      EXPECT_EQ(Hex(ab.out), Hex(eciest::Mul(Model(code), a, bG, true).value_or(Bytes())));
      EXPECT_TRUE(ab.out[0] == 0x02 || ab.out[0] == 0x03);
    }
  }
  // The private key is not reduced: n + 1 acts as 1.
  const Bytes d = eciest::RandPriv(rng);
  Bytes n1 = eciest::Order(0);
  n1[31] += 1;
  EXPECT_EQ(Hex(Share(0, n1, eciest::Pub(0, d, false)).out), Hex(eciest::Pub(0, d)));
}

TEST(EcdhExports, SharedKeyFailures) {
  tvt::TestRng rng(1094);
  const Bytes d = eciest::RandPriv(rng);
  const Bytes pub = eciest::Pub(0, eciest::RandPriv(rng));
  const std::string name = "[BCMGenECDHComputeShareKey][]";
  Call q = Share(0, d, pub, kQuery);
  EXPECT_EQ(q.rc, 0);
  EXPECT_EQ(q.len, 33);
  for (int cap : {32, 0, -1}) {
    Call c = Share(0, d, pub, cap);
    EXPECT_EQ(c.rc, 2186);
    EXPECT_EQ(c.len, cap);
    EXPECT_EQ(LastErr(), name + "[(buffer size[" + std::to_string(cap) + "] is lower than [33])]");
  }
  Bytes out(33);
  int len = 33;
  const int lens[][2] = {{-1, 33}, {31, 33}, {33, 33}, {32, -1}, {32, 32}, {32, 64}, {32, 66}};
  for (const auto& l : lens) {
    EXPECT_EQ(BCMGenECDHComputeShareKey(0, d.data(), l[0], pub.data(), l[1], out.data(), &len), 2180);
    EXPECT_EQ(LastErr(), name + "[(param is NULL)]");
  }
  EXPECT_EQ(BCMGenECDHComputeShareKey(0, nullptr, 32, pub.data(), 33, out.data(), &len), 2180);
  EXPECT_EQ(BCMGenECDHComputeShareKey(0, d.data(), 32, nullptr, 33, out.data(), &len), 2180);
  EXPECT_EQ(BCMGenECDHComputeShareKey(0, d.data(), 32, pub.data(), 33, out.data(), nullptr), 2180);

  for (uint32_t code : {0u, 1u}) {
    Bytes off = eciest::Pub(code, eciest::RandPriv(rng), false);
    off[64] ^= 1;
    Bytes xAboveP(65, 0xFF);
    xAboveP[0] = 0x04;
    Bytes noRoot;
    for (unsigned char x = 1; noRoot.empty(); ++x) {
      Bytes cand(33, 0);
      cand[0] = 0x03;
      cand[32] = x;
      if (!eciest::Mul(code, Bytes{1}, cand)) noRoot = cand;
    }
    Bytes badPrefix = eciest::Pub(code, eciest::RandPriv(rng), false);
    badPrefix[0] = 0x05;
    struct Case {
      Bytes pri, pub;
      int rc;
      const char* msg;
    };
    const Case cases[] = {
        {d, off, 2201, "peerPub is invalid"},
        {d, xAboveP, 2201, "peerPub is invalid"},
        {d, noRoot, 2198, "bc-vantrel NXVT_EC_Point_Mult error"},
        {d, badPrefix, 2198, "bc-vantrel NXVT_EC_Point_Mult error"},
        {Bytes(32, 0), eciest::Pub(code, d), 2213, "share point is zero error"},
        {eciest::Order(code), eciest::Pub(code, d), 2213, "share point is zero error"},
    };
    for (const Case& c : cases) {
      Call r = Share(code, c.pri, c.pub);
      EXPECT_EQ(r.rc, c.rc) << Hex(c.pub);
      // Messages only: the location chain stays empty.
      EXPECT_EQ(LastErr(), name + "[(" + c.msg + ")]") << Hex(c.pub);
      EXPECT_EQ(r.out, Bytes(33 + 16, 0xC5));
    }
  }
}

// Wycheproof private keys: big-endian, possibly with a leading 00 or shorter
// than 32 bytes.
Bytes Priv32(const std::string& hex) {
  Bytes b = Unhex(hex);
  while (b.size() > 32 && b[0] == 0) b.erase(b.begin());
  EXPECT_LE(b.size(), 32u);
  Bytes r(32 - b.size(), 0);
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

struct WycheproofCounts {
  int valid = 0, refused = 0, skipped = 0;
};

// One case through the export: valid and acceptable ones give 02/03 || shared,
// with OpenSSL's parity; invalid ones fail.
void RunEcdhCase(uint32_t code, const Json::Value& t, const Bytes& pub, WycheproofCounts& n) {
  const std::string id = "tcId " + t["tcId"].asString() + " " + t["comment"].asString();
  const Bytes pri = Priv32(t["private"].asString());
  const unsigned char dummy = 0;
  Bytes out(33);
  int len = 33;
  const int rc = BCMGenECDHComputeShareKey(code, pri.data(), 32, pub.empty() ? &dummy : pub.data(), I(pub.size()),
                                           out.data(), &len);
  if (t["result"].asString() == "invalid") {
    EXPECT_NE(rc, 0) << id;
    ++n.refused;
    return;
  }
  ASSERT_EQ(rc, 0) << id << " " << LastErr();
  EXPECT_EQ(Hex(out.data() + 1, 32), t["shared"].asString()) << id;
  EXPECT_EQ(Hex(out), Hex(eciest::Mul(code, pri, pub, true).value_or(Bytes()))) << id;
  ++n.valid;
}

// Raw SEC 1 points on P-256. Among them a shared point whose X is 0 (tcId 3):
// a finite point, which the export returns like any other.
TEST(EcdhExports, WycheproofP256) {
  const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/ecdh_secp256r1_ecpoint_test.json"));
  for (bool portable : {false, true}) {
    cput::ForcedPath path(portable);
    WycheproofCounts n;
    for (const Json::Value& group : doc["testGroups"])
      for (const Json::Value& t : group["tests"]) RunEcdhCase(1, t, Unhex(t["public"].asString()), n);
    EXPECT_GT(n.valid, 320) << (portable ? "portable" : "native");
    EXPECT_GT(n.refused, 20) << (portable ? "portable" : "native");
  }
}

// secp256k1 keys come as SubjectPublicKeyInfo; the export takes the bare
// SEC 1 point. Skipped: "InvalidAsn" cases (they test the DER wrapping, which
// is the caller's to parse) and keys whose AlgorithmIdentifier names other
// domain parameters ("WrongCurve", "UnnamedCurve", "ModifiedGroup" ...): the
// export has no way to be told another curve.
TEST(EcdhExports, WycheproofSecp256k1) {
  const std::string kAlg = "301006072a8648ce3d020106052b8104000a";
  const Json::Value doc = tvt::ReadJson(tvt::VectorPath("wycheproof/ecdh_secp256k1_test.json"));
  WycheproofCounts n;
  const std::set<std::string> paramFlags = {"WrongCurve",       "UnnamedCurve",     "ModifiedGroup",
                                            "WrongOrder",       "ModifiedGenerator", "NegativeCofactor",
                                            "NoCofactor",       "ModifiedCofactor", "LargeCofactor",
                                            "ModifiedPrime",    "ModifiedCurveParameter", "WeakPublicKey",
                                            "UnusedParam"};
  for (const Json::Value& group : doc["testGroups"]) {
    for (const Json::Value& t : group["tests"]) {
      std::set<std::string> flags;
      for (const Json::Value& f : t["flags"]) flags.insert(f.asString());
      if (flags.count("InvalidAsn")) {
        ++n.skipped;
        continue;
      }
      // SEQUENCE { AlgorithmIdentifier, BIT STRING { 00, point } } with
      // short-form lengths.
      const Bytes spki = Unhex(t["public"].asString());
      const std::string hex = t["public"].asString();
      const bool named = spki.size() >= 2 + kAlg.size() / 2 + 3 && hex.compare(4, kAlg.size(), kAlg) == 0 &&
                         spki[2 + kAlg.size() / 2] == 0x03 && spki[4 + kAlg.size() / 2] == 0x00;
      if (!named) {
        bool param = false;
        for (const std::string& f : flags) param = param || paramFlags.count(f) > 0;
        EXPECT_TRUE(param) << "tcId " << t["tcId"].asString() << " skipped without a parameter flag";
        ++n.skipped;
        continue;
      }
      const Bytes point(spki.begin() + 5 + static_cast<long>(kAlg.size() / 2), spki.end());
      RunEcdhCase(0, t, point, n);
    }
  }
  EXPECT_GT(n.valid, 450);
  EXPECT_GT(n.refused, 20);
  EXPECT_LT(n.skipped, 260);
}

}  // namespace
