#include "acquisition/RunModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <cstdio>

#include "acquisition/RunFiles.h"
#include "datafiles/DataFileNames.h"
#include "datafiles/RecordFile.h"
#include "driver/ADC_Errors.h"
#include "platform/Hive.h"
#include "platform/RunError.h"

namespace acq {
namespace {


} // namespace

RunModel::RunModel(QObject* parent)
    : QObject(parent),
      cycle_(std::make_unique<Cycle>(*this, FonRec, RadRec, Limits, static_cast<CycleSink&>(*this)))
{
    for (int c = 1; c <= kRadChannels; ++c)
        RadRec.RGain(c) = boards::kDefaultRadioGains[static_cast<size_t>(c - 1)];
    for (int c = 1; c <= kFonChannels; ++c)
        FonRec.FGain(c) = boards::kDefaultFonGains[static_cast<size_t>(c - 1)];
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
        if (st == kErrNoDriver && !hive::LastProblem().empty()) {
            // A hive that is a pipe or a device: say so beside the driver message.
            cycle_->Release();
            emit StatusMessage(QString::fromUtf8(AdcErrorText(st)) + ": " +
                               QString::fromStdString(hive::LastProblem()));
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
    fonFailed_ = radFailed_ = frameClosed_ = inPlaceFailed_ = false;
    Running = true;
    cycle_->Begin(FonChanParam);
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
    if (!frameClosed_) {
        // The last stored point keeps its counts; the points after it are
        // zeroed and the first of them carries the stop time, which marks
        // the end of the recording for the viewer. The closed frame then
        // waits with any full frame not yet written.
        if (c.PointNo < kFonPoints) {
            for (int ch = 1; ch <= kFonChannels; ++ch)
                std::fill(FonRec.Counts(ch) + c.PointNo, FonRec.Counts(ch) + kFonPoints, 0);
            FonRec.Times[c.PointNo] = PointTimeNow();
        }
        pendingFrames_.push_back(FonRec);
        frameClosed_ = true;
    }
    cycle_->Release();
    // Each file on its own: a radio file that cannot be written never keeps
    // the frames from theirs, nor the reverse.
    QString error;
    QStringList rescued;
    const bool events = Flush(RadFileName, RadRecNo, pendingEvents_, radFailed_, error, rescued);
    const int32_t framesBefore = FonRecNo;
    const bool frames = Flush(FonFileName, FonRecNo, pendingFrames_, fonFailed_, error, rescued);
    if (FonRecNo != framesBefore)
        emit FrameWritten(FonRecNo);
    if (!rescued.isEmpty())
        emit StatusMessage(rescued.join("; "));
    if (!events || !frames) {
        // Halted by error: the next press tries again, and then a rescue file.
        SetState(RunState::Halted);
        emit FileError(error);
        return false;
    }
    Running = false;
    SetState(RunState::Idle);
    return true;
}

void RunModel::Abandon()
{
    StopReadout();
    cycle_->Release();
    pendingFrames_.clear();
    pendingEvents_.clear();
    Running = false;
    SetState(RunState::Idle);
}

template <class Record>
bool RunModel::Flush(const std::string& file, int32_t& next, std::deque<Record>& records, bool& failedBefore,
                     QString& error, QStringList& rescued)
{
    try {
        while (!records.empty()) {
            recfile::WriteRecord(file, next, records.front());
            records.pop_front();
            ++next;
        }
        return true;
    } catch (const rt::EInOutError& e) {
        if (error.isEmpty())
            error = QString::fromUtf8(e.what());
        if (!failedBefore) {
            failedBefore = true;
            return false;
        }
    }
    // The file failed again: what it cannot take goes to a new file beside it.
    std::string rescue;
    try {
        rescue = CreateRescueFile(file);
        for (size_t i = 0; i < records.size(); ++i)
            recfile::WriteRecord(rescue, static_cast<int32_t>(i), records[i]);
    } catch (const rt::EInOutError& e) {
        if (!rescue.empty())
            std::remove(rescue.c_str());
        error += QString("; запасной файл: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
    rescued << QString("%1 не записан (%2): записи сохранены в запасной файл %3")
                   .arg(QString::fromStdString(file), error, QString::fromStdString(rescue));
    records.clear();
    return true;
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
            fonFailed_ = true;
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
            radFailed_ = true;
            Halt(QString::fromUtf8(e.what()));
            return;
        }
    }
    pendingEvents_.push_back(event);
}

void RunModel::WriteInPlace(const TFonKadr& frame, int32_t points)
{
    // The frame so far, whole, at the index its full record will take: a
    // crash or a power cut loses at most the points since. It reads as a
    // stopped frame: zeros after its last point, the first of them with the
    // time of this write.
    if (state_ != RunState::Running || !pendingFrames_.empty() || points >= kFonPoints)
        return;
    auto snapshot = std::make_unique<TFonKadr>(frame);
    for (int ch = 1; ch <= kFonChannels; ++ch)
        std::fill(snapshot->Counts(ch) + points, snapshot->Counts(ch) + kFonPoints, 0);
    snapshot->Times[points] = PointTimeNow();
    try {
        recfile::WriteRecord(FonFileName, FonRecNo, *snapshot);
        inPlaceFailed_ = false;
    } catch (const rt::EInOutError& e) {
        // Said once; the run goes on, and the full frame's write decides.
        if (!inPlaceFailed_)
            emit StatusMessage(QString("Кадр не сохранён по ходу записи: %1").arg(QString::fromUtf8(e.what())));
        inPlaceFailed_ = true;
    }
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
        WriteInPlace(*copy, last);
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
