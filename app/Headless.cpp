#include "app/Headless.h"

#include <QCoreApplication>
#include <QTimer>
#include <array>
#include <cstdio>
#include <unistd.h>

#include "acquisition/RunModel.h"
#include "app/ServiceNotify.h"
#include "platform/TermSignals.h"

namespace app {
namespace {

constexpr int kExitStartFailed = 1;
constexpr int kExitDriverError = 1;
constexpr int kExitWriteFailed = 2;

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

void PrintProgress(const acq::RunModel& run, Progress& p)
{
    const acq::LiveFigures f = run.Figures();
    const double dt = f.Seconds - p.seconds;
    const auto rate = [dt](double n) { return dt > 0 ? n / dt : 0.0; };
    const int total = static_cast<int>(f.Seconds);
    std::printf("%02d:%02d:%02d  точек %lld  кадров %d  событий %d  живое время %.1f %% %.1f %%  %.1f цикл/с"
                "  имп/с %.1f %.1f %.1f %.1f\n",
                total / 3600, total / 60 % 60, total % 60, static_cast<long long>(p.points), p.frames, p.events,
                f.Percent[0], f.Percent[1], rate(static_cast<double>(f.Cycles - p.cycles)),
                rate(static_cast<double>(p.pulses[0])), rate(static_cast<double>(p.pulses[1])),
                rate(static_cast<double>(p.pulses[2])), rate(static_cast<double>(p.pulses[3])));
    std::fflush(stdout);
    p.pulses = {};
    p.cycles = f.Cycles;
    p.seconds = f.Seconds;
}

/// The service status: the live time and what is written so far.
ServiceState StatusOf(const acq::RunModel& run, const Progress& p)
{
    const acq::LiveFigures f = run.Figures();
    return {f.Cycles, QString::asprintf("живое время %.1f %% %.1f %%, точек %lld, кадров %d, событий %d", f.Percent[0],
                                        f.Percent[1], static_cast<long long>(p.points), p.frames, p.events)};
}

} // namespace

int RunHeadless(const Options& o)
{
    acq::RunModel run;
    for (int c = 1; c <= 4; ++c)
        run.Limits.Set(c, o.Limits[static_cast<size_t>(c - 1)]);
    for (int c = 1; c <= 6; ++c)
        run.RadRec.RGain(c) = o.RadioGains[static_cast<size_t>(c - 1)];
    for (int c = 1; c <= 4; ++c)
        run.FonRec.FGain(c) = o.FonGains[static_cast<size_t>(c - 1)];

    Progress progress;
    int exitCode = 0;
    QObject::connect(&run, &acq::RunModel::NewPoint, [&](int32_t pointNo) {
        ++progress.points;
        const TFonKadr& frame = run.ListingFrame();
        for (int c = 1; c <= 4; ++c)
            progress.pulses[static_cast<size_t>(c - 1)] += frame.Counts(c)[pointNo - 1];
    });
    QObject::connect(&run, &acq::RunModel::FrameWritten, [&](int32_t n) { progress.frames = n; });
    QObject::connect(&run, &acq::RunModel::NewEvent, [&](const TRadKadr&, int32_t n) { progress.events = n; });
    QObject::connect(&run, &acq::RunModel::TickError, &PrintError);

    ServiceNotify service([&] { return StatusOf(run, progress); });
    // The end of a run: the stop branch writes the unfinished frame; a run
    // halted by an error is stopped the same way and ends non-zero.
    bool finishing = false;
    auto finish = [&](int code) {
        if (finishing)
            return;
        finishing = true;
        service.Stopping();
        // A second stop writes into a rescue file what its own file refused twice.
        if (run.Running && !run.StopBranch() && !run.StopBranch())
            code = kExitWriteFailed;
        exitCode = code;
        QCoreApplication::exit(code);
    };
    QObject::connect(&run, &acq::RunModel::StatusMessage, [&](const QString& m) {
        PrintError(m);
        if (run.State() == acq::RunState::Halted)
            QTimer::singleShot(0, [&] { finish(kExitDriverError); });
    });
    QObject::connect(&run, &acq::RunModel::FileError, [&](const QString& m) {
        PrintError(m);
        if (run.State() == acq::RunState::Halted)
            QTimer::singleShot(0, [&] { finish(kExitWriteFailed); });
    });

    rt::TermSignals termination;
    QObject::connect(&termination, &rt::TermSignals::Received, [&](int) { finish(exitCode); });

    if (!run.StartBranch())
        return kExitStartFailed;
    std::printf("vfon: запись в %s и %s\n", run.FonFileName.c_str(), run.RadFileName.c_str());
    std::fflush(stdout);
    service.Ready();

    // A line a second on a terminal; a journal or a log gets one a minute.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { PrintProgress(run, progress); });
    ticker.start(1000 * ProgressSeconds(o, isatty(STDOUT_FILENO) != 0));
    if (o.Seconds > 0)
        QTimer::singleShot(static_cast<int>(o.Seconds * 1000), [&] { finish(0); });
    QCoreApplication::exec();
    const acq::LiveFigures f = run.Figures();
    std::printf("vfon: запись окончена: %.0f с, точек %lld, кадров %d, событий %d, живое время %.1f %% %.1f %%\n",
                f.Seconds, static_cast<long long>(progress.points), progress.frames, progress.events, f.Percent[0],
                f.Percent[1]);
    std::fflush(stdout);
    return exitCode;
}

} // namespace app
