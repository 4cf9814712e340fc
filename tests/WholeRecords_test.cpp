// Whole records from two stations through a real broker into the centre:
// after a broker outage and a centre killed and started again, the
// centre's copy of every data file that travels whole is the station's
// file byte for byte, and its rows hold each record once.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>

#include "support/CentreRig.h"

namespace {

QByteArray Sha256(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

class WholeRecordsTest : public testing_support::CentreRig {
protected:
    int64_t Stored(const QString& id) { return Row(id).value("events_stored").toInteger(); }
    /// A station whose simulated antennas trigger twice a second.
    void StartBusyStation(QProcess& p, const QString& id, const QStringList& extra = {})
    {
        QProcessEnvironment env;
        env.insert("LAN10M8SIM_EVENTS_PER_MINUTE", "120");
        StartStation(p, id, 0, extra, env);
    }
    /// Waits until both stations have written `more` events beyond what they have now.
    void WaitForMoreEvents(int64_t more)
    {
        const int64_t a = EventsIn("st1"), b = EventsIn("st2");
        ASSERT_TRUE(testing_support::WaitFor([&] { return EventsIn("st1") >= a + more && EventsIn("st2") >= b + more; },
                                             60000));
    }
    void WaitUntilStoredAll(const QString& id)
    {
        const int64_t written = EventsIn(id);
        ASSERT_TRUE(testing_support::WaitFor([&] { return Stored(id) >= written; }, 90000)) << Stored(id);
    }
    /// The station's data files of the kinds given, by name.
    QStringList DataFiles(const QString& id, const QStringList& kinds)
    {
        return QDir(dir_.filePath(id)).entryList(kinds, QDir::Files, QDir::Name);
    }
    bool StoreHoldsSame(const QString& id, const QStringList& kinds)
    {
        for (const QString& name : DataFiles(id, kinds))
            if (Sha256(Store() + "/" + id + "/" + name) != Sha256(dir_.filePath(id + "/" + name)))
                return false;
        return true;
    }
};

TEST_F(WholeRecordsTest, TheCentreKeepsTheStationsFilesByteForByteThroughABrokerOutageAndACentreKill)
{
    StartBroker();
    StartCentre();
    QProcess all, events;
    StartBusyStation(all, "st1");
    StartBusyStation(events, "st2", {"--records", "events"}); // frames as their numbers only
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") >= 2 && Stored("st2") >= 2; }, 60000));

    StopBroker();
    WaitForMoreEvents(2);
    StartBroker();
    const int64_t before = Stored("st1");
    ASSERT_TRUE(testing_support::WaitFor([&] { return Stored("st1") > before; }, 90000));

    ::kill(static_cast<pid_t>(centre_.processId()), SIGKILL);
    ASSERT_TRUE(centre_.waitForFinished(10000));
    WaitForMoreEvents(2);
    StartCentre();

    for (const QString id : {"st1", "st2"})
        WaitUntilStoredAll(id);
    for (QProcess* p : {&all, &events}) {
        p->terminate(); // a clean stop waits for the receipts of its last frame
        Finish(*p);
    }
    ASSERT_FALSE(DataFiles("st1", {"*.fon"}).isEmpty());
    ASSERT_FALSE(DataFiles("st1", {"*.Rad"}).isEmpty());
    testing_support::WaitFor([&] { return StoreHoldsSame("st1", {"*.fon", "*.Rad"}) && StoreHoldsSame("st2", {"*.Rad"}); },
                             60000);
    for (const auto& [id, kinds] : {std::pair<QString, QStringList>{"st1", {"*.fon", "*.Rad"}}, {"st2", {"*.Rad"}}})
        for (const QString& name : DataFiles(id, kinds))
            EXPECT_EQ(Sha256(Store() + "/" + id + "/" + name), Sha256(dir_.filePath(id + "/" + name)))
                << id.toStdString() << "/" << name.toStdString();
    EXPECT_TRUE(QDir(Store() + "/st2").entryList({"*.fon"}, QDir::Files).isEmpty());
    // The rows, each record once, whichever way the record came.
    ExpectStoreEqualsExport("st1", EventsIn("st1"));
    ExpectStoreEqualsExport("st2", EventsIn("st2"));
}

} // namespace
