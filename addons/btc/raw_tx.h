#ifndef QUENMOD_BTC_RAW_TX_H
#define QUENMOD_BTC_RAW_TX_H

// The last stage of a transaction: the given signatures checked and
// verified, each input's scriptSig and witness built for its kind, and the
// signed transaction written in the legacy layout or with the segwit marker,
// flag and witnesses.

#include <json/json.h>

#include <vector>

// Verifies `signed_` (the caller's sign infos) against `expected` (those the
// prepared txinfo gives) and writes "scriptsig" and "witness" into every
// input of txinfo; txinfo is unchanged on failure. 0, or 1 with an entry in
// the error chain.
int GenerateBTCSignedTx(Json::Value& txinfo, const Json::Value& signed_, Json::Value expected);

// One input's "scriptsig" and "witness" from its sign-info entry.
int MakeScripSig(Json::Value& input, Json::Value entry);

// The signed transaction's bytes; empty on failure (with an entry).
std::vector<unsigned char> GenRawTx(const Json::Value& txinfo);

#endif
