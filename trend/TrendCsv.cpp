#include "trend/TrendCsv.h"

#include <memory>

#include "datafiles/CsvText.h"
#include "datafiles/FileProblemText.h"
#include "datafiles/OutputFile.h"
#include "frames/TrendRow.h"

namespace trend {

namespace {

constexpr size_t kFlushBytes = size_t{1} << 20;

/// The rows going into the trend CSV, written out a megabyte at a time.
class RowWriter {
public:
    explicit RowWriter(datafiles::OutputFile& csv) : csv_(csv) {}

    /// Adds the rows of one scanned frame; false, with the reason in
    /// Failure(), when a write failed.
    bool Add(const std::string& file, int32_t record, frames::FrameNumbers n, const frames::StampZone& zone)
    {
        frames::TimeFrameNumbers(n, zone);
        for (const frames::TrendRow& row : frames::TrendRowsOf(file, record, n, zone))
            frames::AppendTrendCsv(text_, row);
        if (text_.size() < kFlushBytes)
            return true;
        try {
            csv_.Write(text_.str());
            text_.clear();
        } catch (const datafiles::OutputError& e) {
            failure_ = e.what();
            return false;
        }
        return true;
    }
    /// Writes the rest and puts the file in place; throws OutputError.
    void Finish()
    {
        csv_.Write(text_.str());
        csv_.Commit();
    }
    const std::string& Failure() const { return failure_; }

private:
    datafiles::OutputFile& csv_;
    datafiles::CsvText text_;
    std::string failure_;
};

} // namespace

int WriteTrendCsv(const std::vector<std::string>& files, const std::string& out, const TrendCsvOptions& options)
{
    auto error = [&options](const std::string& message) {
        if (options.Error)
            options.Error(message);
    };
    if (std::string why = datafiles::RefusalToWrite(out, options.Overwrite); !why.empty()) {
        error(why);
        return kTrendCsvSkipped;
    }
    std::unique_ptr<datafiles::OutputFile> csv;
    const frames::UtcStampZone utc;
    const frames::StampZone& zone = options.Zone ? *options.Zone : utc;
    try {
        csv = std::make_unique<datafiles::OutputFile>(out, options.Overwrite);
        csv->Write(frames::TrendCsvHeader() + "\r\n");
    } catch (const datafiles::OutputError& e) {
        error(e.what());
        return kTrendCsvFailed;
    }
    RowWriter rows(*csv);

    // The scan stops on the caller's cancel and on a failed write alike.
    auto cancelled = [&options] { return options.Cancel && options.Cancel->load(std::memory_order_relaxed); };
    std::atomic<bool> stop = cancelled();
    ScanCallbacks cb;
    cb.Cancel = &stop;
    cb.Progress = [&](const ScanProgress& p) {
        if (cancelled())
            stop = true;
        if (options.Progress)
            options.Progress(p);
    };
    cb.Issue = [&](const FileIssue& issue) { error(datafiles::About(files[issue.File], issue.Message)); };
    cb.Frame = [&](size_t file, int32_t record, const frames::FrameNumbers& scanned) {
        if (rows.Failure().empty() && !rows.Add(files[file], record, scanned, zone)) {
            error(rows.Failure());
            stop = true;
        }
    };
    const ScanSummary summary = ScanFonFiles(files, cb);
    if (!rows.Failure().empty())
        return kTrendCsvFailed;
    if (summary.Cancelled) {
        error(datafiles::About(out, "прервано, файл не записан"));
        return kTrendCsvFailed;
    }
    try {
        rows.Finish();
    } catch (const datafiles::OutputError& e) {
        error(e.what());
        return kTrendCsvFailed;
    }
    return summary.HadIssues() ? kTrendCsvSkipped : kTrendCsvOk;
}

} // namespace trend
