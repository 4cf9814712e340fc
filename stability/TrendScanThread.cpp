#include "stability/TrendScanThread.h"

#include <QMetaObject>
#include <chrono>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// A batch is handed over this often while frames come in: small enough
/// that taking it never holds the window up.
constexpr auto kHandOver = std::chrono::milliseconds(40);
/// Nice value of the scan thread (Linux gives each thread its own).
constexpr int kScanNice = 10;

/// Whole records the files hold by their sizes (stat only: nothing is
/// opened, so a pipe in the list does no harm).
size_t ExpectedFrames(const std::vector<std::string>& files)
{
    size_t frames = 0;
    for (const std::string& f : files) {
        struct stat st;
        if (::stat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            frames += static_cast<size_t>(st.st_size) / sizeof(TFonKadr);
    }
    return frames;
}

} // namespace

TrendScanThread::TrendScanThread(std::vector<std::string> files, QObject* receiver, BatchFn onBatch, DoneFn onDone)
    : files_(std::move(files)), target_(receiver), onBatch_(std::move(onBatch)), onDone_(std::move(onDone))
{
    thread_ = std::thread([this] { Run(); });
}

TrendScanThread::~TrendScanThread()
{
    cancel_ = true;
    thread_.join();
}

void TrendScanThread::Run()
{
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kScanNice); // advice: failure leaves it as it was
    using Clock = std::chrono::steady_clock;
    TrendTable all; // the thread's own copy, for the outliers at the end
    auto batch = std::make_shared<TrendBatch>();
    auto last = Clock::now();
    const auto handOver = [&](bool always) {
        const auto now = Clock::now();
        if (!always && now - last < kHandOver)
            return;
        last = now;
        all.Append(batch->Rows);
        // A queued call on the receiver: Qt drops it if the receiver is
        // destroyed before it runs.
        QMetaObject::invokeMethod(
            target_, [fn = onBatch_, b = std::shared_ptr<const TrendBatch>(std::move(batch))] { fn(*b); },
            Qt::QueuedConnection);
        batch = std::make_shared<TrendBatch>();
    };

    batch->ExpectedFrames = ExpectedFrames(files_);
    all.Reserve(batch->ExpectedFrames);
    handOver(true);

    ScanCallbacks cb;
    cb.Cancel = &cancel_;
    cb.Frame = [&](size_t file, int32_t record, const FrameNumbers& n) {
        batch->Rows.Append(static_cast<int32_t>(file), record, n);
    };
    cb.Issue = [&](const FileIssue& issue) { batch->Issues.push_back(issue); };
    cb.Progress = [&](const ScanProgress& p) {
        batch->Progress = p;
        handOver(false);
    };
    const ScanSummary summary = ScanFonFiles(files_, cb);
    handOver(true);
    auto marks = std::make_shared<const std::vector<Outlier>>(MarkOutliers(all));
    QMetaObject::invokeMethod(
        target_, [fn = onDone_, summary, marks] { fn(summary, *marks); }, Qt::QueuedConnection);
}
