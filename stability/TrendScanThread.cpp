#include "stability/TrendScanThread.h"

#include <QMetaObject>
#include <chrono>

namespace {

/// A batch is handed over at least this often while frames come in.
constexpr auto kHandOver = std::chrono::milliseconds(100);

} // namespace

TrendScanThread::TrendScanThread(std::vector<std::string> files, QObject* receiver, BatchFn onBatch, DoneFn onDone)
    : files_(std::move(files)), target_(receiver), onBatch_(std::move(onBatch)),
      onDone_(std::move(onDone))
{
    thread_ = std::thread([this] { Run(); });
}

TrendScanThread::~TrendScanThread()
{
    cancel_ = true;
    thread_.join();
}

void TrendScanThread::Post(std::shared_ptr<TrendBatch> batch)
{
    // A queued call on the receiver: dropped by Qt if the receiver is
    // destroyed before it runs.
    QMetaObject::invokeMethod(
        target_, [fn = onBatch_, batch] { fn(*batch); }, Qt::QueuedConnection);
}

void TrendScanThread::Run()
{
    using Clock = std::chrono::steady_clock;
    auto batch = std::make_shared<TrendBatch>();
    auto last = Clock::now();
    const auto handOver = [&](bool always) {
        const auto now = Clock::now();
        if (!always && now - last < kHandOver)
            return;
        last = now;
        Post(std::move(batch));
        batch = std::make_shared<TrendBatch>();
    };

    ScanCallbacks cb;
    cb.Cancel = &cancel_;
    cb.Frame = [&](size_t file, int32_t record, const FrameNumbers& n) {
        batch->Rows.push_back({static_cast<int32_t>(file), record, n});
    };
    cb.Issue = [&](const FileIssue& issue) { batch->Issues.push_back(issue); };
    cb.Progress = [&](const ScanProgress& p) {
        batch->Progress = p;
        handOver(false);
    };
    const ScanSummary summary = ScanFonFiles(files_, cb);
    handOver(true);
    QMetaObject::invokeMethod(
        target_, [fn = onDone_, summary] { fn(summary); }, Qt::QueuedConnection);
}
