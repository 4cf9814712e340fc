#include "platform/TermSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace rt {
namespace {

int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
/// How long a first signal may wait unread before a second one ends the
/// program at once.
constexpr int64_t kInsistAfterNs = 1'000'000'000;

std::atomic<int64_t> g_firstUnservedNs{0}; ///< when a signal arrived that nobody has read yet, or 0
std::atomic<bool> g_served{false};         ///< the program has taken a signal and is ending
std::atomic<bool> g_arrived{false};        ///< a signal has arrived, read or not

int64_t MonotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void OnSignal(int signo)
{
    const int saved = errno;
    // The first signal asks; a second one insists when the first has waited
    // in vain (the program is stuck where no event loop runs).
    const int64_t now = MonotonicNs();
    int64_t first = 0;
    if (!g_served.load() && signo != SIGHUP && !g_firstUnservedNs.compare_exchange_strong(first, now) &&
        now - first > kInsistAfterNs) {
        static const char text[] = "vfon: второй сигнал: программа завершена без записи\n";
        [[maybe_unused]] const ssize_t w = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(128 + signo);
    }
    g_arrived.store(true);
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool TermSignals::Install()
{
    if (g_pipe[0] >= 0)
        return true;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
    return true;
}

bool TermSignals::Arrived() { return g_arrived.load(); }

TermSignals::TermSignals(QObject* parent) : QObject(parent)
{
    if (!Install())
        return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
            g_served.store(true);
            emit Received(byte);
        }
    });
}

TermSignals::~TermSignals()
{
    // The handlers stay: a signal while the program finishes (its records
    // are being written) changes nothing; the pipe takes the byte.
    g_served.store(true);
}

} // namespace rt
