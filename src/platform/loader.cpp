#include "platform/loader.h"

#include <dlfcn.h>
#include <unistd.h>

bool PathExists(const std::string& path) { return !path.empty() && access(path.c_str(), F_OK) == 0; }

void* LoadLibraryFile(const std::string& path) {
  if (path.empty()) return nullptr;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindLibrarySymbol(void* handle, const std::string& name) {
  if (handle == nullptr) return nullptr;
  return dlsym(handle, name.c_str());
}
