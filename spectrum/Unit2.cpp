#include "spectrum/Unit2.h"

#include <QAction>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Controls.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "ui/MenuTitleHints.h"
#include "spectrum/SpectrumBars.h"

namespace spectrum {

TForm2* Form2 = nullptr;

namespace {
/// Bar width of the histogram: 5 % of a bin.
constexpr double kBarWidth = 0.05;
constexpr double kValueHeadroom = 0.05; ///< room above the highest bar, a share of the value axis
} // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("Form2");
    setWindowTitle("Окно гистограммы");
    BuildControls();
    BuildMenu();
    ConnectHandlers();
    FormCreate();
}

void TForm2::BuildControls()
{
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    Client = new QWidget(this);
    Client->setObjectName("Client");
    Client->setFixedSize(kForm2ClientWidth, kForm2ClientHeight);
    QWidget* c = Client;

    Chart2 = new ui::TChart(c);
    Chart2->setObjectName("Chart2");
    Chart2->setGeometry(0, 0, kForm2ClientWidth, 300);
    Chart2->setToolTip("График спектра");
    Chart2->SetTitle("Спектр");
    Chart2->LeftAxis().SetTitle("Коды АЦП");
    Chart2->BottomAxis().SetMinMax(0, 250);
    Chart2->LeftAxis().SetMinimum(0);
    Chart2->LeftAxis().SetAutomaticMaximum(true);
    Chart2->LeftAxis().SetHeadroom(kValueHeadroom); // the peak's top below the frame, in every view
    Series1 = Chart2->AddSeries(ui::SeriesKind::Bar, kBarGreen, "Спектр");
    Chart2->SeriesAt(Series1).SetBarWidth(kBarWidth); // thin bars
    Series2 = Chart2->AddSeries(ui::SeriesKind::Line, kLineRed, "Подгонка");
    // The fitted line lies over the bars, whenever the plot makes the bars.
    Chart2->addLayer("fit", Chart2->layer("main"), QCustomPlot::limAbove);
    Chart2->graph(0)->setLayer("fit");

    // Labels on the chart: channel or centre, records of the file, frame.
    Label1 = ui::Label(Chart2, "Label1", QString(), {64, 28, 90, 18});
    Label5 = ui::Label(Chart2, "Label5", "Label5", {340, 28, 96, 18}, "Вывод № максимального кадра");
    Label7 = ui::Label(Chart2, "Label7", QString(), {340, 46, 96, 18}, "Вывод текущего кадра");
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label7->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    // Bounds and record stepping; "Стоп" lies over "<" and ">".
    Edit1 = ui::Edit(c, "Edit1", "10", {8, 306, 44, 22}, "Нижняя граница по ОХ слева");
    Edit2 = ui::Edit(c, "Edit2", "225", {56, 306, 44, 22}, "Граница справа по ОХ ");
    Button2 = ui::Button(c, "Button2", "<", {108, 304, 40, 26}, "Вывод предыдущиегокадра");
    Button3 = ui::Button(c, "Button3", ">", {152, 304, 40, 26}, "Вывод следующего кадра");
    bStopInt = ui::Button(c, "bStopInt", "Стоп", {108, 304, 84, 26});
    bStopInt->hide();

    // Date and time of the current record.
    Label2 = ui::Label(c, "Label2", "Date", {204, 304, 80, 18});
    Label4 = ui::Label(c, "Label4", "Label4", {288, 304, 168, 18});
    Label3 = ui::Label(c, "Label3", "Время записи", {204, 328, 80, 18});
    Label6 = ui::Label(c, "Label6", "Label6", {288, 328, 168, 18});
    Label4->setStyleSheet("color: rgb(0, 0, 128);");
    Label6->setStyleSheet("color: rgb(255, 0, 0);");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm2::BuildMenu()
{
    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName("MainMenu");
    auto menu = [this](const char* name, const QString& title, const QString& hint) {
        QMenu* m = MainMenu->addMenu(title);
        m->setObjectName(name);
        m->setToolTipsVisible(true);
        m->menuAction()->setStatusTip(hint);
        m->menuAction()->setToolTip(hint);
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const QString& caption, const QString& hint) {
        QAction* a = m->addAction(caption);
        a->setObjectName(name);
        a->setStatusTip(hint);
        a->setToolTip(hint.isEmpty() ? caption : hint);
        return a;
    };
    FileMenu = menu("N1", "Файл  ", "Выбор действия");
    N2 = item(FileMenu, "N2", "Обновить рисунок", "Перерисовывает спектр заново с указанными  в полях ограничениями");
    CloseButton = item(FileMenu, "CloseButton", "Закрыть", "Закрыть окно");
    ChannelMenu = menu("N3", "Выбор канала", "Вывод списка номеров каналов");
    Chan1 = item(ChannelMenu, "Chan1", "№1", {});
    Chan2 = item(ChannelMenu, "Chan2", "№2", {});
    Chan3 = item(ChannelMenu, "Chan3", "№3", {});
    Chan4 = item(ChannelMenu, "Chan4", "№4", {});
    ProcessMenu = menu("N4", "Обработка", {});
    bIntegr = item(ProcessMenu, "bIntegr", "Интегральный", "Построение интегрального спектра");
    bCentre = item(ProcessMenu, "bCentre", "Усреднение", "Усредняет по 3 и находит центр тяжести по площади");
    layout()->setMenuBar(MainMenu);
    ui::ShowMenuTitleHints(MainMenu); // "Выбор действия", "Вывод списка номеров каналов"
}

void TForm2::ConnectHandlers()
{
    auto onAction = [this](QAction* a, void (TForm2::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { ui::Guard([&] { (this->*handler)(); }); });
    };
    auto onButton = [this](QPushButton* b, void (TForm2::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { ui::Guard([&] { (this->*handler)(); }); });
    };
    onAction(N2, &TForm2::N2Click);
    onAction(CloseButton, &TForm2::CloseButtonClick);
    onAction(Chan1, &TForm2::Chan1Click);
    onAction(Chan2, &TForm2::Chan2Click);
    onAction(Chan3, &TForm2::Chan3Click);
    onAction(Chan4, &TForm2::Chan4Click);
    onAction(bIntegr, &TForm2::bIntegrClick);
    onAction(bCentre, &TForm2::bCentreClick);
    onButton(Button2, &TForm2::Button2Click);
    onButton(Button3, &TForm2::Button3Click);
    onButton(bStopInt, &TForm2::bStopIntClick);
}

void TForm2::FormCreate() { ChanNo = 1; }

void TForm2::RestoreNormalDisplay()
{
    bStopInt->hide();
    Button3->show();
    Button2->show();
    Chart2->SeriesAt(Series2).Clear();
    Chart2->SeriesAt(Series1).Clear();
    Chart2->BottomAxis().SetMaximum(255);
    Chart2->BottomAxis().SetLogarithmic(false);
    Chart2->LeftAxis().SetAutomatic(true);
    Chart2->LeftAxis().SetLogarithmic(false);
    Chart2->RightAxis().SetAutomatic(false);
    Chart2->RightAxis().SetLogarithmic(false);
    Chart2->SeriesAt(Series1).SetColor(kBarGreen);
}

void TForm2::CloseButtonClick()
{
    RestoreNormalDisplay();
    close();
}

QString TForm2::ChannelText() const { return "№ " + QString::number(ChanNo); }

} // namespace spectrum
