#pragma once
// The run model: the boards, the cycle, the frames and events, their files
// and the state of a run (Idle, Running, Halted by error), without a widget.
// The views (the main window, the headless recorder) start and stop it and
// draw from its signals, which are always emitted on the model's thread.
//
// A run normally has a readout thread of its own that runs the cycle; its
// results reach the model's thread as queued calls, where the files are
// written and the signals emitted. While that thread runs, the records and
// the cycle's counters belong to it; the model's thread touches them only
// when no readout thread runs (between runs, when halted, or in a run whose
// ticks are driven by hand through Timer1Timer).
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <string>

#include "acquisition/Boards.h"
#include "acquisition/ChannelLimits.h"
#include "acquisition/Cycle.h"
#include "acquisition/LiveTime.h"
#include "acquisition/Readout.h"
#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "platform/Clock.h"

namespace acq {

enum class RunState { Idle, Running, Halted };

class RunModel : public QObject, public Boards, private CycleSink {
    Q_OBJECT
public:
    explicit RunModel(QObject* parent = nullptr);
    ~RunModel() override;

    // ---- Files and records ------------------------------------------------------
    std::string FonFileName;
    alignas(8) TFonKadr FonRec{}; ///< the frame being filled; the viewer reads records into it
    int32_t FonRecNo = 0;
    std::string RadFileName;
    alignas(8) TRadKadr RadRec{};
    int32_t RadRecNo = 0;
    int32_t FonChanParam = boards::kFonChanParam;
    /// A run is going on or halted by error (the next Stop writes its frame).
    bool Running = false;
    /// The amplitude limits of the four channels.
    ChannelLimits Limits;

    /// The cycle: its counters, sums, buffer and run parameters.
    Cycle& Engine() { return *cycle_; }
    const Cycle& Engine() const { return *cycle_; }
    RunState State() const { return state_; }
    /// Ticks driven by hand through Timer1Timer instead of a readout thread.
    void SetManualTicks(bool on) { manual_ = on; }

    /// The acquisition parameters back to their fixed values (every press
    /// of Start/Stop does this before its branch).
    void ResetParameters();
    /// Obtains, configures and starts the five boards; on failure reports
    /// through Error and returns false.
    bool InitBoards();
    /// Stops and releases the boards held.
    void FreeBoards();
    /// A driver error: the boards are released and its message shown.
    void Error(int32_t code);
    /// Starts a run: boards, both files, the first frame, the readout.
    /// False when the boards or the files could not be had (reported).
    bool StartBranch();
    /// Stops the run: the readout ends, the unfinished frame is closed and
    /// written with everything still pending, the boards are released.
    /// False (and Halted) when a record could not be written. A record whose
    /// file failed before goes to a rescue file instead (see
    /// CreateRescueFile); the status message says where.
    bool StopBranch();
    /// Ends a halted run without writing what is pending (the operator chose
    /// to lose it): boards released, Idle.
    void Abandon();
    /// One tick of the cycle, for runs whose ticks are driven by hand.
    void Timer1Timer();
    /// The file names a start at this moment would take (without suffix).
    void FileName();
    void FileNameEAS();

    /// The frame the run last filled, as far as the model's thread knows it
    /// (FonRec itself when no readout thread runs).
    const TFonKadr& ListingFrame() const;
    /// Live time and cycles of the run so far.
    LiveFigures Figures() const;

signals:
    void StateChanged(acq::RunState state);
    /// The boards run; the run's start time.
    void BoardsStarted(const rt::DateTimeParts& t);
    void NewFrame(int16_t kadrNo, const rt::DateTimeParts& t);
    void NewPoint(int32_t pointNo);
    /// Points first..last of `frame` make the next chart batch.
    void NewBatch(const TFonKadr& frame, int32_t first, int32_t last);
    /// The frame is full: its chart starts again.
    void FrameClosed();
    /// A frame record was written; `records` written so far.
    void FrameWritten(int32_t records);
    void NewEventStamp(int16_t eventNo, const rt::DateTimeParts& t);
    /// A radio event was written; `records` written so far.
    void NewEvent(const TRadKadr& event, int32_t records);
    /// Driver errors and stops of the hardware, as the status bar shows them.
    void StatusMessage(const QString& message);
    /// A record or file that could not be written or created.
    void FileError(const QString& message);
    /// A tick abandoned (a limit that is not a whole number).
    void TickError(const QString& message);
    /// Cycles in the unfinished frame at a stop.
    void StopCycles(int32_t cycles);

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
    void WriteFrame(const TFonKadr& frame);
    void WriteEvent(const TRadKadr& event);
    /// Writes `records` from the front at index `next` of `file`; when the
    /// file fails again after an earlier failure, into a rescue file.
    template <class Record>
    bool Flush(const std::string& file, int32_t& next, std::deque<Record>& records, bool& failedBefore,
               QString& error, QStringList& rescued);
    /// Writes the frame so far in place, as far as `points`.
    void WriteInPlace(const TFonKadr& frame, int32_t points);
    /// A record could not be written during a run: the run halts.
    void Halt(const QString& message);
    /// Ends the readout thread and applies everything it handed on.
    void StopReadout();
    void SetState(RunState s);

    std::unique_ptr<Cycle> cycle_;
    Readout readout_;
    bool manual_ = false;
    RunState state_ = RunState::Idle;
    std::deque<TFonKadr> pendingFrames_;  ///< full frames not yet written, oldest first
    std::deque<TRadKadr> pendingEvents_;  ///< events not yet written, oldest first
    bool fonFailed_ = false;              ///< a frame write of this run failed
    bool radFailed_ = false;              ///< an event write of this run failed
    bool frameClosed_ = false;            ///< the stop has closed the last frame (queued)
    bool inPlaceFailed_ = false;          ///< the last write of the frame so far failed
    TFonKadr shown_{};                    ///< the frame as the readout thread last handed it on
};

} // namespace acq
