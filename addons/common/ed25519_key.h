#ifndef QUENMOD_COMMON_ED25519_KEY_H
#define QUENMOD_COMMON_ED25519_KEY_H

// The check on Ed25519 public keys that callers hand in: an address or a key
// encoding is made only for a key that some private key has.

#include "common/bytes.h"

// The message of a refused key, recorded by each caller under its own name.
inline constexpr char kNotCurvePoint[] = "pub is invalid(not a curve point)";

// True for 32 bytes that are the canonical encoding of a point of the curve's
// prime-order subgroup, other than the identity. Refused: y >= p, x^2 with no
// square root, x = 0 with the sign bit set, the eight points of small order
// (anyone can sign for them) and points with a small-order component. Every
// key derived from a private key passes. The core's own point code decides.
bool IsEd25519PublicKey(const Bytes& pub);

#endif
