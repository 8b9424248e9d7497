// Strict DER signatures: the shape test every given signature passes before
// it is used, the minimal encoder of the add-on's own signatures, and the
// low-S form that goes into script signatures.
#include <gtest/gtest.h>

#include <string>

#include "btc/der_signature.h"
#include "tv_test.h"

namespace {

using tvt::Bytes;
using tvt::Unhex;

// A 70-byte signature with 32-byte R and S, both top bits clear.
const std::string kR = "1111111111111111111111111111111111111111111111111111111111111111";
const std::string kS = "2222222222222222222222222222222222222222222222222222222222222222";
const std::string kGood = "3044" "0220" + kR + "0220" + kS;

TEST(BtcDerSignature, StrictShapeTable) {
  struct Case {
    std::string hex;
    bool strict;
    const char* why;
  };
  const Case cases[] = {
      {kGood, true, "plain 32-byte R and S"},
      {"3045" "022100" "8" + kR.substr(1) + "0220" + kS, true, "R with its needed 0x00"},
      {"3006" "020101" "020101", true, "shortest possible"},
      {"3043" "021f" + kR.substr(2) + "0220" + kS, true, "31-byte R"},
      {"3045" "022100" + kR + "0220" + kS, false, "R padded with a needless 0x00"},
      {"3044" "0220" "00" + kR.substr(2) + "0220" + kS, false, "R framed at 32 bytes with a leading zero"},
      {"3044" "0220" "8" + kR.substr(1) + "0220" + kS, false, "negative R"},
      {"3044" "0220" + kR + "0220" "8" + kS.substr(1), false, "negative S"},
      {"3144" "0220" + kR + "0220" + kS, false, "wrong sequence tag"},
      {"3044" "0320" + kR + "0220" + kS, false, "wrong R tag"},
      {"3044" "0220" + kR + "0320" + kS, false, "wrong S tag"},
      {"3045" "0220" + kR + "0220" + kS, false, "sequence length too long"},
      {"3044" "0221" + kR + "0220" + kS, false, "R length past its content"},
      {"3044" "0220" + kR + "021f" + kS, false, "S length short of the end"},
      {"3006" "0200" "020101", false, "empty R"},
      {"3006" "020101" "0200", false, "empty S"},
      {kGood + "01", false, "hash-type byte still attached"},
      {"", false, "empty"},
      {"3044", false, "header only"},
      {"3049" "0225" "00" + kR + "1111" + "0220" + kS, false, "needlessly padded long R"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsStrictDerSignature(Unhex(c.hex)), c.strict) << c.why;
    Bytes r, s;
    EXPECT_EQ(SplitDerSignature(Unhex(c.hex), r, s), c.strict) << c.why;
  }
  // 73 bytes and more are never strict, whatever they hold.
  const std::string r33 = "00" "8" + kR.substr(1);
  EXPECT_FALSE(IsStrictDerSignature(Unhex("3047" "0221" + r33 + "0222" "0000" + kS)));
}

TEST(BtcDerSignature, EncoderWritesMinimalIntegers) {
  struct Case {
    std::string r, s, der;
  };
  const Case cases[] = {
      {kR, kS, kGood},
      // The core hands back 33 bytes with a 0x00 in front of a set top bit.
      {"00" "8" + kR.substr(1), kS, "3045" "022100" "8" + kR.substr(1) + "0220" + kS},
      // A value below 2^248 loses its leading zero bytes.
      {"00" + kR.substr(2), kS, "3043" "021f" + kR.substr(2) + "0220" + kS},
      {"0000" "9" + kR.substr(5), kS, "3043" "021f" "00" "9" + kR.substr(5) + "0220" + kS},
      {kR, "0000000000000000000000000000000000000000000000000000000000000001", "3025" "0220" + kR + "020101"},
      {"", "00", "3006" "020100" "020100"},
  };
  for (const Case& c : cases) {
    const Bytes der = EncodeDerSignature(Unhex(c.r), Unhex(c.s));
    EXPECT_EQ(tvt::Hex(der), c.der) << c.r;
    if (c.r.size() > 2) {
      EXPECT_TRUE(IsStrictDerSignature(der));
    }
  }
}

TEST(BtcDerSignature, LowSReplacesAHighS) {
  const std::string n = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
  const std::string half = "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0";
  struct Case {
    std::string s, low;
  };
  const Case cases[] = {
      {kS, kS},                                   // already low
      {half, half},                               // n/2 itself is low
      {"7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a1",  // n/2 + 1
       half},
      {"00" "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140",  // n - 1
       "01"},
      {"00" "ffeeeeeeeeeeeeeeeeeeeeeeeeeeeeeda99dcbd59e378f2aaec14d7bbf253030",  // n - S below 2^248
       "11111111111111111111111111111111111111111111111111111111111111"},
  };
  for (const Case& c : cases) {
    const Bytes sig = EncodeDerSignature(Unhex(kR), Unhex(c.s));
    const Bytes low = LowSDerSignature(sig);
    EXPECT_EQ(tvt::Hex(low), tvt::Hex(EncodeDerSignature(Unhex(kR), Unhex(c.low)))) << c.s;
    EXPECT_TRUE(IsStrictDerSignature(low));
  }
  // S = n or above has no low partner; a shape that is not strict stays as it is.
  const Bytes atN = EncodeDerSignature(Unhex(kR), Unhex(n));
  EXPECT_EQ(LowSDerSignature(atN), atN);
  const Bytes padded = Unhex("3045" "022100" + kR + "0220" + kS);
  EXPECT_EQ(LowSDerSignature(padded), padded);
}

}  // namespace
