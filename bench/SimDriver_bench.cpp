// Cost of the simulated driver's reads and polls, against a plain copy of the
// same size. The library is loaded the way the program loads it.
#include <dlfcn.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "driver/ADC_Const.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"

namespace {

constexpr int32_t kFonSamples = 1000000;

/// One board of the given mode, initialised, set up and started.
IADCDevice* startedBoard(int32_t number, int32_t mode, int32_t samples)
{
    void* lib = dlopen(SIMDRIVER_PATH, RTLD_NOW);
    if (!lib)
        throw std::runtime_error(dlerror());
    auto* factory = reinterpret_cast<IFactory*>(dlsym(lib, "StaticFactory"));
    auto* board = static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0));
    AdcParams p;
    InitAdcParams(p);
    p.Mode = mode;
    p.Rate = 100000000.0f;
    p.Samples = samples;
    int32_t one = 1, out = 0;
    board->Init(number, 1, 0, 0);
    board->Control(adc::kControlPrepare, &one);
    board->Setup(1, &p, &out);
    board->Start();
    return board;
}

/// Init and Setup of two background boards, as a run's start does. The
/// waveforms are made at the first background Setup of the process: the
/// first iteration carries that cost (about 200 ms in a plain build).
void BM_SetupTwoBackgroundBoards(benchmark::State& state)
{
    void* lib = dlopen(SIMDRIVER_PATH, RTLD_NOW);
    if (!lib)
        throw std::runtime_error(dlerror());
    auto* factory = reinterpret_cast<IFactory*>(dlsym(lib, "StaticFactory"));
    AdcParams p;
    InitAdcParams(p);
    p.Mode = 1;
    p.Rate = 100000000.0f;
    p.Samples = kFonSamples;
    p.ChanParam1 = p.ChanParam2 = 90;
    p.Flags = 104;
    for (auto _ : state) {
        for (int32_t number : {1, 2}) {
            auto* board = static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0));
            int32_t one = 1, out = 0;
            board->Init(number, 1, 0, 0);
            board->Control(adc::kControlPrepare, &one);
            board->Setup(1, &p, &out);
            board->Release();
        }
    }
}
BENCHMARK(BM_SetupTwoBackgroundBoards)->Unit(benchmark::kMillisecond);

/// One background read of 1000000 samples, a fresh acquisition each time.
void BM_GetDataBackground(benchmark::State& state)
{
    IADCDevice* board = startedBoard(1, 1, kFonSamples);
    std::vector<int16_t> dest(kFonSamples);
    for (auto _ : state) {
        board->Stop();
        board->GetData(adc::kSelectFirstInput, dest.data(), kFonSamples, 0);
        board->Start();
        benchmark::DoNotOptimize(dest.data());
    }
    board->Stop();
    board->Release();
    state.SetBytesProcessed(state.iterations() * kFonSamples * 2);
}
BENCHMARK(BM_GetDataBackground)->Unit(benchmark::kMicrosecond);

/// The floor: memcpy of 1000000 samples out of a 4 Mi-sample source.
void BM_MemcpyReference(benchmark::State& state)
{
    std::vector<int16_t> source(size_t{1} << 22, 90), dest(kFonSamples);
    size_t offset = 0;
    for (auto _ : state) {
        std::memcpy(dest.data(), source.data() + offset, kFonSamples * sizeof(int16_t));
        offset = (offset + 1234567) % (source.size() - kFonSamples);
        benchmark::DoNotOptimize(dest.data());
    }
    state.SetBytesProcessed(state.iterations() * kFonSamples * 2);
}
BENCHMARK(BM_MemcpyReference)->Unit(benchmark::kMicrosecond);

/// One status poll (Control code 0), as the acquisition cycle makes them.
void BM_StatusPoll(benchmark::State& state)
{
    IADCDevice* board = startedBoard(3, 8, 8192);
    for (auto _ : state) {
        int32_t word = 0;
        board->Control(adc::kControlStatus, &word);
        benchmark::DoNotOptimize(word);
    }
    board->Release();
}
BENCHMARK(BM_StatusPoll);

/// One radio channel read of 4096 samples.
void BM_GetDataRadio(benchmark::State& state)
{
    IADCDevice* board = startedBoard(3, 8, 8192);
    std::vector<int16_t> dest(4096);
    for (auto _ : state) {
        board->GetData(adc::kSelectFirstInput, dest.data(), 4096, 0);
        benchmark::DoNotOptimize(dest.data());
    }
    board->Release();
}
BENCHMARK(BM_GetDataRadio)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
