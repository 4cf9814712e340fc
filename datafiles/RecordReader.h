#pragma once
// The one reader of data files (.fon, .Rad): records of a fixed size read
// whole, front to back or from a chosen record, one or many at a time into
// the caller's buffer. Opening never blocks and only a regular file is read:
// a folder, pipe, device or socket of that name is refused before any read.
// A file that is not a whole number of records gives its whole records and
// tells the size of its torn tail. Nothing throws: the state says how the
// reading went, and FileProblemText.h puts it into words.
#include <cstddef>
#include <cstdint>
#include <string>

namespace datafiles {

/// Kind of a data file, told by its extension (".fon", ".Rad"; any case).
enum class RecordKind { Unknown, Fon, Rad };

/// The kind of `path` by its extension.
RecordKind KindOfPath(const std::string& path);
/// Bytes of one record of `kind` (0 for Unknown).
size_t RecordSize(RecordKind kind);

/// What kept a file, or its end, from being read.
enum class ReadFault {
    None,
    OpenFailed, ///< open or fstat failed (Errno): nothing read
    NotRegular, ///< a folder, pipe, device or socket: refused unread
    ReadFailed, ///< a read failed part-way (Errno): the records before it stand
    Shrunk,     ///< the file became shorter while it was read: the records before it stand
};

/// How the reading of one file went so far.
struct ReadState {
    ReadFault Fault = ReadFault::None;
    int Errno = 0;         ///< errno of OpenFailed and ReadFailed
    int64_t Records = 0;   ///< whole records of the file when it was opened
    int64_t TailBytes = 0; ///< bytes after the last whole record (a torn tail), 0 for none
    int64_t Done = 0;      ///< whole records read so far
};

/// One data file open for reading records.
class RecordReader {
public:
    /// How the file is read: front to back (the system reads ahead), or a
    /// record here and there.
    enum class Access { Sequential, Random };

    /// Opens `path` for records of `recordSize` bytes (above 0).
    RecordReader(const std::string& path, size_t recordSize, Access access = Access::Sequential);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    /// Open, and no read has failed.
    bool ok() const { return fd_ >= 0 && state_.Fault == ReadFault::None; }
    const ReadState& state() const { return state_; }
    const std::string& path() const { return path_; }
    /// Whole records in the file when it was opened.
    int64_t records() const { return state_.Records; }
    /// Bytes of the torn tail, 0 for none.
    int64_t tailBytes() const { return state_.TailBytes; }

    /// Makes record `index` (0..records()) the next one read; false when
    /// there is no such record or the file is not open.
    bool Seek(int64_t index);
    /// Reads up to `count` whole records from the position on into `buffer`
    /// (room for count records). Returns the records read: fewer than asked
    /// only at the end of the whole records or on a fault (state().Fault).
    int64_t Read(void* buffer, int64_t count);
    /// Reads up to `count` whole records from record `index` on into
    /// `buffer`, leaving the position and the state as they are, so that
    /// several threads may read parts of one file at once. Returns the
    /// records read: fewer than asked only at the end of the whole records
    /// or on a fault, which `fault` (when given) then tells (Fault, Errno).
    int64_t ReadAt(int64_t index, void* buffer, int64_t count, ReadState* fault = nullptr) const;

private:
    std::string path_;
    size_t size_;
    int fd_ = -1;
    int64_t next_ = 0; ///< index of the next record to read
    ReadState state_;
};

} // namespace datafiles
