#ifndef QUENMOD_ETH_TRANSACTION_H
#define QUENMOD_ETH_TRANSACTION_H

// The legacy Ethereum transaction: its unsigned payload, the ERC-20 transfer
// data, and the Keccak-256 hash that is signed.
//
// The transaction description ("txinfo") holds "nonce", "gasprice" and
// "gaslimit" (decimal or "0x" hex text, unsigned 64-bit), the recipient "to"
// and the amount "value" ("0x" hex), or an ERC-20 "contract" {"addr", "to",
// "value"}, and the signer's "wallet".
//
// Each function returns 0, or 1 with its reason in the error chain.

#include <json/json.h>

#include <cstdint>
#include <string_view>

#include "eth/rlp.h"

// The chain id the signing commits to, 0 for none: "etc" signs for chain 61
// (62 on network "test"); every other coin tag signs without a chain id.
uint64_t EthChainId(std::string_view coin, std::string_view network);

// The 68 bytes of transfer(address,uint256): the selector a9059cbb, the
// 20-byte recipient and the amount (at most 32 bytes), each left-padded to 32.
Bytes MakeERC20TransferData(const Bytes& recipient, const Bytes& amount);

// The encodings of nonce, gas price, gas limit, to, value and data, in this
// order, without the list header. For an ERC-20 transfer "to" is the token
// contract, the value is zero and the data the transfer data.
int GenerateETHUnsignedTx(const Json::Value& txinfo, Bytes& payload);

// Keccak-256 of the list of the payload, followed for a nonzero chain id by
// the chain id and two empty strings.
int GenerateETHSignatrueHash(const Bytes& payload, uint64_t chainId, Bytes& hash);

#endif
