// Digest, HMAC and key-derivation actions.
#include "command/actions.h"

#include "command/arg_names.h"
#include "tolvaris/bcm_core.h"

// "GenHashMessage": echoes "hashalgo" and "data", answers "md".
int32_t ActionGenHashMessage(InterfaceState&, const json_value& args, SecureText& out) {
  const SecureText hashalgo = EchoArg(args, "hashalgo", out);
  const SecureText data = EchoArg(args, "data", out);
  SecureBytes bytes;
  ToBytes(data, bytes);
  SecureBytes md(64);
  int mdLen = static_cast<int>(md.size());
  if (BCMGenHashMessage(static_cast<uint32_t>(GetHashAlgoId(hashalgo)), DataOrEmpty(bytes),
                        static_cast<uint32_t>(bytes.size()), md.data(), &mdLen) != 0) {
    AddCoreErrMsg(out, "DoDigest");
    return 315;
  }
  AddHexPair(out, "md", md.data(), static_cast<size_t>(mdLen));
  return 0;
}

// Not built yet: each answers with its failure path.
int32_t ActionGenHMac(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "DoHMac", 339);
}

int32_t ActionGenPBKDF2(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "DoPBKDF2", 364);
}

int32_t ActionGenScrypt(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "DoScrypt", 388);
}

