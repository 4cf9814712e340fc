#pragma once
// The recorder: the one consumer of a run that writes its files. It takes
// the frames so far, the finished frames and the radio events as the run
// model hands them on (on whatever thread that is) and writes them on a
// writer thread of its own, so neither the readout thread nor the GUI
// thread ever waits on a disk.
//
// Rules: the frame under way is saved in place every ten points (torn-proof,
// see datafiles/RecordWriter.h); each file goes on its own. A finished frame
// or an event that its file refuses halts the run and waits; the next stop
// tries the file again and, when it refuses again, puts the records into a
// rescue file. A save of the frame under way that fails is tried once more
// at once and then goes on in a rescue file, so a kill after it still loses
// at most ten points.
#include <QObject>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "acquisition/WaitedConsumer.h"
#include "platform/Clock.h"

namespace acq {

class RunModel;

class Recorder : public QObject, public WaitedConsumer {
    Q_OBJECT
public:
    explicit Recorder(QObject* parent = nullptr);
    ~Recorder() override;

    /// Subscribes to the model's frames and events, and the model to what
    /// the recorder reports (files made, records written, failures); the
    /// model's runs begin, end and wait for it from now on. The recorder
    /// outlives the model.
    void Attach(RunModel& model);

    /// A run begins: its two files are created, empty, in `folder` under
    /// the names of the start `t` (RunFiles.h), and the folder synced, on the
    /// writer thread; FilesCreated or FilesFailed says how it went. Records
    /// handed on after a failure are dropped.
    void RunBegins(const std::string& folder, const rt::DateTimeParts& t) override;
    /// The frame so far, `points` of it (every ten points).
    void SaveSoFar(const TFonKadr& frame, int32_t points);
    /// A frame of 600 points.
    void SaveFrame(const TFonKadr& frame);
    void SaveEvent(const TRadKadr& event);
    /// The stop: `last` (when given) is the unfinished frame with `points`
    /// points and the time the recording stopped; then everything still
    /// pending is written by the rules above. Returns when all of it is on
    /// disk or has failed.
    StopOutcome RunEnds(const TFonKadr* last, int32_t points, const TPointTime& end) override;
    /// Waits until everything handed on so far has been written (or failed).
    void Drain() override;
    /// Forgets what is pending (the operator chose to lose it).
    void Discard() override;

signals:
    /// The run's files are there (emitted on the writer thread).
    void FilesCreated(const QString& fonFile, const QString& radFile);
    /// The run's files could not be created: why, without the folder
    /// (emitted on the writer thread).
    void FilesFailed(const QString& message);
    /// Records written in all to the frame file (with its rescue file) and
    /// to the event file. Emitted on the writer thread.
    void FramesWritten(int32_t records);
    void EventsWritten(int32_t records);
    /// File `path`, the run's own file or a rescue file beside it, holds
    /// `records` whole records of the run now (0: a rescue file just made).
    /// Emitted on the writer thread.
    void RecordsIn(const QString& path, int32_t records);
    /// A finished frame or an event could not be written: the run halts.
    void WriteFailed(const QString& message);
    /// Something the operator should know once (a frame so far not saved).
    void Notice(const QString& message);
    /// The frame under way goes on in the rescue file `path` from now on;
    /// `message` says why, naming both files.
    void RescueStarted(const QString& path, const QString& message);

private:
    struct Job;
    struct Stream;
    void Loop();
    void Post(std::shared_ptr<Job> job);
    void Do(Job& job);
    void DoBegin(const Job& job);
    void DoSoFar(const Job& job);
    /// Writes the stream's pending records; on a failure after an earlier
    /// one, into a rescue file.
    bool Flush(Stream& s, StopOutcome& out);
    bool WriteNext(Stream& s);

    std::unique_ptr<Stream> fon_, rad_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<std::shared_ptr<Job>> queue_;
    bool busy_ = false;
    bool quit_ = false;
};

} // namespace acq
