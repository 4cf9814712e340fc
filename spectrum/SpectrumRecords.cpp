// The spectrum window's records: opening the window, the channel items,
// the redraw and the record stepping. Every command reads the window's own
// file SpFileName, one record, opened and closed inside the command.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "datafiles/RecordFile.h"
#include "ui/Chart.h"
#include "ui/ChartExport.h"
#include "platform/RunError.h"
#include "spectrum/SpectrumTexts.h"
#include "spectrum/Unit2.h"

namespace spectrum {

void TForm2::Open(const std::string& fileName, int32_t recCount)
{
    show();
    raise();
    bStopInt->hide();
    const int32_t count = recfile::ReadRecord(fileName, 0, SpRec);
    // Another file than the one the window showed before: the record state
    // moves to record 0 of the new file, so no command mixes the two.
    const bool otherFile = !SpFileName.empty() && SpFileName != fileName;
    SpFileName = fileName;
    if (otherFile) {
        RecNo = 0;
        RecCount = count;
        std::copy_n(SpRec.Spectr(ChanNo), kFonBins, Spectr.begin());
        ShowRecordLabels();
    }
    Chart2->SeriesAt(Series1).Clear();
    Label5->setText(QString::number(recCount));
    ui::Series& bars = Chart2->SeriesAt(Series1);
    for (int bin = 1; bin <= kFirstDisplayBins; ++bin)
        bars.AddXY(bin, SpRec.Spectr1[bin - 1]);
    Chart2->SetExportName(ui::RecordExportName(SpFileName, 0) + "_ch1");
}

void TForm2::Chan1Click() { ChanClick(1); }
void TForm2::Chan2Click() { ChanClick(2); }
void TForm2::Chan3Click() { ChanClick(3); }
void TForm2::Chan4Click() { ChanClick(4); }

void TForm2::ChanClick(int k)
{
    Chart2->SeriesAt(Series1).Clear();
    ChanNo = static_cast<int16_t>(k);
    Label1->setText(ChannelText());
    RecNo = 0;
    RecCount = recfile::ReadRecord(SpFileName, 0, SpRec);
    std::copy_n(SpRec.Spectr(k), kFonBins, Spectr.begin());
    DrawSpectr(1, kFonBins);
}

void TForm2::chann1() { LoadChannel(1); }
void TForm2::chann2() { LoadChannel(2); }
void TForm2::chann3() { LoadChannel(3); }
void TForm2::chann4() { LoadChannel(4); }

void TForm2::LoadChannel(int c)
{
    recfile::ReadRecord(SpFileName, RecNo, SpRec);
    std::copy_n(SpRec.Spectr(c), kFonBins, Spectr.begin());
}

void TForm2::N2Click()
{
    Label1->setText(ChannelText());
    Chart2->SeriesAt(Series1).Clear();
    int32_t lo = 0, hi = 0;
    ReadTrimmedBounds(lo, hi);
    RecCount = recfile::ReadRecord(SpFileName, RecNo, SpRec);
    DrawSpectr(lo, hi);
}

void TForm2::Button3Click()
{
    emit MainKadrN(QString());
    if (RecNo < RecCount - 1) {
        StepTo(RecNo + 1);
    } else {
        emit MainKadrN(QString::number(RecCount));
    }
}

void TForm2::Button2Click()
{
    if (RecNo >= 1) {
        StepTo(RecNo - 1);
    } else {
        emit MainKadrN("1");
    }
}

void TForm2::StepTo(int32_t recNo)
{
    RecNo = recNo;
    Chart2->SeriesAt(Series1).Clear();
    switch (ChanNo) {
    case 1: chann1(); break;
    case 2: chann2(); break;
    case 3: chann3(); break;
    case 4: chann4(); break;
    default: break;
    }
    ShowRecordLabels();
    int32_t lo = 0, hi = 0;
    ReadTrimmedBounds(lo, hi);
    DrawSpectr(lo, hi);
}

void TForm2::ReadTrimmedBounds(int32_t& lo, int32_t& hi) const
{
    lo = rt::StrToInt(rt::Trim(Edit1->text()));
    hi = rt::StrToInt(rt::Trim(Edit2->text()));
    if (!frames::BinBoundsInRange(lo, hi))
        throw rt::RunError(BinBoundsMessage().toStdString());
}

void TForm2::DrawSpectr(int32_t lo, int32_t hi)
{
    ui::Series& bars = Chart2->SeriesAt(Series1);
    for (int32_t bin = lo; bin <= hi; ++bin)
        bars.AddXY(bin, Spectr[static_cast<size_t>(bin - 1)]);
    Chart2->SetExportName(ui::RecordExportName(SpFileName, RecNo) + "_ch" + QString::number(ChanNo));
}

void TForm2::ShowRecordLabels()
{
    Label4->setText(QString("%1-%2-%3").arg(SpRec.Day).arg(SpRec.Month).arg(SpRec.Year));
    Label6->setText(QString("%1:%2:%3").arg(SpRec.Hour).arg(SpRec.Min).arg(SpRec.Sec));
    Label7->setText(QString::number(SpRec.KadrNo));
}

} // namespace spectrum
