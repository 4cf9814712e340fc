#pragma once
// Writing whole records into a data file of the store at their places, so
// that the store's copy is byte for byte the station's file: the file is
// opened for the write and closed again (no station holds a descriptor
// between commits), each record is written whole at record × size, and
// the file is synced before anything counts. Writing a record again writes
// the same bytes at the same place, so a write that failed, or one a crash
// cut short, is simply done again.
#include <cstdint>
#include <string>
#include <vector>

namespace centre {

/// One record waiting to be written.
struct RecordBytes {
    int64_t Record = 0;  ///< from 0
    std::string Bytes;   ///< the record as on the station's disk
};

/// Writes `records` into `path` (made when missing) at Record × their size
/// and syncs it. Empty when all of it is on the disk, else why not.
std::string WriteRecordsSynced(const std::string& path, const std::vector<RecordBytes>& records);

} // namespace centre
