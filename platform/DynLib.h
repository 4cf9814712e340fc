#pragma once
// Dynamic loading in the places of the library calls the driver loader
// makes: dlopen, dlsym and dlclose.

namespace dyn {

using HMODULE = void*;

/// Loads the shared library `fileName`; nullptr on failure.
HMODULE LoadLibraryA(const char* fileName);
/// Address of the exported symbol `name`; nullptr when missing.
void* GetProcAddress(HMODULE module, const char* name);
/// True when `fileName` names something that is there but is not a regular
/// file (a pipe, a device, a folder). Opened without blocking, so a pipe or
/// a device of that name never stalls; a name that is not there is left to
/// the loader (which also searches the library path for a bare name).
bool NotRegularFile(const char* fileName);
/// Unloads the library; false on failure.
bool FreeLibrary(HMODULE module);

} // namespace dyn
