#ifndef QUENMOD_ATOM_ADDRESS_H
#define QUENMOD_ATOM_ADDRESS_H

// Cosmos addresses and public-key encodings of a key, for the three roles
// (account, validator operator, validator consensus), and the "GenAddr" and
// "GenPubEncode" actions.
//
// Keys: algorithm 1 (secp256k1) a 33-byte compressed point, hashed with
// RIPEMD-160(SHA-256); algorithm 3 (Ed25519) 32 bytes, the first 20 bytes of
// SHA-256. P-256 keys (algorithm 2) are refused: the chain would read them as
// secp256k1 keys.

#include <json/json.h>

#include <cstdint>
#include <string>

#include "common/bytes.h"

// Every routine returns 0, or 1 after adding to the error chain.
int GenerateATOMAddress(uint32_t algo, const std::string& prefix, const Bytes& pub, std::string& out);
int GenerateATOMPubEncode(uint32_t algo, const std::string& prefix, const Bytes& pub, std::string& out);

// The address of the key a wallet holds ("pub", or the key of "pri"). A
// wallet holding both must hold a matching pair.
int GetSignerAddr(const Json::Value& wallet, const std::string& prefix, std::string& out);

// The first key of a "pubs" list, which must have the expected length.
int GetPub(const Json::Value& pubs, uint32_t expectedLen, Bytes& out);

// The action handlers; they write "addr" or "encode" into args.
int GenAddr_ATOM(Json::Value& args);
int GenPubEncode_ATOM(Json::Value& args);

#endif
