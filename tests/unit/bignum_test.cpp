#include "crypto/bignum/bignum.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bignum_testing.h"
#include "tv_test.h"

using bnt::HexOf;
using bnt::Make;
using bnt::Check;
using bnt::Pending;

namespace {

const uint32_t kSizes[] = {0, 1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64, 100, 128, 129, 200, 257, 258};

const char* kPyArith =
    "    import math\n"
    "    def C(a, b): return 1 if a > b else (-2 if a < b else 0)\n"
    "    def F(x): return H(x) if x.bit_length() <= 8256 else 'overflow'\n"
    "    if op == 'add': res = F(v[0] + v[1])\n"
    "    elif op == 'sub': res = H(abs(v[0] - v[1])) + ' ' + str(C(v[0], v[1]))\n"
    "    elif op == 'mul': res = F(v[0] * v[1])\n"
    "    elif op == 'sqr': res = F(v[0] * v[0])\n"
    "    elif op == 'shl1': res = F(2 * v[0])\n"
    "    elif op == 'shr': res = H(v[0] >> v[1])\n"
    "    elif op == 'cmp': res = str(C(v[0], v[1]))\n"
    "    elif op == 'bitlen': res = str(v[0].bit_length())\n"
    "    elif op == 'mod': res = H(v[0] % v[1])\n"
    "    elif op == 'gcd': res = H(math.gcd(v[0], v[1]))\n"
    "    elif op == 'inv':\n"
    "        try: res = H(pow(v[0], -1, v[1])) if v[1] > 1 else '-'\n"
    "        except ValueError: res = '-'\n";


std::string Desc(const std::string& op, const NXVT_BN& a, const NXVT_BN& b, int alias) {
  return op + " a(count " + std::to_string(a.count) + ")=" + HexOf(a) + " b(count " +
         std::to_string(b.count) + ")=" + HexOf(b) + " alias " + std::to_string(alias);
}

// Applies a binary operation with the result in a fresh record, in a, in b,
// or with a, b and r all one record (b is then taken equal to a).
template <class Op>
int32_t Apply(Op op, NXVT_BN* r, NXVT_BN* a, NXVT_BN* b, int alias) {
  switch (alias) {
    case 1: return op(a, a, b);
    case 2: return op(b, a, b);
    case 3: return op(a, a, a);
    default: return op(r, a, b);
  }
}

}  // namespace

TEST(Bignum, ConversionEdgeCases) {
  NXVT_BN r = Make("1234");
  std::vector<uint8_t> big(1032, 0x11);
  NXVT_BN_FromBytes(&r, big.data(), 1031);
  EXPECT_EQ(r.count, 258u);
  EXPECT_EQ(r.words[257], 0x111111u);
  NXVT_BN keep = Make("abc");
  NXVT_BN_FromBytes(&keep, big.data(), 1032);
  EXPECT_EQ(HexOf(keep), "abc");
  NXVT_BN_FromBytes(&keep, big.data(), -1);
  EXPECT_EQ(HexOf(keep), "abc");
  NXVT_BN_FromBytes(&keep, big.data(), 0);
  EXPECT_EQ(keep.count, 0u);

  const uint8_t lead[] = {0, 0, 0, 0, 1};
  NXVT_BN_FromBytes(&r, lead, 5);
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(r.words[1], 0u);
  NXVT_BN one = Make("1");
  EXPECT_EQ(NXVT_BN_Cmp(&r, &one), 0);

  // ToBytes: capacity rules.
  uint8_t out[16];
  uint32_t len = 4;
  NXVT_BN v = Make("102");
  NXVT_BN_ToBytes(out, &len, &v);
  EXPECT_EQ(tvt::Hex(out, len), "0102");
  NXVT_BN two = Make("1000000002");  // two words
  len = 7;
  NXVT_BN_ToBytes(out, &len, &two);
  EXPECT_EQ(len, 0u);
  len = 8;
  NXVT_BN_ToBytes(out, &len, &two);
  EXPECT_EQ(tvt::Hex(out, len), "1000000002");
  NXVT_BN zero = Make("0");
  len = 5;
  NXVT_BN_ToBytes(out, &len, &zero);
  EXPECT_EQ(tvt::Hex(out, len), "00");
  NXVT_BN zeroWords = Make("0", 2);  // nonzero count, value zero
  len = 8;
  NXVT_BN_ToBytes(out, &len, &zeroWords);
  EXPECT_EQ(len, 0u);

  struct HexCase {
    const char* text;
    int32_t rc;
    const char* value;
    uint32_t count;
  };
  const HexCase hexCases[] = {
      {"", 0, "0", 0},           {"0", 0, "0", 0},         {"0x10", -1, "0", 0},
      {"12 3", -1, "0", 0},      {"-1", -1, "0", 0},       {"123456789", 0, "123456789", 2},
      {"00000001", 0, "1", 1},   {"AbCdEf", 0, "abcdef", 1}, {"000000000", 0, "0", 2},
  };
  for (const HexCase& c : hexCases) {
    NXVT_BN h = Make("ffff");
    EXPECT_EQ(NXVT_BN_FromHex(&h, c.text), c.rc) << c.text;
    EXPECT_EQ(HexOf(h), c.value) << c.text;
    EXPECT_EQ(h.count, c.count) << c.text;
  }
  NXVT_BN h = Make("123456789");
  EXPECT_EQ(h.words[1], 1u);
  EXPECT_EQ(h.words[0], 0x23456789u);
  EXPECT_EQ(NXVT_BN_FromHex(nullptr, "1"), -1);
  EXPECT_EQ(NXVT_BN_FromHex(&h, nullptr), -1);
}

TEST(Bignum, ToBytesWritesNothingIntoNoRoom) {
  NXVT_BN zero = Make("0");
  uint8_t out[2] = {0xEE, 0xEE};
  uint32_t len = 0;
  NXVT_BN_ToBytes(out, &len, &zero);
  EXPECT_EQ(len, 0u);
  EXPECT_EQ(out[0], 0xEE);
  len = 1;
  NXVT_BN_ToBytes(nullptr, &len, &zero);
  EXPECT_EQ(len, 0u);
  NXVT_BN_ToBytes(out, nullptr, &zero);  // no crash
  EXPECT_EQ(out[0], 0xEE);
}

TEST(Bignum, BytesRoundTripRandom) {
  tvt::TestRng rng(11);
  for (int len : {1, 2, 3, 4, 5, 31, 32, 33, 64, 65, 500, 1028, 1031}) {
    for (int rep = 0; rep < 4; ++rep) {
      tvt::Bytes b = rng.RandBytes(static_cast<size_t>(len));
      if (rep == 1) b[0] = 0;  // leading zero byte keeps its word
      NXVT_BN r;
      NXVT_BN_FromBytes(&r, b.data(), len);
      EXPECT_EQ(r.count, static_cast<uint32_t>((len + 3) / 4));
      std::string want = tvt::Hex(b);
      size_t k = want.find_first_not_of('0');
      want = k == std::string::npos ? "0" : want.substr(k);
      EXPECT_EQ(HexOf(r), want);
      std::vector<uint8_t> out(1040, 0);
      uint32_t olen = static_cast<uint32_t>(out.size());
      NXVT_BN_ToBytes(out.data(), &olen, &r);
      std::string back = tvt::Hex(out.data(), olen);
      if (want == "0") {
        EXPECT_EQ(olen, 0u);
      } else {
        EXPECT_EQ(back, want.size() % 2 ? "0" + want : want);
      }
    }
  }
}

TEST(Bignum, ArithmeticMatchesPython) {
  tvt::TestRng rng(2026);
  bnt::Oracle oracle(kPyArith);
  std::vector<Pending> pending;
  auto ask = [&](const std::string& line, const std::string& what, const std::string& got) {
    oracle.Ask(line);
    pending.push_back({what + " [" + line.substr(0, 200) + "]", got});
  };

  for (uint32_t na : kSizes) {
    for (uint32_t nb : kSizes) {
      for (int rep = 0; rep < 2; ++rep) {
        NXVT_BN a0 = bnt::RandomBn(rng, na, static_cast<int>(rng.Below(5)));
        NXVT_BN b0 = bnt::RandomBn(rng, nb, static_cast<int>(rng.Below(5)));
        // Unnormalised operands now and then.
        if (rng.Below(4) == 0 && a0.count < NXVT_BN_MAX_WORDS) a0.words[a0.count++] = 0;
        if (rng.Below(4) == 0 && b0.count < NXVT_BN_MAX_WORDS) b0.words[b0.count++] = 0;
        int alias = static_cast<int>(rng.Below(4));
        std::string ha = HexOf(a0);
        std::string hb = alias == 3 ? ha : HexOf(b0);
        const NXVT_BN& bEff = alias == 3 ? a0 : b0;
        uint32_t maxCount = a0.count > bEff.count ? a0.count : bEff.count;

        // Add: count is the longer operand's, plus one on a carry.
        {
          NXVT_BN r, a = a0, b = b0;
          int32_t rc = Apply(NXVT_BN_Add, &r, &a, &b, alias);
          const NXVT_BN& res = alias == 0 ? r : (alias == 2 ? b : a);
          std::string what = Desc("add", a0, bEff, alias);
          if (rc == 0) {
            EXPECT_TRUE(res.count == maxCount || (res.count == maxCount + 1 && res.words[maxCount] == 1))
                << what;
          }
          ask("add " + ha + " " + hb, what, rc == 0 ? HexOf(res) : "overflow");
        }
        // Sub.
        {
          NXVT_BN r, a = a0, b = b0;
          int32_t rc = Apply(NXVT_BN_Sub, &r, &a, &b, alias);
          const NXVT_BN& res = alias == 0 ? r : (alias == 2 ? b : a);
          std::string what = Desc("sub", a0, bEff, alias);
          EXPECT_TRUE(rc == 0 ? res.count == 0 : res.count == maxCount) << what;
          ask("sub " + ha + " " + hb, what, HexOf(res) + " " + std::to_string(rc));
        }
        // Mul: count is the sum of the counts when that fits.
        {
          NXVT_BN r, a = a0, b = b0;
          NXVT_BN sentinel = Make("5a5a");
          r = sentinel;
          NXVT_BN* target = alias == 0 ? &r : (alias == 2 ? &b : &a);
          NXVT_BN before = *target;
          int32_t rc = Apply(NXVT_BN_Mul, &r, &a, &b, alias);
          std::string what = Desc("mul", a0, bEff, alias);
          if (rc == 0) {
            if (a0.count + bEff.count <= NXVT_BN_MAX_WORDS && a0.count && bEff.count) {
              EXPECT_EQ(target->count, a0.count + bEff.count) << what;
            }
            ask("mul " + ha + " " + hb, what, HexOf(*target));
          } else {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(0, std::memcmp(&before, target, sizeof(NXVT_BN))) << what;
            ask("mul " + ha + " " + hb, what, "overflow");
          }
        }
        // Cmp and, once per a, the unary operations.
        ask("cmp " + ha + " " + hb, Desc("cmp", a0, bEff, 0), std::to_string(NXVT_BN_Cmp(&a0, &bEff)));
        if (nb == 0 && rep == 0) {
          NXVT_BN a = a0, r;
          int32_t rc = NXVT_BN_Sqr(&r, &a);
          std::string what = Desc("sqr", a0, a0, 0);
          ask("sqr " + ha, what, rc == 0 ? HexOf(r) : "overflow");
          if (rc == 0 && a0.count) {
            EXPECT_EQ(r.count, 2 * a0.count) << what;
          }
          rc = NXVT_BN_Sqr(&a, &a);
          ask("sqr " + ha, what + " in place", rc == 0 ? HexOf(a) : "overflow");
          ask("bitlen " + ha, what, std::to_string(NXVT_BN_BitLen(&a0)));
          a = a0;
          rc = NXVT_BN_Shl1(&r, &a);
          if (rc == 0) {
            EXPECT_TRUE(bnt::Normalised(r));
          }
          ask("shl1 " + ha, "shl1", rc == 0 ? HexOf(r) : "overflow");
          rc = NXVT_BN_Shl1Self(&a);
          ask("shl1 " + ha, "shl1self", rc == 0 ? HexOf(a) : "overflow");
          a = a0;
          NXVT_BN_Shr1(&a, &a);
          EXPECT_TRUE(bnt::Normalised(a));
          ask("shr " + ha + " 1", "shr1 in place", HexOf(a));
          for (uint32_t s : {0u, 1u, 31u, 32u, 33u, 64u, 255u, 256u, 1000u}) {
            a = a0;
            NXVT_BN_ShrBits(&a, s);
            EXPECT_TRUE(bnt::Normalised(a));
            char sh[16];
            std::snprintf(sh, sizeof(sh), "%x", s);
            ask("shr " + ha + " " + sh, "shrbits " + std::to_string(s), HexOf(a));
          }
        }
      }
    }
  }
  // Squares of values near the capacity: 129 words fit, 130 do not.
  for (uint32_t n : {128u, 129u, 130u}) {
    NXVT_BN a = bnt::RandomBn(rng, n, 1), r;
    int32_t rc = NXVT_BN_Sqr(&r, &a);
    ask("sqr " + HexOf(a), "sqr near capacity " + std::to_string(n), rc == 0 ? HexOf(r) : "overflow");
  }
  Check(oracle, pending);
}

TEST(Bignum, WordOperationsMatchPython) {
  tvt::TestRng rng(7);
  bnt::Oracle oracle(kPyArith);
  std::vector<Pending> pending;
  for (int rep = 0; rep < 300; ++rep) {
    NXVT_BN a0 = bnt::RandomBn(rng, rng.Below(10), static_cast<int>(rng.Below(5)));
    uint32_t ws[] = {0u, 1u, 0xFFFFFFFFu, static_cast<uint32_t>(rng.Next()), a0.count ? a0.words[0] : 5u};
    uint32_t w = ws[rng.Below(5)];
    char hw[16];
    std::snprintf(hw, sizeof(hw), "%x", w);
    NXVT_BN a = a0, r;
    bool inPlace = rng.Below(2) == 0;
    NXVT_BN_AddWord(inPlace ? &a : &r, &a, w);
    oracle.Ask("add " + HexOf(a0) + " " + hw);
    pending.push_back({"addword " + HexOf(a0) + " + " + hw, HexOf(inPlace ? a : r)});

    a = a0;
    int32_t rc = NXVT_BN_SubWord(inPlace ? &a : &r, &a, w);
    // SubWord: 1 when a >= w (0 when both are zero), -1 with |a - w| below.
    oracle.Ask("sub " + HexOf(a0) + " " + hw);
    const NXVT_BN& res = inPlace ? a : r;
    int32_t asSub = rc == -1 ? -2 : (HexOf(res) == "0" ? 0 : 1);
    pending.push_back({"subword " + HexOf(a0) + " - " + hw, HexOf(res) + " " + std::to_string(asSub)});
    if (rc != -1 && HexOf(a0) != "0") {
      EXPECT_EQ(rc, 1) << HexOf(a0) << " - " << hw;
      EXPECT_EQ(res.count, a0.count);
    }
  }
  Check(oracle, pending);
}

TEST(Bignum, SpecificResults) {
  NXVT_BN one = Make("1"), two = Make("2"), three = Make("3"), five = Make("5"), r;
  EXPECT_EQ(NXVT_BN_Cmp(&one, &two), -2);
  EXPECT_EQ(NXVT_BN_Cmp(&two, &one), 1);
  EXPECT_EQ(NXVT_BN_Cmp(nullptr, &one), -1);
  EXPECT_EQ(NXVT_BN_Cmp(&one, nullptr), -1);
  EXPECT_EQ(NXVT_BN_Sub(&r, &three, &five), -2);
  EXPECT_EQ(HexOf(r), "2");
  EXPECT_EQ(NXVT_BN_Sub(&r, &five, &five), 0);
  EXPECT_EQ(r.count, 0u);

  NXVT_BN zero = Make("0");
  EXPECT_EQ(NXVT_BN_SubWord(&r, &zero, 3), -1);
  EXPECT_EQ(HexOf(r), "3");
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(NXVT_BN_SubWord(&r, &zero, 0), 0);
  EXPECT_EQ(r.count, 0u);
  NXVT_BN p = Make("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");
  EXPECT_EQ(NXVT_BN_SubWord(&r, &p, 3), 1);
  EXPECT_EQ(HexOf(r), "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2c");
  EXPECT_EQ(NXVT_BN_SubWord(&r, &two, 7), -1);  // below the word: |2 - 7|
  EXPECT_EQ(HexOf(r), "5");

  NXVT_BN m = p;
  NXVT_BN a = p;
  EXPECT_EQ(NXVT_BN_Mod(&a, &m), 0);
  EXPECT_EQ(a.count, 0u);
  EXPECT_EQ(NXVT_BN_Mod(&a, &zero), -1);
  EXPECT_EQ(NXVT_BN_Mod(&m, &m), -1);
  NXVT_BN small = Make("12", 3);
  EXPECT_EQ(NXVT_BN_Mod(&small, &p), 0);
  EXPECT_EQ(small.count, 1u);  // below m: normalised

  struct InvCase {
    const char* a;
    const char* m;
    int32_t rc;
    const char* inv;
  };
  const InvCase inv[] = {{"3", "7", 0, "5"}, {"2", "4", -1, ""}, {"0", "7", -1, ""},
                         {"5", "1", -1, ""}, {"a", "7", 0, "5"}, {"7", "7", -1, ""},
                         {"1", "2", 0, "1"}, {"6", "9", -1, ""}};
  for (const InvCase& c : inv) {
    NXVT_BN x = Make(c.a), mm = Make(c.m), out = Make("77");
    EXPECT_EQ(NXVT_BN_ModInv(&out, &x, &mm), c.rc) << c.a << " mod " << c.m;
    if (c.rc == 0) {
      EXPECT_EQ(HexOf(out), c.inv) << c.a << " mod " << c.m;
    }
  }
  NXVT_BN x = Make("3"), mm = Make("7");
  EXPECT_EQ(NXVT_BN_ModInv(&x, &x, &mm), 0);
  EXPECT_EQ(HexOf(x), "5");
  EXPECT_EQ(NXVT_BN_ModInv(&mm, &x, &mm), -1);
  EXPECT_EQ(NXVT_BN_ModInv(&r, &mm, &mm), -1);

  // Shift of a 16-word value by 256 leaves the upper 8 words.
  std::vector<uint32_t> w16(16);
  for (uint32_t i = 0; i < 16; ++i) w16[i] = i < 8 ? 0xDEAD0000 + i : (i == 15 ? 0 : i);
  NXVT_BN s = bnt::FromWords(w16);
  NXVT_BN_ShrBits(&s, 256);
  EXPECT_EQ(s.count, 7u);  // top word zero: normalised away
  EXPECT_EQ(s.words[0], 8u);
  s = bnt::FromWords(w16);
  NXVT_BN_ShrBits(&s, 32 * 16);
  EXPECT_EQ(s.count, 0u);

  // CopyPadded brings a value to the reference's word count.
  NXVT_BN c = Make("1234"), out;
  EXPECT_EQ(NXVT_BN_CopyPadded(&out, &c, &p), 0);
  EXPECT_EQ(out.count, 8u);
  EXPECT_EQ(HexOf(out), "1234");
  EXPECT_EQ(NXVT_BN_CopyPadded(&out, &p, &c), -1);
}

TEST(Bignum, DivisionMatchesPython) {
  tvt::TestRng rng(99);
  bnt::Oracle oracle(kPyArith);
  std::vector<Pending> pending;
  auto run = [&](const NXVT_BN& a0, const NXVT_BN& m0, const std::string& tag) {
    NXVT_BN a = a0;
    NXVT_BN m = m0;
    int32_t rc = NXVT_BN_Mod(&a, &m);
    EXPECT_EQ(rc, 0) << tag;
    EXPECT_TRUE(bnt::Normalised(a)) << tag;
    EXPECT_EQ(0, std::memcmp(&m, &m0, sizeof(NXVT_BN))) << "divisor changed " << tag;
    std::string what = tag + " " + HexOf(a0).substr(0, 80) + " mod " + HexOf(m0).substr(0, 80);
    oracle.Ask("mod " + HexOf(a0) + " " + HexOf(m0));
    pending.push_back({what, HexOf(a)});
  };
  const uint32_t mSizes[] = {1, 2, 3, 4, 5, 8, 9, 16, 17, 33, 64, 129, 200, 257, 258};
  for (uint32_t nm : mSizes) {
    for (uint32_t na : kSizes) {
      for (int rep = 0; rep < 3; ++rep) {
        NXVT_BN m = bnt::RandomBn(rng, nm, static_cast<int>(rng.Below(5)));
        NXVT_BN a = bnt::RandomBn(rng, na, static_cast<int>(rng.Below(5)));
        run(a, m, "random");
      }
    }
  }
  // Operands made of the words that make the quotient estimate too large, so
  // that the correction and add-back paths run many times.
  for (int rep = 0; rep < 3000; ++rep) {
    uint32_t nm = 2 + rng.Below(6);
    uint32_t na = nm + rng.Below(6);
    NXVT_BN m = bnt::RandomBn(rng, nm, 3);
    NXVT_BN a = bnt::RandomBn(rng, na, 3);
    if (rng.Below(2)) m.words[nm - 1] |= 0x80000000;  // no normalising shift
    run(a, m, "special");
  }
  // Fixed cases known to need the add-back step (base 2^32, little-endian words).
  run(bnt::FromWords({0, 0, 0x80000000, 0x7fffffff}), bnt::FromWords({1, 0, 0x80000000}), "addback1");
  run(bnt::FromWords({3, 0, 0x80000000}), bnt::FromWords({1, 0, 0x20000000}), "addback2");
  run(bnt::FromWords({0, 0xfffffffe, 0, 0x80000000}), bnt::FromWords({0x0000ffff, 0, 0x80000000}), "addback3");
  run(bnt::FromWords({0, 0, 0x8000, 0x7fff}), bnt::FromWords({1, 0, 0x8000}), "addback4");
  Check(oracle, pending);
}

TEST(Bignum, DivModLeavesTheDivisorAlone) {
  // A divisor in read-only memory whose top bit is clear: shifting it in
  // place would fault.
  static const uint32_t kDivisor[3] = {0x12345678, 0x9abcdef0, 0x00001234};
  NXVT_BN a = Make("123456789abcdef0fedcba98765432100123456789abcdef");
  std::string before = HexOf(a);
  ASSERT_EQ(NXVT_BN_DivMod(&a.count, a.words, 3, kDivisor), 0);
  std::string want = tvt::RunPython(
      "import sys\na,m=sys.stdin.read().split()\nprint(format(int(a,16)%int(m,16),'x'))\n",
      before + " 1234" + "9abcdef012345678");
  EXPECT_EQ(HexOf(a) + "\n", want);

  // Divisor and dividend the same words: the remainder is zero.
  NXVT_BN s = Make("3fffffffffffffff00000001abcdef");
  EXPECT_EQ(NXVT_BN_DivMod(&s.count, s.words, s.count, s.words), 0);
  EXPECT_EQ(s.count, 0u);
  // Divisor inside the dividend's words (its low half).
  NXVT_BN t = Make("7000000000000000000000000000000300000005");
  uint32_t low[2] = {t.words[0], t.words[1]};
  EXPECT_EQ(NXVT_BN_DivMod(&t.count, t.words, 2, t.words), 0);
  NXVT_BN lowBn = bnt::FromWords({low[0], low[1]});
  NXVT_BN full = Make("7000000000000000000000000000000300000005");
  ASSERT_EQ(NXVT_BN_Mod(&full, &lowBn), 0);
  EXPECT_EQ(HexOf(t), HexOf(full));

  // A full-capacity dividend whose top bit is set needs one more word while
  // normalised; that word must not come from memory beyond the record.
  struct Guarded {
    NXVT_BN bn;
    uint32_t guard[4];
  } g;
  for (uint32_t i = 0; i < NXVT_BN_MAX_WORDS; ++i) g.bn.words[i] = 0xF0000000u | i;
  g.bn.count = NXVT_BN_MAX_WORDS;
  for (uint32_t& w : g.guard) w = 0xCAFEBABE;
  std::string big = HexOf(g.bn);
  NXVT_BN m = Make("1000000000000000000000003");
  ASSERT_EQ(NXVT_BN_Mod(&g.bn, &m), 0);
  for (uint32_t w : g.guard) EXPECT_EQ(w, 0xCAFEBABEu);
  std::string want2 = tvt::RunPython(
      "import sys\na,m=sys.stdin.read().split()\nprint(format(int(a,16)%int(m,16),'x'))\n",
      big + " 1000000000000000000000003");
  EXPECT_EQ(HexOf(g.bn) + "\n", want2);

  uint32_t cnt = 2, words[2] = {1, 2};
  const uint32_t zeroDiv[2] = {0, 0};
  EXPECT_EQ(NXVT_BN_DivMod(&cnt, words, 2, zeroDiv), -1);
  cnt = NXVT_BN_MAX_WORDS + 1;
  EXPECT_EQ(NXVT_BN_DivMod(&cnt, words, 1, zeroDiv + 0), -1);
}

TEST(Bignum, ModInvMatchesPython) {
  tvt::TestRng rng(4242);
  bnt::Oracle oracle(kPyArith);
  std::vector<Pending> pending;
  const uint32_t sizes[] = {1, 2, 3, 8, 9, 16, 17, 40, 64};
  for (uint32_t nm : sizes) {
    for (uint32_t na : sizes) {
      for (int rep = 0; rep < 8; ++rep) {
        NXVT_BN m = bnt::RandomBn(rng, nm, rep < 6 ? 0 : static_cast<int>(rng.Below(5)));
        NXVT_BN a = bnt::RandomBn(rng, na, rep < 6 ? 0 : static_cast<int>(rng.Below(5)));
        if (rep % 2 == 0) m.words[0] |= 1;  // odd moduli are the common case
        NXVT_BN r;
        bool inPlace = rep % 3 == 0;
        NXVT_BN work = a;
        int32_t rc = NXVT_BN_ModInv(inPlace ? &work : &r, &work, &m);
        std::string got = rc == 0 ? HexOf(inPlace ? work : r) : "-";
        if (rc != 0) {
          EXPECT_EQ(rc, -1);
        }
        oracle.Ask("inv " + HexOf(a) + " " + HexOf(m));
        pending.push_back({"inv " + HexOf(a) + " mod " + HexOf(m), got});

        // The core reports gcd and a coefficient c with c * a = gcd (mod m).
        uint32_t gw[NXVT_BN_MAX_WORDS + 2], cw[NXVT_BN_MAX_WORDS + 2], gn = 0, cn = 0;
        int32_t sign = NXVT_BN_ModInvCore(&gn, gw, &cn, cw, m.count, m.words, a.count, a.words);
        ASSERT_GE(sign, 0);
        std::vector<uint32_t> gv(gw, gw + gn), cv(cw, cw + cn);
        NXVT_BN g = bnt::FromWords(gv), c = bnt::FromWords(cv);
        oracle.Ask("gcd " + HexOf(a) + " " + HexOf(m));
        pending.push_back({"gcd " + HexOf(a) + ", " + HexOf(m), HexOf(g)});
        // (sign ? -c : c) * a - gcd must be divisible by m: check with the
        // library's own Mul and Mod, which are tested above.
        NXVT_BN prod, gmod = g;
        NXVT_BN_Mul(&prod, &c, &a);
        NXVT_BN_Mod(&prod, &m);
        NXVT_BN_Mod(&gmod, &m);
        if (sign && prod.count) NXVT_BN_Sub(&prod, &m, &prod);
        EXPECT_EQ(HexOf(prod), HexOf(gmod)) << "coefficient of " << HexOf(a) << " mod " << HexOf(m);
      }
    }
  }
  // Moduli of a full record (the top ones with the highest bits set, where
  // the coefficients outgrow the record), and a values above the modulus.
  for (int rep = 0; rep < 12; ++rep) {
    NXVT_BN m = bnt::RandomBn(rng, NXVT_BN_MAX_WORDS, 0);
    m.words[0] |= 1;
    if (rep >= 3) m.words[NXVT_BN_MAX_WORDS - 1] |= 0xF0000000;
    NXVT_BN a = bnt::RandomBn(rng, rep == 2 ? NXVT_BN_MAX_WORDS : 100, 0), r;
    int32_t rc = NXVT_BN_ModInv(&r, &a, &m);
    oracle.Ask("inv " + HexOf(a) + " " + HexOf(m));
    pending.push_back({"inv full record " + std::to_string(rep), rc == 0 ? HexOf(r) : "-"});
  }
  Check(oracle, pending);
}

// With a modulus that fills the record, the extended Euclidean coefficient
// can need one word more than a record holds; the inverse must still come out.
TEST(Bignum, ModInvOfAFullRecordModulus) {
  tvt::TestRng rng(1);
  NXVT_BN m = bnt::RandomBn(rng, NXVT_BN_MAX_WORDS, 0);
  m.words[0] |= 1;
  m.words[NXVT_BN_MAX_WORDS - 1] |= 0xF0000000;
  bnt::Oracle oracle(kPyArith);
  std::vector<Pending> pending;
  bool longCoefficient = false;
  for (int i = 0; i < 2; ++i) {
    NXVT_BN a = bnt::RandomBn(rng, NXVT_BN_MAX_WORDS, 0), r;
    ASSERT_EQ(NXVT_BN_Mod(&a, &m), 0);
    uint32_t gw[NXVT_BN_MAX_WORDS + 2], cw[NXVT_BN_MAX_WORDS + 2], gn = 0, cn = 0;
    ASSERT_GE(NXVT_BN_ModInvCore(&gn, gw, &cn, cw, m.count, m.words, a.count, a.words), 0);
    longCoefficient = longCoefficient || cn > NXVT_BN_MAX_WORDS;
    int32_t rc = NXVT_BN_ModInv(&r, &a, &m);
    oracle.Ask("inv " + HexOf(a) + " " + HexOf(m));
    pending.push_back({"inverse modulo a full record, case " + std::to_string(i), rc == 0 ? HexOf(r) : "-"});
  }
  EXPECT_TRUE(longCoefficient) << "the fixture no longer produces a coefficient beyond the record";
  Check(oracle, pending);
}

TEST(Bignum, CapacityIsNeverExceeded) {
  tvt::TestRng rng(5);
  NXVT_BN full = bnt::RandomBn(rng, NXVT_BN_MAX_WORDS, 1);  // 2^8256 - 1
  NXVT_BN one = Make("1");
  NXVT_BN r = Make("abcdef");
  NXVT_BN keep = r;
  auto unchanged = [&](const char* what) {
    EXPECT_EQ(0, std::memcmp(&r, &keep, sizeof(NXVT_BN))) << what;
  };
  EXPECT_EQ(NXVT_BN_Add(&r, &full, &one), -1);
  unchanged("add");
  EXPECT_EQ(NXVT_BN_AddWord(&r, &full, 1), -1);
  unchanged("addword");
  EXPECT_EQ(NXVT_BN_Shl1(&r, &full), -1);
  unchanged("shl1");
  NXVT_BN f2 = full;
  EXPECT_EQ(NXVT_BN_Shl1Self(&f2), -1);
  EXPECT_EQ(0, std::memcmp(&f2, &full, sizeof(NXVT_BN)));
  NXVT_BN half = bnt::RandomBn(rng, 130, 0);
  EXPECT_EQ(NXVT_BN_Sqr(&r, &half), -1);
  unchanged("sqr");
  NXVT_BN a129 = bnt::RandomBn(rng, 129, 1), a130 = bnt::RandomBn(rng, 130, 1);
  EXPECT_EQ(NXVT_BN_Mul(&r, &a129, &a130), -1);
  unchanged("mul");
  // A sum that still fits at full capacity is fine.
  NXVT_BN top = bnt::RandomBn(rng, NXVT_BN_MAX_WORDS, 2);
  EXPECT_EQ(NXVT_BN_Add(&r, &top, &one), 0);
  EXPECT_EQ(r.count, NXVT_BN_MAX_WORDS);
  // Unnormalised operands whose true product fits are multiplied.
  NXVT_BN padded = Make("3", 200), small = Make("5", 100);
  EXPECT_EQ(NXVT_BN_Mul(&r, &padded, &small), 0);
  EXPECT_EQ(HexOf(r), "f");
  // A record claiming more words than it has is refused.
  NXVT_BN bogus = Make("1");
  bogus.count = NXVT_BN_MAX_WORDS + 1;
  EXPECT_EQ(NXVT_BN_Add(&r, &bogus, &one), -1);
  EXPECT_EQ(NXVT_BN_Mul(&r, &bogus, &one), -1);
  EXPECT_EQ(NXVT_BN_Mod(&bogus, &one), -1);
  EXPECT_EQ(NXVT_BN_Cmp(&bogus, &one), -1);
  uint8_t out[8];
  uint32_t len = sizeof(out);
  NXVT_BN_ToBytes(out, &len, &bogus);
  EXPECT_EQ(len, 0u);
  std::string tooLong(NXVT_BN_MAX_WORDS * 8 + 1, '1');
  EXPECT_EQ(NXVT_BN_FromHex(&r, tooLong.c_str()), -1);
  EXPECT_EQ(r.count, 0u);
  std::string longest(NXVT_BN_MAX_WORDS * 8, 'f');
  EXPECT_EQ(NXVT_BN_FromHex(&r, longest.c_str()), 0);
  EXPECT_EQ(r.count, NXVT_BN_MAX_WORDS);
}

TEST(Bignum, WipeZeroesWithoutTouchingTheProcessRandomStream) {
  NXVT_BN secret;
  std::memset(&secret, 0xAB, sizeof(secret));
  secret.count = 8;
  std::srand(12345);
  int expected = std::rand();
  std::srand(12345);
  NXVT_BN_Wipe(&secret);
  EXPECT_EQ(std::rand(), expected) << "the wipe reseeded or consumed the C runtime generator";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(&secret);
  for (size_t i = 0; i < sizeof(secret); ++i) ASSERT_EQ(p[i], 0) << "byte " << i;
  NXVT_BN_Wipe(nullptr);
}
