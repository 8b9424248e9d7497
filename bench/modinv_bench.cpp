// Modular inversion on its own: the divsteps (constant-time and
// variable-time) against inversion by exponentiation (Fermat: a^(m-2), the
// way the curve code inverted before), for the four moduli of the curve
// code, and OpenSSL's BN_mod_inverse for scale. Medians of repetitions.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include "crypto/ec/ec256_field.h"
#include "crypto/ec/modinv.h"

namespace {

using namespace ec256;

// secp256k1's field by the runs of ones of p - 2: 255 squarings and 15
// multiplications.
void K1Fermat(Fe& r, const Fe& a) {
  auto sqrMul = [](Fe& out, const Fe& in, int n, const Fe& m) {
    Fe t = in;
    for (int i = 0; i < n; ++i) K1Field::Sqr(t, t);
    K1Field::Mul(out, t, m);
  };
  Fe x2, x3, x6, x9, x11, x22, x44, x88, x176, x220, x223, t;
  sqrMul(x2, a, 1, a);
  sqrMul(x3, x2, 1, a);
  sqrMul(x6, x3, 3, x3);
  sqrMul(x9, x6, 3, x3);
  sqrMul(x11, x9, 2, x2);
  sqrMul(x22, x11, 11, x11);
  sqrMul(x44, x22, 22, x22);
  sqrMul(x88, x44, 44, x44);
  sqrMul(x176, x88, 88, x88);
  sqrMul(x220, x176, 44, x44);
  sqrMul(x223, x220, 3, x3);
  sqrMul(t, x223, 23, x22);
  sqrMul(t, t, 5, a);
  sqrMul(t, t, 3, x2);
  sqrMul(r, t, 2, a);
}

// a^e by 4-bit windows of the public exponent.
template <class F>
void Pow(Fe& r, const Fe& a, const Fe& e) {
  Fe tbl[16];
  tbl[0] = F::kOne;
  tbl[1] = a;
  for (int j = 2; j < 16; ++j) F::Mul(tbl[j], tbl[j - 1], a);
  Fe acc = F::kOne;
  for (int i = 63; i >= 0; --i) {
    for (int s = 0; s < 4; ++s) F::Sqr(acc, acc);
    const unsigned digit = static_cast<unsigned>(e.v[i / 16] >> (4 * (i % 16))) & 15u;
    if (digit != 0) F::Mul(acc, acc, tbl[digit]);
  }
  r = acc;
}

template <class F>
void MontFermat(Fe& r, const Fe& a) {
  const Fe e = {{F::kMod.v[0] - 2, F::kMod.v[1], F::kMod.v[2], F::kMod.v[3]}};
  Pow<F>(r, a, e);
}

constexpr Fe kStart = {{0x0123456789abcdefULL, 0xfedcba9876543210ULL, 0x0f1e2d3c4b5a6978ULL, 0x7a8b9cadbecfd0e1ULL}};

// Each call inverts the previous result (plus one), so calls do not overlap.
template <void (*Inv)(Fe&, const Fe&)>
void Run(benchmark::State& st) {
  Fe x = kStart;
  for (auto _ : st) {
    Inv(x, x);
    x.v[0] |= 1;
    benchmark::DoNotOptimize(x);
  }
}

template <const ModInvModulus& M>
void Ct(Fe& r, const Fe& a) {
  ModInv256(r.v, a.v, M);
}
template <const ModInvModulus& M>
void Var(Fe& r, const Fe& a) {
  ModInv256Vartime(r.v, a.v, M);
}

constexpr ModInvModulus kInvK1P = K1Field::kInvMod;
constexpr ModInvModulus kInvK1N = MontField<ec256::kK1N>::kInvMod;
constexpr ModInvModulus kInvP256P = MontField<ec256::kP256P>::kInvMod;
constexpr ModInvModulus kInvP256N = MontField<ec256::kP256N>::kInvMod;

void OpenSsl(benchmark::State& st) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM *m = nullptr, *x = nullptr;
  BN_hex2bn(&m, "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");
  BN_hex2bn(&x, "7a8b9cadbecfd0e10f1e2d3c4b5a6978fedcba98765432100123456789abcdef");
  for (auto _ : st) {
    BN_mod_inverse(x, x, m, ctx);
    BN_set_bit(x, 0);
    benchmark::DoNotOptimize(x);
  }
  BN_free(x);
  BN_free(m);
  BN_CTX_free(ctx);
}

}  // namespace

#define INV_BENCH(name, fn) BENCHMARK(Run<fn>)->Name(name)->Repetitions(5)->ReportAggregatesOnly(true)
INV_BENCH("k1_field/divsteps", Ct<kInvK1P>);
INV_BENCH("k1_field/divsteps_vartime", Var<kInvK1P>);
INV_BENCH("k1_field/fermat", K1Fermat);
INV_BENCH("k1_scalar/divsteps", Ct<kInvK1N>);
INV_BENCH("k1_scalar/divsteps_vartime", Var<kInvK1N>);
INV_BENCH("k1_scalar/fermat", MontFermat<MontField<ec256::kK1N>>);
INV_BENCH("p256_field/divsteps", Ct<kInvP256P>);
INV_BENCH("p256_field/divsteps_vartime", Var<kInvP256P>);
INV_BENCH("p256_field/fermat", MontFermat<MontField<ec256::kP256P>>);
INV_BENCH("p256_scalar/divsteps", Ct<kInvP256N>);
INV_BENCH("p256_scalar/divsteps_vartime", Var<kInvP256N>);
INV_BENCH("p256_scalar/fermat", MontFermat<MontField<ec256::kP256N>>);
BENCHMARK(OpenSsl)->Name("k1_field/openssl_bn_mod_inverse")->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
