#ifndef QUENMOD_BTC_SCRIPT_H
#define QUENMOD_BTC_SCRIPT_H

// Output scripts from addresses, multisig redeem scripts, and the tests that
// tell which standard form a previous output script has. Each returns 0, or
// 1 after recording its failure in the error chain.

#include <json/json.h>

#include <vector>

#include "common/bytes.h"

// Decodes output "dest" for the coin of `coinSpec` (GetCoinSpec) and sets
// "addrtype", "keyhash" and "scriptpub" ("0x" hex) in `output`.
int MakeScriptPub(Json::Value& output, const Json::Value& coinSpec);
// The same for bch and bsv (cash and legacy addresses); MakeScriptPub calls it.
int MakeScriptPubCash(Json::Value& output, const Json::Value& coinSpec);

// 0 when the script is exactly OP_m, n pushes of 33-byte (02/03) or 65-byte
// (04) keys, all of one length, OP_n, OP_CHECKMULTISIG, 1 <= m <= n <= 16.
int IsRedeemScript(const Bytes& script);
// The keys (appended to `keys`, in script order), n and m of a redeem script.
int GetRedeemInfo(const Bytes& script, std::vector<Bytes>& keys, int& n, int& m);
// Position of the first element of `keys` equal to `key`.
int FindRedeemIdx(const Bytes& key, const std::vector<Bytes>& keys, int& index);

// Whether `script` is the output script of that form for `data` (a public
// key for the first three, a redeem script for the others).
int IsP2PKHScriptPub(const Bytes& data, const Bytes& script);
int IsP2SH_P2WPKHScriptPub(const Bytes& data, const Bytes& script);
int IsP2WPKHScriptPub(const Bytes& data, const Bytes& script);
int IsP2SHScriptPub(const Bytes& data, const Bytes& script);
int IsP2SH_P2WSHScriptPub(const Bytes& data, const Bytes& script);
int IsP2WSHScriptPub(const Bytes& data, const Bytes& script);

#endif
