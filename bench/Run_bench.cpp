// Whole-program figures on the simulated boards, headless:
//  - start-up: the three windows created and the main window shown;
//  - InitBoards, waveform generation of the simulated driver included;
//  - a run of VFON_RUN_SECONDS (default 30) seconds driven by a 1 ms timer
//    exactly as the program's own: cycles per second, live time of the two
//    background boards, the longest tick, peak memory.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <dlfcn.h>
#include <fstream>
#include <sys/resource.h>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Hive.h"
#include "spectrum/Unit2.h"

namespace {

/// Times the program's ticks: from the timer event to the end of the slot.
class TickClock : public QObject {
    Q_OBJECT
public:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Timer)
            start_ = std::chrono::steady_clock::now();
        return QObject::eventFilter(o, e);
    }
    void End()
    {
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
        longestMs = std::max(longestMs, ms);
        ++ticks;
        emit Ticked();
    }
    double longestMs = 0;
    long ticks = 0;
signals:
    void Ticked();

private:
    std::chrono::steady_clock::time_point start_;
};

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

void BM_StartUpToMainWindowShown(benchmark::State& state)
{
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        Form1 = new TForm1;
        Form2 = new TForm2;
        Form3 = new TForm3;
        Form1->show();
        QApplication::processEvents();
        state.SetIterationTime(t.nsecsElapsed() / 1e9);
        delete Form3;
        delete Form2;
        delete Form1;
        Form1 = nullptr;
    }
}
BENCHMARK(BM_StartUpToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InitBoardsFirstAndLater(benchmark::State& state)
{
    Prepare();
    Form1 = new TForm1;
    bool first = true;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const bool ok = Form1->InitBoards();
        const double ms = t.nsecsElapsed() / 1e6;
        if (first)
            state.counters["first_ms"] = ms; // with waveform generation
        first = false;
        state.SetIterationTime(ms / 1e3);
        Form1->FreeBoards();
        if (!ok)
            state.SkipWithError("InitBoards failed");
    }
    delete Form1;
    Form1 = nullptr;
}
BENCHMARK(BM_InitBoardsFirstAndLater)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Run(benchmark::State& state)
{
    Prepare();
    const double seconds = qEnvironmentVariableIsSet("VFON_RUN_SECONDS")
                               ? qEnvironmentVariable("VFON_RUN_SECONDS").toDouble()
                               : 30.0;
    using LiveFn = double (*)(int32_t, double*);
    auto live = reinterpret_cast<LiveFn>(Sim("sim_live_seconds"));
    auto reset = reinterpret_cast<void (*)()>(Sim("sim_reset"));
    auto logPolls = reinterpret_cast<void (*)(int)>(Sim("sim_log_polls"));
    for (auto _ : state) {
        Form1 = new TForm1;
        Form1->show();
        if (reset)
            reset();
        if (logPolls)
            logPolls(0);
        Form1->bStart1Click();
        if (!Form1->Running) {
            state.SkipWithError("the run did not start");
            break;
        }
        // The program's own timers drive the run; a tick is timed from the
        // timer event reaching its timer to the end of the program's slot.
        TickClock ticker;
        for (QTimer* t : {Form1->Timer1, Form1->FastPoll}) {
            t->installEventFilter(&ticker);
            QObject::connect(t, &QTimer::timeout, &ticker, &TickClock::End);
        }
        int32_t lastCycle = Form1->CycleCount, lastPoint = Form1->PointNo;
        long cycles = 0;
        QObject::connect(&ticker, &TickClock::Ticked, [&] {
            if (Form1->CycleCount != lastCycle || Form1->PointNo != lastPoint)
                ++cycles;
            lastCycle = Form1->CycleCount;
            lastPoint = Form1->PointNo;
        });
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
        const double elapsed = wall.nsecsElapsed() / 1e9;
        double w1 = 0, w2 = 0;
        const double l1 = live ? live(1, &w1) : 0, l2 = live ? live(2, &w2) : 0;
        Form1->bStart1Click();
        state.SetIterationTime(elapsed);
        state.counters["cycles_per_s"] = cycles / elapsed;
        state.counters["ticks_per_s"] = ticker.ticks / elapsed;
        state.counters["live_fon1_pct"] = w1 > 0 ? 100 * l1 / w1 : 0;
        state.counters["live_fon2_pct"] = w2 > 0 ? 100 * l2 / w2 : 0;
        state.counters["longest_tick_ms"] = ticker.longestMs;
        state.counters["radio_events"] = Form1->RadRecNo;
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        state.counters["peak_rss_MB"] = ru.ru_maxrss / 1024.0;
        delete Form1;
        Form1 = nullptr;
    }
}
BENCHMARK(BM_Run)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

#include "Run_bench.moc"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
