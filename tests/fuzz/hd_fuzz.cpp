// Feeds arbitrary parent keys, chain codes and indexes to the HD derivation
// of both curves and Ed25519. A public child must be a key whose Y can be
// recovered; a normal private child must agree with the public child of the
// same parent; a private parent whose public key is refused must be refused
// by private derivation too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypto/ec/general/eccurve.h"
#include "keys/hd.h"

namespace {

void Check(bool ok) {
  if (!ok) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // selector (1) | index (4) | chain (32) | key (33)
  if (size < 1 + 4 + 32 + 33) return 0;
  const uint8_t sel = data[0];
  const uint32_t index = (uint32_t{data[1]} << 24) | (uint32_t{data[2]} << 16) | (uint32_t{data[3]} << 8) | data[4];
  const uint8_t* chain = data + 5;
  const uint8_t* key = data + 37;
  uint8_t pri[40], pub[40], ch[40], pub2[40], ch2[40], y[40];
  int32_t l1 = 40, l2 = 40, l3 = 40, l4 = 40, l5 = 40, ly = 40;

  if (sel & 2) {
    // Ed25519: any 32-byte secret is a parent of hardened children only.
    const int rc = CKD_ED(key, 32, key, 32, chain, 32, index, pri, &l1, pub, &l2, ch, &l3);
    Check((rc == 0) == (index >= kHdHardened));
    return 0;
  }
  NXVT_PKC* pkc = GetPKCParam(sel & 1u);
  if (!pkc) return 0;

  // Public derivation from 33 arbitrary bytes.
  if (CKDPub(key, 33, chain, 32, index, pkc, pub, &l2, ch, &l3) == 0) {
    Check(index < kHdHardened && (key[0] == 2 || key[0] == 3) && l2 == 33 && l3 == 32);
    Check(GetPubYFromCompPub(pub, 33, pkc, y, &ly) == 0);
  }

  // Private derivation from the first 32 bytes as a private key.
  l2 = 40;
  const bool hasPub = DerivePub(key, 32, pkc, pub, &l2) == 0;
  l1 = l2 = l3 = 40;
  const int rc = CKD(key, 32, hasPub ? pub : key, 33, chain, 32, index, pkc, pri, &l1, pub2, &l2, ch, &l3);
  Check((rc == 0) == hasPub);
  if (rc == 0) {
    uint8_t own[40];
    int32_t lo = 40;
    Check(DerivePub(pri, 32, pkc, own, &lo) == 0 && memcmp(own, pub2, 33) == 0);
    if (index < kHdHardened) {
      uint8_t pub3[40];
      Check(CKDPub(pub, 33, chain, 32, index, pkc, pub3, &l4, ch2, &l5) == 0);
      Check(memcmp(pub3, pub2, 33) == 0 && memcmp(ch, ch2, 32) == 0);
    }
  }
  NXVT_PKC_Free(pkc);
  return 0;
}
