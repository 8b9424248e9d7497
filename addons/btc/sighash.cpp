#include "btc/sighash.h"

#include <cstdint>
#include <vector>

#include "btc/params.h"
#include "btc/tx_inputs.h"
#include "btc/tx_size.h"
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

// What the preimages of one transaction share, read from its JSON once: the
// fields of every input and output in wire form and, once a segwit-form
// digest asks for them, the three hashes of BIP 143, which are the same for
// every input. A transaction's n legacy preimages then cost n copies of its
// bytes, and its segwit-form preimages a few hashes each.
struct PreimageParts {
  Bytes version, locktime;
  std::vector<Bytes> outpoints, sequences;  // per input
  Bytes outputs;                            // every output, without the count
  bool hashed = false;
  Bytes hashPrevouts, hashSequence, hashOutputs;
};

// MakeUnsignedTx's checks of its arguments: 0, or 1 with its entry.
int CheckPreimageArgs(const Json::Value& txinfo, Json::ArrayIndex index, const Json::Value& input) {
  if (!txinfo.isObject() || !input.isObject() || !txinfo["input"].isArray() || index >= txinfo["input"].size()) {
    AddErrTrail("MakeUnsignedTx", 960, kCode, Indexed("input", index, " is invalie !!"));
    return 1;
  }
  const Json::Value& outputs = txinfo["output"];
  if (!outputs.isArray()) {
    AddErrTrail("MakeUnsignedTx", 986, kCode, "output is invalie !!");
    return 1;
  }
  return 0;
}

// The inputs and outputs must be objects; their fields in wire form.
int ReadPreimageParts(const Json::Value& txinfo, PreimageParts& parts) {
  for (const Json::Value& in : txinfo["input"]) {
    if (!in.isObject()) {
      AddErrTrail("MakeUnsignedTx", 980, kCode, "input is invalie !!");
      return 1;
    }
  }
  for (const Json::Value& out : txinfo["output"]) {
    if (!out.isObject()) {
      AddErrTrail("MakeUnsignedTx", 986, kCode, "output is invalie !!");
      return 1;
    }
  }
  AppendHex(parts.version, txinfo["version"]);
  AppendHex(parts.locktime, txinfo["locktime"]);
  for (const Json::Value& in : txinfo["input"]) {
    Bytes outpoint, sequence;
    AppendHex(outpoint, in["prehex"]);
    AppendHex(outpoint, in["preidx"]);
    AppendHex(sequence, in["sequence"]);
    parts.outpoints.push_back(std::move(outpoint));
    parts.sequences.push_back(std::move(sequence));
  }
  for (const Json::Value& out : txinfo["output"]) {
    AppendHex(parts.outputs, out["value"]);
    AppendPushHex(parts.outputs, out["scriptpub"]);
  }
  return 0;
}

// hashPrevouts, hashSequence and hashOutputs of BIP 143, once.
bool HashParts(PreimageParts& parts) {
  if (parts.hashed) return true;
  Bytes prevouts, sequences;
  for (const Bytes& o : parts.outpoints) Append(prevouts, o);
  for (const Bytes& q : parts.sequences) Append(sequences, q);
  if (!DoubleSha256(prevouts, parts.hashPrevouts) || !DoubleSha256(sequences, parts.hashSequence) ||
      !DoubleSha256(parts.outputs, parts.hashOutputs))
    return false;
  parts.hashed = true;
  return true;
}

// The preimage of input `index` (its own fields from `input`).
int BuildPreimage(const Json::Value& txinfo, Json::ArrayIndex index, const Json::Value& input,
                  PreimageParts& parts, Bytes& pre) {
  pre = parts.version;
  if (UsesSegwitDigest(txinfo, input)) {
    if (!HashParts(parts)) {
      AddErrTrail("MakeUnsignedTx", 1054, kCode, "GenerateLoopHash Error !!");
      return 1;
    }
    Append(pre, parts.hashPrevouts);
    Append(pre, parts.hashSequence);
    AppendHex(pre, input["prehex"]);
    AppendHex(pre, input["preidx"]);
    AppendPushHex(pre, input["scriptcode"]);
    AppendHex(pre, input["prevalue"]);
    AppendHex(pre, input["sequence"]);
    Append(pre, parts.hashOutputs);
  } else {
    // The whole transaction with every script empty but the signed input's.
    const size_t n = parts.outpoints.size();
    pre.reserve(parts.version.size() + 9 + n * 41 + parts.outputs.size() + 256);
    Append(pre, MakeVarInt(n));
    for (size_t j = 0; j < n; ++j) {
      if (j == index) {
        AppendHex(pre, input["prehex"]);
        AppendHex(pre, input["preidx"]);
        AppendPushHex(pre, input["scriptcode"]);
        AppendHex(pre, input["sequence"]);
      } else {
        Append(pre, parts.outpoints[j]);
        pre.push_back(0x00);
        Append(pre, parts.sequences[j]);
      }
    }
    Append(pre, MakeVarInt(txinfo["output"].size()));
    Append(pre, parts.outputs);
  }
  Append(pre, parts.locktime);
  AppendHex(pre, input["hashtype"]);
  return 0;
}

// MakeSignatureHash's work on the preimage's bytes: the sign-info entry
// gets the double SHA-256 in place of the preimage.
int StoreSignatureHash(const Bytes& pre, Json::Value& signinfo) {
  Bytes hash;
  if (!DoubleSha256(pre, hash)) {
    AddErrTrail("MakeSignatureHash", 1087, kCode, "GenerateLoopHash Error !!");
    return 1;
  }
  signinfo.removeMember("unsignedrawtx");
  signinfo["signaturehash"] = BytesToHex(hash);
  return 0;
}

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
  // GetCoinSpec has found the coin, so its nodes' limits exist. A
  // transaction their relay limit refuses is refused here, before any
  // signature hash: by its counts alone, then by what its inputs need.
  const CoinLimits& limits = *GetCoinLimits(coin);
  if (IsOverRelayLimit(MinimalTxSize(txinfo["input"].size(), txinfo["output"].size()), limits)) {
    AddErrTrail("GenerateBTCUnsignedTx", 1487, kCode, OverRelayLimitMessage(limits));
    return 1;
  }
  if (ReadyForUseJson(txinfo) != 0) {
    AddErrTrail("GenerateBTCUnsignedTx", 1490, kCode, "ReadyForUseJson Error !!");
    return 1;
  }
  Json::Value inputs;
  ScopedJsonWipe wipeInputs(inputs);  // wallets inside
  CopyJson(txinfo["input"], inputs);
  int segwitCount = 0;
  if (!signinfos.isArray()) signinfos = Json::Value(Json::arrayValue);
  TxSize size = FrameTxSize(txinfo);
  for (Json::ArrayIndex i = 0; i < inputs.size(); ++i) {
    if (!inputs[i].isObject()) {
      AddErrTrail("GenerateBTCUnsignedTx", 1499, kCode, Indexed("input", i, " is invalid(format) !!"));
      return 1;
    }
    Json::Value entry;
    Json::Value in;
    ScopedJsonWipe wipeIn(in);
    CopyJson(inputs[i], in);
    if (MakeUtxoType(in, entry, coin) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1506, kCode, Indexed("input", i, " MakeUtxoType Error !!"));
      return 1;
    }
    AddInputTxSize(in, size);
    if (IsOverRelayLimit(size, limits)) {
      AddErrTrail("GenerateBTCUnsignedTx", 1509, kCode, OverRelayLimitMessage(limits));
      return 1;
    }
    if (GetJsonStr(in["issegwit"]) == "TRUE") ++segwitCount;
    inputs[i].swap(in);
    signinfos[i] = entry;
  }
  txinfo["input"].swap(inputs);
  // MakeUnsignedTx and MakeSignatureHash for every input, over parts read
  // once and without the preimage's round trip through hex text.
  const Json::Value& prepared = txinfo["input"];
  PreimageParts parts;
  for (Json::ArrayIndex i = 0; i < prepared.size(); ++i) {
    Bytes pre;
    if (CheckPreimageArgs(txinfo, i, prepared[i]) != 0 || (i == 0 && ReadPreimageParts(txinfo, parts) != 0) ||
        BuildPreimage(txinfo, i, prepared[i], parts, pre) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1514, kCode, Indexed("input", i, " MakeUnsignedTx Error !!"));
      return 1;
    }
    if (StoreSignatureHash(pre, signinfos[i]) != 0) {
      AddErrTrail("GenerateBTCUnsignedTx", 1520, kCode, Indexed("input", i, " MakeSignatureHash Error !!"));
      return 1;
    }
  }
  txinfo["segwitcnt"] = std::to_string(segwitCount);
  if (segwitCount > 0) {
    txinfo["maker"] = "0x00";
    txinfo["flags"] = "0x01";
  }
  return 0;
}

int MakeUnsignedTx(const Json::Value& txinfo, Json::ArrayIndex index, const Json::Value& input,
                   Json::Value& signinfo) {
  PreimageParts parts;
  Bytes pre;
  if (CheckPreimageArgs(txinfo, index, input) != 0 || ReadPreimageParts(txinfo, parts) != 0 ||
      BuildPreimage(txinfo, index, input, parts, pre) != 0)
    return 1;
  signinfo["unsignedrawtx"] = BytesToHex(pre);
  return 0;
}

int MakeSignatureHash(Json::Value& signinfo) {
  if (!signinfo.isObject() || !signinfo["unsignedrawtx"].isString()) {
    AddErrTrail("MakeSignatureHash", 1079, kCode, "signinfos.unsignedrawtx is not exist !!");
    return 1;
  }
  return StoreSignatureHash(HexToBytes(signinfo["unsignedrawtx"].asString()), signinfo);
}
