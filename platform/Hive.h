#pragma once
// A file-based stand-in for the local-machine registry hive, answering the
// three calls the driver loader makes with the registry's results.
//
// The hive is an INI-style text file; a section is a key path, a line
// `name=value` a string value:
//
//     [SOFTWARE\Virtual Tools LTD\Drivers\1.0\Lan10m8PCI]
//     path=/usr/local/lib/libLan10m8Sim.so
//
// The file named by the environment variable VFON_HIVE is read when it is
// set; otherwise the machine-wide file /etc/vfon/registry.ini, and where that
// is absent, the per-user file $HOME/.config/vfon/registry.ini. Key paths and value
// names are compared without regard to case, as the registry does.
#include <cstdint>
#include <string>

namespace hive {

using HKEY = struct HiveKey*;
using LONG = long;
using DWORD = uint32_t;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD REG_SZ = 1;

/// The predefined root key of the local-machine hive.
extern const HKEY HKEY_LOCAL_MACHINE;

/// Opens `subKey` under `root` for reading.
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, DWORD access, HKEY* result);
/// Opens `subKey` of the hive file `file` (RegOpenKeyExA reads the one in use).
LONG OpenKeyInFile(const std::string& file, const char* subKey, HKEY* result);
/// Copies the string value `valueName` with its terminating zero into `data`
/// (`*size` bytes of room; on return the bytes needed). ERROR_MORE_DATA when
/// it does not fit; a null `data` only asks for the size.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, uint8_t* data, DWORD* size);
LONG RegCloseKey(HKEY key);

/// The hive file in use.
std::string HivePath();
/// Makes the hive file `path` the one in use (tests use a private one);
/// an empty path returns to the machine-wide/per-user choice.
void SetHivePath(const std::string& path);
/// Why the hive file could not be read at the last opening of a key, when
/// the reason is more than its absence (a pipe or a device of that name);
/// empty otherwise.
std::string LastProblem();
/// The default files.
std::string MachineHivePath();
std::string UserHivePath();

} // namespace hive
