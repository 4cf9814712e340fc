// The run's data files: names, frame and event stamps, and the writes.
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

#include "datafiles/DataFileNames.h"
#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Clock.h"
#include "platform/RunError.h"

void TForm1::FileName()
{
    FonFileName = datafiles::NameStem(rt::Now()) + datafiles::kFonExt;
}

void TForm1::FileNameEAS()
{
    RadFileName = datafiles::NameStem(rt::Now()) + datafiles::kRadExt;
}

void TForm1::CreateRunFiles()
{
    // One stem for both files, from one reading of the clock; an existing
    // file is never truncated: a restart in the same minute takes the first
    // free name with a suffix (6_12_23_5_2.fon).
    FileNameEAS();
    const std::string stem = RadFileName.substr(0, RadFileName.size() - std::char_traits<char>::length(datafiles::kRadExt));
    for (int k = 1;; ++k) {
        const std::string s = datafiles::SuffixedStem(stem, k);
        const std::string rad = s + datafiles::kRadExt;
        const std::string fon = s + datafiles::kFonExt;
        if (!recfile::CreateNew(rad))
            continue;
        if (!recfile::CreateNew(fon)) {
            std::remove(rad.c_str());
            continue;
        }
        RadFileName = rad;
        FonFileName = fon;
        return;
    }
}

namespace {
/// Puts the moment into a record's date and time fields (both records have
/// the same eight).
template <class Record>
void Stamp(Record& r, const rt::DateTimeParts& t)
{
    r.Year = t.Year;
    r.Month = t.Month;
    r.Day = t.Day;
    r.DayOfWeek = t.DayOfWeek;
    r.Hour = t.Hour;
    r.Min = t.Min;
    r.Sec = t.Sec;
    r.MSec = t.MSec;
}
} // namespace

void TForm1::FonTime()
{
    const rt::DateTimeParts t = rt::Now();
    Stamp(FonRec, t);
    Label6->setText(rt::LongTimeText(t));
    Label4->setText(rt::ShortDateText(t));
    FonRec.Rate = SampleRate;
    for (int c = 1; c <= kFonChannels; ++c)
        std::fill_n(FonRec.Spectr(c), kFonBins, int16_t{0});
    ++FonRec.KadrNo;
}

void TForm1::EASTime()
{
    const rt::DateTimeParts t = rt::Now();
    Stamp(RadRec, t);
    lTEAS->setText(rt::LongTimeText(t));
    Label6->setText(rt::LongTimeText(t));
    Label4->setText(rt::ShortDateText(t));
    ++RadRec.EventNo;
    Label2->setText(QString::number(RadRec.EventNo));
}

void TForm1::Halt(const QString& message)
{
    status->clearMessage();
    status->showMessage(message);
    FreeBoards();
    Timer1->stop();
    bStart1->setText("Start");
}

void TForm1::WriteFonFrame()
{
    try {
        recfile::WriteRecord(FonFileName, FonRecNo, FonRec);
    } catch (const rt::EInOutError& e) {
        // The frame stays whole in FonRec and FonRecNo stays put: the next
        // press of the button writes it again at the same index.
        Halt(QString::fromUtf8(e.what()));
        SetIdleButtons(false);
        throw;
    }
    ++FonRecNo;
    Skadr->setText(QString::number(FonRecNo));
}

void TForm1::WriteRadEvent()
{
    try {
        recfile::WriteRecord(RadFileName, RadRecNo, RadRec);
    } catch (const rt::EInOutError& e) {
        RadWritePending = true;
        Halt(QString::fromUtf8(e.what()));
        SetIdleButtons(false);
        throw;
    }
    RadWritePending = false;
    ++RadRecNo;
    KadrN->setText(QString::number(RadRecNo));
}
