#include "centre/CoincidenceView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "coincidence/Accidentals.h"

namespace centre {
namespace {

constexpr int64_t kDayNs = int64_t{86400} * 1000000000;

int64_t DayOf(int64_t ns) { return ns >= 0 ? ns / kDayNs : (ns - kDayNs + 1) / kDayNs; }

std::string DateText(int64_t day)
{
    const std::chrono::year_month_day d{std::chrono::sys_days{std::chrono::days{day}}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(d.year()), static_cast<unsigned>(d.month()),
                  static_cast<unsigned>(d.day()));
    return text;
}

/// Coincidences per pair of stations (a·N + b, a < b), over all and per
/// UTC day of their first members: one pass over the coincidences.
struct PairTally {
    std::vector<int64_t> all;
    std::map<int64_t, std::map<size_t, int64_t>> byDay;
};

PairTally TallyPairs(const std::vector<coinc::StationEvents>& stations, const std::vector<KeptCoincidence>& kept)
{
    std::map<std::string, size_t> index;
    for (size_t s = 0; s < stations.size(); ++s)
        index[stations[s].id] = s;
    const size_t n = stations.size();
    PairTally t{std::vector<int64_t>(n * n, 0), {}};
    for (const KeptCoincidence& k : kept) {
        std::vector<size_t> members;
        for (const KeptMember& m : k.Members)
            if (const auto it = index.find(m.Station); it != index.end())
                members.push_back(it->second);
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        for (size_t i = 0; i < members.size(); ++i)
            for (size_t j = i + 1; j < members.size(); ++j) {
                ++t.all[members[i] * n + members[j]];
                ++t.byDay[DayOf(k.FirstNs)][members[i] * n + members[j]];
            }
    }
    return t;
}

/// Per pair and UTC day: the coincidences of both stations beginning that
/// day, and n_a · n_b · 2w / T of the day's events (T: from the day's first
/// event of any station to its last). Up to kEmpiricalPairsUpTo stations
/// every pair with events that day, beyond that the pairs with coincidences.
std::vector<CoincidenceView::Count> DayCounts(const std::vector<coinc::StationEvents>& stations,
                                              const PairTally& tally, double w)
{
    std::map<int64_t, std::vector<int64_t>> perDay; // day → events per station
    std::map<int64_t, std::pair<int64_t, int64_t>> spanOf;
    for (size_t s = 0; s < stations.size(); ++s)
        for (const coinc::Event& e : stations[s].events) {
            auto& counts = perDay[DayOf(e.ns)];
            counts.resize(stations.size());
            ++counts[s];
            auto [it, fresh] = spanOf.try_emplace(DayOf(e.ns), e.ns, e.ns);
            it->second.first = std::min(it->second.first, e.ns);
            it->second.second = std::max(it->second.second, e.ns);
        }
    const size_t n = stations.size();
    std::vector<CoincidenceView::Count> days;
    for (const auto& [day, counts] : perDay) {
        const double t = static_cast<double>(spanOf[day].second - spanOf[day].first) / 1e9;
        const auto observed = tally.byDay.find(day);
        for (size_t a = 0; a < n; ++a)
            for (size_t b = a + 1; b < n; ++b) {
                int64_t found = 0;
                if (observed != tally.byDay.end())
                    if (const auto it = observed->second.find(a * n + b); it != observed->second.end())
                        found = it->second;
                if ((counts[a] == 0 && counts[b] == 0) || (n > kEmpiricalPairsUpTo && found == 0))
                    continue;
                const double expected =
                    t > 0.0 ? static_cast<double>(counts[a]) * static_cast<double>(counts[b]) * 2.0 * w / t : 0.0;
                days.push_back({DateText(day), stations[a].id + ";" + stations[b].id, found, expected, {}});
            }
    }
    return days;
}

QJsonObject CountJson(const CoincidenceView::Count& c, const char* what)
{
    QJsonObject o{{what, QString::fromStdString(c.What)}, {"observed", static_cast<qint64>(c.Observed)},
                  {"expected", c.Expected}};
    if (!c.Pair.empty())
        o["pair"] = QString::fromStdString(c.Pair);
    o["empirical"] = c.Empirical ? QJsonValue(*c.Empirical) : QJsonValue();
    return o;
}

} // namespace

CoincidenceView MakeCoincidenceView(const std::vector<coinc::StationEvents>& stations,
                                    const std::vector<KeptCoincidence>& kept, int64_t windowNs, int64_t horizonNs)
{
    CoincidenceView v;
    v.WindowNs = windowNs;
    v.HorizonNs = horizonNs;
    v.Held = static_cast<int64_t>(kept.size());
    const std::vector<double> rates = coinc::RatesOf(stations, &v.Seconds);
    for (size_t s = 0; s < stations.size(); ++s)
        v.Rates.emplace_back(stations[s].id, rates[s]);
    const double w = static_cast<double>(windowNs) / 1e9;
    const PairTally tally = TallyPairs(stations, kept);
    for (size_t a = 0; a < stations.size(); ++a)
        for (size_t b = a + 1; b < stations.size(); ++b) {
            CoincidenceView::Count c{stations[a].id + ";" + stations[b].id, {}, tally.all[a * stations.size() + b], 0.0, {}};
            const double pair[] = {rates[a], rates[b]};
            c.Expected = coinc::AccidentalRate(pair, w) * v.Seconds;
            if (stations.size() <= kEmpiricalPairsUpTo) {
                const std::vector<coinc::StationEvents> both{stations[a], stations[b]};
                c.Empirical = coinc::EmpiricalByMultiplicity(both, windowNs)[2];
            }
            v.Pairs.push_back(std::move(c));
        }
    const std::vector<double> expected = coinc::ExpectedByMultiplicity(rates, w, v.Seconds);
    const std::vector<double> empirical = coinc::EmpiricalByMultiplicity(stations, windowNs);
    for (size_t n = 2; n <= stations.size(); ++n) {
        CoincidenceView::Count c{std::to_string(n), {}, 0, expected[n], empirical[n]};
        c.Observed = std::count_if(kept.begin(), kept.end(), [&](const KeptCoincidence& k) { return k.N == int(n); });
        v.Folds.push_back(std::move(c));
    }
    v.Days = DayCounts(stations, tally, w);
    for (size_t i = kept.size(); i > 0 && v.Recent.size() < kRecentCoincidences; --i)
        v.Recent.push_back(kept[i - 1]);
    return v;
}

QByteArray CoincidencesJson(const CoincidenceView& v)
{
    QJsonObject o{{"window_ms", static_cast<double>(v.WindowNs) / 1e6},
                  {"horizon_h", static_cast<double>(v.HorizonNs) / 3.6e12},
                  {"seconds", v.Seconds},
                  {"held", static_cast<qint64>(v.Held)}};
    QJsonArray rates, pairs, folds, days, recent;
    for (const auto& [id, r] : v.Rates)
        rates.append(QJsonObject{{"station", QString::fromStdString(id)}, {"per_s", r}});
    for (const auto& c : v.Pairs)
        pairs.append(CountJson(c, "stations"));
    for (const auto& c : v.Folds)
        folds.append(CountJson(c, "n"));
    for (const auto& c : v.Days)
        days.append(CountJson(c, "day"));
    for (const KeptCoincidence& k : v.Recent) {
        QJsonArray members;
        for (const KeptMember& m : k.Members)
            members.append(QJsonObject{{"station", QString::fromStdString(m.Station)},
                                       {"file", QString::fromStdString(m.File)},
                                       {"record", static_cast<qint64>(m.Record)},
                                       {"dt_ns", static_cast<qint64>(m.DtNs)}});
        recent.append(QJsonObject{{"id", static_cast<qint64>(k.Id)},
                                  {"first_ns", static_cast<qint64>(k.FirstNs)},
                                  {"n", k.N},
                                  {"stations", QString::fromStdString(k.Stations)},
                                  {"members", members}});
    }
    o["rates"] = rates;
    o["pairs"] = pairs;
    o["folds"] = folds;
    o["days"] = days;
    o["recent"] = recent;
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace centre
