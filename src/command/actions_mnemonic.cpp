// Mnemonic actions.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionGenMNemonic(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenMnemonic", 506);
}

int32_t ActionChkMNemonicValid(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "ChkMNemonicValid", 1);
}

int32_t ActionChkMNemonicWordValid(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "ChkMNemonicWordValid", 1);
}

int32_t ActionConvMNemonicToEntropy(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "ConvMNemonicToEntropy", 550);
}

int32_t ActionConvMnemonicToSeed(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "ConvMnemonicToSeed", 570);
}

