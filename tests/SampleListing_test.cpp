// The sample listings in the memo: the exact lines of the background and
// radio tables, their switches over the one shared ListOn flag, and the
// listing as a snapshot of the frame in memory.
#include <QFont>
#include <QFontMetricsF>
#include <QTest>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>
#include <gtest/gtest.h>

#include "mainwindow/VFonPCI2.h"
#include "ui/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"

using namespace testing_support;

namespace {

class SampleListingTest : public WindowTest {
protected:
    void OpenListed(QPushButton* listButton, const std::string& name)
    {
        testing_support::OpenListed(*form(), listButton, name);
    }
    QStringList MemoLines() const { return form()->Memo1->toPlainText().split('\n'); }
    void ExpectListingFont() const
    {
        const QFont font = form()->Memo1->font();
        EXPECT_EQ(font.family(), "Courier");
        EXPECT_TRUE(font.fixedPitch());
        EXPECT_EQ(form()->Memo1->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask,
                  Qt::AlignLeft);
    }
    /// The memo on show needs no sideways scrolling for the listing's usual lines.
    void ExpectWholeLinesShown() const
    {
        QPlainTextEdit* memo = form()->Memo1;
        form()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form()));
        const QString line = MemoLines().value(2);
        EXPECT_LE(QFontMetricsF(memo->font()).horizontalAdvance(line) + 2 * memo->document()->documentMargin(),
                  memo->viewport()->width())
            << line.toStdString();
    }
};

const QStringList kLegend = {"1 канал - 2 м*м (красный)", "2 канал - мюонный детектор (синий)",
                             "3 канал - четвертушка (зеленый)", "4 канал - кастрюля I (оранжевый)"};

// ---- Background listing --------------------------------------------------------

TEST_F(SampleListingTest, BackgroundListingLines)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(MakeFonFrame(1));
    TFonKadr& k = *frames.back();
    k.Times[0] = {9, 5, 30, 12};
    k.Counts1[0] = 14;
    k.Counts2[0] = 3;
    k.Counts3[0] = 0;
    k.Counts4[0] = 120;
    k.Counts2[1] = 123456;          // widens its column, shifts the rest
    k.Times[2] = {65535, 5, 30, 3}; // the time field is cut to 12 characters
    k.Counts4[3] = -2147483647 - 1;
    WriteFonFile(Path("f.fon"), frames);
    OpenListed(form()->bView, "f.fon");

    TForm1* f = form();
    f->bWrite->click();
    EXPECT_TRUE(f->ListOn);
    ExpectWholeLinesShown();
    EXPECT_EQ(f->bWrite->text(), "Стоп");
    const QStringList lines = MemoLines();
    ASSERT_EQ(lines.size(), 602);
    EXPECT_EQ(lines[0], " N     Время        1    2    3    4");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "  1/  9: 5:30: 12   14    3    0  120");
    EXPECT_EQ(lines[2].size(), 37);
    EXPECT_EQ(lines[3], "  2/  9: 5:30:  2 1002123456 3002 4002");
    EXPECT_EQ(lines[4], "  3/ 65535: 5:30: 1003 2003 3003 4003");
    EXPECT_EQ(lines[5], "  4/  9: 5:30:  4 1004 2004 3004-2147483648");
    EXPECT_EQ(lines[601], "600/  9: 5:60:600 1600 2600 3600 4600");
    ExpectListingFont();
}

TEST_F(SampleListingTest, BackgroundListingOffShowsLegend)
{
    TForm1* f = form();
    f->bWrite->click();
    ASSERT_EQ(MemoLines().size(), 602);
    f->bWrite->click();
    EXPECT_FALSE(f->ListOn);
    EXPECT_EQ(f->bWrite->text(), "Отсчеты");
    EXPECT_EQ(MemoLines(), kLegend);
    ExpectListingFont(); // the font stays
}

// A never-filled buffer prints zeros.
TEST_F(SampleListingTest, EmptyBuffersListZeros)
{
    TForm1* f = form();
    f->bWrite->click();
    EXPECT_EQ(MemoLines()[2], "  1/  0: 0: 0:  0    0    0    0    0");
    f->bWrite->click();
    f->bWrite1->click();
    EXPECT_EQ(MemoLines()[2], "   1/     0    0    0    0    0    0");
}

// ---- Radio listing -----------------------------------------------------------------

TEST_F(SampleListingTest, RadioListingLines)
{
    std::vector<std::unique_ptr<TRadKadr>> events;
    events.push_back(MakeRadEvent(1));
    TRadKadr& e = *events.back();
    const int16_t first[] = {-3, 0, 12, 7, -128, 5};
    for (int c = 1; c <= 6; ++c)
        e.Samples(c)[0] = first[c - 1];
    e.Samples1[1] = -32768;
    WriteRadFile(Path("a.Rad"), events);
    OpenListed(form()->bViewRad, "a.Rad");

    TForm1* f = form();
    f->bWrite1->click();
    EXPECT_TRUE(f->ListOn);
    ExpectWholeLinesShown();
    EXPECT_EQ(f->bWrite1->text(), "Стоп");
    EXPECT_FALSE(f->bWrite->isEnabled());
    const QStringList lines = MemoLines();
    ASSERT_EQ(lines.size(), 4098);
    EXPECT_EQ(lines[0], "  N       1    2    3    4    5    6 ");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "   1/    -3    0   12    7 -128    5");
    EXPECT_EQ(lines[2].size(), 36);
    EXPECT_EQ(lines[3], "   2/ -32768  -84  -77  -70  -63  -56");
    EXPECT_EQ(lines[4097], "4096/     3   10   17   24   31   38");
    ExpectListingFont();

    f->bWrite1->click();
    EXPECT_FALSE(f->ListOn);
    EXPECT_EQ(f->Memo1->toPlainText(), "");
    EXPECT_EQ(f->bWrite1->text(), "Отсчеты Рад");
    // Only opening a background list gives bWrite back.
    EXPECT_FALSE(f->bWrite->isEnabled());
    f->bView->click();
    EXPECT_TRUE(f->bWrite->isEnabled());
}

// Both buttons flip one flag: a background listing left on makes the first
// press of the radio button a turn-off.
TEST_F(SampleListingTest, ListOnIsSharedByBothButtons)
{
    WriteFonFile(Path("f.fon"), 1);
    WriteRadFile(Path("a.Rad"), 1);
    OpenListed(form()->bView, "f.fon");
    TForm1* f = form();
    f->bWrite->click();
    ASSERT_TRUE(f->ListOn);
    OpenListed(f->bViewRad, "a.Rad");
    f->bWrite1->click();
    EXPECT_FALSE(f->ListOn);
    EXPECT_EQ(f->Memo1->toPlainText(), "");
    EXPECT_EQ(f->bWrite1->text(), "Отсчеты Рад");
    f->bWrite1->click();
    EXPECT_TRUE(f->ListOn);
    EXPECT_EQ(MemoLines().size(), 4098);
}

// A listing is a snapshot: moving on leaves it; off and on lists the new frame.
TEST_F(SampleListingTest, ListingIsASnapshotOfTheFrameInMemory)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(MakeFonFrame(1));
    frames.push_back(MakeFonFrame(2));
    frames[1]->Counts1[0] = 99999;
    WriteFonFile(Path("f.fon"), frames);
    OpenListed(form()->bView, "f.fon");
    TForm1* f = form();
    f->bWrite->click();
    const QString before = f->Memo1->toPlainText();
    f->bUp->click();
    ASSERT_EQ(f->KadrN->text(), "2");
    EXPECT_EQ(f->Memo1->toPlainText(), before);
    f->bWrite->click();
    f->bWrite->click();
    EXPECT_EQ(MemoLines()[2], "  1/  9: 5:30:  199999 2001 3001 4001");
}

} // namespace
