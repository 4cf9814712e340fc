#include "trend/TrendTable.h"

#include <cmath>

namespace trend {

void TrendTable::Append(int32_t file, int32_t record, const frames::FrameNumbers& n)
{
    File.push_back(file);
    Record.push_back(record);
    Time.push_back(frames::StampSeconds(n.Start));
    Points.push_back(static_cast<int16_t>(n.Points));
    PointSeconds.push_back(static_cast<float>(n.PointSeconds));
    for (size_t c = 0; c < kFonChannels; ++c) {
        const frames::ChannelNumbers& ch = n.Channels[c];
        MeanPerPoint[c].push_back(static_cast<float>(ch.MeanPerPoint));
        Centre[c].push_back(ch.HasCentre() ? static_cast<float>(ch.Centre) : std::nanf(""));
        CentreError[c].push_back(ch.CentreError);
        B[c].push_back(ch.B);
        if (!ch.HasCentre())
            ++NoCentre[c][ch.NoCentre];
        if (!ch.HasB())
            ++NoB[c][ch.NoB];
    }
}

void TrendTable::Append(const TrendTable& other)
{
    const auto add = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
    add(File, other.File);
    add(Record, other.Record);
    add(Time, other.Time);
    add(Points, other.Points);
    add(PointSeconds, other.PointSeconds);
    for (size_t c = 0; c < kFonChannels; ++c) {
        add(MeanPerPoint[c], other.MeanPerPoint[c]);
        add(Centre[c], other.Centre[c]);
        add(CentreError[c], other.CentreError[c]);
        add(B[c], other.B[c]);
        for (const auto& [why, count] : other.NoCentre[c])
            NoCentre[c][why] += count;
        for (const auto& [why, count] : other.NoB[c])
            NoB[c][why] += count;
    }
}

void TrendTable::Reserve(size_t rows)
{
    File.reserve(rows);
    Record.reserve(rows);
    Time.reserve(rows);
    Points.reserve(rows);
    PointSeconds.reserve(rows);
    for (size_t c = 0; c < kFonChannels; ++c) {
        MeanPerPoint[c].reserve(rows);
        Centre[c].reserve(rows);
        CentreError[c].reserve(rows);
        B[c].reserve(rows);
    }
}

void TrendTable::Clear()
{
    *this = TrendTable{};
}

} // namespace trend
