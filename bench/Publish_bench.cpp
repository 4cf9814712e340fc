// What publishing costs a station: two stations on the simulated boards run
// the same run at the same time on the same machine, one publishing to a
// real mosquitto broker (started here on a free loopback port), the other
// not. Each is a process of its own (this program again, with
// --station-child), so its CPU time is its own. Reported per station: CPU
// time over the run's wall time (% of a core), the live time of the two
// background boards (the program's own figure and the simulated driver's),
// and the differences publishing makes. Once on a quiet machine, once with a
// busy-loop process on every core. VFON_RUN_SECONDS sets the run's length
// (default 180 s: a frame is about 150 s of the simulated boards).
#include <benchmark/benchmark.h>

#include "bench/BusyLoad.h"
#include "bench/Loopback.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <map>
#include <memory>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "acquisition/Recorder.h"
#include "acquisition/RunModel.h"
#include "network/Publisher.h"
#include "platform/Hive.h"

namespace {

constexpr char kChildFlag[] = "--station-child";

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

void* Sim(const char* name)
{
    static void* lib = dlopen(SIMDRIVER_PATH, RTLD_NOW);
    return lib ? dlsym(lib, name) : nullptr;
}

/// One station: `dir` its data folder, a run of `seconds`, publishing to
/// `broker` when one is given. Prints its figures as "name=value" words.
int StationChild(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::string dir = argv[2];
    const double seconds = std::atof(argv[3]);
    const std::string broker = argc > 4 ? argv[4] : "";
    const std::string hiveFile = dir + "/hive.ini";
    std::ofstream(hiveFile) << "[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=" SIMDRIVER_PATH "\n";
    hive::SetHivePath(hiveFile);
    acq::Station station = acq::Station::Default();
    station.DataDir = dir;
    acq::Recorder recorder;
    acq::RunModel run(station);
    recorder.Attach(run);
    std::unique_ptr<net::Publisher> publisher;
    if (!broker.empty()) {
        net::NetworkSettings s;
        s.Publish = broker;
        s.Station = "bench";
        publisher = std::make_unique<net::Publisher>(run, s);
    }
    using LiveFn = double (*)(int32_t, double*);
    auto simLive = reinterpret_cast<LiveFn>(Sim("sim_live_seconds"));
    if (auto reset = reinterpret_cast<void (*)()>(Sim("sim_reset")))
        reset();
    if (!run.StartBranch(acq::DefaultRunSettings()))
        return 1;
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double cpu = CpuSeconds() - cpu0, elapsed = wall.nsecsElapsed() / 1e9;
    double w1 = 0, w2 = 0;
    const double s1 = simLive ? simLive(1, &w1) : 0, s2 = simLive ? simLive(2, &w2) : 0;
    const acq::LiveFigures f = run.Figures();
    const bool connected = publisher && publisher->Connected();
    const bool stopped = run.StopBranch();
    std::printf("cpu_pct=%.4f live1=%.4f live2=%.4f sim_live1=%.4f sim_live2=%.4f cycles_per_s=%.3f frames=%d "
                "events=%d connected=%d stopped=%d\n",
                100 * cpu / elapsed, f.Percent[0], f.Percent[1], w1 > 0 ? 100 * s1 / w1 : 0,
                w2 > 0 ? 100 * s2 / w2 : 0, f.Seconds > 0 ? f.Cycles / f.Seconds : 0, run.FramesWritten(),
                run.EventsWritten(), connected, stopped);
    std::fflush(stdout);
    return 0;
}

using bench_net::FreePort;
using bench_net::Listening;
using Load = bench_load::BusyLoad;

/// The "name=value" words of a station's last line.
std::map<std::string, double> Figures(QProcess& p)
{
    std::map<std::string, double> out;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return out;
    for (const QString& word : lines.last().split(' ', Qt::SkipEmptyParts))
        out[word.section('=', 0, 0).toStdString()] = word.section('=', 1).toDouble();
    return out;
}

/// The two stations side by side; condition 1 adds a busy-loop process on every core.
void BM_PublishingCost(benchmark::State& state)
{
    const double seconds = qEnvironmentVariableIsSet("VFON_RUN_SECONDS")
                               ? qEnvironmentVariable("VFON_RUN_SECONDS").toDouble()
                               : 180.0;
    for (auto _ : state) {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("broker");
        QDir(dir.path()).mkpath("publishing");
        QDir(dir.path()).mkpath("plain");
        const int port = FreePort();
        QFile conf(dir.filePath("broker/mosquitto.conf"));
        conf.open(QIODevice::WriteOnly);
        conf.write(QString("user %1\nlistener %2 127.0.0.1\nallow_anonymous true\n")
                       .arg(getpwuid(getuid())->pw_name)
                       .arg(port)
                       .toUtf8());
        conf.close();
        QProcess broker;
        broker.start(MOSQUITTO_PATH, {"-c", conf.fileName()});
        for (int i = 0; i < 100 && !Listening(port); ++i)
            QThread::msleep(50);
        if (!Listening(port)) {
            state.SkipWithError("the broker did not start");
            break;
        }
        Load load(state.range(0) == 1);
        QThread::msleep(1000); // the load is on before the runs start
        const QString self = QCoreApplication::applicationFilePath(), length = QString::number(seconds);
        QProcess publishing, plain;
        publishing.start(self, {kChildFlag, dir.filePath("publishing"), length, QString("mqtt://127.0.0.1:%1").arg(port)});
        plain.start(self, {kChildFlag, dir.filePath("plain"), length});
        const int limit = static_cast<int>(seconds * 1000) + 60000;
        publishing.waitForFinished(limit);
        plain.waitForFinished(limit);
        broker.terminate();
        broker.waitForFinished(5000);
        auto p = Figures(publishing), q = Figures(plain);
        if (p.empty() || q.empty() || p["connected"] != 1) {
            state.SkipWithError(p["connected"] != 1 ? "the publishing station had no broker" : "a station failed");
            break;
        }
        state.SetIterationTime(seconds);
        for (const char* name : {"cpu_pct", "live1", "live2", "sim_live1", "sim_live2"}) {
            state.counters[std::string("pub_") + name] = p[name];
            state.counters[std::string("plain_") + name] = q[name];
        }
        state.counters["cpu_more_pct"] = p["cpu_pct"] - q["cpu_pct"];
        state.counters["live_drop_pts"] = (q["live1"] + q["live2"] - p["live1"] - p["live2"]) / 2;
        state.counters["sim_live_drop_pts"] = (q["sim_live1"] + q["sim_live2"] - p["sim_live1"] - p["sim_live2"]) / 2;
        state.counters["pub_frames"] = p["frames"];
        state.counters["pub_events"] = p["events"];
    }
}
BENCHMARK(BM_PublishingCost)->ArgName("quiet_busy")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], kChildFlag) == 0)
        return StationChild(argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
