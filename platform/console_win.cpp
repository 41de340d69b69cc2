// A Windows console shows text in its own code page, an OEM one unless
// told otherwise; the program's text is UTF-8. Lines end in "\n" as on
// every platform, so a script reading the output sees the same bytes.
//
// orvypc.exe is a windowed program: started from a console by that name, it
// has no standard output of its own, so it writes to the console it was
// started from (the prompt does not wait for it; orvypc.com does).
#include "console.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

bool has_handle(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

void prepare_console() {
    if (!has_handle(STD_OUTPUT_HANDLE) && !has_handle(STD_ERROR_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* ignored = nullptr;
        freopen_s(&ignored, "CONOUT$", "w", stdout);
        freopen_s(&ignored, "CONOUT$", "w", stderr);
    }
    SetConsoleOutputCP(CP_UTF8);
    if (_fileno(stdout) >= 0) _setmode(_fileno(stdout), _O_BINARY);
    if (_fileno(stderr) >= 0) _setmode(_fileno(stderr), _O_BINARY);
}
