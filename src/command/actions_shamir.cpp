// Shamir share actions.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionConvMasterMNemonicToSSSMNemonic(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "BCMConvMasterMNemonicToSSSMNemonic", 593);
}

int32_t ActionConvSSSMNemonicToMasterMNemonic(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "BCMConvSSSMNemonicToMasterMNemonic", 647);
}

