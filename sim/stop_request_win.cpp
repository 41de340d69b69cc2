// Stop requests on Windows: Ctrl+C, Ctrl+Break and the console closing,
// which the system reports on a thread of its own; and, for a program
// without a console (the desktop program as an automation server), the
// WM_CLOSE that taskkill sends to the windows of a process, and the end of
// the session, both taken by a hidden window of its own.
#include "stop_request.h"

#include <windows.h>

namespace {
HANDLE g_stopEvent = nullptr;

BOOL WINAPI on_console_event(DWORD) {
    SetEvent(g_stopEvent);
    return TRUE;  // handled: the process ends when main returns
}

LRESULT CALLBACK on_window_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || (message == WM_ENDSESSION && wParam != 0)) {
        SetEvent(g_stopEvent);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Never shown; without a window system (a bare service session) there is
// none, and the console's requests remain.
HWND make_hidden_window() {
    WNDCLASSW type{};
    type.lpfnWndProc = on_window_message;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"OrvyPcStopRequest";
    RegisterClassW(&type);
    return CreateWindowExW(0, type.lpszClassName, L"OrvyPc", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                           type.hInstance, nullptr);
}
}  // namespace

void prepare_for_stop() {
    g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void wait_for_stop() {
    const HWND window = make_hidden_window();
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &g_stopEvent, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) break;
        if (woken == WAIT_FAILED) {
            WaitForSingleObject(g_stopEvent, INFINITE);
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    if (window != nullptr) DestroyWindow(window);
}
