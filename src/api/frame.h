#ifndef TOLVARIS_API_FRAME_H
#define TOLVARIS_API_FRAME_H

#include <cstdint>
#include <exception>
#include <new>

#include "trail/trail.h"

// The frame every BCM* export runs in: the trail is opened under the export's
// name, each failed check records its message and the export's location, and
// no C++ exception leaves the export.
class ExportFrame {
 public:
  explicit ExportFrame(const char* name) : name_(name) { SetErrFunc(name); }

  const char* name() const { return name_; }

  // Records the message and the export's own location; returns the code.
  template <class... A>
  int Fail(int code, const char* fmt, A... args) {
    if constexpr (sizeof...(A) == 0) {
      AddErrMsg("%s", fmt);
    } else {
      AddErrMsg(fmt, args...);
    }
    AddErrLocation(nullptr, name_, code);
    return code;
  }
  int NullParam(int code) { return Fail(code, "param is NULL"); }

  // The one-output capacity check: 0 when `capacity` (signed) holds `needed`.
  int CheckCapacity(int code, int32_t capacity, int64_t needed) {
    if (static_cast<int64_t>(capacity) < needed)
      return Fail(code, "buffer size[%d] is lower than [%d]", capacity, static_cast<int>(needed));
    return 0;
  }

 private:
  const char* name_;
};

// Runs `body(frame)` inside the frame. An exception escaping the body is
// reported as a failure of the export's library call (`callCode`); a lack
// of memory is marked as such in the trail (ErrTrailNoMemory).
template <class Body>
int RunExport(const char* name, int callCode, Body&& body) noexcept {
  ExportFrame frame(name);
  try {
    return body(frame);
  } catch (const std::bad_alloc&) {
    const int code = frame.Fail(callCode, "bc-vantrel %s error", "memory allocation");
    SetErrNoMemory();
    return code;
  } catch (...) {
    return frame.Fail(callCode, "bc-vantrel %s error", "internal");
  }
}

// Wraps an export that does not open the trail.
template <class R, class Body>
R Unframed(R onError, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return onError;
  }
}

#endif
