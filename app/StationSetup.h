#pragma once
// A station as both entries run it, composed in one place: the run model on
// the station's boards writing into the data folder, and the publisher when
// publishing is set, subscribed before any run starts so it sees the start.
// The window program puts its windows on top; the headless recorder its
// progress line and service notices.
#include <memory>

#include "acquisition/RunModel.h"
#include "app/Options.h"
#include "network/Publisher.h"

namespace app {

class StationSetup {
public:
    explicit StationSetup(const Options& o);
    ~StationSetup();
    StationSetup(const StationSetup&) = delete;
    StationSetup& operator=(const StationSetup&) = delete;

    acq::RunModel& Run() { return *run_; }
    /// The publisher; null when the station does not publish.
    net::Publisher* Publisher() { return publisher_.get(); }

private:
    std::unique_ptr<acq::RunModel> run_;
    std::unique_ptr<net::Publisher> publisher_; ///< goes before the run model it subscribes to
};

} // namespace app
