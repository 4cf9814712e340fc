#include "mainwindow/VFonPCI2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <iterator>
#include <limits>

#include "gains/GainSelect1.h"
#include "ui/Chart.h"
#include "ui/Controls.h"
#include "ui/ErrorReport.h"
#include "ui/HintPause.h"
#include "spectrum/Unit2.h"
#include "stability/StabilityWindow.h"

TForm1* Form1 = nullptr;

namespace {
const QColor kRadioColors[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 128, 0), QColor(255, 0, 255),
                               QColor(128, 128, 128), QColor(0, 0, 0), QColor(64, 0, 128)};
const QColor kFonColors[] = {QColor(255, 0, 0), QColor(0, 0, 160), QColor(0, 128, 0), QColor(255, 128, 64)};
constexpr int kClientWidth = 1070;
constexpr int kClientHeight = 812;
} // namespace

TForm1::TForm1(acq::RunModel* run, QWidget* parent) : QMainWindow(parent), run_(run)
{
    if (!run_) {
        ownRun_ = std::make_unique<acq::RunModel>();
        run_ = ownRun_.get();
    }
    setObjectName("Form1");
    setWindowTitle("Снятие фона и регистрация ливней");
    BuildControls();
    ConnectHandlers();
    ConnectRun();
    FormCreate();
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::AttachWindows(spectrum::TForm2* spectrum, TForm3* gains)
{
    spectrum_ = spectrum;
    gains_ = gains;
    if (spectrum) {
        connect(spectrum, &spectrum::TForm2::MainKadrN, KadrN, &QLabel::setText);
        connect(spectrum, &spectrum::TForm2::MainMemo, Memo1, &QPlainTextEdit::setPlainText);
    }
    if (gains)
        gains->SetSelection(this);
}

void TForm1::SetRunSettings(const std::array<int32_t, 4>& limits, const std::array<int16_t, 4>& fonGains,
                            const std::array<int16_t, 6>& radioGains)
{
    QLineEdit* edits[] = {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4};
    for (int c = 1; c <= 4; ++c)
        edits[c - 1]->setText(QString::number(limits[static_cast<size_t>(c - 1)]));
    for (int c = 1; c <= 6; ++c)
        RadRec.RGain(c) = static_cast<int16_t>(Selection(c) = radioGains[static_cast<size_t>(c - 1)]);
    for (int c = 1; c <= 4; ++c)
        FonRec.FGain(c) = static_cast<int16_t>(Selection(6 + c) = fonGains[static_cast<size_t>(c - 1)]);
    ShowGains();
    if (gains_)
        gains_->SetSelection(this); // the dialog's fields show the new choice
}

void TForm1::BuildControls()
{
    auto* c = new QWidget(this);
    c->setObjectName("Panel");
    setCentralWidget(c);
    QFont f = font();
    f.setPointSize(9);
    c->setFont(f);
    BuildRunPanel(c);
    BuildViewer(c);
    BuildCharts(c);
    BuildStatusAndTimers();

    setFixedSize(kClientWidth, kClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

// The left column's upper half: run buttons, the gains in force, the limits and the run's information.
void TForm1::BuildRunPanel(QWidget* c)
{
    // Run controls.
    bStart1 = ui::Button(c, "bStart1", "Start", {8, 8, 92, 30}, "Кнопка запуска программы");
    bGain1 = ui::Button(c, "bGain1", "Усиление", {104, 8, 92, 30}, "Выбор усиления фона");
    bExit1 = ui::Button(c, "bExit1", "EXIT", {200, 8, 92, 30}, "Выход из программы");
    QFont bold = bStart1->font();
    bold.setBold(true);
    bStart1->setFont(bold);

    // Gains in force.
    ui::Label(c, "lRGainCaption", "Усиление радио", {8, 44, 284, 16});
    const char* rNames[] = {"lRGain1", "lRGain2", "lRGain3", "lRGain4", "lRGain5", "lRGain6"};
    for (int i = 0; i < 6; ++i) {
        ui::Label(c, "", QString::number(i + 1), {8 + i * 48, 60, 12, 20});
        lRGain[i] = ui::Value(c, rNames[i], {20 + i * 48, 60, 34, 20});
    }
    ui::Label(c, "lFGainCaption", "Усиление фона", {8, 84, 284, 16});
    const char* fNames[] = {"lFGain1", "lFGain2", "lFGain3", "lFGain4"};
    for (int i = 0; i < 4; ++i) {
        ui::Label(c, "", QString::number(i + 1), {8 + i * 72, 100, 12, 20});
        lFGain[i] = ui::Value(c, fNames[i], {20 + i * 72, 100, 52, 20});
    }
    lRGain1 = lRGain[0], lRGain2 = lRGain[1], lRGain3 = lRGain[2];
    lRGain4 = lRGain[3], lRGain5 = lRGain[4], lRGain6 = lRGain[5];
    lFGain1 = lFGain[0], lFGain2 = lFGain[1], lFGain3 = lFGain[2], lFGain4 = lFGain[3];

    // Amplitude limits of the four detector channels.
    ui::Label(c, "lLimits", "Ограничение", {8, 124, 284, 16});
    const char* mNames[] = {"MaskEdit1", "MaskEdit2", "MaskEdit3", "MaskEdit4"};
    const char* ordinals[] = {"1-го", "2-го", "3-го", "4-го"};
    QLineEdit* limits[4];
    for (int i = 0; i < 4; ++i)
        limits[i] = ui::MaskedNumber(c, mNames[i], QString(), {8 + i * 72, 140, 66, 22},
                                     QString("Поле ввода ограничений фона спектра %1 канала").arg(ordinals[i]));
    MaskEdit1 = limits[0], MaskEdit2 = limits[1], MaskEdit3 = limits[2], MaskEdit4 = limits[3];

    // Run and frame information: each value beside its caption.
    struct Row { const char* caption; QLabel** value; const char* name; };
    const Row rows[] = {
        {"Date:", &Label4, "Label4"},
        {"Start time:", &Label8, "Label8"},
        {"Время  события", &Label6, "Label6"},
        {"Кол-во радио кадров", &Label2, "Label2"},
        {"Номер кадра", &KadrN, "KadrN"},
        {"Всего кадров фона", &Skadr, "Skadr"},
    };
    int y = 170;
    for (const Row& r : rows) {
        ui::Label(c, "", r.caption, {8, y, 150, 20});
        *r.value = ui::Value(c, r.name, {160, y, 132, 20});
        y += 22;
    }
    Nkadr = ui::Label(c, "Nkadr", QString(), {8, y, 284, 18});
}

// The left column's lower half: the file viewer, frame stepping, listings and the comment.
void TForm1::BuildViewer(QWidget* c)
{
    bView = ui::Button(c, "bView", "View .fon", {8, 324, 140, 26});
    bViewRad = ui::Button(c, "bViewRad", "View .Rad", {152, 324, 140, 26});
    Label9 = ui::Label(c, "Label9", QString(), {8, 352, 284, 16});
    ListBox1 = new QListWidget(c);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setGeometry(8, 368, 284, 112);
    bDown = ui::Button(c, "bDown", "<", {8, 484, 40, 26}, "Просмотр предыдущего кадра");
    bUp = ui::Button(c, "bUp", ">", {52, 484, 40, 26}, "Просмотр следующего кадра");
    Button2 = ui::Button(c, "Button2", "Усреднить по 3", {96, 484, 196, 26});
    eKadrFon = ui::Edit(c, "eKadrFon", "1", {8, 514, 84, 24});
    bReadFon = ui::Button(c, "bReadFon", "Читать кадр Фон", {96, 513, 196, 26});
    eKadrRad = ui::Edit(c, "eKadrRad", "1", {8, 543, 84, 24});
    bReadRad = ui::Button(c, "bReadRad", "Читать кадр Радио", {96, 542, 196, 26});
    MaskEdit7 = ui::MaskedNumber(c, "MaskEdit7", "1       ", {8, 572, 84, 24});
    ui::Label(c, "lChannelCaption", "№ кан/антен", {96, 572, 90, 24});
    Button1 = ui::Button(c, "Button1", "Показать", {188, 571, 104, 26});
    bWrite = ui::Button(c, "bWrite", "Отсчеты Фон", {8, 602, 140, 26}, "Вывести время и амплитуду по отсчетам");
    bWrite1 = ui::Button(c, "bWrite1", "Отсчеты  Рад", {152, 602, 140, 26});
    bForm2 = ui::Button(c, "bForm2", "Спектры детек.", {8, 632, 140, 26}, "Просмотреть спектры");
    eComment = ui::Edit(c, "eComment", QString(), {152, 633, 140, 24}, "Поле ввода коментариев (79 знаков)");
    eComment->setMaxLength(79);
    bStability = ui::Button(c, "bStability", "Стабильность детекторов", {8, 662, 284, 26},
                            "Скорости счёта, центры пиков и наклоны спектров кадров многих файлов");
    Memo1 = new QPlainTextEdit(c);
    Memo1->setObjectName("Memo1");
    Memo1->setToolTip("Поле распечатки данных");
    Memo1->setGeometry(8, 692, 284, 94);
    Memo1->setReadOnly(false);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
}

// The radio chart above, the background chart below.
void TForm1::BuildCharts(QWidget* c)
{
    Chart1 = new ui::TChart(c);
    Chart1->setObjectName("Chart1");
    Chart1->setToolTip("Осцилограмма мастерного сигнала");
    Chart1->setGeometry(300, 8, 762, 386);
    Chart1->SetTitle("Радиосигнал");
    Chart1->LeftAxis().SetTitle("Коды АЦП");
    // Channels 1-6 (radio, or the smoothed background's 1-4), then the marker.
    for (size_t i = 0; i < std::size(kRadioColors); ++i)
        Chart1->AddSeries(ui::SeriesKind::Line, kRadioColors[i],
                          i + 1 < std::size(kRadioColors) ? QString("Канал %1").arg(i + 1) : QString("Маркер"));
    const QColor spare[] = {QColor(0, 128, 128), QColor(128, 0, 0), QColor(128, 128, 0), QColor(0, 0, 128),
                            QColor(255, 128, 0)};
    for (const QColor& col : spare)
        Chart1->AddSeries(ui::SeriesKind::Line, col);
    lTEAS = ui::Label(Chart1, "lTEAS", "Время ливня", {60, 6, 160, 18});

    Chart2 = new ui::TChart(c);
    Chart2->setObjectName("Chart2");
    Chart2->setToolTip("Осцилограф показывает фоновые сигналы");
    Chart2->setGeometry(300, 400, 762, 386);
    Chart2->SetTitle("Фон сцинтилляционных детекторов");
    Chart2->BottomAxis().SetTitle("Время, сек");
    Chart2->LeftAxis().SetTitle("Импульсов в сек");
    for (size_t i = 0; i < std::size(kFonColors); ++i)
        Chart2->AddSeries(ui::SeriesKind::Line, kFonColors[i], QString("Канал %1").arg(i + 1));
    Chart2->BottomAxis().SetMinMax(0, kFonPoints);
    Label23 = ui::Label(Chart2, "Label23", QString(), {60, 362, 100, 18});
    Label24 = ui::Label(Chart2, "Label24", QString(), {680, 362, 76, 18});
    Label24->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

// The status bar (live time, version) and the window's timers.
void TForm1::BuildStatusAndTimers()
{
    status = new QStatusBar(this);
    status->setObjectName("status");
    setStatusBar(status);
    lRescue = new QLabel(status);
    lRescue->setObjectName("lRescue");
    lRescue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lRescue->hide();
    status->addPermanentWidget(lRescue);
    lLiveTime = new QLabel(status);
    lLiveTime->setObjectName("lLiveTime");
    lLiveTime->setToolTip("Доля времени, в течение которого платы фона набирали данные, и циклов в секунду");
    status->addPermanentWidget(lLiveTime);
    auto* version = new QLabel("ver. 1.5", status);
    version->setObjectName("lVersion");
    status->addPermanentWidget(version);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setTimerType(Qt::PreciseTimer);
    LiveTimer = new QTimer(this);
    LiveTimer->setObjectName("LiveTimer");
    LiveTimer->setInterval(1000);
}

void TForm1::ConnectHandlers()
{
    auto on = [this](QPushButton* b, void (TForm1::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { ui::Guard([&] { (this->*handler)(); }); });
    };
    on(bStart1, &TForm1::bStart1Click);
    on(bExit1, &TForm1::bExit1Click);
    on(bGain1, &TForm1::bGain1Click);
    on(bForm2, &TForm1::bForm2Click);
    on(bView, &TForm1::bViewClick);
    on(bViewRad, &TForm1::bViewRadClick);
    on(bWrite, &TForm1::bWriteClick);
    on(bWrite1, &TForm1::bWrite1Click);
    on(bDown, &TForm1::bDownClick);
    on(bUp, &TForm1::bUpClick);
    on(bReadFon, &TForm1::bReadFonClick);
    on(bReadRad, &TForm1::bReadRadClick);
    on(Button1, &TForm1::Button1Click);
    on(Button2, &TForm1::Button2Click);
    on(bStability, &TForm1::bStabilityClick);
    // Every change of selection counts as a click, keyboard moves included.
    // A click on the line already selected opens its file again; a click
    // that moves the selection has opened it through the change already.
    // A line made current without being selected is no choice of the
    // operator's: the list does that to its first line when it takes the
    // focus with no line current (the window raised for a frame of a file
    // that is not listed), and the frame on show stays.
    // A mouse press makes its line current before it selects it: the click
    // that follows opens that line.
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int row) {
        const bool chosen = row >= 0 && ListBox1->item(row)->isSelected();
        rowChangedByPress_ = chosen && QGuiApplication::mouseButtons() != Qt::NoButton;
        if (chosen)
            ui::Guard([this] { ParamSelect(); });
    });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] {
        if (!rowChangedByPress_)
            ui::Guard([this] { ParamSelect(); });
        rowChangedByPress_ = false;
    });
    connect(Timer1, &QTimer::timeout, this, [this] { ui::Guard([this] { Timer1Timer(); }); });
    connect(LiveTimer, &QTimer::timeout, this, [this] { ShowLiveTime(); });
    // The limits the selection counts with follow their edits at once.
    QLineEdit* limits[] = {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4};
    for (int c = 1; c <= 4; ++c)
        connect(limits[c - 1], &QLineEdit::textChanged, this, [this, c](const QString& t) { Run().SetLimitText(c, t); });
}

void TForm1::ShowGains()
{
    for (int c = 1; c <= 6; ++c)
        lRGain[c - 1]->setText(QString::number(RadRec.RGain(c)));
    for (int c = 1; c <= 4; ++c)
        lFGain[c - 1]->setText(QString::number(FonRec.FGain(c)));
}

void TForm1::FormCreate()
{
    Button1->hide();
    Button2->hide();
    Average5 = false;
    // Hints stay up while the pointer rests on a control, in every window.
    ui::SetHintHidePause(-1);
    status->clearMessage();
    Chart2->SeriesAt(0).Clear();
    Timer1->stop();
    for (int c = 1; c <= 6; ++c)
        RadRec.RGain(c) = static_cast<int16_t>(Selection(c) = boards::kDefaultRadioGains[static_cast<size_t>(c - 1)]);
    for (int c = 1; c <= 4; ++c)
        FonRec.FGain(c) = static_cast<int16_t>(Selection(6 + c) = boards::kDefaultFonGains[static_cast<size_t>(c - 1)]);
    ShowGains();
    Timer1->setInterval(1);
    Run().ResetParameters();
    Chart1->LeftAxis().SetMinMax(-128, 128);
    Chart1->BottomAxis().SetMinMax(0, kRadSamples);
    Chart2->LeftAxis().SetAutomatic(true);
    bForm2->hide();

    // Defaults the layout gives the controls.
    MaskEdit1->setText("14");
    MaskEdit2->setText("20");
    MaskEdit3->setText("16");
    MaskEdit4->setText("20");
}

void TForm1::bExit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event)
{
    // A run is stopped first, so its frame is written; a record whose file
    // fails again goes to a rescue file. Only when even that fails does the
    // operator choose between losing it and going back.
    for (int attempt = 0; attempt < 2 && Run().Running(); ++attempt)
        ui::Guard([this] { bStart1Click(); });
    if (Run().Running()) {
        if (!AskQuit("Записи не сохранены: " + status->currentMessage() +
                     "\n\nВыйти из программы и потерять их, или вернуться?")) {
            event->ignore();
            return;
        }
        Run().Abandon();
    }
    event->accept();
    QCoreApplication::quit();
}

void TForm1::bStabilityClick()
{
    if (!stability_) {
        stability_ = new stability::StabilityWindow(this);
        connect(stability_, &stability::StabilityWindow::OpenFrameRequested, this, [this](const QString& file, int record, int channel) {
            ui::Guard([&] { OpenFrame(file, record, channel); });
        });
    }
    stability_->show();
    stability_->raise();
}

bool TForm1::AskQuitWithMessageBox(const QString& question)
{
    QMessageBox box(QMessageBox::Warning, windowTitle(), question, QMessageBox::NoButton, this);
    QPushButton* quit = box.addButton("Выйти", QMessageBox::DestructiveRole);
    box.setDefaultButton(box.addButton("Вернуться", QMessageBox::RejectRole));
    box.exec();
    return box.clickedButton() == quit;
}

void TForm1::Error(int32_t code)
{
    Run().Error(code); // the message comes back through StatusMessage
    Timer1->stop();
    bStart1->setText("Start");
}

void TForm1::NoError()
{
    status->clearMessage();
    status->showMessage("Всё работает замечательно");
}

