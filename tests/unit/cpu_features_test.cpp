// The processor-extension switch: forcing the portable path masks every
// extension, and lifting it restores what the processor reported.
#include "crypto/cpu_features.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cpu_paths_testing.h"

TEST(CpuFeatures, ForcingThePortablePathMasksEveryExtension) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  std::printf("sse2 %d aesni %d pclmul %d shani %d avx2 %d ssse3 %d\n", before.sse2, before.aesni, before.pclmul,
              before.shani, before.avx2, before.ssse3);
  {
    cput::ForcedPath portable(true);
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.sse2 || f.aesni || f.pclmul || f.shani || f.avx2 || f.ssse3);
  }
  const NXVT_CPU_FEATURES after = NXVT_CpuFeatures();
  EXPECT_EQ(after.aesni, before.aesni);
  EXPECT_EQ(after.pclmul, before.pclmul);
  EXPECT_EQ(after.shani, before.shani);
  EXPECT_EQ(after.avx2, before.avx2);
  EXPECT_EQ(after.ssse3, before.ssse3);
  EXPECT_EQ(after.sse2, before.sse2);
}

TEST(CpuFeatures, ForcingSsse3OnlyKeepsTheByteShufflesAlone) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  {
    cput::ForcedSsse3Only ssse3;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.aesni || f.pclmul || f.shani || f.avx2);
    EXPECT_EQ(f.ssse3, before.ssse3);
    EXPECT_EQ(f.sse2, before.sse2);
  }
  EXPECT_EQ(NXVT_CpuFeatures().aesni, before.aesni);
}
