#ifndef QUENMOD_BTC_SIGNING_H
#define QUENMOD_BTC_SIGNING_H

// The add-on's own signer for single-key inputs: ECDSA over secp256k1 with
// RFC 6979 nonces and low S, by the core, stored as strict DER.

#include <json/json.h>

// Signs every input of a prepared txinfo with its wallet's private key into
// the matching entry of `signinfos`. 0, or 1 with an entry in the error chain.
int GenerateBTCSignature(const Json::Value& txinfo, Json::Value& signinfos);

// Signs one input's "signaturehash" into its single "signinfo" object.
int MakeSignature(const Json::Value& input, Json::Value& signinfo);

#endif
