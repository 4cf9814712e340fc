#include "export/RecordSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace dataexport {

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

RecordSource::RecordSource(const std::string& path, RecordKind kind) : size_(RecordSize(kind))
{
    if (size_ == 0) {
        error_ = "not a data file (the name ends neither in .fon nor in .Rad)";
        return;
    }
    // O_NONBLOCK: opening a FIFO without a writer, or a device, must not hang.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? "a directory, not a data file" : "not a regular file";
        ::close(fd);
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    records_ = st.st_size / static_cast<off_t>(size_);
    tail_ = st.st_size % static_cast<off_t>(size_);
}

RecordSource::~RecordSource()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool RecordSource::Next(void* buffer)
{
    if (fd_ < 0 || read_ >= records_)
        return false;
    char* p = static_cast<char*>(buffer);
    size_t left = size_;
    while (left > 0) {
        const ssize_t n = ::read(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Shrunk under us or failing medium: what was read so far stands.
            error_ = n < 0 ? std::strerror(errno) : "the file became shorter while it was read";
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ++read_;
    return true;
}

} // namespace dataexport
