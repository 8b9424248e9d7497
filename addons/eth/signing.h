#ifndef QUENMOD_ETH_SIGNING_H
#define QUENMOD_ETH_SIGNING_H

// Signing of a legacy Ethereum transaction, in one step with the private key
// or in two around an outside signer.
//
// A sign info, the record handed to the signer and back, is an object of
// five strings: "pubkey" (the compressed key), "signaturehash" (the 32-byte
// hash to sign), "unsignedtx" (the payload), "recovery" (the recovery id as
// decimal text) and "signature" (the signature form 0x30, rl + sl + 4, 0x02,
// rl, r, 0x02, sl, s, as "0x" hex); the last two are empty until signed.
//
// Each function returns 0, or 1 with its reason in the error chain.

#include <json/json.h>

#include <cstdint>

#include "eth/rlp.h"

// Element 0 of `signInfos` becomes the sign info of the transaction that
// `txinfo` describes, for the public key of its "wallet".
int GenerateETHSignInfos(const Json::Value& txinfo, uint64_t chainId, Json::Value& signInfos);

// Signs element 0's "signaturehash" with the private key of txinfo's
// "wallet" and fills its "signature" and "recovery".
int GenerateETHSignature(const Json::Value& txinfo, Json::Value& signInfos);

// Checks element 0 of `signInfos` against the wallet's public key and the
// hash of `payload`, verifies its signature and writes the signed
// transaction: the list of the payload, v, r and s. A high S is replaced by
// n - S (the recovery id flips), since the chain accepts only the low form.
int GenerateETHSignedTx(const Json::Value& txinfo, uint64_t chainId, const Bytes& payload,
                        const Json::Value& signInfos, Bytes& signedTx);

// The signature form of (r, s), each 1 to 33 bytes.
Bytes MakeETHSignatureForm(const Bytes& r, const Bytes& s);

#endif
