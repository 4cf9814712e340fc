#pragma once
// One data file read record by record, front to back. Opening never blocks
// (a FIFO or a device is refused before anything is read) and a file that is
// not a whole number of records yields its whole records and tells the size
// of the torn tail.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dataexport {

/// Kind of a data file, told by its extension (".fon", ".Rad"; any case).
enum class RecordKind { Unknown, Fon, Rad };

/// The kind of `path` by its extension.
RecordKind KindOfPath(const std::string& path);
/// Bytes of one record of `kind` (0 for Unknown).
size_t RecordSize(RecordKind kind);

/// An open data file. Construction never throws: ok() and error() tell
/// whether the file can be read and, if not, why.
class RecordSource {
public:
    RecordSource(const std::string& path, RecordKind kind);
    ~RecordSource();
    RecordSource(const RecordSource&) = delete;
    RecordSource& operator=(const RecordSource&) = delete;

    bool ok() const { return fd_ >= 0; }
    /// Why the file cannot be read (empty when ok()).
    const std::string& error() const { return error_; }
    /// Whole records in the file when it was opened.
    int64_t records() const { return records_; }
    /// Bytes after the last whole record (a torn tail), 0 for none.
    int64_t tailBytes() const { return tail_; }

    /// Reads the next whole record into `buffer` (RecordSize(kind) bytes).
    /// False at the end of the whole records or on a read error; error()
    /// is set in the second case.
    bool Next(void* buffer);

private:
    int fd_ = -1;
    size_t size_ = 0;
    int64_t records_ = 0, tail_ = 0, read_ = 0;
    std::string error_;
};

} // namespace dataexport
