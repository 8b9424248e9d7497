// "GenTx" holds private keys in many places on its way (copies of the
// description, the prepared inputs, the key buffer of the signer). None of
// them may go back to the heap readable: this program watches every block
// freed during the action for the key, as text and as bytes. (The entry's
// own parsing and reply writing are left out: jsoncpp's reader and writer
// keep temporaries of their own.)
#include <gtest/gtest.h>

#include <string>

#include "btc/tx_actions.h"
#include "common/json_io.h"
#include "freed_key_watch.h"
#include "tv_test.h"

namespace {

const char* const kKeyText = "eb696a065ef48a2192da5b28b694f875";
const unsigned char kKeyBytes[] = {0xeb, 0x69, 0x6a, 0x06, 0x5e, 0xf4, 0x8a, 0x21};

TEST(BtcKeyWipe, GenTxLeavesNoKeyInFreedMemory) {
  if (!tvt::kFreedKeyWatchBuilt) GTEST_SKIP() << "the sanitizer owns free()";
  tvt::FreedKeyWatch& watch = tvt::freedKeyWatch;
  watch.keyText = kKeyText;
  watch.keyBytes = kKeyBytes;
  watch.keyBytesLen = sizeof kKeyBytes;
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
    watch.found = 0;
    watch.on = round == 1;
    const int rc = GenTx_BTC(args, "btc");
    watch.on = false;
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(args["rawtx"].asString().size(), 2u + 2 * 251);  // the signed transaction
    WipeJson(args);
  }
  EXPECT_EQ(watch.found, 0);
}

}  // namespace
