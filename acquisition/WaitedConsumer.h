#pragma once
// A consumer of the run model that a run waits for: one that keeps what the
// run hands on (the recorder's files) and so has to be told when a run
// begins and ends, and waited for at a stop. A consumer that only draws or
// counts needs none of this; it connects to the model's signals and no more.
//
// The model calls these on its own thread. A waited consumer outlives the
// model it is attached to (or leaves it first with RunModel::StopWaiting).
#include <QString>
#include <QStringList>
#include <string>

#include "datafiles/FonKadr.h"
#include "platform/Clock.h"

namespace acq {

/// What a consumer found at a stop.
struct StopOutcome {
    bool Ok = true;          ///< everything handed on is kept (in its own file or a rescue file)
    QString Error;           ///< why not, when not
    QStringList Rescued;     ///< a line for every file whose records went to a rescue file
    QStringList RescueFiles; ///< those rescue files, in the same order
};

class WaitedConsumer {
public:
    virtual ~WaitedConsumer() = default;
    /// A run begins at `t`, its files in `folder`.
    virtual void RunBegins(const std::string& folder, const rt::DateTimeParts& t) = 0;
    /// The run stops: `last` (when given) is the unfinished frame with
    /// `points` points and `end` the time the recording stopped. Returns
    /// when everything handed on is kept or has failed.
    virtual StopOutcome RunEnds(const TFonKadr* last, int32_t points, const TPointTime& end) = 0;
    /// Waits until everything handed on so far is done with.
    virtual void Drain() = 0;
    /// Forgets what is pending (the operator chose to lose it).
    virtual void Discard() = 0;
};

} // namespace acq
