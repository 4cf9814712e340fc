// Pictures of the record viewer for the documentation: a background frame
// and a radio event on show, grabbed from the main window. Disabled in the
// suite; run on a display, with an absolute VFON_SHOT_DIR (the test works in
// a temporary directory):
//   VFON_SHOT_DIR=$PWD/docs QT_QPA_PLATFORM=xcb xvfb-run -a
//     -s "-screen 0 1280x1024x24" ViewerScreenshot_test --gtest_also_run_disabled_tests
// It writes viewer-fon.png and viewer-rad.png into VFON_SHOT_DIR, and
// outlier-viewer.png (a frame asked for by the stability window while the
// .fon list is on show) and rescue-notice.png (a run whose .fon went away,
// after Stop).
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "mainwindow/VFonPCI2.h"
#include "ui/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/Runs.h"
#include "support/SampleFiles.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

/// Three frames of a run started 6-12-2026 23:05:00: points about 0.75 s
/// apart, counts scattered around each detector's rate; the run was stopped
/// at point 412 of the third frame.
std::vector<std::unique_ptr<TFonKadr>> RunFrames()
{
    std::mt19937 rng(612);
    const double rates[kFonChannels] = {62, 41, 18, 85};
    std::vector<std::unique_ptr<TFonKadr>> frames;
    double seconds = 23 * 3600 + 5 * 60;
    for (int r = 0; r < 3; ++r) {
        auto f = MakeFonFrame(static_cast<int16_t>(r + 1));
        const int whole = static_cast<int>(seconds);
        f->Hour = static_cast<int16_t>(whole / 3600);
        f->Min = static_cast<int16_t>(whole / 60 % 60);
        f->Sec = static_cast<int16_t>(whole % 60);
        f->FGain1 = f->FGain2 = f->FGain3 = f->FGain4 = 100;
        f->Limit1 = f->Limit2 = f->Limit3 = f->Limit4 = 0;
        for (int k = 1; k <= kFonPoints; ++k) {
            seconds += 0.75 + 0.02 * std::uniform_real_distribution<double>(-1, 1)(rng);
            const int s = static_cast<int>(seconds);
            f->Times[k - 1] = {static_cast<uint16_t>(s / 3600 % 24), static_cast<uint16_t>(s / 60 % 60),
                               static_cast<uint16_t>(s % 60),
                               static_cast<uint16_t>((seconds - s) * 1000)};
            for (int c = 1; c <= kFonChannels; ++c) {
                // A slow drift of the rate over the frame, and counting noise.
                const double mean = rates[c - 1] * (1 + 0.08 * std::sin(k / 90.0 + c));
                f->Counts(c)[k - 1] = std::poisson_distribution<int32_t>(mean)(rng);
            }
            if (r == 2 && k >= 412)
                for (int c = 1; c <= kFonChannels; ++c)
                    f->Counts(c)[k - 1] = 0;
        }
        frames.push_back(std::move(f));
    }
    return frames;
}

/// One shower: noise of a few codes on every antenna channel and a ringing
/// pulse that reaches each channel a little later than the one before.
std::vector<std::unique_ptr<TRadKadr>> ShowerEvents()
{
    std::mt19937 rng(2577);
    std::normal_distribution<double> noise(0, 2.5);
    std::vector<std::unique_ptr<TRadKadr>> events;
    for (int e = 0; e < 2; ++e) {
        auto ev = MakeRadEvent(static_cast<int16_t>(e + 1));
        ev->Hour = 23;
        ev->Min = 9;
        ev->Sec = static_cast<int16_t>(14 + 20 * e);
        ev->RGain1 = ev->RGain2 = 20;
        ev->RGain3 = ev->RGain4 = 5;
        ev->RGain5 = ev->RGain6 = 100;
        const double amplitude[kRadChannels] = {38, 30, 24, 20, 34, 27};
        for (int c = 1; c <= kRadChannels; ++c) {
            const double arrival = 2560 + 6 * c;
            for (int i = 1; i <= kRadSamples; ++i) {
                double v = noise(rng);
                if (i >= arrival) {
                    const double t = i - arrival;
                    v += amplitude[c - 1] * std::exp(-t / 45) * std::sin(t / 3.2);
                }
                ev->Samples(c)[i - 1] = static_cast<int16_t>(std::lround(v));
            }
        }
        events.push_back(std::move(ev));
    }
    return events;
}

class ViewerScreenshot : public WindowTest {
protected:
    void Open(QPushButton* listButton, const QString& name)
    {
        listButton->click();
        const auto items = form()->ListBox1->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        form()->ListBox1->setCurrentItem(items.front());
        ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    }
    void Save(const QString& file)
    {
        // grab() paints the widget itself: the posted layouts and replots are enough.
        for (int i = 0; i < 5; ++i)
            Pump();
        const QString dir = qEnvironmentVariable("VFON_SHOT_DIR", QDir::currentPath());
        ASSERT_TRUE(form()->grab().save(QDir(dir).filePath(file)));
    }
};

TEST_F(ViewerScreenshot, DISABLED_BackgroundFrameAndRadioEvent)
{
    WriteFonFile(Path("6_12_23_5.fon"), RunFrames());
    WriteRadFile(Path("6_12_23_5.Rad"), ShowerEvents());
    TForm1* f = form();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));

    Open(f->bView, "6_12_23_5.fon");
    f->bUp->click();
    Save("viewer-fon.png");

    Open(f->bViewRad, "6_12_23_5.Rad");
    Save("viewer-rad.png");
}

TEST_F(ViewerScreenshot, DISABLED_OutlierFrameWithTheFonListOnShow)
{
    WriteFonFile(Path("6_12_23_5.fon"), RunFrames());
    ASSERT_TRUE(QDir().mkpath("store/ST2"));
    WriteFonFile(Path("store/ST2/7_12_9_40.fon"), RunFrames());
    TForm1* f = form();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    f->bView->click();
    f->OpenFrame(QDir::current().absoluteFilePath("store/ST2/7_12_9_40.fon"), 1, 2);
    f->ListBox1->setFocus(Qt::ActiveWindowFocusReason);
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    Save("outlier-viewer.png");
}

TEST_F(ViewerScreenshot, DISABLED_RescueNoticeAfterStop)
{
    Sim().logPolls(false);
    ScriptBackground();
    TForm1* f = form();
    f->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
    StartRun(*f);
    Points(*f, 2);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(f->Run().FonFile())));
    Points(*f, 10);
    ASSERT_TRUE(WaitFor([&] { return f->lRescue->isVisibleTo(f); }));
    f->NoError(); // a radio event's word covers the status bar's message
    f->bStart1Click();
    Save("rescue-notice.png");
}

} // namespace
