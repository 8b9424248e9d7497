// Linux sources of the entropy pool.
//
// The pool is filled in the same order and with the same pass counts as the
// gathering it stands in for; each source below sits where its nearest
// counterpart sat:
//
//   two passes of
//     system statistics record      sysinfo(2): uptime, load averages, memory
//                                   and swap figures, process count; these
//                                   change from call to call and machine to
//                                   machine.
//     256 bytes of the OS generator getrandom(2), the pool's real entropy and
//                                   the one mandatory source: a gathering that
//                                   gets fewer than 32 bytes from it fails.
//   two passes of
//     process memory walk           CLOCK_PROCESS_CPUTIME_ID: the process's
//                                   own consumed CPU time (its history so far).
//     process records               getpid, getppid, gettid: the identities of
//                                   this process, its parent and the thread.
//     high-resolution counter       CLOCK_MONOTONIC_RAW, nanosecond resolution.
//     system time                   CLOCK_REALTIME.
//     memory status record          sysinfo(2) again (free memory moves).
//   two passes of
//     module records                CLOCK_THREAD_CPUTIME_ID: the calling
//                                   thread's CPU time.
//     tick count (when nonzero)     CLOCK_BOOTTIME: time since boot.
//     fresh GUID                    16 more bytes of getrandom(2).
//
// Only the getrandom bytes are relied on for unpredictability; the others
// add what they can and each is left out when its call fails. Every local
// copy is wiped once appended.
#include "platform/entropy.h"

#include <sys/random.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/memory.h"

void EntropyPoolAppend(unsigned char* pool, int32_t* pos, const void* item, size_t len) {
  if (pool == nullptr || pos == nullptr || item == nullptr || len == 0) return;
  const auto* src = static_cast<const unsigned char*>(item);
  int32_t p = *pos;
  if (p < 0) p = 0;
  if (p > kEntropyPoolSize) p = kEntropyPoolSize;
  size_t room = static_cast<size_t>(kEntropyPoolSize - p);
  if (len <= room) {
    std::memcpy(pool + p, src, len);
    *pos = p + static_cast<int32_t>(len);
    return;
  }
  if (room > 0) std::memcpy(pool + p, src, room);
  // Written again from the start; an item larger than the pool keeps only
  // what fits.
  size_t again = len < static_cast<size_t>(kEntropyPoolSize) ? len : static_cast<size_t>(kEntropyPoolSize);
  std::memcpy(pool, src, again);
  *pos = kEntropyPoolSize;
}

ssize_t LinuxGetRandom(void* buf, size_t len) {
  auto* out = static_cast<unsigned char*>(buf);
  size_t got = 0;
  while (got < len) {
    ssize_t r = getrandom(out + got, len - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return got > 0 ? static_cast<ssize_t>(got) : -1;
    }
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<ssize_t>(got);
}

OsRandomSource g_osRandomSource = LinuxGetRandom;

namespace {

// Reads the OS generator through the hook; returns the bytes appended.
size_t AppendOsRandom(unsigned char* pool, int32_t* pos, size_t want) {
  unsigned char buf[kEntropyOsRandomPass];
  ScopedWipe wipeBuf(buf, sizeof buf);
  if (want > sizeof buf) want = sizeof buf;
  OsRandomSource src = g_osRandomSource;
  if (src == nullptr) return 0;
  ssize_t r = src(buf, want);
  if (r <= 0) return 0;
  size_t n = static_cast<size_t>(r) > want ? want : static_cast<size_t>(r);
  EntropyPoolAppend(pool, pos, buf, n);
  return n;
}

void AppendClock(unsigned char* pool, int32_t* pos, clockid_t clock, bool onlyNonzero) {
  struct timespec ts;
  std::memset(&ts, 0, sizeof ts);
  if (clock_gettime(clock, &ts) == 0 && (!onlyNonzero || ts.tv_sec != 0 || ts.tv_nsec != 0)) {
    EntropyPoolAppend(pool, pos, &ts, sizeof ts);
  }
  Wipe(&ts, sizeof ts);
}

void AppendSysinfo(unsigned char* pool, int32_t* pos) {
  struct sysinfo si;
  std::memset(&si, 0, sizeof si);
  if (sysinfo(&si) == 0) EntropyPoolAppend(pool, pos, &si, sizeof si);
  Wipe(&si, sizeof si);
}

void AppendIds(unsigned char* pool, int32_t* pos) {
  pid_t ids[3] = {getpid(), getppid(), gettid()};
  EntropyPoolAppend(pool, pos, ids, sizeof ids);
  Wipe(ids, sizeof ids);
}

}  // namespace

int NXVT_RNG_GatherEntropy(unsigned char* pool, int32_t* count1, int32_t* count2) {
  if (pool == nullptr) return -1;
  Wipe(pool, kEntropyPoolSize);
  int32_t pos = 0;
  size_t osRandom = 0;

  for (int pass = 0; pass < 2; ++pass) {
    AppendSysinfo(pool, &pos);
    osRandom += AppendOsRandom(pool, &pos, kEntropyOsRandomPass);
  }
  for (int pass = 0; pass < 2; ++pass) {
    AppendClock(pool, &pos, CLOCK_PROCESS_CPUTIME_ID, false);
    AppendIds(pool, &pos);
    AppendClock(pool, &pos, CLOCK_MONOTONIC_RAW, false);
    AppendClock(pool, &pos, CLOCK_REALTIME, false);
    AppendSysinfo(pool, &pos);
  }
  for (int pass = 0; pass < 2; ++pass) {
    AppendClock(pool, &pos, CLOCK_THREAD_CPUTIME_ID, false);
    AppendClock(pool, &pos, CLOCK_BOOTTIME, true);
    AppendOsRandom(pool, &pos, 16);
  }

  if (osRandom < static_cast<size_t>(kEntropyMinOsRandom)) {
    // Without the OS generator the pool is predictable: refuse to seed from it.
    Wipe(pool, kEntropyPoolSize);
    pos = 0;
  }
  if (count1 != nullptr) *count1 = pos;
  if (count2 != nullptr) *count2 = pos;
  return osRandom < static_cast<size_t>(kEntropyMinOsRandom) ? -1 : 0;
}
