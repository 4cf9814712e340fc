#pragma once
// Reading many background files frame by frame for their numbers. Files are
// read in chunks of whole records into one buffer that serves every file, so
// memory does not grow with the number or size of the files; bad files are
// reported and passed over, never ending the scan.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frames/FrameNumbers.h"

namespace trend {

/// What is wrong with a file of a scan.
enum class FileIssueKind {
    Unreadable, ///< cannot be opened or examined: skipped
    NotRegular, ///< a folder, device, pipe or socket: skipped, never opened for reading
    TornTail,   ///< ends in a partial record: the whole records are read, the tail is not
    ReadFailed, ///< a read failed or came short part-way: the records before it are kept
    BadLine,    ///< a line of a table that could not be read: passed over
};

/// One reported problem of a file.
struct FileIssue {
    size_t File = 0;           ///< index of the file in the scan's list
    FileIssueKind Kind = FileIssueKind::Unreadable;
    int32_t WholeRecords = 0;  ///< records the file holds whole (0 when skipped)
    int64_t TailBytes = 0;     ///< bytes of the partial record (TornTail)
    std::string Message;       ///< for the operator (UTF-8), without the file's name: datafiles/FileProblemText.h
};

/// How far a scan has come.
struct ScanProgress {
    size_t FilesDone = 0;   ///< files finished (read, skipped or failed)
    size_t FilesTotal = 0;
    double Fraction = 0;    ///< 0..1: files done plus the share of the file being read
    uint64_t Frames = 0;    ///< frames read so far
    uint64_t Bytes = 0;     ///< bytes of whole records read so far
};

/// What a scan reports, and how it is stopped.
struct ScanCallbacks {
    /// Every frame read: file index, record index (from 0), its numbers.
    std::function<void(size_t file, int32_t record, const frames::FrameNumbers& numbers)> Frame;
    /// Every problem of a file.
    std::function<void(const FileIssue& issue)> Issue;
    /// After every chunk of records and after every file.
    std::function<void(const ScanProgress& progress)> Progress;
    /// Checked before every chunk; when set the scan ends early.
    const std::atomic<bool>* Cancel = nullptr;
    /// Threads that compute the numbers of a chunk, the caller's included;
    /// 0: one per core. The callbacks are always called on the caller's
    /// thread, in file and record order.
    unsigned Threads = 0;
};

/// Totals of a scan.
struct ScanSummary {
    uint64_t Frames = 0;
    uint64_t Bytes = 0;
    size_t FilesSkipped = 0; ///< Unreadable and NotRegular
    size_t FilesTorn = 0;    ///< TornTail
    size_t FilesFailed = 0;  ///< ReadFailed
    bool Cancelled = false;

    /// True when a file was skipped, torn or failed.
    bool HadIssues() const { return FilesSkipped + FilesTorn + FilesFailed > 0; }
};

/// Records read per chunk: 256 records, about 4 MiB, enough work to share
/// out among the threads.
inline constexpr int32_t kScanChunkRecords = 256;

/// Reads the files in order, record by record, and hands the numbers of
/// every frame (ComputeFrameNumbers; the last whole record of a file is its
/// last record) to the callbacks. Files are read through the one reader of
/// data files (datafiles/RecordReader.h): a pipe or device in the list never
/// stalls the scan and a torn tail is reported as the export reports it.
/// The records of a chunk are read and their numbers made by
/// `callbacks.Threads` threads, a few records at a time each; the caller's
/// thread calls back.
ScanSummary ScanFonFiles(const std::vector<std::string>& files, const ScanCallbacks& callbacks);

} // namespace trend
