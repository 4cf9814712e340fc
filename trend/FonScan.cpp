#include "trend/FonScan.h"

#include <algorithm>
#include <memory>

#include "datafiles/FileProblemText.h"
#include "datafiles/RecordReader.h"
#include "trend/WorkTeam.h"

namespace {

constexpr size_t kRecordSize = sizeof(TFonKadr);

/// One scan over the list: the shared read buffer and the running totals.
class Scan {
public:
    Scan(const std::vector<std::string>& files, const ScanCallbacks& cb)
        : files_(files), cb_(cb), buffer_(new unsigned char[kRecordSize * kScanChunkRecords]),
          numbers_(kScanChunkRecords), team_(cb.Threads)
    {
        progress_.FilesTotal = files.size();
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
        case FileIssueKind::ReadFailed: ++summary_.FilesFailed; break;
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

        for (int32_t first = 0; first < records && !Cancelled(); first += kScanChunkRecords) {
            const int32_t n = std::min(kScanChunkRecords, records - first);
            const auto got = static_cast<int32_t>(reader.Read(buffer_.get(), n));
            Take(file, first, got, records);
            if (got < n) {
                Report(file, FileIssueKind::ReadFailed, first + got, 0, datafiles::ReadFaultText(st));
                return;
            }
            progress_.Fraction = (static_cast<double>(file) + static_cast<double>(first + n) / records)
                               / static_cast<double>(files_.size());
            if (cb_.Progress)
                cb_.Progress(progress_);
        }
    }

    /// Hands the numbers of `n` records from the buffer on; `first` is the
    /// index of the first of them, `records` the file's whole records.
    void Take(size_t file, int32_t first, int32_t n, int32_t records)
    {
        team_.ForEach(n, [&](int32_t i) {
            // The buffer is an array of bytes, in which the records (of an
            // implicit-lifetime type) come into being as they are read.
            const auto* k = reinterpret_cast<const TFonKadr*>(buffer_.get() + kRecordSize * static_cast<size_t>(i));
            numbers_[static_cast<size_t>(i)] = ComputeFrameNumbers(*k, first + i == records - 1);
        });
        if (cb_.Frame)
            for (int32_t i = 0; i < n; ++i)
                cb_.Frame(file, first + i, numbers_[static_cast<size_t>(i)]);
        progress_.Frames += static_cast<uint64_t>(n);
        progress_.Bytes += kRecordSize * static_cast<uint64_t>(n);
    }

    const std::vector<std::string>& files_;
    const ScanCallbacks& cb_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::vector<FrameNumbers> numbers_; ///< of the records of the buffer
    WorkTeam team_;
    ScanProgress progress_;
    ScanSummary summary_;
};

} // namespace

ScanSummary ScanFonFiles(const std::vector<std::string>& files, const ScanCallbacks& callbacks)
{
    return Scan(files, callbacks).Run();
}
