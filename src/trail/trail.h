#ifndef TOLVARIS_TRAIL_TRAIL_H
#define TOLVARIS_TRAIL_TRAIL_H

#include <cstddef>

// The error trail: the name of the export entered last, a chain of failing
// locations "Func:line" joined by "<-", and a chain of messages "(text)"
// joined by "<-", innermost failure first. Every thread has its own trail,
// so a failing call's text is read back by BCMGetLastErr on the thread that
// made the call, whatever other threads do meanwhile. A thread whose trail
// cannot be allocated records nothing; its trail renders as
// "[][][(error trail memory allocation failed)]".
//
// Every floor records into it (primitives, key services, exports), so it
// depends on nothing of theirs.
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

// Marks the failure being recorded as a lack of memory; SetErrFunc clears
// the mark. True while it stands, and for a thread without a trail.
void SetErrNoMemory();
bool ErrTrailNoMemory();

// For the layers that answer a failed allocation with -1 or null rather than
// an exception: notes the lack of memory (SetErrNoMemory), so that a caller
// above can tell it from a refusal, and gives `result` back:
//   if (buf == nullptr) return NoMemory(-1);
template <class R>
inline R NoMemory(R result) {
  SetErrNoMemory();
  return result;
}

// Records a failure location of a library function and returns the code.
inline int TrailFail(const char* func, int code) {
  AddErrLocation(nullptr, func, code);
  return code;
}

// Read access for the exports and tests (this thread's trail).
const char* ErrTrailFunc();
const char* ErrTrailLocations();
const char* ErrTrailMessages();
// "[func][locations][messages]" in this thread's buffer, cut at
// kLastErrCap - 1 characters; valid until this thread's next call.
char* RenderLastErr();

#endif
