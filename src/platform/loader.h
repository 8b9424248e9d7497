#ifndef TOLVARIS_PLATFORM_LOADER_H
#define TOLVARIS_PLATFORM_LOADER_H

#include <string>

// The add-on loader's view of the system: an existence test, a loader that
// hands out the same library again when asked twice, and a symbol lookup.

// True when a file or folder exists at `path` (existence only).
bool PathExists(const std::string& path);
// Loads a shared library now, keeping its symbols to itself; a name without a
// "/" goes through the system's library search order. Null on failure.
void* LoadLibraryFile(const std::string& path);
// Address of an exported function, or null.
void* FindLibrarySymbol(void* handle, const std::string& name);

#endif
