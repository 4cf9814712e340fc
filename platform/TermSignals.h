#pragma once
// SIGINT, SIGTERM and SIGHUP turned into a Qt signal on the main thread: the
// handler only writes the signal's number into a pipe, whose other end a
// socket notifier reads in the event loop (nothing unsafe runs inside the
// handler). One object per process. A second SIGINT or SIGTERM while the
// first has waited unread for a second (the program is stuck where no event
// loop runs) ends the program at once; once a signal has been taken, the
// handlers stay until the program has ended and later signals change nothing.
// Install() sets the handlers up at the first line of main, before any
// library or file is touched: a signal that comes while the program starts
// waits in the pipe until the object reads it in the event loop.
#include <QObject>

class QSocketNotifier;

namespace rt {

class TermSignals : public QObject {
    Q_OBJECT
public:
    explicit TermSignals(QObject* parent = nullptr);
    ~TermSignals() override;

    /// Sets up the pipe and the handlers (once per process; the constructor
    /// calls it too). Needs no Qt object. False when the pipe cannot be had.
    static bool Install();
    /// Whether a termination signal has arrived since Install().
    static bool Arrived();

signals:
    /// A termination signal arrived (its number).
    void Received(int signo);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace rt
