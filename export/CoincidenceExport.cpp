#include "export/CoincidenceExport.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <strings.h>

#include "coincidence/Accidentals.h"
#include "coincidence/FindCoincidences.h"
#include "datafiles/FileProblemText.h"
#include "datafiles/OutputFile.h"
#include "datafiles/RecordReader.h"
#include "datafiles/StationId.h"
#include "export/InputFolders.h"
#include "export/Progress.h"

namespace dataexport {
namespace {

namespace fs = std::filesystem;

/// Radio records read at a time.
constexpr int64_t kBatch = 64;

bool IsRadName(const std::string& name)
{
    return name.size() >= 4 && strcasecmp(name.c_str() + name.size() - 4, ".rad") == 0;
}

/// The .Rad files of `folder`, sorted by name.
std::vector<std::string> RadFilesOf(const std::string& folder)
{
    std::vector<std::string> files = DataFilesOf(folder);
    std::erase_if(files, [](const std::string& f) { return !IsRadName(f); });
    return files;
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

std::string Number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

/// The accidentals summary as CSV.
std::string AccidentalsCsv(const std::vector<AccidentalLine>& lines)
{
    std::string csv = "kind,stations,observed,expected,empirical\n";
    for (const AccidentalLine& l : lines)
        csv += l.kind + "," + l.stations + "," + std::to_string(l.observed) + "," + Number(l.expected) + ","
               + Number(l.empirical) + "\n";
    return csv;
}

void WriteOutput(const std::string& path, const std::string& text, bool force)
{
    datafiles::OutputFile out(path, force);
    out.Write(text);
    out.Commit();
}

} // namespace

std::string StationList(const std::vector<std::string>& ids, const coinc::Coincidence& c)
{
    std::vector<int32_t> seen;
    std::string text;
    for (const coinc::Member& m : c.members)
        if (std::find(seen.begin(), seen.end(), m.station) == seen.end()) {
            seen.push_back(m.station);
            text += (text.empty() ? "" : ";") + ids[static_cast<size_t>(m.station)];
        }
    return text;
}

std::vector<AccidentalLine> AccidentalLines(const std::vector<coinc::StationEvents>& stations,
                                            const std::vector<coinc::Coincidence>& found, int64_t windowNs)
{
    double seconds = 0.0;
    const std::vector<double> rates = coinc::RatesOf(stations, &seconds);
    const double w = static_cast<double>(windowNs) / 1e9;
    std::vector<AccidentalLine> lines;
    for (size_t a = 0; a < stations.size(); ++a)
        for (size_t b = a + 1; b < stations.size(); ++b) {
            int64_t observed = 0;
            for (const coinc::Coincidence& c : found) {
                const auto has = [&](size_t s) {
                    return std::any_of(c.members.begin(), c.members.end(),
                                       [&](const coinc::Member& m) { return m.station == static_cast<int32_t>(s); });
                };
                observed += has(a) && has(b);
            }
            const std::vector<coinc::StationEvents> pair{stations[a], stations[b]};
            const double pairRates[] = {rates[a], rates[b]};
            lines.push_back({"pair", stations[a].id + ";" + stations[b].id, observed,
                             coinc::AccidentalRate(pairRates, w) * seconds,
                             coinc::EmpiricalByMultiplicity(pair, windowNs)[2]});
        }
    const std::vector<double> expected = coinc::ExpectedByMultiplicity(rates, w, seconds);
    const std::vector<double> empirical = coinc::EmpiricalByMultiplicity(stations, windowNs);
    for (size_t k = 2; k <= stations.size(); ++k) {
        const auto observed = std::count_if(found.begin(), found.end(),
                                            [&](const coinc::Coincidence& c) { return c.Stations() == static_cast<int>(k); });
        lines.push_back({"fold", std::to_string(k), observed, expected[k], empirical[k]});
    }
    return lines;
}

std::string AccidentalsName(const std::string& csv)
{
    const bool dotCsv = csv.size() > 4 && strcasecmp(csv.c_str() + csv.size() - 4, ".csv") == 0;
    return (dotCsv ? csv.substr(0, csv.size() - 4) : csv) + ".accidentals.csv";
}

std::vector<StationInput> StationInputs(const std::vector<std::string>& inputs, std::string& why)
{
    std::vector<StationInput> stations;
    for (const std::string& input : inputs) {
        std::error_code ec;
        const bool folder = fs::is_directory(input, ec);
        const std::string id = folder ? fs::weakly_canonical(input, ec).filename().string() : datafiles::FolderName(input);
        if (!datafiles::ValidStationId(id)) {
            why = datafiles::About(input, id.empty() ? "нет такого файла или папки"
                                                     : "имя папки «" + id + "» не годится в имя станции (1–32 знака A–Z a–z 0–9 _ -)");
            return {};
        }
        auto it = std::find_if(stations.begin(), stations.end(), [&](const StationInput& s) { return s.id == id; });
        if (it == stations.end())
            it = stations.insert(stations.end(), StationInput{id, {}});
        const std::vector<std::string> files = folder ? RadFilesOf(input) : std::vector<std::string>{input};
        it->files.insert(it->files.end(), files.begin(), files.end());
    }
    return stations;
}

coinc::StationEvents ReadStationEvents(const StationInput& station, const frames::StampZone& zone, std::ostream& log,
                                       bool& skipped)
{
    coinc::StationEvents out{station.id, {}};
    auto batch = std::make_unique<TRadKadr[]>(kBatch);
    for (size_t f = 0; f < station.files.size(); ++f) {
        const std::string& path = station.files[f];
        datafiles::RecordReader reader(path, sizeof(TRadKadr));
        int64_t invalid = 0, index = 0;
        for (int64_t n; (n = reader.Read(batch.get(), kBatch)) > 0;)
            for (int64_t i = 0; i < n; ++i, ++index) {
                const int64_t ns = zone.UtcNs(frames::EventStampOf(batch[static_cast<size_t>(i)]));
                if (ns == frames::kNoStampNs)
                    ++invalid;
                else
                    out.events.push_back(coinc::Event{ns, static_cast<int32_t>(f), static_cast<int32_t>(index + 1)});
            }
        if (!reader.ok()) {
            log << datafiles::About(path, datafiles::ReadFaultText(reader.state())) << '\n';
            skipped = true;
        } else if (reader.tailBytes() > 0) {
            log << datafiles::About(path, datafiles::TornTailText(reader.state())) << '\n';
            skipped = true;
        }
        if (invalid > 0) {
            log << datafiles::About(path, "записей без верного времени пропущено: " + std::to_string(invalid)) << '\n';
            skipped = true;
        }
    }
    std::stable_sort(out.events.begin(), out.events.end(),
                     [](const coinc::Event& a, const coinc::Event& b) { return a.ns < b.ns; });
    return out;
}

std::string CoincidenceCsv(const std::vector<StationInput>& stations, const std::vector<coinc::Coincidence>& found)
{
    std::vector<std::string> ids;
    for (const StationInput& s : stations)
        ids.push_back(s.id);
    std::string csv = "id,first_utc,first_ns,n,stations,station,file,record,dt_ns\n";
    for (const coinc::Coincidence& c : found) {
        const std::string head = std::to_string(c.id) + "," + frames::IsoWithOffset(c.FirstNs(), 0) + ","
                                 + std::to_string(c.FirstNs()) + "," + std::to_string(c.Stations()) + ","
                                 + StationList(ids, c) + ",";
        for (const coinc::Member& m : c.members) {
            const StationInput& s = stations[static_cast<size_t>(m.station)];
            csv += head + s.id + "," + FileName(s.files[static_cast<size_t>(m.event.file)]) + ","
                   + std::to_string(m.event.record) + "," + std::to_string(m.event.ns - c.FirstNs()) + "\n";
        }
    }
    return csv;
}

int RunCoincidences(const ExportOptions& o, const frames::StampZone& zone, std::ostream& log)
{
    std::string why;
    const std::vector<StationInput> inputs = StationInputs(o.files, why);
    if (inputs.empty()) {
        log << why << "; совпадения не записаны\n";
        return kExitFailed;
    }
    const std::string summaryPath = AccidentalsName(o.coincidencesOut);
    for (const std::string& path : {o.coincidencesOut, summaryPath})
        if (std::string refusal = datafiles::RefusalToWrite(path, o.force); !refusal.empty()) {
            log << refusal << '\n';
            return kExitSkipped;
        }
    bool skipped = false;
    std::vector<coinc::StationEvents> stations;
    for (const StationInput& s : inputs)
        stations.push_back(ReadStationEvents(s, zone, log, skipped));
    const auto windowNs = static_cast<int64_t>(o.windowMs * 1e6);
    const std::vector<coinc::Coincidence> found = coinc::FindCoincidences(stations, windowNs);
    try {
        WriteOutput(o.coincidencesOut, CoincidenceCsv(inputs, found), o.force);
        WriteOutput(summaryPath, AccidentalsCsv(AccidentalLines(stations, found, windowNs)), o.force);
    } catch (const datafiles::OutputError& e) {
        log << e.what() << "; совпадения не записаны\n";
        return kExitFailed;
    }
    size_t events = 0;
    for (const coinc::StationEvents& s : stations)
        events += s.events.size();
    log << datafiles::About(o.coincidencesOut, "совпадений " + std::to_string(found.size()) + " при окне "
                                                   + OneDecimal(o.windowMs) + " мс среди " + std::to_string(events)
                                                   + " событий " + std::to_string(stations.size())
                                                   + " станций; случайные — в " + summaryPath)
        << '\n';
    return skipped ? kExitSkipped : kExitDone;
}

} // namespace dataexport
