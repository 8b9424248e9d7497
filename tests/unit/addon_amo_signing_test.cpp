// AMO signing in two steps around an outside signer, and the refusals of
// the three transaction actions with their chains.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>
#include <sodium.h>

#include <sstream>
#include <string>

#include "addon_amo_testing.h"
#include "ed25519_keys_testing.h"

namespace {

using tvt::Bytes;

const std::string kPri = "0x1f2e3d4c5b6a79880706050403020100f0e1d2c3b4a5968778695a4b3c2d1e0f";
const std::string kOtherPri = "0x0102030405060708091011121314151617181920212223242526272829303132";

Bytes Base64Decode(const std::string& text) {
  Bytes out(text.size());
  size_t len = 0;
  EXPECT_EQ(sodium_base642bin(out.data(), out.size(), text.c_str(), text.size(), nullptr, &len, nullptr,
                              sodium_base64_VARIANT_ORIGINAL),
            0)
      << text;
  out.resize(len);
  return out;
}
std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The public key of a wallet, asked of the add-on's own GenUnsignedTx road
// would be circular: the keys come from python3-ecdsa and python3-nacl.
std::string PubOf(const std::string& pri, bool ed) {
  const std::string script = R"(
import sys, nacl.signing
from ecdsa import SigningKey, NIST256p
pri, ed = sys.stdin.read().split()
key = bytes.fromhex(pri[2:])
if ed == "1":
    print("0x" + nacl.signing.SigningKey(key).verify_key.encode().hex())
else:
    print("0x" + SigningKey.from_string(key, curve=NIST256p).verifying_key.to_string("compressed").hex())
)";
  std::string out = tvt::RunPython(script, pri + " " + (ed ? "1" : "0"));
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

// DER of the deterministic (RFC 6979, low S) P-256 signature of a digest,
// made by python3-ecdsa.
std::string DerSign(const std::string& pri, const std::string& digestHex) {
  const std::string script = R"(
import sys, hashlib
from ecdsa import SigningKey, NIST256p
from ecdsa.util import sigencode_der
pri, digest = sys.stdin.read().split()
sk = SigningKey.from_string(bytes.fromhex(pri[2:]), curve=NIST256p)
n = int(NIST256p.order)
r, s = sk.sign_digest_deterministic(bytes.fromhex(digest[2:]), hashfunc=hashlib.sha256,
                                    sigencode=lambda r, s, o: (int(r), int(s)))
print("0x" + sigencode_der(r, min(s, n - s), n).hex())
)";
  std::string out = tvt::RunPython(script, pri + " " + digestHex);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

Json::Value TxInfo(const std::string& type, const std::string& payload, const Json::Value& wallet) {
  Json::Value t;
  t["type"] = type;
  t["payload"] = tvt::ParseJson(payload);
  t["fee"] = "10";
  t["last_height"] = "0x64";
  t["wallet"] = wallet;
  return t;
}

Json::Value Wallet(const char* key, const std::string& value, const std::string& algo) {
  Json::Value w;
  w[key] = value;
  if (!algo.empty()) w["algo"] = algo;
  return w;
}

amot::Reply GenTx(const Json::Value& txinfo) {
  Json::Value args;
  args["txinfo"] = txinfo;
  return amot::Action("GenTx", args);
}

amot::Reply GenSigned(const std::string& unsignedtxinfo, const Json::Value& signinfos) {
  Json::Value args;
  args["txinfo"]["unsignedtxinfo"] = unsignedtxinfo;
  args["txinfo"]["signinfos"] = signinfos;
  return amot::Action("GenSignedTx", args);
}

// "GenUnsignedTx" of a withdrawal by the wallet {"pub", "algo"} of `pri`.
amot::Reply UnsignedWithdraw(const std::string& pri, const std::string& algo) {
  Json::Value args;
  args["txinfo"] = TxInfo("withdraw", R"({"amount":"1"})", Wallet("pub", PubOf(pri, algo == "ed25519"), algo));
  return amot::Action("GenUnsignedTx", args);
}

const char* kPayloads[][2] = {
    {"transfer", R"({"udc":"3","to":"ab12","amount":"1000"})"},
    {"propose", R"({"draft_id":"4","config":{"b":"2","a":1},"desc":"a \"new\" rule"})"},
    {"request", R"({"target":"t1","payment":"5","dealer":"d","dealer_fee":"1","extra":{}})"},
};

// P-256: the outside signer signs "signaturehash"; its DER comes back and
// gives exactly the transaction of the one-step road.
TEST(AmoSigning, TwoStepP256EqualsGenTx) {
  const std::string pub = PubOf(kPri, false);
  for (const auto& p : kPayloads) {
    const Json::Value unsignedInfo = TxInfo(p[0], p[1], Wallet("pub", pub, "secp256r1"));
    Json::Value args;
    args["txinfo"] = unsignedInfo;
    const amot::Reply u = amot::Action("GenUnsignedTx", args);
    ASSERT_EQ(u.rc, 0) << u.text;
    EXPECT_EQ(Text(Base64Decode(u.json["unsignedtxinfo"].asString())), amot::Compact(unsignedInfo));
    Json::Value signinfos = u.json["signinfos"];
    ASSERT_EQ(signinfos.size(), 1u);
    EXPECT_EQ(signinfos[0]["pubkey"].asString(), pub);
    EXPECT_EQ(signinfos[0]["signature"].asString(), "");
    EXPECT_FALSE(signinfos[0].isMember("unsignedtx")) << "a P-256 signer needs the hash only";
    signinfos[0]["signature"] = DerSign(kPri, signinfos[0]["signaturehash"].asString());

    const amot::Reply s = GenSigned(u.json["unsignedtxinfo"].asString(), signinfos);
    ASSERT_EQ(s.rc, 0) << s.text;
    const amot::Reply one = GenTx(TxInfo(p[0], p[1], Wallet("pri", kPri, "secp256r1")));
    ASSERT_EQ(one.rc, 0) << one.text;
    EXPECT_EQ(s.json["tx"], one.json["tx"]) << p[0];
  }
}

// Ed25519 signs the body itself, so the outside signer is handed it.
TEST(AmoSigning, TwoStepEd25519EqualsGenTx) {
  ASSERT_GE(sodium_init(), 0);
  const Bytes seed = tvt::Unhex(kPri.substr(2));
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_seed_keypair(pk, sk, seed.data());
  const std::string pub = "0x" + tvt::Hex(pk, sizeof(pk));
  for (const auto& p : kPayloads) {
    Json::Value args;
    args["txinfo"] = TxInfo(p[0], p[1], Wallet("pub", pub, "ed25519"));
    const amot::Reply u = amot::Action("GenUnsignedTx", args);
    ASSERT_EQ(u.rc, 0) << u.text;
    Json::Value signinfos = u.json["signinfos"];
    ASSERT_TRUE(signinfos[0].isMember("unsignedtx")) << u.text;
    const Bytes body = tvt::Unhex(signinfos[0]["unsignedtx"].asString().substr(2));
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, body.data(), body.size(), sk);
    signinfos[0]["signature"] = "0x" + tvt::Hex(sig, sizeof(sig));

    const amot::Reply s = GenSigned(u.json["unsignedtxinfo"].asString(), signinfos);
    ASSERT_EQ(s.rc, 0) << s.text;
    const amot::Reply one = GenTx(TxInfo(p[0], p[1], Wallet("pri", kPri, "ED25519")));
    ASSERT_EQ(one.rc, 0) << one.text;
    EXPECT_EQ(s.json["tx"], one.json["tx"]) << p[0];
    // The signed text carries the body as it was signed.
    const std::string text = Text(Base64Decode(one.json["tx"].asString()));
    EXPECT_EQ(text.substr(0, body.size() + 1), "{" + Text(body));
  }
}

struct EcKey {
  EC_KEY* key = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
  explicit EcKey(const Bytes& pri) {
    BIGNUM* d = BN_bin2bn(pri.data(), static_cast<int>(pri.size()), nullptr);
    EC_POINT* q = EC_POINT_new(EC_KEY_get0_group(key));
    EC_POINT_mul(EC_KEY_get0_group(key), q, d, nullptr, nullptr, nullptr);
    EC_KEY_set_private_key(key, d);
    EC_KEY_set_public_key(key, q);
    EC_POINT_free(q);
    BN_free(d);
  }
  ~EcKey() { EC_KEY_free(key); }
};

// OpenSSL signs with random nonces; DER drops leading zeros of R and S and
// puts a zero before a set top bit. Whatever the lengths, the transaction
// carries R and S as 32 bytes each, and OpenSSL verifies them.
TEST(AmoSigning, OutsideDerOfAnyLengthIsNormalised) {
  const amot::Reply u = UnsignedWithdraw(kPri, "");
  ASSERT_EQ(u.rc, 0) << u.text;
  const Bytes digest = tvt::Unhex(u.json["signinfos"][0]["signaturehash"].asString().substr(2));
  EcKey key(tvt::Unhex(kPri.substr(2)));

  bool shortR = false, shortS = false, paddedR = false;
  for (int i = 0; i < 4000 && !(shortR && shortS && paddedR); ++i) {
    ECDSA_SIG* sig = ECDSA_do_sign(digest.data(), static_cast<int>(digest.size()), key.key);
    const int rBytes = BN_num_bytes(ECDSA_SIG_get0_r(sig)), sBytes = BN_num_bytes(ECDSA_SIG_get0_s(sig));
    const bool topR = BN_num_bits(ECDSA_SIG_get0_r(sig)) == 256;
    const bool interesting = (rBytes < 32 && !shortR) || (sBytes < 32 && !shortS) || (topR && !paddedR) || i == 0;
    if (!interesting) {
      ECDSA_SIG_free(sig);
      continue;
    }
    shortR |= rBytes < 32;
    shortS |= sBytes < 32;
    paddedR |= topR;
    unsigned char* der = nullptr;
    const int derLen = i2d_ECDSA_SIG(sig, &der);
    Json::Value signinfos = u.json["signinfos"];
    signinfos[0]["signature"] = "0x" + tvt::Hex(der, static_cast<size_t>(derLen));
    OPENSSL_free(der);

    const amot::Reply s = GenSigned(u.json["unsignedtxinfo"].asString(), signinfos);
    ASSERT_EQ(s.rc, 0) << s.text;
    const Json::Value signedTx = tvt::ParseJson(Text(Base64Decode(s.json["tx"].asString())));
    const std::string sigHex = signedTx["signature"]["sig_bytes"].asString();
    ASSERT_EQ(sigHex.size(), 128u) << "R " << rBytes << " S " << sBytes;
    const Bytes rs = tvt::Unhex(sigHex);
    BIGNUM* r = BN_bin2bn(rs.data(), 32, nullptr);
    BIGNUM* sv = BN_bin2bn(rs.data() + 32, 32, nullptr);
    EXPECT_EQ(BN_cmp(r, ECDSA_SIG_get0_r(sig)), 0);
    EXPECT_EQ(BN_cmp(sv, ECDSA_SIG_get0_s(sig)), 0);
    BN_free(r);
    BN_free(sv);
    EXPECT_EQ(ECDSA_do_verify(digest.data(), static_cast<int>(digest.size()), sig, key.key), 1);
    ECDSA_SIG_free(sig);
  }
  EXPECT_TRUE(shortR && shortS && paddedR);
}

struct Refusal {
  const char* name;
  std::string signature;  // hex for element 0's "signature"
  std::string chain;
};

TEST(AmoSigning, GenSignedTxRefusesSignaturesThatDoNotHold) {
  const amot::Reply u = UnsignedWithdraw(kPri, "");
  ASSERT_EQ(u.rc, 0) << u.text;
  const std::string hash = u.json["signinfos"][0]["signaturehash"].asString();
  const std::string good = DerSign(kPri, hash);
  const std::string verifyFailed =
      "GenerateAMOSignedTx:1179[signature verify is failed !!]<=GenSignedTx_AMO:1352[GenerateAMOSignedTx Error "
      "!!]<=RunModule_AMO:1422[GenTx Error]";
  const std::string badEnvelope =
      "GenerateAMOSignedTx:1167[signature is invalid !!]<=GenSignedTx_AMO:1352[GenerateAMOSignedTx Error "
      "!!]<=RunModule_AMO:1422[GenTx Error]";
  std::string flipped = good;
  flipped[flipped.size() - 1] = flipped.back() == '0' ? '1' : '0';
  const Refusal cases[] = {
      {"another key's signature", DerSign(kOtherPri, hash), verifyFailed},
      {"one bit off", flipped, verifyFailed},
      {"R of 34 bytes", "0x30460222" + std::string(68, '1') + "0220" + std::string(64, '1'), badEnvelope},
      {"R length 0x80", "0x30440280" + std::string(128, '1'), badEnvelope},
      {"three bytes", "0x304402", badEnvelope},
      {"no signature", "", badEnvelope},
      {"S runs past the end", good.substr(0, good.size() - 2), verifyFailed},
  };
  for (const Refusal& c : cases) {
    Json::Value signinfos = u.json["signinfos"];
    signinfos[0]["signature"] = c.signature;
    const amot::Reply s = GenSigned(u.json["unsignedtxinfo"].asString(), signinfos);
    EXPECT_EQ(s.rc, 1) << c.name;
    EXPECT_EQ(amot::Chain(s), c.chain) << c.name;
  }
  // The signing data must match what the description gives.
  const std::string mismatch = "GenerateAMOSignedTx:1149[jvTxSignInfos[0].signaturehash[" + hash +
                               "] is invaild !!]<=GenSignedTx_AMO:1352[GenerateAMOSignedTx Error "
                               "!!]<=RunModule_AMO:1422[GenTx Error]";
  for (const char* key : {"signaturehash", "pubkey"}) {
    Json::Value signinfos = u.json["signinfos"];
    signinfos[0]["signature"] = good;
    std::string v = signinfos[0][key].asString();
    v[10] = v[10] == 'a' ? 'b' : 'a';
    signinfos[0][key] = v;
    const amot::Reply s = GenSigned(u.json["unsignedtxinfo"].asString(), signinfos);
    EXPECT_EQ(amot::Chain(s), mismatch) << key;
  }
  Json::Value none(Json::arrayValue);
  EXPECT_EQ(amot::Chain(GenSigned(u.json["unsignedtxinfo"].asString(), none)),
            "GenerateAMOSignedTx:1149[jvTxSignInfos[0].signaturehash[" + hash +
                "] is invaild !!]<=GenSignedTx_AMO:1352[GenerateAMOSignedTx Error !!]<=RunModule_AMO:1422[GenTx "
                "Error]");
}

// Ed25519 signatures are verified too: any 64 bytes no longer pass, and a
// wallet whose "pub" is not the key of its "pri" makes no transaction.
TEST(AmoSigning, Ed25519SignaturesAreVerified) {
  const amot::Reply u = UnsignedWithdraw(kPri, "ed25519");
  ASSERT_EQ(u.rc, 0) << u.text;
  const std::string tail = "<=GenSignedTx_AMO:1352[GenerateAMOSignedTx Error !!]<=RunModule_AMO:1422[GenTx Error]";
  const Refusal cases[] = {
      {"64 zero bytes", "0x" + std::string(128, '0'), "GenerateAMOSignedTx:1179[signature verify is failed !!]" + tail},
      {"63 bytes", "0x" + std::string(126, '1'), "GenerateAMOSignedTx:1158[signature is invalid !!]" + tail},
  };
  for (const Refusal& c : cases) {
    Json::Value signinfos = u.json["signinfos"];
    signinfos[0]["signature"] = c.signature;
    EXPECT_EQ(amot::Chain(GenSigned(u.json["unsignedtxinfo"].asString(), signinfos)), c.chain) << c.name;
  }
  for (const char* algo : {"ed25519", "p256"}) {
    Json::Value wallet = Wallet("pri", kPri, algo);
    wallet["pub"] = PubOf(kOtherPri, std::string(algo) == "ed25519");
    const amot::Reply r = GenTx(TxInfo("withdraw", R"({"amount":"1"})", wallet));
    EXPECT_EQ(r.rc, 1) << algo;
    EXPECT_EQ(amot::Chain(r),
              "GenerateAMOSignedTx:1179[signature verify is failed !!]<=GenTx_AMO:1260[GenerateAMOSignedTx Error "
              "!!]<=RunModule_AMO:1430[GenTx Error]")
        << algo;
  }
}

TEST(AmoSigning, GenSignedTxDescriptionRefusals) {
  std::string b64;
  auto encode = [&](const std::string& text) {
    std::string out(sodium_base64_ENCODED_LEN(text.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.resize(strlen(out.c_str()));
    return out;
  };
  const Json::Value one = tvt::ParseJson(R"([{}])");
  const std::string tail = "<=RunModule_AMO:1422[GenTx Error]";
  struct Case {
    const char* name;
    std::string unsignedtxinfo, chain;
  } cases[] = {
      {"not Base64", "%%%", "GenSignedTx_AMO:1322[BCMGenBase64Decode Error]" + tail},
      {"empty", "", "GenSignedTx_AMO:1322[BCMGenBase64Decode Error]" + tail},
      {"no JSON", encode("{\"type\":"), "GenSignedTx_AMO:1330[json format error(unsignedtx)]" + tail},
      {"no type", encode(R"({"payload":{},"fee":"1","last_height":"1"})"),
       "GenSignedTx_AMO:1338[txinfo{type,payload{},fee,last_height} is not support format]" + tail},
      {"no wallet", encode(R"({"type":"withdraw","payload":{"amount":"1"},"fee":"1","last_height":"1"})"),
       "GenerateAMOSignInfos:1042[wallet is invalid !!]<=GenSignedTx_AMO:1344[GenerateAMOSignInfos Error !!]" +
           tail},
  };
  for (const Case& c : cases) EXPECT_EQ(amot::Chain(GenSigned(c.unsignedtxinfo, one)), c.chain) << c.name;

  const amot::Reply missing = amot::Call(R"({"action":"GenSignedTx","args":{"txinfo":{"signinfos":[]}}})");
  EXPECT_EQ(amot::Chain(missing), "GenSignedTx_AMO:1314[txinfo is invalid(data) !!]" + tail);
  EXPECT_TRUE(missing.json["txinfo"].isMember("unsignedtxinfo")) << "the lookup stays in the reply";
  EXPECT_TRUE(missing.json["txinfo"]["unsignedtxinfo"].isNull());
}

TEST(AmoSigning, GenTxRefusalsAndTheirChains) {
  const Json::Value wallet = Wallet("pri", kPri, "");
  const std::string tail = "<=RunModule_AMO:1430[GenTx Error]";
  struct Case {
    const char* name;
    std::string args, chain;
  } cases[] = {
      {"withdraw without amount",
       R"({"txinfo":{"type":"withdraw","payload":{},"fee":"1","last_height":"1","wallet":{"pri":")" + kPri +
           R"("}}})",
       "MakeTxWithdraw:344[payload[amount] is not support !!]<=GenerateAMOUnsignedTx:865[widhdraw "
       "error]<=GenerateAMOSignInfos:1049[GenerateAMOUnsignedTx Error !!]<=GenTx_AMO:1246[GenerateAMOSignInfos "
       "Error !!]" +
           tail},
      {"type with a capital",
       R"({"txinfo":{"type":"Transfer","payload":{},"fee":"1","last_height":"1","wallet":{"pri":")" + kPri +
           R"("}}})",
       "GenerateAMOUnsignedTx:1008[do not support transaction type[Transfer]]<=GenerateAMOSignInfos:1049["
       "GenerateAMOUnsignedTx Error !!]<=GenTx_AMO:1246[GenerateAMOSignInfos Error !!]" +
           tail},
      {"fee as a number",
       R"({"txinfo":{"type":"withdraw","payload":{"amount":"1"},"fee":1,"last_height":"1","wallet":{"pri":")" +
           kPri + R"("}}})",
       "GenTx_AMO:1240[txinfo{type,payload{},fee,last_height} is not support format]" + tail},
      {"type cut by a NUL",
       R"({"txinfo":{"type":"withdraw\u0000x","payload":{"amount":"1"},"fee":"1","last_height":"1","wallet":{"pri":")" +
           kPri + R"("}}})",
       "RunModule_AMO:1442[type holds a NUL character !!]"},
      {"fee cut by a NUL",
       R"({"txinfo":{"type":"withdraw","payload":{"amount":"1"},"fee":"1\u00009","last_height":"1","wallet":{"pri":")" +
           kPri + R"("}}})",
       "RunModule_AMO:1442[fee holds a NUL character !!]"},
      {"no txinfo", R"({})", "GenTx_AMO:1225[txinfo is not exist !!]" + tail},
      {"args a text", R"("x")", "GenTx_AMO:1225[txinfo is not exist !!]" + tail},
      {"wallet without pri", R"({"txinfo":{"wallet":{"pub":"0x00"}}})",
       "GenTx_AMO:1231[txinfo.wallet.pri is not exist !!]" + tail},
      {"short key",
       R"({"txinfo":{"type":"withdraw","payload":{"amount":"1"},"fee":"1","last_height":"1","wallet":{"pri":"0x0102"}}})",
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error "
       "!!]<=GenerateAMOSignInfos:1042[wallet is invalid !!]<=GenTx_AMO:1246[GenerateAMOSignInfos Error !!]" +
           tail},
  };
  for (const Case& c : cases) {
    const amot::Reply r = amot::Call(R"({"action":"GenTx","args":)" + c.args + "}");
    EXPECT_EQ(r.rc, 1) << c.name;
    EXPECT_EQ(amot::Chain(r), c.chain) << c.name;
  }
  // Lookups stay in the reply: the missing "pri" is echoed as null.
  const amot::Reply r = amot::Call(R"({"action":"GenTx","args":{"txinfo":{"wallet":{}}}})");
  EXPECT_TRUE(r.json["txinfo"]["wallet"].isMember("pri"));
  // A fee or height beyond 32 bits, or a transfer "udc" beyond it, cannot be
  // read: the request fails as one that cannot be carried out.
  for (const char* txinfo :
       {R"({"type":"withdraw","payload":{"amount":"1"},"fee":"3000000000","last_height":"1"})",
        R"({"type":"withdraw","payload":{"amount":"1"},"fee":"1","last_height":"0x80000000"})",
        R"({"type":"transfer","payload":{"udc":"2147483648","to":"a","amount":"1"},"fee":"1","last_height":"1"})"}) {
    Json::Value info = tvt::ParseJson(txinfo);
    info["wallet"] = wallet;
    const amot::Reply big = GenTx(info);
    EXPECT_EQ(big.rc, 1) << txinfo;
    EXPECT_EQ(amot::Chain(big).rfind("RunModule_AMO:1442[number out of range(", 0), 0u) << amot::Chain(big);
  }
}

TEST(AmoSigning, FeeAndHeightTexts) {
  struct Case {
    const char* fee;
    const char* written;
  } cases[] = {{"0x1F4", "500"}, {"500", "500"}, {"", "0"}, {"2147483647", "2147483647"}};
  for (const Case& c : cases) {
    Json::Value info = TxInfo("withdraw", R"({"amount":"1"})", Wallet("pri", kPri, ""));
    info["fee"] = c.fee;
    info["last_height"] = c.fee;
    const amot::Reply r = GenTx(info);
    ASSERT_EQ(r.rc, 0) << c.fee << " " << r.text;
    const Json::Value tx = tvt::ParseJson(Text(Base64Decode(r.json["tx"].asString())));
    EXPECT_EQ(tx["fee"].asString(), c.written) << c.fee;
    EXPECT_EQ(tx["last_height"].asString(), c.written) << c.fee;
  }
  // A text that is no number is refused by name, not signed as 0.
  struct Bad {
    const char* member;
    const char* value;
    std::string entry;
  } bad[] = {
      {"fee", "1e3", "RunModule_AMO:1442[fee is not a number !!]"},
      {"fee", "-1", "RunModule_AMO:1442[fee is not a number !!]"},
      {"last_height", "12 ", "RunModule_AMO:1442[last_height is not a number !!]"},
      {"last_height", "0xg", "RunModule_AMO:1442[last_height is not a number !!]"},
  };
  for (const Bad& b : bad) {
    Json::Value info = TxInfo("withdraw", R"({"amount":"1"})", Wallet("pri", kPri, ""));
    info[b.member] = b.value;
    const amot::Reply r = GenTx(info);
    EXPECT_EQ(r.rc, 1) << b.value;
    EXPECT_EQ(amot::Chain(r), b.entry) << b.value;
  }
}

TEST(AmoSigning, GenUnsignedTxRefusals) {
  const std::string tail = "<=RunModule_AMO:1414[GenTx Error]";
  const std::string full = "0x04" + std::string(128, '1');
  struct Case {
    const char* name;
    std::string args, chain;
  } cases[] = {
      {"wallet with pri only", R"({"txinfo":{"wallet":{"pri":")" + kPri + R"("}}})",
       "GenUnsignedTx_AMO:1273[txinfo is invalid(data) !!]" + tail},
      {"65-byte pub",
       R"({"txinfo":{"type":"withdraw","payload":{"amount":"1"},"fee":"1","last_height":"1","wallet":{"pub":")" +
           full + R"("}}})",
       "GetSignerPub:529[public Size not [33]byte !!]<=GenerateAMOSignInfos:1042[wallet is invalid "
       "!!]<=GenUnsignedTx_AMO:1288[GenerateAMOSignInfos Error !!]" +
           tail},
      {"payload a text",
       R"({"txinfo":{"type":"withdraw","payload":"x","fee":"1","last_height":"1","wallet":{"pub":"0x02"}}})",
       "GenUnsignedTx_AMO:1282[txinfo{type,payload{},fee,last_height} is not support format]" + tail},
  };
  for (const Case& c : cases) {
    const amot::Reply r = amot::Call(R"({"action":"GenUnsignedTx","args":)" + c.args + "}");
    EXPECT_EQ(r.rc, 1) << c.name;
    EXPECT_EQ(amot::Chain(r), c.chain) << c.name;
  }
  // A signer's Ed25519 "pub" that no private key has names a sender nobody
  // can sign for, on either road.
  const std::string inner =
      "GenerateAddrAMO:52[pub is invalid(not a curve point)]<=GenerateAMOUnsignedTx:840[ToDo Add Detail Error "
      "Message!!]<=GenerateAMOSignInfos:1049[GenerateAMOUnsignedTx Error !!]";
  for (const edkeys::BadKey& bad : edkeys::BadKeys()) {
    Json::Value args;
    args["txinfo"] = TxInfo("withdraw", R"({"amount":"1"})", Wallet("pub", bad.hex, "ed25519"));
    amot::Reply r = amot::Action("GenUnsignedTx", args);
    EXPECT_EQ(r.rc, 1) << bad.why;
    EXPECT_EQ(amot::Chain(r), inner + "<=GenUnsignedTx_AMO:1288[GenerateAMOSignInfos Error !!]" + tail) << bad.why;
    Json::Value wallet = Wallet("pub", bad.hex, "ED25519");
    wallet["pri"] = kPri;
    r = GenTx(TxInfo("withdraw", R"({"amount":"1"})", wallet));
    EXPECT_EQ(r.rc, 1) << bad.why;
    EXPECT_EQ(amot::Chain(r),
              inner + "<=GenTx_AMO:1246[GenerateAMOSignInfos Error !!]<=RunModule_AMO:1430[GenTx Error]")
        << bad.why;
  }
}

TEST(AmoSigning, SignedTextIsOneLineAndNamesTheSender) {
  for (const char* algo : {"p256", "ed25519"}) {
    const amot::Reply r = GenTx(TxInfo("transfer", R"({"to":"ab","amount":"1"})", Wallet("pri", kPri, algo)));
    ASSERT_EQ(r.rc, 0) << r.text;
    const std::string text = Text(Base64Decode(r.json["tx"].asString()));
    EXPECT_EQ(text.find_first_of("\n "), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "}}");
    Json::Value addr;
    addr["addrinfo"]["algo"] = algo;
    addr["addrinfo"]["pubs"][0]["pub"] = PubOf(kPri, std::string(algo) == "ed25519");
    EXPECT_EQ(tvt::ParseJson(text)["sender"], amot::Action("GenAddr", addr).json["addr"]) << algo;
    // P-256 names the 65-byte key, though the wallet gave 33 bytes or none.
    EXPECT_EQ(tvt::ParseJson(text)["signature"]["pubkey"].asString().size(),
              std::string(algo) == "p256" ? 130u : 64u);
  }
}

TEST(AmoSigning, EntryRefusals) {
  char* out = nullptr;
  EXPECT_EQ(RunModule_AMO("GenTx", "amo", nullptr, &out), 1);
  ASSERT_NE(out, nullptr);
  const std::string text = out;
  const std::string end = R"x(Addon(RunModule_AMO:1384[param is null])"}})x";
  EXPECT_EQ(text.rfind("{\"error\":{\"err_code\":\"1000\",\"err_msg\":\"VQ(VER[", 0), 0u) << text;
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
  FreeMem_AMO(out);
  EXPECT_EQ(FreeMem_AMO(nullptr), 1);
  EXPECT_EQ(amot::Chain(amot::Call(R"({"action":"GenTxID","args":{}})")), "RunModule_AMO:1436[not support action]");
  EXPECT_EQ(amot::Chain(amot::Call(R"({"action":"genaddr","args":{}})")), "RunModule_AMO:1436[not support action]");
  EXPECT_EQ(amot::Chain(amot::Call(R"({"action":"GenAddr",)")),
            "RunModule_AMO:1396[json parse error({'action':'GenAddr',)]");
}

}  // namespace
