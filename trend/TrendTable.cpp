#include "trend/TrendTable.h"

#include <cmath>

void TrendTable::Append(int32_t file, int32_t record, const FrameNumbers& n)
{
    File.push_back(file);
    Record.push_back(record);
    Time.push_back(StampSeconds(n.Start));
    Points.push_back(static_cast<int16_t>(n.Points));
    for (size_t c = 0; c < kFonChannels; ++c) {
        const ChannelNumbers& ch = n.Channels[c];
        Rate[c].push_back(static_cast<float>(ch.Rate));
        Centre[c].push_back(ch.HasCentre() ? static_cast<float>(ch.Centre) : std::nanf(""));
        B[c].push_back(ch.B);
        if (!ch.HasCentre())
            ++NoCentre[c][ch.NoCentre];
        if (!ch.HasB())
            ++NoB[c][ch.NoB];
    }
}

void TrendTable::Clear()
{
    *this = TrendTable{};
}
