#include "app/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <array>
#include <memory>
#include <cstdio>
#include <unistd.h>

#include "acquisition/RunModel.h"
#include "app/ServiceNotify.h"
#include "app/StationSetup.h"
#include "network/Publisher.h"
#include "platform/TermSignals.h"

namespace app {
namespace {


void PrintError(const QString& message)
{
    std::fprintf(stderr, "vfon: %s\n", message.toUtf8().constData());
    std::fflush(stderr);
}

/// What a progress line reports, counted from the model's signals.
struct Progress {
    int64_t points = 0;
    int32_t frames = 0;
    int32_t events = 0;
    std::array<int64_t, 4> pulses{}; ///< counted since the last line
    int64_t cycles = 0;              ///< at the last line
    double seconds = 0;              ///< at the last line
};

void PrintProgress(const acq::RunModel& run, Progress& p, const net::Publisher* publisher)
{
    const acq::LiveFigures f = run.Figures();
    const double dt = f.Seconds - p.seconds;
    const auto rate = [dt](double n) { return dt > 0 ? n / dt : 0.0; };
    const int total = static_cast<int>(f.Seconds);
    std::printf("%02d:%02d:%02d  точек %lld  кадров %d  событий %d  живое время %.1f %% %.1f %%  %.1f цикл/с"
                "  имп/с %.1f %.1f %.1f %.1f",
                total / 3600, total / 60 % 60, total % 60, static_cast<long long>(p.points), p.frames, p.events,
                f.Percent[0], f.Percent[1], rate(static_cast<double>(f.Cycles - p.cycles)),
                rate(static_cast<double>(p.pulses[0])), rate(static_cast<double>(p.pulses[1])),
                rate(static_cast<double>(p.pulses[2])), rate(static_cast<double>(p.pulses[3])));
    if (const QString link = publisher ? publisher->LinkText() : QString(); !link.isEmpty())
        std::printf("  %s", link.toUtf8().constData());
    std::printf("\n");
    std::fflush(stdout);
    p.pulses = {};
    p.cycles = f.Cycles;
    p.seconds = f.Seconds;
}

acq::RunSettings SettingsOf(const Options& o)
{
    acq::RunSettings s;
    s.FonGains = o.FonGains;
    s.RadioGains = o.RadioGains;
    for (size_t c = 0; c < 4; ++c)
        s.Limits[c] = QString::number(o.Limits[c]);
    return s;
}

/// The service status: the live time and what is written so far.
ServiceState StatusOf(const acq::RunModel& run, const Progress& p, const net::Publisher* publisher)
{
    const acq::LiveFigures f = run.Figures();
    QString text = QString::asprintf("живое время %.1f %% %.1f %%, точек %lld, кадров %d, событий %d", f.Percent[0],
                                     f.Percent[1], static_cast<long long>(p.points), p.frames, p.events);
    if (const QString link = publisher ? publisher->LinkText() : QString(); !link.isEmpty())
        text += ", " + link;
    return {f.Cycles, text};
}

/// The progress line's counts and the run's errors on stderr.
void FollowRun(acq::RunModel& run, Progress& progress)
{
    QObject::connect(&run, &acq::RunModel::NewPoint,
                     [&progress](int32_t, const TPointTime&, const acq::PointCounts& counts) {
                         ++progress.points;
                         for (size_t c = 0; c < 4; ++c)
                             progress.pulses[c] += counts[c];
                     });
    QObject::connect(&run, &acq::RunModel::FrameWritten, [&progress](int32_t n) { progress.frames = n; });
    QObject::connect(&run, &acq::RunModel::EventWritten, [&progress](int32_t n) { progress.events = n; });
    QObject::connect(&run, &acq::RunModel::TickError, &PrintError);
    QObject::connect(&run, &acq::RunModel::StatusMessage, &PrintError);
    QObject::connect(&run, &acq::RunModel::FileError, &PrintError);
}

} // namespace

int RunHeadless(const Options& o)
{
    // The handlers were set up at the start of main; a signal that came
    // since waits in the pipe and is read once the event loop runs.
    rt::TermSignals termination;
    StationSetup station(o);
    acq::RunModel& run = station.Run();
    net::Publisher* publisher = station.Publisher();

    Progress progress;
    FollowRun(run, progress);

    // A refusal by the broker is told once, in its words, when it comes.
    if (publisher)
        QObject::connect(publisher, &net::Publisher::LinkChanged, [last = QString()](const QString& text) mutable {
            if (text != last && !text.isEmpty() && text != net::Publisher::NoLinkText())
                PrintError(text);
            last = text;
        });
    ServiceNotify service([&] { return StatusOf(run, progress, publisher); });
    // The end of a run, however it comes: the stop branch writes what is
    // pending, a second stop puts what its own file refused twice into a
    // rescue file. 0: every record on disk; 2: a record lost; 1: the driver
    // failed (the records still written) or the run's files could not be made.
    bool finishing = false;
    bool driverFailed = false;
    int exitCode = 0;
    auto finish = [&] {
        if (finishing)
            return;
        finishing = true;
        service.Stopping();
        const bool lost = run.Running() && !run.StopBranch() && !run.StopBranch();
        exitCode = lost ? kExitRecordLost : driverFailed ? kExitRunFailed : 0;
        QCoreApplication::exit(exitCode);
    };
    QObject::connect(&run, &acq::RunModel::RunHalted, [&](acq::HaltCause cause, const QString&) {
        driverFailed = driverFailed || cause != acq::HaltCause::File;
        QTimer::singleShot(0, finish);
    });

    QObject::connect(&termination, &rt::TermSignals::Received, [&](int) { finish(); });

    // Asked to stop before the run began: no file is made.
    if (rt::TermSignals::Arrived()) {
        std::printf("vfon: остановлено до начала записи\n");
        return 0;
    }
    QObject::connect(&run, &acq::RunModel::FilesCreated, [](const QString& fon, const QString& rad) {
        std::printf("vfon: запись в %s и %s\n", fon.toUtf8().constData(), rad.toUtf8().constData());
        std::fflush(stdout);
    });
    if (!run.StartBranch(SettingsOf(o)))
        return kExitRunFailed;
    service.Ready();

    // A line a second on a terminal; a journal or a log gets one a minute.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { PrintProgress(run, progress, publisher); });
    ticker.start(1000 * ProgressSeconds(o, isatty(STDOUT_FILENO) != 0));
    if (o.Seconds > 0)
        QTimer::singleShot(static_cast<int>(o.Seconds * 1000), finish);
    QCoreApplication::exec();
    const acq::LiveFigures f = run.Figures();
    std::printf("vfon: запись окончена: %.0f с, точек %lld, кадров %d, событий %d, живое время %.1f %% %.1f %%\n",
                f.Seconds, static_cast<long long>(progress.points), run.FramesWritten(), run.EventsWritten(),
                f.Percent[0], f.Percent[1]);
    std::fflush(stdout);
    return exitCode;
}

} // namespace app
