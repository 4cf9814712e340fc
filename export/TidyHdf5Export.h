#pragma once
// The --hdf5 command in the tidy layout (the default): one group per
// station, each holding tables of scalar columns that pandas.read_hdf,
// PyTables and h5py open as they are, with UTC instants and a unit and a
// description on every column:
//   /<station>/files         one row per input: its file_id and path
//   /<station>/points        one row per recorded point
//   /<station>/frames        one row per frame
//   /<station>/spectra       one row per frame, channel and bin
//   /<station>/events        one row per radio event
//   /<station>/event_samples events × 6 × 4096 samples, row i = events row i
//   /<station>/trend         the health numbers of each frame
// With two stations or more, the coincidences of their radio events are
// searched as --coincidences searches them and written beside the groups
// (export/TidyCoincidences.h).
// The columns are listed in TidyHdf5Export.cpp and in docs/formats.md.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "coincidence/Events.h"
#include "export/hdf5/Hdf5Table.h"
#include "export/hdf5/PandasTable.h"
#include "export/RecordSink.h"
#include "frames/StationZone.h"

namespace dataexport {

/// What the tidy layout needs to know besides the records.
struct TidySettings {
    std::string station;        ///< --station: the ID of every input; empty: each input's folder name
    std::string programVersion; ///< written on each station group
    int level = 1;              ///< deflate level
    bool force = false;         ///< replace an existing output
    int64_t windowNs = 0;       ///< coincidence window between the stations; 0: no search
};

/// Writes every record into one HDF5 file, grouped by station.
class TidyHdf5Export : public RecordSink {
public:
    /// `inputs` are all paths of the run (the `file` column of the files
    /// tables is as wide as the longest); `zone` is the stations' time zone. The output appears
    /// under `path` only when complete. Throws OutputError.
    TidyHdf5Export(std::string path, const std::vector<std::string>& inputs, const frames::StationZone& zone,
                   TidySettings settings);
    ~TidyHdf5Export() override;

    /// The station ID of `input` under `station` (--station, may be empty),
    /// or "" with `why` saying why when there is none ("" and no `why` for an
    /// input that is not there, which the walk reports).
    static std::string StationOf(const std::string& input, const std::string& station, std::string& why);

    std::string BeginFile(const SourceFile& file) override;
    void Frame(const SourceFile& file, int64_t index, const TFonKadr& frame) override;
    void Event(const SourceFile& file, int64_t index, const TRadKadr& event) override;
    void Finish() override;
    void Abandon() override;
    /// Coincidences written by Finish; -1 when none were searched (one station).
    int64_t Coincidences() const { return coincidences_; }

private:
    /// The tables of one station, made when its first input comes.
    struct Station {
        std::unique_ptr<PandasTable> files, points, frames, spectra, events, trend;
        std::unique_ptr<Hdf5Table> samples;
        std::vector<coinc::Event> times; ///< the events with a time, for the coincidence search
    };
    Station& Open(const std::string& id);
    /// One frame's rows in the station's tables: a row per point (up to
    /// `points`), the frame's row, a row per channel and bin, the trend row.
    void PutPoints(Station& s, int64_t index, const TFonKadr& f, int64_t start, int points);
    void PutFrameRow(Station& s, int64_t index, const TFonKadr& f, int64_t start, int points, int end);
    void PutSpectra(Station& s, const TFonKadr& f, int64_t frameRow);
    void PutTrendRow(Station& s, int64_t index, const TFonKadr& f, int64_t start, bool last);
    void Close();

    std::string path_, part_;
    const frames::StationZone& zone_;
    TidySettings settings_;
    size_t nameSize_ = 1;
    hid_t file_ = -1;
    std::map<std::string, Station> stations_;
    Station* current_ = nullptr; ///< the station of the file being read
    int32_t fileId_ = 0;         ///< that file's file_id in the station's files table
    int64_t coincidences_ = -1;
};

} // namespace dataexport
