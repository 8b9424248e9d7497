// The signature and ECIES actions through RunModule: exact replies for the
// RFC 8032 and RFC 6979 vectors, secp256k1 signatures against libsecp256k1,
// verification verdicts, ECIES round trips, and the refusals with their
// exact error objects.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/obj_mac.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>

#include <memory>
#include <string>
#include <vector>

#include "key_actions_testing.h"
#include "tv_test.h"

namespace {

using kat::Pairs;

const Json::Value& SigVectors() {
  static const Json::Value v = tvt::ReadJson(tvt::VectorPath("signature-vectors.json"));
  return v;
}

std::string Hx(const std::string& hex) { return hex.empty() ? "" : "0x" + hex; }

// An ECDSA part as the actions write it: 32 bytes, with a 0x00 in front when
// the top bit is set.
std::string Part(const std::string& hex64) {
  return "0x" + std::string(std::stoi(hex64.substr(0, 1), nullptr, 16) >= 8 ? "00" : "") + hex64;
}

// One byte of a "0x" value changed.
std::string Flip(std::string hex) {
  char& c = hex[hex.size() - 1];
  c = c == '0' ? '1' : '0';
  return hex;
}

using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;
BnPtr Bn(const std::string& hex) {
  BIGNUM* b = nullptr;
  EXPECT_GT(BN_hex2bn(&b, hex.c_str()), 0);
  return BnPtr(b, BN_free);
}
std::string BnHex64(const BIGNUM* b) {
  unsigned char buf[32];
  EXPECT_EQ(BN_bn2binpad(b, buf, 32), 32);
  return tvt::Hex(buf, 32);
}

// n - s on the curve, and the parity of the Y of k*G.
struct Curve {
  explicit Curve(int nid) : group(EC_GROUP_new_by_curve_name(nid), EC_GROUP_free) {}
  std::string Negate(const std::string& s) const {
    BnPtr r(BN_new(), BN_free);
    BN_sub(r.get(), EC_GROUP_get0_order(group.get()), Bn(s).get());
    return BnHex64(r.get());
  }
  int YParity(const std::string& k) const {
    std::unique_ptr<EC_POINT, decltype(&EC_POINT_free)> p(EC_POINT_new(group.get()), EC_POINT_free);
    BnPtr y(BN_new(), BN_free);
    EXPECT_EQ(EC_POINT_mul(group.get(), p.get(), Bn(k).get(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(EC_POINT_get_affine_coordinates(group.get(), p.get(), nullptr, y.get(), nullptr), 1);
    return BN_is_odd(y.get());
  }
  std::unique_ptr<EC_GROUP, decltype(&EC_GROUP_free)> group;
};

std::string Recovery(int id) { return std::to_string(id); }

Pairs VerifyEcdsa(const std::string& algo, const std::string& pub, const std::string& data,
                  const std::string& hashalgo, const std::string& r, const std::string& s) {
  return {{"algo", algo}, {"pub", pub}, {"data", data}, {"hashalgo", hashalgo}, {"sigr", r}, {"sigs", s}};
}

void ExpectVerdict(const Pairs& args, const char* verdict) {
  const kat::Reply r = kat::Send("VerifySignature", args);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.envelope, kat::SuccessEnvelope("VerifySignature", kat::Concat(args, {{"verify", verdict}})));
}

// RFC 8032 sections 7.1 to 7.3: public key, signature and verdict, the
// empty message of test 1 included (an input, not a missing one).
TEST(SignActions, Ed25519Rfc8032) {
  const Json::Value& ed = SigVectors()["ed25519"];
  struct Row {
    std::string pri, pub, msg, ctx, sig, ph;
  };
  std::vector<Row> rows;
  for (const Json::Value& v : ed["plain"])
    rows.push_back({v[0].asString(), v[1].asString(), v[2].asString(), "", v[3].asString(), ""});
  for (const Json::Value& v : ed["ctx"])
    rows.push_back({v[0].asString(), v[1].asString(), v[2].asString(), v[3].asString(), v[4].asString(), ""});
  for (const Json::Value& v : ed["ph"])
    rows.push_back({v[0].asString(), v[1].asString(), v[2].asString(), v[3].asString(), v[4].asString(), "true"});
  ASSERT_GE(rows.size(), 5u);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.sig);
    const Pairs pubArgs = {{"algo", "ED25519"}, {"pri", Hx(row.pri)}};
    EXPECT_EQ(kat::Send("GenPubkeyFromPrikey", pubArgs).envelope,
              kat::SuccessEnvelope("GenPubkeyFromPrikey", kat::Concat(pubArgs, {{"pub", Hx(row.pub)}})));

    const Pairs signArgs = {{"algo", "ED25519"}, {"pri", Hx(row.pri)}, {"data", Hx(row.msg)},
                            {"context", Hx(row.ctx)}, {"useph", row.ph}};
    const kat::Reply s = kat::Send("GenSignature", signArgs);
    EXPECT_EQ(s.rc, 0);
    EXPECT_EQ(s.envelope, kat::SuccessEnvelope("GenSignature", kat::Concat(signArgs, {{"sig", Hx(row.sig)}})));

    const Pairs verifyArgs = {{"algo", "ED25519"}, {"pub", Hx(row.pub)}, {"data", Hx(row.msg)},
                              {"sig", Hx(row.sig)}, {"context", Hx(row.ctx)}, {"useph", row.ph}};
    ExpectVerdict(verifyArgs, "true");
    Pairs tampered = verifyArgs;
    tampered[3].second = Flip(tampered[3].second);
    ExpectVerdict(tampered, "false");
  }
}

// Absent "context" and "useph" are echoed as empty texts.
TEST(SignActions, Ed25519EchoesAbsentOptions) {
  const Json::Value& v = SigVectors()["ed25519"]["plain"][0];
  const kat::Reply r = kat::Send("GenSignature", {{"algo", "ed25519"}, {"pri", Hx(v[0].asString())}});
  EXPECT_EQ(r.envelope, kat::SuccessEnvelope("GenSignature", {{"algo", "ed25519"},
                                                              {"pri", Hx(v[0].asString())},
                                                              {"data", ""},
                                                              {"context", ""},
                                                              {"useph", ""},
                                                              {"sig", Hx(v[3].asString())}}));
}

// RFC 6979 A.2.5: S as computed with "useorisigs" true; the low-S form (and
// the other recovery digit) without it.
TEST(SignActions, P256Rfc6979) {
  const Json::Value& p = SigVectors()["ecdsa_p256_rfc6979"];
  const Curve curve(NID_X9_62_prime256v1);
  const std::string pri = Hx(p["private"].asString());
  const std::string pubFull = p["public_uncompressed"].asString();
  const int pubY = std::stoi(pubFull.substr(pubFull.size() - 1), nullptr, 16) & 1;
  const std::string pub = std::string(pubY ? "0x03" : "0x02") + pubFull.substr(2, 64);
  for (const Json::Value& c : p["cases"]) {
    SCOPED_TRACE(c["message"].asString());
    const std::string r = c["r"].asString(), s = c["s"].asString();
    const int parity = curve.YParity(c["k"].asString());
    const bool high = curve.Negate(s) < s;  // same-length hex compares as numbers
    for (const char* keep : {"true", ""}) {
      const bool replaced = keep[0] == '\0' && high;
      const std::string sOut = replaced ? curve.Negate(s) : s;
      const Pairs args = {{"algo", "P256"}, {"pri", pri}, {"data", c["message"].asString()},
                          {"hashalgo", "SHA256"}, {"useorisigs", keep}};
      const kat::Reply reply = kat::Send("GenSignature", args);
      EXPECT_EQ(reply.rc, 0);
      EXPECT_EQ(reply.envelope,
                kat::SuccessEnvelope("GenSignature",
                                     kat::Concat(args, {{"sigr", Part(r)},
                                                        {"sigs", Part(sOut)},
                                                        {"recovery", Recovery(replaced ? 1 - parity : parity)}})));
      ExpectVerdict(VerifyEcdsa("P256", pub, c["message"].asString(), "SHA256", Part(r), Part(sOut)), "true");
    }
    // The digest itself as data, without "hashalgo".
    ExpectVerdict(VerifyEcdsa("secp256r1", pub, Hx(c["sha256"].asString()), "", Part(r), Part(s)), "true");
    ExpectVerdict(VerifyEcdsa("P256", pub, c["message"].asString(), "SHA256", Part(r), Flip(Part(s))), "false");
  }
}

// secp256k1 against libsecp256k1's RFC 6979 signatures (low S, with the
// recovery id), over SHA-256 of a text and over a digest given as data.
TEST(SignActions, Secp256k1MatchesLibsecp256k1) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN | SECP256K1_CONTEXT_VERIFY);
  const Curve curve(NID_secp256k1);
  tvt::TestRng rng(31);
  struct Case {
    tvt::Bytes key;
    std::string data, hashalgo;
    tvt::Bytes digest;
  };
  std::vector<Case> cases;
  tvt::Bytes one(32, 0);
  one[31] = 1;
  cases.push_back({one, "Satoshi Nakamoto", "SHA256",
                   tvt::Unhex("a0dc65ffca799873cbea0ac274015b9526505daaaed385155425f7337704883e")});
  for (int i = 0; i < 8; ++i) {
    const tvt::Bytes digest = rng.RandBytes(32);
    cases.push_back({rng.RandBytes(32), "0x" + tvt::Hex(digest), i % 2 ? "" : "unknown-name", digest});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    ASSERT_EQ(secp256k1_ec_seckey_verify(ctx, c.key.data()), 1);
    secp256k1_ecdsa_recoverable_signature rs;
    ASSERT_EQ(secp256k1_ecdsa_sign_recoverable(ctx, &rs, c.digest.data(), c.key.data(), nullptr, nullptr), 1);
    unsigned char compact[64];
    int recid = -1;
    secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx, compact, &recid, &rs);
    secp256k1_pubkey pk;
    ASSERT_EQ(secp256k1_ec_pubkey_create(ctx, &pk, c.key.data()), 1);
    unsigned char pub[33];
    size_t pubLen = sizeof pub;
    secp256k1_ec_pubkey_serialize(ctx, pub, &pubLen, &pk, SECP256K1_EC_COMPRESSED);
    const std::string r = tvt::Hex(compact, 32), s = tvt::Hex(compact + 32, 32);
    if (&c == &cases[0]) {  // the widely published signature of this pair
      EXPECT_EQ(r, "934b1ea10a4b3c1757e2b0c017d0b6143ce3c9a7e6a4a49860d7a6ab210ee3d8");
      EXPECT_EQ(s, "2442ce9d2b916064108014783e923ec36b49743e2ffa1c4496f01a512aafd9e5");
    }

    const Pairs args = {{"algo", "secp256k1"}, {"pri", "0x" + tvt::Hex(c.key)}, {"data", c.data},
                        {"hashalgo", c.hashalgo}, {"useorisigs", "false"}};
    const kat::Reply reply = kat::Send("GenSignature", args);
    EXPECT_EQ(reply.envelope,
              kat::SuccessEnvelope("GenSignature", kat::Concat(args, {{"sigr", Part(r)},
                                                                      {"sigs", Part(s)},
                                                                      {"recovery", Recovery(recid)}})));
    // Kept as computed, S is the low one or n minus it, with the recovery
    // digit following.
    const kat::Reply raw = kat::Send("GenSignature", {args[0], args[1], args[2], args[3], {"useorisigs", "TRUE"}});
    ASSERT_EQ(raw.rc, 0) << raw.envelope;
    EXPECT_EQ(raw.ret["sigr"].asString(), Part(r));
    if (raw.ret["sigs"].asString() == Part(s)) {
      EXPECT_EQ(raw.ret["recovery"].asString(), Recovery(recid));
    } else {
      EXPECT_EQ(raw.ret["sigs"].asString(), Part(curve.Negate(s)));
      EXPECT_EQ(raw.ret["recovery"].asString(), Recovery(recid ^ 1));
    }

    const std::string pubHex = "0x" + tvt::Hex(pub, pubLen);
    ExpectVerdict(VerifyEcdsa("secp256k1", pubHex, c.data, c.hashalgo, Part(r), Part(s)), "true");
    ExpectVerdict(VerifyEcdsa("secp256k1", pubHex, c.data, c.hashalgo, Part(r), Flip(Part(s))), "false");
    // A signature the export refuses outright is a "false" too, not a failure.
    ExpectVerdict(VerifyEcdsa("secp256k1", pubHex, c.data, c.hashalgo, "", Part(s)), "false");
  }
  secp256k1_context_destroy(ctx);
}

// Encrypt to a key, decrypt with its private key; the message holds the
// one-time scalar's public key after the 16-byte IV, and its size follows
// the plaintext's (empty plaintext included).
TEST(SignActions, EciesRoundTrip) {
  tvt::TestRng rng(77);
  for (const char* algo : {"secp256k1", "P256"}) {
    for (size_t n : {0u, 1u, 15u, 16u, 20u, 31u, 100u}) {
      SCOPED_TRACE(std::string(algo) + " " + std::to_string(n));
      const std::string decpri = "0x" + tvt::Hex(rng.RandBytes(32));
      const std::string encpri = "0x" + tvt::Hex(rng.RandBytes(32));
      const std::string data = n ? "0x" + tvt::Hex(rng.RandBytes(n)) : "";
      const std::string decpub = kat::Send("GenPubkeyFromPrikey", {{"algo", algo}, {"pri", decpri}}).ret["pub"].asString();
      const std::string ephPub = kat::Send("GenPubkeyFromPrikey", {{"algo", algo}, {"pri", encpri}}).ret["pub"].asString();

      const Pairs encArgs = {{"algo", algo}, {"isenc", "true"}, {"data", data}, {"encpri", encpri}, {"decpub", decpub}};
      const kat::Reply e = kat::Send("GenECIES", encArgs);
      ASSERT_EQ(e.rc, 0) << e.envelope;
      const std::string msg = e.ret["encrypt"].asString();
      EXPECT_EQ(msg.size(), 2 + 2 * (16 * (n / 16 + 1) + 81));
      EXPECT_EQ("0x" + msg.substr(2 + 32, 66), ephPub);
      EXPECT_EQ(e.envelope, kat::SuccessEnvelope("GenECIES", kat::Concat(encArgs, {{"encrypt", msg}})));

      // Any "isenc" but a true one decrypts, a missing one included.
      const Pairs decArgs = n % 2 ? Pairs{{"algo", algo}, {"data", msg}, {"decpri", decpri}}
                                  : Pairs{{"algo", algo}, {"isenc", "false"}, {"data", msg}, {"decpri", decpri}};
      const Pairs decEcho = {{"algo", algo}, {"isenc", n % 2 ? "" : "false"}, {"data", msg}, {"decpri", decpri}};
      const kat::Reply d = kat::Send("GenECIES", decArgs);
      EXPECT_EQ(d.rc, 0);
      EXPECT_EQ(d.envelope, kat::SuccessEnvelope("GenECIES", kat::Concat(decEcho, {{"decrypt", data}})));
    }
  }
}

TEST(SignActions, Refusals) {
  const std::string pri = "0x" + std::string(63, '0') + "1";
  const std::string zero = "0x" + std::string(64, '0');
  const std::string pub33 = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
  const std::string pub65 = "0x04" + std::string(128, '1');
  const std::string pub32 = "0x" + std::string(64, '1');
  const std::string data33 = "0x" + std::string(66, '1');
  const std::string ctx256 = "0x" + std::string(512, '1');
  const std::string lenText = "parent's pri/pub/chain len is different 32/33/32byte";
  auto sign = [](const std::string& algo, const std::string& key, const std::string& data,
                 const std::string& hashalgo) {
    return Pairs{{"algo", algo}, {"pri", key}, {"data", data}, {"hashalgo", hashalgo}};
  };
  auto signEcho = [](const std::string& algo, const std::string& key, const std::string& data,
                     const std::string& hashalgo) {
    return Pairs{{"algo", algo}, {"pri", key}, {"data", data}, {"hashalgo", hashalgo}, {"useorisigs", ""}};
  };
  auto enc = [](const std::string& algo, const std::string& encpri, const std::string& decpub) {
    return Pairs{{"algo", algo}, {"isenc", "TRUE"}, {"data", "abc"}, {"encpri", encpri}, {"decpub", decpub}};
  };
  auto dec = [](const std::string& data, const std::string& decpri) {
    return Pairs{{"algo", "secp256k1"}, {"isenc", "false"}, {"data", data}, {"decpri", decpri}};
  };
  const std::string signErr = "[BCMGenSignature][rfc6979_secp256k1_sign:23<-BCMGenSignature:1636]"
                              "[(bc-module rfc6979_secp256k1_sign error)]";
  const std::vector<kat::FailCase> cases = {
      // Checked lengths, echoed first.
      {"GenSignature", sign("", pri.substr(0, 64), "abc", "SHA256"),
       {{"algo", ""}, {"pri", pri.substr(0, 64)}, {"data", "abc"}}, 924, "parent's pri len is different 32byte"},
      {"GenSignature", sign("ED25519", "", "", ""), {{"algo", "ED25519"}, {"pri", ""}, {"data", ""}}, 924,
       "parent's pri len is different 32byte"},
      {"VerifySignature", {{"pub", pub65}, {"data", "abc"}, {"sigr", "0x01"}, {"sigs", "0x01"}},
       {{"algo", ""}, {"pub", pub65}, {"data", "abc"}}, 999, lenText},
      {"VerifySignature", {{"algo", "ED25519"}, {"pub", pub33}, {"data", "abc"}},
       {{"algo", "ED25519"}, {"pub", pub33}, {"data", "abc"}}, 999, lenText},
      {"GenECIES", enc("", pri.substr(0, 64), pub33), enc("", pri.substr(0, 64), pub33), 1068,
       "encrypt's pri[31] len is defferent[32]byte or decrypt's pub[33] len is different [33]byte"},
      {"GenECIES", enc("secp256k1", pri, pub65), enc("secp256k1", pri, pub65), 1068,
       "encrypt's pri[32] len is defferent[32]byte or decrypt's pub[65] len is different [33]byte"},
      {"GenECIES", dec("abc", pri + "00"), dec("abc", pri + "00"), 1095,
       "decrypt's pri[33] len is different [32]byte"},
      // Refusals of the exports, with their trail.
      {"GenSignature", sign("", pri, "abc", "SHA512"), signEcho("", pri, "abc", "SHA512"), 945,
       actt::CoreErr("GenSignature", "[BCMGenSignature][DoDigest:175<-rfc6979_secp256k1_sign:23<-"
                                        "BCMGenSignature:1636][(bc-module rfc6979_secp256k1_sign error)]")},
      {"GenSignature", sign("", pri, data33, ""), signEcho("", pri, data33, ""), 945,
       actt::CoreErr("GenSignature", signErr)},
      {"GenSignature", sign("P256", zero, "abc", "SHA256"), signEcho("P256", zero, "abc", "SHA256"), 945,
       actt::CoreErr("GenSignature", "[BCMGenSignature][rfc6979_secp256k1_sign:35<-BCMGenSignature:1636]"
                                        "[(bc-module rfc6979_secp256k1_sign error)]")},
      {"GenSignature", {{"algo", "ED25519"}, {"pri", pri}, {"data", "abc"}, {"context", ctx256}},
       {{"algo", "ED25519"}, {"pri", pri}, {"data", "abc"}, {"context", ctx256}, {"useph", ""}}, 971,
       actt::CoreErr("GenSignature_ED", "[BCMGenSignature_ED][rfc8032_ed25519_sign:98<-BCMGenSignature_ED:1970]"
                                           "[(bc-module rfc8032_ed25519_sign error)]")},
      // Ed25519 has no ECIES: its 32-byte key passes the length check and
      // the export refuses it.
      {"GenECIES", enc("ED25519", pri, pub32), enc("ED25519", pri, pub32), 1079,
       actt::CoreErr("ECIESEncrypt", "[BCMGenECIESEncrypt][BCMGenECIESEncrypt:2028][(param is NULL)]")},
      {"GenECIES", dec("0x00112233445566778899", pri), dec("0x00112233445566778899", pri), 1105,
       actt::CoreErr("ECIESDecrypt", "[BCMGenECIESDecrypt][ECIES_Decrypt:295<-BCMGenECIESDecrypt:2097]"
                                        "[(bc-module ECIES_Decrypt error)]")},
  };
  kat::ExpectFailures(cases);
}

}  // namespace
