#include "centre/SyncedAppend.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FileProblemText.h"

namespace centre {

bool WriteWhole(int fd, std::string_view bytes, off_t at)
{
    while (!bytes.empty()) {
        const ssize_t n = at < 0 ? ::write(fd, bytes.data(), bytes.size()) : ::pwrite(fd, bytes.data(), bytes.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
        if (at >= 0)
            at += static_cast<off_t>(n);
    }
    return true;
}

bool SyncFolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

std::string AppendSynced(const std::string& path, std::string_view header, std::string_view text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return path + ": " + datafiles::ErrnoText(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return path + ": " + datafiles::ErrnoText(err);
    }
    const bool fresh = st.st_size == 0;
    bool ok = (!fresh || WriteWhole(fd, header)) && WriteWhole(fd, text) && ::fdatasync(fd) == 0;
    ok = ok && (!fresh || SyncFolderOf(path));
    const int err = errno;
    if (!ok) {
        // Whatever part went in is taken out again: the next try writes it whole.
        while (::ftruncate(fd, st.st_size) != 0 && errno == EINTR) {
        }
    }
    ::close(fd);
    return ok ? std::string() : path + ": " + datafiles::ErrnoText(err);
}

bool CutTo(const std::string& path, long long keep)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_size <= keep)
        return true;
    return ::truncate(path.c_str(), keep) == 0;
}

} // namespace centre
