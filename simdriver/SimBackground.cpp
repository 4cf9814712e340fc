// Background channels: noise waveforms, the pulse amplitude spectrum and
// the rendering of one acquisition.
#include "simdriver/SimBackground.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

#include <sys/mman.h>

namespace sim {
namespace {

/// What makes one detector channel differ from the others.
struct ChannelModel {
    int baseline;        ///< code of the quiet line
    double noiseSigma;   ///< noise, codes
    double pulseRate;    ///< all pulses, per second of sampled time
    double peak;         ///< most probable amplitude of the single-particle peak
    double width;        ///< width of that peak
    double lowFraction;  ///< share of small pulses (falling part)
    double lowScale;     ///< their exponential scale, codes
    double tailFraction; ///< share of the power-law tail (several particles)
    double tailIndex;    ///< its differential index
};

constexpr std::array<ChannelModel, kBackgroundChannels> kModels{{
    {90, 1.0, 150.0, 70.0, 13.0, 0.30, 12.0, 0.05, 3.2},
    {91, 1.2, 90.0, 64.0, 12.0, 0.35, 14.0, 0.045, 3.3},
    {89, 0.9, 220.0, 78.0, 14.0, 0.28, 11.0, 0.055, 3.1},
    {90, 1.1, 60.0, 62.0, 11.0, 0.32, 13.0, 0.05, 3.2},
}};

/// Sampled shapes of one pulse (peak about 1) at four sampling phases: a
/// fast rise and an exponential fall with a time constant near 1.5 samples.
constexpr int kShapeLength = 7;
constexpr std::array<std::array<float, kShapeLength>, 4> kShapes{{
    {0.25f, 1.00f, 0.62f, 0.33f, 0.16f, 0.07f, 0.00f},
    {0.45f, 0.97f, 0.56f, 0.29f, 0.14f, 0.06f, 0.00f},
    {0.08f, 0.68f, 0.94f, 0.50f, 0.26f, 0.12f, 0.05f},
    {0.04f, 0.52f, 1.00f, 0.58f, 0.30f, 0.15f, 0.06f},
}};

/// Inverse of the amplitude distribution: entry i is the amplitude below
/// which a share (i + 0.5) / kAmplitudeCells of the pulses lie.
constexpr int kAmplitudeCells = 4096;

struct ChannelData {
    WaveformPtr wave;
    std::array<float, kAmplitudeCells> amplitudes{};
};

std::array<ChannelData, kBackgroundChannels> g_channels;

/// Moyal approximation of the Landau density, standardised.
double moyal(double lambda)
{
    return std::exp(-0.5 * (lambda + std::exp(-lambda))) / std::sqrt(2.0 * std::numbers::pi);
}

/// Builds the inverse cumulative amplitude table of a channel: a falling
/// exponential of small pulses, a Landau-like single-particle peak and a
/// power-law tail from the peak on (where the peak hides its onset), mixed by
/// their shares on a fine grid and inverted by linear interpolation.
void makeAmplitudeTable(const ChannelModel& m, std::array<float, kAmplitudeCells>& table)
{
    constexpr double kStep = 0.25;
    // Few pulses pass the ADC's range much: the clipped ones would otherwise
    // pile up, with long flat bottoms, in the top bin of the spectrum.
    constexpr double kTop = 400.0;
    constexpr int kGrid = static_cast<int>(kTop / kStep);
    std::vector<double> low(kGrid), peak(kGrid), tail(kGrid);
    double sumLow = 0, sumPeak = 0, sumTail = 0;
    for (int i = 0; i < kGrid; ++i) {
        const double a = (i + 0.5) * kStep;
        low[i] = std::exp(-a / m.lowScale);
        peak[i] = moyal((a - m.peak) / m.width);
        tail[i] = a < m.peak ? 0.0 : std::pow(a / m.peak, -m.tailIndex);
        sumLow += low[i];
        sumPeak += peak[i];
        sumTail += tail[i];
    }
    const double peakFraction = 1.0 - m.lowFraction - m.tailFraction;
    std::vector<double> cumulative(kGrid + 1, 0.0);
    for (int i = 0; i < kGrid; ++i) {
        const double p = m.lowFraction * low[i] / sumLow + peakFraction * peak[i] / sumPeak
                         + m.tailFraction * tail[i] / sumTail;
        cumulative[i + 1] = cumulative[i] + p;
    }
    const double total = cumulative[kGrid];
    int j = 0;
    for (int cell = 0; cell < kAmplitudeCells; ++cell) {
        const double u = (cell + 0.5) / kAmplitudeCells * total;
        while (j < kGrid - 1 && cumulative[j + 1] < u)
            ++j;
        const double span = cumulative[j + 1] - cumulative[j];
        const double frac = span > 0 ? (u - cumulative[j]) / span : 0.0;
        table[cell] = static_cast<float>((j + frac) * kStep);
    }
}

/// Baseline plus noise, eight samples per 64-bit draw through a noise table.
void makeWaveform(int channel, int16_t* wave)
{
    const ChannelModel& m = kModels[channel];
    int8_t noise[256];
    makeNoiseTable(m.noiseSigma, noise);
    std::array<int16_t, 256> codes{};
    for (int i = 0; i < 256; ++i)
        codes[i] = static_cast<int16_t>(m.baseline + noise[i]);
    Rng rng(0x5EED0000u + static_cast<uint64_t>(channel));
    for (size_t i = 0; i < kBackgroundLength; i += 8) {
        uint64_t r = rng.next();
        for (size_t k = 0; k < 8; ++k, r >>= 8)
            wave[i + k] = codes[r & 0xFF];
    }
}

ChannelData& channelData(int channel)
{
    ChannelData& data = g_channels[static_cast<size_t>(channel)];
    if (!data.wave) {
        data.wave = allocateWaveform(kBackgroundLength);
        makeWaveform(channel, data.wave.get());
        makeAmplitudeTable(kModels[channel], data.amplitudes);
    }
    return data;
}

/// Standard normal quantile by bisection of the complementary error function.
double normalQuantile(double p)
{
    double lo = -10.0, hi = 10.0;
    for (int i = 0; i < 80; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (0.5 * std::erfc(-mid / std::numbers::sqrt2) < p)
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

int backgroundChannel(int32_t boardNo, int input)
{
    const int32_t k = (boardNo > 0 ? boardNo - 1 : 0) * 2 + input;
    return static_cast<int>(k % kBackgroundChannels);
}

const int16_t* backgroundWaveform(int channel) { return channelData(channel).wave.get(); }

double backgroundPulseRate(int channel) { return kModels[static_cast<size_t>(channel)].pulseRate; }

float gainScale(int32_t gain)
{
    return gain > 0 ? static_cast<float>(gain) / kUnitGain : 1.0f;
}

void drawBackgroundPulses(int channel, int32_t samples, double seconds, float scale, Rng& rng,
                          std::vector<PulseEvent>& out)
{
    out.clear();
    if (samples <= kShapeLength)
        return;
    const ChannelData& data = channelData(channel);
    const int64_t n = rng.poisson(backgroundPulseRate(channel) * seconds);
    const uint64_t span = static_cast<uint64_t>(samples - kShapeLength);
    for (int64_t i = 0; i < n; ++i) {
        const uint64_t r = rng.next();
        PulseEvent p;
        p.position = static_cast<int32_t>(rng.below(span));
        p.amplitude = data.amplitudes[r % kAmplitudeCells] * scale;
        p.shape = static_cast<uint32_t>((r >> 32) % kShapes.size());
        out.push_back(p);
    }
}

void copyCircular(const int16_t* wave, size_t length, size_t offset, int16_t* dest, size_t count)
{
    offset %= length;
    while (count > 0) {
        const size_t piece = std::min(count, length - offset);
        std::memcpy(dest, wave + offset, piece * sizeof(int16_t));
        dest += piece;
        count -= piece;
        offset = 0;
    }
}

void renderBackground(int channel, size_t offset, const std::vector<PulseEvent>& pulses,
                      int16_t* dest, size_t count)
{
    copyCircular(backgroundWaveform(channel), kBackgroundLength, offset, dest, count);
    for (const PulseEvent& p : pulses) {
        const auto& shape = kShapes[p.shape];
        for (int k = 0; k < kShapeLength; ++k) {
            const size_t i = static_cast<size_t>(p.position) + static_cast<size_t>(k);
            if (i >= count)
                break;
            const int depth = static_cast<int>(p.amplitude * shape[static_cast<size_t>(k)] + 0.5f);
            dest[i] = static_cast<int16_t>(std::max(kMinCode, dest[i] - depth));
        }
    }
}

WaveformPtr allocateWaveform(size_t n)
{
    constexpr size_t kHugePage = size_t{1} << 21;
    const size_t bytes = (n * sizeof(int16_t) + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, bytes);
    if (!p)
        throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE); // advice only; failure leaves small pages
    return WaveformPtr(static_cast<int16_t*>(p));
}

void makeNoiseTable(double sigma, int8_t table[256])
{
    for (int i = 0; i < 256; ++i) {
        const double v = sigma * normalQuantile((i + 0.5) / 256.0);
        table[i] = static_cast<int8_t>(std::lround(v));
    }
}

} // namespace sim
