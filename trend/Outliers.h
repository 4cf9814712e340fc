#pragma once
// Marking of frames whose rate or peak centre lies far from the rest, per
// channel: a value is an outlier when it lies more than 5 median absolute
// deviations from the median of all frames AND more than 5 times its own
// statistical error from it. The first condition finds the values that stand
// apart from the others; the second keeps a frame whose difference is within
// its own counting noise from being marked when few frames are shown (the
// MAD of a handful of frames can be far below that noise).
#include <cstddef>
#include <span>
#include <vector>

#include "trend/TrendTable.h"

namespace trend {

inline constexpr double kOutlierMads = 5.0;   ///< distance, in MADs, beyond which a value may be marked
inline constexpr double kOutlierSigmas = 5.0; ///< distance, in its own errors, beyond which a value may be marked
inline constexpr double kCentreResolution = 1.0; ///< the centre moves in whole bins: no spread or error below one
/// Spread (standard deviation, bins) of the centre of unchanged frames of
/// one point, scaled as 1/√points: the centre's error the rule uses is never
/// below kCentreSpreadOnePoint / √points. Measured on frames of 5 to 600
/// points of the simulated boards at a constant gain (README, "Выбросы"):
/// their own error, √Area / (2 · density), is far below what the smoothed
/// peak of a few points' spectrum really moves.
inline constexpr double kCentreSpreadOnePoint = 30.0;

/// Median and median absolute deviation of a set of values.
struct Spread {
    double Median = 0; ///< NaN when there is no value
    double Mad = 0;    ///< median of |value − Median|
};

/// Median and MAD of the finite values (NaN left out), by selection
/// (std::nth_element, the mean of the two middle values for an even count).
Spread MedianSpread(std::span<const float> values);

/// Indices of the finite values v[i] with |v[i] − median| greater than both
/// kOutlierMads · max(MAD, resolution) and kOutlierSigmas · max(errors[i],
/// resolution). `errors` is as long as `values` (an infinite error never
/// marks). The resolution is the step of values that move in whole steps
/// (the centre moves by whole bins): such values often share one value in
/// more than half the frames, which makes the MAD 0.
std::vector<size_t> OutlierIndices(std::span<const float> values, std::span<const float> errors, double resolution);

/// The least error, in bins, of the centre of a frame of `points` points:
/// kCentreSpreadOnePoint / √points, and never below kCentreResolution. A
/// frame without points has an infinite one (it never marks).
float CentreErrorFloor(int points);

/// Poisson error of a mean rate of `rate` pulses per point over `points`
/// points: √(pulses) / points, with at least one pulse counted (a frame
/// without pulses is not exact). +inf without points.
float RateError(float rate, int points);

/// The quantity a mark is about.
enum class TrendQuantity { Rate, Centre };

/// One marked value: row of the table, channel 1..4, quantity and value.
struct Outlier {
    size_t Row;
    int Channel;
    TrendQuantity What;
    float Value;
};

/// Marks the rates (Poisson errors, resolution 0) and centres (their own
/// errors, at least CentreErrorFloor of their points, resolution
/// kCentreResolution) of every channel of the table;
/// ordered by row, then channel, rate before centre.
std::vector<Outlier> MarkOutliers(const TrendTable& t);

} // namespace trend
