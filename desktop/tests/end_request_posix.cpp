#include "end_request.h"

#include <QProcess>

#include <csignal>
#include <pthread.h>

std::vector<EndRequest> end_requests() { return {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}}; }

void hold_end_requests()
{
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);  // pending until start-up waits for them
}

bool request_end(QProcess& child, int id, int withinMs)
{
    ::kill(static_cast<pid_t>(child.processId()), id);
    return child.waitForFinished(withinMs);
}
