#include "trend/Outliers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace trend {

namespace {

/// Median of `v` by selection; reorders v. v must not be empty.
double MedianOf(std::vector<float>& v)
{
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 != 0)
        return upper;
    const double lower = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}

} // namespace

Spread MedianSpread(std::span<const float> values)
{
    std::vector<float> v;
    v.reserve(values.size());
    for (float x : values)
        if (std::isfinite(x))
            v.push_back(x);
    if (v.empty())
        return {std::nan(""), 0};
    Spread s;
    s.Median = MedianOf(v);
    for (float& x : v)
        x = static_cast<float>(std::fabs(x - s.Median));
    s.Mad = MedianOf(v);
    return s;
}

std::vector<size_t> OutlierIndices(std::span<const float> values, std::span<const float> errors, double resolution)
{
    const Spread s = MedianSpread(values);
    const double apart = kOutlierMads * std::max(s.Mad, resolution);
    std::vector<size_t> out;
    for (size_t i = 0; i < values.size(); ++i) {
        const double off = std::fabs(values[i] - s.Median);
        if (std::isfinite(values[i]) && off > apart && off > kOutlierSigmas * std::max<double>(errors[i], resolution))
            out.push_back(i);
    }
    return out;
}

float CentreErrorFloor(int points)
{
    if (points <= 0)
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(std::max(kCentreResolution, kCentreSpreadOnePoint / std::sqrt(points)));
}

float RateError(float rate, int points)
{
    if (points <= 0)
        return std::numeric_limits<float>::infinity();
    const double pulses = std::max(1.0, static_cast<double>(rate) * points);
    return static_cast<float>(std::sqrt(pulses) / points);
}

std::vector<Outlier> MarkOutliers(const TrendTable& t)
{
    std::vector<Outlier> out;
    std::vector<float> rateErrors(t.Size()), centreErrors(t.Size());
    for (int c = 1; c <= kFonChannels; ++c) {
        const auto& rate = t.MeanPerPoint[static_cast<size_t>(c - 1)];
        const auto& centre = t.Centre[static_cast<size_t>(c - 1)];
        for (size_t row = 0; row < t.Size(); ++row)
            rateErrors[row] = RateError(rate[row], t.Points[row]);
        for (size_t row : OutlierIndices(rate, rateErrors, 0))
            out.push_back({row, c, TrendQuantity::Rate, rate[row]});
        const auto& ownErrors = t.CentreError[static_cast<size_t>(c - 1)];
        for (size_t row = 0; row < t.Size(); ++row)
            centreErrors[row] = std::max(ownErrors[row], CentreErrorFloor(t.Points[row]));
        for (size_t row : OutlierIndices(centre, centreErrors, kCentreResolution))
            out.push_back({row, c, TrendQuantity::Centre, centre[row]});
    }
    std::sort(out.begin(), out.end(), [](const Outlier& a, const Outlier& b) {
        return std::tie(a.Row, a.Channel, a.What) < std::tie(b.Row, b.Channel, b.What);
    });
    return out;
}

} // namespace trend
