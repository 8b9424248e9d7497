// "GenTx" of AMO reads the wallet's private key several times on its way (the
// signing data, the signature, the signed text). No copy of the description
// or of the key may go back to the heap readable: this program watches every
// block freed during the action for the key, as text and as bytes. (The
// entry's own parsing and reply writing are left out: jsoncpp's reader and
// writer keep temporaries of their own.)
#include <execinfo.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "amo/entry.h"
#include "common/json_io.h"
#include "tv_test.h"

#if !defined(__SANITIZE_ADDRESS__)
extern "C" void __libc_free(void* p);

namespace {

bool g_watch = false;
int g_found = 0;
const char* const kKeyText = "1f2e3d4c5b6a79880706050403020100";
const unsigned char kKeyBytes[] = {0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a, 0x79, 0x88};

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

TEST(AmoKeyWipe, GenTxLeavesNoKeyInFreedMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer owns free()";
#else
  for (const char* algo : {"secp256r1", "ED25519"}) {
    const std::string text = std::string(R"({"txinfo":{"type":"transfer","payload":{"to":"ab12","amount":"7"},
      "fee":"10","last_height":"0x64","wallet":{"algo":")") + algo + R"(","pri":"0x)" + kKeyText +
                             R"(f0e1d2c3b4a5968778695a4b3c2d1e0f"}}})";
    for (int round = 0; round < 2; ++round) {  // the first round makes one-time allocations
      Json::Value args = tvt::ParseJson(text);
      g_found = 0;
      g_watch = round == 1;
      const int rc = amo::GenTx_AMO(args);
      g_watch = false;
      EXPECT_EQ(rc, 0) << algo;
      EXPECT_FALSE(args["tx"].asString().empty()) << algo;
      WipeJson(args);
    }
    EXPECT_EQ(g_found, 0) << algo;
  }
#endif
}

}  // namespace
