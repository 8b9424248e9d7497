// The error trail is per thread: eight threads failing and succeeding at
// once each read back their own call's text, every time.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/unprefixed.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 3000;

// One thread's work: a digest into a buffer one byte short for its own
// capacity (its own message), a successful digest (an empty trail), and a
// Base64 decode of text that is not Base64 (another export's trail), each
// read back at once.
int RunThread(int t) {
  const unsigned char msg[64] = {static_cast<unsigned char>(t)};
  unsigned char out[64];
  int mismatches = 0;
  const int cap = 10 + t;
  const std::string own = "[BCMGenHashMessage][BCMGenHashMessage:483][(buffer size[" + std::to_string(cap) +
                          "] is lower than [32])]";
  for (int i = 0; i < kRounds; ++i) {
    int len = cap;
    if (BCMGenHashMessage(1, msg, sizeof msg, out, &len) != 483 || own != BCMGetLastErr()) ++mismatches;
    len = 64;
    if (BCMGenHashMessage(1, msg, sizeof msg, out, &len) != 0 ||
        std::string(BCMGetLastErr()) != "[BCMGenHashMessage][][]")
      ++mismatches;
    uint32_t decLen = sizeof out;
    if (BCMGenBase64Decode(t % 2 ? "*" : "@@", out, &decLen) == 0 ||
        std::string(GetVorlekLastErr()).rfind("[BCMGenBase64Decode][", 0) != 0)
      ++mismatches;
  }
  return mismatches;
}

TEST(TrailThreads, EachThreadReadsItsOwnTrail) {
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([t, &mismatches] { mismatches += RunThread(t); });
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

// A thread's trail is not touched by another thread's calls.
TEST(TrailThreads, OtherThreadsLeaveItAlone) {
  unsigned char out[64] = {0};
  int len = 3;
  ASSERT_EQ(BCMGenHashMessage(2, out, 1, out, &len), 483);
  const std::string mine = BCMGetLastErr();
  std::thread other([] {
    unsigned char buf[64] = {0};
    int l = 64;
    EXPECT_EQ(BCMGenHashMessage(1, buf, 1, buf, &l), 0);
    EXPECT_EQ(std::string(BCMGetLastErr()), "[BCMGenHashMessage][][]");
  });
  other.join();
  EXPECT_EQ(std::string(BCMGetLastErr()), mine);
}

}  // namespace
