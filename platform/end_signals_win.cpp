// The end signals of a Windows program with a console: Ctrl+C, Ctrl+Break,
// the console closing, the user logging off, the system shutting down. The
// system reports them on a thread of its own; an event object carries them
// to the user-interface thread's event loop. (A window is closed with
// WM_CLOSE, by the system menu, Alt+F4 or taskkill, and the session's end
// with WM_ENDSESSION: Qt turns those into the window's close and the
// application's quit.)
#include "end_signals.h"

#include <QObject>
#include <QWinEventNotifier>

#include <windows.h>

#include <utility>

namespace {

HANDLE g_endEvent = nullptr;

// A user-interface thread held up in a query (a silent gateway, up to the
// receive time-out) cannot take the event soon: the process then ends
// here, so the end never waits longer than this.
constexpr DWORD kEndAtLatestMs = 450;
// The exit status of a process ended that way, as Windows gives a console
// program that Ctrl+C ends.
constexpr UINT kEndedByConsoleStatus = 0xC000013A;

BOOL WINAPI on_console_event(DWORD)
{
    SetEvent(g_endEvent);
    // Returning would let the system end the process at once for the
    // console's close, log-off and shutdown; the program gets its time to
    // end the ordinary way first.
    Sleep(kEndAtLatestMs);
    TerminateProcess(GetCurrentProcess(), kEndedByConsoleStatus);
    return TRUE;
}

}  // namespace

void WatchEndSignals(QObject* owner, std::function<void()> onEnd)
{
    if (g_endEvent == nullptr) g_endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_endEvent == nullptr) return;
    auto* notifier = new QWinEventNotifier(g_endEvent, owner);
    QObject::connect(notifier, &QWinEventNotifier::activated, owner, [notifier, onEnd = std::move(onEnd)] {
        notifier->setEnabled(false);
        onEnd();
    });
    SetConsoleCtrlHandler(on_console_event, TRUE);
}
