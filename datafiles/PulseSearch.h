#pragma once

// Pulse search of one background channel.
//
// The pulse rule: number the samples x[1] ... x[n]; last = 1. For i = 2 ... n-1
// in increasing order, sample i is a pulse when
//   90 - x[i] > limit (strictly), x[i] <= x[i+1], x[i] <= x[i-1], i - last > minGap.
// For each pulse the count grows by 1, last = i and spectrum bin 90 - x[i]
// grows by 1. Samples 1 and n are never tested.
//
// Beyond the bare rule:
// - a spectrum bin that reaches 32767 stays at 32767 (it never wraps negative);
// - a pulse whose amplitude 90 - x has no bin (outside 1 ... 256, e.g. with a
//   negative limit or codes below -166) is counted, and nothing is written
//   outside the spectrum;
// - the threshold test is exact for every int16 code and every int32 limit.

#include <cstdint>
#include <span>

namespace pulse {

/// The amplitude of a sample is this constant minus the sample code.
inline constexpr int32_t kAmplitudeBase = 90;
/// Number of spectrum bins; bin A (1 ... 256) lives at spectrum[A - 1].
inline constexpr int kSpectrumBins = 256;
/// Largest value a spectrum bin holds; it saturates there.
inline constexpr int16_t kBinMax = 32767;

/// The implementations of the search; the vector ones exist only on x86-64.
enum class PulseKernel { Plain, Sse2, Avx2, Avx512 };

/// Searches x for pulses deeper than limit with the fastest kernel this CPU
/// runs. Returns the pulse count and adds each pulse into its spectrum bin
/// (saturating at 32767). Inputs shorter than 3 samples count nothing.
/// x.size() must stay below 2^31.
int32_t SearchPulses(std::span<const int16_t> x, int32_t limit, int32_t minGap,
                     std::span<int16_t, kSpectrumBins> spectrum);

/// The same search as a plain loop written straight from the pulse rule; the
/// reference the fast kernels are checked against.
int32_t SearchPulsesPlain(std::span<const int16_t> x, int32_t limit, int32_t minGap,
                          std::span<int16_t, kSpectrumBins> spectrum);

/// Runs the search with the given kernel. The kernel must be available
/// (see PulseKernelAvailable); an unavailable one falls back to Plain.
int32_t SearchPulsesWith(PulseKernel kernel, std::span<const int16_t> x, int32_t limit,
                         int32_t minGap, std::span<int16_t, kSpectrumBins> spectrum);

/// True when the kernel is compiled in and this CPU can run it.
bool PulseKernelAvailable(PulseKernel kernel);

/// The kernel SearchPulses dispatches to on this CPU.
PulseKernel BestPulseKernel();

/// A short name of the kernel ("plain", "sse2", "avx2", "avx512").
const char* PulseKernelName(PulseKernel kernel);

} // namespace pulse
