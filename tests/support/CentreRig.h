#pragma once
// A broker, a centre and headless stations for tests of the array: a real
// mosquitto on a free loopback port (its sessions kept on disk across
// restarts), either open to all or set up as the package ships it
// (ShippedBroker.h, every client logging in with its account),
// `vfon-centre` with its store and page, and stations on the simulated
// driver, each in its own folder. Header only: the test target
// that includes it gives MOSQUITTO_PATH, VFON_CENTRE_PATH, VFON_EXPORT_PATH.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/Fixtures.h"
#include "support/Loopback.h"
#include "support/ShippedBroker.h"

namespace testing_support {


/// The body of GET `path` at 127.0.0.1:`port`; empty when nobody answers.
inline QByteArray HttpGet(int port, const char* path)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    QByteArray reply;
    qsizetype body = -1, length = -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string req = std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        (void)!write(fd, req.data(), req.size());
        char buf[65536];
        // Until the whole body is in (the server may keep the connection open).
        for (ssize_t n; (length < 0 || reply.size() < body + length) && (n = read(fd, buf, sizeof buf)) > 0;) {
            reply.append(buf, n);
            if (body < 0 && (body = reply.indexOf("\r\n\r\n")) >= 0) {
                body += 4;
                const qsizetype at = reply.toLower().indexOf("content-length:");
                length = at < 0 ? 0 : reply.mid(at + 15, reply.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            }
        }
    }
    close(fd);
    return body < 0 ? QByteArray() : reply.mid(body);
}

inline QStringList Lines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts);
}

class CentreRig : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        ASSERT_TRUE(dir_.isValid());
        hive_ = dir_.filePath("hive.ini").toStdString();
        testing_support::UsePrivateHive(hive_, SIMDRIVER_PATH);
        port_ = FreePort();
        httpPort_ = FreePort();
        QDir(dir_.path()).mkpath("broker");
        QDir(dir_.path()).mkpath("store"); // the centre refuses a store folder that is not there
    }
    void TearDown() override
    {
        for (QProcess* p : {&centre_, &broker_}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
    std::string Broker() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    /// The broker, its sessions kept on disk across restarts.
    void StartBroker(const QString& extra = "allow_anonymous true\n")
    {
        QFile conf(dir_.filePath("broker/mosquitto.conf"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        // As whoever runs the test: the broker reads files in the test's private folder.
        conf.write(QString("user %3\nlistener %1 127.0.0.1\npersistence true\npersistence_location %2/\nautosave_interval 1\n")
                       .arg(port_)
                       .arg(dir_.filePath("broker"))
                       .arg(getpwuid(getuid())->pw_name)
                       .toUtf8() +
                   extra.toUtf8());
        conf.close();
        broker_.start(MOSQUITTO_PATH, {"-c", conf.fileName()});
        ASSERT_TRUE(broker_.waitForStarted());
        ASSERT_TRUE(testing_support::WaitFor([&] { return Listening(port_); }));
    }
    /// The broker as the package ships it, with accounts for the centre and
    /// the stations `stations`; the centre and the stations started after it
    /// log in with their own. Called again (after a kill), the same broker
    /// starts on the same files.
    void StartShippedBroker(const QStringList& stations = {"st1"})
    {
        if (!shipped_) {
            shipped_ = ShippedBroker{dir_.path(), port_, FreePort()};
            const QString failed = shipped_->Write(QStringList{"centre"} + stations);
            ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();
        }
        broker_.start(MOSQUITTO_PATH, shipped_->Args());
        ASSERT_TRUE(broker_.waitForStarted());
        ASSERT_TRUE(testing_support::WaitFor([&] {
            return (Listening(port_) && Listening(shipped_->TlsPort)) || broker_.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(broker_.state(), QProcess::Running) << ReadText(shipped_->Log()).toStdString();
    }
    /// The options that log `account` in at the shipped broker; none at the open one.
    QStringList Account(const QString& account) const
    {
        if (!shipped_)
            return {};
        return {"--mqtt-user", account, "--mqtt-password-file", shipped_->PasswordFile(account)};
    }
    void StopBroker()
    {
        broker_.terminate();
        ASSERT_TRUE(broker_.waitForFinished(5000));
    }
    /// The centre, with `extra` options after its broker, store and page.
    void StartCentre(const QStringList& extra = {})
    {
        centre_.start(VFON_CENTRE_PATH, QStringList{"--broker", QString::fromStdString(Broker()), "--store", Store(),
                                                    "--http", QString("127.0.0.1:%1").arg(httpPort_)} +
                       Account("centre") + extra);
        ASSERT_TRUE(centre_.waitForStarted());
        ASSERT_TRUE(testing_support::WaitFor([&] { return Listening(httpPort_); }));
    }
    QString Store() const { return dir_.filePath("store"); }
    /// A headless station `id` recording `seconds` (0: until stopped) into its own folder.
    void StartStation(QProcess& p, const QString& id, int seconds, const QStringList& extra = {},
                      const QProcessEnvironment& extraEnv = {})
    {
        QDir(dir_.path()).mkpath(id);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VFON_HIVE", QString::fromStdString(hive_));
        env.insert(extraEnv);
        p.setProcessEnvironment(env);
        p.start(VFON_PATH, QStringList{"--headless", "--seconds", QString::number(seconds), "--data-dir",
                                       dir_.filePath(id), "--publish", QString::fromStdString(Broker()), "--station",
                                       id} + (extra.contains("--mqtt-user") ? QStringList{} : Account(id)) + extra);
        ASSERT_TRUE(p.waitForStarted());
    }
    static void Finish(QProcess& p)
    {
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    /// The lines `vfon-export --trend` writes for the station's files.
    QStringList ExportTrend(const QString& id)
    {
        QProcess e;
        e.setWorkingDirectory(dir_.filePath(id));
        QStringList args = QDir(dir_.filePath(id)).entryList({"*.fon"}, QDir::Files, QDir::Name);
        const QString out = dir_.filePath(id + "-trend.csv");
        args << "--trend" << out;
        e.start(VFON_EXPORT_PATH, args);
        EXPECT_TRUE(e.waitForFinished(30000));
        return Lines(out);
    }
    /// The centre's row of station `id`.
    QJsonObject Row(const QString& id)
    {
        const QJsonObject all = QJsonDocument::fromJson(HttpGet(httpPort_, "/stations.json")).object();
        for (const QJsonValue& v : all.value("stations").toArray())
            if (v.toObject().value("station").toString() == id)
                return v.toObject();
        return {};
    }
    /// Waits until the centre stores what the export gives for station `id`
    /// (each record once), its page answering.
    void ExpectStoreEqualsExport(const QString& id, int64_t events)
    {
        const QStringList want = ExportTrend(id);
        ASSERT_GT(want.size(), 1);
        const QString trend = Store() + "/" + id + "/trend.csv";
        testing_support::WaitFor([&] { return Lines(trend).size() >= want.size(); });
        EXPECT_EQ(Lines(trend), want);
        testing_support::WaitFor([&] { return Lines(Store() + "/" + id + "/events.csv").size() == events + 1; });
        EXPECT_EQ(Lines(Store() + "/" + id + "/events.csv").size(), events + 1);
        EXPECT_FALSE(HttpGet(httpPort_, "/").isEmpty()) << "the page does not answer";
    }
    int64_t EventsIn(const QString& id)
    {
        int64_t n = 0;
        for (const QFileInfo& f : QDir(dir_.filePath(id)).entryInfoList({"*.Rad"}, QDir::Files))
            n += f.size() / 49262;
        return n;
    }

    QTemporaryDir dir_;
    std::string hive_;
    int port_ = 0, httpPort_ = 0;
    QProcess broker_, centre_;
    std::optional<ShippedBroker> shipped_;
};

} // namespace testing_support
