// The curve exports share one curve object per curve across the process.
// Eight threads start on them at the same moment (so they also race to build
// the shared objects) and must each get what a single thread gets afterwards.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "tolvaris/bcm_hd.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;

using Out = std::vector<uint8_t>;

// Public key, signature (verified) and child keys of one key on one curve,
// as bytes; a failed call gives a short marker instead.
Out Work(uint32_t curve, int round) {
  uint8_t priv[32], chain[32], hash[32];
  for (int i = 0; i < 32; ++i) {
    priv[i] = static_cast<uint8_t>(0x11 * i + round + 1);
    chain[i] = static_cast<uint8_t>(0x5a ^ i);
    hash[i] = static_cast<uint8_t>(round * 7 + i);
  }
  Out out;
  auto put = [&out](const uint8_t* p, int n) { out.insert(out.end(), p, p + n); };
  uint8_t pub[33], R[33], S[33], cpri[32], cpub[33], cchain[32];
  int pl = 33, rl = 33, sl = 33;
  uint32_t recid = 0;
  if (BCMGenPubkeyFromPriKey(curve, priv, 32, pub, &pl) != 0) return Out{0xee};
  put(pub, pl);
  if (BCMGenSignature(curve, priv, 32, 0, hash, 32, 0, R, &rl, S, &sl, &recid) != 0) return Out{0xee, 1};
  put(R, rl);
  put(S, sl);
  out.push_back(static_cast<uint8_t>(recid));
  if (BCMVerifySignature(curve, pub, pl, R, rl, S, sl, 0, hash, 32) != 0) return Out{0xee, 4};
  int l1 = 32, l2 = 33, l3 = 32;
  if (BCMGenCKD(curve, priv, 32, pub, 33, chain, 32, round, cpri, &l1, cpub, &l2, cchain, &l3) != 0)
    return Out{0xee, 2};
  put(cpri, l1);
  put(cpub, l2);
  l2 = 33;
  l3 = 32;
  if (BCMGenCKDPub(curve, pub, 33, chain, 32, round, cpub, &l2, cchain, &l3) != 0) return Out{0xee, 3};
  put(cpub, l2);
  return out;
}

TEST(CurveThreads, SharedCurvesGiveEveryThreadTheSingleThreadResults) {
  std::vector<std::array<Out, kRounds * 2>> got(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &got, &ready] {
      ++ready;
      while (ready.load() < kThreads) {
      }
      for (int r = 0; r < kRounds; ++r) {
        // Half the threads start on the other curve.
        for (uint32_t c = 0; c < 2; ++c) {
          const uint32_t curve = (c + static_cast<uint32_t>(t)) % 2;
          got[t][2 * r + curve] = Work(curve, r);
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int r = 0; r < kRounds; ++r) {
    for (uint32_t curve = 0; curve < 2; ++curve) {
      const Out want = Work(curve, r);
      ASSERT_GT(want.size(), 2u);
      for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[t][2 * r + curve], want) << "thread " << t << " round " << r;
    }
  }
}

}  // namespace
