// The demonstration requests (tools/demo-requests.jsonl) stay a working
// wallet session: every request succeeds, every check in it says "true",
// and each step uses what the step before it answered (the seed of the
// mnemonic, the leaf key of that seed, the signature of that key, the
// ciphertext of the encryption), so a stale value cannot hide behind a
// reply that merely succeeds.
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tolvaris/runmodule.h"
#include "tv_test.h"

namespace {

// The repository root is taken from the fixtures path by text, not through
// "..": git keeps no empty folder, so tests/fixtures may not exist in a clone.
std::string DemoFile() {
  std::string root = TV_FIXTURES_DIR;
  for (int i = 0; i < 2; ++i) root.erase(root.find_last_of('/'));
  return root + "/tools/demo-requests.jsonl";
}
const std::string kDemoFile = DemoFile();

struct Step {
  std::string action;
  Json::Value args, ret;
};

// Bytes as the actions write them: "0x" hex stays, text becomes its hex.
std::string AsHex(const std::string& value) {
  if (value.rfind("0x", 0) == 0) return value;
  return "0x" + tvt::Hex(reinterpret_cast<const unsigned char*>(value.data()), value.size());
}

TEST(DemoRequests, EveryStepSucceedsAndFollowsFromTheLast) {
  std::ifstream in(kDemoFile);
  ASSERT_TRUE(in) << kDemoFile;
  std::vector<Step> steps;
  std::map<std::string, std::vector<size_t>> byAction;
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    const Json::Value request = tvt::ParseJson(line);
    const std::string action = request["action"].asString();
    const std::string addon = request["addon"].asString();
    // The file names the add-on folder as seen from the repository root
    // (build/out); here the add-ons are the ones next to this build's library.
    std::string sent = line;
    if (action == "AddModule") {
      Json::Value local = request;
      local["args"]["libpath"] = TV_OUT_DIR;
      Json::StreamWriterBuilder w;
      w["indentation"] = "";
      sent = Json::writeString(w, local);
    }
    char* out = nullptr;
    const int rc = RunModule(sent.c_str(), &out);
    ASSERT_NE(out, nullptr) << line;
    const std::string envelope = out;
    FreeMem(out);
    EXPECT_EQ(rc, 0) << envelope;
    const Json::Value reply = tvt::ParseJson(envelope);
    EXPECT_EQ(reply["result"].asString(), "success") << envelope;
    for (const char* verdict : {"valid", "verify"})
      if (reply["return"].isMember(verdict)) {
        EXPECT_EQ(reply["return"][verdict].asString(), "true") << envelope;
      }
    // Add-on actions are filed as "<addon>/<action>" (several add-ons answer "GenAddr").
    byAction[addon.empty() ? action : addon + "/" + action].push_back(steps.size());
    steps.push_back({action, request["args"], reply["return"]});
  }
  // The session the file is meant to show.
  for (const char* action : {"GenEntropy", "GenMNemonic", "ConvMnemonicToSeed", "GenMasterNode", "GenLeafNode",
                             "GenSignature", "VerifySignature", "GenAES"})
    ASSERT_FALSE(byAction[action].empty()) << "no " << action << " request";
  auto first = [&](const char* action) -> const Step& { return steps[byAction[action].front()]; };

  const std::string mnemonic = first("GenMNemonic").ret["mnemonic"].asString();
  EXPECT_EQ(first("ConvMnemonicToSeed").args["mnemonic"].asString(), mnemonic);
  const std::string seed = first("ConvMnemonicToSeed").ret["seed"].asString();
  EXPECT_EQ(first("GenMasterNode").args["masterseed"].asString(), seed);
  EXPECT_EQ(first("GenLeafNode").args["masterseed"].asString(), seed);

  const Json::Value& leaf = first("GenLeafNode").ret;
  const Step& sign = first("GenSignature");
  const Step& verify = first("VerifySignature");
  EXPECT_EQ(sign.args["pri"].asString(), leaf["cpri"].asString());
  EXPECT_EQ(verify.args["pub"].asString(), leaf["cpub"].asString());
  EXPECT_EQ(verify.args["data"], sign.args["data"]);
  EXPECT_EQ(verify.args["hashalgo"], sign.args["hashalgo"]);
  EXPECT_EQ(verify.args["sigr"], sign.ret["sigr"]);
  EXPECT_EQ(verify.args["sigs"], sign.ret["sigs"]);
  for (size_t i : byAction["GenPubkeyFromPrikey"])
    if (steps[i].args["pri"] == leaf["cpri"] && steps[i].args["algo"] == first("GenLeafNode").args["algo"]) {
      EXPECT_EQ(steps[i].ret["pub"], leaf["cpub"]);
    }

  // Shares recovered from the same mnemonic.
  for (size_t i : byAction["ConvSSSMNemonicToMasterMNemonic"])
    EXPECT_EQ(steps[i].ret["mnemonic"].asString(), mnemonic);

  // Each decryption opens the encryption right before it.
  for (const char* action : {"GenAES", "GenAESAuth"}) {
    const std::vector<size_t>& runs = byAction[action];
    bool roundTrip = false;
    for (size_t k = 1; k < runs.size(); ++k) {
      const Step& enc = steps[runs[k - 1]];
      const Step& dec = steps[runs[k]];
      if (!enc.ret.isMember("encrypt") || !dec.ret.isMember("decrypt")) continue;
      roundTrip = true;
      EXPECT_EQ(dec.args["data"].asString(), enc.ret["encrypt"].asString()) << action;
      EXPECT_EQ(dec.ret["decrypt"].asString(), AsHex(enc.args["data"].asString())) << action;
      for (const char* key : {"key", "iv"}) EXPECT_EQ(dec.args[key], enc.args[key]) << action << " " << key;
    }
    if (std::string(action) == "GenAES") {
      EXPECT_TRUE(roundTrip) << "no AES round trip";
    }
  }

  // The AMO road: the P-256 key of the leaf's private key gives the address,
  // signs in one step, and the two-step road ends in the same transaction.
  for (const char* action : {"amo/GenAddr", "amo/GenTx", "amo/GenUnsignedTx", "amo/GenSignedTx"})
    ASSERT_FALSE(byAction[action].empty()) << "no " << action << " request";
  std::string p256Pub;
  for (size_t i : byAction["GenPubkeyFromPrikey"])
    if (steps[i].args["pri"] == leaf["cpri"] && steps[i].args["algo"].asString() == "secp256r1")
      p256Pub = steps[i].ret["pub"].asString();
  ASSERT_FALSE(p256Pub.empty()) << "no P-256 key of the leaf";
  const Step& amoAddr = steps[byAction["amo/GenAddr"].front()];
  const Step& amoTx = steps[byAction["amo/GenTx"].front()];
  const Step& amoUnsigned = steps[byAction["amo/GenUnsignedTx"].front()];
  const Step& amoSigned = steps[byAction["amo/GenSignedTx"].front()];
  EXPECT_EQ(amoAddr.args["addrinfo"]["pubs"][0]["pub"].asString(), p256Pub);
  EXPECT_EQ(amoTx.args["txinfo"]["wallet"]["pri"], leaf["cpri"]);
  EXPECT_EQ(amoUnsigned.args["txinfo"]["wallet"]["pub"].asString(), p256Pub);
  EXPECT_EQ(amoSigned.args["txinfo"]["unsignedtxinfo"], amoUnsigned.ret["unsignedtxinfo"]);
  EXPECT_EQ(amoSigned.args["txinfo"]["signinfos"][0]["signaturehash"],
            amoUnsigned.ret["signinfos"][0]["signaturehash"]);
  EXPECT_EQ(amoSigned.ret["tx"], amoTx.ret["tx"]);

  // The Bitcoin road: a legacy, a bech32 and a 2-of-3 P2WSH address of the
  // leaf's key, the script's other keys being the next leaf and the master.
  ASSERT_EQ(byAction["btc/GenAddr"].size(), 3u);
  std::map<std::string, std::string> btcAddr;
  for (size_t i : byAction["btc/GenAddr"]) {
    const Json::Value& info = steps[i].args["addrinfo"];
    EXPECT_EQ(info["pubs"][0]["pub"], leaf["cpub"]);
    btcAddr[info["addr_type"].asString()] = steps[i].ret["addr"].asString();
    if (info["pubs"].size() == 3) {
      EXPECT_EQ(info["pubs"][1]["pub"], steps[byAction["GenLeafNode"].back()].ret["cpub"]);
      EXPECT_EQ(info["pubs"][2]["pub"], first("GenMasterNode").ret["mpub"]);
      EXPECT_EQ(info["msig"][0]["needsigcnt"].asString(), "2");
    }
  }
  EXPECT_EQ(btcAddr["p2pkh"].substr(0, 1), "1");
  EXPECT_EQ(btcAddr["p2wpkh"].substr(0, 4), "bc1q");
  EXPECT_EQ(btcAddr["p2wpkh"].size(), 42u);
  EXPECT_EQ(btcAddr["p2wsh"].substr(0, 4), "bc1q");
  EXPECT_EQ(btcAddr["p2wsh"].size(), 62u);

  // "GenTx" spends an output of the leaf's key to its bech32 address, and the
  // two-step road with the same signature ends in the same transaction.
  for (const char* action : {"btc/GenTx", "btc/GenUnsignedTx", "btc/GenSignedTx"})
    ASSERT_FALSE(byAction[action].empty()) << "no " << action << " request";
  const Step& btcTx = steps[byAction["btc/GenTx"].front()];
  const Step& btcUnsigned = steps[byAction["btc/GenUnsignedTx"].front()];
  const Step& btcSigned = steps[byAction["btc/GenSignedTx"].front()];
  EXPECT_EQ(btcTx.args["txinfo"]["input"][0]["wallet"]["pri"], leaf["cpri"]);
  EXPECT_EQ(btcTx.args["txinfo"]["output"][0]["dest"].asString(), btcAddr["p2wpkh"]);
  EXPECT_EQ(btcUnsigned.args["txinfo"]["input"][0]["wallet"]["pub"], leaf["cpub"]);
  EXPECT_EQ(btcUnsigned.args["txinfo"]["output"][0]["dest"].asString(), btcAddr["p2wpkh"]);
  EXPECT_EQ(btcUnsigned.args["txinfo"]["input"][0]["prespub"], btcTx.args["txinfo"]["input"][0]["prespub"]);
  EXPECT_EQ(btcSigned.args["txinfo"]["unsignedtxinfo"], btcUnsigned.ret["unsignedtxinfo"]);
  EXPECT_EQ(btcSigned.args["txinfo"]["signinfos"][0]["signaturehash"],
            btcUnsigned.ret["signinfos"][0]["signaturehash"]);
  EXPECT_EQ(btcSigned.ret["rawtx"], btcTx.ret["rawtx"]);

  // The Ethereum road: the leaf's key gives the address and signs an
  // Ethereum Classic transaction, whose id is then asked for.
  for (const char* action : {"eth/GenAddr", "eth/GenTx", "eth/GenTxID"})
    ASSERT_FALSE(byAction[action].empty()) << "no " << action << " request";
  const Step& ethAddr = steps[byAction["eth/GenAddr"].front()];
  const Step& ethTx = steps[byAction["eth/GenTx"].front()];
  const Step& ethId = steps[byAction["eth/GenTxID"].front()];
  EXPECT_EQ(ethAddr.args["addrinfo"]["pubs"][0]["pub"], leaf["cpub"]);
  EXPECT_EQ(ethTx.args["txinfo"]["wallet"]["pri"], leaf["cpri"]);
  EXPECT_EQ(ethId.args["txinfo"]["rawtx"], ethTx.ret["rawtx"]);
  EXPECT_FALSE(ethId.ret["txid"].asString().empty());
}

}  // namespace
