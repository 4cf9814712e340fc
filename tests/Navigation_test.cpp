// Frame navigation: "<" and ">" at the ends of a file, a frame by its typed
// number, the one-channel and one-antenna views, and the browsing controls
// locked while a run is in progress.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>
#include <gtest/gtest.h>

#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

class NavigationTest : public WindowTest {
protected:
    void OpenListed(QPushButton* listButton, const std::string& name)
    {
        testing_support::OpenListed(*form(), listButton, name);
    }
    /// A background file of 10 frames numbered 1..10, opened.
    void OpenTenFrames()
    {
        WriteFonFile(Path("ten.fon"), 10);
        OpenListed(form()->bView, "ten.fon");
    }
    void OpenFiveEvents()
    {
        WriteRadFile(Path("five.Rad"), 5);
        OpenListed(form()->bViewRad, "five.Rad");
    }
    int NonEmptySeries(ui::TChart* c, int first, int last) const
    {
        int n = 0;
        for (int s = first; s <= last; ++s)
            n += c->SeriesAt(s).Count() > 0;
        return n;
    }
};

// ---- Previous and next -------------------------------------------------------

TEST_F(NavigationTest, StepsThroughBackgroundFrames)
{
    OpenTenFrames();
    TForm1* f = form();
    for (int k = 2; k <= 10; ++k) {
        f->bUp->click();
        ASSERT_EQ(f->FonRecNo, k - 1);
        ASSERT_EQ(f->KadrN->text(), QString::number(k));
    }
    for (int k = 9; k >= 1; --k)
        f->bDown->click();
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

// At the ends nothing is read: with the file gone, the charts keep the frame
// on show and no error comes.
TEST_F(NavigationTest, EndsOfBackgroundFileReadNothing)
{
    OpenTenFrames();
    TForm1* f = form();
    const std::vector<ui::Point> shown = f->Chart2->SeriesAt(2).Points();
    ASSERT_EQ(std::remove(Path("ten.fon").c_str()), 0);
    f->bDown->click();
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->Chart2->SeriesAt(2).Points().size(), shown.size());
    EXPECT_EQ(ui::ErrorReport::Count(), 0);

    WriteFonFile(Path("ten.fon"), 10);
    f->eKadrFon->setText("10");
    f->bReadFon->click();
    ASSERT_EQ(f->KadrN->text(), "10");
    ASSERT_EQ(std::remove(Path("ten.fon").c_str()), 0);
    f->bUp->click();
    EXPECT_EQ(f->KadrN->text(), "10");
    EXPECT_EQ(f->FonRecNo, 9);
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), kFonPoints);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(NavigationTest, EndsOfRadioFile)
{
    OpenFiveEvents();
    TForm1* f = form();
    f->bDown->click();
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(f->RadRecNo, 0);
    for (int i = 0; i < 4; ++i)
        f->bUp->click();
    EXPECT_EQ(f->RadRecNo, 4);
    EXPECT_EQ(f->KadrN->text(), "5");
    ASSERT_EQ(std::remove(Path("five.Rad").c_str()), 0);
    f->bUp->click();
    EXPECT_EQ(f->KadrN->text(), "5");
    EXPECT_EQ(f->RadRecNo, 4);
    EXPECT_EQ(f->Chart1->SeriesAt(0).Count(), kRadSamples);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

// Before any list was opened both kinds are off: the background side acts,
// on empty indices, and reads nothing.
TEST_F(NavigationTest, AtStartUpStepsShowTheEmptyCounts)
{
    TForm1* f = form();
    f->bUp->click();
    EXPECT_EQ(f->KadrN->text(), "0");
    f->bDown->click();
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

// ---- A frame by its number -------------------------------------------------------

TEST_F(NavigationTest, ReadsBackgroundFrameByNumber)
{
    OpenTenFrames();
    TForm1* f = form();
    f->eKadrFon->setText(" 7 ");
    f->bReadFon->click();
    EXPECT_EQ(f->FonRecNo, 6);
    EXPECT_EQ(f->KadrN->text(), "7");
    f->eKadrFon->setText("10");
    f->bReadFon->click();
    EXPECT_EQ(f->KadrN->text(), "10");
    f->eKadrFon->setText("1");
    f->bReadFon->click();
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);

    for (const char* bad : {"0", "11", "-2"}) {
        f->eKadrFon->setText(bad);
        f->bReadFon->click();
        EXPECT_EQ(f->eKadrFon->text(), "Ошибка!") << bad;
        EXPECT_EQ(f->FonRecNo, 0) << bad;
        EXPECT_EQ(f->KadrN->text(), "1") << bad;
    }
    EXPECT_EQ(ui::ErrorReport::Count(), 0);

    // The error text is no number: pressing again reports the conversion.
    f->bReadFon->click();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«Ошибка!» не целое число");
    EXPECT_EQ(f->FonRecNo, 0);
    f->eKadrFon->setText("");
    f->bReadFon->click();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«» не целое число");
}

TEST_F(NavigationTest, ReadsRadioEventByNumber)
{
    OpenFiveEvents();
    TForm1* f = form();
    f->eKadrRad->setText("5");
    f->bReadRad->click();
    EXPECT_EQ(f->RadRecNo, 4);
    EXPECT_EQ(f->KadrN->text(), "5");
    f->eKadrRad->setText("6");
    f->bReadRad->click();
    EXPECT_EQ(f->eKadrRad->text(), "Ошибка!");
    EXPECT_EQ(f->RadRecNo, 4);
    f->bReadRad->click();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«Ошибка!» не целое число");
    // The background field is untouched by the radio side.
    EXPECT_EQ(f->eKadrFon->text(), "1");
}

// ---- One channel, one antenna ----------------------------------------------------------

TEST_F(NavigationTest, OneChannelViewOnAndOff)
{
    OpenTenFrames();
    TForm1* f = form();
    f->MaskEdit7->setText("2       ");
    f->Button1->click();
    EXPECT_TRUE(f->OneChannel);
    EXPECT_EQ(f->ChannelNo, 2);
    EXPECT_EQ(f->Button1->text(), "Стоп");
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 1);
    EXPECT_EQ(f->Chart2->SeriesAt(1).Count(), kFonPoints);
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 3), 1);
    EXPECT_EQ(f->Chart1->SeriesAt(1).Count(), kFonPoints);
    // The view stays on for the next frame.
    f->bUp->click();
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 1);

    f->Button1->click();
    EXPECT_FALSE(f->OneChannel);
    EXPECT_EQ(f->Button1->text(), "Показать");
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 4);
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 3), 4);
}

// Only the upper bound is checked; the number is stored before the check.
TEST_F(NavigationTest, ChannelNumberOutOfRangeAnswersQuery)
{
    OpenTenFrames();
    TForm1* f = form();
    f->MaskEdit7->setText("1");
    f->Button1->click();
    ASSERT_TRUE(f->OneChannel);
    f->MaskEdit7->setText("7");
    f->Button1->click();
    EXPECT_EQ(f->MaskEdit7->text(), "?!");
    EXPECT_TRUE(f->OneChannel);
    EXPECT_EQ(f->Button1->text(), "Стоп");
    EXPECT_EQ(f->ChannelNo, 7);
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 1); // nothing redrawn yet
    f->bUp->click();
    EXPECT_EQ(f->KadrN->text(), "2");
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 0);
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 3), 0);

    // "?!" is no number: reported, ChannelNo keeps its value.
    f->Button1->click();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«?!» не целое число");
    EXPECT_EQ(f->ChannelNo, 7);
    EXPECT_TRUE(f->OneChannel);

    // 0 passes the check and selects no channel.
    f->MaskEdit7->setText("0");
    f->Button1->click();
    EXPECT_FALSE(f->OneChannel);
    f->Button1->click();
    EXPECT_TRUE(f->OneChannel);
    EXPECT_EQ(f->ChannelNo, 0);
    EXPECT_EQ(NonEmptySeries(f->Chart2, 0, 3), 0);
}

TEST_F(NavigationTest, OneAntennaView)
{
    OpenFiveEvents();
    TForm1* f = form();
    f->MaskEdit7->setText("3");
    f->Button1->click();
    EXPECT_EQ(f->Button1->text(), "Стоп");
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 5), 2);
    EXPECT_EQ(f->Chart1->SeriesAt(4).Count(), kRadSamples);
    EXPECT_EQ(f->Chart1->SeriesAt(5).Count(), kRadSamples);
    EXPECT_EQ(f->Chart1->SeriesAt(6).Count(), 2);
    f->MaskEdit7->setText("4");
    f->Button1->click();
    EXPECT_EQ(f->MaskEdit7->text(), "?!");
    EXPECT_EQ(f->ChannelNo, 4);
    EXPECT_TRUE(f->OneChannel);
}

// One switch for both kinds: on while background files are browsed, it is
// still on for radio files, and the number is read as an antenna.
TEST_F(NavigationTest, OneChannelSwitchIsSharedByBothKinds)
{
    WriteRadFile(Path("a.Rad"), 1);
    OpenTenFrames();
    TForm1* f = form();
    f->MaskEdit7->setText("1");
    f->Button1->click();
    ASSERT_TRUE(f->OneChannel);
    OpenListed(f->bViewRad, "a.Rad");
    EXPECT_EQ(f->Button1->text(), "Стоп");
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 5), 2);
    EXPECT_EQ(f->Chart1->SeriesAt(0).Count(), kRadSamples);
    EXPECT_EQ(f->Chart1->SeriesAt(1).Count(), kRadSamples);
    f->Button1->click();
    EXPECT_FALSE(f->OneChannel);
    EXPECT_EQ(NonEmptySeries(f->Chart1, 0, 5), 6);
}

// ---- Browsing during a run --------------------------------------------------------------

// The controls that read files into the run's buffers or move its indices
// are locked while a run is in progress; the background listing only reads.
TEST_F(NavigationTest, BrowsingControlsLockedDuringARun)
{
    OpenTenFrames();
    TForm1* f = form();
    f->bUp->click();
    ASSERT_EQ(f->FonRecNo, 1);
    Sim().setInstant(true);
    f->bStart1->click();
    ASSERT_TRUE(f->Run().Running()) << ui::ErrorReport::LastMessage().toStdString();
    QPushButton* locked[] = {f->bDown, f->bUp, f->bReadFon, f->bReadRad, f->Button1, f->Button2, f->bForm2};
    for (QPushButton* b : locked)
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(f->bWrite->isEnabled());

    // Presses reach nothing: the run's write position and frame stay.
    const int32_t recNo = f->FonRecNo;
    const int16_t kadrNo = f->FonRec.KadrNo;
    for (QPushButton* b : locked)
        b->click();
    EXPECT_EQ(f->FonRecNo, recNo);
    EXPECT_EQ(f->FonRec.KadrNo, kadrNo);
    EXPECT_FALSE(f->OneChannel);
    EXPECT_FALSE(f->Average5);
    f->bWrite->click(); // the listing may run
    EXPECT_EQ(f->Memo1->toPlainText().count('\n'), 601);
    f->bWrite->click();

    f->bStart1->click();
    ASSERT_FALSE(f->Run().Running());
    for (QPushButton* b : locked)
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
}

} // namespace
