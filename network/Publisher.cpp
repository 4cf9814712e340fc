#include "network/Publisher.h"

#include <QFileInfo>
#include <algorithm>

#include "network/PublishWorker.h"

namespace net {
namespace {

/// Seconds between status messages while nothing changes.
constexpr int kStatusSeconds = 10;

std::string NameOf(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
}

const char* StateText(acq::RunState s)
{
    switch (s) {
    case acq::RunState::Running:
        return "running";
    case acq::RunState::Halted:
        return "halted";
    case acq::RunState::Idle:
        break;
    }
    return "idle";
}

} // namespace

Publisher::Publisher(acq::RunModel& run, const NetworkSettings& settings, QObject* parent)
    : QObject(parent), run_(run), settings_(settings)
{
    worker_ = std::make_unique<PublishWorker>(settings, run.StationInUse().DataDir);
    worker_->OnLinkChanged = [this] {
        QMetaObject::invokeMethod(this, [this] { emit LinkChanged(LinkText()); }, Qt::QueuedConnection);
    };
    connect(&run, &acq::RunModel::NewPoint, this, [this](int32_t, const TPointTime&, const acq::PointCounts& c) {
        ++points_;
        for (size_t i = 0; i < 4; ++i)
            pulses_[i] += c[i];
    });
    // Each file of the run, its own or a rescue file, is published as far as
    // the recorder has written whole records into it.
    connect(&run, &acq::RunModel::RecordsInFile, this, [this](const QString& path, int32_t n) {
        const std::string name = NameOf(path.toStdString());
        if (std::find(runFiles_.begin(), runFiles_.end(), name) == runFiles_.end())
            runFiles_.push_back(name);
        worker_->PostLimit(name, n);
    });
    connect(&run, &acq::RunModel::FilesCreated, this, [this](const QString& fon, const QString& rad) {
        for (const QString& path : {fon, rad}) {
            const std::string name = NameOf(path.toStdString());
            if (std::find(runFiles_.begin(), runFiles_.end(), name) == runFiles_.end())
                runFiles_.push_back(name);
            worker_->PostLimit(name, 0);
        }
    });
    connect(&run, &acq::RunModel::RunHalted, this, [this](acq::HaltCause, const QString& why) {
        haltMessage_ = why;
        SendStatus();
    });
    connect(&run, &acq::RunModel::StateChanged, this, &Publisher::StateChanged);
    connect(&timer_, &QTimer::timeout, this, &Publisher::SendStatus);
    timer_.start(kStatusSeconds * 1000);
    SendStatus();
}

Publisher::~Publisher()
{
    timer_.stop();
    SendStatus();
    worker_.reset();
}

bool Publisher::Connected() const { return worker_->Connected(); }

QString Publisher::NoLinkText() { return QStringLiteral("нет связи с центром"); }

QString Publisher::LinkText() const
{
    const QString why = QString::fromStdString(worker_->Refusal());
    if (!worker_->Connected())
        return why.isEmpty() ? NoLinkText() : NoLinkText() + ": " + why;
    return why;
}

void Publisher::StateChanged(acq::RunState state)
{
    if (state == acq::RunState::Running) {
        points_ = 0;
        pulses_ = {};
        lastCycles_ = 0;
        sinceStatus_.start();
        cyclesPerS_ = 0;
        pulsesPerS_ = {};
        haltMessage_.clear();
        runFiles_.clear(); // the run's files are named when the recorder has made them
    } else if (state == acq::RunState::Idle) {
        // The run is over: its files are published to their last record.
        for (const std::string& name : runFiles_)
            worker_->PostLimit(name, -1);
        runFiles_.clear();
    }
    SendStatus();
}

void Publisher::SendStatus()
{
    const acq::LiveFigures f = run_.Figures();
    protocol::StatusFigures s;
    s.Station = settings_.Station;
    s.State = StateText(run_.State());
    s.Message = haltMessage_.toStdString();
    s.FonFile = NameOf(run_.FonFile());
    s.RadFile = NameOf(run_.RadFile());
    s.Points = points_;
    s.Frames = run_.FramesWritten();
    s.Events = run_.EventsWritten();
    s.LiveTime = f.Percent;
    const double dt = sinceStatus_.isValid() ? static_cast<double>(sinceStatus_.elapsed()) / 1000 : 0;
    if (dt > 0.5 && f.Cycles >= lastCycles_) { // else the rates of the last interval stand
        cyclesPerS_ = static_cast<double>(f.Cycles - lastCycles_) / dt;
        for (size_t i = 0; i < 4; ++i)
            pulsesPerS_[i] = static_cast<double>(pulses_[i]) / dt;
        pulses_ = {};
        lastCycles_ = f.Cycles;
        sinceStatus_.start();
    }
    s.CyclesPerS = cyclesPerS_;
    s.PulsesPerS = pulsesPerS_;
    worker_->PostStatus(s);
}

} // namespace net
