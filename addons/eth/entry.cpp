// RunModule_ETH and its five actions. The coin tag is the request's
// top-level "coin" (else the add-on name): "etc" signs for chain 61, or 62
// on network "test"; every other tag signs without a chain id.
#include <string>

#include "command/text/text.h"
#include "common/base64_text.h"
#include "common/bytes.h"
#include "common/entry.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/network.h"
#include "eth/address.h"
#include "eth/signing.h"
#include "eth/transaction.h"
#include "tolvaris/bcm_core.h"

namespace {

// A lookup in "args" itself adds an absent member as null, and the reply
// shows it; the documents below it are read without changing them.
const Json::Value& Member(Json::Value& args, const char* key) { return args[key]; }

int GenAddr_ETH(Json::Value& args, const std::string&) {
  constexpr char kFunction[] = "GenAddr_ETH";
  if (!args.isObject()) return Refuse(kFunction, 225, "object is not addrinfo.pubs[0].pub is invalid !!");
  const Json::Value& info = Member(args, "addrinfo");
  if (!info.isObject() || !info["pubs"].isArray() || !info["pubs"][0].isObject() ||
      !info["pubs"][0]["pub"].isString())
    return Refuse(kFunction, 225, "object is not addrinfo.pubs[0].pub is invalid !!");
  std::string address;
  if (GenerateETHAddress(HexToBytes(GetJsonStr(info["pubs"][0]["pub"], "pub")), address) != 0)
    return Refuse(kFunction, 232, "GenerateAddr Error");
  ReplaceJson(args["addr"], address);
  return 0;
}

int GenTxID_ETH(Json::Value& args, const std::string&) {
  constexpr char kFunction[] = "GenTxID_ETH";
  if (!args.isObject() || !Member(args, "txinfo").isObject())
    return Refuse(kFunction, 501, "object is not exist(txinfo)");
  const Bytes raw = HexToBytes(GetJsonStr(args["txinfo"]["rawtx"], "rawtx"));
  if (raw.empty()) return Refuse(kFunction, 509, "txinfo is invalid(rawtx) !!");
  unsigned char digest[32] = {};
  int digestLen = sizeof digest;
  if (BCMGenHashMessage(kHashKeccak256, raw.data(), static_cast<uint32_t>(raw.size()), digest, &digestLen) != 0)
    return Refuse(kFunction, 520, "BCMGenHashMessage Error !!", 2000);
  ReplaceJson(args["txid"], BytesToHex(digest, static_cast<size_t>(digestLen)));
  return 0;
}

int GenTx_ETH(Json::Value& args, const std::string& coin) {
  constexpr char kFunction[] = "GenTx_ETH";
  if (!args.isObject() || !Member(args, "txinfo").isObject()) return Refuse(kFunction, 533, "txinfo is not exist !!");
  // References into "args": adding "network" below moves no other member.
  const Json::Value& txinfo = args["txinfo"];
  if (!txinfo["wallet"].isObject() || !txinfo["wallet"]["pri"].isString())
    return Refuse(kFunction, 539, "txinfo.wallet.pri is not exist !!");
  const uint64_t chainId = EthChainId(coin, GetNetwork(args));
  Json::Value signInfos;
  if (GenerateETHSignInfos(txinfo, chainId, signInfos) != 0)
    return Refuse(kFunction, 547, "GenerateETHSignInfos Error !!");
  if (GenerateETHSignature(txinfo, signInfos) != 0) return Refuse(kFunction, 553, "GenerateETHSignature Error !!");
  const Bytes payload = HexToBytes(GetJsonStr(signInfos[0]["unsignedtx"]));
  Bytes signedTx;
  if (GenerateETHSignedTx(txinfo, chainId, payload, signInfos, signedTx) != 0 || signedTx.empty())
    return Refuse(kFunction, 562, "GenerateETHSignedTx Error !!");
  ReplaceJson(args["rawtx"], BytesToHex(signedTx));
  return 0;
}

int GenUnsignedTx_ETH(Json::Value& args, const std::string& coin) {
  constexpr char kFunction[] = "GenUnsignedTx_ETH";
  if (!args.isObject() || !Member(args, "txinfo").isObject())
    return Refuse(kFunction, 575, "txinfo is invalid(data) !!");
  const Json::Value& txinfo = args["txinfo"];
  if (!txinfo["wallet"].isObject() || !txinfo["wallet"]["pub"].isString())
    return Refuse(kFunction, 575, "txinfo is invalid(data) !!");
  const uint64_t chainId = EthChainId(coin, GetNetwork(args));
  Json::Value signInfos;
  if (GenerateETHSignInfos(txinfo, chainId, signInfos) != 0)
    return Refuse(kFunction, 583, "GenerateETHSignInfos Error !!");
  signInfos[0].removeMember("unsignedtx");
  // The description travels to the second step inside the reply (a private
  // key sent along with it too, so the copies are wiped).
  const SecureText text = WriteJson(txinfo, "");
  SecureText encoded;
  const int rc = EncodeBase64(text, encoded);
  if (rc != 0) return Refuse(kFunction, 598, "BCMGenBase64Encode Error");
  ReplaceJson(args["unsignedtxinfo"], JsonText(encoded));
  ReplaceJson(args["signinfos"], signInfos);
  return 0;
}

int GenSignedTx_ETH(Json::Value& args, const std::string& coin) {
  constexpr char kFunction[] = "GenSignedTx_ETH";
  if (!args.isObject() || !Member(args, "txinfo").isObject()) return Refuse(kFunction, 612, "txinfo is invalid(data) !!");
  const Json::Value& txinfo = args["txinfo"];
  if (!txinfo["unsignedtxinfo"].isString() || !txinfo["signinfos"].isArray())
    return Refuse(kFunction, 612, "txinfo is invalid(data) !!");
  SecureText decoded;
  if (DecodeBase64Text(GetJsonStrView(txinfo["unsignedtxinfo"], "unsignedtxinfo"), decoded) != 0)
    return Refuse(kFunction, 620, "BCMGenBase64Decode Error");
  Json::Value description;
  ScopedJsonWipe wipeDescription(description);
  const bool parsed = ParseJson(decoded, description);
  if (!parsed) return Refuse(kFunction, 628, "json format error(unsignedtx)");
  const uint64_t chainId = EthChainId(coin, GetNetwork(args));
  Bytes payload;
  if (GenerateETHUnsignedTx(description, payload) != 0)
    return Refuse(kFunction, 636, "GenerateETHUnsignedTx Error !!");
  Bytes signedTx;
  if (GenerateETHSignedTx(description, chainId, payload, txinfo["signinfos"], signedTx) != 0 || signedTx.empty())
    return Refuse(kFunction, 645, "GenerateETHSignedTx Error !!");
  ReplaceJson(args["rawtx"], BytesToHex(signedTx));
  return 0;
}

const ActionRow kEthActions[] = {
    {"GenAddr", GenAddr_ETH, false, "GenAddr Error", 688},
    {"GenUnsignedTx", GenUnsignedTx_ETH, true, "GenUnsignedTx Error", 696},
    {"GenSignedTx", GenSignedTx_ETH, true, "GenSignedTx Error", 704},
    {"GenTx", GenTx_ETH, true, "GetTx Error", 712},
    {"GenTxID", GenTxID_ETH, false, "GetTxID Error", 720},
};

}  // namespace

QUENMOD_EXPORTS(ETH, kEthEntry, kEthActions)
