#include "driver/DllClient.h"

#include <memory>
#include <string>

#include "driver/VT_Drivers.h"
#include "platform/Hive.h"

void* TDllClient::LoadDll(const char* fileName, const char* entryName)
{
    FreeDll();
    Problem.clear();
    if (!fileName || !entryName)
        return nullptr;
    if (dyn::NotRegularFile(fileName)) {
        Problem = std::string(fileName) + ": не обычный файл (папка, канал или устройство)";
        return nullptr;
    }
    DllHandle = dyn::LoadLibraryA(fileName);
    if (!DllHandle)
        return nullptr;
    EntryPoint = dyn::GetProcAddress(DllHandle, entryName);
    return EntryPoint;
}

void* TDllClient::LoadDllFromRegistry(const char* company, const char* product, const char* version,
                                      const char* device, const char* entryName)
{
    FreeDll();
    Problem.clear();
    const std::string keyPath = std::string("SOFTWARE\\") + company + "\\" + product + "\\" + version + "\\" + device;
    hive::HKEY key = nullptr;
    const std::string file = HiveFile.empty() ? hive::HivePath() : HiveFile;
    if (hive::OpenKeyInFile(file, keyPath.c_str(), &key) != hive::ERROR_SUCCESS) {
        Problem = hive::LastProblem();
        return nullptr;
    }
    constexpr hive::DWORD kPathRoom = 255;
    auto path = std::make_unique<uint8_t[]>(kPathRoom);
    hive::DWORD size = kPathRoom;
    const hive::LONG rc = hive::RegQueryValueExA(key, vt::PathValue, nullptr, nullptr, path.get(), &size);
    hive::RegCloseKey(key);
    if (rc != hive::ERROR_SUCCESS)
        return nullptr;
    return LoadDll(reinterpret_cast<const char*>(path.get()), entryName ? entryName : vt::DefaultEntry);
}

void TDllClient::FreeDll()
{
    if (DllHandle)
        dyn::FreeLibrary(DllHandle);
    DllHandle = nullptr;
    EntryPoint = nullptr;
}
