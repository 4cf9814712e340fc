#pragma once
// A station as both entries run it, composed in one place: the run model on
// the station's boards, the recorder writing its runs into the data folder
// (a consumer the run waits for at a stop), and the publisher when
// publishing is set; both subscribed before any run starts so they see it.
// The window program puts its windows on top; the headless recorder its
// progress line and service notices.
#include <memory>

#include "acquisition/Recorder.h"
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
    acq::Recorder recorder_; ///< outlives the run model that waits for it
    std::unique_ptr<acq::RunModel> run_;
    std::unique_ptr<net::Publisher> publisher_; ///< goes before the run model it subscribes to
};

} // namespace app
