#include "protocol/Messages.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "frames/FrameNumbers.h"
#include "frames/LiveSeconds.h"

namespace protocol {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

/// A number, or null where it is none.
QJsonValue NumberOrNull(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null); }

QByteArray Compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

/// The zone of a station's clock: this machine's, as Qt reads local time,
/// or a fixed UTC offset that the station sent.
class WallZone : public frames::StampZone {
public:
    explicit WallZone(std::optional<int32_t> offsetS = std::nullopt) : offsetS_(offsetS) {}
    /// ns since the epoch of the wall time given; 0 for a stamp that is no date.
    int64_t WallNs(int y, int mo, int d, int h, int mi, int s, int ms) const
    {
        if (!offsetS_)
            return WallToUtcNs(y, mo, d, h, mi, s, ms);
        const QDateTime t(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
        return t.isValid() ? (t.toMSecsSinceEpoch() - int64_t{*offsetS_} * 1000) * 1000000 : 0;
    }
    int64_t UtcNs(const frames::FrameStamp& s) const override
    {
        const int64_t ns = frames::StampReal(s) ? WallNs(s.Year, s.Month, s.Day, s.Hour, s.Min, s.Sec, s.MSec) : 0;
        return ns != 0 ? ns : frames::kNoStampNs;
    }
    std::string IsoText(int64_t utcNs) const override
    {
        if (utcNs == frames::kNoStampNs)
            return {};
        if (offsetS_)
            return frames::IsoWithOffset(utcNs, *offsetS_);
        const qint64 ms = utcNs >= 0 ? utcNs / 1000000 : (utcNs - 999999) / 1000000;
        return frames::IsoWithOffset(utcNs, QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc());
    }

private:
    std::optional<int32_t> offsetS_;
};

QByteArray FrameJsonIn(const std::string& station, const std::string& file, int64_t record, const TFonKadr& k,
                       bool lastRecord, const WallZone& zone)
{
    const frames::FrameNumbers n = frames::ComputeFrameNumbers(k, lastRecord, &zone);
    const int64_t ns = zone.WallNs(k.Year, k.Month, k.Day, k.Hour, k.Min, k.Sec, k.MSec);
    QJsonArray rate, perS, centre, b;
    for (const frames::ChannelNumbers& ch : n.Channels) {
        rate.append(NumberOrNull(ch.MeanPerPoint));
        perS.append(NumberOrNull(ch.MeanPerS));
        centre.append(ch.HasCentre() ? QJsonValue(ch.Centre) : QJsonValue());
        b.append(ch.HasB() ? NumberOrNull(ch.B) : QJsonValue());
    }
    QJsonObject o;
    o["station"] = Q(station);
    o["file"] = Q(file);
    o["record"] = static_cast<qint64>(record);
    o["kadr_no"] = k.KadrNo;
    o["start"] = Q(frames::StampIso(n.Start)); // the station's wall time as the record holds it
    o["start_utc"] = ns ? QJsonValue(UtcText(ns)) : QJsonValue();
    o["start_ns"] = static_cast<qint64>(ns);
    o["start_local"] = ns ? QJsonValue(Q(zone.IsoText(ns))) : QJsonValue(); // with the station's UTC offset
    o["points"] = n.Points;
    o["live_s"] = frames::LiveSeconds(n.Points);
    o["mean_rate"] = rate;
    o["mean_per_s"] = perS;
    o["centre"] = centre;
    o["b"] = b;
    return Compact(o);
}

QByteArray EventJsonIn(const std::string& station, const std::string& file, int64_t record, const TRadKadr& e,
                       const WallZone& zone)
{
    const int64_t ns = zone.WallNs(e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec);
    QJsonArray gains, peak;
    for (int c = 1; c <= kRadChannels; ++c) {
        gains.append(const_cast<TRadKadr&>(e).RGain(c));
        const int16_t* s = e.Samples(c);
        int largest = 0;
        for (int i = 0; i < kRadSamples; ++i)
            largest = std::max(largest, std::abs(static_cast<int>(s[i])));
        peak.append(largest);
    }
    QJsonObject o;
    o["station"] = Q(station);
    o["file"] = Q(file);
    o["record"] = static_cast<qint64>(record);
    o["event_no"] = e.EventNo;
    o["time_utc"] = ns ? QJsonValue(UtcText(ns)) : QJsonValue();
    o["time_ns"] = static_cast<qint64>(ns);
    o["gains"] = gains;
    o["peak"] = peak;
    return Compact(o);
}

} // namespace

std::string StatusTopic(const std::string& id) { return "vfon/v1/" + id + "/status"; }
std::string FrameTopic(const std::string& id) { return "vfon/v1/" + id + "/frame"; }
std::string EventTopic(const std::string& id) { return "vfon/v1/" + id + "/event"; }

QString UtcText(int64_t ns)
{
    return QDateTime::fromMSecsSinceEpoch(ns / 1000000, Qt::UTC).toString(Qt::ISODateWithMs);
}

int64_t WallToUtcNs(int y, int mo, int d, int h, int mi, int s, int ms)
{
    const QDateTime t(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
    if (!t.isValid())
        return 0;
    return t.toMSecsSinceEpoch() * 1000000;
}

QByteArray StatusJson(const StatusFigures& f)
{
    QJsonObject o;
    o["station"] = Q(f.Station);
    o["time_utc"] = UtcText(f.TimeNs);
    o["time_ns"] = static_cast<qint64>(f.TimeNs);
    o["version"] = QStringLiteral(VFON_VERSION);
    o["state"] = Q(f.State);
    if (f.State == "halted")
        o["message"] = Q(f.Message);
    o["fon_file"] = Q(f.FonFile);
    o["rad_file"] = Q(f.RadFile);
    o["points"] = static_cast<qint64>(f.Points);
    o["frames"] = f.Frames;
    o["events"] = f.Events;
    o["live_time"] = QJsonArray{f.LiveTime[0], f.LiveTime[1]};
    o["cycles_per_s"] = f.CyclesPerS;
    o["pulses_per_s"] = QJsonArray{f.PulsesPerS[0], f.PulsesPerS[1], f.PulsesPerS[2], f.PulsesPerS[3]};
    o["disk_free_bytes"] = f.DiskFreeBytes >= 0 ? QJsonValue(static_cast<qint64>(f.DiskFreeBytes)) : QJsonValue();
    o["clock_synced"] = f.ClockSynced;
    return Compact(o);
}

QByteArray WillJson(const std::string& station)
{
    return Compact(QJsonObject{{"station", Q(station)}, {"state", "offline"}});
}

QByteArray FrameJson(const std::string& station, const std::string& file, int64_t record, const TFonKadr& k,
                     bool lastRecord)
{
    return FrameJsonIn(station, file, record, k, lastRecord, WallZone());
}

QByteArray EventJson(const std::string& station, const std::string& file, int64_t record, const TRadKadr& e)
{
    return EventJsonIn(station, file, record, e, WallZone());
}

QByteArray FrameJsonAt(const std::string& station, const std::string& file, int64_t record, const TFonKadr& k,
                       bool lastRecord, int32_t utcOffsetS)
{
    return FrameJsonIn(station, file, record, k, lastRecord, WallZone(utcOffsetS));
}

QByteArray EventJsonAt(const std::string& station, const std::string& file, int64_t record, const TRadKadr& e,
                       int32_t utcOffsetS)
{
    return EventJsonIn(station, file, record, e, WallZone(utcOffsetS));
}

} // namespace protocol
