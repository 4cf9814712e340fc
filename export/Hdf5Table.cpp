#include "export/Hdf5Table.h"

#include <cstring>

#include "export/RecordSink.h"

namespace dataexport {
namespace {

herr_t InnermostMessage(unsigned n, const H5E_error2_t* e, void* out)
{
    if (n == 0 && e->desc)
        *static_cast<std::string*>(out) = e->desc;
    return 0;
}

} // namespace

void ThrowHdf5(const std::string& what)
{
    std::string detail;
    H5Ewalk2(H5E_DEFAULT, H5E_WALK_UPWARD, InnermostMessage, &detail);
    H5Eclear2(H5E_DEFAULT);
    throw OutputError(what + (detail.empty() ? "" : " (" + detail + ")"));
}

Hdf5Table::Hdf5Table(hid_t file, const std::string& name, hid_t type, hsize_t chunkRows, int level)
    : rowSize_(H5Tget_size(type)), chunkRows_(chunkRows), name_(name)
{
    type_ = H5Tcopy(type);
    const hsize_t zero = 0, unlimited = H5S_UNLIMITED;
    const hid_t space = H5Screate_simple(1, &zero, &unlimited);
    const hid_t dcpl = H5Pcreate(H5P_DATASET_CREATE);
    H5Pset_chunk(dcpl, 1, &chunkRows_);
    H5Pset_shuffle(dcpl);
    H5Pset_deflate(dcpl, static_cast<unsigned>(level));
    dset_ = H5Dcreate2(file, name.c_str(), type_, space, H5P_DEFAULT, dcpl, H5P_DEFAULT);
    H5Pclose(dcpl);
    H5Sclose(space);
    if (dset_ < 0) {
        H5Tclose(type_);
        ThrowHdf5("cannot create the dataset " + name);
    }
    buffer_.resize(rowSize_ * chunkRows_);
}

Hdf5Table::~Hdf5Table()
{
    if (dset_ >= 0)
        H5Dclose(dset_);
    if (type_ >= 0)
        H5Tclose(type_);
}

char* Hdf5Table::NextRow()
{
    if (buffered_ == chunkRows_)
        Flush();
    char* row = buffer_.data() + rowSize_ * buffered_++;
    std::memset(row, 0, rowSize_);
    return row;
}

void Hdf5Table::Flush()
{
    if (buffered_ == 0)
        return;
    const hsize_t total = written_ + buffered_;
    bool ok = H5Dset_extent(dset_, &total) >= 0;
    const hid_t fileSpace = H5Dget_space(dset_);
    const hid_t memSpace = H5Screate_simple(1, &buffered_, nullptr);
    ok = ok && H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &written_, nullptr, &buffered_, nullptr) >= 0;
    ok = ok && H5Dwrite(dset_, type_, memSpace, fileSpace, H5P_DEFAULT, buffer_.data()) >= 0;
    H5Sclose(memSpace);
    H5Sclose(fileSpace);
    if (!ok)
        ThrowHdf5("cannot write to the dataset " + name_);
    written_ = total;
    buffered_ = 0;
}

} // namespace dataexport
