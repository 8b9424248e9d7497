#include "btc/address.h"

#include <stdexcept>

#include "btc/bech32.h"
#include "btc/params.h"
#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/network.h"
#include "tolvaris/bcm_codec.h"
#include "tolvaris/bcm_hd.h"

namespace {

constexpr int kMaxMultisigKeys = 16;
// The largest script a legacy P2SH spend can push.
constexpr size_t kMaxPushedScript = 520;

// The lines of GetPubs' checks of one key: the first key's or a later key's.
struct KeyLines {
  uint32_t missing, notHex, size, compressed, uncompressed, notOnCurve;
};
constexpr KeyLines kFirstKey = {315, 318, 322, 328, 333, 338};
constexpr KeyLines kLaterKey = {345, 348, 352, 358, 363, 368};

// Whether a 33-byte (02/03) or 65-byte (04) key is a point of secp256k1.
bool IsCurvePoint(const Bytes& key) {
  unsigned char compressed[33];
  compressed[0] = key.size() == 65 ? static_cast<unsigned char>(0x02 | (key[64] & 1)) : key[0];
  for (int i = 0; i < 32; ++i) compressed[1 + i] = key[1 + i];
  unsigned char y[33];
  int yLen = sizeof y;
  if (BCMGetPubYFromCompPub(0, compressed, 33, y, &yLen) != 0 || yLen != 32) return false;
  if (key.size() == 33) return true;
  for (int i = 0; i < 32; ++i)
    if (y[i] != key[33 + i]) return false;
  return true;
}

// Reads and checks one "pubs" element.
int ReadKey(const Json::Value& element, const KeyLines& lines, Bytes& key) {
  if (!element.isObject() || !element["pub"].isString()) {
    AddErrTrail("GetPubs", lines.missing, 1000, "object is not exist(pub)");
    return 1;
  }
  try {
    key = ArgHexToBytes("pub", GetJsonStr(element["pub"], "pub"));
  } catch (const ArgumentRefused& e) {
    AddErrTrail("GetPubs", lines.notHex, 1000, std::string(e.what()) + " !!");
    return 1;
  }
  const int first = key.empty() ? 0 : static_cast<signed char>(key[0]);
  if (key.size() == 33 && key[0] != 0x02 && key[0] != 0x03) {
    AddErrTrail("GetPubs", lines.compressed, 1000,
                "compress pub is invalid(2 or 3 prefix[" + std::to_string(first) + "])");
    return 1;
  }
  if (key.size() == 65 && key[0] != 0x04) {
    AddErrTrail("GetPubs", lines.uncompressed, 1000,
                "uncompress pub is invalid(4 prefix[" + std::to_string(first) + "])");
    return 1;
  }
  if (key.size() != 33 && key.size() != 65) {
    AddErrTrail("GetPubs", lines.size, 1000, "pub is invalid(size is not 33 , 65)");
    return 1;
  }
  // An address of a key that is no point can never be spent from.
  if (!IsCurvePoint(key)) {
    AddErrTrail("GetPubs", lines.notOnCurve, 1000, "pub is invalid(not a curve point)");
    return 1;
  }
  return 0;
}

// A count of "msig": decimal or "0x" hex; false when it does not convert.
bool ReadCount(const Json::Value& text, const char* name, int& count) {
  try {
    count = ArgToInt(name, GetJsonStr(text, name));
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  } catch (const std::out_of_range&) {
    return false;
  }
}

bool IsKeyType(int code) {
  return code == kAddrP2PKH || code == kAddrP2SH_P2WPKH || code == kAddrP2WPKH || code == kAddrP2PKH_BitPay ||
         code == kAddrP2PKH_Cash;
}
bool IsSegwitType(int code) {
  return code == kAddrP2SH_P2WPKH || code == kAddrP2WPKH || code == kAddrP2SH_P2WSH || code == kAddrP2WSH;
}
bool IsPushedScriptType(int code) {
  return code == kAddrP2SH || code == kAddrP2SH_BitPay || code == kAddrP2SH_Cash;
}

// Whether the key data suits the type: a key type takes one key, a script
// type a multisig script; segwit takes compressed keys only; a legacy P2SH
// script must fit one push.
bool SuitsType(int code, const KeyData& keyData) {
  if (IsKeyType(code) != (keyData.keys == 1)) return false;
  if (!IsKeyType(code) && keyData.keys < 2) return false;
  if (IsSegwitType(code) && keyData.uncompressed) return false;
  if (IsPushedScriptType(code) && keyData.data.size() > kMaxPushedScript) return false;
  return true;
}

}  // namespace

int MakeWitnessProgram(const Bytes& data, unsigned char hashKind, Bytes& program) {
  Bytes hash;
  if (GenerateHash(data, hashKind, hash) != 0) {
    AddErrTrail("MakeWitnessProgram", 115, 1000, "GenerateHash Error !!");
    return 1;
  }
  const Bytes pushed = MakeVarBytes(hash);
  program.assign(1, 0x00);
  program.insert(program.end(), pushed.begin(), pushed.end());
  return 0;
}

int MakeWitnessHash(const Bytes& data, unsigned char hashKind, Bytes& hash) {
  Bytes program;
  if (MakeWitnessProgram(data, hashKind, program) != 0) {
    AddErrTrail("MakeWitnessHash", 127, 1000, "MakeWitnessProgram Error !!");
    return 1;
  }
  if (GenerateHash(program, 1, hash) != 0) {
    AddErrTrail("MakeWitnessHash", 133, 1000, "GenerateHash Error !!");
    return 1;
  }
  return 0;
}

int GenerateBTCLegacyAddr(unsigned char version, int code, unsigned char hashKind, const Bytes& keyData,
                          std::string& address) {
  Bytes hash;
  if (code == kAddrP2SH_P2WPKH || code == kAddrP2SH_P2WSH) {
    if (MakeWitnessHash(keyData, hashKind, hash) != 0) {
      AddErrTrail("GenerateBTCLegacyAddr", 284, 1000, "MakeWitnessHash Error !!");
      return 1;
    }
  } else if (GenerateHash(keyData, hashKind, hash) != 0) {
    AddErrTrail("GenerateBTCLegacyAddr", 276, 1000, "GenerateHash Error !!");
    return 1;
  }
  Bytes payload(1, version);
  payload.insert(payload.end(), hash.begin(), hash.end());
  std::string text(payload.size() * 2, '\0');
  uint32_t len = static_cast<uint32_t>(text.size());
  if (BCMGenBase58CheckEncode(0, payload.data(), static_cast<uint32_t>(payload.size()), text.data(), &len) != 0) {
    AddErrTrail("GenerateBTCLegacyAddr", 294, 2000, "BCMGenBase58CheckEncode Error !!");
    return 1;
  }
  text.resize(len);
  address = text;
  return 0;
}

namespace {

// 8-bit bytes to 5-bit values (zero-padded), as the core regroups them.
bool ToFiveBit(const Bytes& data, Bytes& values) {
  values.assign((data.size() * 8 + 1) / 5 + 1, 0);
  uint32_t len = static_cast<uint32_t>(values.size());
  if (BCMConvBitToBit(data.data(), static_cast<uint32_t>(data.size()), 8, 5, values.data(), &len) != 0) return false;
  values.resize(len);
  return true;
}

// 5-bit values to the bech32 characters.
bool ToBase32Text(const Bytes& values, std::string& text) {
  text.assign(values.size() * 4 / 3 + 4, '\0');
  uint32_t len = static_cast<uint32_t>(text.size());
  if (BCMGenBase32Encode(values.data(), static_cast<uint32_t>(values.size()), text.data(), &len) != 0) return false;
  text.resize(len);
  return true;
}

}  // namespace

int GenerateBTCBech32Addr(const std::string& coin, const std::string& hrp, const Bytes& hash, std::string& text) {
  if (IsHRPStr(coin, hrp) != 0) return 1;
  Bytes values;
  if (!ToFiveBit(hash, values)) {
    AddErrTrail("GenerateBTCBech32Addr", 243, 2000, "BCMConvBitToBit Error !!");
    return 1;
  }
  values.insert(values.begin(), 0x00);
  GenerateBTCBech32CheckSum(hrp, values, values);
  if (!ToBase32Text(values, text)) {
    AddErrTrail("GenerateBTCBech32Addr", 259, 2000, "BCMGenBase32Encode Error !!");
    return 1;
  }
  return 0;
}

int GenerateCashAddr(const std::string& coin, const std::string& prefix, unsigned char typeBits, const Bytes& hash,
                     std::string& text) {
  if (IsHRPStr(coin, prefix) != 0) return 1;
  // Size code 0: a 20-byte hash.
  Bytes payload(1, typeBits);
  payload.insert(payload.end(), hash.begin(), hash.end());
  Bytes values;
  if (!ToFiveBit(payload, values)) {
    AddErrTrail("GenerateCashAddr", 139, 2000, "BCMConvBitToBit Error !!");
    return 1;
  }
  GenerateCashAddrCheckSum(prefix, values, values);
  if (!ToBase32Text(values, text)) {
    AddErrTrail("GenerateCashAddr", 155, 2000, "BCMGenBase32Encode Error !!");
    return 1;
  }
  return 0;
}

int GenerateBTCAddress(const std::string& coin, const std::string& network, const std::string& addrType,
                       const KeyData& keyData, std::string& address) {
  unsigned char hashKind = 1;
  Bytes prefix;
  const int code = GetAddrTypeInfo(coin, network, addrType, hashKind, prefix);
  if (code == kAddrUnsupported || !SuitsType(code, keyData)) {
    AddErrTrail("GenerateBTCAddress", 382, 1000, "not support addr type[" + addrType + "] !!");
    return 1;
  }
  if (code == kAddrP2WPKH || code == kAddrP2WSH || code == kAddrP2PKH_Cash || code == kAddrP2SH_Cash) {
    Bytes hash;
    if (GenerateHash(keyData.data, hashKind, hash) != 0) {
      AddErrTrail("GenerateBTCAddress", 407, 1000, "GenerateHash Error !!");
      return 1;
    }
    const std::string text(prefix.begin(), prefix.end());
    std::string data;
    if (code == kAddrP2PKH_Cash || code == kAddrP2SH_Cash) {
      if (GenerateCashAddr(coin, text, code == kAddrP2SH_Cash ? 8 : 0, hash, data) != 0) {
        AddErrTrail("GenerateBTCAddress", 418, 1000, "GenerateCashAddr Error !!");
        return 1;
      }
    } else if (GenerateBTCBech32Addr(coin, text, hash, data) != 0) {
      AddErrTrail("GenerateBTCAddress", 424, 1000, "GenerateBTCBech32Addr Error !!");
      return 1;
    }
    address = text + data;
    return 0;
  }
  if (GenerateBTCLegacyAddr(prefix[0], code, hashKind, keyData.data, address) != 0) {
    AddErrTrail("GenerateBTCAddress", 394, 1000, "GenerateBTCLegacyAddr Error !!");
    return 1;
  }
  return 0;
}

int GetPubs(Json::Value& pubs, int needsigcnt, int totalsigcnt, KeyData& keyData) {
  if (!pubs.isArray() || pubs.size() != static_cast<Json::ArrayIndex>(totalsigcnt) || totalsigcnt < 1) {
    AddErrTrail("GetPubs", 307, 1000, "object is invalid(pubs)");
    return 1;
  }
  const Json::Value& list = pubs;
  Bytes key;
  if (ReadKey(list[0], kFirstKey, key) != 0) return 1;
  keyData = KeyData();
  keyData.keys = static_cast<size_t>(totalsigcnt);
  keyData.uncompressed = key.size() == 65;
  if (totalsigcnt < 2) {
    keyData.data = key;
    return 0;
  }
  Bytes& script = keyData.data;
  script.push_back(needsigcnt < 1 ? 0x00 : static_cast<unsigned char>(0x50 + needsigcnt));
  Bytes pushed = MakeVarBytes(key);
  script.insert(script.end(), pushed.begin(), pushed.end());
  for (Json::ArrayIndex i = 1; i < list.size(); ++i) {
    if (ReadKey(list[i], kLaterKey, key) != 0) return 1;
    keyData.uncompressed = keyData.uncompressed || key.size() == 65;
    pushed = MakeVarBytes(key);
    script.insert(script.end(), pushed.begin(), pushed.end());
  }
  script.push_back(static_cast<unsigned char>(0x50 + totalsigcnt));
  script.push_back(0xAE);
  return 0;
}

int GenAddr_BTC(Json::Value& args, const std::string& coin) {
  Json::Value& info = args["addrinfo"];
  if (!info.isObject() || !info["pubs"].isArray()) {
    AddErrTrail("GenAddr_BTC", 443, 1000, "object is not addrinfo.pubs is invalid !!");
    return 1;
  }
  const std::string network = GetNetwork(args);
  Json::Value& pubs = info["pubs"];
  int n = 1;
  int m = 1;
  std::string type;
  Json::Value& addrType = info["addr_type"];
  if (IsJsonText(addrType, "addr_type")) {
    type = GetJsonStr(addrType, "addr_type");
    Json::Value& msig = info["msig"];
    if (msig.isArray()) {
      Json::Value& first = msig[0];
      if (first.isObject()) {
        Json::Value& total = first["totalsigcnt"];
        Json::Value& need = first["needsigcnt"];
        if (HasJsonStrs(first, {"totalsigcnt", "needsigcnt"})) {
          const int count = static_cast<int>(pubs.size());
          int t = 0;
          if (!ReadCount(total, "totalsigcnt", t)) {
            AddErrTrail("GenAddr_BTC", 471, 1000, "msig info is invalid !!");
            return 1;
          }
          if (count != t) {
            AddErrTrail("GenAddr_BTC", 464, 1000, "msig info is invalid !!");
            return 1;
          }
          n = count;
          // Counts above 16 would write bytes that are other opcodes.
          if (!ReadCount(need, "needsigcnt", m) || m < 1 || m > n || n > kMaxMultisigKeys) {
            AddErrTrail("GenAddr_BTC", 471, 1000, "msig info is invalid !!");
            return 1;
          }
        }
      }
    }
  } else {
    type = "p2pkh";
  }
  KeyData keyData;
  if (GetPubs(pubs, m, n, keyData) != 0) {
    AddErrTrail("GenAddr_BTC", 480, 1000, "GetPubs Error");
    return 1;
  }
  std::string address;
  if (GenerateBTCAddress(coin, network, type, keyData, address) != 0) {
    AddErrTrail("GenAddr_BTC", 487, 1000, "GenerateAddr Error");
    return 1;
  }
  ReplaceJson(args["addr"], address);
  return 0;
}
