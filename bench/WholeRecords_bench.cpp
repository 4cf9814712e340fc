// Whole records, both ends. The centre: a hundred stations' radio events,
// each a new record as the stations send them, decoded (inflated and their
// numbers made), written at their places in the stations' files and their
// rows appended, in group commits that sync all of it and make the
// receipts; bytes per second are of the records as on disk. The events'
// antenna traces are the simulated boards' (a few codes of noise and a
// short wave packet at the trigger sample), with noise of 2 codes as they
// have it and of 20 codes, which deflate shrinks far less.
// The station: its publisher sends a day of records (576 frames and 4,000
// events, about 200 MB) through a real mosquitto to a real vfon-centre,
// both started here on free loopback ports, and waits for all receipts;
// the CPU time this process spent on it, over the seconds of a day, is the
// station's cost as a fraction of a core. Once with --records all, once
// with none (the numbers only) beside it.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <fstream>
#include <netinet/in.h>
#include <numbers>
#include <pwd.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bench/Loopback.h"
#include "bench/PoissonFrames.h"
#include "centre/CentreStore.h"
#include "datafiles/RadKadr.h"
#include "network/PublishWorker.h"
#include "protocol/RecordMessage.h"

namespace {

constexpr int kStations = 100;
/// Records per group commit: about what 200 ms bring at 50 MB/s.
constexpr int kPerCommit = 200;
constexpr int kDayFrames = 576, kDayEvents = 4000;

/// An event as the simulated radio boards record it: Gaussian noise of
/// `sigma` codes and a Gaussian-enveloped wave packet near the trigger.
TRadKadr MakeEvent(std::mt19937_64& rng, double sigma, int16_t eventNo)
{
    TRadKadr e{};
    e.EventNo = eventNo;
    e.Year = 2026, e.Month = 12, e.Day = 8, e.Hour = 10, e.Min = eventNo % 60, e.Sec = 7, e.MSec = 125;
    std::normal_distribution<double> noise(0.0, sigma);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int c = 1; c <= kRadChannels; ++c) {
        e.RGain(c) = 20;
        int16_t* s = e.Samples(c);
        for (int i = 0; i < kRadSamples; ++i)
            s[i] = static_cast<int16_t>(std::lround(noise(rng)));
        const double amplitude = 30 + 40 * u(rng), frequency = 0.06 + 0.14 * u(rng),
                     phase = 2 * std::numbers::pi * u(rng), width = 3 + 2 * u(rng);
        for (int dt = -20; dt <= 20; ++dt)
            s[kRadMarkerSample - 1 + dt] += static_cast<int16_t>(std::lround(
                amplitude * std::exp(-0.5 * dt * dt / (width * width)) *
                std::cos(2 * std::numbers::pi * frequency * dt + phase)));
    }
    return e;
}

void BM_WholeRecordsIntoTheCentre(benchmark::State& state)
{
    const double sigma = static_cast<double>(state.range(0));
    std::mt19937_64 rng(42);
    std::vector<TRadKadr> events;
    for (int i = 0; i < 64; ++i)
        events.push_back(MakeEvent(rng, sigma, static_cast<int16_t>(i)));
    // On the disk the build is on, not a tmpfs: the syncs are the real cost.
    QTemporaryDir dir(QDir::currentPath() + "/whole-records-XXXXXX");
    centre::CentreStore store(dir.path().toStdString());
    std::vector<std::pair<std::string, QByteArray>> batch(kPerCommit);
    int64_t next = 0, wire = 0, receipts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& [topic, payload] : batch) {
            const int station = static_cast<int>(next % kStations);
            const TRadKadr& e = events[static_cast<size_t>(next % 61)];
            topic = protocol::RecordTopic("st" + std::to_string(station));
            payload = protocol::RecordPayload("8_12_10_0.Rad", next / kStations, false, 10800,
                                              std::string_view(reinterpret_cast<const char*>(&e), sizeof e));
            wire += payload.size();
            ++next;
        }
        state.ResumeTiming();
        for (const auto& [topic, payload] : batch)
            if (store.Take(topic, payload, 1) != centre::Ingest::Event)
                state.SkipWithError("a record was not taken");
        receipts += static_cast<int64_t>(store.Commit(1).size());
    }
    state.SetBytesProcessed(next * static_cast<int64_t>(sizeof(TRadKadr)));
    state.counters["wire_per_record"] = static_cast<double>(wire) / static_cast<double>(next * sizeof(TRadKadr));
    state.counters["receipts"] = static_cast<double>(receipts);
    state.counters["store_errors"] = static_cast<double>(store.Counters().StoreErrors.load());
}
BENCHMARK(BM_WholeRecordsIntoTheCentre)->Arg(2)->Arg(20)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

/// Polls `done` every 20 ms for at most `seconds`.
template <class F>
bool WaitFor(F done, int seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        QThread::msleep(20);
    }
    return true;
}

/// A day of a station's files in `dir`: 576 frames and 4,000 events.
void WriteDay(const QString& dir)
{
    std::ofstream fon((dir + "/8_12_0_0.fon").toStdString(), std::ios::binary);
    for (const TFonKadr& k : bench_frames::MakeFrames(kDayFrames))
        fon.write(reinterpret_cast<const char*>(&k), sizeof k);
    std::ofstream rad((dir + "/8_12_0_0.Rad").toStdString(), std::ios::binary);
    std::mt19937_64 rng(7);
    for (int i = 0; i < kDayEvents; ++i) {
        const TRadKadr e = MakeEvent(rng, 2.0, static_cast<int16_t>(i));
        rad.write(reinterpret_cast<const char*>(&e), sizeof e);
    }
}

/// True once the outbox has listed files and forgotten them all (every record receipted).
bool OutboxDone(const QString& dir)
{
    QFile f(dir + "/.vfon-outbox");
    return f.exists() && f.size() == 0;
}

void BM_StationSendsADayOfRecords(benchmark::State& state)
{
    const char* mode = state.range(0) == 0 ? "all" : "none";
    for (auto _ : state) {
        QTemporaryDir dir(QDir::currentPath() + "/station-day-XXXXXX");
        for (const char* sub : {"broker", "store", "station"})
            QDir(dir.path()).mkpath(sub);
        WriteDay(dir.filePath("station"));
        const int port = bench_net::FreePort(), http = bench_net::FreePort();
        QFile conf(dir.filePath("broker/mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QString("user %1\nlistener %2 127.0.0.1\nallow_anonymous true\nmax_queued_messages 0\n")
                       .arg(getpwuid(getuid())->pw_name)
                       .arg(port)
                       .toUtf8());
        conf.close();
        QProcess broker, centre;
        broker.start(MOSQUITTO_PATH, {"-c", conf.fileName()});
        const QString url = QString("mqtt://127.0.0.1:%1").arg(port);
        if (!WaitFor([&] { return bench_net::Listening(port); }, 30)) {
            state.SkipWithError("the broker did not start");
            break;
        }
        centre.start(VFON_CENTRE_PATH, {"--broker", url, "--store", dir.filePath("store"), "--http",
                                        QString("127.0.0.1:%1").arg(http)});
        WaitFor([&] { return bench_net::Listening(http); }, 30);
        net::NetworkSettings s;
        s.Publish = url.toStdString();
        s.Station = "bench";
        s.Records = mode;
        const double cpu0 = CpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        bool done = false;
        {
            net::PublishWorker worker(s, dir.filePath("station").toStdString());
            worker.PostLimit("8_12_0_0.fon", -1);
            worker.PostLimit("8_12_0_0.Rad", -1);
            done = WaitFor([&] { return OutboxDone(dir.filePath("station")); }, 1200);
        }
        const double cpu = CpuSeconds() - cpu0;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        centre.terminate();
        centre.waitForFinished(10000);
        broker.terminate();
        broker.waitForFinished(10000);
        if (!done) {
            state.SkipWithError("the receipts of the day did not all come");
            break;
        }
        state.SetIterationTime(wall);
        state.counters["cpu_s_per_day"] = cpu;
        state.counters["core_pct"] = 100 * cpu / 86400;
        state.counters["wall_s"] = wall;
    }
}
BENCHMARK(BM_StationSendsADayOfRecords)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
