#include "export/ExportRun.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <strings.h>
#include <unistd.h>

#include "datafiles/FileProblemText.h"
#include "export/CoincidenceExport.h"
#include "export/CsvExport.h"
#include "export/FileWalk.h"
#include "export/InputFolders.h"
#include "export/Hdf5Export.h"
#include "export/Progress.h"
#include "frames/StationZone.h"
#include "export/TidyHdf5Export.h"
#include "trend/TrendCsv.h"

namespace dataexport {
namespace {

bool IsFonFile(const std::string& path)
{
    return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".fon") == 0;
}

/// --trend: the numbers of every frame of the .fon inputs, with its own scan
/// (the window of the station's health reads the files the same way).
/// `walked`: the walk has read the inputs and reported those of no use.
int RunTrend(const ExportOptions& o, const frames::StationZone& zone, bool walked, std::ostream& log)
{
    std::vector<std::string> fon;
    bool leftOut = false;
    for (const std::string& f : o.files) {
        if (IsFonFile(f)) {
            fon.push_back(f);
        } else if (!walked) {
            log << datafiles::About(f, "не файл фона (.fon), в тренд не вошёл") << '\n';
            leftOut = true;
        }
    }
    trend::TrendCsvOptions options;
    options.Overwrite = o.force;
    options.Zone = &zone;
    options.Error = [&log](const std::string& message) { log << message << '\n'; };
    const bool live = !o.quiet && ::isatty(STDERR_FILENO);
    const auto start = std::chrono::steady_clock::now();
    auto lastDraw = start;
    if (live)
        options.Progress = [&](const trend::ScanProgress& p) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastDraw < std::chrono::milliseconds(200))
                return;
            lastDraw = now;
            const double s = std::chrono::duration<double>(now - start).count();
            log << "\rтренд: " << OneDecimal(100 * p.Fraction) << " %, кадров " << std::to_string(p.Frames) << ", "
                << OneDecimal(s > 0 ? p.Bytes / 1e6 / s : 0) << " МБ/с   " << std::flush;
        };
    const int rc = trend::WriteTrendCsv(fon, o.trendOut, options);
    if (live)
        log << "\r" << std::string(60, ' ') << "\r";
    log << datafiles::About(o.trendOut, rc == trend::kTrendCsvFailed ? "тренд не записан" : "тренд записан") << '\n';
    if (rc == trend::kTrendCsvFailed)
        return kExitFailed;
    return rc == trend::kTrendCsvSkipped || leftOut ? kExitSkipped : kExitDone;
}

/// The station clocks' zone, which turns local stamps into UTC instants
/// (tidy HDF5 and CSV times); said on `log`, so a wrong default is seen.
/// None, said too, when the system's database has no such zone.
std::optional<frames::StationZone> OpenZone(const ExportOptions& o, std::ostream& log)
{
    std::optional<frames::StationZone> zone = frames::StationZone::Open(o.timezone);
    if (!zone) {
        log << "--timezone " << o.timezone << ": нет такого часового пояса в базе системы (/usr/share/zoneinfo)\n";
        return zone;
    }
    log << "часовой пояс станции: " << zone->Name() << (o.timezone.empty() ? " (пояс этой машины; --timezone задаёт другой)" : "")
        << '\n';
    return zone;
}

/// The tidy layout names each input's station: false, said on `log`, when
/// an input's station cannot be told.
bool StationsKnown(const ExportOptions& o, std::ostream& log)
{
    for (const std::string& f : o.files) {
        std::string why;
        if (TidyHdf5Export::StationOf(f, o.station, why).empty() && !why.empty()) {
            log << datafiles::About(f, why) << "; ничего не записано\n";
            return false;
        }
    }
    return true;
}

/// The coincidences the tidy HDF5 file got, when it got them.
void SayCoincidences(const std::vector<std::unique_ptr<RecordSink>>& sinks, const ExportOptions& o, std::ostream& log)
{
    for (const auto& sink : sinks)
        if (const auto* tidy = dynamic_cast<const TidyHdf5Export*>(sink.get()); tidy && tidy->Coincidences() >= 0)
            log << datafiles::About(o.hdf5Out, "совпадений между станциями " + std::to_string(tidy->Coincidences())
                                                   + " при окне " + OneDecimal(o.windowMs)
                                                   + " мс (таблицы /coincidences, /coincidence_members, "
                                                     "/coincidence_accidentals)")
                << '\n';
}

} // namespace

int RunExport(const ExportOptions& given, std::ostream& log)
{
    // Folders stand for their data files in the walk and the trend;
    // --coincidences takes them as they are (a folder is a station).
    ExportOptions o = given;
    o.files = ExpandFolders(given.files);
    if (!o.AnyCommand()) {
        log << "нечего делать: укажите --csv DIR, --hdf5 OUT.h5, --trend OUT.csv и/или --coincidences OUT.csv (см. --help)\n";
        return kExitFailed;
    }
    // An output that exists is kept unless --force: its command is left
    // out (exit 1) and the others run.
    int rc = kExitDone;
    const auto kept = [&](const std::string& path) {
        const std::string why = datafiles::RefusalToWrite(path, o.force);
        if (!why.empty()) {
            log << why << '\n';
            rc = kExitSkipped;
        }
        return !why.empty();
    };
    // Each command is one sink; a new command adds its sink here.
    std::vector<std::unique_ptr<RecordSink>> owned;
    const std::optional<frames::StationZone> zone = OpenZone(o, log);
    if (!zone)
        return kExitFailed;
    const bool tidy = !o.hdf5Out.empty() && o.hdf5Layout == "tidy";
    if (tidy && !StationsKnown(o, log))
        return kExitFailed;
    try {
        if (tidy && !kept(o.hdf5Out))
            owned.push_back(std::make_unique<TidyHdf5Export>(o.hdf5Out, o.files, *zone,
                                                             TidySettings{o.station, o.programVersion, o.level, o.force,
                                                                          static_cast<int64_t>(o.windowMs * 1e6)}));
        if (!o.hdf5Out.empty() && !tidy && !kept(o.hdf5Out))
            owned.push_back(std::make_unique<Hdf5Export>(o.hdf5Out, o.files, o.level, o.force));
        if (!o.csvDir.empty()) {
            if (std::string why = CsvFolderProblem(o.csvDir); !why.empty()) {
                log << why << "; ничего не записано\n";
                return kExitFailed;
            }
            owned.push_back(std::make_unique<CsvExport>(o.csvDir, o.force, *zone));
        }
    } catch (const OutputError& e) {
        log << e.what() << "; ничего не записано\n";
        return kExitFailed;
    }
    const bool walked = !owned.empty();
    if (walked) {
        std::vector<RecordSink*> sinks;
        for (auto& s : owned)
            sinks.push_back(s.get());
        const WalkSummary summary = WalkFiles(o.files, sinks, WalkOptions{!o.quiet}, log);
        PrintSummary(summary, log);
        SayCoincidences(owned, o, log);
        rc = std::max(rc, summary.outputFailed ? kExitFailed : summary.SomethingSkipped() ? kExitSkipped : kExitDone);
    }
    if (!o.trendOut.empty() && !kept(o.trendOut))
        rc = std::max(rc, RunTrend(o, *zone, walked, log));
    if (!o.coincidencesOut.empty())
        rc = std::max(rc, RunCoincidences(given, *zone, log));
    return rc;
}

} // namespace dataexport
