// Feeds arbitrary octets to the SEC 1 point decoder of both curves. A point
// that decodes must lie on the curve, re-encode to the same octets (hybrid
// forms as uncompressed), survive a compressed round trip, and multiply by a
// scalar taken from the input without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypto/ec/general/eccurve.h"
#include "crypto/ec/general/ecpoint.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t code = data[0] & 1u;
  const uint8_t scalarLen = data[0] >> 1;  // up to 127 bytes
  data += 1;
  size -= 1;
  NXVT_PKC* pkc = GetPKCParam(code);
  if (!pkc) return 0;
  NXVT_EC_CURVE* c = pkc->curve;
  NXVT_EC_POINT* P = NXVT_EC_Point_New();
  NXVT_EC_POINT* Q = NXVT_EC_Point_New();
  NXVT_EC_POINT* R = NXVT_EC_Point_New();
  Check(P && Q && R);
  size_t octLen = size > scalarLen ? size - scalarLen : size;
  if (NXVT_EC_Point_Decode(P, data, octLen, c) == 0 && !NXVT_EC_Point_IsInfinity(P)) {
    Check(NXVT_EC_Point_IsOnCurve(P, c) == 1);
    uint8_t out[65];
    uint32_t len = sizeof out;
    const int32_t form = octLen == 33 ? kEcFormCompressed : kEcFormUncompressed;
    Check(NXVT_EC_Point_ToOctets(P, form, out, &len, c) == 0);
    Check(len == octLen && memcmp(out + 1, data + 1, len - 1) == 0);
    Check(out[0] == data[0] || (data[0] >= 6 && out[0] == 4));
    len = sizeof out;
    Check(NXVT_EC_Point_ToOctets(P, kEcFormCompressed, out, &len, c) == 0);
    Check(NXVT_EC_Point_Decode(Q, out, len, c) == 0 && NXVT_EC_Point_Cmp(P, Q, c) == 0);
    if (size > octLen) {
      NXVT_BN k;
      NXVT_BN_FromBytes(&k, data + octLen, static_cast<int32_t>(size - octLen));
      Check(NXVT_EC_Point_Mult(R, &k, P, c) == 0);
      Check(NXVT_EC_Point_DualMult(Q, &k, P, &k, c) == 0);
    }
  }
  NXVT_EC_Point_Free(P);
  NXVT_EC_Point_Free(Q);
  NXVT_EC_Point_Free(R);
  NXVT_PKC_Free(pkc);
  return 0;
}
