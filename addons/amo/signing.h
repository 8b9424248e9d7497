#ifndef QUENMOD_AMO_SIGNING_H
#define QUENMOD_AMO_SIGNING_H

// The AMO transaction from its description to the signed text:
//   body      "type","sender","fee","last_height","payload" (no outer braces)
//   digest    SHA-256 of "{" + body + "}", signed by P-256 keys
//   Ed25519   signs the body itself, without the braces
//   signed    {body,"signature":{"pubkey":PUB,"sig_bytes":SIG}}, sent as Base64
// Signing data is an array of one object {"pubkey", "signaturehash",
// "unsignedtx", "signature"}, all "0x" hex.

#include <json/json.h>

#include <cstdint>
#include <string>

#include "address.h"

namespace amo {

int GenerateAMOUnsignedTx(const Json::Value& txinfo, const Bytes& pub, uint32_t algo, std::string& body);
int GenerateAMOSignatrueHash(const std::string& body, Bytes& digest);
// Element 0 of `signinfos` becomes the signing data with an empty signature.
int GenerateAMOSignInfos(const Json::Value& txinfo, Json::Value& signinfos);
// Signs element 0 with the wallet's private key and fills its "signature".
int GenerateAMOSignature(const Json::Value& txinfo, Json::Value& signinfos);
// Checks element 0 against the description and its signature against the
// wallet's key, then writes the Base64 of the signed text.
int GenerateAMOSignedTx(const Json::Value& txinfo, const Bytes& body, const Json::Value& signinfos,
                        std::string& tx);

}  // namespace amo

#endif
