#include "signing.h"

#include <algorithm>
#include <utility>

#include "common/base64_text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "payload.h"
#include "command/text/text.h"
#include "tolvaris/bcm_sign.h"

namespace amo {

namespace {

constexpr uint32_t kP256 = 1;  // curve code of the core's ECDSA exports

std::string UpperHex(const Bytes& bytes) { return ToUpper(RemovePrefix("0x", BytesToHex(bytes))); }

// The value as 32 big-endian bytes; 1 when it does not fit.
int LeftPad32(Bytes& v) {
  if (v.size() > 32) return 1;
  v.insert(v.begin(), 32 - v.size(), 0);
  return 0;
}

// R and S of an envelope 30 L 02 rl R 02 sl S. Only the two lengths are
// read; verification decides the rest. A 33-byte value keeps a leading zero
// of DER, which is dropped. 0, or 1 when the lengths do not fit.
int ReadEnvelope(const Bytes& sig, Bytes& r, Bytes& s) {
  if (sig.size() < 4) return 1;
  const size_t rl = sig[3];
  if (sig.size() < rl + 6) return 1;
  const size_t sl = sig[rl + 5];
  if (rl > 33 || sl > 33) return 1;
  r.assign(sig.begin() + 4, sig.begin() + 4 + static_cast<long>(rl));
  const size_t sEnd = std::min(sig.size(), rl + 6 + sl);
  s.assign(sig.begin() + static_cast<long>(rl + 6), sig.begin() + static_cast<long>(sEnd));
  for (Bytes* v : {&r, &s})
    if (v->size() == 33 && (*v)[0] == 0) v->erase(v->begin());
  return 0;
}

// Text members of a signing-data element ("0x" hex) as bytes; a text that
// is not hex is refused by name.
Bytes HexMember(const Json::Value& entry, const char* key) { return ArgHexToBytes(key, GetJsonStr(entry[key], key)); }

}  // namespace

int GenerateAMOUnsignedTx(const Json::Value& info, const Bytes& pub, uint32_t algo, std::string& body) {
  std::string sender;
  if (GenerateAddrAMO(algo, pub, sender) != 0) {
    AddErrTrail("GenerateAMOUnsignedTx", 840, 1000, "ToDo Add Detail Error Message!!");
    return 1;
  }
  const std::string type = GetJsonStr(info["type"], "type");
  const std::string fee = GetJsonStr(info["fee"], "fee");
  const std::string lastHeight = GetJsonStr(info["last_height"], "last_height");
  const TxType* row = FindTxType(type);
  if (row == nullptr) {
    AddErrTrail("GenerateAMOUnsignedTx", 1008, 1000, "do not support transaction type[" + type + "]");
    return 1;
  }
  std::string payload;
  if (row->build(info["payload"], payload) != 0) {
    AddErrTrail("GenerateAMOUnsignedTx", row->failureLine, 1000, row->failure);
    return 1;
  }
  // Read after the payload: a fee or height that is no number (or beyond 32
  // bits) throws, naming the member, and the request fails as one that
  // cannot be carried out; it is never signed as 0.
  const int32_t feeValue = ArgToInt("fee", fee);
  const int32_t heightValue = ArgToInt("last_height", lastHeight);
  body = "\"type\":\"" + type + "\",\"sender\":\"" + sender + "\",\"fee\":\"" + std::to_string(feeValue) +
         "\",\"last_height\":\"" + std::to_string(heightValue) + "\",\"payload\":" + payload;
  return 0;
}

int GenerateAMOSignatrueHash(const std::string& body, Bytes& digest) {
  const std::string braced = "{" + body + "}";
  if (GenerateHash(Bytes(braced.begin(), braced.end()), 0, digest) != 0) {
    AddErrTrail("GenerateAMOSignatrueHash", 1028, 1000, "ToDo Add Detail Error Message!!");
    return 1;
  }
  return 0;
}

int GenerateAMOSignInfos(const Json::Value& txinfo, Json::Value& signinfos) {
  const Json::Value& wallet = txinfo["wallet"];
  uint32_t algo = 0;
  Bytes pub;
  if (!wallet.isObject() || GetSignerPub(wallet, algo, pub, GetAlgoInfo) != 0 ||
      (algo != kAlgoP256 && algo != kAlgoEd25519)) {
    AddErrTrail("GenerateAMOSignInfos", 1042, 1000, "wallet is invalid !!");
    return 1;
  }
  std::string body;
  if (GenerateAMOUnsignedTx(txinfo, pub, algo, body) != 0) {
    AddErrTrail("GenerateAMOSignInfos", 1049, 1000, "GenerateAMOUnsignedTx Error !!");
    return 1;
  }
  Bytes digest;
  if (GenerateAMOSignatrueHash(body, digest) != 0) {
    AddErrTrail("GenerateAMOSignInfos", 1056, 1000, "GenerateAMOSignatrueHash Error !!");
    return 1;
  }
  Json::Value entry(Json::objectValue);
  entry["pubkey"] = BytesToHex(pub);
  entry["signaturehash"] = BytesToHex(digest);
  entry["unsignedtx"] = BytesToHex(reinterpret_cast<const unsigned char*>(body.data()), body.size());
  entry["signature"] = "";
  if (signinfos.isNull()) signinfos = Json::Value(Json::arrayValue);
  signinfos[0] = entry;
  return 0;
}

int GenerateAMOSignature(const Json::Value& txinfo, Json::Value& signinfos) {
  uint32_t algo = 0;
  Bytes pri;
  if (GetSignerPri(txinfo["wallet"], algo, pri, GetAlgoInfo) != 0) {
    AddErrTrail("GenerateAMOSignature", 1076, 1000, "GetSignerPri Error !!");
    return 1;
  }
  const ScopedWipe wipePri(pri.data(), pri.size());
  const Json::Value& entry = std::as_const(signinfos)[0];
  Bytes sig;
  if (algo == kAlgoEd25519) {
    // Ed25519 signs the body as built, without the braces of the digest.
    const Bytes msg = HexMember(entry, "unsignedtx");
    static const unsigned char kNothing = 0;
    unsigned char buf[64];
    int len = sizeof(buf);
    if (BCMGenSignature_ED(pri.data(), static_cast<int>(pri.size()), msg.empty() ? &kNothing : msg.data(),
                           static_cast<int>(msg.size()), nullptr, 0, 0, buf, &len) != 0) {
      AddErrTrail("GenerateAMOSignature", 1089, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
    sig.assign(buf, buf + len);
  } else {
    const Bytes digest = HexMember(entry, "signaturehash");
    Bytes r(33), s(33);
    int rl = 33, sl = 33;
    uint32_t recid = 0;
    if (BCMGenSignature(kP256, pri.data(), static_cast<int>(pri.size()), 0, digest.data(),
                        static_cast<int>(digest.size()), 0, r.data(), &rl, s.data(), &sl, &recid) != 0) {
      AddErrTrail("GenerateAMOSignature", 1103, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
    r.resize(static_cast<size_t>(rl));
    s.resize(static_cast<size_t>(sl));
    for (Bytes* v : {&r, &s})
      if (v->size() == 33) v->erase(v->begin());
    if (r.size() != 32 || s.size() != 32) {
      AddErrTrail("GenerateAMOSignature", 1113, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
    sig = {0x30, 0x44, 0x02, 0x20};
    sig.insert(sig.end(), r.begin(), r.end());
    sig.push_back(0x02);
    sig.push_back(0x20);
    sig.insert(sig.end(), s.begin(), s.end());
  }
  signinfos[0]["signature"] = BytesToHex(sig);
  return 0;
}

int GenerateAMOSignedTx(const Json::Value& txinfo, const Bytes& body, const Json::Value& signinfos,
                        std::string& tx) {
  uint32_t algo = 0;
  Bytes pub;
  if (GetSignerPub(txinfo["wallet"], algo, pub, GetAlgoInfo) != 0) {
    AddErrTrail("GenerateAMOSignedTx", 1135, 1000, "txInfo is invalid !!");
    return 1;
  }
  const std::string bodyText(body.begin(), body.end());
  Bytes digest;
  if (GenerateAMOSignatrueHash(bodyText, digest) != 0) {
    AddErrTrail("GenerateAMOSignedTx", 1142, 1000, "GenerateAMOSignatrueHash Error !!");
    return 1;
  }
  const Json::Value& entry = signinfos[0];
  if (HexMember(entry, "pubkey") != pub || HexMember(entry, "signaturehash") != digest) {
    AddErrTrail("GenerateAMOSignedTx", 1149, 1000,
                "jvTxSignInfos[0].signaturehash[" + BytesToHex(digest) + "] is invaild !!");
    return 1;
  }
  const Bytes sig = HexMember(entry, "signature");
  Bytes sigOut, pubOut;
  if (algo == kAlgoEd25519) {
    if (sig.size() != 64) {
      AddErrTrail("GenerateAMOSignedTx", 1158, 1000, "signature is invalid !!");
      return 1;
    }
    // Checked here: a signature from outside, or a wallet whose "pub" is not
    // the key of its "pri", would give a transaction the chain rejects.
    static const unsigned char kNothing = 0;
    if (BCMVerifySignature_ED(sig.data(), 64, pub.data(), static_cast<int>(pub.size()),
                              body.empty() ? &kNothing : body.data(), static_cast<int>(body.size()), nullptr, 0,
                              0) != 0) {
      AddErrTrail("GenerateAMOSignedTx", 1179, 1000, "signature verify is failed !!");
      return 1;
    }
    sigOut = sig;
    pubOut = pub;
  } else {
    Bytes r, s;
    if (ReadEnvelope(sig, r, s) != 0) {
      AddErrTrail("GenerateAMOSignedTx", 1167, 1000, "signature is invalid !!");
      return 1;
    }
    // R and S go out as 32 bytes each: the chain reads sig_bytes as two
    // fixed halves, and DER from outside signers drops leading zeros.
    if (BCMVerifySignature(kP256, pub.data(), static_cast<int>(pub.size()), r.data(), static_cast<int>(r.size()),
                           s.data(), static_cast<int>(s.size()), 0, digest.data(),
                           static_cast<int>(digest.size())) != 0 ||
        LeftPad32(r) != 0 || LeftPad32(s) != 0) {
      AddErrTrail("GenerateAMOSignedTx", 1179, 1000, "signature verify is failed !!");
      return 1;
    }
    sigOut = r;
    sigOut.insert(sigOut.end(), s.begin(), s.end());
    if (ConvertCompressPubToUnCompressPub(pub, pubOut) != 0) {
      AddErrTrail("GenerateAMOSignedTx", 1191, 1000, "ToDo Add Detail Error Message!!");
      return 1;
    }
  }
  const std::string text =
      "{" + bodyText + ",\"signature\":{\"pubkey\":\"" + UpperHex(pubOut) + "\",\"sig_bytes\":\"" + UpperHex(sigOut) +
      "\"}}";
  if (EncodeBase64(text, tx) != 0) {
    AddErrTrail("GenerateAMOSignedTx", 1212, 1000, "BCMGenBase64Encode Error");
    return 1;
  }
  return 0;
}

}  // namespace amo
