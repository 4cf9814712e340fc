#include "app/StationSetup.h"

namespace app {

StationSetup::StationSetup(const Options& o)
{
    acq::Station station = acq::Station::Default();
    station.DataDir = o.DataDir;
    run_ = std::make_unique<acq::RunModel>(station);
    recorder_.Attach(*run_);
    if (o.Network.Enabled())
        publisher_ = std::make_unique<net::Publisher>(*run_, o.Network);
}

StationSetup::~StationSetup() = default;

} // namespace app
