#pragma once
// The --hdf5 command: all inputs into one HDF5 file, in the order given.
//   /frames  one row per background record: file, record, end_point and the
//            record's fields (KadrNo, date and time, Rate, FGain[4],
//            Limit[4], ChanParam, Counts[4][600], Times[600][4], Spectr[4][256])
//   /events  one row per radio record: file, record and the record's fields
//            (EventNo, date and time, RGain[6], Samples[6][4096])
// Field names and types are those of the record dtypes of docs/formats.md;
// the comment and padding bytes of the records are left out. Both datasets
// are chunked and compressed (deflate) and always present.
#include <memory>
#include <string>
#include <vector>

#include "export/hdf5/Hdf5Table.h"
#include "export/RecordSink.h"

namespace dataexport {

/// Writes every record into one HDF5 file.
class Hdf5Export : public RecordSink {
public:
    /// `inputs` are all paths of the run (the file-name field is as wide as
    /// the longest); the output appears under `path` only when complete,
    /// replacing one of that name only with `force`. Throws OutputError.
    Hdf5Export(std::string path, const std::vector<std::string>& inputs, int level = 1, bool force = false);
    ~Hdf5Export() override;

    void Frame(const SourceFile& file, int64_t index, const TFonKadr& frame) override;
    void Event(const SourceFile& file, int64_t index, const TRadKadr& event) override;
    void Finish() override;
    void Abandon() override;

private:
    void Close();
    /// The file name into the first column of `row`, zero-padded.
    void PutName(char* row, const std::string& path) const;

    std::string path_, part_;
    bool force_;
    size_t nameSize_;
    hid_t file_ = -1, frameType_ = -1, eventType_ = -1;
    std::unique_ptr<Hdf5Table> frames_, events_;
};

} // namespace dataexport
