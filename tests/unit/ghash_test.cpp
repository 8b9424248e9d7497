// GHASH: the carry-less multiplication paths (VPCLMULQDQ with sixteen blocks
// per reduction on 512- or 256-bit vectors, PCLMULQDQ with eight, and the
// portable one) against a bit-at-a-time model of the field multiplication,
// on random keys and runs that cross the groups, fed in one call or in
// pieces; and which path each processor class takes.
#include "crypto/aes/ghash.h"

#include <gtest/gtest.h>

#include "cpu_paths_testing.h"
#include "crypto/cpu_features.h"
#include "ghash_testing.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

// Y = (Y ^ X) * H.
void ModelBlock(unsigned char* y, const unsigned char* x, const unsigned char* h) {
  for (int i = 0; i < 16; ++i) y[i] ^= x[i];
  ghst::Mul(y, y, h);
}

Bytes Model(const Bytes& h, const Bytes& data) {
  Bytes y(16, 0);
  for (size_t i = 0; i + 16 <= data.size(); i += 16) ModelBlock(y.data(), data.data() + i, h.data());
  return y;
}

}  // namespace

TEST(Ghash, EveryPathMatchesTheBitSerialModel) {
  cput::OnEveryAesPath([] {
    tvt::TestRng rng(38);
    // Up to 40 blocks: runs of sixteen and of eight with every shorter rest
    // after them.
    for (size_t blocks = 0; blocks <= 40; ++blocks) {
      for (int k = 0; k < 5; ++k) {
        Bytes h = rng.RandBytes(16);
        if (k == 0) h.assign(16, 0xFF);  // every bit of H set
        // H = 1: only the coefficient of x^0, the bit that H * x^-1 shifts out.
        if (k == 1) h = Unhex("80000000000000000000000000000000");
        const Bytes data = rng.RandBytes(16 * blocks + 1);
        const Bytes expect = Model(h, data);
        NXVT_GHASH g;
        NXVT_GHash_Init(&g, h.data());
        NXVT_GHash_Blocks(&g, data.data() + 1, 0);
        NXVT_GHash_Blocks(&g, data.data(), blocks);
        ASSERT_EQ(Hex(g.y, 16), Hex(expect)) << blocks << " blocks in one call";

        // The same run in pieces of 1..20 blocks from an unaligned address.
        Bytes shifted(data.begin(), data.end() - 1);
        shifted.insert(shifted.begin(), 0);
        NXVT_GHash_Init(&g, h.data());
        for (size_t done = 0; done < blocks;) {
          const size_t n = std::min<size_t>(blocks - done, 1 + rng.Below(20));
          NXVT_GHash_Blocks(&g, shifted.data() + 1 + 16 * done, n);
          done += n;
        }
        ASSERT_EQ(Hex(g.y, 16), Hex(expect)) << blocks << " blocks in pieces";
        NXVT_GHash_Wipe(&g);
      }
    }
  });
}

TEST(Ghash, PaddedZeroFillsThePartialBlock) {
  cput::OnEveryAesPath([] {
    const Bytes h = Unhex("66e94bd4ef8a2c3b884cfa59ca342b2e");
    const Bytes data = Unhex("0388dace60b6a392f328c2b971b2fe78aa");
    Bytes padded = data;
    padded.resize(32, 0);
    NXVT_GHASH g;
    NXVT_GHash_Init(&g, h.data());
    NXVT_GHash_Padded(&g, data.data(), data.size());
    EXPECT_EQ(Hex(g.y, 16), Hex(Model(h, padded)));
    NXVT_GHash_Wipe(&g);
  });
}

// A switch that hid the vector path from GHASH would leave the tests above
// passing on the PCLMULQDQ code; each class must reach its own path.
TEST(Ghash, EachProcessorClassTakesItsPath) {
  const NXVT_CPU_FEATURES cpu = NXVT_CpuFeatures();
  const uint8_t scalar = cpu.pclmul ? uint8_t{kGhashClmul} : uint8_t{kGhashPortable};
  const uint8_t vector256 = cpu.vpclmul ? uint8_t{kGhashVector256} : scalar;
  struct Case {
    const char* name;
    void (*force)(bool);
    uint8_t path;
  };
  const Case cases[] = {
      {"dispatched", nullptr, cpu.vaes512 ? uint8_t{kGhashVector} : vector256},
      {"without AVX-512", NXVT_ForceNoAvx512ForTest, vector256},
      {"without vector AES", NXVT_ForceNoVectorAesForTest, scalar},
      {"AES-NI and AVX2", NXVT_ForceAesNiAvx2ForTest, scalar},
      {"AES-NI before AVX2", NXVT_ForceAesNiSseForTest, scalar},
  };
  const Bytes h(16, 0x5A);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.force != nullptr) c.force(true);
    NXVT_GHASH g;
    NXVT_GHash_Init(&g, h.data());
    EXPECT_EQ(g.path, c.path);
    NXVT_GHash_Wipe(&g);
    if (c.force != nullptr) c.force(false);
  }
}
