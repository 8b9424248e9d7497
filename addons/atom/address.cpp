#include "atom/address.h"

#include "atom/bech32.h"
#include "command/text/text.h"
#include "common/ed25519_key.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "tolvaris/bcm_hd.h"

namespace {

constexpr char kUnknown[] = "ToDo Add Detail Error Message!!";

// Amino prefixes of the two key types the chain knows.
constexpr char kSecpAmino[] = "0xEB5AE987";
constexpr char kEdAmino[] = "0x1624DE64";

// A key the chain can use: a 33-byte secp256k1 point or 32 Ed25519 bytes
// (which IsUnsignableEd25519Key checks further).
bool IsUsableKey(uint32_t algo, const Bytes& pub) {
  if (algo == kAlgoEd25519) return pub.size() == 32;
  if (algo != kAlgoSecp256k1 || pub.size() != 33) return false;
  unsigned char y[33];
  int yLen = sizeof y;
  return BCMGetPubYFromCompPub(0, pub.data(), static_cast<int>(pub.size()), y, &yLen) == 0;
}

// Ed25519 bytes that are no point of the prime-order subgroup: an address or
// a consensus key of them could never sign, and what is sent there is lost.
bool IsUnsignableEd25519Key(uint32_t algo, const Bytes& pub) {
  return algo == kAlgoEd25519 && !IsEd25519PublicKey(pub);
}

}  // namespace

int GenerateATOMAddress(uint32_t algo, const std::string& prefix, const Bytes& pub, std::string& out) {
  if (!IsAtomAddressPrefix(prefix) || !IsUsableKey(algo, pub)) {
    AddErrTrail("GenerateATOMAddress", 213, 1000, kUnknown);
    return 1;
  }
  if (IsUnsignableEd25519Key(algo, pub)) {
    AddErrTrail("GenerateATOMAddress", 217, 1000, kNotCurvePoint);
    return 1;
  }
  Bytes payload;
  if (GenerateHash(pub, algo == kAlgoEd25519 ? 0 : 1, payload) != 0) return 1;
  payload.resize(20);
  if (GenerateATOMBech32Encode(prefix, payload, out) != 0) {
    AddErrTrail("GenerateATOMAddress", 226, 1000, kUnknown);
    return 1;
  }
  return 0;
}

int GenerateATOMPubEncode(uint32_t algo, const std::string& prefix, const Bytes& pub, std::string& out) {
  if (!IsAtomPubPrefix(prefix) || !IsUsableKey(algo, pub)) {
    AddErrTrail("GenerateATOMPubEncode", 255, 1000, kUnknown);
    return 1;
  }
  if (IsUnsignableEd25519Key(algo, pub)) {
    AddErrTrail("GenerateATOMPubEncode", 259, 1000, kNotCurvePoint);
    return 1;
  }
  Bytes payload = HexToBytes(algo == kAlgoEd25519 ? kEdAmino : kSecpAmino);
  payload.push_back(static_cast<unsigned char>(pub.size()));
  payload.insert(payload.end(), pub.begin(), pub.end());
  if (GenerateATOMBech32Encode(prefix, payload, out) != 0) {
    AddErrTrail("GenerateATOMPubEncode", 266, 1000, kUnknown);
    return 1;
  }
  return 0;
}

int GetSignerAddr(const Json::Value& wallet, const std::string& prefix, std::string& out) {
  uint32_t algo = 0;
  Bytes pub;
  if (GetSignerPub(wallet, algo, pub) != 0) {
    AddErrTrail("GetSignerAddr", 49, 1000, "GetSignerPub Error !!");
    return 1;
  }
  // A "pub" beside "pri" names the signer while "pri" signs: they must be
  // one key, or the transaction names one account and is signed by another.
  if (HasJsonStrs(wallet, {"pub", "pri"})) {
    uint32_t priAlgo = 0;
    Bytes pri;
    const ScopedBytesWipe wipePri(pri);
    Bytes derived;
    const bool ok = GetSignerPri(wallet, priAlgo, pri) == 0 && GetPubFromPri(pri, priAlgo, derived) == 0;
    if (!ok || derived != pub) {
      AddErrTrail("GetSignerAddr", 52, 1000, "wallet pub does not match pri !!");
      return 1;
    }
  }
  if (GenerateATOMAddress(algo, prefix, pub, out) != 0) {
    AddErrTrail("GetSignerAddr", 56, 1000, "GenerateATOMAddress Error !!");
    return 1;
  }
  return 0;
}

int GetPub(const Json::Value& pubs, uint32_t expectedLen, Bytes& out) {
  if (!pubs.isArray()) {
    AddErrTrail("GetPub", 389, 1000, "object is invalid(pubs)");
    return 1;
  }
  if (pubs.empty() || !pubs[0].isObject() || !pubs[0]["pub"].isString()) {
    AddErrTrail("GetPub", 397, 1000, "object is not exist(pub)");
    return 1;
  }
  Bytes key = ArgHexToBytes("pub", GetJsonStr(pubs[0]["pub"], "pub"));
  if (key.size() != expectedLen) {
    AddErrTrail(
        "GetPub", 405, 1000,
        "pub is invalid(size[" + std::to_string(key.size()) + "] is not [" + std::to_string(expectedLen) + "])");
    return 1;
  }
  out = std::move(key);
  return 0;
}

int GenAddr_ATOM(Json::Value& args) {
  const Json::Value info = args["addrinfo"];
  if (!info.isObject()) {
    AddErrTrail("GenAddr_ATOM", 1072, 1000, "object is not exist(addrinfo)");
    return 1;
  }
  if (!info["addr_type"].isString() || !info["pubs"].isArray()) {
    AddErrTrail("GenAddr_ATOM", 1079, 1000, "object is not exist(addr_type or pubs)");
    return 1;
  }
  uint32_t algo = 0;
  uint32_t pubSize = 0;
  GetAlgoInfo(GetJsonStr(info["algo"], "algo"), algo, nullptr, &pubSize);
  const AtomRole* role = FindAtomRole(GetJsonStr(info["addr_type"], "addr_type"));
  if (role == nullptr) {
    AddErrTrail("GenAddr_ATOM", 1095, 1000, "Not Support Addr Type(account or validator or consensus)");
    return 1;
  }
  Bytes key;
  if (GetPub(info["pubs"], pubSize, key) != 0) {
    AddErrTrail("GenAddr_ATOM", 1102, 1000, "GetPubs Error");
    return 1;
  }
  std::string addr;
  if (GenerateATOMAddress(algo, role->addressPrefix, key, addr) != 0) {
    AddErrTrail("GenAddr_ATOM", 1115, 1000, "GenerateAddress Error");
    return 1;
  }
  ReplaceJson(args["addr"], addr);
  return 0;
}

int GenPubEncode_ATOM(Json::Value& args) {
  const Json::Value info = args["pubinfo"];
  if (!info.isObject()) {
    AddErrTrail("GenPubEncode_ATOM", 1127, 1000, "object is not exist(pubinfo)");
    return 1;
  }
  if (!info["pub"].isString() || !info["pub_type"].isString()) {
    AddErrTrail("GenPubEncode_ATOM", 1134, 1000, "object is not exist(pubs or pub_type)");
    return 1;
  }
  uint32_t algo = 0;
  uint32_t pubSize = 0;
  GetAlgoInfo(GetJsonStr(info["algo"], "algo"), algo, nullptr, &pubSize);
  const AtomRole* role = FindAtomRole(GetJsonStr(info["pub_type"], "pub_type"));
  if (role == nullptr) {
    AddErrTrail("GenPubEncode_ATOM", 1148, 1000, "Not Support Pub Type(account or validator or consensus)");
    return 1;
  }
  const Bytes key = ArgHexToBytes("pub", GetJsonStr(info["pub"], "pub"));
  if (key.size() != pubSize) {
    AddErrTrail(
        "GenPubEncode_ATOM", 1156, 1000,
        "Pub Format Error ( Cur Len[" + std::to_string(key.size()) + "] is not [" + std::to_string(pubSize) + "]");
    return 1;
  }
  std::string encode;
  if (GenerateATOMPubEncode(algo, role->pubPrefix, key, encode) != 0) {
    AddErrTrail("GenPubEncode_ATOM", 1163, 1000, "GeneratePubEncode Error");
    return 1;
  }
  ReplaceJson(args["encode"], encode);
  return 0;
}
