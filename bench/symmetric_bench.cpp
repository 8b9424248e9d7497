// Symmetric code against OpenSSL (and libsodium for scrypt) in the same run,
// each side called as a careful user calls it: ours through the exports an
// application calls (BCMGenAESEncrypt, BCMGenAESEncryptAuth with a 16-byte
// IV, BCMGenHashMessage, BCMGenHMac, BCMGenPBKDF2, BCMGenScrypt), OpenSSL
// with every algorithm fetched once and one context per row reused, each
// message taking only the init with key and IV (or the digest or MAC init),
// the update and the final. The key schedule is in every message on both
// sides. Rows ending in "_bulk" leave the key schedule and the export out of
// ours (the mode routine over a schedule set once) and out of OpenSSL (the
// IV alone re-set), to isolate the bulk loops.
//
// Each operation runs as "<op>/ours" and "<op>/ref", repetitions
// interleaved at random; a table of medians of CPU time (ours / ref) with
// their spread and throughput follows the usual output.
//
// TOLVARIS_BENCH_CLASS puts both sides on one processor class, whatever
// this machine has:
//   vaes512   what the machine has (the default);
//   vaes256   AVX-512 hidden, VAES and VPCLMULQDQ kept (AMD Zen 3, Intel
//             client cores since Alder Lake);
//   aesni     AVX-512, VAES and VPCLMULQDQ hidden: AES-NI, PCLMULQDQ, AVX2
//             and SHA-NI (AMD Zen 2, Intel server cores before Ice Lake);
//   portable  our portable code (OpenSSL as it is, unless OPENSSL_ia32cap
//             says otherwise).
// Ours takes the library's test switches; OpenSSL its OPENSSL_ia32cap mask,
// which it reads as it loads, so the program sets it and starts itself
// again (an OPENSSL_ia32cap already set is kept as the user gave it).
// TOLVARIS_BENCH_PORTABLE=1 is the class "portable". The row
// "aes256_cbc_enc_16k_ssse3" always runs our SSSE3 shuffle AES, as on a
// processor without AES-NI.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypto/aes/aes.h"
#include "crypto/aes/block_modes.h"
#include "crypto/aes/cipher.h"
#include "crypto/cpu_features.h"
#include "tolvaris/bcm_aes.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/bcm_kdf.h"

namespace {

constexpr size_t kBig = 16384;
const unsigned char kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                                17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const unsigned char kIv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
std::vector<unsigned char> g_in(kBig + 64, 0x5c), g_out(kBig + 64), g_back(kBig + 64);

// ---- Processor classes ---------------------------------------------------------

struct ProcessorClass {
  const char* name;
  void (*force)(bool);  // our switch, or null for what the machine has
  const char* mask;     // OPENSSL_ia32cap, or null to leave OpenSSL as it is
};

// The second vector of OPENSSL_ia32cap is CPUID leaf 7 (EBX, then ECX from
// bit 32): AVX512F 16, AVX512DQ 17, AVX512IFMA 21, AVX512BW 30, AVX512VL 31,
// VAES 41, VPCLMULQDQ 42.
constexpr ProcessorClass kClasses[] = {
    {"vaes512", nullptr, nullptr},
    {"vaes256", NXVT_ForceNoAvx512ForTest, ":~0xC0230000"},
    {"aesni", NXVT_ForceAesNiAvx2ForTest, ":~0x600C0230000"},
    {"portable", NXVT_ForcePortableForTest, nullptr},
};

const ProcessorClass* g_class = &kClasses[0];

// Our switch of the class (rows that force another path put it back).
void ForceClass() {
  if (g_class->force != nullptr) g_class->force(true);
}

const ProcessorClass* ChosenClass() {
  const char* portable = std::getenv("TOLVARIS_BENCH_PORTABLE");
  if (portable != nullptr && std::strcmp(portable, "1") == 0) return &kClasses[3];
  const char* name = std::getenv("TOLVARIS_BENCH_CLASS");
  if (name == nullptr || *name == '\0') return &kClasses[0];
  for (const ProcessorClass& c : kClasses) {
    if (std::strcmp(name, c.name) == 0) return &c;
  }
  return nullptr;
}

// ---- OpenSSL, fetched once ----------------------------------------------------

struct Fetched {
  EVP_CIPHER* gcm = EVP_CIPHER_fetch(nullptr, "AES-256-GCM", nullptr);
  EVP_CIPHER* ctr = EVP_CIPHER_fetch(nullptr, "AES-256-CTR", nullptr);
  EVP_CIPHER* cbc = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
  EVP_CIPHER* ccm = EVP_CIPHER_fetch(nullptr, "AES-256-CCM", nullptr);
  EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  EVP_MD* sha512 = EVP_MD_fetch(nullptr, "SHA512", nullptr);
  EVP_MD* ripemd160 = EVP_MD_fetch(nullptr, "RIPEMD160", nullptr);
  EVP_MD* sha3 = EVP_MD_fetch(nullptr, "SHA3-256", nullptr);
  EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  EVP_KDF* pbkdf2 = EVP_KDF_fetch(nullptr, "PBKDF2", nullptr);
  EVP_KDF* scrypt = EVP_KDF_fetch(nullptr, "SCRYPT", nullptr);
};

const Fetched& Ossl() {
  static const Fetched f;
  return f;
}

void Bytes(benchmark::State& st, size_t n) { st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * n)); }

// One cipher context for a whole row.
struct CipherCtx {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ~CipherCtx() { EVP_CIPHER_CTX_free(ctx); }
};

// ---- AES ----------------------------------------------------------------------

struct AesCase {
  AESMode mode;
  size_t n;
  bool decrypt;
};

// Our side through the exports: CBC and CTR unpadded, GCM with a 16-byte IV,
// no AAD and a 16-byte tag. Decryption rows undo a ciphertext made first.
void OursAes(benchmark::State& st, AesCase c) {
  unsigned char aad[1] = {0};
  const uint32_t n = static_cast<uint32_t>(c.n);
  const bool gcm = c.mode == kAesModeGcm;
  int len = static_cast<int>(g_out.size());
  const int made = gcm ? BCMGenAESEncryptAuth(g_in.data(), n, kKey, 32, kIv, 16, c.mode, aad, 0, 16, g_out.data(), &len)
                       : BCMGenAESEncrypt(g_in.data(), n, kKey, 32, kIv, 16, c.mode, 0, g_out.data(), &len);
  if (made != 0) st.SkipWithError("aes");
  const uint32_t sealed = static_cast<uint32_t>(len);
  for (auto _ : st) {
    int rc;
    len = static_cast<int>(g_back.size());
    if (c.decrypt) {
      rc = gcm ? BCMGenAESDecryptAuth(g_out.data(), sealed, kKey, 32, kIv, 16, c.mode, aad, 0, 16, g_back.data(), &len)
               : BCMGenAESDecrypt(g_out.data(), sealed, kKey, 32, kIv, 16, c.mode, 0, g_back.data(), &len);
    } else {
      rc = gcm ? BCMGenAESEncryptAuth(g_in.data(), n, kKey, 32, kIv, 16, c.mode, aad, 0, 16, g_back.data(), &len)
               : BCMGenAESEncrypt(g_in.data(), n, kKey, 32, kIv, 16, c.mode, 0, g_back.data(), &len);
    }
    if (rc != 0) st.SkipWithError("aes");
    benchmark::DoNotOptimize(g_back.data());
  }
  Bytes(st, c.n);
}

const EVP_CIPHER* OsslCipher(AESMode mode) {
  return mode == kAesModeGcm ? Ossl().gcm : mode == kAesModeCtr ? Ossl().ctr : Ossl().cbc;
}

// The context set up once for the cipher, padding off and (GCM) the IV length.
void OsslSetUp(EVP_CIPHER_CTX* ctx, AESMode mode, bool decrypt) {
  EVP_CipherInit_ex(ctx, OsslCipher(mode), nullptr, nullptr, nullptr, decrypt ? 0 : 1);
  if (mode == kAesModeGcm) EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_IVLEN, 16, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
}

// One message: the init with key (or null: the key set before) and IV, the
// update and the final; GCM sets or takes the tag.
bool OsslMessage(EVP_CIPHER_CTX* ctx, AESMode mode, bool decrypt, const unsigned char* key, const unsigned char* in,
                 size_t n, unsigned char* out, unsigned char* tag) {
  int k = 0, m = 0;
  if (EVP_CipherInit_ex(ctx, nullptr, nullptr, key, kIv, -1) != 1) return false;
  if (decrypt && mode == kAesModeGcm) EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, 16, tag);
  if (EVP_CipherUpdate(ctx, out, &k, in, static_cast<int>(n)) != 1) return false;
  if (EVP_CipherFinal_ex(ctx, out + k, &m) != 1) return false;
  if (!decrypt && mode == kAesModeGcm) EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, tag);
  return true;
}

void OsslAes(benchmark::State& st, AesCase c) {
  CipherCtx seal, row;
  unsigned char tag[16] = {0};
  OsslSetUp(seal.ctx, c.mode, false);
  if (!OsslMessage(seal.ctx, c.mode, false, kKey, g_in.data(), c.n, g_out.data(), tag)) st.SkipWithError("ossl");
  OsslSetUp(row.ctx, c.mode, c.decrypt);
  for (auto _ : st) {
    const unsigned char* in = c.decrypt ? g_out.data() : g_in.data();
    if (!OsslMessage(row.ctx, c.mode, c.decrypt, kKey, in, c.n, g_back.data(), tag)) st.SkipWithError("ossl");
    benchmark::DoNotOptimize(g_back.data());
  }
  Bytes(st, c.n);
}

// Our CBC encryption with only SSE2 and SSSE3 in use, whatever the machine has.
void OursAesSsse3Only(benchmark::State& st) {
  NXVT_ForceSsse3OnlyForTest(true);
  OursAes(st, {kAesModeCbc, kBig, false});
  NXVT_ForceSsse3OnlyForTest(false);
  ForceClass();
}

// The bulk loops alone: GCM (16-byte IV) and CTR over a schedule set once.
void OursBulk(benchmark::State& st, AESMode mode) {
  alignas(64) unsigned char schedule[kAes256ScheduleSize];
  NXVT_AES256_SetKey(schedule, kKey, 32);
  unsigned char tag[16], counter[16];
  for (auto _ : st) {
    int32_t rc;
    if (mode == kAesModeGcm) {
      rc = NXVT_GCM_EncryptTo(g_out.data(), g_in.data(), kBig, tag, nullptr, 0, schedule, kIv, 16, 16,
                              NXVT_AES256_EncryptBlock);
    } else {
      memcpy(counter, kIv, 16);
      rc = NXVT_CTR_CryptTo(g_out.data(), g_in.data(), kBig, schedule, counter, 16, NXVT_AES256_EncryptBlock);
    }
    if (rc != 0) st.SkipWithError("bulk");
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, kBig);
}

void OsslBulk(benchmark::State& st, AESMode mode) {
  CipherCtx row;
  unsigned char tag[16];
  OsslSetUp(row.ctx, mode, false);
  EVP_CipherInit_ex(row.ctx, nullptr, nullptr, kKey, nullptr, -1);
  for (auto _ : st) {
    if (!OsslMessage(row.ctx, mode, false, nullptr, g_in.data(), kBig, g_out.data(), tag)) st.SkipWithError("ossl");
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, kBig);
}

// CCM with a 13-byte nonce, 8 bytes of AAD and a 16-byte tag over n bytes.
const unsigned char kCcmAad[8] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};
constexpr int kCcmNonceLen = 13;

void OursCcm(benchmark::State& st, size_t n) {
  for (auto _ : st) {
    int len = static_cast<int>(g_out.size());
    if (BCMGenAESEncryptAuth(g_in.data(), static_cast<uint32_t>(n), kKey, 32, kIv, kCcmNonceLen, kAesModeCcm,
                             kCcmAad, sizeof kCcmAad, 16, g_out.data(), &len) != 0)
      st.SkipWithError("ccm");
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, n);
}

void OsslCcm(benchmark::State& st, size_t n) {
  CipherCtx row;
  EVP_EncryptInit_ex(row.ctx, Ossl().ccm, nullptr, nullptr, nullptr);
  EVP_CIPHER_CTX_ctrl(row.ctx, EVP_CTRL_CCM_SET_IVLEN, kCcmNonceLen, nullptr);
  for (auto _ : st) {
    int k = 0, m = 0;
    // The tag length goes in before each key: CCM forgets it at the final.
    EVP_CIPHER_CTX_ctrl(row.ctx, EVP_CTRL_CCM_SET_TAG, 16, nullptr);
    EVP_EncryptInit_ex(row.ctx, nullptr, nullptr, kKey, kIv);
    EVP_EncryptUpdate(row.ctx, nullptr, &k, nullptr, static_cast<int>(n));
    EVP_EncryptUpdate(row.ctx, nullptr, &k, kCcmAad, sizeof kCcmAad);
    EVP_EncryptUpdate(row.ctx, g_out.data(), &k, g_in.data(), static_cast<int>(n));
    EVP_EncryptFinal_ex(row.ctx, g_out.data() + k, &m);
    EVP_CIPHER_CTX_ctrl(row.ctx, EVP_CTRL_CCM_GET_TAG, 16, g_out.data() + n);
    benchmark::DoNotOptimize(g_out.data());
  }
  Bytes(st, n);
}

// ---- Digests, MAC, KDFs -----------------------------------------------------------

void OursDigest(benchmark::State& st, uint32_t hashId, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    int len = sizeof out;
    if (BCMGenHashMessage(hashId, g_in.data(), static_cast<uint32_t>(n), out, &len) != 0) st.SkipWithError("digest");
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

void OsslDigest(benchmark::State& st, const EVP_MD* md, size_t n) {
  unsigned char out[64];
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  for (auto _ : st) {
    unsigned len = 0;
    EVP_DigestInit_ex(ctx, md, nullptr);
    EVP_DigestUpdate(ctx, g_in.data(), n);
    EVP_DigestFinal_ex(ctx, out, &len);
    benchmark::DoNotOptimize(out);
  }
  EVP_MD_CTX_free(ctx);
  Bytes(st, n);
}

void OursHmac(benchmark::State& st, size_t n) {
  unsigned char out[64];
  for (auto _ : st) {
    int len = sizeof out;
    if (BCMGenHMac(2, kKey, 32, g_in.data(), static_cast<uint32_t>(n), out, &len) != 0) st.SkipWithError("hmac");
    benchmark::DoNotOptimize(out);
  }
  Bytes(st, n);
}

// The MAC context keeps its digest; each message sets the key again.
void OsslHmac(benchmark::State& st, size_t n) {
  unsigned char out[64];
  EVP_MAC_CTX* ctx = EVP_MAC_CTX_new(Ossl().hmac);
  char digest[] = "SHA512";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  EVP_MAC_CTX_set_params(ctx, params);
  for (auto _ : st) {
    size_t len = 0;
    EVP_MAC_init(ctx, kKey, 32, nullptr);
    EVP_MAC_update(ctx, g_in.data(), n);
    EVP_MAC_final(ctx, out, &len, sizeof out);
    benchmark::DoNotOptimize(out);
  }
  EVP_MAC_CTX_free(ctx);
  Bytes(st, n);
}

const char kMnemonic[] = "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
const unsigned char kSalt[] = "mnemonicTREZOR";

void OursPbkdf2(benchmark::State& st) {
  unsigned char out[64];
  for (auto _ : st) {
    int len = sizeof out;
    if (BCMGenPBKDF2(2, kMnemonic, kSalt, 14, 2048, 64, out, &len) != 0) st.SkipWithError("pbkdf2");
    benchmark::DoNotOptimize(out);
  }
}

// A KDF context per row; the parameters go with each derivation.
void OsslKdf(benchmark::State& st, EVP_KDF* kdf, const OSSL_PARAM* params, size_t outLen) {
  unsigned char out[64];
  EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
  for (auto _ : st) {
    if (EVP_KDF_derive(ctx, out, outLen, params) != 1) st.SkipWithError("kdf");
    benchmark::DoNotOptimize(out);
  }
  EVP_KDF_CTX_free(ctx);
}

void OsslPbkdf2(benchmark::State& st) {
  char password[sizeof kMnemonic], digest[] = "SHA512";
  memcpy(password, kMnemonic, sizeof kMnemonic);
  unsigned char salt[14];
  memcpy(salt, kSalt, sizeof salt);
  unsigned iterations = 2048;
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, password, sizeof kMnemonic - 1),
                               OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt, sizeof salt),
                               OSSL_PARAM_construct_uint(OSSL_KDF_PARAM_ITER, &iterations),
                               OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  OsslKdf(st, Ossl().pbkdf2, params, 64);
}

void OursScrypt(benchmark::State& st) {
  unsigned char out[32];
  for (auto _ : st) {
    int len = sizeof out;
    if (BCMGenScrypt("password", kSalt, 14, 16384, 8, 1, 32, out, &len) != 0) st.SkipWithError("scrypt");
    benchmark::DoNotOptimize(out);
  }
}

void OsslScrypt(benchmark::State& st) {
  char password[] = "password";
  unsigned char salt[14];
  memcpy(salt, kSalt, sizeof salt);
  uint64_t n = 16384;
  uint32_t r = 8, p = 1;
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, password, 8),
                               OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt, sizeof salt),
                               OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
                               OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
                               OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
                               OSSL_PARAM_construct_end()};
  OsslKdf(st, Ossl().scrypt, params, 32);
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

// Bytes per iteration of each operation, for the throughput columns.
std::map<std::string, size_t> g_bytes;

// Keeps the repetitions of every run for the ratio table: medians, and the
// spread as the relative half-width between the lowest and highest time.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.iterations > 0 && r.run_type == Run::RT_Iteration && !r.error_occurred)
        times_[r.run_name.function_name].push_back(r.GetAdjustedCPUTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    std::printf("\nclass %s\n", g_class->name);
    std::printf("%-24s %12s %8s %12s %8s %8s %10s %10s\n", "operation", "ours (us)", "spread", "ref (us)", "spread",
                "ratio", "ours MB/s", "ref MB/s");
    for (const auto& [name, t] : times_) {
      if (name.size() < 5 || name.compare(name.size() - 5, 5, "/ours") != 0) continue;
      const std::string op = name.substr(0, name.size() - 5);
      const auto bytes = g_bytes.find(op);
      for (const char* ref : {"/ref", "/sodium"}) {
        const auto b = times_.find(op + ref);
        if (b == times_.end()) continue;
        const double mo = Median(t), mr = Median(b->second);
        std::printf("%-24s %12.2f %7.1f%% %12.2f %7.1f%% %8.3f", op.c_str(), mo / 1e3, Spread(t), mr / 1e3,
                    Spread(b->second), mo / mr);
        if (bytes != g_bytes.end() && bytes->second > 0) {
          std::printf(" %10.0f %10.0f", bytes->second * 1e3 / mo, bytes->second * 1e3 / mr);
        }
        std::printf("%s\n", std::string(ref) == "/sodium" ? "  (libsodium)" : "");
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

template <class Ours, class Ref>
void Pair(const std::string& op, size_t bytes, Ours ours, Ref ref) {
  g_bytes[op] = bytes;
  benchmark::RegisterBenchmark((op + "/ours").c_str(), ours)->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark((op + "/ref").c_str(), ref)->Unit(benchmark::kNanosecond);
}

void RegisterRows() {
  struct AesRow {
    const char* name;
    AesCase c;
  };
  for (const AesRow& r : {AesRow{"aes256_gcm_16k", {kAesModeGcm, kBig, false}},
                          AesRow{"aes256_gcm_1k", {kAesModeGcm, 1024, false}},
                          AesRow{"aes256_gcm_64", {kAesModeGcm, 64, false}},
                          AesRow{"aes256_gcm_dec_16k", {kAesModeGcm, kBig, true}},
                          AesRow{"aes256_ctr_16k", {kAesModeCtr, kBig, false}},
                          AesRow{"aes256_ctr_64", {kAesModeCtr, 64, false}},
                          AesRow{"aes256_cbc_enc_16k", {kAesModeCbc, kBig, false}},
                          AesRow{"aes256_cbc_dec_16k", {kAesModeCbc, kBig, true}}}) {
    const AesCase c = r.c;
    Pair(r.name, c.n, [c](benchmark::State& st) { OursAes(st, c); }, [c](benchmark::State& st) { OsslAes(st, c); });
  }
  Pair("aes256_cbc_enc_16k_ssse3", kBig, OursAesSsse3Only,
       [](benchmark::State& st) { OsslAes(st, {kAesModeCbc, kBig, false}); });
  for (const auto& [name, mode] : {std::pair{"aes256_gcm_16k_bulk", kAesModeGcm}, std::pair{"aes256_ctr_16k_bulk", kAesModeCtr}}) {
    const AESMode m = mode;
    Pair(name, kBig, [m](benchmark::State& st) { OursBulk(st, m); }, [m](benchmark::State& st) { OsslBulk(st, m); });
  }
  for (const auto& [name, n] : {std::pair{"aes256_ccm_16k", kBig}, std::pair{"aes256_ccm_64", size_t{64}}}) {
    const size_t len = n;
    Pair(name, len, [len](benchmark::State& st) { OursCcm(st, len); }, [len](benchmark::State& st) { OsslCcm(st, len); });
  }
  struct DigestRow {
    const char* name;
    uint32_t id;
    const EVP_MD* md;
    size_t n;
  };
  // Keccak-256 runs against SHA3-256: the same permutation and rate.
  for (const DigestRow& r : {DigestRow{"sha256_16k", 1, Ossl().sha256, kBig}, DigestRow{"sha256_64", 1, Ossl().sha256, 64},
                             DigestRow{"sha512_16k", 2, Ossl().sha512, kBig},
                             DigestRow{"sha512_128", 2, Ossl().sha512, 128},
                             DigestRow{"ripemd160_16k", 3, Ossl().ripemd160, kBig},
                             DigestRow{"keccak256_16k", 11, Ossl().sha3, kBig},
                             DigestRow{"keccak256_136", 11, Ossl().sha3, 136},
                             DigestRow{"keccak256_32", 11, Ossl().sha3, 32}}) {
    if (r.md == nullptr) continue;  // RIPEMD-160 needs OpenSSL's legacy provider on some builds
    const uint32_t id = r.id;
    const size_t n = r.n;
    const EVP_MD* md = r.md;
    Pair(r.name, n, [id, n](benchmark::State& st) { OursDigest(st, id, n); },
         [md, n](benchmark::State& st) { OsslDigest(st, md, n); });
  }
  for (const auto& [name, n] : {std::pair{"hmac_sha512_16k", kBig}, std::pair{"hmac_sha512_32", size_t{32}}}) {
    const size_t len = n;
    Pair(name, len, [len](benchmark::State& st) { OursHmac(st, len); }, [len](benchmark::State& st) { OsslHmac(st, len); });
  }
  Pair("pbkdf2_sha512_2048", 0, OursPbkdf2, OsslPbkdf2);
  Pair("scrypt_16384_8_1", 0, OursScrypt, OsslScrypt);
  benchmark::RegisterBenchmark("scrypt_16384_8_1/sodium", SodiumScrypt)->Unit(benchmark::kNanosecond);
}

}  // namespace

int main(int argc, char** argv) {
  g_class = ChosenClass();
  if (g_class == nullptr) {
    std::fprintf(stderr, "TOLVARIS_BENCH_CLASS is one of vaes512, vaes256, aesni, portable\n");
    return 2;
  }
  // OpenSSL reads its mask as it loads: set it and start again.
  if (g_class->mask != nullptr && std::getenv("OPENSSL_ia32cap") == nullptr) {
    setenv("OPENSSL_ia32cap", g_class->mask, 1);
    execv("/proc/self/exe", argv);
    std::perror("execv");
    return 1;
  }
  if (sodium_init() < 0) return 1;
  ForceClass();
  const NXVT_CPU_FEATURES f = NXVT_CpuFeatures();
  const char* mask = std::getenv("OPENSSL_ia32cap");
  std::printf("class %s: OPENSSL_ia32cap=%s\n", g_class->name, mask != nullptr ? mask : "(unset)");
  std::printf("our paths: aesni %d pclmul %d shani %d avx2 %d bmi2 %d avx512 %d vaes %d vpclmul %d vaes512 %d\n",
              f.aesni, f.pclmul, f.shani, f.avx2, f.bmi2, f.avx512, f.vaes, f.vpclmul, f.vaes512);

  RegisterRows();
  // Repetitions interleaved at random, so a slow spell of the machine falls
  // on both sides; the command line can override these.
  std::vector<char*> args{argv[0]};
  std::string interleave = "--benchmark_enable_random_interleaving=true", reps = "--benchmark_repetitions=7";
  args.push_back(interleave.data());
  args.push_back(reps.data());
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
