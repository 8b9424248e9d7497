#ifndef TOLVARIS_PLATFORM_ENTROPY_H
#define TOLVARIS_PLATFORM_ENTROPY_H

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// The entropy pool the random source is seeded from: a fixed buffer filled
// with items from the operating system's sources.
inline constexpr int32_t kEntropyPoolSize = 4096;
// Bytes the operating system's random generator must deliver to one gathering;
// with fewer the gathering fails.
inline constexpr int32_t kEntropyMinOsRandom = 32;
// Bytes asked of the operating system's random generator per pass.
inline constexpr size_t kEntropyOsRandomPass = 256;

// Appends an item of `len` bytes at *pos. An item that does not fit fills the
// rest of the pool and is then written again, whole (as far as the pool
// holds it), from the pool's start; *pos stays at the pool size from then on.
void EntropyPoolAppend(unsigned char* pool, int32_t* pos, const void* item, size_t len);

// The operating system's random generator: fills up to `len` bytes and returns
// how many it wrote, or -1. The default reads getrandom(2), retrying when a
// signal interrupts it. Tests replace the pointer to simulate a failing or
// short source, and restore it afterwards.
using OsRandomSource = ssize_t (*)(void* buf, size_t len);
ssize_t LinuxGetRandom(void* buf, size_t len);
extern OsRandomSource g_osRandomSource;

// Zeroes the 4096-byte pool and fills it from the operating system's sources;
// writes the fill count to both outputs. 0, or -1 when the random generator
// delivered fewer than kEntropyMinOsRandom bytes (the pool is then wiped and
// both counts are 0).
int NXVT_RNG_GatherEntropy(unsigned char* pool, int32_t* count1, int32_t* count2);

#endif
