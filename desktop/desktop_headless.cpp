// The program built without the desktop window (ORVYPC_BUILD_GUI=OFF): only
// the front end's sub-commands are there.
#include "desktop.h"

#include <cstdio>

int run_desktop(const Invocation&, int, char**)
{
    std::fprintf(stderr, "orvypc: built without the desktop window; use a sub-command (see 'orvypc --help')\n");
    return 1;
}
