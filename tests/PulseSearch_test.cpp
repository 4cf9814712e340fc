// Pulse search of one background channel: the pulse rule's cases, run through
// every kernel, and every kernel against the plain loop on random inputs.

#include "datafiles/PulseSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

using pulse::PulseKernel;

namespace {

using Spectrum = std::array<int16_t, pulse::kSpectrumBins>;
using Samples = std::vector<int16_t>;

constexpr int16_t kBackground = 90; // amplitude 0: never a pulse for limits >= 0

/// Value of amplitude bin A (1 ... 256).
int16_t Bin(const Spectrum& s, int amplitude)
{
    return s[static_cast<size_t>(amplitude - 1)];
}

/// A buffer of n background samples with pattern written from index at.
Samples Embedded(size_t n, size_t at, const Samples& pattern)
{
    Samples x(n, kBackground);
    std::copy(pattern.begin(), pattern.end(), x.begin() + static_cast<std::ptrdiff_t>(at));
    return x;
}

// Every kernel, the plain loop included; kernels this CPU lacks are skipped.
class PulseKernelTest : public ::testing::TestWithParam<PulseKernel> {
protected:
    void SetUp() override
    {
        if (!pulse::PulseKernelAvailable(GetParam()))
            GTEST_SKIP() << pulse::PulseKernelName(GetParam()) << " not available on this CPU";
    }

    int32_t Search(const Samples& x, int32_t limit, Spectrum& s, int32_t minGap = 0)
    {
        return pulse::SearchPulsesWith(GetParam(), x, limit, minGap, s);
    }
};

// Positions swept by the embedding tests: both ends and the edges of 16-,
// 32- and 64-sample blocks, seen from a 1-sample offset of the vector loops.
std::vector<size_t> SweepPositions(size_t n, size_t patternLength)
{
    std::vector<size_t> at;
    for (size_t p = 0; p + patternLength <= n; ++p)
        if (p < 5 || p + patternLength + 5 > n || (p % 16) <= 2 || (p % 16) >= 14)
            at.push_back(p);
    return at;
}

// ---------------------------------------------------------------------------
// The pulse rule's own cases.

TEST_P(PulseKernelTest, LimitIsStrict)
{
    // Limit 14: code 75 (amplitude 15) counts, code 76 (amplitude 14) does not.
    for (size_t at : SweepPositions(200, 1)) {
        SCOPED_TRACE(at);
        const bool inside = at != 0 && at != 199;
        Spectrum s{};
        EXPECT_EQ(Search(Embedded(200, at, {75}), 14, s), inside ? 1 : 0);
        EXPECT_EQ(Bin(s, 15), inside ? 1 : 0);
        Spectrum t{};
        EXPECT_EQ(Search(Embedded(200, at, {76}), 14, t), 0);
        EXPECT_EQ(t, Spectrum{});
    }
}

TEST_P(PulseKernelTest, FlatBottomCountsEverySample)
{
    Spectrum s{};
    EXPECT_EQ(Search({50, 40, 40, 50}, 14, s), 2);
    EXPECT_EQ(Bin(s, 50), 2);
    for (size_t at : SweepPositions(300, 4)) {
        if (at == 0 || at + 4 == 300)
            continue;
        SCOPED_TRACE(at);
        Spectrum e{};
        EXPECT_EQ(Search(Embedded(300, at, {50, 40, 40, 50}), 14, e), 2);
        Spectrum expected{};
        expected[49] = 2;
        EXPECT_EQ(e, expected);
    }
}

TEST_P(PulseKernelTest, MonotonicRunsHoldNoPulse)
{
    Samples falling(3000), rising(3000);
    for (size_t i = 0; i < falling.size(); ++i) {
        falling[i] = static_cast<int16_t>(1000 - static_cast<int>(i));
        rising[i] = static_cast<int16_t>(-2000 + static_cast<int>(i));
    }
    Spectrum s{};
    EXPECT_EQ(Search(falling, 0, s), 0);
    EXPECT_EQ(Search(rising, 0, s), 0);
    EXPECT_EQ(s, Spectrum{});
}

TEST_P(PulseKernelTest, FlatStepInsideFallingRunCounts)
{
    Spectrum s{};
    EXPECT_EQ(Search({50, 40, 40, 30}, 14, s), 1); // the first 40; 30 is the last sample
    EXPECT_EQ(Bin(s, 50), 1);

    // A long falling run with one flat step at every position of the sweep.
    for (size_t at : SweepPositions(400, 2)) {
        if (at == 0 || at + 2 == 400)
            continue;
        SCOPED_TRACE(at);
        Samples x(400);
        int v = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            x[i] = static_cast<int16_t>(v);
            if (i != at)
                --v; // x[at + 1] == x[at]
        }
        Spectrum e{};
        EXPECT_EQ(Search(x, -100000, e), 1);
        Spectrum expected{};
        const int amplitude = 90 - x[at];
        if (amplitude >= 1 && amplitude <= 256)
            expected[static_cast<size_t>(amplitude - 1)] = 1;
        EXPECT_EQ(e, expected);
    }
}

TEST_P(PulseKernelTest, FirstAndLastSamplesNeverCount)
{
    Spectrum s{};
    EXPECT_EQ(Search({}, 0, s), 0);
    EXPECT_EQ(Search({-100}, 0, s), 0);
    EXPECT_EQ(Search({-100, -100}, 0, s), 0);
    EXPECT_EQ(Search({-100, 90, -100}, 0, s), 0);
    for (size_t n : {3u, 64u, 65u, 66u, 129u, 1000u}) {
        SCOPED_TRACE(n);
        Samples x(n - 2, 80);
        x.insert(x.begin(), -100);
        x.push_back(-100);
        // Inside, only the plateau of 80s: every inner sample except the two
        // beside the deep ends (80 > -100) is a minimum.
        const int32_t inner = n >= 5 ? static_cast<int32_t>(n) - 4 : 0;
        Spectrum e{};
        EXPECT_EQ(Search(x, 0, e), inner);
        EXPECT_EQ(Bin(e, 190), 0);
        EXPECT_EQ(Bin(e, 10), inner);
    }
}

// ---------------------------------------------------------------------------
// Mended faults: bins saturate, amplitudes without a bin, extreme inputs.

TEST_P(PulseKernelTest, BinsSaturateAt32767)
{
    // 20 separate pulses of amplitude 50 into a bin that holds 32760.
    Samples x(500, kBackground);
    for (size_t k = 0; k < 20; ++k)
        x[10 + 23 * k] = 40;
    Spectrum s{};
    s[49] = 32760;
    s[48] = 32767;
    EXPECT_EQ(Search(x, 14, s), 20);
    EXPECT_EQ(Bin(s, 50), 32767);
    EXPECT_EQ(Bin(s, 49), 32767);

    // 100000 pulses of one amplitude into an empty bin; a second search adds nothing.
    Samples flat(100002, 40);
    Spectrum t{};
    EXPECT_EQ(Search(flat, 14, t), 100000);
    EXPECT_EQ(Search(flat, 14, t), 100000);
    Spectrum expected{};
    expected[49] = 32767;
    EXPECT_EQ(t, expected);
}

TEST_P(PulseKernelTest, AmplitudesWithoutBinCountButWriteNothingOutside)
{
    constexpr int16_t kSentinel = 0x5A5A;
    constexpr size_t kGuard = 32;
    std::array<int16_t, pulse::kSpectrumBins + 2 * kGuard> guarded;
    guarded.fill(kSentinel);
    std::span<int16_t, pulse::kSpectrumBins> s(guarded.data() + kGuard, pulse::kSpectrumBins);
    std::fill(s.begin(), s.end(), int16_t{0});

    // Isolated minima between 32767 peaks, each at a block edge or not.
    const std::vector<int16_t> codes = {95, 90, 89, -166, -167, -200, -32768, 200, 32766};
    Samples x(4000, 32767);
    std::vector<size_t> at;
    for (size_t k = 0; k < codes.size(); ++k) {
        at.push_back(63 + 64 * k * 3 + (k % 3));
        x[at.back()] = codes[k];
    }
    const int32_t count = pulse::SearchPulsesWith(GetParam(), x, -40000, 0, s);
    // Limit -40000: every minimum passes; the 32767 plateau is also all minima.
    int32_t plateau = 0;
    for (size_t i = 1; i + 1 < x.size(); ++i)
        plateau += x[i] == 32767 && x[i - 1] == 32767 && x[i + 1] == 32767;
    EXPECT_EQ(count, plateau + static_cast<int32_t>(codes.size()));
    EXPECT_EQ(s[0], 1);   // code 89, amplitude 1
    EXPECT_EQ(s[255], 1); // code -166, amplitude 256
    EXPECT_EQ(std::count(s.begin(), s.end(), int16_t{0}), 254);
    for (size_t k = 0; k < kGuard; ++k) {
        EXPECT_EQ(guarded[k], kSentinel);
        EXPECT_EQ(guarded[kGuard + pulse::kSpectrumBins + k], kSentinel);
    }
}

TEST_P(PulseKernelTest, ExtremeLimitsAndCodes)
{
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const Samples top(200, 32767);     // amplitude -32677 everywhere
    const Samples bottom(200, -32768); // amplitude 32858 everywhere
    const int32_t all = 198;
    struct Case {
        const Samples* x;
        int32_t limit;
        int32_t expected;
    };
    const Case cases[] = {
        {&top, kMin, all},       {&top, -32678, all}, {&top, -32677, 0},
        {&top, kMax, 0},         {&bottom, kMin, all}, {&bottom, 32857, all},
        {&bottom, 32858, 0},     {&bottom, kMax, 0},   {&bottom, 0, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.x->front() << " limit " << c.limit);
        Spectrum s{};
        EXPECT_EQ(Search(*c.x, c.limit, s), c.expected);
        EXPECT_EQ(s, Spectrum{}); // neither amplitude has a bin
    }
}

TEST_P(PulseKernelTest, MinGapFollowsTheRule)
{
    // 1-based: flat bottom at samples 2 ... 6, then one at 9, then at 11.
    const Samples x = {90, 40, 40, 40, 40, 40, 90, 90, 50, 90, 60, 90};
    struct Case {
        int32_t gap;
        int32_t count;
    };
    // gap 0: 2,3,4,5,6,9,11. gap 1: 3,5,9,11 (2 - 1 = 1 is not > 1).
    // gap 2: 4,9 (11 - 9 = 2 is not > 2). gap 7: 9 (9 - 1 = 8). gap 8: 11 only.
    for (Case c : {Case{0, 7}, Case{-5, 7}, Case{std::numeric_limits<int32_t>::min(), 7},
                   Case{1, 4}, Case{2, 2}, Case{7, 1}, Case{8, 1}, Case{10, 0},
                   Case{std::numeric_limits<int32_t>::max(), 0}}) {
        SCOPED_TRACE(c.gap);
        Spectrum s{};
        EXPECT_EQ(Search(x, 14, s, c.gap), c.count);
        EXPECT_EQ(pulse::SearchPulsesPlain(x, 14, c.gap, s), c.count);
    }
    Spectrum s{};
    Search(x, 14, s, 2);
    Spectrum expected{};
    expected[49] = 1; // sample 4, amplitude 50
    expected[39] = 1; // sample 9, amplitude 40
    EXPECT_EQ(s, expected);
}

// ---------------------------------------------------------------------------
// Every kernel against the plain loop on random inputs.

/// Random test data: a mix of realistic channels, noise, ties and extremes.
class RandomChannel {
public:
    explicit RandomChannel(uint32_t seed) : rng_(seed) {}

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    int32_t Limit()
    {
        switch (Uniform(0, 5)) {
        case 0: return Uniform(-300, 300);
        case 1: return Uniform(0, 40);
        case 2: return std::numeric_limits<int32_t>::min() + Uniform(0, 2);
        case 3: return std::numeric_limits<int32_t>::max() - Uniform(0, 2);
        case 4: return Uniform(-33000, 33000);
        default: return static_cast<int32_t>(rng_());
        }
    }

    Samples Fill(size_t n)
    {
        Samples x(n);
        const int kind = Uniform(0, 4);
        const int base = Uniform(-200, 200);
        const int noise = Uniform(0, 6);
        for (size_t i = 0; i < n; ++i) {
            switch (kind) {
            case 0: // baseline with noise
                x[i] = Clamp(base + Uniform(-noise, noise));
                break;
            case 1: // three levels only: many ties
                x[i] = Clamp(base + Uniform(0, 2));
                break;
            case 2: // full int16 range
                x[i] = static_cast<int16_t>(Uniform(-32768, 32767));
                break;
            case 3: // zigzag: a minimum every other sample
                x[i] = Clamp(base + ((i & 1) ? 10 : -10) + Uniform(-noise, noise));
                break;
            default: // constant
                x[i] = Clamp(base);
                break;
            }
        }
        // Pulses: random widths and depths, half of them at block edges.
        const int pulses = n == 0 ? 0 : Uniform(0, 1 + static_cast<int>(n / 50));
        for (int k = 0; k < pulses; ++k) {
            size_t at = static_cast<size_t>(Uniform(0, static_cast<int>(n) - 1));
            if (Uniform(0, 1) == 0)
                at = std::min(n - 1, (at & ~size_t{15}) + static_cast<size_t>(Uniform(0, 2)) - 1);
            const int depth = Uniform(1, 300);
            const int width = Uniform(1, 6);
            for (int w = 0; w < width && at + static_cast<size_t>(w) < n; ++w)
                x[at + static_cast<size_t>(w)] =
                    Clamp(x[at + static_cast<size_t>(w)] - depth + Uniform(-2, 2) * (w > 0));
        }
        // Sometimes a deep sample at either end.
        if (n > 0 && Uniform(0, 3) == 0)
            x.front() = Clamp(base - 500);
        if (n > 0 && Uniform(0, 3) == 0)
            x.back() = Clamp(base - 500);
        return x;
    }

    Spectrum StartSpectrum()
    {
        Spectrum s{};
        const int kind = Uniform(0, 2);
        for (int16_t& b : s)
            b = kind == 0 ? 0
                : kind == 1 ? static_cast<int16_t>(Uniform(32740, 32767))
                            : static_cast<int16_t>(Uniform(-32768, 32767));
        return s;
    }

private:
    static int16_t Clamp(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

    std::mt19937 rng_;
};

/// Compares the kernel with the plain loop on x; the data start at offset.
void ExpectSameAsPlain(PulseKernel kernel, const Samples& buffer, size_t offset, int32_t limit,
                       int32_t minGap, const Spectrum& start)
{
    const std::span<const int16_t> x = std::span<const int16_t>(buffer).subspan(offset);
    Spectrum expected = start;
    Spectrum got = start;
    const int32_t wantCount = pulse::SearchPulsesPlain(x, limit, minGap, expected);
    const int32_t gotCount = pulse::SearchPulsesWith(kernel, x, limit, minGap, got);
    ASSERT_EQ(gotCount, wantCount) << "n " << x.size() << " limit " << limit;
    ASSERT_EQ(got, expected) << "n " << x.size() << " limit " << limit;
}

TEST_P(PulseKernelTest, MatchesPlainLoopOnRandomInputs)
{
    RandomChannel r(12345u + static_cast<uint32_t>(GetParam()));
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        const size_t n = static_cast<size_t>(round < 200 ? round : r.Uniform(0, 5000));
        const size_t offset = static_cast<size_t>(r.Uniform(0, 3));
        const Samples buffer = r.Fill(n + offset);
        const int32_t gap = r.Uniform(0, 9) == 0 ? r.Uniform(-3, 5) : 0;
        ExpectSameAsPlain(GetParam(), buffer, offset, r.Limit(), gap, r.StartSpectrum());
        ExpectSameAsPlain(GetParam(), buffer, offset, r.Uniform(-5, 120), 0, Spectrum{});
    }
}

TEST_P(PulseKernelTest, MatchesPlainLoopOnFullReads)
{
    RandomChannel r(777u + static_cast<uint32_t>(GetParam()));
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const Samples buffer = r.Fill(1000000 + 1);
        const size_t offset = static_cast<size_t>(round & 1);
        ExpectSameAsPlain(GetParam(), buffer, offset, r.Uniform(-5, 60), 0, Spectrum{});
        ExpectSameAsPlain(GetParam(), buffer, offset, r.Limit(), 0, r.StartSpectrum());
    }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, PulseKernelTest,
                         ::testing::Values(PulseKernel::Plain, PulseKernel::Sse2,
                                           PulseKernel::Avx2, PulseKernel::Avx512),
                         [](const ::testing::TestParamInfo<PulseKernel>& info) {
                             return std::string(pulse::PulseKernelName(info.param));
                         });

// The dispatching entry uses an available kernel and agrees with the plain loop.
TEST(PulseSearchDispatch, BestKernelIsAvailableAndAgrees)
{
    EXPECT_TRUE(pulse::PulseKernelAvailable(pulse::BestPulseKernel()));
    RandomChannel r(99u);
    for (int round = 0; round < 200; ++round) {
        const Samples x = r.Fill(static_cast<size_t>(r.Uniform(0, 3000)));
        const int32_t limit = r.Limit();
        Spectrum a{}, b{};
        ASSERT_EQ(pulse::SearchPulses(x, limit, 0, a), pulse::SearchPulsesPlain(x, limit, 0, b));
        ASSERT_EQ(a, b);
    }
}

} // namespace
