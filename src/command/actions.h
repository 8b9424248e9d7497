#ifndef TOLVARIS_COMMAND_ACTIONS_H
#define TOLVARIS_COMMAND_ACTIONS_H

// The built-in action handlers and what they share: reading arguments from
// the request's "args", writing the echo and result pairs, and the "err_msg"
// pair that a handler appends when a core export refused its work.
//
// A handler (signature `ActionHandler`, command/action_table.h):
//   1. reads its arguments with ArgText / ArgValue and echoes them with
//      AddPair (or reads and echoes in one go with EchoArg), in the action's
//      echo order;
//   2. converts them (ToBytes, StrToInt, StrToUInt64, StrToBool, the name
//      tables of command/arg_names.h) and calls its BCM* export;
//   3. on success appends its result pairs (AddPair, AddHexPair,
//      AddArrayPair) and returns 0; on failure appends AddCoreErrMsg(label)
//      and returns its own failure code.
// Every inserted text is JSON-escaped by these helpers; a handler never
// writes quotes or separators itself. A number helper that throws (out of
// range, "0x" alone) and a failed allocation are answered by the dispatcher
// with an error object; a handler need not catch them.

#include <json.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "command/action_table.h"
#include "command/secure_text.h"
#include "crypto/memory.h"

// The value of the first member of `args` named exactly `key` (byte for
// byte); the parser's none value when `args` is no object or lacks the key.
const json_value& ArgValue(const json_value& args, std::string_view key);
// The argument as text: a string value up to its first NUL; every other value
// (missing, number, object, null, ...) the empty text.
SecureText ArgText(const json_value& args, std::string_view key);
// A string value's text up to its first NUL; the empty text for other values.
SecureText ValueText(const json_value& value);

// Appends "key":"value" (value JSON-escaped), with a "," before it when `out`
// already holds a pair (no "," right after an opening "{").
void AddPair(SecureText& out, std::string_view key, std::string_view value);
// Appends "key":"0x<lower-case hex>" (the empty value for no bytes).
void AddHexPair(SecureText& out, std::string_view key, const unsigned char* data, size_t len);
inline void AddHexPair(SecureText& out, std::string_view key, const SecureBytes& bytes) {
  AddHexPair(out, key, bytes.data(), bytes.size());
}
// Appends "key":["item",...] (each item JSON-escaped; no items give []).
void AddArrayPair(SecureText& out, std::string_view key, const std::vector<std::string_view>& items);
// Reads an argument, echoes it as a pair and returns its text.
SecureText EchoArg(const json_value& args, std::string_view key, SecureText& out);
// Appends the "err_msg" pair built from `label`, the version and the core's
// last error (MakeErrMsg).
void AddCoreErrMsg(SecureText& out, const char* label);

// Signed decimal text ("recovery", lengths in messages). Use this rather
// than std::to_string, whose templates would leak into the exported symbols.
std::string DecimalText(int64_t value);

// `HexToBytes` of the text into a buffer that is wiped when it dies.
void ToBytes(std::string_view text, SecureBytes& out);

// The length an export wrote into a buffer of `size` bytes, kept within it.
inline size_t WrittenLen(int len, size_t size) {
  if (len <= 0) return 0;
  return static_cast<size_t>(len) < size ? static_cast<size_t>(len) : size;
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
