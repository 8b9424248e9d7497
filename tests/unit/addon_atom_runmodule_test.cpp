// The Cosmos add-on loaded by the core ("AddModule") and driven through
// RunModule, against an independent Cosmos amino library (@cosmjs/amino),
// libsecp256k1 and libsodium.
#include <gtest/gtest.h>
#include <json/json.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <secp256k1.h>
#include <sodium.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command/text/text.h"
#include "tolvaris/runmodule.h"
#include "tv_test.h"

extern "C" int RunModule_ATOM(const char* action, const char* addon, const char* request, char** out);
extern "C" int FreeMem_ATOM(char* text);

namespace {

struct Reply {
  int rc;
  std::string text;
  Json::Value envelope;
};

Json::Value StrictParse(const std::string& text) {
  Json::CharReaderBuilder b;
  Json::CharReaderBuilder::strictMode(&b.settings_);
  Json::Value v;
  std::string errs;
  std::unique_ptr<Json::CharReader> r(b.newCharReader());
  EXPECT_TRUE(r->parse(text.data(), text.data() + text.size(), &v, &errs)) << errs << text;
  return v;
}

std::string Compact(const Json::Value& v) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, v);
}

Reply Send(const std::string& request) {
  char* out = nullptr;
  Reply r;
  r.rc = RunModule(request.c_str(), &out);
  EXPECT_NE(out, nullptr);
  r.text = out != nullptr ? out : "";
  FreeMem(out);
  r.envelope = StrictParse(r.text);
  return r;
}

class AtomThroughRunModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Loaded by path from the build's output folder, next to libtolvaris.so.
    const Reply r =
        Send(R"({"action":"AddModule","args":{"addon":"atom","libpath":")" + JsonEscape(TV_OUT_DIR) + "\"}}");
    ASSERT_EQ(r.rc, 0) << r.text;
    ASSERT_EQ(sodium_init() >= 0, true);
  }

  static Reply Action(const std::string& action, const Json::Value& args) {
    Json::Value req;
    req["action"] = action;
    req["addon"] = "atom";
    req["args"] = args;
    return Send(Compact(req));
  }
};

std::string Base64(const tvt::Bytes& b) {
  std::string out(b.size() * 4 / 3 + 4, '\0');
  out.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), b.data(), static_cast<int>(b.size())));
  return out;
}

secp256k1_context* Secp() {
  static secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN | SECP256K1_CONTEXT_VERIFY);
  return ctx;
}

struct Key {
  bool ed;
  tvt::Bytes pri;
  tvt::Bytes pub;
  tvt::Bytes sodiumSecret;  // Ed25519 only
};

Key MakeKey(tvt::TestRng& rng, bool ed) {
  Key k{ed, rng.RandBytes(32), {}, {}};
  if (ed) {
    unsigned char pk[32], sk[64];
    crypto_sign_seed_keypair(pk, sk, k.pri.data());
    k.pub.assign(pk, pk + 32);
    k.sodiumSecret.assign(sk, sk + 64);
  } else {
    secp256k1_pubkey p;
    EXPECT_EQ(secp256k1_ec_pubkey_create(Secp(), &p, k.pri.data()), 1);
    unsigned char ser[33];
    size_t len = sizeof ser;
    secp256k1_ec_pubkey_serialize(Secp(), ser, &len, &p, SECP256K1_EC_COMPRESSED);
    k.pub.assign(ser, ser + 33);
  }
  return k;
}

// Addresses and key encodings of the oracle: per input line "<algo> <hex>",
// the three addresses and the three key encodings.
constexpr char kAddressOracle[] = R"js(
const amino = require("@cosmjs/amino");
const lines = require("fs").readFileSync(0, "utf8").split("\n").filter((l) => l.length > 0);
for (const line of lines) {
  const [algo, hex] = line.split(" ");
  const bytes = Uint8Array.from(Buffer.from(hex, "hex"));
  const pub = algo === "ed" ? amino.encodeEd25519Pubkey(bytes) : amino.encodeSecp256k1Pubkey(bytes);
  const out = [];
  for (const p of ["cosmos", "cosmosvaloper", "cosmosvalcons"]) out.push(amino.pubkeyToAddress(pub, p));
  for (const p of ["cosmospub", "cosmosvaloperpub", "cosmosvalconspub"]) out.push(amino.encodeBech32Pubkey(pub, p));
  console.log(out.join(" "));
}
)js";

TEST_F(AtomThroughRunModule, AddressesAndKeyEncodingsMatchOracle) {
  tvt::TestRng rng(7101);
  std::vector<Key> keys;
  std::ostringstream in;
  for (int i = 0; i < 80; ++i) {
    keys.push_back(MakeKey(rng, i % 2 == 1));
    in << (keys.back().ed ? "ed " : "secp ") << tvt::Hex(keys.back().pub) << "\n";
  }
  std::istringstream expected(tvt::RunNode(kAddressOracle, in.str()));
  const char* roles[] = {"account", "valoper", "valcons"};
  for (const Key& k : keys) {
    std::string want[6];
    for (std::string& w : want) expected >> w;
    for (int role = 0; role < 3; ++role) {
      SCOPED_TRACE(tvt::Hex(k.pub) + " " + roles[role]);
      Json::Value addrinfo;
      addrinfo["addr_type"] = roles[role];
      addrinfo["pubs"][0]["pub"] = "0x" + tvt::Hex(k.pub);
      if (k.ed) addrinfo["algo"] = "ED25519";
      Json::Value args;
      args["addrinfo"] = addrinfo;
      Reply r = Action("GenAddr", args);
      ASSERT_EQ(r.rc, 0) << r.text;
      EXPECT_EQ(r.envelope["return"]["addr"].asString(), want[role]);

      Json::Value pubinfo;
      pubinfo["pub_type"] = roles[role];
      pubinfo["pub"] = "0x" + tvt::Hex(k.pub);
      if (k.ed) pubinfo["algo"] = "ed25519";
      args = Json::Value();
      args["pubinfo"] = pubinfo;
      r = Action("GenPubEncode", args);
      ASSERT_EQ(r.rc, 0) << r.text;
      EXPECT_EQ(r.envelope["return"]["encode"].asString(), want[3 + role]);
    }
  }
}

// The oracle's view of a "GenTx" request: per input line a JSON object
// {"txinfo": ..., "keys": {<pri hex>: {"algo", "pub"}}}; per output line
// {"msgs", "fee", "memo", "signers": [{"pri", "signbytes"}]} with the
// signers in order of first appearance, one per account.
constexpr char kTxOracle[] = R"js(
const amino = require("@cosmjs/amino");
const { fromBech32, toHex } = require("@cosmjs/encoding");
const lines = require("fs").readFileSync(0, "utf8").split("\n").filter((l) => l.length > 0);
for (const line of lines) {
  const { txinfo, keys } = JSON.parse(line);
  const pubOf = (wallet) => {
    const k = keys[wallet.pri.slice(2)];
    const bytes = Uint8Array.from(Buffer.from(k.pub, "hex"));
    return k.algo === "ed" ? amino.encodeEd25519Pubkey(bytes) : amino.encodeSecp256k1Pubkey(bytes);
  };
  const addr = (wallet, prefix) => amino.pubkeyToAddress(pubOf(wallet), prefix);
  const signers = [];
  const seen = new Set();
  const sign = (wallet, address) => {
    const account = toHex(fromBech32(address, 90).data);
    if (seen.has(account)) return;
    seen.add(account);
    signers.push(wallet);
  };
  const coin = (c) => ({ amount: c.amount, denom: c.denom });
  const desc = (d) => ({ details: d.details, identity: d.identity, moniker: d.moniker,
                         security_contact: d.security_contact, website: d.website });
  const msgs = txinfo.msgs.map((m) => {
    const v = m.value, w = m.wallet;
    switch (m.type) {
      case "msgsend": {
        const from = addr(w, "cosmos"); sign(w, from);
        return { type: "cosmos-sdk/MsgSend", value: { amount: [coin(v.amount[0])], from_address: from, to_address: v.to_address } };
      }
      case "msgmultisend": {
        const inputs = v.inputs.map((i) => {
          const a = addr(i.wallet, "cosmos"); sign(i.wallet, a);
          return { address: a, coins: [coin(i.coins[0])] };
        });
        const outputs = v.outputs.map((o) => ({ address: o.address, coins: [coin(o.coins[0])] }));
        return { type: "cosmos-sdk/MsgMultiSend", value: { inputs, outputs } };
      }
      case "msgcreatevalidator": {
        const del = addr(w, "cosmos"); sign(w, del);
        const cons = amino.encodeBech32Pubkey(amino.encodeEd25519Pubkey(Uint8Array.from(Buffer.from(w.valconspub.slice(2), "hex"))), "cosmosvalconspub");
        return { type: "cosmos-sdk/MsgCreateValidator", value: {
          commission: { max_change_rate: v.commission.max_change_rate, max_rate: v.commission.max_rate, rate: v.commission.rate },
          delegator_address: del, description: desc(v.description), min_self_delegation: v.min_self_delegation,
          pubkey: cons, validator_address: addr(w, "cosmosvaloper"), value: coin(v.value) } };
      }
      case "msgeditvalidator": {
        const val = addr(w, "cosmosvaloper"); sign(w, val);
        return { type: "cosmos-sdk/MsgEditValidator", value: { address: val, commission_rate: v.commission_rate,
          Description: desc(v.description), min_self_delegation: v.min_self_delegation } };
      }
      case "msgdelegate": case "msgundelegate": {
        const del = addr(w, "cosmos"); sign(w, del);
        return { type: m.type === "msgdelegate" ? "cosmos-sdk/MsgDelegate" : "cosmos-sdk/MsgUndelegate",
                 value: { amount: coin(v.amount), delegator_address: del, validator_address: v.validator_address } };
      }
      case "msgbeginredelegate": {
        const del = addr(w, "cosmos"); sign(w, del);
        return { type: "cosmos-sdk/MsgBeginRedelegate", value: { amount: coin(v.amount), delegator_address: del,
                 validator_dst_address: v.validator_dst_address, validator_src_address: v.validator_src_address } };
      }
      case "msgwithdrawdelegationreward": {
        const del = addr(w, "cosmos"); sign(w, del);
        return { type: "cosmos-sdk/MsgWithdrawDelegationReward", value: { delegator_address: del, validator_address: v.validator_address } };
      }
    }
    throw new Error("type " + m.type);
  });
  const f = txinfo.fee;
  const fee = { amount: f.amount && f.denom ? [{ amount: f.amount, denom: f.denom }] : [], gas: f.gas };
  const memo = typeof txinfo.memo === "string" ? txinfo.memo : "";
  const out = signers.map((w) => ({
    pri: w.pri.slice(2),
    signbytes: toHex(amino.serializeSignDoc({ account_number: w.accnum, chain_id: txinfo.chainid, fee, memo, msgs, sequence: w.seq })),
  }));
  console.log(JSON.stringify({ msgs, fee, memo, signers: out }));
}
)js";

// Texts with what a value may hold: quotes, apostrophes, backslashes,
// markup characters, tabs, line breaks, control characters and non-ASCII.
// (U+2028 and U+2029 are left out: the oracle writes them raw, the chain and
// this add-on as \u escapes; a unit test pins them.)
std::string RandomText(tvt::TestRng& rng) {
  static const char* const kPieces[] = {"a",
                                        "Z",
                                        "7",
                                        " ",
                                        "\"",
                                        "'",
                                        "\\",
                                        "<",
                                        ">",
                                        "&",
                                        "\t",
                                        "\n",
                                        "\r",
                                        "\x01",
                                        "\x7f",
                                        "/",
                                        "\xc3\xa9",
                                        "\xe4\xb8\xad",
                                        "\xf0\x9f\x98\x80",
                                        "\xc2\xa0",
                                        "cosmos1",
                                        "0.5",
                                        "{",
                                        "}",
                                        "[",
                                        ":",
                                        ","};
  std::string s;
  const uint32_t n = rng.Below(12);
  for (uint32_t i = 0; i < n; ++i) s += kPieces[rng.Below(sizeof kPieces / sizeof kPieces[0])];
  return s;
}

Json::Value Coin(tvt::TestRng& rng) {
  Json::Value c;
  c["amount"] = std::to_string(rng.Below(1000000));
  c["denom"] = rng.Below(3) == 0 ? RandomText(rng) : "uatom";
  return c;
}

Json::Value WalletOf(tvt::TestRng& rng, const Key& k) {
  Json::Value w;
  w["pri"] = "0x" + tvt::Hex(k.pri);
  // The account numbers differ between appearances of one key: the first
  // appearance is the one that counts.
  w["seq"] = std::to_string(rng.Below(100));
  w["accnum"] = rng.Below(8) == 0 ? RandomText(rng) : std::to_string(rng.Below(100000));
  if (k.ed) w["algo"] = rng.Below(2) ? "ED25519" : "ed25519";
  if (rng.Below(3) == 0) w["pub"] = "0x" + tvt::Hex(k.pub);
  return w;
}

Json::Value Description(tvt::TestRng& rng) {
  Json::Value d;
  for (const char* k : {"details", "identity", "moniker", "security_contact", "website"}) d[k] = RandomText(rng);
  return d;
}

Json::Value RandomMessage(tvt::TestRng& rng, const std::vector<Key>& keys) {
  static const char* const kTypes[] = {
      "msgsend",     "msgmultisend",       "msgcreatevalidator", "msgeditvalidator",
      "msgdelegate", "msgbeginredelegate", "msgundelegate",      "msgwithdrawdelegationreward"};
  const std::string type = kTypes[rng.Below(8)];
  Json::Value m;
  m["type"] = type;
  Json::Value& v = m["value"];
  const Key& k = keys[rng.Below(static_cast<uint32_t>(keys.size()))];
  if (type == "msgmultisend") {
    const uint32_t ins = 1 + rng.Below(3), outs = 1 + rng.Below(2);
    for (uint32_t i = 0; i < ins; ++i) {
      Json::Value in;
      in["coins"][0] = Coin(rng);
      in["wallet"] = WalletOf(rng, keys[rng.Below(static_cast<uint32_t>(keys.size()))]);
      v["inputs"].append(in);
    }
    for (uint32_t i = 0; i < outs; ++i) {
      Json::Value out;
      out["address"] = RandomText(rng);
      out["coins"][0] = Coin(rng);
      v["outputs"].append(out);
    }
    return m;
  }
  m["wallet"] = WalletOf(rng, k);
  if (type == "msgsend") {
    v["amount"][0] = Coin(rng);
    v["to_address"] = RandomText(rng);
  } else if (type == "msgcreatevalidator") {
    m["wallet"]["valconspub"] = "0x" + tvt::Hex(MakeKey(rng, true).pub);
    v["commission"]["max_change_rate"] = RandomText(rng);
    v["commission"]["max_rate"] = "0.2";
    v["commission"]["rate"] = RandomText(rng);
    v["description"] = Description(rng);
    v["min_self_delegation"] = RandomText(rng);
    v["value"] = Coin(rng);
  } else if (type == "msgeditvalidator") {
    v["commission_rate"] = RandomText(rng);
    v["description"] = Description(rng);
    v["min_self_delegation"] = "1";
  } else {
    v["amount"] = Coin(rng);
    if (type == "msgbeginredelegate") {
      v["validator_dst_address"] = RandomText(rng);
      v["validator_src_address"] = RandomText(rng);
    } else {
      v["validator_address"] = RandomText(rng);
    }
  }
  return m;
}

TEST_F(AtomThroughRunModule, TransactionsMatchOracle) {
  tvt::TestRng rng(7102);
  std::vector<Json::Value> txinfos;
  std::ostringstream in;
  for (int t = 0; t < 150; ++t) {
    // Three secp256k1 wallets and an Ed25519 one.
    std::vector<Key> keys = {MakeKey(rng, false), MakeKey(rng, false), MakeKey(rng, false), MakeKey(rng, true)};
    Json::Value txinfo;
    txinfo["chainid"] = rng.Below(4) == 0 ? RandomText(rng) : "cosmoshub-4";
    if (rng.Below(4) != 0) txinfo["memo"] = RandomText(rng);
    txinfo["fee"]["gas"] = std::to_string(rng.Below(400000));
    if (rng.Below(4) != 0) txinfo["fee"]["amount"] = std::to_string(rng.Below(10000));
    if (rng.Below(4) != 0) txinfo["fee"]["denom"] = rng.Below(3) == 0 ? RandomText(rng) : "uatom";
    txinfo["msgs"] = Json::Value(Json::arrayValue);
    const uint32_t count = rng.Below(6);
    for (uint32_t i = 0; i < count; ++i) txinfo["msgs"].append(RandomMessage(rng, keys));
    Json::Value line;
    line["txinfo"] = txinfo;
    for (const Key& k : keys) {
      line["keys"][tvt::Hex(k.pri)]["algo"] = k.ed ? "ed" : "secp";
      line["keys"][tvt::Hex(k.pri)]["pub"] = tvt::Hex(k.pub);
    }
    in << Compact(line) << "\n";
    txinfos.push_back(txinfo);
  }
  std::istringstream expectedLines(tvt::RunNode(kTxOracle, in.str()));
  // What the random transactions covered.
  std::map<std::string, int> types;
  int multiSigner = 0, edSigners = 0;
  for (const Json::Value& txinfo : txinfos) {
    for (const Json::Value& m : txinfo["msgs"]) ++types[m["type"].asString()];
    std::string line;
    ASSERT_TRUE(std::getline(expectedLines, line));
    const Json::Value expected = tvt::ParseJson(line);
    SCOPED_TRACE(Compact(txinfo));
    Json::Value args;
    args["txinfo"] = txinfo;
    const Reply r = Action("GenTx", args);
    ASSERT_EQ(r.rc, 0) << r.text;
    const std::string text = r.envelope["return"]["tx"].asString();
    ASSERT_EQ(text.find('"'), std::string::npos);
    const Json::Value tx = StrictParse(ReplaceAll(text, "'", "\""));
    EXPECT_EQ(tx["type"].asString(), "auth/StdTx");
    EXPECT_EQ(tx["value"]["msg"], expected["msgs"]);
    EXPECT_EQ(tx["value"]["fee"], expected["fee"]);
    EXPECT_EQ(tx["value"]["memo"], expected["memo"]);
    const Json::Value& sigs = tx["value"]["signatures"];
    ASSERT_EQ(sigs.size(), expected["signers"].size());
    multiSigner += sigs.size() > 1;
    for (Json::ArrayIndex i = 0; i < sigs.size(); ++i) {
      const Json::Value& want = expected["signers"][i];
      const tvt::Bytes pri = tvt::Unhex(want["pri"].asString());
      const tvt::Bytes bytes = tvt::Unhex(want["signbytes"].asString());
      const bool ed = sigs[i]["pub_key"]["type"].asString() == "tendermint/PubKeyEd25519";
      if (ed) {
        ++edSigners;
        unsigned char pk[32], sk[64];
        crypto_sign_seed_keypair(pk, sk, pri.data());
        unsigned char sig[64];
        crypto_sign_detached(sig, nullptr, bytes.data(), bytes.size(), sk);
        EXPECT_EQ(sigs[i]["pub_key"]["value"].asString(), Base64(tvt::Bytes(pk, pk + 32)));
        EXPECT_EQ(sigs[i]["signature"].asString(), Base64(tvt::Bytes(sig, sig + 64))) << i;
      } else {
        EXPECT_EQ(sigs[i]["pub_key"]["type"].asString(), "tendermint/PubKeySecp256k1");
        unsigned char digest[32];
        SHA256(bytes.data(), bytes.size(), digest);
        secp256k1_ecdsa_signature sig;
        ASSERT_EQ(secp256k1_ecdsa_sign(Secp(), &sig, digest, pri.data(), nullptr, nullptr), 1);
        unsigned char compact[64];
        secp256k1_ecdsa_signature_serialize_compact(Secp(), compact, &sig);
        EXPECT_EQ(sigs[i]["signature"].asString(), Base64(tvt::Bytes(compact, compact + 64))) << i;
        secp256k1_pubkey pub;
        ASSERT_EQ(secp256k1_ec_pubkey_create(Secp(), &pub, pri.data()), 1);
        unsigned char ser[33];
        size_t len = sizeof ser;
        secp256k1_ec_pubkey_serialize(Secp(), ser, &len, &pub, SECP256K1_EC_COMPRESSED);
        EXPECT_EQ(sigs[i]["pub_key"]["value"].asString(), Base64(tvt::Bytes(ser, ser + 33)));
        EXPECT_EQ(secp256k1_ecdsa_verify(Secp(), &sig, digest, &pub), 1);
      }
    }
  }
  EXPECT_EQ(types.size(), 8u);
  EXPECT_GT(multiSigner, 20);
  EXPECT_GT(edSigners, 20);
}

TEST_F(AtomThroughRunModule, ErrorReplies) {
  // The add-on's reply comes back whole in the envelope's "return".
  Json::Value args = tvt::ParseJson(
      R"({"txinfo":{"chainid":"c","fee":{"gas":"1"},"msgs":[{"type":"msgsend","wallet":{"pri":"0x01","accnum":"1"},"value":{}}]}})");
  Reply r = Action("GenTx", args);
  EXPECT_NE(r.rc, 0);
  EXPECT_EQ(r.envelope["result"].asString(), "fail");
  const std::string msg = r.envelope["return"]["error"]["err_msg"].asString();
  const std::string chain =
      "Addon(MakeMsgSend:418[wallet[pri,seq,accum] is not support !!]<=GenTxMsgs:931[msgsend error]<=GenTx2_ATOM:1221["
      "GenTxMsgs Error !!]<=RunModule_ATOM:1447[GenTx Error])";
  ASSERT_GE(msg.size(), chain.size());
  EXPECT_EQ(msg.substr(msg.size() - chain.size()), chain);
  EXPECT_EQ(r.envelope["return"]["error"]["err_code"].asString(), "1000");
  EXPECT_EQ(r.envelope["return"]["txinfo"], args["txinfo"]);

  r = Action("GenSignedTx", tvt::ParseJson("{}"));
  EXPECT_NE(r.rc, 0);
  const std::string unknown = r.envelope["return"]["error"]["err_msg"].asString();
  EXPECT_NE(unknown.find("Addon(RunModule_ATOM:1453[not support action])"), std::string::npos) << unknown;
}

TEST(AtomEntry, RepliesOfTheExport) {
  struct Case {
    const char* action;
    const char* request;
    int rc;
    std::string reply;  // exact, or a part that must appear
    bool exact;
  };
  const Case cases[] = {
      {"GenAddr", nullptr, 1,
       R"j({"error":{"err_code":"1000","err_msg":"VQ(VER[DV_vqver_DV.DV_vqdev_DV]) Addon(RunModule_ATOM:1409[param is null])"}})j",
       true},
      {"GenAddr", R"({"action":"GenAddr",)", 1,
       R"j(Addon(RunModule_ATOM:1421[json parse error({'action':'GenAddr',)]))j", false},
      // No "args": the unknown action replies in the non-object form.
      {"genaddr", R"({"action":"genaddr"})", 1, R"j(Addon(RunModule_ATOM:1453[not support action]))j", false},
      // A missing "args" is an empty object to the actions.
      {"GenTx", R"({"action":"GenTx"})", 1, R"j("txinfo" : null)j", false},
      // Texts are read by name: "0x" text that is not hex, or a NUL character, is refused.
      {"GenAddr", R"({"action":"GenAddr","args":{"addrinfo":{"addr_type":"account","pubs":[{"pub":"0x02zz"}]}}})", 1,
       "Addon(RunModule_ATOM:1459[pub is not hex text !!])", false},
      {"GenPubEncode", R"({"action":"GenPubEncode","args":{"pubinfo":{"pub_type":"account","pub":"0xg1"}}})", 1,
       "Addon(RunModule_ATOM:1459[pub is not hex text !!])", false},
      {"GenTx", R"({"action":"GenTx","args":{"txinfo":{"chainid":"c","memo":"a\u0000b","fee":{"gas":"1"},"msgs":[]}}})",
       1, "Addon(RunModule_ATOM:1459[memo holds a NUL character !!])", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request != nullptr ? c.request : "null");
    char* out = nullptr;
    EXPECT_EQ(RunModule_ATOM(c.action, "atom", c.request, &out), c.rc);
    ASSERT_NE(out, nullptr);
    const std::string reply = out;
    EXPECT_EQ(FreeMem_ATOM(out), 0);
    if (c.exact) {
      EXPECT_EQ(reply, c.reply);
    } else {
      EXPECT_NE(reply.find(c.reply), std::string::npos) << reply;
    }
    StrictParse(reply);
  }
  EXPECT_EQ(FreeMem_ATOM(nullptr), 1);
}

}  // namespace
