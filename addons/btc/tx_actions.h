#ifndef QUENMOD_BTC_TX_ACTIONS_H
#define QUENMOD_BTC_TX_ACTIONS_H

// The transaction actions of RunModule_BTC. Each takes the request's "args"
// (changed in place: results are added to it) and the coin tag, and returns
// 0, or 1 with entries in the error chain.
//
// Nothing is kept between "GenUnsignedTx" and "GenSignedTx": the first
// returns the caller's description (Base64 of its JSON text) and the hashes
// to sign, the second rebuilds everything from that description and checks
// the returned hashes and keys against it.

#include <json/json.h>

#include <string>

int GenUnsignedTx_BTC(Json::Value& args, const std::string& coin);
int GenSignedTx_BTC(Json::Value& args, const std::string& coin);
int GenTx_BTC(Json::Value& args, const std::string& coin);

#endif
