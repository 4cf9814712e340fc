#pragma once
// An output written under a temporary name beside its final one
// ("NAME.part") and renamed into place only when complete, so an output
// that exists is always whole. An existing output is replaced only when
// asked to.
#include <cstdio>
#include <string>
#include <string_view>

namespace dataexport {

/// Whether `path` may be written: it does not exist, or `force` is set.
/// Returns the reason when not ("exists; --force replaces it").
std::string RefusalToWrite(const std::string& path, bool force);

/// A buffered output file under the temporary name until Commit().
class OutputFile {
public:
    /// Opens "<path>.part" for writing; throws OutputError.
    explicit OutputFile(std::string path);
    /// Removes the temporary file when not committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Appends bytes; throws OutputError on a write failure.
    void Write(std::string_view bytes);
    /// Flushes, closes and renames into place; throws OutputError.
    void Commit();
    const std::string& path() const { return path_; }

private:
    std::string path_, part_;
    std::FILE* f_ = nullptr;
};

} // namespace dataexport
