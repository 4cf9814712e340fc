#pragma once
// The inner loops of the spectrum commands that run over every bin, written
// without branches so the compiler turns them into vector code. Each gives
// exactly what the plain rule gives (the tests hold them to it).
#include <cstdint>
#include <span>

namespace frames {

/// ScaledCount(counts[i], max) into out[i] for every i of the shorter span:
/// count·100/max rounded to the nearest integer, halves to the even
/// neighbour, a negative count giving 0. max must be 1..32767.
void ScaleBins(std::span<const int16_t> counts, int32_t max, std::span<int32_t> out);

/// Index of the first of the largest counts, or -1 when none is above 0.
int32_t FirstLargest(std::span<const int16_t> counts);

} // namespace frames
