// Signing and verification against the reference libraries: secp256k1
// (libsecp256k1), P-256 (OpenSSL) and Ed25519 (libsodium). Each operation is
// run as "<op>/ours" and "<op>/ref"; a ratio table (ours / ref) follows the
// usual output.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>
#include <secp256k1.h>
#include <secp256k1_recovery.h>
#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypto/eccurve.h"
#include "crypto/ecdsa.h"
#include "crypto/ed25519.h"
#include "keys/signing.h"

namespace {

const uint8_t kPriv[32] = {0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a, 0x79, 0x88, 0x97, 0xa6, 0xb5,
                           0xc4, 0xd3, 0xe2, 0xf1, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
                           0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 0x01};

void NextHash(uint8_t* h) {
  for (int i = 0; i < 32; ++i) {
    if (++h[i] != 0) break;
  }
}

struct Ours {
  NXVT_PKC* pkc;
  uint8_t pub[33];
  explicit Ours(uint32_t code) : pkc(GetPKCParam(code)) {
    uint32_t len = 33;
    NXVT_EC_GetCompPub(kPriv, 32, pkc, pub, &len);
  }
  ~Ours() { NXVT_PKC_Free(pkc); }
};

void OursSign(benchmark::State& st, uint32_t code) {
  Ours o(code);
  uint8_t hash[32] = {7}, R[33], S[33];
  uint32_t recid = 0;
  for (auto _ : st) {
    uint32_t rl = 33, sl = 33;
    NextHash(hash);
    if (NXVT_ECDSA_SignRFC6979(hash, 32, 0, kPriv, 32, o.pkc, R, &rl, S, &sl, &recid) != 0) st.SkipWithError("sign");
    benchmark::DoNotOptimize(S);
  }
}

void OursVerify(benchmark::State& st, uint32_t code) {
  Ours o(code);
  uint8_t hash[32] = {9}, R[33], S[33];
  uint32_t rl = 33, sl = 33, recid = 0;
  NXVT_ECDSA_SignRFC6979(hash, 32, 0, kPriv, 32, o.pkc, R, &rl, S, &sl, &recid);
  for (auto _ : st) {
    if (NXVT_ECDSA_VerifyRS(R, rl, S, sl, hash, 32, o.pub, 33, o.pkc) != 0) st.SkipWithError("verify");
  }
}

void OursPub(benchmark::State& st) {
  Ours o(0);
  uint8_t priv[32], out[33];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    uint32_t len = 33;
    NextHash(priv);
    if (NXVT_EC_GetCompPub(priv, 32, o.pkc, out, &len) != 0) st.SkipWithError("pub");
    benchmark::DoNotOptimize(out);
  }
}

void K1Sign(benchmark::State& st) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  uint8_t hash[32] = {7}, out[64];
  int recid = 0;
  for (auto _ : st) {
    NextHash(hash);
    secp256k1_ecdsa_recoverable_signature sig;
    secp256k1_ecdsa_sign_recoverable(ctx, &sig, hash, kPriv, nullptr, nullptr);
    secp256k1_ecdsa_recoverable_signature_serialize_compact(ctx, out, &recid, &sig);
    benchmark::DoNotOptimize(out);
  }
  secp256k1_context_destroy(ctx);
}

// Parsing of the compressed key and the compact signature included, as ours.
void K1Verify(benchmark::State& st) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  uint8_t hash[32] = {9}, compact[64], pub[33];
  secp256k1_pubkey pk;
  secp256k1_ec_pubkey_create(ctx, &pk, kPriv);
  size_t pl = 33;
  secp256k1_ec_pubkey_serialize(ctx, pub, &pl, &pk, SECP256K1_EC_COMPRESSED);
  secp256k1_ecdsa_signature sig;
  secp256k1_ecdsa_sign(ctx, &sig, hash, kPriv, nullptr, nullptr);
  secp256k1_ecdsa_signature_serialize_compact(ctx, compact, &sig);
  for (auto _ : st) {
    secp256k1_pubkey p;
    secp256k1_ecdsa_signature s;
    secp256k1_ec_pubkey_parse(ctx, &p, pub, 33);
    secp256k1_ecdsa_signature_parse_compact(ctx, &s, compact);
    if (secp256k1_ecdsa_verify(ctx, &s, hash, &p) != 1) st.SkipWithError("verify");
  }
  secp256k1_context_destroy(ctx);
}

void K1Pub(benchmark::State& st) {
  secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
  uint8_t priv[32], out[33];
  std::memcpy(priv, kPriv, 32);
  for (auto _ : st) {
    NextHash(priv);
    secp256k1_pubkey pk;
    size_t len = 33;
    secp256k1_ec_pubkey_create(ctx, &pk, priv);
    secp256k1_ec_pubkey_serialize(ctx, out, &len, &pk, SECP256K1_EC_COMPRESSED);
    benchmark::DoNotOptimize(out);
  }
  secp256k1_context_destroy(ctx);
}

EC_KEY* P256Key() {
  EC_KEY* key = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
  BIGNUM* d = BN_bin2bn(kPriv, 32, nullptr);
  EC_KEY_set_private_key(key, d);
  EC_POINT* Q = EC_POINT_new(EC_KEY_get0_group(key));
  EC_POINT_mul(EC_KEY_get0_group(key), Q, d, nullptr, nullptr, nullptr);
  EC_KEY_set_public_key(key, Q);
  EC_POINT_free(Q);
  BN_free(d);
  return key;
}

void OsslSign(benchmark::State& st) {
  EC_KEY* key = P256Key();
  uint8_t hash[32] = {7};
  for (auto _ : st) {
    NextHash(hash);
    ECDSA_SIG* sig = ECDSA_do_sign(hash, 32, key);
    benchmark::DoNotOptimize(sig);
    ECDSA_SIG_free(sig);
  }
  EC_KEY_free(key);
}

void OsslVerify(benchmark::State& st) {
  EC_KEY* key = P256Key();
  uint8_t hash[32] = {9};
  ECDSA_SIG* sig = ECDSA_do_sign(hash, 32, key);
  for (auto _ : st) {
    if (ECDSA_do_verify(hash, 32, sig, key) != 1) st.SkipWithError("verify");
  }
  ECDSA_SIG_free(sig);
  EC_KEY_free(key);
}

const uint8_t kMsg[64] = {1, 2, 3, 4, 5};

void OursEdSign(benchmark::State& st) {
  uint8_t sig[64];
  for (auto _ : st) {
    if (rfc8032_ed25519_sign(kPriv, 32, kMsg, sizeof kMsg, nullptr, 0, 0, sig) != 0) st.SkipWithError("sign");
    benchmark::DoNotOptimize(sig);
  }
}

void OursEdVerify(benchmark::State& st) {
  uint8_t sig[64], pub[32];
  NXVT_Ed25519_GetPub(kPriv, pub);
  rfc8032_ed25519_sign(kPriv, 32, kMsg, sizeof kMsg, nullptr, 0, 0, sig);
  for (auto _ : st) {
    if (rfc8032_ed25519_verify(sig, 64, pub, 32, kMsg, sizeof kMsg, nullptr, 0, 0) != 0) st.SkipWithError("verify");
  }
}

void SodiumSign(benchmark::State& st) {
  uint8_t pk[32], sk[64], sig[64];
  crypto_sign_seed_keypair(pk, sk, kPriv);
  for (auto _ : st) {
    crypto_sign_detached(sig, nullptr, kMsg, sizeof kMsg, sk);
    benchmark::DoNotOptimize(sig);
  }
}

void SodiumVerify(benchmark::State& st) {
  uint8_t pk[32], sk[64], sig[64];
  crypto_sign_seed_keypair(pk, sk, kPriv);
  crypto_sign_detached(sig, nullptr, kMsg, sizeof kMsg, sk);
  for (auto _ : st) {
    if (crypto_sign_verify_detached(sig, kMsg, sizeof kMsg, pk) != 0) st.SkipWithError("verify");
  }
}

// Keeps the per-iteration time of every run for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.iterations > 0) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n%-18s %14s %14s %8s\n", "operation", "ours (us)", "ref (us)", "ratio");
    for (const char* op : {"secp256k1_sign", "secp256k1_verify", "secp256k1_pubkey", "p256_sign", "p256_verify",
                           "ed25519_sign", "ed25519_verify"}) {
      const auto a = times_.find(std::string(op) + "/ours"), b = times_.find(std::string(op) + "/ref");
      if (a == times_.end() || b == times_.end()) continue;
      std::printf("%-18s %14.1f %14.1f %8.2f\n", op, a->second, b->second, a->second / b->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return 1;
  benchmark::RegisterBenchmark("secp256k1_sign/ours", OursSign, 0u)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("secp256k1_sign/ref", K1Sign)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("secp256k1_verify/ours", OursVerify, 0u)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("secp256k1_verify/ref", K1Verify)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("secp256k1_pubkey/ours", OursPub)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("secp256k1_pubkey/ref", K1Pub)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("p256_sign/ours", OursSign, 1u)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("p256_sign/ref", OsslSign)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("p256_verify/ours", OursVerify, 1u)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("p256_verify/ref", OsslVerify)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ed25519_sign/ours", OursEdSign)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ed25519_sign/ref", SodiumSign)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ed25519_verify/ours", OursEdVerify)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ed25519_verify/ref", SodiumVerify)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
