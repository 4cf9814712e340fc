#pragma once
// The station an input belongs to, as the tidy HDF5 layout groups it: an ID
// of 1 to 32 characters A–Z a–z 0–9 _ -, given on the command line or, by
// default, the name of the folder that holds the input.
#include <string>

namespace dataexport {

/// Whether `id` is a station ID.
bool IsStationId(const std::string& id);

/// The name of the folder holding `input` (its real path's parent), "" when
/// it cannot be told (no such file).
std::string FolderName(const std::string& input);

} // namespace dataexport
