#pragma once
// Running smoothing of a frame's count series over 3 or 5 points, as drawn on
// the smoothed background chart.
#include <cstdint>
#include <span>

#include "datafiles/FonKadr.h"

/// Running (recursive) smoothing over 3 points, in place, walking upward:
/// for point j = 2..599 the value becomes the integer nearest to the mean of
/// points j-1, j and j+1, where point j-1 already holds its smoothed value.
/// Points 1 and 600 keep their raw values. The sum is exact (64-bit), so any
/// int32 counts are safe; a third of an integer is never half-way, so the
/// nearest integer is unique.
void Smooth3(std::span<int32_t, kFonPoints> a);

/// Running (recursive) smoothing over 5 points, in place, walking upward:
/// for point j = 3..598 the value becomes the integer nearest to the mean of
/// points j-2..j+2, where points j-2 and j-1 already hold smoothed values.
/// Points 1, 2, 599 and 600 keep their raw values.
void Smooth5(std::span<int32_t, kFonPoints> a);
