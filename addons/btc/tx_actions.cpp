#include "btc/tx_actions.h"

#include <cstdint>
#include <vector>

#include "btc/raw_tx.h"
#include "btc/sighash.h"
#include "btc/signing.h"
#include "btc/tx_inputs.h"
#include "command/text/text.h"
#include "common/base64_text.h"
#include "common/bytes.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/network.h"
#include "platform/memory.h"

namespace {

constexpr uint32_t kCode = 1000;

}  // namespace

int GenUnsignedTx_BTC(Json::Value& args, const std::string& coin) {
  if (!args.isObject() || !args["txinfo"].isObject()) {
    AddErrTrail("GenUnsignedTx_BTC", 1731, kCode, "object is not exist(txinfo)");
    return 1;
  }
  const std::string network = GetNetwork(args);
  Json::Value tx;
  ScopedJsonWipe wipeTx(tx);
  CopyJson(args["txinfo"], tx);
  Json::Value signinfos(Json::arrayValue);
  if (GenerateBTCUnsignedTx(tx, network, coin, signinfos) != 0) {
    AddErrTrail("GenUnsignedTx_BTC", 1739, kCode, "GenerateUnsignedTx error !!");
    return 1;
  }
  // The description may carry keys the caller left in: its texts are wiped.
  const SecureText text = WriteJson(args["txinfo"], "");
  SecureText encoded;
  if (EncodeBase64(text, encoded) != 0) {
    AddErrTrail("GenUnsignedTx_BTC", 1748, kCode, "BCMGenBase64Encode Error");
    return 1;
  }
  ReplaceJson(args["unsignedtxinfo"], JsonText(encoded));
  ReplaceJson(args["signinfos"], signinfos);
  return 0;
}

int GenSignedTx_BTC(Json::Value& args, const std::string& coin) {
  if (!args.isObject() || !args["txinfo"].isObject() || !args["txinfo"]["unsignedtxinfo"].isString() ||
      !args["txinfo"]["signinfos"].isArray()) {
    AddErrTrail("GenSignedTx_BTC", 1763, kCode, "txinfo is invalid(data) !!");
    return 1;
  }
  // Read in place (no copy of a text that can carry a key), up to a NUL.
  const char* begin = nullptr;
  const char* end = nullptr;
  args["txinfo"]["unsignedtxinfo"].getString(&begin, &end);
  SecureText text;
  if (DecodeBase64Text(std::string_view(begin, static_cast<size_t>(end - begin)), text) != 0) {
    AddErrTrail("GenSignedTx_BTC", 1771, kCode, "BCMGenBase64Decode Error");
    return 1;
  }
  Json::Value tx;
  ScopedJsonWipe wipeTx(tx);
  // The description must be an object; any other JSON value is no txinfo.
  if (!ParseJson(text, tx) || !tx.isObject()) {
    AddErrTrail("GenSignedTx_BTC", 1779, kCode, "json format error(unsignedtx)");
    return 1;
  }
  const std::string network = GetNetwork(args);
  Json::Value expected(Json::arrayValue);
  if (GenerateBTCUnsignedTx(tx, network, coin, expected) != 0) {
    AddErrTrail("GenSignedTx_BTC", 1786, kCode, "GenerateUnsignedTx error !!");
    return 1;
  }
  if (GenerateBTCSignedTx(tx, args["txinfo"]["signinfos"], expected) != 0) {
    AddErrTrail("GenSignedTx_BTC", 1792, kCode, "GenerateSignedTx error !!");
    return 1;
  }
  const std::vector<unsigned char> raw = GenRawTx(tx);
  if (raw.empty()) {
    AddErrTrail("GenSignedTx_BTC", 1803, kCode, "GenSignedTx_BTC error ( need signature )!!");
    return 1;
  }
  ReplaceJson(args["rawtx"], BytesToHex(raw));
  return 0;
}

int GenTx_BTC(Json::Value& args, const std::string& coin) {
  if (!args.isObject() || !args["txinfo"].isObject()) {
    AddErrTrail("GenTx_BTC", 1678, kCode, "txinfo is not exist !!");
    return 1;
  }
  if (CheckInputsHavePri(args["txinfo"]) != 0) {
    AddErrTrail("GenTx_BTC", 1684, kCode, "input.wallet.pri is not exist or multisign is exist !!");
    return 1;
  }
  if (HasRedeemInput(args["txinfo"]) != 0) {
    AddErrTrail("GenTx_BTC", 1690, kCode, "GenTx is not support multisig (use GenUnsignedTx and GenSignedTx) !!");
    return 1;
  }
  const std::string network = GetNetwork(args);
  Json::Value tx;
  ScopedJsonWipe wipeTx(tx);  // private keys inside
  CopyJson(args["txinfo"], tx);
  Json::Value signinfos(Json::arrayValue);
  if (GenerateBTCUnsignedTx(tx, network, coin, signinfos) != 0) {
    AddErrTrail("GenTx_BTC", 1698, kCode, "GenerateUnsignedTx error !!");
    return 1;
  }
  if (GenerateBTCSignature(tx, signinfos) != 0) {
    AddErrTrail("GenTx_BTC", 1704, kCode, "GenerateBTCSignature error !!");
    return 1;
  }
  if (GenerateBTCSignedTx(tx, signinfos, signinfos) != 0) {
    AddErrTrail("GenTx_BTC", 1710, kCode, "GenerateBTCSignedTx error !!");
    return 1;
  }
  const std::vector<unsigned char> raw = GenRawTx(tx);
  if (raw.empty()) {
    AddErrTrail("GenTx_BTC", 1721, kCode, "GenTx_BTC error ( need pri )!!");
    return 1;
  }
  ReplaceJson(args["rawtx"], BytesToHex(raw));
  return 0;
}
