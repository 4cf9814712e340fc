// The centre's web front and /metrics: what a browser, a scraper or a
// stranger holding connections open meets at the centre's port.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <mutex>
#include <set>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "centre/CentreRoutes.h"
#include "centre/CentreSnapshot.h"
#include "centre/HttpFront.h"
#include "centre/Metrics.h"
#include "support/Fixtures.h"

namespace {

constexpr int64_t kNow = int64_t{1796000000} * 1000000000;

int Connect(quint16 port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    return fd;
}

void Send(int fd, const std::string& text)
{
    ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
}

/// What arrives on `fd` until `marker` has come `count` times or, with no
/// marker, until the peer closes (then `closed` is set); 60 s at most.
std::string Read(int fd, const std::string& marker = {}, int count = 1, bool* closed = nullptr)
{
    std::string got;
    char buf[4096];
    auto seen = [&] {
        int n = 0;
        for (size_t at = got.find(marker); !marker.empty() && at != std::string::npos; at = got.find(marker, at + 1))
            ++n;
        return n;
    };
    for (pollfd p{fd, POLLIN, 0}; (marker.empty() || seen() < count) && poll(&p, 1, 60000) > 0;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            if (closed)
                *closed = true; // an end or a reset
            break;
        }
        got.append(buf, size_t(n));
    }
    return got;
}

std::string ReadToClose(int fd, bool* closed = nullptr) { return Read(fd, {}, 1, closed); }

class FrontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        front_ = std::make_unique<centre::HttpFront>([](const QString& path, const QString& query) {
            centre::HttpReply r;
            r.Body = ("path=" + path + " query=" + query + " END").toUtf8();
            return r;
        });
        port_ = front_->Listen(QHostAddress::LocalHost, 0);
        ASSERT_NE(port_, 0);
    }
    std::unique_ptr<centre::HttpFront> front_;
    quint16 port_ = 0;
};

TEST_F(FrontTest, GetHeadAndKeepAliveAnsweredOtherMethodsRefused)
{
    const int fd = Connect(port_);
    // Two requests on one connection, the first a HEAD: its headers give the
    // GET's length, yet no body follows, so the second answer starts at once.
    Send(fd, "HEAD /a%20b?x=1 HTTP/1.1\r\nHost: c\r\n\r\nGET /z HTTP/1.1\r\nHost: c\r\n\r\n");
    const std::string two = Read(fd, "HTTP/1.1 200 OK", 2);
    EXPECT_EQ(two.find("path="), two.rfind("path=")) << two;
    EXPECT_NE(two.find("Content-Length: 23\r\n"), std::string::npos) << two; // "path=/a b query=x=1 END"
    EXPECT_NE(two.find("path=/z query= END"), std::string::npos) << two;

    Send(fd, "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
    bool closed = false;
    const std::string refused = ReadToClose(fd, &closed);
    EXPECT_EQ(refused.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u) << refused;
    EXPECT_NE(refused.find("Allow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_TRUE(closed);
    close(fd);

    for (const char* bad : {"GARBAGE\r\n\r\n", "GET / SPDY/3\r\n\r\n"}) {
        const int b = Connect(port_);
        Send(b, bad);
        EXPECT_EQ(ReadToClose(b).rfind("HTTP/1.1 400", 0), 0u) << bad;
        close(b);
    }
    const int big = Connect(port_);
    Send(big, "GET / HTTP/1.1\r\nX: " + std::string(centre::HttpFront::kMaxHead, 'a'));
    EXPECT_EQ(ReadToClose(big).rfind("HTTP/1.1 431", 0), 0u);
    close(big);
}

TEST_F(FrontTest, HalfSentRequestIsClosedAndTheFrontStillAnswers)
{
    const int slow = Connect(port_);
    Send(slow, "GET / HT");
    bool closed = false;
    EXPECT_EQ(ReadToClose(slow, &closed), "");
    EXPECT_TRUE(closed) << "a half-sent request must not hold its connection";
    close(slow);

    const int fd = Connect(port_);
    Send(fd, "GET /after HTTP/1.0\r\n\r\n");
    EXPECT_NE(ReadToClose(fd).find("path=/after"), std::string::npos);
    close(fd);
}

TEST_F(FrontTest, ConnectionsPastTheBoundCloseTheOldest)
{
    std::vector<int> fds;
    for (int i = 0; i < centre::HttpFront::kMaxConnections + 1; ++i) {
        fds.push_back(Connect(port_));
        // Each is answered, so the front has taken it before the next comes.
        Send(fds.back(), "GET /" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
        ASSERT_NE(Read(fds.back(), " END").find(" END"), std::string::npos) << i;
    }
    bool closed = false;
    ReadToClose(fds.front(), &closed);
    EXPECT_TRUE(closed) << "the oldest connection is closed to make room";
    Send(fds.back(), "GET /last HTTP/1.1\r\n\r\n");
    EXPECT_NE(Read(fds.back(), "path=/last").find("path=/last"), std::string::npos);
    for (int fd : fds)
        close(fd);
}

centre::StationInfo Station(const std::string& id, int64_t ageS)
{
    centre::StationInfo s;
    s.Id = id;
    s.StatusNs = kNow - ageS * 1000000000;
    s.HeardNs = s.StatusNs;
    s.Status = QJsonObject{{"state", "running"},
                           {"live_time", QJsonArray{87.5, 92.0}},
                           {"cycles_per_s", 4.0},
                           {"pulses_per_s", QJsonArray{10.0, 11.0, QJsonValue(), 13.0}},
                           {"disk_free_bytes", 5000000000.0},
                           {"clock_synced", false}};
    s.HasClockOffset = true;
    s.ClockOffsetNs = -2500000000;
    s.HasFrame = true;
    s.Centres = {210, 220, std::nan(""), 240};
    s.Slopes = {-1.5, -1.6, std::nan(""), -1.7};
    s.Frames = 12;
    s.Events = 34;
    return s;
}

/// promtool's verdict on `text` and what it said.
std::pair<int, std::string> PromtoolCheck(const QByteArray& text)
{
    QProcess p;
    p.start(PROMTOOL_PATH, {"check", "metrics"});
    p.waitForStarted();
    p.write(text);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), (p.readAllStandardOutput() + p.readAllStandardError()).toStdString()};
}

TEST(Metrics, ExpositionPassesPromtoolAndCarriesEachStationsFigures)
{
    centre::CentreSnapshot snap;
    snap.Stations = {Station("st-1", 2), Station("st-2", 600)};
    centre::StationInfo never;
    never.Id = "st-3"; // heard of (a refused message) but no status yet
    snap.Stations.push_back(never);
    snap.Counters.Taken = 77;
    snap.RefusedByReason = {{"поле \"time_ns\" не число\\", 2}, {"слишком длинное", 1}};
    const QByteArray text = centre::MetricsText(snap, kNow);

    const auto [rc, said] = PromtoolCheck(text);
    EXPECT_EQ(rc, 0) << said << "\n" << text.toStdString();
    EXPECT_EQ(said, "") << text.toStdString();

    const std::string t = text.toStdString();
    for (const char* line : {"vfon_station_up{station=\"st-1\"} 1\n", "vfon_station_up{station=\"st-2\"} 0\n",
                             "vfon_station_state{station=\"st-2\",state=\"stale\"} 1\n",
                             "vfon_station_state{station=\"st-3\",state=\"stale\"} 1\n",
                             "vfon_station_status_age_seconds{station=\"st-2\"} 600\n",
                             "vfon_station_live_time_ratio{station=\"st-1\",board=\"1\"} 0.875\n",
                             "vfon_station_pulses_per_second{station=\"st-1\",channel=\"4\"} 13\n",
                             "vfon_station_clock_synced{station=\"st-1\"} 0\n",
                             "vfon_station_clock_offset_seconds{station=\"st-1\"} -2.5\n",
                             "vfon_station_peak_centre{station=\"st-1\",channel=\"2\"} 220\n",
                             "vfon_station_spectrum_slope{station=\"st-1\",channel=\"4\"} -1.7\n",
                             "vfon_station_records_stored_total{station=\"st-1\",kind=\"event\"} 34\n",
                             "vfon_centre_messages_taken_total 77\n",
                             "vfon_centre_messages_refused_total{reason=\"поле \\\"time_ns\\\" не число\\\\\"} 2\n"})
        EXPECT_NE(t.find(line), std::string::npos) << line;
    // What a station did not send is left out, not shown as a number.
    EXPECT_EQ(t.find("channel=\"3\""), std::string::npos);
    EXPECT_EQ(t.find("vfon_station_status_age_seconds{station=\"st-3\"}"), std::string::npos);
    // Counters the centre does not keep are not claimed to be zero.
    EXPECT_EQ(t.find("vfon_centre_store_errors_total"), std::string::npos);
    snap.Counters.StoreErrors = 3;
    EXPECT_NE(centre::MetricsText(snap, kNow).indexOf("vfon_centre_store_errors_total 3\n"), -1);
}

/// Frame messages of station `id`: frames `first`.. `first` + `n`, 150 s
/// apart from 1 Dec 2026.
void FeedFrames(centre::CentreStore& store, const std::string& id, int n, int first = 0)
{
    const QDateTime start(QDate(2026, 12, 1), QTime(0, 0), Qt::UTC);
    for (int i = first; i < first + n; ++i) {
        const QDateTime t = start.addSecs(int64_t{150} * i);
        const int centre = i == 2000 ? 140 : 67 + (i / 300) % 2; // one frame far off
        const double live = 0.9 + 0.05 * ((i / 300) % 2);         // of the wall time
        store.Take("vfon/v1/" + id + "/frame",
                   QString(R"({"station":"%1","file":"1_12_0_0.fon","record":%2,"kadr_no":%3,"start":"%4",)"
                           R"("start_utc":"%4Z","start_ns":%5,"points":600,"mean_rate":[28.1,16.1,43.7,11.6],)"
                           R"("centre":[%6,58,79,54],"b":[-5.5,-4.7,-5.9,-7.2],"mean_per_s":[%7,%8,0,0]})")
                       .arg(QString::fromStdString(id))
                       .arg(i)
                       .arg(i + 1)
                       .arg(t.toString("yyyy-MM-ddThh:mm:ss.zzz"))
                       .arg(t.toMSecsSinceEpoch() * 1000000)
                       .arg(centre)
                       .arg(28.1 * live / 0.25)
                       .arg(16.1 * live / 0.25)
                       .toUtf8(),
                   kNow);
    }
    store.Commit(kNow); // on the disk, as the centre's group commit puts them
}

/// Pixels of `png` close to colour `rgb`.
int PixelsOf(const QString& png, QRgb rgb)
{
    const QImage image(png);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - qRed(rgb)) + std::abs(qGreen(p) - qGreen(rgb)) + std::abs(qBlue(p) - qBlue(rgb)) < 40;
        }
    return n;
}

/// What Chromium shows of `url` after its scripts ran (the DOM), with a
/// picture of it in `png` when given.
QByteArray Browse(const QString& url, const QString& png = {})
{
    QProcess browser;
    QStringList args{"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars", "--lang=ru",
                     "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1", "--virtual-time-budget=20000",
                     "--window-size=1400,1000"};
    args << (png.isEmpty() ? QString("--dump-dom") : "--screenshot=" + png) << url;
    browser.start("chromium", args);
    EXPECT_TRUE(browser.waitForFinished(120000));
    return browser.readAllStandardOutput();
}

// 200 stations: the summary counts each state, the rows with problems come
// first and a stale station's figures are greyed.
TEST(StatusPage, SummaryAndProblemsFirstWith200Stations)
{
    testing_support::EnsureApp();
    centre::CentreSnapshot snap;
    for (int i = 0; i < 200; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "st%03d", i);
        centre::StationInfo s = Station(id, 3);
        s.Status["clock_synced"] = true;
        s.ClockOffsetNs = 100000000;
        s.Status["live_time"] = QJsonArray{95.0, 96.0};
        if (i % 50 == 7)
            s.HeardNs = s.StatusNs = kNow - int64_t{600} * 1000000000; // stale
        else if (i % 50 == 19)
            s.Offline = true;
        else if (i % 50 == 31)
            s.Status["state"] = "halted", s.Status["message"] = "плата 2 не отвечает";
        else if (i % 50 == 43)
            s.Status["disk_free_bytes"] = 2e8;
        snap.Stations.push_back(s);
    }
    // The page computes ages from its own clock: the snapshot's "now" is the browser's.
    const int64_t now = QDateTime::currentMSecsSinceEpoch() * 1000000;
    for (centre::StationInfo& s : snap.Stations) {
        s.StatusNs += now - kNow;
        s.HeardNs += now - kNow;
    }
    centre::HttpFront front([&](const QString& path, const QString& query) {
        return centre::CentreAnswer(snap, path, query, now);
    });
    const quint16 port = front.Listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);
    const QString url = QString("http://127.0.0.1:%1/").arg(port);
    const QString dom = QString::fromUtf8(Browse(url));
    for (const char* part : {"Работают: <b>188</b>", "Нет данных: <b>4</b>", "Остановлены: <b>4</b>",
                             "Не на связи: <b>4</b>", "С неполадками: <b>16</b>"})
        EXPECT_TRUE(dom.contains(part)) << part << "\n" << dom.left(3000).toStdString();
    // The 16 with problems, by ID, before every station without one.
    const qsizetype firstGood = dom.indexOf(R"(data-station="st000")");
    for (const char* bad : {"st007", "st019", "st031", "st043", "st193"})
        EXPECT_LT(dom.indexOf(QString(R"(data-station="%1")").arg(bad)), firstGood) << bad;
    EXPECT_TRUE(dom.contains(QRegularExpression(R"(data-station="st007">.*?<td class="bad stale">\d\d:\d\d:\d\d \(10 мин назад\))")))
        << "a stale station's last status, greyed, with its 24-hour time and age";
    if (qEnvironmentVariableIsSet("VFON_SHOTS"))
        Browse(url, qEnvironmentVariable("VFON_SHOTS") + "/centre-summary.png");
}

// A station's page in a headless browser that can reach nothing but the
// centre: its charts are drawn from the centre's own Chart.js and history.
// With VFON_SHOTS=DIR the page's and the summary's pictures are kept there.
TEST(StationPage, ChartsDrawnInChromiumWithNothingFromOutside)
{
    testing_support::EnsureApp();
    QTemporaryDir dir;
    centre::CentreStore store(dir.path().toStdString());
    FeedFrames(store, "st1", 7 * 24 * 24); // a week
    auto snapshot = centre::TakeSnapshot(store, dir.path().toStdString(), {}, kNow);
    std::mutex m;
    QStringList asked;
    centre::HttpFront front([&](const QString& path, const QString& query) {
        std::lock_guard lock(m);
        asked << path;
        return centre::CentreAnswer(*snapshot, path, query, kNow);
    });
    const quint16 port = front.Listen(QHostAddress::LocalHost, 0);
    ASSERT_NE(port, 0);

    const QString png = qEnvironmentVariable("VFON_SHOTS", dir.path()) + "/station-week.png";
    Browse(QString("http://127.0.0.1:%1/station/st1").arg(port), png);
    // Channel 1's line (blue) and 2's (red) are on the canvas, and the live time's (orange).
    EXPECT_GT(PixelsOf(png, qRgb(0x1f, 0x77, 0xb4)), 200);
    EXPECT_GT(PixelsOf(png, qRgb(0xd6, 0x27, 0x28)), 200);
    EXPECT_GT(PixelsOf(png, qRgb(0xff, 0x7f, 0x0e)), 200);
    std::lock_guard lock(m);
    EXPECT_TRUE(asked.contains("/chart.js")) << asked.join(' ').toStdString();
    EXPECT_TRUE(asked.contains("/station/st1/history.json")) << asked.join(' ').toStdString();

    // The history: the week's frames, the far-off centre marked.
    const QJsonObject h = QJsonDocument::fromJson(centre::CentreAnswer(*snapshot, "/station/st1/history.json",
                                                                       "span=all", kNow).Body).object();
    EXPECT_EQ(h.value("rows").toInt(), 7 * 24 * 24);
    ASSERT_EQ(h.value("outliers").toArray().size(), 1);
    EXPECT_EQ(h.value("outliers").toArray()[0].toObject().value("value").toDouble(), 140);
    // The live time in percent of the wall time: 90 % and 95 % by turns of 300 frames.
    std::set<int> live;
    for (const QJsonValue& v : h.value("live").toArray()) {
        live.insert(int(std::lround(v.toDouble())));
        EXPECT_NEAR(v.toDouble(), std::lround(v.toDouble()), 0.01);
    }
    EXPECT_EQ(live, (std::set<int>{90, 95}));
    // Frames that came since are in the next view, each once.
    FeedFrames(store, "st1", 100, 7 * 24 * 24);
    const QJsonObject more = QJsonDocument::fromJson(centre::CentreAnswer(*snapshot, "/station/st1/history.json",
                                                                          "span=all", kNow).Body).object();
    EXPECT_EQ(more.value("rows").toInt(), 7 * 24 * 24 + 100);
    // Nothing outside the store is reached through a station's path.
    for (const char* bad : {"/station/../etc/trend.csv", "/station/nobody/trend.csv", "/station/st1/../../x"})
        EXPECT_EQ(centre::CentreAnswer(*snapshot, bad, "", kNow).Status, 404) << bad;
}

} // namespace
