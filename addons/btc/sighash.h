#ifndef QUENMOD_BTC_SIGHASH_H
#define QUENMOD_BTC_SIGHASH_H

// The message every input's signer signs: the signature-hash preimage in the
// legacy form or in the segwit form of BIP 143, and its double SHA-256.

#include <json/json.h>

#include <string>

// Prepares the caller's txinfo in place for coin `coin` and fills
// `signinfos` (an array, one sign-info entry per input: "needsig",
// "signaturehash", "signinfo"). 0, or 1 with an entry in the error chain.
int GenerateBTCUnsignedTx(Json::Value& txinfo, const std::string& network, const std::string& coin,
                          Json::Value& signinfos);

// The preimage of input `index` into signinfo "unsignedrawtx".
int MakeUnsignedTx(const Json::Value& txinfo, Json::ArrayIndex index, const Json::Value& input,
                   Json::Value& signinfo);

// Replaces signinfo "unsignedrawtx" by "signaturehash", its double SHA-256.
int MakeSignatureHash(Json::Value& signinfo);

#endif
