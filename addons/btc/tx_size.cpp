#include "btc/tx_size.h"

#include "command/text/text.h"
#include "common/bytes.h"
#include "common/json_io.h"

namespace {

// Every signature goes into the transaction in its low-S form: its DER is
// at most 71 bytes (r up to 33, s below n/2 up to 32), 72 with the hash type.
constexpr uint64_t kMaxSignaturePush = 1 + 72;
constexpr uint64_t kKeyPush = 1 + 33;            // a compressed key
constexpr uint64_t kOutpointAndSequence = 32 + 4 + 4;
constexpr uint64_t kWrappedProgramPush = 1 + 22;  // P2SH(P2WPKH): 0014 and the key hash
constexpr uint64_t kWrappedScriptPush = 1 + 34;   // P2SH(P2WSH): 0020 and the script hash

// Length of the CompactSize count of n.
uint64_t VarIntSize(uint64_t n) { return n < 0xfd ? 1 : n <= 0xffff ? 3 : n <= 0xffffffffu ? 5 : 9; }

// Length of the shortest script push of n bytes.
uint64_t PushSize(uint64_t n) { return (n <= 75 ? 1 : n <= 0xff ? 2 : 3) + n; }

// One input: its script with its length, and its witness (a count, then
// each item with its length). An input without a witness still takes one
// witness byte (the empty count) in a segwit transaction.
void AddScriptAndWitness(uint64_t script, uint64_t witnessItems, uint64_t witnessBytes, TxSize& size) {
  size.base += kOutpointAndSequence + VarIntSize(script) + script;
  size.witness += VarIntSize(witnessItems) + witnessBytes;
}

}  // namespace

TxSize MinimalTxSize(size_t inputs, size_t outputs) {
  TxSize size;
  size.base = 4 + 4 + VarIntSize(inputs) + VarIntSize(outputs) + (kOutpointAndSequence + 1) * inputs + 9 * outputs;
  return size;
}

TxSize FrameTxSize(const Json::Value& txinfo) {
  const Json::Value& inputs = txinfo["input"];
  const Json::Value& outputs = txinfo["output"];
  TxSize size;
  size.base = 4 + 4 + VarIntSize(inputs.size()) + VarIntSize(outputs.size());
  for (const Json::Value& out : outputs) {
    const uint64_t script = HexToBytes(GetJsonStr(out["scriptpub"])).size();
    size.base += 8 + VarIntSize(script) + script;
  }
  size.witness = 2;  // marker and flag
  return size;
}

void AddInputTxSize(const Json::Value& input, TxSize& size) {
  const std::string type = GetJsonStr(input["utxotype"]);
  if (type == "P2PKH") return AddScriptAndWitness(kMaxSignaturePush + kKeyPush, 0, 0, size);
  if (type == "P2SH(P2WPKH)") return AddScriptAndWitness(kWrappedProgramPush, 2, kMaxSignaturePush + kKeyPush, size);
  if (type == "P2WPKH") return AddScriptAndWitness(0, 2, kMaxSignaturePush + kKeyPush, size);
  // A multisig spend: OP_0 (the extra item OP_CHECKMULTISIG takes), m
  // signatures and the redeem script.
  const uint64_t redeem = HexToBytes(GetJsonStr(input["redeems"])).size();
  const uint64_t m = static_cast<uint64_t>(StrToInt(GetJsonStr(input["need"])));
  const uint64_t signatures = m * kMaxSignaturePush;
  if (type == "P2SH") return AddScriptAndWitness(1 + signatures + PushSize(redeem), 0, 0, size);
  const uint64_t witness = 1 + signatures + VarIntSize(redeem) + redeem;
  AddScriptAndWitness(type == "P2SH(P2WSH)" ? kWrappedScriptPush : 0, m + 2, witness, size);
}

bool IsOverRelayLimit(const TxSize& size, const CoinLimits& limits) {
  // Bitcoin Cash and Bitcoin SV have no witnesses: their inputs are legacy.
  const uint64_t measure = limits.byWeight ? 4 * size.base + size.witness : size.base;
  return measure > limits.relayLimit;
}

std::string OverRelayLimitMessage(const CoinLimits& limits) {
  return std::string("transaction is over the relay limit(") + (limits.byWeight ? "weight[" : "size[") +
         std::to_string(limits.relayLimit) + "]) !!";
}
