// AES actions: GenAES, GenAESAuth.
#include "command/action_output.h"
#include "command/actions.h"
#include "command/arg_names.h"
#include "command/text/text.h"
#include "tolvaris/bcm_aes.h"

namespace {

// No AES export needs more than the input and 32 bytes (a padding block or
// a tag); the exports describe lengths in 32 signed bits.
constexpr uint64_t kAesSlack = 32;
constexpr uint64_t kMaxAesBytes = INT32_MAX;
// The only mode the authenticated action runs.
constexpr uint32_t kAuthMode = 11;

// What both actions read first: "isenc", "data", "key" and "iv", echoed in
// that order.
struct AesInputs {
  AesInputs(const json_value& args, SecureText& out) : encrypt(StrToBool(EchoArg(args, "isenc", out))) {
    EchoBytes(args, "data", out, data);
    EchoBytes(args, "key", out, key);
    EchoBytes(args, "iv", out, iv);
  }
  // An IV of 2^31 bytes or more turns negative here, which the exports refuse.
  int IvLen() const { return static_cast<int>(iv.size()); }
  uint64_t OutputSize() const { return static_cast<uint64_t>(data.size()) + kAesSlack; }

  bool encrypt;
  SecureBytes data, key, iv;
};

}  // namespace

// "GenAES": echoes "isenc", "data", "key", "iv", "mode" and "pad"; answers
// "encrypt" or "decrypt". Which modes, paddings and lengths are accepted is
// the export's business.
int32_t ActionGenAES(InterfaceState&, const json_value& args, SecureText& out) {
  const AesInputs c(args, out);
  const uint32_t mode = static_cast<uint32_t>(GetAESModeId(EchoArg(args, "mode", out)));
  const uint32_t pad = static_cast<uint32_t>(GetPaddingId(EchoArg(args, "pad", out)));
  ActionOutput buf(c.OutputSize(), kMaxAesBytes);
  int len = buf.capacity();
  const auto run = c.encrypt ? BCMGenAESEncrypt : BCMGenAESDecrypt;
  const int rc = run(DataOrEmpty(c.data), static_cast<uint32_t>(c.data.size()), DataOrEmpty(c.key),
                     static_cast<uint32_t>(c.key.size()), DataOrEmpty(c.iv), c.IvLen(), mode, pad, buf.data(),
                     &len);
  if (c.encrypt) return HexResult(out, rc, "GenAESEncrypt", 419, "encrypt", buf.bytes(), buf.Written(len));
  return HexResult(out, rc, "GenAESDecrypt", 432, "decrypt", buf.bytes(), buf.Written(len));
}

// "GenAESAuth": echoes "isenc", "data", "key", "iv", "authdata" and
// "taglen"; answers "encrypt" (ciphertext followed by the tag) or "decrypt".
// The action always runs GCM, whatever "mode" says; "mode" is not echoed.
int32_t ActionGenAESAuth(InterfaceState&, const json_value& args, SecureText& out) {
  const AesInputs c(args, out);
  SecureBytes aad;
  EchoBytes(args, "authdata", out, aad);
  const int tagLen = EchoInt(args, "taglen", out);
  ActionOutput buf(c.OutputSize(), kMaxAesBytes);
  int len = buf.capacity();
  const auto run = c.encrypt ? BCMGenAESEncryptAuth : BCMGenAESDecryptAuth;
  const int rc = run(DataOrEmpty(c.data), static_cast<uint32_t>(c.data.size()), DataOrEmpty(c.key),
                     static_cast<uint32_t>(c.key.size()), DataOrEmpty(c.iv), c.IvLen(), kAuthMode, DataOrEmpty(aad),
                     static_cast<uint32_t>(aad.size()), tagLen, buf.data(), &len);
  if (c.encrypt)
    return HexResult(out, rc, "GenAESEncryptAuth", 469, "encrypt", buf.bytes(), buf.Written(len));
  return HexResult(out, rc, "GenAESDecryptAuth", 483, "decrypt", buf.bytes(), buf.Written(len));
}
