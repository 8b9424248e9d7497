#ifndef QUENMOD_ATOM_SIGNING_H
#define QUENMOD_ATOM_SIGNING_H

// Sign documents, signatures and the auth/StdTx transaction of "GenTx".

#include <json/json.h>

#include <string>

#include "atom/amino_json.h"
#include "atom/message.h"

// The bytes one signer signs: the sign document with sorted keys and no
// white space, as the chain rebuilds it from the transaction.
std::string MakeATOMSignBytes(const std::string& accnum, const std::string& chainid, const AminoValue& fee,
                              const std::string& memo, const AminoValue& msgs, const std::string& seq);

// The signature object {"pub_key":{"type","value"},"signature"} of one
// signer over its sign document. Every signature is verified before it is
// given out. Returns 0, or 1 after adding to the error chain.
int GenerateATOMMSGSignature(const Json::Value& wallet, const std::string& chainid, const AminoValue& fee,
                             const std::string& memo, const AminoValue& msgs, AminoValue& out);

// One signature per signer, in the signers' order, into `out` (an array).
int GenTxSignatures(const std::string& chainid, const AminoValue& fee, const std::string& memo, const Json::Value& msgs,
                    const AtomSigners& signers, const AminoValue& msgsDoc, AminoValue& out);

// The "GenTx" handler: writes the signed transaction into args "tx", with
// every double quote turned into an apostrophe.
int GenTx2_ATOM(Json::Value& args);

#endif
