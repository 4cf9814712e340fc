#pragma once
// A scan of background files on a thread of its own. The thread shares no
// data with the window: what it finds travels to the window in batches, each
// handed over by a queued call that runs on the window's thread, and at the
// end the outliers, which the thread marks on its own copy of the numbers.
// It reads background files, or a trend CSV as a centre keeps it per station.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "trend/FonScan.h"
#include "trend/Outliers.h"
#include "trend/TrendCsvRead.h"
#include "trend/TrendTable.h"

namespace stability {

/// What the scan found since its last hand-over.
struct TrendBatch {
    trend::TrendTable Rows;               ///< the frames read, in reading order
    std::vector<trend::FileIssue> Issues; ///< problems of files
    trend::ScanProgress Progress;         ///< how far the scan has come
    /// In the first batch only: the frames the files hold by their sizes, so
    /// the window can make room for them at once (memory first touched in
    /// many small growths costs the window's thread a page fault each).
    size_t ExpectedFrames = 0;
    /// Reading a trend CSV: the file names its rows name from this batch on
    /// (their File indexes follow on from those of earlier batches).
    std::vector<std::string> Files;
    std::vector<trend::TrendLineProblem> BadLines; ///< lines of a trend CSV passed over
    /// Reading a trend CSV: its header (None when it is no trend CSV).
    trend::TrendCsvHeaderKind Header = trend::TrendCsvHeaderKind::Current;
};

/// Runs ScanFonFiles on a std::thread of lowered priority, so the window's
/// thread wins the processor whenever it has work. `onBatch` and `onDone`
/// run on the thread of `receiver` (through its event loop), never on the
/// scan thread; none runs after the receiver is gone. The receiver must
/// outlive this object, whose destruction cancels the scan and waits for the
/// thread.
class TrendScanThread {
public:
    using BatchFn = std::function<void(const TrendBatch& batch)>;
    /// The scan's totals and the outliers among all frames read (rows
    /// numbered as in the batches, one after the other).
    using DoneFn = std::function<void(const trend::ScanSummary& summary, const std::vector<trend::Outlier>& marks)>;

    /// Starts the scan of `files` at once.
    TrendScanThread(std::vector<std::string> files, QObject* receiver, BatchFn onBatch, DoneFn onDone);
    /// Starts reading the trend CSV `csv` at once (ReadTrendCsv): batches
    /// with the progress only, then one with every row; an unreadable file
    /// is an Issue of file 0.
    static std::unique_ptr<TrendScanThread> ReadCsv(std::string csv, QObject* receiver, BatchFn onBatch, DoneFn onDone);
    ~TrendScanThread();
    TrendScanThread(const TrendScanThread&) = delete;
    TrendScanThread& operator=(const TrendScanThread&) = delete;

    /// Asks the scan to end at its next chunk; onDone still follows.
    void Cancel() { cancel_ = true; }

private:
    TrendScanThread(QObject* receiver, BatchFn onBatch, DoneFn onDone);
    void Run();    ///< the thread's body for background files
    void RunCsv(); ///< the thread's body for a trend CSV
    /// Hands `batch` to the receiver's thread.
    void Post(std::shared_ptr<const TrendBatch> batch);

    std::vector<std::string> files_; ///< the files, or the one trend CSV
    QObject* target_; ///< the receiver; only posted to, and alive until the thread is joined
    BatchFn onBatch_;
    DoneFn onDone_;
    std::atomic<bool> cancel_ = false;
    std::thread thread_;
};

} // namespace stability
