// Simulated stations each in a process of its own: their own draws, and the
// showers of a shared sky, seen by headless stations started together, found
// again by vfon-export --coincidences.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "driver/ADC_Const.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"
#include "export/CoincidenceExport.h"
#include "frames/StationZone.h"
#include "support/Fixtures.h"

namespace {

constexpr int64_t kWindowNs = 20'000'000;

/// A headless station in `dir`/`id` for `seconds`, with `env` added.
struct Station {
    std::string id, dir;
    std::unique_ptr<QProcess> proc = std::make_unique<QProcess>();
};

std::vector<Station> StartStations(const QTemporaryDir& tmp, const std::vector<std::map<QString, QString>>& envs,
                                   int seconds)
{
    const std::string hive = tmp.filePath("hive.ini").toStdString();
    testing_support::UsePrivateHive(hive, SIMDRIVER_PATH);
    std::vector<Station> stations;
    for (size_t i = 0; i < envs.size(); ++i) {
        Station s;
        s.id = "st" + std::to_string(i + 1);
        s.dir = tmp.filePath(QString::fromStdString(s.id)).toStdString();
        QDir().mkpath(QString::fromStdString(s.dir));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VFON_HIVE", QString::fromStdString(hive));
        for (const auto& [k, v] : envs[i])
            env.insert(k, v);
        s.proc->setProcessEnvironment(env);
        s.proc->setProcessChannelMode(QProcess::MergedChannels);
        stations.push_back(std::move(s));
    }
    for (Station& s : stations)
        s.proc->start(VFON_PATH, {"--headless", "--seconds", QString::number(seconds), "--data-dir",
                                  QString::fromStdString(s.dir)});
    return stations;
}

void WaitStations(std::vector<Station>& stations)
{
    for (Station& s : stations) {
        ASSERT_TRUE(s.proc->waitForFinished(600000)) << s.id;
        EXPECT_EQ(s.proc->exitCode(), 0) << s.id << ": " << s.proc->readAll().toStdString();
    }
}

std::vector<int64_t> EventTimes(const Station& s)
{
    const auto zone = frames::StationZone::Open("");
    std::ostringstream log;
    bool skipped = false;
    std::string why;
    const auto inputs = dataexport::StationInputs({s.dir}, why);
    std::vector<int64_t> times;
    for (const coinc::Event& e : dataexport::ReadStationEvents(inputs.at(0), *zone, log, skipped).events)
        times.push_back(e.ns);
    return times;
}

/// The first 4096 samples of a radio board's first recording in a fresh
/// process that loads the simulated driver (with LAN10M8SIM_SEED = `seed`
/// when given): they follow from the same draws as its event intervals.
std::vector<int16_t> FirstRecording(const char* seed)
{
    std::vector<int16_t> samples(4096);
    int fd[2];
    if (::pipe(fd) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fd[0]);
        if (seed)
            ::setenv("LAN10M8SIM_SEED", seed, 1);
        else
            ::unsetenv("LAN10M8SIM_SEED");
        void* lib = ::dlopen(SIMDRIVER_PATH, RTLD_NOW);
        auto* factory = lib ? static_cast<IFactory*>(::dlsym(lib, "StaticFactory")) : nullptr;
        auto* board = factory ? static_cast<IADCDevice*>(factory->CreateInstance(adc::kDeviceInterface, 0)) : nullptr;
        AdcParams p;
        InitAdcParams(p);
        p.Mode = 8;
        p.Rate = 100000000.0f;
        p.Samples = 8192;
        int32_t out = 0;
        if (!board || board->Init(3, 0, 0, 0) != 1 || board->Setup(1, &p, &out) != 1 || board->Start() != 1
            || board->GetData(adc::kSelectFirstInput, samples.data(), 4096, 0) != 4096)
            ::_exit(1);
        const bool written = ::write(fd[1], samples.data(), samples.size() * 2) == static_cast<ssize_t>(samples.size() * 2);
        ::_exit(written ? 0 : 1);
    }
    ::close(fd[1]);
    size_t got = 0;
    auto* bytes = reinterpret_cast<char*>(samples.data());
    for (ssize_t n; got < samples.size() * 2 && (n = ::read(fd[0], bytes + got, samples.size() * 2 - got)) > 0;)
        got += static_cast<size_t>(n);
    ::close(fd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return got == samples.size() * 2 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? samples : std::vector<int16_t>{};
}

TEST(CoincidenceSkyTest, StationsStartedTogetherDrawTheirOwnNumbers)
{
    // Two simulated stations started together draw their own event intervals
    // and waveforms; a pinned seed still gives the same ones.
    const auto a = FirstRecording(nullptr), b = FirstRecording(nullptr);
    ASSERT_FALSE(a.empty() || b.empty());
    EXPECT_NE(a, b);
    const auto c = FirstRecording("7"), d = FirstRecording("7");
    ASSERT_FALSE(c.empty() || d.empty());
    EXPECT_EQ(c, d);
}

/// Showers in a station's sky log: slot → UTC ns.
std::map<int64_t, int64_t> SkyLog(const std::string& path)
{
    std::map<int64_t, int64_t> showers;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream row(line);
        int64_t slot = 0, ns = 0;
        char comma = 0;
        if (row >> slot >> comma >> ns)
            showers[slot] = ns;
    }
    return showers;
}

struct Found {
    int64_t firstNs;
    std::set<std::string> stations;
};

std::vector<Found> ReadCoincidenceCsv(const std::string& path)
{
    std::map<int64_t, Found> byId;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');)
            f.push_back(cell);
        if (f.size() != 9)
            continue;
        Found& c = byId[std::stoll(f[0])];
        c.firstNs = std::stoll(f[2]);
        c.stations.insert(f[5]);
    }
    std::vector<Found> all;
    for (auto& [id, c] : byId)
        all.push_back(c);
    return all;
}

TEST(CoincidenceSkyTest, EveryShowerSeenByTwoStationsIsFoundOffline)
{
    testing_support::EnsureApp();
    QTemporaryDir tmp;
    const char* positions[] = {"0,0", "120,0", "0,120"};
    const char* offsets[] = {"0", "3", "-3"};
    std::vector<std::map<QString, QString>> envs;
    for (int i = 0; i < 3; ++i)
        envs.push_back({{"LAN10M8SIM_SKY", "12345"},
                        {"LAN10M8SIM_SKY_PER_MINUTE", "60"},
                        {"LAN10M8SIM_POSITION", positions[i]},
                        {"LAN10M8SIM_CLOCK_OFFSET_MS", offsets[i]},
                        {"LAN10M8SIM_SKY_LOG", tmp.filePath("sky" + QString::number(i + 1) + ".log")}});
    std::vector<Station> stations = StartStations(tmp, envs, 45);
    WaitStations(stations);

    // The truth: showers each station logged, up to the last event every
    // station has on disk (a shower seen as the run stopped may be unsaved).
    std::map<int64_t, std::pair<int64_t, std::set<std::string>>> truth;
    int64_t savedUntil = INT64_MAX;
    for (size_t i = 0; i < stations.size(); ++i) {
        const auto times = EventTimes(stations[i]);
        ASSERT_FALSE(times.empty());
        savedUntil = std::min(savedUntil, times.back() - 1'000'000'000);
        for (const auto& [slot, ns] : SkyLog(tmp.filePath("sky" + QString::number(i + 1) + ".log").toStdString())) {
            truth[slot].first = ns;
            truth[slot].second.insert(stations[i].id);
        }
    }

    const std::string out = tmp.filePath("coinc.csv").toStdString();
    QProcess exporter;
    exporter.setProcessChannelMode(QProcess::MergedChannels);
    exporter.start(VFON_EXPORT_PATH, {"--coincidences", QString::fromStdString(out), "--window", "20",
                                      QString::fromStdString(stations[0].dir), QString::fromStdString(stations[1].dir),
                                      QString::fromStdString(stations[2].dir)});
    ASSERT_TRUE(exporter.waitForFinished(120000));
    const std::string said = exporter.readAll().toStdString();
    ASSERT_EQ(exporter.exitCode(), 0) << said;
    const std::vector<Found> found = ReadCoincidenceCsv(out);

    // Each shower seen by two stations or more is a coincidence of them,
    // unless a station's stamp of it came later than the window allows (a
    // loaded machine polls the boards late by up to a hundred ms).
    std::map<std::string, std::vector<int64_t>> times;
    for (const Station& s : stations)
        times[s.id] = EventTimes(s);
    int shared = 0, late = 0;
    for (const auto& [slot, shower] : truth) {
        const auto& [ns, seenBy] = shower;
        if (seenBy.size() < 2 || ns > savedUntil)
            continue;
        ++shared;
        int64_t first = INT64_MAX, last = INT64_MIN;
        for (const std::string& id : seenBy) {
            const auto& t = times[id];
            const auto at = std::min_element(t.begin(), t.end(), [&](int64_t x, int64_t y) {
                return std::abs(x - ns) < std::abs(y - ns);
            });
            first = std::min(first, *at);
            last = std::max(last, *at);
        }
        if (last - first > kWindowNs) {
            ++late;
            continue;
        }
        const bool foundIt = std::any_of(found.begin(), found.end(), [&](const Found& c) {
            return c.firstNs <= first && first - c.firstNs <= kWindowNs
                   && std::includes(c.stations.begin(), c.stations.end(), seenBy.begin(), seenBy.end());
        });
        EXPECT_TRUE(foundIt) << "shower " << slot << " at " << ns << " stamped " << first << ".." << last;
    }
    EXPECT_GE(shared - late, 5) << "too few showers seen by two stations to tell (" << late << " stamped late)";
    std::ifstream summary(dataexport::AccidentalsName(out));
    std::string header;
    std::getline(summary, header);
    EXPECT_EQ(header, "kind,stations,observed,expected,empirical");
}

} // namespace
