#include "btc/script.h"

#include <algorithm>
#include <string>
#include <utility>

#include "btc/address.h"
#include "btc/bech32.h"
#include "btc/params.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "tolvaris/bcm_codec.h"

namespace {

constexpr unsigned char kOpCheckMultisig = 0xAE;

Bytes P2PKHScript(const Bytes& hash) {
  Bytes script{0x76, 0xA9};
  const Bytes pushed = MakeVarBytes(hash);
  script.insert(script.end(), pushed.begin(), pushed.end());
  script.push_back(0x88);
  script.push_back(0xAC);
  return script;
}

Bytes P2SHScript(const Bytes& hash) {
  Bytes script{0xA9};
  const Bytes pushed = MakeVarBytes(hash);
  script.insert(script.end(), pushed.begin(), pushed.end());
  script.push_back(0x87);
  return script;
}

void SetOutput(Json::Value& output, const char* addrType, const Bytes& hash, const Bytes& script) {
  output["addrtype"] = addrType;
  output["keyhash"] = BytesToHex(hash);
  output["scriptpub"] = BytesToHex(script);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Base58Check payload of a legacy address; false unless it is 21 bytes.
bool DecodeLegacy(const std::string& dest, Bytes& payload) {
  payload.assign(dest.size() * 2, 0);
  uint32_t len = static_cast<uint32_t>(payload.size());
  if (BCMGenBase58CheckDecode(0, dest.c_str(), payload.data(), &len) != 0 || len != 21) return false;
  payload.resize(len);
  return true;
}

// The 5-bit values of bech32 characters; false when the core refuses them.
bool DecodeBase32(const std::string& data, Bytes& values) {
  values.assign(data.size() + 1, 0);
  uint32_t len = static_cast<uint32_t>(values.size());
  if (BCMGenBase32Decode(data.c_str(), values.data(), &len) != 0) return false;
  values.resize(len);
  return true;
}

// 5-bit values to bytes: a final group of zero padding bits is dropped.
bool FromFiveBit(const Bytes& values, Bytes& bytes) {
  bytes.assign((values.size() * 5 + 1) / 8 + 1, 0);
  uint32_t len = static_cast<uint32_t>(bytes.size());
  static const unsigned char kNothing = 0;
  const unsigned char* in = values.empty() ? &kNothing : values.data();
  if (BCMConvBitToBit(in, static_cast<uint32_t>(values.size()), 5, 8, bytes.data(), &len) != 0) return false;
  bytes.resize(len);
  return true;
}

// One standard output-script form: its fixed bytes, and the hash or program
// of the data it carries from `offset` on.
struct ScriptForm {
  const char* function;
  uint32_t formLine;
  const char* formMessage;
  uint32_t valueLine;
  const char* valueMessage;
  bool redeemScript;  // the data must be a multisig redeem script
  size_t size;
  size_t fixedCount;
  std::pair<size_t, unsigned char> fixed[5];
  size_t offset;
  size_t valueSize;
  int (*expected)(const Bytes& data, Bytes& value);
};

int Hash160Of(const Bytes& data, Bytes& value) { return GenerateHash(data, 1, value); }
int KeyWitnessHash(const Bytes& data, Bytes& value) { return MakeWitnessHash(data, 1, value); }
int KeyWitnessProgram(const Bytes& data, Bytes& value) { return MakeWitnessProgram(data, 1, value); }
int ScriptWitnessHash(const Bytes& data, Bytes& value) { return MakeWitnessHash(data, 0, value); }
int ScriptWitnessProgram(const Bytes& data, Bytes& value) { return MakeWitnessProgram(data, 0, value); }

const ScriptForm kP2PKH = {"IsP2PKHScriptPub", 661, "p2pkh script is invaild(format) !!", 669,
                           "p2pkh script is invaild(keyhash) !!", false, 25,
                           5, {{0, 0x76}, {1, 0xA9}, {2, 0x14}, {23, 0x88}, {24, 0xAC}}, 3, 20, Hash160Of};
const ScriptForm kP2SH_P2WPKH = {"IsP2SH_P2WPKHScriptPub", 681, "p2sh(p2wpkh) script is invaild(format) !!", 689,
                                 "p2sh(p2wpkh) script is invaild(keyhash) !!", false, 23,
                                 3, {{0, 0xA9}, {1, 0x14}, {22, 0x87}}, 2, 20, KeyWitnessHash};
const ScriptForm kP2WPKH = {"IsP2WPKHScriptPub", 701, "p2wpkh script is invaild(format) !!", 709,
                            "p2wpkh script is invaild(keyhash) !!", false, 22,
                            2, {{0, 0x00}, {1, 0x14}}, 0, 22, KeyWitnessProgram};
const ScriptForm kP2SH = {"IsP2SHScriptPub", 722, "p2sh script is invaild(format) !!", 730,
                          "p2sh script is invaild(scripthash) !!", true, 23,
                          3, {{0, 0xA9}, {1, 0x14}, {22, 0x87}}, 2, 20, Hash160Of};
const ScriptForm kP2SH_P2WSH = {"IsP2SH_P2WSHScriptPub", 743, "p2sh(p2wsh) script is invaild(format) !!", 751,
                                "p2sh(p2wsh) script is invaild(scripthash) !!", true, 23,
                                3, {{0, 0xA9}, {1, 0x14}, {22, 0x87}}, 2, 20, ScriptWitnessHash};
const ScriptForm kP2WSH = {"IsP2WSHScriptPub", 763, "p2wsh script is invaild(format) !!", 771,
                           "p2wsh script is invaild(scripthash) !!", true, 34,
                           2, {{0, 0x00}, {1, 0x20}}, 0, 34, ScriptWitnessProgram};

// 0 when `script` has the form and carries the value computed from `data`;
// otherwise the form or the value failure is recorded.
int MatchForm(const ScriptForm& form, const Bytes& data, const Bytes& script) {
  bool shaped = (!form.redeemScript || IsRedeemScript(data) == 0) && script.size() == form.size;
  for (size_t i = 0; shaped && i < form.fixedCount; ++i) shaped = script[form.fixed[i].first] == form.fixed[i].second;
  if (!shaped) {
    AddErrTrail(form.function, form.formLine, 1000, form.formMessage);
    return 1;
  }
  Bytes value;
  if (form.expected(data, value) != 0 || value.size() != form.valueSize ||
      !std::equal(value.begin(), value.end(), script.begin() + static_cast<long>(form.offset))) {
    AddErrTrail(form.function, form.valueLine, 1000, form.valueMessage);
    return 1;
  }
  return 0;
}

}  // namespace

int MakeScriptPub(Json::Value& output, const Json::Value& coinSpec) {
  const Json::Value& out = output;
  std::string dest;
  try {
    dest = GetJsonStr(out["dest"], "dest");
  } catch (const ArgumentRefused& e) {
    AddErrTrail("MakeScriptPub", 590, 1000, std::string(e.what()) + " !!");
    return 1;
  }
  const std::string coin = GetJsonStr(coinSpec["coin"]);
  std::string hrp = GetJsonStr(coinSpec["bech32hrp"]);
  const std::string hrpTest = GetJsonStr(coinSpec["bech32hrptest"]);
  if (coin.empty() || hrp.empty() || hrpTest.empty()) {
    AddErrTrail("MakeScriptPub", 514, 1000, "invalid coin spec info !!");
    return 1;
  }
  if (coin == "bch" || coin == "bsv") return MakeScriptPubCash(output, coinSpec);

  if (!StartsWith(dest, hrp) && StartsWith(dest, hrpTest)) hrp = hrpTest;
  if (StartsWith(dest, hrp)) {
    const std::string data = dest.substr(hrp.size());
    // The witness version and the six checksum values at least.
    if (data.size() < 7) {
      AddErrTrail("MakeScriptPub", 573, 1000, "bech32 addr[" + dest + "] is invalid !!");
      return 1;
    }
    Bytes values;
    if (!DecodeBase32(data, values)) {
      AddErrTrail("MakeScriptPub", 534, 2000, "BCMGenBase32Decode Error !!");
      return 1;
    }
    const Bytes checksum(values.end() - 6, values.end());
    values.resize(values.size() - 6);
    if (values[0] != 0) {
      AddErrTrail("MakeScriptPub", 544, 1000, "invalid witness version [" + std::to_string(values[0]) + "]!!");
      return 1;
    }
    Bytes expected;
    GenerateBTCBech32CheckSum(hrp, values, expected);
    if (expected != checksum) {
      AddErrTrail("MakeScriptPub", 556, 1000, "Bech32 is invalid(checksum) !!");
      return 1;
    }
    Bytes program;
    if (!FromFiveBit(Bytes(values.begin() + 1, values.end()), program)) {
      AddErrTrail("MakeScriptPub", 564, 2000, "BCMConvBitToBit Error !!");
      return 1;
    }
    const char* type = program.size() == 20 ? "P2WPKH" : program.size() == 32 ? "P2WSH" : nullptr;
    if (type == nullptr) {
      AddErrTrail("MakeScriptPub", 573, 1000, "bech32 addr[" + dest + "] is invalid !!");
      return 1;
    }
    Bytes script(1, 0x00);
    const Bytes pushed = MakeVarBytes(program);
    script.insert(script.end(), pushed.begin(), pushed.end());
    SetOutput(output, type, program, script);
    return 0;
  }

  Bytes payload;
  if (!DecodeLegacy(dest, payload)) {
    AddErrTrail("MakeScriptPub", 585, 2000, "[" + dest + "] BCMGenBase58CheckDecode Error !!");
    return 1;
  }
  const unsigned char v = payload[0];
  const Bytes hash(payload.begin() + 1, payload.end());
  const bool p2pkh = (coin == "btc" && (v == 0x00 || v == 0x6F)) || (coin == "ltc" && (v == 0x30 || v == 0x6F)) ||
                     (coin == "btg" && (v == 0x26 || v == 0x6F));
  const bool p2sh = (coin == "btc" && (v == 0x05 || v == 0xC4)) || (coin == "ltc" && (v == 0x32 || v == 0x3A)) ||
                    (coin == "btg" && (v == 0x17 || v == 0xC4));
  if (p2pkh) {
    SetOutput(output, "P2PKH", hash, P2PKHScript(hash));
  } else if (p2sh) {
    SetOutput(output, "P2SH", hash, P2SHScript(hash));
  } else {
    AddErrTrail("MakeScriptPub", 611, 1000, coin + "legacy addr[" + dest + "] is invalid !!");
    return 1;
  }
  return 0;
}

int MakeScriptPubCash(Json::Value& output, const Json::Value& coinSpec) {
  const Json::Value& out = output;
  const std::string dest = GetJsonStr(out["dest"], "dest");
  std::string prefix = GetJsonStr(coinSpec["bech32hrp"]);
  const std::string prefixTest = GetJsonStr(coinSpec["bech32hrptest"]);
  if (!StartsWith(dest, prefix) && StartsWith(dest, prefixTest)) prefix = prefixTest;
  if (StartsWith(dest, prefix)) {
    const std::string data = dest.substr(prefix.size());
    // One value and the eight checksum values at least.
    if (data.size() < 9) {
      AddErrTrail("MakeScriptPubCash", 222, 1000, "bech32 addr[" + dest + "] is invalid !!");
      return 1;
    }
    Bytes values;
    if (!DecodeBase32(data, values)) {
      AddErrTrail("MakeScriptPubCash", 190, 2000, "BCMGenBase32Decode Error !!");
      return 1;
    }
    const Bytes checksum(values.end() - 8, values.end());
    values.resize(values.size() - 8);
    Bytes expected;
    GenerateCashAddrCheckSum(prefix, values, expected);
    if (expected != checksum) {
      AddErrTrail("MakeScriptPubCash", 207, 1000, "Bech32 is invalid(checksum) !!");
      return 1;
    }
    Bytes payload;
    if (!FromFiveBit(values, payload)) {
      AddErrTrail("MakeScriptPubCash", 215, 2000, "BCMConvBitToBit Error !!");
      return 1;
    }
    // Version 0x00 (P2PKH) or 0x08 (P2SH) with a 20-byte hash; any other
    // type or size is refused rather than guessed.
    if (payload.size() != 21 || (payload[0] != 0x00 && payload[0] != 0x08)) {
      AddErrTrail("MakeScriptPubCash", 222, 1000, "bech32 addr[" + dest + "] is invalid !!");
      return 1;
    }
    const Bytes hash(payload.begin() + 1, payload.end());
    if (payload[0] == 0x00)
      SetOutput(output, "P2PKH(CASH)", hash, P2PKHScript(hash));
    else
      SetOutput(output, "P2SH(CASH)", hash, P2SHScript(hash));
    return 0;
  }

  Bytes payload;
  if (!DecodeLegacy(dest, payload)) {
    AddErrTrail("MakeScriptPubCash", 243, 2000, "[" + dest + "] BCMGenBase58CheckDecode Error !!");
    return 1;
  }
  const unsigned char v = payload[0];
  const Bytes hash(payload.begin() + 1, payload.end());
  if (v == 0x00 || v == 0x6F || v == 0x1C) {
    SetOutput(output, v == 0x1C ? "P2PKH(BITPAY)" : "P2PKH", hash, P2PKHScript(hash));
  } else if (v == 0x05 || v == 0xC4 || v == 0x28) {
    SetOutput(output, v == 0x28 ? "P2SH(BITPAY)" : "P2SH", hash, P2SHScript(hash));
  } else {
    AddErrTrail("MakeScriptPubCash", 262, 1000, "legacy addr[" + dest + "] is invalid !!");
    return 1;
  }
  return 0;
}

int IsRedeemScript(const Bytes& script) {
  const size_t size = script.size();
  if (size < 3) {
    AddErrTrail("IsRedeemScript", 629, 1000, "redeem script is invalid(format) !!");
    return 1;
  }
  const unsigned char push = script[1];
  const int m = script[0] - 0x50;
  const int n = script[size - 2] - 0x50;
  if ((push != 0x21 && push != 0x41) || m < 1 || m > n || n > 16 || script[size - 1] != kOpCheckMultisig) {
    AddErrTrail("IsRedeemScript", 629, 1000, "redeem script is invalid(format) !!");
    return 1;
  }
  size_t pos = 1;
  for (int i = 0; i < n; ++i) {
    const bool fits = pos + 1 + push <= size;
    const unsigned char first = fits ? script[pos + 1] : 0;
    const bool keyPrefix = push == 0x21 ? (first == 0x02 || first == 0x03) : first == 0x04;
    if (!fits || script[pos] != push || !keyPrefix) {
      AddErrTrail("IsRedeemScript", 638, 1000, "redeem script is invalid(publen) !!");
      return 1;
    }
    pos += 1 + push;
  }
  // OP_n and OP_CHECKMULTISIG right after the n-th key, and nothing more.
  if (pos + 2 != size) {
    AddErrTrail("IsRedeemScript", 647, 1000, "redeem script is invalid(format) !!");
    return 1;
  }
  return 0;
}

int GetRedeemInfo(const Bytes& script, std::vector<Bytes>& keys, int& n, int& m) {
  if (IsRedeemScript(script) != 0) {
    AddErrTrail("GetRedeemInfo", 783, 1000, "IsRedeemScript Error !!");
    return 1;
  }
  n = script[script.size() - 2] - 0x50;
  m = script[0] - 0x50;
  size_t pos = 1;
  for (int i = 0; i < n; ++i) {
    const size_t len = script[pos];
    keys.emplace_back(script.begin() + static_cast<long>(pos + 1), script.begin() + static_cast<long>(pos + 1 + len));
    pos += 1 + len;
  }
  return 0;
}

int FindRedeemIdx(const Bytes& key, const std::vector<Bytes>& keys, int& index) {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == key) {
      index = static_cast<int>(i);
      return 0;
    }
  }
  AddErrTrail("FindRedeemIdx", 815, 1000, "RedeemIdx Find Error !!");
  return 1;
}

int IsP2PKHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2PKH, data, script); }
int IsP2SH_P2WPKHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2SH_P2WPKH, data, script); }
int IsP2WPKHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2WPKH, data, script); }
int IsP2SHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2SH, data, script); }
int IsP2SH_P2WSHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2SH_P2WSH, data, script); }
int IsP2WSHScriptPub(const Bytes& data, const Bytes& script) { return MatchForm(kP2WSH, data, script); }
