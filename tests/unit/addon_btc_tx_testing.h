#ifndef TESTS_UNIT_ADDON_BTC_TX_TESTING_H
#define TESTS_UNIT_ADDON_BTC_TX_TESTING_H

// Shared by the Bitcoin-family transaction tests: the independent model
// (tests/fixtures/btc_tx_oracle.py), requests built from its cases, and an
// outside signer (libsecp256k1).
#include <gtest/gtest.h>
#include <json/json.h>
#include <secp256k1.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "btc/tx_actions.h"
#include "common/error_chain.h"
#include "tolvaris/bcm_codec.h"
#include "tv_test.h"

namespace btctx {

inline const std::string& Oracle() {
  static const std::string text = tvt::ReadFile(tvt::FixturePath("btc_tx_oracle.py"));
  return text;
}

inline Json::Value OracleJson(const std::string& request) {
  return tvt::ParseJson(tvt::RunPython(Oracle(), request));
}

// The model's verdict on each signed transaction: "ok" or what is wrong.
inline std::vector<std::string> OracleCheck(const Json::Value& casesAndRawTx) {
  Json::Value req(Json::objectValue);
  req["mode"] = "check";
  req["cases"] = casesAndRawTx;
  std::istringstream out(tvt::RunPython(Oracle(), req.toStyledString()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

inline std::string OracleCheckOne(const Json::Value& c, const std::string& rawtx) {
  Json::Value item(Json::objectValue);
  item["case"] = c;
  item["rawtx"] = rawtx;
  Json::Value list(Json::arrayValue);
  list.append(item);
  const std::vector<std::string> v = OracleCheck(list);
  return v.empty() ? "no verdict" : v[0];
}

// The actions as the entry runs them: each call starts with an empty chain.
inline int UnsignedTx(Json::Value& args, const std::string& coin) {
  ResetErrTrail();
  return GenUnsignedTx_BTC(args, coin);
}
inline int SignedTx(Json::Value& args, const std::string& coin) {
  ResetErrTrail();
  return GenSignedTx_BTC(args, coin);
}
inline int OneStepTx(Json::Value& args, const std::string& coin) {
  ResetErrTrail();
  return GenTx_BTC(args, coin);
}

inline std::string Hx(const std::string& hex) { return "0x" + hex; }

// The request's txinfo for a model case; wallets carry "pri" when `withPri`,
// else "pub" (for a redeem-script input, the key the case names).
inline Json::Value TxInfo(const Json::Value& c, bool withPri) {
  Json::Value tx(Json::objectValue);
  if (!c["version"].isNull()) tx["version"] = Hx(c["version"].asString());
  if (!c["locktime"].isNull()) tx["locktime"] = Hx(c["locktime"].asString());
  for (const Json::Value& in : c["inputs"]) {
    Json::Value i(Json::objectValue);
    i["prehex"] = Hx(in["prehex"].asString());
    i["preidx"] = std::to_string(in["preidx"].asUInt64());
    i["prevalue"] = std::to_string(in["prevalue"].asUInt64());
    i["sequence"] = Hx(in["sequence"].asString());
    i["prespub"] = Hx(in["prespub"].asString());
    const bool redeem = !in["redeem"].asString().empty();
    const Json::ArrayIndex w = redeem ? in["wallet"].asUInt() : 0;
    if (withPri) {
      i["wallet"]["pri"] = Hx(in["pris"][w].asString());
    } else {
      i["wallet"]["pub"] = Hx(in["pubs"][w].asString());
    }
    if (redeem) i["redeems"] = Hx(in["redeem"].asString());
    tx["input"].append(i);
  }
  for (const Json::Value& out : c["outputs"]) {
    Json::Value o(Json::objectValue);
    o["dest"] = out["dest"];
    o["value"] = std::to_string(out["value"].asUInt64());
    tx["output"].append(o);
  }
  return tx;
}

inline secp256k1_context* Secp() {
  static secp256k1_context* ctx = secp256k1_context_create(SECP256K1_CONTEXT_SIGN | SECP256K1_CONTEXT_VERIFY);
  return ctx;
}

inline std::string Der(const secp256k1_ecdsa_signature& sig) {
  unsigned char der[72];
  size_t len = sizeof der;
  EXPECT_EQ(secp256k1_ecdsa_signature_serialize_der(Secp(), der, &len, &sig), 1);
  return "0x" + tvt::Hex(der, len);
}

// libsecp256k1's signature (RFC 6979, low S) of a "0x" digest, as DER hex.
// `grind` > 0 feeds extra nonce data until the DER form is at most that many
// bytes long, as signers that grind R do.
inline std::string OutsideSign(const std::string& priHex, const std::string& hashHex, size_t grind = 0) {
  const tvt::Bytes pri = tvt::Unhex(priHex.rfind("0x", 0) == 0 ? priHex.substr(2) : priHex);
  const tvt::Bytes hash = tvt::Unhex(hashHex.substr(2));
  for (uint32_t counter = 0;; ++counter) {
    unsigned char extra[32] = {};
    std::memcpy(extra, &counter, sizeof counter);
    secp256k1_ecdsa_signature sig;
    EXPECT_EQ(secp256k1_ecdsa_sign(Secp(), &sig, hash.data(), pri.data(), secp256k1_nonce_function_rfc6979,
                                   counter == 0 ? nullptr : extra),
              1);
    const std::string der = Der(sig);
    if (grind == 0 || (der.size() - 2) / 2 <= grind) return der;
  }
}

// The same signature with S replaced by n - S (a high S when it was low).
inline std::string HighS(const std::string& derHex) {
  const tvt::Bytes der = tvt::Unhex(derHex.substr(2));
  secp256k1_ecdsa_signature sig;
  EXPECT_EQ(secp256k1_ecdsa_signature_parse_der(Secp(), &sig, der.data(), der.size()), 1);
  unsigned char compact[64];
  secp256k1_ecdsa_signature_serialize_compact(Secp(), compact, &sig);
  EXPECT_EQ(secp256k1_ec_seckey_negate(Secp(), compact + 32), 1);
  EXPECT_EQ(secp256k1_ecdsa_signature_parse_compact(Secp(), &sig, compact), 1);
  return Der(sig);
}

inline std::string DecodeBase64Text(const std::string& b64) {
  std::vector<unsigned char> buf(b64.size() + 1);
  uint32_t len = static_cast<uint32_t>(buf.size());
  if (BCMGenBase64Decode(b64.c_str(), buf.data(), &len) != 0) return "";
  return std::string(buf.begin(), buf.begin() + len);
}

}  // namespace btctx

#endif
