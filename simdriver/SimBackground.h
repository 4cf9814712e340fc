#pragma once
// Waveforms of the simulated background (scintillation detector) channels.
//
// Each of the four channels owns one long baseline-plus-noise waveform made
// once per process; an acquisition is a window of it at a random offset, with
// the acquisition's own scintillator pulses drawn at Start and laid over the
// window when it is read. So reading costs a copy plus a handful of pulses,
// and every acquisition shows fresh pulses with fresh amplitudes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "simdriver/SimRandom.h"

namespace sim {

/// Samples of each channel's pre-made noise waveform (4 Mi).
inline constexpr size_t kBackgroundLength = size_t{1} << 22;
/// Number of distinct background channels (2 boards x 2 inputs).
inline constexpr int kBackgroundChannels = 4;
/// Lowest code a board can deliver; deeper pulses are clipped here.
inline constexpr int kMinCode = -128;
/// Highest code a board can deliver.
inline constexpr int kMaxCode = 127;

/// One scintillator pulse of an acquisition.
struct PulseEvent {
    int32_t position;  ///< index of the pulse's first sample in the acquisition
    float amplitude;   ///< depth below the baseline, in codes, before clipping
    uint32_t shape;    ///< which sampled pulse shape (sampling phase)
};

/// Background channel 0..3 served by input 0/1 of the board numbered
/// `boardNo` (boards 1 and 2 carry channels 0-1 and 2-3).
int backgroundChannel(int32_t boardNo, int input);

/// The channel's noise waveform, kBackgroundLength samples; made on first use.
/// Not thread-safe: the caller holds the driver's lock.
const int16_t* backgroundWaveform(int channel);

/// Mean pulse rate of the channel, pulses per second of sampled time.
double backgroundPulseRate(int channel);

/// Gain at which the pulse amplitudes are as the channel's model gives them.
inline constexpr int32_t kUnitGain = 100;

/// Factor of the pulse amplitudes of an input set up with `gain`:
/// gain / kUnitGain. A gain of 0 or less (a parameter record whose gain was
/// never filled in) leaves the amplitudes as at kUnitGain.
float gainScale(int32_t gain);

/// Draws the pulses of one acquisition of `samples` samples lasting
/// `seconds` of sampled time into `out` (cleared first), their amplitudes
/// multiplied by `scale` (see gainScale).
void drawBackgroundPulses(int channel, int32_t samples, double seconds, float scale, Rng& rng,
                          std::vector<PulseEvent>& out);

/// Writes `count` samples of the channel to `dest`: the waveform from
/// `offset` on (wrapping round), with `pulses` laid over and clipped.
void renderBackground(int channel, size_t offset, const std::vector<PulseEvent>& pulses,
                      int16_t* dest, size_t count);

/// Copies `count` samples of a circular waveform of `length` samples from
/// `offset` on, in as few pieces as the wrap-around needs.
void copyCircular(const int16_t* wave, size_t length, size_t offset, int16_t* dest, size_t count);

/// Frees a waveform made by allocateWaveform.
struct WaveformFree {
    void operator()(int16_t* p) const { std::free(p); }
};
using WaveformPtr = std::unique_ptr<int16_t[], WaveformFree>;

/// Uninitialised storage for `n` samples, aligned to and advised for huge
/// pages where the system offers them (a quarter of the set-up time of
/// small pages goes to page faults). Throws std::bad_alloc on failure.
WaveformPtr allocateWaveform(size_t n);

/// Fills `table` with 256 noise values of standard deviation `sigma` (the
/// rounded normal quantiles of the 256 equal-probability cells), so that
/// one random byte indexes one noise value.
void makeNoiseTable(double sigma, int8_t table[256]);

} // namespace sim
