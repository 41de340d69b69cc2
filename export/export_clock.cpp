#include "export_clock.h"

#include <mutex>

namespace {

std::mutex g_clockMutex;
ExportClock g_clock;

}  // namespace

void set_export_clock(ExportClock clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::move(clock);
}

std::time_t export_now() {
    std::lock_guard lock(g_clockMutex);
    return g_clock ? g_clock() : std::time(nullptr);
}

std::tm export_local_time(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}
