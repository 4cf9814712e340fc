// The frame display: a background frame raw on Chart2 and smoothed over 3 or
// 5 points on Chart1, a radio event's six waveforms on Chart1, with the
// frame's labels. Every display reads its record from the file again.
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <vector>

#include "datafiles/FrameEnd.h"
#include "datafiles/RecordFile.h"
#include "mainwindow/Listing.h"
#include "mainwindow/Smoothing.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ChartExport.h"

namespace {

/// Raised traces of the all-channel background view: channel c gets 6 - c.
constexpr int32_t kFonRawOffset[kFonChannels] = {5, 4, 3, 2};
/// Raise of each radio channel in the all-channel view.
constexpr int32_t kRadChannelStep = 10;
/// Raise of the second channel of an antenna in the one-antenna view.
constexpr int32_t kAntennaRaise = 20;
/// Series of Chart1 holding the marker line.
constexpr int kMarkerSeries = 6;
constexpr int kRadCodeMax = 127;
constexpr int kRadCodeMin = -128;

/// x values 1..n, shared by every trace of that length.
const std::vector<double>& Positions(int n)
{
    static std::vector<double> fon, rad;
    std::vector<double>& xs = n == kFonPoints ? fon : rad;
    if (static_cast<int>(xs.size()) != n) {
        xs.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            xs[static_cast<size_t>(i)] = i + 1;
    }
    return xs;
}

/// Replaces the points of `s` with values[0..n) + raise at x = 1..n.
template <class T>
void DrawTrace(ui::Series& s, const T* values, int n, int32_t raise)
{
    std::vector<double> ys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        ys[static_cast<size_t>(i)] = static_cast<double>(values[i]) + raise;
    s.AddMany(Positions(n), ys);
}

void ClearSeries(ui::TChart* c, int first, int last)
{
    for (int s = first; s <= last; ++s)
        c->SeriesAt(s).Clear();
}

/// Whether the one-channel view shows channel `c` (and any channel at all).
bool Shows(bool oneChannel, int32_t channelNo, int c)
{
    return !oneChannel || channelNo == c;
}

} // namespace

void TForm1::ViewKadr()
{
    ClearSeries(Chart2, 0, 3);
    recfile::ReadRecord(FonFileName, FonRecNo, FonRec);

    Label4->setText(DateText(FonRec.Day, FonRec.Month, FonRec.Year));
    Label6->setText(TimeText(FonRec.Hour, FonRec.Min, FonRec.Sec));
    KadrN->setText(QString::number(FonRec.KadrNo));
    for (int c = 1; c <= kFonChannels; ++c)
        lFGain[c - 1]->setText(QString::number(FonRec.FGain(c)));
    // A frame of an older file holds no limits (all four 0): the edits keep
    // theirs, or the next run would count every sample as a pulse.
    // The word goes again with the first frame that has limits.
    QLineEdit* limits[] = {MaskEdit1, MaskEdit2, MaskEdit3, MaskEdit4};
    const QString noLimits = "В файле нет ограничений каналов: ограничения оставлены прежними";
    if (FonRec.Limit1 == 0 && FonRec.Limit2 == 0 && FonRec.Limit3 == 0 && FonRec.Limit4 == 0) {
        status->showMessage(noLimits);
    } else {
        if (status->currentMessage() == noLimits)
            status->clearMessage();
        for (int c = 1; c <= kFonChannels; ++c)
            limits[c - 1]->setText(QString::number(FonRec.Limit(c)));
    }

    if (Average5)
        usr5();
    else
        usr3();

    for (int c = 1; c <= kFonChannels; ++c)
        if (Shows(OneChannel, ChannelNo, c))
            DrawTrace(Chart2->SeriesAt(c - 1), FonRec.Counts(c), kFonPoints, OneChannel ? 0 : kFonRawOffset[c - 1]);

    const TPointTime first = FonRec.Times[0];
    Label23->setText(PointTimeText(first.Hour, first.Min, first.Sec));
    const bool last = FonRecNo == FonRecCount - 1;
    const TPointTime end = FrameEndTime(FonRec, last);
    Label24->setText(PointTimeText(end.Hour, end.Min, end.Sec));
    Chart1->SetExportName(ui::RecordExportName(FonFileName, FonRecNo) + "_smoothed");
    Chart2->SetExportName(ui::RecordExportName(FonFileName, FonRecNo) + "_raw");
}

void TForm1::ViewKadrEAS()
{
    ClearSeries(Chart1, 0, 5);
    Chart1->LeftAxis().SetAutomatic(false);
    Chart1->LeftAxis().SetMaximum(kRadCodeMax);
    Chart1->LeftAxis().SetMinimum(kRadCodeMin);
    RadRecCount = recfile::ReadRecord(RadFileName, RadRecNo, RadRec);

    Label4->setText(DateText(RadRec.Day, RadRec.Month, RadRec.Year));
    const QString time = TimeText(RadRec.Hour, RadRec.Min, RadRec.Sec);
    Label6->setText(time);
    lTEAS->setText(time);
    Label2->setText(QString::number(RadRecCount));
    KadrN->setText(QString::number(RadRecNo + 1));
    for (int c = 1; c <= kRadChannels; ++c)
        lRGain[c - 1]->setText(QString::number(RadRec.RGain(c)));

    const int n = std::min(RadSamples / 2, kRadSamples);
    if (n > 0) {
        for (int c = 1; c <= kRadChannels; ++c) {
            const int antenna = (c + 1) / 2;
            if (!Shows(OneChannel, ChannelNo, antenna))
                continue;
            const int32_t raise = OneChannel ? (c % 2 == 0 ? kAntennaRaise : 0) : kRadChannelStep * (c - 1);
            DrawTrace(Chart1->SeriesAt(c - 1), RadRec.Samples(c), n, raise);
        }
    }

    // The marker line is two points, replaced at every display.
    ui::Series& marker = Chart1->SeriesAt(kMarkerSeries);
    marker.Clear();
    marker.AddXY(kRadMarkerSample, kRadCodeMax);
    marker.AddXY(kRadMarkerSample, kRadCodeMin);
    Chart1->SetExportName(ui::RecordExportName(RadFileName, RadRecNo));
}

void TForm1::usr3()
{
    Chart1->LeftAxis().SetAutomatic(true);
    ClearSeries(Chart1, 0, 3);
    for (int c = 1; c <= kFonChannels; ++c) {
        if (!Shows(OneChannel, ChannelNo, c))
            continue;
        std::array<int32_t, kFonPoints> a;
        std::copy_n(FonRec.Counts(c), kFonPoints, a.begin());
        Smooth3(a);
        DrawTrace(Chart1->SeriesAt(c - 1), a.data(), kFonPoints, 0);
    }
}

void TForm1::usr5()
{
    Chart1->LeftAxis().SetAutomatic(true);
    ClearSeries(Chart1, 0, 5);
    for (int c = 1; c <= kFonChannels; ++c) {
        if (!Shows(OneChannel, ChannelNo, c))
            continue;
        std::array<int32_t, kFonPoints> a;
        std::copy_n(FonRec.Counts(c), kFonPoints, a.begin());
        Smooth5(a);
        DrawTrace(Chart1->SeriesAt(c - 1), a.data(), kFonPoints, 0);
    }
}

void TForm1::Button2Click()
{
    Average5 = !Average5;
    Button2->setText(Average5 ? "Усреднить по 5" : "Усреднить по 3");
    ViewKadr();
}

void TForm1::ViewData(const TRadKadr& event)
{
    const int n = std::min(RadSamples / 2, kRadSamples);
    for (int c = 1; c <= kRadChannels; ++c) {
        ui::Series& s = Chart1->SeriesAt(c - 1);
        s.Clear();
        if (n > 1)
            DrawTrace(s, event.Samples(c), n - 1, 0); // samples 1 .. n-1: the last is not drawn here
    }
    // The marker at sample 2577 is two points, drawn afresh at every event.
    ui::Series& marker = Chart1->SeriesAt(kMarkerSeries);
    marker.Clear();
    marker.AddXY(kRadMarkerSample, kRadCodeMax);
    marker.AddXY(kRadMarkerSample, kRadCodeMin);
}
