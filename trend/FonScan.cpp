#include "trend/FonScan.h"

#include <algorithm>
#include <functional>
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
        : files_(files), cb_(cb), numbers_(kScanChunkRecords), team_(cb.Threads)
    {
        progress_.FilesTotal = files.size();
        for (auto& b : buffers_)
            b.reset(new unsigned char[kRecordSize * kScanChunkRecords]);
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

        // Each chunk is read while the numbers of the one before are made
        // (by whichever thread of the team is free first), into the other
        // of two buffers; the callbacks still come chunk by chunk, in order.
        int32_t first = 0;
        int32_t n = Cancelled() ? 0 : std::min(kScanChunkRecords, records);
        int32_t got = n > 0 ? static_cast<int32_t>(reader.Read(buffers_[0].get(), n)) : 0;
        for (size_t cur = 0; n > 0; cur ^= 1) {
            const int32_t nextFirst = first + n;
            const int32_t nextN = got == n && !Cancelled() ? std::min(kScanChunkRecords, records - nextFirst) : 0;
            int32_t nextGot = 0;
            Take(file, first, got, records, buffers_[cur].get(), nextN > 0 ? [&] {
                nextGot = static_cast<int32_t>(reader.Read(buffers_[cur ^ 1].get(), nextN));
            } : std::function<void()>());
            if (got < n) {
                Report(file, FileIssueKind::ReadFailed, first + got, 0, datafiles::ReadFaultText(st));
                return;
            }
            progress_.Fraction = (static_cast<double>(file) + static_cast<double>(first + n) / records)
                               / static_cast<double>(files_.size());
            if (cb_.Progress)
                cb_.Progress(progress_);
            if (Cancelled())
                return;
            first = nextFirst;
            n = nextN;
            got = nextGot;
        }
    }

    /// Hands the numbers of `n` records from `buffer` on; `first` is the
    /// index of the first of them, `records` the file's whole records.
    /// `readAhead`, when given, runs beside the numbers, on the team.
    void Take(size_t file, int32_t first, int32_t n, int32_t records, const unsigned char* buffer,
              const std::function<void()>& readAhead)
    {
        const int32_t extra = readAhead ? 1 : 0;
        team_.ForEach(n + extra, [&](int32_t j) {
            if (j < extra) {
                readAhead();
                return;
            }
            const int32_t i = j - extra;
            // The buffer is an array of bytes, in which the records (of an
            // implicit-lifetime type) come into being as they are read.
            const auto* k = reinterpret_cast<const TFonKadr*>(buffer + kRecordSize * static_cast<size_t>(i));
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
    std::unique_ptr<unsigned char[]> buffers_[2]; ///< the chunk taken and the chunk read ahead
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
