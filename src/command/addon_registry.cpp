#include "command/addon_registry.h"

#include <cstring>
#include <limits>

#include "command/actions.h"
#include "command/text/text.h"
#include "platform/loader.h"

namespace {

// The add-on's name as the request gave it, embedded NULs included, so that a
// name cut short by a NUL is refused rather than loaded under its prefix.
std::string RawArgText(const json_value& args, std::string_view key) {
  const json_value& v = ArgValue(args, key);
  if (v.type == json_none) return std::string();
  if (v.type != json_string) throw ArgumentRefused(std::string(key) + " is not a JSON string");
  return std::string(v.u.string.ptr, v.u.string.length);
}

}  // namespace

bool IsValidAddonName(std::string_view addon) {
  return addon.find('/') == std::string_view::npos && addon.find('\\') == std::string_view::npos &&
         addon.find("..") == std::string_view::npos && addon.find('\0') == std::string_view::npos;
}

bool LoadAddonModule(AddonModuleRecord& record, const std::string& libpath, const std::string& addon,
                     std::string& detail) {
  const std::string file = "quenmod-" + addon + ".so";
  // The folder's copy when there is one; otherwise the bare file name, which
  // leaves the search to the system's library search order.
  std::string path = file;
  if (PathExists(libpath)) {
    std::string joined = libpath + "/" + file;
    if (PathExists(joined)) path = std::move(joined);
  }

  void* handle = record.handle;
  if (handle == nullptr) handle = LoadLibraryFile(path);
  if (handle == nullptr) {
    detail = "library file is not exist(" + path + ")";
    return false;
  }
  if (record.runEntry == nullptr || record.freeEntry == nullptr) {
    const std::string coin = ToUpper(addon);
    void* freeEntry = FindLibrarySymbol(handle, "FreeMem_" + coin);
    if (freeEntry == nullptr) {
      detail = "library export FreeMem_" + coin + " function is is not exist(" + path + ")";
      return false;
    }
    void* runEntry = FindLibrarySymbol(handle, "RunModule_" + coin);
    if (runEntry == nullptr) {
      detail = "library export RunModule_" + coin + " function is is not exist(" + path + ")";
      return false;
    }
    record.freeEntry = reinterpret_cast<AddonFreeMemFn>(freeEntry);
    record.runEntry = reinterpret_cast<AddonRunModuleFn>(runEntry);
  }
  record.handle = handle;
  record.libfullpath = path;
  if (record.useCount < std::numeric_limits<int32_t>::max()) ++record.useCount;
  return true;
}

std::string GetModuleLibPath(const AddonModuleRecord& record) { return record.libfullpath; }

int32_t ActionAddModule(InterfaceState& state, const json_value& args, SecureText& out) {
  CriticalSectionGuard lock(state.registryLock);
  const std::string addon = RawArgText(args, "addon");
  const SecureText libpathText = ArgText(args, "libpath");
  const std::string libpath(libpathText.data(), libpathText.size());
  AddPair(out, "addon", addon);
  AddPair(out, "libpath", libpath);

  std::string detail;
  if (!IsValidAddonName(addon)) {
    detail = "addon name is not allowed(" + addon + ")";
  } else {
    auto it = state.addons.find(addon);
    if (it != state.addons.end()) {
      // A registered record keeps its library and entries; this only
      // recomputes the path and counts one more use.
      if (LoadAddonModule(it->second, libpath, addon, detail)) {
        AddPair(out, "libfullpath", GetModuleLibPath(it->second));
        return 0;
      }
    } else {
      AddonModuleRecord fresh;
      if (LoadAddonModule(fresh, libpath, addon, detail)) {
        AddPair(out, "libfullpath", GetModuleLibPath(fresh));
        state.addons.emplace(addon, std::move(fresh));
        return 0;
      }
    }
  }
  AddPair(out, "err_msg", "module_lib_load_error[" + detail + "]");
  return 163;
}

int32_t ActionRemoveModule(InterfaceState& state, const json_value& args, SecureText& out) {
  CriticalSectionGuard lock(state.registryLock);
  const SecureText addon = ArgText(args, "addon");
  AddPair(out, "addon", addon);
  auto it = state.addons.find(std::string(addon.data(), addon.size()));
  if (it == state.addons.end()) {
    AddPair(out, "err_msg", "module_find_error(module is not regestered)");
    return 192;
  }
  if (it->second.useCount > 0) --it->second.useCount;
  return 0;
}

int32_t CallAddonRunModule(const AddonModuleRecord& record, const char* action, const char* addon,
                           const char* request, SecureText& out) {
  char* reply = nullptr;
  const int32_t rc = record.runEntry(action, addon, request, &reply);
  if (reply != nullptr) {
    // The add-on's texts go back to the add-on's own heap at once.
    struct Release {
      const AddonModuleRecord& rec;
      char* p;
      ~Release() { rec.freeEntry(p); }
    } release{record, reply};
    out.assign(reply);
  }
  return rc;
}
