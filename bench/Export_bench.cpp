// Speed and memory of vfon-export's HDF5 export: 1 GB of radio event files
// and 10,000 background frames, each against a plain sequential read of the
// same files measured in the same run (the ratio is the export's share of
// the read rate), and the peak resident memory of each export.
//
//   cold  the files are dropped from the page cache before every pass, so
//         both the read and the export read from the disk, as a month of a
//         station's files would be;
//   warm  the files are in the page cache.
//
//   busy  one thread spinning per core during the pass, as when other
//         work shares the machine.
//
// Beside the read, two more yardsticks of the same run: a plain copy of
// the same files into one output file (of_copy: the export's MB/s over
// it), and the compressor alone on one thread over the same bytes in
// chunks of 1 MB (of_compressor: the export's MB/s over the compressor's
// times the export's worker threads, at the same level). The tidy layout's
// exports also show their MB/s over the record layout's of the same inputs,
// level, cache and load (of_records), at level 1 with the tables' chunks
// packed by the run coder (export/hdf5/RunDeflate.h) and by the general
// compressor (runs=0).
//
// The inputs are made once in $TMPDIR/vfon-export-bench (about 1.2 GB) and
// kept for later runs; peak memory is also shown for a tenth of the inputs,
// to see that it does not grow with them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <libdeflate.h>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "export/FileWalk.h"
#include "export/Hdf5Export.h"
#include "export/TidyHdf5Export.h"
#include "export/hdf5/RunDeflate.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRadFiles = 41, kEventsPerFile = 496;    // 20,336 events, 1.0 GB
constexpr int kFonFiles = 100, kFramesPerFile = 100;   // 10,000 frames, 166 MB

fs::path BenchDir()
{
    const char* tmp = std::getenv("TMPDIR");
    return fs::path(tmp && *tmp ? tmp : "/tmp") / "vfon-export-bench";
}

/// Radio events as the boards give them: noise of a few codes around 0 and,
/// in the middle of each trace, a short burst of a shower.
void MakeRadFile(const fs::path& p, std::mt19937& rng)
{
    auto e = std::make_unique<TRadKadr>();
    std::normal_distribution<double> noise(0, 4);
    std::ofstream out(p, std::ios::binary);
    for (int r = 0; r < kEventsPerFile; ++r) {
        e->EventNo = static_cast<int16_t>(r + 1);
        e->Year = 2026, e->Month = 12, e->Day = 6, e->Hour = 23, e->Min = 5, e->Sec = r % 60;
        for (int c = 1; c <= kRadChannels; ++c) {
            e->RGain(c) = 20;
            for (int i = 0; i < kRadSamples; ++i) {
                const double burst = i > 2500 && i < 2700 ? 100.0 * std::sin(i * 0.7) * std::exp(-(i - 2500) / 60.0) : 0;
                e->Samples(c)[i] = static_cast<int16_t>(std::clamp(noise(rng) + burst, -128.0, 127.0));
            }
        }
        out.write(reinterpret_cast<const char*>(e.get()), sizeof *e);
    }
}

/// Background frames: counts of a few hundred a point, falling spectra.
void MakeFonFile(const fs::path& p, std::mt19937& rng)
{
    auto f = std::make_unique<TFonKadr>();
    std::poisson_distribution<int> counts(300);
    std::ofstream out(p, std::ios::binary);
    for (int r = 0; r < kFramesPerFile; ++r) {
        f->KadrNo = static_cast<int16_t>(r + 1);
        f->Year = 2026, f->Month = 12, f->Day = 6, f->Rate = 100000000, f->ChanParam = 90;
        for (int c = 1; c <= kFonChannels; ++c) {
            f->FGain(c) = 100, f->Limit(c) = 14;
            for (int k = 0; k < kFonPoints; ++k)
                f->Counts(c)[k] = counts(rng);
            for (int b = 0; b < kFonBins; ++b)
                f->Spectr(c)[b] = static_cast<int16_t>(std::poisson_distribution<int>(20000.0 / (1 + b * b / 50.0))(rng));
        }
        for (int k = 0; k < kFonPoints; ++k)
            f->Times[k] = {23, static_cast<uint16_t>(k / 60), static_cast<uint16_t>(k % 60), static_cast<uint16_t>(k)};
        out.write(reinterpret_cast<const char*>(f.get()), sizeof *f);
    }
}

/// The input files of one kind, made on first use.
const std::vector<std::string>& Inputs(bool rad)
{
    static std::map<bool, std::vector<std::string>> inputs;
    std::vector<std::string>& files = inputs[rad];
    if (!files.empty())
        return files;
    fs::create_directories(BenchDir());
    std::mt19937 rng(rad ? 1 : 2);
    const int n = rad ? kRadFiles : kFonFiles;
    const uintmax_t size = rad ? sizeof(TRadKadr) * kEventsPerFile : sizeof(TFonKadr) * kFramesPerFile;
    for (int i = 0; i < n; ++i) {
        const fs::path p = BenchDir() / ("6_12_" + std::to_string(i / 60) + "_" + std::to_string(i % 60) + (rad ? ".Rad" : ".fon"));
        if (!fs::exists(p) || fs::file_size(p) != size)
            rad ? MakeRadFile(p, rng) : MakeFonFile(p, rng);
        files.push_back(p.string());
    }
    return files;
}

/// Drops the files from the page cache (after writing back what is dirty).
void DropFromCache(const std::vector<std::string>& files)
{
    for (const std::string& f : files) {
        const int fd = ::open(f.c_str(), O_RDONLY);
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

/// Warms the page cache with the files.
int64_t ReadAll(const std::vector<std::string>& files)
{
    static std::vector<char> buf(1 << 20);
    int64_t bytes = 0;
    for (const std::string& f : files) {
        const int fd = ::open(f.c_str(), O_RDONLY);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;)
            bytes += n;
        ::close(fd);
    }
    return bytes;
}

/// Peak resident memory since the last reset, in MB (Linux VmHWM).
double PeakRssMb(bool reset)
{
    if (reset) {
        std::ofstream("/proc/self/clear_refs") << "5";
        return 0;
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

/// One thread spinning per core while it lives, when `on`.
class BusyLoops {
public:
    explicit BusyLoops(bool on)
    {
        for (unsigned i = 0; on && i < std::thread::hardware_concurrency(); ++i)
            threads_.emplace_back([this] {
                unsigned long n = 0;
                while (!stop_.load(std::memory_order_relaxed))
                    benchmark::DoNotOptimize(++n);
            });
    }
    ~BusyLoops()
    {
        stop_ = true;
        for (std::thread& t : threads_)
            t.join();
    }

private:
    std::atomic<bool> stop_ = false;
    std::vector<std::thread> threads_;
};

std::map<std::string, double> g_readRate; ///< MB/s of the plain read, by "kind/cache"
std::map<std::string, double> g_copyRate; ///< MB/s of the plain copy, by "kind/busy"
std::map<std::string, double> g_deflateRate; ///< MB/s of the compressor on one thread, by "kind/level/busy"
std::map<std::string, double> g_recordsRate; ///< MB/s of the record-layout export, by ExportKey

std::string Key(bool rad, int level, bool busy)
{
    return std::string(rad ? "rad/" : "fon/") + std::to_string(level) + (busy ? "/busy" : "/quiet");
}

/// Plain copy of the files (in the page cache) into one file: args {rad, busy}.
void BM_Copy(benchmark::State& state)
{
    const bool rad = state.range(0), busy = state.range(1);
    const auto& files = Inputs(rad);
    ReadAll(files);
    const std::string out = (BenchDir() / "copy.bin").string();
    std::vector<char> buf(1 << 20);
    int64_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        BusyLoops loops(busy);
        const auto t0 = std::chrono::steady_clock::now();
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        for (const std::string& f : files) {
            const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
            for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0; bytes += n)
                if (::write(o, buf.data(), static_cast<size_t>(n)) != n)
                    state.SkipWithError("write");
            ::close(fd);
        }
        ::close(o);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    fs::remove(out);
    g_copyRate[Key(rad, 0, busy)] = static_cast<double>(bytes) / 1e6 / seconds;
    state.counters["MB/s"] = g_copyRate[Key(rad, 0, busy)];
}

/// The compressor alone, one thread, 1 MB chunks of the files' bytes:
/// args {rad, level, busy}.
void BM_Deflate(benchmark::State& state)
{
    const bool rad = state.range(0), busy = state.range(2);
    const int level = static_cast<int>(state.range(1));
    std::vector<char> data;
    for (const std::string& f : Inputs(rad)) {
        std::ifstream in(f, std::ios::binary);
        data.insert(data.end(), std::istreambuf_iterator<char>(in), {});
        if (data.size() >= (size_t{256} << 20))
            break;
    }
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    constexpr size_t kChunk = 1 << 20;
    std::vector<char> out(libdeflate_zlib_compress_bound(c, kChunk));
    int64_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        BusyLoops loops(busy);
        const auto t0 = std::chrono::steady_clock::now();
        for (size_t at = 0; at + kChunk <= data.size(); at += kChunk, bytes += kChunk)
            benchmark::DoNotOptimize(libdeflate_zlib_compress(c, data.data() + at, kChunk, out.data(), out.size()));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    libdeflate_free_compressor(c);
    g_deflateRate[Key(rad, level, busy)] = static_cast<double>(bytes) / 1e6 / seconds;
    state.counters["MB/s"] = g_deflateRate[Key(rad, level, busy)];
}

std::string Key(bool rad, bool cold) { return std::string(rad ? "rad" : "fon") + (cold ? "/cold" : "/warm"); }

/// Plain sequential read of the files: args {rad, cold}.
void BM_Read(benchmark::State& state)
{
    const bool rad = state.range(0), cold = state.range(1);
    const auto& files = Inputs(rad);
    ReadAll(files);
    int64_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            DropFromCache(files);
            state.ResumeTiming();
        }
        const auto t0 = std::chrono::steady_clock::now();
        bytes += ReadAll(files);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.SetBytesProcessed(bytes);
    g_readRate[Key(rad, cold)] = static_cast<double>(bytes) / 1e6 / seconds;
    state.counters["MB/s"] = g_readRate[Key(rad, cold)];
}

/// The arguments of an export but its layout.
std::string ExportKey(const benchmark::State& state)
{
    std::string key;
    for (int i = 0; i < 5; ++i)
        key += std::to_string(state.range(i)) + "/";
    return key;
}

/// Export to HDF5: args {rad, cold, deflate level, tenth of the inputs,
/// busy loops, tidy layout (else the record layout), run coder}.
void BM_ExportHdf5(benchmark::State& state)
{
    const bool rad = state.range(0), cold = state.range(1), tenth = state.range(3), busy = state.range(4);
    const bool tidy = state.range(5);
    dataexport::UseRunDeflate(state.range(6) != 0);
    const auto zone = frames::StationZone::Open("UTC");
    const int level = static_cast<int>(state.range(2));
    std::vector<std::string> files = Inputs(rad);
    if (tenth)
        files.resize(files.size() / 10);
    const std::string out = (BenchDir() / "out.h5").string();
    ReadAll(files);
    int64_t bytes = 0;
    double seconds = 0, peak = 0, outMb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (cold)
            DropFromCache(files);
        PeakRssMb(true);
        BusyLoops loops(busy);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        std::unique_ptr<dataexport::RecordSink> sink;
        if (tidy)
            sink = std::make_unique<dataexport::TidyHdf5Export>(out, files, *zone,
                                                                dataexport::TidySettings{"bench", "", level, true});
        else
            sink = std::make_unique<dataexport::Hdf5Export>(out, files, level, true);
        std::ostringstream log;
        const auto s = dataexport::WalkFiles(files, {sink.get()}, {false}, log);
        sink.reset();
        if (s.outputFailed || s.SomethingSkipped())
            state.SkipWithError(log.str().c_str());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        bytes += s.bytes;
        peak = std::max(peak, PeakRssMb(false));
        outMb = static_cast<double>(fs::file_size(out)) / 1e6;
    }
    fs::remove(out);
    state.SetBytesProcessed(bytes);
    const double rate = static_cast<double>(bytes) / 1e6 / seconds;
    state.counters["MB/s"] = rate;
    state.counters["of_read"] = g_readRate.count(Key(rad, cold)) ? rate / g_readRate[Key(rad, cold)] : 0;
    if (!cold && g_copyRate.count(Key(rad, 0, busy)))
        state.counters["of_copy"] = rate / g_copyRate[Key(rad, 0, busy)];
    if (!cold && g_deflateRate.count(Key(rad, level, busy))) {
        const double workers = std::max(2u, std::thread::hardware_concurrency());
        state.counters["of_compressor"] = rate / (workers * g_deflateRate[Key(rad, level, busy)]);
    }
    // The tidy layout against the record layout of the same inputs, level,
    // cache and load (run first).
    if (!tidy)
        g_recordsRate[ExportKey(state)] = rate;
    else if (g_recordsRate.count(ExportKey(state)))
        state.counters["of_records"] = rate / g_recordsRate[ExportKey(state)];
    state.counters["peak_RSS_MB"] = peak;
    state.counters["in_MB"] = static_cast<double>(bytes) / 1e6 / static_cast<double>(state.iterations());
    state.counters["out_MB"] = outMb;
}

void Args(benchmark::internal::Benchmark* b, bool rad)
{
    b->ArgNames({"rad", "cold", "deflate", "tenth", "busy", "tidy", "runs"})->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
    b->Args({rad, 1, 1, 0, 0, 0, 1});
    for (int busy : {0, 1})
        for (int level : {0, 1, 4})
            b->Args({rad, 0, level, 0, busy, 0, 1});
    b->Args({rad, 1, 1, 1, 0, 0, 1});
    for (int busy : {0, 1})
        for (int level : {1, 4})
            for (int runs : {1, 0})
                if (runs || level == 1)
                    b->Args({rad, 0, level, 0, busy, 1, runs});
    b->Args({rad, 1, 1, 1, 0, 1, 1});
}

} // namespace

BENCHMARK(BM_Read)->ArgNames({"rad", "cold"})->Args({1, 1})->Args({1, 0})->Args({0, 1})->Args({0, 0})
    ->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Copy)->ArgNames({"rad", "busy"})->Args({1, 0})->Args({1, 1})->Args({0, 0})->Args({0, 1})
    ->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Deflate)->ArgNames({"rad", "deflate", "busy"})->ArgsProduct({{1, 0}, {0, 1, 4}, {0, 1}})
    ->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ExportHdf5)->Apply([](benchmark::internal::Benchmark* b) { Args(b, true); });
BENCHMARK(BM_ExportHdf5)->Apply([](benchmark::internal::Benchmark* b) { Args(b, false); });

BENCHMARK_MAIN();
