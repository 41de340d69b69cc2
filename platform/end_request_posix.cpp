// End requests on POSIX: SIGINT and SIGTERM. The handler only notes the
// request, writes a byte that ends the waits, and sets the alarm after which
// the signal's own default action ends the process.
#include "end_request.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_requested{false};
volatile std::sig_atomic_t g_signal = 0;
int g_pipe[2] = {-1, -1};
int g_endAtLatestMs = 450;

void end_at_latest(int) {
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(g_signal, &dfl, nullptr);
    raise(g_signal);
}

void on_end(int sig) {
    if (g_requested.exchange(true)) return;
    g_signal = sig;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
    itimerval at{};
    at.it_value.tv_sec = g_endAtLatestMs / 1000;
    at.it_value.tv_usec = (g_endAtLatestMs % 1000) * 1000;
    setitimer(ITIMER_REAL, &at, nullptr);
}

}  // namespace

void watch_end_requests(int endAtLatestMs) {
    if (g_pipe[0] >= 0) return;
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_endAtLatestMs = endAtLatestMs;
    struct sigaction sa = {};
    sa.sa_handler = on_end;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    struct sigaction alarm = {};
    alarm.sa_handler = end_at_latest;
    sigemptyset(&alarm.sa_mask);
    sigaction(SIGALRM, &alarm, nullptr);
}

bool end_requested() { return g_requested.load(); }

bool wait_for_end_request(long long ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    while (!end_requested()) {
        const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return false;
        if (g_pipe[0] < 0) return false;
        pollfd p{g_pipe[0], POLLIN, 0};
        // poll takes an int: a long wait goes in steps of about 24 days.
        const int step = static_cast<int>(std::min<long long>(left, (1LL << 31) - 1));
        if (poll(&p, 1, step) < 0 && errno != EINTR) return end_requested();
    }
    return true;
}
