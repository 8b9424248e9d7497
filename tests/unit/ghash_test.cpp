// GHASH: the carry-less multiplication paths (VPCLMULQDQ with sixteen blocks
// per reduction, PCLMULQDQ with eight, and the portable one) against a
// bit-at-a-time model of the field multiplication, on random keys and runs
// that cross the groups, fed in one call or in pieces.
#include "crypto/aes/ghash.h"

#include <gtest/gtest.h>

#include "cpu_paths_testing.h"
#include "tv_test.h"

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

namespace {

// Y = (Y ^ X) * H with the right-shift algorithm of SP 800-38D.
void ModelBlock(unsigned char* y, const unsigned char* x, const unsigned char* h) {
  unsigned char z[16] = {0}, v[16], xy[16];
  memcpy(v, h, 16);
  for (int i = 0; i < 16; ++i) xy[i] = y[i] ^ x[i];
  for (int bit = 0; bit < 128; ++bit) {
    if ((xy[bit / 8] >> (7 - bit % 8)) & 1) {
      for (int i = 0; i < 16; ++i) z[i] ^= v[i];
    }
    const bool lsb = v[15] & 1;
    for (int i = 15; i > 0; --i) v[i] = static_cast<unsigned char>((v[i] >> 1) | (v[i - 1] << 7));
    v[0] >>= 1;
    if (lsb) v[0] ^= 0xE1;
  }
  memcpy(y, z, 16);
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
