#pragma once
// A scan of background files on a thread of its own. The thread owns no
// data the window reads: what it finds travels to the window in batches,
// each handed over by a queued call that runs on the window's thread.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "trend/FonScan.h"

/// What the scan found since its last hand-over.
struct TrendBatch {
    /// One frame read.
    struct Row {
        int32_t File;
        int32_t Record;
        FrameNumbers Numbers;
    };
    std::vector<Row> Rows;
    std::vector<FileIssue> Issues;
    ScanProgress Progress;
};

/// Runs ScanFonFiles on a std::thread. `onBatch` and `onDone` run on the
/// thread of `receiver` (through its event loop), never on the scan thread;
/// none runs after the receiver is gone. The receiver must outlive this
/// object, whose destruction cancels the scan and waits for the thread.
class TrendScanThread {
public:
    using BatchFn = std::function<void(const TrendBatch& batch)>;
    using DoneFn = std::function<void(const ScanSummary& summary)>;

    TrendScanThread(std::vector<std::string> files, QObject* receiver, BatchFn onBatch, DoneFn onDone);
    ~TrendScanThread();
    TrendScanThread(const TrendScanThread&) = delete;
    TrendScanThread& operator=(const TrendScanThread&) = delete;

    /// Asks the scan to end at its next chunk; onDone still follows.
    void Cancel() { cancel_ = true; }

private:
    void Run();
    void Post(std::shared_ptr<TrendBatch> batch);

    std::vector<std::string> files_;
    QObject* target_; ///< the receiver; only posted to, and alive until the thread is joined
    BatchFn onBatch_;
    DoneFn onDone_;
    std::atomic<bool> cancel_ = false;
    std::thread thread_;
};
