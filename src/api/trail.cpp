#include "api/trail.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "tolvaris/bcm_core.h"
#include "tolvaris/unprefixed.h"

namespace {

char g_errFunc[kErrFuncCap];
char g_errLoc[kErrLocCap];
char g_errMsg[kErrMsgCap];
char g_lastErr[kLastErrCap];

// Appends `entry` to `chain` (capacity `cap`) only when all of it fits.
void AppendWhole(char* chain, size_t cap, const char* entry, size_t entryLen) {
  size_t used = strlen(chain);
  if (used + entryLen > cap - 1) return;
  memcpy(chain + used, entry, entryLen);
  chain[used + entryLen] = '\0';
}

}  // namespace

void SetErrFunc(const char* name) {
  memset(g_errLoc, 0, sizeof g_errLoc);
  memset(g_errMsg, 0, sizeof g_errMsg);
  memset(g_errFunc, 0, sizeof g_errFunc);
  if (name != nullptr) snprintf(g_errFunc, sizeof g_errFunc, "%s", name);
}

void AddErrLocation(const char* file, const char* func, int line) {
  char work[256];
  memset(work, 0, sizeof work);
  size_t n = 0;
  auto put = [&](const char* s) {
    int w = snprintf(work + n, sizeof work - n, "%s", s);
    if (w > 0) n += static_cast<size_t>(w) < sizeof work - n ? static_cast<size_t>(w) : sizeof work - n - 1;
  };
  if (g_errLoc[0] != '\0') put("<-");
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
  AppendWhole(g_errLoc, sizeof g_errLoc, work, strlen(work));
}

void AddErrMsg(const char* fmt, ...) {
  char work[1024];
  memset(work, 0, sizeof work);
  size_t n = 0;
  if (g_errMsg[0] != '\0') {
    memcpy(work, "<-", 2);
    n = 2;
  }
  work[n++] = '(';
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
  AppendWhole(g_errMsg, sizeof g_errMsg, work, len);
}

const char* ErrTrailFunc() { return g_errFunc; }
const char* ErrTrailLocations() { return g_errLoc; }
const char* ErrTrailMessages() { return g_errMsg; }

char* BCMGetLastErr(void) {
  memset(g_lastErr, 0, sizeof g_lastErr);
  // Bounded by the buffer: with all three parts full the text is cut at 3135 characters.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif
  snprintf(g_lastErr, sizeof g_lastErr, "[%s][%s][%s]", g_errFunc, g_errLoc, g_errMsg);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  return g_lastErr;
}

// The unprefixed family's name for the same function.
extern "C" TOLVARIS_VISIBLE char* GetVorlekLastErr(void) __attribute__((alias("BCMGetLastErr")));
