// The integral spectrum with its least-squares fit ("Интегральный").
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "frames/IntegralSpectrum.h"
#include "spectrum/SpectrumPresenter.h"
#include "spectrum/SpectrumTexts.h"

namespace {

using Spectrum = std::array<int16_t, kFonBins>;
using LogTable = std::array<float, kFonBins>;

constexpr float kSentinel = -7.0f;

LogTable Sentinels()
{
    LogTable t;
    t.fill(kSentinel);
    return t;
}

// Sets bin (1-based) of a spectrum.
void Put(Spectrum& s, int bin, int16_t v)
{
    s[bin - 1] = v;
}

struct Line {
    long double a, b;
};

/// The numbers of one run and what the window shows of them.
struct Shown : frames::IntegralResult, spectrum::IntegralView {};

Shown Integral(const Spectrum& s, int lo, int hi, LogTable& logIntegr)
{
    const frames::IntegralResult r = frames::IntegralSpectrum(s, lo, hi, logIntegr);
    return {r, spectrum::PresentIntegral(s, r)};
}

// Ordinary least squares by the closed form, in long double.
Line Ols(const std::vector<double>& xs, const std::vector<double>& ys)
{
    long double n = xs.size(), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < xs.size(); ++i) {
        sx += xs[i];
        sy += ys[i];
        sxx += static_cast<long double>(xs[i]) * xs[i];
        sxy += static_cast<long double>(xs[i]) * ys[i];
    }
    const long double b = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return {(sy - b * sx) / n, b};
}

void ExpectRefused(const Shown& r, const QString& message)
{
    EXPECT_EQ(r.Error, message);
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.Memo.isEmpty());
    EXPECT_TRUE(r.Bars.empty());
    EXPECT_TRUE(r.Line.empty());
    EXPECT_TRUE(r.Label.isEmpty());
}

} // namespace

TEST(ScaledCount, RoundsHalvesToEven)
{
    EXPECT_EQ(frames::ScaledCount(1, 200), 0); // 0.5
    EXPECT_EQ(frames::ScaledCount(3, 200), 2); // 1.5
    EXPECT_EQ(frames::ScaledCount(5, 200), 2); // 2.5
    EXPECT_EQ(frames::ScaledCount(7, 200), 4); // 3.5
    EXPECT_EQ(frames::ScaledCount(9, 200), 4); // 4.5
    EXPECT_EQ(frames::ScaledCount(1, 3), 33);  // 33.33
    EXPECT_EQ(frames::ScaledCount(2, 3), 67);  // 66.67
    EXPECT_EQ(frames::ScaledCount(200, 200), 100);
    EXPECT_EQ(frames::ScaledCount(32767, 1), 3276700);
    EXPECT_EQ(frames::ScaledCount(0, 7), 0);
    EXPECT_EQ(frames::ScaledCount(-5, 200), 0); // a wrapped counter counts as nothing
}

TEST(IntegralSpectrum, HandWorkedIntegralAndMemo)
{
    // Peak 200 at bin 20; bins 23..26 scale to 0.5, 1.5, 2.5, 3.5 -> 0, 2, 2, 4;
    // bin 5 lies below Lo but inside the summed bins 2..215; bin 190 lies above
    // the peak search (10..180) but is summed; bin 216 and bin 1 are not summed;
    // bin 30 reads back negative.
    Spectrum s{};
    Put(s, 1, 77);
    Put(s, 5, 40);
    Put(s, 20, 200);
    Put(s, 21, 100);
    Put(s, 22, 50);
    Put(s, 23, 1);
    Put(s, 24, 3);
    Put(s, 25, 5);
    Put(s, 26, 7);
    Put(s, 30, -5);
    Put(s, 190, 300);
    Put(s, 216, 200);
    LogTable logIntegr = Sentinels();
    const Shown r = Integral(s, 10, 225, logIntegr);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.IMax, 20);
    EXPECT_EQ(r.Max, 200.0f);

    // Integr[k] = Σ scaled counts of bins k+1..215
    auto integr = [&r](int bin) { return r.Integr[bin - 1]; };
    EXPECT_EQ(integr(1), 353);
    EXPECT_EQ(integr(4), 353);
    EXPECT_EQ(integr(5), 333);
    EXPECT_EQ(integr(19), 333);
    EXPECT_EQ(integr(20), 233);
    EXPECT_EQ(integr(21), 183);
    EXPECT_EQ(integr(22), 158);
    EXPECT_EQ(integr(23), 158);
    EXPECT_EQ(integr(24), 156);
    EXPECT_EQ(integr(25), 154);
    EXPECT_EQ(integr(26), 150);
    EXPECT_EQ(integr(29), 150);
    EXPECT_EQ(integr(189), 150);
    EXPECT_EQ(integr(190), 0);
    EXPECT_EQ(integr(256), 0);

    ASSERT_EQ(r.Memo.size(), 256);
    EXPECT_EQ(r.Memo[0], QStringLiteral("   1:    77      353"));
    EXPECT_EQ(r.Memo[19], QStringLiteral("  20:   200      233"));
    EXPECT_EQ(r.Memo[22], QStringLiteral("  23:     1      158"));
    EXPECT_EQ(r.Memo[29], QStringLiteral("  30:    -5      150"));
    EXPECT_EQ(r.Memo[189], QStringLiteral(" 190:   300        0"));
    EXPECT_EQ(r.Memo[215], QStringLiteral(" 216:   200        0"));
    EXPECT_EQ(r.Memo[255], QStringLiteral(" 256:     0        0"));

    // Bars: bins 1..255 of the integral, silver.
    ASSERT_EQ(r.Bars.size(), 255u);
    for (int bin = 1; bin <= 255; ++bin) {
        ASSERT_EQ(r.Bars[bin - 1].Bin, bin);
        ASSERT_EQ(r.Bars[bin - 1].Height, integr(bin));
        ASSERT_EQ(r.Bars[bin - 1].Color, QColor(192, 192, 192));
    }

    // LogIntegr refreshed for 10..225 only.
    for (int bin = 1; bin <= 256; ++bin) {
        if (bin < 10 || bin > 225) {
            EXPECT_EQ(logIntegr[bin - 1], kSentinel) << "bin " << bin;
        }
    }
    EXPECT_NEAR(logIntegr[20 - 1], std::log10(234.0), 1e-6);
    EXPECT_NEAR(logIntegr[100 - 1], std::log10(151.0), 1e-6);
    EXPECT_EQ(logIntegr[225 - 1], 0.0f);
    EXPECT_NEAR(r.LMax, std::log10(334.0), 1e-6);

    // 80 % of LMax needs an integral of 104 or more, 40 % one of 10 or more:
    // both last reached at bin 189, so the fit gets a single point.
    EXPECT_EQ(r.I1, 189);
    EXPECT_EQ(r.I2, 189);
    EXPECT_NEAR(r.XLog[0], std::log10(189.0), 1e-6);
    EXPECT_NEAR(r.YLog[0], std::log10(151.0), 1e-6);
    ASSERT_EQ(r.Line.size(), 2u);
    EXPECT_EQ(r.Line[0].x(), 189);
    EXPECT_EQ(r.Line[1].x(), 189);
    EXPECT_NEAR(r.Line[0].y(), 151.0, 0.01); // the line passes through its one point
}

TEST(IntegralSpectrum, DefaultBoundsRanges)
{
    // With bounds 10 and 225 the peak is searched in 10..180 and the sum covers bins 2..215.
    Spectrum s{};
    Put(s, 1, 10);
    Put(s, 2, 10);
    Put(s, 9, 500);   // below the peak search
    Put(s, 180, 10);  // last bin of the peak search
    Put(s, 181, 500); // above the peak search
    Put(s, 215, 10);
    Put(s, 216, 10);
    LogTable logIntegr = Sentinels();
    const Shown r = Integral(s, 10, 225, logIntegr);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.IMax, 180);
    EXPECT_EQ(r.Integr[0], 100 + 5000 + 100 + 5000 + 100); // bins 2, 9, 180, 181, 215
    EXPECT_EQ(r.Integr[2 - 1], 10200);
    EXPECT_EQ(r.Integr[179 - 1], 5200);
    EXPECT_EQ(r.Integr[214 - 1], 100);
    EXPECT_EQ(r.Integr[215 - 1], 0);
    EXPECT_EQ(r.Memo.size(), 256);
    EXPECT_EQ(logIntegr[9 - 1], kSentinel);
    EXPECT_NE(logIntegr[10 - 1], kSentinel);
    EXPECT_EQ(logIntegr[225 - 1], 0.0f);
    EXPECT_EQ(logIntegr[226 - 1], kSentinel);

    // 80 % of log10(5201) needs 939 or more (bin 180 only); 40 % needs 30 or more (up to 214).
    EXPECT_EQ(r.I1, 180);
    EXPECT_EQ(r.I2, 214);
    std::vector<double> xs, ys;
    for (int bin = 180; bin <= 214; ++bin) {
        xs.push_back(std::log10(double(bin)));
        ys.push_back(std::log10(bin == 180 ? 5101.0 : 101.0));
    }
    const Line ref = Ols(xs, ys);
    EXPECT_NEAR(r.a, double(ref.a), 1e-4);
    EXPECT_NEAR(r.b, double(ref.b), 1e-4);
    EXPECT_EQ(r.Label, QStringLiteral("b = -3.78   a = 10.72"));
}

TEST(IntegralSpectrum, HandWorkedFit)
{
    // Bins 20..29 hold 1000 each: the integral steps down by 100 per bin from
    // 1000 at bin 19 to 0 at bin 29. LMax = log10(1001); 80 % needs an integral
    // of 251 or more (last at bin 26), 40 % one of 15 or more (last at bin 28).
    Spectrum s{};
    for (int bin = 20; bin <= 29; ++bin)
        Put(s, bin, 1000);
    LogTable logIntegr{};
    const Shown r = Integral(s, 10, 100, logIntegr);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.IMax, 20);
    EXPECT_EQ(r.Integr[19 - 1], 1000);
    EXPECT_EQ(r.Integr[26 - 1], 300);
    EXPECT_EQ(r.I1, 26);
    EXPECT_EQ(r.I2, 28);

    const Line ref = Ols({std::log10(26.0), std::log10(27.0), std::log10(28.0)},
                         {std::log10(301.0), std::log10(201.0), std::log10(101.0)});
    EXPECT_NEAR(r.a, double(ref.a), 1e-4);
    EXPECT_NEAR(r.b, double(ref.b), 1e-4);
    ASSERT_EQ(r.Line.size(), 2u);
    EXPECT_EQ(r.Line[0].x(), 26);
    EXPECT_EQ(r.Line[1].x(), 28);
    EXPECT_NEAR(r.Line[0].y(), 316.376, 0.05);
    EXPECT_NEAR(r.Line[1].y(), 106.359, 0.05);
    EXPECT_EQ(r.Label, QStringLiteral("b = -14.71   a = 23.31"));
}

TEST(IntegralSpectrum, PeakAtLoInFreshWindowFitsNothing)
{
    // The peak at Lo reads LMax from bin Lo-1, not refreshed by this run: 0 in a
    // fresh window, so both thresholds are 0, I1 = Hi and the fit range is empty.
    Spectrum s{};
    Put(s, 10, 100);
    Put(s, 11, 50);
    Put(s, 12, 20);
    Put(s, 13, 5);
    LogTable logIntegr{};
    const Shown r = Integral(s, 10, 100, logIntegr);
    ASSERT_TRUE(r.Ok()) << r.Error.toStdString();
    EXPECT_EQ(r.IMax, 10);
    EXPECT_EQ(r.LMax, 0.0f);
    EXPECT_EQ(r.Integr[9 - 1], 175);
    EXPECT_EQ(r.I1, 100);
    EXPECT_EQ(r.I2, 12); // last bin with an integral above 0
    EXPECT_EQ(r.a, 0.0f);
    EXPECT_EQ(r.b, 0.0f);
    EXPECT_EQ(r.Label, QStringLiteral("b =  0.00   a =  0.00"));
    ASSERT_EQ(r.Line.size(), 2u);
    EXPECT_EQ(r.Line[0], QPointF(100, 1));
    EXPECT_EQ(r.Line[1], QPointF(12, 1));
}

TEST(IntegralSpectrum, PeakAtLoReadsAnEarlierRun)
{
    // The first run leaves log10(1001) in bin 11; the second run, peaking at
    // Lo = 12, takes its LMax from there and no bin reaches 80 % of it.
    Spectrum first{};
    for (int bin = 20; bin <= 29; ++bin)
        Put(first, bin, 1000);
    LogTable logIntegr{};
    ASSERT_TRUE(frames::IntegralSpectrum(first, 10, 100, logIntegr).Ok());
    ASSERT_NEAR(logIntegr[11 - 1], std::log10(1001.0), 1e-6);

    Spectrum second{};
    Put(second, 12, 100);
    Put(second, 13, 50);
    const Shown r = Integral(second, 12, 100, logIntegr);
    EXPECT_EQ(r.IMax, 12);
    EXPECT_NEAR(r.LMax, std::log10(1001.0), 1e-6);
    EXPECT_EQ(r.Error, QStringLiteral("Нет подгонки: от пика до верхней границы спектр ниже 80 % уровня"));
    // the integral itself is shown: memo, bars and LogIntegr of 12..100
    EXPECT_EQ(r.Memo.size(), 256);
    EXPECT_EQ(r.Bars.size(), 255u);
    EXPECT_EQ(r.Integr[11 - 1], 150);
    EXPECT_NEAR(logIntegr[12 - 1], std::log10(51.0), 1e-6);
    EXPECT_NEAR(logIntegr[11 - 1], std::log10(1001.0), 1e-6); // untouched
    EXPECT_TRUE(r.Line.empty());
    EXPECT_TRUE(r.Label.isEmpty());
}

TEST(IntegralSpectrum, RefusedInputsLeaveEverythingAlone)
{
    Spectrum s{};
    Put(s, 20, 100);
    Put(s, 21, 50);
    const LogTable before = Sentinels();
    const QString bounds = QStringLiteral("Границы должны лежать в пределах 1…256");
    for (auto [lo, hi] : {std::pair{0, 225}, {10, 257}, {-5, 100}, {300, 400}, {10, -1}}) {
        LogTable t = before;
        ExpectRefused(Integral(s, lo, hi, t), bounds);
        EXPECT_EQ(t, before);
    }
    LogTable t = before;
    // 10..54 holds 45 bins: no bin is left for the peak search
    ExpectRefused(Integral(s, 10, 54, t), QStringLiteral("Нет пика: между границами меньше 46 бинов"));
    ExpectRefused(Integral(s, 100, 50, t), QStringLiteral("Нет пика: между границами меньше 46 бинов"));
    // 20..65 holds 46 bins: the peak search is bin 20 alone
    EXPECT_EQ(frames::IntegralSpectrum(s, 20, 65, t).IMax, 20);
    t = before;

    const QString noCounts = QStringLiteral("Нет пика: в диапазоне нет отсчётов");
    ExpectRefused(Integral(Spectrum{}, 10, 225, t), noCounts);
    Spectrum negative{};
    Put(negative, 50, -3);
    Put(negative, 60, -32768);
    ExpectRefused(Integral(negative, 10, 225, t), noCounts);
    Spectrum outside{};
    Put(outside, 200, 900); // above Hi-45
    Put(outside, 5, 900);   // below Lo
    ExpectRefused(Integral(outside, 10, 225, t), noCounts);
    EXPECT_EQ(t, before);

    Spectrum atOne{};
    Put(atOne, 1, 50);
    Put(atOne, 2, 10);
    ExpectRefused(Integral(atOne, 1, 100, t), QStringLiteral("Пик в бине 1: поднимите нижнюю границу"));
    EXPECT_EQ(t, before);
}

TEST(IntegralSpectrum, WrappedCountersNeverGiveALogarithmOfZeroOrLess)
{
    Spectrum s{};
    for (int bin = 2; bin <= 200; bin += 3)
        Put(s, bin, -32768);
    Put(s, 20, 1);
    LogTable logIntegr{};
    const Shown r = Integral(s, 10, 225, logIntegr);
    EXPECT_EQ(r.IMax, 20);
    for (int bin = 1; bin <= 256; ++bin) {
        EXPECT_GE(r.Integr[bin - 1], 0) << "bin " << bin;
        EXPECT_TRUE(std::isfinite(logIntegr[bin - 1]) && logIntegr[bin - 1] >= 0) << "bin " << bin;
    }
    EXPECT_EQ(r.Integr[0], 100);
}

TEST(IntegralSpectrum, LargestIntegralStaysInRange)
{
    // A peak of 1 and full bins above the peak search: the largest possible sum.
    Spectrum s{};
    Put(s, 2, 1);
    for (int bin = 3; bin <= 255; ++bin)
        Put(s, bin, bin >= 212 ? 32767 : 1);
    LogTable logIntegr{};
    const Shown r = Integral(s, 2, 256, logIntegr);
    EXPECT_EQ(r.IMax, 2);
    // summed bins 3..254: 3..211 scale to 100 each, 212..254 to 3276700 each
    EXPECT_EQ(r.Integr[1], 140919000);
    EXPECT_EQ(r.Memo[1], QStringLiteral("   2:     1140919000"));
}

TEST(MNK, NoPointsGiveZero)
{
    const float junk[3] = {1e30f, -4, 7};
    float a = 5, b = 5;
    frames::MNK(junk, junk, 0, a, b);
    EXPECT_EQ(a, 0.0f);
    EXPECT_EQ(b, 0.0f);
}

TEST(MNK, MatchesOrdinaryLeastSquaresOnRandomSets)
{
    std::mt19937 rng(77);
    std::uniform_real_distribution<double> coef(-5, 5), noise(-0.3, 0.3), xdist(0, 2.5);
    std::uniform_int_distribution<int> count(2, 256), firstBin(2, 200);
    for (int round = 0; round < 500; ++round) {
        const int n = count(rng);
        const double a0 = coef(rng), b0 = coef(rng);
        std::vector<float> X(n), Y(n);
        const bool bins = round % 2 == 0; // log10 of consecutive bins, as the fit range hands over
        const int start = firstBin(rng);
        for (int i = 0; i < n; ++i) {
            X[i] = bins ? float(std::log10(double(start + i))) : float(xdist(rng));
            Y[i] = float(a0 + b0 * X[i] + noise(rng));
        }
        if (bins && start + n - 1 > 256)
            continue;
        float a = 0, b = 0;
        frames::MNK(X.data(), Y.data(), n, a, b);
        const Line ref = Ols(std::vector<double>(X.begin(), X.end()), std::vector<double>(Y.begin(), Y.end()));
        const double tol = 2e-5 * (1 + std::fabs(double(ref.a)) + std::fabs(double(ref.b)));
        ASSERT_NEAR(a, double(ref.a), tol) << "round " << round << " n " << n;
        ASSERT_NEAR(b, double(ref.b), tol) << "round " << round << " n " << n;
    }
}

TEST(MNK, ExactLineAndItsLabel)
{
    std::vector<float> X, Y;
    for (int bin = 20; bin <= 60; ++bin) {
        X.push_back(float(std::log10(double(bin))));
        Y.push_back(3.4f - 1.25f * X.back());
    }
    float a = 0, b = 0;
    frames::MNK(X.data(), Y.data(), int32_t(X.size()), a, b);
    EXPECT_NEAR(a, 3.4, 1e-5);
    EXPECT_NEAR(b, -1.25, 1e-5);
    EXPECT_EQ(spectrum::FitLabelText(a, b), QStringLiteral("b = -1.25   a =  3.40"));
}

TEST(MNK, OneOrTwoPointsGiveALineThroughThem)
{
    for (int bin = 2; bin <= 256; bin += 7) {
        const float X[2] = {float(std::log10(double(bin))), float(std::log10(double(bin + 1)))};
        const float Y[2] = {float(std::log10(bin * 13.0)), float(std::log10(bin * 3.0))};
        float a = 0, b = 0;
        frames::MNK(X, Y, 1, a, b);
        ASSERT_TRUE(std::isfinite(a) && std::isfinite(b));
        EXPECT_NEAR(a + b * X[0], Y[0], 1e-5) << "bin " << bin;
        if (bin + 1 <= 256) {
            frames::MNK(X, Y, 2, a, b);
            EXPECT_NEAR(a + b * X[0], Y[0], 1e-3) << "bin " << bin;
            EXPECT_NEAR(a + b * X[1], Y[1], 1e-3) << "bin " << bin;
        }
    }
}

TEST(FitLine, HeightAndLabel)
{
    EXPECT_FLOAT_EQ(frames::FitLineY(100, 1, 2), 1e5f);
    EXPECT_FLOAT_EQ(frames::FitLineY(10, 0, 0), 1.0f);
    EXPECT_NEAR(frames::FitLineY(1, 2.5f, -3), 316.2278, 1e-3);
    EXPECT_EQ(spectrum::FitLabelText(0, 0), QStringLiteral("b =  0.00   a =  0.00"));
    EXPECT_EQ(spectrum::FitLabelText(123.456f, -12.3f), QStringLiteral("b = -12.30   a = 123.46"));
}

TEST(IntegralSpectrum, NumbersAloneAreTheWindowsNumbersOnRandomSpectra)
{
    // Small and huge counts: integrals inside and far beyond the looked-up
    // logarithms; every LogIntegr bin must be std::log10's value to the bit,
    // every integral bin the plain sum of the scaled counts above it.
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> loDist(2, 60), hiDist(120, 256), huge(0, 32767);
    int beyondTable = 0;
    for (int round = 0; round < 500; ++round) {
        const int lo = loDist(rng), hi = hiDist(rng);
        std::uniform_int_distribution<int> small(-3, 1 + huge(rng) % (round % 2 ? 300 : 32767)); // peaks of any height
        Spectrum s{};
        for (int bin = 1; bin <= kFonBins; ++bin) // huge counts above the peak search
            Put(s, bin, static_cast<int16_t>(round % 3 == 0 && bin > hi - 45 ? huge(rng) : small(rng)));
        LogTable full{}, alone{};
        const Shown r = Integral(s, lo, hi, full);
        const frames::IntegralResult n = frames::IntegralSpectrum(s, lo, hi, alone);
        ASSERT_EQ(n.Fault, r.Fault);
        ASSERT_EQ(std::tie(n.IMax, n.Max, n.LMax, n.I1, n.I2, n.a, n.b), std::tie(r.IMax, r.Max, r.LMax, r.I1, r.I2, r.a, r.b));
        ASSERT_EQ(n.Integr, r.Integr);
        ASSERT_EQ(alone, full);
        ASSERT_EQ(r.Memo.isEmpty(), !n.HasIntegral()); // the view follows the numbers
        ASSERT_EQ(r.Line.empty(), !n.Ok());
        beyondTable += r.Integr[lo - 1] >= 32768;
        if (r.Max > 0) { // the integral against a plain sum of ScaledCount
            int64_t sum = 0;
            for (int k = hi - lo - 1; k >= 1; --k)
                ASSERT_EQ(r.Integr[k - 1], sum += frames::ScaledCount(s[k], int32_t(r.Max))) << "bin " << k;
        }
        if (r.Ok() || !r.Memo.isEmpty()) {
            for (int bin = lo; bin <= hi; ++bin)
                ASSERT_EQ(full[bin - 1], float(std::log10(double(r.Integr[bin - 1]) + 1))) << "bin " << bin;
        }
    }
    EXPECT_GT(beyondTable, 50);
}
