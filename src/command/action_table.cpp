#include "command/action_table.h"

#include "command/actions.h"
#include "command/addon_registry.h"

void RegisterActions(InterfaceState& state) {
  static const struct {
    const char* name;
    ActionHandler handler;
  } kActions[] = {
      {"AddModule", ActionAddModule},
      {"RemoveModule", ActionRemoveModule},
      {"GenEntropy", ActionGenEntropy},
      {"GenBase64", ActionGenBase64},
      {"GenBase58", ActionGenBase58},
      {"GenHashMessage", ActionGenHashMessage},
      {"GenHMac", ActionGenHMac},
      {"GenPBKDF2", ActionGenPBKDF2},
      {"GenScrypt", ActionGenScrypt},
      {"GenAES", ActionGenAES},
      {"GenAESAuth", ActionGenAESAuth},
      {"GenMNemonic", ActionGenMNemonic},
      {"ConvMasterMNemonicToSSSMNemonic", ActionConvMasterMNemonicToSSSMNemonic},
      {"ConvSSSMNemonicToMasterMNemonic", ActionConvSSSMNemonicToMasterMNemonic},
      {"ChkMNemonicValid", ActionChkMNemonicValid},
      {"ChkMNemonicWordValid", ActionChkMNemonicWordValid},
      {"ConvMNemonicToEntropy", ActionConvMNemonicToEntropy},
      {"ConvMnemonicToSeed", ActionConvMnemonicToSeed},
      {"GenMasterNode", ActionGenMasterNode},
      {"GenCKD", ActionGenCKD},
      {"GenCKDPub", ActionGenCKDPub},
      {"GenLeafNode", ActionGenLeafNode},
      {"GenPubkeyFromPrikey", ActionGenPubkeyFromPrikey},
      {"GenSignature", ActionGenSignature},
      {"VerifySignature", ActionVerifySignature},
      {"GenECIES", ActionGenECIES},
  };
  for (const auto& a : kActions) state.actions.emplace(a.name, a.handler);
}

void InitJsonInterface(InterfaceState& state) {
  state.actions.clear();
  state.addons.clear();
  RegisterActions(state);
}

void DestroyAddonRegistry(InterfaceState& state) {
  CriticalSectionGuard lock(state.registryLock);
  state.addons.clear();
  state.actions.clear();
}

InterfaceState::InterfaceState() { InitJsonInterface(*this); }
InterfaceState::~InterfaceState() { DestroyAddonRegistry(*this); }

InterfaceState& GetInterfaceState() {
  static InterfaceState state;
  return state;
}

ActionHandler FindAction(const InterfaceState& state, const std::string& action) {
  auto it = state.actions.find(action);
  return it == state.actions.end() ? nullptr : it->second;
}

namespace {
// Builds the table when the library is loaded, before any export runs.
[[maybe_unused]] const bool kTableBuilt = (GetInterfaceState(), true);
}  // namespace
