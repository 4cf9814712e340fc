#pragma once
// Talks to systemd when the program runs as a Type=notify service: READY
// once the run has started, a STATUS line with the live time, and the
// watchdog's keep-alive while the readout goes on. Does nothing when the
// program was not started by systemd (NOTIFY_SOCKET unset).
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace app {

/// What the service manager is told at each keep-alive.
struct ServiceState {
    int64_t Cycles = 0; ///< read cycles so far: the keep-alive needs them moving
    QString Status;     ///< the STATUS= line
};

class ServiceNotify : public QObject {
    Q_OBJECT
public:
    /// `state` is asked at each keep-alive, on the thread of the event loop.
    explicit ServiceNotify(std::function<ServiceState()> state, QObject* parent = nullptr);
    /// Whether systemd listens (NOTIFY_SOCKET set).
    bool Active() const { return active_; }
    /// READY=1 with the first status; starts the keep-alive timer: at half
    /// the watchdog's time when one is set, else every 10 s for STATUS.
    void Ready();
    /// STOPPING=1: the stop branch is under way.
    void Stopping();

private:
    /// STATUS, and WATCHDOG=1 only while the read cycles move on, so a
    /// readout hung in the driver is restarted by systemd.
    void KeepAlive();

    std::function<ServiceState()> state_;
    bool active_ = false;
    bool watchdog_ = false;
    int64_t lastCycles_ = -1;
    QTimer timer_;
};

} // namespace app
