#ifndef QUENMOD_ATOM_MESSAGE_H
#define QUENMOD_ATOM_MESSAGE_H

// The cosmos-sdk messages of a "GenTx" request and the signers they name.

#include <json/json.h>

#include <string>
#include <vector>

#include "atom/amino_json.h"

// Where a signer's wallet stands in "msgs": msgs[message]."wallet", or, for
// an input of a "msgmultisend" message, msgs[message]."value"."inputs"[input]."wallet".
struct AtomSigner {
  std::string key;  // the address's data characters: the 20-byte account, whatever the prefix
  size_t message = 0;
  size_t input = 0;
  bool isInput = false;
};

// Signers in order of first appearance over the messages (a "msgmultisend"
// message's inputs in input order), one per account: the chain pairs the
// i-th signature with the i-th of them.
using AtomSigners = std::vector<AtomSigner>;

// The data characters of a bech32 address: what stays the same for one
// account under every prefix.
std::string AtomAccountKey(const std::string& address);

// Adds a signer unless its account is there already.
void AddAtomSigner(AtomSigners& signers, const std::string& address, size_t message, size_t input, bool isInput);

// Single-signer builders: the message object and its signer's address.
int MakeMsgSend(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgCreateValitator(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgEditValidator(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgDelegate(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgBeginRedelegate(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgUndelegate(const Json::Value& msg, AminoValue& out, std::string& signer);
int MakeMsgWithdrawDelegationReward(const Json::Value& msg, AminoValue& out, std::string& signer);

// The multi-input send; one signer per input account, `message` being the
// message's index in "msgs".
int MakeMsgMultiMsgSend(const Json::Value& msg, size_t message, AminoValue& out, AtomSigners& signers);

// Every message of "msgs" into `out` (an array) and its signers into
// `signers`. Returns 0, or 1 after adding to the error chain.
int GenTxMsgs(const Json::Value& msgs, AminoValue& out, AtomSigners& signers);

#endif
