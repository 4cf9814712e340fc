// The running smoothing of the frame viewer over 3 and 5 points.
#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <random>

#include "mainwindow/Smoothing.h"

namespace {

using Series = std::array<int32_t, kFonPoints>;

Series Zeros()
{
    return Series{};
}

// Plain reference: the running mean with exact integer rounding (no floating
// point), on 64-bit sums. A third or a fifth of an integer is never half-way.
void ReferenceRunning(Series& a, int window)
{
    const int half = window / 2;
    for (int j = half; j < kFonPoints - half; ++j) {
        int64_t sum = 0;
        for (int d = -half; d <= half; ++d)
            sum += a[j + d];
        // nearest integer of sum / window for either sign
        const int64_t q = sum >= 0 ? (2 * sum + window) / (2 * window) : -((-2 * sum + window) / (2 * window));
        a[j] = static_cast<int32_t>(q);
    }
}

} // namespace

TEST(Smoothing, Window3IsRunningNotCentred)
{
    Series a = Zeros();
    a[2] = 3; // 0, 0, 3, 0, 0, 0 ...
    Smooth3(a);
    // a centred mean of the raw values would give 0, 1, 1, 1, 0
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[2], 1);
    EXPECT_EQ(a[3], 0);
    for (int i = 3; i < kFonPoints; ++i)
        EXPECT_EQ(a[i], 0) << "point " << i + 1;
}

TEST(Smoothing, Window5IsRunningNotCentred)
{
    Series a = Zeros();
    a[4] = 10; // 0, 0, 0, 0, 10, 0 ...
    Smooth5(a);
    const int expected[] = {0, 0, 2, 2, 3, 1, 1, 0, 0, 0};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(a[i], expected[i]) << "point " << i + 1;
    for (int i = 10; i < kFonPoints; ++i)
        EXPECT_EQ(a[i], 0) << "point " << i + 1;
}

TEST(Smoothing, ConstantSeriesUnchanged)
{
    for (int32_t v : {0, 7, -13, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
        Series a;
        a.fill(v);
        Series b = a;
        Smooth3(a);
        Smooth5(b);
        for (int i = 0; i < kFonPoints; ++i) {
            ASSERT_EQ(a[i], v) << "window 3, point " << i + 1;
            ASSERT_EQ(b[i], v) << "window 5, point " << i + 1;
        }
    }
}

TEST(Smoothing, EndPointsKeepRawValues)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> dist(-1000000, 1000000);
    for (int round = 0; round < 50; ++round) {
        Series raw;
        for (auto& v : raw)
            v = dist(rng);
        Series a = raw, b = raw;
        Smooth3(a);
        Smooth5(b);
        EXPECT_EQ(a[0], raw[0]);
        EXPECT_EQ(a[599], raw[599]);
        EXPECT_EQ(b[0], raw[0]);
        EXPECT_EQ(b[1], raw[1]);
        EXPECT_EQ(b[598], raw[598]);
        EXPECT_EQ(b[599], raw[599]);
    }
}

TEST(Smoothing, LargeCountsDoNotOverflow)
{
    // max, min, max, min, ...: (2^31-1 - 2^31 + 2^31-1) / 3 = 715827882 exactly,
    // then (715827882 + 2^31-1 - 2^31) / 3 = 238609293.67 -> 238609294.
    Series a;
    for (int i = 0; i < kFonPoints; ++i)
        a[i] = i % 2 == 0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
    Smooth3(a);
    EXPECT_EQ(a[1], 715827882);
    EXPECT_EQ(a[2], 238609294);

    // five times the largest count sums far past 32 bits
    Series b;
    b.fill(std::numeric_limits<int32_t>::max());
    b[300] = 0; // (4·(2^31-1)) / 5 = 1717986917.6 -> 1717986918 at point 299 (index 298)
    Smooth5(b);
    EXPECT_EQ(b[298], 1717986918);
}

TEST(Smoothing, MatchesExactIntegerReferenceOnRandomSeries)
{
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int32_t> small(0, 50);
    std::uniform_int_distribution<int32_t> full(std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max());
    for (int round = 0; round < 400; ++round) {
        Series raw;
        for (auto& v : raw)
            v = round % 2 == 0 ? small(rng) : full(rng);
        for (int window : {3, 5}) {
            Series fast = raw, ref = raw;
            if (window == 3)
                Smooth3(fast);
            else
                Smooth5(fast);
            ReferenceRunning(ref, window);
            ASSERT_EQ(fast, ref) << "round " << round << ", window " << window;
        }
    }
}

TEST(Smoothing, NegatedSeriesGivesNegatedResult)
{
    // No ties, so rounding is symmetric about zero.
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> dist(-100000, 100000);
    for (int round = 0; round < 50; ++round) {
        Series a;
        for (auto& v : a)
            v = dist(rng);
        Series n = a;
        for (auto& v : n)
            v = -v;
        Smooth3(a);
        Smooth3(n);
        for (int i = 0; i < kFonPoints; ++i)
            ASSERT_EQ(n[i], -a[i]);
    }
}
