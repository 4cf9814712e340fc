#pragma once
// A station's ID: 1 to 32 characters A–Z a–z 0–9 _ -, the name it publishes
// under, and by default the name of the folder that holds its files.
#include <cstddef>
#include <string>

namespace datafiles {

/// The longest station ID.
inline constexpr size_t kStationIdMax = 32;

/// True for 1..32 characters of A-Z a-z 0-9 _ -.
bool ValidStationId(const std::string& id);

/// The name of the folder holding `input` (its real path's parent), "" when
/// it cannot be told (no such file).
std::string FolderName(const std::string& input);

} // namespace datafiles
