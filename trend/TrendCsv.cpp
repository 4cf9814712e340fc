#include "trend/TrendCsv.h"

#include <memory>

#include "datafiles/CsvText.h"
#include "datafiles/FileProblemText.h"
#include "datafiles/OutputFile.h"

namespace {

constexpr size_t kFlushBytes = size_t{1} << 20;

} // namespace

std::string TrendCsvHeader()
{
    return "file,frame,start,start_ns [ns],channel,points,mean_per_point [counts/point],mean_per_s [counts/s],centre,b";
}

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
    const UtcStampZone utc;
    const StampZone& zone = options.Zone ? *options.Zone : utc;
    try {
        csv = std::make_unique<datafiles::OutputFile>(out, options.Overwrite);
        csv->Write(TrendCsvHeader() + "\r\n");
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
    cb.Frame = [&](size_t file, int32_t record, const FrameNumbers& scanned) {
        if (!failure.empty())
            return;
        FrameNumbers n = scanned;
        TimeFrameNumbers(n, zone);
        const int64_t startNs = zone.UtcNs(n.Start);
        const std::string start = zone.IsoText(startNs);
        for (int c = 1; c <= kFonChannels; ++c) {
            const ChannelNumbers& ch = n.Channels[static_cast<size_t>(c - 1)];
            text.Text(files[file]).Int(record + 1).Text(start);
            if (startNs == kNoStampNs)
                text.Empty();
            else
                text.Int(startNs);
            text.Int(c).Int(n.Points).Number(ch.MeanPerPoint).Number(ch.MeanPerS);
            if (ch.HasCentre())
                text.Int(ch.Centre);
            else
                text.Empty();
            text.Number(ch.B).EndLine();
        }
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
