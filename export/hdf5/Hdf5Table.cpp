#include "export/hdf5/Hdf5Table.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "datafiles/FileProblemText.h"
#include "export/RecordSink.h"

namespace dataexport {
namespace {

herr_t InnermostMessage(unsigned n, const H5E_error2_t* e, void* out)
{
    if (n == 0 && e->desc)
        *static_cast<std::string*>(out) = e->desc;
    return 0;
}

/// The name of the file `obj` belongs to.
std::string FileName(hid_t obj)
{
    const ssize_t n = H5Fget_name(obj, nullptr, 0);
    if (n <= 0)
        return {};
    std::string name(static_cast<size_t>(n) + 1, '\0');
    H5Fget_name(obj, name.data(), name.size());
    name.resize(static_cast<size_t>(n));
    return name;
}

} // namespace

void ThrowHdf5(const std::string& what)
{
    std::string detail;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, InnermostMessage, &detail);
    H5Eclear2(H5E_DEFAULT);
    throw OutputError(what + (detail.empty() ? "" : " (" + detail + ")"));
}

Hdf5Table::Hdf5Table(hid_t file, const std::string& name, hid_t type, hsize_t chunkRows, int level,
                     const std::vector<hsize_t>& rowShape, bool shuffle)
    : rowSize_(H5Tget_size(type)), chunkRows_(chunkRows), name_(name), shape_(rowShape)
{
    for (hsize_t d : shape_)
        rowSize_ *= d;
    std::vector<hsize_t> dims{0}, maxDims{H5S_UNLIMITED}, chunk{chunkRows_};
    dims.insert(dims.end(), shape_.begin(), shape_.end());
    maxDims.insert(maxDims.end(), shape_.begin(), shape_.end());
    chunk.insert(chunk.end(), shape_.begin(), shape_.end());
    const int rank = static_cast<int>(dims.size());
    const hid_t space = H5Screate_simple(rank, dims.data(), maxDims.data());
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(dcpl, rank, chunk.data());
    // Level 0 stores the chunks as they are: no filter at all, rather than
    // deflate's stored blocks, which cost a copy and a checksum a chunk.
    shuffle = shuffle && level > 0;
    if (shuffle)
        H5Pset_shuffle(dcpl);
    if (level > 0)
        H5Pset_deflate(dcpl, static_cast<unsigned>(level));
    const hid_t lcpl = H5Pcreate(H5P_LINK_CREATE);
    H5Pset_create_intermediate_group(lcpl, 1);
    dset_ = H5Dcreate2(file, name.c_str(), type, space, lcpl, dcpl, H5P_DEFAULT);
    H5Pclose(lcpl);
    H5Pclose(dcpl);
    H5Sclose(space);
    if (dset_ < 0)
        ThrowHdf5(datafiles::About(FileName(file), "набор данных " + name + " не создаётся"));
    if (level == 0) {
        stored_ = std::make_unique<char[]>(rowSize_ * chunkRows_);
        buffer_ = stored_.get();
        return;
    }
    pipeline_ = std::make_unique<ChunkPipeline>(rowSize_ * chunkRows_, level,
                                                std::max(2u, std::thread::hardware_concurrency()),
                                                shuffle ? H5Tget_size(type) : 0);
    buffer_ = pipeline_->Filling().data();
}

Hdf5Table::~Hdf5Table()
{
    pipeline_.reset();
    if (dset_ >= 0)
        H5Dclose(dset_);
}

char* Hdf5Table::NextRow()
{
    char* row = NextRawRow();
    std::memset(row, 0, rowSize_);
    return row;
}

char* Hdf5Table::NextRawRow()
{
    if (buffered_ == chunkRows_)
        Submit();
    ++rows_;
    return buffer_ + rowSize_ * buffered_++;
}

void Hdf5Table::Submit()
{
    if (buffered_ == 0)
        return;
    // A last, partial chunk is written whole: the rows past the dataset's
    // extent are never read.
    std::fill(buffer_ + rowSize_ * buffered_, buffer_ + rowSize_ * chunkRows_, 0);
    if (!pipeline_) { // stored: written at once, and the buffer filled again
        const hsize_t first = submitted_;
        submitted_ += buffered_;
        buffered_ = 0;
        WriteChunk(first, {buffer_, rowSize_ * chunkRows_});
        return;
    }
    if (pipeline_->Full())
        WriteOldest();
    pipeline_->Submit(submitted_);
    buffer_ = pipeline_->Filling().data();
    submitted_ += buffered_;
    buffered_ = 0;
}

void Hdf5Table::WriteOldest()
{
    const ChunkPipeline::Compressed chunk = pipeline_->TakeOldest();
    WriteChunk(chunk.tag, chunk.bytes);
}

void Hdf5Table::WriteChunk(hsize_t firstRow, std::span<const char> bytes)
{
    // The extent grows to the rows of this chunk that hold data.
    const hsize_t extent = std::min(firstRow + chunkRows_, submitted_);
    bool ok = true;
    std::vector<hsize_t> at{extent};
    at.insert(at.end(), shape_.begin(), shape_.end());
    if (extent > extent_) {
        ok = H5Dset_extent(dset_, at.data()) >= 0;
        extent_ = extent;
    }
    at.assign(at.size(), 0);
    at[0] = firstRow;
    ok = ok && H5Dwrite_chunk(dset_, H5P_DEFAULT, 0, at.data(), bytes.size(), bytes.data()) >= 0;
    if (!ok)
        ThrowHdf5(datafiles::About(FileName(dset_), "не пишется в набор данных " + name_));
}

void Hdf5Table::Flush()
{
    Submit();
    while (pipeline_ && pipeline_->Busy())
        WriteOldest();
}

} // namespace dataexport
