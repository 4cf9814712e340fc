#include "centre/StationsView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace centre {
namespace {

/// The state shown: from the status, the will and how long ago the centre
/// heard of the station (`heardAge`, -1: not since it started).
QString StateOf(const StationInfo& s, double heardAge)
{
    const QString state = s.Status.value("state").toString();
    if (s.Offline)
        return "offline";
    if (s.StatusNs == 0 || heardAge < 0 || heardAge > kStaleSeconds)
        return QStringLiteral("нет данных");
    if (state == "halted")
        return "halted";
    return "online";
}

QJsonObject RowOf(const StationInfo& s, int64_t nowNs)
{
    const double heardAge = s.HeardNs ? static_cast<double>(nowNs - s.HeardNs) / 1e9 : -1;
    // Not heard since the centre started: the kept status's own age.
    const double age = heardAge >= 0 ? heardAge : s.StatusNs ? static_cast<double>(nowNs - s.StatusNs) / 1e9 : -1;
    const QJsonObject& st = s.Status;
    QJsonObject row;
    QJsonArray bad;
    const QString state = StateOf(s, heardAge);
    row["station"] = QString::fromStdString(s.Id);
    row["state"] = state;
    if (state != "online")
        bad.append("state");
    row["run_state"] = st.value("state");
    if (st.contains("message"))
        row["message"] = st.value("message");
    row["age_s"] = age >= 0 ? QJsonValue(std::round(age * 10) / 10) : QJsonValue();
    row["live_time"] = st.value("live_time");
    const QJsonArray live = st.value("live_time").toArray();
    if (st.value("state") == "running")
        for (const QJsonValue& v : live)
            if (v.toDouble() < kLowLiveTime)
                bad.append("live_time");
    row["cycles_per_s"] = st.value("cycles_per_s");
    row["pulses_per_s"] = st.value("pulses_per_s");
    row["disk_free_bytes"] = st.value("disk_free_bytes");
    if (st.value("disk_free_bytes").isDouble() && st.value("disk_free_bytes").toInteger() < kLowDisk)
        bad.append("disk_free_bytes");
    row["clock_synced"] = st.value("clock_synced");
    if (st.value("clock_synced").isBool() && !st.value("clock_synced").toBool())
        bad.append("clock_synced");
    const double offset = static_cast<double>(s.ClockOffsetNs) / 1e9;
    row["clock_offset_s"] = s.HasClockOffset ? QJsonValue(std::round(offset * 10) / 10) : QJsonValue();
    if (s.HasClockOffset && std::fabs(offset) > kClockOffsetSeconds)
        bad.append("clock_offset_s");
    QJsonArray centres;
    for (double c : s.Centres)
        centres.append(s.HasFrame && std::isfinite(c) ? QJsonValue(c) : QJsonValue());
    row["centres"] = centres;
    row["fon_file"] = st.value("fon_file");
    row["frames_stored"] = static_cast<qint64>(s.Frames);
    row["events_stored"] = static_cast<qint64>(s.Events);
    row["refused"] = static_cast<qint64>(s.Refused);
    row["bad"] = bad;
    return row;
}

} // namespace

namespace {

/// {"stations": rows, "refused": {reason: count}, "refused_total": n}.
QByteArray Wrapped(const QJsonArray& rows, const std::map<std::string, int64_t>& refusedBy, int64_t refused)
{
    QJsonObject reasons;
    for (const auto& [reason, count] : refusedBy)
        reasons[QString::fromStdString(reason)] = static_cast<qint64>(count);
    const QJsonObject all{{"stations", rows}, {"refused", reasons}, {"refused_total", static_cast<qint64>(refused)}};
    return QJsonDocument(all).toJson(QJsonDocument::Compact);
}

} // namespace

QByteArray StationsJson(const CentreStore& store, int64_t nowNs)
{
    QJsonArray rows;
    for (const StationInfo* s : store.Stations())
        rows.append(RowOf(*s, nowNs));
    return Wrapped(rows, store.RefusedByReason(), store.Refused());
}

QByteArray StationsJson(const std::vector<StationInfo>& stations, const std::map<std::string, int64_t>& refusedBy,
                        int64_t refused, int64_t nowNs)
{
    QJsonArray rows;
    for (const StationInfo& s : stations)
        rows.append(RowOf(s, nowNs));
    return Wrapped(rows, refusedBy, refused);
}

} // namespace centre
