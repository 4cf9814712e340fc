// Speed of the pulse search over one 1,000,000-sample channel, against the
// plain loop and against a plain streaming read (a vectorised sum of the same
// buffer) measured in the same run. At the end a table gives the ratios.

#include "datafiles/PulseSearch.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr size_t kSamples = 1000000;
using Samples = std::vector<int16_t>;

int16_t Clamp(int v)
{
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

/// A quiet channel: baseline 90, noise within +-2, a few hundred negative
/// pulses a few samples wide with depths 10 ... 150.
Samples Realistic()
{
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> noise(-2, 2);
    Samples x(kSamples);
    for (int16_t& v : x)
        v = static_cast<int16_t>(90 + noise(rng));
    std::uniform_int_distribution<size_t> where(0, kSamples - 16);
    std::uniform_int_distribution<int> depth(10, 150), width(2, 8);
    for (int k = 0; k < 300; ++k) {
        const size_t at = where(rng);
        const int d = depth(rng), w = width(rng);
        for (int s = 0; s < w; ++s) // a sharp fall, then a linear rise
            x[at + static_cast<size_t>(s)] = Clamp(90 - d * (w - s) / w + noise(rng));
    }
    return x;
}

/// Dense worst case: a zigzag with noise, a local minimum every other sample.
Samples Zigzag()
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(0, 9);
    Samples x(kSamples);
    for (size_t i = 0; i < kSamples; ++i)
        x[i] = static_cast<int16_t>(40 + ((i & 1) ? 20 : 0) + noise(rng));
    return x;
}

/// Dense case with random minima: independent noise, a minimum about every third sample.
Samples Noise()
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(20, 80);
    Samples x(kSamples);
    for (int16_t& v : x)
        v = static_cast<int16_t>(noise(rng));
    return x;
}

/// Every sample equal and deep below the threshold: every inner sample is a pulse.
Samples Flat()
{
    return Samples(kSamples, 20);
}

struct Case {
    const char* name;
    Samples (*make)();
    int32_t limit;
};

const Case kCases[] = {
    {"realistic", Realistic, 14},
    {"zigzag", Zigzag, 0},
    {"noise", Noise, 0},
    {"flat", Flat, 14},
};

const Samples& Data(const Case& c)
{
    static std::map<std::string, Samples> cache;
    auto it = cache.find(c.name);
    if (it == cache.end())
        it = cache.emplace(c.name, c.make()).first;
    return it->second;
}

// --- the streaming read: a vectorised sum of the buffer ---------------------

int64_t SumPlain(const int16_t* p, size_t n)
{
    int64_t s = 0;
    for (size_t i = 0; i < n; ++i)
        s += p[i];
    return s;
}

#if defined(__x86_64__)
[[gnu::target("avx2")]] int64_t SumAvx2(const int16_t* p, size_t n)
{
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0;
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const auto* v = reinterpret_cast<const __m256i*>(p + i);
        a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(_mm256_loadu_si256(v), ones));
        a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(_mm256_loadu_si256(v + 1), ones));
        a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(_mm256_loadu_si256(v + 2), ones));
        a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(_mm256_loadu_si256(v + 3), ones));
    }
    alignas(32) int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes),
                       _mm256_add_epi32(_mm256_add_epi32(a0, a1), _mm256_add_epi32(a2, a3)));
    int64_t s = 0;
    for (int32_t l : lanes)
        s += l;
    return s + SumPlain(p + i, n - i);
}
#endif

int64_t StreamingSum(const int16_t* p, size_t n)
{
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        return SumAvx2(p, n);
#endif
    return SumPlain(p, n);
}

// --- benchmarks -------------------------------------------------------------

void SetRate(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(kSamples * sizeof(int16_t)));
}

void BM_Sum(benchmark::State& state, const Case& c)
{
    const Samples& x = Data(c);
    for (auto _ : state)
        benchmark::DoNotOptimize(StreamingSum(x.data(), x.size()));
    SetRate(state);
}

/// kernel < 0: the dispatching SearchPulses; otherwise that PulseKernel.
void BM_Search(benchmark::State& state, const Case& c, int kernel)
{
    const Samples& x = Data(c);
    std::array<int16_t, pulse::kSpectrumBins> spectrum{};
    int32_t count = 0;
    for (auto _ : state) {
        spectrum.fill(0);
        count = kernel < 0 ? pulse::SearchPulses(x, c.limit, 0, spectrum)
                           : pulse::SearchPulsesWith(static_cast<pulse::PulseKernel>(kernel), x,
                                                     c.limit, 0, spectrum);
        benchmark::DoNotOptimize(count);
        benchmark::ClobberMemory();
    }
    state.counters["pulses"] = count;
    SetRate(state);
}

/// Console output as usual, and the rate of every benchmark kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        // With --benchmark_repetitions the median stands for the benchmark.
        for (const Run& r : runs) {
            auto it = r.counters.find("bytes_per_second");
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (it != r.counters.end() && (r.run_type == Run::RT_Iteration || median))
                rates[r.run_name.str()] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> rates;
};

void PrintRatios(const RatioReporter& rep)
{
    auto rate = [&](const std::string& name) {
        auto it = rep.rates.find(name);
        return it == rep.rates.end() ? 0.0 : it->second;
    };
    std::printf("\nkernel in use: %s\n", pulse::PulseKernelName(pulse::BestPulseKernel()));
    std::printf("%-10s %10s %10s %10s %12s %12s\n", "case", "fast GB/s", "plain GB/s", "sum GB/s",
                "fast/sum", "fast/plain");
    for (const Case& c : kCases) {
        const std::string n = c.name;
        const double fast = rate("search/" + n + "/fast"), plain = rate("search/" + n + "/plain");
        const double sum = rate("sum/" + n);
        if (fast == 0 || plain == 0 || sum == 0)
            continue;
        std::printf("%-10s %10.2f %10.2f %10.2f %11.1f%% %11.1fx\n", c.name, fast / 1e9,
                    plain / 1e9, sum / 1e9, 100 * fast / sum, fast / plain);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (const Case& c : kCases) {
        const std::string n = c.name;
        benchmark::RegisterBenchmark(("sum/" + n).c_str(), BM_Sum, c);
        benchmark::RegisterBenchmark(("search/" + n + "/fast").c_str(), BM_Search, c, -1);
        benchmark::RegisterBenchmark(("search/" + n + "/plain").c_str(), BM_Search, c,
                                     static_cast<int>(pulse::PulseKernel::Plain));
        for (pulse::PulseKernel k :
             {pulse::PulseKernel::Sse2, pulse::PulseKernel::Avx2, pulse::PulseKernel::Avx512})
            if (pulse::PulseKernelAvailable(k))
                benchmark::RegisterBenchmark(
                    ("search/" + n + "/" + pulse::PulseKernelName(k)).c_str(), BM_Search, c,
                    static_cast<int>(k));
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
