// AES actions: GenAES, GenAESAuth.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionGenAES(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenAESEncrypt", 419);
}

int32_t ActionGenAESAuth(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenAESEncryptAuth", 469);
}

