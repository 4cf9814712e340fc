// The broker set-up the package ships (dist/mosquitto/vfon.conf and
// vfon.acl, the certificate recipe of docs/network.md) run as written
// beside Debian's main mosquitto.conf, on free loopback ports: stations
// and the centre connect through it, a station's account cannot take the
// centre's session, and its refusals (a station under another account, a
// wrong password, certificate) are told in words while nothing is lost.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <map>
#include <mutex>
#include <unistd.h>

#include "protocol/Broker.h"
#include "protocol/MqttClient.h"
#include "protocol/MqttReasons.h"
#include "support/CentreRig.h"
#include "support/Fixtures.h"
#include "support/Loopback.h"
#include "support/ShippedBroker.h"

using testing_support::FreePort;
using testing_support::Listening;
using testing_support::ReadText;

namespace {

void WriteText(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

QStringList Lines(const QString& path) { return ReadText(path).split("\r\n", Qt::SkipEmptyParts); }

class BrokerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        ASSERT_TRUE(dir_.isValid());
        hive_ = dir_.filePath("hive.ini").toStdString();
        testing_support::UsePrivateHive(hive_, SIMDRIVER_PATH);
        port_ = FreePort();
        tlsPort_ = FreePort();
        httpPort_ = FreePort();
    }
    void TearDown() override
    {
        for (QProcess* p : {&centre_, &broker_}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
    QString Etc(const QString& name = {}) const { return broker().Etc(name); }
    testing_support::ShippedBroker broker() const { return {dir_.path(), port_, tlsPort_}; }
    /// The set-up the package ships (ShippedBroker.h), with a password each
    /// for the centre and the stations st1, st2.
    void StartBroker()
    {
        const QString failed = broker().Write({"centre", "st1", "st2"});
        ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
        WriteText(dir_.filePath("wrong.password"), "wrong\n");
        broker_.start(MOSQUITTO_PATH, broker().Args());
        ASSERT_TRUE(broker_.waitForStarted());
        ASSERT_TRUE(testing_support::WaitFor([&] { return (Listening(port_) && Listening(tlsPort_)) ||
                                                          broker_.state() == QProcess::NotRunning; }, 10000));
        ASSERT_EQ(broker_.state(), QProcess::Running) << ReadText(broker().Log()).toStdString();
    }
    QString Plain() const { return QString("mqtt://127.0.0.1:%1").arg(port_); }
    void StartCentre(const QString& password = "centre")
    {
        QDir(dir_.path()).mkpath("store"); // the centre takes a store folder set up beforehand
        centre_.start(VFON_CENTRE_PATH, {"--broker", Plain(), "--store", dir_.filePath("store"), "--http",
                                         QString("127.0.0.1:%1").arg(httpPort_), "--mqtt-user", "centre",
                                         "--mqtt-password-file", dir_.filePath(password + ".password")});
        ASSERT_TRUE(centre_.waitForStarted());
    }
    void StopCentre()
    {
        centre_.terminate();
        ASSERT_TRUE(centre_.waitForFinished(5000));
    }
    /// A headless station `id` recording `seconds` into its own folder, a
    /// progress line a second.
    void StartStation(QProcess& p, const QString& id, int seconds, const QStringList& extra,
                      const QProcessEnvironment& extraEnv = {})
    {
        QDir(dir_.path()).mkpath(id);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VFON_HIVE", QString::fromStdString(hive_));
        env.insert(extraEnv);
        p.setProcessEnvironment(env);
        p.start(VFON_PATH, QStringList{"--headless", "--seconds", QString::number(seconds), "--progress-interval",
                                       "1", "--data-dir", dir_.filePath(id), "--station", id} + extra);
        ASSERT_TRUE(p.waitForStarted());
    }
    QStringList Account(const QString& user, const QString& password = {}) const
    {
        return {"--mqtt-user", user, "--mqtt-password-file",
                dir_.filePath((password.isEmpty() ? user : password) + ".password")};
    }
    /// Waits for the end of a station; its stdout and stderr.
    static QString Finish(QProcess& p)
    {
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }
    /// Waits until the centre stores what the export gives for station `id`
    /// (each record once), its page answering.
    void ExpectStoreEqualsExport(const QString& id)
    {
        QProcess e;
        e.setWorkingDirectory(dir_.filePath(id));
        const QString out = dir_.filePath(id + "-trend.csv");
        e.start(VFON_EXPORT_PATH,
                QDir(dir_.filePath(id)).entryList({"*.fon"}, QDir::Files, QDir::Name) + QStringList{"--trend", out});
        ASSERT_TRUE(e.waitForFinished(30000));
        const QStringList want = Lines(out);
        ASSERT_GT(want.size(), 1);
        const QString trend = dir_.filePath("store/" + id + "/trend.csv");
        testing_support::WaitFor([&] { return Lines(trend).size() >= want.size(); });
        EXPECT_EQ(Lines(trend).join("\n").toStdString(), want.join("\n").toStdString());
        int64_t events = 0;
        for (const QFileInfo& f : QDir(dir_.filePath(id)).entryInfoList({"*.Rad"}, QDir::Files))
            events += f.size() / 49262;
        const QString csv = dir_.filePath("store/" + id + "/events.csv");
        testing_support::WaitFor([&] { return Lines(csv).size() == events + 1; });
        EXPECT_EQ(Lines(csv).size(), events + 1);
        ASSERT_TRUE(testing_support::WaitFor([&] { return Listening(httpPort_); }));
        EXPECT_FALSE(testing_support::HttpGet(httpPort_, "/").isEmpty()) << "the page does not answer";
    }

    QTemporaryDir dir_;
    std::string hive_;
    int port_ = 0, tlsPort_ = 0, httpPort_ = 0;
    QProcess broker_, centre_;
};

TEST_F(BrokerTest, ShippedDropInBesideDebiansFileTakesTlsStationsAndNamesCertificateFaults)
{
    StartBroker();
    StartCentre();
    const auto tls = [&](const char* host) { return QString("mqtts://%1:%2").arg(host).arg(tlsPort_); };
    const QString ca = Etc("certs/vfon-ca.crt");
    ASSERT_TRUE(testing_support::RunCertificateRecipe(dir_.filePath("other"), "localhost").isEmpty());
    QProcess good, wrongName, wrongCa;
    StartStation(good, "st1", 3, QStringList{"--publish", tls("localhost"), "--mqtt-cafile", ca} + Account("st1"));
    // The certificate names localhost, not the address; another CA signed the second's.
    StartStation(wrongName, "st2", 2, QStringList{"--publish", tls("127.0.0.1"), "--mqtt-cafile", ca} + Account("st2"));
    StartStation(wrongCa, "st3", 2,
                 QStringList{"--publish", tls("localhost"), "--mqtt-cafile", dir_.filePath("other/vfon-ca.crt")} +
                     Account("st2"));
    Finish(good);
    EXPECT_TRUE(Finish(wrongName).contains("нет связи с центром: имя в сертификате брокера не совпадает с его адресом"));
    EXPECT_TRUE(Finish(wrongCa).contains("нет связи с центром: сертификат брокера не подписан УЦ из --mqtt-cafile"));
    ExpectStoreEqualsExport("st1");
}

// A station's account writes its own topics, whole records included, and
// nothing else: no other station's, and no receipt, not even its own, so no
// station can free records the centre has not stored.
TEST_F(BrokerTest, AStationWritesOnlyItsOwnTopicsAndNoReceipt)
{
    StartBroker();
    protocol::MqttClient st1("st1", true);
    st1.SetCredentials("st1", "st1-pw");
    std::mutex lock;
    std::map<int, int> answers; // message id → the broker's reason code
    st1.OnPublished = [&](int mid, int code) {
        std::lock_guard<std::mutex> hold(lock);
        answers[mid] = code;
    };
    st1.Start("127.0.0.1", port_, protocol::kKeepAliveSeconds);
    ASSERT_TRUE(testing_support::WaitFor([&] { return st1.Connected(); }));
    const std::map<std::string, bool> allowed = {
        {"vfon/v1/st1/status", true},   {"vfon/v1/st1/frame", true},    {"vfon/v1/st1/event", true},
        {"vfon/v1/st1/record", true},   {"vfon/v1/st1/receipt", false}, {"vfon/v1/st2/receipt", false},
        {"vfon/v1/st2/frame", false},   {"vfon/v1/st1/other", false},
    };
    std::map<int, std::string> sent;
    const char payload[] = R"({"station":"st1","stored":{"1_1_0_0.fon":100}})";
    for (const auto& [topic, ok] : allowed) {
        const int mid = st1.Publish(topic, payload, int(sizeof payload - 1), 1, false);
        ASSERT_GE(mid, 0) << topic;
        sent[mid] = topic;
    }
    ASSERT_TRUE(testing_support::WaitFor([&] {
        std::lock_guard<std::mutex> hold(lock);
        return answers.size() >= allowed.size();
    }));
    st1.Stop();
    for (const auto& [mid, topic] : sent)
        EXPECT_EQ(answers.at(mid) < protocol::kFirstRefusal, allowed.at(topic)) << topic << " " << answers.at(mid);
}

TEST_F(BrokerTest, AStationAccountCannotTakeTheCentresSession)
{
    StartBroker();
    StartCentre(); // its session, kept while it is away
    QByteArray log;
    ASSERT_TRUE(testing_support::WaitFor(
        [&] { return (log += centre_.readAllStandardError()).contains("связь с брокером есть"); }));
    StopCentre();
    QProcess s;
    StartStation(s, "st1", 3, QStringList{"--publish", Plain()} + Account("st1"));
    Finish(s);
    // A station's account asks for the centre's client ID and a kept session.
    QProcess thief;
    thief.start("mosquitto_sub", {"-h", "127.0.0.1", "-p", QString::number(port_), "-u", "st1", "-P", "st1-pw", "-i",
                                  "vfon-centre", "-c", "-q", "1", "-t", "vfon/v1/#", "-E"});
    ASSERT_TRUE(thief.waitForFinished(10000));
    StartCentre();
    ExpectStoreEqualsExport("st1");
}

TEST_F(BrokerTest, StationUnderAnotherAccountIsToldWhyAndKeepsItsRecordsTillSetRight)
{
    StartBroker();
    StartCentre();
    // The service manager's end of NOTIFY_SOCKET, for the service status.
    const std::string notify = dir_.filePath("notify").toStdString();
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", notify.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    QProcessEnvironment env;
    env.insert("NOTIFY_SOCKET", QString::fromStdString(notify));
    env.insert("WATCHDOG_USEC", "1000000");
    QProcess wrong, wrongPassword;
    StartStation(wrong, "st2", 3, QStringList{"--publish", Plain()} + Account("st1"), env);
    StartStation(wrongPassword, "st1", 2, QStringList{"--publish", Plain()} + Account("st1", "wrong"));
    const QString why = "брокер не принимает данные станции st2: правила доступа брокера не разрешают эту тему (код 0x87)";
    const QString said = Finish(wrong);
    EXPECT_TRUE(said.contains("  " + why + "\n")) << said.toStdString(); // on the progress line
    QString statuses;
    char buf[1024];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0;)
        statuses += QString::fromUtf8(buf, static_cast<int>(n));
    close(fd);
    EXPECT_TRUE(statuses.contains(why)) << statuses.toStdString();
    EXPECT_TRUE(Finish(wrongPassword).contains("нет связи с центром: брокер не пустил: неверное имя пользователя или пароль"));
    // Nothing was taken: every file of the run with records is in the outbox, none acknowledged.
    const QStringList outbox = ReadText(dir_.filePath("st2/.vfon-outbox")).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(outbox.filter(QRegularExpression("^0\t.*\\.fon$")).size(), 1) << outbox.join('|').toStdString();
    EXPECT_EQ(outbox.filter(QRegularExpression("^0\t")).size(), outbox.size()) << outbox.join('|').toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir_.filePath("store/st2/trend.csv")));
    // The centre under a wrong password says so, once however often it tries.
    StopCentre();
    const QString brokerLog = broker().Log();
    const qsizetype refusals = ReadText(brokerLog).count("not authorised");
    StartCentre("wrong");
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return ReadText(brokerLog).count("not authorised") >= refusals + 2; }, 10000));
    const QByteArray log = centre_.readAllStandardError();
    EXPECT_EQ(log.count("брокер: брокер не пустил: неверное имя пользователя или пароль (код 0x87)"), 1) << log.toStdString();
    StopCentre();
    StartCentre();
    // Set right, the station sends everything, the refused run's records first.
    QProcess right;
    StartStation(right, "st2", 2, QStringList{"--publish", Plain()} + Account("st2"));
    Finish(right);
    ExpectStoreEqualsExport("st2");
}

} // namespace
