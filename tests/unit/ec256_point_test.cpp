// The complete point formulas where incomplete ones break: a sum that is a
// doubling, a sum that cancels to the point at infinity, the point at
// infinity as either operand and doubled, on both curves and on every field
// code of secp256k1, against the generator table's multiples.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "crypto/cpu_features.h"
#include "crypto/ec/ec256_point.h"
#include "tv_test.h"

namespace {

using namespace ec256;

std::string Enc(const Ec256Point& p) {
  if (p.infinity) return "inf";
  return tvt::Hex(p.x, 32) + tvt::Hex(p.y, 32);
}

Ec256Scalar Small(uint64_t v) { return Ec256Scalar{{v, 0, 0, 0}}; }

template <class C>
void CheckFormulas(const Ec256Curve& c, const char* name) {
  using O = Ops<C>;
  using F = typename C::F;
  tvt::TestRng rng(0xAddD);
  auto mulGen = [&](const Ec256Scalar& k) {
    Ec256Point p;
    Ec256_MulGen(&c, &p, &k);
    return p;
  };
  auto aff = [&](const Ec256Point& p) {
    Aff a;
    O::LoadAff(a, p.x, p.y);
    return a;
  };
  auto proj = [&](const Ec256Point& p, uint64_t scale) {
    // (x z, y z, z) for a z other than 1, so Z matters in the formulas.
    Aff a = aff(p);
    Fe z = kZeroFe;
    z.v[0] = scale;
    F::ToRepr(z, z);
    Proj r;
    F::Mul(r.X, a.x, z);
    F::Mul(r.Y, a.y, z);
    r.Z = z;
    return r;
  };
  auto out = [&](const Proj& p) {
    Ec256Point e;
    O::ToPoint(&e, p);
    return Enc(e);
  };
  // -1 modulo n (n is odd, so its low word does not borrow).
  Ec256Scalar minusOne = {{c.n.v[0] - 1, c.n.v[1], c.n.v[2], c.n.v[3]}};
  for (int round = 0; round < 4; ++round) {
    Ec256Scalar k;
    Ec256_ScalarFromBytes(&c, &k, rng.RandBytes(32).data());
    if (round == 0) k = Small(1);
    Ec256Scalar k2, negK;
    Ec256_ScalarAdd(&c, &k2, &k, &k);
    Ec256_ScalarMul(&c, &negK, &k, &minusOne);
    const Ec256Point P = mulGen(k), P2 = mulGen(k2), NP = mulGen(negK);
    const std::string want2 = Enc(P2), wantP = Enc(P);
    const Proj inf = O::Infinity();
    Proj r;
    SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
    // Doubling through the addition formulas, both forms.
    O::Add(c, r, proj(P, 3), proj(P, 5));
    EXPECT_EQ(out(r), want2);
    O::AddAff(c, r, proj(P, 7), aff(P));
    EXPECT_EQ(out(r), want2);
    O::Dbl(c, r, proj(P, 9));
    EXPECT_EQ(out(r), want2);
    // P + (-P).
    O::Add(c, r, proj(P, 2), proj(NP, 11));
    EXPECT_EQ(out(r), "inf");
    O::AddAff(c, r, proj(P, 4), aff(NP));
    EXPECT_EQ(out(r), "inf");
    // The point at infinity as an operand, and doubled.
    O::Add(c, r, inf, proj(P, 6));
    EXPECT_EQ(out(r), wantP);
    O::Add(c, r, proj(P, 6), inf);
    EXPECT_EQ(out(r), wantP);
    O::AddAff(c, r, inf, aff(P));
    EXPECT_EQ(out(r), wantP);
    O::Dbl(c, r, inf);
    EXPECT_EQ(out(r), "inf");
    O::Add(c, r, inf, inf);
    EXPECT_EQ(out(r), "inf");
    // Results written over an operand.
    r = proj(P, 13);
    O::Add(c, r, r, r);
    EXPECT_EQ(out(r), want2);
    r = proj(P, 13);
    O::Dbl(c, r, r);
    EXPECT_EQ(out(r), want2);
  }
}

TEST(Ec256Formulas, DoublingInfinityAndInversesOnEveryFieldCode) {
  CheckFormulas<K1>(*Ec256_Secp256k1(), "secp256k1 portable");
  CheckFormulas<P256>(*Ec256_P256(), "P-256");
#if EC256_MULX
  if (NXVT_CpuFeatures().mulx) CheckFormulas<K1Mulx>(*Ec256_Secp256k1(), "secp256k1 MULX");
#endif
}

// The process builds its generator tables with this processor's field code
// (MULX where it has it); the portable field code builds the same bytes.
template <class C>
void CheckTableBuild(const Ec256Curve& live, const char* name) {
  auto built = std::make_unique<Ec256Curve>(live);
  std::memset(built->comb, 0, sizeof built->comb);
  Ops<C>::BuildComb(*built);
  EXPECT_EQ(std::memcmp(built->comb, live.comb, sizeof live.comb), 0) << name;
}

TEST(Ec256Formulas, GeneratorTablesAreTheSameOnEveryFieldCode) {
  CheckTableBuild<K1>(*Ec256_Secp256k1(), "secp256k1");
  CheckTableBuild<P256>(*Ec256_P256(), "P-256");
}

}  // namespace
