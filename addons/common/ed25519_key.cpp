#include "common/ed25519_key.h"

#include "crypto/ed25519/ed25519_point.h"

bool IsEd25519PublicKey(const Bytes& pub) {
  return pub.size() == 32 && NXVT_Ed25519_IsPrimeOrderPoint(pub.data()) == 1;
}
