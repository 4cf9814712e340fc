#pragma once
// The --csv command: every input file becomes CSV files in one directory,
// named after the input ("6_12_23_5.fon.points.csv"):
//   .fon  NAME.frames.csv   file, record, frame, start, rate, gains, limits, channel parameter, end point
//         NAME.points.csv   file, record, frame, point, time, counts of channels 1-4, end flag
//         NAME.spectra.csv  file, record, frame, bin, channels 1-4
//   .Rad  NAME.events.csv   file, record, event, time, gains 1-6
//         NAME.samples.csv  file, record, event, sample, channels 1-6
// Points after the end of a stopped recording are not data and are left out.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "export/CsvText.h"
#include "export/OutputFile.h"
#include "export/RecordSink.h"

namespace dataexport {

/// Writes the CSV files of each input into a directory.
class CsvExport : public RecordSink {
public:
    /// `dir` must exist; `force` replaces existing outputs.
    CsvExport(std::string dir, bool force);
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
        std::unique_ptr<OutputFile> file;
        CsvText text;
    };
    void Flush(Table& t, bool always);
    CsvText& Row(Table& t, const SourceFile& file, int64_t index, int number);

    std::string dir_;
    bool force_;
    std::set<std::string> taken_;   ///< outputs of this run so far
    std::vector<Table> tables_;     ///< outputs of the file being read
};

} // namespace dataexport
