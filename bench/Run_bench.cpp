// Whole-program figures on the simulated boards, in the window program on an
// offscreen display (the window draws every batch and event as it would on
// screen):
//  - start-up: the three windows created and the main window shown;
//  - InitBoards, waveform generation of the simulated driver included;
//  - a run of VFON_RUN_SECONDS (default 60) seconds with its readout thread,
//    once on a quiet machine, once with a busy-loop process on every
//    core, and once on a slow disk (every write of the recorder delayed by
//    300 ms): cycles per second, live time of the two background boards
//    (the program's own figure and the simulated driver's), process CPU time
//    over wall time (and the part of it the simulated driver spends making
//    and copying samples, so the rest is the program's own), the longest
//    time the event loop was blocked, peak RSS.
#include <benchmark/benchmark.h>

#include "bench/BusyLoad.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <dlfcn.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "acquisition/Pacing.h"
#include "acquisition/Recorder.h"
#include "datafiles/RecordWriter.h"
#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Hive.h"
#include "spectrum/Unit2.h"

namespace {

QTemporaryDir* g_dir = nullptr;

void* Sim(const char* name)
{
    static void* lib = dlopen(SIMDRIVER_PATH, RTLD_NOW);
    return lib ? dlsym(lib, name) : nullptr;
}

void Prepare()
{
    if (g_dir)
        return;
    g_dir = new QTemporaryDir;
    QDir::setCurrent(g_dir->path());
    const std::string hiveFile = (g_dir->path() + "/hive.ini").toStdString();
    std::ofstream(hiveFile) << "[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=" SIMDRIVER_PATH "\n";
    hive::SetHivePath(hiveFile);
}

double CpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

using Load = bench_load::BusyLoad;

void BM_StartUpToMainWindowShown(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        Form1 = new TForm1;
        spectrum::Form2 = new spectrum::TForm2;
        Form3 = new TForm3;
        Form1->AttachWindows(spectrum::Form2, Form3);
        Form1->show();
        QApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        delete Form3;
        delete spectrum::Form2;
        delete Form1;
        Form1 = nullptr;
    }
}
BENCHMARK(BM_StartUpToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InitBoardsFirstAndLater(benchmark::State& state)
{
    Prepare();
    acq::RunModel run;
    bool first = true;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const bool ok = run.InitBoards(acq::DefaultRunSettings());
        const double ms = t.nsecsElapsed() / 1e6;
        if (first)
            state.counters["first_ms"] = ms; // with waveform generation
        first = false;
        state.SetIterationTime(ms / 1e3);
        run.FreeBoards();
        if (!ok)
            state.SkipWithError("InitBoards failed");
    }
}
BENCHMARK(BM_InitBoardsFirstAndLater)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

/// A run of the window program, its readout thread pacing itself; condition
/// 1 adds a busy-loop process on every core, 2 delays every write.
void BM_Run(benchmark::State& state)
{
    Prepare();
    const double seconds = qEnvironmentVariableIsSet("VFON_RUN_SECONDS")
                               ? qEnvironmentVariable("VFON_RUN_SECONDS").toDouble()
                               : 60.0;
    using LiveFn = double (*)(int32_t, double*);
    auto simLive = reinterpret_cast<LiveFn>(Sim("sim_live_seconds"));
    auto reset = reinterpret_cast<void (*)()>(Sim("sim_reset"));
    auto logPolls = reinterpret_cast<void (*)(int)>(Sim("sim_log_polls"));
    auto dataCpu = reinterpret_cast<double (*)()>(Sim("sim_data_cpu_seconds"));
    for (auto _ : state) {
        // The load runs, and the window is shown and painted, a while before
        // the run starts: the figures are those of a run, not of its set-up.
        Load load(state.range(0) == 1);
        recfile::SetWriteSeam({state.range(0) == 2 ? 300 : 0, -1});
        acq::Recorder recorder;
        acq::RunModel run;
        recorder.Attach(run);
        Form1 = new TForm1(&run);
        Form1->show();
        QEventLoop settle;
        QTimer::singleShot(1000, &settle, &QEventLoop::quit);
        settle.exec();
        if (reset)
            reset();
        if (logPolls)
            logPolls(0);
        // The event loop's longest block: a probe timer's lateness.
        constexpr int kProbeMs = 2;
        int64_t last = acq::SteadyNowNs(), longest = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const int64_t now = acq::SteadyNowNs();
            longest = std::max(longest, now - last - kProbeMs * 1'000'000);
            last = now;
        });
        const double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        Form1->bStart1Click();
        if (!Form1->Run().Running()) {
            state.SkipWithError("the run did not start");
            break;
        }
        // The simulated driver's figure over the run itself, as the
        // program's: from the start of the cycles, not from the reset.
        double w1a = 0, w2a = 0;
        const double s1a = simLive ? simLive(1, &w1a) : 0, s2a = simLive ? simLive(2, &w2a) : 0;
        last = acq::SteadyNowNs();
        probe.start(kProbeMs);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
        probe.stop();
        double w1 = 0, w2 = 0;
        const double s1 = simLive ? simLive(1, &w1) : 0, s2 = simLive ? simLive(2, &w2) : 0;
        const double boardCpu = dataCpu ? dataCpu() : 0;
        const acq::LiveFigures f = Form1->Run().Figures();
        const int32_t events = Form1->Run().EventsWritten();
        Form1->bStart1Click();
        const double elapsed = wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(elapsed);
        state.counters["cycles_per_s"] = f.Cycles / f.Seconds;
        state.counters["live1_pct"] = f.Percent[0];
        state.counters["live2_pct"] = f.Percent[1];
        // The floor the driver sets: a board stands while GetData copies its
        // data; the rest of the dead time is the program's.
        state.counters["floor1_pct"] = 100 - f.ReadPercent[0];
        state.counters["floor2_pct"] = 100 - f.ReadPercent[1];
        const double period = f.Cycles > 0 ? f.Seconds / f.Cycles * 1e6 : 0;
        state.counters["read_us_per_cycle"] = period * (f.ReadPercent[0] + f.ReadPercent[1]) / 200;
        state.counters["other_dead_us_per_cycle"] =
            period * (200 - f.Percent[0] - f.Percent[1] - f.ReadPercent[0] - f.ReadPercent[1]) / 200;
        state.counters["sim_live1_pct"] = w1 > w1a ? 100 * (s1 - s1a) / (w1 - w1a) : 0;
        state.counters["sim_live2_pct"] = w2 > w2a ? 100 * (s2 - s2a) / (w2 - w2a) : 0;
        // The simulated boards make their samples inside this process; a
        // real driver copies them from the board. The program's own share
        // is the rest.
        const double cpu = CpuSeconds() - cpu0;
        state.counters["cpu_pct"] = 100 * cpu / elapsed;
        state.counters["sim_data_cpu_pct"] = 100 * boardCpu / elapsed;
        state.counters["program_cpu_pct"] = 100 * (cpu - boardCpu) / elapsed;
        state.counters["longest_block_ms"] = longest / 1e6;
        state.counters["radio_events"] = events;
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        state.counters["peak_rss_MB"] = ru.ru_maxrss / 1024.0;
        delete Form1;
        Form1 = nullptr;
        recfile::SetWriteSeam({});
    }
}
BENCHMARK(BM_Run)->ArgName("quiet_busy_slowdisk")->Arg(0)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
