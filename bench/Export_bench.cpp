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
// The inputs are made once in $TMPDIR/vfon-export-bench (about 1.2 GB) and
// kept for later runs; peak memory is also shown for a tenth of the inputs,
// to see that it does not grow with them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "export/FileWalk.h"
#include "export/Hdf5Export.h"
#include "export/TidyHdf5Export.h"

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

std::map<std::string, double> g_readRate; ///< MB/s of the plain read, by "kind/cache"

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

/// Export to HDF5: args {rad, cold, deflate level, tenth of the inputs,
/// tidy layout (else the record layout)}.
void BM_ExportHdf5(benchmark::State& state)
{
    const bool rad = state.range(0), cold = state.range(1), tenth = state.range(3), tidy = state.range(4);
    const auto zone = dataexport::StationZone::Open("UTC");
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
    state.counters["peak_RSS_MB"] = peak;
    state.counters["in_MB"] = static_cast<double>(bytes) / 1e6 / static_cast<double>(state.iterations());
    state.counters["out_MB"] = outMb;
}

void Args(benchmark::internal::Benchmark* b, bool rad)
{
    b->ArgNames({"rad", "cold", "deflate", "tenth", "tidy"})->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
    for (int tidy : {0, 1}) {
        for (int cold : {1, 0})
            for (int level : {1, 4})
                b->Args({rad, cold, level, 0, tidy});
        b->Args({rad, 1, 1, 1, tidy});
    }
}

} // namespace

BENCHMARK(BM_Read)->ArgNames({"rad", "cold"})->Args({1, 1})->Args({1, 0})->Args({0, 1})->Args({0, 0})
    ->Unit(benchmark::kSecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ExportHdf5)->Apply([](benchmark::internal::Benchmark* b) { Args(b, true); });
BENCHMARK(BM_ExportHdf5)->Apply([](benchmark::internal::Benchmark* b) { Args(b, false); });

BENCHMARK_MAIN();
