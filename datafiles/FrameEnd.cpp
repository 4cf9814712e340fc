#include "datafiles/FrameEnd.h"

namespace {

using Counts = std::span<const int32_t, kFonPoints>;

/// The first point (1..600) whose four counts are all 0, else 0.
int32_t FirstEmptyPoint(Counts c1, Counts c2, Counts c3, Counts c4)
{
    for (int i = 0; i < kFonPoints; ++i)
        if (c1[i] == 0 && c2[i] == 0 && c3[i] == 0 && c4[i] == 0)
            return i + 1;
    return 0;
}

} // namespace

int32_t FrameEndPoint(Counts c1, Counts c2, Counts c3, Counts c4, bool lastRecord)
{
    const int32_t stop = lastRecord ? FirstEmptyPoint(c1, c2, c3, c4) : 0;
    return stop != 0 ? stop : kFonPoints;
}

int32_t StopPoint(const TFonKadr& k, bool lastRecord)
{
    const auto counts = [&k](int c) { return Counts(k.Counts(c), kFonPoints); };
    return lastRecord ? FirstEmptyPoint(counts(1), counts(2), counts(3), counts(4)) : 0;
}
