#ifndef QUENMOD_BTC_DER_SIGNATURE_H
#define QUENMOD_BTC_DER_SIGNATURE_H

// ECDSA signatures in the DER form the Bitcoin-family chains accept: a
// SEQUENCE of two INTEGERs, each minimal (a 0x00 only in front of a set top
// bit), without the hash-type byte that a script signature appends.
// Signatures are public values: nothing here needs constant time.

#include <cstddef>
#include <vector>

// True when `sig` is strict DER: the rule the chains enforce on every
// signature (BIP 66), applied to the signature without its hash-type byte.
bool IsStrictDerSignature(const unsigned char* sig, size_t len);
inline bool IsStrictDerSignature(const std::vector<unsigned char>& sig) {
  return IsStrictDerSignature(sig.data(), sig.size());
}

// Splits a strict DER signature into its two integers, as written (a leading
// 0x00 kept). False, with r and s untouched, when it is not strict DER.
bool SplitDerSignature(const std::vector<unsigned char>& sig, std::vector<unsigned char>& r,
                       std::vector<unsigned char>& s);

// The strict DER encoding of (r, s), big-endian numbers of any width: leading
// zero bytes are dropped and one 0x00 is put back in front of a set top bit.
// A zero value is written as the single byte 0x00.
std::vector<unsigned char> EncodeDerSignature(const std::vector<unsigned char>& r,
                                              const std::vector<unsigned char>& s);

// The same signature with S in the lower half of the secp256k1 group order
// (S replaced by n - S when it lies above n/2); a strict DER input is
// returned re-encoded, anything else unchanged.
std::vector<unsigned char> LowSDerSignature(const std::vector<unsigned char>& sig);

#endif
