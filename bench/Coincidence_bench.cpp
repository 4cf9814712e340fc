// The coincidence search over a month of 100 stations' radio events: each
// station a Poisson stream of 3 events a minute (about 130,000 a month,
// 13 million in all) plus the showers of a shared sky seen by several
// stations at once, at 4 a minute.
// - BM_MonthOf100Stations: FindCoincidences over the month (the merge of
//   the sorted lists and the grouping); the target is under 10 s.
// - BM_IncrementalDay: the incremental finder fed a day of the 100 stations
//   station by station (each station's day a late backlog): what the centre
//   pays for the same day when backlogs arrive.
// - BM_Accidentals: the shifted search of the empirical check over a day.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "coincidence/Accidentals.h"
#include "coincidence/FindCoincidences.h"
#include "coincidence/IncrementalFinder.h"

namespace {

constexpr int kStations = 100;
constexpr double kDay = 86400.0;

/// `days` of events of kStations stations: random events and shared showers.
std::vector<coinc::StationEvents> MakeStations(double days)
{
    std::mt19937_64 rng(42);
    std::exponential_distribution<double> random(3.0 / 60.0), shower(4.0 / 60.0);
    std::uniform_int_distribution<int> station(0, kStations - 1), size(2, 6);
    std::normal_distribution<double> jitter(0.0, 0.003);
    std::vector<std::vector<int64_t>> times(kStations);
    const double seconds = days * kDay;
    for (auto& t : times)
        for (double at = random(rng); at < seconds; at += random(rng))
            t.push_back(static_cast<int64_t>(at * 1e9));
    for (double at = shower(rng); at < seconds; at += shower(rng))
        for (int k = size(rng); k > 0; --k)
            times[static_cast<size_t>(station(rng))].push_back(static_cast<int64_t>((at + std::abs(jitter(rng))) * 1e9));
    std::vector<coinc::StationEvents> stations(kStations);
    for (size_t s = 0; s < times.size(); ++s) {
        std::sort(times[s].begin(), times[s].end());
        int32_t record = 0;
        for (int64_t ns : times[s])
            stations[s].events.push_back(coinc::Event{ns, 0, ++record});
    }
    return stations;
}

size_t EventCount(const std::vector<coinc::StationEvents>& stations)
{
    size_t n = 0;
    for (const auto& s : stations)
        n += s.events.size();
    return n;
}

void BM_MonthOf100Stations(benchmark::State& state)
{
    static const std::vector<coinc::StationEvents> month = MakeStations(30.0);
    size_t found = 0;
    for (auto _ : state)
        found = coinc::FindCoincidences(month).size();
    state.counters["events"] = static_cast<double>(EventCount(month));
    state.counters["coincidences"] = static_cast<double>(found);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(EventCount(month)));
}
BENCHMARK(BM_MonthOf100Stations)->Unit(benchmark::kSecond)->Iterations(3);

void BM_IncrementalDay(benchmark::State& state)
{
    static const std::vector<coinc::StationEvents> day = MakeStations(1.0);
    size_t found = 0;
    for (auto _ : state) {
        coinc::IncrementalFinder finder;
        for (size_t s = 0; s < day.size(); ++s)
            finder.Add(static_cast<int32_t>(s), day[s].events);
        found = finder.All().size();
    }
    state.counters["coincidences"] = static_cast<double>(found);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(EventCount(day)));
}
BENCHMARK(BM_IncrementalDay)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Accidentals(benchmark::State& state)
{
    static const std::vector<coinc::StationEvents> day = MakeStations(1.0);
    for (auto _ : state)
        benchmark::DoNotOptimize(coinc::EmpiricalByMultiplicity(day, coinc::kDefaultWindowNs, 1));
    state.SetItemsProcessed(state.iterations() * 2 * static_cast<int64_t>(EventCount(day)));
}
BENCHMARK(BM_Accidentals)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
