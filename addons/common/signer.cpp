#include "common/signer.h"

#include <string>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "tolvaris/bcm_hd.h"

void GetAlgoInfo(std::string_view name, uint32_t& algo, uint32_t* priSize, uint32_t* pubSize) {
  const std::string upper = ToUpper(name);
  uint32_t pub = 33;
  if (upper == "ED25519") {
    algo = kAlgoEd25519;
    pub = 32;
  } else if (upper == "SECP256R1" || upper == "P256") {
    algo = kAlgoP256;
  } else {
    algo = kAlgoSecp256k1;
  }
  if (priSize != nullptr) *priSize = 32;
  if (pubSize != nullptr) *pubSize = pub;
}

namespace {

// The bytes of the wallet's key text `name`, read in place (no copy of the
// text); false with `function`:`line` recorded when the text is refused (a
// "0x" text with a character that is not a hex digit, a NUL character).
bool KeyBytes(const Json::Value& wallet, const char* name, const char* function, uint32_t line, Bytes& key) {
  try {
    key = ArgHexToBytes(name, GetJsonStrView(wallet[name], name));
  } catch (const ArgumentRefused& e) {
    AddErrTrail(function, line, 1000, std::string(e.what()) + " !!");
    return false;
  }
  return true;
}

}  // namespace

int GetSignerPri(const Json::Value& wallet, uint32_t& algo, Bytes& pri, AlgoParser parse) {
  if (!wallet.isObject() || !wallet["pri"].isString()) {
    AddErrTrail("GetSignerPri", 450, 1000, "wallet is invalid(pri) !!");
    return 1;
  }
  uint32_t priSize = 32;
  parse(GetJsonStr(wallet["algo"], "algo"), algo, &priSize, nullptr);
  Bytes key;
  const ScopedBytesWipe wipeKey(key);
  if (!KeyBytes(wallet, "pri", "GetSignerPri", 455, key)) return 1;
  if (key.size() != priSize) {
    AddErrTrail("GetSignerPri", 460, 1000, "private Size not [" + std::to_string(priSize) + "]byte !!");
    return 1;
  }
  WipeVector(pri);
  pri.swap(key);
  return 0;
}

int GetPubFromPri(const Bytes& pri, uint32_t algo, Bytes& pub) {
  if (pri.size() != 32) {
    AddErrTrail("GetPubFromPri", 472, 1000, "private Size not 32byte !!");
    return 1;
  }
  unsigned char key[33];
  int len = 0;
  if (algo == kAlgoEd25519) {
    len = 32;
    if (BCMGenPubkeyFromPriKey_ED(pri.data(), 32, key, &len) != 0) {
      AddErrTrail("GetPubFromPri", 483, 1000, "BCMGenPubkeyFromPriKey_ED Error !!");
      return 1;
    }
  } else {
    len = 33;
    if (BCMGenPubkeyFromPriKey(CurveOf(algo), pri.data(), 32, key, &len) != 0) {
      AddErrTrail("GetPubFromPri", 493, 1000, "BCMGenPubkeyFromPriKey Error !!");
      return 1;
    }
  }
  pub.assign(key, key + len);
  return 0;
}

int GetSignerPub(const Json::Value& wallet, uint32_t& algo, Bytes& pub, AlgoParser parse) {
  if (wallet.isObject() && IsJsonText(wallet["pub"], "pub")) {
    uint32_t pubSize = 33;
    parse(GetJsonStr(wallet["algo"], "algo"), algo, nullptr, &pubSize);
    Bytes key;
    if (!KeyBytes(wallet, "pub", "GetSignerPub", 525, key)) return 1;
    if (key.size() != pubSize) {
      AddErrTrail("GetSignerPub", 529, 1000, "public Size not [" + std::to_string(pubSize) + "]byte !!");
      return 1;
    }
    pub.swap(key);
    return 0;
  }
  Bytes pri;
  const ScopedBytesWipe wipePri(pri);
  if (GetSignerPri(wallet, algo, pri, parse) != 0) {
    AddErrTrail("GetSignerPub", 511, 1000, "GetSignerPri Error !!");
    return 1;
  }
  const int rc = GetPubFromPri(pri, algo, pub);
  if (rc != 0) {
    AddErrTrail("GetSignerPub", 517, 1000, "GetPubFromPri Error !!");
    return 1;
  }
  return 0;
}
