#include "export/ExportRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <strings.h>
#include <unistd.h>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "export/CsvExport.h"
#include "export/FileWalk.h"
#include "export/Hdf5Export.h"
#include "export/OutputFile.h"
#include "export/Progress.h"
#include "trend/TrendCsv.h"

namespace dataexport {
namespace {

/// Makes `dir` if it is missing; the reason when it is no usable directory.
std::string PrepareDirectory(const std::string& dir)
{
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::string() : dir + " exists and is not a directory";
    if (::mkdir(dir.c_str(), 0777) != 0)
        return dir + ": " + std::strerror(errno);
    return {};
}

bool IsFonFile(const std::string& path)
{
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".fon") == 0;
}

/// --trend: the numbers of every frame of the .fon inputs, with its own scan
/// (the window of the station's health reads the files the same way).
int RunTrend(const ExportOptions& o, std::ostream& log)
{
    std::vector<std::string> fon;
    bool leftOut = false;
    for (const std::string& f : o.files) {
        if (IsFonFile(f)) {
            fon.push_back(f);
        } else if (!o.AnyWalkCommand()) { // otherwise the walk has taken it
            log << f << ": not a background file (.fon), left out of the trend\n";
            leftOut = true;
        }
    }
    TrendCsvOptions options;
    options.Overwrite = o.force;
    options.Error = [&log](const std::string& message) { log << message << '\n'; };
    const bool live = !o.quiet && ::isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    auto lastDraw = start;
    if (live)
        options.Progress = [&](const ScanProgress& p) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastDraw < std::chrono::milliseconds(200))
                return;
            lastDraw = now;
            const double s = std::chrono::duration<double>(now - start).count();
            log << "\rtrend: " << OneDecimal(100 * p.Fraction) << " %, " << p.Frames << " frames, "
                << OneDecimal(s > 0 ? p.Bytes / 1e6 / s : 0) << " MB/s   " << std::flush;
        };
    const int rc = WriteTrendCsv(fon, o.trendOut, options);
    if (live)
        log << "\r" << std::string(60, ' ') << "\r";
    log << "trend: " << (rc == kTrendCsvFailed ? "not written" : o.trendOut + " written") << '\n';
    if (rc == kTrendCsvFailed)
        return kExitFailed;
    return rc == kTrendCsvSkipped || leftOut ? kExitSkipped : kExitDone;
}

} // namespace

int RunExport(const ExportOptions& o, std::ostream& log)
{
    if (!o.AnyCommand()) {
        log << "nothing to do: give --csv DIR, --hdf5 OUT.h5 and/or --trend OUT.csv (see --help)\n";
        return kExitFailed;
    }
    if (!o.AnyWalkCommand())
        return RunTrend(o, log);
    // Each command is one sink; a new command adds its sink here.
    std::vector<std::unique_ptr<RecordSink>> owned;
    try {
        if (!o.hdf5Out.empty()) {
            if (std::string why = RefusalToWrite(o.hdf5Out, o.force); !why.empty()) {
                log << why << "; nothing written\n";
                return kExitFailed;
            }
            owned.push_back(std::make_unique<Hdf5Export>(o.hdf5Out, o.files, o.level));
        }
        if (!o.csvDir.empty()) {
            if (std::string why = PrepareDirectory(o.csvDir); !why.empty()) {
                log << why << "; nothing written\n";
                return kExitFailed;
            }
            owned.push_back(std::make_unique<CsvExport>(o.csvDir, o.force));
        }
    } catch (const OutputError& e) {
        log << e.what() << "; nothing written\n";
        return kExitFailed;
    }
    std::vector<RecordSink*> sinks;
    for (auto& s : owned)
        sinks.push_back(s.get());

    const WalkSummary summary = WalkFiles(o.files, sinks, WalkOptions{!o.quiet}, log);
    PrintSummary(summary, log);
    int rc = summary.outputFailed ? kExitFailed : summary.SomethingSkipped() ? kExitSkipped : kExitDone;
    if (!o.trendOut.empty())
        rc = std::max(rc, RunTrend(o, log));
    return rc;
}

} // namespace dataexport
