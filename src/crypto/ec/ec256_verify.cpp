// Multiplications on public data: signature verification, public-key
// decoding and public derivation. They may branch on their inputs and index
// tables by them; nothing secret reaches this file.
//
// a*G + b*P runs Strauss's interleaved window-NAF: odd multiples of P
// (width 5) built per call, odd multiples of G from tables built once per
// process (width kGWindow), Jacobian coordinates with the doubling
// specialised to the curve's a, and the exceptional sums (doubling,
// infinity) handled by branches. On secp256k1 b splits into two halves of
// 128 bits through the endomorphism and a into its low and high 128 bits
// (a second table holds multiples of 2^128 G), which halves the doublings.
#include "crypto/ec/ec256.h"

#include "crypto/ec/ec256_point.h"

namespace {

using namespace ec256;


constexpr int kPWindow = 5;                        // digits of b: odd, |d| <= 15
constexpr int kPEntries = 1 << (kPWindow - 2);     // P, 3P, ..., 15P
constexpr int kGWindow = 12;                       // digits of a: odd, |d| <= 2047
constexpr int kGEntries = 1 << (kGWindow - 2);     // G, 3G, ..., 2047G
constexpr int kMaxDigits = 257;                    // of a value below 2^256

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
  const Fe c1 = MulShift384(kf, kSplitG1), c2 = MulShift384(kf, kSplitG2);
  Fe r1, r2, t;
  mul(r2, c1, kSplitMinusB1);
  mul(t, c2, kSplitMinusB2);
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

bool FeEqual(const Fe& a, const Fe& b) {
  return ((a.v[0] ^ b.v[0]) | (a.v[1] ^ b.v[1]) | (a.v[2] ^ b.v[2]) | (a.v[3] ^ b.v[3])) == 0;
}

bool FeIsZero(const Fe& a) { return (a.v[0] | a.v[1] | a.v[2] | a.v[3]) == 0; }

// The window-NAF of v (below 2^256, 4 limbs): d[i] odd or zero, |d[i]| <
// 2^(w-1), v = sum d[i] 2^i, at least w - 1 zeros after every nonzero
// digit. Returns the number of digits up to the last nonzero one.
int Wnaf(int d[kMaxDigits], const u64 v[4], int w) {
  auto bits64 = [&](int pos) -> u64 {
    // 64 bits of v from pos; bits past 2^256 read as zero.
    const int limb = pos / 64, shift = pos % 64;
    u64 x = limb < 4 ? v[limb] >> shift : 0;
    if (shift != 0 && limb + 1 < 4) x |= v[limb + 1] << (64 - shift);
    return x;
  };
  for (int i = 0; i < kMaxDigits; ++i) d[i] = 0;
  int carry = 0, last = -1;
  for (int bit = 0; bit < kMaxDigits;) {
    // Bits equal to the carry give zero digits: skip the run.
    const u64 run = bits64(bit) ^ (0 - static_cast<u64>(carry));
    if (run == 0) {
      bit += 64;
      continue;
    }
    bit += __builtin_ctzll(run);
    if (bit >= kMaxDigits) break;
    const int now = w < kMaxDigits - bit ? w : kMaxDigits - bit;
    int word = static_cast<int>(bits64(bit) & ((1ULL << now) - 1)) + carry;
    carry = (word >> (w - 1)) & 1;
    word -= carry << w;
    d[bit] = word;
    last = bit;
    bit += now;
  }
  return last + 1;
}

// A point in Jacobian coordinates (x = X/Z^2, y = Y/Z^3); inf marks the
// point at infinity.
struct Jac {
  Fe X, Y, Z;
  bool inf;
};

template <class C>
struct Var {
  using F = typename C::F;

  // r = 2p (DblJacobian, infinity kept by its flag).
  static void Dbl(Jac& r, const Jac& p) {
    if (p.inf) {
      r = p;
      return;
    }
    DblJacobian<C>(r, p);
    r.inf = false;
  }

  // r = p + (qx, qy). zr, when given, receives Z(r) / Z(p) (only read by
  // callers whose sums are never exceptional).
  static void AddAff(Jac& r, const Jac& p, const Aff& q, Fe* zr = nullptr) {
    if (p.inf) {
      r = Jac{q.x, q.y, F::kOne, false};
      return;
    }
    Fe z2, u2, s2, h, rr;
    F::Sqr(z2, p.Z);
    F::Mul(u2, q.x, z2);
    F::Mul(s2, p.Z, z2);
    F::Mul(s2, q.y, s2);
    F::Sub(h, u2, p.X);
    F::Sub(rr, s2, p.Y);
    if (FeIsZero(h)) {
      if (FeIsZero(rr)) {
        Dbl(r, Jac{q.x, q.y, F::kOne, false});  // the same point: double it
      } else {
        r.inf = true;  // its negation
      }
      return;
    }
    if (zr != nullptr) *zr = h;
    Fe hh, hhh, v, t;
    F::Sqr(hh, h);
    F::Mul(hhh, hh, h);
    F::Mul(v, p.X, hh);
    F::Mul(r.Z, p.Z, h);
    F::Sqr(t, rr);
    F::Sub(t, t, hhh);
    F::Sub(t, t, v);
    F::Sub(t, t, v);
    F::Mul(hhh, p.Y, hhh);  // p.Y read before r.Y is written (r may alias p)
    F::Sub(v, v, t);
    r.X = t;
    F::Mul(t, rr, v);
    F::Sub(r.Y, t, hhh);
    r.inf = false;
  }

  // out[k] = (2k + 1) P for k < count, all with one common Z = *zg: the
  // coordinates are affine on the curve scaled by zg (x zg^2, y zg^3).
  // Built without an inversion: the sums run against 2P made affine on the
  // curve scaled by its own Z, and each entry is then brought to the last
  // one's Z through the ratios of the chain. P must be a finite point of
  // the curve (its multiples below 2n are then never exceptional).
  // h is scratch for count ratios.
  static void OddMultiples(Aff* out, int count, const Aff& P, Fe* zg, Fe* h) {
    if (count <= 1) {
      out[0] = P;
      *zg = F::kOne;
      return;
    }
    Jac d;
    Dbl(d, Jac{P.x, P.y, F::kOne, false});
    Fe zd2, zd3;
    F::Sqr(zd2, d.Z);
    F::Mul(zd3, zd2, d.Z);
    const Aff dA{d.X, d.Y};
    Jac e{kZeroFe, kZeroFe, F::kOne, false};
    F::Mul(e.X, P.x, zd2);
    F::Mul(e.Y, P.y, zd3);
    out[0] = Aff{e.X, e.Y};
    for (int k = 1; k < count; ++k) {
      AddAff(e, e, dA, &h[k]);
      out[k] = Aff{e.X, e.Y};  // on its own Z for now
    }
    Fe s = F::kOne, s2, s3;
    for (int k = count - 2; k >= 0; --k) {
      F::Mul(s, s, h[k + 1]);  // Z of the last entry / Z of entry k
      F::Sqr(s2, s);
      F::Mul(s3, s2, s);
      F::Mul(out[k].x, out[k].x, s2);
      F::Mul(out[k].y, out[k].y, s3);
    }
    F::Mul(*zg, d.Z, e.Z);
  }

  // Entries on the curve scaled by zg made affine on the curve itself.
  static void Unscale(Aff* t, int count, const Fe& zg) {
    Fe zi, zi2, zi3;
    F::InvVartime(zi, zg);  // public data
    F::Sqr(zi2, zi);
    F::Mul(zi3, zi2, zi);
    for (int k = 0; k < count; ++k) {
      F::Mul(t[k].x, t[k].x, zi2);
      F::Mul(t[k].y, t[k].y, zi3);
    }
  }
};

// secp256k1 splits a at 2^128 and keeps a table for G and one for 2^128 G;
// P-256 has one table for all 256 bits of a.
template <class C>
constexpr int kGParts = C::kAMinus3 ? 1 : 2;

struct GenTables {
  Aff t[2][kGEntries];
};

template <class C>
const GenTables* BuildGenTables(const Ec256Curve& c) {
  using V = Var<C>;
  using F = typename C::F;
  static GenTables g;
  Aff base = c.g;
  for (int part = 0; part < kGParts<C>; ++part) {
    if (part > 0) {
      // base = 2^128 base, made affine.
      Jac j{base.x, base.y, F::kOne, false};
      for (int i = 0; i < 128; ++i) V::Dbl(j, j);
      Aff t[1] = {{j.X, j.Y}};
      V::Unscale(t, 1, j.Z);
      base = t[0];
    }
    // Scratch of this curve's one-time build (large for a small thread
    // stack; the build runs under its initialisation lock).
    static Fe h[kGEntries];
    Fe zg;
    V::OddMultiples(g.t[part], kGEntries, base, &zg, h);
    V::Unscale(g.t[part], kGEntries, zg);
  }
  return &g;
}

// The tables of a curve, built once by the first caller (the language makes
// the others wait for it) with the processor's field code. Both field
// paths of a curve keep the same residues, so they share one table.
const GenTables& K1Tables(const Ec256Curve& c) {
  static const GenTables* const g = [&c] {
    const GenTables* t = nullptr;
    WithK1([&](auto k1) { t = BuildGenTables<decltype(k1)>(c); });
    return t;
  }();
  return *g;
}

const GenTables& P256Tables(const Ec256Curve& c) {
  static const GenTables* const g = [&c] {
    const GenTables* t = nullptr;
    WithP256([&](auto p2) { t = BuildGenTables<decltype(p2)>(c); });
    return t;
  }();
  return *g;
}

template <class C>
const GenTables& GenTablesOf(const Ec256Curve& c) {
  return C::kAMinus3 ? P256Tables(c) : K1Tables(c);
}

// *acc = a*G + b*P in Jacobian coordinates, for public a, b below n and a
// finite point P = (px, py) of the curve (not read when b = 0).
template <class C>
void MulGenAddJac(const Ec256Curve& c, Jac* acc, const Ec256Scalar* a, const Ec256Scalar* b, const uint8_t px[32],
                  const uint8_t py[32]) {
  using V = Var<C>;
  using F = typename C::F;
  Aff P;
  Ops<C>::LoadAff(P, px, py);
  Fe zg;
  // Up to two digit rows for b (the halves of the split), each with its
  // table, and kGParts rows for a.
  int bd[2][kMaxDigits], ad[kGParts<C>][kMaxDigits];
  int bLen[2] = {0, 0}, aLen[kGParts<C>];
  Aff pt[2][kPEntries];
  int rows = 1;
  if constexpr (!C::kAMinus3) {
    Ec256Scalar b1, b2;
    bool neg1, neg2;
    SplitLambda(b, &b1, &neg1, &b2, &neg2);
    bLen[0] = Wnaf(bd[0], b1.v, kPWindow);
    bLen[1] = Wnaf(bd[1], b2.v, kPWindow);
    rows = 2;
    const u64 ahi[4] = {a->v[2], a->v[3], 0, 0}, alo[4] = {a->v[0], a->v[1], 0, 0};
    aLen[0] = Wnaf(ad[0], alo, kGWindow);
    aLen[1] = Wnaf(ad[1], ahi, kGWindow);
    // The table of P serves both halves: lambda (x, y) = (beta x, y), and
    // the signs of the halves are folded into the digits.
    if (neg1) {
      for (int i = 0; i < bLen[0]; ++i) bd[0][i] = -bd[0][i];
    }
    if (neg2) {
      for (int i = 0; i < bLen[1]; ++i) bd[1][i] = -bd[1][i];
    }
  } else {
    bLen[0] = Wnaf(bd[0], b->v, kPWindow);
    aLen[0] = Wnaf(ad[0], a->v, kGWindow);
  }
  // Only as many odd multiples as the digits need (one for b = 1).
  int maxDigit = 0;
  for (int r = 0; r < rows; ++r) {
    for (int i = 0; i < bLen[r]; ++i) {
      const int m = bd[r][i] < 0 ? -bd[r][i] : bd[r][i];
      if (m > maxDigit) maxDigit = m;
    }
  }
  const int entries = (maxDigit + 1) / 2;
  zg = F::kOne;
  if (entries > 0) {
    Fe h[kPEntries];
    V::OddMultiples(pt[0], entries, P, &zg, h);
    if constexpr (C::kAMinus3) {
      // The doubling of a = -3 does not hold on the scaled curve (a changes
      // with the scale): make the entries affine.
      V::Unscale(pt[0], entries, zg);
      zg = F::kOne;
    } else {
      // a = 0: the doubling and the sums hold on every scaled curve, so the
      // loop runs there and the final Z takes the scale.
      for (int k = 0; k < entries; ++k) {
        F::Mul(pt[1][k].x, pt[0][k].x, kBeta);
        pt[1][k].y = pt[0][k].y;
      }
    }
  }
  // G's entries join the scaled curve by (x zg^2, y zg^3).
  const bool scaled = !FeEqual(zg, F::kOne);
  Fe zg2, zg3;
  F::Sqr(zg2, zg);
  F::Mul(zg3, zg2, zg);
  const GenTables& gt = GenTablesOf<C>(c);
  int top = 0;
  for (int r = 0; r < rows; ++r) top = bLen[r] > top ? bLen[r] : top;
  for (int r = 0; r < kGParts<C>; ++r) top = aLen[r] > top ? aLen[r] : top;
  Jac R{kZeroFe, F::kOne, kZeroFe, true};
  Aff e;
  for (int i = top - 1; i >= 0; --i) {
    V::Dbl(R, R);
    for (int r = 0; r < rows; ++r) {
      const int d = bd[r][i];
      if (d == 0) continue;
      e = pt[r][(d < 0 ? -d : d) >> 1];
      if (d < 0) F::Sub(e.y, kZeroFe, e.y);
      V::AddAff(R, R, e);
    }
    for (int r = 0; r < kGParts<C>; ++r) {
      const int d = ad[r][i];
      if (d == 0) continue;
      e = gt.t[r][(d < 0 ? -d : d) >> 1];
      if (scaled) {
        F::Mul(e.x, e.x, zg2);
        F::Mul(e.y, e.y, zg3);
      }
      if (d < 0) F::Sub(e.y, kZeroFe, e.y);
      V::AddAff(R, R, e);
    }
  }
  // Back from the scaled curve: the true Z is Z zg.
  F::Mul(R.Z, R.Z, zg);
  *acc = R;
}

// out = the affine bytes of R (public).
template <class C>
void StoreVartime(Ec256Point* out, const Jac& R) {
  using F = typename C::F;
  *out = Ec256Point{};
  if (R.inf) {
    out->infinity = 1;
    return;
  }
  Fe zi, zi2, x, y;
  F::InvVartime(zi, R.Z);  // public data
  F::Sqr(zi2, zi);
  F::Mul(x, R.X, zi2);
  F::Mul(zi2, zi2, zi);
  F::Mul(y, R.Y, zi2);
  F::FromRepr(x, x);
  F::FromRepr(y, y);
  StoreBE(out->x, x);
  StoreBE(out->y, y);
}

template <class C>
void MulGenAddVartimeT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                       const uint8_t px[32], const uint8_t py[32]) {
  Jac R;
  MulGenAddJac<C>(c, &R, a, b, px, py);
  StoreVartime<C>(out, R);
}

template <class C>
void AddVartimeT(Ec256Point* out, const Ec256Point* a, const Ec256Point* b) {
  if (a->infinity || b->infinity) {
    *out = a->infinity ? *b : *a;
    return;
  }
  Aff A, B;
  Ops<C>::LoadAff(A, a->x, a->y);
  Ops<C>::LoadAff(B, b->x, b->y);
  Jac R;
  Var<C>::AddAff(R, Jac{A.x, A.y, C::F::kOne, false}, B);
  StoreVartime<C>(out, R);
}

template <class C>
bool VerifyXT(const Ec256Curve& c, const Ec256Scalar* a, const Ec256Scalar* b, const uint8_t px[32],
              const uint8_t py[32], const Ec256Scalar* r) {
  using F = typename C::F;
  Jac R;
  MulGenAddJac<C>(c, &R, a, b, px, py);
  if (R.inf) return false;
  // x = X / Z^2 is congruent to r modulo n when x = r or, as p < 2n, x =
  // r + n (possible when r + n < p): compare r Z^2 with X instead of
  // inverting Z.
  Fe z2, rf, t;
  F::Sqr(z2, R.Z);
  const Fe rv = {{r->v[0], r->v[1], r->v[2], r->v[3]}};
  F::ToRepr(rf, rv);
  F::Mul(t, rf, z2);
  if (FeEqual(t, R.X)) return true;
  // r + n, when below p.
  Fe rn;
  u64 carry = 0;
  for (int i = 0; i < 4; ++i) {
    const u128 s = static_cast<u128>(rv.v[i]) + c.n.v[i] + carry;
    rn.v[i] = static_cast<u64>(s);
    carry = static_cast<u64>(s >> 64);
  }
  if (carry != 0 || ReduceOnce(t, rn, F::kMod) == 0) return false;
  F::ToRepr(rf, rn);
  F::Mul(t, rf, z2);
  return FeEqual(t, R.X);
}

// r = a^(2^n) * m.
template <class F>
void SqrNMul(Fe& r, const Fe& a, int n, const Fe& m) {
  Fe t = a;
  for (int i = 0; i < n; ++i) F::Sqr(t, t);
  F::Mul(r, t, m);
}

// r = a^((p + 1) / 4), a square root of a when there is one (p = 3 mod 4 on
// both curves), by a fixed addition chain of each field.
template <class C>
void SqrtCandidate(Fe& r, const Fe& a) {
  using F = typename C::F;
  if constexpr (C::kAMinus3) {
    // (p + 1) / 4 = (((2^32 - 1) 2^32 + 1) 2^96 + 1) 2^94.
    Fe x2, x4, x8, x16, x32, t;
    SqrNMul<F>(x2, a, 1, a);
    SqrNMul<F>(x4, x2, 2, x2);
    SqrNMul<F>(x8, x4, 4, x4);
    SqrNMul<F>(x16, x8, 8, x8);
    SqrNMul<F>(x32, x16, 16, x16);
    SqrNMul<F>(t, x32, 32, a);
    SqrNMul<F>(t, t, 96, a);
    for (int i = 0; i < 94; ++i) F::Sqr(t, t);
    r = t;
  } else {
    // (p + 1) / 4 = ((((2^223 - 1) 2^23 + 2^22 - 1) 2^6 + 3) 2) 2, with
    // x_k = a^(2^k - 1).
    Fe x2, x3, x6, x9, x11, x22, x44, x88, x176, x220, x223, t;
    SqrNMul<F>(x2, a, 1, a);
    SqrNMul<F>(x3, x2, 1, a);
    SqrNMul<F>(x6, x3, 3, x3);
    SqrNMul<F>(x9, x6, 3, x3);
    SqrNMul<F>(x11, x9, 2, x2);
    SqrNMul<F>(x22, x11, 11, x11);
    SqrNMul<F>(x44, x22, 22, x22);
    SqrNMul<F>(x88, x44, 44, x44);
    SqrNMul<F>(x176, x88, 88, x88);
    SqrNMul<F>(x220, x176, 44, x44);
    SqrNMul<F>(x223, x220, 3, x3);
    SqrNMul<F>(t, x223, 23, x22);
    SqrNMul<F>(t, t, 6, x2);
    F::Sqr(t, t);
    F::Sqr(r, t);
  }
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
  if (FeIsZero(rhs)) return false;
  SqrtCandidate<C>(y, rhs);
  F::Sqr(yy, y);
  if (!FeEqual(yy, rhs)) return false;
  F::FromRepr(y, y);
  if ((y.v[0] & 1) != (parity & 1)) SubMod(y, kZeroFe, y, F::kMod);
  StoreBE(yOut, y);
  return true;
}

}  // namespace

void Ec256_MulGenAddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* a, const Ec256Scalar* b,
                            const uint8_t px[32], const uint8_t py[32]) {
  if (c->p256) {
    WithP256([&](auto p2) { MulGenAddVartimeT<decltype(p2)>(*c, out, a, b, px, py); });
  } else {
    WithK1([&](auto k1) { MulGenAddVartimeT<decltype(k1)>(*c, out, a, b, px, py); });
  }
}

void Ec256_AddVartime(const Ec256Curve* c, Ec256Point* out, const Ec256Point* a, const Ec256Point* b) {
  if (c->p256) {
    WithP256([&](auto p2) { AddVartimeT<decltype(p2)>(out, a, b); });
  } else {
    WithK1([&](auto k1) { AddVartimeT<decltype(k1)>(out, a, b); });
  }
}

bool Ec256_VerifyXVartime(const Ec256Curve* c, const Ec256Scalar* a, const Ec256Scalar* b, const uint8_t px[32],
                          const uint8_t py[32], const Ec256Scalar* r) {
  bool ok = false;
  if (c->p256) {
    WithP256([&](auto p2) { ok = VerifyXT<decltype(p2)>(*c, a, b, px, py, r); });
  } else {
    WithK1([&](auto k1) { ok = VerifyXT<decltype(k1)>(*c, a, b, px, py, r); });
  }
  return ok;
}

bool Ec256_DecompressVartime(const Ec256Curve* c, uint8_t y[32], const uint8_t x[32], uint32_t parity) {
  bool ok = false;
  if (c->p256) {
    WithP256([&](auto p2) { ok = DecompressT<decltype(p2)>(*c, y, x, parity); });
  } else {
    WithK1([&](auto k1) { ok = DecompressT<decltype(k1)>(*c, y, x, parity); });
  }
  return ok;
}
