// One text read off the window's thread at a time (the monitor's line for
// the status line: a team logbook's server may take its whole connect
// time-out). The window starts it and looks for the result on its own
// timer; no Qt object is touched from the worker. A read that still runs
// when its owner goes is left to end with the process, never waited for,
// as the heartbeat is.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class BackgroundText {
public:
    BackgroundText() = default;
    ~BackgroundText();
    BackgroundText(const BackgroundText&) = delete;
    BackgroundText& operator=(const BackgroundText&) = delete;

    // Starts `read` on a worker; false when one is still running.
    bool start(std::function<std::string()> read);
    // The text of the finished read, once; none while it runs or before.
    std::optional<std::string> take();
    bool running() const;

private:
    struct Shared {
        std::mutex mutex;
        bool done = false;
        std::string text;
    };
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};
