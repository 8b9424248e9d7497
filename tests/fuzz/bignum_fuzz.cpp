// Builds three big numbers from the input and checks arithmetic identities
// that tie the operations together: reduction against multiplication and
// addition, squaring against multiplication, inverses, exponent steps and
// the byte round trip. Records with corrupt counts must be refused, never
// read past their end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypto/bignum/bignum.h"
#include "crypto/bignum/modexp.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

bool Same(const NXVT_BN& a, const NXVT_BN& b) { return NXVT_BN_Cmp(&a, &b) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t flags = data[0];
  size_t la = data[1] * 4u + (data[3] & 3u);
  size_t lb = data[2] * 2u;
  data += 4;
  size -= 4;
  if (la > size) la = size;
  if (lb > size - la) lb = size - la;
  size_t lc = size - la - lb;
  if (lc > 1031) lc = 1031;

  static NXVT_BN a, b, m, r1, r2, t;
  NXVT_BN_FromBytes(&a, data, static_cast<int32_t>(la));
  NXVT_BN_FromBytes(&b, data + la, static_cast<int32_t>(lb));
  NXVT_BN_FromBytes(&m, data + la + lb, static_cast<int32_t>(lc));

  // Byte round trip.
  static uint8_t out[1040];
  uint32_t len = sizeof(out);
  NXVT_BN_ToBytes(out, &len, &a);
  NXVT_BN_FromBytes(&t, out, static_cast<int32_t>(len));
  Check(Same(t, a));

  // Commutativity, squaring.
  if (NXVT_BN_Mul(&r1, &a, &b) == 0) {
    Check(NXVT_BN_Mul(&r2, &b, &a) == 0 && Same(r1, r2));
  }
  if (NXVT_BN_Sqr(&r1, &a) == 0) {
    Check(NXVT_BN_Mul(&r2, &a, &a) == 0 && Same(r1, r2));
  }
  // (a + b) - b = a.
  if (NXVT_BN_Add(&r1, &a, &b) == 0) {
    int32_t c = NXVT_BN_Sub(&r2, &r1, &b);
    Check(c >= 0 && Same(r2, a));
  }

  NXVT_BN_Normalize(&m);
  if (m.count != 0) {
    // (a + b m) mod m = a mod m.
    r1 = a;
    Check(NXVT_BN_Mod(&r1, &m) == 0);
    Check(NXVT_BN_Cmp(&r1, &m) == -2);
    if (NXVT_BN_Mul(&t, &b, &m) == 0 && NXVT_BN_Add(&r2, &t, &a) == 0) {
      Check(NXVT_BN_Mod(&r2, &m) == 0 && Same(r1, r2));
    }
    // Inverse: a * a^-1 = 1 (mod m).
    if (NXVT_BN_ModInv(&r2, &a, &m) == 0) {
      Check(NXVT_BN_Cmp(&r2, &m) == -2);
      if (NXVT_BN_Mul(&t, &r2, &a) == 0) {
        Check(NXVT_BN_Mod(&t, &m) == 0);
        Check(t.count == 1 && t.words[0] == 1);
      }
    }
    // a^(e+1) = a^e * a (mod m) for a short exponent.
    if ((flags & 1) && m.count <= 16) {
      NXVT_BN e;
      NXVT_BN_FromBytes(&e, data + la, static_cast<int32_t>(lb > 16 ? 16 : lb));
      NXVT_BN e1;
      Check(NXVT_BN_AddWord(&e1, &e, 1) == 0);
      if (NXVT_BN_ModExp(&r1, &a, &e, &m) == 0) {
        Check(NXVT_BN_ModExp(&r2, &a, &e1, &m) == 0);
        NXVT_BN red = a;
        Check(NXVT_BN_Mod(&red, &m) == 0);
        Check(NXVT_BN_Mul(&t, &r1, &red) == 0 && NXVT_BN_Mod(&t, &m) == 0 && Same(t, r2));
      }
    }
    // Any claimed root squares back.
    if ((flags & 2) && m.count <= 16 && NXVT_BN_ModSqrt(&r1, &a, &m) == 0) {
      Check(NXVT_BN_Sqr(&t, &r1) == 0 && NXVT_BN_Mod(&t, &m) == 0 && Same(t, a));
    }
  }

  // Corrupt counts are refused.
  if (flags & 4) {
    NXVT_BN bad = a;
    bad.count = NXVT_BN_MAX_WORDS + 1 + (flags >> 3);
    Check(NXVT_BN_Add(&r1, &bad, &b) == -1);
    Check(NXVT_BN_Mod(&bad, &m) == -1);
    Check(NXVT_BN_Cmp(&bad, &b) == -1);
    uint32_t l = sizeof(out);
    NXVT_BN_ToBytes(out, &l, &bad);
    Check(l == 0);
  }
  return 0;
}
