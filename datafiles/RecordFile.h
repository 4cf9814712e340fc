#pragma once
// Files of fixed-size records as the viewer and the recorder use them. Every
// access opens the file, does one thing and closes it again; every step is
// checked at once and a failure raises rt::EInOutError. Reads go through the
// one reader of data files (datafiles/RecordReader.h); this is the one
// writer of records.
#include <cstddef>
#include <cstdint>
#include <string>

namespace recfile {

/// Creates `path` empty (truncating it if it exists).
void Create(const std::string& path);
/// Creates `path` empty only if no file of that name exists; false if one does.
bool CreateNew(const std::string& path);
/// Writes one record of `size` bytes at index `index` (seeking to index × size).
void Write(const std::string& path, size_t size, int32_t index, const void* record);
/// Reads record `index` into `record`; a record at or past the end of the file
/// (whole records only) raises "Read beyond end of file". Returns the number
/// of whole records in the file.
int32_t Read(const std::string& path, size_t size, int32_t index, void* record);
/// Number of whole records in the file (a partial tail does not count).
int32_t Count(const std::string& path, size_t size);

/// Typed helpers.
template <class R>
void WriteRecord(const std::string& path, int32_t index, const R& r) { Write(path, sizeof(R), index, &r); }
template <class R>
int32_t ReadRecord(const std::string& path, int32_t index, R& r) { return Read(path, sizeof(R), index, &r); }

} // namespace recfile
