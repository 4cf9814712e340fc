#include "stability/TrendScanThread.h"

#include <QMetaObject>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/FileProblemText.h"

namespace stability {

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

TrendScanThread::TrendScanThread(QObject* receiver, BatchFn onBatch, DoneFn onDone)
    : target_(receiver), onBatch_(std::move(onBatch)), onDone_(std::move(onDone))
{
}

std::unique_ptr<TrendScanThread> TrendScanThread::ReadCsv(std::string csv, QObject* receiver, BatchFn onBatch,
                                                          DoneFn onDone)
{
    std::unique_ptr<TrendScanThread> t(new TrendScanThread(receiver, std::move(onBatch), std::move(onDone)));
    t->files_ = {std::move(csv)};
    t->thread_ = std::thread([p = t.get()] { p->RunCsv(); });
    return t;
}

void TrendScanThread::Post(std::shared_ptr<const TrendBatch> batch)
{
    // A queued call on the receiver: Qt drops it if the receiver is
    // destroyed before it runs.
    QMetaObject::invokeMethod(
        target_, [fn = onBatch_, b = std::move(batch)] { fn(*b); }, Qt::QueuedConnection);
}

void TrendScanThread::RunCsv()
{
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kScanNice); // advice: failure leaves it as it was
    auto batch = std::make_shared<TrendBatch>();
    trend::ScanSummary summary;
    std::vector<trend::Outlier> marks;
    // Examined before it is opened: a pipe or device is never read (an open
    // of a pipe would wait for a writer).
    struct stat st;
    const bool there = ::stat(files_[0].c_str(), &st) == 0;
    const bool regular = there && S_ISREG(st.st_mode);
    std::ifstream in;
    if (regular)
        in.open(files_[0], std::ios::binary);
    if (!regular || !in) {
        const int err = errno;
        if (there && !regular)
            batch->Issues.push_back({0, trend::FileIssueKind::NotRegular, 0, 0,
                                     datafiles::ReadFaultText({datafiles::ReadFault::NotRegular, 0, 0, 0, 0})});
        else
            batch->Issues.push_back({0, trend::FileIssueKind::Unreadable, 0, 0, datafiles::ErrnoText(err)});
        summary.FilesSkipped = 1;
    } else {
        using Clock = std::chrono::steady_clock;
        auto last = Clock::now();
        trend::TrendCsvReadOptions options;
        options.Cancel = &cancel_;
        options.Progress = [&](uint64_t bytes) {
            if (Clock::now() - last < kHandOver)
                return;
            last = Clock::now();
            auto progress = std::make_shared<TrendBatch>();
            progress->Progress.FilesTotal = 1;
            progress->Progress.Bytes = bytes;
            progress->Progress.Fraction = st.st_size > 0 ? static_cast<double>(bytes) / st.st_size : 0;
            Post(std::move(progress));
        };
        trend::TrendCsvContent content = trend::ReadTrendCsv(in, options);
        marks = trend::MarkOutliers(content.Table);
        batch->Rows = std::move(content.Table);
        batch->Files = std::move(content.Files);
        batch->BadLines = std::move(content.Problems);
        batch->Header = content.Header;
        summary.Cancelled = content.Cancelled;
        summary.Frames = batch->Rows.Size();
        summary.Bytes = static_cast<uint64_t>(st.st_size);
    }
    batch->Progress.FilesTotal = batch->Progress.FilesDone = 1;
    batch->Progress.Fraction = 1;
    batch->Progress.Frames = summary.Frames;
    Post(std::move(batch));
    auto shared = std::make_shared<const std::vector<trend::Outlier>>(std::move(marks));
    QMetaObject::invokeMethod(
        target_, [fn = onDone_, summary, shared] { fn(summary, *shared); }, Qt::QueuedConnection);
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
    trend::TrendTable all; // the thread's own copy, for the outliers at the end
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

    trend::ScanCallbacks cb;
    cb.Cancel = &cancel_;
    cb.Frame = [&](size_t file, int32_t record, const frames::FrameNumbers& n) {
        batch->Rows.Append(static_cast<int32_t>(file), record, n);
    };
    cb.Issue = [&](const trend::FileIssue& issue) { batch->Issues.push_back(issue); };
    cb.Progress = [&](const trend::ScanProgress& p) {
        batch->Progress = p;
        handOver(false);
    };
    const trend::ScanSummary summary = trend::ScanFonFiles(files_, cb);
    handOver(true);
    auto marks = std::make_shared<const std::vector<trend::Outlier>>(trend::MarkOutliers(all));
    QMetaObject::invokeMethod(
        target_, [fn = onDone_, summary, marks] { fn(summary, *marks); }, Qt::QueuedConnection);
}

} // namespace stability
