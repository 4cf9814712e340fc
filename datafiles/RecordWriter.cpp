#include "datafiles/RecordWriter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/RunError.h"

namespace recfile {
namespace {

std::mutex g_seamMutex;
std::condition_variable g_seamChanged;
WriteSeam g_seam;
int64_t g_throughSeam = 0;

/// A file of a run opened for writing by name (so a file removed or
/// replaced is noticed at the next save), never waiting on a pipe or device.
class RunFile {
public:
    explicit RunFile(const std::string& path) : path_(path)
    {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd_ < 0)
            Fail(errno == ENXIO || errno == EISDIR ? -1 : errno);
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            Fail(errno);
        if (!S_ISREG(st.st_mode))
            Fail(-1);
        size_ = st.st_size;
    }
    ~RunFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    off_t Size() const { return size_; }

    void Write(off_t offset, const void* data, size_t length)
    {
        length = ThroughSeam(length);
        const char* p = static_cast<const char*>(data);
        while (length > 0) {
            const ssize_t n = ::pwrite(fd_, p, length, offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                Fail(errno);
            if (n == 0)
                Fail(ENOSPC);
            p += n;
            offset += n;
            length -= static_cast<size_t>(n);
        }
    }
    void Sync()
    {
        if (::fdatasync(fd_) != 0 && errno != EINVAL)
            Fail(errno);
    }
    void Close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            Fail(errno);
    }

private:
    /// How much of a write of `length` bytes the seam lets through.
    static size_t ThroughSeam(size_t length)
    {
        WriteSeam seam;
        {
            std::unique_lock lock(g_seamMutex);
            g_seamChanged.wait_for(lock, std::chrono::minutes(1), [] { return !g_seam.Held; });
            ++g_throughSeam;
            seam = g_seam;
            if (g_seam.CutAfterBytes >= 0)
                g_seam.CutAfterBytes -= std::min<int64_t>(g_seam.CutAfterBytes, static_cast<int64_t>(length));
        }
        if (seam.DelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(seam.DelayMs));
        if (seam.CutAfterBytes >= 0 && static_cast<int64_t>(length) > seam.CutAfterBytes)
            return static_cast<size_t>(seam.CutAfterBytes);
        return length;
    }
    [[noreturn]] void Fail(int err) const
    {
        // The file's name first: the operator has to know which file failed.
        try {
            if (err < 0)
                rt::RaiseNotRegular(path_);
            rt::RaiseIoErrno(err);
        } catch (const rt::EInOutError& e) {
            if (err < 0)
                throw;
            throw rt::EInOutError(e.Code, path_ + ": " + e.what());
        }
    }

    std::string path_;
    int fd_ = -1;
    off_t size_ = 0;
};

/// The unsaved mark: a time no clock gives.
constexpr TPointTime kUnsaved{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};

} // namespace

void SaveFrame(const std::string& path, int32_t index, const TFonKadr& frame, int32_t saved, int32_t points,
               const TPointTime& end)
{
    if (index < 0 || saved < 0 || points < saved || points > kFonPoints)
        rt::RaiseIo(131);
    auto image = std::make_unique<TFonKadr>(frame);
    for (int c = 1; c <= kFonChannels; ++c)
        std::fill(image->Counts(c) + points, image->Counts(c) + kFonPoints, 0);
    if (points < kFonPoints)
        image->Times[points] = end;
    const off_t base = static_cast<off_t>(sizeof(TFonKadr)) * index;
    const auto at = [&](size_t field) { return base + static_cast<off_t>(field); };
    const auto timeAt = [&](int32_t k) { return at(offsetof(TFonKadr, Times) + sizeof(TPointTime) * k); };

    RunFile f(path);
    const bool fresh = saved == 0 || f.Size() < base + static_cast<off_t>(sizeof(TFonKadr));
    if (fresh) {
        // A slot of its own, front to back; its first point counts once its
        // time is in.
        const TPointTime first = image->Times[0];
        if (points > 0)
            image->Times[0] = kUnsaved;
        f.Write(base, image.get(), sizeof(TFonKadr));
        f.Sync();
        if (points > 0) {
            f.Write(timeAt(0), &first, sizeof first);
            f.Sync();
        }
        f.Close();
        return;
    }
    if (points > saved) {
        // The end of the saved recording stays the end until its own time goes in.
        f.Write(timeAt(saved), &kUnsaved, sizeof kUnsaved);
        f.Sync();
        for (int c = 1; c <= kFonChannels; ++c)
            f.Write(at(offsetof(TFonKadr, Counts1) + sizeof(TFonKadr::Counts1) * static_cast<size_t>(c - 1) +
                       sizeof(int32_t) * static_cast<size_t>(saved)),
                    image->Counts(c) + saved, sizeof(int32_t) * static_cast<size_t>(points - saved));
    }
    const int32_t lastTime = std::min(points, kFonPoints - 1);
    if (lastTime > saved)
        f.Write(timeAt(saved + 1), &image->Times[saved + 1], sizeof(TPointTime) * static_cast<size_t>(lastTime - saved));
    else if (points == saved && points < kFonPoints)
        f.Write(timeAt(points), &image->Times[points], sizeof(TPointTime));
    f.Sync();
    f.Write(base, image.get(), offsetof(TFonKadr, Counts1));
    f.Write(at(offsetof(TFonKadr, Spectr1)), image->Spectr1, sizeof(TFonKadr) - offsetof(TFonKadr, Spectr1));
    f.Sync();
    if (points > saved) {
        f.Write(timeAt(saved), &image->Times[saved], sizeof(TPointTime));
        f.Sync();
    }
    f.Close();
}

void SaveEvent(const std::string& path, int32_t index, const TRadKadr& event)
{
    if (index < 0)
        rt::RaiseIo(131);
    RunFile f(path);
    f.Write(static_cast<off_t>(sizeof(TRadKadr)) * index, &event, sizeof event);
    f.Sync();
    f.Close();
}

void SyncFolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        rt::RaiseIoErrno(errno, folder);
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0 && err != EINVAL)
        rt::RaiseIoErrno(err, folder);
}

void SetWriteSeam(const WriteSeam& seam)
{
    {
        std::lock_guard lock(g_seamMutex);
        g_seam = seam;
    }
    g_seamChanged.notify_all();
}

int64_t WritesThroughSeam()
{
    std::lock_guard lock(g_seamMutex);
    return g_throughSeam;
}

} // namespace recfile
