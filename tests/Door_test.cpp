// The centre's door: impossible values refused with reasons that name the
// field and never stored, ages told by the centre's clock, and the bound
// of stations kept against a flood of strangers under a descriptor limit,
// through a real mosquitto.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <sys/resource.h>

#include "centre/CentreStore.h"
#include "centre/StationsView.h"
#include "protocol/Broker.h"
#include "protocol/Inbound.h"
#include "protocol/Messages.h"
#include "protocol/MqttClient.h"
#include "support/SampleFiles.h"
#include "support/SpectrumFiles.h"

#include "support/CentreRig.h"

namespace {

using testing_support::CentreRig;
using testing_support::Lines;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QByteArray GoodFrame(const std::string& id, int record)
{
    return protocol::FrameJson(id, "8_12_10_5.fon", record, *testing_support::RealisticRecord(record), false);
}

QByteArray GoodEvent(const std::string& id, int record)
{
    return protocol::EventJson(id, "8_12_10_5.Rad", record, *testing_support::MakeRadEvent(int16_t(record + 1)));
}

QByteArray GoodStatus(const std::string& id, int64_t timeNs)
{
    protocol::StatusFigures f;
    f.Station = id;
    f.TimeNs = timeNs;
    f.State = "running";
    f.FonFile = "8_12_10_5.fon";
    f.RadFile = "8_12_10_5.Rad";
    f.LiveTime = {99.5, 99.2};
    f.PulsesPerS = {10, 11, 12, 13};
    f.DiskFreeBytes = int64_t{50} << 30;
    f.ClockSynced = true;
    return protocol::StatusJson(f);
}

/// `json` with the value of `key` replaced by the raw text `value` (which
/// need not be JSON a writer would make: 1e999, a line break in a string).
QByteArray With(QByteArray json, const char* key, const QByteArray& value)
{
    const QByteArray tag = QByteArray("\"") + key + "\":";
    const qsizetype at = json.indexOf(tag) + tag.size();
    qsizetype end = at;
    if (json[at] == '[')
        end = json.indexOf(']', at) + 1;
    else if (json[at] == '"')
        end = json.indexOf('"', at + 1) + 1;
    else
        while (json[end] != ',' && json[end] != '}')
            ++end;
    return json.replace(at, end - at, value);
}

/// A message no station of this system can send; `field` is named by the
/// refusal, or empty where the text is not JSON at all.
struct Impossible {
    const char* kind;
    const char* field;
    QByteArray payload;
};

std::vector<Impossible> ImpossibleMessages(const std::string& id)
{
    const QByteArray frame = GoodFrame(id, 5), event = GoodEvent(id, 5), status = GoodStatus(id, NowNs());
    return {
        {"frame", "points", With(frame, "points", "-1")},
        {"frame", "mean_rate", With(frame, "mean_rate", "[1e308,1,1,1]")},
        {"frame", "b", With(frame, "b", "[1,1,1,1e308]")},
        {"frame", "kadr_no", With(frame, "kadr_no", "-40000")},
        {"frame", "start", With(frame, "start", "\"=HYPERLINK(\\\"x\\\")\"")},
        {"frame", "start", With(frame, "start", "\"2026-12-06T10:00:30.000\\n=1+2\"")},
        {"frame", "start_ns", With(frame, "start_ns", "-1e308")},
        {"frame", "file", With(frame, "file", "\"=cmd.fon\"")},
        {"frame", "", With(frame, "b", "[1,1,1,1e999]")},
        {"frame", "", With(frame, "b", "[1,1,1,NaN]")},
        {"event", "event_no", With(event, "event_no", "70000")},
        {"event", "event_no", With(event, "event_no", "-1e308")},
        {"event", "peak", With(event, "peak", "[-1,0,0,0,0,0]")},
        {"event", "time_utc", With(event, "time_utc", "\"2026-12-06T09:05:30.250Z\\r\\n@SUM(A1)\"")},
        {"event", "file", With(event, "file", "\"x y.Rad\"")},
        {"event", "", With(event, "time_ns", "-Infinity")},
        {"status", "frames", With(status, "frames", "-5")},
        {"status", "points", With(status, "points", "-1")},
        {"status", "live_time", With(status, "live_time", "[1e308,0]")},
        {"status", "time_utc", With(status, "time_utc", "\"вчера\"")},
        {"status", "fon_file", With(status, "fon_file", "\"../x.fon\"")},
        {"status", "8 КБ", With(status, "version", "\"" + QByteArray(9000, 'v') + "\"")},
    };
}

std::string Topic(const std::string& id, const char* kind) { return "vfon/v1/" + id + "/" + kind; }

TEST(Door, ImpossibleValuesAreRefusedNamingTheFieldAndWhatStationsSendIsTaken)
{
    for (const Impossible& c : ImpossibleMessages("s1")) {
        const protocol::Inbound in = protocol::Decode(Topic("s1", c.kind), c.payload);
        ASSERT_TRUE(std::holds_alternative<protocol::Refusal>(in)) << c.payload.toStdString();
        EXPECT_NE(std::get<protocol::Refusal>(in).Reason.find(c.field), std::string::npos)
            << std::get<protocol::Refusal>(in).Reason << " / " << c.payload.toStdString();
    }
    // A station's own messages, a will, a station of the earlier version
    // and a 16-bit event counter that has wrapped are all taken.
    const QByteArray taken[][2] = {
        {"frame", GoodFrame("s1", 3)},
        {"event", GoodEvent("s1", 3)},
        {"event", With(GoodEvent("s1", 3), "event_no", "-32768")},
        {"status", GoodStatus("s1", NowNs())},
        {"status", protocol::WillJson("s1")},
        {"frame", R"({"station":"s1","file":"1_1_0_0.fon","record":1,"start":"2026-01-01T00:00:00.000","points":600,)"
                  R"("mean_rate":[1,2,3,4],"centre":[1,2,3,4],"b":[1,2,3,4]})"},
    };
    for (const auto& [kind, payload] : taken)
        EXPECT_FALSE(std::holds_alternative<protocol::Refusal>(protocol::Decode(Topic("s1", kind.constData()), payload)))
            << payload.toStdString();
}

TEST(Door, StaleIsTheCentresThirtySecondsWhateverTheStationsClock)
{
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    const int64_t t0 = NowNs(), s = 1000000000;
    store.Take(Topic("slow", "status"), GoodStatus("slow", t0 - 300 * s), t0);  // 5 minutes slow
    store.Take(Topic("fast", "status"), GoodStatus("fast", t0 + 3600 * s), t0);  // an hour fast
    store.Take(Topic("kept", "status"), GoodStatus("kept", t0 - 1 * s), t0, true); // handed on at a connection
    const auto rows = [&](int64_t at) {
        std::map<QString, QJsonObject> out;
        const QJsonObject all = QJsonDocument::fromJson(centre::StationsJson(store, at)).object();
        for (const QJsonValue& v : all.value("stations").toArray())
            out[v.toObject().value("station").toString()] = v.toObject();
        return out;
    };
    auto now = rows(t0 + 29 * s);
    EXPECT_EQ(now["slow"].value("state"), "online");
    EXPECT_EQ(now["slow"].value("clock_offset_s").toDouble(), -300);
    EXPECT_TRUE(now["slow"].value("bad").toArray().contains("clock_offset_s"));
    EXPECT_EQ(now["fast"].value("state"), "online");
    EXPECT_EQ(now["kept"].value("state"), QStringLiteral("нет данных"));
    EXPECT_TRUE(now["kept"].value("clock_offset_s").isNull());
    now = rows(t0 + 31 * s);
    EXPECT_EQ(now["slow"].value("state"), QStringLiteral("нет данных"));
    EXPECT_EQ(now["fast"].value("state"), QStringLiteral("нет данных"));
}

class DoorTest : public CentreRig {
protected:
    /// A client that publishes as stations would (anonymous at the test
    /// broker), once the centre listens: what comes before its subscription
    /// is lost or, retained, comes as a kept message. Station "ready" tells.
    void Connect()
    {
        client_.Start("127.0.0.1", port_, protocol::kKeepAliveSeconds);
        ASSERT_TRUE(testing_support::WaitFor([&] { return client_.Connected(); }, 60000));
        ASSERT_TRUE(testing_support::WaitFor(
            [&] {
                Publish(Topic("ready", "status"), GoodStatus("ready", NowNs()));
                return !Row("ready").isEmpty();
            },
            60000));
    }
    void Publish(const std::string& topic, const QByteArray& payload, bool retain = false)
    {
        ASSERT_GE(client_.Publish(topic, payload.constData(), int(payload.size()), 1, retain), 0);
    }
    QJsonObject Page() { return QJsonDocument::fromJson(testing_support::HttpGet(httpPort_, "/stations.json")).object(); }
    /// Waits until the page counts `n` refusals in all.
    void WaitRefused(int64_t n)
    {
        testing_support::WaitFor([&] { return Page().value("refused_total").toInteger() >= n; }, 180000);
        EXPECT_EQ(Page().value("refused_total").toInteger(), n);
    }
    void TearDown() override
    {
        client_.Stop();
        CentreRig::TearDown();
    }

    protocol::MqttClient client_{"door-test", true};
};

TEST_F(DoorTest, ImpossibleValuesThroughTheBrokerAreCountedPerReasonAndNeverStored)
{
    StartBroker();
    StartCentre();
    Connect();
    Publish(Topic("s1", "frame"), GoodFrame("s1", 0));
    Publish(Topic("s1", "event"), GoodEvent("s1", 0));
    const std::vector<Impossible> bad = ImpossibleMessages("s1");
    for (const Impossible& c : bad)
        Publish(Topic("s1", c.kind), c.payload);
    Publish(Topic("s1", "frame"), GoodFrame("s1", 1));
    WaitRefused(int64_t(bad.size()));
    ASSERT_TRUE(testing_support::WaitFor([&] { return Row("s1").value("frames_stored").toInteger() == 2; }, 60000));

    EXPECT_EQ(Lines(Store() + "/s1/trend.csv").size(), 1 + 2 * kFonChannels);
    EXPECT_EQ(Lines(Store() + "/s1/events.csv").size(), 2);
    const QJsonObject refused = Page().value("refused").toObject();
    EXPECT_EQ(refused.value(QStringLiteral("недопустимое поле «points»")).toInteger(), 2); // a frame, a status
    EXPECT_EQ(refused.value(QStringLiteral("недопустимое поле «event_no»")).toInteger(), 2);
    EXPECT_EQ(refused.value(QStringLiteral("состояние больше 8 КБ")).toInteger(), 1);
    EXPECT_EQ(Row("s1").value("refused").toInteger(), int64_t(bad.size()));
}

TEST_F(DoorTest, ASlowClockIsNotStaleAndAStatusKeptByTheBrokerIsNotHeard)
{
    StartBroker();
    StartCentre();
    Connect();
    Publish(Topic("slow", "status"), GoodStatus("slow", NowNs() - int64_t{300} * 1000000000), true);
    ASSERT_TRUE(testing_support::WaitFor([&] { return !Row("slow").isEmpty(); }, 60000));
    QJsonObject row = Row("slow");
    EXPECT_EQ(row.value("state"), "online");
    EXPECT_NEAR(row.value("clock_offset_s").toDouble(), -300, 30);
    EXPECT_TRUE(row.value("bad").toArray().contains("clock_offset_s"));

    // A centre started afresh gets the kept status at its connection: the
    // station has not been heard since.
    centre_.terminate();
    ASSERT_TRUE(centre_.waitForFinished(60000));
    StartCentre({"--client-id", "vfon-centre-2"});
    ASSERT_TRUE(testing_support::WaitFor([&] { return !Row("slow").isEmpty(); }, 60000));
    row = Row("slow");
    EXPECT_EQ(row.value("state"), QStringLiteral("нет данных"));
    EXPECT_TRUE(row.value("clock_offset_s").isNull());
}

TEST_F(DoorTest, StrangersBeyondTheBoundAndOversizedStatusesLeaveTheCentreAnsweringAndStoring)
{
    // Every message kept for the centre: a flood must reach the door.
    StartBroker("allow_anonymous true\nmax_queued_messages 0\n");
    StartCentre(); // the default bound: 1000 stations
    // The descriptor limit of a service's default: 600 stations that write
    // must not use it up, the bound must keep the centre inside it.
    const rlimit limit{1024, 1024};
    ASSERT_EQ(prlimit(pid_t(centre_.processId()), RLIMIT_NOFILE, &limit, nullptr), 0);
    Connect();
    Publish(Topic("real", "status"), GoodStatus("real", NowNs()));
    Publish(Topic("real", "frame"), GoodFrame("real", 0));
    ASSERT_TRUE(testing_support::WaitFor([&] { return Row("real").value("frames_stored").toInteger() == 1; }, 60000));

    const int bound = 1000, strangers = 1100, writing = 600, oversized = 3000;
    for (int i = 0; i < strangers; ++i) {
        const std::string id = "fake" + std::to_string(i);
        Publish(Topic(id, "status"), GoodStatus(id, NowNs()));
        if (i < writing)
            Publish(Topic(id, "frame"), GoodFrame(id, 0));
    }
    const QByteArray big = "\"" + QByteArray(60 * 1024, 'x') + "\"";
    for (int i = 0; i < oversized; ++i) {
        const std::string id = "big" + std::to_string(i);
        Publish(Topic(id, "status"), With(GoodStatus(id, NowNs()), "version", big));
    }
    Publish(Topic("real", "frame"), GoodFrame("real", 1));
    const int beyond = strangers - (bound - 2); // "ready" and "real" came first
    WaitRefused(beyond + oversized);
    ASSERT_TRUE(testing_support::WaitFor([&] { return Row("real").value("frames_stored").toInteger() == 2; }, 180000));

    const QJsonObject page = Page();
    EXPECT_EQ(page.value("stations").toArray().size(), bound);
    EXPECT_EQ(page.value("refused").toObject().value(QStringLiteral("станций больше предела --max-stations")).toInteger(), beyond);
    EXPECT_EQ(page.value("refused").toObject().value(QStringLiteral("состояние больше 8 КБ")).toInteger(), oversized);
    EXPECT_EQ(Lines(Store() + "/real/trend.csv").size(), 1 + 2 * kFonChannels);
    // The frame of every station that wrote one, sent before the real one's second.
    int written = 0;
    for (int i = 0; i < writing; ++i)
        written += Lines(Store() + QString("/fake%1/trend.csv").arg(i)).size() == 1 + kFonChannels;
    EXPECT_EQ(written, writing);
    EXPECT_FALSE(testing_support::HttpGet(httpPort_, "/").isEmpty());
    EXPECT_EQ(centre_.state(), QProcess::Running);
}

} // namespace
