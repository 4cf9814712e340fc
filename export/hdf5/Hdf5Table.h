#pragma once
// One extendible, chunked, deflate-compressed HDF5 dataset of compound rows,
// filled row by row. Rows gather in a buffer of one chunk; a full chunk is
// compressed on a worker thread while the next one fills, and written into
// the file as it is (a direct chunk write) by the calling thread, the only
// one that touches HDF5. At most a few chunks are in flight, in buffers
// reused from chunk to chunk (export/hdf5/ChunkPipeline.h), so memory stays
// flat whatever the input. At level 0 chunks are stored unfiltered, each
// written as soon as it is full.
#include <hdf5.h>
#include <memory>
#include <span>
#include <string>

#include "export/hdf5/ChunkPipeline.h"

namespace dataexport {

/// An HDF5 dataset being appended to.
class Hdf5Table {
public:
    /// Creates dataset `name` in `file` (a path, its groups made) with rows
    /// of `type`, `chunkRows` rows to a chunk, deflate at `level`. A row is
    /// one element of `type` (a compound row), or with `rowShape` a block of
    /// that shape (the dataset is then rows × rowShape). With `shuffle` (and
    /// a level above 0) the chunks go through HDF5's shuffle filter, for
    /// elements of `type`, before deflate. Throws OutputError.
    Hdf5Table(hid_t file, const std::string& name, hid_t type, hsize_t chunkRows, int level,
              const std::vector<hsize_t>& rowShape = {}, bool shuffle = false);
    ~Hdf5Table();
    Hdf5Table(const Hdf5Table&) = delete;
    Hdf5Table& operator=(const Hdf5Table&) = delete;

    /// Space for the next row (row-size bytes, zeroed); valid until the next call.
    char* NextRow();
    /// The same, not zeroed: for a caller that writes every byte of the row.
    char* NextRawRow();
    /// Writes every row given so far. Throws OutputError.
    void Flush();
    /// Rows given so far.
    hsize_t Rows() const { return rows_; }
    /// The dataset (for its attributes).
    hid_t Dataset() const { return dset_; }

private:
    void Submit();
    void WriteOldest();
    /// Writes the chunk whose first row is `firstRow`, as it is to be stored.
    void WriteChunk(hsize_t firstRow, std::span<const char> bytes);

    hid_t dset_ = -1;
    size_t rowSize_;
    hsize_t chunkRows_, rows_ = 0, buffered_ = 0;
    hsize_t submitted_ = 0; ///< rows handed to the compression
    hsize_t extent_ = 0;    ///< rows of the dataset in the file
    char* buffer_ = nullptr; ///< the chunk being filled
    std::unique_ptr<ChunkPipeline> pipeline_; ///< none at level 0
    std::unique_ptr<char[]> stored_;          ///< the one chunk buffer at level 0
    std::string name_;
    std::vector<hsize_t> shape_; ///< dims of a row after the first (row) dim
};

/// Throws OutputError with `what` and the innermost message of the HDF5
/// error stack.
[[noreturn]] void ThrowHdf5(const std::string& what);

} // namespace dataexport
