// The real program killed at random moments of a run: every record of every
// file it leaves is whole and numbered without a gap, and the frame file
// holds every point its last progress line reported but at most the last
// ten. Loss is counted in the program's own points, not against the wall
// clock, so a machine whose load starves the program changes nothing.
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

/// Points of the last progress line in `output` ("точек N"), 0 before any.
int64_t ReportedPoints(const QString& output)
{
    int64_t n = 0;
    for (auto it = QRegularExpression("точек (\\d+)").globalMatch(output); it.hasNext();)
        n = it.next().captured(1).toLongLong();
    return n;
}

/// The one file of the directory matching `pattern`, or empty.
std::string Only(const QDir& dir, const char* pattern)
{
    const QStringList names = dir.entryList({pattern}, QDir::Files);
    return names.size() == 1 ? dir.filePath(names[0]).toStdString() : std::string();
}

TEST(KillTest, NothingButTheLastPointsIsLostAtAnyMoment)
{
    testing_support::EnsureApp();
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> afterLine(0, 999); // ms after the line that reached the target
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    int withPoints = 0, events = 0;
    int64_t mostLost = 0;
    for (int kill = 0; kill < 20; ++kill) {
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
        proc.start(VFON_PATH, {"--headless", "--progress-interval", "1"});
        ASSERT_TRUE(proc.waitForStarted());
        // Killed a random part of a second after a progress line reported
        // `target` points: 0 to 23 over the kills, about six seconds of run.
        const int64_t target = kill * 24 / 20;
        QString output;
        while (!output.contains("точек ") || ReportedPoints(output) < target) {
            ASSERT_TRUE(proc.waitForReadyRead(120000)) << "no progress line: " << output.toStdString();
            output += QString::fromUtf8(proc.readAllStandardOutput());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(afterLine(rng)));
        proc.kill(); // SIGKILL
        ASSERT_TRUE(proc.waitForFinished());
        output += QString::fromUtf8(proc.readAllStandardOutput());

        const QDir d(dir.path());
        const std::string fon = Only(d, "*.fon"), rad = Only(d, "*.Rad");
        ASSERT_FALSE(fon.empty() || rad.empty()); // made before the first progress line
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
        // Points lost: those reported that the file lacks. The frame so far
        // is written every ten points (reading as a stopped frame), a whole
        // frame when it is complete.
        const int32_t stop = frames > 0 ? StopPoint(*frame, true) : 1;
        const int64_t onDisk = int64_t{std::max(frames - 1, 0)} * kFonPoints + (stop != 0 ? stop - 1 : kFonPoints);
        const int64_t lost = std::max<int64_t>(0, ReportedPoints(output) - onDisk);
        EXPECT_LE(lost, kPointsPerPlot) << onDisk << " points on disk, " << ReportedPoints(output) << " reported";
        withPoints += onDisk > 0;
        mostLost = std::max(mostLost, lost);
    }
    EXPECT_GT(withPoints, 5);
    std::printf("20 kills: %d left saved points (at most %lld reported points lost), %d radio events in all\n",
                withPoints, static_cast<long long>(mostLost), events);
}

} // namespace
