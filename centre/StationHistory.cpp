#include "centre/StationHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frames/LiveSeconds.h"
#include "trend/Outliers.h"
#include "trend/TrendCsvRead.h"

namespace centre {
namespace {

QJsonValue Number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(); }

/// The rows of `t` from `from` on.
trend::TrendTable Tail(const trend::TrendTable& t, size_t from)
{
    trend::TrendTable out;
    auto cut = [from](const auto& v) { return std::decay_t<decltype(v)>(v.begin() + long(from), v.end()); };
    out.File = cut(t.File);
    out.Record = cut(t.Record);
    out.Time = cut(t.Time);
    out.Points = cut(t.Points);
    out.PointSeconds = cut(t.PointSeconds);
    for (size_t c = 0; c < kFonChannels; ++c) {
        out.MeanPerPoint[c] = cut(t.MeanPerPoint[c]);
        out.Centre[c] = cut(t.Centre[c]);
        out.CentreError[c] = cut(t.CentreError[c]);
        out.B[c] = cut(t.B[c]);
    }
    return out;
}

/// The mean of the finite values of v[a, b); NaN when none.
double MeanOf(const std::vector<float>& v, size_t a, size_t b)
{
    double sum = 0;
    int n = 0;
    for (size_t i = a; i < b; ++i)
        if (std::isfinite(v[i]))
            sum += v[i], ++n;
    return n ? sum / n : std::nan("");
}

/// Each frame's live time in percent of its wall time: the live seconds of
/// a point over the wall seconds it lasts.
std::vector<float> LivePercent(const trend::TrendTable& t)
{
    std::vector<float> live(t.Size());
    for (size_t i = 0; i < live.size(); ++i)
        live[i] = static_cast<float>(100.0 * frames::kPointLiveSeconds / t.PointSeconds[i]);
    return live;
}

/// The table in runs of equal length, each run's mean time and values.
void Thinned(const trend::TrendTable& t, QJsonObject& out)
{
    const size_t n = t.Size();
    const size_t run = std::max<size_t>(1, (n + kHistoryPoints - 1) / kHistoryPoints);
    const std::vector<float> livePercent = LivePercent(t);
    QJsonArray time, live;
    std::array<QJsonArray, kFonChannels> rate, centre, b;
    for (size_t a = 0; a < n; a += run) {
        const size_t e = std::min(n, a + run);
        // Seconds of 2026 do not fit a float to the second: the run's first time.
        time.append(Number(t.Time[a]));
        live.append(Number(MeanOf(livePercent, a, e)));
        for (size_t c = 0; c < kFonChannels; ++c) {
            rate[c].append(Number(MeanOf(t.MeanPerPoint[c], a, e)));
            centre[c].append(Number(MeanOf(t.Centre[c], a, e)));
            b[c].append(Number(MeanOf(t.B[c], a, e)));
        }
    }
    out["t"] = time;
    out["live"] = live;
    out["run"] = qint64(run);
    QJsonArray r, ce, bb;
    for (size_t c = 0; c < kFonChannels; ++c)
        r.append(rate[c]), ce.append(centre[c]), bb.append(b[c]);
    out["rate"] = r;
    out["centre"] = ce;
    out["b"] = bb;
}

/// Splits one CSV line at commas (the events' fields hold no quotes).
QJsonArray Fields(const std::string& line)
{
    QJsonArray out;
    for (const QString& f : QString::fromStdString(line).split(','))
        out.append(f);
    return out;
}

/// The header and the last kLastEvents lines of events.csv.
QJsonObject LastEvents(const std::string& path)
{
    QJsonObject out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line))
        return out;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    out["header"] = Fields(line);
    // Only the end of a long file is read.
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg(), tail = 64 * 1024;
    in.seekg(std::max<std::streamoff>(size - tail, 0));
    std::vector<std::string> lines;
    if (size > tail)
        std::getline(in, line); // a torn first line
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.rfind("file,", 0) != 0)
            lines.push_back(line);
    }
    QJsonArray rows;
    for (size_t i = lines.size() > size_t(kLastEvents) ? lines.size() - kLastEvents : 0; i < lines.size(); ++i)
        rows.append(Fields(lines[i]));
    out["rows"] = rows;
    return out;
}

/// The trend tables read last, per file: a file that grew is read on from
/// where the last reading ended (the store only appends), so a page of a
/// year of frames reads the year once. The tables of the kCachedStations
/// stations asked for last are kept (a year's is ~18 MB); a reading holds
/// kReadBytes of the file at a time.
class TableCache {
public:
    static constexpr size_t kCachedStations = 8;
    static constexpr size_t kReadBytes = size_t{4} << 20;

    /// `use(table)` with the table of `path` as the file is now; the
    /// table is not copied, and no other reading runs meanwhile.
    template <class Use>
    auto With(const std::string& path, Use use)
    {
        std::lock_guard lock(mutex_);
        return use(Update(path).Parser.Content().Table);
    }

private:
    struct Entry {
        uint64_t Used = 0; ///< when last asked for
        off_t Offset = 0;  ///< bytes read
        ino_t Inode = 0;   ///< of the file read
        trend::TrendCsvParser Parser;
    };

    Entry& Update(const std::string& path)
    {
        if (entries_.size() >= kCachedStations && !entries_.count(path))
            entries_.erase(std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
                return a.second.Used < b.second.Used;
            }));
        Entry& e = entries_[path];
        e.Used = ++clock_;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size < e.Offset || st.st_ino != e.Inode) {
            e = Entry{}; // none yet, or a new file in its place
            e.Used = clock_;
            e.Inode = fd >= 0 ? st.st_ino : 0;
        }
        // The first reading makes room for the file's rows at once (four
        // lines of about 80 bytes a frame), not growing and copying the
        // table row by row; later ones add a few rows to it.
        if (fd >= 0 && e.Offset == 0)
            e.Parser.Content().Table.Reserve(size_t(st.st_size / 320) + 1);
        std::unique_ptr<char[]> text;
        while (fd >= 0 && e.Offset < st.st_size && !e.Parser.Stopped()) {
            if (!text)
                text = std::make_unique_for_overwrite<char[]>(kReadBytes);
            const ssize_t n =
                ::pread(fd, text.get(), std::min<size_t>(kReadBytes, size_t(st.st_size - e.Offset)), e.Offset);
            if (n <= 0)
                break;
            // Whole lines only; the rest is read again with what follows it.
            const size_t used = e.Parser.Feed({text.get(), size_t(n)}, false);
            if (used == 0)
                break;
            e.Offset += off_t(used);
        }
        // A frame's lines come in one write: a frame with all its channels is whole.
        e.Parser.EndWholeFrame();
        if (fd >= 0)
            ::close(fd);
        return e;
    }

    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    uint64_t clock_ = 0;
};

/// The charts' numbers of the frames of `span`, and their outliers.
QJsonObject HistoryOf(const trend::TrendTable& t, HistorySpan span)
{
    double last = -INFINITY;
    for (double s : t.Time)
        if (std::isfinite(s))
            last = std::max(last, s);
    const double days = span == HistorySpan::Day ? 1 : span == HistorySpan::Week ? 7 : span == HistorySpan::Month ? 30 : 0;
    // Frames come in time order; the span starts at the first frame inside it.
    size_t from = 0;
    if (days > 0 && std::isfinite(last))
        from = size_t(std::partition_point(t.Time.begin(), t.Time.end(),
                                           [&](double s) { return !(s >= last - days * 86400); }) -
                      t.Time.begin());
    trend::TrendTable tail;
    const trend::TrendTable& shown = from == 0 ? t : (tail = Tail(t, from));

    QJsonObject out;
    out["rows"] = qint64(shown.Size());
    Thinned(shown, out);
    QJsonArray outliers;
    for (const trend::Outlier& o : trend::MarkOutliers(shown))
        outliers.append(QJsonObject{{"t", Number(shown.Time[o.Row])},
                                    {"channel", o.Channel},
                                    {"what", o.What == trend::TrendQuantity::Rate ? "rate" : "centre"},
                                    {"value", Number(o.Value)}});
    out["outliers"] = outliers;
    return out;
}

} // namespace

HistorySpan SpanNamed(const QString& name)
{
    if (name == "day")
        return HistorySpan::Day;
    if (name == "month")
        return HistorySpan::Month;
    if (name == "all")
        return HistorySpan::All;
    return HistorySpan::Week;
}

QByteArray StationHistoryJson(const std::string& trendCsv, const std::string& eventsCsv, HistorySpan span)
{
    static TableCache cache;
    QJsonObject out = cache.With(trendCsv, [span](const trend::TrendTable& t) { return HistoryOf(t, span); });
    out["events"] = LastEvents(eventsCsv);
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

} // namespace centre
