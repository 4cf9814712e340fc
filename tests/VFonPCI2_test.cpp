// The main window right after start-up, and the two status operations.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <limits>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "spectrum/Unit2.h"
#include "stability/StabilityWindow.h"
#include "ui/Chart.h"
#include "support/Fixtures.h"

using testing_support::WindowTest;

namespace {

class MainWindowTest : public WindowTest {};

QString Text(TForm1* f, const char* name)
{
    if (auto* l = f->findChild<QLabel*>(name))
        return l->text();
    if (auto* e = f->findChild<QLineEdit*>(name))
        return e->text();
    if (auto* b = f->findChild<QPushButton*>(name))
        return b->text();
    ADD_FAILURE() << "no control " << name;
    return {};
}

TEST_F(MainWindowTest, DefaultsAfterStartUp)
{
    TForm1* f = form();
    EXPECT_EQ(f->windowTitle(), "Снятие фона и регистрация ливней");
    EXPECT_EQ(f->size(), QSize(1070, 812));
    const char* rg[] = {"lRGain1", "lRGain2", "lRGain3", "lRGain4", "lRGain5", "lRGain6"};
    const char* rgv[] = {"20", "20", "5", "5", "100", "100"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Text(f, rg[i]), rgv[i]) << rg[i];
    for (const char* n : {"lFGain1", "lFGain2", "lFGain3", "lFGain4"})
        EXPECT_EQ(Text(f, n), "100") << n;
    EXPECT_EQ(Text(f, "MaskEdit1").trimmed(), "14");
    EXPECT_EQ(Text(f, "MaskEdit2").trimmed(), "20");
    EXPECT_EQ(Text(f, "MaskEdit3").trimmed(), "16");
    EXPECT_EQ(Text(f, "MaskEdit4").trimmed(), "20");
    EXPECT_EQ(Text(f, "bStart1"), "Start");
    EXPECT_EQ(Text(f, "bExit1"), "EXIT");
    EXPECT_EQ(Text(f, "bGain1"), "Усиление");
    EXPECT_EQ(Text(f, "Button1"), "Показать");
    EXPECT_EQ(Text(f, "Button2"), "Усреднить по 3");
    EXPECT_EQ(Text(f, "bForm2"), "Спектры детек.");
    EXPECT_EQ(f->findChild<QPushButton*>("bStart1")->toolTip(), "Кнопка запуска программы");
    EXPECT_EQ(f->findChild<QPushButton*>("bExit1")->toolTip(), "Выход из программы");
    EXPECT_EQ(f->findChild<QPushButton*>("bGain1")->toolTip(), "Выбор усиления фона");
    EXPECT_EQ(f->findChild<QLineEdit*>("MaskEdit3")->toolTip(), "Поле ввода ограничений фона спектра 3-го канала");
    EXPECT_EQ(f->findChild<QLineEdit*>("eComment")->toolTip(), "Поле ввода коментариев (79 знаков)");
    EXPECT_EQ(Text(f, "lTEAS"), "Время ливня");
    for (const char* hidden : {"Button1", "Button2", "bForm2"})
        EXPECT_TRUE(f->findChild<QPushButton*>(hidden)->isHidden()) << hidden;
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(f->Timer1->interval(), 1);
    EXPECT_FALSE(f->Run().Running());
    EXPECT_EQ(f->Run().Engine().FonSamples, 1000000);
    EXPECT_EQ(f->RadSamples, 8192);
    EXPECT_EQ(f->Run().Engine().SampleRate, 100000000);
    EXPECT_EQ(f->FonChanParam, 90);
    EXPECT_EQ(f->Run().Engine().MinPulseGap, 0);
    EXPECT_EQ(f->RGainSel3, 5);
    EXPECT_EQ(f->FGainSel4, 100);
    EXPECT_FALSE(f->GainChanged);
    EXPECT_FALSE(f->Run().BoardsHeld());
}

TEST_F(MainWindowTest, ChartsWithTheirTitlesSeriesAndColours)
{
    TForm1* f = form();
    ASSERT_EQ(f->Chart1->SeriesCount(), 12);
    ASSERT_EQ(f->Chart2->SeriesCount(), 4);
    EXPECT_EQ(f->Chart1->Title(), "Радиосигнал");
    EXPECT_EQ(f->Chart1->LeftAxis().Title(), "Коды АЦП");
    EXPECT_EQ(f->Chart2->Title(), "Фон сцинтилляционных детекторов");
    EXPECT_EQ(f->Chart2->BottomAxis().Title(), "Время, сек");
    EXPECT_EQ(f->Chart2->LeftAxis().Title(), "Импульсов в сек");
    const QColor radio[] = {{255, 0, 0}, {0, 0, 255}, {0, 128, 0}, {255, 0, 255}, {128, 128, 128}, {0, 0, 0}, {64, 0, 128}};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(f->Chart1->SeriesAt(i).Color(), radio[i]) << i;
    const QColor fon[] = {{255, 0, 0}, {0, 0, 160}, {0, 128, 0}, {255, 128, 64}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(f->Chart2->SeriesAt(i).Color(), fon[i]) << i;
    EXPECT_EQ(f->Chart1->LeftAxis().Minimum(), -128);
    EXPECT_EQ(f->Chart1->LeftAxis().Maximum(), 128);
    EXPECT_EQ(f->Chart1->BottomAxis().Maximum(), 4096);
    EXPECT_TRUE(f->Chart2->LeftAxis().Automatic());
}

TEST_F(MainWindowTest, ErrorShowsTheMessageAndStopsTheHardware)
{
    TForm1* f = form();
    f->Timer1->start();
    f->bStart1->setText("Stop");
    f->Error(-10);
    EXPECT_EQ(f->status->currentMessage(), "Нет необходимого драйвера IntDMA32.VxD");
    EXPECT_FALSE(f->Timer1->isActive());
    EXPECT_EQ(f->bStart1->text(), "Start");
    f->Error(-99);
    EXPECT_EQ(f->status->currentMessage(), "Неизвестная ошибка");
    f->NoError();
    EXPECT_EQ(f->status->currentMessage(), "Всё работает замечательно");
}

TEST_F(MainWindowTest, HintsStayUpInEveryWindow)
{
    auto* stability = new stability::StabilityWindow(form());
    for (QWidget* w : std::initializer_list<QWidget*>{form()->bStart1, spectrum::Form2->Edit1, Form3->ComboBox[0], stability->bFiles}) {
        QHelpEvent hint(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &hint);
        EXPECT_EQ(w->toolTipDuration(), std::numeric_limits<int>::max()) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, ExitClosesTheMainWindow)
{
    TForm1* f = form();
    f->show();
    f->findChild<QPushButton*>("bExit1")->click();
    EXPECT_FALSE(f->isVisible());
}

} // namespace
