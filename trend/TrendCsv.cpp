#include "trend/TrendCsv.h"

#include <memory>

#include "datafiles/CsvText.h"
#include "datafiles/FileProblemText.h"
#include "datafiles/OutputFile.h"
#include "frames/TrendRow.h"

namespace trend {

namespace {

constexpr size_t kFlushBytes = size_t{1} << 20;

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
    std::string failure;
    datafiles::CsvText text;
    const frames::UtcStampZone utc;
    const frames::StampZone& zone = options.Zone ? *options.Zone : utc;
    try {
        csv = std::make_unique<datafiles::OutputFile>(out, options.Overwrite);
        csv->Write(frames::TrendCsvHeader() + "\r\n");
    } catch (const datafiles::OutputError& e) {
        error(e.what());
        return kTrendCsvFailed;
    }

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
        if (!failure.empty())
            return;
        frames::FrameNumbers n = scanned;
        frames::TimeFrameNumbers(n, zone);
        for (const frames::TrendRow& row : frames::TrendRowsOf(files[file], record, n, zone))
            frames::AppendTrendCsv(text, row);
        if (text.size() < kFlushBytes)
            return;
        try {
            csv->Write(text.str());
            text.clear();
        } catch (const datafiles::OutputError& e) {
            failure = e.what();
            error(failure);
            stop = true;
        }
    };
    const ScanSummary summary = ScanFonFiles(files, cb);
    if (!failure.empty())
        return kTrendCsvFailed;
    if (summary.Cancelled) {
        error(datafiles::About(out, "прервано, файл не записан"));
        return kTrendCsvFailed;
    }
    try {
        csv->Write(text.str());
        csv->Commit();
    } catch (const datafiles::OutputError& e) {
        error(e.what());
        return kTrendCsvFailed;
    }
    return summary.HadIssues() ? kTrendCsvSkipped : kTrendCsvOk;
}

} // namespace trend
