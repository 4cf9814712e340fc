// Scanning many background files: bad files in the middle of a set are
// reported and passed over, torn files give their whole records, and a
// cancel ends the scan at the next chunk.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
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
    std::vector<std::tuple<size_t, FileIssueKind, int32_t, int64_t>> issues;
    ScanCallbacks cb;
    cb.Threads = GetParam();
    cb.Frame = [&](size_t f, int32_t r, const FrameNumbers& n) { frames.emplace_back(f, r, n.Points); };
    cb.Issue = [&](const FileIssue& i) { issues.emplace_back(i.File, i.Kind, i.WholeRecords, i.TailBytes); };
    double lastFraction = 0;
    cb.Progress = [&](const ScanProgress& p) {
        EXPECT_GE(p.Fraction, lastFraction);
        lastFraction = p.Fraction;
    };
    const ScanSummary s = ScanFonFiles(files, cb);

    const decltype(frames) wantFrames{{0, 0, 600}, {0, 1, 600}, {0, 2, 600}, {1, 0, 600},
                                      {1, 1, 99},  {5, 0, 600}, {5, 1, 600}};
    EXPECT_EQ(frames, wantFrames);
    const decltype(issues) wantIssues{{1, FileIssueKind::TornTail, 2, 100},
                                      {2, FileIssueKind::NotRegular, 0, 0},
                                      {3, FileIssueKind::Unreadable, 0, 0},
                                      {4, FileIssueKind::NotRegular, 0, 0}};
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
    WriteFonFile(files[0], kScanChunkRecords + 40);
    WriteFonFile(files[1], 100);
    std::atomic<bool> cancel = false;
    std::vector<size_t> fileOf;
    ScanCallbacks cb;
    cb.Cancel = &cancel;
    cb.Frame = [&](size_t f, int32_t, const FrameNumbers&) {
        fileOf.push_back(f);
        if (fileOf.size() == 70)
            cancel = true;
    };
    const ScanSummary s = ScanFonFiles(files, cb);
    EXPECT_TRUE(s.Cancelled);
    // The chunk under way is finished; the rest of a.fon and b.fon are never read.
    EXPECT_EQ(s.Frames, uint64_t{kScanChunkRecords});
    EXPECT_EQ(fileOf.size(), size_t{kScanChunkRecords});
    EXPECT_EQ(fileOf.back(), 0u);
}
