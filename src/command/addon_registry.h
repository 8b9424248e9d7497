#ifndef TOLVARIS_COMMAND_ADDON_REGISTRY_H
#define TOLVARIS_COMMAND_ADDON_REGISTRY_H

#include <json.h>

#include <cstdint>
#include <string>

#include "command/action_table.h"
#include "command/secure_text.h"

// "AddModule": loads quenmod-<addon>.so (from "libpath" or the system's
// search order), binds FreeMem_<ADDON> and RunModule_<ADDON> and registers it.
// Returns 0 or 163.
int32_t ActionAddModule(InterfaceState& state, const json_value& args, SecureText& out);
// "RemoveModule": lowers the use count of a registered add-on. Returns 0 or 192.
int32_t ActionRemoveModule(InterfaceState& state, const json_value& args, SecureText& out);

// True when `addon` may become part of a file name: no "/", "\", ".." or NUL.
bool IsValidAddonName(std::string_view addon);

// Finds, loads and binds the add-on into `record`; on failure `detail` says why.
bool LoadAddonModule(AddonModuleRecord& record, const std::string& libpath, const std::string& addon,
                     std::string& detail);

std::string GetModuleLibPath(const AddonModuleRecord& record);

// Calls the add-on with the action, addon and whole request texts. A reply is
// copied into `out` and handed straight back to the add-on's FreeMem entry;
// `out` stays empty when the add-on set no reply. Returns the add-on's result.
int32_t CallAddonRunModule(const AddonModuleRecord& record, const char* action, const char* addon,
                           const char* request, SecureText& out);

#endif
