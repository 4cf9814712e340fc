#pragma once
// The one rule for output files: an output is written under a temporary
// name beside its final one ("NAME.part") and renamed into place only when
// complete, so an output that exists is always whole; an existing output is
// replaced only when asked to (-f), and one that appears while the output is
// being written is kept as well.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

namespace datafiles {

/// An output that cannot be written any further (disk full, no
/// permission); what() names the file and says why.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Whether `path` may be written: empty when it does not exist or `force`
/// is set, else the message that names it and says it is kept.
std::string RefusalToWrite(const std::string& path, bool force);

/// The temporary name `path` is written under.
std::string PartName(const std::string& path);

/// Moves the complete temporary file `part` to `path`. Without `force` an
/// output of that name that appeared meanwhile is kept and the temporary
/// file removed. Throws OutputError (the temporary file is removed then).
void CommitPart(const std::string& part, const std::string& path, bool force);

/// A buffered output file under its temporary name until Commit().
class OutputFile {
public:
    /// Opens PartName(path) for writing; throws OutputError.
    OutputFile(std::string path, bool force);
    /// Removes the temporary file when not committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// Appends bytes; throws OutputError on a write failure.
    void Write(std::string_view bytes);
    /// Flushes to the disk, closes and renames into place; throws OutputError.
    void Commit();
    const std::string& path() const { return path_; }

private:
    std::string path_, part_;
    bool force_;
    std::FILE* f_ = nullptr;
};

} // namespace datafiles
