// Scanning many background files: bad files in the middle of a set are
// reported and passed over, torn files give their whole records, and a
// cancel ends the scan at the next chunk.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <sys/stat.h>
#include <tuple>
#include <vector>

#include "support/SampleFiles.h"
#include "trend/FonScan.h"

using namespace testing_support;

class FonScanThreads : public ::testing::TestWithParam<unsigned> {};

// On one thread and on a team whose slices split the chunks unevenly: the
// same frames in the same order, the last-record rule on the right frame.
TEST_P(FonScanThreads, BadFilesInTheMiddleAreReportedAndPassedOver)
{
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    std::vector<std::unique_ptr<TFonKadr>> torn;
    torn.push_back(MakeFonFrame(1));
    torn.push_back(MakeFonFrame(2));
    for (int c = 1; c <= kFonChannels; ++c) // run stopped at point 100 of the last whole frame
        std::fill(torn[1]->Counts(c) + 99, torn[1]->Counts(c) + kFonPoints, 0);
    WriteFonFile(path("a.fon"), 3);
    WriteFonFile(path("torn.fon"), torn);
    std::ofstream(path("torn.fon"), std::ios::app) << std::string(100, 'x'); // a record cut short
    ASSERT_EQ(::mkfifo(path("pipe.fon").c_str(), 0600), 0); // no writer: a blocking open would hang
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.fon"));
    WriteFonFile(path("z.fon"), 2);
    const std::vector<std::string> files{path("a.fon"),    path("torn.fon"),   path("pipe.fon"),
                                         path("missing.fon"), path("folder.fon"), path("z.fon")};

    std::vector<std::tuple<size_t, int32_t, int32_t>> frames; // file, record, points
    std::vector<std::tuple<size_t, trend::FileIssueKind, int32_t, int64_t>> issues;
    trend::ScanCallbacks cb;
    cb.Threads = GetParam();
    cb.Frame = [&](size_t f, int32_t r, const frames::FrameNumbers& n) { frames.emplace_back(f, r, n.Points); };
    cb.Issue = [&](const trend::FileIssue& i) { issues.emplace_back(i.File, i.Kind, i.WholeRecords, i.TailBytes); };
    double lastFraction = 0;
    cb.Progress = [&](const trend::ScanProgress& p) {
        EXPECT_GE(p.Fraction, lastFraction);
        lastFraction = p.Fraction;
    };
    const trend::ScanSummary s = trend::ScanFonFiles(files, cb);

    const decltype(frames) wantFrames{{0, 0, 600}, {0, 1, 600}, {0, 2, 600}, {1, 0, 600},
                                      {1, 1, 99},  {5, 0, 600}, {5, 1, 600}};
    EXPECT_EQ(frames, wantFrames);
    const decltype(issues) wantIssues{{1, trend::FileIssueKind::TornTail, 2, 100},
                                      {2, trend::FileIssueKind::NotRegular, 0, 0},
                                      {3, trend::FileIssueKind::Unreadable, 0, 0},
                                      {4, trend::FileIssueKind::NotRegular, 0, 0}};
    EXPECT_EQ(issues, wantIssues);
    EXPECT_EQ(std::tie(s.Frames, s.FilesSkipped, s.FilesTorn, s.Cancelled),
              std::make_tuple(uint64_t{7}, size_t{3}, size_t{1}, false));
    EXPECT_EQ(lastFraction, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Threads, FonScanThreads, ::testing::Values(1u, 3u));

TEST(FonScan, CancelEndsTheScanAtTheNextChunk)
{
    QTemporaryDir dir;
    const std::vector<std::string> files{dir.filePath("a.fon").toStdString(), dir.filePath("b.fon").toStdString()};
    WriteFonFile(files[0], trend::kScanChunkRecords + 40);
    WriteFonFile(files[1], 100);
    std::atomic<bool> cancel = false;
    std::vector<size_t> fileOf;
    trend::ScanCallbacks cb;
    cb.Cancel = &cancel;
    cb.Frame = [&](size_t f, int32_t, const frames::FrameNumbers&) {
        fileOf.push_back(f);
        if (fileOf.size() == 70)
            cancel = true;
    };
    const trend::ScanSummary s = trend::ScanFonFiles(files, cb);
    EXPECT_TRUE(s.Cancelled);
    // The chunk under way is finished; the rest of a.fon and b.fon are never read.
    EXPECT_EQ(s.Frames, uint64_t{trend::kScanChunkRecords});
    EXPECT_EQ(fileOf.size(), size_t{trend::kScanChunkRecords});
    EXPECT_EQ(fileOf.back(), 0u);
}

// A file cut short while it is read: its frames up to the cut come, in
// order, then the read failure with the records read whole.
TEST_P(FonScanThreads, AFileCutShortWhileReadGivesTheRecordsBeforeTheCut)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.fon").toStdString();
    WriteFonFile(path, trend::kScanChunkRecords + 40);
    const int32_t cut = trend::kScanChunkRecords + 10; // inside the second chunk, mid-way through a thread's share
    std::vector<int32_t> records;
    std::vector<std::tuple<trend::FileIssueKind, int32_t, std::string>> issues;
    trend::ScanCallbacks cb;
    cb.Threads = GetParam();
    cb.Frame = [&](size_t, int32_t r, const frames::FrameNumbers&) {
        if (records.empty()) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(cut * sizeof(TFonKadr) + 100)), 0);
        }
        records.push_back(r);
    };
    cb.Issue = [&](const trend::FileIssue& i) { issues.emplace_back(i.Kind, i.WholeRecords, i.Message); };
    const trend::ScanSummary s = trend::ScanFonFiles({path}, cb);

    std::vector<int32_t> want(static_cast<size_t>(cut));
    std::iota(want.begin(), want.end(), 0);
    EXPECT_EQ(records, want);
    const decltype(issues) wantIssues{
        {trend::FileIssueKind::ReadFailed, cut, "файл укоротился во время чтения, прочитано записей: " + std::to_string(cut)}};
    EXPECT_EQ(issues, wantIssues);
    EXPECT_EQ(std::tie(s.Frames, s.FilesFailed), std::make_tuple(uint64_t(cut), size_t{1}));
}
