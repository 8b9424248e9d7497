#include "crypto/ec256.h"

#include "crypto/cpu_features.h"
#include "crypto/ec256_point.h"
#include "crypto/eccurve.h"
#include "crypto/memory.h"

namespace {

using namespace ec256;

template <class C>
void MulGenT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k) {
  using O = Ops<C>;
  using F = typename C::F;
  int e[kGenRows];
  Recode5(e, k);
  Proj acc = O::Infinity(), sum;
  Aff t;
  Fe ny;
  // Every row adds one table entry: |digit| picks it by mask from all
  // sixteen, its sign negates y by mask, and a zero digit keeps the old sum
  // by mask as well.
  for (int i = 0; i < kGenRows; ++i) {
    const u64 negative = static_cast<u64>(static_cast<unsigned>(e[i]) >> 31);
    const u64 mag = static_cast<u64>(e[i] - 2 * (e[i] & -static_cast<int>(negative)));
    t = Aff{kZeroFe, kZeroFe};
    EC_UNROLL
    for (int j = 0; j < kGenEntries; ++j) {
      const u64 m = EqMask(mag, static_cast<u64>(j + 1));
      Cmov(t.x, c.comb[i][j].x, m);
      Cmov(t.y, c.comb[i][j].y, m);
    }
    F::Sub(ny, kZeroFe, t.y);
    Cmov(t.y, ny, 0 - negative);
    O::AddAff(c, sum, acc, t);
    const u64 keep = EqMask(mag, 0);
    Cmov(sum.X, acc.X, keep);
    Cmov(sum.Y, acc.Y, keep);
    Cmov(sum.Z, acc.Z, keep);
    acc = sum;
  }
  O::ToPoint(out, acc);
  Wipe(e, sizeof e);
  Wipe(&acc, sizeof acc);
  Wipe(&sum, sizeof sum);
  Wipe(&t, sizeof t);
  Wipe(&ny, sizeof ny);
}

template <class C>
void MulT(const Ec256Curve& c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32], const uint8_t py[32]) {
  using O = Ops<C>;
  Aff P;
  O::LoadAff(P, px, py);
  Proj T[16];
  O::Window(c, T, P);
  Proj acc = O::Infinity(), e;
  for (int i = kCombWindows - 1; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) O::Dbl(c, acc, acc);
    const u64 d = Digit(k, i);
    e = T[0];
    for (int j = 1; j < 16; ++j) {
      const u64 m = EqMask(d, static_cast<u64>(j));
      Cmov(e.X, T[j].X, m);
      Cmov(e.Y, T[j].Y, m);
      Cmov(e.Z, T[j].Z, m);
    }
    O::Add(c, acc, acc, e);
  }
  O::ToPoint(out, acc);
  Wipe(T, sizeof T);
  Wipe(&acc, sizeof acc);
  Wipe(&e, sizeof e);
  Wipe(&P, sizeof P);
}

template <class C>
void FieldInvT(uint8_t out[32], const uint8_t in[32]) {
  using F = typename C::F;
  Fe a, r;
  LoadBE(a, in);
  F::ToRepr(a, a);
  Ops<C>::Inv(r, a);
  F::FromRepr(r, r);
  StoreBE(out, r);
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
}

// Scalars modulo n in the curve's Montgomery ring.
template <class C>
struct ScalarOps {
  using S = typename C::S;
  static void Mul(Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
    Fe x, y, z;
    EC_UNROLL
    for (int i = 0; i < 4; ++i) {
      x.v[i] = a->v[i];
      y.v[i] = b->v[i];
    }
    S::Mul(z, x, y);       // a b R^-1
    S::ToRepr(z, z);       // a b
    EC_UNROLL
    for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
    Wipe(&x, sizeof x);
    Wipe(&y, sizeof y);
    Wipe(&z, sizeof z);
  }
  // Scalars travel as plain residues, so their inverse has no factor.
  static constexpr ModInvModulus kInvPlain = MakeModInvModulus(S::kMod.v, Fe{{1, 0, 0, 0}}.v);
  static void Inv(Ec256Scalar* r, const Ec256Scalar* a) { ModInv256(r->v, a->v, kInvPlain); }
  static void InvVartime(Ec256Scalar* r, const Ec256Scalar* a) { ModInv256Vartime(r->v, a->v, kInvPlain); }
};

// Runs fn with secp256k1's field code for this processor: MULX/ADX products
// where the processor has them, the portable ones otherwise (or while a
// test forces the portable path).
template <class Fn>
void WithK1(Fn fn) {
#if defined(__x86_64__)
  if (NXVT_CpuFeatures().mulx) {
    fn(K1Mulx{});
    return;
  }
#endif
  fn(K1{});
}

Ec256Curve* MakeCurve(bool p256) {
  static Ec256Curve k1, p2;  // filled once, read-only afterwards
  if (p256) {
    Ops<P256>::Init(p2, true, "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
                    "5ac635d8aa3a93e7b3ebbd55769886bc651d06b0cc53b0f63bce3c3e27d2604b",
                    "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296",
                    "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
    return &p2;
  }
  Ops<K1>::Init(k1, false, "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                "0000000000000000000000000000000000000000000000000000000000000007",
                "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
                "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8");
  return &k1;
}

}  // namespace

const Ec256Curve* Ec256_Secp256k1() {
  // Built by the first caller; the language makes the others wait for it.
  static const Ec256Curve* const c = MakeCurve(false);
  return c;
}

const Ec256Curve* Ec256_P256() {
  static const Ec256Curve* const c = MakeCurve(true);
  return c;
}

const Ec256Curve* Ec256_Of(const NXVT_EC_CURVE* curve) {
  if (curve == nullptr) return nullptr;
  if (curve->id == NXVT_EC_CURVE_SECP256K1) return Ec256_Secp256k1();
  if (curve->id == NXVT_EC_CURVE_P256) return Ec256_P256();
  return nullptr;
}

uint64_t Ec256_ScalarFromBytes(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]) {
  Fe a, r;
  LoadBE(a, in);
  const u64 below = ReduceOnce(r, a, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
  return below;
}

void Ec256_ScalarFromWords(const Ec256Curve* c, Ec256Scalar* s, const uint32_t* words, uint32_t count) {
  Fe a = kZeroFe, r;
  for (uint32_t i = 0; i < count && i < 8; ++i) a.v[i / 2] |= static_cast<u64>(words[i]) << (32 * (i % 2));
  ReduceOnce(r, a, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) s->v[i] = r.v[i];
  Wipe(&a, sizeof a);
  Wipe(&r, sizeof r);
}

void Ec256_ScalarFromDraw(const Ec256Curve* c, Ec256Scalar* s, const uint8_t in[32]) {
  // v < 2^256 < 2(n - 1): v mod (n - 1) is v or v - (n - 1), chosen by mask.
  Fe v, r;
  LoadBE(v, in);
  const Fe nm1 = {{c->n.v[0] - 1, c->n.v[1], c->n.v[2], c->n.v[3]}};  // n is odd
  ReduceOnce(r, v, nm1);
  u64 carry = 1;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    const u128 x = static_cast<u128>(r.v[i]) + carry;
    s->v[i] = static_cast<u64>(x);
    carry = static_cast<u64>(x >> 64);
  }
  Wipe(&v, sizeof v);
  Wipe(&r, sizeof r);
}

void Ec256_ScalarToBytes(uint8_t out[32], const Ec256Scalar* s) {
  Fe a;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) a.v[i] = s->v[i];
  StoreBE(out, a);
  Wipe(&a, sizeof a);
}

uint64_t Ec256_ScalarIsZero(const Ec256Scalar* s) { return EqMask(s->v[0] | s->v[1] | s->v[2] | s->v[3], 0); }

void Ec256_ScalarAdd(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  Fe x, y, z;
  EC_UNROLL
  for (int i = 0; i < 4; ++i) {
    x.v[i] = a->v[i];
    y.v[i] = b->v[i];
  }
  AddMod(z, x, y, c->n);
  EC_UNROLL
  for (int i = 0; i < 4; ++i) r->v[i] = z.v[i];
  Wipe(&x, sizeof x);
  Wipe(&y, sizeof y);
  Wipe(&z, sizeof z);
}

void Ec256_ScalarMul(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a, const Ec256Scalar* b) {
  if (c->p256) {
    ScalarOps<P256>::Mul(r, a, b);
  } else {
    ScalarOps<K1>::Mul(r, a, b);
  }
}

void Ec256_ScalarInv(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a) {
  if (c->p256) {
    ScalarOps<P256>::Inv(r, a);
  } else {
    ScalarOps<K1>::Inv(r, a);
  }
}

void Ec256_ScalarInvVartime(const Ec256Curve* c, Ec256Scalar* r, const Ec256Scalar* a) {
  if (c->p256) {
    ScalarOps<P256>::InvVartime(r, a);
  } else {
    ScalarOps<K1>::InvVartime(r, a);
  }
}

void Ec256_MulGen(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k) {
  if (c->p256) {
    MulGenT<P256>(*c, out, k);
  } else {
    WithK1([&](auto k1) { MulGenT<decltype(k1)>(*c, out, k); });
  }
}

void Ec256_Mul(const Ec256Curve* c, Ec256Point* out, const Ec256Scalar* k, const uint8_t px[32],
               const uint8_t py[32]) {
  if (c->p256) {
    MulT<P256>(*c, out, k, px, py);
  } else {
    WithK1([&](auto k1) { MulT<decltype(k1)>(*c, out, k, px, py); });
  }
}

void Ec256_FieldInv(const Ec256Curve* c, uint8_t out[32], const uint8_t in[32]) {
  if (c->p256) {
    FieldInvT<P256>(out, in);
  } else {
    WithK1([&](auto k1) { FieldInvT<decltype(k1)>(out, in); });
  }
}
