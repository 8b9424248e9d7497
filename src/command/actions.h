#ifndef TOLVARIS_COMMAND_ACTIONS_H
#define TOLVARIS_COMMAND_ACTIONS_H

// The built-in action handlers and what they share: reading arguments from
// the request's "args", writing the echo and result pairs, and the "err_msg"
// pair that a handler appends when a core export refused its work.
//
// A handler (signature `ActionHandler`, command/action_table.h):
//   1. reads its arguments with ArgText / ArgValue and echoes them with
//      AddPair (or reads, echoes and converts in one go with EchoArg,
//      EchoBytes, EchoInt), in the action's echo order;
//   2. converts them (ToBytes, ArgToInt, StrToBool, the name tables of
//      command/arg_names.h) and calls its BCM* export;
//   3. on success appends its result pairs (AddPair, AddHexPair,
//      AddArrayPair) and returns 0; on failure appends AddCoreErrMsg(label)
//      and returns its own failure code.
// Every inserted text is JSON-escaped by these helpers; a handler never
// writes quotes or separators itself. An argument refused by the reading
// rule (command/request_args.h), a number out of range and a failed
// allocation are answered by the dispatcher with the fixed error object; a
// handler need not catch them.

#include <json.h>

#include <cstdint>
#include <new>

#include "command/action_table.h"
#include "command/reply.h"
#include "command/request_args.h"
#include "command/secure_text.h"
#include "platform/memory.h"
#include "trail/trail.h"

// The length an export wrote into a buffer of `size` bytes, kept within it.
inline size_t WrittenLen(int len, size_t size) {
  if (len <= 0) return 0;
  return static_cast<size_t>(len) < size ? static_cast<size_t>(len) : size;
}

// The verdict of a checking export (a signature, a mnemonic): true for 0.
// A refusal for lack of memory says nothing about what was checked, so it
// fails the action instead, as a std::bad_alloc.
inline bool ExportVerdict(int rc) {
  if (rc != 0 && ErrTrailNoMemory()) throw std::bad_alloc();
  return rc == 0;
}

// A pointer an export accepts for the bytes, also when there are none (an
// empty input is a valid input, not a missing one).
inline const unsigned char* DataOrEmpty(const SecureBytes& bytes) {
  static const unsigned char kEmpty[1] = {0};
  return bytes.size() != 0 ? bytes.data() : kEmpty;
}

// Entropy and codec actions (actions_codec.cpp).
int32_t ActionGenEntropy(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenBase64(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenBase58(InterfaceState& state, const json_value& args, SecureText& out);
// Digest, HMAC and key-derivation actions (actions_digest.cpp).
int32_t ActionGenHashMessage(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenHMac(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenPBKDF2(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenScrypt(InterfaceState& state, const json_value& args, SecureText& out);
// AES actions (actions_aes.cpp).
int32_t ActionGenAES(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenAESAuth(InterfaceState& state, const json_value& args, SecureText& out);
// Mnemonic actions (actions_mnemonic.cpp).
int32_t ActionGenMNemonic(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionChkMNemonicValid(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionChkMNemonicWordValid(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionConvMNemonicToEntropy(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionConvMnemonicToSeed(InterfaceState& state, const json_value& args, SecureText& out);
// Shamir share actions (actions_shamir.cpp).
int32_t ActionConvMasterMNemonicToSSSMNemonic(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionConvSSSMNemonicToMasterMNemonic(InterfaceState& state, const json_value& args, SecureText& out);
// HD key actions (actions_hd.cpp).
int32_t ActionGenMasterNode(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenCKD(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenCKDPub(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenLeafNode(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenPubkeyFromPrikey(InterfaceState& state, const json_value& args, SecureText& out);
// Signature and ECIES actions (actions_sign.cpp).
int32_t ActionGenSignature(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionVerifySignature(InterfaceState& state, const json_value& args, SecureText& out);
int32_t ActionGenECIES(InterfaceState& state, const json_value& args, SecureText& out);

#endif
