// Start-up of the desktop program: the automation-server switches, and
// otherwise the main window.
#pragma once

#include "invocation.h"

class COrvyPcApp {
public:
    // Runs the program as the command line says; returns the exit status.
    // `argc`/`argv` go to the window system as given.
    int InitInstance(const Invocation& invocation, int argc, char** argv);

private:
    int RunEmbedded();
    int RunMainWindow(const Invocation& invocation, int argc, char** argv);
};
