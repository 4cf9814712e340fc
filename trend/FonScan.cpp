#include "trend/FonScan.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "trend/WorkTeam.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kRecordSize = sizeof(TFonKadr);

QString ErrnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

/// Closes a descriptor when it goes out of scope.
struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

/// Reads exactly `n` bytes unless the file ends or fails first; returns the
/// bytes read, or -1 with errno set.
ssize_t ReadFull(int fd, unsigned char* p, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, p + got, n - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

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

    void Report(size_t file, FileIssueKind kind, int32_t records, int64_t tail, const QString& message)
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
        const int fd = ::open(files_[file].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            const int err = errno;
            Report(file, FileIssueKind::Unreadable, 0, 0, QStringLiteral("Файл не открывается: %1").arg(ErrnoText(err)));
            return;
        }
        FdCloser closer{fd};
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            const int err = errno;
            Report(file, FileIssueKind::Unreadable, 0, 0, QStringLiteral("Файл не читается: %1").arg(ErrnoText(err)));
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            Report(file, FileIssueKind::NotRegular, 0, 0, QStringLiteral("Не обычный файл: пропущен"));
            return;
        }
        const auto records = static_cast<int32_t>(st.st_size / static_cast<off_t>(kRecordSize));
        const int64_t tail = st.st_size % static_cast<off_t>(kRecordSize);
        if (tail != 0)
            Report(file, FileIssueKind::TornTail, records, tail,
                   QStringLiteral("Неполная последняя запись (%1 байт): прочитано целых кадров %2")
                       .arg(tail)
                       .arg(records));
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

        for (int32_t first = 0; first < records && !Cancelled(); first += kScanChunkRecords) {
            const int32_t n = std::min(kScanChunkRecords, records - first);
            const size_t want = kRecordSize * static_cast<size_t>(n);
            const ssize_t got = ReadFull(fd, buffer_.get(), want);
            if (got < 0 || static_cast<size_t>(got) < want) {
                const int err = errno;
                const int32_t whole = first + static_cast<int32_t>(got < 0 ? 0 : got / static_cast<ssize_t>(kRecordSize));
                Take(file, first, whole - first, records);
                Report(file, FileIssueKind::ReadFailed, whole, 0,
                       got < 0 ? QStringLiteral("Ошибка чтения после кадра %1: %2").arg(whole).arg(ErrnoText(err))
                               : QStringLiteral("Файл укоротился во время чтения: прочитано кадров %1").arg(whole));
                return;
            }
            Take(file, first, n, records);
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
