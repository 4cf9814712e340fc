// Smoothing and centre of the peak ("Усреднение").
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>
#include <vector>

#include "frames/PeakCentre.h"
#include "spectrum/SpectrumPresenter.h"
#include "spectrum/SpectrumTexts.h"

namespace {

using Spectrum = std::array<int16_t, kFonBins>;

const QColor kSilver(192, 192, 192);
const QColor kGreen(0, 128, 0);

void Put(Spectrum& s, int bin, int16_t v)
{
    s[bin - 1] = v;
}

/// The numbers of one run and what the window shows of them.
struct Shown : frames::CentreResult, spectrum::CentreView {};

Shown Centre(const Spectrum& s, int lo, int hi)
{
    const frames::CentreResult r = frames::PeakCentre(s, lo, hi);
    return {r, spectrum::PresentCentre(r)};
}

int16_t SmoothAt(const frames::CentreResult& r, int bin)
{
    return r.Smooth[bin - 1];
}

// The main hand-worked example: Lo = 10, Hi = 40, peak 100 at bin 16 (D = 6).
Spectrum MainExample()
{
    Spectrum s{};
    const int16_t counts[] = {5, 10, 20, 40, 70, 90, 100, 95, 80, 60, 40, 25, 15, 10, 6, 3, 2};
    for (int i = 0; i < 17; ++i)
        Put(s, 10 + i, counts[i]); // bins 10..26
    Put(s, 27, -4);                // a wrapped counter: counts as 0
    Put(s, 40, 9);                 // bin Hi: cleared
    Put(s, 41, 50);                // above Hi: cleared
    Put(s, 256, 7);                // never cleared
    return s;
}

void ExpectRefused(const Shown& r, const QString& message)
{
    EXPECT_EQ(r.Error, message);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Bars.empty());
    EXPECT_TRUE(r.Label.isEmpty());
}

} // namespace

TEST(PeakCentre, HandWorkedExample)
{
    const Shown r = Centre(MainExample(), 10, 40);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.D, 6);

    // Triples, downward then upward: 15..17 (mean of 90, 100, 95 = 95), then
    // 12..14 (130/3 -> 43) and 18..20 (60), 9..11 (10/3 -> 3; bins 9 and 10
    // cleared) and 21..23 (50/3 -> 17), 6..8 (0) and 24..26 (11/3 -> 4).
    const int16_t expected[] = {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 43, 43, 43, 95, 95, 95,
                                60, 60, 60, 17, 17, 17, 4, 4, 4, 0};
    for (int bin = 1; bin <= 27; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), expected[bin - 1]) << "bin " << bin;
    for (int bin = 28; bin <= 255; ++bin)
        ASSERT_EQ(SmoothAt(r, bin), 0) << "bin " << bin;
    EXPECT_EQ(SmoothAt(r, 256), 7);

    // The smoothed maximum 95 first appears at bin 15: the peak is bin 16.
    EXPECT_EQ(r.IMax, 16);
    EXPECT_EQ(r.Max, 95.0f);
    // 80 % of 95 is 76: bin 14 (43) below the peak, bin 18 (60) above it.
    EXPECT_EQ(r.Left, 14);
    EXPECT_EQ(r.Right, 18);
    EXPECT_EQ(r.Area, 43.0f + 95 + 95 + 95 + 60);
    EXPECT_EQ(r.Half, 194.0f);
    // running sums 43, 138, 233 ...: bin 15 is the last one at most 194
    EXPECT_EQ(r.Centre, 15);
    EXPECT_EQ(r.Label, QStringLiteral("15"));

    // First drawing: bins 10..22 silver; second: 10..40, green for 14..17.
    ASSERT_EQ(r.Bars.size(), 13u + 31u);
    const int32_t first[] = {3, 3, 43, 43, 43, 95, 95, 95, 60, 60, 60, 17, 17};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(r.Bars[i].Bin, 10 + i);
        EXPECT_EQ(r.Bars[i].Height, first[i]);
        EXPECT_EQ(r.Bars[i].Color, kSilver);
    }
    for (int i = 0; i < 31; ++i) {
        const spectrum::SpectrumBar& bar = r.Bars[13 + i];
        const int bin = 10 + i;
        EXPECT_EQ(bar.Bin, bin);
        EXPECT_EQ(bar.Height, SmoothAt(r, bin));
        // the green region includes Left (14) but not Right (18); the area includes both
        EXPECT_EQ(bar.Color, bin >= 14 && bin <= 17 ? kGreen : kSilver) << "bin " << bin;
    }
}

TEST(PeakCentre, SameResultTwiceInARow)
{
    const Spectrum s = MainExample();
    const Shown a = Centre(s, 10, 40);
    const Shown b = Centre(s, 10, 40);
    EXPECT_EQ(a.Smooth, b.Smooth);
    EXPECT_EQ(a.Centre, b.Centre);
    EXPECT_EQ(a.Label, b.Label);
    ASSERT_EQ(a.Bars.size(), b.Bars.size());
    for (size_t i = 0; i < a.Bars.size(); ++i) {
        EXPECT_EQ(a.Bars[i].Bin, b.Bars[i].Bin);
        EXPECT_EQ(a.Bars[i].Height, b.Bars[i].Height);
        EXPECT_EQ(a.Bars[i].Color, b.Bars[i].Color);
    }
}

TEST(PeakCentre, DefaultBoundsCutTheCopy)
{
    // Every bin 50 but a peak of 1000 at bin 100. With bounds 10 and 225, bins
    // 1..10 and 225..255 are cleared before smoothing; bin 256 never is.
    Spectrum s;
    s.fill(50);
    Put(s, 100, 1000);
    const Shown r = Centre(s, 10, 225);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.D, 90);
    for (int bin = 1; bin <= 8; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 0) << "bin " << bin;
    for (int bin = 9; bin <= 11; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 17) << "bin " << bin; // (0 + 0 + 50) / 3
    EXPECT_EQ(SmoothAt(r, 12), 50);
    for (int bin = 99; bin <= 101; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 367) << "bin " << bin; // 1100 / 3
    EXPECT_EQ(SmoothAt(r, 224), 50);
    for (int bin = 225; bin <= 255; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 0) << "bin " << bin;
    EXPECT_EQ(SmoothAt(r, 256), 50);

    EXPECT_EQ(r.IMax, 100);
    EXPECT_EQ(r.Left, 98);
    EXPECT_EQ(r.Right, 102);
    EXPECT_EQ(r.Area, 1201.0f);
    EXPECT_EQ(r.Centre, 99);
    // first drawing 10..190 (IMax + D), second 10..225
    EXPECT_EQ(r.Bars.size(), 181u + 216u);
    EXPECT_EQ(r.Bars[180].Bin, 190);
    EXPECT_EQ(r.Bars.back().Bin, 225);
}

TEST(PeakCentre, PeakNextToLoHasNoLeftEdge)
{
    // Peak at Lo + 1 (D = 1): two steps, triples centred at 11 (down), 11 (up),
    // 8 (bins 7..9 = Lo-3..Lo-1) and 14. The second search covers 10..12, all
    // one triple, so no bin from Lo to the peak lies at 80 % or below.
    Spectrum s{};
    Put(s, 7, 50);
    Put(s, 8, 50);
    Put(s, 9, 50);
    Put(s, 10, 80);
    Put(s, 11, 90);
    Put(s, 12, 30);
    Put(s, 13, 12);
    Put(s, 14, 9);
    Put(s, 15, 6);
    Put(s, 16, 3);
    const Shown r = Centre(s, 10, 40);
    EXPECT_EQ(r.D, 1);
    for (int bin = 7; bin <= 9; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 0) << "bin " << bin;
    for (int bin = 10; bin <= 12; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 40) << "bin " << bin; // (0 + 90 + 30) / 3, bin 10 cleared
    for (int bin = 13; bin <= 15; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 9) << "bin " << bin;
    EXPECT_EQ(SmoothAt(r, 16), 3);
    EXPECT_EQ(r.IMax, 11);
    EXPECT_EQ(r.Error, QStringLiteral("Нет края пика на уровне 80 % слева"));
    // the first drawing is there, no centre
    ASSERT_EQ(r.Bars.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(r.Bars[i].Bin, 10 + i);
        EXPECT_EQ(r.Bars[i].Height, 40);
        EXPECT_EQ(r.Bars[i].Color, kSilver);
    }
    EXPECT_TRUE(r.Label.isEmpty());
}

TEST(PeakCentre, PeakAtLoSmoothsTheBinBelow)
{
    // D = 0: the triple around Lo covers Lo-1..Lo+1.
    Spectrum s{};
    Put(s, 10, 100);
    Put(s, 11, 60);
    Put(s, 12, 30);
    Put(s, 13, 9);
    Put(s, 14, 3);
    const Shown r = Centre(s, 10, 40);
    EXPECT_EQ(r.D, 0);
    EXPECT_EQ(SmoothAt(r, 9), 20);
    EXPECT_EQ(SmoothAt(r, 10), 20);
    EXPECT_EQ(SmoothAt(r, 11), 20);
    EXPECT_EQ(SmoothAt(r, 12), 14); // (30 + 9 + 3) / 3
    EXPECT_EQ(r.Error, QStringLiteral("Нет края пика на уровне 80 % слева"));
}

TEST(PeakCentre, EqualLargestCounts)
{
    // Two equal peaks: the first search takes bin 20; after smoothing both
    // triples hold 33 and the second search takes the bin after bin 19.
    Spectrum s{};
    Put(s, 20, 100);
    Put(s, 30, 100);
    const Shown r = Centre(s, 10, 60);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.D, 10);
    for (int bin : {19, 20, 21, 28, 29, 30})
        EXPECT_EQ(SmoothAt(r, bin), 33) << "bin " << bin;
    EXPECT_EQ(r.IMax, 20);
    EXPECT_EQ(r.Left, 18);
    EXPECT_EQ(r.Right, 22);
    EXPECT_EQ(r.Area, 99.0f);
    EXPECT_EQ(r.Centre, 19); // running sums 0, 33, 66 against a half of 49.5
}

TEST(PeakCentre, RunningSumEqualToHalfStillCounts)
{
    // Lo = 14, peak 61 at bin 20 (D = 6). Smoothed: 16..18 = 30, 19..24 = 60,
    // 25..27 = 30. Region 18..25 holds 30, six times 60, 30: area 420, half
    // 210, reached exactly at bin 21, which is therefore the centre.
    Spectrum s{};
    for (int bin = 15; bin <= 18; ++bin)
        Put(s, bin, 30);
    Put(s, 19, 60);
    Put(s, 20, 61);
    for (int bin = 21; bin <= 24; ++bin)
        Put(s, bin, 60);
    for (int bin = 25; bin <= 27; ++bin)
        Put(s, bin, 30);
    const Shown r = Centre(s, 14, 40);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(SmoothAt(r, 13), 10); // (0 + 0 + 30) / 3: bins 13 and 14 cleared
    EXPECT_EQ(r.IMax, 20);
    EXPECT_EQ(r.Left, 18);
    EXPECT_EQ(r.Right, 25);
    EXPECT_EQ(r.Area, 420.0f);
    EXPECT_EQ(r.Half, 210.0f);
    EXPECT_EQ(r.Centre, 21);
    EXPECT_EQ(r.Label, QStringLiteral("21"));
}

TEST(PeakCentre, FirstDrawingStopsAtBin256)
{
    // Peak 1000 at bin 89 (Lo = 5, D = 84); an equal block at 172..174 is the
    // smoothed maximum, so the first drawing would run to 173 + 84 = 257.
    Spectrum s{};
    Put(s, 89, 1000);
    Put(s, 172, 1000);
    Put(s, 173, 1000);
    Put(s, 174, 1000);
    const Shown r = Centre(s, 5, 200);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.D, 84);
    EXPECT_EQ(SmoothAt(r, 89), 333);
    EXPECT_EQ(r.IMax, 173);
    EXPECT_EQ(r.Left, 171);
    EXPECT_EQ(r.Right, 175);
    EXPECT_EQ(r.Centre, 172);
    ASSERT_EQ(r.Bars.size(), 252u + 196u);
    EXPECT_EQ(r.Bars[251].Bin, 256);
    EXPECT_EQ(r.Bars[252].Bin, 5);
}

TEST(PeakCentre, SmoothingReachingBin256)
{
    // Lo = 250, peak at 252 (D = 2): the last upward triple is 254..256, the
    // edge of the histogram; bin 256 is never cleared.
    Spectrum s{};
    Put(s, 252, 100);
    Put(s, 256, 30);
    const Shown r = Centre(s, 250, 256);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    for (int bin = 251; bin <= 253; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 33) << "bin " << bin;
    for (int bin = 254; bin <= 256; ++bin)
        EXPECT_EQ(SmoothAt(r, bin), 10) << "bin " << bin;
    EXPECT_EQ(r.IMax, 252);
    EXPECT_EQ(r.Left, 250);
    EXPECT_EQ(r.Right, 254);
    EXPECT_EQ(r.Area, 109.0f);
    EXPECT_EQ(r.Centre, 251);

    // A peak at 253 with D = 0 would smooth bins up to 257.
    Spectrum t{};
    Put(t, 253, 100);
    ExpectRefused(Centre(t, 253, 256), QStringLiteral("Пик слишком близко к концу спектра"));
}

TEST(PeakCentre, NoRightEdge)
{
    // Hi = 256 clears nothing above the peak, and the plateau stays at 100.
    Spectrum s{};
    for (int bin = 201; bin <= 204; ++bin)
        Put(s, bin, 10);
    for (int bin = 205; bin <= 256; ++bin)
        Put(s, bin, 100);
    const Shown r = Centre(s, 200, 256);
    EXPECT_EQ(r.D, 5);
    EXPECT_EQ(r.IMax, 208);
    EXPECT_EQ(r.Error, QStringLiteral("Нет края пика на уровне 80 % справа"));
    ASSERT_EQ(r.Bars.size(), 14u); // first drawing 200..213
    EXPECT_EQ(r.Bars.back().Bin, 213);
    EXPECT_TRUE(r.Label.isEmpty());
}

TEST(PeakCentre, RefusedInputs)
{
    const Spectrum s = MainExample();
    const QString bounds = QStringLiteral("Границы должны лежать в пределах 1…256");
    ExpectRefused(Centre(s, 0, 40), bounds);
    ExpectRefused(Centre(s, 10, 257), bounds);
    ExpectRefused(Centre(s, 300, 400), bounds);
    ExpectRefused(Centre(s, 4, 40), QStringLiteral("Нижняя граница должна быть не меньше 5"));

    const QString noCounts = QStringLiteral("Нет пика: в диапазоне нет отсчётов");
    ExpectRefused(Centre(Spectrum{}, 10, 225), noCounts);
    Spectrum negative{};
    Put(negative, 50, -1);
    Put(negative, 60, -32768);
    ExpectRefused(Centre(negative, 10, 225), noCounts);
    ExpectRefused(Centre(s, 40, 10), noCounts); // bounds the wrong way round

    // The only count sits at Lo, which the cut clears: no bin is above 0
    // after smoothing, the peak stays at Lo, and so do both edges and the
    // centre (area 0).
    Spectrum atLo{};
    Put(atLo, 10, 100);
    const Shown r = Centre(atLo, 10, 40);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.IMax, 10);
    EXPECT_EQ(r.Left, 10);
    EXPECT_EQ(r.Right, 10);
    EXPECT_EQ(r.Area, 0);
    EXPECT_EQ(r.Centre, 10);
    EXPECT_EQ(r.Label, "10");
    for (const spectrum::SpectrumBar& b : r.Bars)
        EXPECT_EQ(b.Color, spectrum::kBarSilver) << b.Bin; // no region to mark green
}

TEST(PeakCentre, RandomSpectraKeepTheirShape)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> loDist(5, 120), width(1, 136), centreOff(0, 60), noise(-5, 40);
    std::uniform_int_distribution<int> height(50, 32767);
    int complete = 0;
    for (int round = 0; round < 2000; ++round) {
        const int lo = loDist(rng);
        const int hi = std::min(256, lo + width(rng));
        Spectrum s{};
        for (auto& v : s)
            v = static_cast<int16_t>(noise(rng));
        const int peak = std::min(hi, lo + centreOff(rng));
        const int h = height(rng);
        for (int d = -6; d <= 6; ++d)
            if (peak + d >= 1 && peak + d <= 256)
                s[peak + d - 1] = static_cast<int16_t>(h / (1 + d * d));

        const Shown r = Centre(s, lo, hi);
        // The numbers alone, as the trend scan asks for them, are the same.
        const frames::CentreResult n = frames::PeakCentre(s, lo, hi);
        ASSERT_EQ(n.Fault, r.Fault);
        ASSERT_EQ(std::tie(n.IMax, n.Max, n.Left, n.Right, n.Centre), std::tie(r.IMax, r.Max, r.Left, r.Right, r.Centre));
        ASSERT_EQ(n.Smooth, r.Smooth);
        ASSERT_EQ(r.Bars.empty(), !n.Smoothed()); // the view follows the numbers
        if (!r.Ok()) {
            EXPECT_TRUE(r.Label.isEmpty());
            continue;
        }
        ++complete;
        const double level = 0.8 * r.Max;
        ASSERT_LE(lo, r.Left);
        ASSERT_LE(r.Left, r.IMax);
        ASSERT_LE(r.IMax, r.Right);
        ASSERT_LE(r.Right, hi);
        ASSERT_LE(SmoothAt(r, r.Left), level);
        ASSERT_LE(SmoothAt(r, r.Right), level);
        for (int bin = r.Left + 1; bin < r.Right; ++bin)
            ASSERT_GT(SmoothAt(r, bin), level) << "inside the region, bin " << bin;
        ASSERT_TRUE((r.Centre >= r.Left && r.Centre <= r.Right) || r.Centre == r.IMax);
        for (int bin = 1; bin < lo - 4; ++bin)
            ASSERT_EQ(SmoothAt(r, bin), 0);
        ASSERT_EQ(r.Label, QString::number(r.Centre));

        // bars: first drawing Lo..IMax+D (at most 256) silver, then Lo..Hi
        const int firstEnd = std::min(r.IMax + r.D, 256);
        const size_t firstCount = size_t(firstEnd - lo + 1);
        ASSERT_EQ(r.Bars.size(), firstCount + size_t(hi - lo + 1));
        for (size_t i = 0; i < r.Bars.size(); ++i) {
            const spectrum::SpectrumBar& bar = r.Bars[i];
            const bool second = i >= firstCount;
            ASSERT_EQ(bar.Bin, lo + int(second ? i - firstCount : i));
            ASSERT_EQ(bar.Height, SmoothAt(r, bar.Bin));
            ASSERT_GE(bar.Height, 0);
            const bool green = second && bar.Bin >= r.Left && bar.Bin < r.Right;
            ASSERT_EQ(bar.Color, green ? kGreen : kSilver);
        }
    }
    EXPECT_GT(complete, 500);
}
