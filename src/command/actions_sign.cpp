// Signature and ECIES actions.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionGenSignature(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenSignature", 945);
}

int32_t ActionVerifySignature(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "VerifySignature", 1);
}

int32_t ActionGenECIES(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "ECIESEncrypt", 1079);
}

