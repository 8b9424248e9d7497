// HD key actions.
#include "command/actions.h"

// Not built yet: each answers with its failure path.
int32_t ActionGenMasterNode(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenMasterNode", 685);
}

int32_t ActionGenCKD(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenCKD", 744);
}

int32_t ActionGenCKDPub(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenCKDPub", 803);
}

int32_t ActionGenLeafNode(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenPathLeafNode", 844);
}

int32_t ActionGenPubkeyFromPrikey(InterfaceState&, const json_value&, SecureText& out) {
  return ActionNotAvailable(out, "GenPubkeyFromPriKey", 888);
}

