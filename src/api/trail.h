#ifndef TOLVARIS_API_TRAIL_H
#define TOLVARIS_API_TRAIL_H

#include <cstddef>

// The process-wide error trail: the name of the export entered last, a chain
// of failing locations "Func:line" joined by "<-", and a chain of messages
// "(text)" joined by "<-", innermost failure first. Unguarded by design: a
// host issues one call at a time.
inline constexpr size_t kErrFuncCap = 64;
inline constexpr size_t kErrLocCap = 1024;
inline constexpr size_t kErrMsgCap = 2048;
inline constexpr size_t kLastErrCap = kErrFuncCap + kErrLocCap + kErrMsgCap;

// Empties both chains and makes `name` the trail's function name.
void SetErrFunc(const char* name);
// Appends "file:func:line" (file part only when the path holds "/"). Callers
// in this library pass a null file, so entries read "Func:line".
void AddErrLocation(const char* file, const char* func, int line);
// Appends "(message)"; an overlong message is cut, an entry that no longer
// fits the chain is dropped whole.
void AddErrMsg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Records a failure location of a library function and returns the code.
inline int TrailFail(const char* func, int code) {
  AddErrLocation(nullptr, func, code);
  return code;
}

// Read access for the exports and tests.
const char* ErrTrailFunc();
const char* ErrTrailLocations();
const char* ErrTrailMessages();

#endif
