// Timing of the viewer's and the spectrum window's number work: integral
// spectrum with its fit, peak centre, the sample listings and the smoothing.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "mainwindow/Listing.h"
#include "mainwindow/Smoothing.h"
#include "frames/IntegralSpectrum.h"
#include "frames/PeakCentre.h"
#include "spectrum/SpectrumPresenter.h"

namespace {

// A falling background with a peak near bin 40, like a detector spectrum.
std::array<int16_t, kFonBins> TypicalSpectrum()
{
    std::array<int16_t, kFonBins> s{};
    for (int bin = 1; bin <= kFonBins; ++bin) {
        const double falling = 20000.0 * std::pow(bin / 10.0, -2.5);
        const double peak = 3000.0 * std::exp(-0.5 * std::pow((bin - 40) / 6.0, 2));
        s[bin - 1] = static_cast<int16_t>(std::min(32767.0, falling + peak));
    }
    return s;
}

void BM_IntegralSpectrum(benchmark::State& state)
{
    const auto s = TypicalSpectrum();
    std::array<float, kFonBins> logIntegr{};
    for (auto _ : state) { // as the window runs it: the numbers and their view
        frames::IntegralResult r = frames::IntegralSpectrum(s, 10, 225, logIntegr);
        spectrum::IntegralView v = spectrum::PresentIntegral(s, r);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_IntegralSpectrum);

/// The numbers alone, as a scan over many frames asks for them: a fresh
/// LogIntegr for each spectrum.
void BM_IntegralSpectrumNumbers(benchmark::State& state)
{
    const auto s = TypicalSpectrum();
    for (auto _ : state) {
        std::array<float, kFonBins> logIntegr{};
        frames::IntegralResult r = frames::IntegralSpectrum(s, 10, 225, logIntegr);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_IntegralSpectrumNumbers);

void BM_PeakCentre(benchmark::State& state)
{
    const auto s = TypicalSpectrum();
    for (auto _ : state) { // as the window runs it: the numbers and their view
        frames::CentreResult r = frames::PeakCentre(s, 25, 225);
        spectrum::CentreView v = spectrum::PresentCentre(r);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_PeakCentre);

void BM_PeakCentreNumbers(benchmark::State& state)
{
    const auto s = TypicalSpectrum();
    for (auto _ : state) {
        frames::CentreResult r = frames::PeakCentre(s, 10, 225);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_PeakCentreNumbers);

void BM_MNK(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = static_cast<float>(std::log10(20.0 + i));
        y[i] = 4.0f - 1.3f * x[i];
    }
    float a = 0, b = 0;
    for (auto _ : state) {
        frames::MNK(x.data(), y.data(), n, a, b);
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
    }
}
BENCHMARK(BM_MNK)->Arg(3)->Arg(200);

void BM_FonListingText(benchmark::State& state)
{
    std::array<TPointTime, kFonPoints> times{};
    std::array<int32_t, kFonPoints> c{};
    for (int i = 0; i < kFonPoints; ++i) {
        times[i] = {12, static_cast<uint16_t>(i % 60), static_cast<uint16_t>(i * 7 % 60), static_cast<uint16_t>(i)};
        c[i] = i * 13;
    }
    for (auto _ : state) {
        QString text = FonListingText(times, c, c, c, c);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FonListingText)->Unit(benchmark::kMicrosecond);

void BM_RadListingText(benchmark::State& state)
{
    std::vector<int16_t> samples(kRadSamples);
    for (int i = 0; i < kRadSamples; ++i)
        samples[i] = static_cast<int16_t>((i * 37) % 256 - 128);
    const std::array<std::span<const int16_t>, kRadChannels> ch{samples, samples, samples,
                                                               samples, samples, samples};
    for (auto _ : state) {
        QString text = RadListingText(ch);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_RadListingText)->Unit(benchmark::kMicrosecond);

void BM_Smooth5(benchmark::State& state)
{
    std::array<int32_t, kFonPoints> raw{};
    for (int i = 0; i < kFonPoints; ++i)
        raw[i] = (i * 7919) % 1000;
    for (auto _ : state) {
        auto a = raw;
        Smooth5(a);
        benchmark::DoNotOptimize(a);
    }
}
BENCHMARK(BM_Smooth5);

} // namespace

BENCHMARK_MAIN();
