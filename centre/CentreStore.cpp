#include "centre/CentreStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/CsvText.h"
#include "network/NetworkSettings.h"
#include "trend/TrendCsv.h"

namespace centre {

/// One station's files and what they hold.
struct CentreStore::Station {
    StationInfo Info;
    std::FILE* Trend = nullptr;
    std::FILE* EventsCsv = nullptr;
    std::set<std::pair<std::string, int64_t>> FramesSeen, EventsSeen;
    ~Station()
    {
        if (Trend)
            std::fclose(Trend);
        if (EventsCsv)
            std::fclose(EventsCsv);
    }
};

namespace {

constexpr int kFonChannels = 4;
constexpr int kRadChannels = 6;

/// The (file, record) pairs of a CSV written by this store: the first two
/// fields of every whole line after the header (a torn last line, cut by a
/// crash, does not count); `recordBase` is 1 when the second field counts
/// from 1.
void ReadSeen(const std::string& path, int recordBase, std::set<std::pair<std::string, int64_t>>& seen)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line) && !in.eof()) {
        const size_t a = line.find(',');
        if (a == std::string::npos)
            continue;
        const size_t b = line.find(',', a + 1);
        seen.insert({line.substr(0, a), std::strtoll(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10) - recordBase});
    }
}

/// Opens `path` for appending; writes `header` when it is new or empty, and
/// ends a torn last line so that the next line starts on its own.
std::FILE* OpenCsv(const std::string& path, const std::string& header)
{
    std::FILE* f = std::fopen(path.c_str(), "a+b");
    if (!f)
        return f;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size == 0) {
        std::fputs((header + "\r\n").c_str(), f);
    } else if (std::fseek(f, -1, SEEK_END) == 0 && std::fgetc(f) != '\n') {
        std::fseek(f, 0, SEEK_END);
        std::fputs("\r\n", f);
    }
    std::fflush(f);
    return f;
}

/// The n-th trend file set aside because its header was of an older kind:
/// trend.old.csv, trend.old2.csv, ...
std::string OldTrendPath(const std::string& folder, int n)
{
    return folder + "/trend.old" + (n > 1 ? std::to_string(n) : std::string()) + ".csv";
}

/// The first line of `path` without its line end; empty when it has none.
std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool IsInt(const QJsonValue& v)
{
    return v.isDouble() && std::floor(v.toDouble()) == v.toDouble() && std::fabs(v.toDouble()) < 9.0e15;
}

/// An array of `n` entries, each a number (or null where `nullable`).
bool NumberArray(const QJsonValue& v, int n, bool nullable, bool integers)
{
    if (!v.isArray() || v.toArray().size() != n)
        return false;
    for (const QJsonValue& e : v.toArray()) {
        if (e.isNull() && nullable)
            continue;
        if (!e.isDouble() || (integers && !IsInt(e)))
            return false;
    }
    return true;
}

double NumberOr(const QJsonValue& v) { return v.isDouble() ? v.toDouble() : std::nan(""); }

} // namespace

bool ValidFileName(const std::string& name, const char* ext)
{
    const std::string e = ext;
    if (name.size() <= e.size() || name.size() > 100 || name.compare(name.size() - e.size(), e.size(), e) != 0)
        return false;
    if (name.find("..") != std::string::npos)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

CentreStore::CentreStore(std::string dir) : dir_(std::move(dir))
{
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
}

CentreStore::~CentreStore() = default;

CentreStore::Station& CentreStore::Open(const std::string& id)
{
    auto& slot = stations_[id];
    if (slot)
        return *slot;
    slot = std::make_unique<Station>();
    Station& s = *slot;
    s.Info.Id = id;
    const std::string folder = dir_ + "/" + id;
    ::mkdir(folder.c_str(), 0755);
    // A trend file of an older header is set aside whole, never appended to
    // in the new columns; what it and earlier ones hold is still seen.
    const std::string trend = folder + "/trend.csv";
    const std::string first = FirstLine(trend);
    int old = 1;
    for (; ::access(OldTrendPath(folder, old).c_str(), F_OK) == 0; ++old)
        ReadSeen(OldTrendPath(folder, old), 1, s.FramesSeen);
    if (!first.empty() && first != TrendCsvHeader() && std::rename(trend.c_str(), OldTrendPath(folder, old).c_str()) == 0) {
        std::fprintf(stderr, "vfon-centre: %s: заголовок прежнего вида, файл переименован в %s\n", trend.c_str(),
                     OldTrendPath(folder, old).c_str());
        ReadSeen(OldTrendPath(folder, old), 1, s.FramesSeen);
    }
    ReadSeen(trend, 1, s.FramesSeen);
    ReadSeen(folder + "/events.csv", 0, s.EventsSeen);
    s.Info.Frames = static_cast<int64_t>(s.FramesSeen.size());
    s.Info.Events = static_cast<int64_t>(s.EventsSeen.size());
    s.Trend = OpenCsv(trend, TrendCsvHeader());
    std::string header = "file,record,event_no,time_utc,time_ns";
    for (const char* what : {"gain", "peak"})
        for (int c = 1; c <= kRadChannels; ++c)
            header.append(",").append(what).append(std::to_string(c));
    s.EventsCsv = OpenCsv(folder + "/events.csv", header);
    return s;
}

Ingest CentreStore::Refuse(const std::string& id, const char* why, int64_t nowNs)
{
    ++refused_;
    if (auto it = stations_.find(id); it != stations_.end())
        ++it->second->Info.Refused;
    int64_t& last = lastLog_[id];
    if (last == 0 || nowNs - last >= int64_t{60} * 1000000000) {
        last = nowNs;
        std::fprintf(stderr, "vfon-centre: отклонено сообщение%s%s: %s (всего отклонено %lld)\n",
                     id.empty() ? "" : " станции ", id.c_str(), why, static_cast<long long>(refused_));
    }
    return Ingest::Refused;
}

Ingest CentreStore::Take(const std::string& topic, const QByteArray& payload, int64_t nowNs)
{
    // vfon/v1/ID/kind
    const std::string prefix = "vfon/v1/";
    if (topic.rfind(prefix, 0) != 0)
        return Refuse("", "чужая тема", nowNs);
    const std::string rest = topic.substr(prefix.size());
    const size_t slash = rest.find('/');
    const std::string id = slash == std::string::npos ? std::string() : rest.substr(0, slash);
    const std::string kind = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    if (!net::ValidStationId(id))
        return Refuse("", "недопустимый идентификатор станции", nowNs);
    if (kind != "status" && kind != "frame" && kind != "event")
        return Refuse(id, "неизвестная тема", nowNs);
    if (static_cast<size_t>(payload.size()) > kMaxPayload)
        return Refuse(id, "больше 64 КБ", nowNs);
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return Refuse(id, "не объект JSON", nowNs);
    const QJsonObject o = doc.object();
    if (o.value("station").toString().toStdString() != id)
        return Refuse(id, "поле station не совпадает с темой", nowNs);
    Station& s = Open(id);
    Ingest result = Ingest::Refused;
    if (kind == "status") {
        const QString state = o.value("state").toString();
        if (state == "running" || state == "idle" || state == "halted") {
            s.Info.Status = o;
            s.Info.Offline = false;
            // When the station made it (a retained status may be old), else now.
            const int64_t made = o.value("time_ns").toInteger(0);
            s.Info.StatusNs = made > 0 && made < nowNs ? made : nowNs;
            result = Ingest::Status;
        } else if (state == "offline") {
            // The will or a goodbye: the last figures stay on show.
            s.Info.Offline = true;
            if (s.Info.StatusNs == 0)
                s.Info.StatusNs = nowNs;
            result = Ingest::Status;
        }
    } else if (kind == "frame") {
        result = TakeFrame(s, o);
    } else {
        result = TakeEvent(s, o);
    }
    return result == Ingest::Refused ? Refuse(id, "неверные поля", nowNs) : result;
}

Ingest CentreStore::TakeFrame(Station& s, const QJsonObject& o)
{
    const std::string file = o.value("file").toString().toStdString();
    const QJsonValue record = o.value("record");
    // start_local and mean_per_s are new: stations of an earlier version
    // send neither, and their lines keep the start as the record holds it.
    const QJsonValue local = o.value("start_local"), perS = o.value("mean_per_s");
    if (!ValidFileName(file, ".fon") || !IsInt(record) || record.toDouble() < 0 || !IsInt(o.value("points")) ||
        !o.value("start").isString() || !NumberArray(o.value("mean_rate"), kFonChannels, true, false) ||
        !NumberArray(o.value("centre"), kFonChannels, true, true) ||
        !NumberArray(o.value("b"), kFonChannels, true, false) ||
        !(local.isUndefined() || local.isNull() || local.isString()) ||
        !(perS.isUndefined() || NumberArray(perS, kFonChannels, true, false)) ||
        !(o.value("start_ns").isUndefined() || o.value("start_ns").isDouble()))
        return Ingest::Refused;
    const int64_t r = static_cast<int64_t>(record.toDouble());
    const QJsonArray rate = o.value("mean_rate").toArray(), centre = o.value("centre").toArray(),
                     b = o.value("b").toArray(), perSecond = perS.toArray();
    for (int c = 0; c < kFonChannels; ++c)
        s.Info.Centres[static_cast<size_t>(c)] = NumberOr(centre[c]);
    s.Info.HasFrame = true;
    if (!s.FramesSeen.insert({file, r}).second)
        return Ingest::Duplicate;
    // The line of the trend export: the same writer, the same numbers.
    datafiles::CsvText text;
    const std::string start = (local.isUndefined() ? o.value("start") : local).toString().toStdString();
    const int64_t startNs = o.value("start_ns").toInteger(0);
    const int64_t points = static_cast<int64_t>(o.value("points").toDouble());
    for (int c = 0; c < kFonChannels; ++c) {
        text.Text(file).Int(r + 1).Text(start);
        if (startNs != 0 && !local.isNull())
            text.Int(startNs);
        else
            text.Empty();
        text.Int(c + 1).Int(points).Number(NumberOr(rate[c])).Number(c < perSecond.size() ? NumberOr(perSecond[c]) : std::nan(""));
        if (centre[c].isDouble())
            text.Int(static_cast<int64_t>(centre[c].toDouble()));
        else
            text.Empty();
        text.Number(static_cast<float>(NumberOr(b[c]))).EndLine();
    }
    if (s.Trend) {
        std::fwrite(text.str().data(), 1, text.size(), s.Trend);
        std::fflush(s.Trend);
    }
    ++s.Info.Frames;
    return Ingest::Frame;
}

Ingest CentreStore::TakeEvent(Station& s, const QJsonObject& o)
{
    const std::string file = o.value("file").toString().toStdString();
    const QJsonValue record = o.value("record");
    if (!ValidFileName(file, ".Rad") || !IsInt(record) || record.toDouble() < 0 || !IsInt(o.value("event_no")) ||
        !o.value("time_ns").isDouble() || !NumberArray(o.value("gains"), kRadChannels, false, true) ||
        !NumberArray(o.value("peak"), kRadChannels, false, true) ||
        !(o.value("time_utc").isString() || o.value("time_utc").isNull()))
        return Ingest::Refused;
    const int64_t r = static_cast<int64_t>(record.toDouble());
    if (!s.EventsSeen.insert({file, r}).second)
        return Ingest::Duplicate;
    datafiles::CsvText text;
    text.Text(file).Int(r).Int(static_cast<int64_t>(o.value("event_no").toDouble()));
    text.Text(o.value("time_utc").toString().toStdString()).Int(o.value("time_ns").toInteger());
    for (const char* key : {"gains", "peak"})
        for (const QJsonValue& v : o.value(key).toArray())
            text.Int(static_cast<int64_t>(v.toDouble()));
    text.EndLine();
    if (s.EventsCsv) {
        std::fwrite(text.str().data(), 1, text.size(), s.EventsCsv);
        std::fflush(s.EventsCsv);
    }
    ++s.Info.Events;
    return Ingest::Event;
}

std::vector<const StationInfo*> CentreStore::Stations() const
{
    std::vector<const StationInfo*> out;
    for (const auto& [id, s] : stations_)
        out.push_back(&s->Info);
    return out;
}

} // namespace centre
