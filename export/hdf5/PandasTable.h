#pragma once
// One table of scalar columns in the layout pandas and PyTables call the
// "table" format: a group with the pandas attributes, holding a compound
// dataset `table` whose fields are `index` and the columns, every column a
// data column. pandas.read_hdf(path, group) gives the DataFrame; h5py and
// PyTables read group/table as rows of named scalar fields. Every column
// carries its unit and description as attributes of `table`
// (`NAME_units`, `NAME_description`).
#include <hdf5.h>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "export/hdf5/Hdf5Table.h"

namespace dataexport {

/// What a column holds.
enum class ColumnType { Int16, Int32, Int64, Float64, Text };

/// One column of a table.
struct TableColumn {
    std::string name;        ///< lower_snake_case
    ColumnType type;
    std::string units;       ///< "ns", "1", "Hz", …; "" for none (text)
    std::string description;
    size_t textSize = 0;     ///< bytes of a Text column (UTF-8, zero-padded)
};

/// A pandas "table" being appended to.
class PandasTable {
public:
    /// Creates group `group` ("/S1/points") in `file` with its dataset.
    /// Throws OutputError.
    PandasTable(hid_t file, const std::string& group, std::vector<TableColumn> columns, int level);
    ~PandasTable();

    /// Space for the next row, its index set; valid until the next call.
    char* NextRow();
    /// Stores `v` into column `c` of `row` (a number of the column's type).
    template <class T>
    void Put(char* row, size_t c, T v) const
    {
        switch (columns_[c].type) {
        case ColumnType::Int16: Store(row, c, static_cast<int16_t>(v)); break;
        case ColumnType::Int32: Store(row, c, static_cast<int32_t>(v)); break;
        case ColumnType::Int64: Store(row, c, static_cast<int64_t>(v)); break;
        case ColumnType::Float64: Store(row, c, static_cast<double>(v)); break;
        case ColumnType::Text: break;
        }
    }
    /// Space for the next row, its index set and the rest not zeroed: for a
    /// caller that stores every column of it; valid until the next call.
    char* NextFullRow();
    /// Stores `v` into column `c` of `row`, whose type is T's (int16_t for
    /// Int16, …): Put without the look at the column's type, for the rows
    /// a frame has by the thousand.
    template <class T>
    void PutAs(char* row, size_t c, T v) const
    {
        assert(sizeof(T) == (c + 1 < offsets_.size() ? offsets_[c + 1] : rowSize_) - offsets_[c]);
        Store(row, c, v);
    }
    /// Stores text `s` (cut to the column's size) into column `c` of `row`.
    void PutText(char* row, size_t c, const std::string& s) const;
    /// Rows given so far.
    int64_t Rows() const { return static_cast<int64_t>(table_->Rows()); }
    /// Writes every row and the row count. Throws OutputError.
    void Finish();

private:
    template <class T>
    void Store(char* row, size_t c, T v) const { std::memcpy(row + offsets_[c], &v, sizeof v); }

    std::vector<TableColumn> columns_;
    std::vector<size_t> offsets_;
    size_t rowSize_ = 0;
    hid_t type_ = -1;
    std::unique_ptr<Hdf5Table> table_;
};

/// Writes string attribute `name` = `value` on `obj`, marked UTF-8 or, for
/// pandas' own attributes (which PyTables only unpickles from bytes), ASCII.
void StringAttribute(hid_t obj, const std::string& name, const std::string& value, bool utf8 = true);

} // namespace dataexport
