// The coincidence search: the window's edges, each coincidence once, n-fold
// groups, the incremental finder against the batch search under late
// backlogs, and the accidentals against what chance makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "coincidence/Accidentals.h"
#include "coincidence/FindCoincidences.h"
#include "coincidence/IncrementalFinder.h"

namespace {

using coinc::Coincidence;
using coinc::Event;
using coinc::StationEvents;

constexpr int64_t kMs = 1'000'000;

StationEvents Station(std::initializer_list<int64_t> ns)
{
    StationEvents s;
    int32_t record = 0;
    for (int64_t t : ns)
        s.events.push_back(Event{t, 0, ++record});
    return s;
}

/// Poisson streams of `rate` per second over `seconds`.
std::vector<StationEvents> RandomStations(size_t n, double rate, double seconds, uint32_t seed)
{
    std::mt19937_64 rng(seed);
    std::exponential_distribution<double> gap(rate);
    std::vector<StationEvents> stations(n);
    for (StationEvents& s : stations) {
        int32_t record = 0;
        for (double t = gap(rng); t < seconds; t += gap(rng))
            s.events.push_back(Event{static_cast<int64_t>(t * 1e9), 0, ++record});
    }
    return stations;
}

std::string Text(const std::vector<Coincidence>& list)
{
    std::string text;
    for (const Coincidence& c : list) {
        for (const coinc::Member& m : c.members)
            text += std::to_string(m.station) + ":" + std::to_string(m.event.record) + " ";
        text += "| ";
    }
    return text;
}

TEST(CoincidenceTest, WindowEdgesAndGroups)
{
    // Pairs at exactly the window and one ns beyond it.
    const std::vector<StationEvents> edge{Station({1000 * kMs, 2000 * kMs}),
                                          Station({1000 * kMs + 20 * kMs, 2000 * kMs + 20 * kMs + 1})};
    const auto found = coinc::FindCoincidences(edge, 20 * kMs);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].FirstNs(), 1000 * kMs);

    // Three stations inside one window: one threefold coincidence, not pairs;
    // a lone station's two events within the window are none.
    const std::vector<StationEvents> three{Station({100 * kMs, 500 * kMs, 505 * kMs}), Station({112 * kMs}),
                                           Station({95 * kMs})};
    const auto groups = coinc::FindCoincidences(three, 20 * kMs);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].Stations(), 3);
    EXPECT_EQ(Text(groups), "2:1 0:1 1:1 | ");

    // A chain longer than the window splits at the first event's window: each
    // event goes to one coincidence only.
    const std::vector<StationEvents> chain{Station({0, 30 * kMs}), Station({15 * kMs, 45 * kMs})};
    EXPECT_EQ(Text(coinc::FindCoincidences(chain, 20 * kMs)), "0:1 1:1 | 0:2 1:2 | ");

    // A chance event 15 ms before a shower seen 10 ms apart: the shower's
    // own, tighter pair is the coincidence, not the chance event's.
    const std::vector<StationEvents> chance{Station({0}), Station({15 * kMs}), Station({25 * kMs})};
    EXPECT_EQ(Text(coinc::FindCoincidences(chance, 20 * kMs)), "1:1 2:1 | ");
}

TEST(CoincidenceTest, IncrementalFinderMatchesTheBatchSearchWhateverTheArrivalOrder)
{
    // Dense enough that chains form and late events regroup them.
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        const auto stations = RandomStations(4, 8.0, 30.0, seed);
        const auto batch = coinc::FindCoincidences(stations, 20 * kMs);
        coinc::IncrementalFinder finder(20 * kMs);
        std::mt19937 rng(seed);
        // Stations 0-2 live in small pieces, interleaved; station 3's whole
        // backlog arrives last, and part of station 0 is sent twice.
        std::vector<size_t> at(3, 0);
        std::vector<int64_t> live;
        while (at[0] < stations[0].events.size() || at[1] < stations[1].events.size()
               || at[2] < stations[2].events.size()) {
            const size_t s = rng() % 3;
            const auto& ev = stations[s].events;
            const size_t n = std::min<size_t>(1 + rng() % 3, ev.size() - at[s]);
            for (const coinc::Change& c : finder.Add(static_cast<int32_t>(s), {ev.data() + at[s], n}))
                if (c.kind == coinc::Change::Found)
                    live.push_back(c.coincidence.id);
            at[s] += n;
        }
        finder.Add(3, stations[3].events);
        finder.Add(0, {stations[0].events.data(), stations[0].events.size() / 2});
        EXPECT_EQ(Text(finder.All()), Text(batch));
        // Ids are never reused.
        std::sort(live.begin(), live.end());
        EXPECT_TRUE(std::adjacent_find(live.begin(), live.end()) == live.end());
    }
}

TEST(CoincidenceTest, AccidentalsAgreeWithChance)
{
    // Independent stations: every coincidence is chance. Expected counts per
    // multiplicity and the shifted-stations check both agree with what is
    // found within 5 sigma.
    const auto stations = RandomStations(3, 1.0, 20000.0, 7);
    double seconds = 0.0;
    const std::vector<double> rates = coinc::RatesOf(stations, &seconds);
    const auto expected = coinc::ExpectedByMultiplicity(rates, 0.02, seconds);
    std::vector<double> observed(4, 0.0);
    const auto found = coinc::FindCoincidences(stations, 20 * kMs);
    for (const Coincidence& c : found)
        observed[static_cast<size_t>(c.Stations())] += 1.0;
    for (size_t k : {2u, 3u}) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(observed[k], expected[k], 5.0 * std::sqrt(expected[k]));
    }
    const auto empirical = coinc::EmpiricalByMultiplicity(stations, 20 * kMs, 3);
    EXPECT_NEAR(empirical[2], observed[2], 5.0 * std::sqrt(observed[2]));
}

} // namespace
