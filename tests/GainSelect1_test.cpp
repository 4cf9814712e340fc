// The gain dialog: what it shows, stores, resets and refuses.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cstring>

#include "datafiles/RecordFile.h"
#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/ErrorReport.h"
#include "support/Fixtures.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

class GainDialogTest : public WindowTest {
protected:
    QComboBox* Box(int k) const { return Form3->findChild<QComboBox*>(QString("ComboBox%1").arg(k)); }
    QStringList Texts() const
    {
        QStringList t;
        for (int k = 1; k <= 10; ++k)
            t << Box(k)->currentText();
        return t;
    }
};

TEST_F(GainDialogTest, OpensWithTheGainsInForce)
{
    EXPECT_EQ(Texts(), QStringList({"20", "20", "5", "5", "100", "100", "100", "100", "100", "100"}));
    EXPECT_EQ(Form3->windowTitle(), "Выбор усиления");
    QStringList values;
    for (int i = 0; i < Box(1)->count(); ++i)
        values << Box(1)->itemText(i);
    EXPECT_EQ(values, QStringList({"1", "2", "5", "10", "20", "40", "100", "200"}));
    EXPECT_TRUE(Box(1)->isEditable());
    EXPECT_EQ(Box(9)->toolTip(), "Выбрать усиление");
    EXPECT_EQ(Box(10)->toolTip(), "");
    EXPECT_EQ(Form3->findChild<QPushButton*>("Button1")->text(), "Сброс");
    EXPECT_EQ(Form3->findChild<QPushButton*>("Button2")->text(), "Выход");
    form()->bGain1Click();
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_FALSE(Form3->isModal());
    EXPECT_TRUE(form()->Timer1->isActive());
}

TEST_F(GainDialogTest, ExitStoresAndTheTimerAppliesWithoutCallingBoards)
{
    TForm1* f = form();
    f->bGain1Click();
    Box(2)->setEditText("40");
    Box(8)->setEditText("7"); // any whole number, not only the listed ones
    EXPECT_EQ(f->RGainSel2, 20); // nothing happens before "Выход"
    Form3->findChild<QPushButton*>("Button2")->click();
    EXPECT_FALSE(Form3->isVisible());
    EXPECT_TRUE(f->GainChanged);
    EXPECT_EQ(f->RGainSel2, 40);
    EXPECT_EQ(f->FGainSel2, 7);
    Sim().clearLog();
    EXPECT_TRUE(WaitFor([&] { return f->lFGain2->text() == "7"; }));
    EXPECT_EQ(f->lRGain2->text(), "40");
    EXPECT_EQ(f->RadRec.RGain2, 40);
    EXPECT_EQ(f->FonRec.FGain2, 7);
    EXPECT_TRUE(Sim().calls().empty());
}

TEST_F(GainDialogTest, ReopeningShowsWhatWasLeftAndResetReloads)
{
    TForm1* f = form();
    f->bGain1Click();
    Box(1)->setEditText("2");
    Form3->hide(); // closed another way: nothing stored
    EXPECT_FALSE(f->GainChanged);
    f->bGain1Click();
    EXPECT_EQ(Box(1)->currentText(), "2");
    Form3->findChild<QPushButton*>("Button1")->click();
    EXPECT_EQ(Box(1)->currentText(), "20");
}

TEST_F(GainDialogTest, NonIntegersAndValuesBeyondSixteenBitsAreRefused)
{
    TForm1* f = form();
    f->bGain1Click();
    Box(1)->setEditText("10");
    Box(3)->setEditText(" 5"); // no trimming before the conversion: leading blanks are skipped
    Box(4)->setEditText("5 ");
    Form3->findChild<QPushButton*>("Button2")->click();
    EXPECT_EQ(ui::ErrorReport::LastMessage(), "«5 » не целое число");
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_FALSE(f->GainChanged);
    EXPECT_EQ(f->RGainSel1, 10); // fields before the bad one are already stored
    Box(4)->setEditText("5");
    Box(7)->setEditText("70000");
    Form3->findChild<QPushButton*>("Button2")->click();
    EXPECT_TRUE(ui::ErrorReport::LastMessage().startsWith("«70000»"));
    EXPECT_TRUE(Form3->isVisible());
    EXPECT_FALSE(f->GainChanged);
    Box(7)->setEditText("-32768");
    Form3->findChild<QPushButton*>("Button2")->click();
    EXPECT_TRUE(f->GainChanged);
    f->Timer1Timer();
    EXPECT_EQ(f->lFGain1->text(), "-32768");
    EXPECT_EQ(f->FonRec.FGain1, -32768);
}

TEST_F(GainDialogTest, GainsCannotChangeDuringARun)
{
    TForm1* f = form();
    f->bGain1Click();
    Box(7)->setEditText("2");
    f->bStart1Click();
    EXPECT_FALSE(f->bGain1->isEnabled());
    EXPECT_FALSE(Form3->isVisible()); // an open dialog closes, storing nothing
    EXPECT_EQ(f->FGainSel1, 100);
    f->bStart1Click();
    EXPECT_EQ(f->FonRec.FGain1, 100);
    EXPECT_TRUE(f->bGain1->isEnabled());
}

TEST_F(GainDialogTest, GainsChosenBetweenRunsReachTheBoardsAtTheNextStart)
{
    TForm1* f = form();
    f->bGain1Click();
    Box(7)->setEditText("40");
    Box(6)->setEditText("2");
    Form3->findChild<QPushButton*>("Button2")->click();
    f->Timer1Timer();
    Sim().clearLog();
    f->bStart1Click();
    const auto setups = Sim().calls(SimOpSetup);
    ASSERT_EQ(setups.size(), 5u);
    int32_t g1, g2;
    std::memcpy(&g1, setups[0].params + 32, 4);
    std::memcpy(&g2, setups[4].params + 36, 4);
    EXPECT_EQ(g1, 40);
    EXPECT_EQ(g2, 2);
    f->bStart1Click();
    auto rec = std::make_unique<TFonKadr>();
    recfile::ReadRecord(f->Run().FonFile(), 0, *rec);
    EXPECT_EQ(rec->FGain1, 40);
}

} // namespace
