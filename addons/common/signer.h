#ifndef QUENMOD_COMMON_SIGNER_H
#define QUENMOD_COMMON_SIGNER_H

// Algorithm names and a signer's keys from a JSON wallet object
// {"pri": "0x<32 bytes>", "pub": "0x<33 or 32 bytes>", "algo": "<name>"}.

#include <json/json.h>

#include <cstdint>
#include <string_view>

#include "common/bytes.h"

// Algorithm ids: 1 secp256k1, 2 NIST P-256, 3 Ed25519.
inline constexpr uint32_t kAlgoSecp256k1 = 1;
inline constexpr uint32_t kAlgoP256 = 2;
inline constexpr uint32_t kAlgoEd25519 = 3;

// Parses an algorithm name into its id and key sizes (either size pointer may
// be null). Never fails.
using AlgoParser = void (*)(std::string_view name, uint32_t& algo, uint32_t* priSize, uint32_t* pubSize);

// "ED25519" (any case): 3, public key 32 bytes; "SECP256R1" or "P256": 2;
// anything else, the empty name included: 1 (public key 33 bytes). Private
// keys are 32 bytes.
void GetAlgoInfo(std::string_view name, uint32_t& algo, uint32_t* priSize, uint32_t* pubSize);

// The curve code of the core's flat API for an algorithm id: 1 for P-256, else 0.
inline uint32_t CurveOf(uint32_t algo) { return algo == kAlgoP256 ? 1 : 0; }

// The wallet's "pri" as 32 bytes; `algo` from its "algo" (set even when the
// key is refused). 0, or 1 with GetSignerPri:450 / :460 recorded. The caller
// wipes `pri`.
int GetSignerPri(const Json::Value& wallet, uint32_t& algo, Bytes& pri, AlgoParser parse = GetAlgoInfo);

// The public key the core derives from a 32-byte private key.
// 0, or 1 with GetPubFromPri:472 / :483 / :493 recorded.
int GetPubFromPri(const Bytes& pri, uint32_t algo, Bytes& pub);

// The wallet's "pub" when it is a string (its size checked, not its match
// with "pri"), else the key derived from "pri".
// 0, or 1 with GetSignerPub:511 / :517 / :525 (not hex text) / :529 recorded.
int GetSignerPub(const Json::Value& wallet, uint32_t& algo, Bytes& pub, AlgoParser parse = GetAlgoInfo);

#endif
