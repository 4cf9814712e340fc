// The centre: frame messages taken into the store (each a new record, as
// the stations send them), the same with the group commits that write and
// sync them and the receipts made after each, and the rows of the page
// with 1,000 stations.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "centre/CentreStore.h"
#include "centre/StationsView.h"
#include "protocol/Receipt.h"

namespace {

QByteArray FrameMessage(const QString& station, int record)
{
    return QString(R"({"station":"%1","file":"8_12_9_36.fon","record":%2,"kadr_no":%3,"start":"2026-12-08T09:36:16.335",)"
                   R"("start_utc":"2026-12-08T09:36:16.335Z","start_ns":1796722576335000000,"points":600,)"
                   R"("mean_rate":[28.09090909090909,16.09090909090909,43.72727272727273,11.636363636363637],)"
                   R"("centre":[67,58,79,54],"b":[-5.556711673736572,-4.759665966033936,-5.989290714263916,-7.242394924163818]})")
        .arg(station)
        .arg(record)
        .arg(record + 1)
        .toUtf8();
}

/// Ten stations' 100,000 frame messages (topic, payload), made beforehand so
/// that each is only taken in the timed loop.
std::vector<std::pair<std::string, QByteArray>> TenStationsFrames()
{
    std::vector<std::pair<std::string, QByteArray>> messages;
    for (int i = 0; i < 100000; ++i) {
        const QString id = QString("st%1").arg(i % 10);
        messages.emplace_back("vfon/v1/" + id.toStdString() + "/frame", FrameMessage(id, i / 10));
    }
    return messages;
}

void BM_CentreIngestFrames(benchmark::State& state)
{
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    const std::vector<std::pair<std::string, QByteArray>> messages = TenStationsFrames();
    size_t next = 0;
    for (auto _ : state) {
        if (next == messages.size()) {
            state.PauseTiming();
            dir.remove();
            state.ResumeTiming();
            break;
        }
        const auto& [topic, payload] = messages[next++];
        benchmark::DoNotOptimize(store.Take(topic, payload, 1));
    }
    state.SetItemsProcessed(static_cast<int64_t>(next));
}
BENCHMARK(BM_CentreIngestFrames)->Iterations(100000)->Unit(benchmark::kMicrosecond);

// As the centre runs: every 2,000 messages (a 200 ms commit at 10,000
// messages a second) the waiting lines are appended, checked and synced,
// and each station's receipt is encoded.
void BM_CentreIngestFramesCommitted(benchmark::State& state)
{
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    const std::vector<std::pair<std::string, QByteArray>> messages = TenStationsFrames();
    size_t next = 0;
    int64_t receiptBytes = 0;
    for (auto _ : state) {
        const auto& [topic, payload] = messages[next++];
        benchmark::DoNotOptimize(store.Take(topic, payload, 1));
        if (next % 2000 == 0 || next == messages.size())
            for (const protocol::Receipt& r : store.Commit(1))
                receiptBytes += protocol::ReceiptJson(r).size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(next));
    state.counters["receipt_bytes"] = static_cast<double>(receiptBytes);
    state.counters["store_errors"] = static_cast<double>(store.Counters().StoreErrors.load());
}
BENCHMARK(BM_CentreIngestFramesCommitted)->Iterations(100000)->Unit(benchmark::kMicrosecond);

void BM_CentreStationsJson1000(benchmark::State& state)
{
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    for (int i = 0; i < 1000; ++i) {
        const QString id = QString("st%1").arg(i);
        const QByteArray status = QString(R"({"station":"%1","time_utc":"2026-12-08T09:36:16.335Z","time_ns":1796722576335000000,)"
                                          R"("version":"1.5","state":"running","fon_file":"8_12_9_36.fon","rad_file":"8_12_9_36.Rad",)"
                                          R"("points":100,"frames":1,"events":2,"live_time":[96.1,96.2],"cycles_per_s":96.0,)"
                                          R"("pulses_per_s":[100,60,160,40],"disk_free_bytes":78209208320,"clock_synced":true})")
                                      .arg(id)
                                      .toUtf8();
        store.Take("vfon/v1/" + id.toStdString() + "/status", status, 1);
        store.Take("vfon/v1/" + id.toStdString() + "/frame", FrameMessage(id, 0), 1);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(centre::StationsJson(store, 2));
}
BENCHMARK(BM_CentreStationsJson1000)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
