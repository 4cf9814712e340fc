#include "export/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "export/RecordSink.h"

namespace dataexport {
namespace {

[[noreturn]] void Fail(const std::string& path, int err)
{
    throw OutputError(path + ": " + std::strerror(err));
}

} // namespace

std::string RefusalToWrite(const std::string& path, bool force)
{
    struct stat st;
    if (force || ::lstat(path.c_str(), &st) != 0)
        return {};
    return path + " exists; --force replaces it";
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), part_(path_ + ".part")
{
    f_ = std::fopen(part_.c_str(), "wb");
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
    if (::rename(part_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(part_.c_str());
        Fail(path_, err);
    }
}

} // namespace dataexport
