#ifndef QUENMOD_BTC_ADDRESS_H
#define QUENMOD_BTC_ADDRESS_H

// Bitcoin-family addresses: the "GenAddr" action and the encoders behind it
// (Base58Check, segwit version 0 bech32, cashaddr), and the witness program
// and witness hash that the script and signing code use again.
// Each returns 0, or 1 after recording its failure in the error chain.

#include <json/json.h>

#include <string>

#include "common/bytes.h"

// The key data of an address request: one public key, or a multisig redeem
// script OP_m <keys> OP_n OP_CHECKMULTISIG.
struct KeyData {
  Bytes data;
  size_t keys = 0;            // number of keys in it
  bool uncompressed = false;  // a 65-byte key among them
};

// Handler of "GenAddr": "args"."addrinfo" {"pubs": [{"pub"}...], "addr_type",
// "msig": [{"totalsigcnt", "needsigcnt"}]} and "args"."network"; sets
// "args"."addr".
int GenAddr_BTC(Json::Value& args, const std::string& coin);

// Checks the "pubs" array (n elements, each a curve point) and builds the key
// data for m of n (one key when n < 2).
int GetPubs(Json::Value& pubs, int needsigcnt, int totalsigcnt, KeyData& keyData);

// Looks the type up for the coin and network and encodes the key data.
int GenerateBTCAddress(const std::string& coin, const std::string& network, const std::string& addrType,
                       const KeyData& keyData, std::string& address);

// Base58Check(version || hash) for the legacy codes 11, 12, 14, 15, 17, 18.
int GenerateBTCLegacyAddr(unsigned char version, int code, unsigned char hashKind, const Bytes& keyData,
                          std::string& address);
// Data characters of a version 0 bech32 address (no prefix) for a 20- or
// 32-byte hash.
int GenerateBTCBech32Addr(const std::string& coin, const std::string& hrp, const Bytes& hash, std::string& text);
// Data characters of a cash address (no prefix); typeBits 0 (P2PKH) or 8 (P2SH).
int GenerateCashAddr(const std::string& coin, const std::string& prefix, unsigned char typeBits, const Bytes& hash,
                     std::string& text);

// 0x00 || push(hash of data): hash kind 1 HASH160 (22 bytes), 0 SHA-256 (34).
int MakeWitnessProgram(const Bytes& data, unsigned char hashKind, Bytes& program);
// HASH160 of the witness program.
int MakeWitnessHash(const Bytes& data, unsigned char hashKind, Bytes& hash);

#endif
