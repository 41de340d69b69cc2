#include "end_request.h"

#include <QElapsedTimer>
#include <QProcess>

namespace {
constexpr int kTaskKill = 1;
}  // namespace

std::vector<EndRequest> end_requests() { return {{"taskkill", kTaskKill}}; }

void hold_end_requests() {}

bool request_end(QProcess& child, int, int withinMs)
{
    // A window made after taskkill looked misses its WM_CLOSE: ask again.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < withinMs) {
        QProcess::execute(QStringLiteral("taskkill"), {QStringLiteral("/pid"), QString::number(child.processId())});
        if (child.waitForFinished(500)) return true;
    }
    return false;
}
