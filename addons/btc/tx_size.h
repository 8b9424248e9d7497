#ifndef QUENMOD_BTC_TX_SIZE_H
#define QUENMOD_BTC_TX_SIZE_H

// The most a transaction can take once signed, known before any signature
// hash is computed: nodes relay nothing above their standard size, and the
// legacy signature hashes grow with the square of the size, so a transaction
// beyond it is refused before that work.

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "btc/params.h"

// Bytes outside the witnesses and witness bytes (marker and flag included).
struct TxSize {
  uint64_t base = 0;
  uint64_t witness = 0;
};

// The least any transaction with these counts takes: an input is at least
// an outpoint, an empty script and a sequence, an output an amount and an
// empty script.
TxSize MinimalTxSize(size_t inputs, size_t outputs);

// Version, lock time, both counts and the outputs of a prepared txinfo
// (every output's "scriptpub" set), with room for marker and flag.
TxSize FrameTxSize(const Json::Value& txinfo);

// Adds the most a classified input ("utxotype", "need", "redeems") takes
// once signed: every signature counted at 72 bytes with its hash type (the
// longest low-S DER), the public key compressed, a multisig spend with its
// redeem script.
void AddInputTxSize(const Json::Value& input, TxSize& size);

// True when the coin's nodes would not relay a transaction of that size.
bool IsOverRelayLimit(const TxSize& size, const CoinLimits& limits);

// "transaction is over the relay limit(weight[400000]) !!", or size[...]
// for the coins that count bytes.
std::string OverRelayLimitMessage(const CoinLimits& limits);

#endif
