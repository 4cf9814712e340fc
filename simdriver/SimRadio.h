#pragma once
// Waveforms of the simulated radio (antenna) channels: a few codes of noise
// around zero with one short broadband pulse of the air shower near the
// trigger position of the recording.
#include <cstddef>
#include <cstdint>

namespace sim {

/// Sample (counted from 1) of a recording where the shower pulse sits.
inline constexpr int32_t kRadioPulseSample = 2577;
/// Samples of the pre-made radio noise waveform (1 Mi).
inline constexpr size_t kRadioNoiseLength = size_t{1} << 20;

/// Makes the shared radio noise waveform if it does not exist yet.
/// Not thread-safe: the caller holds the driver's lock.
void prepareRadioNoise();

/// Writes `count` samples of one antenna channel's recording to `dest`:
/// noise from a window of the shared waveform, plus a pulse near
/// kRadioPulseSample whose amplitude, frequency and phase follow from
/// `seed` and `channel`. Every value stays in -128..127.
void renderRadio(uint64_t seed, int32_t channel, int16_t* dest, size_t count);

} // namespace sim
