// Catching up a station's day offline: its data folder holds a day of
// records no receipt has named yet (576 frames and 4,000 radio events in
// the files of four six-hour runs, as a station writes them while its link
// is down), a real mosquitto and vfon-centre run on free loopback ports
// (started here), and the station's publisher runs in this process. Timed
// from the publisher's start, the centre being reachable and listening,
// until the centre's receipts have named every record (the outbox state
// file says so); also reported: when the centre's own files held them all.
#include <benchmark/benchmark.h>

#include "bench/Loopback.h"
#include "bench/PoissonFrames.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <fstream>
#include <map>
#include <memory>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "acquisition/RunModel.h"
#include "datafiles/RecordFile.h"
#include "network/Publisher.h"
#include "platform/Hive.h"

namespace {

constexpr int kRuns = 4, kFramesPerRun = 144, kEventsPerRun = 1000;

/// Radio event `n` of the day: a pulse in noise-like samples, stamped
/// about 21.6 s after the one before.
TRadKadr DayEvent(int n)
{
    TRadKadr e{};
    e.EventNo = static_cast<int16_t>(n % 32767 + 1);
    const int64_t ms = int64_t{n} * 21600;
    e.Year = 2026, e.Month = 12, e.Day = 7, e.DayOfWeek = 1;
    e.Hour = static_cast<int16_t>(ms / 3'600'000), e.Min = static_cast<int16_t>(ms / 60'000 % 60);
    e.Sec = static_cast<int16_t>(ms / 1000 % 60), e.MSec = static_cast<int16_t>(ms % 1000);
    for (int c = 1; c <= kRadChannels; ++c) {
        e.RGain(c) = 10;
        for (int i = 0; i < kRadSamples; ++i)
            e.Samples(c)[i] = static_cast<int16_t>((i * 37 + n * 11 + c) % 41 - 20 + (i == 2000 + n % 64 ? 900 : 0));
    }
    return e;
}

/// Writes the day's files into `dir` and an outbox naming them with
/// nothing receipted; the number of records of each file.
std::map<std::string, int64_t> WriteDay(const QString& dir)
{
    std::map<std::string, int64_t> records;
    const std::vector<TFonKadr> frames = bench_frames::MakeFrames(kRuns * kFramesPerRun);
    std::ofstream outbox(dir.toStdString() + "/.vfon-outbox");
    for (int run = 0; run < kRuns; ++run) {
        const std::string stem = "7_12_" + std::to_string(run * 6) + "_0";
        const std::string fon = stem + ".fon", rad = stem + ".Rad";
        recfile::Create(dir.toStdString() + "/" + fon);
        for (int f = 0; f < kFramesPerRun; ++f)
            recfile::WriteRecord(dir.toStdString() + "/" + fon, f, frames[size_t(run * kFramesPerRun + f)]);
        recfile::Create(dir.toStdString() + "/" + rad);
        for (int e = 0; e < kEventsPerRun; ++e)
            recfile::WriteRecord(dir.toStdString() + "/" + rad, e, DayEvent(run * kEventsPerRun + e));
        records[fon] = kFramesPerRun;
        records[rad] = kEventsPerRun;
        outbox << "0\t" << fon << "\n0\t" << rad << "\n";
    }
    return records;
}

/// True when the outbox state file names every record of `records` as
/// receipted (a file fully receipted may have left it).
bool AllReceipted(const QString& stateFile, const std::map<std::string, int64_t>& records)
{
    QFile f(stateFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            continue;
        const auto it = records.find(line.mid(tab + 1).toStdString());
        if (it != records.end() && line.left(tab).toLongLong() < it->second)
            return false;
    }
    return true;
}

qsizetype LinesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : 0;
}

/// Starts the centre and waits until it says it has its broker.
bool StartCentre(QProcess& centre, int port, const QString& store, int httpPort)
{
    centre.start(VFON_CENTRE_PATH, {"--broker", QString("mqtt://127.0.0.1:%1").arg(port), "--store", store, "--http",
                                    QString("127.0.0.1:%1").arg(httpPort)});
    QByteArray said;
    QElapsedTimer waited;
    waited.start();
    while (!(said += centre.readAllStandardError()).contains("связь с брокером есть") && waited.elapsed() < 60000)
        centre.waitForReadyRead(1000);
    return said.contains("связь с брокером есть");
}

void BM_CatchUpADayOffline(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "CatchUp_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv); // lives as long as the program
    (void)app;
    for (auto _ : state) {
        QTemporaryDir dir;
        for (const char* folder : {"broker", "station", "store"})
            QDir(dir.path()).mkpath(folder);
        const std::map<std::string, int64_t> records = WriteDay(dir.filePath("station"));
        const std::string hiveFile = dir.filePath("hive.ini").toStdString();
        std::ofstream(hiveFile) << "[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=" SIMDRIVER_PATH "\n";
        hive::SetHivePath(hiveFile);

        // A broker with the queues of the shipped set-up.
        const int port = bench_net::FreePort(), httpPort = bench_net::FreePort();
        QFile conf(dir.filePath("broker/mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QString("user %1\nlistener %2 127.0.0.1\nallow_anonymous true\nmax_queued_messages 1000000\n"
                           "max_queued_bytes 1000000000\nmax_inflight_messages 100\n")
                       .arg(getpwuid(getuid())->pw_name)
                       .arg(port)
                       .toUtf8());
        conf.close();
        QProcess broker, centre;
        broker.start(MOSQUITTO_PATH, {"-c", conf.fileName()});
        for (int i = 0; i < 200 && !bench_net::Listening(port); ++i)
            QThread::msleep(50);
        // The centre's session is made at its first connection; it starts
        // again so that it listens from its first moment, as a centre that
        // has run before.
        const bool first = StartCentre(centre, port, dir.filePath("store"), httpPort);
        centre.terminate();
        centre.waitForFinished(10000);
        if (!first || !StartCentre(centre, port, dir.filePath("store"), httpPort)) {
            state.SkipWithError("the centre did not reach its broker");
            break;
        }

        acq::Station station = acq::Station::Default();
        station.DataDir = dir.filePath("station").toStdString();
        acq::RunModel run(station);
        net::NetworkSettings settings;
        settings.Publish = "mqtt://127.0.0.1:" + std::to_string(port);
        settings.Station = "st1";
        const QString stateFile = dir.filePath("station/.vfon-outbox");
        const QString trend = dir.filePath("store/st1/trend.csv"), events = dir.filePath("store/st1/events.csv");
        const qsizetype trendLines = 1 + kRuns * kFramesPerRun * kFonChannels, eventLines = 1 + kRuns * kEventsPerRun;
        QElapsedTimer clock;
        double stored = -1, receipted = -1;
        clock.start();
        auto publisher = std::make_unique<net::Publisher>(run, settings);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (stored < 0 && LinesOf(trend) >= trendLines && LinesOf(events) >= eventLines)
                stored = clock.nsecsElapsed() / 1e9;
            if (AllReceipted(stateFile, records))
                receipted = clock.nsecsElapsed() / 1e9;
            if ((stored >= 0 && receipted >= 0) || clock.elapsed() > 600000)
                QCoreApplication::quit();
        });
        poll.start(20);
        QCoreApplication::exec();
        publisher.reset();
        for (QProcess* p : {&centre, &broker}) {
            p->terminate();
            p->waitForFinished(10000);
        }
        if (stored < 0 || receipted < 0) {
            state.SkipWithError("the day did not reach the centre within 10 minutes");
            break;
        }
        state.SetIterationTime(receipted);
        state.counters["to_last_receipt_s"] = receipted;
        state.counters["to_centre_files_s"] = stored;
        state.counters["records"] = double(kRuns * (kFramesPerRun + kEventsPerRun));
        state.counters["records_per_s"] = kRuns * (kFramesPerRun + kEventsPerRun) / receipted;
    }
}
BENCHMARK(BM_CatchUpADayOffline)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
BENCHMARK_MAIN();
