// The add-ons' shared operations: hash chains, algorithm names, a signer's
// keys from a wallet object, and the network argument.
#include <gtest/gtest.h>
#include <json/json.h>
#include <openssl/evp.h>
#include <openssl/sha.h>

#include <string>

#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/network.h"
#include "common/signer.h"
#include "command/text/text.h"
#include "tv_test.h"

namespace {

using tvt::Hex;

std::string Sha256Hex(const Bytes& m) {
  unsigned char d[32];
  SHA256(m.data(), m.size(), d);
  return Hex(d, 32);
}
std::string Hash160Hex(const Bytes& m) {
  unsigned char d[32];
  SHA256(m.data(), m.size(), d);
  unsigned char r[20];
  unsigned int len = 0;
  EVP_Digest(d, 32, r, &len, EVP_ripemd160(), nullptr);
  return Hex(r, 20);
}

Json::Value Doc(const std::string& text) {
  Json::Value v;
  EXPECT_TRUE(ParseJson(text, v)) << text;
  return v;
}

TEST(AddonHashing, ChainsAgreeWithOpenSsl) {
  tvt::TestRng rng(7);
  for (size_t len : {0, 1, 55, 56, 64, 200}) {
    const Bytes m = rng.RandBytes(len);
    Bytes out;
    ASSERT_EQ(GenerateHash(m, 0, out), 0);
    EXPECT_EQ(Hex(out), Sha256Hex(m));
    ASSERT_EQ(GenerateHash(m, 1, out), 0);
    EXPECT_EQ(Hex(out), Hash160Hex(m));
    ASSERT_EQ(GenerateHash(m, 2, out), 0);  // any flag but 1: SHA-256 alone
    EXPECT_EQ(Hex(out), Sha256Hex(m));
    ASSERT_EQ(GenerateLoopHash(m, {1, 1}, out), 0);
    unsigned char once[32];
    SHA256(m.data(), m.size(), once);
    EXPECT_EQ(Hex(out), Sha256Hex(Bytes(once, once + 32)));
    ASSERT_EQ(GenerateLoopHash(m, {}, out), 0);
    EXPECT_EQ(out, m);
  }
  Bytes out;
  ASSERT_EQ(GenerateHash({}, 0, out), 0);
  EXPECT_EQ(Hex(out), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(AddonHashing, AnUnknownDigestFailsAndLeavesTheOutput) {
  ResetErrTrail();
  Bytes out{9};
  EXPECT_EQ(GenerateLoopHash(Bytes{1}, {1, 99}, out), 1);
  EXPECT_EQ(out, Bytes{9});
  EXPECT_EQ(GetErrTrail(), "GenerateLoopHash:384[ToDo Add Detail Error Message!!]");
}

TEST(AddonAlgorithm, NamesToIdsAndSizes) {
  const struct {
    const char* name;
    uint32_t algo, pub;
  } cases[] = {
      {"ED25519", 3, 32}, {"ed25519", 3, 32}, {"Ed25519", 3, 32}, {"P256", 2, 33},       {"p256", 2, 33},
      {"secp256r1", 2, 33}, {"SECP256K1", 1, 33}, {"", 1, 33},    {"ed25519 ", 1, 33}, {"P-256", 1, 33},
  };
  for (const auto& c : cases) {
    uint32_t algo = 0, pri = 0, pub = 0;
    GetAlgoInfo(c.name, algo, &pri, &pub);
    EXPECT_EQ(algo, c.algo) << c.name;
    EXPECT_EQ(pri, 32u);
    EXPECT_EQ(pub, c.pub) << c.name;
    GetAlgoInfo(c.name, algo, nullptr, nullptr);
    EXPECT_EQ(algo, c.algo);
  }
}

// An add-on's own parser (every name but Ed25519 is P-256), given as the
// parameter instead of a second copy of the key readers.
void EveryNameIsP256(std::string_view name, uint32_t& algo, uint32_t* pri, uint32_t* pub) {
  GetAlgoInfo(name, algo, pri, pub);
  if (algo != kAlgoEd25519) algo = kAlgoP256;
}

const std::string kPri = "0x0000000000000000000000000000000000000000000000000000000000000001";
const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kGp256 = "036b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
const std::string kEdPub = "4cb5abf6ad79fbf5abbccafcc269d85cd2651ed4b885b5869f241aedf0a5ba29";

TEST(AddonSigner, KeysFromWallets) {
  const struct {
    std::string wallet;
    bool amo;            // parsed with the every-name-is-P-256 parser
    int pubRc;
    uint32_t algo;
    std::string pub;     // hex, or the chain of the failure
  } cases[] = {
      {R"({"pri":")" + kPri + R"("})", false, 0, 1, kG},
      {R"({"pri":")" + kPri + R"(","algo":"secp256k1"})", false, 0, 1, kG},
      {R"({"pri":")" + kPri + R"(","algo":"p256"})", false, 0, 2, kGp256},
      {R"({"pri":")" + kPri + R"(","algo":"secp256k1"})", true, 0, 2, kGp256},
      {R"({"pri":")" + kPri + R"(","algo":"ed25519"})", false, 0, 3, kEdPub},
      {R"({"pri":")" + kPri + R"(","algo":"ed25519"})", true, 0, 3, kEdPub},
      // 63 digits: a leading "0" is supplied.
      {R"({"pri":"0x000000000000000000000000000000000000000000000000000000000000001"})", false, 0, 1, kG},
      {R"({"pri":")" + kPri + R"(","pub":null})", false, 0, 1, kG},
      // "pub" wins, unchecked against "pri".
      {R"({"pri":")" + kPri + R"(","pub":"0x)" + kGp256 + R"("})", false, 0, 1, kGp256},
      {R"({"pub":"0x)" + kEdPub + R"(","algo":"ED25519"})", false, 0, 3, kEdPub},
      {R"({"pri":")" + kPri + R"(","pub":"0x04)" + std::string(128, 'a') + R"("})", false, 1, 1,
       "GetSignerPub:529[public Size not [33]byte !!]"},
      {R"({"pub":"0x)" + kG + R"(","algo":"ed25519"})", false, 1, 3, "GetSignerPub:529[public Size not [32]byte !!]"},
      {R"({"pri":"0x)" + std::string(62, '1') + R"("})", false, 1, 1,
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      // Text that is not hex, or holds a NUL, is refused by name, not read as no bytes.
      {R"({"pri":"0x)" + std::string(62, '1') + R"(zz"})", false, 1, 1,
       "GetSignerPri:455[pri is not hex text !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      {R"({"pri":")" + kPri + R"(\u0000ff"})", false, 1, 1,
       "GetSignerPri:455[pri holds a NUL character !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      {R"({"pub":"0x)" + kG.substr(0, 64) + R"(0g"})", false, 1, 1, "GetSignerPub:525[pub is not hex text !!]"},
      {R"({"pri":"0x)" + std::string(66, '1') + R"("})", false, 1, 1,
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      // The order n of secp256k1 is no private key.
      {R"({"pri":"0xfffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141"})", false, 1, 1,
       "GetPubFromPri:493[BCMGenPubkeyFromPriKey Error !!]<=GetSignerPub:517[GetPubFromPri Error !!]"},
      {R"("0x11")", false, 1, 0, "GetSignerPri:450[wallet is invalid(pri) !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      {R"({"pri":7})", false, 1, 0, "GetSignerPri:450[wallet is invalid(pri) !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
      {R"([{"pri":")" + kPri + R"("}])", false, 1, 0,
       "GetSignerPri:450[wallet is invalid(pri) !!]<=GetSignerPub:511[GetSignerPri Error !!]"},
  };
  for (const auto& c : cases) {
    ResetErrTrail();
    uint32_t algo = 0;
    Bytes pub;
    const int rc = GetSignerPub(Doc(c.wallet), algo, pub, c.amo ? EveryNameIsP256 : GetAlgoInfo);
    EXPECT_EQ(rc, c.pubRc) << c.wallet;
    EXPECT_EQ(algo, c.algo) << c.wallet;
    EXPECT_EQ(rc == 0 ? Hex(pub) : GetErrTrail(), c.pub) << c.wallet;
  }
}

TEST(AddonSigner, PrivateKeys) {
  const struct {
    std::string wallet;
    int rc;
    std::string pri;  // hex, or the chain
  } cases[] = {
      {R"({"pri":")" + kPri + R"("})", 0, kPri.substr(2)},
      // 32 characters without "0x" are the 32 key bytes themselves.
      {R"({"pri":"abcdefghijklmnopqrstuvwxyz012345"})", 0, tvt::Hex(tvt::FromText("abcdefghijklmnopqrstuvwxyz012345"))},
      {R"({"pri":"0x)" + std::string(63, 'f') + R"(-"})", 1, "GetSignerPri:455[pri is not hex text !!]"},
      // Without "0x" a text is its own bytes: 31 of them.
      {R"({"pri":"abcdefghijklmnopqrstuvwxyz01234"})", 1, "GetSignerPri:460[private Size not [32]byte !!]"},
      {R"({"pub":"0x)" + kG + R"("})", 1, "GetSignerPri:450[wallet is invalid(pri) !!]"},
  };
  for (const auto& c : cases) {
    ResetErrTrail();
    uint32_t algo = 0;
    Bytes pri;
    EXPECT_EQ(GetSignerPri(Doc(c.wallet), algo, pri), c.rc) << c.wallet;
    EXPECT_EQ(c.rc == 0 ? Hex(pri) : GetErrTrail(), c.pri) << c.wallet;
  }
  ResetErrTrail();
  Bytes pub;
  EXPECT_EQ(GetPubFromPri(Bytes(31, 1), 1, pub), 1);
  EXPECT_EQ(GetErrTrail(), "GetPubFromPri:472[private Size not 32byte !!]");
}

// What a call refuses by throwing ArgumentRefused: its message, or "" when
// it returns.
template <class F>
std::string Refusal(F call) {
  try {
    call();
  } catch (const ArgumentRefused& e) {
    return e.what();
  }
  return "";
}

// A key, an algorithm name or a network of another JSON type is refused by
// name, not read as absent (a derived key, the default curve, "main").
TEST(AddonSigner, MembersOfAnotherTypeAreRefusedByName) {
  for (const char* wrong : {"5", "true", R"(["x"])", R"({"x":"y"})"}) {
    const std::string w = wrong;
    uint32_t algo = 0;
    Bytes key;
    EXPECT_EQ(Refusal([&] { GetSignerPub(Doc(R"({"pri":")" + kPri + R"(","pub":)" + w + "}"), algo, key); }),
              "pub is not a JSON string")
        << w;
    EXPECT_EQ(Refusal([&] { GetSignerPub(Doc(R"({"pri":")" + kPri + R"(","algo":)" + w + "}"), algo, key); }),
              "algo is not a JSON string")
        << w;
    EXPECT_EQ(Refusal([&] { GetSignerPri(Doc(R"({"pri":")" + kPri + R"(","algo":)" + w + "}"), algo, key); }),
              "algo is not a JSON string")
        << w;
    Json::Value args = Doc(R"({"network":)" + w + "}");
    EXPECT_EQ(Refusal([&] { GetNetwork(args); }), "network is not a JSON string") << w;
  }
}

TEST(AddonNetwork, OnlyTestStaysEverythingElseBecomesMain) {
  const struct {
    const char* args;
    const char* network;
  } cases[] = {
      {R"({"network":"test"})", "test"}, {R"({"network":"TEST"})", "main"}, {R"({"network":"testnet"})", "main"},
      {R"({})", "main"},                 {R"({"network":null})", "main"},   {R"(null)", "main"},
      {R"({"network":"main"})", "main"},
  };
  for (const auto& c : cases) {
    Json::Value args = Doc(c.args);
    EXPECT_EQ(GetNetwork(args), c.network) << c.args;
    EXPECT_EQ(args["network"].asString(), c.network) << c.args;
  }
}

}  // namespace
