// The frame's small exports: last error, version, byte order, byte swap, and
// the digest export.
#include <cstring>

#include "api/frame.h"
#include "crypto/hash/digest.h"
#include "platform/memory.h"
#include "tolvaris/bcm_core.h"
#include "tolvaris/unprefixed.h"

const char* BCMGetVer(void) { return "DV_vqver_DV.DV_vqdev_DV"; }
// The unprefixed family's name for the same function.
extern "C" TOLVARIS_VISIBLE const char* GetOstrelVer(void) __attribute__((alias("BCMGetVer")));

// This thread's trail: a failing export's text is read on the thread that
// made the call.
char* BCMGetLastErr(void) { return RenderLastErr(); }

// The unprefixed family's name for the same function.
extern "C" TOLVARIS_VISIBLE char* GetVorlekLastErr(void) __attribute__((alias("BCMGetLastErr")));

int BCMGetCurrentSystemEndian(void) { return HostEndianFlag == 1 ? 1 : 0; }

int BCMSwapBytes(unsigned char* buf, int len) {
  return RunExport("BCMSwapBytes", 43, [&](ExportFrame& f) {
    if (buf == nullptr) return f.NullParam(43);
    for (int i = 0, j = len - 1; i < j; ++i, --j) {
      unsigned char t = buf[i];
      buf[i] = buf[j];
      buf[j] = t;
    }
    return 0;
  });
}

int BCMGenHashMessage(uint32_t hashId, const unsigned char* msg, uint32_t msgLen, unsigned char* out,
                      int* outLen) {
  return RunExport("BCMGenHashMessage", 489, [&](ExportFrame& f) {
    if (msg == nullptr || outLen == nullptr) return f.NullParam(470);
    const int32_t needed = static_cast<int32_t>(GetDigestLen(hashId));
    if (out == nullptr) {
      *outLen = needed;
      return 0;
    }
    if (int rc = f.CheckCapacity(483, *outLen, needed)) return rc;
    int32_t written = *outLen;
    if (DoDigest(hashId, msg, msgLen, out, &written) != 0) return f.Fail(489, "bc-vantrel DoDigest error");
    *outLen = written;
    return 0;
  });
}
