#pragma once
// The trend row: the numbers of one channel of one frame, as the trend CSV
// (vfon-export --trend), the centre's trend.csv and the tidy HDF5 trend
// table carry them. Its columns are named here, once.
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafiles/CsvText.h"
#include "datafiles/FonKadr.h"
#include "frames/FrameNumbers.h"
#include "frames/LiveSeconds.h"

namespace frames {

/// A column of the trend row: its name; its unit as the CSV header shows it
/// in brackets (empty: none); its unit as the tidy tables give it; what it
/// holds.
struct TrendColumn {
    const char* Name;
    const char* CsvUnit;
    const char* Unit;
    const char* Doc;
};

/// The columns, in the order of the CSV line.
enum TrendColumnIndex {
    kTrendFile, kTrendFrame, kTrendStart, kTrendStartNs, kTrendChannel, kTrendPoints,
    kTrendMeanPerPoint, kTrendMeanPerS, kTrendCentre, kTrendB, kTrendLiveS, kTrendMeanPerLiveS,
    kTrendColumnCount
};

/// Columns before kTrendLiveS: the whole line of trend files written before
/// the live seconds were added.
inline constexpr int kTrendColumnsWithoutLive = kTrendLiveS;

inline constexpr std::array<TrendColumn, kTrendColumnCount> kTrendColumns{{
    {"file", "", "", "the background file"},
    {"frame", "", "1", "frame number (record index + 1 in the CSV, KadrNo in the tidy tables)"},
    {"start", "", "", "the frame's start, ISO 8601 with the station's UTC offset"},
    {"start_ns", "ns", "ns", "instant the frame started, since 1970-01-01 UTC"},
    {"channel", "", "1", "detector channel, 1..4"},
    {"points", "", "1", "recorded points of the frame"},
    {"mean_per_point", "counts/point", "1/point", "mean pulses per point (NaN: no point)"},
    {"mean_per_s", "counts/s", "1/s", "mean pulses per second (NaN: no point duration)"},
    {"centre", "", "ADC code", "centre bin of the spectrum's peak (NaN: none)"},
    {"b", "", "1", "slope b of the integral spectrum's fit (NaN: none)"},
    {"live_s", "s", "s", "live seconds of the frame's points: points × 25 cycles × 10 ms"},
    {"mean_per_live_s", "counts/s", "1/s", "pulses per live second: the frame's counts ÷ live_s (NaN: no live time)"},
}};

/// The CSV header line, without its line end: the names, units in brackets;
/// the first `columns` of them.
std::string TrendCsvHeader(int columns = kTrendColumnCount);

/// One channel of one frame.
struct TrendRow {
    std::string_view File;
    int64_t Frame = 0;             ///< record index + 1
    std::string Start;             ///< ISO 8601 with offset; empty when no time
    int64_t StartNs = kNoStampNs;  ///< kNoStampNs: no time
    int32_t Channel = 0;           ///< 1..4
    int64_t Points = 0;
    double MeanPerPoint = std::nan("");
    double MeanPerS = std::nan("");
    std::optional<int32_t> Centre; ///< none: no peak
    float B = std::nan("");
    double LiveS = std::nan("");        ///< live seconds of the points; NaN: not known
    double MeanPerLiveS = std::nan(""); ///< counts ÷ LiveS; NaN when LiveS is 0 or not known
};

/// Sets `row`'s LiveS to `liveSeconds` and MeanPerLiveS to its counts
/// (MeanPerPoint × Points) per live second.
void SetLiveSeconds(TrendRow& row, double liveSeconds);

/// The four rows of frame record `record` (from 0) of `file`, whose numbers
/// `timed` have their point times (TimeFrameNumbers) in `zone`.
std::array<TrendRow, kFonChannels> TrendRowsOf(std::string_view file, int32_t record, const FrameNumbers& timed,
                                               const StampZone& zone);

/// Appends `row` to `text` as one CSV line.
void AppendTrendCsv(datafiles::CsvText& text, const TrendRow& row);

} // namespace frames
