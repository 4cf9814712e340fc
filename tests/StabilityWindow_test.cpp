// The stability window: a scan on its worker thread over a file set with a
// torn and a missing file, the outlier listed and opened by a click, and a
// cancel in the middle of a scan.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <span>
#include <fstream>
#include <gtest/gtest.h>

#include "stability/FindingsModel.h"
#include "stability/StabilityWindow.h"
#include "stability/TrendCharts.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"

using namespace testing_support;

TEST(StabilityWindow, ScanListsBadFilesAndOutliersAndAClickAsksForTheFrame)
{
    EnsureApp();
    QTemporaryDir dir;
    std::vector<std::unique_ptr<TFonKadr>> frames; // equal rates but in frame 18 of channel 3
    for (int r = 0; r < 30; ++r)
        frames.push_back(MakeFonFrame(static_cast<int16_t>(r + 1)));
    std::fill_n(frames[17]->Counts3, kFonPoints, 99999);
    WriteFonFile(dir.filePath("a.fon").toStdString(), frames);
    WriteFonFile(dir.filePath("torn.fon").toStdString(), 2);
    std::ofstream(dir.filePath("torn.fon").toStdString(), std::ios::app) << "cut";
    stability::StabilityWindow w;
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    QSignalSpy open(&w, &stability::StabilityWindow::OpenFrameRequested);
    w.ScanFiles({dir.filePath("a.fon"), dir.filePath("torn.fon"), dir.filePath("gone.fon")});
    EXPECT_FALSE(w.bFiles->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));

    EXPECT_EQ(w.Table().Size(), 32u);
    EXPECT_TRUE(w.bFiles->isEnabled());
    ASSERT_EQ(w.Findings->rowCount(), 3);
    EXPECT_EQ(w.Findings->IssueCount(), 2); // the torn tail and the missing file
    const QModelIndex outlier = w.Findings->index(2, 0);
    EXPECT_EQ(outlier.data().toString(), QStringLiteral("a.fon"));
    EXPECT_EQ(outlier.siblingAtColumn(1).data().toInt(), 18); // frame number
    EXPECT_EQ(outlier.siblingAtColumn(2).data().toInt(), 3);
    EXPECT_EQ(w.Charts->Rings(stability::TrendChart::Rate, 3)->dataCount(), 1);

    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (const QModelIndex& row : {w.Findings->index(0, 0), outlier}) // a file problem opens nothing
        QTest::mouseClick(w.FindingsView->viewport(), Qt::LeftButton, {}, w.FindingsView->visualRect(row).center());
    ASSERT_EQ(open.count(), 1);
    EXPECT_EQ(open[0][0].toString(), dir.filePath("a.fon"));
    EXPECT_EQ(open[0][1].toInt(), 17);
    EXPECT_EQ(open[0][2].toInt(), 3); // its channel
}

TEST(StabilityWindow, RunsOfOneFrameEachAreDrawn)
{
    EnsureApp();
    QTemporaryDir dir;
    stability::StabilityWindow w;
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    WriteFonFile(dir.filePath("a.fon").toStdString(), 1);
    w.ScanFiles({dir.filePath("a.fon")});
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    // The frame shows in each channel's colour inside the plot (the legend lies outside it).
    QCustomPlot* rates = w.Charts->Chart(stability::TrendChart::Rate);
    const QImage image = rates->toPixmap(600, 300).toImage();
    const QRect plot = rates->axisRect()->rect();
    std::array<int, kFonChannels> pixels{};
    for (int x = plot.left(); x <= plot.right(); ++x)
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (size_t c = 0; c < kFonChannels; ++c)
                pixels[c] += image.pixel(x, y) == stability::kChannelColours[c].rgb();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), 0) << ::testing::PrintToString(pixels);
}

TEST(StabilityWindow, LinesNeverJoinFramesOfRunsThatOverlapInTime)
{
    // Two runs taking turns in time (two stations' files side by side):
    // run a counts as MakeFonFrame with a peak at 50, run b twice as much
    // with a peak at 70.
    EnsureApp();
    QTemporaryDir dir;
    for (const char* name : {"a.fon", "b.fon"}) {
        std::vector<std::unique_ptr<TFonKadr>> frames;
        for (int r = 0; r < 4; ++r) {
            frames.push_back(MakeFonFrame(static_cast<int16_t>(r + 1)));
            frames.back()->Min = static_cast<uint16_t>(10 * r + (name[0] == 'b' ? 5 : 0));
            const double peak = name[0] == 'b' ? 70 : 50;
            for (int c = 1; c <= kFonChannels; ++c) {
                for (int i = 1; i <= kFonBins; ++i)
                    frames.back()->Spectr(c)[i - 1] = static_cast<int32_t>(1000 * std::exp(-(i - peak) * (i - peak) / 50));
                for (int32_t& n : std::span(frames.back()->Counts(c), kFonPoints))
                    n *= name[0] == 'b' ? 2 : 1;
            }
        }
        WriteFonFile(dir.filePath(name).toStdString(), frames);
    }
    stability::StabilityWindow w;
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    w.ScanFiles({dir.path()});
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    for (stability::TrendChart chart : {stability::TrendChart::Rate, stability::TrendChart::Centre}) {
        const QCPGraphDataContainer& line = *w.Charts->Line(chart, 1)->data();
        int shown = 0;
        for (auto p = line.constBegin(); p != line.constEnd(); ++p) {
            shown += std::isfinite(p->value);
            if (p != line.constBegin() && std::isfinite(p->value) &&
                std::isfinite((p - 1)->value)) {
                EXPECT_EQ(p->value, (p - 1)->value) << "joined at " << p->key;
            }
            if (p != line.constBegin()) {
                EXPECT_LE((p - 1)->key, p->key);
            }
        }
        EXPECT_EQ(shown, 8);
    }
}

TEST(StabilityWindow, CancelInTheMiddleKeepsTheFramesRead)
{
    EnsureApp();
    QTemporaryDir dir;
    WriteFonFile(dir.filePath("a.fon").toStdString(), 64);
    const QStringList files(100, dir.filePath("a.fon")); // far more reading than the cancel takes
    stability::StabilityWindow w;
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    w.ScanFiles(files);
    w.bCancel->click();
    EXPECT_FALSE(w.bCancel->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));
    EXPECT_LT(w.Table().Size(), 100u * 64);
    EXPECT_FALSE(w.Scanning());
    EXPECT_TRUE(w.bFiles->isEnabled());
    EXPECT_TRUE(w.lSummary->text().endsWith(QStringLiteral("Чтение прервано")));
}

TEST(StabilityWindow, ACentresStoreOpensWithItsOutliersAndBadLines)
{
    EnsureApp();
    QTemporaryDir dir;
    std::ofstream csv(dir.filePath("trend.csv").toStdString(), std::ios::binary);
    csv << "file,frame,start,channel,points,rate,centre,b\r\n"; // a store of an earlier version
    for (int frame = 1; frame <= 30; ++frame)
        for (int c = 1; c <= kFonChannels; ++c)
            csv << "1_1_0_0.fon," << frame << ",2026-12-06T09:" << 10 + frame << ":00.000," << c << ",600,"
                << (frame == 18 && c == 3 ? 900 : 100 + frame % 3) << ",60,-5\r\n";
    csv << "1_1_0_0.fon,31,2026-12-06T09:50:00.000,1,600,abc,60,-5\r\n";
    csv.close();
    stability::StabilityWindow w;
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    QSignalSpy open(&w, &stability::StabilityWindow::OpenFrameRequested);
    w.OpenStore(dir.filePath("trend.csv"));
    EXPECT_FALSE(w.bStore->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }));

    EXPECT_EQ(w.Table().Size(), 30u);
    EXPECT_TRUE(w.bStore->isEnabled());
    ASSERT_EQ(w.Findings->rowCount(), 2);
    EXPECT_EQ(w.Findings->index(0, 4).data().toString(), QStringLiteral("строка 122: поле, где должно быть число, — не число"));
    EXPECT_EQ(w.Findings->index(1, 1).data().toInt(), 18);
    EXPECT_EQ(w.Findings->index(1, 2).data().toInt(), 3);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTest::mouseClick(w.FindingsView->viewport(), Qt::LeftButton, {},
                      w.FindingsView->visualRect(w.Findings->index(1, 0)).center());
    ASSERT_EQ(open.count(), 1);
    EXPECT_EQ(open[0][0].toString(), dir.filePath("1_1_0_0.fon")); // beside the store
}
