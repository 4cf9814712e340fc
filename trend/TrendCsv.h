#pragma once
// The numbers of every frame of many background files as CSV for scripts:
// one line per frame and channel, a header line, RFC 4180 quoting, numbers
// with a "." whatever the locale (datafiles/CsvText.h). The output is
// written under a temporary name and renamed when complete
// (datafiles/OutputFile.h).
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "trend/FonScan.h"

namespace trend {

/// Outcomes of WriteTrendCsv, usable as a program's exit code.
inline constexpr int kTrendCsvOk = 0;      ///< every file read whole
/// Some file skipped, torn or cut short (every row written is right), or
/// the output exists and is kept (nothing written).
inline constexpr int kTrendCsvSkipped = 1;
inline constexpr int kTrendCsvFailed = 2;  ///< no output: it cannot be written, or the work was cancelled

/// How WriteTrendCsv runs and reports.
struct TrendCsvOptions {
    bool Overwrite = false; ///< replace an existing output instead of refusing
    /// Progress of the scan (may be empty).
    std::function<void(const ScanProgress& progress)> Progress;
    /// Every problem, with the file's name where it is about one (may be empty).
    std::function<void(const std::string& message)> Error;
    const std::atomic<bool>* Cancel = nullptr; ///< when set, the work ends and the output is removed
    /// The zone of the stations' clocks (start times and point durations);
    /// null: the stamps are read as UTC. Used on the caller's thread only.
    const frames::StampZone* Zone = nullptr;
};

/// Writes `out` with the columns of frames::TrendCsvHeader: file, frame (record
/// index + 1), start (ISO 8601 with the zone's UTC offset) and start_ns (the
/// same instant in ns since the epoch; both empty when the stamp is no
/// time), channel (1..4), points (filled points), mean_per_point (mean count
/// per filled point), mean_per_s (the same per second, ComputeFrameNumbers),
/// centre (empty when none), b (empty when none), live_s (the points' live
/// seconds) and mean_per_live_s (counts per live second, empty when there
/// is no live time); lines end in CRLF. Files are read with
/// ScanFonFiles. An existing output is kept unless Overwrite is set. On
/// failure or cancel the partial output is removed.
/// Returns kTrendCsvOk, kTrendCsvSkipped or kTrendCsvFailed.
int WriteTrendCsv(const std::vector<std::string>& files, const std::string& out,
                  const TrendCsvOptions& options = {});

} // namespace trend
