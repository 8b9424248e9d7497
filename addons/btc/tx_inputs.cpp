#include "btc/tx_inputs.h"

#include <cstdint>
#include <map>
#include <vector>

#include "btc/params.h"
#include "btc/script.h"
#include "command/text/text.h"
#include "common/bytes.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"

namespace {

constexpr uint32_t kCode = 1000;

// A 4-byte field of the wire ("version", "locktime", "sequence") is written
// by the caller as "0x" and exactly 8 hex digits: any other text would put a
// field of another width into the transaction.
bool IsFourByteHex(const Json::Value& v) {
  if (!v.isString()) return false;
  const std::string t = v.asString();
  if (t.size() != 10 || t[0] != '0' || t[1] != 'x') return false;
  for (size_t i = 2; i < t.size(); ++i) {
    const char c = t[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

std::string Indexed(const char* what, Json::ArrayIndex i, const std::string& rest) {
  return std::string(what) + "[" + std::to_string(i) + "]" + rest;
}

// The amounts of one side of the transaction: nodes refuse an amount above
// the money supply, and a sum of the inputs' or of the outputs' above it.
struct AmountSum {
  const char* name;  // of the sum, for its refusal
  uint32_t amountLine, sumLine;
  uint64_t sum = 0;
};

// Adds the amount `text` (decimal digits of at most 2^64 - 1, or the empty
// text for 0) named `label`. Each amount is at most the supply and the sum
// before it too, so the sum cannot overflow. 0, or 1 with the entry recorded.
int AddAmount(AmountSum& side, const std::string& text, const std::string& label, const CoinLimits& limits) {
  const std::string over = " is over max money[" + std::to_string(limits.maxMoney) + "] !!";
  const uint64_t amount = text.empty() ? 0 : StrToUInt64(text);
  if (amount > limits.maxMoney) {
    AddErrTrail("ReadyForUseJson", side.amountLine, kCode, label + over);
    return 1;
  }
  side.sum += amount;
  if (side.sum > limits.maxMoney) {
    AddErrTrail("ReadyForUseJson", side.sumLine, kCode, std::string("sum of ") + side.name + over);
    return 1;
  }
  return 0;
}

// One input kind: the output-script test that recognises it, and how it is
// signed. Rows are tried in order; the first match wins.
using ScriptTest = int (*)(const Bytes& data, const Bytes& script);
struct UtxoRow {
  const char* name;
  ScriptTest test;
  bool segwit;
};

constexpr UtxoRow kSingleKeyRows[] = {
    {"P2PKH", IsP2PKHScriptPub, false},
    {"P2SH(P2WPKH)", IsP2SH_P2WPKHScriptPub, true},
    {"P2WPKH", IsP2WPKHScriptPub, true},
};
constexpr UtxoRow kRedeemRows[] = {
    {"P2SH", IsP2SHScriptPub, false},
    {"P2SH(P2WSH)", IsP2SH_P2WSHScriptPub, true},
    {"P2WSH", IsP2WSHScriptPub, true},
};

// Bitcoin Cash and Bitcoin SV have no segwit: marker, flag and witnesses make
// a transaction invalid there, so only the legacy kinds are offered.
bool CoinHasSegwit(const std::string& coin) { return coin != "bch" && coin != "bsv"; }

// The largest element a script may push: a P2SH redeem script beyond it can
// never be spent.
constexpr size_t kMaxPushSize = 520;

template <size_t N>
const UtxoRow* MatchRow(const UtxoRow (&rows)[N], const Bytes& data, const Bytes& spent, bool segwitAllowed) {
  for (const UtxoRow& row : rows) {
    if (row.segwit && !segwitAllowed) continue;
    if (row.test(data, spent) == 0) return &row;
  }
  return nullptr;
}

}  // namespace

int ReadyForUseJson(Json::Value& txinfo) {
  if (!txinfo.isObject() || !txinfo["input"].isArray() || !txinfo["output"].isArray()) {
    AddErrTrail("ReadyForUseJson", 1360, kCode, "txinfo is invalid(format) !!");
    return 1;
  }
  // Inputs carry wallets: every copy is wiped before it dies, and results
  // are swapped in so the replaced value dies wiped as well.
  Json::Value inputs;
  ScopedJsonWipe wipeInputs(inputs);
  CopyJson(txinfo["input"], inputs);
  Json::Value outputs = txinfo["output"];
  const Json::Value coinSpec = txinfo["coinspec"];
  const CoinLimits* limits = GetCoinLimits(GetJsonStr(coinSpec["coin"]));
  if (limits == nullptr) {
    AddErrTrail("ReadyForUseJson", 1360, kCode, "txinfo is invalid(format) !!");
    return 1;
  }
  AmountSum inputSum{"input prevalue", 1400, 1402}, outputSum{"output value", 1425, 1427};
  // Nodes refuse an outpoint spent twice: `spent` maps each one ("prehex"
  // and "preidx" in wire form) to the input that spends it first.
  std::map<std::string, Json::ArrayIndex> spent;

  if (!IsJsonText(txinfo["version"], "version")) txinfo["version"] = "0x01000000";
  if (!IsJsonText(txinfo["locktime"], "locktime")) txinfo["locktime"] = "0x00000000";
  if (!IsFourByteHex(txinfo["version"]) || !IsFourByteHex(txinfo["locktime"])) {
    AddErrTrail("ReadyForUseJson", 1360, kCode, "txinfo is invalid(format) !!");
    return 1;
  }

  for (Json::ArrayIndex i = 0; i < inputs.size(); ++i) {
    Json::Value in;
    ScopedJsonWipe wipeIn(in);
    CopyJson(inputs[i], in);
    if (!in.isObject() || !in["prehex"].isString() || !in["preidx"].isString() || !in["prevalue"].isString() ||
        (in.isMember("sequence") && IsJsonText(in["sequence"], "sequence") && !IsFourByteHex(in["sequence"]))) {
      AddErrTrail("ReadyForUseJson", 1375, kCode, Indexed("input", i, " is invalid(format) !!"));
      return 1;
    }
    const std::string prehex = in["prehex"].asString();
    if (HexToBytes(prehex).size() != 32) {
      AddErrTrail("ReadyForUseJson", 1382, kCode, Indexed("input", i, " prehex[" + prehex + "] size is not 32 byte !!"));
      return 1;
    }
    in["prehex"] = ReverseHexBytes(prehex);
    in["prehexOri"] = prehex;

    const std::string preidx = in["preidx"].asString();
    if (!IsDecimalInRange(preidx, 4)) {
      AddErrTrail("ReadyForUseJson", 1390, kCode, Indexed("input", i, " preidx[" + preidx + "] is invalid !!"));
      return 1;
    }
    in["preidx"] = BytesToHex(MakeLEBytes(preidx, 4, "0x00000000"));
    in["preidxOri"] = preidx;
    const auto first = spent.emplace(in["prehex"].asString() + in["preidx"].asString(), i);
    if (!first.second) {
      AddErrTrail("ReadyForUseJson", 1392, kCode,
                  Indexed("input", i, " prehex[" + prehex + "] preidx[" + preidx + "] is already spent by ") +
                      Indexed("input", first.first->second, " !!"));
      return 1;
    }

    const std::string prevalue = in["prevalue"].asString();
    if (!IsDecimalInRange(prevalue, 8)) {
      AddErrTrail("ReadyForUseJson", 1398, kCode, Indexed("input", i, " prevalue[" + prevalue + "] is invalid !!"));
      return 1;
    }
    if (AddAmount(inputSum, prevalue, Indexed("input", i, " prevalue[" + prevalue + "]"), *limits) != 0) return 1;
    in["prevalue"] = BytesToHex(MakeLEBytes(prevalue, 8, "0x0000000000000000"));
    in["prevalueOri"] = prevalue;

    in["hashtype"] = coinSpec["hashtype"];
    if (!in["sequence"].isString()) in["sequence"] = "0xffffffff";
    inputs[i].swap(in);
  }
  txinfo["input"].swap(inputs);

  for (Json::ArrayIndex i = 0; i < outputs.size(); ++i) {
    Json::Value out = outputs[i];
    if (!out.isObject() || !out["value"].isString() || !out["dest"].isString()) {
      AddErrTrail("ReadyForUseJson", 1416, kCode, Indexed("output", i, " is invalid(format) !!"));
      return 1;
    }
    const std::string value = out["value"].asString();
    if (!IsDecimalInRange(value, 8)) {
      AddErrTrail("ReadyForUseJson", 1423, kCode, Indexed("output", i, " value[" + value + "] is invalid !!"));
      return 1;
    }
    if (AddAmount(outputSum, value, Indexed("output", i, " value[" + value + "]"), *limits) != 0) return 1;
    out["value"] = BytesToHex(MakeLEBytes(value, 8, "0x0000000000000000"));
    out["valueOri"] = value;
    if (MakeScriptPub(out, coinSpec) != 0) {
      AddErrTrail("ReadyForUseJson", 1430, kCode, "MakeScriptPub Error !!");
      return 1;
    }
    outputs[i] = out;
  }
  txinfo["output"] = outputs;
  return 0;
}

int MakeUtxoType(Json::Value& input, Json::Value& signinfo, const std::string& coin) {
  uint32_t algo = 0;
  Bytes pub;
  if (GetSignerPub(input["wallet"], algo, pub) != 0 || algo != 1) {
    AddErrTrail("MakeUtxoType", 873, kCode, "input[].wallet[pub] is not exist !!");
    return 1;
  }
  // A spent script or redeem script with a stray character is refused by
  // name rather than read as no script at all.
  const Bytes spent = ArgHexToBytes("prespub", GetJsonStr(input["prespub"], "prespub"));
  Bytes redeem;
  if (IsJsonText(input["redeems"], "redeems")) {
    redeem = ArgHexToBytes("redeems", GetJsonStr(input["redeems"], "redeems"));
  } else {
    input["redeems"] = "";
  }
  const bool segwitAllowed = CoinHasSegwit(coin);

  std::vector<Bytes> keys;
  int m = 1;
  Bytes scriptCode;
  const UtxoRow* row = nullptr;
  if (redeem.empty()) {
    keys.push_back(pub);
    row = MatchRow(kSingleKeyRows, pub, spent, segwitAllowed);
    if (row == nullptr) {
      AddErrTrail("MakeUtxoType", 894, kCode, "not support scriptpub[" + BytesToHex(spent) + "] !!");
      return 1;
    }
    Bytes keyHash;
    if (GenerateHash(pub, 1, keyHash) != 0 || keyHash.size() != 20) {
      AddErrTrail("MakeUtxoType", 901, kCode, "GenerateHash Error !!");
      return 1;
    }
    scriptCode = {0x76, 0xa9, 0x14};
    scriptCode.insert(scriptCode.end(), keyHash.begin(), keyHash.end());
    scriptCode.push_back(0x88);
    scriptCode.push_back(0xac);
  } else {
    int n = 0;
    if (GetRedeemInfo(redeem, keys, n, m) != 0) {
      AddErrTrail("MakeUtxoType", 913, kCode, "GetRedeemInfo Error !!");
      return 1;
    }
    int found = 0;
    if (FindRedeemIdx(pub, keys, found) != 0) {
      AddErrTrail("MakeUtxoType", 919, kCode, "FindRedeemIdx Error !!");
      return 1;
    }
    row = MatchRow(kRedeemRows, redeem, spent, segwitAllowed);
    // A P2SH spend pushes the whole redeem script in its scriptSig.
    if (row != nullptr && !row->segwit && redeem.size() > kMaxPushSize) row = nullptr;
    if (row == nullptr) {
      AddErrTrail("MakeUtxoType", 928, kCode, "not support scriptpub[" + BytesToHex(spent) + "] !!");
      return 1;
    }
    scriptCode = redeem;
  }

  Json::Value entry(Json::objectValue);
  entry["unsignedrawtx"] = "";
  entry["signaturehash"] = "";
  entry["needsig"] = std::to_string(m);
  Json::Value list(Json::arrayValue);
  for (const Bytes& key : keys) {
    Json::Value item(Json::objectValue);
    item["pubkey"] = BytesToHex(key);
    item["signature"] = "";
    list.append(item);
  }
  entry["signinfo"] = list;
  signinfo = entry;

  input["need"] = std::to_string(m);
  input["issegwit"] = BoolToStr(row->segwit);
  input["utxotype"] = row->name;
  input["scriptcode"] = BytesToHex(scriptCode);
  return 0;
}

int CheckInputsHavePri(const Json::Value& txinfo) {
  if (!txinfo.isObject() || !txinfo["input"].isArray()) return 0;
  for (const Json::Value& in : txinfo["input"]) {
    if (!in.isObject()) return 1;
    const Json::Value& wallet = in["wallet"];
    if (!wallet.isObject() || !wallet["pri"].isString()) return 1;
  }
  return 0;
}

int HasRedeemInput(const Json::Value& txinfo) {
  if (!txinfo.isObject() || !txinfo["input"].isArray()) return 0;
  for (const Json::Value& in : txinfo["input"]) {
    if (in.isObject() && IsJsonText(in["redeems"], "redeems")) return 1;
  }
  return 0;
}
