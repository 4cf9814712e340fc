#include "trend/TrendCsvRead.h"

#include "frames/TrendRow.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>

#include "trend/TrendCsv.h"

namespace trend {

namespace {

constexpr const char* kEarlyHeader = "file,frame,start,channel,points,rate,centre,b";
constexpr int64_t kProgressLines = 4096;

/// Where the columns are in a header kind.
struct Columns {
    size_t Count, File, Frame, Start, Channel, Points, Mean, Centre, B;
};
constexpr Columns kCurrentColumns{frames::kTrendColumnCount, 0, 1, 2, 4, 5, 6, 8, 9};
constexpr Columns kWithoutLiveColumns{frames::kTrendColumnsWithoutLive, 0, 1, 2, 4, 5, 6, 8, 9};
constexpr Columns kEarlyColumns{8, 0, 1, 2, 3, 4, 5, 6, 7};

/// The fields of one CSV record (RFC 4180: quotes around a field, doubled
/// inside it).
void SplitFields(const std::string& record, std::vector<std::string>& fields)
{
    fields.clear();
    fields.emplace_back();
    bool quoted = false;
    for (size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (quoted) {
            if (c == '"' && i + 1 < record.size() && record[i + 1] == '"')
                fields.back() += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
}

bool ParseInt(std::string_view s, int64_t& v)
{
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

/// A number, or NaN for an empty field.
bool ParseNumber(std::string_view s, double& v)
{
    if (s.empty()) {
        v = std::nan("");
        return true;
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size();
}

/// The local date and time at the head of an ISO 8601 start text
/// ("2026-12-08T07:14:53.039", an offset after it or not); a stamp that is
/// not valid (Month 0) when there is none.
frames::FrameStamp StampFromIso(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d", &y, &mo, &d, &h, &mi, &s, &ms) != 7)
        return {};
    const auto f = [](int v) { return static_cast<int16_t>(v); };
    return {f(y), f(mo), f(d), f(h), f(mi), f(s), f(ms)};
}

/// The frame whose lines are being read.
struct PendingFrame {
    int32_t File = -1;
    int64_t Frame = 0;
    unsigned Seen = 0; ///< bit c-1 for channel c
    frames::FrameNumbers Numbers;
};

void StartFrame(PendingFrame& p, int32_t file, int64_t frame, const frames::FrameStamp& start, int64_t points)
{
    p = PendingFrame{file, frame, 0, {}};
    p.Numbers.Start = start;
    p.Numbers.Points = static_cast<int32_t>(points);
    p.Numbers.PointSeconds = std::nan("");
    for (frames::ChannelNumbers& ch : p.Numbers.Channels) {
        ch.MeanPerPoint = ch.MeanPerS = std::nan("");
        ch.NoCentre = ch.NoB = frames::SpectrumFault::NotRecorded;
        ch.B = std::nanf("");
    }
}

/// The records of a CSV stream, with the count of lines and bytes read.
struct RecordSource {
    std::istream& In;
    int64_t LineNo = 0;
    uint64_t Bytes = 0;
    std::string Line;

    /// The next record in `record` (its trailing CR dropped) and its first
    /// line in `first`; `open`: the stream ended inside a quoted field.
    /// False at the end of the stream.
    bool Next(std::string& record, int64_t& first, bool& open)
    {
        if (!std::getline(In, Line))
            return false;
        first = ++LineNo;
        Bytes += Line.size() + 1;
        record = Line;
        // A quoted field may hold line breaks: the record goes on while a
        // quote is open (an odd count of quotes so far).
        open = std::count(record.begin(), record.end(), '"') % 2 != 0;
        while (open && std::getline(In, Line)) {
            ++LineNo;
            Bytes += Line.size() + 1;
            record += '\n';
            record += Line;
            open = std::count(record.begin(), record.end(), '"') % 2 != 0;
        }
        if (!record.empty() && record.back() == '\r')
            record.pop_back();
        return true;
    }
};

/// The numbers of one line.
struct LineValues {
    int64_t Frame = 0, Channel = 0, Points = 0;
    double Mean = 0, Centre = 0, B = 0;
};

/// Reads the numbers of one line's fields; the fault when they cannot be
/// taken.
std::optional<TrendLineFault> ParseLine(const std::vector<std::string>& fields, const Columns& col, LineValues& v)
{
    if (fields.size() != col.Count)
        return TrendLineFault::FieldCount;
    if (!ParseInt(fields[col.Frame], v.Frame) || v.Frame < 1 || v.Frame > INT32_MAX ||
        !ParseInt(fields[col.Points], v.Points) || v.Points < 0 || v.Points > kFonPoints ||
        !ParseNumber(fields[col.Mean], v.Mean) || !ParseNumber(fields[col.Centre], v.Centre) ||
        !ParseNumber(fields[col.B], v.B) || !ParseInt(fields[col.Channel], v.Channel))
        return TrendLineFault::BadNumber;
    if (v.Channel < 1 || v.Channel > kFonChannels)
        return TrendLineFault::BadChannel;
    return std::nullopt;
}

/// Puts one line's channel into the pending frame; false when the frame
/// has that channel already.
bool TakeChannel(PendingFrame& pending, const LineValues& v)
{
    const unsigned bit = 1u << (v.Channel - 1);
    if (pending.Seen & bit)
        return false;
    pending.Seen |= bit;
    frames::ChannelNumbers& ch = pending.Numbers.Channels[static_cast<size_t>(v.Channel - 1)];
    ch.MeanPerPoint = v.Mean;
    if (std::isfinite(v.Centre)) {
        ch.Centre = static_cast<int32_t>(v.Centre);
        ch.NoCentre = frames::SpectrumFault::None;
        ch.CentreError = 0;
    }
    if (std::isfinite(v.B)) {
        ch.B = static_cast<float>(v.B);
        ch.NoB = frames::SpectrumFault::None;
    }
    return true;
}

} // namespace

TrendCsvContent ReadTrendCsv(std::istream& in, const TrendCsvReadOptions& options)
{
    TrendCsvContent out;
    std::map<std::string, int32_t> fileIndex;
    std::vector<std::string> fields;
    std::string record;
    RecordSource src{in, 0, 0, {}};
    Columns col = kCurrentColumns;
    PendingFrame pending;
    const auto flush = [&] {
        if (pending.File >= 0)
            out.Table.Append(pending.File, static_cast<int32_t>(pending.Frame - 1), pending.Numbers);
        pending.File = -1;
    };
    int64_t first = 0;
    bool open = false;
    while (src.Next(record, first, open)) {
        if (first == 1) {
            if (record == frames::TrendCsvHeader())
                out.Header = TrendCsvHeaderKind::Current;
            else if (record == frames::TrendCsvHeader(frames::kTrendColumnsWithoutLive))
                out.Header = TrendCsvHeaderKind::WithoutLive, col = kWithoutLiveColumns;
            else if (record == kEarlyHeader)
                out.Header = TrendCsvHeaderKind::Early, col = kEarlyColumns;
            else
                return out;
            continue;
        }
        if (src.LineNo % kProgressLines == 0) {
            if (options.Progress)
                options.Progress(src.Bytes);
            if (options.Cancel && options.Cancel->load(std::memory_order_relaxed)) {
                out.Cancelled = true;
                break;
            }
        }
        if (open) {
            out.Problems.push_back({first, TrendLineFault::OpenQuote});
            break;
        }
        if (record.empty())
            continue;
        SplitFields(record, fields);
        LineValues v;
        if (const auto fault = ParseLine(fields, col, v)) {
            out.Problems.push_back({first, *fault});
            continue;
        }
        auto [at, added] = fileIndex.try_emplace(fields[col.File], static_cast<int32_t>(out.Files.size()));
        if (added)
            out.Files.push_back(fields[col.File]);
        if (pending.File != at->second || pending.Frame != v.Frame) {
            flush();
            StartFrame(pending, at->second, v.Frame, StampFromIso(fields[col.Start]), v.Points);
        }
        if (!TakeChannel(pending, v))
            out.Problems.push_back({first, TrendLineFault::BadChannel});
    }
    flush();
    return out;
}

} // namespace trend
