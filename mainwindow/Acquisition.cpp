// Starting and stopping a run, and the timer tick that drives it.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Chart.h"
#include "platform/Clock.h"
#include "platform/RunError.h"

namespace {
/// The clock's time of day as a point of a frame stores it.
TPointTime PointTimeNow()
{
    const rt::DateTimeParts t = rt::Now();
    return {static_cast<uint16_t>(t.Hour), static_cast<uint16_t>(t.Min), static_cast<uint16_t>(t.Sec),
            static_cast<uint16_t>(t.MSec)};
}
} // namespace

void TForm1::SetBrowsingEnabled(bool on)
{
    for (QPushButton* b : {bDown, bUp, bReadFon, bReadRad, Button1, Button2, bForm2})
        b->setEnabled(on);
}

void TForm1::SetIdleButtons(bool idle)
{
    for (QPushButton* b : {bGain1, bExit1, bView, bViewRad, bWrite1})
        b->setEnabled(idle);
    SetBrowsingEnabled(idle);
}

void TForm1::bStart1Click()
{
    PlotCount = 0;
    PlotStart = 0;
    ListBox1->clear();
    for (int s = 0; s <= 5; ++s)
        Chart1->SeriesAt(s).Clear();
    for (int s = 0; s <= 3; ++s)
        Chart2->SeriesAt(s).Clear();
    Chart2->BottomAxis().SetMinMax(0, kFonPoints);
    Chart1->BottomAxis().SetMaximum(kRadSamples);
    Chart1->LeftAxis().SetMinMax(-128, 127);
    Chart2->LeftAxis().SetAutomatic(true);
    FonSum1 = FonSum2 = FonSum3 = FonSum4 = 0;
    Skadr->clear();
    Nkadr->clear();
    eComment->clear();
    Label6->clear();
    FonChanParam = kFonChanParam;
    FirstBoardNo = 1;
    FonSamples = kFonSamplesPerInput;
    RadSamples = kRadBoardSamples;
    SampleRate = kSampleRate;
    Memo1->clear();
    Running = !Running;
    if (Running)
        StartBranch();
    else
        StopBranch();
}

void TForm1::StartBranch()
{
    if (!InitBoards()) {
        Running = false;
        return;
    }
    Timer1->start();
    SetIdleButtons(false);
    // A gain dialog left open would let gains change in the records during
    // the run while the boards keep the ones they were given: it closes,
    // storing nothing, as when closed by hand.
    if (Form3)
        Form3->hide();
    bStart1->setText("Stop");
    PointNo = 0;
    CycleCount = 0;
    RadWritePending = false;
    try {
        CreateRunFiles();
    } catch (const rt::RunError& e) {
        // Without its files a run cannot keep anything: back to Idle.
        Halt(QString::fromUtf8(e.what()));
        Running = false;
        SetIdleButtons(true);
        throw;
    }
    RadRecNo = 0;
    FonRecNo = 0;
    FonRec.KadrNo = 0;
    FonTime();
}

void TForm1::StopBranch()
{
    Memo1->appendPlainText("Кол-во кадров - " + QString::number(PointNo * kCyclesPerPoint + CycleCount));
    // The last stored point keeps its counts; the points after it are zeroed
    // and the first of them carries the stop time, which marks the end of
    // the recording for the viewer.
    if (PointNo < kFonPoints) {
        for (int c = 1; c <= kFonChannels; ++c)
            std::fill(FonRec.Counts(c) + PointNo, FonRec.Counts(c) + kFonPoints, 0);
        FonRec.Times[PointNo] = PointTimeNow();
    }
    try {
        if (RadWritePending)
            WriteRadEvent();
        WriteFonFrame();
    } catch (const rt::RunError&) {
        Running = true; // Halted by error: the next press tries again
        throw;
    }
    eComment->setFocus();
    SetIdleButtons(true);
    bStart1->setText("Start");
    FreeBoards();
    Chart1->SeriesAt(0).Clear();
    Chart1->SeriesAt(1).Clear();
    Timer1->stop();
}

void TForm1::Timer1Timer()
{
    if (GainChanged)
        ApplyGains();
    if (!Running || !AdcRad1)
        return;
    if (!RadioPoll())
        return;
    ReadFon();
    if (CycleCount >= kCyclesPerPoint)
        ClosePoint();
    ScheduleFastPoll();
}

void TForm1::ClosePoint()
{
    CycleCount = 0;
    ++PlotCount;
    ++PointNo;
    FonRec.Times[PointNo - 1] = PointTimeNow();
    const int32_t sums[] = {FonSum1, FonSum2, FonSum3, FonSum4};
    for (int c = 1; c <= kFonChannels; ++c)
        FonRec.Counts(c)[PointNo - 1] = sums[c - 1];
    FonSum1 = FonSum2 = FonSum3 = FonSum4 = 0;
    KadrN->setText(QString::number(PointNo));

    if (PlotCount >= kPointsPerPlot) {
        PlotCount = 0;
        // Each batch starts with the last point of the previous one; point 0
        // of a frame's first batch holds no count and is not drawn.
        for (int k = std::max<int>(PlotStart, 1); k <= PlotStart + kPointsPerPlot; ++k)
            for (int c = 1; c <= kFonChannels; ++c)
                Chart2->SeriesAt(c - 1).AddXY(k, FonRec.Counts(c)[k - 1] + (6 - c));
        PlotStart += kPointsPerPlot;
    }

    if (PointNo >= kFonPoints) {
        // Written before anything of the frame is reset: a failed write
        // leaves the frame whole in FonRec for the next press of the button.
        WriteFonFrame();
        PointNo = 0;
        PlotStart = 0;
        for (int s = 0; s <= 3; ++s)
            Chart2->SeriesAt(s).Clear();
        FonTime();
        Skadr->setText(QString::number(FonRecNo));
    }
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
    if (Form3)
        Form3->show();
}
