// The spectrum window's controls, its opening by the main window, the channel
// items, the redraw and the record stepping, driven headless on background
// files written record by record.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolTip>
#include <QApplication>
#include <QHelpEvent>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "spectrum/SpectrumBars.h"
#include "spectrum/SpectrumTexts.h"
#include "spectrum/Unit2.h"
#include "support/Fixtures.h"
#include "support/SpectrumDisplay.h"
#include "support/SpectrumFiles.h"

using testing_support::MarkedCount;
using testing_support::MarkedRecord;

namespace {

constexpr int kRecords = 4;

class SpectrumWindowTest : public testing_support::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        fileA_ = Path("a.fon");
        testing_support::WriteMarkedFile(fileA_, kRecords);
        // A second file whose record r holds what record r + 5 of a marked file holds.
        fileB_ = Path("b.fon");
        recfile::Create(fileB_);
        for (int r = 0; r < 2; ++r)
            recfile::WriteRecord(fileB_, r, *MarkedRecord(r + 5));
        ViewFile(fileA_, kRecords);
    }

    /// What the main window's file browser leaves behind when it opens a file.
    void ViewFile(const std::string& path, int count)
    {
        Form1->FonFileName = path;
        Form1->FonRecCount = count;
        Form1->bForm2->show();
    }

    void Open() { Form1->bForm2->click(); }
    static void Press(QAction* a) { a->trigger(); }
    static void Press(QPushButton* b) { b->click(); }
    static const std::vector<ui::Point>& Bars() { return spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series1).Points(); }
    static const std::vector<ui::Point>& Line() { return spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series2).Points(); }
    static void SetBounds(const QString& lo, const QString& hi)
    {
        spectrum::Form2->Edit1->setText(lo);
        spectrum::Form2->Edit2->setText(hi);
    }

    /// The bars hold exactly bins lo..hi of channel c of record r of a
    /// marked file whose record r holds marked record r + shift.
    static void ExpectMarkedBars(int c, int r, int lo, int hi, const QColor& color = spectrum::kBarGreen, int shift = 0)
    {
        const auto& bars = Bars();
        ASSERT_EQ(static_cast<int>(bars.size()), hi - lo + 1);
        for (int bin = lo; bin <= hi; ++bin) {
            const ui::Point& p = bars[static_cast<size_t>(bin - lo)];
            ASSERT_EQ(p.X, bin);
            ASSERT_EQ(p.Y, MarkedCount(c, r + shift, bin)) << "bin " << bin;
            ASSERT_EQ(p.Color, color);
        }
    }

    std::string fileA_, fileB_;
};

// ---- Controls ------------------------------------------------------------------

TEST_F(SpectrumWindowTest, ControlsMenuAndHintsAreThoseOfTheLayout)
{
    spectrum::TForm2* f = spectrum::Form2;
    EXPECT_EQ(f->objectName(), "Form2");
    EXPECT_EQ(f->windowTitle(), "Окно гистограммы");
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->ChanNo, 1);
    EXPECT_EQ(f->Client->size(), QSize(463, 364));
    f->show();
    EXPECT_EQ(f->minimumSize(), f->maximumSize()) << "fixed size";
    EXPECT_FALSE(f->windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(f->windowFlags() & Qt::WindowCloseButtonHint);
    f->hide();

    struct Ctl { const char* name; QString text; QString hint; };
    const Ctl edits[] = {{"Edit1", "10", "Нижняя граница по ОХ слева"}, {"Edit2", "225", "Граница справа по ОХ "}};
    for (const Ctl& c : edits) {
        auto* e = f->findChild<QLineEdit*>(c.name);
        ASSERT_NE(e, nullptr) << c.name;
        EXPECT_EQ(e->text(), c.text);
        EXPECT_EQ(e->toolTip(), c.hint);
    }
    const Ctl buttons[] = {{"Button2", "<", "Вывод предыдущиегокадра"}, {"Button3", ">", "Вывод следующего кадра"},
                           {"bStopInt", "Стоп", ""}};
    for (const Ctl& c : buttons) {
        auto* b = f->findChild<QPushButton*>(c.name);
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text(), c.text);
        EXPECT_EQ(b->toolTip(), c.hint);
    }
    EXPECT_TRUE(f->bStopInt->isHidden());
    EXPECT_EQ(f->bStopInt->geometry().intersected(f->Button2->geometry()), f->Button2->geometry());
    EXPECT_EQ(f->bStopInt->geometry().intersected(f->Button3->geometry()), f->Button3->geometry());

    const Ctl labels[] = {{"Label1", "", ""},       {"Label5", "Label5", "Вывод № максимального кадра"},
                          {"Label7", "", "Вывод текущего кадра"}, {"Label2", "Date", ""},
                          {"Label3", "Время записи", ""}, {"Label4", "Label4", ""},
                          {"Label6", "Label6", ""}};
    for (const Ctl& c : labels) {
        auto* l = f->findChild<QLabel*>(c.name);
        ASSERT_NE(l, nullptr) << c.name;
        EXPECT_EQ(l->text(), c.text) << c.name;
        EXPECT_EQ(l->toolTip(), c.hint) << c.name;
    }
    for (QLabel* l : {f->Label1, f->Label5, f->Label7})
        EXPECT_EQ(l->parentWidget(), f->Chart2) << "on the chart";

    // Menu: three menus with their items, names and hints.
    auto* bar = f->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> menus = bar->actions();
    ASSERT_EQ(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "Файл  ");
    EXPECT_EQ(menus[0]->statusTip(), "Выбор действия");
    EXPECT_EQ(menus[1]->text(), "Выбор канала");
    EXPECT_EQ(menus[1]->statusTip(), "Вывод списка номеров каналов");
    EXPECT_EQ(menus[2]->text(), "Обработка");
    struct Item { int menu; const char* name; QString text; QString hint; };
    const Item items[] = {
        {0, "N2", "Обновить рисунок", "Перерисовывает спектр заново с указанными  в полях ограничениями"},
        {0, "CloseButton", "Закрыть", "Закрыть окно"},
        {1, "Chan1", "№1", ""}, {1, "Chan2", "№2", ""}, {1, "Chan3", "№3", ""}, {1, "Chan4", "№4", ""},
        {2, "bIntegr", "Интегральный", "Построение интегрального спектра"},
        {2, "bCentre", "Усреднение", "Усредняет по 3 и находит центр тяжести по площади"},
    };
    for (const Item& it : items) {
        auto* a = f->findChild<QAction*>(it.name);
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a->text(), it.text);
        EXPECT_EQ(a->statusTip(), it.hint);
        EXPECT_TRUE(menus[it.menu]->menu()->actions().contains(a)) << it.name;
    }

    // Chart: titles, fixed bottom axis, left axis from 0 with automatic maximum.
    ui::TChart* c = f->Chart2;
    EXPECT_EQ(c->Title(), "Спектр");
    EXPECT_EQ(c->toolTip(), "График спектра");
    EXPECT_EQ(c->LeftAxis().Title(), "Коды АЦП");
    EXPECT_EQ(c->BottomAxis().Minimum(), 0);
    EXPECT_EQ(c->BottomAxis().Maximum(), 250);
    EXPECT_FALSE(c->BottomAxis().AutomaticMinimum() || c->BottomAxis().AutomaticMaximum());
    EXPECT_EQ(c->LeftAxis().Minimum(), 0);
    EXPECT_FALSE(c->LeftAxis().AutomaticMinimum());
    EXPECT_TRUE(c->LeftAxis().AutomaticMaximum());
    EXPECT_FALSE(c->legend->visible());
    EXPECT_EQ(c->SeriesAt(f->Series1).Kind(), ui::SeriesKind::Bar);
    EXPECT_EQ(c->SeriesAt(f->Series1).Color(), QColor(0, 128, 0));
    EXPECT_EQ(c->SeriesAt(f->Series2).Kind(), ui::SeriesKind::Line);
    EXPECT_EQ(c->SeriesAt(f->Series2).Color(), QColor(255, 0, 0));
}

// ---- Opening -------------------------------------------------------------------

TEST_F(SpectrumWindowTest, MenuTitlesShowTheirHintsUnderThePointer)
{
    Open();
    QMenuBar* bar = spectrum::Form2->MainMenu;
    for (const auto& [menu, hint] : {std::pair{2, ""}, {0, "Выбор действия"}, {1, "Вывод списка номеров каналов"}}) {
        const QPoint at = bar->actionGeometry(bar->actions()[menu]).center();
        QHelpEvent event(QEvent::ToolTip, at, bar->mapToGlobal(at));
        QApplication::sendEvent(bar, &event);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), hint) << menu; // "Обработка" has none
    }
}

TEST_F(SpectrumWindowTest, FirstDisplayIsChannel1OfRecord0Bins1To225WhateverChannelAndBounds)
{
    Open();
    EXPECT_TRUE(spectrum::Form2->isVisible());
    EXPECT_TRUE(spectrum::Form2->bStopInt->isHidden());
    ExpectMarkedBars(1, 0, 1, 225);
    EXPECT_EQ(spectrum::Form2->Label5->text(), "4");
    EXPECT_EQ(spectrum::Form2->Label1->text(), "") << "nothing at the very first opening";
    EXPECT_EQ(spectrum::Form2->SpFileName, fileA_);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
    // Thin bars: 5 % of a bin wide, as drawn.
    spectrum::Form2->Chart2->Sync();
    int barPlots = 0;
    for (int i = 0; i < spectrum::Form2->Chart2->plottableCount(); ++i)
        if (auto* bars = qobject_cast<QCPBars*>(spectrum::Form2->Chart2->plottable(i))) {
            EXPECT_DOUBLE_EQ(bars->width(), 0.05);
            ++barPlots;
        }
    EXPECT_GT(barPlots, 0);

    Press(spectrum::Form2->Chan3);
    Press(spectrum::Form2->Button3);
    SetBounds("50", "60");
    Press(spectrum::Form2->CloseButton);
    EXPECT_FALSE(spectrum::Form2->isVisible());
    Form1->FonRecCount = 9; // the main window's count is what the label shows
    Open();
    ExpectMarkedBars(1, 0, 1, 225);
    EXPECT_EQ(spectrum::Form2->Label1->text(), "№ 3") << "keeps what it showed";
    EXPECT_EQ(spectrum::Form2->Label5->text(), "9");
    EXPECT_EQ(spectrum::Form2->ChanNo, 3);
    EXPECT_EQ(spectrum::Form2->RecNo, 1) << "the same file: the window keeps its record";
    EXPECT_EQ(spectrum::Form2->Label7->text(), "2");
}

TEST_F(SpectrumWindowTest, OpeningReadsIntoTheWindowsOwnRecordAndLeavesTheMainWindowAlone)
{
    auto before = MarkedRecord(9);
    Form1->FonRec = *before;
    Form1->FonRecNo = 2;
    Form1->KadrN->setText("3");
    Open();
    EXPECT_EQ(std::memcmp(&Form1->FonRec, before.get(), sizeof(TFonKadr)), 0) << "main window's record untouched";
    EXPECT_EQ(Form1->FonRecNo, 2);
    EXPECT_EQ(Form1->KadrN->text(), "3");
    auto record0 = MarkedRecord(0);
    EXPECT_EQ(std::memcmp(&spectrum::Form2->SpRec, record0.get(), sizeof(TFonKadr)), 0);
}

TEST_F(SpectrumWindowTest, OpeningAMissingFileReportsTheErrorAndLeavesTheMainWindowAlone)
{
    ViewFile(Path("gone.fon"), 3);
    Form1->FonRecNo = 2;
    Open();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), QString::fromStdString(Path("gone.fon") + ": нет такого файла или папки"));
    EXPECT_TRUE(spectrum::Form2->isVisible());
    EXPECT_EQ(Form1->FonRecNo, 2);
    EXPECT_TRUE(spectrum::Form2->SpFileName.empty());
}

TEST_F(SpectrumWindowTest, OpeningOnAnotherFileMovesTheWindowToRecord0OfThatFile)
{
    Open();
    Press(spectrum::Form2->Chan2);
    Press(spectrum::Form2->Button3);
    Press(spectrum::Form2->Button3);
    ASSERT_EQ(spectrum::Form2->RecNo, 2);
    Press(spectrum::Form2->CloseButton);

    ViewFile(fileB_, 2);
    Open();
    ExpectMarkedBars(1, 0, 1, 225, spectrum::kBarGreen, 5);
    EXPECT_EQ(spectrum::Form2->RecNo, 0);
    EXPECT_EQ(spectrum::Form2->RecCount, 2);
    EXPECT_EQ(spectrum::Form2->Label7->text(), "6") << "frame of record 0 of the new file";
    // Redraw shows channel 2 of the new file, not what was left from the old one.
    Press(spectrum::Form2->N2);
    ExpectMarkedBars(2, 0, 10, 225, spectrum::kBarGreen, 5);
    Press(spectrum::Form2->Button3);
    ExpectMarkedBars(2, 1, 10, 225, spectrum::kBarGreen, 5);
    Press(spectrum::Form2->Button3);
    EXPECT_EQ(Form1->KadrN->text(), "2") << "end of the new file";
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

// ---- Channel items -------------------------------------------------------------

TEST_F(SpectrumWindowTest, ChannelItemsShowAll256BinsOfRecord0)
{
    Open();
    QAction* items[] = {spectrum::Form2->Chan1, spectrum::Form2->Chan2, spectrum::Form2->Chan3, spectrum::Form2->Chan4};
    for (int k = 1; k <= 4; ++k) {
        Press(spectrum::Form2->Button3); // somewhere else first
        SetBounds("30", "40");
        Press(items[k - 1]);
        SCOPED_TRACE(k);
        ExpectMarkedBars(k, 0, 1, 256);
        EXPECT_EQ(spectrum::Form2->Label1->text(), QString("№ %1").arg(k));
        EXPECT_EQ(spectrum::Form2->ChanNo, k);
        EXPECT_EQ(spectrum::Form2->RecNo, 0);
        EXPECT_EQ(spectrum::Form2->RecCount, kRecords);
        for (int bin = 1; bin <= 256; ++bin)
            ASSERT_EQ(spectrum::Form2->Spectr[static_cast<size_t>(bin - 1)], MarkedCount(k, 0, bin));
    }
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumWindowTest, ChannelItemsLeaveTheRecordLabelsAlone)
{
    Open();
    Press(spectrum::Form2->Chan1);
    EXPECT_EQ(spectrum::Form2->Label4->text(), "Label4");
    EXPECT_EQ(spectrum::Form2->Label6->text(), "Label6");
    EXPECT_EQ(spectrum::Form2->Label7->text(), "");
}

TEST_F(SpectrumWindowTest, EveryCommandReadsTheFileTheWindowWasOpenedOn)
{
    Open();
    ViewFile(fileB_, 2); // the operator opens another file in the main window
    for (QAction* item : {spectrum::Form2->Chan1, spectrum::Form2->Chan2, spectrum::Form2->Chan3, spectrum::Form2->Chan4}) {
        Press(item);
        ExpectMarkedBars(spectrum::Form2->ChanNo, 0, 1, 256);
        EXPECT_EQ(spectrum::Form2->RecCount, kRecords);
    }
    Press(spectrum::Form2->Button3);
    Press(spectrum::Form2->Button3);
    Press(spectrum::Form2->Button3);
    ExpectMarkedBars(4, 3, 10, 225); // record 3 exists only in the window's file
    Press(spectrum::Form2->Button2);
    ExpectMarkedBars(4, 2, 10, 225);
    Press(spectrum::Form2->N2);
    EXPECT_EQ(spectrum::Form2->SpRec.KadrNo, 3);
    EXPECT_EQ(spectrum::Form2->RecCount, kRecords);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumWindowTest, AFailedReadAbandonsTheChannelItemAfterItsFirstSteps)
{
    Open();
    Press(spectrum::Form2->Chan1);
    QFile::remove(QString::fromStdString(fileA_));
    Press(spectrum::Form2->Chan3);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), QString::fromStdString(fileA_) + ": нет такого файла или папки");
    EXPECT_TRUE(Bars().empty());
    EXPECT_EQ(spectrum::Form2->ChanNo, 3);
    EXPECT_EQ(spectrum::Form2->Label1->text(), "№ 3");
}

// ---- Redraw --------------------------------------------------------------------

TEST_F(SpectrumWindowTest, RedrawDrawsTheWorkingHistogramBetweenTheBoundsAndRecounts)
{
    Open();
    Press(spectrum::Form2->Chan2);
    spectrum::Form2->Chart2->SeriesAt(spectrum::Form2->Series2).AddXY(20, 5); // a fitted line stays
    spectrum::Form2->Label1->setText("77");
    SetBounds(" 20 ", "\t30  ");
    recfile::WriteRecord(fileA_, kRecords, *MarkedRecord(kRecords)); // the file grew
    Press(spectrum::Form2->N2);
    ExpectMarkedBars(2, 0, 20, 30);
    EXPECT_EQ(spectrum::Form2->Label1->text(), "№ 2");
    EXPECT_EQ(Line().size(), 1u);
    EXPECT_EQ(spectrum::Form2->RecCount, kRecords + 1);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumWindowTest, BoundsInReverseOrderDrawNothingWithoutAMessage)
{
    Open();
    Press(spectrum::Form2->Chan1);
    SetBounds("30", "20");
    Press(spectrum::Form2->N2);
    EXPECT_TRUE(Bars().empty());
    Press(spectrum::Form2->Button3);
    EXPECT_TRUE(Bars().empty());
    EXPECT_EQ(spectrum::Form2->RecNo, 1);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumWindowTest, BoundsOutsideTheHistogramAreRefusedWithAMessageAndNoDrawing)
{
    Open();
    Press(spectrum::Form2->Chan1);
    const std::pair<QString, QString> cases[] = {{"0", "225"}, {"10", "257"}, {"-5", "20"}, {"300", "400"}};
    for (const auto& [lo, hi] : cases) {
        SCOPED_TRACE((lo + " " + hi).toStdString());
        ui::ErrorReport::Reset();
        SetBounds(lo, hi);
        Press(spectrum::Form2->N2);
        EXPECT_EQ(ui::ErrorReport::LastMessage(), spectrum::BinBoundsMessage());
        EXPECT_TRUE(Bars().empty());

        ui::ErrorReport::Reset();
        const int32_t recNo = spectrum::Form2->RecNo;
        Press(spectrum::Form2->Button3);
        EXPECT_EQ(ui::ErrorReport::LastMessage(), spectrum::BinBoundsMessage());
        EXPECT_TRUE(Bars().empty());
        EXPECT_EQ(spectrum::Form2->RecNo, recNo + 1) << "the record is stepped before the bounds are read";
        EXPECT_EQ(spectrum::Form2->Label7->text(), QString::number(recNo + 2));
        Press(spectrum::Form2->Button2);
    }
    SetBounds("1", "256");
    Press(spectrum::Form2->N2);
    ExpectMarkedBars(1, spectrum::Form2->RecNo, 1, 256);
}

TEST_F(SpectrumWindowTest, BoundsThatAreNoNumberAbandonTheRedrawWithTheConversionMessage)
{
    Open();
    Press(spectrum::Form2->Chan1);
    SetBounds("1O", "225");
    Press(spectrum::Form2->N2);
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«1O» не целое число");
    EXPECT_TRUE(Bars().empty());
}

// ---- Record stepping -------------------------------------------------------------

TEST_F(SpectrumWindowTest, SteppingShowsEachRecordBetweenTheBoundsWithItsDateTimeAndFrame)
{
    Open();
    Press(spectrum::Form2->Chan2);
    SetBounds(" 12", "200 ");
    Form1->KadrN->setText("x");
    for (int r = 1; r < kRecords; ++r) {
        Press(spectrum::Form2->Button3);
        SCOPED_TRACE(r);
        EXPECT_EQ(spectrum::Form2->RecNo, r);
        ExpectMarkedBars(2, r, 12, 200);
        EXPECT_EQ(spectrum::Form2->Label4->text(), "6-12-2026");
        EXPECT_EQ(spectrum::Form2->Label6->text(), QString("10:%1:30").arg(r));
        EXPECT_EQ(spectrum::Form2->Label7->text(), QString::number(r + 1));
        EXPECT_EQ(Form1->KadrN->text(), "") << "\">\" clears the main window's frame label";
    }
    // The last record: ">" shows the number of records and stays.
    Press(spectrum::Form2->Button3);
    EXPECT_EQ(spectrum::Form2->RecNo, kRecords - 1);
    EXPECT_EQ(Form1->KadrN->text(), QString::number(kRecords));
    ExpectMarkedBars(2, kRecords - 1, 12, 200);

    Form1->KadrN->setText("y");
    for (int r = kRecords - 2; r >= 0; --r) {
        Press(spectrum::Form2->Button2);
        EXPECT_EQ(spectrum::Form2->RecNo, r);
        ExpectMarkedBars(2, r, 12, 200);
        EXPECT_EQ(Form1->KadrN->text(), "y") << "\"<\" keeps the main window's frame label";
    }
    Press(spectrum::Form2->Button2);
    EXPECT_EQ(spectrum::Form2->RecNo, 0);
    EXPECT_EQ(Form1->KadrN->text(), "1");
    ExpectMarkedBars(2, 0, 12, 200);
    EXPECT_EQ(ui::ErrorReport::Count(), 0);
}

TEST_F(SpectrumWindowTest, SteppingBeforeAnyChannelWasChosenOnlySetsTheFrameLabel)
{
    Open();
    Press(spectrum::Form2->Button3);
    EXPECT_EQ(Form1->KadrN->text(), "0");
    EXPECT_EQ(spectrum::Form2->RecNo, 0);
    ExpectMarkedBars(1, 0, 1, 225);
    Press(spectrum::Form2->Button2);
    EXPECT_EQ(Form1->KadrN->text(), "1");
    ExpectMarkedBars(1, 0, 1, 225);
    EXPECT_EQ(spectrum::Form2->Label7->text(), "");
}

TEST_F(SpectrumWindowTest, ChannelLoadersFillTheWorkingHistogramWithoutDrawing)
{
    Open();
    Press(spectrum::Form2->Chan1);
    spectrum::Form2->RecNo = 2;
    const std::function<void()> loaders[] = {[] { spectrum::Form2->chann1(); }, [] { spectrum::Form2->chann2(); },
                                              [] { spectrum::Form2->chann3(); }, [] { spectrum::Form2->chann4(); }};
    for (int c = 1; c <= 4; ++c) {
        loaders[c - 1]();
        EXPECT_EQ(spectrum::Form2->Spectr[99], MarkedCount(c, 2, 100));
        EXPECT_EQ(spectrum::Form2->SpRec.KadrNo, 3);
    }
    ExpectMarkedBars(1, 0, 1, 256);
    EXPECT_EQ(spectrum::Form2->RecCount, kRecords);
}

// ---- Closing -------------------------------------------------------------------

TEST_F(SpectrumWindowTest, CloseRestoresTheNormalDisplayAndKeepsTheState)
{
    Open();
    Press(spectrum::Form2->Chan2);
    Press(spectrum::Form2->Button3);
    Press(spectrum::Form2->bIntegr);
    ASSERT_FALSE(spectrum::Form2->bStopInt->isHidden());
    ASSERT_TRUE(spectrum::Form2->Chart2->LeftAxis().Logarithmic());
    Press(spectrum::Form2->CloseButton);

    EXPECT_FALSE(spectrum::Form2->isVisible());
    testing_support::ExpectNormalDisplay();
    EXPECT_EQ(spectrum::Form2->ChanNo, 2);
    EXPECT_EQ(spectrum::Form2->RecNo, 1);
    EXPECT_EQ(spectrum::Form2->RecCount, kRecords);

    Open();
    ExpectMarkedBars(1, 0, 1, 225, QColor(0, 128, 0));
}

} // namespace
