#pragma once
// The walk every vfon-export command shares: the given files in the order
// given, record by record, with progress on the terminal and every problem
// of an input reported and counted, never fatal to the rest.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "export/RecordSink.h"

namespace dataexport {

/// What a walk did.
struct WalkSummary {
    int64_t files = 0;        ///< files read (fully or up to a fault)
    int64_t frames = 0;       ///< background records handed to the sinks
    int64_t events = 0;       ///< radio records handed to the sinks
    int64_t bytes = 0;        ///< bytes of those records
    int64_t skippedFiles = 0; ///< inputs refused: unreadable, not regular, unknown kind
    int64_t tornTails = 0;    ///< files whose partial last record was left out
    int64_t readFaults = 0;   ///< files that could not be read to their end
    double seconds = 0;
    bool outputFailed = false; ///< a sink gave up (OutputError); the walk stopped

    /// Whether some input was left out.
    bool SomethingSkipped() const { return skippedFiles + tornTails + readFaults > 0; }
};

/// Options of the walk.
struct WalkOptions {
    bool progress = true;     ///< live line "records done/total, MB/s" on a terminal
};

/// Reads `paths` in order and hands every whole record to every sink.
/// Problems go to `log`, one line each, and into the summary.
WalkSummary WalkFiles(const std::vector<std::string>& paths, const std::vector<RecordSink*>& sinks,
                      const WalkOptions& options, std::ostream& log);

/// The closing lines: records, files, rate, what was skipped.
void PrintSummary(const WalkSummary& s, std::ostream& log);

} // namespace dataexport
