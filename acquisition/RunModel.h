#pragma once
// The run model: a station's boards, the cycle and the state of a run
// (Idle, Running, Halted), without a widget and without a file. Consumers
// subscribe to its signals: the recorder writes the files, the windows and
// the headless line draw and count. A consumer that keeps what the run
// hands on is also waited for (Wait): told when a run begins and ends, and
// a stop returns when each has kept everything. A model without one writes
// nothing; the station's composition attaches the recorder (app/StationSetup).
//
// A run has a readout thread of its own that runs the cycle. The data
// signals (NewFrame, NewPoint, NewBatch, FrameClosed, NewEventStamp,
// NewEvent) are emitted on the thread the data come from:
// the readout thread during a run, so a widget connected the usual way gets
// them queued, in order, with copies of its own, and a consumer connected
// directly (the recorder) takes them at once. Every other signal is emitted on the model's thread.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/Boards.h"
#include "acquisition/ChannelLimits.h"
#include "acquisition/Cycle.h"
#include "acquisition/LiveTime.h"
#include "acquisition/Readout.h"
#include "acquisition/RunTypes.h"
#include "acquisition/Station.h"
#include "acquisition/WaitedConsumer.h"

namespace acq {

enum class RunState { Idle, Running, Halted };

class RunModel : public QObject, private CycleSink {
    Q_OBJECT
public:
    explicit RunModel(const Station& station = Station::Default(), QObject* parent = nullptr);
    ~RunModel() override;

    // ---- State ----------------------------------------------------------------
    RunState State() const { return state_; }
    /// A run is going on, or halted by error (the next stop writes its frame).
    bool Running() const { return state_ != RunState::Idle; }
    const Station& StationInUse() const { return station_; }
    /// The files of the run going on or last run (paths in the data folder);
    /// empty from a start until the recorder has created them (FilesCreated),
    /// and always without a recorder.
    const std::string& FonFile() const { return fonFile_; }
    const std::string& RadFile() const { return radFile_; }
    /// Records written so far by the run (with its rescue files).
    int32_t FramesWritten() const { return framesWritten_; }
    int32_t EventsWritten() const { return eventsWritten_; }
    /// Channel c's limit (1..4) as the next selection pass counts with it;
    /// raises rt::EConvertError while its text is not a whole number.
    int32_t LimitInForce(int channel) const { return limits_.Get(channel); }
    /// True while boards are held.
    bool BoardsHeld() const { return boards_.Any(); }
    /// The frame as far as the run has filled it (a copy, from any thread).
    TFonKadr FrameSoFarCopy() const;
    /// Live time and cycles of the run so far.
    LiveFigures Figures() const;
    /// What the run going on or last run put into rescue files: a line for
    /// each, naming the file it failed and the rescue file in full. Kept
    /// after the stop until the next start.
    const QStringList& RescueNotices() const { return rescueNotices_; }

    // ---- Commands ---------------------------------------------------------------
    /// Starts a run with these gains and limits: boards, the first frame,
    /// the readout; the waited consumers are told (the recorder creates both
    /// files on its thread). False
    /// when the boards could not be had (reported); files that cannot be
    /// created end the run soon after (RunHalted with HaltCause::NoFiles,
    /// FileError, Idle).
    bool StartBranch(const RunSettings& settings);
    /// Stops the run: the readout ends, the unfinished frame is closed and
    /// handed to each waited consumer; returns when each has kept
    /// everything still pending (the recorder: on disk). A
    /// record whose file failed before goes to a rescue file instead; the
    /// status message says where. False (and Halted) when a record could
    /// not be written.
    bool StopBranch();
    /// Ends a halted run without writing what is pending (the operator chose
    /// to lose it): boards released, Idle.
    void Abandon();
    /// The text of channel c's limit (1..4) changed: it counts from the next
    /// selection pass, also during a run.
    void SetLimitText(int channel, const QString& text);

    // ---- Consumers that a run waits for ----------------------------------------
    /// From now on runs begin, end and drain with `consumer` too (in the
    /// order of the calls).
    void Wait(WaitedConsumer& consumer);
    /// `consumer` is no longer told nor waited for.
    void StopWaiting(WaitedConsumer& consumer);

    // ---- What the recorder reports (on the model's thread) ---------------------
    /// The run's files were created.
    void TakeFiles(const QString& fonFile, const QString& radFile);
    /// The run's files could not be created (`why`, without the folder): the run ends.
    void FilesNotCreated(const QString& why);
    /// Records written in all (frames with their rescue file, events).
    void TakeFramesWritten(int32_t records);
    void TakeEventsWritten(int32_t records);
    /// A finished frame or an event could not be written: the run halts.
    void RecordRefused(const QString& message);
    /// The frame under way goes on in the rescue file `path`; `notice` says why.
    void TakeRescueFile(const QString& path, const QString& notice);

    // ---- The cycle's parts, by their names ------------------------------------
    /// Obtains, configures and starts the station's boards with the gains
    /// of `settings`; on failure reports through Error and returns false.
    bool InitBoards(const RunSettings& settings);
    /// Stops and releases the boards held.
    void FreeBoards();
    /// A driver error: the boards are released and its message shown.
    void Error(int32_t code);
    /// The acquisition parameters back to their fixed values (every start
    /// and stop does this first).
    void ResetParameters();

    // ---- For tests and benchmarks ------------------------------------------------
    /// Ticks driven by hand through Timer1Timer instead of a readout thread.
    void SetManualTicks(bool on) { manual_ = on; }
    /// One tick of the cycle, for runs whose ticks are driven by hand.
    void Timer1Timer();
    /// Waits until each waited consumer has done with everything handed on
    /// and what it reported has reached the model.
    void Drain();
    /// The cycle: its counters and records (only while no readout thread runs).
    Cycle& Engine() { return *cycle_; }

signals:
    void StateChanged(acq::RunState state);
    /// The boards run; the run's start time.
    void BoardsStarted(const rt::DateTimeParts& t);
    /// The run halted by itself: a driver error or a record its file refused.
    void RunHalted(acq::HaltCause cause, const QString& reason);

    // Data (on the thread the data come from; see above).
    /// A frame was begun: its number and start time.
    void NewFrame(int16_t kadrNo, const rt::DateTimeParts& t);
    /// Point `pointNo` (1..600) of the frame was stored with these counts.
    void NewPoint(int32_t pointNo, const TPointTime& time, const acq::PointCounts& counts);
    /// The frame so far: points first..last make the next chart batch, and
    /// its first `last` points are to be saved in place.
    void NewBatch(const TFonKadr& frame, int32_t first, int32_t last);
    /// The frame holds 600 points; the next one begins.
    void FrameClosed(const TFonKadr& frame);
    /// A radio event was stamped (its readout follows) and read.
    void NewEventStamp(int16_t eventNo, const rt::DateTimeParts& t);
    void NewEvent(const TRadKadr& event);

    /// The run's files were created (paths in the data folder).
    void FilesCreated(const QString& fonFile, const QString& radFile);
    /// Records written in all (frames with their rescue file, events).
    void FrameWritten(int32_t records);
    void EventWritten(int32_t records);
    /// File `path`, the run's own file or a rescue file the recorder put
    /// beside it, holds `records` whole records of the run now (0: a rescue
    /// file just made). Every file a record of the run went to is named here.
    void RecordsInFile(const QString& path, int32_t records);
    /// Driver errors and stops of the hardware, rescue files in use, as the
    /// status bar shows them.
    void StatusMessage(const QString& message);
    /// A record or file that could not be written or created.
    void FileError(const QString& message);
    /// A tick abandoned (a limit that is not a whole number).
    void TickError(const QString& message);
    /// Cycles in the unfinished frame at a stop.
    void StopCycles(int32_t cycles);
    /// Records of the run went to the rescue file `path` (during the run or
    /// at the stop); `notice` is the line RescueNotices() gained.
    void RescueFileInUse(const QString& path, const QString& notice);

private:
    // ---- What the cycle hands on (readout thread or this one) ----------------
    void FrameStarted(int16_t kadrNo, const rt::DateTimeParts& t) override;
    void PointStored(int32_t pointNo, const TPointTime& time, const std::array<int32_t, 4>& counts) override;
    void BatchReady(const TFonKadr& frame, int32_t first, int32_t last) override;
    void FrameComplete(const TFonKadr& frame) override;
    void EventStamped(int16_t eventNo, const rt::DateTimeParts& t) override;
    void EventRead(const TRadKadr& event) override;
    void Halted(const std::string& message) override;

    /// Runs `f` on the model's thread: now when called there, else queued.
    template <class F>
    void Deliver(F&& f);
    void Tick();
    /// The run halts (readout ended, boards released) for `cause`.
    void Halt(HaltCause cause, const QString& message);
    /// Hands the stop to each waited consumer; what they found, together.
    StopOutcome EndConsumers(const TFonKadr* last, int32_t points, const TPointTime& end);
    /// Ends the readout thread and applies everything it handed on.
    void StopReadout();
    void SetState(RunState s);

    Station station_;
    Boards boards_;
    ChannelLimits limits_;
    std::unique_ptr<Cycle> cycle_;
    std::vector<WaitedConsumer*> waited_;
    Readout readout_;
    bool manual_ = false;
    RunState state_ = RunState::Idle;
    int32_t fonChanParam_ = boards::kFonChanParam;
    std::string fonFile_, radFile_;
    int32_t framesWritten_ = 0, eventsWritten_ = 0;
    bool frameClosed_ = false; ///< the stop has handed the last frame on
    QStringList rescueNotices_;
    mutable std::mutex shownMutex_;
    TFonKadr shown_{}; ///< the frame as the cycle last handed it on
};

} // namespace acq
