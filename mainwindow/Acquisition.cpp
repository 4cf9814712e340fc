// Starting and stopping a run, and the run drawn from the run model's
// signals: labels, the background chart batch by batch, radio events, the
// status bar with its live time; the chosen gains put into effect.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "platform/Clock.h"
#include "ui/ErrorReport.h"
#include "spectrum/Unit2.h"

void TForm1::SetBrowsingEnabled(bool on)
{
    for (QPushButton* b : {bDown, bUp, bReadFon, bReadRad, Button1, Button2, bForm2, bStability})
        b->setEnabled(on);
}

void TForm1::SetIdleButtons(bool idle)
{
    for (QPushButton* b : {bGain1, bExit1, bView, bViewRad, bWrite1})
        b->setEnabled(idle);
    SetBrowsingEnabled(idle);
}

void TForm1::ConnectRun()
{
    using acq::RunModel;
    RunModel& run = Run();
    connect(&run, &RunModel::StateChanged, this, &TForm1::ShowRunState);
    connect(&run, &RunModel::BoardsStarted, this, [this](const rt::DateTimeParts& t) {
        for (int s = 0; s <= 5; ++s)
            Chart1->SeriesAt(s).Clear();
        for (int s = 0; s <= 3; ++s)
            Chart2->SeriesAt(s).Clear();
        Label4->setText(rt::ShortDateText(t));
        Label8->setText(rt::LongTimeText(t));
    });
    connect(&run, &RunModel::NewFrame, this, [this](int16_t, const rt::DateTimeParts& t) {
        Label6->setText(rt::LongTimeText(t));
        Label4->setText(rt::ShortDateText(t));
    });
    connect(&run, &RunModel::NewPoint, this, [this](int32_t pointNo) { KadrN->setText(QString::number(pointNo)); });
    connect(&run, &RunModel::NewBatch, this, [this](const TFonKadr& frame, int32_t first, int32_t last) {
        for (int k = first; k <= last; ++k)
            for (int c = 1; c <= kFonChannels; ++c)
                Chart2->SeriesAt(c - 1).AddXY(k, frame.Counts(c)[k - 1] + (6 - c));
    });
    connect(&run, &RunModel::FrameClosed, this, [this] {
        for (int s = 0; s <= 3; ++s)
            Chart2->SeriesAt(s).Clear();
    });
    connect(&run, &RunModel::FrameWritten, this, [this](int32_t n) { Skadr->setText(QString::number(n)); });
    connect(&run, &RunModel::NewEventStamp, this, [this](int16_t eventNo, const rt::DateTimeParts& t) {
        lTEAS->setText(rt::LongTimeText(t));
        Label6->setText(rt::LongTimeText(t));
        Label4->setText(rt::ShortDateText(t));
        Label2->setText(QString::number(eventNo));
    });
    connect(&run, &RunModel::NewEvent, this, [this](const TRadKadr& event) {
        ViewData(event);
        NoError();
    });
    connect(&run, &RunModel::EventWritten, this, [this](int32_t n) { KadrN->setText(QString::number(n)); });
    connect(&run, &RunModel::StatusMessage, this, [this](const QString& m) {
        status->clearMessage();
        status->showMessage(m);
    });
    connect(&run, &RunModel::FileError, this, [this](const QString& m) {
        status->clearMessage();
        status->showMessage(m);
        ui::ErrorReport::Show(m);
    });
    connect(&run, &RunModel::TickError, this, [](const QString& m) { ui::ErrorReport::Show(m); });
    connect(&run, &RunModel::StopCycles, this,
            [this](int32_t n) { Memo1->appendPlainText("Кол-во кадров - " + QString::number(n)); });
    connect(&run, &RunModel::RescueFileInUse, this, [this](const QString& path) {
        rescueFiles_ << QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
        ShowRescueFiles();
    });
}

void TForm1::ShowRescueFiles()
{
    lRescue->setVisible(!rescueFiles_.isEmpty());
    lRescue->setText("Запасной файл: " + rescueFiles_.join(", "));
    lRescue->setToolTip(Run().RescueNotices().join('\n'));
}

void TForm1::ShowRunState(acq::RunState state)
{
    switch (state) {
    case acq::RunState::Running:
        rescueFiles_.clear();
        ShowRescueFiles();
        SetIdleButtons(false);
        bStart1->setText("Stop");
        liveCycles_ = 0;
        liveSeconds_ = 0;
        LiveTimer->start();
        break;
    case acq::RunState::Halted:
        // Halted by error: the buttons stay as in a run and the next press
        // stops; EXIT leaves, asking first when records are still unsaved.
        SetIdleButtons(false);
        bExit1->setEnabled(true);
        bStart1->setText("Start");
        ShowLiveTime();
        LiveTimer->stop();
        break;
    case acq::RunState::Idle:
        SetIdleButtons(true);
        bStart1->setText("Start");
        if (LiveTimer->isActive())
            ShowLiveTime(true);
        LiveTimer->stop();
        break;
    }
}

void TForm1::ShowLiveTime(bool finished)
{
    // During a run the cycles of the last second; after it, the whole run's,
    // marked as the last run's. Numbers in the locale's form, as the charts.
    const acq::LiveFigures f = Run().Figures();
    const double dt = finished ? f.Seconds : f.Seconds - liveSeconds_;
    const double perSecond = dt > 0 ? (f.Cycles - (finished ? 0 : liveCycles_)) / dt : 0.0;
    liveCycles_ = f.Cycles;
    liveSeconds_ = f.Seconds;
    const QLocale locale;
    const QString figures = QString("живое время %1 % и %2 %, %3 цикл/с")
                                .arg(locale.toString(f.Percent[0], 'f', 1), locale.toString(f.Percent[1], 'f', 1),
                                     locale.toString(perSecond, 'f', 1));
    lLiveTime->setText(finished ? "Последний запуск: " + figures : "Ж" + figures.mid(1));
}

void TForm1::bStart1Click()
{
    ListBox1->clear();
    for (int s = 0; s <= 5; ++s)
        Chart1->SeriesAt(s).Clear();
    for (int s = 0; s <= 3; ++s)
        Chart2->SeriesAt(s).Clear();
    Chart2->BottomAxis().SetMinMax(0, kFonPoints);
    Chart1->BottomAxis().SetMaximum(kRadSamples);
    Chart1->LeftAxis().SetMinMax(-128, 127);
    Chart2->LeftAxis().SetAutomatic(true);
    Skadr->clear();
    Nkadr->clear();
    eComment->clear();
    Label6->clear();
    Memo1->clear();
    if (Run().Running())
        StopBranch();
    else
        StartBranch();
}

void TForm1::StartBranch()
{
    // The run starts with the gains on show and the limits in the edits; the
    // timer that applies chosen gains between runs rests during the run.
    Timer1->stop();
    if (!Run().StartBranch(Settings())) {
        bStart1->setText("Start");
        return;
    }
    // A gain dialog left open would let gains change in the records during
    // the run while the boards keep the ones they were given: it closes,
    // storing nothing, as when closed by hand.
    if (gains_)
        gains_->hide();
}

void TForm1::StopBranch()
{
    const bool stopped = Run().StopBranch();
    // Where the frames went, under the count of cycles, until the next start.
    for (const QString& path : rescueFiles_)
        Memo1->appendPlainText("Кадры в запасном файле:\n" + path);
    if (!stopped)
        return; // halted by error: shown, and the next press tries again
    FonRec = Run().FrameSoFarCopy(); // the run's last frame, listed as the run left it
    eComment->setFocus();
    Chart1->SeriesAt(0).Clear();
    Chart1->SeriesAt(1).Clear();
    Timer1->stop();
}

acq::RunSettings TForm1::Settings() const
{
    acq::RunSettings s;
    s.FonGains = {FonRec.FGain1, FonRec.FGain2, FonRec.FGain3, FonRec.FGain4};
    s.RadioGains = {RadRec.RGain1, RadRec.RGain2, RadRec.RGain3, RadRec.RGain4, RadRec.RGain5, RadRec.RGain6};
    const QLineEdit* limits[] = {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4};
    for (int c = 1; c <= 4; ++c)
        s.Limits[static_cast<size_t>(c - 1)] = limits[c - 1]->text();
    return s;
}

void TForm1::Timer1Timer()
{
    if (GainChanged)
        ApplyGains();
}

void TForm1::ApplyGains()
{
    const int32_t rSel[] = {RGainSel1, RGainSel2, RGainSel3, RGainSel4, RGainSel5, RGainSel6};
    for (int c = 1; c <= 6; ++c) {
        RadRec.RGain(c) = static_cast<int16_t>(rSel[c - 1]);
        lRGain[c - 1]->setText(QString::number(rSel[c - 1]));
    }
    const int32_t fSel[] = {FGainSel1, FGainSel2, FGainSel3, FGainSel4};
    for (int c = 1; c <= 4; ++c) {
        FonRec.FGain(c) = static_cast<int16_t>(fSel[c - 1]);
        lFGain[c - 1]->setText(QString::number(fSel[c - 1]));
    }
}

void TForm1::bGain1Click()
{
    RGainSel1 = RadRec.RGain1;
    RGainSel2 = RadRec.RGain2;
    RGainSel3 = RadRec.RGain3;
    RGainSel4 = RadRec.RGain4;
    RGainSel5 = RadRec.RGain5;
    RGainSel6 = RadRec.RGain6;
    FGainSel1 = FonRec.FGain1;
    FGainSel2 = FonRec.FGain2;
    FGainSel3 = FonRec.FGain3;
    FGainSel4 = FonRec.FGain4;
    GainChanged = false;
    Timer1->start();
    if (gains_)
        gains_->show();
}

void TForm1::bForm2Click()
{
    if (spectrum_)
        spectrum_->Open(FonFileName, FonRecCount);
}
