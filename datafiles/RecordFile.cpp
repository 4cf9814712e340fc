#include "datafiles/RecordFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/RecordReader.h"
#include "platform/RunError.h"

namespace recfile {
namespace {

/// An open descriptor of a regular file that is closed (and the close
/// checked) by Close(). The open never waits: a pipe or a device of that
/// name is refused instead of blocking the program.
class Fd {
public:
    Fd(const std::string& path, int flags) : path_(path)
    {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd_ < 0) {
            if (errno == ENXIO || errno == EISDIR) // a pipe without reader, a directory
                rt::RaiseNotRegular(path);
            rt::RaiseIoErrno(errno, path);
        }
        struct stat st;
        if (::fstat(fd_, &st) != 0)
            rt::RaiseIoErrno(errno, path);
        if (!S_ISREG(st.st_mode))
            rt::RaiseNotRegular(path);
    }
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Get() const { return fd_; }
    void Close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            rt::RaiseIoErrno(errno, path_);
    }
    void Seek(off_t pos) const
    {
        if (::lseek(fd_, pos, SEEK_SET) < 0)
            rt::RaiseIoErrno(errno, path_);
    }

private:
    std::string path_;
    int fd_ = -1;
};

off_t Offset(size_t size, int32_t index)
{
    if (index < 0)
        rt::RaiseIo(131); // negative seek
    return static_cast<off_t>(size) * index;
}

/// The reader of `path` open and well, or the error its fault raises.
void RaiseIfFaulty(const datafiles::RecordReader& r)
{
    const datafiles::ReadState& s = r.state();
    switch (s.Fault) {
    case datafiles::ReadFault::None: return;
    case datafiles::ReadFault::NotRegular: rt::RaiseNotRegular(r.path());
    case datafiles::ReadFault::OpenFailed:
    case datafiles::ReadFault::ReadFailed: rt::RaiseIoErrno(s.Errno, r.path());
    case datafiles::ReadFault::Shrunk: rt::RaiseIo(rt::kIoReadBeyondEof, r.path());
    }
}

} // namespace

void Create(const std::string& path)
{
    Fd f(path, O_WRONLY | O_CREAT | O_TRUNC);
    f.Close();
}

bool CreateNew(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        rt::RaiseIoErrno(errno, path);
    }
    if (::close(fd) != 0)
        rt::RaiseIoErrno(errno, path);
    return true;
}

void Write(const std::string& path, size_t size, int32_t index, const void* record)
{
    Fd f(path, O_WRONLY); // the file must exist: it was created at the start
    f.Seek(Offset(size, index));
    const char* p = static_cast<const char*>(record);
    size_t left = size;
    while (left > 0) {
        const ssize_t n = ::write(f.Get(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            rt::RaiseIoErrno(errno, path);
        }
        if (n == 0)
            rt::RaiseIo(rt::kIoDiskFull, path);
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fdatasync(f.Get()) != 0 && errno != EINVAL)
        rt::RaiseIoErrno(errno, path);
    f.Close();
}

int32_t Read(const std::string& path, size_t size, int32_t index, void* record)
{
    datafiles::RecordReader r(path, size, datafiles::RecordReader::Access::Random);
    RaiseIfFaulty(r);
    const auto count = static_cast<int32_t>(r.records());
    if (index < 0 || index >= count)
        rt::RaiseIo(rt::kIoReadBeyondEof, path);
    r.Seek(index);
    if (r.Read(record, 1) != 1)
        RaiseIfFaulty(r);
    return count;
}

int32_t Count(const std::string& path, size_t size)
{
    datafiles::RecordReader r(path, size, datafiles::RecordReader::Access::Random);
    RaiseIfFaulty(r);
    return static_cast<int32_t>(r.records());
}

} // namespace recfile
