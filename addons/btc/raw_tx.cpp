#include "btc/raw_tx.h"

#include <cstdint>
#include <string>

#include "btc/address.h"
#include "btc/der_signature.h"
#include "btc/params.h"
#include "btc/script.h"
#include "command/text/text.h"
#include "common/bytes.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr uint32_t kCode = 1000;

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

// The shortest push of `data` in a script (BIP 62's minimal pushes; the chains
// reject any other push of a redeem script): a direct push up to 75 bytes,
// OP_PUSHDATA1 up to 255, OP_PUSHDATA2 beyond.
Bytes ScriptPush(const Bytes& data) {
  Bytes out;
  const size_t n = data.size();
  if (n <= 75) {
    out.push_back(static_cast<unsigned char>(n));
  } else if (n <= 0xff) {
    out = {0x4c, static_cast<unsigned char>(n)};
  } else {
    out = {0x4d, static_cast<unsigned char>(n & 0xff), static_cast<unsigned char>(n >> 8)};
  }
  Append(out, data);
  return out;
}

// How each input kind carries its signatures. `sigs` is the concatenation
// of the signature pushes, `key` the single key or the redeem script.
struct SpendRow {
  const char* type;
  bool redeem;     // spends a redeem script (else one key)
  bool wrapped;    // scriptSig pushes the witness program (P2SH-wrapped segwit)
  bool witness;    // signatures go into the witness
};
constexpr SpendRow kSpendRows[] = {
    {"P2PKH", false, false, false},       {"P2SH(P2WPKH)", false, true, true}, {"P2WPKH", false, false, true},
    {"P2SH", true, false, false},         {"P2SH(P2WSH)", true, true, true},   {"P2WSH", true, false, true},
};

const SpendRow* FindSpendRow(const std::string& type, bool redeem) {
  for (const SpendRow& row : kSpendRows)
    if (row.redeem == redeem && type == row.type) return &row;
  return nullptr;
}

}  // namespace

int MakeScripSig(Json::Value& input, Json::Value entry) {
  if (!input.isObject() || !entry.isObject() || !input["utxotype"].isString()) {
    AddErrTrail("MakeScripSig", 1149, kCode, "input info is invalid(format) !!");
    return 1;
  }
  const Bytes redeem = HexToBytes(GetJsonStr(input["redeems"]));
  std::vector<Bytes> keys;
  int n = 0, m = 0;
  if (!redeem.empty()) {
    if (GetRedeemInfo(redeem, keys, n, m) != 0) {
      AddErrTrail("MakeScripSig", 1172, kCode, "GetRedeemInfo Error !!");
      return 1;
    }
  } else {
    uint32_t algo = 0;
    Bytes pub;
    if (GetSignerPub(input["wallet"], algo, pub) != 0 || algo != 1) {
      AddErrTrail("MakeScripSig", 1163, kCode, "input[].wallet[pub] is not exist !!");
      return 1;
    }
    keys.push_back(pub);
    n = 1;
    m = 1;
  }
  const Json::Value& list = entry["signinfo"];
  if (!list.isArray() || list.size() != static_cast<Json::ArrayIndex>(n)) {
    AddErrTrail("MakeScripSig", 1179, kCode, "SignInfos is invalid(array count) !!");
    return 1;
  }
  const Bytes hashType = HexToBytes(GetJsonStr(input["hashtype"]));
  const unsigned char h = hashType.empty() ? 0 : hashType[0];

  // The first m signatures in key order, each pushed in its low-S form: a
  // high S is non-standard on most of these chains and invalid on some.
  int count = 0;
  Bytes sigs;
  for (Json::ArrayIndex i = 0; i < list.size() && count < m; ++i) {
    const Json::Value& item = list[i];
    if (!item.isObject() || HexToBytes(GetJsonStr(item["pubkey"])) != keys[i]) {
      AddErrTrail("MakeScripSig", 1189, kCode, "SignInfos.signinfo[" + std::to_string(i) + "].pubkey is invalid !!");
      return 1;
    }
    if (!item["signature"].isString()) continue;
    const Bytes sig = HexToBytes(item["signature"].asString());
    if (!IsStrictDerSignature(sig)) continue;
    Bytes full = LowSDerSignature(sig);
    full.push_back(h);
    Append(sigs, MakeVarBytes(full));
    ++count;
  }
  if (count != m) {
    AddErrTrail("MakeScripSig", 1209, kCode, "make signed transaction more need signature !!");
    return 1;
  }

  const std::string type = input["utxotype"].asString();
  const SpendRow* row = FindSpendRow(type, !redeem.empty());
  if (row == nullptr) {
    AddErrTrail("MakeScripSig", redeem.empty() ? 1219 : 1249, kCode, "not support utxo type !!");
    return 1;
  }
  const Bytes& key = redeem.empty() ? keys[0] : redeem;
  Bytes scriptSig, witness;
  if (row->wrapped) {
    Bytes program;
    if (MakeWitnessProgram(key, redeem.empty() ? 1 : 0, program) != 0) {
      AddErrTrail("MakeScripSig", redeem.empty() ? 1233 : 1263, kCode, "MakeWitnessProgram Error !!");
      return 1;
    }
    scriptSig = MakeVarBytes(program);
  } else if (row->witness) {
    scriptSig = {0x00};
  }
  if (!row->witness) {
    witness = {0x00};
    if (row->redeem) {
      // OP_0 first: OP_CHECKMULTISIG takes one item more than it uses.
      scriptSig.push_back(0x00);
      Append(scriptSig, sigs);
      Append(scriptSig, ScriptPush(redeem));
    } else {
      Append(scriptSig, sigs);
      Append(scriptSig, MakeVarBytes(key));
    }
  } else if (row->redeem) {
    witness.push_back(static_cast<unsigned char>(m + 2));
    witness.push_back(0x00);
    Append(witness, sigs);
    Append(witness, MakeVarBytes(redeem));
  } else {
    witness.push_back(0x02);
    Append(witness, sigs);
    Append(witness, MakeVarBytes(key));
  }
  input["scriptsig"] = BytesToHex(scriptSig);
  input["witness"] = BytesToHex(witness);
  return 0;
}

int GenerateBTCSignedTx(Json::Value& txinfo, const Json::Value& signed_, Json::Value expected) {
  Json::Value inputs;
  ScopedJsonWipe wipeInputs(inputs);  // wallets inside
  if (txinfo.isObject()) CopyJson(txinfo["input"], inputs);
  if (!inputs.isArray() || !signed_.isArray() || !expected.isArray() || inputs.size() != signed_.size() ||
      inputs.size() != expected.size()) {
    AddErrTrail("GenerateBTCSignedTx", 1580, kCode, "input and signinfos is invalid !!");
    return 1;
  }
  for (Json::ArrayIndex i = 0; i < inputs.size(); ++i) {
    Json::Value in;
    ScopedJsonWipe wipeIn(in);
    CopyJson(inputs[i], in);
    Json::Value s = signed_[i];
    const Json::Value e = expected[i];
    const std::string at = "[" + std::to_string(i) + "]";
    if (!in.isObject() || !s.isObject() || !s["signaturehash"].isString() || !e.isObject() ||
        !e["signaturehash"].isString() || s["signaturehash"] != e["signaturehash"]) {
      AddErrTrail("GenerateBTCSignedTx", 1591, kCode, "input" + at + ".signinfos.signaturehash is not exist !!");
      return 1;
    }
    const Bytes hash = HexToBytes(s["signaturehash"].asString());
    Json::Value& sList = s["signinfo"];
    const Json::Value& eList = e["signinfo"];
    if (!sList.isArray() || !eList.isArray() || sList.size() != eList.size()) {
      AddErrTrail("GenerateBTCSignedTx", 1598, kCode, "signinfos" + at + ".signinfo is invalid !!");
      return 1;
    }
    for (Json::ArrayIndex j = 0; j < sList.size(); ++j) {
      const std::string atj = at + ".signinfo[" + std::to_string(j) + "]";
      if (!sList[j].isObject() || !eList[j].isObject() || sList[j]["pubkey"] != eList[j]["pubkey"]) {
        AddErrTrail("GenerateBTCSignedTx", 1606, kCode, "signinfos" + atj + " is invalid !!");
        return 1;
      }
      const Bytes pub = HexToBytes(GetJsonStr(sList[j]["pubkey"], "pubkey"));
      const Bytes sig = HexToBytes(GetJsonStr(sList[j]["signature"], "signature"));
      Bytes r, sv;
      if (!SplitDerSignature(sig, r, sv)) {
        // Not strict DER: the chains would refuse it, so it counts as absent.
        sList[j]["signature"] = "";
        continue;
      }
      if (BCMVerifySignature(0, pub.data(), static_cast<int>(pub.size()), r.data(), static_cast<int>(r.size()),
                             sv.data(), static_cast<int>(sv.size()), 0, hash.data(),
                             static_cast<int>(hash.size())) != 0) {
        AddErrTrail("GenerateBTCSignedTx", 1623, kCode, "signinfos" + atj + ".signature verify is failed !!");
        return 1;
      }
    }
    if (MakeScripSig(in, s) != 0) {
      AddErrTrail("GenerateBTCSignedTx", 1630, kCode, "make input" + at + "scriptsig error !!");
      return 1;
    }
    inputs[i].swap(in);
  }
  txinfo["input"].swap(inputs);
  return 0;
}

Bytes GenRawTx(const Json::Value& txinfo) {
  static const Json::Value kNone;
  const Json::Value& inputs = txinfo.isObject() ? txinfo["input"] : kNone;
  const Json::Value& outputs = txinfo.isObject() ? txinfo["output"] : kNone;
  if (!inputs.isArray() || !outputs.isArray()) {
    AddErrTrail("GenRawTx", 1289, kCode, "txinfo is invalid(input or output) !!");
    return {};
  }
  for (const Json::Value& in : inputs) {
    if (!in.isObject() || GetJsonStr(in["scriptsig"]).empty() || GetJsonStr(in["witness"]).empty()) {
      AddErrTrail("GenRawTx", 1301, kCode, "input is invalid(scriptsig or wintness) !!");
      return {};
    }
  }
  for (const Json::Value& out : outputs) {
    if (!out.isObject()) {
      AddErrTrail("GenRawTx", 1289, kCode, "txinfo is invalid(input or output) !!");
      return {};
    }
  }
  const bool segwit = StrToInt(GetJsonStr(txinfo["segwitcnt"])) > 0;
  Bytes raw = HexToBytes(GetJsonStr(txinfo["version"]));
  if (segwit) {
    Append(raw, HexToBytes(GetJsonStr(txinfo["maker"])));
    Append(raw, HexToBytes(GetJsonStr(txinfo["flags"])));
  }
  Append(raw, MakeVarInt(inputs.size()));
  for (const Json::Value& in : inputs) {
    Append(raw, HexToBytes(GetJsonStr(in["prehex"])));
    Append(raw, HexToBytes(GetJsonStr(in["preidx"])));
    const Bytes scriptSig = HexToBytes(GetJsonStr(in["scriptsig"]));
    const std::string type = GetJsonStr(in["utxotype"]);
    // A native segwit input's stored scriptSig is already the empty script.
    Append(raw, type == "P2WPKH" || type == "P2WSH" ? scriptSig : MakeVarBytes(scriptSig));
    Append(raw, HexToBytes(GetJsonStr(in["sequence"])));
  }
  Append(raw, MakeVarInt(outputs.size()));
  for (const Json::Value& out : outputs) {
    Append(raw, HexToBytes(GetJsonStr(out["value"])));
    Append(raw, MakeVarBytes(HexToBytes(GetJsonStr(out["scriptpub"]))));
  }
  if (segwit)
    for (const Json::Value& in : inputs) Append(raw, HexToBytes(GetJsonStr(in["witness"])));
  Append(raw, HexToBytes(GetJsonStr(txinfo["locktime"])));
  return raw;
}
