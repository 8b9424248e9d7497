// "GenTx" holds private keys in many places on its way (copies of the
// description, the prepared inputs, the key buffer of the signer). None of
// them may go back to the heap readable: this program watches every block
// freed during the action for the key, as text and as bytes. (The entry's
// own parsing and reply writing are left out: jsoncpp's reader and writer
// keep temporaries of their own.)
#include <dlfcn.h>
#include <execinfo.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "btc/tx_actions.h"
#include "common/json_io.h"
#include "tv_test.h"

#if !defined(__SANITIZE_ADDRESS__)
extern "C" void __libc_free(void* p);

namespace {

bool g_watch = false;
int g_found = 0;
const char* const kKeyText = "eb696a065ef48a2192da5b28b694f875";
const unsigned char kKeyBytes[] = {0xeb, 0x69, 0x6a, 0x06, 0x5e, 0xf4, 0x8a, 0x21};

void Check(void* p) {
  const size_t n = malloc_usable_size(p);
  if (memmem(p, n, kKeyText, std::strlen(kKeyText)) == nullptr &&
      memmem(p, n, kKeyBytes, sizeof kKeyBytes) == nullptr)
    return;
  ++g_found;
  g_watch = false;  // no watching while reporting
  void* frames[16];
  const int depth = backtrace(frames, 16);
  std::fprintf(stderr, "a freed block holds the key:\n");
  backtrace_symbols_fd(frames, depth, 2);
  g_watch = true;
}

}  // namespace

// Every free of the process passes here (the sanitizer build keeps its own).
extern "C" void free(void* p) {
  if (p != nullptr && g_watch) Check(p);
  __libc_free(p);
}
#endif

namespace {

TEST(BtcKeyWipe, GenTxLeavesNoKeyInFreedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer owns free()";
#else
  const std::string text = std::string(R"({"coin":"btc","txinfo":{
    "locktime":"0x92040000",
    "input":[{"prehex":"0x77541aeb3c4dac9260b68f74f44c973081a9d4cb2ebe8038b2d70faa201b6bdb","preidx":"1",
              "prevalue":"1000000000","sequence":"0xfeffffff",
              "prespub":"0xa9144733f37cf4db86fbc2efed2500b4f4e49f31202387",
              "wallet":{"pri":"0x)") + kKeyText + R"(44b30fae8327c4510137a922f32c6dcf"}}],
    "output":[{"dest":"1Fyxts6r24DpEieygQiNnWxUdb18ANa5p7","value":"199996600"},
              {"dest":"1Q5YjKVj5yQWHBBsyEBamkfph3cA6G9KK8","value":"800000000"}]}})";
  for (int round = 0; round < 2; ++round) {  // the first round makes one-time allocations
    Json::Value args = tvt::ParseJson(text);
    g_found = 0;
    g_watch = round == 1;
    const int rc = GenTx_BTC(args, "btc");
    g_watch = false;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(args["rawtx"].asString().size(), 2u + 2 * 251);  // the signed transaction
    WipeJson(args);
  }
  EXPECT_EQ(g_found, 0);
#endif
}

}  // namespace
