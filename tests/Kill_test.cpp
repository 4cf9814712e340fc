// The real program killed at random moments of a run: every record of every
// file it leaves is whole and numbered without a gap, and the frame file
// holds every point the program had reported but at most the last ten.
// Loss is counted in the program's own points (its progress lines against
// the points on disk), never against the wall clock, so a machine under
// heavy load that starves the program changes nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <thread>

#include "datafiles/FrameEnd.h"
#include "datafiles/RecordFile.h"
#include "support/Fixtures.h"

namespace {

/// Longest wait for the program's next progress line.
constexpr int kLineWaitMs = 120000;

/// The one file of the directory matching `pattern`, or empty.
std::string Only(const QDir& dir, const char* pattern)
{
    const QStringList names = dir.entryList({pattern}, QDir::Files);
    return names.size() == 1 ? dir.filePath(names[0]).toStdString() : std::string();
}

/// Points of the last progress line in `output` ("точек N"), 0 before any.
int64_t ReportedPoints(const QString& output)
{
    static const QRegularExpression points(QStringLiteral("точек (\\d+)"));
    int64_t n = 0;
    for (auto it = points.globalMatch(output); it.hasNext();)
        n = it.next().captured(1).toLongLong();
    return n;
}

/// The options that make the headless program print a progress line every
/// second into a pipe. Where the program prints less often when its output
/// is no terminal, it takes --progress-interval; the test asks its --help
/// rather than assume either.
QStringList HeadlessArguments()
{
    QProcess help;
    help.start(VFON_PATH, {"--help"});
    help.waitForFinished();
    QStringList args{"--headless"};
    if (QString::fromUtf8(help.readAllStandardOutput()).contains("--progress-interval"))
        args << "--progress-interval" << "1";
    return args;
}

/// Points a background file holds: whole frames, then the points filled in
/// its last record (which reads as a stopped frame while it is written in
/// place).
int64_t PointsOnDisk(const std::string& fon, int32_t frames)
{
    if (frames == 0)
        return 0;
    auto last = std::make_unique<TFonKadr>();
    recfile::ReadRecord(fon, frames - 1, *last);
    const int32_t stop = StopPoint(*last, true);
    return int64_t{frames - 1} * kFonPoints + (stop != 0 ? stop - 1 : kFonPoints);
}

TEST(KillTest, NothingButTheLastPointsIsLostAtAnyMoment)
{
    testing_support::EnsureApp();
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> afterLine(0, 999); // ms after the line that reached the target
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    const QStringList args = HeadlessArguments();
    constexpr int kKills = 20;
    int withPoints = 0, events = 0;
    int64_t mostLost = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(kill);
        QTemporaryDir dir;
        const std::string hive = dir.filePath("hive.ini").toStdString();
        testing_support::UsePrivateHive(hive, SIMDRIVER_PATH);
        QProcess proc;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VFON_HIVE", QString::fromStdString(hive));
        env.insert("LAN10M8SIM_EVENTS_PER_MINUTE", "300");
        proc.setProcessEnvironment(env);
        proc.setWorkingDirectory(dir.path());
        proc.start(VFON_PATH, args);
        ASSERT_TRUE(proc.waitForStarted());
        // Killed once a progress line has reported `target` points (0 to 23
        // over the kills: from the first line to about six seconds of run),
        // then a random part of a second later.
        const int64_t target = kill * 24 / kKills;
        QString output;
        do {
            ASSERT_TRUE(proc.waitForReadyRead(kLineWaitMs)) << "no progress line: " << output.toStdString();
            output += QString::fromUtf8(proc.readAllStandardOutput());
        } while (!output.contains(QStringLiteral("точек ")) || ReportedPoints(output) < target);
        std::this_thread::sleep_for(std::chrono::milliseconds(afterLine(rng)));
        proc.kill(); // SIGKILL
        ASSERT_TRUE(proc.waitForFinished());
        output += QString::fromUtf8(proc.readAllStandardOutput());

        const QDir d(dir.path());
        const std::string fon = Only(d, "*.fon"), rad = Only(d, "*.Rad");
        ASSERT_FALSE(fon.empty()); // made before the first progress line
        ASSERT_FALSE(rad.empty());
        // Whole records only, numbered 1, 2, ... without a gap.
        ASSERT_EQ(QFileInfo(QString::fromStdString(fon)).size() % sizeof(TFonKadr), 0);
        ASSERT_EQ(QFileInfo(QString::fromStdString(rad)).size() % sizeof(TRadKadr), 0);
        auto event = std::make_unique<TRadKadr>();
        const int32_t nEvents = recfile::Count(rad, sizeof(TRadKadr));
        for (int32_t r = 0; r < nEvents; ++r) {
            recfile::ReadRecord(rad, r, *event);
            EXPECT_EQ(event->EventNo, r + 1);
        }
        events += nEvents;
        const int32_t frames = recfile::Count(fon, sizeof(TFonKadr));
        auto frame = std::make_unique<TFonKadr>();
        for (int32_t r = 0; r < frames; ++r) {
            recfile::ReadRecord(fon, r, *frame);
            EXPECT_EQ(frame->KadrNo, r + 1);
        }
        // Points lost: those the last progress line reported that the file
        // lacks. The frame so far is written every ten points, and a whole
        // frame when it is complete.
        const int64_t reported = ReportedPoints(output), onDisk = PointsOnDisk(fon, frames);
        const int64_t lost = std::max<int64_t>(0, reported - onDisk);
        EXPECT_LE(lost, kPointsPerPlot) << "reported " << reported << " points, " << onDisk << " on disk";
        withPoints += onDisk > 0;
        mostLost = std::max(mostLost, lost);
    }
    EXPECT_GT(withPoints, 5);
    std::printf("%d kills: %d left saved points (at most %lld reported points lost), %d radio events in all\n", kKills,
                withPoints, static_cast<long long>(mostLost), events);
}

} // namespace
