// The centre's coincidences: the keeper fed out of order and restarted, and
// stations sharing a simulated sky through a real broker and the centre.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "centre/CoincidenceKeeper.h"
#include "centre/CoincidencePage.h"
#include "datafiles/RadKadr.h"
#include "coincidence/Accidentals.h"
#include "coincidence/FindCoincidences.h"
#include "support/CentreRig.h"

namespace {

namespace fs = std::filesystem;
using Members = std::set<std::tuple<std::string, std::string, int64_t>>; // station, file, record

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// The coincidences of a file as vfon-export or the centre write it: their member sets.
std::set<Members> MemberSets(const std::string& path)
{
    std::set<Members> all;
    for (const centre::KeptCoincidence& c : centre::ReadCoincidences(path)) {
        Members m;
        for (const centre::KeptMember& k : c.Members)
            m.insert(k.Key());
        all.insert(m);
    }
    return all;
}

/// A store fed event by event, as the centre's store writes events.csv and hands them on.
struct Store {
    std::string dir = fs::temp_directory_path() / ("coinc-" + std::to_string(::getpid()));
    std::map<std::string, std::vector<coinc::Event>> events;
    Store() { fs::create_directories(dir); }
    ~Store() { fs::remove_all(dir); }
    void Feed(centre::CoincidenceKeeper& k, const std::string& station, int64_t record, int64_t ms)
    {
        fs::create_directories(dir + "/" + station);
        std::ofstream csv(dir + "/" + station + "/events.csv", std::ios::app);
        if (events[station].empty())
            csv << "file,record,event_no,time_utc,time_ns\r\n";
        csv << "a.Rad," << record << ",1,x," << ms * 1000000 << "\r\n";
        events[station].push_back({ms * 1000000, 0, static_cast<int32_t>(record + 1)});
        EXPECT_EQ(k.Add(station, {{"a.Rad", record, ms * 1000000}}), "");
    }
    /// What the batch search over every event fed gives.
    std::set<Members> Batch()
    {
        std::vector<coinc::StationEvents> stations;
        for (auto& [id, e] : events) {
            std::sort(e.begin(), e.end(), [](const coinc::Event& a, const coinc::Event& b) { return a.ns < b.ns; });
            stations.push_back({id, e});
        }
        std::set<Members> all;
        for (const coinc::Coincidence& c : coinc::FindCoincidences(stations, 20'000'000)) {
            Members m;
            for (const coinc::Member& x : c.members)
                m.insert({stations[static_cast<size_t>(x.station)].id, "a.Rad", x.event.record});
            all.insert(m);
        }
        return all;
    }
};

TEST(CoincidenceKeeperTest, LateEventsGrowAndWithdrawAndARestartRepeatsNothing)
{
    Store s;
    const std::string csv = s.dir + "/coincidences.csv";
    {
        centre::CoincidenceKeeper k(s.dir, 20'000'000);
        ASSERT_EQ(k.Load(), "");
        s.Feed(k, "A", 0, 1000);
        s.Feed(k, "B", 0, 1015); // 1: A, B
        s.Feed(k, "A", 1, 5000);
        s.Feed(k, "C", 0, 5005); // 2: A, C
        EXPECT_EQ(centre::ReadCoincidences(csv).size(), 2u);
        // A backlog: C@1025 makes a tighter pair with B@1015 than A@1000
        // does, so 1 is regrouped (A leaves it, C joins); B joins 2.
        s.Feed(k, "C", 2, 1025);
        s.Feed(k, "B", 1, 5010);
        auto kept = centre::ReadCoincidences(csv);
        ASSERT_EQ(kept.size(), 2u);
        std::sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.Id < b.Id; });
        EXPECT_EQ(kept[0].Id, 1);
        EXPECT_EQ(kept[0].Stations, "B;C");
        EXPECT_EQ(kept[1].Id, 2);
        EXPECT_EQ(kept[1].N, 3);
        EXPECT_EQ(kept[1].Stations, "A;C;B");
        EXPECT_EQ(MemberSets(csv), s.Batch());
    }
    const std::string before = FileText(csv);
    {
        // Rebuilt from the events: the file stays as it was, new ones go on numbering.
        centre::CoincidenceKeeper k(s.dir, 20'000'000);
        ASSERT_EQ(k.Load(), "");
        EXPECT_EQ(FileText(csv), before);
        s.Feed(k, "C", 1, 9000);
        s.Feed(k, "B", 2, 9001);
        auto kept = centre::ReadCoincidences(csv);
        ASSERT_EQ(kept.size(), 3u);
        EXPECT_EQ(std::max_element(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.Id < b.Id; })->Id, 3);
        EXPECT_EQ(MemberSets(csv), s.Batch());
    }
    // Its page reads each member's record from STORE/ID/<file>, or says it is not there.
    EXPECT_TRUE(centre::CoincidencePageHtml(s.dir, 3).contains("нет в хранилище центра"));
    for (const char* station : {"B", "C"}) {
        std::ofstream rad(s.dir + "/" + station + "/a.Rad", std::ios::binary);
        auto k = std::make_unique<TRadKadr>();
        for (int16_t r = 1; r <= 3; ++r) {
            k->EventNo = static_cast<int16_t>(100 + r);
            rad.write(reinterpret_cast<const char*>(k.get()), sizeof *k);
        }
    }
    const QByteArray page = centre::CoincidencePageHtml(s.dir, 3);
    EXPECT_FALSE(page.contains("нет в хранилище центра"));
    EXPECT_TRUE(page.contains("\"event_no\":102") && page.contains("\"event_no\":103")); // C's 2nd, B's 3rd
    // A file lost is made again from the stations' events.
    fs::remove(csv);
    centre::CoincidenceKeeper k(s.dir, 20'000'000);
    ASSERT_EQ(k.Load(), "");
    EXPECT_EQ(MemberSets(csv), s.Batch());
}

TEST(CoincidenceKeeperTest, EventsBeyondTheHorizonAreForgottenButTheirCoincidencesStay)
{
    Store s;
    const std::string csv = s.dir + "/coincidences.csv";
    centre::CoincidenceKeeper k(s.dir, 20'000'000, int64_t{48} * 1000000000); // 48 s
    ASSERT_EQ(k.Load(), "");
    s.Feed(k, "A", 0, 1000);
    s.Feed(k, "B", 0, 1010);
    s.Feed(k, "A", 1, 100000);
    s.Feed(k, "B", 1, 100005);
    // A late event at the forgotten one is searched alone; a change to a
    // coincidence held rewrites the file and keeps the forgotten one's rows.
    s.Feed(k, "C", 0, 1005);
    s.Feed(k, "C", 1, 99990);
    const auto kept = centre::ReadCoincidences(csv);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].Members.size(), 2u);
    EXPECT_EQ(kept[1].Members.size(), 3u);
    EXPECT_EQ(k.View(0)->Held, 1);
}

} // namespace

namespace {

/// Random events per minute of each simulated station: many times the
/// default, so the accidentals are many enough to be compared, yet few
/// enough that a chance event of another station a few ms before a shower
/// (which opens the window early and may cut its last member off) is rare.
constexpr const char* kOwnEventsPerMinute = "20";
constexpr int64_t kWindowNs = 20'000'000;

class CentreCoincidenceTest : public testing_support::CentreRig {
protected:
    /// Stations st1.. with the shared-sky settings `sky` (seed, position) each.
    void RunStations(const std::vector<std::pair<QString, QString>>& sky, int seconds)
    {
        std::vector<std::unique_ptr<QProcess>> stations;
        for (size_t i = 0; i < sky.size(); ++i) {
            const QString id = "st" + QString::number(i + 1);
            QProcessEnvironment env;
            env.insert("LAN10M8SIM_SKY", sky[i].first);
            env.insert("LAN10M8SIM_SKY_PER_MINUTE", "80");
            env.insert("LAN10M8SIM_POSITION", sky[i].second);
            env.insert("LAN10M8SIM_EVENTS_PER_MINUTE", kOwnEventsPerMinute);
            env.insert("LAN10M8SIM_SKY_LOG", dir_.filePath(id + ".sky"));
            stations.push_back(std::make_unique<QProcess>());
            StartStation(*stations.back(), id, seconds, {}, env);
        }
        for (auto& p : stations) {
            ASSERT_TRUE(p->waitForFinished((seconds + 120) * 1000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        }
        // Every event of every station stored, and searched.
        for (size_t i = 0; i < sky.size(); ++i) {
            const QString id = "st" + QString::number(i + 1);
            const int64_t events = EventsIn(id);
            ASSERT_TRUE(testing_support::WaitFor(
                [&] { return testing_support::Lines(Store() + "/" + id + "/events.csv").size() == events + 1; }, 120000))
                << id.toStdString();
        }
    }
    /// The offline search over the stations' folders.
    std::string Offline(size_t stations)
    {
        const QString out = dir_.filePath("offline.csv");
        QStringList args{"-f", "--coincidences", out, "--window", "20"};
        for (size_t i = 0; i < stations; ++i)
            args << dir_.filePath("st" + QString::number(i + 1));
        QProcess e;
        e.start(VFON_EXPORT_PATH, args);
        EXPECT_TRUE(e.waitForFinished(120000));
        EXPECT_EQ(e.exitCode(), 0) << e.readAllStandardError().toStdString();
        return out.toStdString();
    }
    /// The centre's file once it says what the offline search says.
    std::set<Members> CentreEqualsOffline(size_t stations)
    {
        const std::set<Members> offline = MemberSets(Offline(stations));
        const std::string csv = (Store() + "/coincidences.csv").toStdString();
        testing_support::WaitFor([&] { return MemberSets(csv) == offline; }, 30000);
        EXPECT_EQ(MemberSets(csv), offline);
        // Each once.
        const auto kept = centre::ReadCoincidences(csv);
        EXPECT_EQ(kept.size(), offline.size());
        return offline;
    }
    /// /coincidences.json once it counts `held` coincidences.
    QJsonObject Counts(size_t held)
    {
        QJsonObject o;
        testing_support::WaitFor([&] {
            o = QJsonDocument::fromJson(testing_support::HttpGet(httpPort_, "/coincidences.json")).object();
            return o.value("held").toInteger() == static_cast<qint64>(held);
        }, 30000);
        EXPECT_EQ(o.value("held").toInteger(), static_cast<qint64>(held));
        return o;
    }
};

/// |observed − expected| within 3 σ of a Poisson count (σ at least 1).
void ExpectChance(double observed, double expected, const std::string& what)
{
    EXPECT_LE(std::abs(observed - expected), 3.0 * std::max(1.0, std::sqrt(expected)))
        << what << ": observed " << observed << ", expected " << expected;
}

/// Showers the stations logged: slot → its instant and the stations.
std::map<int64_t, std::pair<int64_t, std::set<std::string>>> SkyLogs(const QTemporaryDir& dir, size_t stations)
{
    std::map<int64_t, std::pair<int64_t, std::set<std::string>>> seen;
    for (size_t i = 0; i < stations; ++i) {
        const std::string id = "st" + std::to_string(i + 1);
        std::ifstream in(dir.filePath(QString::fromStdString(id) + ".sky").toStdString());
        int64_t slot = 0, ns = 0;
        char comma = 0;
        for (std::string line; std::getline(in, line);)
            if (std::istringstream(line) >> slot >> comma >> ns) {
                seen[slot].first = ns;
                seen[slot].second.insert(id);
            }
    }
    return seen;
}

TEST_F(CentreCoincidenceTest, ShowersOfASharedSkyAreFoundAtTheCentreBesideTheAccidentals)
{
    StartBroker();
    StartCentre({"--coincidence-window", "20"});
    RunStations({{"777", "0,0"}, {"777", "60,0"}, {"777", "0,60"}}, 180);
    const std::set<Members> found = CentreEqualsOffline(3);

    // Every shower logged by two stations or more, recorded by them within
    // the window of each other, is a coincidence holding their events.
    std::map<std::string, std::vector<std::pair<int64_t, Members::value_type>>> events; // by station: ns, key
    for (const std::string id : {"st1", "st2", "st3"}) {
        std::ifstream in((Store() + "/" + QString::fromStdString(id) + "/events.csv").toStdString());
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::vector<std::string> f;
            std::istringstream row(line);
            for (std::string cell; std::getline(row, cell, ',');)
                f.push_back(cell);
            events[id].push_back({std::stoll(f[4]), {id, f[0], std::stoll(f[1]) + 1}});
        }
    }
    // A station stamps a shower when it polls the board after the shower's
    // instant: its first event from then on (stamps are whole ms).
    int shared = 0, late = 0, missed = 0;
    std::set<Members> ofShowers;
    for (const auto& [slot, shower] : SkyLogs(dir_, 3)) {
        const auto& [ns, seenBy] = shower;
        if (seenBy.size() < 2)
            continue;
        Members want;
        int64_t first = INT64_MAX, last = INT64_MIN;
        for (const std::string& id : seenBy) {
            const auto& e = events[id];
            const auto at = std::find_if(e.begin(), e.end(), [&](const auto& x) { return x.first >= ns - 1'000'000; });
            if (at == e.end())
                continue; // seen as the run stopped, never written
            first = std::min(first, at->first);
            last = std::max(last, at->first);
            want.insert(at->second);
        }
        if (want.size() < 2)
            continue;
        ++shared;
        if (last - first > kWindowNs) { // a loaded machine polled a board late
            ++late;
            continue;
        }
        // Found: a coincidence holds its events of two stations or more.
        const auto it = std::find_if(found.begin(), found.end(), [&](const Members& c) {
            return std::count_if(want.begin(), want.end(), [&](const auto& m) { return c.contains(m); }) >= 2;
        });
        if (it != found.end()) {
            ofShowers.insert(*it);
            continue;
        }
        ++missed;
        std::printf("missed shower %lld at %lld, stamped %lld..%lld\n", static_cast<long long>(slot),
                    static_cast<long long>(ns), static_cast<long long>(first), static_cast<long long>(last));
    }
    ASSERT_GE(shared - late, 80) << late << " of " << shared << " stamped late";
    EXPECT_LE(missed, (shared - late) / 100) << "missed " << missed << " of " << shared - late;
    std::printf("showers seen by two or more: %d, stamped too far apart: %d, missed: %d, coincidences: %zu\n", shared,
                late, missed, found.size());

    // The rest is chance: as many as the centre expects from the rates of
    // the events no shower shared (a chance partner of a shared shower's
    // event joins its coincidence), and the centre's expectation agrees with
    // its shifted search.
    const QJsonObject counts = Counts(found.size());
    std::set<Members::value_type> ofShared;
    for (const Members& c : ofShowers)
        ofShared.insert(c.begin(), c.end());
    std::vector<double> rates;
    for (const auto& [id, e] : events)
        rates.push_back(static_cast<double>(std::count_if(e.begin(), e.end(), [&](const auto& x) {
                            return !ofShared.contains(x.second);
                        })) / counts.value("seconds").toDouble());
    double expected = 0.0;
    for (double n : coinc::ExpectedByMultiplicity(rates, 0.02, counts.value("seconds").toDouble()))
        expected += n;
    ExpectChance(static_cast<double>(found.size() - ofShowers.size()), expected, "coincidences without a shower");
    std::printf("coincidences without a shower: %zu, expected by chance %.1f\n", found.size() - ofShowers.size(), expected);
    for (const QJsonValue& p : counts.value("pairs").toArray())
        ExpectChance(p.toObject().value("empirical").toDouble(), p.toObject().value("expected").toDouble(),
                     p.toObject().value("stations").toString().toStdString());
}

TEST_F(CentreCoincidenceTest, StationsUnderDifferentSkiesMeetOnlyByChance)
{
    StartBroker();
    StartCentre();
    RunStations({{"1", "0,0"}, {"2", "0,0"}}, 90);
    const std::set<Members> found = CentreEqualsOffline(2);
    const QJsonObject pair = Counts(found.size()).value("pairs").toArray().at(0).toObject();
    EXPECT_EQ(pair.value("observed").toInteger(), static_cast<qint64>(found.size()));
    ExpectChance(static_cast<double>(found.size()), pair.value("expected").toDouble(), "st1;st2");
}

} // namespace
