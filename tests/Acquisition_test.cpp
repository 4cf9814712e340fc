// A run from "Start" to "Stop": points, chart batches, frames, the stop,
// and the faults a run must survive without losing data.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Chart.h"
#include "platform/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/Runs.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

class AcquisitionTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        Sim().logPolls(false);
        ScriptBackground();
    }
    TFonKadr ReadFon(int32_t index, int32_t* count = nullptr) const
    {
        auto rec = std::make_unique<TFonKadr>();
        const int32_t n = recfile::ReadRecord(form()->FonFileName, index, *rec);
        if (count)
            *count = n;
        return *rec;
    }
    void ExpectHalted() const
    {
        TForm1* f = form();
        EXPECT_TRUE(f->Running);
        EXPECT_FALSE(f->Timer1->isActive());
        EXPECT_EQ(f->bStart1->text(), "Start");
        EXPECT_EQ(f->AdcFon1, nullptr);
        EXPECT_EQ(f->AdcRad1, nullptr);
        for (QPushButton* b : {f->bGain1, f->bExit1, f->bView, f->bViewRad, f->bWrite1})
            EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    }
    void ExpectIdle() const
    {
        TForm1* f = form();
        EXPECT_FALSE(f->Running);
        EXPECT_FALSE(f->Timer1->isActive());
        EXPECT_EQ(f->bStart1->text(), "Start");
        EXPECT_EQ(f->AdcFon1, nullptr);
        for (QPushButton* b : {f->bGain1, f->bExit1, f->bView, f->bViewRad, f->bWrite1})
            EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    }
};

TEST_F(AcquisitionTest, StartCreatesBothFilesNamedFromDateAndTime)
{
    TForm1* f = form();
    StartRun(*f);
    EXPECT_EQ(f->RadFileName, "6_12_23_5.Rad");
    EXPECT_EQ(f->FonFileName, "6_12_23_5.fon");
    EXPECT_TRUE(QFile::exists("6_12_23_5.Rad"));
    EXPECT_TRUE(QFile::exists("6_12_23_5.fon"));
    EXPECT_EQ(QFile("6_12_23_5.fon").size(), 0);
    EXPECT_EQ(f->bStart1->text(), "Stop");
    EXPECT_TRUE(f->Timer1->isActive());
    EXPECT_EQ(f->FonRec.KadrNo, 1);
    EXPECT_EQ(f->FonRec.Rate, 100000000);
    EXPECT_EQ(f->FonRec.Year, 2026);
    EXPECT_EQ(f->FonRec.DayOfWeek, 1); // 6 December 2026 is a Sunday
    EXPECT_EQ(f->FonRec.Hour, 23);
    EXPECT_EQ(f->FonRec.Min, 5);
    f->FileName();
    EXPECT_EQ(f->FonFileName, "6_12_23_5.fon");
    for (QPushButton* b : {f->bGain1, f->bExit1, f->bView, f->bViewRad, f->bWrite1})
        EXPECT_FALSE(b->isEnabled());
}

TEST_F(AcquisitionTest, SameMinuteRestartNeverTruncatesTheFirstRun)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 2);
    f->bStart1Click();
    const auto first = FileBytes("6_12_23_5.fon");
    ASSERT_EQ(first.size(), sizeof(TFonKadr));
    StartRun(*f);
    EXPECT_EQ(f->FonFileName, "6_12_23_5_2.fon");
    EXPECT_EQ(f->RadFileName, "6_12_23_5_2.Rad");
    f->bStart1Click();
    EXPECT_EQ(FileBytes("6_12_23_5.fon"), first);
    // A stray file of either kind takes the name too: both files share a stem.
    QFile("6_12_23_5_3.Rad").open(QIODevice::WriteOnly);
    StartRun(*f);
    EXPECT_EQ(f->FonFileName, "6_12_23_5_4.fon");
    EXPECT_EQ(f->RadFileName, "6_12_23_5_4.Rad");
    EXPECT_FALSE(QFile::exists("6_12_23_5_3.fon"));
}

TEST_F(AcquisitionTest, PointEveryTwentyFiveCycles)
{
    TForm1* f = form();
    StartRun(*f);
    Ticks(*f, 24);
    EXPECT_EQ(f->PointNo, 0);
    EXPECT_EQ(f->CycleCount, 24);
    EXPECT_EQ(f->FonSum1, 24);
    EXPECT_EQ(f->FonSum4, 24 * 4);
    Ticks(*f, 1);
    EXPECT_EQ(f->PointNo, 1);
    EXPECT_EQ(f->CycleCount, 0);
    EXPECT_EQ(f->FonSum1, 0);
    EXPECT_EQ(f->FonRec.Counts1[0], 25);
    EXPECT_EQ(f->FonRec.Counts2[0], 50);
    EXPECT_EQ(f->FonRec.Counts3[0], 75);
    EXPECT_EQ(f->FonRec.Counts4[0], 100);
    EXPECT_EQ(f->FonRec.Times[0].Hour, 23);
    EXPECT_EQ(f->FonRec.Times[0].Min, 5);
    EXPECT_EQ(f->KadrN->text(), "1");
    // Every pulse of amplitude 50 went into bin 50 of its channel.
    EXPECT_EQ(f->FonRec.Spectr1[49], 25);
    EXPECT_EQ(f->FonRec.Spectr4[49], 100);
}

TEST_F(AcquisitionTest, ChartBatchOfElevenPointsEveryTenPoints)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 9);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0);
    Points(*f, 1);
    // The first batch has no point 0 to draw: points 1..10.
    ASSERT_EQ(f->Chart2->SeriesAt(0).Count(), 10);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Points()[0].X, 1);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Points()[0].Y, 25 + 5);
    EXPECT_EQ(f->Chart2->SeriesAt(1).Points()[0].Y, 50 + 4);
    EXPECT_EQ(f->Chart2->SeriesAt(2).Points()[0].Y, 75 + 3);
    EXPECT_EQ(f->Chart2->SeriesAt(3).Points()[9].Y, 100 + 2);
    EXPECT_EQ(f->Chart2->SeriesAt(3).Points()[9].Color, QColor(255, 128, 64));
    Points(*f, 10);
    // The next batch starts with the last point of the previous one: 10..20.
    ASSERT_EQ(f->Chart2->SeriesAt(0).Count(), 21);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Points()[10].X, 10);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Points()[20].X, 20);
    EXPECT_EQ(f->PlotStart, 20);
}

TEST_F(AcquisitionTest, FrameWrittenEverySixHundredPoints)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 599);
    EXPECT_EQ(QFile(QString::fromStdString(f->FonFileName)).size(), 0);
    Points(*f, 1);
    EXPECT_EQ(f->FonRecNo, 1);
    EXPECT_EQ(f->PointNo, 0);
    EXPECT_EQ(f->Skadr->text(), "1");
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0); // cleared for the next frame
    EXPECT_EQ(f->FonRec.KadrNo, 2);
    EXPECT_EQ(f->FonRec.Spectr1[49], 0); // the next frame's spectra start empty
    Points(*f, 1200);
    int32_t count = 0;
    for (int r = 0; r < 3; ++r) {
        const TFonKadr k = ReadFon(r, &count);
        EXPECT_EQ(k.KadrNo, r + 1);
        EXPECT_EQ(k.Counts1[599], 25);
        EXPECT_EQ(k.Counts4[0], 100);
        EXPECT_EQ(k.Spectr2[49], 600 * 50);
        EXPECT_EQ(k.FGain1, 100);
    }
    EXPECT_EQ(count, 3);
}

TEST_F(AcquisitionTest, StopAfterSevenPointsAndThreeCycles)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 7);
    Ticks(*f, 3);
    clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 6, 40, 500)));
    f->findChild<QPushButton*>("bStart1")->click();
    EXPECT_EQ(f->Memo1->toPlainText(), "Кол-во кадров - 178");
    ExpectIdle();
    int32_t count = 0;
    const TFonKadr k = ReadFon(0, &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(f->FonRecNo, 1);
    EXPECT_EQ(f->Skadr->text(), "1");
    // Points 1 to 7 keep their counts; 8 on are zero; point 8 carries the stop time.
    for (int p = 1; p <= 7; ++p)
        EXPECT_EQ(k.Counts3[p - 1], 75) << p;
    for (int p = 8; p <= 600; ++p)
        ASSERT_TRUE(k.Counts1[p - 1] == 0 && k.Counts2[p - 1] == 0 && k.Counts3[p - 1] == 0 && k.Counts4[p - 1] == 0) << p;
    EXPECT_EQ(k.Times[7].Hour, 23);
    EXPECT_EQ(k.Times[7].Min, 6);
    EXPECT_EQ(k.Times[7].Sec, 40);
    EXPECT_EQ(k.Times[7].MSec, 500);
    // The spectra cover the partial frame: 7 × 25 + 3 cycles.
    EXPECT_EQ(k.Spectr1[49], 178);
}

TEST_F(AcquisitionTest, StopBeforeTheFirstPointAndRightAfterAFrame)
{
    TForm1* f = form();
    StartRun(*f);
    Ticks(*f, 10);
    f->bStart1Click();
    TFonKadr k = ReadFon(0);
    EXPECT_EQ(k.Counts1[0], 0);
    EXPECT_EQ(k.Spectr1[49], 10);
    EXPECT_EQ(k.Times[0].Min, 5); // the stop time marks the end at point 1

    StartRun(*f);
    Points(*f, 600);
    f->bStart1Click();
    int32_t count = 0;
    k = ReadFon(1, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(k.KadrNo, 2);
    for (int p = 0; p < 600; ++p)
        ASSERT_EQ(k.Counts1[p], 0);
}

TEST_F(AcquisitionTest, DriverFailureOfABackgroundBoardDuringARun)
{
    for (int board = 1; board <= 2; ++board) {
        SCOPED_TRACE(board);
        TForm1* f = form();
        StartRun(*f);
        Points(*f, 2);
        Ticks(*f, 1);
        Sim().fail(board, SimOpStart, 1, -3);
        f->Timer1Timer();
        EXPECT_EQ(f->status->currentMessage(), "Недопустимый базовый адрес");
        ExpectHalted();
        // A failing first board counts nothing of the cycle; a failing second
        // board has channels 1 and 2 counted, not 3 and 4, and no cycle.
        EXPECT_EQ(f->CycleCount, 1);
        EXPECT_EQ(f->FonSum1, board == 1 ? 1 : 2);
        EXPECT_EQ(f->FonSum3, 3);
        f->bStart1Click(); // the stop branch writes the frame
        ExpectIdle();
        EXPECT_EQ(f->Memo1->toPlainText(), "Кол-во кадров - 51");
        EXPECT_EQ(ReadFon(0).Counts2[1], 50);
    }
}

TEST_F(AcquisitionTest, BoundedWaitForTheSecondBackgroundBoard)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 1);
    Sim().setNeverReady(2, true);
    f->Timer1Timer();
    ExpectHalted();
    EXPECT_TRUE(f->status->currentMessage().contains("Плата фона 2")) << f->status->currentMessage().toStdString();
    Sim().setNeverReady(2, false);
    f->bStart1Click();
    ExpectIdle();
    EXPECT_EQ(ReadFon(0).Counts1[0], 25);
}

TEST_F(AcquisitionTest, FullFrameThatCannotBeWrittenIsKeptAndWrittenLater)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 599);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f->FonFileName)));
    Ticks(*f, 24);
    f->findChild<QPushButton*>("bStart1"); // the tick goes through the guard like the timer's
    rt::Guard([&] { f->Timer1Timer(); });
    EXPECT_EQ(rt::ErrorReport::LastMessage(), "File not found");
    EXPECT_EQ(f->status->currentMessage(), "File not found");
    ExpectHalted();
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->PointNo, 600);
    EXPECT_EQ(f->FonRec.KadrNo, 1);
    EXPECT_EQ(f->FonRec.Spectr1[49], 600 * 25);
    // Still missing: the press fails again and stays halted.
    EXPECT_FALSE(rt::Guard([&] { f->bStart1Click(); }));
    ExpectHalted();
    QFile(QString::fromStdString(f->FonFileName)).open(QIODevice::WriteOnly);
    f->bStart1Click();
    ExpectIdle();
    EXPECT_EQ(f->Memo1->toPlainText(), "Кол-во кадров - 15000");
    int32_t count = 0;
    const TFonKadr k = ReadFon(0, &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(k.KadrNo, 1);
    EXPECT_EQ(k.Counts1[599], 25); // a full frame: nothing zeroed
    EXPECT_EQ(k.Spectr1[49], 600 * 25);
}

TEST_F(AcquisitionTest, LastFrameThatCannotBeWrittenAtStop)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 3);
    const std::string name = f->FonFileName;
    ASSERT_TRUE(QFile::remove(QString::fromStdString(name)));
    EXPECT_FALSE(rt::Guard([&] { f->bStart1Click(); }));
    EXPECT_EQ(rt::ErrorReport::LastMessage(), "File not found");
    ExpectHalted();
    QFile(QString::fromStdString(name)).open(QIODevice::WriteOnly);
    f->bStart1Click();
    ExpectIdle();
    EXPECT_EQ(ReadFon(0).Counts1[2], 25);
}

TEST_F(AcquisitionTest, GainsChosenBetweenRunsReachTheBoardsAtTheNextStart)
{
    TForm1* f = form();
    f->FGainSel1 = 40;
    f->RGainSel6 = 2;
    f->GainChanged = true;
    Sim().clearLog();
    f->Timer1Timer();
    EXPECT_EQ(f->lFGain1->text(), "40");
    EXPECT_EQ(f->lRGain6->text(), "2");
    EXPECT_EQ(f->FonRec.FGain1, 40);
    EXPECT_TRUE(Sim().calls().empty()); // no board is called between runs
    StartRun(*f);
    const auto setups = Sim().calls(SimOpSetup);
    ASSERT_EQ(setups.size(), 5u);
    int32_t g1, g2;
    std::memcpy(&g1, setups[0].params + 32, 4);
    std::memcpy(&g2, setups[4].params + 36, 4);
    EXPECT_EQ(g1, 40);
    EXPECT_EQ(g2, 2);
    Points(*f, 1);
    f->bStart1Click();
    EXPECT_EQ(ReadFon(0).FGain1, 40);
}

TEST_F(AcquisitionTest, ABadLimitIsReportedAtEveryTickUntilCorrected)
{
    TForm1* f = form();
    StartRun(*f);
    f->MaskEdit2->setText("");
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(rt::Guard([&] { f->Timer1Timer(); }));
    EXPECT_EQ(rt::ErrorReport::LastMessage(), "'' is not a valid integer value");
    EXPECT_EQ(rt::ErrorReport::Count(), 3);
    EXPECT_EQ(f->CycleCount, 0);
    f->MaskEdit2->setText(" 20     ");
    f->Timer1Timer();
    EXPECT_EQ(f->CycleCount, 1);
}

TEST_F(AcquisitionTest, ClosingTheWindowDuringARunWritesTheFrameFirst)
{
    TForm1* f = form();
    f->show();
    StartRun(*f);
    Points(*f, 2);
    const QString fon = QString::fromStdString(f->FonFileName);
    ASSERT_TRUE(QFile::remove(fon));
    f->close(); // the frame cannot be written: the window stays
    EXPECT_TRUE(f->isVisible());
    ExpectHalted();
    QFile(fon).open(QIODevice::WriteOnly);
    f->close();
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(f->Running);
    EXPECT_EQ(ReadFon(0).Counts1[1], 25);
}

TEST_F(AcquisitionTest, DriverAbsentOrBrowsingControlsDuringARun)
{
    TForm1* f = form();
    StartRun(*f);
    for (QPushButton* b : {f->bDown, f->bUp, f->bReadFon, f->bReadRad, f->Button1, f->Button2, f->bForm2})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    f->bStart1Click();
    for (QPushButton* b : {f->bDown, f->bUp, f->bReadFon, f->bReadRad, f->Button1, f->Button2, f->bForm2})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
}

} // namespace
