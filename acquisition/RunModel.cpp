#include "acquisition/RunModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "driver/ADC_Errors.h"
#include "platform/RunError.h"

namespace acq {

RunSettings DefaultRunSettings()
{
    RunSettings s;
    s.FonGains = boards::kDefaultFonGains;
    s.RadioGains = boards::kDefaultRadioGains;
    for (size_t c = 0; c < s.Limits.size(); ++c)
        s.Limits[c] = QString::number(kDefaultLimits[c]);
    return s;
}

RunModel::RunModel(const Station& station, QObject* parent)
    : QObject(parent), station_(station),
      cycle_(std::make_unique<Cycle>(boards_, limits_, static_cast<CycleSink&>(*this)))
{
    qRegisterMetaType<TFonKadr>();
    qRegisterMetaType<TRadKadr>();
    qRegisterMetaType<TPointTime>();
    qRegisterMetaType<PointCounts>();
    qRegisterMetaType<rt::DateTimeParts>();
    boards_.Arrange(station_);
    for (int c = 1; c <= kFonChannels; ++c)
        limits_.Set(c, kDefaultLimits[static_cast<size_t>(c - 1)]);
}

RunModel::~RunModel()
{
    cycle_->RequestStop();
    readout_.Stop();
    cycle_->Release();
    for (WaitedConsumer* c : waited_)
        c->Drain();
}

void RunModel::Wait(WaitedConsumer& consumer) { waited_.push_back(&consumer); }

void RunModel::StopWaiting(WaitedConsumer& consumer) { std::erase(waited_, &consumer); }

void RunModel::TakeFiles(const QString& fonFile, const QString& radFile)
{
    fonFile_ = fonFile.toStdString();
    radFile_ = radFile.toStdString();
    emit FilesCreated(fonFile, radFile);
}

void RunModel::TakeFramesWritten(int32_t records)
{
    framesWritten_ = records;
    emit FrameWritten(records);
}

void RunModel::TakeEventsWritten(int32_t records)
{
    eventsWritten_ = records;
    emit EventWritten(records);
}

void RunModel::RecordRefused(const QString& message) { Halt(HaltCause::File, message); }

void RunModel::TakeRescueFile(const QString& path, const QString& notice)
{
    rescueNotices_ << notice;
    emit StatusMessage(notice);
    emit RescueFileInUse(path, notice);
}

template <class F>
void RunModel::Deliver(F&& f)
{
    if (QThread::currentThread() == thread())
        f();
    else
        QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
}

void RunModel::SetState(RunState s)
{
    state_ = s;
    emit StateChanged(s);
}

void RunModel::ResetParameters()
{
    fonChanParam_ = boards::kFonChanParam;
    boards_.FirstBoardNo = boards::kFirstBoardNo;
    Cycle& c = *cycle_;
    c.FonSamples = boards::kFonSamples;
    c.RadSamples = boards::kRadSamples;
    c.SampleRate = boards::kSampleRate;
    c.FonSum1 = c.FonSum2 = c.FonSum3 = c.FonSum4 = 0;
}

bool RunModel::InitBoards(const RunSettings& settings)
{
    Cycle& c = *cycle_;
    for (int ch = 1; ch <= kFonChannels; ++ch)
        c.FonRec.FGain(ch) = settings.FonGains[static_cast<size_t>(ch - 1)];
    for (int ch = 1; ch <= kRadChannels; ++ch)
        c.RadRec.RGain(ch) = settings.RadioGains[static_cast<size_t>(ch - 1)];
    SetupValues v;
    v.SampleRate = c.SampleRate;
    v.FonSamples = c.FonSamples;
    v.RadSamples = c.RadSamples;
    v.FonChanParam = fonChanParam_;
    v.FonGains = settings.FonGains;
    v.RadGains = settings.RadioGains;
    const int32_t st = acq::InitBoards(boards_, v);
    if (!AdcOk(st)) {
        if (st == kErrNoDriver && !boards_.DriverProblem.empty()) {
            // A hive or a library that is a pipe or a device: say so beside the driver message.
            cycle_->Release();
            emit StatusMessage(QString::fromUtf8(AdcErrorText(st)) + ": " +
                               QString::fromStdString(boards_.DriverProblem));
        } else {
            Error(st);
        }
        return false;
    }
    emit BoardsStarted(rt::Now());
    return true;
}

void RunModel::FreeBoards() { cycle_->Release(); }

void RunModel::Error(int32_t code)
{
    cycle_->Release();
    emit StatusMessage(QString::fromUtf8(AdcErrorText(code)));
}

void RunModel::SetLimitText(int channel, const QString& text) { limits_.SetText(channel, text); }

bool RunModel::StartBranch(const RunSettings& settings)
{
    rescueNotices_.clear(); // the last run's rescue files are told until the operator starts again
    ResetParameters();
    for (int c = 1; c <= kFonChannels; ++c)
        limits_.SetText(c, settings.Limits[static_cast<size_t>(c - 1)]);
    if (!InitBoards(settings))
        return false;
    // The recorder creates the files, and syncs their folder, on its own
    // thread: the start never waits on the disk. Their names follow (FilesCreated).
    fonFile_.clear();
    radFile_.clear();
    const rt::DateTimeParts start = rt::Now();
    for (WaitedConsumer* c : waited_)
        c->RunBegins(station_.DataDir, start);
    framesWritten_ = eventsWritten_ = 0;
    frameClosed_ = false;
    cycle_->Begin(fonChanParam_);
    {
        std::lock_guard lock(shownMutex_);
        shown_ = cycle_->FonRec;
    }
    SetState(RunState::Running);
    if (!manual_)
        readout_.Start([this] { Tick(); }, [this](int64_t now) { return cycle_->NextTickNs(now); });
    return true;
}

bool RunModel::StopBranch()
{
    StopReadout();
    ResetParameters();
    Cycle& c = *cycle_;
    emit StopCycles(c.PointNo * kCyclesPerPoint + c.CycleCount);
    // The boards stop first: the recording ends there, and the first point
    // after the last one stored carries that time as the end marker (for a
    // run halted by an error, the time it halted).
    cycle_->Release();
    const bool last = !frameClosed_;
    frameClosed_ = true;
    const StopOutcome out = EndConsumers(last ? &c.FonRec : nullptr, c.PointNo, c.StoppedAt());
    if (last) {
        std::lock_guard lock(shownMutex_);
        shown_ = c.FonRec;
        for (int ch = 1; ch <= kFonChannels; ++ch)
            std::fill(shown_.Counts(ch) + c.PointNo, shown_.Counts(ch) + kFonPoints, 0);
        shown_.Times[c.PointNo] = c.StoppedAt();
    }
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); // the counts written
    if (!out.Rescued.isEmpty())
        emit StatusMessage(out.Rescued.join("; "));
    for (qsizetype i = 0; i < out.Rescued.size(); ++i) {
        rescueNotices_ << out.Rescued[i];
        emit RescueFileInUse(out.RescueFiles.value(i), out.Rescued[i]);
    }
    if (!out.Ok) {
        // Halted by error: the next stop tries again, and then a rescue file.
        SetState(RunState::Halted);
        emit FileError(out.Error);
        return false;
    }
    SetState(RunState::Idle);
    return true;
}

StopOutcome RunModel::EndConsumers(const TFonKadr* last, int32_t points, const TPointTime& end)
{
    StopOutcome all;
    for (WaitedConsumer* c : waited_) {
        const StopOutcome out = c->RunEnds(last, points, end);
        if (!out.Ok && all.Ok)
            all.Error = out.Error;
        all.Ok = all.Ok && out.Ok;
        all.Rescued << out.Rescued;
        all.RescueFiles << out.RescueFiles;
    }
    return all;
}

void RunModel::Abandon()
{
    StopReadout();
    cycle_->Release();
    for (WaitedConsumer* c : waited_)
        c->Discard();
    SetState(RunState::Idle);
}

void RunModel::Timer1Timer()
{
    if (state_ == RunState::Running)
        Tick();
}

void RunModel::Drain()
{
    for (WaitedConsumer* c : waited_)
        c->Drain();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void RunModel::Tick()
{
    try {
        cycle_->Timer1Timer();
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        Deliver([this, message] { emit TickError(message); });
    }
}

void RunModel::StopReadout()
{
    if (!readout_.Joinable())
        return;
    cycle_->RequestStop();
    readout_.Stop();
    // What the thread handed on before it ended is applied now, in order.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void RunModel::Halt(HaltCause cause, const QString& message)
{
    if (state_ == RunState::Running) {
        state_ = RunState::Halted;
        StopReadout();
        cycle_->Release();
        SetState(RunState::Halted);
        emit RunHalted(cause, message);
    }
    if (cause == HaltCause::File)
        emit FileError(message);
    else
        emit StatusMessage(message);
}

void RunModel::FilesNotCreated(const QString& why)
{
    // Without its files a run cannot keep anything: back to Idle.
    const QString folder = QString::fromStdString(station_.DataDir.empty() ? "." : station_.DataDir);
    const QString message = QString("Файлы записи не созданы в %1: %2").arg(folder, why);
    if (state_ != RunState::Idle) {
        state_ = RunState::Idle;
        StopReadout();
        cycle_->Release();
        SetState(RunState::Idle);
        emit RunHalted(HaltCause::NoFiles, message);
    }
    emit FileError(message);
}

TFonKadr RunModel::FrameSoFarCopy() const
{
    std::lock_guard lock(shownMutex_);
    return shown_;
}

LiveFigures RunModel::Figures() const { return cycle_->Live().Read(SteadyNowNs()); }

// ---- What the cycle hands on -------------------------------------------------

void RunModel::FrameStarted(int16_t kadrNo, const rt::DateTimeParts& t)
{
    {
        std::lock_guard lock(shownMutex_);
        shown_.KadrNo = kadrNo;
    }
    emit NewFrame(kadrNo, t);
}

void RunModel::PointStored(int32_t pointNo, const TPointTime& time, const std::array<int32_t, 4>& counts)
{
    {
        std::lock_guard lock(shownMutex_);
        shown_.Times[pointNo - 1] = time;
        for (int c = 1; c <= kFonChannels; ++c)
            shown_.Counts(c)[pointNo - 1] = counts[static_cast<size_t>(c - 1)];
    }
    emit NewPoint(pointNo, time, counts);
}

void RunModel::BatchReady(const TFonKadr& frame, int32_t first, int32_t last)
{
    {
        std::lock_guard lock(shownMutex_);
        shown_ = frame;
    }
    emit NewBatch(frame, first, last);
}

void RunModel::FrameComplete(const TFonKadr& frame) { emit FrameClosed(frame); }

void RunModel::EventStamped(int16_t eventNo, const rt::DateTimeParts& t) { emit NewEventStamp(eventNo, t); }

void RunModel::EventRead(const TRadKadr& event) { emit NewEvent(event); }

void RunModel::Halted(const std::string& message)
{
    const QString text = QString::fromStdString(message);
    Deliver([this, text] { Halt(HaltCause::Driver, text); });
}

} // namespace acq
