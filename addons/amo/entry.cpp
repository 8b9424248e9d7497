// RunModule_AMO: the actions "GenAddr", "GenUnsignedTx", "GenSignedTx" and
// "GenTx" over the add-on framework's entry.

#include <json/json.h>

#include <string>
#include <utility>

#include "address.h"
#include "command/text/text.h"
#include "common/base64_text.h"
#include "common/entry.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "signing.h"
#include "entry.h"

namespace amo {

namespace {

// The members every description needs, read on a copy so nothing is added.
bool HasTxFields(const Json::Value& txinfo) {
  return txinfo["type"].isString() && txinfo["payload"].isObject() && txinfo["fee"].isString() &&
         txinfo["last_height"].isString();
}
const char kTxFieldsMessage[] = "txinfo{type,payload{},fee,last_height} is not support format";

bool IsObjectOrNull(const Json::Value& v) { return v.isObject() || v.isNull(); }

// The description's members, then its signing data (public key, body and
// digest); 0, or 1 with the handler's entry at the step's line.
int PrepareSignInfos(const char* handler, const Json::Value& info, uint32_t fieldsLine, uint32_t signLine,
                     Json::Value& signinfos) {
  if (!HasTxFields(info)) {
    AddErrTrail(handler, fieldsLine, 1000, kTxFieldsMessage);
    return 1;
  }
  if (GenerateAMOSignInfos(info, signinfos) != 0) {
    AddErrTrail(handler, signLine, 1000, "GenerateAMOSignInfos Error !!");
    return 1;
  }
  return 0;
}

// The body of `prepared` with the signature of `withSignature`; args.tx on
// success, else the handler's entry at `line`.
int FinishTx(const char* handler, const Json::Value& info, const Json::Value& prepared,
             const Json::Value& withSignature, uint32_t line, Json::Value& args) {
  std::string tx;
  const Bytes body = HexToBytes(GetJsonStr(prepared[0]["unsignedtx"], "unsignedtx"));
  if (GenerateAMOSignedTx(info, body, withSignature, tx) != 0 || tx.empty()) {
    AddErrTrail(handler, line, 1000, "GenerateAMOSignedTx Error !!");
    return 1;
  }
  ReplaceJson(args["tx"], tx);
  return 0;
}

}  // namespace

int GenTx_AMO(Json::Value& args) {
  // Lookups on args and its txinfo stay in the reply (absent members as null).
  if (!IsObjectOrNull(args) || !args["txinfo"].isObject()) {
    AddErrTrail("GenTx_AMO", 1225, 1000, "txinfo is not exist !!");
    return 1;
  }
  Json::Value& txinfo = args["txinfo"];
  if (!txinfo["wallet"].isObject() || !txinfo["wallet"]["pri"].isString()) {
    AddErrTrail("GenTx_AMO", 1231, 1000, "txinfo.wallet.pri is not exist !!");
    return 1;
  }
  const Json::Value& info = txinfo;
  Json::Value signinfos;
  if (PrepareSignInfos("GenTx_AMO", info, 1240, 1246, signinfos) != 0) return 1;
  if (GenerateAMOSignature(info, signinfos) != 0) {
    AddErrTrail("GenTx_AMO", 1252, 1000, "GenerateAMOSignature Error !!");
    return 1;
  }
  return FinishTx("GenTx_AMO", info, signinfos, signinfos, 1260, args);
}

int GenUnsignedTx_AMO(Json::Value& args) {
  if (!IsObjectOrNull(args) || !args["txinfo"].isObject() || !args["txinfo"]["wallet"].isObject() ||
      !args["txinfo"]["wallet"]["pub"].isString()) {
    AddErrTrail("GenUnsignedTx_AMO", 1273, 1000, "txinfo is invalid(data) !!");
    return 1;
  }
  const Json::Value& info = args["txinfo"];
  Json::Value signinfos;
  if (PrepareSignInfos("GenUnsignedTx_AMO", info, 1282, 1288, signinfos) != 0) return 1;
  // An outside P-256 signer signs "signaturehash"; an Ed25519 signer signs
  // the body itself, so it keeps "unsignedtx".
  uint32_t algo = 0;
  GetAlgoInfo(GetJsonStr(info["wallet"]["algo"], "algo"), algo, nullptr, nullptr);
  if (algo != kAlgoEd25519) signinfos[0].removeMember("unsignedtx");
  // The description travels to the second step inside the reply (a private
  // key sent along with it too, so the copies are wiped).
  const SecureText text = WriteJson(info, "");
  SecureText encoded;
  const int rc = EncodeBase64(text, encoded);
  if (rc != 0) {
    AddErrTrail("GenUnsignedTx_AMO", 1299, 1000, "BCMGenBase64Encode Error");
    return 1;
  }
  ReplaceJson(args["unsignedtxinfo"], JsonText(encoded));
  ReplaceJson(args["signinfos"], signinfos);
  return 0;
}

int GenSignedTx_AMO(Json::Value& args) {
  if (!IsObjectOrNull(args) || !args["txinfo"].isObject() || !args["txinfo"]["unsignedtxinfo"].isString() ||
      !args["txinfo"]["signinfos"].isArray()) {
    AddErrTrail("GenSignedTx_AMO", 1314, 1000, "txinfo is invalid(data) !!");
    return 1;
  }
  const Json::Value& txinfo = args["txinfo"];
  SecureText decoded;
  if (DecodeBase64Text(GetJsonStrView(txinfo["unsignedtxinfo"], "unsignedtxinfo"), decoded) != 0) {
    AddErrTrail("GenSignedTx_AMO", 1322, 1000, "BCMGenBase64Decode Error");
    return 1;
  }
  Json::Value info;
  ScopedJsonWipe wipeInfo(info);
  const bool parsed = ParseJson(decoded, info);
  if (!parsed) {
    AddErrTrail("GenSignedTx_AMO", 1330, 1000, "json format error(unsignedtx)");
    return 1;
  }
  // The body and digest are made again from the description; the caller's
  // signing data only brings the signature, checked against them.
  Json::Value signinfos;
  if (PrepareSignInfos("GenSignedTx_AMO", info, 1338, 1344, signinfos) != 0) return 1;
  return FinishTx("GenSignedTx_AMO", info, signinfos, txinfo["signinfos"], 1352, args);
}

}  // namespace amo

namespace {

const ActionRow kAmoActions[] = {
    {"GenAddr", WithoutCoin<amo::GenAddr_AMO>, false, "GenAddr Error", 1406},
    {"GenUnsignedTx", WithoutCoin<amo::GenUnsignedTx_AMO>, false, "GenTx Error", 1414},
    {"GenSignedTx", WithoutCoin<amo::GenSignedTx_AMO>, false, "GenTx Error", 1422},
    {"GenTx", WithoutCoin<amo::GenTx_AMO>, false, "GenTx Error", 1430},
};

}  // namespace

QUENMOD_EXPORTS(AMO, kAmoEntry, kAmoActions)
