#include "mainwindow/Smoothing.h"

#include <cmath>

namespace {

// Running mean over `window` points (odd), in place, upward; ends untouched.
// Integer sum, division in floating point, nearest integer.
void SmoothRunning(std::span<int32_t> a, int window)
{
    const int half = window / 2;
    const int n = static_cast<int>(a.size());
    for (int j = half; j < n - half; ++j) {
        int64_t sum = 0;
        for (int d = -half; d <= half; ++d)
            sum += a[j + d];
        a[j] = static_cast<int32_t>(std::llround(static_cast<double>(sum) / window));
    }
}

} // namespace

void Smooth3(std::span<int32_t, kFonPoints> a)
{
    SmoothRunning(a, 3);
}

void Smooth5(std::span<int32_t, kFonPoints> a)
{
    SmoothRunning(a, 5);
}
