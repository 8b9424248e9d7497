#ifndef TOLVARIS_CRYPTO_RANDOM_H
#define TOLVARIS_CRYPTO_RANDOM_H

#include <cstdint>
#include <sys/types.h>

#include "crypto/hash/digest.h"

// The process-wide random source: a Hash_DRBG (SP 800-90A 10.1.1) over
// SHA-256, seeded from an entropy pool gathered from the operating system.
// No nonce, no personalisation string, no additional input; prediction
// resistance is never requested; reseed interval 2^30 generate calls.
//
// Every function returns 0 on success and -1 on failure, and writes nothing
// to the error trail: callers report their own failures.

inline constexpr uint32_t kDrbgMaxSeedBytes = 111;    // seedlen 888 bits (SHA-512)
inline constexpr uint32_t kDrbgSeedlenSha256 = 440;   // bits
inline constexpr uint32_t kDrbgSeedlenSha512 = 888;   // bits
inline constexpr uint32_t kDrbgReseedInterval = 0x40000000u;
inline constexpr uint32_t kRngMaxRequestBits = 16384;  // 2048 bytes per request
inline constexpr uint32_t kRngSeedMaterialLen = 128;   // bytes made from one pool
inline constexpr uint32_t kDrbgMinEntropyLen = 32;     // security strength, bytes

struct NXVT_DRBG_STATE {
  unsigned char V[112];  // seedlen/8 bytes used (55 for SHA-256)
  unsigned char C[112];
  uint32_t reseedCounter;
  uint32_t reseedInterval;
  uint32_t seedlen;                // bits
  uint32_t predictionResistance;   // 1: reseed before every generate
  const NXVT_DIGEST_DESC* desc;    // null while uninstantiated
  pid_t pid;                       // process that last (re)seeded the state
};

// Writes bits/8 random bytes to `out` (bits at most 16384; a trailing partial
// byte is not written). Instantiates the process-wide generator on first use.
// 0, or -1 for a null `out`, an oversized request or a failure of the random
// source. The one entry for callers, and the only one serialised by a lock.
int NXVT_RNG_GetBytes(unsigned char* out, uint32_t bits);

// Operations on the process-wide generator, unguarded (its own use and tests).
int NXVT_DRBG_Generate(unsigned char* out, const unsigned char* additional, uint32_t bits);
int NXVT_DRBG_EnsureInstantiated();
int NXVT_DRBG_Instantiate(const unsigned char* entropy, uint32_t length);
int NXVT_DRBG_Reseed(const unsigned char* entropy, uint32_t length);
int NXVT_DRBG_ReseedFresh();
int NXVT_DRBG_HashGen(unsigned char* out, uint32_t bits);

// Hash_df of SP 800-90A 10.3.1 over SHA-256 or SHA-512: bits/8 bytes to `out`.
int NXVT_DRBG_HashDf(unsigned char* out, const unsigned char* input, uint32_t inputLength, uint32_t bits,
                     const NXVT_DIGEST_DESC* desc);

// Gathers a fresh pool and condenses it into 128 bytes of seed material;
// sets *outLength to 128. -1 when the pool could not be gathered (the
// operating system's random source failed or gave too little).
int NXVT_RNG_SeedFromPool(unsigned char* out, uint32_t* outLength);

// Condenses the first `count` bytes of a 4096-byte pool into 128 bytes of
// seed material: four SHA-256 digests, the pool's first 81 bytes folded
// between them. The pool is changed (folded and wiped).
void NXVT_RNG_CondensePool(unsigned char* pool, int32_t count, unsigned char* out);

// The same generator on a caller's own state (tests, and any caller that needs
// an independent stream). `desc` is NXVT_SHA256_DESC (seedlen 440) or
// NXVT_SHA512_DESC (seedlen 888). Generate reseeds from a fresh pool when the
// counter has passed the interval or the process id changed since seeding.
int NXVT_DRBG_InstantiateState(NXVT_DRBG_STATE* st, const unsigned char* entropy, uint32_t length,
                               const NXVT_DIGEST_DESC* desc);
int NXVT_DRBG_ReseedState(NXVT_DRBG_STATE* st, const unsigned char* entropy, uint32_t length);
int NXVT_DRBG_GenerateState(NXVT_DRBG_STATE* st, unsigned char* out, uint32_t bits);
int NXVT_DRBG_HashGenState(const NXVT_DRBG_STATE* st, unsigned char* out, uint32_t bits);

// The process-wide state and its instantiated flag (tests set the counter).
NXVT_DRBG_STATE* NXVT_DRBG_ProcessState();
uint32_t NXVT_DRBG_IsInstantiated();

#endif
