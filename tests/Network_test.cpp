// Stations and the centre through a real mosquitto broker that each test
// starts on a free loopback port: what the centre stores equals the export
// of the stations' files, a killed station shows offline, a broker that is
// down or goes away loses nothing; and the centre's store under hostile
// payloads.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

#include "app/Options.h"
#include "centre/CentreStore.h"
#include "network/NetworkSettings.h"
#include "support/Fixtures.h"
#include "support/Loopback.h"
#include "trend/TrendCsv.h"
#include "frames/TrendRow.h"

#include "support/CentreRig.h"

using testing_support::CentreRig;
using testing_support::FreePort;
using testing_support::HttpGet;
using testing_support::Lines;
using testing_support::Listening;

namespace {

class NetworkTest : public CentreRig {};

TEST(NetworkSettings, StationIdsAndBrokerAddresses)
{
    struct {
        const char* id;
        bool ok;
    } ids[] = {{"st1", true},  {"A-Z_09", true}, {"", false},  {"a/b", false}, {"..", false},
               {"stá", false}, {"a b", false},   {"x+", false}, {"abcdefghijklmnopqrstuvwxyz012345", true},
               {"abcdefghijklmnopqrstuvwxyz0123456", false}};
    for (const auto& c : ids)
        EXPECT_EQ(datafiles::ValidStationId(c.id), c.ok) << c.id;
    struct {
        const char* url;
        const char* host;
        int port;
        bool tls;
    } urls[] = {{"mqtt://127.0.0.1:1883", "127.0.0.1", 1883, false}, {"mqtts://centre.example:8883", "centre.example", 8883, true},
                {"mqtt://[::1]:1883", "::1", 1883, false},         {"http://h:1", nullptr, 0, false},
                {"mqtt://h", nullptr, 0, false},                     {"mqtt://h:0", nullptr, 0, false},
                {"mqtt://h:70000", nullptr, 0, false},               {"mqtt://:1883", nullptr, 0, false},
                {"mqtt://a b:1", nullptr, 0, false},                 {"mqtt://h:12x", nullptr, 0, false}};
    for (const auto& c : urls) {
        protocol::BrokerAddress a;
        const std::string why = protocol::ParseBrokerAddress(c.url, a);
        EXPECT_EQ(why.empty(), c.host != nullptr) << c.url;
        if (c.host) {
            EXPECT_TRUE(a.Host == c.host && a.Port == c.port && a.Tls == c.tls) << c.url;
        }
    }
}

TEST(NetworkSettings, CommandLineOverHiveAndRefusals)
{
    QTemporaryDir dir;
    const QString hive = dir.filePath("hive.ini");
    QFile f(hive);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[SOFTWARE\\X]\npath=/x.so\n[Network]\npublish = mqtt://centre:1883\nstation=hive-st\nmqtt_user=u\n");
    f.close();
    struct {
        std::vector<const char*> args;
        int exit; ///< -1: parsed
        const char* station;
        const char* error; ///< part of ResolveNetwork's complaint, "" for none
    } cases[] = {
        {{}, -1, "hive-st", ""},
        {{"--station", "cli_1"}, -1, "cli_1", ""},
        {{"--station", "a/b"}, 2, "", ""},
        {{"--station", "..", "--headless"}, 2, "", ""},
        {{"--publish", "tcp://h:1"}, 2, "", ""},
        {{"--publish", "mqtts://h:8883"}, -1, "hive-st", "--mqtt-cafile"},
        {{"--mqtt-password-file", "/nonexistent"}, -1, "hive-st", "/nonexistent"},
        {{"--records", "events"}, -1, "hive-st", ""},
        {{"--records", "frames"}, 2, "", ""},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("vfon")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        int exitCode = -1;
        const auto o = app::ParseOptions(static_cast<int>(argv.size()), argv.data(), exitCode);
        EXPECT_EQ(o ? -1 : exitCode, c.exit) << (c.args.empty() ? "" : c.args[0]);
        if (!o)
            continue;
        std::string error;
        const net::NetworkSettings s = app::ResolveNetwork(*o, hive.toStdString(), error);
        EXPECT_EQ(s.Station, c.station);
        EXPECT_EQ(s.User, "u");
        EXPECT_TRUE(std::string(c.error).empty() ? error.empty() : error.find(c.error) != std::string::npos) << error;
    }
}

TEST(CentreStoreHostile, RandomAndHostilePayloadsAreRefusedAndTheStoreStays)
{
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    const QByteArray good = R"({"station":"s1","file":"1_1_0_0.fon","record":0,"kadr_no":1,"start":"2026-01-01T00:00:00.000",)"
                            R"("start_local":"2026-01-01T00:00:00.000+00:00","start_ns":1767225600000000000,)"
                            R"("points":600,"mean_rate":[1.5,2,null,4],"mean_per_s":[300,400,null,800],)"
                            R"("centre":[60,null,61,62],"b":[-5.5,-4,null,-3]})";
    ASSERT_EQ(store.Take("vfon/v1/s1/frame", good, 1), centre::Ingest::Frame);
    const QByteArray hostile[] = {
        "", "null", "[]", "{", QByteArray(70000, '{'), R"({"station":"s1"})",
        R"({"station":"s2","file":"1_1_0_0.fon","record":1,"start":"x","points":1,"mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","file":"../x.fon","record":1,"start":"x","points":1,"mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","file":"a.fon","record":-1,"start":"x","points":1,"mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","file":"a.fon","record":1,"start":"x","points":1,"mean_rate":[1,2,3],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","file":"a.fon","record":1.5,"start":"x","points":1,"mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","file":"a.fon","record":"1","start":"x","points":1,"mean_rate":["1",2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})",
        R"({"station":"s1","state":"exploded"})"};
    const char* topics[] = {"vfon/v1/s1/frame", "vfon/v1/s1/event", "vfon/v1/s1/status", "vfon/v1/../frame",
                            "vfon/v1//frame",   "vfon/v1/s\xc3\xa1/frame", "vfon/v1/s1/x", "other"};
    std::mt19937 rng(18);
    int taken = 0;
    for (int i = 0; i < 10000; ++i) {
        QByteArray payload;
        if (i % 3 == 0) {
            payload = hostile[i / 3 % std::size(hostile)];
        } else {
            payload = good; // good bytes, some of them changed
            for (int k = 0; k < 1 + i % 7; ++k)
                payload[static_cast<qsizetype>(rng() % static_cast<unsigned>(payload.size()))] = static_cast<char>(rng());
        }
        std::string topic = topics[rng() % std::size(topics)];
        if (i % 101 == 0)
            topic = std::string("vfon/v1/s\0x/frame", 17);
        taken += store.Take(topic, payload, i) == centre::Ingest::Frame;
    }
    store.Commit(10000);
    // Whatever was taken is a whole, valid line set; nothing lies outside the stations' folders.
    const QStringList lines = Lines(dir.filePath("s1/trend.csv"));
    EXPECT_EQ(lines.size(), 1 + 4 * (1 + taken));
    // No live_s sent: 600 points of 0.25 live seconds, 900 counts over them.
    EXPECT_EQ(lines[1], "1_1_0_0.fon,1,2026-01-01T00:00:00.000+00:00,1767225600000000000,1,600,1.5,300,60,-5.5,150,6");
    for (const QString& l : lines)
        EXPECT_EQ(l.count(','), 11) << l.toStdString();
    const QStringList top = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& name : top)
        EXPECT_TRUE(datafiles::ValidStationId(name.toStdString())) << name.toStdString();
    EXPECT_GE(store.Refused(), 3333);
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", good, 2), centre::Ingest::Duplicate);
}

TEST(CentreStoreHostile, AnOldHeaderTrendFileIsSetAsideAndItsFramesStayStoredOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("s1"));
    const QByteArray early = "file,frame,start,channel,points,rate,centre,b\r\n1_1_0_0.fon,1,2026-01-01T00:00:00.000,1,600,1.5,60,-5.5\r\n";
    QFile old(dir.filePath("s1/trend.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(early) == early.size());
    old.close();
    centre::CentreStore store(dir.path().toStdString());
    // A station of the earlier version: no start_local, no mean_per_s.
    const auto frame = [](int record) {
        return QByteArray(R"({"station":"s1","file":"1_1_0_0.fon","record":)") + QByteArray::number(record) +
               R"(,"start":"2026-01-01T00:00:00.000","points":600,"mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})";
    };
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", frame(0), 1), centre::Ingest::Duplicate);
    EXPECT_EQ(store.Take("vfon/v1/s1/frame", frame(1), 2), centre::Ingest::Frame);
    store.Commit(2);
    QFile kept(dir.filePath("s1/trend.old.csv"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), early);
    const QStringList lines = Lines(dir.filePath("s1/trend.csv"));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0].toStdString(), frames::TrendCsvHeader());
    EXPECT_EQ(lines[1], "1_1_0_0.fon,2,2026-01-01T00:00:00.000,,1,600,1,,1,1,150,4");

    centre::CentreStore again(dir.path().toStdString()); // a restart sees both files
    EXPECT_EQ(again.Take("vfon/v1/s1/frame", frame(0), 3), centre::Ingest::Duplicate);
    EXPECT_EQ(again.Take("vfon/v1/s1/frame", frame(1), 4), centre::Ingest::Duplicate);
}

TEST_F(NetworkTest, TwoStationsReachTheCentreAsTheirExportHasThem)
{
    StartBroker();
    StartCentre();
    QProcess a, b;
    StartStation(a, "st1", 4);
    StartStation(b, "st2", 4);
    Finish(a);
    Finish(b);
    ExpectStoreEqualsExport("st1", EventsIn("st1"));
    ExpectStoreEqualsExport("st2", EventsIn("st2"));
    const QJsonObject row = Row("st1");
    EXPECT_EQ(row.value("state").toString(), "offline"); // the program said goodbye
    EXPECT_EQ(row.value("run_state").toString(), "idle");
    EXPECT_EQ(row.value("centres").toArray().size(), 4);
    // The page as Chromium draws it: a row per station.
    QProcess browser;
    browser.start("chromium", {"--headless", "--no-sandbox", "--disable-gpu", "--virtual-time-budget=5000",
                               "--dump-dom", QString("http://127.0.0.1:%1/").arg(httpPort_)});
    ASSERT_TRUE(browser.waitForFinished(60000));
    const QByteArray dom = browser.readAllStandardOutput();
    EXPECT_TRUE(dom.contains(R"(<tr data-station="st1"><td>st1</td><td class="bad">offline</td>)")) << dom.toStdString();
    EXPECT_TRUE(dom.contains(R"(<tr data-station="st2">)"));
}

TEST_F(NetworkTest, KilledStationShowsOfflineWithinOneAndAHalfKeepAlives)
{
    StartBroker();
    StartCentre();
    QProcess s;
    StartStation(s, "st1", 0);
    ASSERT_TRUE(testing_support::WaitFor([&] { return Row("st1").value("run_state") == "running"; }));
    ::kill(static_cast<pid_t>(s.processId()), SIGKILL);
    s.waitForFinished(5000);
    // The broker gives up on the silent station after one and a half
    // keep-alives and sends its will; on a loaded machine that may come later.
    EXPECT_TRUE(testing_support::WaitFor([&] { return Row("st1").value("state") == "offline"; },
                                         protocol::kKeepAliveSeconds * 1500 + 60000));
}

// A broker that cannot be reached is named once, with the reason, while
// the centre goes on trying; when it comes, the centre says so.
TEST_F(NetworkTest, TheCentreSaysOnceWhyItsBrokerCannotBeReached)
{
    StartCentre();
    QString err;
    auto saw = [&](const QString& text) {
        err += QString::fromUtf8(centre_.readAllStandardError());
        return err.contains(text);
    };
    ASSERT_TRUE(testing_support::WaitFor([&] { return saw("недоступен"); })) << err.toStdString();
    EXPECT_TRUE(err.contains(QString("брокер %1 недоступен: соединение отвергнуто").arg(QString::fromStdString(Broker()))))
        << err.toStdString();
    StartBroker();
    ASSERT_TRUE(testing_support::WaitFor([&] { return saw("связь с брокером есть"); })) << err.toStdString();
    EXPECT_EQ(err.count("недоступен"), 1) << err.toStdString();
}

TEST_F(NetworkTest, BrokerDownAtStartAndMidRunLosesNothing)
{
    // The station starts with no broker; the broker comes, goes and comes
    // back during the run; a restart of the station sends what is left.
    // Each step waits for the run to have gone on by progress lines (a state
    // of the station, not a time): the run on, two lines with the broker
    // up, two with it down, then the station's stop.
    QProcess s;
    StartStation(s, "st1", 0, {"--progress-interval", "1"});
    QByteArray out;
    const auto lines = [&](qsizetype more) {
        const qsizetype want = out.count("точек") + more;
        return testing_support::WaitFor([&] { return (out += s.readAllStandardOutput()).count("точек") >= want; },
                                        60000);
    };
    ASSERT_TRUE(lines(1));
    StartBroker();
    StartCentre();
    ASSERT_TRUE(lines(2));
    StopBroker();
    ASSERT_TRUE(lines(2));
    StartBroker();
    ASSERT_TRUE(lines(2));
    s.terminate();
    Finish(s);
    EXPECT_TRUE(QFileInfo::exists(dir_.filePath("st1/.vfon-outbox")));
    QProcess again;
    StartStation(again, "st1", 2);
    Finish(again);
    ExpectStoreEqualsExport("st1", EventsIn("st1"));
}

// A station started while its broker is down connects when the broker comes
// (libmosquitto's own network thread never tried again after a first
// connection that failed at once; the client's thread does).
TEST_F(NetworkTest, AStationStartedWithoutItsBrokerConnectsWhenItComes)
{
    QProcess s;
    StartStation(s, "st1", 0, {"--progress-interval", "1"});
    QByteArray out;
    ASSERT_TRUE(testing_support::WaitFor([&] { return (out += s.readAllStandardOutput()).contains("точек"); }, 60000));
    StartBroker();
    const qsizetype from = out.size();
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            out += s.readAllStandardOutput();
            const QList<QByteArray> lines = out.mid(from).split('\n');
            return std::any_of(lines.begin(), lines.end() - 1, [](const QByteArray& l) {
                return l.contains("точек") && !l.contains(QStringLiteral("нет связи с центром").toUtf8());
            });
        },
        60000));
    s.terminate();
    Finish(s);
}

TEST_F(NetworkTest, RecordsInRescueFilesReachTheCentreInOrderAfterAnOutageAndARestart)
{
    // The broker is down while the station's files vanish under it: the
    // frame and the next event go to rescue files, which the outbox keeps
    // across the station's restart and publishes once the broker is there.
    const QString folder = dir_.filePath("st1");
    QProcess s;
    QProcessEnvironment often;
    often.insert("LAN10M8SIM_EVENTS_PER_MINUTE", "120");
    StartStation(s, "st1", 0, {"--progress-interval", "1"}, often);
    QByteArray out;
    ASSERT_TRUE(testing_support::WaitFor([&] { return (out += s.readAllStandardOutput()).contains("точек"); }));
    for (const QString& f : QDir(folder).entryList({"*.fon", "*.Rad"}, QDir::Files))
        QFile::remove(folder + "/" + f);
    Finish(s); // an event its file refuses halts the run; the stop rescues what is pending
    const QStringList fon = QDir(folder).entryList({"*.fon"}, QDir::Files), rad = QDir(folder).entryList({"*.Rad"});
    ASSERT_TRUE(fon.size() == 1 && rad.size() == 1) << fon.join(' ').toStdString() << rad.join(' ').toStdString();
    StartBroker();
    StartCentre();
    QProcess again;
    StartStation(again, "st1", 2);
    Finish(again);
    // Every record once; each file's records in their order.
    const auto byFile = [](QStringList lines) {
        std::stable_sort(lines.begin() + (lines.isEmpty() ? 0 : 1), lines.end(),
                         [](const QString& a, const QString& b) { return a.section(',', 0, 0) < b.section(',', 0, 0); });
        return lines;
    };
    const QStringList want = byFile(ExportTrend("st1"));
    const QString trend = Store() + "/st1/trend.csv", events = Store() + "/st1/events.csv";
    testing_support::WaitFor([&] { return Lines(trend).size() >= want.size(); });
    EXPECT_EQ(byFile(Lines(trend)).join('\n').toStdString(), want.join('\n').toStdString());
    EXPECT_TRUE(want.join('\n').contains(fon[0])) << fon[0].toStdString();
    testing_support::WaitFor([&] { return Lines(events).size() == EventsIn("st1") + 1; });
    EXPECT_EQ(Lines(events).size(), EventsIn("st1") + 1);
    EXPECT_TRUE(Lines(events).join('\n').contains(rad[0] + ",0,")) << rad[0].toStdString();
}

TEST_F(NetworkTest, PasswordsAndTheAclKeepAStationToItsOwnTopics)
{
    // The broker set-up of docs/network.md: a password each, stations write their own topics only.
    const QString passwd = dir_.filePath("broker/passwd"), acl = dir_.filePath("broker/acl");
    ASSERT_EQ(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwd, "centre", "centre-pw"}), 0);
    for (const char* user : {"st1", "st2"})
        ASSERT_EQ(QProcess::execute("mosquitto_passwd", {"-b", passwd, user, QString(user) + "-pw"}), 0);
    QFile a(acl);
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.write("user centre\ntopic read vfon/v1/#\n\npattern write vfon/v1/%u/status\n"
            "pattern write vfon/v1/%u/frame\npattern write vfon/v1/%u/event\n");
    a.close();
    StartBroker("allow_anonymous false\npassword_file " + passwd + "\nacl_file " + acl + "\n");
    const QString port = QString::number(port_);
    auto pub = [&](const char* user, const char* topic) {
        return QProcess::execute("mosquitto_pub", {"-h", "127.0.0.1", "-p", port, "-u", user, "-P",
                                                   QString(user) + "-pw", "-q", "1", "-r", "-t", topic, "-m",
                                                   R"({"state":"idle"})"});
    };
    ASSERT_EQ(pub("st1", "vfon/v1/st1/status"), 0);
    pub("st1", "vfon/v1/st2/status"); // another's topic
    pub("anybody", "vfon/v1/st2/frame"); // no such user: refused at connect
    QProcess sub;
    sub.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", port, "-u", "centre", "-P", "centre-pw", "-t", "vfon/v1/#",
                                "-v", "-W", "2"});
    ASSERT_TRUE(sub.waitForFinished(10000));
    const QString seen = QString::fromUtf8(sub.readAllStandardOutput());
    EXPECT_TRUE(seen.contains("vfon/v1/st1/status")) << seen.toStdString() << sub.readAllStandardError().toStdString();
    EXPECT_FALSE(seen.contains("vfon/v1/st2")) << seen.toStdString();
}

} // namespace
