// Signing of legacy Ethereum transactions: the published EIP-155 example end
// to end, the signature form read from an outside signer (lengths checked
// before every read), the recovery id, high S, and v for each chain.
#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "eth/signing.h"
#include "eth/transaction.h"
#include "tolvaris/bcm_sign.h"
#include "tv_test.h"

namespace {

using tvt::Hex;
using tvt::Unhex;

const std::string kKey = "4646464646464646464646464646464646464646464646464646464646464646";
const std::string kEip155Raw =
    "f86c098504a817c800825208943535353535353535353535353535353535353535880de0b6b3a76400008025a028ef61340bd939bc2195"
    "fe537567866003e1a15d3c71ff63e1590620aa636276a067cbe9d8997f761aecb703304b3800ccf555c9f3dc64214b297fb1966a3b6d83";

Json::Value Tx(const std::string& nonce = "9") {
  return tvt::ParseJson(R"({"nonce":")" + nonce + R"(","gasprice":"20000000000","gaslimit":"21000",
      "to":"0x3535353535353535353535353535353535353535","value":"0x0de0b6b3a7640000",
      "wallet":{"pri":"0x)" + kKey + R"("}})");
}

struct Signed {
  Json::Value infos;
  Bytes payload;
};

Signed SignInfos(const Json::Value& tx, uint64_t chainId) {
  Signed s;
  EXPECT_EQ(GenerateETHSignInfos(tx, chainId, s.infos), 0) << GetErrTrail();
  s.payload = HexToBytes(s.infos[0]["unsignedtx"].asString());
  return s;
}

// The signed transaction's hex, or "!" + the error chain.
std::string SignedTx(const Json::Value& tx, uint64_t chainId, const Bytes& payload, const Json::Value& infos) {
  ResetErrTrail();
  Bytes raw;
  if (GenerateETHSignedTx(tx, chainId, payload, infos, raw) != 0) return "!" + GetErrTrail();
  return Hex(raw);
}

TEST(AddonEthSigning, PublishedChainIdExampleEndToEnd) {
  const Json::Value tx = Tx();
  Signed s = SignInfos(tx, 1);
  EXPECT_EQ(s.infos[0]["signaturehash"].asString(),
            "0xdaf5a779ae972f972197303d7b574746c7ef83eadac0f2791ad23db92e4c8e53");
  EXPECT_EQ(s.infos[0]["pubkey"].asString().size(), 2u + 66u);
  EXPECT_EQ(s.infos[0]["signature"].asString(), "");
  EXPECT_EQ(s.infos[0]["recovery"].asString(), "");
  ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0) << GetErrTrail();
  EXPECT_EQ(s.infos[0]["recovery"].asString(), "0");
  EXPECT_EQ(SignedTx(tx, 1, s.payload, s.infos), kEip155Raw);
}

// v for each chain: 27/28 without a chain id, 35 + 2 x id + recovery with one.
TEST(AddonEthSigning, VCommitsToTheChainId) {
  struct Case {
    uint64_t chainId;
    const char* v[2];  // for recovery 0 and 1
  } cases[] = {{0, {"1b", "1c"}}, {1, {"25", "26"}}, {61, {"819d", "819e"}}, {62, {"819f", "81a0"}}};
  for (const Case& c : cases) {
    bool seen[2] = {false, false};
    for (int nonce = 0; nonce < 40 && !(seen[0] && seen[1]); ++nonce) {
      const Json::Value tx = Tx(std::to_string(nonce));
      Signed s = SignInfos(tx, c.chainId);
      ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0);
      const int rec = std::stoi(s.infos[0]["recovery"].asString());
      const std::string raw = SignedTx(tx, c.chainId, s.payload, s.infos);
      // The list header (f8 xx), the payload, then v.
      const std::string afterPayload = raw.substr(4 + 2 * s.payload.size());
      EXPECT_EQ(afterPayload.substr(0, std::string(c.v[rec]).size()), c.v[rec]) << c.chainId << " " << raw;
      seen[rec] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1]) << c.chainId;
  }
}

// The signature form with its length bytes replaced, exact in size so that a
// read past the end shows under the address sanitizer.
TEST(AddonEthSigning, SignatureFormIsCheckedBeforeEachRead) {
  const Json::Value tx = Tx();
  Signed s = SignInfos(tx, 0);
  ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0);
  const Bytes good = HexToBytes(s.infos[0]["signature"].asString());
  const size_t rl = good[3];
  const std::string invalid = "!GenerateETHSignedTx:453[signature is invalid !!]";
  auto with = [&](std::vector<std::pair<size_t, unsigned char>> edits, size_t size) {
    Bytes b = good;
    for (auto [at, value] : edits) b[at] = value;
    b.resize(size);
    return b;
  };
  struct Case {
    const char* what;
    Bytes form;
    std::string want;
  } cases[] = {
      {"empty", {}, invalid},
      {"three bytes", Bytes(good.begin(), good.begin() + 3), invalid},
      {"rl alone, nothing after", Bytes(good.begin(), good.begin() + 4), invalid},
      {"rl of 34", with({{3, 34}}, good.size()), invalid},
      {"rl of 255", with({{3, 255}}, good.size()), invalid},
      {"cut before sl", Bytes(good.begin(), good.begin() + static_cast<long>(rl + 5)), invalid},
      {"sl of 34", with({{rl + 5, 34}}, good.size()), invalid},
      {"sl longer than what is left", with({}, good.size() - 1), invalid},
      {"rl longer than what is left", with({{3, static_cast<unsigned char>(good.size())}}, good.size()), invalid},
      {"r of nothing", MakeETHSignatureForm({}, Bytes(good.begin() + static_cast<long>(rl + 6), good.end())),
       "!GenerateETHSignedTx:465[signature verify is failed !!]"},
      {"the form as made", good, ""},
  };
  for (const Case& c : cases) {
    Json::Value infos = s.infos;
    infos[0]["signature"] = Hex(c.form).empty() ? "" : "0x" + Hex(c.form);
    const std::string got = SignedTx(tx, 0, s.payload, infos);
    if (c.want.empty())
      EXPECT_EQ(got.substr(0, 1) == "!", false) << c.what << ": " << got;
    else
      EXPECT_EQ(got, c.want) << c.what;
  }
}

TEST(AddonEthSigning, RecoveryIdIsZeroOrOne) {
  const Json::Value tx = Tx();
  Signed s = SignInfos(tx, 61);
  ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0);
  ASSERT_EQ(s.infos[0]["recovery"].asString(), "0");
  const std::string base = SignedTx(tx, 61, s.payload, s.infos);
  const std::string refused = "!GenerateETHSignedTx:449[recovery is not 0 or 1 !!]";
  struct Case {
    const char* text;
    const char* v;  // the v written, or nullptr when refused
  } cases[] = {{"0", "819d"}, {"", "819d"}, {"1", "819e"}, {"0x1", "819e"}, {"01", "819e"},
               {"2", nullptr}, {"7", nullptr}, {"-1", nullptr}, {"1a", nullptr}, {"0x", nullptr},
               {"4294967297", nullptr}, {"99999999999999999999", nullptr}};
  for (const Case& c : cases) {
    Json::Value infos = s.infos;
    infos[0]["recovery"] = c.text;
    const std::string got = SignedTx(tx, 61, s.payload, infos);
    if (c.v == nullptr) {
      EXPECT_EQ(got, refused) << c.text;
    } else {
      EXPECT_EQ(got.substr(4 + 2 * s.payload.size(), 4), c.v) << c.text;
      EXPECT_EQ(got.substr(4 + 2 * s.payload.size() + 4), base.substr(4 + 2 * s.payload.size() + 4)) << c.text;
    }
  }
}

// An outside signer that leaves S high (the core with its keep-S flag) gets
// the same transaction as the low-S signature: n - S and the other recovery id.
TEST(AddonEthSigning, HighSIsWrittenInItsLowForm) {
  int highSeen = 0;
  for (int nonce = 0; nonce < 12; ++nonce) {
    for (uint64_t chainId : {0, 61}) {
      const Json::Value tx = Tx(std::to_string(nonce));
      Signed s = SignInfos(tx, chainId);
      Json::Value low = s.infos;
      ASSERT_EQ(GenerateETHSignature(tx, low), 0);
      const Bytes hash = HexToBytes(s.infos[0]["signaturehash"].asString());
      const Bytes key = Unhex(kKey);
      unsigned char r[33], sv[33];
      int rLen = 33, sLen = 33;
      uint32_t rec = 9;
      ASSERT_EQ(BCMGenSignature(0, key.data(), 32, 0, hash.data(), 32, 1, r, &rLen, sv, &sLen, &rec), 0);
      Json::Value high = s.infos;
      high[0]["signature"] = BytesToHex(MakeETHSignatureForm(Bytes(r, r + rLen), Bytes(sv, sv + sLen)));
      high[0]["recovery"] = std::to_string(rec);
      if (high[0]["signature"] != low[0]["signature"]) ++highSeen;
      EXPECT_EQ(SignedTx(tx, chainId, s.payload, high), SignedTx(tx, chainId, s.payload, low)) << nonce;
    }
  }
  EXPECT_GT(highSeen, 3);
}

// About one signature in 128 has an s (one in 256 an r) below 2^248; the
// chain reads r and s as integers and refuses a leading zero byte.
TEST(AddonEthSigning, ShortROrSLosesItsLeadingZero) {
  bool seenR = false, seenS = false;
  for (int nonce = 0; nonce < 3000 && !(seenR && seenS); ++nonce) {
    const Json::Value tx = Tx(std::to_string(nonce));
    Signed s = SignInfos(tx, 0);
    ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0);
    const Bytes form = HexToBytes(s.infos[0]["signature"].asString());
    const size_t rl = form[3];
    const Bytes r(form.begin() + 4, form.begin() + static_cast<long>(4 + rl));
    const Bytes sv(form.begin() + static_cast<long>(rl + 6), form.end());
    const bool shortR = r.size() == 32 && r[0] == 0, shortS = sv.size() == 32 && sv[0] == 0;
    if (!shortR && !shortS) continue;
    // After the payload: v (one byte below 0x80 here), then r and s.
    const Bytes raw = Unhex(SignedTx(tx, 0, s.payload, s.infos));
    size_t at = (raw[0] == 0xf8 ? 2 : 1) + s.payload.size() + 1;
    auto item = [&](const Bytes& value) {
      size_t skip = 0;
      while (value[skip] == 0) ++skip;
      const Bytes want(value.begin() + static_cast<long>(skip), value.end());
      EXPECT_EQ(raw[at], 0x80 + want.size()) << nonce;
      EXPECT_EQ(Hex(Bytes(raw.begin() + static_cast<long>(at + 1), raw.begin() + static_cast<long>(at + 1 + want.size()))),
                Hex(want));
      at += 1 + want.size();
    };
    item(r);
    item(sv);
    EXPECT_EQ(at, raw.size());
    seenR = seenR || shortR;
    seenS = seenS || shortS;
  }
  EXPECT_TRUE(seenR && seenS);
}

TEST(AddonEthSigning, SignInfosMustMatchTheTransaction) {
  const Json::Value tx = Tx();
  Signed s = SignInfos(tx, 0);
  ASSERT_EQ(GenerateETHSignature(tx, s.infos), 0);
  const std::string F = "!GenerateETHSignedTx:";
  Json::Value otherHash = s.infos;
  std::string h = otherHash[0]["signaturehash"].asString();
  h[10] = h[10] == '0' ? '1' : '0';
  otherHash[0]["signaturehash"] = h;
  Json::Value noRecovery = s.infos;
  noRecovery[0].removeMember("recovery");
  Json::Value otherKey = tx;
  otherKey["wallet"]["pub"] = "0x0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
  Json::Value badWallet = tx;
  badWallet["wallet"] = "0x" + kKey;
  struct Case {
    const char* what;
    Json::Value tx, infos;
    uint64_t chainId;
    std::string want;
  } cases[] = {
      {"hash differs in one byte", tx, otherHash, 0, F + "444[jvTxSignInfos[0] is invaild !!]"},
      {"signed for another chain", tx, s.infos, 61, F + "444[jvTxSignInfos[0] is invaild !!]"},
      {"no recovery text", tx, noRecovery, 0, F + "430[jvTxSignInfos[0] is invalid !!]"},
      {"sign infos not an array", tx, s.infos[0], 0, F + "430[jvTxSignInfos[0] is invalid !!]"},
      {"wallet key of someone else", otherKey, s.infos, 0, F + "444[jvTxSignInfos[0] is invaild !!]"},
      {"wallet not an object", badWallet, s.infos, 0, F + "422[txInfo is invalid !!]"},
  };
  for (const Case& c : cases) EXPECT_EQ(SignedTx(c.tx, c.chainId, s.payload, c.infos), c.want) << c.what;
}

}  // namespace
