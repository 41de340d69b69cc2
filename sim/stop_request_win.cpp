// Stop requests on Windows: Ctrl+C, Ctrl+Break and the console closing,
// which the system reports on a thread of its own.
#include "stop_request.h"

#include <windows.h>

namespace {
HANDLE g_stopEvent = nullptr;

BOOL WINAPI on_console_event(DWORD) {
    SetEvent(g_stopEvent);
    return TRUE;  // handled: the process ends when main returns
}
}  // namespace

void prepare_for_stop() {
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void wait_for_stop() { WaitForSingleObject(g_stopEvent, INFINITE); }
