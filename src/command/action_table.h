#ifndef TOLVARIS_COMMAND_ACTION_TABLE_H
#define TOLVARIS_COMMAND_ACTION_TABLE_H

#include <json.h>

#include <cstdint>
#include <map>
#include <string>

#include "command/secure_text.h"
#include "platform/lock.h"

struct InterfaceState;

// A built-in action. `args` is the request's "args" value (any type, or the
// parser's none value); `out` is empty on entry and receives "key":"value"
// pairs joined by "," without braces. Returns 0 or the action's failure code.
using ActionHandler = int32_t (*)(InterfaceState& state, const json_value& args, SecureText& out);

// Action name (exact, case-sensitive) to handler.
using ActionTable = std::map<std::string, ActionHandler>;

// One loaded add-on. A record enters the registry only with its handle and
// both entries bound, and keeps them until the process ends.
using AddonRunModuleFn = int32_t (*)(const char* action, const char* addon, const char* request, char** reply);
using AddonFreeMemFn = int32_t (*)(char* reply);
struct AddonModuleRecord {
  std::string libfullpath;
  void* handle = nullptr;
  AddonRunModuleFn runEntry = nullptr;
  AddonFreeMemFn freeEntry = nullptr;
  int32_t useCount = 0;
};

// Add-on name (exact, case-sensitive) to its record.
using AddonRegistry = std::map<std::string, AddonModuleRecord>;

// The JSON interface's process-wide state. The action table is filled once
// and only read afterwards; the registry changes only under `registryLock`.
struct InterfaceState {
  InterfaceState();
  ~InterfaceState();
  InterfaceState(const InterfaceState&) = delete;
  InterfaceState& operator=(const InterfaceState&) = delete;

  ActionTable actions;
  AddonRegistry addons;
  CriticalSection registryLock;
};

// The state, built with all built-in actions on first use (and at load).
InterfaceState& GetInterfaceState();

// Empties both maps and enters the built-in actions (at construction).
void InitJsonInterface(InterfaceState& state);
// Enters the 26 built-in actions into an empty table.
void RegisterActions(InterfaceState& state);
// Frees the entries of both maps (at unload). The add-on libraries stay
// loaded: their code may still be running in other static destructors.
void DestroyAddonRegistry(InterfaceState& state);

// The handler registered under `action`, or null.
ActionHandler FindAction(const InterfaceState& state, const std::string& action);

#endif
