// Stands in for the desktop program until the window is built.
#include "desktop.h"

#include <cstdio>

int run_desktop(int, char**) {
    std::fprintf(stderr, "the desktop program is not built yet\n");
    return 1;
}
