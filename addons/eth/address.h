#ifndef QUENMOD_ETH_ADDRESS_H
#define QUENMOD_ETH_ADDRESS_H

#include <string>

#include "eth/rlp.h"

// The account of a compressed secp256k1 key (33 bytes, 02 or 03 first):
// "0x" + the last 20 bytes of Keccak-256(X || Y), lower-case hex without the
// mixed-case checksum. 0, or 1 with the reason in the error chain.
int GenerateETHAddress(const Bytes& pub, std::string& address);

// An account is 20 bytes.
inline constexpr size_t kEthAddressSize = 20;

#endif
