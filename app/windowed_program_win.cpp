// orvypc.com, the console program beside the windowed orvypc.exe: a console
// prefers it when "orvypc" is typed (PATHEXT lists .COM before .EXE). It
// runs the commands itself, so the console waits for them, shows what they
// print and keeps their exit status; for the window (no command, or a
// registration switch) it starts orvypc.exe with the same arguments, waits
// for it and hands on its exit status. Ctrl+C or Ctrl+Break in the console
// closes the window, as the system menu's Close does.
#include "desktop.h"

#include "user_folders.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr const wchar_t* kWindowedProgram = L"orvypc.exe";

std::wstring wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The arguments of this program's command line as typed: what follows the
// program's name (quoted or not), with its separating blanks.
std::wstring arguments_as_typed()
{
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        for (++p; *p != L'\0' && *p != L'"'; ++p) {
        }
        if (*p == L'"') ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
    return p;
}

DWORD g_childId = 0;

BOOL CALLBACK close_window_of_child(HWND window, LPARAM)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == g_childId) PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Ctrl+C and Ctrl+Break close the child's windows; the console's own close,
// log-off and shutdown end this program as usual (the child gets its own
// session messages).
BOOL WINAPI on_console_event(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    EnumWindows(close_window_of_child, 0);
    return TRUE;
}

}  // namespace

int run_desktop(const Invocation&, int, char**)
{
    std::wstring program = wide(this_executable_path());
    program.erase(program.find_last_of(L"\\/") + 1);
    program += kWindowedProgram;
    std::wstring commandLine = L"\"" + program + L"\"" + arguments_as_typed();

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child)) {
        std::fprintf(stderr, "orvypc: cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
        return 1;
    }
    g_childId = child.dwProcessId;
    SetConsoleCtrlHandler(on_console_event, TRUE);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(child.hProcess, &status);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<int>(status);
}
