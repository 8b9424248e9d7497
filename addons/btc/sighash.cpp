#include "btc/sighash.h"

#include <cstdint>
#include <vector>

#include "btc/params.h"
#include "btc/tx_inputs.h"
#include "command/text/text.h"
#include "common/bytes.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"

namespace {

constexpr uint32_t kCode = 1000;

std::string Indexed(const char* what, Json::ArrayIndex i, const char* rest) {
  return std::string(what) + "[" + std::to_string(i) + "]" + rest;
}

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }
void AppendHex(Bytes& out, const Json::Value& v) { Append(out, HexToBytes(GetJsonStr(v))); }
void AppendPushHex(Bytes& out, const Json::Value& v) { Append(out, MakeVarBytes(HexToBytes(GetJsonStr(v)))); }

// The segwit digest covers every input's and output's data through three
// double hashes; Bitcoin Cash, Bitcoin SV and Bitcoin Gold use it for every
// input, whatever it spends.
bool UsesSegwitDigest(const Json::Value& txinfo, const Json::Value& input) {
  static const char* const kSegwitTypes[] = {"P2SH(P2WPKH)", "P2WPKH", "P2SH(P2WSH)", "P2WSH"};
  static const char* const kForkCoins[] = {"bch", "bsv", "btg"};
  const std::string type = GetJsonStr(input["utxotype"]);
  for (const char* t : kSegwitTypes)
    if (type == t) return true;
  const Json::Value& coinSpec = txinfo["coinspec"];
  if (coinSpec.isObject() && coinSpec["coin"].isString()) {
    const std::string coin = coinSpec["coin"].asString();
    for (const char* c : kForkCoins)
      if (coin == c) return true;
  }
  return false;
}

bool DoubleSha256(const Bytes& data, Bytes& out) { return GenerateLoopHash(data, {1, 1}, out) == 0; }

}  // namespace

int GenerateBTCUnsignedTx(Json::Value& txinfo, const std::string& network, const std::string& coin,
                          Json::Value& signinfos) {
  (void)network;  // nothing of the digest depends on the network
  if (!txinfo.isObject() || !txinfo["input"].isArray() || txinfo["input"].empty() || !txinfo["output"].isArray() ||
      txinfo["output"].empty()) {
    AddErrTrail("GenerateBTCUnsignedTx", 1478, kCode, "txinfo is invalid(format) !!");
    return 1;
  }
  if (GetCoinSpec(txinfo["coinspec"], coin) != 0) {
    AddErrTrail("GenerateBTCUnsignedTx", 1484, kCode, "txinfo is invalid(coninsecp) !!");
    return 1;
  }
  if (ReadyForUseJson(txinfo) != 0) {
    AddErrTrail("GenerateBTCUnsignedTx", 1490, kCode, "ReadyForUseJson Error !!");
    return 1;
  }
  Json::Value inputs = txinfo["input"];
  ScopedJsonWipe wipeInputs(inputs);  // wallets inside
  int segwitCount = 0;
  if (!signinfos.isArray()) signinfos = Json::Value(Json::arrayValue);
  for (Json::ArrayIndex i = 0; i < inputs.size(); ++i) {
    if (!inputs[i].isObject()) {
      AddErrTrail("GenerateBTCUnsignedTx", 1499, kCode, Indexed("input", i, " is invalid(format) !!"));
      return 1;
    }
    Json::Value entry;
    Json::Value in = inputs[i];
    ScopedJsonWipe wipeIn(in);
    if (MakeUtxoType(in, entry, coin) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1506, kCode, Indexed("input", i, " MakeUtxoType Error !!"));
      return 1;
    }
    if (GetJsonStr(in["issegwit"]) == "TRUE") ++segwitCount;
    if (MakeUnsignedTx(txinfo, i, in, entry) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1514, kCode, Indexed("input", i, " MakeUnsignedTx Error !!"));
      return 1;
    }
    if (MakeSignatureHash(entry) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1520, kCode, Indexed("input", i, " MakeSignatureHash Error !!"));
      return 1;
    }
    inputs[i].swap(in);
    signinfos[i] = entry;
  }
  txinfo["input"].swap(inputs);
  txinfo["segwitcnt"] = std::to_string(segwitCount);
  if (segwitCount > 0) {
    txinfo["maker"] = "0x00";
    txinfo["flags"] = "0x01";
  }
  return 0;
}

int MakeUnsignedTx(const Json::Value& txinfo, Json::ArrayIndex index, const Json::Value& input,
                   Json::Value& signinfo) {
  if (!txinfo.isObject() || !input.isObject() || !txinfo["input"].isArray() || index >= txinfo["input"].size()) {
    AddErrTrail("MakeUnsignedTx", 960, kCode, Indexed("input", index, " is invalie !!"));
    return 1;
  }
  const Json::Value& inputs = txinfo["input"];
  const Json::Value& outputs = txinfo["output"];
  if (!outputs.isArray()) {
    AddErrTrail("MakeUnsignedTx", 986, kCode, "output is invalie !!");
    return 1;
  }
  for (const Json::Value& in : inputs) {
    if (!in.isObject()) {
      AddErrTrail("MakeUnsignedTx", 980, kCode, "input is invalie !!");
      return 1;
    }
  }
  for (const Json::Value& out : outputs) {
    if (!out.isObject()) {
      AddErrTrail("MakeUnsignedTx", 986, kCode, "output is invalie !!");
      return 1;
    }
  }

  Bytes pre;
  AppendHex(pre, txinfo["version"]);
  if (UsesSegwitDigest(txinfo, input)) {
    Bytes prevouts, sequences, outs;
    for (const Json::Value& in : inputs) {
      AppendHex(prevouts, in["prehex"]);
      AppendHex(prevouts, in["preidx"]);
      AppendHex(sequences, in["sequence"]);
    }
    for (const Json::Value& out : outputs) {
      AppendHex(outs, out["value"]);
      AppendPushHex(outs, out["scriptpub"]);
    }
    Bytes hashPrevouts, hashSequence, hashOutputs;
    if (!DoubleSha256(prevouts, hashPrevouts) || !DoubleSha256(sequences, hashSequence) ||
        !DoubleSha256(outs, hashOutputs)) {
      AddErrTrail("MakeUnsignedTx", 1054, kCode, "GenerateLoopHash Error !!");
      return 1;
    }
    Append(pre, hashPrevouts);
    Append(pre, hashSequence);
    AppendHex(pre, input["prehex"]);
    AppendHex(pre, input["preidx"]);
    AppendPushHex(pre, input["scriptcode"]);
    AppendHex(pre, input["prevalue"]);
    AppendHex(pre, input["sequence"]);
    Append(pre, hashOutputs);
  } else {
    Append(pre, MakeVarInt(inputs.size()));
    for (Json::ArrayIndex j = 0; j < inputs.size(); ++j) {
      const Json::Value& in = j == index ? input : inputs[j];
      AppendHex(pre, in["prehex"]);
      AppendHex(pre, in["preidx"]);
      if (j == index) {
        AppendPushHex(pre, in["scriptcode"]);
      } else {
        pre.push_back(0x00);
      }
      AppendHex(pre, in["sequence"]);
    }
    Append(pre, MakeVarInt(outputs.size()));
    for (const Json::Value& out : outputs) {
      AppendHex(pre, out["value"]);
      AppendPushHex(pre, out["scriptpub"]);
    }
  }
  AppendHex(pre, txinfo["locktime"]);
  AppendHex(pre, input["hashtype"]);
  signinfo["unsignedrawtx"] = BytesToHex(pre);
  return 0;
}

int MakeSignatureHash(Json::Value& signinfo) {
  if (!signinfo.isObject() || !signinfo["unsignedrawtx"].isString()) {
    AddErrTrail("MakeSignatureHash", 1079, kCode, "signinfos.unsignedrawtx is not exist !!");
    return 1;
  }
  Bytes hash;
  if (!DoubleSha256(HexToBytes(signinfo["unsignedrawtx"].asString()), hash)) {
    AddErrTrail("MakeSignatureHash", 1087, kCode, "GenerateLoopHash Error !!");
    return 1;
  }
  signinfo.removeMember("unsignedrawtx");
  signinfo["signaturehash"] = BytesToHex(hash);
  return 0;
}
