// What the centre's coincidence keeper costs, on 100 stations' events
// (each a Poisson stream of 3 random events a minute, plus showers of a
// shared sky at 4 a minute seen by 2-6 stations within a few ms):
// - BM_LiveCommits: an hour of events handed over as the store commits them
//   (every 200 ms, each station's events of that moment), the file appended
//   and synced as coincidences are found;
// - BM_Restart: the start-up rebuild from 48 h of the stations' events.csv
//   (the horizon the search holds), coincidences.csv already in line;
// - BM_Counts48h: the page's counts and accidentals over those 48 h.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <unistd.h>

#include "centre/CoincidenceKeeper.h"

namespace {

namespace fs = std::filesystem;
constexpr int kStations = 100;

struct Stamp {
    int64_t ns;
    int station;
};

/// `seconds` of events of the stations, in time order.
std::vector<Stamp> MakeEvents(double seconds)
{
    std::mt19937_64 rng(7);
    std::exponential_distribution<double> random(3.0 / 60.0), shower(4.0 / 60.0);
    std::uniform_int_distribution<int> station(0, kStations - 1), size(2, 6);
    std::uniform_real_distribution<double> jitter(0.0, 0.005);
    std::vector<Stamp> all;
    for (int s = 0; s < kStations; ++s)
        for (double at = random(rng); at < seconds; at += random(rng))
            all.push_back({static_cast<int64_t>((1.8e9 + at) * 1e9), s});
    for (double at = shower(rng); at < seconds; at += shower(rng))
        for (int k = size(rng); k > 0; --k)
            all.push_back({static_cast<int64_t>((1.8e9 + at + jitter(rng)) * 1e9), station(rng)});
    std::sort(all.begin(), all.end(), [](const Stamp& a, const Stamp& b) { return a.ns < b.ns; });
    return all;
}

std::string Id(int s) { return "st" + std::to_string(s); }

std::string FreshStore(const char* name)
{
    const std::string dir = fs::temp_directory_path() / (std::string(name) + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void BM_LiveCommits(benchmark::State& state)
{
    const std::vector<Stamp> events = MakeEvents(3600.0);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string dir = FreshStore("coinc-live-");
        centre::CoincidenceKeeper keeper(dir, 20'000'000);
        keeper.Load();
        std::vector<int64_t> records(kStations, 0);
        state.ResumeTiming();
        for (size_t i = 0; i < events.size();) {
            // One commit: the events of the next 200 ms, per station.
            std::map<int, std::vector<centre::StoredEvent>> commit;
            const int64_t end = events[i].ns + 200'000'000;
            for (; i < events.size() && events[i].ns < end; ++i)
                commit[events[i].station].push_back({"a.Rad", records[static_cast<size_t>(events[i].station)]++, events[i].ns});
            for (const auto& [s, stored] : commit)
                keeper.Add(Id(s), stored);
        }
        state.PauseTiming();
        fs::remove_all(dir);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(events.size()));
}
BENCHMARK(BM_LiveCommits)->Unit(benchmark::kMillisecond)->Iterations(1);

/// A store with 48 h of the stations' events.csv and its coincidences.csv; the events' count in `events`.
std::string Store48h(int64_t& count)
{
    static int64_t events = 0;
    static const std::string dir = [] {
        const std::vector<Stamp> all = MakeEvents(48 * 3600.0);
        events = static_cast<int64_t>(all.size());
        const std::string d = FreshStore("coinc-restart-");
        std::vector<std::ofstream> files;
        std::vector<int64_t> records(kStations, 0);
        for (int s = 0; s < kStations; ++s) {
            fs::create_directories(d + "/" + Id(s));
            files.emplace_back(d + "/" + Id(s) + "/events.csv");
            files.back() << "file,record,event_no,time_utc,time_ns\r\n";
        }
        for (const Stamp& e : all)
            files[static_cast<size_t>(e.station)] << "a.Rad," << records[static_cast<size_t>(e.station)]++ << ",1,x,"
                                                  << e.ns << "\r\n";
        files.clear();
        centre::CoincidenceKeeper(d, 20'000'000).Load(); // coincidences.csv written once
        return d;
    }();
    count = events;
    return dir;
}

void BM_Restart(benchmark::State& state)
{
    int64_t events = 0;
    const std::string dir = Store48h(events);
    for (auto _ : state) {
        centre::CoincidenceKeeper keeper(dir, 20'000'000);
        benchmark::DoNotOptimize(keeper.Load());
    }
    state.SetItemsProcessed(state.iterations() * events);
}
BENCHMARK(BM_Restart)->Unit(benchmark::kMillisecond)->Iterations(1);

/// The page's counts over the 48 h held: the expected and the shifted searches.
void BM_Counts48h(benchmark::State& state)
{
    int64_t events = 0;
    centre::CoincidenceKeeper keeper(Store48h(events), 20'000'000);
    keeper.Load();
    for (auto _ : state)
        benchmark::DoNotOptimize(keeper.View(0, 0));
    state.SetItemsProcessed(state.iterations() * events);
    fs::remove_all(Store48h(events));
}
BENCHMARK(BM_Counts48h)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
