#include "eth/signing.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "command/text/text.h"
#include "common/error_chain.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "eth/transaction.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr uint32_t kCurveSecp256k1 = 0;
constexpr size_t kScalarSize = 32;
constexpr int kMaxComponent = 33;

// The group order n of secp256k1, and n / 2: above it S is the high form.
constexpr unsigned char kOrder[kScalarSize] = {
    0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfe,
    0xba, 0xae, 0xdc, 0xe6, 0xaf, 0x48, 0xa0, 0x3b, 0xbf, 0xd2, 0x5e, 0x8c, 0xd0, 0x36, 0x41, 0x41};
constexpr unsigned char kHalfOrder[kScalarSize] = {
    0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0x5d, 0x57, 0x6e, 0x73, 0x57, 0xa4, 0x50, 0x1d, 0xdf, 0xe9, 0x2f, 0x46, 0x68, 0x1b, 0x20, 0xa0};

bool IsCompressedKey(const Bytes& pub) { return pub.size() == 33 && (pub[0] == 0x02 || pub[0] == 0x03); }

// The recovery id as the signer wrote it: 0 or 1, the empty text being 0.
// Any other value would make a v that no node accepts.
bool ReadRecovery(const std::string& text, uint32_t& recovery) {
  if (!IsNumberText(text) || text == "0x") return false;
  try {
    const int32_t value = StrToInt(text);
    if (value != 0 && value != 1) return false;
    recovery = static_cast<uint32_t>(value);
    return true;
  } catch (const std::out_of_range&) {
    return false;
  }
}

// r and s out of the signature form, each length checked before the byte
// that follows it is read. A 33-byte value loses its leading 0x00.
bool ParseSignatureForm(const Bytes& sig, Bytes& r, Bytes& s) {
  if (sig.size() < 4) return false;
  const size_t rl = sig[3];
  if (rl > kMaxComponent || sig.size() < rl + 6) return false;
  const size_t sl = sig[rl + 5];
  if (sl > kMaxComponent || sig.size() < rl + sl + 6) return false;
  r.assign(sig.begin() + 4, sig.begin() + static_cast<long>(4 + rl));
  s.assign(sig.begin() + static_cast<long>(rl + 6), sig.begin() + static_cast<long>(rl + 6 + sl));
  for (Bytes* v : {&r, &s})
    if (v->size() == kMaxComponent && (*v)[0] == 0x00) v->erase(v->begin());
  return true;
}

// A verified component (1 <= value < n) as 32 big-endian bytes.
void ToScalar(const Bytes& value, unsigned char out[kScalarSize]) {
  size_t skip = 0;
  while (skip < value.size() && value[skip] == 0) ++skip;
  const size_t len = value.size() - skip;
  std::fill(out, out + kScalarSize - len, 0);
  std::copy(value.begin() + static_cast<long>(skip), value.end(), out + kScalarSize - len);
}

// S above n / 2 becomes n - S and the recovery id flips: the same signature
// in the only form the chain accepts. S is public here; no secret is near.
void NormaliseLowS(Bytes& s, uint32_t& recovery) {
  unsigned char value[kScalarSize];
  ToScalar(s, value);
  if (!std::lexicographical_compare(kHalfOrder, kHalfOrder + kScalarSize, value, value + kScalarSize)) return;
  unsigned borrow = 0;
  for (size_t i = kScalarSize; i-- > 0;) {
    const unsigned d = static_cast<unsigned>(kOrder[i]) - value[i] - borrow;
    value[i] = static_cast<unsigned char>(d);
    borrow = (d >> 8) & 1;
  }
  s.assign(value, value + kScalarSize);
  recovery ^= 1;
}

}  // namespace

Bytes MakeETHSignatureForm(const Bytes& r, const Bytes& s) {
  Bytes form = {0x30, static_cast<unsigned char>(r.size() + s.size() + 4), 0x02,
                   static_cast<unsigned char>(r.size())};
  form.insert(form.end(), r.begin(), r.end());
  form.push_back(0x02);
  form.push_back(static_cast<unsigned char>(s.size()));
  form.insert(form.end(), s.begin(), s.end());
  return form;
}

int GenerateETHSignInfos(const Json::Value& txinfo, uint64_t chainId, Json::Value& signInfos) {
  constexpr char kFunction[] = "GenerateETHSignInfos";
  uint32_t algo = 0;
  Bytes pub;
  if (!txinfo.isObject() || !txinfo["wallet"].isObject() || GetSignerPub(txinfo["wallet"], algo, pub) != 0 ||
      algo != kAlgoSecp256k1 || !IsCompressedKey(pub))
    return Refuse(kFunction, 343, "wallet is invalid !!");
  Bytes payload;
  if (GenerateETHUnsignedTx(txinfo, payload) != 0) return Refuse(kFunction, 350, "GenerateETHUnsignedTx Error !!");
  Bytes hash;
  if (GenerateETHSignatrueHash(payload, chainId, hash) != 0)
    return Refuse(kFunction, 357, "GenerateETHSignatrueHash Error !!");
  Json::Value info(Json::objectValue);
  info["pubkey"] = BytesToHex(pub);
  info["signaturehash"] = BytesToHex(hash);
  info["unsignedtx"] = BytesToHex(payload);
  info["recovery"] = "";
  info["signature"] = "";
  signInfos[0] = info;
  return 0;
}

int GenerateETHSignature(const Json::Value& txinfo, Json::Value& signInfos) {
  constexpr char kFunction[] = "GenerateETHSignature";
  uint32_t algo = 0;
  Bytes pri;
  if (!txinfo.isObject() || GetSignerPri(txinfo["wallet"], algo, pri) != 0)
    return Refuse(kFunction, 378, "GetSignerPri Error !!");
  const ScopedWipe wipePri(pri.data(), pri.size());
  if (algo != kAlgoSecp256k1) return Refuse(kFunction, 378, "GetSignerPri Error !!");
  if (!signInfos.isArray() || !signInfos[0].isObject() || !signInfos[0]["signaturehash"].isString())
    return Refuse(kFunction, 384, "signatureinfo is not exist !!");
  const Bytes hash = HexToBytes(GetJsonStr(signInfos[0]["signaturehash"], "signaturehash"));
  unsigned char r[kMaxComponent], s[kMaxComponent];
  int rLen = kMaxComponent, sLen = kMaxComponent;
  uint32_t recovery = 0;
  // Low-S form (flag 0), as the chain requires.
  if (BCMGenSignature(kCurveSecp256k1, pri.data(), static_cast<int>(pri.size()), 0, hash.data(),
                      static_cast<int>(hash.size()), 0, r, &rLen, s, &sLen, &recovery) != 0)
    return Refuse(kFunction, 396, "BCMGenSignature Error !!");
  const Bytes form = MakeETHSignatureForm(Bytes(r, r + rLen), Bytes(s, s + sLen));
  signInfos[0]["signature"] = BytesToHex(form);
  signInfos[0]["recovery"] = std::to_string(recovery);
  return 0;
}

int GenerateETHSignedTx(const Json::Value& txinfo, uint64_t chainId, const Bytes& payload,
                        const Json::Value& signInfos, Bytes& signedTx) {
  constexpr char kFunction[] = "GenerateETHSignedTx";
  uint32_t algo = 0;
  Bytes pub;
  if (!txinfo.isObject() || !txinfo["wallet"].isObject() || GetSignerPub(txinfo["wallet"], algo, pub) != 0 ||
      algo != kAlgoSecp256k1)
    return Refuse(kFunction, 422, "txInfo is invalid !!");
  const Json::Value& info = signInfos.isArray() ? signInfos[0] : Json::Value::nullSingleton();
  if (!info.isObject() || !info["pubkey"].isString() || !info["signaturehash"].isString() ||
      !info["signature"].isString() || !info["recovery"].isString())
    return Refuse(kFunction, 430, "jvTxSignInfos[0] is invalid !!");
  Bytes hash;
  if (GenerateETHSignatrueHash(payload, chainId, hash) != 0)
    return Refuse(kFunction, 437, "GenerateETHSignatrueHash Error !!");
  if (HexToBytes(GetJsonStr(info["pubkey"], "pubkey")) != pub || HexToBytes(GetJsonStr(info["signaturehash"], "signaturehash")) != hash)
    return Refuse(kFunction, 444, "jvTxSignInfos[0] is invaild !!");
  const Bytes form = HexToBytes(GetJsonStr(info["signature"], "signature"));
  uint32_t recovery = 0;
  if (!ReadRecovery(GetJsonStr(info["recovery"], "recovery"), recovery)) return Refuse(kFunction, 449, "recovery is not 0 or 1 !!");
  Bytes r, s;
  if (!ParseSignatureForm(form, r, s)) return Refuse(kFunction, 453, "signature is invalid !!");
  if (BCMVerifySignature(kCurveSecp256k1, pub.data(), static_cast<int>(pub.size()), r.data(),
                         static_cast<int>(r.size()), s.data(), static_cast<int>(s.size()), 0, hash.data(),
                         static_cast<int>(hash.size())) != 0)
    return Refuse(kFunction, 465, "signature verify is failed !!");
  NormaliseLowS(s, recovery);
  // v commits to the chain id when there is one (35 + 2 x chain id), else 27.
  const uint64_t v = chainId == 0 ? 27 + recovery : 35 + 2 * chainId + recovery;
  Bytes fields = payload;
  if (SetTxUulDatas(v, fields) != 0 || AppendRLPUInt(r, fields) != 0 || AppendRLPUInt(s, fields) != 0)
    return Refuse(kFunction, 483, "convert to rlp[v,r,s] error !!");
  Bytes list;
  if (AppendRLPBytes(fields, 1, list) != 0) return Refuse(kFunction, 489, "convert to rlp[v,r,s] error !!");
  signedTx = list;
  return 0;
}
