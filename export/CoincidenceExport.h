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

/// The CSV text of `found` (header and one row per member).
std::string CoincidenceCsv(const std::vector<StationInput>& stations, const std::vector<coinc::Coincidence>& found);

/// Runs --coincidences; returns the exit code.
int RunCoincidences(const ExportOptions& o, const frames::StampZone& zone, std::ostream& log);

/// Name of the accidentals summary beside `csv` (NAME.accidentals.csv).
std::string AccidentalsName(const std::string& csv);

} // namespace dataexport
