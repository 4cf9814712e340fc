#include "export/hdf5/PandasTable.h"

#include <algorithm>

#include "datafiles/FileProblemText.h"

namespace dataexport {
namespace {

/// A list of texts as pandas keeps it in an attribute: a pickle of
/// protocol 0 (text), which PyTables reads back as the list.
std::string PickledItems(const std::vector<std::string>& items)
{
    std::string p;
    for (const std::string& s : items)
        p += "V" + s + "\na";
    return p;
}

std::string PickledList(const std::vector<std::string>& items) { return "(lp0\n" + PickledItems(items) + "."; }

hid_t MemberType(const TableColumn& c)
{
    switch (c.type) {
    case ColumnType::Int16: return H5Tcopy(H5T_STD_I16LE);
    case ColumnType::Int32: return H5Tcopy(H5T_STD_I32LE);
    case ColumnType::Int64: return H5Tcopy(H5T_STD_I64LE);
    case ColumnType::Float64: return H5Tcopy(H5T_IEEE_F64LE);
    case ColumnType::Text: break;
    }
    const hid_t t = H5Tcopy(H5T_C_S1);
    H5Tset_size(t, std::max<size_t>(1, c.textSize));
    H5Tset_strpad(t, H5T_STR_NULLPAD);
    H5Tset_cset(t, H5T_CSET_UTF8);
    return t;
}

/// The numpy name pandas records for a column's dtype.
std::string NumpyName(const TableColumn& c)
{
    switch (c.type) {
    case ColumnType::Int16: return "int16";
    case ColumnType::Int32: return "int32";
    case ColumnType::Int64: return "int64";
    case ColumnType::Float64: return "float64";
    case ColumnType::Text: break;
    }
    return "bytes" + std::to_string(8 * std::max<size_t>(1, c.textSize));
}

void Int64Attribute(hid_t obj, const std::string& name, int64_t value)
{
    const hid_t space = H5Screate(H5S_SCALAR);
    const hid_t a = H5Acreate2(obj, name.c_str(), H5T_STD_I64LE, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(a, H5T_NATIVE_INT64, &value);
    H5Aclose(a);
    H5Sclose(space);
}

} // namespace

void StringAttribute(hid_t obj, const std::string& name, const std::string& value, bool utf8)
{
    const hid_t t = H5Tcopy(H5T_C_S1);
    H5Tset_size(t, std::max<size_t>(1, value.size())); // no terminator: PyTables keeps one in the text
    H5Tset_strpad(t, H5T_STR_NULLTERM);
    H5Tset_cset(t, utf8 ? H5T_CSET_UTF8 : H5T_CSET_ASCII);
    const hid_t space = H5Screate(H5S_SCALAR);
    if (H5Aexists(obj, name.c_str()) > 0)
        H5Adelete(obj, name.c_str());
    const hid_t a = H5Acreate2(obj, name.c_str(), t, space, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(a, t, value.empty() ? "" : value.data());
    H5Aclose(a);
    H5Sclose(space);
    H5Tclose(t);
}

PandasTable::PandasTable(hid_t file, const std::string& group, std::vector<TableColumn> columns, int level)
    : columns_(std::move(columns))
{
    size_t size = sizeof(int64_t);
    for (const TableColumn& c : columns_) {
        const hid_t m = MemberType(c);
        offsets_.push_back(size);
        size += H5Tget_size(m);
        H5Tclose(m);
    }
    rowSize_ = size;
    type_ = H5Tcreate(H5T_COMPOUND, size);
    H5Tinsert(type_, "index", 0, H5T_STD_I64LE);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const hid_t m = MemberType(columns_[i]);
        H5Tinsert(type_, columns_[i].name.c_str(), offsets_[i], m);
        H5Tclose(m);
    }
    const hsize_t chunkRows = std::max<hsize_t>(1, (1u << 20) / size);
    // Shuffled: the rows' slowly changing columns (index, times, names)
    // become runs that deflate packs several times faster than the rows.
    table_ = std::make_unique<Hdf5Table>(file, group + "/table", type_, chunkRows, level, std::vector<hsize_t>{},
                                         true);

    std::vector<std::string> names;
    for (const TableColumn& c : columns_)
        names.push_back(c.name);
    const hid_t g = H5Gopen2(file, group.c_str(), H5P_DEFAULT);
    if (g < 0)
        ThrowHdf5(datafiles::About(group, "группа не открывается"));
    for (auto [k, v] : {std::pair{"CLASS", "GROUP"}, {"VERSION", "1.0"}, {"pandas_type", "frame_table"},
                        {"pandas_version", "0.15.2"}, {"table_type", "appendable_frame"},
                        {"encoding", "UTF-8"}, {"errors", "strict"}, {"nan_rep", "nan"}})
        StringAttribute(g, k, v);
    StringAttribute(g, "index_cols", "(lp0\n(I0\nVindex\ntp1\na.", false);
    StringAttribute(g, "non_index_axes", "(lp0\n(I1\n(lp1\n" + PickledItems(names) + "tp2\na.", false);
    StringAttribute(g, "values_cols", PickledList(names), false);
    StringAttribute(g, "data_columns", PickledList(names), false);
    Int64Attribute(g, "levels", 1);
    H5Gclose(g);

    const hid_t d = table_->Dataset();
    StringAttribute(d, "CLASS", "TABLE", false);
    StringAttribute(d, "VERSION", "2.7", false);
    StringAttribute(d, "index_kind", "integer", false);
    StringAttribute(d, "FIELD_0_NAME", "index", false);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const TableColumn& c = columns_[i];
        StringAttribute(d, "FIELD_" + std::to_string(i + 1) + "_NAME", c.name, false);
        StringAttribute(d, c.name + "_kind", PickledList({c.name}), false);
        StringAttribute(d, c.name + "_dtype", NumpyName(c), false);
        StringAttribute(d, c.name + "_meta", "N.", false);
        StringAttribute(d, c.name + "_units", c.units);
        StringAttribute(d, c.name + "_description", c.description);
    }
}

PandasTable::~PandasTable()
{
    table_.reset();
    if (type_ >= 0)
        H5Tclose(type_);
}

char* PandasTable::NextRow()
{
    const int64_t index = static_cast<int64_t>(table_->Rows());
    char* row = table_->NextRow();
    std::memcpy(row, &index, sizeof index);
    return row;
}

char* PandasTable::NextFullRow()
{
    const int64_t index = static_cast<int64_t>(table_->Rows());
    char* row = table_->NextRawRow();
    std::memcpy(row, &index, sizeof index);
    return row;
}

void PandasTable::PutText(char* row, size_t c, const std::string& s) const
{
    std::memcpy(row + offsets_[c], s.data(), std::min(s.size(), columns_[c].textSize));
}

void PandasTable::Finish()
{
    table_->Flush();
    Int64Attribute(table_->Dataset(), "NROWS", static_cast<int64_t>(table_->Rows()));
}

} // namespace dataexport
