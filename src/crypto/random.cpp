// Hash_DRBG (SP 800-90A 10.1.1) over SHA-256, with Hash_df and Hashgen also
// over SHA-512, and the seeding of the process-wide generator from the
// entropy pool.
#include "crypto/random.h"

#include <pthread.h>
#include <unistd.h>

#include <cstring>

#include "platform/memory.h"
#include "platform/entropy.h"

namespace {

NXVT_DRBG_STATE g_state;
uint32_t g_instantiated = 0;

// Serialises NXVT_RNG_GetBytes: two threads drawing at once could otherwise
// both read the same V and receive the same bytes. The fork handlers keep the
// lock consistent in a child forked while another thread held it.
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
void LockForFork() { pthread_mutex_lock(&g_lock); }
void UnlockAfterFork() { pthread_mutex_unlock(&g_lock); }

struct Segment {
  const unsigned char* p;
  size_t n;
};

// Output length in bytes of the two descriptors the generator accepts, else 0.
uint32_t OutLen(const NXVT_DIGEST_DESC* desc) {
  if (desc == &NXVT_SHA256_DESC) return 32;
  if (desc == &NXVT_SHA512_DESC) return 64;
  return 0;
}

uint32_t SeedlenFor(const NXVT_DIGEST_DESC* desc) {
  if (desc == &NXVT_SHA256_DESC) return kDrbgSeedlenSha256;
  if (desc == &NXVT_SHA512_DESC) return kDrbgSeedlenSha512;
  return 0;
}

// Digest of the concatenated segments into `out` (outlen bytes).
int DigestSegments(const NXVT_DIGEST_DESC* desc, const Segment* segs, size_t count, unsigned char* out) {
  NXVT_DIGEST_CTX ctx;
  ScopedWipe wipeCtx(ctx);
  if (NXVT_Digest_Init(&ctx, desc) != 0) return -1;
  for (size_t i = 0; i < count; ++i) DigestUpdateAll(&ctx, segs[i].p, segs[i].n);
  int32_t len = 64;
  NXVT_Digest_Final(out, &len, &ctx);
  return len == static_cast<int32_t>(OutLen(desc)) ? 0 : -1;
}

// Hash_df over the concatenation of the segments: bits/8 bytes to `out`.
int HashDfSegments(unsigned char* out, uint32_t bits, const NXVT_DIGEST_DESC* desc, const Segment* input,
                   size_t inputCount) {
  const uint32_t outlen = OutLen(desc);
  if (outlen == 0) return -1;
  const uint64_t blocks = (static_cast<uint64_t>(bits) + outlen * 8 - 1) / (outlen * 8);
  // The block counter is one byte: longer outputs would repeat blocks.
  if (blocks > 255) return -1;
  const size_t bytes = bits / 8;
  if (bytes > 0 && out == nullptr) return -1;

  unsigned char head[5] = {0, static_cast<unsigned char>(bits >> 24), static_cast<unsigned char>(bits >> 16),
                           static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits)};
  Segment segs[4];
  if (inputCount > 3) return -1;
  segs[0] = {head, sizeof head};
  for (size_t i = 0; i < inputCount; ++i) segs[i + 1] = input[i];

  unsigned char block[64];
  ScopedWipe wipeBlock(block, sizeof block);
  size_t done = 0;
  for (uint64_t i = 1; i <= blocks; ++i) {
    head[0] = static_cast<unsigned char>(i);
    if (DigestSegments(desc, segs, inputCount + 1, block) != 0) {
      if (bytes > 0) Wipe(out, bytes);
      return -1;
    }
    size_t take = bytes - done < outlen ? bytes - done : outlen;
    std::memcpy(out + done, block, take);
    done += take;
  }
  return 0;
}

// dst (n bytes, big-endian) += src (m bytes, big-endian), modulo 2^(8n).
void AddBigEndian(unsigned char* dst, size_t n, const unsigned char* src, size_t m) {
  unsigned carry = 0;
  for (size_t i = 0; i < n; ++i) {
    unsigned s = dst[n - 1 - i] + carry + (i < m ? src[m - 1 - i] : 0u);
    dst[n - 1 - i] = static_cast<unsigned char>(s);
    carry = s >> 8;
  }
}

bool StateUsable(const NXVT_DRBG_STATE* st) {
  return st != nullptr && OutLen(st->desc) != 0 && st->seedlen == SeedlenFor(st->desc) &&
         st->seedlen / 8 <= kDrbgMaxSeedBytes;
}

int ReseedFreshState(NXVT_DRBG_STATE* st) {
  unsigned char seed[kRngSeedMaterialLen];
  ScopedWipe wipeSeed(seed, sizeof seed);
  uint32_t seedLen = 0;
  if (NXVT_RNG_SeedFromPool(seed, &seedLen) != 0 || seedLen != sizeof seed) return -1;
  return NXVT_DRBG_ReseedState(st, seed, seedLen);
}

}  // namespace

int NXVT_DRBG_HashDf(unsigned char* out, const unsigned char* input, uint32_t inputLength, uint32_t bits,
                     const NXVT_DIGEST_DESC* desc) {
  Segment seg = {input, input != nullptr ? inputLength : 0u};
  return HashDfSegments(out, bits, desc, &seg, 1);
}

int NXVT_DRBG_InstantiateState(NXVT_DRBG_STATE* st, const unsigned char* entropy, uint32_t length,
                               const NXVT_DIGEST_DESC* desc) {
  const uint32_t seedlen = SeedlenFor(desc);
  if (st == nullptr || seedlen == 0 || entropy == nullptr || length < kDrbgMinEntropyLen) return -1;
  const size_t n = seedlen / 8;
  unsigned char v[sizeof st->V] = {0};
  unsigned char c[sizeof st->C] = {0};
  ScopedWipe wipeV(v, sizeof v);
  ScopedWipe wipeC(c, sizeof c);
  Segment in = {entropy, length};
  if (HashDfSegments(v, seedlen, desc, &in, 1) != 0) return -1;
  const unsigned char zero = 0x00;
  Segment cin[2] = {{&zero, 1}, {v, n}};
  if (HashDfSegments(c, seedlen, desc, cin, 2) != 0) return -1;
  std::memcpy(st->V, v, sizeof v);
  std::memcpy(st->C, c, sizeof c);
  st->reseedCounter = 1;
  st->reseedInterval = kDrbgReseedInterval;
  st->seedlen = seedlen;
  st->predictionResistance = 0;
  st->desc = desc;
  st->pid = getpid();
  return 0;
}

int NXVT_DRBG_ReseedState(NXVT_DRBG_STATE* st, const unsigned char* entropy, uint32_t length) {
  if (!StateUsable(st) || entropy == nullptr || length < kDrbgMinEntropyLen) return -1;
  const size_t n = st->seedlen / 8;
  unsigned char v[sizeof st->V] = {0};
  unsigned char c[sizeof st->C] = {0};
  ScopedWipe wipeV(v, sizeof v);
  ScopedWipe wipeC(c, sizeof c);
  const unsigned char one = 0x01, zero = 0x00;
  Segment vin[3] = {{&one, 1}, {st->V, n}, {entropy, length}};
  if (HashDfSegments(v, st->seedlen, st->desc, vin, 3) != 0) return -1;
  Segment cin[2] = {{&zero, 1}, {v, n}};
  if (HashDfSegments(c, st->seedlen, st->desc, cin, 2) != 0) return -1;
  // V and C change together or not at all.
  std::memcpy(st->V, v, sizeof v);
  std::memcpy(st->C, c, sizeof c);
  st->reseedCounter = 1;
  st->pid = getpid();
  return 0;
}

int NXVT_DRBG_HashGenState(const NXVT_DRBG_STATE* st, unsigned char* out, uint32_t bits) {
  if (out == nullptr || !StateUsable(st)) return -1;
  const uint32_t outlen = OutLen(st->desc);
  const size_t n = st->seedlen / 8;
  const size_t bytes = bits / 8;
  const uint64_t blocks = (static_cast<uint64_t>(bits) + outlen * 8 - 1) / (outlen * 8);
  unsigned char data[sizeof st->V];
  unsigned char block[64];
  ScopedWipe wipeData(data, sizeof data);
  ScopedWipe wipeBlock(block, sizeof block);
  std::memcpy(data, st->V, n);
  const unsigned char one = 1;
  size_t done = 0;
  for (uint64_t i = 0; i < blocks; ++i) {
    Segment seg = {data, n};
    if (DigestSegments(st->desc, &seg, 1, block) != 0) {
      if (bytes > 0) Wipe(out, bytes);
      return -1;
    }
    size_t take = bytes - done < outlen ? bytes - done : outlen;
    std::memcpy(out + done, block, take);
    done += take;
    AddBigEndian(data, n, &one, 1);
  }
  return 0;
}

int NXVT_DRBG_GenerateState(NXVT_DRBG_STATE* st, unsigned char* out, uint32_t bits) {
  if (!StateUsable(st) || out == nullptr) return -1;
  // A forked child shares the parent's state: reseed before it can repeat the
  // parent's output.
  if (st->pid != getpid() || st->reseedCounter > st->reseedInterval || st->predictionResistance == 1) {
    int rc = ReseedFreshState(st);
    if (rc != 0) return rc;
  }
  if (NXVT_DRBG_HashGenState(st, out, bits) != 0) return -1;
  const size_t n = st->seedlen / 8;
  const uint32_t outlen = OutLen(st->desc);
  unsigned char h[64];
  ScopedWipe wipeH(h, sizeof h);
  const unsigned char three = 0x03;
  Segment hin[2] = {{&three, 1}, {st->V, n}};
  if (DigestSegments(st->desc, hin, 2, h) != 0) {
    if (bits / 8 > 0) Wipe(out, bits / 8);
    return -1;
  }
  const uint32_t counter = st->reseedCounter;
  const unsigned char cnt[4] = {static_cast<unsigned char>(counter >> 24), static_cast<unsigned char>(counter >> 16),
                                static_cast<unsigned char>(counter >> 8), static_cast<unsigned char>(counter)};
  AddBigEndian(st->V, n, h, outlen);
  AddBigEndian(st->V, n, st->C, n);
  AddBigEndian(st->V, n, cnt, sizeof cnt);
  st->reseedCounter = counter + 1;
  return 0;
}

void NXVT_RNG_CondensePool(unsigned char* pool, int32_t count, unsigned char* out) {
  if (pool == nullptr || out == nullptr) return;
  if (count < 0) count = 0;
  if (count > kEntropyPoolSize) count = kEntropyPoolSize;
  unsigned char digest[32];
  ScopedWipe wipeDigest(digest, sizeof digest);
  uint32_t produced = 0;
  for (;;) {
    Segment seg = {pool, static_cast<size_t>(count)};
    DigestSegments(&NXVT_SHA256_DESC, &seg, 1, digest);
    uint32_t take = kRngSeedMaterialLen - produced < 32 ? kRngSeedMaterialLen - produced : 32;
    std::memcpy(out + produced, digest, take);
    produced += take;
    if (produced >= kRngSeedMaterialLen) break;
    for (int j = 0; j < 80; ++j) pool[j] ^= pool[80 - j];
  }
  Wipe(pool, kEntropyPoolSize);
}

int NXVT_RNG_SeedFromPool(unsigned char* out, uint32_t* outLength) {
  if (out == nullptr || outLength == nullptr) return -1;
  *outLength = 0;
  unsigned char pool[kEntropyPoolSize];
  ScopedWipe wipePool(pool, sizeof pool);
  int32_t count = 0, count2 = 0;
  if (NXVT_RNG_GatherEntropy(pool, &count, &count2) != 0) return -1;
  NXVT_RNG_CondensePool(pool, count, out);
  *outLength = kRngSeedMaterialLen;
  return 0;
}

int NXVT_DRBG_Instantiate(const unsigned char* entropy, uint32_t length) {
  int rc = NXVT_DRBG_InstantiateState(&g_state, entropy, length, &NXVT_SHA256_DESC);
  if (rc == 0) g_instantiated = 1;
  return rc;
}

int NXVT_DRBG_EnsureInstantiated() {
  unsigned char seed[kRngSeedMaterialLen];
  ScopedWipe wipeSeed(seed, sizeof seed);
  uint32_t seedLen = 0;
  int rc = NXVT_RNG_SeedFromPool(seed, &seedLen);
  if (rc == 0 && seedLen == sizeof seed) rc = NXVT_DRBG_Instantiate(seed, seedLen);
  else rc = -1;
  if (rc != 0) {
    // Never leave an old or half-made state behind a failure: the next
    // request must try again, not draw from it.
    Wipe(&g_state, sizeof g_state);
    g_instantiated = 0;
  }
  return rc;
}

int NXVT_DRBG_Reseed(const unsigned char* entropy, uint32_t length) {
  if (g_instantiated == 0) return -1;
  return NXVT_DRBG_ReseedState(&g_state, entropy, length);
}

int NXVT_DRBG_ReseedFresh() {
  if (g_instantiated == 0) return -1;
  return ReseedFreshState(&g_state);
}

int NXVT_DRBG_HashGen(unsigned char* out, uint32_t bits) {
  if (g_instantiated == 0) return -1;
  return NXVT_DRBG_HashGenState(&g_state, out, bits);
}

int NXVT_DRBG_Generate(unsigned char* out, const unsigned char* additional, uint32_t bits) {
  (void)additional;  // no additional input is ever used
  if (g_instantiated == 0) return -1;
  return NXVT_DRBG_GenerateState(&g_state, out, bits);
}

int NXVT_RNG_GetBytes(unsigned char* out, uint32_t bits) {
  if (out == nullptr || bits > kRngMaxRequestBits) return -1;
  static const int forkHandlers = pthread_atfork(LockForFork, UnlockAfterFork, UnlockAfterFork);
  (void)forkHandlers;
  pthread_mutex_lock(&g_lock);
  int rc = 0;
  if (g_instantiated == 0) rc = NXVT_DRBG_EnsureInstantiated();
  if (rc == 0) rc = NXVT_DRBG_Generate(out, nullptr, bits);
  pthread_mutex_unlock(&g_lock);
  return rc;
}

NXVT_DRBG_STATE* NXVT_DRBG_ProcessState() { return &g_state; }
uint32_t NXVT_DRBG_IsInstantiated() { return g_instantiated; }
