// What the spectrum window shows for "Интегральный", "Стоп" and
// "Усреднение": the listing in the main window's memo, the bars and their
// colours, the fitted line and its label, the axes, the centre in Label1,
// and the messages of runs that have no answer. The number work itself is
// tested in IntegralSpectrum_test and PeakCentre_test.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "spectrum/SpectrumBars.h"
#include "spectrum/SpectrumTexts.h"
#include "spectrum/Unit2.h"
#include "support/Fixtures.h"
#include "support/SpectrumDisplay.h"
#include "support/SpectrumFiles.h"

namespace {

/// Channel 1: a detector spectrum; channel 2: falling from the lowest bin;
/// channel 3: empty; channel 4: a detector spectrum with wrapped bins.
std::unique_ptr<TFonKadr> CommandRecord()
{
    auto rec = testing_support::MarkedRecord(0);
    for (int bin = 1; bin <= kFonBins; ++bin) {
        rec->Spectr1[bin - 1] = testing_support::RealisticCount(bin, 70);
        rec->Spectr2[bin - 1] = static_cast<int16_t>(std::lround(30000 * std::exp(-bin / 20.0)));
        rec->Spectr3[bin - 1] = 0;
        rec->Spectr4[bin - 1] = testing_support::RealisticCount(bin, 70);
    }
    for (int bin : {3, 40, 72, 150, 151})
        rec->Spectr4[bin - 1] = static_cast<int16_t>(-30000 + bin);
    return rec;
}

class SpectrumCommandsTest : public testing_support::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const std::string file = Path("c.fon");
        recfile::Create(file);
        recfile::WriteRecord(file, 0, *CommandRecord());
        Form1->FonFileName = file;
        Form1->FonRecCount = 1;
        Form1->bForm2->show();
        Form1->bForm2->click();
        ASSERT_EQ(ui::ErrorReport::Count(), 0);
    }

    static void Press(QAction* a) { a->trigger(); }
    static void Press(QPushButton* b) { b->click(); }
    static void Channel(int k)
    {
        QAction* items[] = {spectrum::Form2->Chan1, spectrum::Form2->Chan2, spectrum::Form2->Chan3, spectrum::Form2->Chan4};
        Press(items[k - 1]);
    }
    static const std::vector<ui::Point>& Bars() { return spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series1).Points(); }
    static const std::vector<ui::Point>& Line() { return spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series2).Points(); }
    static void SetBounds(const QString& lo, const QString& hi)
    {
        spectrum::Form2->Edit1->setText(lo);
        spectrum::Form2->Edit2->setText(hi);
    }
    static QStringList MemoLines() { return Form1->Memo1->toPlainText().split('\n'); }
    /// Height of the bar at `bin` among `bars` (the last one drawn there).
    static double HeightAt(const std::vector<ui::Point>& bars, int bin)
    {
        for (auto it = bars.rbegin(); it != bars.rend(); ++it)
            if (it->X == bin)
                return it->Y;
        ADD_FAILURE() << "no bar at " << bin;
        return -1;
    }
    static void ExpectIntegralModeButtons()
    {
        EXPECT_FALSE(spectrum::Form2->bStopInt->isHidden());
        EXPECT_TRUE(spectrum::Form2->Button2->isHidden());
        EXPECT_TRUE(spectrum::Form2->Button3->isHidden());
    }
};

const QRegularExpression kFitLabel(R"(^b = ([ -]?\d+\.\d\d)   a = ([ -]?\d+\.\d\d)$)");

// ---- Интегральный ----------------------------------------------------------------

TEST_F(SpectrumCommandsTest, IntegralListsPlotsAndFitsOnLogarithmicAxes)
{
    Channel(1);
    Form1->Memo1->setPlainText("old text");
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    ExpectIntegralModeButtons();
    EXPECT_EQ(spectrum::Form2->Chart2->LeftAxis().Title(), "");

    // Bars: bins 1..255 of the integral, silver; bin 256 is not drawn.
    const auto& bars = Bars();
    ASSERT_EQ(bars.size(), 255u);
    for (int bin = 1; bin <= 255; ++bin) {
        EXPECT_EQ(bars[static_cast<size_t>(bin - 1)].X, bin);
        EXPECT_EQ(bars[static_cast<size_t>(bin - 1)].Color, QColor(192, 192, 192));
    }
    // With bounds 10 and 225 the sum covers bins 2 to 215: it falls up to
    // bin 215 and is 0 from there.
    for (int bin = 1; bin < 214; ++bin)
        EXPECT_GE(bars[static_cast<size_t>(bin - 1)].Y, bars[static_cast<size_t>(bin)].Y) << bin;
    EXPECT_GT(HeightAt(bars, 150), 0);
    for (int bin = 215; bin <= 255; ++bin)
        EXPECT_EQ(HeightAt(bars, bin), 0) << bin;
    EXPECT_EQ(spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series1).Color(), QColor(192, 192, 192));

    // Memo: 256 lines, bin, count and integral in their columns.
    const QStringList lines = MemoLines();
    ASSERT_EQ(lines.size(), 256);
    EXPECT_EQ(Form1->Memo1->document()->blockCount(), 256);
    for (int bin = 1; bin <= 256; ++bin) {
        const int integr = bin <= 255 ? static_cast<int>(HeightAt(bars, bin)) : 0;
        EXPECT_EQ(lines[bin - 1], QString::asprintf("%4d: %5d%9d", bin, spectrum::Form2->Spectr[static_cast<size_t>(bin - 1)],
                                                    integr));
    }

    // Axes: logarithmic; bottom up to 255.
    ui::TChart* c = spectrum::Form2->Chart2;
    EXPECT_TRUE(c->BottomAxis().Logarithmic());
    EXPECT_EQ(c->BottomAxis().Maximum(), 255);
    EXPECT_TRUE(c->LeftAxis().Logarithmic());
    EXPECT_TRUE(c->LeftAxis().Automatic());
    EXPECT_TRUE(c->RightAxis().Logarithmic());
    EXPECT_TRUE(c->RightAxis().Automatic());

    // The fitted line: two red points whose heights follow the label's
    // coefficients (shown to two decimals).
    const QRegularExpressionMatch m = kFitLabel.match(spectrum::Form2->Label6->text());
    ASSERT_TRUE(m.hasMatch()) << spectrum::Form2->Label6->text().toStdString();
    const double b = m.captured(1).toDouble();
    const double a = m.captured(2).toDouble();
    EXPECT_LT(b, -0.5) << "the integral spectrum falls";
    ASSERT_EQ(Line().size(), 2u);
    const double i1 = Line()[0].X, i2 = Line()[1].X;
    EXPECT_GE(i1, 10);
    EXPECT_LE(i1, i2);
    EXPECT_LE(i2, 225);
    for (const ui::Point& p : Line()) {
        EXPECT_EQ(p.Color, QColor(255, 0, 0));
        EXPECT_NEAR(std::log10(p.Y), std::log10(p.X) * b + a, 0.005 * std::log10(p.X) + 0.006) << p.X;
    }
    // The points handed to the fit stay in the window.
    EXPECT_FLOAT_EQ(spectrum::Form2->XLog[0], static_cast<float>(std::log10(i1)));
    EXPECT_FLOAT_EQ(spectrum::Form2->YLog[0], spectrum::Form2->LogIntegr[static_cast<size_t>(i1) - 1]);
    EXPECT_FLOAT_EQ(spectrum::Form2->XLog[static_cast<size_t>(i2 - i1)], static_cast<float>(std::log10(i2)));
}

TEST_F(SpectrumCommandsTest, IntegralPeakIgnoresTheTop45BinsButSumsBelowTheLowerBound)
{
    // The largest count of bins 10..180 scales to 100; a larger one at bin 200
    // (outside the peak search) and one at bin 5 (below Lo) are summed too.
    spectrum::Form2->Spectr.fill(0);
    spectrum::Form2->Spectr[4] = 600;
    spectrum::Form2->Spectr[39] = 200;
    spectrum::Form2->Spectr[119] = 50;
    spectrum::Form2->Spectr[199] = 400;
    Press(spectrum::Form2->bIntegr);
    auto step = [](int bin) { return HeightAt(Bars(), bin - 1) - HeightAt(Bars(), bin); };
    EXPECT_EQ(step(40), 100);
    EXPECT_EQ(step(120), 25);
    EXPECT_EQ(step(200), 200);
    EXPECT_EQ(step(5), 300);
    EXPECT_EQ(HeightAt(Bars(), 1), 625);
}

TEST_F(SpectrumCommandsTest, IntegralWithAPeakAtLoTakesItsLevelFromAnEarlierRun)
{
    // Channel 2 falls from its lowest bin: with Lo = 11 the level comes from
    // bin 10 of LogIntegr, which only an earlier run with Lo ≤ 10 refreshed.
    Channel(2);
    SetBounds("11", "225");
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(spectrum::Form2->Label6->text(), "b =  0.00   a =  0.00") << "level 0 in a window that never ran it";
    EXPECT_EQ(ui::ErrorReport::Count(), 0);

    Channel(1); // its peak lies inside: the run refreshes bin 10
    SetBounds("10", "225");
    Press(spectrum::Form2->bIntegr);
    Channel(2);
    SetBounds("11", "225");
    Press(spectrum::Form2->bIntegr);
    const QRegularExpressionMatch m = kFitLabel.match(spectrum::Form2->Label6->text());
    ASSERT_TRUE(m.hasMatch());
    EXPECT_LT(m.captured(1).toDouble(), 0) << "a real fit with the level left by the earlier run";
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumCommandsTest, IntegralRefusesRunsWithoutAnAnswerAndSaysWhy)
{
    struct Case { int channel; QString lo, hi, message; };
    const Case cases[] = {
        {1, "0", "225", spectrum::BinBoundsMessage()},
        {1, "10", "257", spectrum::BinBoundsMessage()},
        {3, "10", "225", "Нет пика: в диапазоне нет отсчётов"},
        {1, "100", "144", "Нет пика: между границами меньше 46 бинов"},
        {2, "1", "225", "Пик в бине 1: поднимите нижнюю границу"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE((k.lo + " " + k.hi).toStdString());
        Channel(1);
        SetBounds("10", "225");
        Press(spectrum::Form2->bIntegr); // a complete run first
        ASSERT_FALSE(Line().empty());
        Channel(k.channel);
        ui::ErrorReport::Reset();
        SetBounds(k.lo, k.hi);
        Press(spectrum::Form2->bIntegr);
        EXPECT_EQ(ui::ErrorReport::LastMessage(), k.message);
        EXPECT_TRUE(Bars().empty());
        EXPECT_TRUE(Line().empty());
        EXPECT_EQ(Form1->Memo1->toPlainText(), "");
        EXPECT_EQ(spectrum::Form2->Label6->text(), "") << "no coefficients of an earlier run stay";
        ExpectIntegralModeButtons();
        Press(spectrum::Form2->bStopInt);
    }
}

TEST_F(SpectrumCommandsTest, IntegralWithoutAFitRangeListsAndPlotsButDrawsNoFit)
{
    // One single bin: below the peak the integral drops to 0 at once, so no
    // bin from the peak upward reaches 80 % of the level.
    spectrum::Form2->Spectr.fill(0);
    spectrum::Form2->Spectr[49] = 1000;
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "Нет подгонки: от пика до верхней границы спектр ниже 80 % уровня");
    EXPECT_EQ(MemoLines().size(), 256);
    EXPECT_EQ(Bars().size(), 255u);
    EXPECT_EQ(HeightAt(Bars(), 49), 100);
    EXPECT_TRUE(Line().empty());
    EXPECT_EQ(spectrum::Form2->Label6->text(), "");
    EXPECT_TRUE(spectrum::Form2->Chart2->LeftAxis().Logarithmic());
}

TEST_F(SpectrumCommandsTest, IntegralBoundsAreReadAsTypedAfterTheDisplayIsCleared)
{
    Channel(1);
    SetBounds(" 10", "225");
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << "blanks before the number are skipped";

    Form1->Memo1->setPlainText("old text");
    SetBounds("10 ", "225");
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«10 » не целое число");
    ExpectIntegralModeButtons();
    EXPECT_TRUE(Bars().empty());
    EXPECT_TRUE(Line().empty());
    EXPECT_EQ(Form1->Memo1->toPlainText(), "");
}

TEST_F(SpectrumCommandsTest, WrappedBinsCountAsZeroAndNeverSpoilTheFit)
{
    Channel(4);
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_TRUE(kFitLabel.match(spectrum::Form2->Label6->text()).hasMatch()) << spectrum::Form2->Label6->text().toStdString();
    for (const ui::Point& p : Bars())
        EXPECT_GE(p.Y, 0);
    for (const ui::Point& p : Line())
        EXPECT_TRUE(std::isfinite(p.Y) && p.Y > 0);
    EXPECT_EQ(MemoLines()[71], QString::asprintf("%4d: %5d%9d", 72, -30000 + 72, static_cast<int>(HeightAt(Bars(), 72))))
        << "the listing shows the count as read";
    EXPECT_EQ(HeightAt(Bars(), 71), HeightAt(Bars(), 72)) << "bin 72 adds nothing";
    for (float v : spectrum::Form2->LogIntegr)
        EXPECT_TRUE(std::isfinite(v) && v >= 0);

    Press(spectrum::Form2->bCentre);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    bool ok = false;
    spectrum::Form2->Label1->text().toInt(&ok);
    EXPECT_TRUE(ok) << spectrum::Form2->Label1->text().toStdString();
    for (const ui::Point& p : Bars())
        EXPECT_GE(p.Y, 0);
}

// "Усреднение" after "Интегральный": the highest bar is drawn whole, with
// room to spare below the frame.
TEST_F(SpectrumCommandsTest, AveragingAfterIntegralDrawsThePeakBelowTheFrame)
{
    Channel(1);
    Press(spectrum::Form2->bIntegr);
    Press(spectrum::Form2->bCentre);
    ASSERT_FALSE(Bars().empty());
    double top = 0;
    for (const ui::Point& p : Bars())
        top = std::max(top, p.Y);
    spectrum::Form2->Chart2->Sync();
    const QCPRange shown = spectrum::Form2->Chart2->yAxis->range();
    EXPECT_GT(shown.upper, top * 1.01) << "the peak's top at the frame";
}

TEST_F(SpectrumCommandsTest, IntegralModeKeepsChannelItemsAndRedrawOnItsAxes)
{
    Channel(1);
    Press(spectrum::Form2->bIntegr);
    ASSERT_EQ(Line().size(), 2u);
    Channel(2);
    ExpectIntegralModeButtons();
    EXPECT_EQ(Bars().size(), 256u);
    EXPECT_EQ(Bars()[0].Color, QColor(192, 192, 192)) << "bars in the series' current colour";
    EXPECT_EQ(Line().size(), 2u) << "the fitted line stays";
    EXPECT_TRUE(spectrum::Form2->Chart2->LeftAxis().Logarithmic());
    Press(spectrum::Form2->N2);
    EXPECT_EQ(Bars().size(), 216u);
    EXPECT_EQ(Line().size(), 2u);
    Press(spectrum::Form2->bIntegr);
    EXPECT_EQ(Line().size(), 2u) << "a fresh computation from the working histogram";
}

TEST_F(SpectrumCommandsTest, StopRestoresTheNormalDisplay)
{
    Channel(1);
    Press(spectrum::Form2->bIntegr);
    Press(spectrum::Form2->bStopInt);
    testing_support::ExpectNormalDisplay();
    EXPECT_TRUE(spectrum::Form2->isVisible());

    Channel(3);
    EXPECT_EQ(Bars().size(), 256u);
    EXPECT_EQ(Bars()[0].Color, QColor(0, 128, 0));
}

// ---- MNK -------------------------------------------------------------------------

TEST_F(SpectrumCommandsTest, MNKIsTheOrdinaryLeastSquaresLineOnWellPosedPoints)
{
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> slope(-3, 1), icpt(-2, 5), noise(-0.05f, 0.05f);
    std::uniform_int_distribution<int> count(2, 256);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = count(gen);
        const float b0 = slope(gen), a0 = icpt(gen);
        std::array<float, kFonBins> x{}, y{};
        for (int i = 0; i < n; ++i) {
            x[static_cast<size_t>(i)] = static_cast<float>(std::log10(10.0 + i));
            y[static_cast<size_t>(i)] = a0 + b0 * x[static_cast<size_t>(i)] + noise(gen);
        }
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (int i = 0; i < n; ++i) {
            sx += x[static_cast<size_t>(i)];
            sy += y[static_cast<size_t>(i)];
            sxx += double(x[static_cast<size_t>(i)]) * x[static_cast<size_t>(i)];
            sxy += double(x[static_cast<size_t>(i)]) * y[static_cast<size_t>(i)];
        }
        const double b = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        const double a = (sy - b * sx) / n;
        float fa = 0, fb = 0;
        spectrum::Form2->MNK(x, y, n, fa, fb);
        ASSERT_NEAR(fb, b, 1e-3 * (1 + std::fabs(b))) << "trial " << trial << " n " << n;
        ASSERT_NEAR(fa, a, 1e-3 * (1 + std::fabs(a))) << "trial " << trial << " n " << n;
    }
    std::array<float, kFonBins> x{}, y{};
    float a = 9, b = 9;
    spectrum::Form2->MNK(x, y, 0, a, b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
}

// ---- Усреднение ------------------------------------------------------------------

TEST_F(SpectrumCommandsTest, CentreDrawsTheSmoothedSpectrumWithThePeakRegionInGreen)
{
    Channel(1);
    const auto spectr = spectrum::Form2->Spectr;
    spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series2).AddXY(20, 20);
    Press(spectrum::Form2->bCentre);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_TRUE(Line().empty());
    EXPECT_EQ(spectrum::Form2->Spectr, spectr) << "the working histogram is left as it was";
    EXPECT_FALSE(spectrum::Form2->Chart2->LeftAxis().Logarithmic()) << "the axes are left as they are";

    // First drawing: silver from Lo up; second drawing: Lo..Hi.
    const auto& bars = Bars();
    ASSERT_GT(bars.size(), 216u);
    const size_t first = bars.size() - 216;
    for (size_t i = 0; i < first; ++i) {
        EXPECT_EQ(bars[i].X, 10 + static_cast<double>(i));
        EXPECT_EQ(bars[i].Color, QColor(192, 192, 192));
    }
    std::vector<ui::Point> second(bars.begin() + static_cast<std::ptrdiff_t>(first), bars.end());
    for (size_t i = 0; i < second.size(); ++i)
        ASSERT_EQ(second[i].X, 10 + static_cast<double>(i));
    for (size_t i = 0; i < first; ++i)
        EXPECT_EQ(bars[i].Y, second[i].Y) << "both drawings show the same smoothed bins";
    EXPECT_EQ(second.front().Y, 0) << "bin Lo is cleared";
    EXPECT_EQ(second.back().Y, 0) << "bin Hi is cleared";

    // The green region is one run of bins Left..Right-1, above 80 % of the
    // peak inside, Left and Right at or below it.
    auto firstGreen = std::find_if(second.begin(), second.end(), [](auto& p) { return p.Color == spectrum::kBarGreen; });
    ASSERT_NE(firstGreen, second.end());
    auto pastGreen = std::find_if(firstGreen, second.end(), [](auto& p) { return p.Color != spectrum::kBarGreen; });
    EXPECT_TRUE(std::none_of(pastGreen, second.end(), [](auto& p) { return p.Color == spectrum::kBarGreen; }));
    const int left = static_cast<int>(firstGreen->X);
    const int right = static_cast<int>(pastGreen->X);
    double peak = 0;
    for (auto& p : second)
        peak = std::max(peak, p.Y);
    EXPECT_LE(HeightAt(second, left), 0.8 * peak);
    EXPECT_LE(HeightAt(second, right), 0.8 * peak);
    for (int bin = left + 1; bin < right; ++bin)
        EXPECT_GT(HeightAt(second, bin), 0.8 * peak) << bin;

    // The centre splits the area of Left..Right (both included) in halves.
    bool ok = false;
    const int centre = spectrum::Form2->Label1->text().toInt(&ok);
    ASSERT_TRUE(ok) << spectrum::Form2->Label1->text().toStdString();
    double area = 0;
    for (int bin = left; bin <= right; ++bin)
        area += HeightAt(second, bin);
    double upToCentre = 0;
    for (int bin = left; bin <= centre; ++bin)
        upToCentre += HeightAt(second, bin);
    EXPECT_LE(upToCentre, area / 2);
    EXPECT_GT(upToCentre + HeightAt(second, centre + 1), area / 2);
    EXPECT_GT(centre, 55);
    EXPECT_LT(centre, 85);

    // Twice in a row: the same picture and the same centre.
    const std::vector<ui::Point> before = bars;
    Press(spectrum::Form2->bCentre);
    ASSERT_EQ(Bars().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(Bars()[i].X, before[i].X);
        EXPECT_EQ(Bars()[i].Y, before[i].Y);
        EXPECT_EQ(Bars()[i].Color, before[i].Color);
    }
    EXPECT_EQ(spectrum::Form2->Label1->text(), QString::number(centre));

    // A redraw puts the channel text back.
    Press(spectrum::Form2->N2);
    EXPECT_EQ(spectrum::Form2->Label1->text(), "№ 1");
}

TEST_F(SpectrumCommandsTest, CentreAfterTheIntegralDrawsOnItsLogarithmicAxesAndClearsTheFit)
{
    Channel(1);
    Press(spectrum::Form2->bIntegr);
    ASSERT_FALSE(Line().empty());
    Press(spectrum::Form2->bCentre);
    EXPECT_TRUE(Line().empty());
    EXPECT_TRUE(spectrum::Form2->Chart2->LeftAxis().Logarithmic());
    EXPECT_TRUE(spectrum::Form2->Chart2->BottomAxis().Logarithmic());
    EXPECT_TRUE(std::any_of(Bars().begin(), Bars().end(), [](auto& p) { return p.Color == spectrum::kBarGreen; }));
    ExpectIntegralModeButtons();
}

TEST_F(SpectrumCommandsTest, CentreRefusesRunsWithoutAnAnswerAndSaysWhy)
{
    struct Case { int channel; QString lo, hi, message; };
    const Case cases[] = {
        {1, "4", "225", "Нижняя граница должна быть не меньше 5"},
        {1, "10", "300", spectrum::BinBoundsMessage()},
        {3, "10", "225", "Нет пика: в диапазоне нет отсчётов"},
        {1, "30", "20", "Нет пика: в диапазоне нет отсчётов"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE((k.lo + " " + k.hi).toStdString());
        ui::ErrorReport::Reset();
        Channel(1);
        SetBounds("10", "225");
        Press(spectrum::Form2->bCentre); // a complete run first
        ASSERT_EQ(ui::ErrorReport::Count(), 0);
        Channel(k.channel);
        SetBounds(k.lo, k.hi);
        Press(spectrum::Form2->bCentre);
        EXPECT_EQ(ui::ErrorReport::LastMessage(), k.message);
        EXPECT_TRUE(Bars().empty());
        EXPECT_EQ(spectrum::Form2->Label1->text(), QString("№ %1").arg(k.channel)) << "no centre of an earlier run stays";
    }

    // A peak whose smoothing would run past bin 256.
    spectrum::Form2->Spectr.fill(0);
    spectrum::Form2->Spectr[253] = 100;
    SetBounds("200", "256");
    Press(spectrum::Form2->bCentre);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "Пик слишком близко к концу спектра");
    EXPECT_TRUE(Bars().empty());

    SetBounds("10", "225 ");
    Press(spectrum::Form2->bCentre);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«225 » не целое число");
    EXPECT_TRUE(Bars().empty());
}

} // namespace
