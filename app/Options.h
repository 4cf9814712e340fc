#pragma once
// The command line of the program: no options starts the window program;
// --headless records on the driver of the hive without a window.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/ChannelLimits.h"
#include "driver/BoardProfiles.h"

namespace app {

struct Options {
    bool Headless = false;
    /// Seconds after which a headless run stops by itself; 0: until stopped.
    double Seconds = 0;
    std::array<int32_t, 4> Limits = acq::kDefaultLimits;
    std::array<int16_t, 6> RadioGains = boards::kDefaultRadioGains;
    std::array<int16_t, 4> FonGains = boards::kDefaultFonGains;
    /// The folder the run's files go to; empty: the current one.
    std::string DataDir;
};

/// Parses the command line. Returns the options, or nothing after printing
/// the help or an error; `exitCode` is then what the program returns.
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

} // namespace app
