#include "acquisition/Station.h"

#include "driver/VT_Drivers.h"

namespace acq {

Station Station::Default()
{
    Station s;
    s.Driver = {vt::Company, vt::Product, vt::Version, vt::Device};
    s.Boards.assign(boards::kBoards.begin(), boards::kBoards.end());
    return s;
}

std::vector<int> Station::IndicesOf(boards::Role role) const
{
    std::vector<int> out;
    for (size_t i = 0; i < Boards.size(); ++i)
        if (Boards[i].Kind == role)
            out.push_back(static_cast<int>(i));
    return out;
}

} // namespace acq
