#include "acquisition/Recorder.h"

#include <cstdio>
#include <future>

#include "acquisition/Cycle.h"
#include "acquisition/RunFiles.h"
#include "acquisition/RunModel.h"
#include "datafiles/RecordWriter.h"
#include "platform/RunError.h"

namespace acq {

/// One record waiting for its file.
struct PendingRecord {
    std::shared_ptr<const TFonKadr> Frame;
    std::shared_ptr<const TRadKadr> Event;
    int32_t Points = kFonPoints; ///< of a frame: the points recorded
    TPointTime End{};            ///< of a stopped frame: the time the recording stopped
};

/// One file of the run and what waits for it.
struct Recorder::Stream {
    bool Frames = false;       ///< the background file (else the radio file)
    std::string Own;           ///< the run's file
    std::string Path;          ///< where the records go now: the run's file or a rescue file
    int32_t Next = 0;          ///< index of the next record in Path
    int32_t Saved = 0;         ///< points of the frame under way on disk at Next
    int32_t Written = 0;       ///< records written in all
    bool FailedBefore = false; ///< a write of this run failed
    bool SoFarSaid = false;    ///< a failed save of the frame under way was reported
    std::deque<PendingRecord> Pending;
};

struct Recorder::Job {
    enum Kind { SoFar, Frame, Event, Finish, Discard, Begin } What = SoFar;
    PendingRecord Record;
    std::string Folder;   ///< of Begin: where the run's files go
    rt::DateTimeParts Start{}; ///< of Begin: the start that names them
    std::promise<StopOutcome> Done;
};

Recorder::Recorder(QObject* parent)
    : QObject(parent), fon_(std::make_unique<Stream>()), rad_(std::make_unique<Stream>())
{
    fon_->Frames = true;
    thread_ = std::thread([this] { Loop(); });
}

Recorder::~Recorder()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Recorder::Attach(RunModel& model)
{
    // Direct: the records are taken on the thread that hands them on (the
    // readout thread during a run) and only queued here.
    connect(&model, &RunModel::NewBatch, this,
            [this](const TFonKadr& frame, int32_t, int32_t last) { SaveSoFar(frame, last); }, Qt::DirectConnection);
    connect(&model, &RunModel::FrameClosed, this, [this](const TFonKadr& frame) { SaveFrame(frame); },
            Qt::DirectConnection);
    connect(&model, &RunModel::NewEvent, this, [this](const TRadKadr& event) { SaveEvent(event); },
            Qt::DirectConnection);
    // What it reports comes from the writer thread: applied on the model's, in order.
    connect(this, &Recorder::FilesCreated, &model, &RunModel::TakeFiles);
    connect(this, &Recorder::FilesFailed, &model, &RunModel::FilesNotCreated);
    connect(this, &Recorder::FramesWritten, &model, &RunModel::TakeFramesWritten);
    connect(this, &Recorder::EventsWritten, &model, &RunModel::TakeEventsWritten);
    connect(this, &Recorder::RecordsIn, &model, &RunModel::RecordsInFile);
    connect(this, &Recorder::WriteFailed, &model, &RunModel::RecordRefused);
    connect(this, &Recorder::Notice, &model, &RunModel::StatusMessage);
    connect(this, &Recorder::RescueStarted, &model, &RunModel::TakeRescueFile);
    model.Wait(*this);
}

void Recorder::Post(std::shared_ptr<Job> job)
{
    {
        std::lock_guard lock(mutex_);
        // On a slow disk the saves of the frame under way do not pile up: a
        // later save, or the finished frame, holds every point of a waiting one.
        if (job->What == Job::SoFar || job->What == Job::Frame)
            std::erase_if(queue_, [](const std::shared_ptr<Job>& j) { return j->What == Job::SoFar; });
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void Recorder::RunBegins(const std::string& folder, const rt::DateTimeParts& t)
{
    auto job = std::make_shared<Job>();
    job->What = Job::Begin;
    job->Folder = folder;
    job->Start = t;
    Post(job);
}

void Recorder::SaveSoFar(const TFonKadr& frame, int32_t points)
{
    if (points >= kFonPoints)
        return; // the full frame follows at once
    auto job = std::make_shared<Job>();
    job->Record = {std::make_shared<const TFonKadr>(frame), nullptr, points, PointTimeNow()};
    Post(job);
}

void Recorder::SaveFrame(const TFonKadr& frame)
{
    auto job = std::make_shared<Job>();
    job->What = Job::Frame;
    job->Record.Frame = std::make_shared<const TFonKadr>(frame);
    Post(job);
}

void Recorder::SaveEvent(const TRadKadr& event)
{
    auto job = std::make_shared<Job>();
    job->What = Job::Event;
    job->Record.Event = std::make_shared<const TRadKadr>(event);
    Post(job);
}

StopOutcome Recorder::RunEnds(const TFonKadr* last, int32_t points, const TPointTime& end)
{
    auto job = std::make_shared<Job>();
    job->What = Job::Finish;
    if (last)
        job->Record = {std::make_shared<const TFonKadr>(*last), nullptr, points, end};
    std::future<StopOutcome> done = job->Done.get_future();
    Post(job);
    return done.get();
}

void Recorder::Drain()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void Recorder::Discard()
{
    auto job = std::make_shared<Job>();
    job->What = Job::Discard;
    Post(job);
    Drain();
}

void Recorder::Loop()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            if (queue_.empty())
                idle_.notify_all();
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            job = queue_.front();
            queue_.pop_front();
            busy_ = true;
        }
        Do(*job);
    }
}

void Recorder::Do(Job& job)
{
    switch (job.What) {
    case Job::Begin:
        DoBegin(job);
        return;
    case Job::SoFar:
        DoSoFar(job);
        return;
    case Job::Frame:
    case Job::Event: {
        Stream& s = job.What == Job::Frame ? *fon_ : *rad_;
        if (s.Own.empty())
            return; // the run has no files: it ends as soon as the model hears so
        s.Pending.push_back(job.Record);
        if (s.Pending.size() > 1)
            return; // after one that failed: kept in order for the stop
        try {
            WriteNext(s);
        } catch (const rt::EInOutError& e) {
            s.FailedBefore = true;
            emit WriteFailed(QString::fromUtf8(e.what()));
        }
        return;
    }
    case Job::Finish: {
        if (job.Record.Frame && !fon_->Own.empty())
            fon_->Pending.push_back(job.Record);
        // Each file on its own: a radio file that cannot be written never
        // keeps the frames from theirs, nor the reverse.
        StopOutcome out;
        const bool events = Flush(*rad_, out);
        const bool frames = Flush(*fon_, out);
        out.Ok = events && frames;
        job.Done.set_value(out);
        return;
    }
    case Job::Discard:
        fon_->Pending.clear();
        rad_->Pending.clear();
        return;
    }
}

void Recorder::DoBegin(const Job& job)
{
    for (Stream* s : {fon_.get(), rad_.get()}) {
        const bool frames = s->Frames;
        *s = Stream{};
        s->Frames = frames;
    }
    RunFileNames names;
    try {
        names = CreateRunFiles(job.Folder, job.Start);
    } catch (const rt::EInOutError& e) {
        emit FilesFailed(QString::fromUtf8(e.what()));
        return;
    }
    fon_->Own = fon_->Path = names.Fon;
    rad_->Own = rad_->Path = names.Rad;
    emit FilesCreated(QString::fromStdString(names.Fon), QString::fromStdString(names.Rad));
}

bool Recorder::WriteNext(Stream& s)
{
    const PendingRecord& r = s.Pending.front();
    if (s.Frames)
        recfile::SaveFrame(s.Path, s.Next, *r.Frame, s.Saved, r.Points, r.End);
    else
        recfile::SaveEvent(s.Path, s.Next, *r.Event);
    s.Pending.pop_front();
    ++s.Next;
    s.Saved = 0;
    ++s.Written;
    emit RecordsIn(QString::fromStdString(s.Path), s.Next);
    if (s.Frames)
        emit FramesWritten(s.Written);
    else
        emit EventsWritten(s.Written);
    return true;
}

void Recorder::DoSoFar(const Job& job)
{
    Stream& s = *fon_;
    if (!s.Pending.empty() || s.Path.empty())
        return; // a finished frame waits for the stop: the frame after it is not saved in its place
    const PendingRecord& r = job.Record;
    QString error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            recfile::SaveFrame(s.Path, s.Next, *r.Frame, s.Saved, r.Points, r.End);
            s.Saved = r.Points;
            s.SoFarSaid = false;
            return;
        } catch (const rt::EInOutError& e) {
            error = QString::fromUtf8(e.what());
        }
    }
    // The file refuses the frame under way twice: the run goes on in a
    // rescue file, once; the full frame's write decides after that.
    if (s.Path == s.Own) {
        std::string rescue;
        try {
            rescue = CreateRescueFile(s.Own);
            recfile::SaveFrame(rescue, 0, *r.Frame, 0, r.Points, r.End);
            s.Path = rescue;
            s.Next = 0;
            s.Saved = r.Points;
            s.SoFarSaid = true;
            emit RecordsIn(QString::fromStdString(rescue), 0);
            emit RescueStarted(QString::fromStdString(rescue),
                               QString("%1 не записывается (%2): запись продолжается в запасной файл %3")
                                   .arg(QString::fromStdString(s.Own), error, QString::fromStdString(rescue)));
            return;
        } catch (const rt::EInOutError& e) {
            if (!rescue.empty())
                std::remove(rescue.c_str());
            error += QString("; запасной файл: %1").arg(QString::fromUtf8(e.what()));
        }
    }
    if (!s.SoFarSaid)
        emit Notice(QString("Кадр не сохранён по ходу записи: %1").arg(error));
    s.SoFarSaid = true;
}

bool Recorder::Flush(Stream& s, StopOutcome& out)
{
    QString error;
    try {
        while (!s.Pending.empty())
            WriteNext(s);
        return true;
    } catch (const rt::EInOutError& e) {
        error = QString::fromUtf8(e.what());
        if (out.Error.isEmpty())
            out.Error = error;
        if (!s.FailedBefore) {
            s.FailedBefore = true;
            return false;
        }
    }
    // The file failed again: what it cannot take goes to a new file beside it.
    const std::string before = s.Path;
    const int32_t nextBefore = s.Next, savedBefore = s.Saved;
    std::string rescue;
    try {
        rescue = CreateRescueFile(s.Own);
        emit RecordsIn(QString::fromStdString(rescue), 0);
        s.Path = rescue;
        s.Next = 0;
        s.Saved = 0;
        while (!s.Pending.empty())
            WriteNext(s);
    } catch (const rt::EInOutError& e) {
        if (!rescue.empty() && s.Path == rescue && s.Next == 0) {
            std::remove(rescue.c_str());
            s.Path = before;
            s.Next = nextBefore;
            s.Saved = savedBefore;
        }
        out.Error += QString("; запасной файл: %1").arg(QString::fromUtf8(e.what()));
        return false;
    }
    out.Rescued << QString("%1 не записан (%2): записи сохранены в запасной файл %3")
                       .arg(QString::fromStdString(s.Own), error, QString::fromStdString(rescue));
    out.RescueFiles << QString::fromStdString(rescue);
    return true;
}

} // namespace acq
