#include "end_signals.h"

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// The handler only writes a byte: the event loop reads it and ends the
// window, where any work may be done.
int g_endPipe[2] = {-1, -1};

// A user-interface thread held up in a query (a silent gateway, up to the
// receive time-out) cannot read the byte soon: the alarm's default action
// ends the process then, so the end never waits longer than this.
constexpr int kEndAtLatestMs = 450;

void on_end_signal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_endPipe[1], &byte, 1);
    itimerval at{};
    at.it_value.tv_usec = kEndAtLatestMs * 1000;
    setitimer(ITIMER_REAL, &at, nullptr);
}

}  // namespace

void WatchEndSignals(QObject* owner, std::function<void()> onEnd)
{
    if (g_endPipe[0] < 0 && pipe2(g_endPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_endPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [onEnd = std::move(onEnd)] {
        char buf[16];
        while (read(g_endPipe[0], buf, sizeof buf) > 0) {
        }
        onEnd();
    });
    struct sigaction sa = {};
    sa.sa_handler = on_end_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
