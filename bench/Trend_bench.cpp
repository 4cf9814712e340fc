// The trend scan over a year of one station: 100,000 frames (1.6 GB) in
// files of 600 frames, read from the page cache. The frames are 4096
// different ones (bench/PoissonFrames.h: Poisson noise around the simulated
// detector's spectrum at several gains), repeated.
// - BM_FrameNumbers: ComputeFrameNumbers alone on those frames in memory,
//   one thread: the cost per frame without any reading.
// - BM_PlainRead: the files read in order in chunks of 64 records, nothing
//   else: the floor.
// - BM_Scan: the same files through ScanFonFiles with every frame's numbers,
//   on one thread (threads:1) and on one a core (threads:0);
//   counter ratio_to_read = its MB/s over BM_PlainRead's of the same run.
// - BM_ScanPeakRss: peak RSS growth of a scan without kept numbers over
//   10,000 frames in 10 files and in 2,000 files: flat in the file count.
// - BM_WindowScan: the stability window reading the year on its worker
//   thread; a probe timer every 5 ms measures the longest stretch the event
//   loop was kept from it (max_block_ms), from the start of the scan until
//   its last redraw; rss_per_frame is the window's peak RSS growth per frame.
// The data are written once into a temporary folder ($TMPDIR or /tmp) and
// removed at the end; they stay in the page cache between the benchmarks.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bench/PoissonFrames.h"
#include "stability/StabilityWindow.h"
#include "trend/FonScan.h"

namespace {

namespace fs = std::filesystem;

constexpr int kYearFrames = 100000;
constexpr int kFramesPerFile = 600;

const std::vector<TFonKadr>& Frames();

/// The benchmark's files, written on first use.
struct DataSets {
    fs::path root;
    std::vector<std::string> year;   ///< 100,000 frames, 600 a file
    std::vector<std::string> few;    ///< 10,000 frames in 10 files
    std::vector<std::string> many;   ///< 10,000 frames in 2,000 files
    uint64_t yearBytes = 0;

    DataSets()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string dir = (tmp && *tmp ? std::string(tmp) : std::string("/tmp")) + "/trend_bench_XXXXXX";
        if (!::mkdtemp(dir.data()))
            std::abort();
        root = dir;
        int frame = 0;
        for (int f = 0; frame < kYearFrames; ++f) {
            const int n = std::min(kFramesPerFile, kYearFrames - frame);
            year.push_back(Write("year", f, frame, n));
            frame += n;
        }
        yearBytes = uint64_t{kYearFrames} * sizeof(TFonKadr);
        for (int f = 0; f < 10; ++f)
            few.push_back(Write("few", f, f * 1000, 1000));
        for (int f = 0; f < 2000; ++f)
            many.push_back(Write("many", f, f * 5, 5));
    }
    ~DataSets() { fs::remove_all(root); }

    /// Writes frames first .. first+n-1 of a station running since
    /// 1 January 2026, a frame every 5 minutes, as file number f of a set.
    std::string Write(const char* set, int f, int first, int n)
    {
        using namespace std::chrono;
        fs::create_directories(root / set);
        const std::string path = (root / set / (std::to_string(f) + ".fon")).string();
        std::vector<TFonKadr> frames(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            TFonKadr& k = frames[static_cast<size_t>(i)];
            k = Frames()[static_cast<size_t>(first + i) % Frames().size()];
            const auto t = sys_days(std::chrono::year(2026) / January / 1) + minutes(5 * (first + i));
            const auto day = floor<days>(t);
            const year_month_day ymd(day);
            const hh_mm_ss<minutes> hms(t - day);
            k.KadrNo = static_cast<int16_t>(i + 1);
            k.Year = static_cast<int16_t>(static_cast<int>(ymd.year()));
            k.Month = static_cast<int16_t>(static_cast<unsigned>(ymd.month()));
            k.Day = static_cast<int16_t>(static_cast<unsigned>(ymd.day()));
            k.Hour = static_cast<int16_t>(hms.hours().count());
            k.Min = static_cast<int16_t>(hms.minutes().count());
        }
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(frames.data()), static_cast<std::streamsize>(n * sizeof(TFonKadr)));
        return path;
    }

};

/// The distinct frames of the benchmarks, made once.
const std::vector<TFonKadr>& Frames()
{
    static const std::vector<TFonKadr> frames = bench_frames::MakeFrames(4096);
    return frames;
}

DataSets& Data()
{
    static DataSets d;
    return d;
}

double g_plainBytesPerSecond = 0;

void BM_FrameNumbers(benchmark::State& state)
{
    const std::vector<TFonKadr>& frames = Frames();
    size_t i = 0;
    double sum = 0;
    for (auto _ : state) {
        sum += frames::ComputeFrameNumbers(frames[i], false).Channels[0].Centre;
        i = (i + 1) % frames.size();
    }
    benchmark::DoNotOptimize(sum);
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameNumbers)->MinTime(1);

/// A number from /proc/self/status, in kB ("VmHWM", "VmRSS").
long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key) + 1);
    return -1;
}

/// Resets the peak RSS to the current RSS (Linux clear_refs 5).
void ResetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_PlainRead(benchmark::State& state)
{
    const DataSets& d = Data();
    std::vector<unsigned char> buf(sizeof(TFonKadr) * trend::kScanChunkRecords);
    uint64_t bytes = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        unsigned sum = 0;
        for (const std::string& path : d.year) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ssize_t n;
            while ((n = ::read(fd, buf.data(), buf.size())) > 0) {
                sum += buf[static_cast<size_t>(n) - 1];
                bytes += static_cast<uint64_t>(n);
            }
            ::close(fd);
        }
        benchmark::DoNotOptimize(sum);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    g_plainBytesPerSecond = static_cast<double>(bytes) / seconds;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kYearFrames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_Scan(benchmark::State& state)
{
    const DataSets& d = Data();
    uint64_t bytes = 0;
    double sum = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        trend::ScanCallbacks cb;
        cb.Threads = static_cast<unsigned>(state.range(0));
        cb.Frame = [&sum](size_t, int32_t, const frames::FrameNumbers& n) { sum += n.Channels[0].Centre; };
        bytes += trend::ScanFonFiles(d.year, cb).Bytes;
    }
    benchmark::DoNotOptimize(sum);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kYearFrames, benchmark::Counter::kIsRate);
    if (g_plainBytesPerSecond > 0)
        state.counters["ratio_to_read"] = static_cast<double>(bytes) / seconds / g_plainBytesPerSecond;
}
BENCHMARK(BM_Scan)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_ScanPeakRss(benchmark::State& state)
{
    const std::vector<std::string>& files = state.range(0) == 0 ? Data().few : Data().many;
    long growth = 0, peak = 0;
    for (auto _ : state) {
        const long before = StatusKb("VmRSS:");
        ResetPeakRss();
        uint64_t frames = 0;
        trend::ScanCallbacks cb;
        cb.Frame = [&frames](size_t, int32_t, const frames::FrameNumbers&) { ++frames; };
        trend::ScanFonFiles(files, cb);
        peak = std::max(peak, StatusKb("VmHWM:"));
        growth = std::max(growth, StatusKb("VmHWM:") - before);
        benchmark::DoNotOptimize(frames);
    }
    state.SetLabel(std::to_string(files.size()) + " files");
    state.counters["peak_rss_growth_kB"] = static_cast<double>(growth);
    state.counters["peak_rss_kB"] = static_cast<double>(peak);
}
BENCHMARK(BM_ScanPeakRss)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WindowScan(benchmark::State& state)
{
    const DataSets& d = Data();
    QStringList files;
    for (const std::string& f : d.year)
        files << QString::fromStdString(f);
    double longest = 0;
    long growth = 0;
    for (auto _ : state) {
        stability::StabilityWindow w;
        w.show();
        QApplication::processEvents();
        const long before = StatusKb("VmRSS:");
        ResetPeakRss();

        // The probe: a timer due every 5 ms; a tick that comes late shows
        // how long the loop was busy with something else.
        constexpr int kProbeMs = 5;
        QElapsedTimer clock;
        clock.start();
        qint64 lastTick = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        probe.setInterval(kProbeMs);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, (now - lastTick) / 1e6 - kProbeMs);
            lastTick = now;
        });
        QEventLoop loop;
        QObject::connect(&w, &stability::StabilityWindow::ScanFinished, &loop, [&loop] {
            QTimer::singleShot(500, &loop, &QEventLoop::quit); // the last redraws too
        });
        lastTick = clock.nsecsElapsed();
        probe.start();
        w.ScanFiles(files);
        loop.exec();
        probe.stop();
        growth = StatusKb("VmHWM:") - before;
        if (w.Table().Size() != static_cast<size_t>(kYearFrames))
            state.SkipWithError("not every frame was read");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.yearBytes));
    state.counters["max_block_ms"] = longest;
    state.counters["rss_per_frame_B"] = 1024.0 * static_cast<double>(growth) / kYearFrames;
}
BENCHMARK(BM_WindowScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
