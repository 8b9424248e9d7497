// Field arithmetic mod 2^255-19, checked against Python's integers on random
// and edge values, including non-canonical inputs (256-bit values >= p).
#include "crypto/ed25519/fe25519.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tv_test.h"

namespace {

using tvt::Bytes;

NXVT_GF25519 Load(const Bytes& b) {
  NXVT_GF25519 f;
  NXVT_GF25519_FromBytes(&f, b.data());
  return f;
}

std::string Hex(const NXVT_GF25519& f) {
  unsigned char b[32];
  NXVT_GF25519_ToBytes(&f, b);
  return tvt::Hex(b, 32);
}

// 32-byte little-endian encodings of values that sit on the reduction edges.
std::vector<Bytes> EdgeValues() {
  const char* script = R"(
p = 2**255 - 19
vals = [0, 1, 2, 18, 19, 38, p - 1, p, p + 1, p + 18, 2**255 - 1, 2**255, 2 * p - 1, 2 * p,
        2 * p + 1, 2**256 - 39, 2**256 - 38, 2**256 - 20, 2**256 - 1, pow(2, (p - 1) // 4, p),
        2**32 - 1, 2**224, p - 2**32]
for v in vals:
    print(v.to_bytes(32, 'little').hex())
)";
  std::vector<Bytes> out;
  std::string text = tvt::RunPython(script, "");
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    if (nl > pos) out.push_back(tvt::Unhex(text.substr(pos, nl - pos)));
    pos = nl + 1;
  }
  return out;
}

// Checks every operation on the pairs against Python: results must equal the
// integer results mod p and be canonical.
TEST(Fe25519, MatchesPythonOnRandomAndEdgeValues) {
  std::vector<Bytes> vals = EdgeValues();
  ASSERT_EQ(vals.size(), 23u);
  std::vector<std::pair<Bytes, Bytes>> pairs;
  for (const Bytes& a : vals)
    for (const Bytes& b : vals) pairs.emplace_back(a, b);
  tvt::TestRng rng(25519);
  for (int i = 0; i < 1500; ++i) {
    Bytes a = rng.RandBytes(32), b = rng.RandBytes(32);
    // A third of the values keep bit 255 set (>= 2^255, so >= p), a third
    // have it cleared, the rest are as drawn.
    if (i % 3 == 0) { a[31] |= 0x80; b[31] |= 0x80; }
    if (i % 3 == 1) { a[31] &= 0x7f; b[31] &= 0x7f; }
    pairs.emplace_back(a, b);
  }

  std::string input;
  for (const auto& [ab, bb] : pairs) {
    NXVT_GF25519 a = Load(ab), b = Load(bb), r;
    input += tvt::Hex(ab) + " " + tvt::Hex(bb);
    NXVT_GF25519_Add(&r, &a, &b);
    input += " " + Hex(r);
    NXVT_GF25519_Sub(&r, &a, &b);
    input += " " + Hex(r);
    NXVT_GF25519_Mul(&r, &a, &b);
    input += " " + Hex(r);
    NXVT_GF25519_Neg(&r, &a);
    input += " " + Hex(r);
    NXVT_GF25519_Freeze(&r, &a);
    input += " " + Hex(r);
    NXVT_GF25519_Invert(&r, &a);
    input += " " + Hex(r);
    int rc = NXVT_GF25519_SqrtRatio(&r, &a, &b);
    input += " " + std::to_string(rc) + " " + Hex(r) + "\n";
  }

  const char* script = R"(
import sys
p = 2**255 - 19
def le(h): return int.from_bytes(bytes.fromhex(h), 'little')
bad = 0
for n, line in enumerate(sys.stdin):
    f = line.split()
    a, b = le(f[0]), le(f[1])
    add, sub, mul, neg, frz, inv = (le(x) for x in f[2:8])
    rc, x = int(f[8]), le(f[9])
    want = [(a + b) % p, (a - b) % p, (a * b) % p, (-a) % p, a % p, pow(a, p - 2, p)]
    got = [add, sub, mul, neg, frz, inv]
    names = ['add', 'sub', 'mul', 'neg', 'freeze', 'invert']
    for nm, w, g in zip(names, want, got):
        if w != g:
            bad += 1
            print('line', n, nm, hex(a), hex(b), 'got', hex(g), 'want', hex(w))
    u, v = a % p, b % p
    if v == 0:
        has_root = (u == 0)
    else:
        r = u * pow(v, p - 2, p) % p
        has_root = r == 0 or pow(r, (p - 1) // 2, p) == 1
    if (rc == 0) != has_root:
        bad += 1
        print('line', n, 'sqrtratio root existence', hex(a), hex(b), rc)
    elif rc == 0 and (x >= p or (v * x * x - u) % p != 0):
        bad += 1
        print('line', n, 'sqrtratio wrong root', hex(a), hex(b), hex(x))
print('bad', bad)
)";
  std::string out = tvt::RunPython(script, input);
  EXPECT_NE(out.find("bad 0\n"), std::string::npos) << out.substr(0, 4000);
}

TEST(Fe25519, EdgeIdentities) {
  const Bytes pm1 = tvt::Unhex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  const Bytes pBytes = tvt::Unhex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  const std::string zeroHex(64, '0');
  const std::string oneHex = "01" + std::string(62, '0');
  NXVT_GF25519 one = {{1, 0, 0, 0, 0, 0, 0, 0}}, zero = {{0, 0, 0, 0, 0, 0, 0, 0}}, two = {{2, 0, 0, 0, 0, 0, 0, 0}};
  NXVT_GF25519 a = Load(pm1), r;

  NXVT_GF25519_Add(&r, &a, &one);
  EXPECT_EQ(Hex(r), zeroHex);
  NXVT_GF25519_Sub(&r, &zero, &one);
  EXPECT_EQ(Hex(r), tvt::Hex(pm1));
  NXVT_GF25519_Mul(&r, &a, &a);
  EXPECT_EQ(Hex(r), oneHex);
  NXVT_GF25519_Invert(&r, &two);
  NXVT_GF25519_Mul(&r, &r, &two);
  EXPECT_EQ(Hex(r), oneHex);
  NXVT_GF25519 pv = Load(pBytes);
  NXVT_GF25519_Freeze(&r, &pv);
  EXPECT_EQ(Hex(r), zeroHex);
  NXVT_GF25519_Invert(&r, &zero);
  EXPECT_EQ(Hex(r), zeroHex);

  // sqrt(-1/1) is +-sqrt(-1); 2 is no square mod p.
  NXVT_GF25519 m1 = Load(pm1), negI;
  ASSERT_EQ(NXVT_GF25519_SqrtRatio(&r, &m1, &one), 0);
  NXVT_GF25519_Neg(&negI, &NXVT_GF25519_SQRTM1);
  EXPECT_TRUE(NXVT_GF25519_Equal(&r, &NXVT_GF25519_SQRTM1) || NXVT_GF25519_Equal(&r, &negI));
  EXPECT_NE(NXVT_GF25519_SqrtRatio(&r, &two, &one), 0);
  // The stored constant really is 2^((p-1)/4) and squares to -1.
  NXVT_GF25519_Mul(&r, &NXVT_GF25519_SQRTM1, &NXVT_GF25519_SQRTM1);
  EXPECT_EQ(Hex(r), tvt::Hex(pm1));
}

// Negation must stay canonical: -0 is 0, not the non-canonical p, so that
// word comparison and the parity bit keep working on negated values.
TEST(Fe25519, NegationOfZeroIsCanonicalZero) {
  NXVT_GF25519 zero = {{0, 0, 0, 0, 0, 0, 0, 0}}, r;
  NXVT_GF25519_Neg(&r, &zero);
  EXPECT_EQ(Hex(r), std::string(64, '0'));
  EXPECT_EQ(NXVT_GF25519_IsZero(&r), 1u);
  // p itself (a non-canonical zero) negates to 0 too.
  NXVT_GF25519 p = Load(tvt::Unhex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"));
  NXVT_GF25519_Neg(&r, &p);
  EXPECT_EQ(Hex(r), std::string(64, '0'));
}

TEST(Fe25519, OutputsMayAliasInputs) {
  tvt::TestRng rng(7);
  for (int i = 0; i < 50; ++i) {
    NXVT_GF25519 a = Load(rng.RandBytes(32)), b = Load(rng.RandBytes(32)), want, x;
    using Op = void (*)(NXVT_GF25519*, const NXVT_GF25519*, const NXVT_GF25519*);
    for (Op op : {Op(NXVT_GF25519_Add), Op(NXVT_GF25519_Sub), Op(NXVT_GF25519_Mul)}) {
      op(&want, &a, &b);
      x = a;
      op(&x, &x, &b);
      EXPECT_EQ(Hex(x), Hex(want));
      x = b;
      op(&x, &a, &x);
      EXPECT_EQ(Hex(x), Hex(want));
      op(&want, &a, &a);
      x = a;
      op(&x, &x, &x);
      EXPECT_EQ(Hex(x), Hex(want));
    }
  }
}

TEST(Fe25519, BytesRoundTripAndSelect) {
  tvt::TestRng rng(11);
  for (int i = 0; i < 20; ++i) {
    Bytes b = rng.RandBytes(32);
    NXVT_GF25519 f = Load(b);
    EXPECT_EQ(Hex(f), tvt::Hex(b));  // FromBytes keeps all 256 bits
    NXVT_GF25519 g = Load(rng.RandBytes(32)), r;
    NXVT_GF25519_Select(&r, &f, &g, 0);
    EXPECT_EQ(Hex(r), Hex(f));
    NXVT_GF25519_Select(&r, &f, &g, 1);
    EXPECT_EQ(Hex(r), Hex(g));
  }
}

}  // namespace
