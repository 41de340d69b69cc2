// A Windows console shows text in its own code page, an OEM one unless
// told otherwise; the program's text is UTF-8. Lines end in "\n" as on
// every platform, so a script reading the output sees the same bytes.
#include "console.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

void prepare_console() {
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
