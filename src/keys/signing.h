#ifndef TOLVARIS_KEYS_SIGNING_H
#define TOLVARIS_KEYS_SIGNING_H

#include <cstdint>

#include "crypto/hash/digest.h"
#include "crypto/ec/general/eccurve.h"

// Signing front ends: reduce a message to a hash value by hash id and call
// deterministic ECDSA on the signing object's curve, or check the arguments
// and call Ed25519. A failure adds one location entry under the function's
// own name and returns its code.
//
// ECDSA hash value: hash id 0 takes the message itself (at most 32 bytes);
// any other id digests it (SHA-256, RIPEMD-160, Keccak-224, Keccak-256: the
// digests of at most 32 bytes). A shorter value stands at the start of a
// zero-filled 32-byte buffer, and that same 32-byte value is signed and
// verified, so a signature over a short digest verifies.

// 0; 23 for a negative message length, a hash id 0 message over 32 bytes or
// a failed digest; 35 when signing fails. R and S are 33-byte buffers whose
// lengths hold the capacity and become 32 or 33.
int rfc6979_secp256k1_sign(const uint8_t* pri, int32_t priLen, HashId hashId, const uint8_t* msg, int32_t msgLen,
                           uint32_t keepS, const NXVT_PKC* pkc, uint8_t* R, uint32_t* RLen, uint8_t* S,
                           uint32_t* SLen, uint32_t* recid);
// 0 for a valid signature; 62 as 23 above; 73 when the signature does not
// verify or the arguments are unusable (a negative R or S length included).
int rfc6979_secp256k1_verify(const uint8_t* pub, int32_t pubLen, const uint8_t* R, int32_t RLen, const uint8_t* S,
                             int32_t SLen, HashId hashId, const uint8_t* msg, int32_t msgLen, const NXVT_PKC* pkc);

// Ed25519 (RFC 8032). ctx null with ctxLen 0 for no context; a present
// context is 1..255 bytes. prehash 0 or 1 (Ed25519ph). 0; 98 for bad
// arguments; 103 when signing fails. sig receives 64 bytes.
int rfc8032_ed25519_sign(const uint8_t* pri, int32_t priLen, const uint8_t* msg, int32_t msgLen, const uint8_t* ctx,
                         int32_t ctxLen, uint8_t prehash, uint8_t* sig);
// 0 for a valid signature; 125 for bad arguments; 130 when it does not verify.
int rfc8032_ed25519_verify(const uint8_t* sig, int32_t sigLen, const uint8_t* pub, int32_t pubLen,
                           const uint8_t* msg, int32_t msgLen, const uint8_t* ctx, int32_t ctxLen, uint8_t prehash);

#endif
