#pragma once
// Dynamic loading in the places of the library calls the driver loader
// makes: dlopen, dlsym and dlclose.

namespace dyn {

using HMODULE = void*;

/// Loads the shared library `fileName`; nullptr on failure.
HMODULE LoadLibraryA(const char* fileName);
/// Address of the exported symbol `name`; nullptr when missing.
void* GetProcAddress(HMODULE module, const char* name);
/// Unloads the library; false on failure.
bool FreeLibrary(HMODULE module);

} // namespace dyn
