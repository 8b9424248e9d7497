#include "atom/signing.h"

#include "command/text/text.h"
#include "common/base64_text.h"
#include "common/error_chain.h"
#include "common/hashing.h"
#include "common/json_io.h"
#include "common/signer.h"
#include "tolvaris/bcm_sign.h"

namespace {

constexpr char kUnknown[] = "ToDo Add Detail Error Message!!";

// R and S of a low-S secp256k1 signature over SHA-256 of the bytes, 32 bytes
// each, checked against the public key. 0, or the failing step's line.
uint32_t SignSecp256k1(const Bytes& pri, const Bytes& pub, const std::string& bytes, Bytes& sig) {
  Bytes digest;
  if (GenerateHash(Bytes(bytes.begin(), bytes.end()), 0, digest) != 0) return 340;
  unsigned char r[33], s[33];
  int rLen = sizeof r, sLen = sizeof s;
  uint32_t recid = 0;
  if (BCMGenSignature(0, pri.data(), static_cast<int>(pri.size()), 0, digest.data(), static_cast<int>(digest.size()), 0,
                      r, &rLen, s, &sLen, &recid) != 0)
    return 349;
  const unsigned char* rp = r + (rLen == 33 ? 1 : 0);
  const unsigned char* sp = s + (sLen == 33 ? 1 : 0);
  if (rLen - (rp - r) != 32 || sLen - (sp - s) != 32) return 359;
  sig.assign(rp, rp + 32);
  sig.insert(sig.end(), sp, sp + 32);
  if (BCMVerifySignature(0, pub.data(), static_cast<int>(pub.size()), rp, 32, sp, 32, 0, digest.data(),
                         static_cast<int>(digest.size())) != 0)
    return 364;
  return 0;
}

uint32_t SignEd25519(const Bytes& pri, const Bytes& pub, const std::string& bytes, Bytes& sig) {
  const auto* msg = reinterpret_cast<const unsigned char*>(bytes.data());
  sig.assign(64, 0);
  int sigLen = 64;
  if (BCMGenSignature_ED(pri.data(), static_cast<int>(pri.size()), msg, static_cast<int>(bytes.size()), nullptr, 0, 0,
                         sig.data(), &sigLen) != 0 ||
      sigLen != 64)
    return 330;
  if (BCMVerifySignature_ED(sig.data(), 64, pub.data(), static_cast<int>(pub.size()), msg,
                            static_cast<int>(bytes.size()), nullptr, 0, 0) != 0)
    return 364;
  return 0;
}

}  // namespace

std::string MakeATOMSignBytes(const std::string& accnum, const std::string& chainid, const AminoValue& fee,
                              const std::string& memo, const AminoValue& msgs, const std::string& seq) {
  return WriteAminoSorted(AminoValue::Object()
                              .Add("account_number", AminoValue::Text(accnum))
                              .Add("chain_id", AminoValue::Text(chainid))
                              .Add("fee", fee)
                              .Add("memo", AminoValue::Text(memo))
                              .Add("msgs", msgs)
                              .Add("sequence", AminoValue::Text(seq)));
}

int GenerateATOMMSGSignature(const Json::Value& wallet, const std::string& chainid, const AminoValue& fee,
                             const std::string& memo, const AminoValue& msgs, AminoValue& out) {
  constexpr char kName[] = "GenerateATOMMSGSignature";
  if (!wallet.isObject() || !wallet["accnum"].isString() || !wallet["seq"].isString())
    return Refuse(kName, 285, kUnknown);
  const std::string accnum = GetJsonStr(wallet["accnum"], "accnum");
  const std::string seq = GetJsonStr(wallet["seq"], "seq");
  if (!IsValidUtf8(accnum) || !IsValidUtf8(seq)) return Refuse(kName, 287, "accnum or seq is not valid UTF-8 !!");
  uint32_t algo = 0;
  Bytes pri;
  if (GetSignerPri(wallet, algo, pri) != 0) return Refuse(kName, 292, kUnknown);
  const ScopedWipe wipePri(pri.data(), pri.size());
  if (pri.size() != 32 || (algo != kAlgoSecp256k1 && algo != kAlgoEd25519)) return Refuse(kName, 292, kUnknown);
  Bytes pub;
  if (GetPubFromPri(pri, algo, pub) != 0) return Refuse(kName, 299, kUnknown);
  const std::string bytes = MakeATOMSignBytes(accnum, chainid, fee, memo, msgs, seq);
  Bytes sig;
  const uint32_t line = algo == kAlgoEd25519 ? SignEd25519(pri, pub, bytes, sig) : SignSecp256k1(pri, pub, bytes, sig);
  if (line == 364) return Refuse(kName, line, "signature does not verify !!");
  if (line != 0) return Refuse(kName, line, kUnknown);
  std::string pub64, sig64;
  if (EncodeBase64(pub.data(), pub.size(), pub64) != 0 || EncodeBase64(sig.data(), sig.size(), sig64) != 0)
    return Refuse(kName, 370, kUnknown);
  const char* type = algo == kAlgoEd25519 ? "tendermint/PubKeyEd25519" : "tendermint/PubKeySecp256k1";
  out = AminoValue::Object()
            .Add("pub_key",
                 AminoValue::Object().Add("type", AminoValue::Text(type)).Add("value", AminoValue::Text(pub64)))
            .Add("signature", AminoValue::Text(sig64));
  return 0;
}

int GenTxSignatures(const std::string& chainid, const AminoValue& fee, const std::string& memo, const Json::Value& msgs,
                    const AtomSigners& signers, const AminoValue& msgsDoc, AminoValue& out) {
  out = AminoValue::Array();
  for (const AtomSigner& s : signers) {
    const Json::Value& msg = msgs[static_cast<Json::ArrayIndex>(s.message)];
    const Json::Value& wallet =
        s.isInput ? msg["value"]["inputs"][static_cast<Json::ArrayIndex>(s.input)]["wallet"] : msg["wallet"];
    AminoValue sig = AminoValue::Object();
    if (GenerateATOMMSGSignature(wallet, chainid, fee, memo, msgsDoc, sig) != 0)
      return Refuse("GenTxSignatures", 1058, "GetMSGSignature Error");
    out.Push(std::move(sig));
  }
  return 0;
}

int GenTx2_ATOM(Json::Value& args) {
  constexpr char kName[] = "GenTx2_ATOM";
  const Json::Value& txinfo = args["txinfo"];
  if (!txinfo.isObject()) return Refuse(kName, 1181, "object is not exist(txinfo)");
  if (!txinfo["chainid"].isString() || !txinfo["fee"].isObject() || !txinfo["msgs"].isArray())
    return Refuse(kName, 1188, "txinfo{chainid,memo,fee{},msgs[]} is not support format");
  const std::string chainid = GetJsonStr(txinfo["chainid"], "chainid");
  const std::string memo = GetJsonStr(txinfo["memo"], "memo");
  const Json::Value& feeInfo = txinfo["fee"];
  if (!feeInfo["gas"].isString()) return Refuse(kName, 1202, "fee{gas} is not support format");
  const std::string feeAmount = GetJsonStr(feeInfo["amount"], "amount");
  const std::string feeDenom = GetJsonStr(feeInfo["denom"], "denom");
  AminoValue feeCoins = AminoValue::Array();
  if (!feeAmount.empty() && !feeDenom.empty()) {
    feeCoins.Push(
        AminoValue::Object().Add("amount", AminoValue::Text(feeAmount)).Add("denom", AminoValue::Text(feeDenom)));
  }
  AminoValue fee = AminoValue::Object()
                       .Add("amount", std::move(feeCoins))
                       .Add("gas", AminoValue::Text(GetJsonStr(feeInfo["gas"], "gas")));

  AminoValue msgs = AminoValue::Array();
  AtomSigners signers;
  if (GenTxMsgs(txinfo["msgs"], msgs, signers) != 0) return Refuse(kName, 1221, "GenTxMsgs Error !!");
  // The chain reads these texts as UTF-8 (replacing what is not): a signature
  // over other bytes would never verify.
  if (!IsValidUtf8(chainid) || !IsValidUtf8(memo) || FindInvalidUtf8(fee) != nullptr ||
      FindInvalidUtf8(msgs) != nullptr)
    return Refuse(kName, 1224, "txinfo{chainid,memo,fee{},msgs[]} holds text that is not valid UTF-8 !!");
  AminoValue sigs = AminoValue::Array();
  if (GenTxSignatures(chainid, fee, memo, txinfo["msgs"], signers, msgs, sigs) != 0)
    return Refuse(kName, 1228, "GenTxSignatures Error !!");

  const AminoValue tx = AminoValue::Object()
                            .Add("type", AminoValue::Text("auth/StdTx"))
                            .Add("value", AminoValue::Object()
                                              .Add("msg", std::move(msgs))
                                              .Add("fee", std::move(fee))
                                              .Add("signatures", std::move(sigs))
                                              .Add("memo", AminoValue::Text(memo)));
  // Inside strings every apostrophe is written \u0027, so turning the
  // apostrophes back into double quotes restores the JSON exactly.
  ReplaceJson(args["tx"], ReplaceAll(WriteAminoInOrder(tx), "\"", "'"));
  return 0;
}
