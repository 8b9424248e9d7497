#include "trail/trail.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/per_thread.h"

namespace {

// One thread's trail. The lengths let a new call clear only the bytes the
// previous one wrote (mnemonic words can be among them), not the whole 3 KB.
struct Trail {
  char func[kErrFuncCap];
  char loc[kErrLocCap];
  char msg[kErrMsgCap];
  char last[kLastErrCap];
  size_t funcLen;
  size_t locLen;
  size_t msgLen;
  size_t lastLen;
  bool noMemory;
  // Messages can quote caller text (a mistyped mnemonic word).
  ~Trail() { explicit_bzero(this, sizeof *this); }
};

// Each thread's trail is a block of its own (see PerThread for why not a
// thread_local object). A thread whose block cannot be had works on: its
// exports run as ever, they only record nothing, and the trail reads as the
// out-of-memory text below.
PerThread<Trail> g_trails;

// What a thread without a trail reads.
char g_noTrail[] = "[][][(error trail memory allocation failed)]";

// Appends `entry` to `chain` (capacity `cap`, `used` bytes in use) only when
// all of it fits.
void AppendWhole(char* chain, size_t cap, size_t& used, const char* entry, size_t entryLen) {
  if (used + entryLen > cap - 1) return;
  memcpy(chain + used, entry, entryLen);
  used += entryLen;
  chain[used] = '\0';
}

// Every export clears the trail as it starts, and after a call that
// succeeded there is nothing to clear: no call of memset for nothing.
void ClearText(char* text, size_t& len) {
  if (len == 0) return;
  memset(text, 0, len);
  len = 0;
}

}  // namespace

void SetErrFunc(const char* name) {
  Trail* trail = g_trails.Get();
  if (trail == nullptr) return;
  Trail& t = *trail;
  t.noMemory = false;
  ClearText(t.loc, t.locLen);
  ClearText(t.msg, t.msgLen);
  ClearText(t.func, t.funcLen);
  if (name != nullptr) {
    // Every export opens the trail: a plain copy, cut to the buffer.
    const size_t n = strnlen(name, sizeof t.func - 1);
    memcpy(t.func, name, n);
    t.func[n] = '\0';
    t.funcLen = n;
  }
}

void AddErrLocation(const char* file, const char* func, int line) {
  Trail* trail = g_trails.Get();
  if (trail == nullptr) return;
  Trail& t = *trail;
  char work[256];
  size_t n = 0;
  work[0] = '\0';
  auto put = [&](const char* s) {
    int w = snprintf(work + n, sizeof work - n, "%s", s);
    if (w > 0) n += static_cast<size_t>(w) < sizeof work - n ? static_cast<size_t>(w) : sizeof work - n - 1;
  };
  if (t.locLen != 0) put("<-");
  if (file != nullptr) {
    const char* slash = strrchr(file, '/');
    if (slash != nullptr) {
      put(slash + 1);
      put(":");
    }
  }
  if (func != nullptr) {
    put(func);
    put(":");
    char num[16];
    snprintf(num, sizeof num, "%d", line);
    put(num);
  }
  AppendWhole(t.loc, sizeof t.loc, t.locLen, work, n);
}

void AddErrMsg(const char* fmt, ...) {
  Trail* trail = g_trails.Get();
  if (trail == nullptr) return;
  Trail& t = *trail;
  char work[1024];
  size_t n = 0;
  if (t.msgLen != 0) {
    memcpy(work, "<-", 2);
    n = 2;
  }
  work[n++] = '(';
  work[n] = '\0';
  // Room for the text, leaving space for ")" and the terminator.
  size_t room = sizeof work - n - 2;
  if (fmt != nullptr) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(work + n, room, fmt, ap);
    va_end(ap);
  }
  size_t len = strlen(work);
  work[len++] = ')';
  work[len] = '\0';
  AppendWhole(t.msg, sizeof t.msg, t.msgLen, work, len);
  // The message may quote caller text (a mistyped mnemonic word).
  explicit_bzero(work, sizeof work);
}

void SetErrNoMemory() {
  if (Trail* t = g_trails.Get()) t->noMemory = true;
}

bool ErrTrailNoMemory() {
  const Trail* t = g_trails.Get();
  return t == nullptr || t->noMemory;
}

const char* ErrTrailFunc() {
  const Trail* t = g_trails.Get();
  return t != nullptr ? t->func : "";
}
const char* ErrTrailLocations() {
  const Trail* t = g_trails.Get();
  return t != nullptr ? t->loc : "";
}
const char* ErrTrailMessages() {
  const Trail* t = g_trails.Get();
  return t != nullptr ? t->msg : "";
}

char* RenderLastErr() {
  Trail* trail = g_trails.Get();
  if (trail == nullptr) return g_noTrail;
  Trail& t = *trail;
  ClearText(t.last, t.lastLen);
  // Bounded by the buffer: with all three parts full the text is cut at 3135 characters.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
  const int w = snprintf(t.last, sizeof t.last, "[%s][%s][%s]", t.func, t.loc, t.msg);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  t.lastLen = w < 0 ? 0 : (static_cast<size_t>(w) < sizeof t.last ? static_cast<size_t>(w) : sizeof t.last - 1);
  return t.last;
}
