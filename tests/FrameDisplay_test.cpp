// The frame display: what a background frame and a radio event put on the
// two charts and into the labels, the smoothing over 3 and 5 points, the
// end-time rule, the one-channel views and the radio marker.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "platform/RunError.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"

using namespace testing_support;

namespace {

/// y values of a series, in the order added.
std::vector<double> Ys(ui::Series& s)
{
    std::vector<double> ys;
    for (const ui::Point& p : s.Points())
        ys.push_back(p.Y);
    return ys;
}

/// Plain running smoothing over `window` points: a[j] replaced, upward, by
/// the rounded mean of its neighbourhood, whose lower part is already
/// smoothed; the ends keep their values.
std::vector<double> RunningMean(const int32_t* counts, int window)
{
    std::vector<long long> a(counts, counts + kFonPoints);
    const int h = window / 2;
    for (int j = h; j < kFonPoints - h; ++j) {
        long long sum = 0;
        for (int d = -h; d <= h; ++d)
            sum += a[static_cast<size_t>(j + d)];
        a[static_cast<size_t>(j)] = std::lround(static_cast<double>(sum) / window);
    }
    return std::vector<double>(a.begin(), a.end());
}

class FrameDisplayTest : public WindowTest {
protected:
    /// Opens the background file `name` through the list.
    void OpenFon(const std::string& name)
    {
        form()->bView->click();
        SelectListed(name);
    }
    void OpenRad(const std::string& name)
    {
        form()->bViewRad->click();
        SelectListed(name);
    }
    void SelectListed(const std::string& name)
    {
        const auto items = form()->ListBox1->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        form()->ListBox1->setCurrentItem(items.front());
        ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    }
    /// A one-record background file whose frame `edit` has shaped.
    void OpenFrame(const std::function<void(TFonKadr&)>& edit)
    {
        std::vector<std::unique_ptr<TFonKadr>> frames;
        frames.push_back(MakeFonFrame(1));
        edit(*frames.back());
        WriteFonFile(Path("f.fon"), frames);
        OpenFon("f.fon");
    }
};

// ---- Background frame --------------------------------------------------------

TEST_F(FrameDisplayTest, BackgroundFrameRawOnChart2WithLabels)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(MakeFonFrame(42));
    frames[0]->Times[0] = {14, 7, 3, 500};
    frames[0]->Day = 16;
    frames[0]->Month = 1;
    frames[0]->Year = 2027;
    frames[0]->Hour = 8;
    frames[0]->Min = 0;
    frames[0]->Sec = 59;
    frames[0]->Limit2 = -3;
    WriteFonFile(Path("f.fon"), frames);
    OpenFon("f.fon");

    TForm1* f = form();
    for (int c = 1; c <= 4; ++c) {
        const auto& pts = f->Chart2->SeriesAt(c - 1).Points();
        ASSERT_EQ(pts.size(), static_cast<size_t>(kFonPoints));
        for (int k = 1; k <= kFonPoints; ++k) {
            ASSERT_EQ(pts[k - 1].X, k);
            ASSERT_EQ(pts[k - 1].Y, c * 1000 + k + (6 - c)) << "channel " << c << " point " << k;
            ASSERT_EQ(pts[k - 1].Color, f->Chart2->SeriesAt(c - 1).Color());
        }
    }
    EXPECT_EQ(f->Label4->text(), "16-1-2027");
    EXPECT_EQ(f->Label6->text(), "8:0:59");
    EXPECT_EQ(f->KadrN->text(), "42");
    EXPECT_EQ(f->lFGain1->text(), "10");
    EXPECT_EQ(f->lFGain4->text(), "40");
    EXPECT_EQ(f->MaskEdit1->text(), "11");
    EXPECT_EQ(f->MaskEdit2->text(), "-3");
    EXPECT_EQ(f->MaskEdit4->text(), "14");
    EXPECT_EQ(f->Label23->text(), "14: 7: 3");
    EXPECT_TRUE(f->Chart1->LeftAxis().Automatic());
    // Series 4 and 5 of Chart1 carry nothing of a background frame.
    EXPECT_EQ(f->Chart1->SeriesAt(4).Count(), 0);
}

TEST_F(FrameDisplayTest, SmoothingOverThreeIsARunningAverage)
{
    OpenFrame([](TFonKadr& k) {
        std::fill_n(k.Counts1, kFonPoints, 0);
        k.Counts1[2] = 3;
    });
    const std::vector<double> ys = Ys(form()->Chart1->SeriesAt(0));
    ASSERT_EQ(ys.size(), static_cast<size_t>(kFonPoints));
    EXPECT_EQ(std::vector<double>(ys.begin(), ys.begin() + 6), (std::vector<double>{0, 1, 1, 0, 0, 0}));
    EXPECT_EQ(form()->Button2->text(), "Усреднить по 3");
}

TEST_F(FrameDisplayTest, Button2SwitchesToFivePointsAndBack)
{
    OpenFrame([](TFonKadr& k) {
        std::fill_n(k.Counts2, kFonPoints, 0);
        k.Counts2[4] = 10;
    });
    TForm1* f = form();
    f->Button2->click();
    EXPECT_TRUE(f->Average5);
    EXPECT_EQ(f->Button2->text(), "Усреднить по 5");
    std::vector<double> ys = Ys(f->Chart1->SeriesAt(1));
    ASSERT_EQ(ys.size(), static_cast<size_t>(kFonPoints));
    EXPECT_EQ(std::vector<double>(ys.begin(), ys.begin() + 10), (std::vector<double>{0, 0, 2, 2, 3, 1, 1, 0, 0, 0}));

    // The window stays in effect for the next frame displayed.
    f->bReadFon->click();
    ys = Ys(f->Chart1->SeriesAt(1));
    EXPECT_EQ(ys[4], 3);

    f->Button2->click();
    EXPECT_FALSE(f->Average5);
    EXPECT_EQ(f->Button2->text(), "Усреднить по 3");
    ys = Ys(f->Chart1->SeriesAt(1));
    EXPECT_EQ(std::vector<double>(ys.begin(), ys.begin() + 6), (std::vector<double>{0, 0, 0, 3, 4, 1}));
}

TEST_F(FrameDisplayTest, ConstantSeriesComeOutUnchanged)
{
    const int32_t levels[] = {0, 7, -5, 2000000000};
    OpenFrame([&](TFonKadr& k) {
        for (int c = 1; c <= 4; ++c)
            std::fill_n(k.Counts(c), kFonPoints, levels[c - 1]);
    });
    TForm1* f = form();
    for (int pass = 0; pass < 2; ++pass) {
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(Ys(f->Chart1->SeriesAt(c - 1)), std::vector<double>(kFonPoints, levels[c - 1]))
                << "window " << (f->Average5 ? 5 : 3) << " channel " << c;
        f->Button2->click();
    }
}

// Many random frames, both windows: Chart1 shows each channel smoothed as the
// plain running mean gives it, with its end points untouched, and the frame
// in the file is left as it was (Chart2 shows it raw).
TEST_F(FrameDisplayTest, SmoothedViewMatchesPlainRunningMean)
{
    std::mt19937 rng(20261206);
    std::vector<std::unique_ptr<TFonKadr>> frames;
    for (int r = 0; r < 12; ++r) {
        frames.push_back(MakeFonFrame(static_cast<int16_t>(r + 1)));
        const int spread = r < 4 ? 10 : r < 8 ? 100000 : 2000000000;
        std::uniform_int_distribution<int32_t> d(r % 2 ? -spread : 0, spread);
        for (int c = 1; c <= 4; ++c)
            for (int k = 0; k < kFonPoints; ++k)
                frames.back()->Counts(c)[k] = d(rng);
    }
    WriteFonFile(Path("r.fon"), frames);
    OpenFon("r.fon");
    TForm1* f = form();
    for (int window : {3, 5}) {
        if ((window == 5) != f->Average5)
            f->Button2->click();
        for (int r = 0; r < 12; ++r) {
            f->FonRecNo = r;
            f->ViewKadr();
            for (int c = 1; c <= 4; ++c) {
                const int32_t* raw = frames[r]->Counts(c);
                const std::vector<double> ys = Ys(f->Chart1->SeriesAt(c - 1));
                ASSERT_EQ(ys, RunningMean(raw, window)) << "frame " << r << " channel " << c << " window " << window;
                const int h = window / 2;
                for (int e = 0; e < h; ++e) {
                    ASSERT_EQ(ys[e], raw[e]);
                    ASSERT_EQ(ys[kFonPoints - 1 - e], raw[kFonPoints - 1 - e]);
                }
                ASSERT_EQ(f->Chart2->SeriesAt(c - 1).Points()[0].Y, raw[0] + (6 - c));
                ASSERT_EQ(f->FonRec.Counts(c)[300], raw[300]);
            }
        }
    }
}

// ---- The end time ------------------------------------------------------------

class EndTimeTest : public FrameDisplayTest {
protected:
    /// A frame whose point k has the time (k / 60):(k % 60):(k * 7 % 60).
    static std::unique_ptr<TFonKadr> Frame(int16_t no, int zeroFrom)
    {
        auto k = MakeFonFrame(no);
        for (int p = 1; p <= kFonPoints; ++p)
            k->Times[p - 1] = {static_cast<uint16_t>(p / 60), static_cast<uint16_t>(p % 60),
                               static_cast<uint16_t>(p * 7 % 60), 0};
        if (zeroFrom > 0)
            for (int c = 1; c <= 4; ++c)
                std::fill(k->Counts(c) + zeroFrom - 1, k->Counts(c) + kFonPoints, 0);
        return k;
    }
};

TEST_F(EndTimeTest, LastRecordEndsAtItsFirstAllZeroPoint)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(Frame(1, 412)); // stopped mid-frame, but not last
    frames.push_back(Frame(2, 0));
    frames.push_back(Frame(3, 412)); // the last record
    WriteFonFile(Path("e.fon"), frames);
    OpenFon("e.fon");
    TForm1* f = form();
    // Point 600 is 10:0:0, point 412 is 6:52:4.
    EXPECT_EQ(f->Label23->text(), " 0: 1: 7");
    EXPECT_EQ(f->Label24->text(), "10: 0: 0");
    f->bUp->click();
    EXPECT_EQ(f->Label24->text(), "10: 0: 0");
    f->bUp->click();
    ASSERT_EQ(f->KadrN->text(), "3");
    EXPECT_EQ(f->Label24->text(), " 6:52: 4");

    // One channel that still counts makes the point not all zero.
    frames[2]->Counts3[411] = 1;
    WriteFonFile(Path("e.fon"), frames);
    f->ViewKadr();
    EXPECT_EQ(f->Label24->text(), " 6:53:11");
}

TEST_F(EndTimeTest, LastRecordWithoutZeroPointEndsAtPoint600)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(Frame(1, 0));
    WriteFonFile(Path("e.fon"), frames);
    OpenFon("e.fon");
    EXPECT_EQ(form()->Label24->text(), "10: 0: 0");
}

// ---- One-channel background view ------------------------------------------------

TEST_F(FrameDisplayTest, OneChannelFillsOnlyItsSeriesOnBothCharts)
{
    WriteFonFile(Path("f.fon"), 1);
    OpenFon("f.fon");
    TForm1* f = form();
    f->OneChannel = true;
    f->ChannelNo = 2;
    f->ViewKadr();
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(f->Chart1->SeriesAt(s).Count(), s == 1 ? kFonPoints : 0) << s;
        EXPECT_EQ(f->Chart2->SeriesAt(s).Count(), s == 1 ? kFonPoints : 0) << s;
    }
    // Raw, without offset, on Chart2; smoothed on Chart1 (a straight line stays).
    EXPECT_EQ(f->Chart2->SeriesAt(1).Points()[9].Y, 2010);
    EXPECT_EQ(f->Chart1->SeriesAt(1).Points()[9].Y, 2010);

    f->ChannelNo = 5;
    f->ViewKadr();
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(f->Chart1->SeriesAt(s).Count(), 0);
        EXPECT_EQ(f->Chart2->SeriesAt(s).Count(), 0);
    }
    EXPECT_EQ(f->KadrN->text(), "1"); // the labels are still filled
}

// ---- Radio event -------------------------------------------------------------------

TEST_F(FrameDisplayTest, RadioEventSixTracesRaisedAndMarker)
{
    std::vector<std::unique_ptr<TRadKadr>> events;
    events.push_back(MakeRadEvent(300));
    events.push_back(MakeRadEvent(301));
    events[1]->Hour = 14;
    events[1]->Min = 7;
    events[1]->Sec = 3;
    events[1]->Day = 1;
    events[1]->Month = 2;
    events[1]->Year = 2027;
    events[1]->RGain6 = 77;
    WriteRadFile(Path("a.Rad"), events);
    OpenRad("a.Rad");
    TForm1* f = form();
    f->bUp->click();
    ASSERT_EQ(ui::ErrorReport::Count(), 0);
    for (int c = 1; c <= 6; ++c) {
        const auto& pts = f->Chart1->SeriesAt(c - 1).Points();
        ASSERT_EQ(pts.size(), static_cast<size_t>(kRadSamples));
        for (int i = 1; i <= kRadSamples; ++i) {
            ASSERT_EQ(pts[i - 1].X, i);
            ASSERT_EQ(pts[i - 1].Y, (i + 7 * c) % 200 - 100 + 10 * (c - 1)) << c << " " << i;
        }
    }
    const auto& marker = f->Chart1->SeriesAt(6).Points();
    ASSERT_EQ(marker.size(), 2u);
    EXPECT_EQ(marker[0].X, 2577);
    EXPECT_EQ(marker[0].Y, 127);
    EXPECT_EQ(marker[1].X, 2577);
    EXPECT_EQ(marker[1].Y, -128);
    EXPECT_EQ(marker[0].Color, QColor(64, 0, 128));

    EXPECT_EQ(f->Label4->text(), "1-2-2027");
    EXPECT_EQ(f->Label6->text(), "14:7:3");
    EXPECT_EQ(f->lTEAS->text(), "14:7:3");
    EXPECT_EQ(f->Label2->text(), "2");
    EXPECT_EQ(f->KadrN->text(), "2"); // RadRecNo + 1, not the stored 301
    EXPECT_EQ(f->lRGain6->text(), "77");
    EXPECT_FALSE(f->Chart1->LeftAxis().AutomaticMinimum());
    EXPECT_FALSE(f->Chart1->LeftAxis().AutomaticMaximum());
    EXPECT_DOUBLE_EQ(f->Chart1->LeftAxis().Maximum(), 127);
    EXPECT_DOUBLE_EQ(f->Chart1->LeftAxis().Minimum(), -128);
}

// The marker is replaced at every display, never appended again.
TEST_F(FrameDisplayTest, RadioMarkerStaysTwoPoints)
{
    WriteRadFile(Path("a.Rad"), 3);
    OpenRad("a.Rad");
    TForm1* f = form();
    for (int i = 0; i < 5; ++i) {
        f->bUp->click();
        f->bDown->click();
        f->ViewKadrEAS();
    }
    f->bViewRad->click();
    f->bViewRad->click();
    SelectListed("a.Rad");
    EXPECT_EQ(f->Chart1->SeriesAt(6).Count(), 2);
}

TEST_F(FrameDisplayTest, OneAntennaViewShowsItsChannelPair)
{
    WriteRadFile(Path("a.Rad"), 1);
    OpenRad("a.Rad");
    TForm1* f = form();
    f->OneChannel = true;
    f->ChannelNo = 3;
    f->ViewKadrEAS();
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(f->Chart1->SeriesAt(s).Count(), 0) << s;
    ASSERT_EQ(f->Chart1->SeriesAt(4).Count(), kRadSamples);
    ASSERT_EQ(f->Chart1->SeriesAt(5).Count(), kRadSamples);
    EXPECT_EQ(f->Chart1->SeriesAt(4).Points()[0].Y, (1 + 35) % 200 - 100);
    EXPECT_EQ(f->Chart1->SeriesAt(5).Points()[0].Y, (1 + 42) % 200 - 100 + 20);
    EXPECT_EQ(f->Chart1->SeriesAt(6).Count(), 2);

    f->ChannelNo = 1;
    f->ViewKadrEAS();
    EXPECT_EQ(f->Chart1->SeriesAt(0).Points()[0].Y, (1 + 7) % 200 - 100);
    EXPECT_EQ(f->Chart1->SeriesAt(1).Points()[0].Y, (1 + 14) % 200 - 100 + 20);
    EXPECT_EQ(f->Chart1->SeriesAt(2).Count(), 0);

    // Outside 1..3 no trace at all, but the marker.
    for (int32_t no : {0, -1, 4}) {
        f->ChannelNo = no;
        f->ViewKadrEAS();
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(f->Chart1->SeriesAt(s).Count(), 0) << no << " " << s;
        EXPECT_EQ(f->Chart1->SeriesAt(6).Count(), 2);
    }
}

TEST_F(FrameDisplayTest, RadioCountFollowsTheFileAsItGrows)
{
    WriteRadFile(Path("a.Rad"), 2);
    OpenRad("a.Rad");
    TForm1* f = form();
    ASSERT_EQ(f->Label2->text(), "2");
    recfile::WriteRecord(Path("a.Rad"), 2, *MakeRadEvent(3));
    f->bUp->click();
    EXPECT_EQ(f->RadRecCount, 3);
    EXPECT_EQ(f->Label2->text(), "3");
    f->bUp->click(); // the new record is reachable
    EXPECT_EQ(f->KadrN->text(), "3");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

// ---- A display that cannot read its record ---------------------------------------------

TEST_F(FrameDisplayTest, FailedReadLeavesClearedChartsAndOldLabels)
{
    WriteFonFile(Path("f.fon"), 3);
    OpenFon("f.fon");
    TForm1* f = form();
    f->Label4->setText("old date");
    f->KadrN->setText("old");
    f->FonRecNo = 3;
    EXPECT_THROW(f->ViewKadr(), rt::EInOutError);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0);
    EXPECT_EQ(f->Label4->text(), "old date");
    EXPECT_EQ(f->KadrN->text(), "old");
    EXPECT_EQ(f->FonRecNo, 3);

    WriteRadFile(Path("a.Rad"), 1);
    OpenRad("a.Rad");
    f->Label6->setText("old time");
    f->RadRecNo = 1;
    try {
        f->ViewKadrEAS();
        FAIL() << "no error";
    } catch (const rt::EInOutError& e) {
        EXPECT_EQ(std::string(e.what()), "a.Rad: чтение за концом файла");
    }
    EXPECT_EQ(f->Chart1->SeriesAt(0).Count(), 0);
    EXPECT_EQ(f->Label6->text(), "old time");
    EXPECT_EQ(f->RadRecNo, 1);
}

} // namespace
