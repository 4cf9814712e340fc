#pragma once
// Driving runs of the main window in tests: scripted background channels
// with a known number of pulses per read, short reads, and ticks.
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/RunTypes.h"

class TForm1;
namespace acq { class RunModel; }

namespace testing_support {

/// Samples per background read in tests (the buffer and the pulse rule are
/// the same; only the reads are short so a frame of 15000 cycles is quick).
inline constexpr int32_t kTestSamples = 1000;

/// A read of `length` samples on baseline 90 holding `pulses` single-sample
/// minima of code `code` (amplitude 90 − code), evenly spaced, none at the ends.
std::vector<int16_t> PulsePattern(int pulses, int length = kTestSamples, int16_t code = 40);

/// Scripts the four background channels with 1, 2, 3 and 4 pulses per read
/// times `scale`.
void ScriptBackground(int scale = 1);

/// Presses "Start" and shortens the reads; the run is going afterwards.
void StartRun(TForm1& f);
/// Starts the model's run and shortens the reads.
void StartRun(acq::RunModel& run, const acq::RunSettings& settings = acq::DefaultRunSettings());
/// Runs `n` ticks of the run, then waits for the recorder.
void Ticks(acq::RunModel& run, int n);
void Ticks(TForm1& f, int n);
/// Ticks until `points` more points are stored (25 cycles each), then
/// waits for the recorder.
void Points(acq::RunModel& run, int points);
void Points(TForm1& f, int points);

/// The file's bytes.
std::vector<char> FileBytes(const std::string& path);

} // namespace testing_support
