#ifndef QUENMOD_COMMON_HASHING_H
#define QUENMOD_COMMON_HASHING_H

// Hash chains over the core's digest export.

#include <cstdint>
#include <initializer_list>

#include "common/bytes.h"

// Hash ids of the core: 1 SHA-256, 2 SHA-512, 3 RIPEMD-160, 10-13 Keccak.
inline constexpr uint32_t kHashSha256 = 1;
inline constexpr uint32_t kHashRipemd160 = 3;
inline constexpr uint32_t kHashKeccak256 = 11;

// Runs the digests in order, each over the previous output (no ids: `data`
// itself). 0, or 1 with "GenerateLoopHash:384" recorded (`out` unchanged).
int GenerateLoopHash(const Bytes& data, std::initializer_list<uint32_t> ids, Bytes& out);

// SHA-256 of `data`; with `flag` 1 HASH160 (RIPEMD-160 of the SHA-256).
// 0, or 1 with "GenerateHash:405" recorded.
int GenerateHash(const Bytes& data, unsigned char flag, Bytes& out);

#endif
