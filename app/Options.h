#pragma once
// The command line of the program: no options starts the window program;
// --headless records on the driver of the hive without a window. Both take
// the limits, the gains and the data folder; a command line that is not
// understood ends the program with exit code 2 before anything opens.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/ChannelLimits.h"
#include "driver/BoardProfiles.h"
#include "network/NetworkSettings.h"

namespace app {

/// Exit codes of the program.
inline constexpr int kExitDone = 0;        ///< the run stopped with every record written
inline constexpr int kExitRunFailed = 1;   ///< the run could not start or stopped on a driver error
inline constexpr int kExitRecordLost = 2;  ///< a record could not be written, not even to a rescue file
inline constexpr int kExitUsage = 2;       ///< bad command line or data folder

struct Options {
    bool Headless = false;
    /// Seconds after which a headless run stops by itself; 0: until stopped.
    double Seconds = 0;
    /// Seconds between headless progress lines; 0: one a second on a
    /// terminal, one a minute otherwise.
    int ProgressInterval = 0;
    /// The folder of the data files; empty: the current directory.
    std::string DataDir;
    std::array<int32_t, 4> Limits = acq::kDefaultLimits;
    std::array<int16_t, 6> RadioGains = boards::kDefaultRadioGains;
    std::array<int16_t, 4> FonGains = boards::kDefaultFonGains;
    /// Publishing to a centre, as the command line gives it (the hive's
    /// [Network] section fills what it leaves out: ResolveNetwork).
    net::NetworkSettings Network;
};

/// The publishing settings in force: the hive's [Network] section under
/// the command line's. Empty `error` when they can be used, else one line
/// for stderr.
net::NetworkSettings ResolveNetwork(const Options& o, const std::string& hiveFile, std::string& error);

/// Parses the command line. Returns the options, or nothing after printing
/// the help, the version or one line naming the error (on stderr);
/// `exitCode` is then what the program returns: 0, or kExitUsage.
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

/// Seconds between progress lines: the interval asked for, else one a
/// second when standard output is a terminal and one a minute when not.
int ProgressSeconds(const Options& o, bool stdoutIsTerminal);

} // namespace app
