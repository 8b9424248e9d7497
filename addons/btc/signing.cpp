#include "btc/signing.h"

#include <cstdint>
#include <string>
#include <vector>

#include "btc/der_signature.h"
#include "command/text/text.h"
#include "common/bytes.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "platform/memory.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr uint32_t kCode = 1000;

std::string Indexed(const char* what, Json::ArrayIndex i, const char* rest) {
  return std::string(what) + "[" + std::to_string(i) + "]" + rest;
}

}  // namespace

int GenerateBTCSignature(const Json::Value& txinfo, Json::Value& signinfos) {
  if (!txinfo.isObject() || !txinfo["input"].isArray() || !signinfos.isArray() ||
      txinfo["input"].size() != signinfos.size()) {
    AddErrTrail("GenerateBTCSignature", 1544, kCode, "tx.input and tx.signifnos is not invalid !!");
    return 1;
  }
  const Json::Value& inputs = txinfo["input"];
  for (Json::ArrayIndex i = 0; i < inputs.size(); ++i) {
    const Json::Value& in = inputs[i];
    if (!in.isObject() || !in["wallet"].isObject()) {
      AddErrTrail("GenerateBTCSignature", 1554, kCode, Indexed("input", i, ".wallet is not exist !!"));
      return 1;
    }
    Json::Value entry = signinfos[i];
    if (!entry.isObject() || !entry["signaturehash"].isString()) {
      AddErrTrail("GenerateBTCSignature", 1560, kCode, Indexed("jvSigninfo", i, ".signaturehash is not exist !!"));
      return 1;
    }
    if (MakeSignature(in, entry) != 0) {
      AddErrTrail("GenerateBTCSignature", 1566, kCode, Indexed("input", i, " MakeSignature Error !!"));
      return 1;
    }
    signinfos[i] = entry;
  }
  return 0;
}

int MakeSignature(const Json::Value& input, Json::Value& signinfo) {
  uint32_t algo = 0, pubAlgo = 0;
  Bytes pri;
  Bytes pub;
  // The key lives in this buffer only, wiped on every way out.
  const ScopedBytesWipe wipe(pri);
  if (!input.isObject() || GetSignerPri(input["wallet"], algo, pri) != 0 || pri.size() != 32 || algo != 1 ||
      GetSignerPub(input["wallet"], pubAlgo, pub) != 0) {
    AddErrTrail("MakeSignature", 1102, kCode, "wallet.pri is invalid !!");
    return 1;
  }
  // Looked at through a const view: a failed check adds no member.
  const Json::Value& view = signinfo;
  if (!view.isObject() || !view["signinfo"].isArray() || view["signinfo"].size() != 1 ||
      !view["signinfo"][0].isObject() || !view["signinfo"][0]["pubkey"].isString() ||
      HexToBytes(view["signinfo"][0]["pubkey"].asString()) != pub) {
    AddErrTrail("MakeSignature", 1109, kCode, "jvSignInfo.signinfo is invalie !!");
    return 1;
  }
  if (!view["signaturehash"].isString()) {
    AddErrTrail("MakeSignature", 1115, kCode, "jvSignInfo.signaturehash is not exist !!");
    return 1;
  }
  const Bytes hash = HexToBytes(view["signaturehash"].asString());
  if (hash.size() != 32) {
    AddErrTrail("MakeSignature", 1121, kCode, "jvSignInfo.signaturehash is invalid !!");
    return 1;
  }
  Bytes r(33), s(33);
  int rLen = 33, sLen = 33;
  uint32_t recId = 0;
  if (BCMGenSignature(0, pri.data(), 32, 0, hash.data(), 32, 0, r.data(), &rLen, s.data(), &sLen, &recId) != 0) {
    AddErrTrail("MakeSignature", 1132, 2000, "BCMGenSignature Error !!");
    return 1;
  }
  r.resize(static_cast<size_t>(rLen));
  s.resize(static_cast<size_t>(sLen));
  signinfo["signinfo"][0]["signature"] = BytesToHex(EncodeDerSignature(r, s));
  return 0;
}
