#include "datafiles/RecordReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace datafiles {

RecordKind KindOfPath(const std::string& path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return RecordKind::Unknown;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "fon")
        return RecordKind::Fon;
    if (ext == "rad")
        return RecordKind::Rad;
    return RecordKind::Unknown;
}

size_t RecordSize(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Fon: return sizeof(TFonKadr);
    case RecordKind::Rad: return sizeof(TRadKadr);
    default: return 0;
    }
}

RecordReader::RecordReader(const std::string& path, size_t recordSize, Access access)
    : path_(path), size_(recordSize)
{
    // O_NONBLOCK: opening a pipe without a writer, or a device, must not hang.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        // A socket (ENXIO) or a folder opened some other way (EISDIR).
        state_.Fault = err == ENXIO || err == EISDIR ? ReadFault::NotRegular : ReadFault::OpenFailed;
        state_.Errno = err;
        return;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        state_ = {ReadFault::OpenFailed, errno};
        ::close(fd);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        state_.Fault = ReadFault::NotRegular;
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (access == Access::Sequential)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    state_.Records = st.st_size / static_cast<off_t>(size_);
    state_.TailBytes = st.st_size % static_cast<off_t>(size_);
}

RecordReader::~RecordReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool RecordReader::Seek(int64_t index)
{
    if (fd_ < 0 || index < 0 || index > state_.Records)
        return false;
    next_ = index;
    return true;
}

int64_t RecordReader::Read(void* buffer, int64_t count)
{
    if (!ok())
        return 0;
    const int64_t whole = ReadAt(next_, buffer, count, &state_);
    next_ += whole;
    state_.Done = std::max(state_.Done, next_);
    return whole;
}

int64_t RecordReader::ReadAt(int64_t index, void* buffer, int64_t count, ReadState* fault) const
{
    if (fd_ < 0 || count <= 0 || index < 0)
        return 0;
    const int64_t want = std::min(count, state_.Records - index);
    if (want <= 0)
        return 0;
    char* p = static_cast<char*>(buffer);
    const size_t bytes = size_ * static_cast<size_t>(want);
    const off_t at = static_cast<off_t>(size_) * index;
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::pread(fd_, p + got, bytes - got, at + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A failing medium, or the file cut short under us: what was
            // read whole so far stands.
            if (fault) {
                fault->Fault = n < 0 ? ReadFault::ReadFailed : ReadFault::Shrunk;
                fault->Errno = n < 0 ? errno : 0;
            }
            break;
        }
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got / size_);
}

} // namespace datafiles
