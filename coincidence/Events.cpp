#include "coincidence/Events.h"

#include <algorithm>

namespace coinc {

int Coincidence::Stations() const
{
    std::vector<int32_t> seen;
    seen.reserve(members.size());
    for (const Member& m : members)
        if (std::find(seen.begin(), seen.end(), m.station) == seen.end())
            seen.push_back(m.station);
    return static_cast<int>(seen.size());
}

} // namespace coinc
