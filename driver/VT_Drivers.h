#pragma once
// Where the driver library is registered.

namespace vt {
inline constexpr const char* Company = "Virtual Tools LTD";
inline constexpr const char* Product = "Drivers";
inline constexpr const char* Version = "1.0";
/// The joined path; kept for completeness, the program does not use it.
inline constexpr const char* DriversPath = "Virtual Tools LTD\\Drivers\\1.0";
inline constexpr const char* Device = "Lan10m8PCI";
inline constexpr const char* DefaultEntry = "StaticFactory";
inline constexpr const char* PathValue = "path";
} // namespace vt
