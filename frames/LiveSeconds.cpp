#include "frames/LiveSeconds.h"

#include <cmath>

namespace frames {

double LiveSeconds(int64_t points)
{
    return points > 0 ? static_cast<double>(points) * kPointLiveSeconds : 0.0;
}

double MeanPerLiveSecond(double counts, double liveSeconds)
{
    if (!(liveSeconds > 0) || !std::isfinite(liveSeconds))
        return std::nan("");
    return counts / liveSeconds;
}

} // namespace frames
