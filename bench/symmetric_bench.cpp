// Symmetric code against OpenSSL (and libsodium for scrypt) in the same run:
// AES-256 GCM, CTR, CBC and CCM (16 KiB, and 64 bytes with a 13-byte nonce
// and 8 bytes of AAD), SHA-256, SHA-512 (16 KiB and 128 bytes),
// Keccak-256 (16 KiB, 32 and 136 bytes, against SHA3-256: the same
// permutation), RIPEMD-160, HMAC-SHA512 (16 KiB and 32 bytes),
// PBKDF2-HMAC-SHA512 and scrypt. Each operation runs as "<op>/ours" and
// "<op>/ref"; a table of medians of CPU time (ours / ref) with their spread
// follows the usual output.
//
// TOLVARIS_BENCH_PORTABLE=1 forces our portable paths (the bench program
// reads it, not the library); the row "aes256_cbc_enc_16k_ssse3" always runs
// our SSSE3 shuffle AES, as on a processor without AES-NI, and the rows
// "aes256_gcm_16k_aesni" and "aes256_ctr_16k_aesni" our AES-NI and PCLMULQDQ
// code, as on a processor without VAES; OPENSSL_ia32cap masks OpenSSL's extensions, e.g.
// OPENSSL_ia32cap="~0x200000200000000:~0x20000000" turns off its AES-NI,
// PCLMULQDQ and SHA extensions.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <sodium.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypto/aes/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/hash/digest.h"
#include "crypto/hash/hmac.h"
#include "crypto/hash/keccak.h"
#include "crypto/kdf/pbkdf2.h"
#include "crypto/kdf/scrypt.h"

namespace {

constexpr size_t kBig = 16384;
const unsigned char kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const unsigned char kIv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
std::vector<unsigned char> g_in(kBig + 64, 0x5c), g_out(kBig + 64);

void Bytes(benchmark::State& st, size_t n) { st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * n)); }

// ---- AES ----------------------------------------------------------------------

void OursAes(benchmark::State& st, AESMode mode) {
  unsigned char aad[16] = {0};
  for (auto _ : st) {
    uint32_t len = static_cast<uint32_t>(g_out.size());
    const int rc = mode == kAesModeGcm
                       ? AESEncryptAuth(g_in.data(), kBig, kKey, 32, kIv, 16, mode, aad, 0, 16, g_out.data(), &len)
                       : AESEncrypt(g_in.data(), kBig, kKey, 32, kIv, 16, mode, 0, g_out.data(), &len);
    if (rc != 0) st.SkipWithError("aes");
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, kBig);
}

bool g_portable = false;

// Our CBC encryption with only SSE2 and SSSE3 in use, whatever the machine has.
void OursAesSsse3Only(benchmark::State& st) {
  NXVT_ForceSsse3OnlyForTest(true);
  OursAes(st, kAesModeCbc);
  NXVT_ForcePortableForTest(g_portable);
}

// Our GCM or CTR with VAES and VPCLMULQDQ hidden, whatever the machine has.
void OursAesNiOnly(benchmark::State& st, AESMode mode) {
  NXVT_ForceNoVectorAesForTest(true);
  OursAes(st, mode);
  NXVT_ForcePortableForTest(g_portable);
}

void OsslAes(benchmark::State& st, AESMode mode) {
  const EVP_CIPHER* c = mode == kAesModeGcm ? EVP_aes_256_gcm() : mode == kAesModeCtr ? EVP_aes_256_ctr()
                                                                                       : EVP_aes_256_cbc();
  for (auto _ : st) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, c, nullptr, nullptr, nullptr);
    if (mode == kAesModeGcm) EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, 16, nullptr);
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, kKey, kIv);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0, m = 0;
    EVP_EncryptUpdate(ctx, g_out.data(), &n, g_in.data(), kBig);
    EVP_EncryptFinal_ex(ctx, g_out.data() + n, &m);
    if (mode == kAesModeGcm) EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, g_out.data() + kBig);
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, kBig);
}

// CCM with a 13-byte nonce, 8 bytes of AAD and a 16-byte tag over n bytes.
const unsigned char kCcmAad[8] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
constexpr int kCcmNonceLen = 13;

void OursCcm(benchmark::State& st, size_t n) {
  for (auto _ : st) {
    uint32_t len = static_cast<uint32_t>(g_out.size());
    if (AESEncryptAuth(g_in.data(), static_cast<uint32_t>(n), kKey, 32, kIv, kCcmNonceLen, kAesModeCcm, kCcmAad,
                       sizeof kCcmAad, 16, g_out.data(), &len) != 0)
      st.SkipWithError("ccm");
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, n);
}

void OsslCcm(benchmark::State& st, size_t n) {
  for (auto _ : st) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ccm(), nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_CCM_SET_IVLEN, kCcmNonceLen, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_CCM_SET_TAG, 16, nullptr);
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, kKey, kIv);
    int k = 0, m = 0;
    EVP_EncryptUpdate(ctx, nullptr, &k, nullptr, static_cast<int>(n));
    EVP_EncryptUpdate(ctx, nullptr, &k, kCcmAad, sizeof kCcmAad);
    EVP_EncryptUpdate(ctx, g_out.data(), &k, g_in.data(), static_cast<int>(n));
    EVP_EncryptFinal_ex(ctx, g_out.data() + k, &m);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_CCM_GET_TAG, 16, g_out.data() + n);
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, n);
}

// ---- Digests, MAC, KDFs -----------------------------------------------------------

void OursDigest(benchmark::State& st, HashId id, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    int32_t len = sizeof out;
    if (DoDigest(id, g_in.data(), static_cast<uint32_t>(n), out, &len) != 0) st.SkipWithError("digest");
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

void OursKeccak(benchmark::State& st, size_t n) {
  unsigned char out[32];
  for (auto _ : st) {
    if (NXVT_Keccak_Hash(512, out, g_in.data(), static_cast<int32_t>(n), 256) != 1) st.SkipWithError("keccak");
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

void OsslDigest(benchmark::State& st, const EVP_MD* md, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    unsigned len = 0;
    EVP_Digest(g_in.data(), n, out, &len, md, nullptr);
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

void OursHmac(benchmark::State& st, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    int32_t len = sizeof out;
    if (DoHMAC(kHashSha512, kKey, 32, g_in.data(), static_cast<uint32_t>(n), out, &len) != 0) st.SkipWithError("hmac");
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

void OsslHmac(benchmark::State& st, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    unsigned len = 0;
    HMAC(EVP_sha512(), kKey, 32, g_in.data(), n, out, &len);
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

const char kMnemonic[] = "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
const unsigned char kSalt[] = "mnemonicTREZOR";

void OursPbkdf2(benchmark::State& st) {
  unsigned char out[64];
  for (auto _ : st) {
    if (NXVT_PBKDF2_HMAC(out, 64, kMnemonic, kSalt, 14, 2048, &NXVT_SHA512_DESC) != 0) st.SkipWithError("pbkdf2");
    benchmark::DoNotOptimize(out);
  }
}

void OsslPbkdf2(benchmark::State& st) {
  unsigned char out[64];
  for (auto _ : st) {
    PKCS5_PBKDF2_HMAC(kMnemonic, sizeof kMnemonic - 1, kSalt, 14, 2048, EVP_sha512(), 64, out);
    benchmark::DoNotOptimize(out);
  }
}

void OursScrypt(benchmark::State& st) {
  unsigned char out[32];
  for (auto _ : st) {
    int32_t len = sizeof out;
    if (DoScrypt("password", kSalt, 14, 16384, 8, 1, 32, out, &len) != 0) st.SkipWithError("scrypt");
    benchmark::DoNotOptimize(out);
  }
}

void OsslScrypt(benchmark::State& st) {
  unsigned char out[32];
  for (auto _ : st) {
    EVP_PBE_scrypt("password", 8, kSalt, 14, 16384, 8, 1, 64ull << 20, out, 32);
    benchmark::DoNotOptimize(out);
  }
}

void SodiumScrypt(benchmark::State& st) {
  unsigned char out[32];
  for (auto _ : st) {
    if (crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t*>("password"), 8, kSalt, 14, 16384, 8,
                                              1, out, 32) != 0)
      st.SkipWithError("scrypt");
    benchmark::DoNotOptimize(out);
  }
}

// Keeps the repetitions of every run for the ratio table: medians, and the
// spread as the relative half-width between the lowest and highest time.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.iterations > 0 && r.run_type == Run::RT_Iteration) times_[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\n%-22s %12s %8s %12s %8s %8s\n", "operation", "ours (us)", "spread", "ref (us)", "spread", "ratio");
    for (const auto& [name, t] : times_) {
      if (name.size() < 5 || name.compare(name.size() - 5, 5, "/ours") != 0) continue;
      const std::string op = name.substr(0, name.size() - 5);
      for (const char* ref : {"/ref", "/sodium"}) {
        const auto b = times_.find(op + ref);
        if (b == times_.end()) continue;
        const double mo = Median(t), mr = Median(b->second);
        std::printf("%-22s %12.2f %7.1f%% %12.2f %7.1f%% %8.2f%s\n", op.c_str(), mo / 1e3, Spread(t), mr / 1e3,
                    Spread(b->second), mo / mr, std::string(ref) == "/sodium" ? "  (libsodium)" : "");
      }
    }
  }

 private:
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  static double Spread(const std::vector<double>& v) {
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return 100.0 * (*hi - *lo) / 2 / Median(v);
  }
  std::map<std::string, std::vector<double>> times_;
};


}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return 1;
  const char* portable = std::getenv("TOLVARIS_BENCH_PORTABLE");
  g_portable = portable != nullptr && std::strcmp(portable, "1") == 0;
  if (g_portable) NXVT_ForcePortableForTest(true);
  const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
  std::printf("our paths: aesni %d pclmul %d shani %d avx2 %d vaes512 %d\n", f.aesni, f.pclmul, f.shani, f.avx2,
              f.vaes512);
  std::printf("our hash paths: bmi2 %d avx512 %d\n", f.bmi2, f.avx512);

  auto reg = [](const std::string& name, auto fn) {
    benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(false);
  };
  struct AesRow {
    const char* name;
    AESMode mode;
  };
  for (const AesRow& r : {AesRow{"aes256_gcm_16k", kAesModeGcm}, AesRow{"aes256_ctr_16k", kAesModeCtr},
                          AesRow{"aes256_cbc_enc_16k", kAesModeCbc}}) {
    const AESMode m = r.mode;
    reg(std::string(r.name) + "/ours", [m](benchmark::State& st) { OursAes(st, m); });
    reg(std::string(r.name) + "/ref", [m](benchmark::State& st) { OsslAes(st, m); });
  }
  reg("aes256_cbc_enc_16k_ssse3/ours", OursAesSsse3Only);
  reg("aes256_cbc_enc_16k_ssse3/ref", [](benchmark::State& st) { OsslAes(st, kAesModeCbc); });
  for (const AesRow& r : {AesRow{"aes256_gcm_16k_aesni", kAesModeGcm}, AesRow{"aes256_ctr_16k_aesni", kAesModeCtr}}) {
    const AESMode m = r.mode;
    reg(std::string(r.name) + "/ours", [m](benchmark::State& st) { OursAesNiOnly(st, m); });
    reg(std::string(r.name) + "/ref", [m](benchmark::State& st) { OsslAes(st, m); });
  }
  for (const auto& [name, n] : {std::pair{"aes256_ccm_16k", kBig}, std::pair{"aes256_ccm_64", size_t{64}}}) {
    const size_t len = n;
    reg(std::string(name) + "/ours", [len](benchmark::State& st) { OursCcm(st, len); });
    reg(std::string(name) + "/ref", [len](benchmark::State& st) { OsslCcm(st, len); });
  }
  struct DigestRow {
    const char* name;
    HashId id;
    const EVP_MD* (*md)();
    size_t n;
  };
  for (const DigestRow& r : {DigestRow{"sha256_16k", kHashSha256, EVP_sha256, kBig},
                             DigestRow{"sha256_64", kHashSha256, EVP_sha256, 64},
                             DigestRow{"sha512_16k", kHashSha512, EVP_sha512, kBig},
                             DigestRow{"sha512_128", kHashSha512, EVP_sha512, 128},
                             DigestRow{"ripemd160_16k", kHashRipemd160, EVP_ripemd160, kBig}}) {
    const HashId id = r.id;
    const size_t n = r.n;
    const EVP_MD* md = r.md();
    if (md == nullptr) continue;
    reg(std::string(r.name) + "/ours", [id, n](benchmark::State& st) { OursDigest(st, id, n); });
    reg(std::string(r.name) + "/ref", [md, n](benchmark::State& st) { OsslDigest(st, md, n); });
  }
  for (const auto& [name, n] : {std::pair{"keccak256_16k", kBig}, std::pair{"keccak256_32", size_t{32}},
                                std::pair{"keccak256_136", size_t{136}}}) {
    const size_t len = n;
    reg(std::string(name) + "/ours", [len](benchmark::State& st) { OursKeccak(st, len); });
    reg(std::string(name) + "/ref", [len](benchmark::State& st) { OsslDigest(st, EVP_sha3_256(), len); });
  }
  for (const auto& [name, n] : {std::pair{"hmac_sha512_16k", kBig}, std::pair{"hmac_sha512_32", size_t{32}}}) {
    const size_t len = n;
    reg(std::string(name) + "/ours", [len](benchmark::State& st) { OursHmac(st, len); });
    reg(std::string(name) + "/ref", [len](benchmark::State& st) { OsslHmac(st, len); });
  }
  reg("pbkdf2_sha512_2048/ours", OursPbkdf2);
  reg("pbkdf2_sha512_2048/ref", OsslPbkdf2);
  reg("scrypt_16384_8_1/ours", OursScrypt);
  reg("scrypt_16384_8_1/ref", OsslScrypt);
  reg("scrypt_16384_8_1/sodium", SodiumScrypt);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
