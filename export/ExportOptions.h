#pragma once
// The command line of vfon-export. Each command is an option naming its
// output (--csv DIR, --hdf5 OUT.h5, …); any number of them run in one pass
// over the inputs.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace dataexport {

/// What the command line asks for.
struct ExportOptions {
    std::vector<std::string> files; ///< inputs, in the order given
    std::string csvDir;             ///< --csv: directory of the CSV files, empty for none
    std::string hdf5Out;            ///< --hdf5: the HDF5 file, empty for none
    std::string trendOut;           ///< --trend: the CSV of per-frame station-health numbers, empty for none
    std::string coincidencesOut;    ///< --coincidences: the CSV of coincidences between stations, empty for none
    double windowMs = 20.0;         ///< --window: coincidence window in ms
    std::string hdf5Layout = "tidy"; ///< --hdf5-layout: "tidy" (stations, tables) or "records"
    std::string station;            ///< --station: station ID of every input, empty: each input's folder name
    std::string timezone;           ///< --timezone: IANA zone of the station clocks, empty: the machine's
    std::string programVersion;     ///< the version written into the tidy layout
    int level = 1;                  ///< --deflate: compression level of the HDF5 datasets
    bool force = false;             ///< --force: replace existing outputs
    bool quiet = false;             ///< --quiet: no progress line

    /// Whether any command was given.
    bool AnyCommand() const
    {
        return !csvDir.empty() || !hdf5Out.empty() || !trendOut.empty() || !coincidencesOut.empty();
    }
};

/// Exit codes of vfon-export.
inline constexpr int kExitDone = 0;     ///< every record of every input exported
inline constexpr int kExitSkipped = 1;  ///< what was written is complete, but some input was left out or an existing output kept
inline constexpr int kExitFailed = 2;   ///< bad command line, or an output could not be written

/// Declares the options of vfon-export on `app`, bound to `o`.
void AddOptions(CLI::App& app, ExportOptions& o);

} // namespace dataexport
