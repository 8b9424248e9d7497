// The random source: Hash_DRBG against OpenSSL's HASH-DRBG, the pool and its
// condensing, request limits, reseeding, fork safety and a failing OS source.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <sys/sysinfo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <set>
#include <sstream>
#include <thread>

#include "crypto/random.h"
#include "platform/entropy.h"
#include "tv_test.h"

using tvt::Bytes;

namespace {

// OpenSSL's HASH-DRBG fed deterministic entropy by a TEST-RAND parent. The
// entropy input of our instantiate is OpenSSL's entropy ‖ nonce; the empty
// personalisation string replaces OpenSSL's default one.
class OsslDrbg {
 public:
  OsslDrbg(const char* digest, const Bytes& entropy, const Bytes& nonce) {
    EVP_RAND* tr = EVP_RAND_fetch(nullptr, "TEST-RAND", nullptr);
    EVP_RAND* hr = EVP_RAND_fetch(nullptr, "HASH-DRBG", nullptr);
    parent_ = EVP_RAND_CTX_new(tr, nullptr);
    unsigned int strength = 256;
    OSSL_PARAM p[4];
    p[0] = OSSL_PARAM_construct_uint(OSSL_RAND_PARAM_STRENGTH, &strength);
    p[1] = OSSL_PARAM_construct_end();
    ok_ = EVP_RAND_instantiate(parent_, strength, 0, nullptr, 0, p) == 1;
    SetEntropy(entropy, &nonce);
    drbg_ = EVP_RAND_CTX_new(hr, parent_);
    unsigned int zero = 0;
    time_t zeroTime = 0;
    p[0] = OSSL_PARAM_construct_utf8_string(OSSL_DRBG_PARAM_DIGEST, const_cast<char*>(digest), 0);
    p[1] = OSSL_PARAM_construct_uint(OSSL_DRBG_PARAM_RESEED_REQUESTS, &zero);
    p[2] = OSSL_PARAM_construct_time_t(OSSL_DRBG_PARAM_RESEED_TIME_INTERVAL, &zeroTime);
    p[3] = OSSL_PARAM_construct_end();
    ok_ = ok_ && EVP_RAND_CTX_set_params(drbg_, p) == 1;
    static const unsigned char empty[1] = {0};
    ok_ = ok_ && EVP_RAND_instantiate(drbg_, 256, 0, empty, 0, nullptr) == 1;
    EVP_RAND_free(tr);
    EVP_RAND_free(hr);
  }
  ~OsslDrbg() {
    EVP_RAND_CTX_free(drbg_);
    EVP_RAND_CTX_free(parent_);
  }
  bool ok() const { return ok_; }
  Bytes Generate(size_t n) {
    Bytes out(n + 1);
    if (EVP_RAND_generate(drbg_, out.data(), n, 256, 0, nullptr, 0) != 1) ADD_FAILURE() << "openssl generate";
    out.resize(n);
    return out;
  }
  void Reseed(const Bytes& entropy) {
    SetEntropy(entropy, nullptr);
    if (EVP_RAND_reseed(drbg_, 0, nullptr, 0, nullptr, 0) != 1) ADD_FAILURE() << "openssl reseed";
  }

 private:
  void SetEntropy(const Bytes& entropy, const Bytes* nonce) {
    OSSL_PARAM p[3];
    p[0] = OSSL_PARAM_construct_octet_string(OSSL_RAND_PARAM_TEST_ENTROPY, const_cast<unsigned char*>(entropy.data()),
                                             entropy.size());
    p[1] = nonce ? OSSL_PARAM_construct_octet_string(OSSL_RAND_PARAM_TEST_NONCE,
                                                     const_cast<unsigned char*>(nonce->data()), nonce->size())
                 : OSSL_PARAM_construct_end();
    p[2] = OSSL_PARAM_construct_end();
    ok_ = ok_ && EVP_RAND_CTX_set_params(parent_, p) == 1;
  }
  EVP_RAND_CTX* parent_ = nullptr;
  EVP_RAND_CTX* drbg_ = nullptr;
  bool ok_ = false;
};

Bytes Concat(const Bytes& a, const Bytes& b) {
  Bytes r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

// Replaces the OS random generator for one scope.
class OsSourceOverride {
 public:
  explicit OsSourceOverride(OsRandomSource src) : saved_(g_osRandomSource) { g_osRandomSource = src; }
  ~OsSourceOverride() { g_osRandomSource = saved_; }

 private:
  OsRandomSource saved_;
};

std::atomic<int> g_osCalls{0};
ssize_t CountingSource(void* buf, size_t len) {
  ++g_osCalls;
  return LinuxGetRandom(buf, len);
}
ssize_t FailingSource(void*, size_t) { return -1; }
ssize_t EmptySource(void*, size_t) { return 0; }
ssize_t Short15Source(void* buf, size_t len) { return LinuxGetRandom(buf, len < 15 ? len : 15); }
ssize_t Short16Source(void* buf, size_t len) { return LinuxGetRandom(buf, len < 16 ? len : 16); }
ssize_t PatternSource(void* buf, size_t len) {
  auto* p = static_cast<unsigned char*>(buf);
  for (size_t i = 0; i < len; ++i) p[i] = static_cast<unsigned char>(0xA0 ^ i);
  return static_cast<ssize_t>(len);
}

Bytes Draw(size_t n) {
  Bytes out(n);
  EXPECT_EQ(NXVT_RNG_GetBytes(out.data(), static_cast<uint32_t>(8 * n)), 0);
  return out;
}

}  // namespace

// Random instantiate / generate / reseed sequences, byte for byte against
// OpenSSL, over SHA-256 (the generator's digest) and SHA-512.
TEST(HashDrbg, MatchesOpenSslHashDrbg) {
  tvt::TestRng rng(120);
  // No empty requests here: OpenSSL returns early on them, while the standard
  // (and this generator) still steps V and the counter.
  const size_t lengths[] = {1, 31, 32, 33, 55, 64, 65, 111, 1000, 2048};
  for (const NXVT_DIGEST_DESC* desc : {&NXVT_SHA256_DESC, &NXVT_SHA512_DESC}) {
    const char* name = desc == &NXVT_SHA256_DESC ? "SHA256" : "SHA512";
    for (int round = 0; round < 12; ++round) {
      SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
      Bytes entropy = rng.RandBytes(32 + rng.Below(100));
      Bytes nonce = rng.RandBytes(16 + rng.Below(40));
      OsslDrbg ref(name, entropy, nonce);
      ASSERT_TRUE(ref.ok());
      NXVT_DRBG_STATE st;
      Bytes input = Concat(entropy, nonce);
      ASSERT_EQ(NXVT_DRBG_InstantiateState(&st, input.data(), static_cast<uint32_t>(input.size()), desc), 0);
      for (int step = 0; step < 14; ++step) {
        if (rng.Below(4) == 0) {
          Bytes re = rng.RandBytes(32 + rng.Below(90));
          ref.Reseed(re);
          ASSERT_EQ(NXVT_DRBG_ReseedState(&st, re.data(), static_cast<uint32_t>(re.size())), 0);
          EXPECT_EQ(st.reseedCounter, 1u);
        }
        size_t n = rng.Below(3) == 0 ? 1 + rng.Below(2048) : lengths[rng.Below(std::size(lengths))];
        Bytes ours(n + 1, 0x5A);
        ASSERT_EQ(NXVT_DRBG_GenerateState(&st, ours.data(), static_cast<uint32_t>(8 * n)), 0);
        EXPECT_EQ(ours[n], 0x5A) << "wrote past the request";
        ours.resize(n);
        ASSERT_EQ(tvt::Hex(ours), tvt::Hex(ref.Generate(n))) << "length " << n;
      }
    }
  }
}

TEST(HashDrbg, HashDfMatchesReference) {
  const std::string script = R"(
import sys, hashlib
for line in sys.stdin:
    d, bits, inp = line.split()
    h = hashlib.sha256 if d == '256' else hashlib.sha512
    bits = int(bits); data = bytes.fromhex(inp) if inp != '-' else b''
    out = b''; i = 1
    while len(out) * 8 < bits:
        out += h(bytes([i]) + bits.to_bytes(4, 'big') + data).digest(); i += 1
    print(out[:bits // 8].hex() or '-')
)";
  tvt::TestRng rng(7);
  struct Case {
    const NXVT_DIGEST_DESC* desc;
    uint32_t bits;
  };
  const Case cases[] = {{&NXVT_SHA256_DESC, 440}, {&NXVT_SHA256_DESC, 8},        {&NXVT_SHA256_DESC, 256},
                        {&NXVT_SHA256_DESC, 264}, {&NXVT_SHA256_DESC, 255 * 256}, {&NXVT_SHA256_DESC, 444},
                        {&NXVT_SHA512_DESC, 888}, {&NXVT_SHA512_DESC, 512},      {&NXVT_SHA512_DESC, 255 * 512}};
  std::ostringstream in;
  std::vector<Bytes> inputs;
  for (const Case& c : cases) {
    Bytes data = rng.RandBytes(rng.Below(200));
    inputs.push_back(data);
    in << (c.desc == &NXVT_SHA256_DESC ? "256 " : "512 ") << c.bits << ' ' << (data.empty() ? "-" : tvt::Hex(data))
       << '\n';
  }
  std::istringstream expect(tvt::RunPython(script, in.str()));
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::string want;
    expect >> want;
    Bytes out(cases[i].bits / 8 + 1, 0xEE);
    ASSERT_EQ(NXVT_DRBG_HashDf(out.data(), inputs[i].data(), static_cast<uint32_t>(inputs[i].size()), cases[i].bits,
                               cases[i].desc),
              0);
    EXPECT_EQ(out.back(), 0xEE);
    out.pop_back();
    EXPECT_EQ(out.empty() ? "-" : tvt::Hex(out), want) << "case " << i;
  }

  // Other digests, and outputs whose one-byte block counter would wrap.
  Bytes out(255 * 64 + 64);
  const unsigned char x = 1;
  EXPECT_EQ(NXVT_DRBG_HashDf(out.data(), &x, 1, 440, &NXVT_RIPEMD160_DESC), -1);
  EXPECT_EQ(NXVT_DRBG_HashDf(out.data(), &x, 1, 440, nullptr), -1);
  EXPECT_EQ(NXVT_DRBG_HashDf(out.data(), &x, 1, 255 * 256 + 8, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_DRBG_HashDf(out.data(), &x, 1, 255 * 512 + 8, &NXVT_SHA512_DESC), -1);
  EXPECT_EQ(NXVT_DRBG_HashDf(nullptr, &x, 1, 440, &NXVT_SHA256_DESC), -1);
}

TEST(HashDrbg, RefusesUnusableStatesAndShortEntropy) {
  Bytes e(64, 0x11);
  NXVT_DRBG_STATE st;
  std::memset(&st, 0, sizeof st);
  unsigned char out[32];
  EXPECT_EQ(NXVT_DRBG_GenerateState(&st, out, 256), -1);  // never instantiated
  EXPECT_EQ(NXVT_DRBG_ReseedState(&st, e.data(), 64), -1);
  EXPECT_EQ(NXVT_DRBG_HashGenState(&st, out, 256), -1);
  EXPECT_EQ(NXVT_DRBG_InstantiateState(&st, e.data(), 31, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_DRBG_InstantiateState(&st, nullptr, 64, &NXVT_SHA256_DESC), -1);
  EXPECT_EQ(NXVT_DRBG_InstantiateState(&st, e.data(), 64, &NXVT_RIPEMD160_DESC), -1);
  ASSERT_EQ(NXVT_DRBG_InstantiateState(&st, e.data(), 32, &NXVT_SHA256_DESC), 0);
  EXPECT_EQ(st.seedlen, 440u);
  EXPECT_EQ(st.reseedCounter, 1u);
  EXPECT_EQ(st.reseedInterval, 0x40000000u);
  EXPECT_EQ(NXVT_DRBG_ReseedState(&st, e.data(), 31), -1);
  EXPECT_EQ(NXVT_DRBG_GenerateState(&st, nullptr, 256), -1);
  st.seedlen = 888;  // inconsistent with SHA-256
  EXPECT_EQ(NXVT_DRBG_GenerateState(&st, out, 256), -1);
}

TEST(RandomSource, RequestLimits) {
  Bytes buf(2049, 0xCC);
  Draw(1);
  const uint32_t counter = NXVT_DRBG_ProcessState()->reseedCounter;
  ASSERT_EQ(NXVT_RNG_GetBytes(buf.data(), 0), 0);
  EXPECT_EQ(buf, Bytes(2049, 0xCC)) << "a request of 0 bits writes nothing";
  EXPECT_EQ(NXVT_DRBG_ProcessState()->reseedCounter, counter + 1) << "but is still a generate";
  ASSERT_EQ(NXVT_RNG_GetBytes(buf.data(), 12), 0);
  EXPECT_EQ(buf[1], 0xCC) << "a partial byte is not written";
  EXPECT_EQ(NXVT_RNG_GetBytes(buf.data(), 16384), 0);
  EXPECT_EQ(buf[2048], 0xCC);
  EXPECT_EQ(NXVT_RNG_GetBytes(buf.data(), 16392), -1);
  EXPECT_EQ(NXVT_RNG_GetBytes(nullptr, 256), -1);
  EXPECT_NE(Draw(16), Draw(16));
}

// Each request is one generate on the process-wide state.
TEST(RandomSource, GetBytesIsGenerateOnProcessState) {
  Draw(1);  // instantiated
  for (size_t n : {0, 1, 31, 32, 33, 1000}) {
    NXVT_DRBG_STATE copy = *NXVT_DRBG_ProcessState();
    Bytes want(n + 1), got(n + 1, 0x77);
    ASSERT_EQ(NXVT_DRBG_GenerateState(&copy, want.data(), static_cast<uint32_t>(8 * n)), 0);
    ASSERT_EQ(NXVT_RNG_GetBytes(got.data(), static_cast<uint32_t>(8 * n)), 0);
    EXPECT_EQ(got[n], 0x77);
    want.resize(n);
    got.resize(n);
    EXPECT_EQ(want, got) << n;
    EXPECT_EQ(std::memcmp(copy.V, NXVT_DRBG_ProcessState()->V, sizeof copy.V), 0);
  }
}

TEST(RandomSource, ReseedsAfterInterval) {
  Draw(1);
  NXVT_DRBG_STATE* st = NXVT_DRBG_ProcessState();
  OsSourceOverride hook(CountingSource);

  st->reseedCounter = st->reseedInterval;  // the last generate before a reseed
  g_osCalls = 0;
  Draw(32);
  EXPECT_EQ(g_osCalls.load(), 0);
  EXPECT_EQ(st->reseedCounter, 0x40000001u);

  // The next one reseeds from a fresh pool first.
  NXVT_DRBG_STATE noReseed = *st;
  noReseed.reseedInterval = 0xFFFFFFFFu;
  Bytes stale(32);
  ASSERT_EQ(NXVT_DRBG_GenerateState(&noReseed, stale.data(), 256), 0);
  Bytes fresh = Draw(32);
  EXPECT_GT(g_osCalls.load(), 0);
  EXPECT_EQ(st->reseedCounter, 2u);
  EXPECT_NE(fresh, stale);

  // A set prediction-resistance flag reseeds before every generate.
  st->predictionResistance = 1;
  g_osCalls = 0;
  Draw(8);
  EXPECT_GT(g_osCalls.load(), 0);
  EXPECT_EQ(st->reseedCounter, 2u);
  st->predictionResistance = 0;
}

TEST(RandomSource, ForkedChildDrawsOtherBytes) {
  Draw(1);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    unsigned char b[32];
    int rc = NXVT_RNG_GetBytes(b, 256);
    ssize_t w = rc == 0 ? write(fds[1], b, sizeof b) : -1;
    _exit(w == static_cast<ssize_t>(sizeof b) ? 0 : 1);
  }
  close(fds[1]);
  Bytes parent = Draw(32);
  Bytes fromChild(32);
  size_t got = 0;
  while (got < fromChild.size()) {
    ssize_t r = read(fds[0], fromChild.data() + got, fromChild.size() - got);
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_EQ(got, 32u);
  EXPECT_NE(parent, fromChild);
}

TEST(RandomSource, ConcurrentDrawsAreDistinct) {
  Draw(1);
  std::vector<std::vector<Bytes>> results(4);
  std::vector<std::thread> threads;
  for (auto& r : results)
    threads.emplace_back([&r] {
      for (int i = 0; i < 200; ++i) {
        Bytes b(16);
        if (NXVT_RNG_GetBytes(b.data(), 128) == 0) r.push_back(b);
      }
    });
  for (auto& t : threads) t.join();
  std::set<Bytes> seen;
  for (auto& r : results) {
    EXPECT_EQ(r.size(), 200u);
    seen.insert(r.begin(), r.end());
  }
  EXPECT_EQ(seen.size(), 800u);
}

// The OS generator is mandatory: with fewer than 32 bytes from it nothing is
// seeded, and every layer reports the failure.
TEST(RandomSource, OsSourceFailure) {
  struct Case {
    OsRandomSource src;
    int rc;
  };
  const Case cases[] = {{FailingSource, -1}, {EmptySource, -1}, {Short15Source, -1},
                        {Short16Source, 0},   {LinuxGetRandom, 0}};
  for (const Case& c : cases) {
    OsSourceOverride hook(c.src);
    std::vector<unsigned char> pool(kEntropyPoolSize, 0xAB);
    int32_t c1 = -7, c2 = -7;
    EXPECT_EQ(NXVT_RNG_GatherEntropy(pool.data(), &c1, &c2), c.rc);
    EXPECT_EQ(c1, c2);
    unsigned char seed[128];
    uint32_t seedLen = 99;
    EXPECT_EQ(NXVT_RNG_SeedFromPool(seed, &seedLen), c.rc);
    EXPECT_EQ(seedLen, c.rc == 0 ? 128u : 0u);
    if (c.rc != 0) {
      EXPECT_EQ(c1, 0);
      EXPECT_EQ(pool, std::vector<unsigned char>(kEntropyPoolSize, 0));
    }
  }

  Draw(1);
  NXVT_DRBG_STATE* st = NXVT_DRBG_ProcessState();
  {
    OsSourceOverride hook(FailingSource);
    // Reseed: refused, state untouched.
    NXVT_DRBG_STATE before = *st;
    EXPECT_EQ(NXVT_DRBG_ReseedFresh(), -1);
    EXPECT_EQ(std::memcmp(&before, st, sizeof before), 0);
    // A due reseed fails the request, and keeps failing until it succeeds.
    st->reseedCounter = st->reseedInterval + 1;
    unsigned char b[16];
    EXPECT_EQ(NXVT_RNG_GetBytes(b, 128), -1);
    EXPECT_EQ(NXVT_RNG_GetBytes(b, 128), -1);
    EXPECT_EQ(st->reseedCounter, st->reseedInterval + 1);
    // Instantiation fails, and leaves no state that a later request could
    // draw from.
    EXPECT_EQ(NXVT_DRBG_EnsureInstantiated(), -1);
    EXPECT_EQ(NXVT_DRBG_IsInstantiated(), 0u);
    EXPECT_EQ(NXVT_RNG_GetBytes(b, 128), -1);
    EXPECT_EQ(NXVT_DRBG_Generate(b, nullptr, 128), -1);
    EXPECT_EQ(NXVT_DRBG_HashGen(b, 128), -1);
    EXPECT_EQ(NXVT_DRBG_ReseedFresh(), -1);
  }
  // Once the source is back the next request instantiates.
  Bytes a = Draw(16);
  EXPECT_EQ(NXVT_DRBG_IsInstantiated(), 1u);
  EXPECT_EQ(st->reseedCounter, 2u);
  EXPECT_NE(a, Bytes(16, 0));
}

TEST(EntropyPool, AppendWrapsToStart) {
  std::vector<unsigned char> pool(kEntropyPoolSize, 0);
  int32_t pos = kEntropyPoolSize - 6;
  const unsigned char item[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EntropyPoolAppend(pool.data(), &pos, item, sizeof item);
  EXPECT_EQ(pos, kEntropyPoolSize);
  EXPECT_EQ(Bytes(pool.end() - 6, pool.end()), Bytes(item, item + 6));
  EXPECT_EQ(Bytes(pool.begin(), pool.begin() + 10), Bytes(item, item + 10));
  const unsigned char next[3] = {0xF1, 0xF2, 0xF3};
  EntropyPoolAppend(pool.data(), &pos, next, sizeof next);
  EXPECT_EQ(pos, kEntropyPoolSize);
  EXPECT_EQ(Bytes(pool.begin(), pool.begin() + 4), (Bytes{0xF1, 0xF2, 0xF3, 4}));
  // An item larger than the whole pool stays within it.
  std::vector<unsigned char> big(kEntropyPoolSize + 100, 0x42);
  pos = 10;
  EntropyPoolAppend(pool.data(), &pos, big.data(), big.size());
  EXPECT_EQ(pos, kEntropyPoolSize);
  EXPECT_EQ(pool, std::vector<unsigned char>(kEntropyPoolSize, 0x42));
}

TEST(EntropyPool, GatherHoldsOsRandomBytes) {
  OsSourceOverride hook(PatternSource);
  std::vector<unsigned char> pool(kEntropyPoolSize);
  int32_t c1 = 0, c2 = 0;
  ASSERT_EQ(NXVT_RNG_GatherEntropy(pool.data(), &c1, &c2), 0);
  EXPECT_EQ(c1, c2);
  // First pass: the system statistics record, then 256 bytes of the OS
  // generator; the second pass repeats both.
  const size_t si = sizeof(struct sysinfo);
  Bytes pattern(256);
  PatternSource(pattern.data(), pattern.size());
  ASSERT_GT(c1, static_cast<int32_t>(2 * (si + 256)));
  EXPECT_EQ(Bytes(pool.begin() + si, pool.begin() + si + 256), pattern);
  EXPECT_EQ(Bytes(pool.begin() + 2 * si + 256, pool.begin() + 2 * si + 512), pattern);
  EXPECT_EQ(Bytes(pool.begin() + c1, pool.end()), Bytes(kEntropyPoolSize - c1, 0));
}

// Four SHA-256 digests of the pool's first `count` bytes, the first 81 bytes
// folded between them.
TEST(EntropyPool, CondenseMatchesReference) {
  const std::string script = R"(
import sys, hashlib
for line in sys.stdin:
    count, hexpool = line.split()
    pool = bytearray.fromhex(hexpool); count = int(count); out = b''
    while True:
        out += hashlib.sha256(bytes(pool[:count])).digest()
        if len(out) >= 128: break
        for j in range(80): pool[j] ^= pool[80 - j]
    print(out[:128].hex())
)";
  tvt::TestRng rng(81);
  const int32_t counts[] = {0, 1, 50, 80, 81, 82, 1000, kEntropyPoolSize};
  std::ostringstream in;
  std::vector<Bytes> pools;
  for (int32_t c : counts) {
    pools.push_back(rng.RandBytes(kEntropyPoolSize));  // bytes past `count` must not be hashed
    in << c << ' ' << tvt::Hex(pools.back()) << '\n';
  }
  std::istringstream expect(tvt::RunPython(script, in.str()));
  for (size_t i = 0; i < std::size(counts); ++i) {
    std::string want;
    expect >> want;
    unsigned char out[128];
    NXVT_RNG_CondensePool(pools[i].data(), counts[i], out);
    EXPECT_EQ(tvt::Hex(out, sizeof out), want) << counts[i];
    EXPECT_EQ(pools[i], Bytes(kEntropyPoolSize, 0)) << "pool wiped";
  }
}
