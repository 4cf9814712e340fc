#include "centre/Metrics.h"

#include <QJsonArray>
#include <charconv>
#include <cmath>
#include <functional>

#include "centre/StationsView.h"

namespace centre {
namespace {

/// A label value escaped as the text format asks (\\, \" and \n).
void AppendLabel(QByteArray& out, const std::string& v)
{
    for (char c : v) {
        if (c == '\\' || c == '"')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}

void AppendNumber(QByteArray& out, double v)
{
    if (std::isnan(v)) {
        out += "NaN";
        return;
    }
    if (std::isinf(v)) {
        out += v > 0 ? "+Inf" : "-Inf";
        return;
    }
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr - buf);
}

/// Writes one family: its HELP and TYPE lines and its samples.
class Family {
public:
    Family(QByteArray& out, const char* name, const char* type, const char* help) : out_(out), name_(name)
    {
        out_ += "# HELP ";
        out_ += name;
        out_ += ' ';
        out_ += help;
        out_ += "\n# TYPE ";
        out_ += name;
        out_ += ' ';
        out_ += type;
        out_ += '\n';
    }
    /// A sample with label `key`="`value`" (none when key is null) and more
    /// labels in `more` (already written, starting with a comma).
    void Sample(const char* key, const std::string& value, double v, const char* more = "")
    {
        out_ += name_;
        if (key) {
            out_ += '{';
            out_ += key;
            out_ += "=\"";
            AppendLabel(out_, value);
            out_ += '"';
            out_ += more;
            out_ += '}';
        }
        out_ += ' ';
        AppendNumber(out_, v);
        out_ += '\n';
    }

private:
    QByteArray& out_;
    const char* name_;
};

/// The numbers of a status array field, NaN where absent or null.
std::vector<double> Numbers(const QJsonObject& status, const char* key)
{
    std::vector<double> out;
    for (const QJsonValue& v : status.value(key).toArray())
        out.push_back(v.isDouble() ? v.toDouble() : std::nan(""));
    return out;
}

constexpr const char* kChannelLabel[] = {",channel=\"1\"", ",channel=\"2\"", ",channel=\"3\"", ",channel=\"4\""};
constexpr const char* kBoardLabel[] = {",board=\"1\"", ",board=\"2\""};

/// A gauge per station and channel from `values(s)`; absent values left out.
void PerChannel(QByteArray& out, const CentreSnapshot& snap, const char* name, const char* help,
                const std::function<std::vector<double>(const StationInfo&)>& values, const char* const* labels,
                size_t nLabels)
{
    Family f(out, name, "gauge", help);
    for (const StationInfo& s : snap.Stations) {
        const std::vector<double> v = values(s);
        for (size_t c = 0; c < v.size() && c < nLabels; ++c)
            if (!std::isnan(v[c]))
                f.Sample("station", s.Id, v[c], labels[c]);
    }
}

void StationFamilies(QByteArray& out, const CentreSnapshot& snap, int64_t nowNs)
{
    {
        Family up(out, "vfon_station_up", "gauge", "1 while the station reports (online or halted), else 0.");
        for (const StationInfo& s : snap.Stations) {
            const std::string state = StationState(s, nowNs);
            up.Sample("station", s.Id, state == "online" || state == "halted" ? 1 : 0);
        }
    }
    {
        Family st(out, "vfon_station_state", "gauge", "The station's state: 1 for the one it is in.");
        for (const StationInfo& s : snap.Stations) {
            const std::string state = StationState(s, nowNs);
            for (const char* name : {"online", "halted", "stale", "offline"}) {
                const std::string more = std::string(",state=\"") + name + '"';
                st.Sample("station", s.Id, state == name ? 1 : 0, more.c_str());
            }
        }
    }
    {
        Family age(out, "vfon_station_status_age_seconds", "gauge", "Age of the station's last status.");
        for (const StationInfo& s : snap.Stations)
            if (s.StatusNs > 0)
                age.Sample("station", s.Id, double(nowNs - s.StatusNs) / 1e9);
    }
    PerChannel(out, snap, "vfon_station_live_time_ratio", "Live time of each board (0 to 1).",
               [](const StationInfo& s) {
                   std::vector<double> v = Numbers(s.Status, "live_time");
                   for (double& x : v)
                       x /= 100; // the status gives percent
                   return v;
               },
               kBoardLabel, 2);
    {
        Family cyc(out, "vfon_station_cycles_per_second", "gauge", "Acquisition cycles per second.");
        for (const StationInfo& s : snap.Stations)
            if (s.Status.value("cycles_per_s").isDouble())
                cyc.Sample("station", s.Id, s.Status.value("cycles_per_s").toDouble());
    }
    PerChannel(out, snap, "vfon_station_pulses_per_second", "Pulses per second of each channel.",
               [](const StationInfo& s) { return Numbers(s.Status, "pulses_per_s"); }, kChannelLabel, 4);
    {
        Family disk(out, "vfon_station_disk_free_bytes", "gauge", "Free space on the station's data disk.");
        for (const StationInfo& s : snap.Stations)
            if (s.Status.value("disk_free_bytes").isDouble())
                disk.Sample("station", s.Id, s.Status.value("disk_free_bytes").toDouble());
    }
    {
        Family sync(out, "vfon_station_clock_synced", "gauge", "1 when the station's clock is synchronised.");
        for (const StationInfo& s : snap.Stations)
            if (s.Status.value("clock_synced").isBool())
                sync.Sample("station", s.Id, s.Status.value("clock_synced").toBool() ? 1 : 0);
    }
    {
        Family off(out, "vfon_station_clock_offset_seconds", "gauge",
                   "The station's clock less the centre's when its last status came.");
        for (const StationInfo& s : snap.Stations)
            if (s.HasClockOffset)
                off.Sample("station", s.Id, double(s.ClockOffsetNs) / 1e9);
    }
    auto fromFrame = [](const std::array<double, 4>& a, const StationInfo& s) {
        return s.HasFrame ? std::vector<double>(a.begin(), a.end()) : std::vector<double>{};
    };
    PerChannel(out, snap, "vfon_station_peak_centre", "The last frame's peak centre of each channel (ADC channel).",
               [&](const StationInfo& s) { return fromFrame(s.Centres, s); }, kChannelLabel, 4);
    PerChannel(out, snap, "vfon_station_spectrum_slope", "The last frame's slope b of each channel.",
               [&](const StationInfo& s) { return fromFrame(s.Slopes, s); }, kChannelLabel, 4);
    {
        Family rec(out, "vfon_station_records_stored_total", "counter", "Records of the station in the store.");
        for (const StationInfo& s : snap.Stations) {
            rec.Sample("station", s.Id, double(s.Frames), ",kind=\"frame\"");
            rec.Sample("station", s.Id, double(s.Events), ",kind=\"event\"");
        }
    }
    {
        Family ref(out, "vfon_station_messages_refused_total", "counter", "Messages of the station refused.");
        for (const StationInfo& s : snap.Stations)
            ref.Sample("station", s.Id, double(s.Refused));
    }
}

void CentreFamilies(QByteArray& out, const CentreSnapshot& snap)
{
    Family(out, "vfon_centre_messages_taken_total", "counter", "Messages taken from the broker.")
        .Sample(nullptr, {}, double(snap.Counters.Taken));
    {
        Family ref(out, "vfon_centre_messages_refused_total", "counter", "Messages refused, per reason.");
        for (const auto& [reason, n] : snap.RefusedByReason)
            ref.Sample("reason", reason, double(n));
    }
    if (snap.Counters.ReceiptsSent)
        Family(out, "vfon_centre_receipts_sent_total", "counter", "Receipts sent to stations.")
            .Sample(nullptr, {}, double(*snap.Counters.ReceiptsSent));
    if (snap.Counters.StoreErrors)
        Family(out, "vfon_centre_store_errors_total", "counter", "Writes to the store that failed.")
            .Sample(nullptr, {}, double(*snap.Counters.StoreErrors));
    Family(out, "vfon_centre_stations", "gauge", "Stations the centre knows of.")
        .Sample(nullptr, {}, double(snap.Stations.size()));
}

} // namespace

const char* StationState(const StationInfo& s, int64_t nowNs)
{
    if (s.Offline)
        return "offline";
    if (s.StatusNs == 0 || double(nowNs - s.StatusNs) / 1e9 > kStaleSeconds)
        return "stale";
    if (s.Status.value("state").toString() == "halted")
        return "halted";
    return "online";
}

QByteArray MetricsText(const CentreSnapshot& snap, int64_t nowNs)
{
    QByteArray out;
    out.reserve(qsizetype(4096 + snap.Stations.size() * 2600));
    StationFamilies(out, snap, nowNs);
    CentreFamilies(out, snap);
    return out;
}

} // namespace centre
