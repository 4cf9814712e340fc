// The centre's web answers: /metrics with 1,000 stations, and a station's
// page history from a year of frames (210,000 rows of its trend.csv).
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>

#include "centre/CentreStore.h"
#include "centre/Metrics.h"
#include "centre/StationHistory.h"

namespace {

constexpr int64_t kNow = int64_t{1796722576} * 1000000000;

void BM_CentreMetrics1000(benchmark::State& state)
{
    centre::CentreSnapshot snap;
    for (int i = 0; i < 1000; ++i) {
        centre::StationInfo s;
        s.Id = "st" + std::to_string(i);
        s.HeardNs = s.StatusNs = kNow - int64_t(i % 40) * 1000000000;
        s.Status = QJsonObject{{"state", "running"},
                               {"live_time", QJsonArray{96.1, 96.2}},
                               {"cycles_per_s", 96.0},
                               {"pulses_per_s", QJsonArray{28.1, 16.1, 43.7, 11.6}},
                               {"disk_free_bytes", 5e10},
                               {"clock_synced", true}};
        s.HasClockOffset = true;
        s.ClockOffsetNs = 1234567;
        s.HasFrame = true;
        s.Centres = {67, 58, 79, 54};
        s.Slopes = {-5.5, -4.7, -5.9, -7.2};
        s.Frames = 210000;
        s.Events = 4000;
        snap.Stations.push_back(s);
    }
    snap.RefusedByReason = {{"не JSON", 3}, {"неверный ID станции", 1}};
    for (auto _ : state)
        benchmark::DoNotOptimize(centre::MetricsText(snap, kNow));
}
BENCHMARK(BM_CentreMetrics1000)->Unit(benchmark::kMillisecond);

/// A store with one station of `frames` frames, 150 s apart (a year: 210,000).
struct YearStore {
    QTemporaryDir dir;
    std::string trend, events;
    explicit YearStore(int frames)
    {
        centre::CentreStore store(dir.path().toStdString());
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        for (int i = 0; i < frames; ++i) {
            const QDateTime t = start.addSecs(int64_t{150} * i);
            const double wobble = std::sin(i / 500.0);
            const QByteArray m =
                QString(R"({"station":"st1","file":"f%1.fon","record":%2,"kadr_no":%3,"start":"%4","start_utc":"%4Z",)"
                        R"("start_ns":%5,"points":600,"mean_rate":[%6,16.1,43.7,11.6],"centre":[%7,58,79,54],)"
                        R"("b":[-5.5,-4.7,-5.9,-7.2],"mean_per_s":[%8,64.4,174.8,46.4],"live_s":150})")
                    .arg(i / 1000)
                    .arg(i % 1000)
                    .arg(i % 1000 + 1)
                    .arg(t.toString("yyyy-MM-ddThh:mm:ss.zzz"))
                    .arg(t.toMSecsSinceEpoch() * 1000000)
                    .arg(28 + wobble)
                    .arg(67 + int(std::lround(2 * wobble)))
                    .arg((28 + wobble) * (0.9 + 0.05 * wobble) / 0.25) // live 85-95 %
                    .toUtf8();
            store.Take("vfon/v1/st1/frame", m, kNow);
            if (i % 10000 == 9999)
                store.Commit(kNow);
        }
        store.Commit(kNow);
        trend = dir.filePath("st1/trend.csv").toStdString();
        events = dir.filePath("st1/events.csv").toStdString();
    }
};

void BM_StationHistoryFirstView(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        YearStore store(20000);
        state.ResumeTiming();
        benchmark::DoNotOptimize(centre::StationHistoryJson(store.trend, store.events, centre::HistorySpan::All));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 20000);
}
BENCHMARK(BM_StationHistoryFirstView)->Iterations(3)->Unit(benchmark::kMillisecond);

/// The first view of a year: the page's first look at the station reads
/// its whole trend.csv (a copy under a new name each time, so no reading
/// before it is kept).
void BM_StationHistoryYearFirstView(benchmark::State& state)
{
    static YearStore store(210000);
    const auto span = static_cast<centre::HistorySpan>(state.range(0));
    int copy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string trend = store.trend + "." + std::to_string(++copy) + "-" + std::to_string(state.range(0));
        std::filesystem::copy_file(store.trend, trend);
        state.ResumeTiming();
        benchmark::DoNotOptimize(centre::StationHistoryJson(trend, store.events, span));
        state.PauseTiming();
        std::filesystem::remove(trend);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 210000);
}
BENCHMARK(BM_StationHistoryYearFirstView)
    ->Arg(int(centre::HistorySpan::Week))
    ->Arg(int(centre::HistorySpan::All))
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_StationHistoryYear(benchmark::State& state)
{
    static YearStore store(210000);
    const auto span = static_cast<centre::HistorySpan>(state.range(0));
    // The first view reads the whole file; the page's later views read what came since.
    benchmark::DoNotOptimize(centre::StationHistoryJson(store.trend, store.events, span));
    for (auto _ : state)
        benchmark::DoNotOptimize(centre::StationHistoryJson(store.trend, store.events, span));
    state.SetItemsProcessed(int64_t(state.iterations()) * 210000);
}
BENCHMARK(BM_StationHistoryYear)
    ->Arg(int(centre::HistorySpan::Week))
    ->Arg(int(centre::HistorySpan::All))
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
