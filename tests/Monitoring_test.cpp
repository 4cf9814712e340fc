// The centre as the operators' Prometheus sees it: a real Prometheus on a
// free loopback port scrapes the centre that two simulated stations feed
// through a real mosquitto, and the shipped alert rules (with short `for:`)
// fire for a station killed without a word.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <csignal>

#include "protocol/Broker.h"
#include "support/CentreRig.h"

namespace {

using testing_support::FreePort;
using testing_support::Listening;
using testing_support::WaitFor;

class MonitoringTest : public testing_support::CentreRig {
protected:
    void TearDown() override
    {
        for (QProcess* p : {&prometheus_, &st1_, &st2_}) {
            p->kill();
            p->waitForFinished(5000);
        }
        CentreRig::TearDown();
    }
    /// The shipped rules with every `for:` cut to a second.
    QString ShortRules()
    {
        QFile in(VFON_SOURCE_DIR "/dist/prometheus/vfon-alerts.yml");
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QString rules = QString::fromUtf8(in.readAll());
        rules.replace(QRegularExpression("for: \\d+[smh]"), "for: 1s");
        const QString path = dir_.filePath("rules.yml");
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(rules.toUtf8());
        return path;
    }
    void StartPrometheus()
    {
        promPort_ = FreePort();
        QFile conf(dir_.filePath("prometheus.yml"));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QString("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                           "rule_files:\n  - %1\n"
                           "scrape_configs:\n  - job_name: vfon-centre\n    static_configs:\n"
                           "      - targets: ['127.0.0.1:%2']\n")
                       .arg(ShortRules())
                       .arg(httpPort_)
                       .toUtf8());
        conf.close();
        prometheus_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        prometheus_.setStandardErrorFile(dir_.filePath("prometheus.log"));
        prometheus_.start(PROMETHEUS_PATH, {"--config.file=" + conf.fileName(),
                                            "--storage.tsdb.path=" + dir_.filePath("tsdb"),
                                            QString("--web.listen-address=127.0.0.1:%1").arg(promPort_)});
        ASSERT_TRUE(prometheus_.waitForStarted());
        ASSERT_TRUE(WaitFor([&] { return Listening(promPort_); }, 60000));
    }
    /// The instant query's result vector.
    QJsonArray Query(const QString& promql)
    {
        const QByteArray path = "/api/v1/query?query=" + QUrl::toPercentEncoding(promql);
        return QJsonDocument::fromJson(testing_support::HttpGet(promPort_, path.constData()))
            .object()
            .value("data")
            .toObject()
            .value("result")
            .toArray();
    }
    /// The value of the series of `station` in `result`, or "" when none.
    static QString ValueOf(const QJsonArray& result, const QString& station)
    {
        for (const QJsonValue& v : result)
            if (v.toObject().value("metric").toObject().value("station").toString() == station)
                return v.toObject().value("value").toArray().at(1).toString();
        return {};
    }

    QProcess prometheus_, st1_, st2_;
    int promPort_ = 0;
};

TEST_F(MonitoringTest, PrometheusSeesEachStationAndAlertsOnAKilledOne)
{
    StartBroker();
    StartCentre();
    StartStation(st1_, "st1", 0);
    StartStation(st2_, "st2", 0);
    StartPrometheus();

    // Each station up, with the live time of each of its boards.
    EXPECT_TRUE(WaitFor(
        [&] {
            const QJsonArray up = Query("vfon_station_up");
            return ValueOf(up, "st1") == "1" && ValueOf(up, "st2") == "1";
        },
        60000))
        << Query("vfon_station_up").size();
    QJsonArray live;
    ASSERT_TRUE(WaitFor(
        [&] {
            live = Query("vfon_station_live_time_ratio");
            // A station's first status may come before its boards' first
            // cycle (a live time of 0 on a busy machine): wait for one after.
            return live.size() == 4 && std::all_of(live.begin(), live.end(), [](const QJsonValue& v) {
                       return v.toObject().value("value").toArray().at(1).toString().toDouble() > 0;
                   });
        },
        60000))
        << QJsonDocument(live).toJson().toStdString();
    for (const QJsonValue& v : live) {
        const double ratio = v.toObject().value("value").toArray().at(1).toString().toDouble();
        EXPECT_GT(ratio, 0);
        EXPECT_LE(ratio, 1);
    }

    ::kill(static_cast<pid_t>(st1_.processId()), SIGKILL);
    // The will comes after one and a half keep-alives (or the status goes
    // stale); then the rule fires for st1 and for st1 only.
    const QString firing = R"(ALERTS{alertname="VfonStationDown",alertstate="firing"})";
    EXPECT_TRUE(WaitFor([&] { return ValueOf(Query(firing), "st1") == "1"; },
                        protocol::kKeepAliveSeconds * 1500 + 120000));
    EXPECT_EQ(ValueOf(Query(firing), "st2"), "");
    EXPECT_EQ(ValueOf(Query("vfon_station_up"), "st2"), "1");
}

TEST(AlertRules, ShippedRulesPassPromtool)
{
    QProcess p;
    p.start(PROMTOOL_PATH, {"check", "rules", VFON_SOURCE_DIR "/dist/prometheus/vfon-alerts.yml"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAll().toStdString();
}

} // namespace
