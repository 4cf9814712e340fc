#pragma once
// Reading a trend CSV back into frame numbers: the file `vfon-export
// --trend` writes and the centre keeps per station, of the present header
// or an earlier one (without the live seconds; or
// file,frame,start,channel,points,rate,centre,b). The
// lines of one frame (one per channel, one after the other) make one row.
// Lines that cannot be read are passed over and reported by line number.
#include <atomic>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "trend/TrendTable.h"

namespace trend {

/// Which header a trend CSV has.
enum class TrendCsvHeaderKind {
    None,    ///< not a trend CSV header: nothing is read
    Current, ///< TrendCsvHeader()
    WithoutLive, ///< TrendCsvHeader() without live_s and mean_per_live_s
    Early,   ///< file,frame,start,channel,points,rate,centre,b
};

/// Why a line was not taken.
enum class TrendLineFault {
    FieldCount, ///< not as many fields as the header has columns
    BadNumber,  ///< a field that must be a number is not one
    BadChannel, ///< channel outside 1..4, or twice in one frame
    OpenQuote,  ///< a quoted field that the file ends inside
};

/// One line not taken.
struct TrendLineProblem {
    int64_t Line = 0; ///< from 1, the header being line 1
    TrendLineFault Fault = TrendLineFault::FieldCount;
};

/// What a trend CSV holds.
struct TrendCsvContent {
    TrendCsvHeaderKind Header = TrendCsvHeaderKind::None;
    /// One row per frame, its File indexing Files and its Record the frame
    /// column less one. Centres without a stored error (CentreError 0: the
    /// outliers are judged by the spread alone); missing centres and slopes
    /// counted under SpectrumFault::NotRecorded.
    TrendTable Table;
    std::vector<std::string> Files; ///< the file column's names, in order of first appearance
    std::vector<TrendLineProblem> Problems;
    bool Cancelled = false;
};

/// How ReadTrendCsv reports and stops.
struct TrendCsvReadOptions {
    /// Bytes read so far, every few thousand lines (may be empty).
    std::function<void(uint64_t bytes)> Progress;
    const std::atomic<bool>* Cancel = nullptr; ///< checked as often as Progress; set: the rows so far are kept
};

/// Reads a trend CSV from `in`. Lines end in CRLF or LF; fields are those
/// of RFC 4180 (quoted with doubled quotes, line breaks allowed in quotes).
TrendCsvContent ReadTrendCsv(std::istream& in, const TrendCsvReadOptions& options = {});

} // namespace trend
