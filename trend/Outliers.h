#pragma once
// Marking of frames whose rate or peak centre lies far from the rest: more
// than 5 median absolute deviations from the median of all frames, per
// channel.
#include <cstddef>
#include <span>
#include <vector>

#include "trend/TrendTable.h"

inline constexpr double kOutlierMads = 5.0; ///< distance, in MADs, beyond which a value is marked

/// Median and median absolute deviation of a set of values.
struct Spread {
    double Median = 0; ///< NaN when there is no value
    double Mad = 0;    ///< median of |value − Median|
};

/// Median and MAD of the finite values (NaN left out), by selection
/// (std::nth_element, the mean of the two middle values for an even count).
Spread MedianSpread(std::span<const float> values);

/// Indices of the finite values farther than kOutlierMads · MAD from the
/// median. The MAD is taken as at least `resolution`: values that move in
/// whole steps (the centre moves by whole bins) often share one value in
/// more than half the frames, which makes the MAD 0 and would mark every
/// step.
std::vector<size_t> OutlierIndices(std::span<const float> values, double resolution);

/// The quantity a mark is about.
enum class TrendQuantity { Rate, Centre };

/// One marked value: row of the table, channel 1..4, quantity and value.
struct Outlier {
    size_t Row;
    int Channel;
    TrendQuantity What;
    float Value;
};

/// Marks the rates (resolution 0) and centres (resolution 1 bin) of every
/// channel of the table; ordered by row, then channel, rate before centre.
std::vector<Outlier> MarkOutliers(const TrendTable& t);
