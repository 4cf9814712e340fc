#include "coincidence/Accidentals.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "coincidence/FindCoincidences.h"

namespace coinc {

double AccidentalRate(std::span<const double> rates, double windowSeconds)
{
    if (rates.size() < 2)
        return 0.0;
    double product = static_cast<double>(rates.size()) * std::pow(windowSeconds, static_cast<double>(rates.size() - 1));
    for (double r : rates)
        product *= r;
    return product;
}

std::vector<double> ExpectedByMultiplicity(std::span<const double> rates, double windowSeconds, double seconds)
{
    // e[k] = elementary symmetric sum of degree k, built one station at a time.
    std::vector<double> e(rates.size() + 1, 0.0);
    e[0] = 1.0;
    for (size_t i = 0; i < rates.size(); ++i)
        for (size_t k = i + 1; k >= 1; --k)
            e[k] += e[k - 1] * rates[i];
    std::vector<double> expected(rates.size() + 1, 0.0);
    for (size_t k = 2; k <= rates.size(); ++k)
        expected[k] = static_cast<double>(k) * std::pow(windowSeconds, static_cast<double>(k - 1)) * e[k] * seconds;
    return expected;
}

std::vector<double> RatesOf(std::span<const StationEvents> stations, double* seconds)
{
    int64_t first = std::numeric_limits<int64_t>::max(), last = std::numeric_limits<int64_t>::min();
    for (const StationEvents& s : stations)
        if (!s.events.empty()) {
            first = std::min(first, s.events.front().ns);
            last = std::max(last, s.events.back().ns);
        }
    const double span = last > first ? static_cast<double>(last - first) / 1e9 : 0.0;
    if (seconds)
        *seconds = span;
    std::vector<double> rates;
    for (const StationEvents& s : stations)
        rates.push_back(span > 0.0 ? static_cast<double>(s.events.size()) / span : 0.0);
    return rates;
}

std::vector<double> EmpiricalByMultiplicity(std::span<const StationEvents> stations, int64_t windowNs, int shifts)
{
    std::vector<double> average(stations.size() + 1, 0.0);
    if (shifts <= 0)
        return average;
    std::vector<StationEvents> moved(stations.begin(), stations.end());
    for (int s = 1; s <= shifts; ++s)
        for (int sign : {-1, 1}) {
            for (size_t i = 0; i < moved.size(); ++i) {
                const int64_t by = int64_t{sign} * s * static_cast<int64_t>(i) * 1'000'000'000;
                for (size_t e = 0; e < moved[i].events.size(); ++e)
                    moved[i].events[e].ns = stations[i].events[e].ns + by;
            }
            for (const Coincidence& c : FindCoincidences(moved, windowNs))
                average[static_cast<size_t>(c.Stations())] += 1.0;
        }
    for (double& a : average)
        a /= 2.0 * shifts;
    return average;
}

} // namespace coinc
