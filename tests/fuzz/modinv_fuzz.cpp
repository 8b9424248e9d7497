// Inversion by divsteps against the big-number inverse, on any odd modulus
// below 2^256 (the curve moduli or one from the input) and any value prime
// to it: the constant-time and the variable-time variant give
// a^-1 * scale mod m, with scale 1 or the Montgomery factor R^2 mod m.
// Layout: flags byte (bit 0: Montgomery factor; bits 1-2: modulus 0..3 of
// the curves, or read from the input when bit 3 is set), 32 bytes of the
// value, then 32 bytes of the modulus when it comes from the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crypto/bignum/bignum.h"
#include "crypto/ec/modinv.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

const char* const kMods[4] = {
    "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f",
    "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
    "ffffffff00000001000000000000000000000000ffffffffffffffffffffffff",
    "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551",
};

void ToLimbs(uint64_t out[4], const NXVT_BN& a) {
  uint8_t be[32];
  if (NXVT_BN_ToFixedBytes(be, 32, &a) != 0) Fail("value wider than 256 bits");
  for (int i = 0; i < 4; ++i) {
    uint64_t w = 0;
    for (int b = 0; b < 8; ++b) w = (w << 8) | be[8 * (3 - i) + b];
    out[i] = w;
  }
}

void FromLimbs(NXVT_BN* r, const uint64_t a[4]) {
  uint8_t be[32];
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 8; ++b) be[8 * (3 - i) + b] = static_cast<uint8_t>(a[i] >> (8 * (7 - b)));
  }
  NXVT_BN_FromBytes(r, be, 32);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 33) return 0;
  const uint8_t flags = data[0];
  static NXVT_BN m, a, want, scale, t;
  if (flags & 8) {
    if (size < 65) return 0;
    NXVT_BN_FromBytes(&m, data + 33, 32);
    m.words[0] |= 1;  // odd
    if (m.count == 0) m.count = 1;
    NXVT_BN_Normalize(&m);
    if (NXVT_BN_BitLen(&m) < 2) return 0;  // m = 1 has no residues to invert
  } else {
    NXVT_BN_FromHex(&m, kMods[(flags >> 1) & 3]);
  }
  NXVT_BN_FromBytes(&a, data + 1, 32);
  if (NXVT_BN_Mod(&a, &m) != 0) Fail("reduction");
  // scale = 1 or 2^512 mod m.
  uint8_t power[65] = {1};  // 2^512, big-endian
  if (flags & 1) {
    NXVT_BN_FromBytes(&scale, power, sizeof power);
    if (NXVT_BN_Mod(&scale, &m) != 0) Fail("reduction");
  } else {
    NXVT_BN_FromHex(&scale, "1");
  }
  NXVT_BN_FromHex(&want, "0");
  if (!NXVT_BN_IsZero(&a)) {
    if (NXVT_BN_ModInv(&want, &a, &m) != 0) return 0;  // not prime to m: no inverse
    if (NXVT_BN_Mul(&t, &want, &scale) != 0 || NXVT_BN_Mod(&t, &m) != 0) Fail("product");
    want = t;
  }
  uint64_t ml[4], sl[4], al[4], r[4], rv[4];
  ToLimbs(ml, m);
  ToLimbs(sl, scale);
  ToLimbs(al, a);
  const ModInvModulus mod = MakeModInvModulus(ml, sl);
  ModInv256(r, al, mod);
  ModInv256Vartime(rv, al, mod);
  NXVT_BN got;
  FromLimbs(&got, r);
  if (NXVT_BN_Cmp(&got, &want) != 0) Fail("constant-time inverse differs from the reference");
  FromLimbs(&got, rv);
  if (NXVT_BN_Cmp(&got, &want) != 0) Fail("variable-time inverse differs from the reference");
  return 0;
}
