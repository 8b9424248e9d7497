// Cosmos addresses and key encodings: the handlers' results and their
// error chains, key checks, and the signer address of a wallet.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>

#include "atom/address.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "ed25519_keys_testing.h"
#include "tv_test.h"

namespace {

// The compressed secp256k1 generator point.
const std::string kG = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
// 2 * G, and the private key 2.
const std::string kG2 = "0x02c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
const std::string kPri2 = "0x0000000000000000000000000000000000000000000000000000000000000002";
// An X for which x^3 + 7 has no square root: no point has it.
const std::string kNoPoint = "0x020000000000000000000000000000000000000000000000000000000000000005";

struct Outcome {
  int rc;
  std::string chain;
  Json::Value args;
};

Outcome RunHandler(int (*handler)(Json::Value&), const std::string& argsText) {
  Outcome o;
  if (!argsText.empty()) o.args = tvt::ParseJson(argsText);
  ResetErrTrail(true);
  o.rc = handler(o.args);
  o.chain = GetErrTrail();
  return o;
}

std::string AddrInfo(const std::string& type, const std::string& pub, const std::string& algo = "") {
  Json::Value info;
  info["addr_type"] = type;
  info["pubs"][0]["pub"] = pub;
  if (!algo.empty()) info["algo"] = algo;
  Json::Value args;
  args["addrinfo"] = info;
  return std::string(WriteJson(args, ""));
}

std::string PubInfo(const std::string& type, const std::string& pub, const std::string& algo = "") {
  Json::Value args;
  args["pubinfo"]["pub_type"] = type;
  args["pubinfo"]["pub"] = pub;
  if (!algo.empty()) args["pubinfo"]["algo"] = algo;
  return std::string(WriteJson(args, ""));
}

TEST(AtomAddress, GeneratorPointVectors) {
  const struct {
    const char* role;
    const char* addr;
  } cases[] = {
      {"account", "cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c"},
      {"valoper", "cosmosvaloper1w508d6qejxtdg4y5r3zarvary0c5xw7klfr0rt"},
      {"valcons", "cosmosvalcons1w508d6qejxtdg4y5r3zarvary0c5xw7kt6sn02"},
  };
  for (const auto& c : cases) {
    for (const char* algo : {"", "secp256k1", "SECP256K1", "anything"}) {
      SCOPED_TRACE(std::string(c.role) + " " + algo);
      const Outcome o = RunHandler(GenAddr_ATOM, AddrInfo(c.role, kG, algo));
      ASSERT_EQ(o.rc, 0) << o.chain;
      EXPECT_EQ(o.args["addr"].asString(), c.addr);
    }
  }
  const Outcome o = RunHandler(GenPubEncode_ATOM, PubInfo("account", kG));
  ASSERT_EQ(o.rc, 0) << o.chain;
  EXPECT_EQ(o.args["encode"].asString(),
            "cosmospub1addwnpepqfumuen7l8wthtz45p3ftn58pvrs9xlumvkuu2xet8egzkcklqtesk4fq47");
}

TEST(AtomAddress, OnlyTheFirstKeyOfTheListIsRead) {
  Json::Value args = tvt::ParseJson(AddrInfo("account", kG));
  args["addrinfo"]["pubs"].append("not even an object");
  ResetErrTrail(true);
  ASSERT_EQ(GenAddr_ATOM(args), 0) << GetErrTrail();
  EXPECT_EQ(args["addr"].asString(), "cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c");
}

TEST(AtomAddress, GenAddrRefusals) {
  constexpr char kUnknown[] = "[ToDo Add Detail Error Message!!]";
  const struct {
    std::string args;
    std::string chain;
  } cases[] = {
      {"", "GenAddr_ATOM:1072[object is not exist(addrinfo)]"},
      {R"({"addrinfo":"x"})", "GenAddr_ATOM:1072[object is not exist(addrinfo)]"},
      {R"({"addrinfo":{"pubs":[]}})", "GenAddr_ATOM:1079[object is not exist(addr_type or pubs)]"},
      {R"({"addrinfo":{"addr_type":"account","pubs":{"pub":"0x02"}}})",
       "GenAddr_ATOM:1079[object is not exist(addr_type or pubs)]"},
      {AddrInfo("validator", kG), "GenAddr_ATOM:1095[Not Support Addr Type(account or validator or consensus)]"},
      {AddrInfo("Account", kG), "GenAddr_ATOM:1095[Not Support Addr Type(account or validator or consensus)]"},
      {R"({"addrinfo":{"addr_type":"account","pubs":[]}})",
       "GetPub:397[object is not exist(pub)]<=GenAddr_ATOM:1102[GetPubs Error]"},
      {R"({"addrinfo":{"addr_type":"account","pubs":["0x02"]}})",
       "GetPub:397[object is not exist(pub)]<=GenAddr_ATOM:1102[GetPubs Error]"},
      {R"({"addrinfo":{"addr_type":"account","pubs":[{"pub":2}]}})",
       "GetPub:397[object is not exist(pub)]<=GenAddr_ATOM:1102[GetPubs Error]"},
      {AddrInfo("account", kG, "ED25519"),
       "GetPub:405[pub is invalid(size[33] is not [32])]<=GenAddr_ATOM:1102[GetPubs Error]"},
      {AddrInfo("account", "0x02", ""),
       "GetPub:405[pub is invalid(size[1] is not [33])]<=GenAddr_ATOM:1102[GetPubs Error]"},
      // Keys the chain cannot use: P-256 keys (it would read them as
      // secp256k1 keys) and 33 bytes that are no secp256k1 point.
      {AddrInfo("account", kG, "P256"),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
      {AddrInfo("valcons", kG, "secp256r1"),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
      {AddrInfo("account", kNoPoint),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
      {AddrInfo("account", "0x04" + kG.substr(4)),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
      {AddrInfo("account", "0x00" + kG.substr(4)),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
      // 33 characters without "0x" are 33 raw bytes: not a point either.
      {AddrInfo("account", std::string(33, 'a')),
       std::string("GenerateATOMAddress:213") + kUnknown + "<=GenAddr_ATOM:1115[GenerateAddress Error]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome o = RunHandler(GenAddr_ATOM, c.args);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.chain, c.chain);
    EXPECT_FALSE(o.args.isMember("addr"));
  }
  // A missing "addrinfo" is echoed as null.
  const Outcome o = RunHandler(GenAddr_ATOM, "{}");
  EXPECT_TRUE(o.args.isMember("addrinfo"));
  EXPECT_TRUE(o.args["addrinfo"].isNull());
}

TEST(AtomAddress, GenPubEncodeRefusals) {
  constexpr char kUnknown[] = "[ToDo Add Detail Error Message!!]";
  const struct {
    std::string args;
    std::string chain;
  } cases[] = {
      {"", "GenPubEncode_ATOM:1127[object is not exist(pubinfo)]"},
      {R"({"pubinfo":[]})", "GenPubEncode_ATOM:1127[object is not exist(pubinfo)]"},
      {R"({"pubinfo":{"pub_type":"account"}})", "GenPubEncode_ATOM:1134[object is not exist(pubs or pub_type)]"},
      {R"({"pubinfo":{"pub":"0x02","pub_type":1}})", "GenPubEncode_ATOM:1134[object is not exist(pubs or pub_type)]"},
      {PubInfo("consensus", kG), "GenPubEncode_ATOM:1148[Not Support Pub Type(account or validator or consensus)]"},
      {PubInfo("account", kG, "ed25519"), "GenPubEncode_ATOM:1156[Pub Format Error ( Cur Len[33] is not [32]]"},
      {PubInfo("account", "0x"), "GenPubEncode_ATOM:1156[Pub Format Error ( Cur Len[0] is not [33]]"},
      {PubInfo("account", kG, "P256"),
       std::string("GenerateATOMPubEncode:255") + kUnknown + "<=GenPubEncode_ATOM:1163[GeneratePubEncode Error]"},
      {PubInfo("valoper", kNoPoint),
       std::string("GenerateATOMPubEncode:255") + kUnknown + "<=GenPubEncode_ATOM:1163[GeneratePubEncode Error]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome o = RunHandler(GenPubEncode_ATOM, c.args);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.chain, c.chain);
    EXPECT_FALSE(o.args.isMember("encode"));
  }
}

// Ed25519 keys in each role, computed apart (SHA-256 cut to 20 bytes, and
// the amino prefix 1624DE64 20 before the key, in bech32): unchanged by the
// key check. Bytes that are no key anyone can sign for give nothing.
TEST(AtomAddress, Ed25519KeysMustBePointsOfTheSubgroup) {
  const struct {
    const char* role;
    const char* addr;
    const char* encode;
  } roles[] = {
      {"account", "cosmos1y8lrrhap2j3xzcntlp2qgm7jyudhhm2tc7hkue",
       "cosmospub1zcjduepq6adfsqvzky9t042tlmfujeq88g8wzuhnm2nzxfd0qgdx3ac82ydqhunc9n"},
      {"valoper", "cosmosvaloper1y8lrrhap2j3xzcntlp2qgm7jyudhhm2ta2rrs2",
       "cosmosvaloperpub1zcjduepq6adfsqvzky9t042tlmfujeq88g8wzuhnm2nzxfd0qgdx3ac82ydq8q34sf"},
      {"valcons", "cosmosvalcons1y8lrrhap2j3xzcntlp2qgm7jyudhhm2tfeslut",
       "cosmosvalconspub1zcjduepq6adfsqvzky9t042tlmfujeq88g8wzuhnm2nzxfd0qgdx3ac82ydq22knlp"},
  };
  for (const auto& r : roles) {
    SCOPED_TRACE(r.role);
    Outcome o = RunHandler(GenAddr_ATOM, AddrInfo(r.role, edkeys::kKey, "ED25519"));
    ASSERT_EQ(o.rc, 0) << o.chain;
    EXPECT_EQ(o.args["addr"].asString(), r.addr);
    o = RunHandler(GenPubEncode_ATOM, PubInfo(r.role, edkeys::kKey, "ed25519"));
    ASSERT_EQ(o.rc, 0) << o.chain;
    EXPECT_EQ(o.args["encode"].asString(), r.encode);
    for (const edkeys::BadKey& bad : edkeys::BadKeys()) {
      SCOPED_TRACE(bad.why);
      o = RunHandler(GenAddr_ATOM, AddrInfo(r.role, bad.hex, "ED25519"));
      EXPECT_EQ(o.rc, 1);
      EXPECT_EQ(o.chain,
                "GenerateATOMAddress:217[pub is invalid(not a curve point)]<=GenAddr_ATOM:1115[GenerateAddress Error]");
      EXPECT_FALSE(o.args.isMember("addr"));
      o = RunHandler(GenPubEncode_ATOM, PubInfo(r.role, bad.hex, "ED25519"));
      EXPECT_EQ(o.rc, 1);
      EXPECT_EQ(o.chain, "GenerateATOMPubEncode:259[pub is invalid(not a curve point)]<=GenPubEncode_ATOM:1163["
                         "GeneratePubEncode Error]");
      EXPECT_FALSE(o.args.isMember("encode"));
    }
  }
}

TEST(AtomAddress, KeyTypePrefixes) {
  // The amino prefix of the key type and the key length stand before the
  // key: EB5AE987 21 for secp256k1, 1624DE64 20 for Ed25519. Bech32 of
  // 38 bytes is 61 data characters, of 37 bytes 60.
  std::string enc;
  ResetErrTrail(true);
  ASSERT_EQ(GenerateATOMPubEncode(1, "cosmosvalconspub1", tvt::Unhex(kG.substr(2)), enc), 0);
  EXPECT_EQ(enc.size(), std::string("cosmosvalconspub1").size() + 61 + 6);
  EXPECT_EQ(enc.substr(17, 8), "addwnpep");  // EB 5A E9 87 21 in 5-bit characters
  ASSERT_EQ(GenerateATOMPubEncode(3, "cosmospub1", tvt::Unhex(edkeys::kKey.substr(2)), enc), 0);
  EXPECT_EQ(enc.size(), std::string("cosmospub1").size() + 60 + 6);
  EXPECT_EQ(enc.substr(10, 8), "zcjduepq");  // 16 24 DE 64 20
  // An address prefix is no key prefix, and the other way round.
  std::string out;
  ResetErrTrail(true);
  EXPECT_EQ(GenerateATOMPubEncode(1, "cosmos1", tvt::Unhex(kG.substr(2)), out), 1);
  EXPECT_EQ(GenerateATOMAddress(1, "cosmospub1", tvt::Unhex(kG.substr(2)), out), 1);
  EXPECT_EQ(GetErrTrail(),
            "GenerateATOMPubEncode:255[ToDo Add Detail Error Message!!]<=GenerateATOMAddress:213[ToDo Add Detail Error "
            "Message!!]");
}

TEST(AtomAddress, GetPubNeedsAList) {
  tvt::Bytes key;
  ResetErrTrail(true);
  EXPECT_EQ(GetPub(Json::Value("0x02"), 33, key), 1);
  EXPECT_EQ(GetErrTrail(), "GetPub:389[object is invalid(pubs)]");
}

TEST(AtomAddress, SignerAddressOfAWallet) {
  const std::string kAddr2 = "cosmos1";  // prefix of the expected texts below
  const struct {
    std::string wallet;
    int rc;
    std::string chain;
  } cases[] = {
      {R"({"pri":")" + kPri2 + R"("})", 0, ""},
      {R"({"pub":")" + kG2 + R"("})", 0, ""},
      {R"({"pri":")" + kPri2 + R"(","pub":")" + kG2 + R"("})", 0, ""},
      {R"({"pri":")" + kPri2 + R"(","pub":null})", 0, ""},
      // "pub" names the account, "pri" signs: they must be one key.
      {R"({"pri":")" + kPri2 + R"(","pub":")" + kG + R"("})", 1, "GetSignerAddr:52[wallet pub does not match pri !!]"},
      {R"({"pri":"0x01","pub":")" + kG2 + R"("})", 1,
       "GetSignerPri:460[private Size not [32]byte !!]<=GetSignerAddr:52[wallet pub does not match pri !!]"},
      {R"({"pub":"0x02"})", 1,
       "GetSignerPub:529[public Size not [33]byte !!]<=GetSignerAddr:49[GetSignerPub Error !!]"},
      {R"({"pub":")" + kNoPoint + R"("})", 1,
       "GenerateATOMAddress:213[ToDo Add Detail Error Message!!]<=GetSignerAddr:56[GenerateATOMAddress Error !!]"},
      {R"({"pri":")" + kPri2 + R"(","algo":"P256"})", 1,
       "GenerateATOMAddress:213[ToDo Add Detail Error Message!!]<=GetSignerAddr:56[GenerateATOMAddress Error !!]"},
  };
  std::string expected;
  {
    std::string addr;
    ASSERT_EQ(GenerateATOMAddress(1, "cosmos1", tvt::Unhex(kG2.substr(2)), addr), 0);
    expected = addr;
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wallet);
    std::string addr;
    ResetErrTrail(true);
    EXPECT_EQ(GetSignerAddr(tvt::ParseJson(c.wallet), kAddr2, addr), c.rc);
    EXPECT_EQ(GetErrTrail(), c.chain);
    if (c.rc == 0) {
      EXPECT_EQ(addr, expected);
    }
  }
}

}  // namespace
