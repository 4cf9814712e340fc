#pragma once
// One extendible, chunked, compressed HDF5 dataset of compound rows, filled
// row by row. Rows gather in a buffer of one chunk and go to the file a
// whole chunk at a time, so memory stays at one chunk whatever the input
// and each chunk is compressed once.
#include <hdf5.h>
#include <string>
#include <vector>

namespace dataexport {

/// An HDF5 dataset being appended to.
class Hdf5Table {
public:
    /// Creates dataset `name` in `file` with rows of compound `type` (its
    /// size is the row size), `chunkRows` rows to a chunk, shuffle and
    /// deflate at `level`. Throws OutputError.
    Hdf5Table(hid_t file, const std::string& name, hid_t type, hsize_t chunkRows, int level);
    ~Hdf5Table();
    Hdf5Table(const Hdf5Table&) = delete;
    Hdf5Table& operator=(const Hdf5Table&) = delete;

    /// Space for the next row (row-size bytes, zeroed); valid until the next call.
    char* NextRow();
    /// Writes the buffered rows. Throws OutputError.
    void Flush();
    /// Rows written or buffered.
    hsize_t Rows() const { return written_ + buffered_; }

private:
    hid_t dset_ = -1, type_ = -1;
    size_t rowSize_;
    hsize_t chunkRows_, written_ = 0, buffered_ = 0;
    std::vector<char> buffer_;
    std::string name_;
};

/// Throws OutputError with `what` and the innermost message of the HDF5
/// error stack.
[[noreturn]] void ThrowHdf5(const std::string& what);

} // namespace dataexport
