// The viewer's file lists and the opening of a listed file, driven through
// the main window's buttons and list on sample files in the working directory.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <cstdio>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"

using namespace testing_support;

namespace {

class FileOpenTest : public WindowTest {
protected:
    QStringList ListTexts() const
    {
        QStringList texts;
        for (int i = 0; i < form()->ListBox1->count(); ++i)
            texts << form()->ListBox1->item(i)->text();
        return texts;
    }
    /// Clicks the list line holding `name`, as the operator does.
    void Open(const QString& name)
    {
        const auto items = form()->ListBox1->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        form()->ListBox1->setCurrentItem(items.front());
    }
    QStringList MemoLines() const { return form()->Memo1->toPlainText().split('\n'); }
    static QStringList Shown(const std::vector<datafiles::ListedFile>& files)
    {
        QStringList shown;
        for (const auto& f : files)
            shown << f.Shown;
        return shown;
    }
};

// ---- The lists -------------------------------------------------------------

TEST_F(FileOpenTest, DirectoryWithoutDataFilesShowsHeadingOverEmptyList)
{
    WriteRadFile(Path("only_radio.Rad"), 1);
    TForm1* f = form();
    f->bView->click();
    EXPECT_EQ(f->Label9->text(), "Файлы данных");
    EXPECT_EQ(f->ListBox1->count(), 0);
    EXPECT_TRUE(f->FileList.empty());
    EXPECT_EQ(f->ListKind, 6);
    EXPECT_TRUE(f->FonListShown);
    EXPECT_TRUE(f->FonMode);
    EXPECT_FALSE(f->RadMode);
    EXPECT_FALSE(f->Button1->isHidden());
    EXPECT_FALSE(f->Button2->isHidden());
    EXPECT_TRUE(f->bForm2->isHidden());
    EXPECT_TRUE(f->bWrite->isEnabled());
    EXPECT_FALSE(f->bWrite1->isEnabled());
    EXPECT_EQ(f->Chart1->Title(), "Усредненный фон");
    EXPECT_EQ(f->bView->text(), "View .fon");
}

// The list holds every matching file, however many, under its full name:
// lines past the 150th and names past 20 characters open their files.
TEST_F(FileOpenTest, ListsEveryMatchingFileUnderItsFullNameAndOpensIt)
{
    QStringList expected;
    for (int i = 0; i < 200; ++i) {
        const QString name = QString("background_of_the_long_night_%1.fon").arg(i, 3, 10, QChar('0'));
        expected << name;
        WriteFonFile(Path(name.toStdString()), i == 180 ? 3 : 1);
    }
    WriteRadFile(Path("6_12_23_5.Rad"), 1);
    WriteBytes(Path("notes.txt"), 10);
    ASSERT_TRUE(QDir(QDir::currentPath()).mkdir("archive.fon")); // entries of any kind are listed
    expected << "archive.fon";
    expected.sort();

    TForm1* f = form();
    f->bView->click();
    EXPECT_EQ(ListTexts(), expected);
    EXPECT_EQ(Shown(f->FileList), expected);

    Open("background_of_the_long_night_180.fon");
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(f->FonFileName, "background_of_the_long_night_180.fon");
    EXPECT_EQ(f->FonRecCount, 3);
    EXPECT_EQ(f->Skadr->text(), "3");
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), kFonPoints);

    // A listed directory is no data file: reported, nothing breaks.
    Open("archive.fon");
    EXPECT_EQ(ui::ErrorReport::Count(), 1);
    EXPECT_FALSE(ui::ErrorReport::LastMessage().isEmpty());
}

TEST_F(FileOpenTest, PipesAreRefusedAndNamesOutsideUtf8AreListedAndOpen)
{
    // A name written in a single-byte Cyrillic code page ("фон" in cp1251).
    const std::string cp1251 = "\xF4\xEE\xED.fon";
    WriteFonFile(Path(cp1251), 2);
    ASSERT_EQ(mkfifo("x.fon", 0644), 0);
    TForm1* f = form();
    f->bView->click();
    EXPECT_EQ(ListTexts(), QStringList({"x.fon", "\\xF4\\xEE\\xED.fon"}));
    Open("\\xF4\\xEE\\xED.fon");
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(f->FonFileName, cp1251);
    EXPECT_EQ(f->FonRecCount, 2);
    Open("x.fon"); // reported at once, never waited on
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "x.fon: не обычный файл (папка, канал или устройство)");
}

TEST_F(FileOpenTest, AFrameAskedForByTheStabilityWindowOpensInTheViewer)
{
    WriteFonFile(Path("a.fon"), 3);
    WriteRadFile(Path("b.Rad"), 1);
    TForm1* f = form();
    OpenListed(*f, f->bViewRad, "b.Rad"); // a .Rad list, and antenna 3 alone
    f->MaskEdit7->setText("3");
    f->Button1->click();
    f->OpenFrame(QString::fromStdString(Path("a.fon")), 2, 2); // channel 2's outlier
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(f->FonRecNo, 2);
    EXPECT_EQ(f->KadrN->text(), "3");
    EXPECT_EQ(f->Skadr->text(), "3");
    EXPECT_TRUE(f->FonMode);
    EXPECT_FALSE(f->RadMode);
    for (int c = 1; c <= kFonChannels; ++c)
        EXPECT_EQ(f->Chart2->SeriesAt(c - 1).Count(), c == 2 ? kFonPoints : 0) << c;
    EXPECT_EQ(ListTexts(), QStringList({"a.fon"})); // the .fon list, its file selected
    EXPECT_EQ(f->ListBox1->currentRow(), 0);
    f->bUp->click(); // the viewer goes on from there
    EXPECT_EQ(f->KadrN->text(), "3");
    f->bDown->click();
    EXPECT_EQ(f->FonRecNo, 1);
}

TEST_F(FileOpenTest, AFrameAskedForWithTheFonListOnShowIsTheOutliersOwn)
{
    // The list of the working folder is on show; the outlier's file lies
    // elsewhere. Raised for it, the window gives the list the focus, which
    // makes its first line current: that must not open the first file.
    WriteFonFile(Path("a.fon"), 2);
    ASSERT_TRUE(QDir().mkdir("other"));
    WriteFonFile(Path("other/c.fon"), 3);
    TForm1* f = form();
    f->show();
    f->bView->click();
    const QString outlier = QDir::current().absoluteFilePath("other/c.fon");
    f->OpenFrame(outlier, 1, 4);
    f->ListBox1->setFocus(Qt::ActiveWindowFocusReason);
    QFocusEvent focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(f->ListBox1, &focus);
    EXPECT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(QString::fromStdString(f->FonFileName), outlier);
    EXPECT_EQ(f->FonRecNo, 1);
    EXPECT_EQ(f->FonRecCount, 3);
    for (int c = 1; c <= kFonChannels; ++c)
        EXPECT_EQ(f->Chart2->SeriesAt(c - 1).Count(), c == 4 ? kFonPoints : 0) << c;
    EXPECT_EQ(f->status->currentMessage(), "Показан кадр 2 файла " + QDir::toNativeSeparators(outlier) +
                                               ", канал 4 (выброс из окна «Стабильность детекторов»)");
    EXPECT_EQ(ListTexts(), QStringList({"a.fon"}));
    // The operator's own click on the line still opens it.
    QTest::mouseClick(f->ListBox1->viewport(), Qt::LeftButton, {},
                      f->ListBox1->visualItemRect(f->ListBox1->item(0)).center());
    EXPECT_EQ(f->FonFileName, "a.fon");
}

TEST_F(FileOpenTest, AMissingOutlierFileIsNamedAndTheNoLimitsWordGoesWithTheFile)
{
    TForm1* f = form();
    const QString gone = QDir::current().absoluteFilePath("store/ST1/gone.fon");
    f->OpenFrame(gone, 0, 1);
    EXPECT_EQ(ui::ErrorReport::Count(), 1);
    EXPECT_TRUE(ui::ErrorReport::LastMessage().contains(QDir::toNativeSeparators(gone)))
        << ui::ErrorReport::LastMessage().toStdString();

    std::vector<std::unique_ptr<TFonKadr>> old;
    old.push_back(MakeFonFrame(1));
    for (int c = 1; c <= kFonChannels; ++c)
        old.back()->Limit(c) = 0; // a file of before the limits were kept
    WriteFonFile(Path("old.fon"), old);
    WriteFonFile(Path("new.fon"), 1);
    f->OpenFrame(QString::fromStdString(Path("old.fon")), 0, 0);
    EXPECT_TRUE(f->status->currentMessage().endsWith("В файле нет ограничений каналов: ограничения оставлены прежними"))
        << f->status->currentMessage().toStdString();
    Open("new.fon"); // the .fon list is on show since the frame was opened
    EXPECT_EQ(f->status->currentMessage(), "");
}

TEST_F(FileOpenTest, RadioListHoldsRadioFilesOnly)
{
    WriteFonFile(Path("a.fon"), 1);
    WriteRadFile(Path("b.Rad"), 1);
    WriteRadFile(Path("c.Rad"), 1);
    TForm1* f = form();
    f->bViewRad->click();
    EXPECT_EQ(ListTexts(), QStringList({"b.Rad", "c.Rad"}));
    EXPECT_EQ(Shown(f->FileList), ListTexts());
    EXPECT_EQ(f->ListKind, 1);
    EXPECT_TRUE(f->RadListShown);
    EXPECT_TRUE(f->RadMode);
    EXPECT_FALSE(f->FonMode);
    EXPECT_FALSE(f->FonListShown);
    EXPECT_FALSE(f->Button1->isHidden());
    EXPECT_TRUE(f->Button2->isHidden());
    EXPECT_TRUE(f->bForm2->isHidden());
    EXPECT_TRUE(f->bWrite1->isEnabled());
    EXPECT_FALSE(f->bWrite->isEnabled());
    EXPECT_EQ(f->Chart1->Title(), "Радиосигнал");
    EXPECT_EQ(f->Label9->text(), "Файлы данных");
    EXPECT_EQ(f->bViewRad->text(), "View .Rad");
}

TEST_F(FileOpenTest, ListButtonsSwitchTheirListsOnAndOff)
{
    WriteFonFile(Path("a.fon"), 2);
    WriteRadFile(Path("b.Rad"), 1);
    TForm1* f = form();

    // On, open a file, off: the list goes with Button1, Button2 and bForm2.
    f->bView->click();
    Open("a.fon");
    ASSERT_FALSE(f->bForm2->isHidden());
    f->Memo1->setPlainText("something");
    f->bView->click();
    EXPECT_FALSE(f->FonListShown);
    EXPECT_EQ(f->ListBox1->count(), 0);
    EXPECT_EQ(f->Label9->text(), "");
    EXPECT_TRUE(f->Button1->isHidden());
    EXPECT_TRUE(f->Button2->isHidden());
    EXPECT_TRUE(f->bForm2->isHidden());
    EXPECT_EQ(f->ListKind, 6);
    EXPECT_EQ(f->bView->text(), "View .fon");
    EXPECT_EQ(f->Memo1->toPlainText(), "");
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0);

    // A third press builds the list afresh.
    f->bView->click();
    EXPECT_EQ(ListTexts(), QStringList({"a.fon"}));

    // The radio list replaces it at once; "View .fon" then shows its list at once.
    f->bViewRad->click();
    EXPECT_EQ(ListTexts(), QStringList({"b.Rad"}));
    EXPECT_FALSE(f->FonListShown);
    f->bView->click();
    EXPECT_EQ(ListTexts(), QStringList({"a.fon"}));
    EXPECT_TRUE(f->FonListShown);
    EXPECT_FALSE(f->RadListShown);
    // And so does "View .Rad" after it.
    f->bViewRad->click();
    EXPECT_EQ(ListTexts(), QStringList({"b.Rad"}));

    // Turning the radio list off keeps Button1 shown (radio browsing goes on).
    f->bViewRad->click();
    EXPECT_FALSE(f->RadListShown);
    EXPECT_EQ(f->ListBox1->count(), 0);
    EXPECT_EQ(f->ListKind, 1);
    EXPECT_FALSE(f->Button1->isHidden());
    EXPECT_EQ(f->bViewRad->text(), "View .Rad");
}

// The radio list button leaves the memo and the corner labels alone.
TEST_F(FileOpenTest, RadioListKeepsMemoAndCornerLabels)
{
    TForm1* f = form();
    f->Memo1->setPlainText("kept");
    f->Label23->setText("a");
    f->Label24->setText("b");
    f->eComment->setText("gone");
    f->bViewRad->click();
    EXPECT_EQ(f->Memo1->toPlainText(), "kept");
    EXPECT_EQ(f->Label23->text(), "a");
    EXPECT_EQ(f->Label24->text(), "b");
    EXPECT_EQ(f->eComment->text(), "");
    f->bView->click();
    EXPECT_EQ(f->Memo1->toPlainText(), "");
    EXPECT_EQ(f->Label23->text(), "");
    EXPECT_EQ(f->Label24->text(), "");
}

// A run empties the list but leaves its switch on: the first press after the
// run only switches it off, the second builds it again.
TEST_F(FileOpenTest, RunEmptiesListButKeepsItsSwitch)
{
    WriteFonFile(Path("a.fon"), 1);
    TForm1* f = form();
    f->bView->click();
    ASSERT_EQ(f->ListBox1->count(), 1);
    f->bStart1->click();
    ASSERT_TRUE(f->Run().Running()) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(f->ListBox1->count(), 0);
    EXPECT_TRUE(f->FonListShown);
    EXPECT_FALSE(f->bView->isEnabled());
    f->bStart1->click();
    ASSERT_FALSE(f->Run().Running());

    f->bView->click();
    EXPECT_FALSE(f->FonListShown);
    EXPECT_EQ(f->ListBox1->count(), 0);
    f->bView->click();
    EXPECT_TRUE(f->FonListShown);
    // The run's own file is listed beside the old one.
    EXPECT_EQ(f->ListBox1->count(), 2);
    EXPECT_TRUE(Shown(f->FileList).contains(QString::fromStdString(f->Run().FonFile())));
}

// ---- Opening a background file ------------------------------------------------

TEST_F(FileOpenTest, OpeningBackgroundFileShowsItsFirstFrame)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    for (int r = 0; r < 3; ++r)
        frames.push_back(MakeFonFrame(static_cast<int16_t>(41 + r)));
    frames[0]->Hour = 9;
    frames[0]->Min = 5;
    frames[0]->Sec = 3;
    frames[0]->Day = 6;
    frames[0]->Month = 2;
    frames[0]->Year = 2026;
    frames[0]->ChanParam = 77;
    WriteFonFile(Path("a.fon"), frames);

    TForm1* f = form();
    f->Label2->setText("5");
    f->eComment->setText("comment");
    f->bGain1->setEnabled(false);
    f->bView->click();
    Open("a.fon");
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();

    EXPECT_EQ(f->FonFileName, "a.fon");
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->FonRecCount, 3);
    EXPECT_EQ(f->Skadr->text(), "3");
    EXPECT_EQ(f->Label2->text(), "");
    EXPECT_EQ(f->Label8->text(), "9:5:3");
    EXPECT_EQ(f->Label4->text(), "6-2-2026");
    EXPECT_EQ(f->KadrN->text(), "41");
    EXPECT_EQ(f->Label9->text(), "");
    EXPECT_EQ(f->eComment->text(), "");
    EXPECT_EQ(f->FonChanParam, 77);
    EXPECT_TRUE(f->bGain1->isEnabled());
    EXPECT_FALSE(f->bForm2->isHidden());
    EXPECT_EQ(MemoLines(), QStringList({"1 канал - 2 м*м (красный)", "2 канал - 1 м*м детектор (синий)",
                                        "3 канал - четвертушка (зеленый)", "4 канал - 1 м*м мюон I (оранжевый)"}));
    EXPECT_DOUBLE_EQ(f->Chart2->BottomAxis().Maximum(), 600);
    EXPECT_DOUBLE_EQ(f->Chart1->BottomAxis().Maximum(), 600);
    EXPECT_TRUE(f->Chart2->LeftAxis().Automatic());
    // The file's gains are now the gains in effect, and shown.
    EXPECT_EQ(f->FonRec.FGain3, 30);
    EXPECT_EQ(f->lFGain3->text(), "30");
    // Raw counts of the first frame on Chart2, smoothed on Chart1.
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), kFonPoints);
    EXPECT_EQ(f->Chart1->SeriesAt(3).Count(), kFonPoints);
}

TEST_F(FileOpenTest, KeyboardMovesOpenEachFileInTurn)
{
    std::vector<std::unique_ptr<TFonKadr>> one, two;
    one.push_back(MakeFonFrame(7));
    two.push_back(MakeFonFrame(8));
    WriteFonFile(Path("a.fon"), one);
    WriteFonFile(Path("b.fon"), two);
    TForm1* f = form();
    f->bView->click();
    f->ListBox1->setCurrentRow(0);
    EXPECT_EQ(f->KadrN->text(), "7");
    QTest::keyClick(f->ListBox1, Qt::Key_Down);
    EXPECT_EQ(f->FonFileName, "b.fon");
    EXPECT_EQ(f->KadrN->text(), "8");
    QTest::keyClick(f->ListBox1, Qt::Key_Up);
    EXPECT_EQ(f->FonFileName, "a.fon");
    EXPECT_EQ(f->KadrN->text(), "7");
}

TEST_F(FileOpenTest, ClickOnTheSelectedLineOpensItsFileAgain)
{
    std::vector<std::unique_ptr<TFonKadr>> frames;
    for (int k = 1; k <= 3; ++k)
        frames.push_back(MakeFonFrame(static_cast<int16_t>(k)));
    WriteFonFile(Path("a.fon"), frames);
    TForm1* f = form();
    f->show();
    f->bView->click();
    auto clickRow = [&](int row) {
        const QRect r = f->ListBox1->visualItemRect(f->ListBox1->item(row));
        QTest::mouseClick(f->ListBox1->viewport(), Qt::LeftButton, {}, r.center());
    };
    clickRow(0);
    EXPECT_EQ(f->KadrN->text(), "1");
    f->bUp->click();
    f->bUp->click();
    EXPECT_EQ(f->FonRecNo, 2);
    clickRow(0); // the same line: back to the first frame
    EXPECT_EQ(f->FonRecNo, 0);
    EXPECT_EQ(f->KadrN->text(), "1");
}

// ---- Opening a radio file ----------------------------------------------------------

TEST_F(FileOpenTest, OpeningRadioFileShowsItsFirstEvent)
{
    std::vector<std::unique_ptr<TRadKadr>> events;
    for (int r = 0; r < 4; ++r)
        events.push_back(MakeRadEvent(static_cast<int16_t>(57 + r)));
    events[0]->Day = 3;
    events[0]->Month = 1;
    events[0]->Year = 2027;
    events[0]->Hour = 0;
    events[0]->Min = 7;
    events[0]->Sec = 9;
    WriteRadFile(Path("a.Rad"), events);

    TForm1* f = form();
    f->bViewRad->click();
    Open("a.Rad");
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    EXPECT_EQ(f->RadFileName, "a.Rad");
    EXPECT_EQ(f->RadRecNo, 0);
    EXPECT_EQ(f->RadRecCount, 4);
    EXPECT_EQ(f->KadrN->text(), "1"); // the event on show, not its stored number 57
    EXPECT_EQ(f->Label2->text(), "4");
    EXPECT_EQ(f->Label4->text(), "3-1-2027");
    EXPECT_EQ(f->Label8->text(), "0:7:9");
    EXPECT_EQ(f->Label6->text(), "0:7:9");
    EXPECT_EQ(f->lTEAS->text(), "0:7:9");
    EXPECT_EQ(f->lRGain5->text(), "5");
    EXPECT_EQ(f->RadRec.RGain5, 5);
    EXPECT_DOUBLE_EQ(f->Chart1->BottomAxis().Maximum(), 4096);
    EXPECT_EQ(f->Chart1->SeriesAt(5).Count(), kRadSamples);
    EXPECT_TRUE(f->bForm2->isHidden());
}

// ---- Files that cannot be shown ----------------------------------------------------

TEST_F(FileOpenTest, MissingFileIsReportedAfterChartAndNameChanged)
{
    WriteFonFile(Path("a.fon"), 1);
    WriteFonFile(Path("b.fon"), 1);
    TForm1* f = form();
    f->bView->click();
    Open("a.fon");
    ASSERT_EQ(f->Chart2->SeriesAt(0).Count(), kFonPoints);
    f->bForm2->hide();
    ASSERT_EQ(std::remove(Path("b.fon").c_str()), 0);
    Open("b.fon");
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "b.fon: нет такого файла или папки");
    EXPECT_EQ(f->FonFileName, "b.fon");
    EXPECT_EQ(f->Chart2->SeriesAt(0).Count(), 0);
    EXPECT_TRUE(f->bForm2->isHidden());
    EXPECT_EQ(f->Skadr->text(), "1"); // from the file opened before

    WriteRadFile(Path("c.Rad"), 1);
    f->bViewRad->click();
    ASSERT_EQ(std::remove(Path("c.Rad").c_str()), 0);
    Open("c.Rad");
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "c.Rad: нет такого файла или папки");
    EXPECT_EQ(f->RadFileName, "c.Rad");
}

TEST_F(FileOpenTest, EmptyFileFailsAtTheFirstRead)
{
    WriteBytes(Path("empty.fon"), 0);
    WriteBytes(Path("empty.Rad"), 0);
    TForm1* f = form();
    f->bView->click();
    Open("empty.fon");
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "empty.fon: чтение за концом файла");
    EXPECT_TRUE(f->bForm2->isHidden());
    f->bViewRad->click();
    Open("empty.Rad");
    EXPECT_EQ(ui::ErrorReport::Count(), 2);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "empty.Rad: чтение за концом файла");
}

// A partial tail is not a record: it is not counted and never read.
TEST_F(FileOpenTest, PartialTailIsNotARecord)
{
    WriteFonFile(Path("a.fon"), 2);
    {
        std::FILE* out = std::fopen(Path("a.fon").c_str(), "ab");
        ASSERT_NE(out, nullptr);
        const char tail[100] = {};
        std::fwrite(tail, 1, sizeof tail, out);
        std::fclose(out);
    }
    WriteBytes(Path("short.fon"), sizeof(TFonKadr) - 1);
    WriteRadFile(Path("a.Rad"), 1);
    {
        std::FILE* out = std::fopen(Path("a.Rad").c_str(), "ab");
        ASSERT_NE(out, nullptr);
        const char tail[49261] = {};
        std::fwrite(tail, 1, sizeof tail, out);
        std::fclose(out);
    }

    TForm1* f = form();
    f->bView->click();
    Open("a.fon");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
    EXPECT_EQ(f->FonRecCount, 2);
    EXPECT_EQ(f->Skadr->text(), "2");
    f->bUp->click();
    f->bUp->click();
    EXPECT_EQ(f->FonRecNo, 1);
    EXPECT_EQ(f->KadrN->text(), "2");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);

    Open("short.fon");
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "short.fon: чтение за концом файла");

    ui::ErrorReport::Reset();
    f->bViewRad->click();
    Open("a.Rad");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
    EXPECT_EQ(f->RadRecCount, 1);
    EXPECT_EQ(f->Label2->text(), "1");
    f->bUp->click();
    EXPECT_EQ(f->KadrN->text(), "1");
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

} // namespace
