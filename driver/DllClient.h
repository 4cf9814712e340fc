#pragma once
// Finds the driver library through the hive, loads it and resolves its entry.
#include <string>

#include "platform/DynLib.h"

/// The loader: the handle of the loaded library and the address of the
/// resolved entry. Destroying it does not unload the library.
class TDllClient {
public:
    dyn::HMODULE DllHandle = nullptr;
    void* EntryPoint = nullptr;
    /// The hive file to read; empty: the one in use (hive::HivePath).
    std::string HiveFile;
    /// Why the last load failed, when more than a missing name: the hive or
    /// the library is not a regular file. Empty otherwise.
    std::string Problem;

    /// Loads `fileName` and resolves `entryName`; nullptr when either name is
    /// missing, the library is not a regular file (a pipe or a device of that
    /// name is refused without waiting on it), does not load, or the entry is
    /// missing (then the library stays loaded).
    void* LoadDll(const char* fileName, const char* entryName);
    /// Reads the library path from the value "path" of the key
    /// SOFTWARE\<company>\<product>\<version>\<device> of the local-machine
    /// hive and loads it; `entryName` defaults to "StaticFactory".
    void* LoadDllFromRegistry(const char* company, const char* product, const char* version,
                              const char* device, const char* entryName);
    /// Unloads the library, if loaded, and empties both fields.
    void FreeDll();
};
