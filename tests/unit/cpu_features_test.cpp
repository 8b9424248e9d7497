// The processor-extension switches: forcing the portable path masks every
// extension, the others mask theirs alone, and lifting a switch restores
// what the processor reported.
#include "crypto/cpu_features.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "cpu_paths_testing.h"

namespace {

// Every extension of `a` as in `b`, AVX-512 (with the 512-bit vector AES),
// the vector AES and AVX2 included or not.
void ExpectSameExtensions(const NXVT_CPU_FEATURES& a, const NXVT_CPU_FEATURES& b, bool withAvx512,
                          bool withVectorAes = true, bool withAvx2 = true) {
  EXPECT_EQ(a.sse2, b.sse2);
  EXPECT_EQ(a.aesni, b.aesni);
  EXPECT_EQ(a.pclmul, b.pclmul);
  EXPECT_EQ(a.shani, b.shani);
  if (withAvx2) {
    EXPECT_EQ(a.avx2, b.avx2);
  }
  EXPECT_EQ(a.ssse3, b.ssse3);
  EXPECT_EQ(a.mulx, b.mulx);
  EXPECT_EQ(a.bmi2, b.bmi2);
  if (withVectorAes) {
    EXPECT_EQ(a.vaes, b.vaes);
    EXPECT_EQ(a.vpclmul, b.vpclmul);
  }
  if (withAvx512) {
    EXPECT_EQ(a.avx512, b.avx512);
    if (withVectorAes) {
      EXPECT_EQ(a.vaes512, b.vaes512);
    }
  }
}

}  // namespace

TEST(CpuFeatures, ForcingThePortablePathMasksEveryExtension) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  std::printf("sse2 %d aesni %d pclmul %d shani %d avx2 %d ssse3 %d\n", before.sse2, before.aesni, before.pclmul,
              before.shani, before.avx2, before.ssse3);
  std::printf("bmi2 %d avx512 %d\n", before.bmi2, before.avx512);
  std::printf("vaes %d vpclmul %d vaes512 %d\n", before.vaes, before.vpclmul, before.vaes512);
  {
    cput::ForcedPath portable(true);
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.sse2 || f.aesni || f.pclmul || f.shani || f.avx2 || f.ssse3);
    EXPECT_FALSE(f.mulx || f.bmi2 || f.avx512);
    EXPECT_FALSE(f.vaes || f.vpclmul || f.vaes512);
  }
  ExpectSameExtensions(NXVT_CpuFeatures(), before, true);
}

TEST(CpuFeatures, ForcingSsse3OnlyKeepsTheByteShufflesAlone) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  {
    cput::ForcedSsse3Only ssse3;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.aesni || f.pclmul || f.shani || f.avx2 || f.bmi2 || f.avx512);
    EXPECT_FALSE(f.vaes || f.vpclmul || f.vaes512);
    EXPECT_EQ(f.ssse3, before.ssse3);
    EXPECT_EQ(f.sse2, before.sse2);
  }
  EXPECT_EQ(NXVT_CpuFeatures().aesni, before.aesni);
}

// Without AVX-512 every other extension stays as the processor has it, as
// on a processor with AVX2 alone; AVX-512 is never reported without AVX2,
// and the 512-bit vector AES goes with it.
TEST(CpuFeatures, ForcingNoAvx512KeepsEverythingElse) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  EXPECT_TRUE(!before.avx512 || before.avx2);
  {
    cput::ForcedNoAvx512 noAvx512;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.avx512 || f.vaes512);
    ExpectSameExtensions(f, before, false);
  }
  ExpectSameExtensions(NXVT_CpuFeatures(), before, true);
}

TEST(CpuFeatures, HidingVectorAesKeepsTheRest) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  {
    cput::ForcedNoVectorAes scalar;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.vaes || f.vpclmul || f.vaes512);
    ExpectSameExtensions(f, before, true, false);
  }
  ExpectSameExtensions(NXVT_CpuFeatures(), before, true);
}

TEST(CpuFeatures, AesNiWithAvx2HidesAvx512AndVectorAesTogether) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  {
    cput::ForcedAesNiAvx2 older;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.avx512 || f.vaes || f.vpclmul || f.vaes512);
    ExpectSameExtensions(f, before, false, false);
  }
  ExpectSameExtensions(NXVT_CpuFeatures(), before, true);
}

TEST(CpuFeatures, AesNiWithoutAvx2HidesEveryVectorExtensionFromAvx2On) {
  const NXVT_CPU_FEATURES before = NXVT_CpuFeatures();
  {
    cput::ForcedAesNiSse older;
    const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
    EXPECT_FALSE(f.avx2 || f.avx512 || f.vaes || f.vpclmul || f.vaes512);
    ExpectSameExtensions(f, before, false, false, false);
  }
  ExpectSameExtensions(NXVT_CpuFeatures(), before, true);
}
