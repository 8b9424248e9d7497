// Multiplications on public data: signature verification and key decoding.
// They may branch on their inputs.
#include "crypto/ec256.h"

#include "crypto/ec256_point.h"

namespace {

using namespace ec256;

// secp256k1's endomorphism: lambda (x, y) = (beta x, y), lambda^3 = 1 mod n.
constexpr Fe kBeta = HexFe("7ae96a2b657c07106e64479eac3434e99cf0497512f58995c1396c28719501ee");
constexpr Fe kLambda = HexFe("5363ad4cc05c30e0a5261c028812645a122e22ea20816678df02967c1b23bd72");
// Rounded 2^384 b2 / n and 2^384 (-b1) / n, and -b1, -b2 modulo n, of the
// short lattice basis (a1, b1), (a2, b2) of k = k1 + k2 lambda.
constexpr Fe kG1 = HexFe("3086d221a7d46bcde86c90e49284eb153daa8a1471e8ca7fe893209a45dbb031");
constexpr Fe kG2 = HexFe("e4437ed6010e88286f547fa90abfe4c4221208ac9df506c61571b4ae8ac47f71");
constexpr Fe kMinusB1 = HexFe("00000000000000000000000000000000e4437ed6010e88286f547fa90abfe4c3");
constexpr Fe kMinusB2 = HexFe("fffffffffffffffffffffffffffffffe8a280ac50774346dd765cda83db1562c");

// round(a * g / 2^384) for a, g below 2^256.
Fe MulShift384(const Fe& a, const Fe& g) {
  u64 t[8];
  Mul512(t, a, g);
  const u64 round = t[5] >> 63;
  const u128 lo = static_cast<u128>(t[6]) + round;
  return Fe{{static_cast<u64>(lo), t[7] + static_cast<u64>(lo >> 64), 0, 0}};
}

// k = k1 + k2 lambda (mod n) with k1 = (neg1 ? -1 : 1) * b1 and likewise k2,
// b1 and b2 below 2^128. Public scalars only (it branches on them).
void SplitLambda(const Ec256Scalar* k, Ec256Scalar* b1, bool* neg1, Ec256Scalar* b2, bool* neg2) {
  using S = K1::S;
  auto mul = [](Fe& r, const Fe& x, const Fe& y) {
    S::Mul(r, x, y);
    S::ToRepr(r, r);
  };
  const Fe kf = {{k->v[0], k->v[1], k->v[2], k->v[3]}};
  const Fe c1 = MulShift384(kf, kG1), c2 = MulShift384(kf, kG2);
  Fe r1, r2, t;
  mul(r2, c1, kMinusB1);
  mul(t, c2, kMinusB2);
  S::Add(r2, r2, t);
  mul(t, r2, kLambda);
  S::Sub(r1, kf, t);
  // Each half or its negation is short; take the short one.
  const Fe& n = S::kMod;
  const Fe half = {{(n.v[0] >> 1) | (n.v[1] << 63), (n.v[1] >> 1) | (n.v[2] << 63), (n.v[2] >> 1) | (n.v[3] << 63),
                    n.v[3] >> 1}};
  auto shorten = [&](Fe& r, bool* neg) {
    *neg = false;  // r > (n - 1) / 2, compared from the top limb
    for (int i = 3; i >= 0; --i) {
      if (r.v[i] != half.v[i]) {
        *neg = r.v[i] > half.v[i];
        break;
      }
    }
    if (*neg) S::Sub(r, kZeroFe, r);
  };
  shorten(r1, neg1);
  shorten(r2, neg2);
  for (int i = 0; i < 4; ++i) {
    b1->v[i] = r1.v[i];
    b2->v[i] = r2.v[i];
  }
}

template <class C>
void MulGenAddVartimeT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                       const uint8_t px[32], const uint8_t py[32]) {
  using O = Ops<C>;
  using F = typename C::F;
  Proj acc = O::Infinity();
  int e[kGenRows];
  Recode5(e, a);
  for (int i = 0; i < kGenRows; ++i) {
    if (e[i] > 0) {
      O::AddAff(c, acc, acc, c.comb[i][e[i] - 1]);
    } else if (e[i] < 0) {
      Aff t = c.comb[i][-e[i] - 1];
      F::Sub(t.y, kZeroFe, t.y);
      O::AddAff(c, acc, acc, t);
    }
  }
  Aff P;
  O::LoadAff(P, px, py);
  Proj bp = O::Infinity();
  if constexpr (!C::kAMinus3) {
    // b P = b1 P + b2 (lambda P) with halves of 128 bits: half the doublings.
    Ec256Scalar b1, b2;
    bool neg1, neg2;
    SplitLambda(b, &b1, &neg1, &b2, &neg2);
    Aff P2 = P;
    F::Mul(P2.x, P.x, kBeta);  // lambda (x, y) = (beta x, y)
    if (neg1) F::Sub(P.y, kZeroFe, P.y);
    if (neg2) F::Sub(P2.y, kZeroFe, P2.y);
    Proj T1[16], T2[16];
    O::Window(c, T1, P);
    O::Window(c, T2, P2);
    for (int i = 31; i >= 0; --i) {
      for (int s = 0; s < 4; ++s) O::Dbl(c, bp, bp);
      const unsigned d1 = Digit(&b1, i), d2 = Digit(&b2, i);
      if (d1 != 0) O::Add(c, bp, bp, T1[d1]);
      if (d2 != 0) O::Add(c, bp, bp, T2[d2]);
    }
  } else {
    Proj T[16];
    O::Window(c, T, P);
    for (int i = kCombWindows - 1; i >= 0; --i) {
      for (int s = 0; s < 4; ++s) O::Dbl(c, bp, bp);
      const unsigned d = Digit(b, i);
      if (d != 0) O::Add(c, bp, bp, T[d]);
    }
  }
  O::Add(c, acc, acc, bp);
  O::ToPoint(out, acc);
}

template <class C>
bool DecompressT(const Ec256Curve& c, uint8_t yOut[32], const uint8_t xIn[32], uint32_t parity) {
  using F = typename C::F;
  Fe x, rhs, t, y, yy;
  LoadBE(t, xIn);
  F::ToRepr(x, t);
  F::Sqr(rhs, x);
  F::Mul(rhs, rhs, x);
  if constexpr (C::kAMinus3) {
    Ops<C>::MulA(t, x);
    F::Add(rhs, rhs, t);
  }
  F::Add(rhs, rhs, c.b);
  if (IsZeroMask(rhs)) return false;
  // p = 3 mod 4 on both curves: a root is rhs^((p + 1) / 4).
  // (p + 1) / 4 = floor(p / 4) + 1, as p = 3 mod 4.
  const Fe& m = F::kMod;
  Fe e = {{(m.v[0] >> 2) | (m.v[1] << 62), (m.v[1] >> 2) | (m.v[2] << 62), (m.v[2] >> 2) | (m.v[3] << 62),
           m.v[3] >> 2}};
  for (int i = 0; i < 4 && ++e.v[i] == 0; ++i) {
  }
  PowPublic<F>(y, rhs, e);
  F::Sqr(yy, y);
  for (int i = 0; i < 4; ++i) {
    if (yy.v[i] != rhs.v[i]) return false;
  }
  F::FromRepr(y, y);
  if ((y.v[0] & 1) != (parity & 1)) SubMod(y, kZeroFe, y, m);
  StoreBE(yOut, y);
  return true;
}

}  // namespace

void Ec256_MulGenAddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                            const uint8_t px[32], const uint8_t py[32]) {
  if (c->p256) {
    MulGenAddVartimeT<P256>(*c, out, a, b, px, py);
  } else {
    MulGenAddVartimeT<K1>(*c, out, a, b, px, py);
  }
}

bool Ec256_DecompressVartime(const Ec256Curve* c, uint8_t y[32], const uint8_t x[32], uint32_t parity) {
  return c->p256 ? DecompressT<P256>(*c, y, x, parity) : DecompressT<K1>(*c, y, x, parity);
}
