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
    size_t Count, File, Frame, Start, Channel, Points, Mean, MeanPerS, Centre, B;
};
constexpr size_t kNone = SIZE_MAX;
constexpr Columns kCurrentColumns{frames::kTrendColumnCount, 0, 1, 2, 4, 5, 6, 7, 8, 9};
constexpr Columns kWithoutLiveColumns{frames::kTrendColumnsWithoutLive, 0, 1, 2, 4, 5, 6, 7, 8, 9};
constexpr Columns kEarlyColumns{8, 0, 1, 2, 3, 4, 5, kNone, 6, 7};

/// The fields of one CSV record (RFC 4180: quotes around a field, doubled
/// inside it). A record without `quotes` is cut into views of itself; one
/// with quotes is copied, unquoted, into `unquoted`, which the views see.
void SplitFields(std::string_view record, bool quotes, std::vector<std::string_view>& fields,
                 std::vector<std::string>& unquoted)
{
    fields.clear();
    if (!quotes) {
        // A plain loop: the fields are short, a search call per field costs more.
        const char* start = record.data();
        const char* const end = start + record.size();
        for (const char* p = start; p != end; ++p)
            if (*p == ',') {
                fields.emplace_back(start, static_cast<size_t>(p - start));
                start = p + 1;
            }
        fields.emplace_back(start, static_cast<size_t>(end - start));
        return;
    }
    unquoted.assign(1, {});
    bool quoted = false;
    for (size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (quoted) {
            if (c == '"' && i + 1 < record.size() && record[i + 1] == '"')
                unquoted.back() += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                unquoted.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            unquoted.emplace_back();
        } else {
            unquoted.back() += c;
        }
    }
    for (const std::string& f : unquoted)
        fields.push_back(f);
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
frames::FrameStamp StampFromIso(std::string_view text)
{
    const auto f = [](int v) { return static_cast<int16_t>(v); };
    // The text as the writers give it, digit by digit; any other through sscanf.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd.ddd";
    bool plain = text.size() >= kShape.size();
    for (size_t i = 0; plain && i < kShape.size(); ++i)
        plain = kShape[i] == 'd' ? text[i] >= '0' && text[i] <= '9' : text[i] == kShape[i];
    if (plain) {
        const auto num = [&](size_t at, size_t n) {
            int v = 0;
            for (size_t i = at; i < at + n; ++i)
                v = v * 10 + (text[i] - '0');
            return f(v);
        };
        return {num(0, 4), num(5, 2), num(8, 2), num(11, 2), num(14, 2), num(17, 2), num(20, 3)};
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (std::sscanf(std::string(text).c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3d", &y, &mo, &d, &h, &mi, &s, &ms) != 7)
        return {};
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

/// The numbers of one line.
struct LineValues {
    int64_t Frame = 0, Channel = 0, Points = 0;
    double Mean = 0, MeanPerS = 0, Centre = 0, B = 0;
};

/// Reads the numbers of one line's fields; the fault when they cannot be
/// taken.
std::optional<TrendLineFault> ParseLine(const std::vector<std::string_view>& fields, const Columns& col, LineValues& v)
{
    if (fields.size() != col.Count)
        return TrendLineFault::FieldCount;
    v.MeanPerS = std::nan("");
    if ((col.MeanPerS != kNone && !ParseNumber(fields[col.MeanPerS], v.MeanPerS)) ||!ParseInt(fields[col.Frame], v.Frame) || v.Frame < 1 || v.Frame > INT32_MAX ||
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
    ch.MeanPerS = v.MeanPerS;
    if (!std::isfinite(pending.Numbers.PointSeconds) && v.Mean > 0 && std::isfinite(v.MeanPerS) && v.MeanPerS > 0)
        pending.Numbers.PointSeconds = v.Mean / v.MeanPerS;
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

struct TrendCsvParser::State {
    TrendCsvReadOptions Options;
    TrendCsvContent Out;
    std::map<std::string, int32_t, std::less<>> FileIndex;
    std::string LastFile; ///< the file of the line before, whose index is LastFileIndex
    int32_t LastFileIndex = -1;
    std::vector<std::string_view> Fields;
    std::vector<std::string> Unquoted;
    Columns Col = kCurrentColumns;
    PendingFrame Pending;
    int64_t LineNo = 0;
    uint64_t Bytes = 0;
    bool Stopped = false;

    void Flush()
    {
        if (Pending.File >= 0)
            Out.Table.Append(Pending.File, static_cast<int32_t>(Pending.Frame - 1), Pending.Numbers);
        Pending.File = -1;
    }
    /// The index of file name `name`, given on first sight.
    int32_t FileOf(std::string_view name)
    {
        if (LastFileIndex >= 0 && name == LastFile)
            return LastFileIndex;
        auto at = FileIndex.find(name);
        if (at == FileIndex.end()) {
            at = FileIndex.emplace(std::string(name), static_cast<int32_t>(Out.Files.size())).first;
            Out.Files.emplace_back(name);
        }
        LastFile = name;
        return LastFileIndex = at->second;
    }
    bool Header(std::string_view record);
    void Record(std::string_view record, int64_t first, bool open, bool quotes);
};

bool TrendCsvParser::State::Header(std::string_view record)
{
    if (record == frames::TrendCsvHeader())
        Out.Header = TrendCsvHeaderKind::Current;
    else if (record == frames::TrendCsvHeader(frames::kTrendColumnsWithoutLive))
        Out.Header = TrendCsvHeaderKind::WithoutLive, Col = kWithoutLiveColumns;
    else if (record == kEarlyHeader)
        Out.Header = TrendCsvHeaderKind::Early, Col = kEarlyColumns;
    return Out.Header != TrendCsvHeaderKind::None;
}

void TrendCsvParser::State::Record(std::string_view record, int64_t first, bool open, bool quotes)
{
    if (first == 1) {
        Stopped = !Header(record);
        return;
    }
    if (LineNo % kProgressLines == 0) {
        if (Options.Progress)
            Options.Progress(Bytes);
        if (Options.Cancel && Options.Cancel->load(std::memory_order_relaxed)) {
            Out.Cancelled = Stopped = true;
            return;
        }
    }
    if (open) {
        Out.Problems.push_back({first, TrendLineFault::OpenQuote});
        Stopped = true;
        return;
    }
    if (record.empty())
        return;
    SplitFields(record, quotes, Fields, Unquoted);
    LineValues v;
    if (const auto fault = ParseLine(Fields, Col, v)) {
        Out.Problems.push_back({first, *fault});
        return;
    }
    const int32_t file = FileOf(Fields[Col.File]);
    if (Pending.File != file || Pending.Frame != v.Frame) {
        Flush();
        StartFrame(Pending, file, v.Frame, StampFromIso(Fields[Col.Start]), v.Points);
    }
    if (!TakeChannel(Pending, v))
        Out.Problems.push_back({first, TrendLineFault::BadChannel});
}

TrendCsvParser::TrendCsvParser() : s_(std::make_unique<State>()) {}
TrendCsvParser::TrendCsvParser(TrendCsvReadOptions options) : s_(std::make_unique<State>())
{
    s_->Options = std::move(options);
}
TrendCsvParser::~TrendCsvParser() = default;
TrendCsvParser::TrendCsvParser(TrendCsvParser&&) noexcept = default;
TrendCsvParser& TrendCsvParser::operator=(TrendCsvParser&&) noexcept = default;

size_t TrendCsvParser::Feed(std::string_view text, bool last)
{
    State& s = *s_;
    size_t at = 0;
    while (!s.Stopped && at < text.size()) {
        // One record: a line, or more while a quote is open (an odd count
        // of quotes so far: a quoted field may hold line breaks).
        size_t end = at, lines = 0, quotes = 0;
        bool open = false, whole = false;
        for (;;) {
            const size_t nl = text.find('\n', end);
            const std::string_view line = text.substr(end, nl == std::string_view::npos ? std::string_view::npos : nl - end);
            if (line.find('"') != std::string_view::npos)
                quotes += static_cast<size_t>(std::count(line.begin(), line.end(), '"'));
            ++lines;
            open = quotes % 2 != 0;
            if (nl == std::string_view::npos) {
                end = text.size();
                whole = last;
                break;
            }
            end = nl + 1;
            whole = true;
            if (!open)
                break;
        }
        if (!whole || (open && !last))
            break; // the rest comes with the next text
        std::string_view record = text.substr(at, end - at);
        if (!record.empty() && record.back() == '\n')
            record.remove_suffix(1);
        if (!record.empty() && record.back() == '\r')
            record.remove_suffix(1);
        const int64_t first = s.LineNo + 1;
        s.LineNo += static_cast<int64_t>(lines);
        s.Bytes += end - at;
        at = end;
        s.Record(record, first, open, quotes > 0);
    }
    return s.Stopped || last ? text.size() : at;
}

void TrendCsvParser::EndWholeFrame()
{
    if (s_->Pending.Seen == (1u << kFonChannels) - 1)
        s_->Flush();
}

void TrendCsvParser::Finish() { s_->Flush(); }
bool TrendCsvParser::Stopped() const { return s_->Stopped; }
const TrendCsvContent& TrendCsvParser::Content() const { return s_->Out; }
TrendCsvContent& TrendCsvParser::Content() { return s_->Out; }

TrendCsvContent ReadTrendCsv(std::istream& in, const TrendCsvReadOptions& options)
{
    TrendCsvParser parser(options);
    std::string text;
    std::vector<char> chunk(size_t{1} << 20);
    for (bool last = false; !last && !parser.Stopped();) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto n = static_cast<size_t>(in.gcount());
        last = !in;
        text.append(chunk.data(), n);
        text.erase(0, parser.Feed(text, last));
    }
    parser.Finish();
    return std::move(parser.Content());
}

} // namespace trend
