// Stop requests on POSIX: SIGINT and SIGTERM, taken by sigwait.
#include "stop_request.h"

#include <csignal>
#include <pthread.h>

namespace {
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

// Threads started later inherit the blocked mask, so the signals all
// arrive at sigwait.
void prepare_for_stop() {
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void wait_for_stop() {
    const sigset_t set = stop_signals();
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
}
