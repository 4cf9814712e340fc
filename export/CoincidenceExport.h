#pragma once
// vfon-export --coincidences: the coincidence search over several stations'
// radio events, offline. Each input folder is one station (its .Rad files),
// named by the folder as --station names; a file given alone belongs to the
// station of its folder. The coincidences go to a CSV, one row per member,
// and the accidentals beside them to NAME.accidentals.csv.
#include <ostream>
#include <string>
#include <vector>

#include "coincidence/Events.h"
#include "export/ExportOptions.h"
#include "frames/FrameStamp.h"

namespace dataexport {

/// One station's radio event files.
struct StationInput {
    std::string id;
    std::vector<std::string> files;
};

/// The stations of `inputs` (folders and .Rad files), in the order first
/// named; empty with `why` set when an input's station cannot be told.
std::vector<StationInput> StationInputs(const std::vector<std::string>& inputs, std::string& why);

/// The station's events as instants of `zone`, sorted; every file or record
/// left out is said on `log` and sets `skipped`.
coinc::StationEvents ReadStationEvents(const StationInput& station, const frames::StampZone& zone, std::ostream& log,
                                       bool& skipped);

/// One line of the accidentals beside the coincidences: a station pair or
/// a multiplicity, with the coincidences found, those expected from the
/// stations' rates and those found with the stations shifted apart.
struct AccidentalLine {
    std::string kind;     ///< "pair" or "fold"
    std::string stations; ///< "A;B" of a pair, the multiplicity of a fold
    int64_t observed = 0;
    double expected = 0, empirical = 0;
};

/// The pairs, then the multiplicities 2..N, of `stations` and what was
/// `found` among them with window `windowNs`.
std::vector<AccidentalLine> AccidentalLines(const std::vector<coinc::StationEvents>& stations,
                                            const std::vector<coinc::Coincidence>& found, int64_t windowNs);

/// "A;B" of the members' stations of `c` (IDs from `ids`), in time order of
/// their first event.
std::string StationList(const std::vector<std::string>& ids, const coinc::Coincidence& c);

/// The CSV text of `found` (header and one row per member).
std::string CoincidenceCsv(const std::vector<StationInput>& stations, const std::vector<coinc::Coincidence>& found);

/// Runs --coincidences; returns the exit code.
int RunCoincidences(const ExportOptions& o, const frames::StampZone& zone, std::ostream& log);

/// Name of the accidentals summary beside `csv` (NAME.accidentals.csv).
std::string AccidentalsName(const std::string& csv);

} // namespace dataexport
