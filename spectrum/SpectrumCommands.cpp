// The spectrum window's processing commands: "Интегральный" with its fit,
// "Стоп", and "Усреднение". The number work is in IntegralSpectrum and
// PeakCentre, the texts and bars in SpectrumPresenter; here the window reads
// its bounds, calls them and draws what they return. A run that has no answer (bounds refused, no peak, no fit
// range, no edge of the peak) reports why through the application's error
// report and draws only what the run produced before that point.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "ui/Chart.h"
#include "ui/ChartExport.h"
#include "ui/ErrorReport.h"
#include "platform/RunError.h"
#include "spectrum/SpectrumPresenter.h"
#include "spectrum/Unit2.h"

namespace spectrum {

namespace {

/// Adds the bars in order, each in its own colour.
void AddBars(ui::Series& series, const std::vector<SpectrumBar>& bars)
{
    for (const SpectrumBar& b : bars)
        series.AddXY(b.Bin, b.Height, b.Color);
}

} // namespace

void TForm2::bIntegrClick()
{
    bStopInt->show();
    Button3->hide();
    Button2->hide();
    Chart2->LeftAxis().SetTitle(QString());
    Chart2->SeriesAt(Series1).Clear();
    Chart2->SeriesAt(Series2).Clear();
    emit MainMemo(QString());

    const int32_t lo = rt::StrToInt(Edit1->text());
    const int32_t hi = rt::StrToInt(Edit2->text());
    const frames::IntegralResult r = frames::IntegralSpectrum(Spectr, lo, hi, LogIntegr);
    const IntegralView v = PresentIntegral(Spectr, r);
    if (!r.HasIntegral()) {
        // Bounds refused or no peak: nothing was computed.
        Label6->clear();
        ui::ErrorReport::Show(v.Error);
        return;
    }
    emit MainMemo(v.Memo.join('\n'));
    if (r.Ok() && r.I2 >= r.I1) {
        const auto n = static_cast<size_t>(r.I2 - r.I1 + 1);
        std::copy_n(r.XLog.begin(), n, XLog.begin());
        std::copy_n(r.YLog.begin(), n, YLog.begin());
    }

    ui::Series& bars = Chart2->SeriesAt(Series1);
    ui::Series& line = Chart2->SeriesAt(Series2);
    line.Clear();
    bars.Clear();
    Chart2->BottomAxis().SetMaximum(255);
    Chart2->BottomAxis().SetLogarithmic(true);
    Chart2->LeftAxis().SetAutomatic(true);
    Chart2->LeftAxis().SetLogarithmic(true);
    Chart2->RightAxis().SetAutomatic(true);
    Chart2->RightAxis().SetLogarithmic(true);
    bars.SetColor(kBarSilver);
    AddBars(bars, v.Bars);
    for (const QPointF& p : v.Line)
        line.AddXY(p.x(), p.y());
    Chart2->SetExportName(ui::RecordExportName(SpFileName, RecNo) + "_ch" + QString::number(ChanNo) + "_integral");
    if (r.Ok()) {
        Label6->setText(v.Label);
    } else {
        Label6->clear();
        ui::ErrorReport::Show(v.Error);
    }
}

void TForm2::bStopIntClick() { RestoreNormalDisplay(); }

void TForm2::bCentreClick()
{
    Chart2->SeriesAt(Series1).Clear();
    Chart2->SeriesAt(Series2).Clear();
    const int32_t lo = rt::StrToInt(Edit1->text());
    const int32_t hi = rt::StrToInt(Edit2->text());
    const frames::CentreResult r = frames::PeakCentre(Spectr, lo, hi);
    const CentreView v = PresentCentre(r);
    AddBars(Chart2->SeriesAt(Series1), v.Bars);
    Chart2->SetExportName(ui::RecordExportName(SpFileName, RecNo) + "_ch" + QString::number(ChanNo) + "_centre");
    if (r.Ok()) {
        Label1->setText(v.Label);
    } else {
        Label1->setText(ChannelText());
        ui::ErrorReport::Show(v.Error);
    }
}

void TForm2::MNK(const std::array<float, kFonBins>& X, const std::array<float, kFonBins>& Y, int32_t n, float& a,
                 float& b)
{
    frames::MNK(X.data(), Y.data(), std::clamp<int32_t>(n, 0, kFonBins), a, b);
}

} // namespace spectrum
