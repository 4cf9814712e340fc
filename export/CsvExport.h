#pragma once
// The --csv command: every input file becomes CSV files in one directory,
// named after the input ("6_12_23_5.fon.points.csv"):
//   .fon  NAME.frames.csv   file, record, frame, start, start_ns, rate, gains, limits, channel parameter, end point
//         NAME.points.csv   file, record, frame, point, time, time_ns, counts of channels 1-4, end flag
//         NAME.spectra.csv  file, record, frame, bin, channels 1-4
//   .Rad  NAME.events.csv   file, record, event, time, time_ns, gains 1-6
//         NAME.samples.csv  file, record, event, sample, channels 1-6
// Points after the end of a stopped recording are not data and are left out.
// Times are ISO 8601 with the station zone's offset, and UTC nanoseconds;
// a header names a column's unit in brackets ("time_ns [ns]").
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "datafiles/CsvText.h"
#include "datafiles/OutputFile.h"
#include "export/RecordSink.h"
#include "frames/StationZone.h"

namespace dataexport {

/// Why `dir` cannot take the CSV files (it exists and is no folder), naming
/// it; empty when it is a folder or is missing (it is made when needed).
std::string CsvFolderProblem(const std::string& dir);

/// Writes the CSV files of each input into a directory.
class CsvExport : public RecordSink {
public:
    /// `dir` is made when the first input has rows to write (a run whose
    /// inputs are all missing leaves no folder behind); `force` replaces
    /// existing outputs.
    CsvExport(std::string dir, bool force, const frames::StationZone& zone);
    ~CsvExport() override;

    /// The output names of `input` in `dir`, in the order listed above.
    static std::vector<std::string> OutputNames(const std::string& dir, const std::string& input, RecordKind kind);

    std::string BeginFile(const SourceFile& file) override;
    void Frame(const SourceFile& file, int64_t index, const TFonKadr& frame) override;
    void Event(const SourceFile& file, int64_t index, const TRadKadr& event) override;
    void EndFile(const SourceFile& file) override;
    void Abandon() override;

private:
    /// One output with the text not yet written.
    struct Table {
        std::unique_ptr<datafiles::OutputFile> file;
        datafiles::CsvText text;
    };
    void Flush(Table& t, bool always);
    datafiles::CsvText& Row(Table& t, const SourceFile& file, int64_t index, int number);

    /// The time of stamp `s` as two fields: ISO text with offset, UTC ns.
    void Time(datafiles::CsvText& t, const frames::FrameStamp& s) const;

    std::string dir_;
    bool force_;
    const frames::StationZone& zone_;
    bool dirReady_ = false;         ///< dir_ is there
    std::set<std::string> taken_;   ///< outputs of this run so far
    std::vector<Table> tables_;     ///< outputs of the file being read
};

} // namespace dataexport
