// "GenTx" of AMO reads the wallet's private key several times on its way (the
// signing data, the signature, the signed text). No copy of the description
// or of the key may go back to the heap readable: this program watches every
// block freed during the action for the key, as text and as bytes. (The
// entry's own parsing and reply writing are left out: jsoncpp's reader and
// writer keep temporaries of their own.)
#include <gtest/gtest.h>

#include <string>

#include "amo/entry.h"
#include "common/json_io.h"
#include "freed_key_watch.h"
#include "tv_test.h"

namespace {

const char* const kKeyText = "1f2e3d4c5b6a79880706050403020100";
const unsigned char kKeyBytes[] = {0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a, 0x79, 0x88};

TEST(AmoKeyWipe, GenTxLeavesNoKeyInFreedMemory) {
  if (!tvt::kFreedKeyWatchBuilt) GTEST_SKIP() << "the sanitizer owns free()";
  tvt::FreedKeyWatch& watch = tvt::freedKeyWatch;
  watch.keyText = kKeyText;
  watch.keyBytes = kKeyBytes;
  watch.keyBytesLen = sizeof kKeyBytes;
  for (const char* algo : {"secp256r1", "ED25519"}) {
    const std::string text = std::string(R"({"txinfo":{"type":"transfer","payload":{"to":"ab12","amount":"7"},
      "fee":"10","last_height":"0x64","wallet":{"algo":")") + algo + R"(","pri":"0x)" + kKeyText +
                             R"(f0e1d2c3b4a5968778695a4b3c2d1e0f"}}})";
    for (int round = 0; round < 2; ++round) {  // the first round makes one-time allocations
      Json::Value args = tvt::ParseJson(text);
      watch.found = 0;
      watch.on = round == 1;
      const int rc = amo::GenTx_AMO(args);
      watch.on = false;
      EXPECT_EQ(rc, 0) << algo;
      EXPECT_FALSE(args["tx"].asString().empty()) << algo;
      WipeJson(args);
    }
    EXPECT_EQ(watch.found, 0) << algo;
  }
}

}  // namespace
