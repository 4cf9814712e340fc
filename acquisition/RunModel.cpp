#include "acquisition/RunModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <algorithm>

#include "acquisition/RunFiles.h"
#include "datafiles/DataFileNames.h"
#include "datafiles/RecordFile.h"
#include "driver/ADC_Errors.h"
#include "platform/RunError.h"

namespace acq {
namespace {

constexpr int16_t kDefaultRadGains[6] = {20, 20, 5, 5, 100, 100};
constexpr int16_t kDefaultFonGain = 100;

TPointTime TimeOfDay(const rt::DateTimeParts& t)
{
    return {static_cast<uint16_t>(t.Hour), static_cast<uint16_t>(t.Min), static_cast<uint16_t>(t.Sec),
            static_cast<uint16_t>(t.MSec)};
}

} // namespace

RunModel::RunModel(QObject* parent)
    : QObject(parent),
      cycle_(std::make_unique<Cycle>(*this, FonRec, RadRec, Limits, static_cast<CycleSink&>(*this)))
{
    for (int c = 1; c <= 6; ++c)
        RadRec.RGain(c) = kDefaultRadGains[c - 1];
    for (int c = 1; c <= kFonChannels; ++c)
        FonRec.FGain(c) = kDefaultFonGain;
}

RunModel::~RunModel()
{
    cycle_->RequestStop();
    readout_.Stop();
    cycle_->Release();
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
    FonChanParam = boards::kFonChanParam;
    FirstBoardNo = boards::kFirstBoardNo;
    Cycle& c = *cycle_;
    c.FonSamples = boards::kFonSamples;
    c.RadSamples = boards::kRadSamples;
    c.SampleRate = boards::kSampleRate;
    c.FonSum1 = c.FonSum2 = c.FonSum3 = c.FonSum4 = 0;
}

bool RunModel::InitBoards()
{
    SetupValues v;
    v.SampleRate = cycle_->SampleRate;
    v.FonSamples = cycle_->FonSamples;
    v.RadSamples = cycle_->RadSamples;
    v.FonChanParam = FonChanParam;
    for (int c = 1; c <= kFonChannels; ++c)
        v.FonGains[static_cast<size_t>(c - 1)] = FonRec.FGain(c);
    for (int c = 1; c <= kRadChannels; ++c)
        v.RadGains[static_cast<size_t>(c - 1)] = RadRec.RGain(c);
    const int32_t st = acq::InitBoards(*this, v);
    if (!AdcOk(st)) {
        Error(st);
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

void RunModel::FileName() { FonFileName = datafiles::NameStem(rt::Now()) + datafiles::kFonExt; }

void RunModel::FileNameEAS() { RadFileName = datafiles::NameStem(rt::Now()) + datafiles::kRadExt; }

bool RunModel::StartBranch()
{
    ResetParameters();
    if (!InitBoards())
        return false;
    try {
        const RunFileNames names = CreateRunFiles(rt::Now());
        RadFileName = names.Rad;
        FonFileName = names.Fon;
    } catch (const rt::RunError& e) {
        // Without its files a run cannot keep anything: back to Idle.
        cycle_->Release();
        emit FileError(QString::fromUtf8(e.what()));
        return false;
    }
    RadRecNo = 0;
    FonRecNo = 0;
    pendingFrames_.clear();
    pendingEvents_.clear();
    Running = true;
    cycle_->Begin();
    shown_ = FonRec;
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
    // The last stored point keeps its counts; the points after it are zeroed
    // and the first of them carries the stop time, which marks the end of
    // the recording for the viewer.
    if (c.PointNo < kFonPoints) {
        for (int ch = 1; ch <= kFonChannels; ++ch)
            std::fill(FonRec.Counts(ch) + c.PointNo, FonRec.Counts(ch) + kFonPoints, 0);
        FonRec.Times[c.PointNo] = TimeOfDay(rt::Now());
    }
    QString error;
    const bool written = WriteAtStop(error);
    cycle_->Release();
    if (!written) {
        // Halted by error: the next press tries again.
        SetState(RunState::Halted);
        emit FileError(error);
        return false;
    }
    Running = false;
    SetState(RunState::Idle);
    return true;
}

bool RunModel::WriteAtStop(QString& error)
{
    // Each file on its own: a radio file that cannot be written never keeps
    // the frame from its file, nor the reverse.
    auto attempt = [&error](auto&& write) {
        try {
            write();
            return true;
        } catch (const rt::EInOutError& e) {
            if (error.isEmpty())
                error = QString::fromUtf8(e.what());
            return false;
        }
    };
    bool ok = true;
    while (!pendingEvents_.empty() && attempt([this] { recfile::WriteRecord(RadFileName, RadRecNo, pendingEvents_.front()); })) {
        pendingEvents_.pop_front();
        ++RadRecNo;
    }
    ok = pendingEvents_.empty();
    while (!pendingFrames_.empty() && attempt([this] { recfile::WriteRecord(FonFileName, FonRecNo, pendingFrames_.front()); })) {
        pendingFrames_.pop_front();
        ++FonRecNo;
        emit FrameWritten(FonRecNo);
    }
    if (!pendingFrames_.empty())
        return false;
    if (!attempt([this] { recfile::WriteRecord(FonFileName, FonRecNo, FonRec); }))
        return false;
    ++FonRecNo;
    emit FrameWritten(FonRecNo);
    return ok;
}

void RunModel::Timer1Timer()
{
    if (state_ == RunState::Running)
        Tick();
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

void RunModel::Halt(const QString& message)
{
    if (state_ == RunState::Running) {
        state_ = RunState::Halted;
        StopReadout();
        cycle_->Release();
        SetState(RunState::Halted);
    }
    emit FileError(message);
}

void RunModel::WriteFrame(const TFonKadr& frame)
{
    if (pendingFrames_.empty()) {
        try {
            recfile::WriteRecord(FonFileName, FonRecNo, frame);
            ++FonRecNo;
            emit FrameWritten(FonRecNo);
            return;
        } catch (const rt::EInOutError& e) {
            pendingFrames_.push_back(frame);
            Halt(QString::fromUtf8(e.what()));
            return;
        }
    }
    pendingFrames_.push_back(frame); // after one that failed: kept in order
}

void RunModel::WriteEvent(const TRadKadr& event)
{
    if (pendingEvents_.empty()) {
        try {
            recfile::WriteRecord(RadFileName, RadRecNo, event);
            ++RadRecNo;
            emit NewEvent(event, RadRecNo);
            return;
        } catch (const rt::EInOutError& e) {
            pendingEvents_.push_back(event);
            Halt(QString::fromUtf8(e.what()));
            return;
        }
    }
    pendingEvents_.push_back(event);
}

const TFonKadr& RunModel::ListingFrame() const { return readout_.Joinable() ? shown_ : FonRec; }

LiveFigures RunModel::Figures() const { return cycle_->Live().Read(SteadyNowNs()); }

// ---- What the cycle hands on -------------------------------------------------

void RunModel::FrameStarted(int16_t kadrNo, const rt::DateTimeParts& t)
{
    Deliver([this, kadrNo, t] {
        shown_.KadrNo = kadrNo;
        emit NewFrame(kadrNo, t);
    });
}

void RunModel::PointStored(int32_t pointNo, const TPointTime& time, const std::array<int32_t, 4>& counts)
{
    Deliver([this, pointNo, time, counts] {
        shown_.Times[pointNo - 1] = time;
        for (int c = 1; c <= kFonChannels; ++c)
            shown_.Counts(c)[pointNo - 1] = counts[static_cast<size_t>(c - 1)];
        emit NewPoint(pointNo);
    });
}

void RunModel::BatchReady(const TFonKadr& frame, int32_t first, int32_t last)
{
    auto copy = std::make_shared<const TFonKadr>(frame);
    Deliver([this, copy, first, last] {
        shown_ = *copy;
        emit NewBatch(*copy, first, last);
    });
}

void RunModel::FrameComplete(const TFonKadr& frame)
{
    auto copy = std::make_shared<const TFonKadr>(frame);
    Deliver([this, copy] {
        emit FrameClosed();
        WriteFrame(*copy);
    });
}

void RunModel::EventStamped(int16_t eventNo, const rt::DateTimeParts& t)
{
    Deliver([this, eventNo, t] { emit NewEventStamp(eventNo, t); });
}

void RunModel::EventRead(const TRadKadr& event)
{
    auto copy = std::make_shared<const TRadKadr>(event);
    Deliver([this, copy] { WriteEvent(*copy); });
}

void RunModel::Halted(const std::string& message)
{
    const QString text = QString::fromStdString(message);
    Deliver([this, text] {
        if (state_ == RunState::Running) {
            state_ = RunState::Halted;
            StopReadout();
            SetState(RunState::Halted);
        }
        emit StatusMessage(text);
    });
}

} // namespace acq
