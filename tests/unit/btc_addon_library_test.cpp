// The built quenmod-btc.so next to a copy of libtolvaris.so: what it exports,
// and the core's roads to it (RunModule with AddModule, and the unprefixed
// GenAddr driver for the Bitcoin main and test networks).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "command/json_check.h"
#include "tv_test.h"

namespace {

namespace fs = std::filesystem;

using RunModuleFn = int (*)(const char*, char**);
using FreeMemFn = int (*)(char*);
using GenAddrFn = int (*)(uint32_t, const char*, unsigned char*, uint32_t*);

const std::string kG = "0279BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798";

// A fresh folder holding libtolvaris.so.1 and quenmod-btc.so, loaded.
struct Library {
  fs::path dir;
  void* handle = nullptr;
  RunModuleFn runModule = nullptr;
  FreeMemFn freeMem = nullptr;
  GenAddrFn genAddr = nullptr;

  Library() {
    char pattern[] = "/tmp/tv-btclib-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return;
    dir = made;
    fs::copy_file(fs::canonical(fs::path(TV_OUT_DIR) / "libtolvaris.so"), dir / "libtolvaris.so.1");
    fs::copy_file(fs::path(TV_OUT_DIR) / "quenmod-btc.so", dir / "quenmod-btc.so");
#if defined(__SANITIZE_ADDRESS__)
    // Under the sanitizer a bare name misses the run path: load by path first,
    // so the core's bare-name load finds the add-on by its soname.
    if (dlopen((dir / "quenmod-btc.so").c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) return;
#endif
    handle = dlopen((dir / "libtolvaris.so.1").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return;
    runModule = reinterpret_cast<RunModuleFn>(dlsym(handle, "RunModule"));
    freeMem = reinterpret_cast<FreeMemFn>(dlsym(handle, "FreeMem"));
    genAddr = reinterpret_cast<GenAddrFn>(dlsym(handle, "GenAddr"));
  }
  ~Library() {
    std::error_code ec;
    if (!dir.empty()) fs::remove_all(dir, ec);
  }

  Json::Value Run(const std::string& request, int& rc) const {
    char* out = nullptr;
    rc = runModule(request.c_str(), &out);
    EXPECT_NE(out, nullptr);
    const std::string text = out != nullptr ? out : "";
    freeMem(out);
    EXPECT_TRUE(IsStrictJson(text)) << text;
    return tvt::ParseJson(text);
  }
};

Library& Lib() {
  static Library* lib = new Library();  // stays loaded, as add-ons do
  return *lib;
}

TEST(BtcAddonLibrary, ExportsOnlyItsEntryAndRelease) {
  FILE* p = popen(("nm -D --defined-only " + (fs::path(TV_OUT_DIR) / "quenmod-btc.so").string()).c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::set<std::string> names;
  char line[512];
  while (fgets(line, sizeof line, p) != nullptr) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    names.insert(s.substr(s.rfind(' ') + 1));
  }
  pclose(p);
  EXPECT_EQ(names, (std::set<std::string>{"FreeMem_BTC", "RunModule_BTC"}));
}

TEST(BtcAddonLibrary, AnswersThroughRunModule) {
  Library& lib = Lib();
  ASSERT_NE(lib.runModule, nullptr) << dlerror();
  int rc = -1;
  const Json::Value added = lib.Run(R"({"action":"AddModule","args":{"addon":"btc","libpath":")" +
                                        lib.dir.string() + R"("}})", rc);
  ASSERT_EQ(rc, 0) << added.toStyledString();

  Json::Value reply = lib.Run(R"({"action":"GenAddr","addon":"btc","args":{"coin":"ltc","addrinfo":{"pubs":[{"pub":"0x)" +
                                  kG + R"("}],"addr_type":"p2wpkh"}}})", rc);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(reply["result"].asString(), "success");
  EXPECT_EQ(reply["return"]["addr"].asString(), "ltc1qw508d6qejxtdg4y5r3zarvary0c5xw7kgmn4n9");

  reply = lib.Run(R"({"action":"GenAddr","addon":"btc","args":{"addrinfo":{"pubs":[{"pub":"0x05"}]}}})", rc);
  EXPECT_NE(rc, 0);
  EXPECT_EQ(reply["result"].asString(), "fail");
  const std::string msg = reply["return"]["error"]["err_msg"].asString();
  EXPECT_NE(msg.find("Addon(GetPubs:322[pub is invalid(size is not 33 , 65)]<=GenAddr_BTC:480[GetPubs Error]"
                     "<=RunModule_BTC:1845[GenAddr Error])"),
            std::string::npos)
      << msg;
}

TEST(BtcAddonLibrary, UnprefixedGenAddrForBothNetworks) {
  Library& lib = Lib();
  ASSERT_NE(lib.genAddr, nullptr) << dlerror();
  const struct {
    uint32_t code;
    std::string type;
    const char* addr;
  } cases[] = {
      {0, "p2pkh", "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH"},
      {0x0F000000, "p2pkh", "mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r"},
      {0, "p2wpkh", "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4"},
      {0x0F000000, "p2wpkh", "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx"},
  };
  for (const auto& c : cases) {
    const std::string info = R"({"pubs":[{"pub":"0x)" + kG + R"("}],"addr_type":")" + c.type + "\"}";
    unsigned char out[128] = {};
    uint32_t len = sizeof out;
    ASSERT_EQ(lib.genAddr(c.code, info.c_str(), out, &len), 0) << c.code;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), len), c.addr) << c.code << " " << c.type;
  }
  // Other coins are not served; a request the add-on refuses fails.
  const std::string info = R"({"pubs":[{"pub":"0x)" + kG + R"("}]})";
  unsigned char out[128];
  uint32_t len = sizeof out;
  EXPECT_EQ(lib.genAddr(4, info.c_str(), out, &len), 1);
  len = sizeof out;
  EXPECT_EQ(lib.genAddr(0, R"({"pubs":[{"pub":"0x02"}],"addr_type":"p2wpkh"})", out, &len), 1);
}

}  // namespace
