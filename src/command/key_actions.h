#ifndef TOLVARIS_COMMAND_KEY_ACTIONS_H
#define TOLVARIS_COMMAND_KEY_ACTIONS_H

// What the HD key, signature and ECIES actions share: the curve chosen by
// "algo" with its key lengths, key-path numbers, and the lengths handed to
// the exports.

#include <json.h>

#include <cstdint>
#include <string_view>

#include "command/actions.h"
#include "command/secure_text.h"
#include "platform/memory.h"

// The shared failure text of the key-length checks.
inline constexpr char kParentKeyLenText[] = "parent's pri/pub/chain len is different 32/33/32byte";

// The exports take input lengths in signed 32 bits.
inline constexpr uint64_t kMaxExportInput = INT32_MAX;

struct KeyAlgo {
  int32_t id = 1;  // 1 secp256k1, 2 P-256, 3 Ed25519
  int32_t priLen = 32;
  int32_t pubLen = 33;
  int32_t chainLen = 32;
  bool IsEd() const { return id == 3; }
  uint32_t Curve() const;
};

// Reads "algo", writes it as the first pair of `out` and looks it up.
KeyAlgo EchoAlgo(const json_value& args, SecureText& out);

// Reads and echoes a key-path number ("index", "cointype"). Accepted: the
// empty text or a missing key (0), decimal digits, or "0x" and hex digits,
// with a value that fits 32 bits. Anything else is refused rather than cut
// to 32 bits or read as 0, either of which would derive a key the caller
// did not ask for. Returns false for a refused number (`value` is then 0);
// RefusePathNumber writes the reply.
bool EchoPathNumber(const json_value& args, std::string_view key, SecureText& out, uint32_t& value);
// Appends the "err_msg" pair `text`; returns `code`.
int32_t Refuse(SecureText& out, std::string_view text, int32_t code);
// Appends the "err_msg" pair of a refused key-path number; returns `code`.
int32_t RefusePathNumber(SecureText& out, std::string_view key, int32_t code);

// The text of a key-path number as defined above; false when it is none.
bool ParsePathNumber(std::string_view text, uint32_t& value);

// An input length as the exports take it; false (with the "err_msg" pair
// appended) when it does not fit.
bool ExportInputLen(const SecureBytes& bytes, std::string_view key, SecureText& out, int& len);

#endif
