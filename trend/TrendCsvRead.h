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
#include <memory>
#include <string>
#include <string_view>
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
    /// counted under SpectrumFault::NotRecorded. A point's duration is
    /// mean_per_point ÷ mean_per_s of the first channel that has both.
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

/// A trend CSV read piece by piece, as its text comes: what ReadTrendCsv
/// does, for a reader that keeps the rows of a growing file and reads only
/// what was appended since.
class TrendCsvParser {
public:
    TrendCsvParser();
    explicit TrendCsvParser(TrendCsvReadOptions options);
    ~TrendCsvParser();
    TrendCsvParser(TrendCsvParser&&) noexcept;
    TrendCsvParser& operator=(TrendCsvParser&&) noexcept;

    /// Reads the whole records at the start of `text`, which goes on where
    /// the text of the last call ended; returns the bytes taken: up to the
    /// end of the last whole record, or all of `text` when it is the end of
    /// the input (`last`). Give the rest again, with what follows it.
    size_t Feed(std::string_view text, bool last);
    /// Makes the frame being read a row when all its channels have come
    /// (the writer of a growing file writes a frame's lines at once).
    void EndWholeFrame();
    /// Makes the frame being read a row: at the end of the input.
    void Finish();
    /// Whether nothing more will be read: not a trend CSV, a quote left
    /// open at the end, or cancelled.
    bool Stopped() const;
    /// What was read so far (rows up to the frame being read).
    const TrendCsvContent& Content() const;
    TrendCsvContent& Content();

private:
    struct State;
    std::unique_ptr<State> s_;
};

/// Reads a trend CSV from `in`. Lines end in CRLF or LF; fields are those
/// of RFC 4180 (quoted with doubled quotes, line breaks allowed in quotes).
TrendCsvContent ReadTrendCsv(std::istream& in, const TrendCsvReadOptions& options = {});

} // namespace trend
