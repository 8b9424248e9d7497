// Points of the two 256-bit curves: the curve objects, the complete
// addition formulas and the scalar recodings shared by the multiplications.
// Internal to the curve code (ec256*.cpp).
#ifndef TOLVARIS_CRYPTO_EC_EC256_POINT_H
#define TOLVARIS_CRYPTO_EC_EC256_POINT_H

#include "crypto/cpu_features.h"
#include "crypto/ec/ec256.h"
#include "crypto/ec/ec256_field.h"
#include "crypto/ec/ec256_p256.h"

namespace ec256 {

struct Proj {
  Fe X, Y, Z;
};
struct Aff {
  Fe x, y;
};

constexpr int kGenWindow = 7;     // bits per digit of k*G
constexpr int kGenRows = 37;      // signed 7-bit digits of a scalar below 2^256
constexpr int kGenEntries = 64;   // |digit| 1..64

}  // namespace ec256

struct Ec256Curve {
  bool p256;
  ec256::Fe n;       // the order
  ec256::Fe b;       // b, field representation
  ec256::Fe b3;      // 3b, field representation
  ec256::Aff g;      // the generator, field representation
  // comb[i][j] = (j + 1) * 128^i * G, affine, field representation: 37
  // rows of 64 points, 148 KiB.
  ec256::Aff comb[ec256::kGenRows][ec256::kGenEntries];
};

namespace ec256 {

struct K1 {
  using F = K1Field;
  using S = MontField<kK1N>;
  static constexpr bool kAMinus3 = false;
  EC_INLINE static void MulB3(const Ec256Curve&, Fe& r, const Fe& a) { F::MulWord(r, a, 21); }
};

#if EC256_MULX
// secp256k1 with MULX/ADX field products: same residues, same table.
struct K1Mulx : K1 {
  using F = K1FieldMulx;
};
#endif

// Runs fn with secp256k1's field code for this processor: MULX/ADX products
// where the processor has them, the portable ones otherwise (or while a
// test forces the portable path).
template <class Fn>
void WithK1(Fn fn) {
#if EC256_MULX
  if (NXVT_CpuFeatures().mulx) {
    fn(K1Mulx{});
    return;
  }
#endif
  fn(K1{});
}

// secp256k1's endomorphism lambda (x, y) = (beta x, y), lambda^3 = 1 mod n,
// and the constants of the split k = k1 + k2 lambda (mod n) with k1, k2
// below 2^128 in absolute value: g1, g2 are 2^384 b2 / n and 2^384 (-b1) / n
// rounded, and -b1, -b2 modulo n, of the short lattice basis (a1, b1),
// (a2, b2).
inline constexpr Fe kBeta = HexFe("7ae96a2b657c07106e64479eac3434e99cf0497512f58995c1396c28719501ee");
inline constexpr Fe kLambda = HexFe("5363ad4cc05c30e0a5261c028812645a122e22ea20816678df02967c1b23bd72");
inline constexpr Fe kSplitG1 = HexFe("3086d221a7d46bcde86c90e49284eb153daa8a1471e8ca7fe893209a45dbb031");
inline constexpr Fe kSplitG2 = HexFe("e4437ed6010e88286f547fa90abfe4c4221208ac9df506c61571b4ae8ac47f71");
inline constexpr Fe kSplitMinusB1 = HexFe("00000000000000000000000000000000e4437ed6010e88286f547fa90abfe4c3");
inline constexpr Fe kSplitMinusB2 = HexFe("fffffffffffffffffffffffffffffffe8a280ac50774346dd765cda83db1562c");

struct P256 {
  using F = P256Field;
  using S = MontField<kP256N>;
  static constexpr bool kAMinus3 = true;
  EC_INLINE static void MulB3(const Ec256Curve& c, Fe& r, const Fe& a) { F::Mul(r, c.b3, a); }
};

#if EC256_MULX
// P-256 with MULX/ADX field products: same residues, same table.
struct P256Mulx : P256 {
  using F = P256FieldMulx;
  EC_INLINE static void MulB3(const Ec256Curve& c, Fe& r, const Fe& a) { F::Mul(r, c.b3, a); }
};
#endif

// Runs fn with P-256's arithmetic for this processor: MULX/ADX products
// where the processor has them, the portable ones otherwise (or while a
// test forces the portable path). Asked once per operation.
template <class Fn>
void WithP256(Fn fn) {
#if EC256_MULX
  if (NXVT_CpuFeatures().mulx) {
    fn(P256Mulx{});
    return;
  }
#endif
  fn(P256{});
}

// Point arithmetic of one curve in projective coordinates (x = X/Z,
// y = Y/Z), by the complete formulas of Renes, Costello and Batina: correct
// for doubling, inverses and the point at infinity (0 : 1 : 0) alike, so no
// input needs a branch. Results may alias operands.
template <class C>
struct Ops {
  using F = typename C::F;

  static Proj Infinity() { return Proj{kZeroFe, F::kOne, kZeroFe}; }

  // r = -3x (the curve's a = -3 times x).
  EC_INLINE static void MulA(Fe& r, const Fe& x) {
    Fe t;
    F::Add(t, x, x);
    F::Add(t, t, x);
    F::Sub(r, kZeroFe, t);
  }

  // The common second half of both additions: t0 = X1X2, t1 = Y1Y2,
  // t2 = Z1Z2, t3 = X1Y2 + X2Y1, t4 = X1Z2 + X2Z1, t5 = Y1Z2 + Y2Z1.
  EC_INLINE static void Finish(const Ec256Curve& c, Proj& R, Fe& t0, Fe& t1, Fe& t2, Fe& t3, Fe& t4, Fe& t5) {
    Fe X3, Y3, Z3;
    if constexpr (C::kAMinus3) {
      MulA(Z3, t4);
      C::MulB3(c, X3, t2);
      F::Add(Z3, X3, Z3);
    } else {
      C::MulB3(c, Z3, t2);
    }
    F::Sub(X3, t1, Z3);
    F::Add(Z3, t1, Z3);
    F::Mul(Y3, X3, Z3);
    F::Add(t1, t0, t0);
    F::Add(t1, t1, t0);
    if constexpr (C::kAMinus3) {
      MulA(t2, t2);
      C::MulB3(c, t4, t4);
      F::Add(t1, t1, t2);
      F::Sub(t2, t0, t2);
      MulA(t2, t2);
      F::Add(t4, t4, t2);
    } else {
      C::MulB3(c, t4, t4);
    }
    F::Mul(t0, t1, t4);
    F::Add(Y3, Y3, t0);
    F::Mul(t0, t5, t4);
    F::Mul(X3, t3, X3);
    F::Sub(X3, X3, t0);
    F::Mul(t0, t3, t1);
    F::Mul(Z3, t5, Z3);
    F::Add(Z3, Z3, t0);
    R.X = X3;
    R.Y = Y3;
    R.Z = Z3;
  }

  static void Add(const Ec256Curve& c, Proj& R, const Proj& P, const Proj& Q) {
    Fe t0, t1, t2, t3, t4, t5, u;
    F::Mul(t0, P.X, Q.X);
    F::Mul(t1, P.Y, Q.Y);
    F::Mul(t2, P.Z, Q.Z);
    F::Add(t3, P.X, P.Y);
    F::Add(t4, Q.X, Q.Y);
    F::Mul(t3, t3, t4);
    F::Add(t4, t0, t1);
    F::Sub(t3, t3, t4);
    F::Add(t4, P.X, P.Z);
    F::Add(t5, Q.X, Q.Z);
    F::Mul(t4, t4, t5);
    F::Add(t5, t0, t2);
    F::Sub(t4, t4, t5);
    F::Add(t5, P.Y, P.Z);
    F::Add(u, Q.Y, Q.Z);
    F::Mul(t5, t5, u);
    F::Add(u, t1, t2);
    F::Sub(t5, t5, u);
    Finish(c, R, t0, t1, t2, t3, t4, t5);
  }

  // R = P + (x, y) for an affine point (Z2 = 1 in the complete formulas).
  static void AddAff(const Ec256Curve& c, Proj& R, const Proj& P, const Aff& Q) {
    Fe t0, t1, t2, t3, t4, t5;
    F::Mul(t0, P.X, Q.x);
    F::Mul(t1, P.Y, Q.y);
    t2 = P.Z;
    F::Add(t3, P.X, P.Y);
    F::Add(t4, Q.x, Q.y);
    F::Mul(t3, t3, t4);
    F::Add(t4, t0, t1);
    F::Sub(t3, t3, t4);
    F::Mul(t4, Q.x, P.Z);
    F::Add(t4, t4, P.X);
    F::Mul(t5, Q.y, P.Z);
    F::Add(t5, t5, P.Y);
    Finish(c, R, t0, t1, t2, t3, t4, t5);
  }

  // R = 2P, the complete doubling formulas of the same paper.
  static void Dbl(const Ec256Curve& c, Proj& R, const Proj& P) {
    Fe t0, t1, t2, t3, X3, Y3, Z3;
    if constexpr (!C::kAMinus3) {
      F::Sqr(t0, P.Y);
      F::Add(Z3, t0, t0);
      F::Add(Z3, Z3, Z3);
      F::Add(Z3, Z3, Z3);
      F::Mul(t1, P.Y, P.Z);
      F::Sqr(t2, P.Z);
      C::MulB3(c, t2, t2);
      F::Mul(X3, t2, Z3);
      F::Add(Y3, t0, t2);
      F::Mul(Z3, t1, Z3);
      F::Add(t1, t2, t2);
      F::Add(t2, t1, t2);
      F::Sub(t0, t0, t2);
      F::Mul(Y3, t0, Y3);
      F::Add(Y3, X3, Y3);
      F::Mul(t1, P.X, P.Y);
      F::Mul(X3, t0, t1);
      F::Add(X3, X3, X3);
    } else {
      F::Sqr(t0, P.X);
      F::Sqr(t1, P.Y);
      F::Sqr(t2, P.Z);
      F::Mul(t3, P.X, P.Y);
      F::Add(t3, t3, t3);
      F::Mul(Z3, P.X, P.Z);
      F::Add(Z3, Z3, Z3);
      F::Mul(Y3, c.b, t2);
      F::Sub(Y3, Y3, Z3);
      F::Add(X3, Y3, Y3);
      F::Add(Y3, X3, Y3);
      F::Sub(X3, t1, Y3);
      F::Add(Y3, t1, Y3);
      F::Mul(Y3, X3, Y3);
      F::Mul(X3, X3, t3);
      F::Add(t3, t2, t2);
      F::Add(t2, t2, t3);
      F::Mul(Z3, c.b, Z3);
      F::Sub(Z3, Z3, t2);
      F::Sub(Z3, Z3, t0);
      F::Add(t3, Z3, Z3);
      F::Add(Z3, Z3, t3);
      F::Add(t3, t0, t0);
      F::Add(t0, t3, t0);
      F::Sub(t0, t0, t2);
      F::Mul(t0, t0, Z3);
      F::Add(Y3, Y3, t0);
      F::Mul(t0, P.Y, P.Z);
      F::Add(t0, t0, t0);
      F::Mul(Z3, t0, Z3);
      F::Sub(X3, X3, Z3);
      F::Mul(Z3, t0, t1);
      F::Add(Z3, Z3, Z3);
      F::Add(Z3, Z3, Z3);
    }
    R.X = X3;
    R.Y = Y3;
    R.Z = Z3;
  }

  static void Inv(Fe& r, const Fe& a) { F::Inv(r, a); }

  // Affine bytes of P; Z = 0 gives the point at infinity. Constant time.
  static void ToPoint(Ec256Point* out, const Proj& P) {
    Fe zi;
    Inv(zi, P.Z);  // 0 for Z = 0
    ToPointWith(out, P, zi);
    Wipe(&zi, sizeof zi);
  }

  // Both at the cost of one inversion: 1 / (Z1 Z2) times the other Z. A Z
  // of 0 counts as 1 in the product and leaves its own point at infinity
  // (coordinates zero, as ToPoint gives). Constant time.
  static void ToPoint2(Ec256Point out[2], const Proj& A, const Proj& B) {
    Fe za = A.Z, zb = B.Z, zz, zi, za1, zb1;
    const u64 infA = IsZeroMask(za), infB = IsZeroMask(zb);
    Cmov(za, F::kOne, infA);
    Cmov(zb, F::kOne, infB);
    F::Mul(zz, za, zb);
    Inv(zi, zz);
    F::Mul(za1, zi, zb);
    F::Mul(zb1, zi, za);
    Cmov(za1, kZeroFe, infA);
    Cmov(zb1, kZeroFe, infB);
    ToPointWith(&out[0], A, za1);
    ToPointWith(&out[1], B, zb1);
    Fe* all[] = {&za, &zb, &zz, &zi, &za1, &zb1};
    for (Fe* f : all) Wipe(f, sizeof *f);
  }

  // Affine bytes of P given zi = 1 / Z (0 for Z = 0).
  static void ToPointWith(Ec256Point* out, const Proj& P, const Fe& zi) {
    Fe x, y;
    F::Mul(x, P.X, zi);
    F::Mul(y, P.Y, zi);
    F::FromRepr(x, x);
    F::FromRepr(y, y);
    StoreBE(out->x, x);
    StoreBE(out->y, y);
    out->infinity = static_cast<uint32_t>(IsZeroMask(P.Z) & 1);
    Wipe(&x, sizeof x);
    Wipe(&y, sizeof y);
  }

  static void LoadAff(Aff& P, const uint8_t px[32], const uint8_t py[32]) {
    Fe x, y;
    LoadBE(x, px);
    LoadBE(y, py);
    F::ToRepr(P.x, x);
    F::ToRepr(P.y, y);
  }

  // Fills the comb one row at a time: the multiples of the row's affine base
  // by mixed additions, then one shared inversion (Montgomery's trick) turns
  // the row affine, and the next base is twice the row's last entry. Runs
  // once per process on public data.
  static void BuildComb(Ec256Curve& c) {
    Aff base = c.g;
    for (int i = 0; i < kGenRows; ++i) {
      Aff* row = c.comb[i];
      Fe zs[kGenEntries], prefix[kGenEntries];
      Proj cur{base.x, base.y, F::kOne};
      for (int j = 0; j < kGenEntries; ++j) {
        if (j > 0) AddAff(c, cur, cur, base);
        row[j] = Aff{cur.X, cur.Y};
        zs[j] = cur.Z;
      }
      prefix[0] = zs[0];
      for (int j = 1; j < kGenEntries; ++j) F::Mul(prefix[j], prefix[j - 1], zs[j]);
      Fe inv;
      F::InvVartime(inv, prefix[kGenEntries - 1]);
      for (int j = kGenEntries - 1; j >= 0; --j) {
        Fe zi;
        if (j > 0) {
          F::Mul(zi, inv, prefix[j - 1]);
          F::Mul(inv, inv, zs[j]);
        } else {
          zi = inv;
        }
        F::Mul(row[j].x, row[j].x, zi);
        F::Mul(row[j].y, row[j].y, zi);
      }
      // 128 * base = 2 * (64 * base), made affine.
      Proj next;
      Dbl(c, next, Proj{row[kGenEntries - 1].x, row[kGenEntries - 1].y, F::kOne});
      F::InvVartime(inv, next.Z);
      F::Mul(base.x, next.X, inv);
      F::Mul(base.y, next.Y, inv);
    }
  }

  static void Init(Ec256Curve& c, bool p256, const char* n, const char* b, const char* gx, const char* gy) {
    c.p256 = p256;
    c.n = HexFe(n);
    F::ToRepr(c.b, HexFe(b));
    F::Add(c.b3, c.b, c.b);
    F::Add(c.b3, c.b3, c.b);
    F::ToRepr(c.g.x, HexFe(gx));
    F::ToRepr(c.g.y, HexFe(gy));
    BuildComb(c);
  }
};


// Jacobian coordinates (x = X/Z^2, y = Y/Z^3), with Z = 0 for the point at
// infinity. Pt is any point type with members X, Y and Z.
//
// r = 2p without a branch: with M = 3/2 (X^2 + a Z^4) and beta = X Y^2,
// X' = M^2 - 2 beta, Y' = M (beta - X') - Y^4, Z' = Y Z (the usual result
// scaled by 1/2). Neither curve has a point of order two, and Z = 0 stays
// Z = 0, so it is right for every point. r may alias p. Kept out of line:
// the multiplication loops stay small enough for the instruction cache.
template <class C, class Pt>
[[gnu::noinline]] void DblJacobian(Pt& r, const Pt& p) {
  using F = typename C::F;
  Fe gamma, beta, m, t;
  F::Sqr(gamma, p.Y);
  F::Mul(beta, p.X, gamma);
  if constexpr (C::kAMinus3) {
    // X^2 - 3 Z^4 = (X - Z^2)(X + Z^2) on the curve with a = -3.
    Fe delta;
    F::Sqr(delta, p.Z);
    F::Sub(t, p.X, delta);
    F::Add(m, p.X, delta);
    F::Mul(m, t, m);
  } else {
    F::Sqr(m, p.X);
  }
  F::Add(t, m, m);
  F::Add(m, t, m);
  HalfMod(m, m, F::kMod);
  F::Mul(r.Z, p.Y, p.Z);  // the last read of p (r may alias it)
  F::Sqr(t, m);
  F::Sub(t, t, beta);
  F::Sub(r.X, t, beta);
  F::Sub(t, beta, r.X);
  F::Mul(t, m, t);
  F::Sqr(gamma, gamma);
  F::Sub(r.Y, t, gamma);
}

// r = p + q for two Jacobian points (12M + 4S), without a branch. Only
// right when neither is the point at infinity and p != +-q: the caller
// rules those out or replaces the result by mask. r may alias p or q.
template <class C>
[[gnu::noinline]] void AddJacobian(Proj& r, const Proj& p, const Proj& q) {
  using F = typename C::F;
  Fe z1z1, z2z2, u1, u2, s1, s2, h, rr, hh, hhh, v, t;
  F::Sqr(z1z1, p.Z);
  F::Sqr(z2z2, q.Z);
  F::Mul(u1, p.X, z2z2);
  F::Mul(u2, q.X, z1z1);
  F::Mul(s1, p.Y, q.Z);
  F::Mul(s1, s1, z2z2);
  F::Mul(s2, q.Y, p.Z);
  F::Mul(s2, s2, z1z1);
  F::Sub(h, u2, u1);
  F::Sub(rr, s2, s1);
  F::Mul(t, p.Z, q.Z);
  F::Mul(r.Z, t, h);  // p and q are read whole by now
  F::Sqr(hh, h);
  F::Mul(hhh, hh, h);
  F::Mul(v, u1, hh);
  F::Sqr(t, rr);
  F::Sub(t, t, hhh);
  F::Sub(t, t, v);
  F::Sub(r.X, t, v);
  F::Sub(t, v, r.X);
  F::Mul(t, rr, t);
  F::Mul(hhh, s1, hhh);
  F::Sub(r.Y, t, hhh);
}

// The same point in projective coordinates (x = X/Z, y = Y/Z): (X Z, Y,
// Z^3). Z = 0 stays infinity.
template <class C>
EC_INLINE void JacobianToProj(Proj& r, const Proj& p) {
  using F = typename C::F;
  Fe zz;
  F::Sqr(zz, p.Z);
  F::Mul(r.X, p.X, p.Z);
  r.Y = p.Y;
  F::Mul(r.Z, zz, p.Z);
  Wipe(&zz, sizeof zz);
}


// The scalar as count signed W-bit digits in -2^(W-1)..2^(W-1)-1
// (k = sum e[i] 2^(W i)), without a branch: a digit of 2^(W-1) or more
// borrows 2^W from the next.
template <int W>
inline void RecodeSigned(int* e, const Ec256Scalar* k, int count) {
  int carry = 0;
  for (int i = 0; i < count; ++i) {
    const int pos = W * i;
    const int limb = pos / 64, shift = pos % 64;
    u128 w = k->v[limb];
    if (limb + 1 < 4) w |= static_cast<u128>(k->v[limb + 1]) << 64;
    const int d = static_cast<int>(static_cast<u64>(w >> shift) & ((1u << W) - 1)) + carry;
    carry = (d + (1 << (W - 1))) >> W;
    e[i] = d - (carry << W);
  }
}

}  // namespace ec256

#endif
