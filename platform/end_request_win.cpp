// End requests on Windows: Ctrl+C, Ctrl+Break and the console closing, which
// the system reports on a thread of its own. That thread notes the request,
// wakes the waits and gives the program the time allowed to end in order.
#include "end_request.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> g_requested{false};
HANDLE g_event = nullptr;
DWORD g_endAtLatestMs = 450;
constexpr UINT kInterruptedStatus = 0xC000013A;   // STATUS_CONTROL_C_EXIT

BOOL WINAPI on_console_event(DWORD) {
    g_requested = true;
    SetEvent(g_event);
    // Returning would let the system end the process at once; the main
    // thread ends it in order meanwhile, or this does.
    Sleep(g_endAtLatestMs);
    ExitProcess(kInterruptedStatus);
    return TRUE;
}

}  // namespace

void watch_end_requests(int endAtLatestMs) {
    if (g_event != nullptr) return;
    g_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_endAtLatestMs = static_cast<DWORD>(endAtLatestMs);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool end_requested() { return g_requested.load(); }

bool wait_for_end_request(long long ms) {
    if (end_requested()) return true;
    if (g_event == nullptr) {
        Sleep(static_cast<DWORD>(ms));
        return end_requested();
    }
    // INFINITE is 0xFFFFFFFF: a long wait goes in steps of about 49 days.
    long long left = ms;
    while (left > 0 && !end_requested()) {
        const DWORD step = static_cast<DWORD>(left > 0xFFFFFFF0LL ? 0xFFFFFFF0LL : left);
        if (WaitForSingleObject(g_event, step) == WAIT_OBJECT_0) break;
        left -= step;
    }
    return end_requested();
}
