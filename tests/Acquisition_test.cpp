// A run as the main window shows it: captions and buttons of the run
// states, the labels, the background chart batch by batch, the memo at the
// stop, errors in the status bar and the error window, closing the window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "datafiles/RecordFile.h"
#include "mainwindow/Listing.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
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
    /// The buttons of Idle, of a run, or of a run halted by error (where
    /// only EXIT is enabled besides the start button).
    void ExpectButtons(bool idle, const char* caption, bool exitEnabled = false) const
    {
        TForm1* f = form();
        EXPECT_EQ(f->bStart1->text(), caption);
        EXPECT_EQ(f->bExit1->isEnabled(), idle || exitEnabled);
        for (QPushButton* b : {f->bGain1, f->bView, f->bViewRad, f->bWrite1, f->bDown, f->bUp, f->bReadFon,
                               f->bReadRad, f->Button1, f->Button2, f->bForm2, f->bStability})
            EXPECT_EQ(b->isEnabled(), idle) << b->objectName().toStdString();
    }
};

TEST_F(AcquisitionTest, StartAndStopAsTheWindowShowsThem)
{
    TForm1* f = form();
    StartRun(*f);
    ExpectButtons(false, "Stop");
    EXPECT_FALSE(f->Label8->text().isEmpty()); // the run's start time
    EXPECT_FALSE(f->Label6->text().isEmpty()); // the frame's
    Points(*f, 7);
    EXPECT_EQ(f->KadrN->text(), "7");
    Ticks(*f, 3);
    f->findChild<QPushButton*>("bStart1")->click();
    ExpectButtons(true, "Start");
    EXPECT_EQ(f->Memo1->toPlainText(), "Кол-во кадров - 178");
    EXPECT_EQ(f->Skadr->text(), "1");
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
    Points(*f, 580);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0); // cleared for the next frame
    EXPECT_EQ(f->Skadr->text(), "1");
}

TEST_F(AcquisitionTest, HaltedByADriverErrorThenStopped)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 2);
    Sim().fail(1, SimOpStart, 1, -3);
    Ticks(*f, 1);
    EXPECT_EQ(f->status->currentMessage(), "Недопустимый базовый адрес");
    ExpectButtons(false, "Start", true);
    f->bStart1Click(); // the stop branch writes the frame
    ExpectButtons(true, "Start");
    EXPECT_EQ(recfile::Count(f->Run().FonFile(), sizeof(TFonKadr)), 1);
}

TEST_F(AcquisitionTest, AWriteFailureGoesToTheStatusBarAndTheErrorWindow)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 3);
    const QString name = QString::fromStdString(f->Run().FonFile());
    ASSERT_TRUE(QFile::remove(name));
    f->bStart1Click();
    EXPECT_EQ(f->status->currentMessage(), "6_12_23_5.fon: нет такого файла или папки");
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "6_12_23_5.fon: нет такого файла или папки");
    ExpectButtons(false, "Start", true);
    QFile(name).open(QIODevice::WriteOnly);
    f->bStart1Click();
    ExpectButtons(true, "Start");
}

TEST_F(AcquisitionTest, ABadLimitIsReportedAtEveryTickUntilCorrected)
{
    TForm1* f = form();
    StartRun(*f);
    f->MaskEdit2->setText("");
    Ticks(*f, 3);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«» не целое число");
    EXPECT_EQ(ui::ErrorReport::Count(), 3);
    f->MaskEdit2->setText(" 20     ");
    Ticks(*f, 1);
    EXPECT_EQ(f->Run().Engine().CycleCount, 1);
}

TEST_F(AcquisitionTest, ClosingTheWindowDuringARunWritesTheFrameFirst)
{
    TForm1* f = form();
    f->show();
    StartRun(*f);
    Points(*f, 2);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f->Run().FonFile())));
    f->close(); // its file is gone twice over: the frame goes to a rescue file
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(f->Run().Running());
    auto rec = std::make_unique<TFonKadr>();
    recfile::ReadRecord("6_12_23_5_2.fon", 0, *rec);
    EXPECT_EQ(rec->Counts1[1], 25);
}

TEST_F(AcquisitionTest, TheRescueFileStaysNamedUntilTheNextStart)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 2);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f->Run().FonFile())));
    Points(*f, 10); // the save of the frame so far fails: it goes on in a rescue file
    ASSERT_TRUE(WaitFor([&] { return f->lRescue->isVisibleTo(f); }));
    const QString rescue = QDir::toNativeSeparators(QDir::current().absoluteFilePath("6_12_23_5_2.fon"));
    EXPECT_EQ(f->lRescue->text(), "Запасной файл: " + rescue);
    EXPECT_TRUE(f->status->currentMessage().endsWith("запись продолжается в запасной файл 6_12_23_5_2.fon"))
        << f->status->currentMessage().toStdString();
    f->NoError(); // as a radio event says
    EXPECT_EQ(f->status->currentMessage(), "Всё работает замечательно");
    EXPECT_EQ(f->lRescue->text(), "Запасной файл: " + rescue);

    f->bStart1Click();
    ExpectButtons(true, "Start");
    EXPECT_TRUE(f->lRescue->isVisibleTo(f));
    EXPECT_EQ(f->lRescue->text(), "Запасной файл: " + rescue);
    EXPECT_TRUE(f->Memo1->toPlainText().endsWith("Кадры в запасном файле:\n" + rescue)) << f->Memo1->toPlainText().toStdString();
    EXPECT_EQ(f->Run().RescueNotices().size(), 1);
    EXPECT_EQ(recfile::Count("6_12_23_5_2.fon", sizeof(TFonKadr)), 1);

    StartRun(*f);
    EXPECT_FALSE(f->lRescue->isVisibleTo(f));
    EXPECT_TRUE(f->Run().RescueNotices().isEmpty());
}

TEST_F(AcquisitionTest, WhenNothingCanTakeTheFrameLeavingAsksFirst)
{
    // The run's directory goes away: neither its files nor a rescue file can be written.
    ASSERT_TRUE(QDir().mkdir("station"));
    QDir::setCurrent("station");
    TForm1* f = form();
    f->show();
    StartRun(*f);
    Points(*f, 2);
    QDir station(QDir::currentPath());
    ASSERT_TRUE(station.removeRecursively());
    QStringList asked;
    bool quit = false;
    f->AskQuit = [&](const QString& q) {
        asked << q;
        return quit;
    };
    f->close();
    EXPECT_TRUE(f->isVisible()); // the operator went back
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(f->bExit1->isEnabled());
    quit = true;
    f->bExit1->click();
    EXPECT_FALSE(f->isVisible());
    EXPECT_FALSE(f->Run().Running());
    EXPECT_EQ(asked.size(), 2);
}

TEST_F(AcquisitionTest, WhatAKillLeavesIsReadBackByTheViewer)
{
    TForm1* f = form();
    for (int points : {10, 20, 590}) {
        StartRun(*f);
        Points(*f, points);
        // A copy of the file as it is during the run: what a kill would leave.
        ASSERT_TRUE(QFile::copy(QString::fromStdString(f->Run().FonFile()), QString("kill_%1.fon").arg(points)));
        f->bStart1Click();
    }
    f->bView->click();
    for (int points : {10, 20, 590}) {
        SCOPED_TRACE(points);
        const auto items = f->ListBox1->findItems(QString("kill_%1.fon").arg(points), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        f->ListBox1->setCurrentItem(items.front());
        EXPECT_EQ(f->Skadr->text(), "1");
        const auto& ch1 = f->Chart2->SeriesAt(0).Points();
        ASSERT_EQ(ch1.size(), static_cast<size_t>(kFonPoints));
        EXPECT_EQ(ch1[points - 1].Y, 25 + 5);
        EXPECT_EQ(ch1[points].Y, 0 + 5);
        const TPointTime end = f->FonRec.Times[points];
        EXPECT_EQ(f->Label24->text(), PointTimeText(end.Hour, end.Min, end.Sec));
        EXPECT_NE(end.Hour + end.Min + end.Sec, 0);
    }
}

TEST_F(AcquisitionTest, RadioEventShownWithItsLabelsAndWaveforms)
{
    TForm1* f = form();
    std::vector<int16_t> w(4096);
    for (int i = 0; i < 4096; ++i)
        w[static_cast<size_t>(i)] = static_cast<int16_t>(i % 7 - 30);
    Sim().scriptSamples(4, 0, w); // radio channel 3
    StartRun(*f);
    Sim().triggerAtQuery(3, 1);
    Ticks(*f, 1);
    EXPECT_EQ(f->Label2->text(), "1");
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(f->status->currentMessage(), "Всё работает замечательно");
    // The waveforms are drawn up to sample 4095, the marker as two points.
    ASSERT_EQ(f->Chart1->SeriesAt(2).Count(), 4095);
    EXPECT_EQ(f->Chart1->SeriesAt(2).Points()[0].Y, -30);
    EXPECT_EQ(f->Chart1->SeriesAt(2).Points()[0].Color, QColor(0, 128, 0));
    Sim().triggerAtQuery(3, 1);
    Ticks(*f, 1);
    const auto& marker = f->Chart1->SeriesAt(6).Points();
    ASSERT_EQ(marker.size(), 2u); // replaced, not appended at every event
    EXPECT_EQ(marker[0].X, 2577);
    EXPECT_EQ(marker[0].Y, 127);
    EXPECT_EQ(marker[1].Y, -128);
}

TEST_F(AcquisitionTest, AFrameKeepsTheLimitsItWasCountedWith)
{
    TForm1* f = form();
    QLineEdit* edits[] = {f->MaskEdit1, f->MaskEdit2, f->MaskEdit3, f->MaskEdit4};
    const QString limits[] = {"15", "21", "17", "-3"};
    for (int c = 0; c < 4; ++c)
        edits[c]->setText(limits[c]);
    StartRun(*f);
    Points(*f, 2);
    f->bStart1Click();
    for (QLineEdit* e : edits)
        e->setText("0");
    f->bView->click();
    f->ListBox1->setCurrentRow(0);
    // Viewing the frame shows the limits it was counted with, and the next
    // run counts with them again.
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(edits[c]->text(), limits[c]);
    EXPECT_EQ(f->FonRec.ChanParam, 90);
    EXPECT_EQ(f->Run().LimitInForce(4), -3);
}

TEST_F(AcquisitionTest, LiveTimeInTheStatusBar)
{
    TForm1* f = form();
    StartRun(*f);
    Points(*f, 1);
    EXPECT_TRUE(f->LiveTimer->isActive());
    EXPECT_TRUE(WaitFor([f] { return f->lLiveTime->text().startsWith("Живое время "); }))
        << f->lLiveTime->text().toStdString();
    f->bStart1Click();
    EXPECT_FALSE(f->LiveTimer->isActive());
    EXPECT_TRUE(f->lLiveTime->text().startsWith("Последний запуск: живое время ")) << f->lLiveTime->text().toStdString();
}

} // namespace
