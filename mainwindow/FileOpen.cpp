// The viewer's file lists and the opening of a listed file: "View .fon" and
// "View .Rad" switch a list of the working directory's data files on or off
// in ListBox1; a click on a name reads the file's first record and shows it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QLabel>
#include <QStatusBar>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "datafiles/DataFileList.h"
#include "datafiles/RecordFile.h"
#include "mainwindow/Listing.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"

namespace {

constexpr int32_t kFonListKind = 6;
constexpr int32_t kRadListKind = 1;

/// The legend that opening a background file writes into the memo.
const QString kFonFileLegend = QStringLiteral("1 канал - 2 м*м (красный)\n"
                                              "2 канал - 1 м*м детектор (синий)\n"
                                              "3 канал - четвертушка (зеленый)\n"
                                              "4 канал - 1 м*м мюон I (оранжевый)");

void ClearSeries(ui::TChart* c, int first, int last)
{
    for (int s = first; s <= last; ++s)
        c->SeriesAt(s).Clear();
}

/// Fills the list box and the name list with every file whose name ends in
/// `suffix`, each under its full name, in one go.
void FillFileList(QListWidget* list, std::vector<datafiles::ListedFile>& files, const std::string& suffix,
                  const std::string& folder)
{
    files = datafiles::ListDataFiles(suffix, folder);
    QStringList shown;
    for (const datafiles::ListedFile& f : files)
        shown << f.Shown;
    list->addItems(shown);
}

/// Selects the line of `path` in the list (the same file, however named),
/// or none when it is not listed, without opening anything.
void SelectListed(QListWidget* list, const std::vector<datafiles::ListedFile>& files, const QString& path)
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    int row = -1;
    for (size_t i = 0; i < files.size() && row < 0; ++i)
        if (!wanted.isEmpty() && QFileInfo(QFile::decodeName(files[i].Name.c_str())).canonicalFilePath() == wanted)
            row = static_cast<int>(i);
    const QSignalBlocker quiet(list);
    list->setCurrentRow(row);
}

/// The status bar's word on a frame opened for the stability window: the
/// frame (`recordIndex` from 0) and the file in full, with the channel shown
/// alone when it is one (1..4).
QString OpenedFrameText(const QString& fileName, int32_t recordIndex, int channel)
{
    QString text = QStringLiteral("Показан кадр %1 файла %2").arg(recordIndex + 1).arg(QDir::toNativeSeparators(
                                                                                        QFileInfo(fileName).absoluteFilePath()));
    if (channel > 0)
        text += QStringLiteral(", канал %1").arg(channel);
    return text + QStringLiteral(" (выброс из окна «Стабильность детекторов»)");
}

} // namespace

void TForm1::bViewClick()
{
    // The radio marker goes too: left on the chart it would stretch the
    // smoothed background's automatic axis to the whole code range.
    ClearSeries(Chart1, 0, 6);
    ClearSeries(Chart2, 0, 3);
    Chart1->SetTitle("Усредненный фон");
    Label23->clear();
    Label24->clear();
    Memo1->clear();
    eComment->clear();
    RadMode = false;
    RadListShown = false;
    FonMode = true;
    bWrite1->setEnabled(false);
    bWrite->setEnabled(true);
    FonListShown = !FonListShown;
    if (!FonListShown) {
        bView->setText("View .fon");
        ListBox1->clear();
        Button2->hide();
        Label9->clear();
        bForm2->hide();
        Button1->hide();
        return;
    }
    Button2->show();
    Button1->show();
    Label9->setText("Файлы данных");
    ListBox1->clear();
    FillFileList(ListBox1, FileList, ".fon", Run().StationInUse().DataDir);
    ListKind = kFonListKind;
}

void TForm1::bViewRadClick()
{
    bForm2->hide();
    Button2->hide();
    Button1->hide();
    ClearSeries(Chart1, 0, 5);
    ClearSeries(Chart2, 0, 3);
    Chart1->SetTitle("Радиосигнал");
    eComment->clear();
    RadMode = true;
    FonListShown = false;
    FonMode = false;
    bWrite1->setEnabled(true);
    bWrite->setEnabled(false);
    Button1->show();
    RadListShown = !RadListShown;
    if (!RadListShown) {
        bViewRad->setText("View .Rad");
        ListBox1->clear();
        Label9->clear();
        return;
    }
    Label9->setText("Файлы данных");
    ListBox1->clear();
    FillFileList(ListBox1, FileList, ".Rad", Run().StationInUse().DataDir);
    ListKind = kRadListKind;
}

void TForm1::ParamSelect()
{
    Label9->clear();
    if (ListKind == kRadListKind)
        FileSelect2();
    else if (ListKind == kFonListKind)
        FileSelect1();
    bGain1->setEnabled(true);
}

void TForm1::FileSelect1()
{
    ClearSeries(Chart2, 0, 3);
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= static_cast<int>(FileList.size()))
        return;
    OpenFonFile(FileList[static_cast<size_t>(row)].Name, 0);
}

void TForm1::OpenFrame(const QString& fileName, int recordIndex, int channel)
{
    if (Run().Running()) {
        status->showMessage("Во время записи кадры не открываются: сначала остановите запись");
        return;
    }
    // A file a centre's store names is looked for beside the store.
    if (!QFileInfo(fileName).isFile()) {
        const QString m = QString("Файл кадра не найден: %1 (файлы из хранилища центра ищутся рядом с ним)")
                              .arg(QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()));
        status->showMessage(m);
        ui::ErrorReport::Show(m);
        return;
    }
    // The viewer turns to background files, as after "View .fon": the list
    // shows them (not a .Rad list whose clicks would open radio files).
    if (!FonListShown)
        bViewClick();
    SelectListed(ListBox1, FileList, fileName);
    OneChannel = channel >= 1 && channel <= kFonChannels;
    if (OneChannel) {
        ChannelNo = channel;
        MaskEdit7->setText(QString::number(channel));
    }
    Button1->setText(OneChannel ? "Стоп" : "Показать");
    Chart1->SetTitle("Усредненный фон");
    ClearSeries(Chart1, 0, 6);
    ClearSeries(Chart2, 0, 3);
    OpenFonFile(QFile::encodeName(fileName).toStdString(), recordIndex);
    const QString said = status->currentMessage(); // the frame's own word (a file without limits)
    status->showMessage(OpenedFrameText(fileName, FonRecNo, OneChannel ? channel : 0) +
                        (said.isEmpty() ? QString() : ". " + said));
    raise();
    activateWindow();
}

void TForm1::OpenFonFile(const std::string& name, int32_t recordIndex)
{
    status->clearMessage(); // a word on the file shown before (no limits, an outlier's frame) goes with it
    FonFileName = name;
    FonRecNo = 0;
    FonRecCount = recfile::ReadRecord(FonFileName, FonRecNo, FonRec);
    Label2->clear();
    Skadr->setText(QString::number(FonRecCount));
    Label8->setText(TimeText(FonRec.Hour, FonRec.Min, FonRec.Sec));
    Label4->setText(DateText(FonRec.Day, FonRec.Month, FonRec.Year));
    eComment->clear();
    FonChanParam = FonRec.ChanParam;
    ClearSeries(Chart2, 0, 3);
    Chart2->BottomAxis().SetMaximum(kFonPoints);
    Chart1->BottomAxis().SetMaximum(kFonPoints);
    Chart2->LeftAxis().SetAutomatic(true);
    Memo1->setPlainText(kFonFileLegend);
    if (recordIndex > 0 && recordIndex < FonRecCount)
        FonRecNo = recordIndex;
    ViewKadr();
    bForm2->show();
}

void TForm1::FileSelect2()
{
    const int row = ListBox1->currentRow();
    if (row < 0 || row >= static_cast<int>(FileList.size()))
        return;
    RadFileName = FileList[static_cast<size_t>(row)].Name;
    RadRecCount = recfile::ReadRecord(RadFileName, 0, RadRec);
    RadRecNo = 0;
    KadrN->setText(QString::number(RadRecCount));
    Chart1->BottomAxis().SetMaximum(kRadSamples);
    ViewKadrEAS();
    Label4->setText(DateText(RadRec.Day, RadRec.Month, RadRec.Year));
    Label8->setText(TimeText(RadRec.Hour, RadRec.Min, RadRec.Sec));
}
