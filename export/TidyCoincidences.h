#pragma once
// The coincidences between the stations of one tidy HDF5 file, as three
// tables beside the station groups, in the same pandas "table" format:
//   /coincidences            one row per coincidence
//   /coincidence_members     one row per member event
//   /coincidence_accidentals per station pair and multiplicity: found,
//                            expected from the rates, found shifted apart
// The search is the one of --coincidences (coincidence/FindCoincidences.h).
#include <hdf5.h>
#include <cstdint>
#include <vector>

#include "coincidence/Events.h"

namespace dataexport {

/// The three tables' names (no station's group may take one).
inline constexpr const char* kCoincidenceTables[] = {"coincidences", "coincidence_members",
                                                     "coincidence_accidentals"};

/// Searches `stations` (each one's events in any order; Event::file is the
/// file_id in the station's files table, Event::record from 1) with window
/// `windowNs` and writes the three tables into `file` at deflate `level`;
/// returns the number of coincidences. Throws OutputError.
size_t WriteCoincidenceTables(hid_t file, std::vector<coinc::StationEvents> stations, int64_t windowNs, int level);

} // namespace dataexport
