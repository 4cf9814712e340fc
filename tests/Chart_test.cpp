// The chart adapter: points read back in order, one replot per event-loop
// turn, bars in their own colours, axis scaling.
#include <gtest/gtest.h>

#include <cmath>

#include <QApplication>

#include "ui/Chart.h"
#include "support/Fixtures.h"

namespace {

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        chart_ = std::make_unique<ui::TChart>();
        chart_->resize(600, 400);
        QObject::connect(chart_.get(), &QCustomPlot::afterReplot, [this] { ++replots_; });
        testing_support::Pump();
        replots_ = 0;
    }
    std::unique_ptr<ui::TChart> chart_;
    int replots_ = 0;
};

TEST_F(ChartTest, ThousandsOfPointsCostOneReplot)
{
    const int s = chart_->AddSeries(ui::SeriesKind::Line, Qt::red);
    for (int i = 0; i < 5000; ++i)
        chart_->SeriesAt(s).AddXY(i, i % 7);
    EXPECT_EQ(replots_, 0); // nothing drawn while the handler runs
    testing_support::Pump();
    EXPECT_EQ(replots_, 1);
    ASSERT_EQ(chart_->SeriesAt(s).Count(), 5000);
    EXPECT_EQ(chart_->SeriesAt(s).Points()[4999].X, 4999);
    EXPECT_EQ(chart_->SeriesAt(s).Points()[4999].Y, 4999 % 7);
    EXPECT_EQ(chart_->SeriesAt(s).Points()[0].Color, QColor(Qt::red));
    EXPECT_EQ(chart_->graph(0)->dataCount(), 5000);
}

TEST_F(ChartTest, PointsKeepTheOrderAddedAndTheirOwnColours)
{
    const int s = chart_->AddSeries(ui::SeriesKind::Bar, QColor(0, 128, 0));
    ui::Series& bars = chart_->SeriesAt(s);
    bars.AddXY(5, 1);
    bars.AddXY(3, 2, QColor(192, 192, 192));
    bars.AddXY(4, 3);
    ASSERT_EQ(bars.Count(), 3);
    EXPECT_EQ(bars.Points()[0].X, 5);
    EXPECT_EQ(bars.Points()[1].Color, QColor(192, 192, 192));
    EXPECT_EQ(bars.Points()[2].Color, QColor(0, 128, 0));
    chart_->Sync();
    // One bar plottable per colour: green holds two bars, silver one.
    int green = 0, silver = 0;
    for (int i = 0; i < chart_->plottableCount(); ++i)
        if (auto* b = qobject_cast<QCPBars*>(chart_->plottable(i)); b && b->visible()) {
            if (b->brush().color() == QColor(0, 128, 0))
                green = b->data()->size();
            if (b->brush().color() == QColor(192, 192, 192))
                silver = b->data()->size();
        }
    EXPECT_EQ(green, 2);
    EXPECT_EQ(silver, 1);
    bars.Clear();
    EXPECT_EQ(bars.Count(), 0);
    chart_->Sync();
    for (int i = 0; i < chart_->plottableCount(); ++i)
        if (auto* b = qobject_cast<QCPBars*>(chart_->plottable(i))) {
            EXPECT_EQ(b->data()->size(), 0);
        }
}

TEST_F(ChartTest, AutomaticAndFixedAxes)
{
    const int s = chart_->AddSeries(ui::SeriesKind::Line, Qt::blue);
    chart_->SeriesAt(s).AddXY(1, -20);
    chart_->SeriesAt(s).AddXY(600, 350);
    chart_->LeftAxis().SetAutomatic(true);
    chart_->BottomAxis().SetMinMax(0, 600);
    chart_->Sync();
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, -20);
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 350);
    EXPECT_DOUBLE_EQ(chart_->xAxis->range().upper, 600);
    // Minimum fixed, maximum automatic.
    chart_->LeftAxis().SetMinimum(0);
    chart_->LeftAxis().SetAutomaticMaximum(true);
    chart_->Sync();
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 350);
}

TEST_F(ChartTest, LogarithmicAxisIgnoresValuesAtOrBelowZero)
{
    const int s = chart_->AddSeries(ui::SeriesKind::Bar, Qt::gray);
    chart_->SeriesAt(s).AddXY(1, 0);
    chart_->SeriesAt(s).AddXY(2, 10);
    chart_->SeriesAt(s).AddXY(3, 1000);
    chart_->LeftAxis().SetLogarithmic(true);
    chart_->LeftAxis().SetAutomatic(true);
    chart_->Sync();
    EXPECT_EQ(chart_->yAxis->scaleType(), QCPAxis::stLogarithmic);
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, 10);
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 1000);
    chart_->LeftAxis().SetLogarithmic(false);
    EXPECT_EQ(chart_->yAxis->scaleType(), QCPAxis::stLinear);
}

// The highest value is drawn below the frame: an automatic maximum gets its
// headroom on a linear and on a logarithmic axis, a fixed one never does.
TEST_F(ChartTest, HeadroomAboveAnAutomaticMaximum)
{
    const int s = chart_->AddSeries(ui::SeriesKind::Bar, Qt::gray);
    chart_->SeriesAt(s).AddXY(1, 10);
    chart_->SeriesAt(s).AddXY(2, 1000);
    chart_->LeftAxis().SetHeadroom(0.05);
    chart_->LeftAxis().SetMinimum(0);
    chart_->LeftAxis().SetAutomaticMaximum(true);
    chart_->Sync();
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 1050);
    chart_->LeftAxis().SetLogarithmic(true);
    chart_->LeftAxis().SetAutomatic(true);
    chart_->Sync();
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().lower, 10);
    EXPECT_NEAR(std::log10(chart_->yAxis->range().upper), 3.1, 1e-9); // 5 % of two decades
    chart_->LeftAxis().SetLogarithmic(false);
    chart_->LeftAxis().SetMinMax(0, 1000);
    chart_->Sync();
    EXPECT_DOUBLE_EQ(chart_->yAxis->range().upper, 1000);
}

TEST_F(ChartTest, TitlesOfChartAndAxes)
{
    chart_->SetTitle("Радиосигнал");
    chart_->LeftAxis().SetTitle("Коды АЦП");
    EXPECT_EQ(chart_->Title(), "Радиосигнал");
    EXPECT_EQ(chart_->LeftAxis().Title(), "Коды АЦП");
    EXPECT_EQ(chart_->yAxis->label(), "Коды АЦП");
}

} // namespace
