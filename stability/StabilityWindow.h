#pragma once
// The window "Стабильность детекторов": the operator picks background files
// (or a folder of them); a worker thread reads them while the window stays
// responsive, with a progress bar and a cancel button; three charts show
// the mean rate, the peak centre and the slope b of every frame and channel
// against the frame's date and time; marked outliers and skipped or partly
// read files are listed beside the charts. A click on a listed outlier asks
// for its frame and channel in the main viewer through OpenFrameRequested.
// A centre's store of a station (its trend.csv) opens the same way.
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "stability/TrendScanThread.h"
#include "trend/Outliers.h"
#include "trend/TrendCsvRead.h"
#include "trend/TrendTable.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace trend { struct ScanSummary; }

namespace stability {

class FindingsModel;
class TrendCharts;
struct TrendBatch;

/// The stability window. Usage: construct with a parent (it stays a window
/// of its own), show(), and connect OpenFrameRequested.
class StabilityWindow : public QWidget {
    Q_OBJECT
public:
    /// A window of its own (also with a parent), empty until files are read.
    explicit StabilityWindow(QWidget* parent = nullptr);
    /// Cancels a scan in progress and waits for its thread.
    ~StabilityWindow() override;

    /// Reads the given paths: files as they are, folders as their *.fon
    /// entries sorted by name. Any scan in progress is cancelled first and
    /// the charts and list start empty.
    void ScanFiles(const QStringList& paths);
    /// Reads the trend CSV `csv` (a centre's store DIR/ID/trend.csv, or
    /// what `vfon-export --trend` wrote) on the worker thread and shows it as
    /// a scan's frames; lines it cannot read are listed. Any scan in
    /// progress is cancelled first.
    void OpenStore(const QString& csv);
    /// Asks the scan in progress to end; the frames read so far stay shown
    /// and are marked.
    void CancelScan();
    /// True while a scan runs.
    bool Scanning() const { return scan_ != nullptr; }

    /// The numbers of the frames shown, in reading order (for tests).
    const trend::TrendTable& Table() const { return table_; }
    /// The files of the last scan, indexed as in Table().File.
    const QStringList& Files() const { return files_; }

    QPushButton* bFiles;      ///< "Файлы…": pick .fon files
    QPushButton* bFolder;     ///< "Папка…": pick a folder
    QPushButton* bStore;      ///< "Открыть хранилище центра…": pick a trend.csv
    QPushButton* bCancel;     ///< "Отмена": end the scan
    QProgressBar* Progress;   ///< share of the scan done
    QLabel* lSummary;         ///< frames and files read, skipped, marked
    QLabel* lMissing;         ///< frames without a centre or a slope, per channel and reason
    TrendCharts* Charts;      ///< rate, centre and slope charts
    FindingsModel* Findings;  ///< file problems and outliers
    QTableView* FindingsView; ///< the list of Findings

signals:
    /// The operator clicked a listed outlier: open record `recordIndex`
    /// (from 0) of `fileName` in the main viewer, showing `channel` (1..4).
    void OpenFrameRequested(QString fileName, int recordIndex, int channel);
    /// A scan ended, whole or cancelled, and its outliers are marked.
    void ScanFinished();

private:
    void BuildButtons();      ///< the open buttons, Cancel, the progress bar and the summary line
    void BuildFindingsView(); ///< the findings' table and the line of missing numbers
    void LayOut();            ///< buttons on top, the charts beside the findings below
    void bFilesClick();  ///< file dialog, then ScanFiles
    void bFolderClick(); ///< folder dialog, then ScanFiles
    void bStoreClick();  ///< file dialog, then OpenStore
    void BeginRead();    ///< empties the window and the list and disables the open buttons
    /// Starts the worker `start` makes with the window's hand-overs.
    void StartReading(
        const std::function<std::unique_ptr<TrendScanThread>(TrendScanThread::BatchFn, TrendScanThread::DoneFn)>& start);
    void FindingClicked(int row); ///< OpenFrameRequested for an outlier row
    void TakeBatch(const TrendBatch& batch); ///< a hand-over of the scan thread
    void ScanDone(const trend::ScanSummary& summary, const std::vector<trend::Outlier>& marks); ///< the end of a scan
    void AddBadLines(const std::vector<trend::TrendLineProblem>& lines); ///< lists the first of them, counts the rest
    void ShowSummary(bool done); ///< lSummary from the counts so far
    void ShowMissing();          ///< lMissing from the table's counts of missing numbers

    trend::TrendTable table_;
    QStringList files_;
    QString store_; ///< the trend CSV being read or shown; empty for background files
    std::unique_ptr<TrendScanThread> scan_;
    std::shared_ptr<int> token_; ///< identifies the running scan's hand-overs
    QTimer* flush_;
    bool cancelled_ = false;
    int outliers_ = 0;
};

} // namespace stability
