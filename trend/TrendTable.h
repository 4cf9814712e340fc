#pragma once
// The numbers of many frames kept for charts and outlier marking: one row
// per frame, stored column by column, a few dozen bytes a frame.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "frames/FrameNumbers.h"

namespace trend {

/// Rows of frame numbers, in the order they were appended.
struct TrendTable {
    std::vector<int32_t> File;   ///< index of the file in the caller's list
    std::vector<int32_t> Record; ///< record index in the file, from 0
    std::vector<double> Time;    ///< StampSeconds of the frame start (NaN if invalid)
    std::vector<int16_t> Points; ///< filled points
    std::vector<float> PointSeconds; ///< wall seconds a point of the frame lasts (NaN if unknown)
    std::array<std::vector<float>, kFonChannels> MeanPerPoint; ///< NaN when no point is filled
    std::array<std::vector<float>, kFonChannels> Centre; ///< NaN when there is none
    std::array<std::vector<float>, kFonChannels> CentreError; ///< statistical error of Centre, bins
    std::array<std::vector<float>, kFonChannels> B;      ///< NaN when there is none
    /// Per channel: how many frames have no centre, by reason.
    std::array<std::map<frames::SpectrumFault, int>, kFonChannels> NoCentre;
    /// Per channel: how many frames have no slope, by reason.
    std::array<std::map<frames::SpectrumFault, int>, kFonChannels> NoB;

    /// Appends the numbers of record `record` of file `file`.
    void Append(int32_t file, int32_t record, const frames::FrameNumbers& n);
    /// Appends every row of `other`, and adds its counts of missing numbers.
    void Append(const TrendTable& other);
    /// Makes room for `rows` rows in every column.
    void Reserve(size_t rows);
    /// Number of rows.
    size_t Size() const { return File.size(); }
    /// Removes every row.
    void Clear();
};

} // namespace trend
