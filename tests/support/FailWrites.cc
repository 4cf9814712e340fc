// A full disk for a test, preloaded into a program (LD_PRELOAD): while the
// file named by VFON_FAIL_WRITES exists, every write, pwrite, fsync and fdatasync to
// a regular file fails with ENOSPC. Sockets, pipes and terminals go on.
#include <dlfcn.h>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int DiskFull(int fd)
{
    const char* flag = getenv("VFON_FAIL_WRITES");
    struct stat st;
    if (!flag || access(flag, F_OK) != 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    errno = ENOSPC;
    return 1;
}

template <class F>
F Real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" {

ssize_t write(int fd, const void* buf, size_t n)
{
    static const auto real = Real<ssize_t (*)(int, const void*, size_t)>("write");
    return DiskFull(fd) ? -1 : real(fd, buf, n);
}

ssize_t pwrite(int fd, const void* buf, size_t n, off_t at)
{
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return DiskFull(fd) ? -1 : real(fd, buf, n, at);
}

int fsync(int fd)
{
    static const auto real = Real<int (*)(int)>("fsync");
    return DiskFull(fd) ? -1 : real(fd);
}

int fdatasync(int fd)
{
    static const auto real = Real<int (*)(int)>("fdatasync");
    return DiskFull(fd) ? -1 : real(fd);
}
}
