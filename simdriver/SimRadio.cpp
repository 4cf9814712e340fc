// Radio channels: shared noise waveform and the shower pulse.
#include "simdriver/SimRadio.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "simdriver/SimBackground.h"
#include "simdriver/SimRandom.h"

namespace sim {
namespace {

constexpr double kRadioNoiseSigma = 2.0;
/// Half width, in samples, of the stretch the pulse is computed on.
constexpr int kPulseHalfSpan = 20;

WaveformPtr g_radioNoise;

} // namespace

void prepareRadioNoise()
{
    if (g_radioNoise)
        return;
    g_radioNoise = allocateWaveform(kRadioNoiseLength);
    int8_t noise[256];
    makeNoiseTable(kRadioNoiseSigma, noise);
    Rng rng(0xAD10u);
    for (size_t i = 0; i < kRadioNoiseLength; i += 8) {
        uint64_t r = rng.next();
        for (size_t k = 0; k < 8; ++k, r >>= 8)
            g_radioNoise[i + k] = noise[r & 0xFF];
    }
}

void renderRadio(uint64_t seed, int32_t channel, int16_t* dest, size_t count)
{
    prepareRadioNoise();
    Rng rng(seed ^ (0x9E3779B97F4A7C15ull * static_cast<uint64_t>(channel + 1)));
    copyCircular(g_radioNoise.get(), kRadioNoiseLength, rng.below(kRadioNoiseLength), dest, count);

    // A Gaussian-enveloped wave packet: short and broadband.
    const double amplitude = 30.0 + 40.0 * rng.uniform();
    const double frequency = 0.06 + 0.14 * rng.uniform(); // cycles per sample
    const double phase = 2.0 * std::numbers::pi * rng.uniform();
    const double width = 3.0 + 2.0 * rng.uniform();
    const int centre = kRadioPulseSample - 1 + static_cast<int>(rng.below(7)) - 3;
    for (int t = centre - kPulseHalfSpan; t <= centre + kPulseHalfSpan; ++t) {
        if (t < 0 || static_cast<size_t>(t) >= count)
            continue;
        const double dt = t - centre;
        const double v = amplitude * std::exp(-0.5 * dt * dt / (width * width))
                         * std::cos(2.0 * std::numbers::pi * frequency * dt + phase);
        const long x = dest[t] + std::lround(v);
        dest[t] = static_cast<int16_t>(std::clamp<long>(x, kMinCode, kMaxCode));
    }
}

} // namespace sim
