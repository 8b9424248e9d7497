#ifndef TOLVARIS_COMMAND_ARG_NAMES_H
#define TOLVARIS_COMMAND_ARG_NAMES_H

#include <cstdint>
#include <string_view>

// Names of curves, hashes, AES modes and paddings in requests, matched after
// ASCII upper-casing. Every name gets an answer: unknown names a default.

// "ED25519" 3; "SECP256R1" and "P256" 2; anything else 1 (secp256k1). The
// key lengths (bytes) are written only where a place is given.
void GetAlgoInfo(std::string_view name, int32_t* algoId, int32_t* priLen = nullptr, int32_t* pubLen = nullptr,
                 int32_t* chainLen = nullptr);
// The curve code of the flat API for an algorithm id: 1 for P-256, else 0.
inline int32_t CurveCodeOf(int32_t algoId) { return algoId == 2 ? 1 : 0; }
// "SHA256" 1, "SHA512" 2, "RIP160" 3, "SHA3-KECCAK224".."SHA3-KECCAK512" 10..13; else 0.
int32_t GetHashAlgoId(std::string_view name);
// "ECB" 1, "CBC" 2, "CFB" 3, "OFB" 5, "CTR" 9, "GCM" 11, "CCM" 12; else 2.
int32_t GetAESModeId(std::string_view name);
// "NONE_PAD" 0; anything else 1 (PKCS#7).
int32_t GetPaddingId(std::string_view name);

#endif
