#include "app/ServiceNotify.h"

#include <algorithm>
#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace app {
namespace {
constexpr int kStatusMs = 10000; ///< STATUS refresh without a watchdog
} // namespace

ServiceNotify::ServiceNotify(std::function<ServiceState()> state, QObject* parent)
    : QObject(parent), state_(std::move(state))
{
    const char* socket = std::getenv("NOTIFY_SOCKET");
    active_ = socket && *socket;
    connect(&timer_, &QTimer::timeout, this, &ServiceNotify::KeepAlive);
}

void ServiceNotify::Ready()
{
    if (!active_)
        return;
    const ServiceState s = state_();
    lastCycles_ = s.Cycles;
    sd_notify(0, ("READY=1\nSTATUS=" + s.Status).toUtf8().constData());
    uint64_t usec = 0;
    watchdog_ = sd_watchdog_enabled(0, &usec) > 0 && usec > 0;
    timer_.start(watchdog_ ? static_cast<int>(std::max<uint64_t>(usec / 2000, 1)) : kStatusMs);
}

void ServiceNotify::Stopping()
{
    if (!active_)
        return;
    timer_.stop();
    sd_notify(0, "STOPPING=1");
}

void ServiceNotify::KeepAlive()
{
    const ServiceState s = state_();
    QString message = "STATUS=" + s.Status;
    if (watchdog_ && s.Cycles != lastCycles_)
        message += "\nWATCHDOG=1";
    lastCycles_ = s.Cycles;
    sd_notify(0, message.toUtf8().constData());
}

} // namespace app
