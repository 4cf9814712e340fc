#pragma once
// The end of an HDF5 output written under a temporary name
// (datafiles/OutputFile.h): closed and renamed into place when complete,
// closed and removed when given up.
#include <hdf5.h>
#include <string>

namespace dataexport {

/// Closes `file` (left at -1) and renames `part` to `path`, replacing an
/// existing `path` only with `force`. A failed close removes `part` and
/// throws OutputError.
void CommitHdf5Part(hid_t& file, const std::string& part, const std::string& path, bool force);

/// Closes `file` (left at -1) and removes `part`.
void AbandonHdf5Part(hid_t& file, const std::string& part);

} // namespace dataexport
