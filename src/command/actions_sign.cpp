// Signature and ECIES actions: GenSignature, VerifySignature and GenECIES.
#include <string>

#include "command/action_output.h"
#include "command/actions.h"
#include "command/arg_names.h"
#include "command/key_actions.h"
#include "command/text/text.h"
#include "tolvaris/bcm_ecies.h"
#include "tolvaris/bcm_sign.h"

namespace {

// ECDSA R and S are 32 bytes, or 33 with a leading 0x00 when the top bit is
// set; an Ed25519 signature is 64 bytes.
constexpr int kEcdsaPartLen = 33;
constexpr int kEdSigLen = 64;

// ECIES output room: the encrypt export asks for 16 * (length / 16) + 113;
// a plaintext is never longer than its message, so the message length (plus
// a margin) is enough to decrypt. Worked out in 64 bits; ActionOutput keeps
// the buffer within what the exports' 32-bit lengths can describe.
uint64_t EciesEncryptRoom(uint64_t plainLen) { return plainLen / 16 * 16 + 113; }
uint64_t EciesDecryptRoom(uint64_t msgLen) { return msgLen + 64; }

}  // namespace

// "GenSignature": echoes "algo", "pri", "data", then "hashalgo" and
// "useorisigs" (ECDSA: answers "sigr", "sigs", "recovery") or "context" and
// "useph" (Ed25519: answers "sig").
int32_t ActionGenSignature(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes pri, data;
  EchoBytes(args, "pri", out, pri);
  EchoBytes(args, "data", out, data);
  if (pri.size() != 32) return Refuse(out, "parent's pri len is different 32byte", 924);

  if (algo.IsEd()) {
    SecureBytes context;
    EchoBytes(args, "context", out, context);
    const bool prehash = StrToBool(EchoArg(args, "useph", out));
    int dataLen = 0;
    int contextLen = 0;
    if (!ExportInputLen(data, "data", out, dataLen) || !ExportInputLen(context, "context", out, contextLen))
      return 971;
    SecureBytes sig(kEdSigLen);
    int sigLen = kEdSigLen;
    if (BCMGenSignature_ED(pri.data(), 32, DataOrEmpty(data), dataLen, DataOrEmpty(context), contextLen,
                           prehash ? 1 : 0, sig.data(), &sigLen) != 0) {
      AddCoreErrMsg(out, "GenSignature_ED");
      return 971;
    }
    AddHexPair(out, "sig", sig.data(), WrittenLen(sigLen, sig.size()));
    return 0;
  }

  const int32_t hashId = GetHashAlgoId(EchoArg(args, "hashalgo", out));
  const bool keepS = StrToBool(EchoArg(args, "useorisigs", out));
  int dataLen = 0;
  if (!ExportInputLen(data, "data", out, dataLen)) return 945;
  SecureBytes r(kEcdsaPartLen), s(kEcdsaPartLen);
  int rLen = kEcdsaPartLen;
  int sLen = kEcdsaPartLen;
  uint32_t recovery = 0;
  if (BCMGenSignature(algo.Curve(), pri.data(), 32, static_cast<uint32_t>(hashId), DataOrEmpty(data), dataLen,
                      keepS ? 1 : 0, r.data(), &rLen, s.data(), &sLen, &recovery) != 0) {
    AddCoreErrMsg(out, "GenSignature");
    return 945;
  }
  AddHexPair(out, "sigr", r.data(), WrittenLen(rLen, r.size()));
  AddHexPair(out, "sigs", s.data(), WrittenLen(sLen, s.size()));
  AddPair(out, "recovery", DecimalText(recovery));
  return 0;
}

// "VerifySignature": echoes "algo", "pub", "data", then "hashalgo", "sigr",
// "sigs" (ECDSA) or "sig", "context", "useph" (Ed25519). Answers "verify"
// "true" or "false"; once the public key has the algorithm's length the
// action succeeds whatever the verdict, and any refusal of the export is a
// "false", but for a lack of memory, which fails the action.
int32_t ActionVerifySignature(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  SecureBytes pub, data;
  EchoBytes(args, "pub", out, pub);
  EchoBytes(args, "data", out, data);
  if (pub.size() != static_cast<size_t>(algo.pubLen)) return Refuse(out, kParentKeyLenText, 999);

  // Lengths the exports cannot be told are a "false" like every other refusal.
  SecureText ignored;
  int dataLen = 0;
  const bool dataFits = ExportInputLen(data, "data", ignored, dataLen);
  const int pubLen = static_cast<int>(pub.size());
  bool valid = false;
  if (algo.IsEd()) {
    SecureBytes sig, context;
    EchoBytes(args, "sig", out, sig);
    EchoBytes(args, "context", out, context);
    const bool prehash = StrToBool(EchoArg(args, "useph", out));
    int sigLen = 0;
    int contextLen = 0;
    valid = dataFits && ExportInputLen(sig, "sig", ignored, sigLen) &&
            ExportInputLen(context, "context", ignored, contextLen) &&
            ExportVerdict(BCMVerifySignature_ED(DataOrEmpty(sig), sigLen, pub.data(), pubLen, DataOrEmpty(data),
                                                dataLen, DataOrEmpty(context), contextLen, prehash ? 1 : 0));
  } else {
    const int32_t hashId = GetHashAlgoId(EchoArg(args, "hashalgo", out));
    SecureBytes r, s;
    EchoBytes(args, "sigr", out, r);
    EchoBytes(args, "sigs", out, s);
    int rLen = 0;
    int sLen = 0;
    valid = dataFits && ExportInputLen(r, "sigr", ignored, rLen) && ExportInputLen(s, "sigs", ignored, sLen) &&
            ExportVerdict(BCMVerifySignature(algo.Curve(), pub.data(), pubLen, DataOrEmpty(r), rLen, DataOrEmpty(s),
                                             sLen, static_cast<uint32_t>(hashId), DataOrEmpty(data), dataLen));
  }
  AddPair(out, "verify", valid ? "true" : "false");
  return 0;
}

// "GenECIES": echoes "algo", "isenc", "data". Encrypting ("isenc" true)
// echoes "encpri" (the one-time scalar) and "decpub" (the recipient) and
// answers "encrypt"; otherwise it echoes "decpri" and answers "decrypt".
// The curve follows "algo"; Ed25519 has no ECIES of its own.
int32_t ActionGenECIES(InterfaceState&, const json_value& args, SecureText& out) {
  const KeyAlgo algo = EchoAlgo(args, out);
  const bool encrypt = StrToBool(EchoArg(args, "isenc", out));
  SecureBytes data;
  EchoBytes(args, "data", out, data);

  if (encrypt) {
    SecureBytes encpri, decpub;
    EchoBytes(args, "encpri", out, encpri);
    EchoBytes(args, "decpub", out, decpub);
    if (encpri.size() != 32 || decpub.size() != static_cast<size_t>(algo.pubLen)) {
      std::string text = "encrypt's pri[" + DecimalText(static_cast<int64_t>(encpri.size())) +
                         "] len is defferent[32]byte or decrypt's pub[" +
                         DecimalText(static_cast<int64_t>(decpub.size())) + "] len is different [" +
                         DecimalText(algo.pubLen) + "]byte";
      return Refuse(out, text, 1068);
    }
    int dataLen = 0;
    if (!ExportInputLen(data, "data", out, dataLen)) return 1079;
    ActionOutput buf(EciesEncryptRoom(data.size()), kMaxExportInput);
    int len = buf.capacity();
    if (BCMGenECIESEncrypt(algo.Curve(), DataOrEmpty(data), dataLen, encpri.data(), 32, decpub.data(),
                           static_cast<int>(decpub.size()), buf.data(), &len) != 0) {
      AddCoreErrMsg(out, "ECIESEncrypt");
      return 1079;
    }
    AddHexPair(out, "encrypt", buf.bytes(), buf.Written(len));
    return 0;
  }

  SecureBytes decpri;
  EchoBytes(args, "decpri", out, decpri);
  if (decpri.size() != 32) {
    return Refuse(out,
                  "decrypt's pri[" + DecimalText(static_cast<int64_t>(decpri.size())) + "] len is different [32]byte",
                  1095);
  }
  int dataLen = 0;
  if (!ExportInputLen(data, "data", out, dataLen)) return 1105;
  ActionOutput buf(EciesDecryptRoom(data.size()), kMaxExportInput);
  int len = buf.capacity();
  if (BCMGenECIESDecrypt(algo.Curve(), DataOrEmpty(data), dataLen, decpri.data(), 32, buf.data(), &len) != 0) {
    AddCoreErrMsg(out, "ECIESDecrypt");
    return 1105;
  }
  AddHexPair(out, "decrypt", buf.bytes(), buf.Written(len));
  return 0;
}
