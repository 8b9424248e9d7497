// P-256 field and scalar operations one at a time, as dependent chains
// (x = x * y), so each figure is the latency of one operation; the counter
// "cycles" is time-stamp-counter ticks per operation; Field* run the MULX/ADX
// code (the processor must have it), Portable* the fallback. Beside them the
// generic Montgomery code the curve used before and OpenSSL's general
// Montgomery multiplication (BN_mod_mul_montgomery) on the same modulus.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <x86intrin.h>

#include "crypto/cpu_features.h"
#include "crypto/ec/ec256_p256.h"

namespace {

using namespace ec256;

const Fe kA = HexFe("6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296");
const Fe kB = HexFe("4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");

template <class Op>
void Chain(benchmark::State& st, Op op) {
  Fe x = kA;
  const Fe y = kB;
  uint64_t ticks = 0, ops = 0;
  for (auto _ : st) {
    const uint64_t t0 = __rdtsc();
    for (int i = 0; i < 1000; ++i) op(x, y);
    ticks += __rdtsc() - t0;
    ops += 1000;
    benchmark::DoNotOptimize(x);
  }
  st.counters["cycles"] = static_cast<double>(ticks) / static_cast<double>(ops);
  st.SetItemsProcessed(static_cast<int64_t>(ops));
}

#if EC256_MULX
// The MULX/ADX code, where the processor has it.
template <class Op>
void MulxChain(benchmark::State& st, Op op) {
  if (!NXVT_CpuFeatures().mulx) {
    st.SkipWithError("no MULX/ADX on this processor");
    return;
  }
  Chain(st, op);
}
void FieldMul(benchmark::State& st) {
  MulxChain(st, [](Fe& x, const Fe& y) { P256FieldMulx::Mul(x, x, y); });
}
void FieldSqr(benchmark::State& st) {
  MulxChain(st, [](Fe& x, const Fe&) { P256FieldMulx::Sqr(x, x); });
}
void FieldAdd(benchmark::State& st) {
  MulxChain(st, [](Fe& x, const Fe& y) { P256FieldMulx::Add(x, x, y); });
}
void FieldSub(benchmark::State& st) {
  MulxChain(st, [](Fe& x, const Fe& y) { P256FieldMulx::Sub(x, x, y); });
}
BENCHMARK(FieldMul);
BENCHMARK(FieldSqr);
BENCHMARK(FieldAdd);
BENCHMARK(FieldSub);
#endif

void PortableMul(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe& y) { P256Field::Mul(x, x, y); });
}
void PortableSqr(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe&) { P256Field::Sqr(x, x); });
}
void PortableAdd(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe& y) { P256Field::Add(x, x, y); });
}
void PortableSub(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe& y) { P256Field::Sub(x, x, y); });
}
void GenericMul(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe& y) { MontField<kP256P>::Mul(x, x, y); });
}
void GenericSqr(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe&) { MontField<kP256P>::Sqr(x, x); });
}
void GenericScalarMul(benchmark::State& st) {
  Chain(st, [](Fe& x, const Fe& y) { MontField<kP256N>::Mul(x, x, y); });
}

void OpensslMontMul(benchmark::State& st) {
  BN_CTX* ctx = BN_CTX_new();
  BIGNUM* p = nullptr;
  BN_hex2bn(&p, "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff");
  BN_MONT_CTX* mont = BN_MONT_CTX_new();
  BN_MONT_CTX_set(mont, p, ctx);
  BIGNUM *x = nullptr, *y = nullptr;
  BN_hex2bn(&x, "6b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296");
  BN_hex2bn(&y, "4fe342e2fe1a7f9b8ee7eb4a7c0f9e162bce33576b315ececbb6406837bf51f5");
  uint64_t ticks = 0, ops = 0;
  for (auto _ : st) {
    const uint64_t t0 = __rdtsc();
    for (int i = 0; i < 1000; ++i) BN_mod_mul_montgomery(x, x, y, mont, ctx);
    ticks += __rdtsc() - t0;
    ops += 1000;
  }
  st.counters["cycles"] = static_cast<double>(ticks) / static_cast<double>(ops);
  st.SetItemsProcessed(static_cast<int64_t>(ops));
  BN_free(x);
  BN_free(y);
  BN_free(p);
  BN_MONT_CTX_free(mont);
  BN_CTX_free(ctx);
}

BENCHMARK(PortableMul);
BENCHMARK(PortableSqr);
BENCHMARK(PortableAdd);
BENCHMARK(PortableSub);
BENCHMARK(GenericMul);
BENCHMARK(GenericSqr);
BENCHMARK(GenericScalarMul);
BENCHMARK(OpensslMontMul);

}  // namespace

BENCHMARK_MAIN();
