#pragma once
// A run model composed as the station composes it: with the recorder
// attached, so its runs write their files. A bare RunModel writes none.
#include "acquisition/Recorder.h"
#include "acquisition/RunModel.h"

namespace testing_support {

class RecordingRun {
public:
    explicit RecordingRun(const acq::Station& station = acq::Station::Default()) : run_(station)
    {
        recorder_.Attach(run_);
    }
    acq::RunModel& Run() { return run_; }

private:
    acq::Recorder recorder_; ///< outlives the run that waits for it
    acq::RunModel run_;
};

} // namespace testing_support
