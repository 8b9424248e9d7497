#ifndef QUENMOD_BTC_TX_INPUTS_H
#define QUENMOD_BTC_TX_INPUTS_H

// The transaction description ("txinfo") as callers write it, made ready for
// the wire: fixed-width fields checked, amounts and indexes as little-endian
// bytes, outputs turned into scripts, and every input classified by the
// output script it spends.

#include <json/json.h>

#include <string>

// Normalises txinfo in place (txinfo "coinspec" already holds the coin's
// parameters). 0, or 1 with an entry in the error chain.
int ReadyForUseJson(Json::Value& txinfo);

// Classifies one normalised input of coin `coin` ("utxotype", "issegwit",
// "need", "scriptcode") and writes its sign-info entry (`signinfo`, which may
// start as null). 0, or 1 with an entry in the error chain.
int MakeUtxoType(Json::Value& input, Json::Value& signinfo, const std::string& coin);

// 0 when every input's wallet carries a "pri" string (no inputs: 0), else 1.
int CheckInputsHavePri(const Json::Value& txinfo);

// 1 when some input carries a "redeems" string (the empty one included).
int HasRedeemInput(const Json::Value& txinfo);

#endif
