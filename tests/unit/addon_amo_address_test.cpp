// AMO addresses: the algorithm names, the key forms, the refusals with their
// chains, and random keys against python3-ecdsa / python3-nacl and hashlib.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "addon_amo_testing.h"
#include "address.h"
#include "common/signer.h"
#include "ed25519_keys_testing.h"

namespace {

TEST(AmoAddress, EveryNameButEd25519IsP256) {
  struct Case {
    const char* name;
    uint32_t algo, pub;
  } cases[] = {{"ED25519", 3, 32}, {"ed25519", 3, 32}, {"Ed25519", 3, 32},   {"P256", 2, 33},
               {"SECP256R1", 2, 33}, {"secp256k1", 2, 33}, {"", 2, 33},      {"ED25519 ", 2, 33},
               {"ED-25519", 2, 33}};
  for (const Case& c : cases) {
    uint32_t algo = 0, pri = 0, pub = 0;
    amo::GetAlgoInfo(c.name, algo, &pri, &pub);
    EXPECT_EQ(algo, c.algo) << c.name;
    EXPECT_EQ(pri, 32u) << c.name;
    EXPECT_EQ(pub, c.pub) << c.name;
    amo::GetAlgoInfo(c.name, algo, nullptr, nullptr);  // sizes are optional
    EXPECT_EQ(algo, c.algo) << c.name;
  }
}

TEST(AmoAddress, RemovePrefix) {
  EXPECT_EQ(amo::RemovePrefix("0x", "0xab"), "ab");
  EXPECT_EQ(amo::RemovePrefix("0x", "0x"), "");
  EXPECT_EQ(amo::RemovePrefix("0x", "0"), "0");
  EXPECT_EQ(amo::RemovePrefix("0x", "ab0x"), "ab0x");
  EXPECT_EQ(amo::RemovePrefix("0x", "0Xab"), "0Xab");
}

Json::Value AddrArgs(const std::string& algo, const std::string& pub) {
  Json::Value args;
  args["addrinfo"]["algo"] = algo;
  args["addrinfo"]["pubs"][0]["pub"] = pub;
  return args;
}

// Random keys: the address of the 33- and the 65-byte form of each P-256
// key, and of each Ed25519 key, equals the model's.
TEST(AmoAddress, RandomKeysMatchTheModel) {
  const std::string model = R"(
import hashlib, sys, random
import nacl.signing
from ecdsa import SigningKey, NIST256p
rng = random.Random(int(sys.stdin.read()))
addr = lambda key: hashlib.sha256(key).digest()[:20].hex().upper()
for i in range(60):
    pri = bytes(rng.getrandbits(8) for _ in range(32))
    if i % 2:
        vk = nacl.signing.SigningKey(pri).verify_key.encode()
        print("ed25519", vk.hex(), vk.hex(), addr(vk))
    else:
        vk = SigningKey.from_string(pri, curve=NIST256p).verifying_key
        full = vk.to_string("uncompressed")
        print("p256", vk.to_string("compressed").hex(), full.hex(), addr(full))
)";
  std::istringstream lines(tvt::RunPython(model, "7\n"));
  int seen = 0;
  for (std::string algo, compressed, full, want; lines >> algo >> compressed >> full >> want; ++seen) {
    for (const std::string& pub : {compressed, full}) {
      const amot::Reply r = amot::Action("GenAddr", AddrArgs(algo, "0x" + pub));
      ASSERT_EQ(r.rc, 0) << r.text;
      EXPECT_EQ(r.json["addr"].asString(), want) << algo << " " << pub;
      EXPECT_EQ(r.json["addrinfo"], AddrArgs(algo, "0x" + pub)["addrinfo"]) << "addrinfo is echoed";
    }
  }
  EXPECT_EQ(seen, 60);
}

// A P-256 key of the generator, in every form the add-on reads.
const std::string kGx = "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296";
const std::string kGy = "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5";

TEST(AmoAddress, RefusedKeysAndTheirChains) {
  const std::string gen = "0x04" + kGx + kGy;
  std::string badY = kGy;
  badY.back() = '6';
  struct Case {
    std::string algo, pub, chain;
  } cases[] = {
      {"ed25519", "0x02" + kGx,
       "GenerateAddrAMO:48[Pub Format Error ( Cur Len[33] is not [32]]<=GenAddr_AMO:109[ToDo Add Detail Error "
       "Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      {"p256", "0x" + kGx + kGy,
       "GenerateAddrAMO:48[Pub Format Error ( Cur Len[64] is not [33 or 65]]<=GenAddr_AMO:109[ToDo Add Detail "
       "Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      {"", "0x" + kGx,
       "GenerateAddrAMO:48[Pub Format Error ( Cur Len[32] is not [33 or 65]]<=GenAddr_AMO:109[ToDo Add Detail "
       "Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      // Without "0x" the text is its own bytes: 66 characters, 66 bytes.
      {"p256", "02" + kGx,
       "GenerateAddrAMO:48[Pub Format Error ( Cur Len[66] is not [33 or 65]]<=GenAddr_AMO:109[ToDo Add Detail "
       "Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      // 33 bytes that are no compressed key.
      {"p256", "0x05" + kGx,
       "ConvertCompressPubToUnCompressPub:32[ToDo Add Detail Error Message!!]<=GenerateAddrAMO:57[ToDo Add Detail "
       "Error Message!!]<=GenAddr_AMO:109[ToDo Add Detail Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      // 65 bytes that are no point, or carry another prefix, give no address
      // (any 65 bytes would otherwise give one that no key controls).
      {"p256", "0x04" + kGx + badY,
       "ConvertCompressPubToUnCompressPub:32[ToDo Add Detail Error Message!!]<=GenerateAddrAMO:57[ToDo Add Detail "
       "Error Message!!]<=GenAddr_AMO:109[ToDo Add Detail Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      {"p256", "0x06" + kGx + kGy,
       "ConvertCompressPubToUnCompressPub:32[ToDo Add Detail Error Message!!]<=GenerateAddrAMO:57[ToDo Add Detail "
       "Error Message!!]<=GenAddr_AMO:109[ToDo Add Detail Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
      {"p256", "0x04" + std::string(128, '0'),
       "ConvertCompressPubToUnCompressPub:32[ToDo Add Detail Error Message!!]<=GenerateAddrAMO:57[ToDo Add Detail "
       "Error Message!!]<=GenAddr_AMO:109[ToDo Add Detail Error Message!!]<=RunModule_AMO:1406[GenAddr Error]"},
  };
  for (const Case& c : cases) {
    const amot::Reply r = amot::Action("GenAddr", AddrArgs(c.algo, c.pub));
    EXPECT_EQ(r.rc, 1) << c.pub;
    EXPECT_EQ(amot::Chain(r), c.chain) << c.pub;
    EXPECT_EQ(r.json["error"]["err_code"].asString(), "1000");
    EXPECT_FALSE(r.json.isMember("addr"));
  }
  // The generator is a point (Y odd): both its forms give one address; 02
  // and X is its negation, another key.
  const amot::Reply a = amot::Action("GenAddr", AddrArgs("p256", gen));
  const amot::Reply b = amot::Action("GenAddr", AddrArgs("p256", "0x02" + kGx));
  ASSERT_EQ(a.rc, 0) << a.text;
  ASSERT_EQ(b.rc, 0) << b.text;
  EXPECT_EQ(amot::Action("GenAddr", AddrArgs("p256", "0x03" + kGx)).json["addr"], a.json["addr"]);
  EXPECT_NE(b.json["addr"], a.json["addr"]);
}

// A real Ed25519 key keeps its address (the first 20 bytes of its SHA-256,
// computed apart); 32 bytes that are no key anyone can sign for give none.
TEST(AmoAddress, Ed25519KeysMustBePointsOfTheSubgroup) {
  const amot::Reply ok = amot::Action("GenAddr", AddrArgs("ED25519", edkeys::kKey));
  ASSERT_EQ(ok.rc, 0) << ok.text;
  EXPECT_EQ(ok.json["addr"].asString(), "21FE31DFA154A261626BF854046FD2271B7BED4B");
  for (const edkeys::BadKey& bad : edkeys::BadKeys()) {
    const amot::Reply r = amot::Action("GenAddr", AddrArgs("ed25519", bad.hex));
    EXPECT_EQ(r.rc, 1) << bad.why;
    EXPECT_EQ(amot::Chain(r),
              "GenerateAddrAMO:52[pub is invalid(not a curve point)]<=GenAddr_AMO:109[ToDo Add Detail Error "
              "Message!!]<=RunModule_AMO:1406[GenAddr Error]")
        << bad.why;
    EXPECT_FALSE(r.json.isMember("addr"));
  }
}

TEST(AmoAddress, RequestShapes) {
  const std::string pub = "0x03" + kGx;
  struct Case {
    const char* name;
    std::string request, chain, echoed;  // echoed: the reply's "addrinfo", written compact
  } cases[] = {
      {"no addrinfo", R"({"action":"GenAddr","args":{"x":1}})",
       "GenAddr_AMO:82[object is not exist(addrinfo)]<=RunModule_AMO:1406[GenAddr Error]", "null"},
      {"no args", R"({"action":"GenAddr"})",
       "GenAddr_AMO:82[object is not exist(addrinfo)]<=RunModule_AMO:1406[GenAddr Error]", "null"},
      {"pubs not an array", R"({"action":"GenAddr","args":{"addrinfo":{"pubs":{}}}})",
       "GenAddr_AMO:89[object is not exist(pubs)]<=RunModule_AMO:1406[GenAddr Error]", R"({"pubs":{}})"},
      {"empty pubs", R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[]}}})",
       "GenAddr_AMO:101[object is not exist(pub)]<=RunModule_AMO:1406[GenAddr Error]", R"({"pubs":[]})"},
      {"pub not a string", R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[{"pub":5}]}}})",
       "GenAddr_AMO:101[object is not exist(pub)]<=RunModule_AMO:1406[GenAddr Error]", R"({"pubs":[{"pub":5}]})"},
      {"first element not an object", R"({"action":"GenAddr","args":{"addrinfo":{"pubs":["x"]}}})",
       "GenAddr_AMO:101[object is not exist(pub)]<=RunModule_AMO:1406[GenAddr Error]", R"({"pubs":["x"]})"},
  };
  for (const Case& c : cases) {
    const amot::Reply r = amot::Call(c.request);
    EXPECT_EQ(r.rc, 1) << c.name;
    EXPECT_EQ(amot::Chain(r), c.chain) << c.name;
    EXPECT_EQ(amot::Compact(r.json["addrinfo"]), c.echoed) << c.name;
  }
  // Only the first key counts, whatever the others hold.
  const amot::Reply r = amot::Call(R"({"action":"GenAddr","args":{"addrinfo":{"pubs":[{"pub":")" + pub +
                                   R"("},{"pub":7},"junk"]}}})");
  ASSERT_EQ(r.rc, 0) << r.text;
  EXPECT_EQ(r.json["addr"], amot::Action("GenAddr", AddrArgs("", pub)).json["addr"]);
  // A text "args" cannot be looked into: the request fails, it does not crash.
  const amot::Reply text = amot::Call(R"({"action":"GenAddr","args":"addrinfo"})");
  EXPECT_EQ(text.rc, 1);
  EXPECT_NE(amot::Chain(text).find("RunModule_AMO:1442[json operation failed("), std::string::npos) << text.text;
}

}  // namespace
