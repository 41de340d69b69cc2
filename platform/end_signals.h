// SIGTERM and SIGINT (or the platform's counterparts) end the desktop
// program the ordinary way: `onEnd` runs on the user-interface thread, from
// its event loop, never inside the signal handler.
#pragma once

#include <functional>

class QObject;

// Watches for the end signals while `owner` lives. Once per process.
void WatchEndSignals(QObject* owner, std::function<void()> onEnd);
