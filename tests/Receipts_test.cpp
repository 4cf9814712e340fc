// Receipts end to end: a station forgets a record only when the centre has
// it on its disk, so whatever happens to the centre, its disk or the broker
// in between costs a delay and never a record. The broker is the one the
// package ships (its queues, its autosave, its rules), so what the cases
// show holds for the set-up a centre installs. Each case ends with the
// centre's trend.csv and events.csv equal to the export of the station's
// files, each record once, and the page answering.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <csignal>

#include "centre/CentreStore.h"
#include "support/CentreRig.h"

namespace {

QByteArray Frame(int record)
{
    return QByteArray(R"({"station":"s1","file":"1_1_0_0.fon","record":)") + QByteArray::number(record) +
           R"(,"start":"2026-01-01T00:00:00.000","start_local":"2026-01-01T00:00:00.000+00:00",)"
           R"("start_ns":1767225600000000000,"points":600,"mean_rate":[1,2,3,4],"mean_per_s":[1,2,3,4],)"
           R"("centre":[1,2,3,4],"b":[1,2,3,4]})";
}

// The store counts and receipts only what is on its disk: a write that
// fails is neither, and goes in whole at a later commit; a line torn by a
// crash is cut off and its record taken again.
TEST(CentreStoreReceipts, OnlyWhatIsWrittenIsCountedAndReceipted)
{
    QTemporaryDir dir;
    const QString trend = dir.filePath("s1/trend.csv");
    {
        centre::CentreStore store(dir.path().toStdString());
        ASSERT_EQ(store.Take("vfon/v1/s1/frame", Frame(0), 1), centre::Ingest::Frame);
        EXPECT_EQ(store.Commit(1).size(), 1u);
    }
    QFile torn(trend);
    ASSERT_TRUE(torn.open(QIODevice::Append));
    torn.write("1_1_0_0.fon,2,2026-01-01T00:00:00.000+00:00,17672256\r\n1_1_0_0.fon,2,2026-01"); // a kill mid-write
    torn.close();

    centre::CentreStore store(dir.path().toStdString());
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", Frame(0), 2), centre::Ingest::Duplicate);
    EXPECT_EQ(testing_support::Lines(trend).size(), 5); // the torn record is gone
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", Frame(1), 2), centre::Ingest::Frame);
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", Frame(1), 2), centre::Ingest::Duplicate); // waiting already

    // The disk refuses: nothing counted, no receipt, the file as it was.
    ASSERT_TRUE(QFile::rename(trend, trend + ".kept"));
    ASSERT_TRUE(QDir().mkdir(trend));
    const std::vector<protocol::Receipt> refused = store.Commit(3); // the duplicate asks for one
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].Stored, (std::map<std::string, int64_t>{{"1_1_0_0.fon", 1}}));
    EXPECT_EQ(store.Counters().StoreErrors.load(), 1);
    EXPECT_EQ(store.Stations().front()->Frames, 1);
    ASSERT_TRUE(QDir().rmdir(trend));
    ASSERT_TRUE(QFile::rename(trend + ".kept", trend));

    const std::vector<protocol::Receipt> receipts = store.Commit(4);
    ASSERT_EQ(receipts.size(), 1u);
    EXPECT_EQ(receipts[0].Station, "s1");
    EXPECT_EQ(receipts[0].Stored, (std::map<std::string, int64_t>{{"1_1_0_0.fon", 2}}));
    EXPECT_EQ(store.Stations().front()->Frames, 2);
    const QStringList lines = testing_support::Lines(trend);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_TRUE(lines[8].startsWith("1_1_0_0.fon,2,")) << lines[8].toStdString();
    EXPECT_TRUE(store.Commit(5).empty()); // nothing moved: no receipt

    // A record that comes again names its file in the next receipt.
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", Frame(0), 6), centre::Ingest::Duplicate);
    EXPECT_EQ(store.Commit(7).size(), 1u);
}

class ReceiptsTest : public testing_support::CentreRig {
protected:
    // Events measure the progress: each is written and published whole as
    // it comes, while a frame is published only once its 600 points are in
    // (or at the stop).
    int64_t Stored(const QString& id) { return Row(id).value("events_stored").toInteger(); }
    /// Waits until the station has written `more` events beyond what it has now.
    void WaitForMoreEvents(const QString& id, int64_t more)
    {
        const int64_t now = EventsIn(id);
        ASSERT_TRUE(testing_support::WaitFor([&] { return EventsIn(id) >= now + more; }, 60000));
    }
    /// Waits until the centre has stored every event the station has written by now.
    void WaitUntilStoredAll(const QString& id)
    {
        const int64_t written = EventsIn(id);
        ASSERT_TRUE(testing_support::WaitFor([&] { return Stored(id) >= written; }, 90000)) << Stored(id);
    }
    /// A station whose simulated antennas trigger twice a second, so
    /// records come faster than any fault can be waited for.
    void StartBusyStation(QProcess& p, const QString& id)
    {
        QProcessEnvironment env;
        env.insert("LAN10M8SIM_EVENTS_PER_MINUTE", "120");
        StartStation(p, id, 0, {}, env);
    }
    void Signal(QProcess& p, int signo) { ::kill(static_cast<pid_t>(p.processId()), signo); }
    /// Stops the station as an operator does and checks the centre has
    /// all of it: a clean stop waits for the receipts of what it wrote.
    void StopAndCompare(QProcess& station, const QString& id)
    {
        station.terminate();
        Finish(station);
        ExpectStoreEqualsExport(id, EventsIn(id));
    }
};

TEST_F(ReceiptsTest, StationsStartedBeforeTheCentreEverConnectedLoseNothing)
{
    StartShippedBroker();
    QProcess s;
    StartBusyStation(s, "st1");
    WaitForMoreEvents("st1", 1); // published to a broker that keeps them for no one
    StartCentre();
    // No receipt comes for them: the station sends them again.
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") >= 1; }, 90000));
    StopAndCompare(s, "st1");
}

TEST_F(ReceiptsTest, ACentreKilledJustAfterItResumesWithAQueueLosesNothing)
{
    StartShippedBroker();
    StartCentre();
    QProcess s;
    StartBusyStation(s, "st1");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") >= 1; }, 60000));
    Signal(centre_, SIGSTOP);
    WaitForMoreEvents("st1", 3);
    Signal(centre_, SIGCONT);
    QThread::msleep(20); // the fault itself: the kill lands while the queue is being taken
    Signal(centre_, SIGKILL);
    ASSERT_TRUE(centre_.waitForFinished(10000));
    StartCentre();
    WaitUntilStoredAll("st1"); // what the kill took goes again when no receipt comes
    StopAndCompare(s, "st1");
}

TEST_F(ReceiptsTest, ABrokerKilledWithMessagesQueuedForTheCentreLosesNothing)
{
    StartShippedBroker();
    StartCentre();
    QProcess s;
    StartBusyStation(s, "st1");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") >= 1; }, 60000));
    Signal(centre_, SIGSTOP); // the broker queues for it
    WaitForMoreEvents("st1", 3);
    Signal(broker_, SIGKILL);
    ASSERT_TRUE(broker_.waitForFinished(10000));
    StartShippedBroker();
    Signal(centre_, SIGCONT);
    WaitUntilStoredAll("st1");
    StopAndCompare(s, "st1");
}

TEST_F(ReceiptsTest, AFullDiskAtTheCentreDelaysRecordsAndTearsNoLine)
{
    const QString full = dir_.filePath("disk-full");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", FAIL_WRITES_PATH);
    env.insert("VFON_FAIL_WRITES", full);
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    centre_.setProcessEnvironment(env);
    StartShippedBroker();
    StartCentre();
    QProcess s;
    StartBusyStation(s, "st1");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") >= 1; }, 60000));
    QFile(full).open(QIODevice::WriteOnly);
    QByteArray err;
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return (err += centre_.readAllStandardError()).contains("не записаны"); }, 60000))
        << err.toStdString();
    const int64_t before = Stored("st1");
    WaitForMoreEvents("st1", 3);
    EXPECT_EQ(Stored("st1"), before); // nothing counted that is not on the disk
    QFile::remove(full);
    WaitUntilStoredAll("st1");
    StopAndCompare(s, "st1");
}

} // namespace
