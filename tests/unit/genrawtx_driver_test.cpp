// The unprefixed GenRawTx driver over the real Bitcoin-family add-on: a copy
// of libtolvaris.so with quenmod-btc.so beside it, loaded in this process
// alone (a process keeps the first quenmod-btc.so it loads). Codes 0 and
// 0x0F000000 return the bytes that "GenTx" writes as "rawtx"; a transaction
// the add-on refuses writes nothing and returns 1.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tv_test.h"

namespace fs = std::filesystem;

namespace {

using GenRawTxFn = int (*)(uint32_t, const char*, uint32_t*, unsigned char*, uint32_t*);
using RunModuleFn = int (*)(const char*, char**);
using FreeMemFn = int (*)(char*);

// BIP 143's P2SH-P2WPKH example and its published signed transaction.
constexpr char kTxInfo[] = R"({"locktime":"0x92040000",
  "input":[{"prehex":"0x77541aeb3c4dac9260b68f74f44c973081a9d4cb2ebe8038b2d70faa201b6bdb","preidx":"1",
            "prevalue":"1000000000","sequence":"0xfeffffff",
            "prespub":"0xa9144733f37cf4db86fbc2efed2500b4f4e49f31202387",
            "wallet":{"pri":"0xeb696a065ef48a2192da5b28b694f87544b30fae8327c4510137a922f32c6dcf"}}],
  "output":[{"dest":"1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7","value":"199996600"},
            {"dest":"1Q5YjKVj5yQWHBBsyEBamkfph3cA6G9KK8","value":"800000000"}]})";
constexpr char kSigned[] =
    "01000000000101db6b1b20aa0fd7b23880be2ecbd4a98130974cf4748fb66092ac4d3ceb1a5477010000001716001479091972186c"
    "449eb1ded22b78e40d009bdf0089feffffff02b8b4eb0b000000001976a914a457b684d7f0d539a46a45bbc043f35b59d0d96388ac00"
    "08af2f000000001976a914fd270b1ee6abcaea97fea7ad0402e8bd8ad6d77c88ac02473044022047ac8e878352d3ebbde1c94ce3a10d"
    "057c24175747116f8288e5d794d12d482f0220217f36a485cae903c713331d877c1f64677e3622ad4010726870540656fe9dcb012103"
    "ad1d8e89212f0b92c74d23bb710c00662ad1470198ac48c43f7d6f93a2a2687392040000";

class GenRawTxDriver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/tv-rawtx-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return;
    dir_ = new fs::path(made);
    fs::copy_file(fs::canonical(fs::path(TV_OUT_DIR) / "libtolvaris.so"), *dir_ / "libtolvaris.so.1");
    fs::copy_file(fs::path(TV_OUT_DIR) / "quenmod-btc.so", *dir_ / "quenmod-btc.so");
#if defined(__SANITIZE_ADDRESS__)
    // Under the sanitizer a bare name misses the copy's run path: load the
    // add-on by path first, so the bare name finds it by its soname.
    if (dlopen((*dir_ / "quenmod-btc.so").c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) return;
#endif
    void* lib = dlopen((*dir_ / "libtolvaris.so.1").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) return;
    genRawTx_ = reinterpret_cast<GenRawTxFn>(dlsym(lib, "GenRawTx"));
    runModule_ = reinterpret_cast<RunModuleFn>(dlsym(lib, "RunModule"));
    freeMem_ = reinterpret_cast<FreeMemFn>(dlsym(lib, "FreeMem"));
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    if (dir_ != nullptr) fs::remove_all(*dir_, ec);
    delete dir_;
  }
  void SetUp() override {
    ASSERT_NE(genRawTx_, nullptr) << dlerror();
    ASSERT_NE(runModule_, nullptr);
    ASSERT_NE(freeMem_, nullptr);
  }

  struct Out {
    int rc;
    uint32_t isText;
    std::string bytes;
  };
  static Out Raw(uint32_t code, const std::string& txinfo) {
    std::string buf(4096, '\0');
    uint32_t len = static_cast<uint32_t>(buf.size()), isText = 7;
    const int rc = genRawTx_(code, txinfo.c_str(), &isText, reinterpret_cast<unsigned char*>(buf.data()), &len);
    return Out{rc, isText, buf.substr(0, rc == 0 ? len : 0)};
  }
  // "rawtx" of the "GenTx" request through RunModule.
  static std::string GenTx(const std::string& network, const std::string& txinfo) {
    const std::string request = R"({"action":"GenTx","addon":"btc","args":{"network":")" + network +
                                R"(","txinfo":)" + txinfo + "}}";
    char* out = nullptr;
    runModule_(request.c_str(), &out);
    const Json::Value reply = tvt::ParseJson(out == nullptr ? "" : out);
    freeMem_(out);
    return reply["return"]["rawtx"].asString();
  }

  static fs::path* dir_;
  static GenRawTxFn genRawTx_;
  static RunModuleFn runModule_;
  static FreeMemFn freeMem_;
};
fs::path* GenRawTxDriver::dir_ = nullptr;
GenRawTxFn GenRawTxDriver::genRawTx_ = nullptr;
RunModuleFn GenRawTxDriver::runModule_ = nullptr;
FreeMemFn GenRawTxDriver::freeMem_ = nullptr;

std::string ReplaceFirst(std::string text, const std::string& what, const std::string& with) {
  const size_t at = text.find(what);
  EXPECT_NE(at, std::string::npos) << what;
  return at == std::string::npos ? text : text.replace(at, what.size(), with);
}

TEST_F(GenRawTxDriver, ReturnsTheBytesOfGenTxOnBothNetworks) {
  struct Case {
    uint32_t code;
    const char* network;
  };
  for (const Case& c : {Case{0, "main"}, Case{0x0F000000, "test"}}) {
    const Out o = Raw(c.code, kTxInfo);
    ASSERT_EQ(o.rc, 0) << o.bytes;
    EXPECT_EQ(o.isText, 0u);
    EXPECT_EQ(tvt::Hex(tvt::FromText(o.bytes)), kSigned);
    EXPECT_EQ(GenTx(c.network, kTxInfo), std::string("0x") + kSigned);
  }
}

TEST_F(GenRawTxDriver, RefusedTransactionWritesNothing) {
  // A wallet without its private key cannot be signed in one step.
  const Out o = Raw(0, R"({"input":[{"wallet":{"pub":"0x02"}}],"output":[]})");
  EXPECT_EQ(o.rc, 1);
  EXPECT_EQ(o.isText, 7u);
  // Other coin codes are not served.
  EXPECT_EQ(Raw(2, kTxInfo).rc, 1);
  EXPECT_EQ(Raw(0x0F000002, kTxInfo).rc, 1);
  // What no node accepts: an amount beyond the money supply, an outpoint
  // spent twice. Outputs that add up to the supply itself are taken.
  const std::string tx = kTxInfo;
  const std::string input = tx.substr(tx.find("{\"prehex\""), tx.find("}}]") + 2 - tx.find("{\"prehex\""));
  struct Case {
    std::string txinfo;
    int rc;
  };
  const Case cases[] = {
      {ReplaceFirst(tx, "\"199996600\"", "\"2099999200000000\""), 0},
      {ReplaceFirst(tx, "\"199996600\"", "\"2100000000000001\""), 1},
      {ReplaceFirst(tx, "\"1000000000\"", "\"18446744073709551615\""), 1},
      {ReplaceFirst(tx, input, input + "," + input), 1},
  };
  for (const Case& c : cases) {
    const Out out = Raw(0, c.txinfo);
    EXPECT_EQ(out.rc, c.rc) << c.txinfo;
    EXPECT_EQ(out.bytes.empty(), c.rc != 0);
  }
}

}  // namespace
