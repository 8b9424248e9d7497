// The 51-bit-limb Ed25519 multiplications against the 32-bit ladders of
// ed25519.h, which stay as the reference: [s]B for edge and random scalars,
// [a]B - [b]P for random, small-order and base points, and the decoder's
// verdicts on valid and invalid encodings.
#include "crypto/ed25519/ed25519_mult.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/ed25519/ed25519.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Hex;
using tvt::Unhex;

// Little-endian scalars at the edges of the 4-bit windows and of L.
std::vector<Bytes> EdgeScalars(tvt::TestRng& rng, int randoms) {
  std::vector<Bytes> v = {
      Unhex("0000000000000000000000000000000000000000000000000000000000000000"),
      Unhex("0100000000000000000000000000000000000000000000000000000000000000"),
      Unhex("0f00000000000000000000000000000000000000000000000000000000000000"),
      Unhex("1000000000000000000000000000000000000000000000000000000000000000"),
      Unhex("ecd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"),  // L - 1
      Unhex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"),  // L
      Unhex("eed3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010"),  // L + 1
      Unhex("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
      Unhex("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"),  // bit 255 set
      Unhex("f8ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),  // clamped maximum
      Unhex("0000000000000000000000000000000000000000000000000000000000000040"),  // clamped minimum
      // Runs of ones that make the signed recodings carry across 64-bit
      // words and into bit 256.
      Unhex("ffffffffffffffff000000000000000000000000000000000000000000000000"),
      Unhex("00000000000000c0ffffffffffffff7f00000000000000000000000000000000"),
      Unhex("0000000000000000000000000000000000000000000000f8ffffffffffffffff"),
      Unhex("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
      Unhex("0000000000000000000000000000000000000000000000000000000000000080"),  // 2^255
      Unhex("f0000000000000f000000000000000f000000000000000f0000000000000f0c0"),
  };
  for (int i = 0; i < randoms; ++i) {
    Bytes s = rng.RandBytes(32);
    if (i % 2 == 0) {
      s[0] &= 248;
      s[31] = static_cast<unsigned char>((s[31] & 63) | 64);
    }
    v.push_back(s);
  }
  return v;
}

std::string RefBase(const Bytes& s) {
  NXVT_ED_POINT p;
  NXVT_Ed25519_ScalarMultBase(&p, s.data());
  unsigned char out[32];
  NXVT_Ed25519_PointEncode(out, &p);
  return Hex(out, 32);
}

// [a]B - [b]P by the reference, or "bad" when P does not decode.
std::string RefDouble(const Bytes& a, const Bytes& b, const Bytes& pEnc) {
  NXVT_ED_POINT P, aB, bP;
  if (NXVT_Ed25519_PointDecode(&P, pEnc.data()) != 0) return "bad";
  NXVT_Ed25519_PointNeg(&P, &P);
  NXVT_Ed25519_ScalarMultBase(&aB, a.data());
  NXVT_Ed25519_ScalarMult(&bP, b.data(), &P);
  NXVT_Ed25519_PointAdd(&aB, &aB, &bP);
  unsigned char out[32];
  NXVT_Ed25519_PointEncode(out, &aB);
  return Hex(out, 32);
}

std::string Double(const Bytes& a, const Bytes& b, const Bytes& pEnc) {
  unsigned char out[32];
  if (!Ed25519_DoubleMulEncodeVartime(out, a.data(), b.data(), pEnc.data())) return "bad";
  return Hex(out, 32);
}

TEST(Ed25519Mult, BaseMultiplesMatchTheReference) {
  tvt::TestRng rng(0xED51);
  for (const Bytes& s : EdgeScalars(rng, 40)) {
    unsigned char out[32];
    Ed25519_MulBaseEncode(out, s.data());
    EXPECT_EQ(Hex(out, 32), RefBase(s)) << Hex(s);
  }
}

// Two multiples sharing one inversion equal two separate ones, in both
// orders and for equal scalars.
TEST(Ed25519Mult, PairedBaseMultiplesMatchSingleOnes) {
  tvt::TestRng rng(0x9A12);
  const std::vector<Bytes> scalars = EdgeScalars(rng, 6);
  for (size_t i = 0; i < scalars.size(); ++i) {
    const Bytes& a = scalars[i];
    const Bytes& b = scalars[(i * 7 + 3) % scalars.size()];
    for (const Bytes* second : {&b, &a}) {
      unsigned char one[32], two[32], sa[32], sb[32];
      Ed25519_MulBaseEncode2(one, a.data(), two, second->data());
      Ed25519_MulBaseEncode(sa, a.data());
      Ed25519_MulBaseEncode(sb, second->data());
      EXPECT_EQ(Hex(one, 32), Hex(sa, 32)) << Hex(a);
      EXPECT_EQ(Hex(two, 32), Hex(sb, 32)) << Hex(*second);
    }
  }
}

TEST(Ed25519Mult, DoubleMultiplicationMatchesTheReference) {
  tvt::TestRng rng(0xD0B1);
  std::vector<Bytes> points = {
      Unhex("5866666666666666666666666666666666666666666666666666666666666666"),  // B
      Unhex("0100000000000000000000000000000000000000000000000000000000000000"),  // neutral
      Unhex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),  // order 2
      Unhex("0000000000000000000000000000000000000000000000000000000000000000"),  // order 4
      Unhex("0000000000000000000000000000000000000000000000000000000000000080"),  // order 4, other sign
  };
  for (int i = 0; i < 4; ++i) {
    Bytes pk(32);
    ASSERT_EQ(NXVT_Ed25519_GetPub(rng.RandBytes(32).data(), pk.data()), 0);
    points.push_back(pk);
  }
  const std::vector<Bytes> scalars = EdgeScalars(rng, 4);
  for (const Bytes& p : points) {
    for (size_t i = 0; i < scalars.size(); ++i) {
      const Bytes& a = scalars[i];
      const Bytes& b = scalars[(i * 5 + 2) % scalars.size()];
      EXPECT_EQ(Double(a, b, p), RefDouble(a, b, p)) << Hex(p) << " a=" << Hex(a) << " b=" << Hex(b);
    }
  }
  // Random scalars of full width against random keys.
  for (int i = 0; i < 60; ++i) {
    Bytes pk(32);
    ASSERT_EQ(NXVT_Ed25519_GetPub(rng.RandBytes(32).data(), pk.data()), 0);
    const Bytes a = rng.RandBytes(32), b = rng.RandBytes(32);
    EXPECT_EQ(Double(a, b, pk), RefDouble(a, b, pk)) << Hex(pk) << " a=" << Hex(a) << " b=" << Hex(b);
  }
  // [s]B - [s]B is the neutral element.
  const Bytes s = scalars.back();
  EXPECT_EQ(Double(s, s, points[0]), Hex(points[1]));
}

// The decoder inside the verification takes and refuses exactly what the
// reference decoder does.
TEST(Ed25519Mult, DecodingAgreesWithTheReference) {
  std::vector<Bytes> encs = {
      Unhex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),  // y = p
      Unhex("eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),  // y = p + 1
      Unhex("ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),  // y = 2^255 - 1
      Unhex("0100000000000000000000000000000000000000000000000000000000000080"),  // x = 0, sign bit
      Unhex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"),  // y = -1, sign bit
      Unhex("0200000000000000000000000000000000000000000000000000000000000000"),  // y = 2: no x
  };
  tvt::TestRng rng(0xDEC0);
  for (int i = 0; i < 60; ++i) encs.push_back(rng.RandBytes(32));
  const Bytes one = Unhex("0100000000000000000000000000000000000000000000000000000000000000");
  int valid = 0;
  for (const Bytes& e : encs) {
    const std::string want = RefDouble(one, one, e);
    EXPECT_EQ(Double(one, one, e), want) << Hex(e);
    valid += want != "bad";
  }
  // Random strings decode about half the time: both outcomes were exercised.
  EXPECT_GT(valid, 10);
  EXPECT_LT(valid, 60);
}

}  // namespace
