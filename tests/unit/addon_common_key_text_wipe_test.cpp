// A private key travels through every coin add-on as hex text: in the
// request, in the request tree, in the description that "GenUnsignedTx"
// writes into "unsignedtxinfo" and "GenSignedTx" reads back, in the error
// reply that echoes "args". No block the process frees during a call may
// still hold it, as text (either case) or as bytes: this program watches
// every free() (operator delete ends there) while the built add-ons run each
// coin's main road, through the core's RunModule and straight into
// RunModule_<COIN>, and a failing request of each kind that carries the key.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "failing_new_testing.h"
#include "freed_key_watch.h"
#include "tv_test.h"

namespace {

// The key of the roads' wallets; its hex text is searched in windows, so a
// block holding part of it is found too.
const std::string kKeyHex = "141f2101ecd818c8e443f9e083b65939537def16b33ce62f0f5533b6161bb26d";

std::vector<std::string> KeyNeedles() {
  std::vector<std::string> needles;
  std::string upper = kKeyHex;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  const std::vector<unsigned char> bytes = tvt::Unhex(kKeyHex);
  for (size_t at = 0; at < kKeyHex.size(); at += 16) {
    needles.push_back(kKeyHex.substr(at, 16));
    needles.push_back(upper.substr(at, 16));
    needles.emplace_back(reinterpret_cast<const char*>(bytes.data()) + at / 2, 8);
  }
  return needles;
}

using RunModuleFn = int (*)(const char*, char**);
using FreeMemFn = int (*)(char*);
using RunAddonFn = int (*)(const char*, const char*, const char*, char**);

// Where a request goes: the core, or one add-on's entry.
struct Road {
  const char* name;
  bool core;
};

struct Loaded {
  RunModuleFn runModule = nullptr;
  FreeMemFn freeMem = nullptr;
};

// The built library, loaded once; each add-on is registered through it.
const Loaded& Core() {
  static const Loaded loaded = [] {
    Loaded l;
    void* handle = dlopen((std::string(TV_OUT_DIR) + "/libtolvaris.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return l;
    l.runModule = reinterpret_cast<RunModuleFn>(dlsym(handle, "RunModule"));
    l.freeMem = reinterpret_cast<FreeMemFn>(dlsym(handle, "FreeMem"));
    return l;
  }();
  return loaded;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

std::string Compact(const Json::Value& value) {
  Json::StreamWriterBuilder w;
  w["indentation"] = "";
  return Json::writeString(w, value);
}

// One add-on, registered with the core, and its own entry.
struct Addon {
  std::string tag;
  RunAddonFn run = nullptr;
  FreeMemFn free = nullptr;

  explicit Addon(const std::string& t) : tag(t) {
    const Loaded& core = Core();
    if (core.runModule == nullptr) return;
    Json::Value add;
    add["action"] = "AddModule";
    add["args"]["addon"] = tag;
    add["args"]["libpath"] = TV_OUT_DIR;
    char* out = nullptr;
    const int rc = core.runModule(Compact(add).c_str(), &out);
    core.freeMem(out);
    if (rc != 0) return;
    // The core loaded this very file: the same handle comes back.
    void* handle = dlopen((std::string(TV_OUT_DIR) + "/quenmod-" + tag + ".so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return;
    run = reinterpret_cast<RunAddonFn>(dlsym(handle, ("RunModule_" + Upper(tag)).c_str()));
    free = reinterpret_cast<FreeMemFn>(dlsym(handle, ("FreeMem_" + Upper(tag)).c_str()));
  }

  // Sends `request` along `road` twice (the first call makes the one-time
  // allocations), watching the second call from the request to the release
  // of its reply. Returns the reply of the watched call.
  std::string Send(const Road& road, const std::string& action, const std::string& request, int& rc,
                   int& found) const {
    tvt::FreedKeyWatch& watch = tvt::freedKeyWatch;
    std::string reply;
    for (int round = 0; round < 2; ++round) {
      watch.found = 0;
      watch.foundBytes = 0;
      watch.on = round == 1;
      char* out = nullptr;
      rc = road.core ? Core().runModule(request.c_str(), &out) : run(action.c_str(), tag.c_str(), request.c_str(), &out);
      watch.on = false;
      reply = out != nullptr ? out : "";
      watch.on = round == 1;
      road.core ? Core().freeMem(out) : free(out);
      watch.on = false;
    }
    found = watch.found;
    if (found != 0) ADD_FAILURE() << action << ": " << found << " freed blocks (" << watch.foundBytes << " bytes) hold the key";
    return reply;
  }
};

// The lines of tests/alloc/roads/<tag>.jsonl, each add-on's main road.
std::vector<Json::Value> RoadRequests(const std::string& tag) {
  std::string root = TV_FIXTURES_DIR;
  root.erase(root.find_last_of('/'));
  std::ifstream in(root + "/alloc/roads/" + tag + ".jsonl");
  std::vector<Json::Value> requests;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) requests.push_back(tvt::ParseJson(line));
  return requests;
}

const Json::Value* FindAction(const std::vector<Json::Value>& requests, const std::string& action) {
  for (const Json::Value& r : requests)
    if (r["action"].asString() == action) return &r;
  return nullptr;
}

// The reply's "args" (the add-on's own reply) or "return" (the core's envelope).
Json::Value ReplyArgs(const Road& road, const std::string& reply) {
  const Json::Value parsed = tvt::ParseJson(reply);
  return road.core ? parsed["return"] : parsed;
}

// More signing requests of each coin beside its road's GenTx: other script,
// message and key kinds, which take other paths to the key. KEY stands for it.
const std::vector<std::string>& MoreSigning(const std::string& tag) {
  static const std::map<std::string, std::vector<std::string>> kRequests = {
      {"btc",
       {R"({"action":"GenTx","addon":"btc","args":{"coin":"ltc","txinfo":{"input":[
          {"prehex":"0x4ce18f49ba153a51bcda9bb80d7f978e3de6e81b5fc326f00465464530c052f4","preidx":"0","prevalue":"5000",
           "prespub":"0x76a91450a2f5ed4c7c322161edb0efb700d89649f080d388ac","wallet":{"pri":"0xKEY"}},
          {"prehex":"0x4ce18f49ba153a51bcda9bb80d7f978e3de6e81b5fc326f00465464530c052f4","preidx":"2","prevalue":"5000",
           "prespub":"0x001450a2f5ed4c7c322161edb0efb700d89649f080d3","wallet":{"pri":"0xKEY"}}],
          "output":[{"dest":"LVuDpNCSSj6pQ7t9Pv6d6sUkLKoqDEVUnJ","value":"9000"}]}}})"}},
      {"eth",
       {R"({"action":"GenTx","addon":"eth","args":{"txinfo":{"nonce":"0x1","gasprice":"1000","gaslimit":"60000",
          "to":"0x7e5f4552091a69125d5dfcb7b8c2659029395bdf","value":"0x0","contract":{
          "addr":"0xdac17f958d2ee523a2206206994597c13d831ec7","to":"0x3535353535353535353535353535353535353535",
          "value":"0x0de0b6b3a7640000"},"wallet":{"pri":"0xKEY"}}}})"}},
      {"atom",
       {R"({"action":"GenTx","addon":"atom","args":{"txinfo":{"chainid":"cosmoshub-4","memo":"","fee":{"gas":"200000",
          "amount":"5000","denom":"uatom"},"msgs":[{"type":"msgmultisend","value":{"inputs":[
          {"coins":[{"amount":"1","denom":"uatom"}],"wallet":{"pri":"0xKEY","seq":"1","accnum":"2"}}],
          "outputs":[{"address":"cosmos1w508d6qejxtdg4y5r3zarvary0c5xw7k6ah60c","coins":[{"amount":"1","denom":"uatom"}]}]}},
          {"type":"msgcreatevalidator","wallet":{"pri":"0xKEY","seq":"1","accnum":"2",
           "valconspub":"0xd75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a"},
           "value":{"commission":{"max_change_rate":"0.01","max_rate":"0.2","rate":"0.1"},
           "description":{"details":"","identity":"","moniker":"m","security_contact":"","website":""},
           "min_self_delegation":"1","value":{"amount":"1","denom":"uatom"}}}]}}})"}},
      {"amo",
       {R"({"action":"GenTx","addon":"amo","args":{"txinfo":{"type":"delegate","payload":{
          "to":"2C4D2D01D5EDDDA2B3A0FE8E8EB6DD2E9FE1E4C5","amount":"7"},"fee":"0","last_height":"1",
          "wallet":{"algo":"ED25519","pri":"0xKEY"}}}})"}},
  };
  return kRequests.at(tag);
}

std::string WithKey(std::string text) {
  for (size_t at = text.find("KEY"); at != std::string::npos; at = text.find("KEY", at)) text.replace(at, 3, kKeyHex);
  return Compact(tvt::ParseJson(text));
}

class KeyTextWipe : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!tvt::kFreedKeyWatchBuilt) GTEST_SKIP() << "the sanitizer owns free()";
    // Never freed, and the scrub stays on for the rest of the program: the
    // test's own copies of the key (these needles among them) must not come
    // back stale in a block a later call frees.
    static const std::vector<std::string> needles = KeyNeedles();
    tvt::FreedKeyWatch& watch = tvt::freedKeyWatch;
    watch.keyText = nullptr;
    watch.keyBytes = nullptr;
    watch.needles = needles.data();
    watch.needleCount = needles.size();
    watch.scrub = true;
  }
};

TEST_P(KeyTextWipe, NoFreedBlockHoldsTheKey) {
  const std::string tag = GetParam();
  const Addon addon(tag);
  ASSERT_NE(addon.run, nullptr) << tag;
  const std::vector<Json::Value> road = RoadRequests(tag);
  const Json::Value* genTx = FindAction(road, "GenTx");
  ASSERT_NE(genTx, nullptr) << tag;
  ASSERT_NE(Compact(*genTx).find(kKeyHex), std::string::npos) << tag;

  for (const Road r : {Road{"RunModule", true}, Road{"RunModule_<COIN>", false}}) {
    SCOPED_TRACE(tag + " through " + r.name);
    int rc = 0;
    int found = 0;
    const std::string genTxText = Compact(*genTx);
    addon.Send(r, "GenTx", genTxText, rc, found);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(found, 0) << "GenTx";

    // Members the results are written over, sent holding the key.
    Json::Value overwritten = *genTx;
    for (const char* name : {"rawtx", "tx", "network"}) overwritten["args"][name] = "0x" + kKeyHex;
    addon.Send(r, "GenTx", Compact(overwritten), rc, found);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(found, 0) << "GenTx over members";

    for (const std::string& more : MoreSigning(tag)) {
      const std::string reply = addon.Send(r, "GenTx", WithKey(more), rc, found);
      EXPECT_EQ(rc, 0) << reply;
      EXPECT_EQ(found, 0) << more;
    }

    // An unknown action: the error reply echoes "args", the key in it.
    Json::Value unknown = *genTx;
    unknown["action"] = "GenTxNotKnown";
    std::string reply = addon.Send(r, "GenTxNotKnown", Compact(unknown), rc, found);
    EXPECT_NE(rc, 0);
    EXPECT_NE(reply.find(kKeyHex), std::string::npos);
    EXPECT_EQ(found, 0) << "unknown action";

    // A request that does not parse: the failure quotes it.
    addon.Send(r, "GenTx", genTxText.substr(0, genTxText.size() - 1), rc, found);
    EXPECT_NE(rc, 0);
    EXPECT_EQ(found, 0) << "no parse";

    const Json::Value* unsignedTx = FindAction(road, "GenUnsignedTx");
    const Json::Value* signedTx = FindAction(road, "GenSignedTx");
    if (unsignedTx == nullptr || signedTx == nullptr) continue;  // the coin signs only in one step
    // A caller who leaves the key beside the public key: the description
    // travels with it, out in "unsignedtxinfo" and back in "GenSignedTx".
    Json::Value withKey = *unsignedTx;
    withKey["args"]["txinfo"]["wallet"]["pri"] = "0x" + kKeyHex;
    reply = addon.Send(r, "GenUnsignedTx", Compact(withKey), rc, found);
    ASSERT_EQ(rc, 0) << reply;
    EXPECT_EQ(found, 0) << "GenUnsignedTx";
    const Json::Value unsignedReply = ReplyArgs(r, reply);
    ASSERT_TRUE(unsignedReply["unsignedtxinfo"].isString()) << reply;

    // The road's signature fits: the key in the wallet changes no signed byte.
    Json::Value sign = *signedTx;
    sign["args"]["txinfo"]["unsignedtxinfo"] = unsignedReply["unsignedtxinfo"];
    reply = addon.Send(r, "GenSignedTx", Compact(sign), rc, found);
    EXPECT_EQ(rc, 0) << reply;
    EXPECT_EQ(found, 0) << "GenSignedTx";

    // A signature that does not verify fails after the description is read.
    std::string text = Compact(sign);
    const size_t at = text.find("\"signature\":\"0x30") + 40;
    text[at] = text[at] == '0' ? '1' : '0';
    reply = addon.Send(r, "GenSignedTx", text, rc, found);
    EXPECT_NE(rc, 0) << reply;
    EXPECT_EQ(found, 0) << "GenSignedTx refused";
  }
}

// Running out of memory anywhere in the call, each allocation in turn: what
// was copied or built before the failure goes back wiped too.
TEST_P(KeyTextWipe, NoFreedBlockHoldsTheKeyWhenMemoryRunsOut) {
  const std::string tag = GetParam();
  const Addon addon(tag);
  ASSERT_NE(addon.run, nullptr) << tag;
  const std::vector<Json::Value> road = RoadRequests(tag);
  std::vector<std::pair<std::string, std::string>> requests;
  for (const char* action : {"GenTx", "GenUnsignedTx", "GenSignedTx"}) {
    const Json::Value* r = FindAction(road, action);
    if (r == nullptr) continue;
    Json::Value withKey = *r;
    const std::string name = action;
    if (name == "GenUnsignedTx") withKey["args"]["txinfo"]["wallet"]["pri"] = "0x" + kKeyHex;
    if (name == "GenSignedTx") {
      // The description with the key in it, as GenUnsignedTx gives it.
      Json::Value unsignedTx = *FindAction(road, "GenUnsignedTx");
      unsignedTx["args"]["txinfo"]["wallet"]["pri"] = "0x" + kKeyHex;
      char* out = nullptr;
      ASSERT_EQ(addon.run("GenUnsignedTx", tag.c_str(), Compact(unsignedTx).c_str(), &out), 0);
      withKey["args"]["txinfo"]["unsignedtxinfo"] = tvt::ParseJson(out)["unsignedtxinfo"];
      addon.free(out);
    }
    withKey["args"]["odd"] = "0x" + kKeyHex;  // in the error reply too
    requests.emplace_back(name, Compact(withKey));
    withKey["action"] = "GenTxNotKnown";
    requests.emplace_back("GenTxNotKnown", Compact(withKey));
    const std::string cut = Compact(withKey);
    requests.emplace_back("GenTxNotKnown", cut.substr(0, cut.size() - 1));  // quoted by the parse failure
  }
  for (const std::string& more : MoreSigning(tag)) requests.emplace_back("GenTx", WithKey(more));
  tvt::FreedKeyWatch& watch = tvt::freedKeyWatch;
  for (const Road r : {Road{"RunModule", true}, Road{"RunModule_<COIN>", false}}) {
    for (const auto& [action, request] : requests) {
      SCOPED_TRACE(tag + " " + action + " through " + r.name);
      int failures = 0;
      for (long k = 1;; ++k) {
        watch.found = 0;
        char* out = nullptr;
        bool reached = false;
        {
          const fnt::FailAt fail(k);
          watch.on = true;
          r.core ? Core().runModule(request.c_str(), &out)
                 : addon.run(action.c_str(), tag.c_str(), request.c_str(), &out);
          r.core ? Core().freeMem(out) : addon.free(out);
          watch.on = false;
          reached = fnt::FailAt::Reached();
        }
        if (watch.found != 0 && ++failures <= 3) ADD_FAILURE() << "allocation " << k << " failing: " << watch.found << " freed blocks hold the key";
        if (!reached) break;
      }
      EXPECT_EQ(failures, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCoin, KeyTextWipe, ::testing::Values("btc", "eth", "atom", "amo"));

}  // namespace
