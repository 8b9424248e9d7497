#include "address.h"

#include <algorithm>

#include "command/text/text.h"
#include "common/ed25519_key.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "tolvaris/bcm_hd.h"

namespace amo {

namespace {

constexpr size_t kP256Compressed = 33;
constexpr size_t kP256Uncompressed = 65;
constexpr size_t kEd25519Pub = 32;

// Y of the compressed key (prefix byte and X), from the core; 0 or 1.
int DecompressY(const unsigned char* prefixAndX, Bytes& y) {
  unsigned char buf[64] = {};
  int len = sizeof(buf);
  if (BCMGetPubYFromCompPub(1, prefixAndX, static_cast<int>(kP256Compressed), buf, &len) != 0 || len != 32) return 1;
  y.assign(buf, buf + len);
  return 0;
}

}  // namespace

void GetAlgoInfo(std::string_view name, uint32_t& algo, uint32_t* priSize, uint32_t* pubSize) {
  const bool ed = ToUpper(name) == "ED25519";
  algo = ed ? kAlgoEd25519 : kAlgoP256;
  if (priSize != nullptr) *priSize = 32;
  if (pubSize != nullptr) *pubSize = ed ? 32 : 33;
}

std::string RemovePrefix(std::string_view prefix, std::string_view value) {
  if (value.size() >= prefix.size() && value.substr(0, prefix.size()) == prefix)
    return std::string(value.substr(prefix.size()));
  return std::string(value);
}

int ConvertCompressPubToUnCompressPub(const Bytes& pub, Bytes& out) {
  Bytes y;
  if (pub.size() == kP256Uncompressed) {
    // An uncompressed key must be a point: compress it by Y's parity and let
    // the core give the one Y that belongs to X with that parity. A key that
    // is no point would give an address nobody controls.
    unsigned char compressed[kP256Compressed];
    compressed[0] = static_cast<unsigned char>(0x02 | (pub[64] & 1));
    std::copy(pub.begin() + 1, pub.begin() + 33, compressed + 1);
    if (pub[0] != 0x04 || DecompressY(compressed, y) != 0 || !std::equal(y.begin(), y.end(), pub.begin() + 33)) {
      AddErrTrail("ConvertCompressPubToUnCompressPub", 32, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
    out = pub;
    return 0;
  }
  unsigned char buf[64] = {};
  int len = sizeof(buf);
  if (BCMGetPubYFromCompPub(1, pub.data(), static_cast<int>(pub.size()), buf, &len) != 0) {
    AddErrTrail("ConvertCompressPubToUnCompressPub", 32, 1000, "ToDo Add Detail Error Message!!");
    return 1;
  }
  out.clear();
  out.push_back(0x04);
  out.insert(out.end(), pub.begin() + 1, pub.begin() + 33);
  out.insert(out.end(), buf, buf + len);
  return 0;
}

int GenerateAddrAMO(uint32_t algo, const Bytes& pub, std::string& addr) {
  Bytes key;
  if (algo == kAlgoEd25519) {
    if (pub.size() != kEd25519Pub) {
      AddErrTrail("GenerateAddrAMO", 48, 1000,
                  "Pub Format Error ( Cur Len[" + std::to_string(pub.size()) + "] is not [32]");
      return 1;
    }
    // 32 bytes that are no point of the prime-order subgroup: nobody could
    // sign for the address, and what is sent there is lost.
    if (!IsEd25519PublicKey(pub)) {
      AddErrTrail("GenerateAddrAMO", 52, 1000, kNotCurvePoint);
      return 1;
    }
    key = pub;
  } else {
    if (pub.size() != kP256Compressed && pub.size() != kP256Uncompressed) {
      AddErrTrail("GenerateAddrAMO", 48, 1000,
                  "Pub Format Error ( Cur Len[" + std::to_string(pub.size()) + "] is not [33 or 65]");
      return 1;
    }
    if (ConvertCompressPubToUnCompressPub(pub, key) != 0) {
      AddErrTrail("GenerateAddrAMO", 57, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
  }
  Bytes digest;
  if (GenerateHash(key, 0, digest) != 0) {
    AddErrTrail("GenerateAddrAMO", 65, 1000, "ToDo Add Detail Error Message!!");
    return 1;
  }
  digest.resize(20);
  addr = ToUpper(RemovePrefix("0x", BytesToHex(digest)));
  return 0;
}

int GenAddr_AMO(Json::Value& args) {
  // Looked up in place: a missing "addrinfo" stays in the reply as null.
  const Json::Value& addrinfo = args["addrinfo"];
  if (!addrinfo.isObject()) {
    AddErrTrail("GenAddr_AMO", 82, 1000, "object is not exist(addrinfo)");
    return 1;
  }
  const Json::Value& pubs = addrinfo["pubs"];
  if (!pubs.isArray()) {
    AddErrTrail("GenAddr_AMO", 89, 1000, "object is not exist(pubs)");
    return 1;
  }
  uint32_t algo = 0;
  GetAlgoInfo(GetJsonStr(addrinfo["algo"], "algo"), algo, nullptr, nullptr);
  const Json::Value& first = pubs[0];
  if (!first.isObject() || !first["pub"].isString()) {
    AddErrTrail("GenAddr_AMO", 101, 1000, "object is not exist(pub)");
    return 1;
  }
  std::string addr;
  if (GenerateAddrAMO(algo, ArgHexToBytes("pub", GetJsonStr(first["pub"], "pub")), addr) != 0) {
    AddErrTrail("GenAddr_AMO", 109, 1000, "ToDo Add Detail Error Message!!");
    return 1;
  }
  ReplaceJson(args["addr"], addr);
  return 0;
}

}  // namespace amo
