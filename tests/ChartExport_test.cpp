// Saving a chart: PNG and PDF of the chart's size, CSV of its points by
// series name with '.' under a decimal-comma locale, and the name the saves
// offer.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "ui/Chart.h"
#include "ui/ChartExport.h"
#include "support/DecimalComma.h"
#include "support/Fixtures.h"

namespace {

class ChartExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        chart_ = std::make_unique<ui::TChart>();
        chart_->SetTitle("Спектр");
        const int line = chart_->AddSeries(ui::SeriesKind::Line, Qt::red);
        const int bars = chart_->AddSeries(ui::SeriesKind::Bar, Qt::green, "Спектр, \"сырой\"");
        chart_->SeriesAt(line).AddXY(1.5, -2.25);
        chart_->SeriesAt(line).AddXY(600, 1234567);
        chart_->SeriesAt(bars).AddXY(3, 0.1);
    }
    QString Path(const char* name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
    std::unique_ptr<ui::TChart> chart_;
};

TEST_F(ChartExportTest, PngAndPdfHaveTheChartsSize)
{
    const QSize sizes[] = {{762, 386}, {463, 300}};
    for (const QSize& size : sizes) {
        chart_->resize(size);
        ASSERT_TRUE(ui::SavePngFile(*chart_, Path("c.png")));
        EXPECT_EQ(QImage(Path("c.png")).size(), size);
    }
    ASSERT_TRUE(ui::SavePdfFile(*chart_, Path("c.pdf")));
    QFile pdf(Path("c.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
}

TEST_F(ChartExportTest, CsvPointsReadBackExactlyUnderADecimalCommaLocale)
{
    testing_support::DecimalCommaLocale ru;
    ASSERT_TRUE(ru.ok()) << ru.error();
    ASSERT_TRUE(ui::SaveCsvFile(*chart_, Path("c.csv")));
    QFile csv(Path("c.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    // A series by its legend name, quoted as it needs; one without a name by its number.
    EXPECT_EQ(csv.readAll().toStdString(),
              "series,x,y\r\n0,1.5,-2.25\r\n0,600,1234567\r\n\"Спектр, \"\"сырой\"\"\",3,0.1\r\n");
}

TEST_F(ChartExportTest, OfferedNameIsTheRecordOnShowUntilTheChartIsRedrawn)
{
    chart_->SetExportName(ui::RecordExportName("data/6_12_23_5_2.fon", 2) + "_raw");
    EXPECT_EQ(chart_->ExportName(), "6_12_23_5_2.fon_3_raw");
    chart_->SeriesAt(0).Clear(); // redrawn by a run, say: the record is no longer on show
    EXPECT_EQ(chart_->ExportName(), "Спектр");
}

} // namespace
