#include "trend/FonScan.h"

#include <algorithm>
#include <memory>

#include "datafiles/FileProblemText.h"
#include "datafiles/RecordReader.h"
#include "trend/WorkTeam.h"

namespace trend {

namespace {

constexpr size_t kRecordSize = sizeof(TFonKadr);

/// One scan over the list: the shared read buffer and the running totals.
class Scan {
public:
    Scan(const std::vector<std::string>& files, const ScanCallbacks& cb)
        : files_(files), cb_(cb), numbers_(kScanChunkRecords), team_(cb.Threads)
    {
        progress_.FilesTotal = files.size();
        buffer_.reset(new unsigned char[kRecordSize * kScanChunkRecords]);
    }

    ScanSummary Run()
    {
        for (size_t i = 0; i < files_.size() && !Cancelled(); ++i) {
            ReadFile(i);
            progress_.FilesDone = i + 1;
            progress_.Fraction = static_cast<double>(i + 1) / static_cast<double>(files_.size());
            if (cb_.Progress)
                cb_.Progress(progress_);
        }
        summary_.Frames = progress_.Frames;
        summary_.Bytes = progress_.Bytes;
        summary_.Cancelled = Cancelled();
        return summary_;
    }

private:
    bool Cancelled() const { return cb_.Cancel && cb_.Cancel->load(std::memory_order_relaxed); }

    void Report(size_t file, FileIssueKind kind, int32_t records, int64_t tail, const std::string& message)
    {
        switch (kind) {
        case FileIssueKind::Unreadable:
        case FileIssueKind::NotRegular: ++summary_.FilesSkipped; break;
        case FileIssueKind::TornTail: ++summary_.FilesTorn; break;
        case FileIssueKind::ReadFailed:
        case FileIssueKind::BadLine: ++summary_.FilesFailed; break;
        }
        if (cb_.Issue)
            cb_.Issue({file, kind, records, tail, message});
    }

    void ReadFile(size_t file)
    {
        datafiles::RecordReader reader(files_[file], kRecordSize);
        const datafiles::ReadState& st = reader.state();
        if (!reader.ok()) {
            const bool regular = st.Fault != datafiles::ReadFault::NotRegular;
            Report(file, regular ? FileIssueKind::Unreadable : FileIssueKind::NotRegular, 0, 0,
                   datafiles::ReadFaultText(st));
            return;
        }
        const auto records = static_cast<int32_t>(reader.records());
        if (reader.tailBytes() != 0)
            Report(file, FileIssueKind::TornTail, records, reader.tailBytes(), datafiles::TornTailText(st));

        // Chunk by chunk: the threads of the team share out its blocks of a
        // few records, each reading its block and making the numbers of it
        // at once, while the records are still in its cache; no thread
        // waits for a reader or for the others but at the chunk's end. The
        // callbacks still come chunk by chunk, in order.
        for (int32_t first = 0; first < records;) {
            if (Cancelled())
                return;
            const int32_t n = std::min(kScanChunkRecords, records - first);
            datafiles::ReadState fault = reader.state();
            const int32_t got = Take(file, reader, first, n, records, fault);
            if (got < n) {
                Report(file, FileIssueKind::ReadFailed, first + got, 0, datafiles::ReadFaultText(fault));
                return;
            }
            first += n;
            progress_.Fraction = (static_cast<double>(file) + static_cast<double>(first) / records)
                               / static_cast<double>(files_.size());
            if (cb_.Progress)
                cb_.Progress(progress_);
        }
    }

    /// Reads records first .. first+n-1 of `reader` (of `records` whole
    /// records) and hands their numbers on; returns how many were read, the
    /// records up to the first that could not be, whose fault is then in
    /// `fault` (which comes in as the reader's state).
    int32_t Take(size_t file, const datafiles::RecordReader& reader, int32_t first, int32_t n, int32_t records,
                 datafiles::ReadState& fault)
    {
        const int32_t blocks = (n + kBlockRecords - 1) / kBlockRecords;
        team_.ForEach(blocks, [&](int32_t b) {
            const int32_t from = b * kBlockRecords, count = std::min(kBlockRecords, n - from);
            unsigned char* buffer = buffer_.get() + kRecordSize * static_cast<size_t>(from);
            const auto got = static_cast<int32_t>(reader.ReadAt(first + from, buffer, count, &faults_[b]));
            for (int32_t i = 0; i < got; ++i) {
                // The buffer is an array of bytes, in which the records (of
                // an implicit-lifetime type) come into being as they are read.
                const auto* k = reinterpret_cast<const TFonKadr*>(buffer + kRecordSize * static_cast<size_t>(i));
                numbers_[static_cast<size_t>(from + i)] = frames::ComputeFrameNumbers(*k, first + from + i == records - 1);
            }
            got_[b] = got;
        });
        int32_t got = 0;
        for (int32_t b = 0; b < blocks; ++b) {
            got += got_[b];
            if (got_[b] < std::min(kBlockRecords, n - b * kBlockRecords)) {
                fault.Fault = faults_[b].Fault;
                fault.Errno = faults_[b].Errno;
                fault.Done = first + got;
                break;
            }
        }
        if (cb_.Frame)
            for (int32_t i = 0; i < got; ++i)
                cb_.Frame(file, first + i, numbers_[static_cast<size_t>(i)]);
        progress_.Frames += static_cast<uint64_t>(got);
        progress_.Bytes += kRecordSize * static_cast<uint64_t>(got);
        return got;
    }

    /// Records a thread reads and takes at once: a few, so that they are
    /// still in its cache when their numbers are made.
    static constexpr int32_t kBlockRecords = 8;
    static constexpr int32_t kBlocks = (kScanChunkRecords + kBlockRecords - 1) / kBlockRecords;

    const std::vector<std::string>& files_;
    const ScanCallbacks& cb_;
    std::unique_ptr<unsigned char[]> buffer_;  ///< the records of the chunk
    std::vector<frames::FrameNumbers> numbers_;        ///< of the records of the chunk
    datafiles::ReadState faults_[kBlocks];     ///< the fault of each block, when it came short
    int32_t got_[kBlocks] = {};                ///< records read of each block
    WorkTeam team_;
    ScanProgress progress_;
    ScanSummary summary_;
};

} // namespace

ScanSummary ScanFonFiles(const std::vector<std::string>& files, const ScanCallbacks& callbacks)
{
    return Scan(files, callbacks).Run();
}

} // namespace trend
