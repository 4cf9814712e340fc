#include "datafiles/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FileProblemText.h"

namespace datafiles {
namespace {

[[noreturn]] void Fail(const std::string& path, int err)
{
    throw OutputError(About(path, "не записан: " + ErrnoText(err)));
}

} // namespace

std::string RefusalToWrite(const std::string& path, bool force)
{
    struct stat st;
    if (force || ::lstat(path.c_str(), &st) != 0)
        return {};
    return About(path, "уже есть и оставлен как есть (-f заменяет)");
}

std::string PartName(const std::string& path) { return path + ".part"; }

void CommitPart(const std::string& part, const std::string& path, bool force)
{
    int rc = force ? ::rename(part.c_str(), path.c_str())
                   : ::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && !force && (errno == EINVAL || errno == ENOSYS)) {
        // A file system that cannot refuse to replace: look, then rename.
        struct stat st;
        if (::lstat(path.c_str(), &st) == 0)
            errno = EEXIST;
        else
            rc = ::rename(part.c_str(), path.c_str());
    }
    if (rc == 0)
        return;
    const int err = errno;
    ::unlink(part.c_str());
    if (err == EEXIST)
        throw OutputError(RefusalToWrite(path, false));
    Fail(path, err);
}

OutputFile::OutputFile(std::string path, bool force) : path_(std::move(path)), part_(PartName(path_)), force_(force)
{
    f_ = std::fopen(part_.c_str(), "wbe");
    if (!f_)
        Fail(part_, errno);
    std::setvbuf(f_, nullptr, _IOFBF, 1 << 20);
}

OutputFile::~OutputFile()
{
    if (f_) {
        std::fclose(f_);
        ::unlink(part_.c_str());
    }
}

void OutputFile::Write(std::string_view bytes)
{
    if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size())
        Fail(part_, errno);
}

void OutputFile::Commit()
{
    std::FILE* f = f_;
    f_ = nullptr;
    if (std::fflush(f) != 0 || ::fsync(fileno(f)) != 0) {
        const int err = errno;
        std::fclose(f);
        ::unlink(part_.c_str());
        Fail(part_, err);
    }
    if (std::fclose(f) != 0) {
        const int err = errno;
        ::unlink(part_.c_str());
        Fail(part_, err);
    }
    CommitPart(part_, path_, force_);
}

} // namespace datafiles
