#include "frames/SpectrumKernels.h"

#include <algorithm>

// Each kernel is built twice, for the x86-64 baseline and for AVX2 (twice
// the bins per instruction); the loader picks the one the processor runs.
// Both give the same numbers: integer work and one float product that the
// baseline and AVX2 round alike (no fused multiply-add in either).
#if defined(__x86_64__)
#define VFON_KERNEL_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define VFON_KERNEL_CLONES
#endif

namespace frames {

VFON_KERNEL_CLONES void ScaleBins(std::span<const int16_t> counts, int32_t max, std::span<int32_t> out)
{
    // Division with a remainder: the quotient guessed in single precision
    // (count·100 < 2^22 times a rounded reciprocal, within one of the
    // truth) and corrected through the remainder in integers. Masks in
    // place of branches, so the compiler keeps a vector register of bins
    // at a time.
    const float inv = 1.0f / static_cast<float>(max);
    const size_t n = std::min(counts.size(), out.size());
    for (size_t i = 0; i < n; ++i) {
        const int32_t num = std::max<int32_t>(counts[i], 0) * 100;
        int32_t q = static_cast<int32_t>(static_cast<float>(num) * inv);
        int32_t rest = num - q * max;
        const int32_t over = -static_cast<int32_t>(rest >= max); // all ones when the guess is one short
        q -= over;
        rest -= over & max;
        const int32_t under = -static_cast<int32_t>(rest < 0); // all ones when it is one over
        q += under;
        rest += under & max;
        const int32_t up = static_cast<int32_t>(2 * rest > max) | (static_cast<int32_t>(2 * rest == max) & q);
        out[i] = q + (up & 1);
    }
}

VFON_KERNEL_CLONES int32_t FirstLargest(std::span<const int16_t> counts)
{
    // The largest first (a reduction the compiler vectorises), then where.
    int16_t largest = 0;
    for (const int16_t c : counts)
        largest = std::max(largest, c);
    if (largest == 0)
        return -1;
    return static_cast<int32_t>(std::find(counts.begin(), counts.end(), largest) - counts.begin());
}

} // namespace frames
