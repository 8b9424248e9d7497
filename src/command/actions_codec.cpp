// Entropy and codec actions: GenEntropy, GenBase64, GenBase58.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionGenEntropy(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenEntropy", 215);
}

int32_t ActionGenBase64(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenBase64Encode", 239);
}

int32_t ActionGenBase58(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenBase58CheckEncode", 279);
}

