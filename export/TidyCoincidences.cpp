#include "export/TidyCoincidences.h"

#include <algorithm>
#include <string>

#include "coincidence/FindCoincidences.h"
#include "export/CoincidenceExport.h"
#include "export/hdf5/PandasTable.h"

namespace dataexport {
namespace {

using CT = ColumnType;

/// Bytes of the longest of `texts` (at least 1).
template <class Texts, class Get>
size_t Longest(const Texts& texts, Get get)
{
    size_t n = 1;
    for (const auto& t : texts)
        n = std::max(n, get(t).size());
    return n;
}

void WriteFound(hid_t file, const std::vector<std::string>& ids, const std::vector<coinc::Coincidence>& found,
                int level)
{
    std::vector<std::string> lists;
    for (const coinc::Coincidence& c : found)
        lists.push_back(StationList(ids, c));
    const auto same = [](const std::string& s) -> const std::string& { return s; };
    PandasTable table(file, std::string("/") + kCoincidenceTables[0],
                      {{"id", CT::Int64, "1", "number of the coincidence, from 1 in time order"},
                       {"first_ns", CT::Int64, "ns", "instant of its first event, since 1970-01-01 UTC"},
                       {"n", CT::Int16, "1", "stations among its events"},
                       {"events", CT::Int16, "1", "its events (rows in coincidence_members)"},
                       {"stations", CT::Text, "", "its stations, separated by ';', in time order of their first event",
                        Longest(lists, same)}},
                      level);
    PandasTable members(file, std::string("/") + kCoincidenceTables[1],
                        {{"coincidence", CT::Int64, "1", "the coincidence's id in the coincidences table"},
                         {"station", CT::Text, "", "station of the event: its group in this file", Longest(ids, same)},
                         {"file_id", CT::Int32, "1", "the event's data file: its file_id in the station's files table"},
                         {"record", CT::Int64, "1", "record of that file, from 0 (as in the station's events table)"},
                         {"time_ns", CT::Int64, "ns", "instant of the event, since 1970-01-01 UTC"},
                         {"dt_ns", CT::Int64, "ns", "time after the coincidence's first event"}},
                        level);
    for (size_t i = 0; i < found.size(); ++i) {
        const coinc::Coincidence& c = found[i];
        char* row = table.NextRow();
        table.Put(row, 0, c.id);
        table.Put(row, 1, c.FirstNs());
        table.Put(row, 2, c.Stations());
        table.Put(row, 3, c.members.size());
        table.PutText(row, 4, lists[i]);
        for (const coinc::Member& m : c.members) {
            char* r = members.NextRow();
            members.Put(r, 0, c.id);
            members.PutText(r, 1, ids[static_cast<size_t>(m.station)]);
            members.Put(r, 2, m.event.file);
            members.Put(r, 3, m.event.record - 1);
            members.Put(r, 4, m.event.ns);
            members.Put(r, 5, m.event.ns - c.FirstNs());
        }
    }
    table.Finish();
    members.Finish();
}

void WriteAccidentals(hid_t file, const std::vector<AccidentalLine>& lines, int64_t windowNs, int level)
{
    PandasTable table(
        file, std::string("/") + kCoincidenceTables[2],
        {{"kind", CT::Text, "", "'pair': a pair of stations; 'fold': coincidences of exactly that many stations", 4},
         {"stations", CT::Text, "", "the pair 'A;B', or the number of stations of a fold",
          Longest(lines, [](const AccidentalLine& l) -> const std::string& { return l.stations; })},
         {"observed", CT::Int64, "1", "coincidences found (for a pair: those holding both stations)"},
         {"expected", CT::Float64, "1", "accidentals expected from the stations' event rates over the span of the events"},
         {"empirical", CT::Float64, "1",
          "coincidences found with the stations shifted apart by whole seconds (chance alone), mean of the shifts"},
         {"window_ns", CT::Int64, "ns", "coincidence window of the search"}},
        level);
    for (const AccidentalLine& l : lines) {
        char* row = table.NextRow();
        table.PutText(row, 0, l.kind);
        table.PutText(row, 1, l.stations);
        table.Put(row, 2, l.observed);
        table.Put(row, 3, l.expected);
        table.Put(row, 4, l.empirical);
        table.Put(row, 5, windowNs);
    }
    table.Finish();
}

} // namespace

size_t WriteCoincidenceTables(hid_t file, std::vector<coinc::StationEvents> stations, int64_t windowNs, int level)
{
    std::vector<std::string> ids;
    for (coinc::StationEvents& s : stations) {
        std::stable_sort(s.events.begin(), s.events.end(),
                         [](const coinc::Event& a, const coinc::Event& b) { return a.ns < b.ns; });
        ids.push_back(s.id);
    }
    const std::vector<coinc::Coincidence> found = coinc::FindCoincidences(stations, windowNs);
    WriteFound(file, ids, found, level);
    WriteAccidentals(file, AccidentalLines(stations, found, windowNs), windowNs, level);
    return found.size();
}

} // namespace dataexport
