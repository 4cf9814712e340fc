// The real program killed at random moments of a run: every record of every
// file it leaves is whole and numbered without a gap, and the frame file
// holds every point but at most the last ten before the kill.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTime>
#include <algorithm>
#include <random>
#include <thread>

#include "datafiles/RecordFile.h"
#include "support/Fixtures.h"

namespace {

int MsOfDay(const TPointTime& t) { return ((t.Hour * 60 + t.Min) * 60 + t.Sec) * 1000 + t.MSec; }

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
    std::uniform_int_distribution<int> moment(500, 6000);
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    int withPoints = 0, events = 0;
    double mostLost = 0;
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
        const int startMs = QTime::currentTime().msecsSinceStartOfDay();
        proc.start(VFON_PATH, {"--headless", "--progress-interval", "1"});
        ASSERT_TRUE(proc.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(moment(rng)));
        const int killMs = QTime::currentTime().msecsSinceStartOfDay();
        proc.kill(); // SIGKILL
        ASSERT_TRUE(proc.waitForFinished());

        const QDir d(dir.path());
        const std::string fon = Only(d, "*.fon"), rad = Only(d, "*.Rad");
        if (fon.empty())
            continue; // killed before the files were made
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
        // Points lost: from the last saved point to the kill, at the pace of
        // the saved points (25 cycles of 10 ms each).
        int saved = 0;
        while (frames > 0 && saved < kFonPoints &&
               frame->Counts1[saved] + frame->Counts2[saved] + frame->Counts3[saved] + frame->Counts4[saved] > 0)
            ++saved;
        const double pointMs = saved > 1 ? (MsOfDay(frame->Times[saved - 1]) - MsOfDay(frame->Times[0])) / (saved - 1.0)
                                         : 250.0;
        const int lastMs = saved > 0 ? MsOfDay(frame->Times[saved - 1]) : startMs;
        const double lost = (killMs - lastMs) / pointMs;
        EXPECT_LE(lost, saved > 0 ? 10.0 + 1.0 : 10.0 + 4.0) // the point under way; the program's start
            << "saved " << saved << " points, " << killMs - lastMs << " ms before the kill";
        withPoints += saved > 0;
        if (saved > 0)
            mostLost = std::max(mostLost, lost);
    }
    EXPECT_GT(withPoints, 5);
    std::printf("20 kills: %d left saved points (at most %.1f points' time lost), %d radio events in all\n",
                withPoints, mostLost, events);
}

} // namespace
