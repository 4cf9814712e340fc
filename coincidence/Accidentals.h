#pragma once
// How many coincidences chance alone makes: expected from the stations'
// event rates, and measured by the same search with one station's events
// shifted by whole seconds (a shift far beyond any shower's spread leaves
// only chance coincidences).
#include <cstdint>
#include <span>
#include <vector>

#include "coincidence/Events.h"

namespace coinc {

/// Rate of accidental coincidences of n stations with rates `rates` (per
/// second) and window `windowSeconds`: n · w^(n−1) · r1 · … · rn, the rate at
/// which one event of each falls within w after the first of them
/// (r1 · r2 · 2w for a pair).
double AccidentalRate(std::span<const double> rates, double windowSeconds);

/// Expected accidental coincidences of exactly k stations, k = 0..N (entries
/// 0 and 1 are zero), over `seconds`: the sum of AccidentalRate over the
/// k-subsets, k · w^(k−1) · e_k(r), with e_k the elementary symmetric sum.
std::vector<double> ExpectedByMultiplicity(std::span<const double> rates, double windowSeconds, double seconds);

/// Each station's event rate per second over the span of all events
/// (first to last instant of any station); zeros when the span is empty.
std::vector<double> RatesOf(std::span<const StationEvents> stations, double* seconds = nullptr);

/// Coincidences of exactly k stations, k = 0..N, found by the same search
/// with station i's events moved by i·s whole seconds, averaged over
/// s = ±1 … ±`shifts`: no two stations keep their true alignment, so only
/// chance coincidences remain.
std::vector<double> EmpiricalByMultiplicity(std::span<const StationEvents> stations, int64_t windowNs,
                                            int shifts = 5);

} // namespace coinc
