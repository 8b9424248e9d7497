#ifndef QUENMOD_AMO_ADDRESS_H
#define QUENMOD_AMO_ADDRESS_H

// AMO addresses: the upper-case hex of the first 20 bytes of SHA-256 over the
// signer's public key (the 65-byte uncompressed form for P-256, the 32 key
// bytes for Ed25519).

#include <json/json.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/bytes.h"

namespace amo {

// The algorithm names of this add-on: "ED25519" (any case) is Ed25519 (id 3,
// public key 32 bytes), every other name P-256 (id 2, public key 33 bytes),
// the name of secp256k1 included. Private keys are 32 bytes. Never fails;
// either size pointer may be null. The wallet readers take it as their parser.
void GetAlgoInfo(std::string_view name, uint32_t& algo, uint32_t* priSize, uint32_t* pubSize);

// The value without `prefix` when it starts with it, else unchanged.
std::string RemovePrefix(std::string_view prefix, std::string_view value);

// A P-256 key as 0x04 || X || Y. A 33-byte key is decompressed by the core;
// a 65-byte key must already be a point of the curve. 0 or 1.
int ConvertCompressPubToUnCompressPub(const Bytes& pub, Bytes& out);

// 0 with the 40-character address, or 1.
int GenerateAddrAMO(uint32_t algo, const Bytes& pub, std::string& addr);

// Action "GenAddr": args.addrinfo {"algo", "pubs": [{"pub"}]} gives args.addr.
int GenAddr_AMO(Json::Value& args);

}  // namespace amo

#endif
