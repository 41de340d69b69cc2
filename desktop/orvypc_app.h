// Start-up of the desktop program: the automation-server switches, and
// otherwise the main window.
#pragma once

#include "invocation.h"
#include "main_window.h"

#include <string>

// The status line's monitor line, from the logbook the window records into
// (`where`: --logbook as given, empty for the configured one).
COrvyPcDlg::MonitorLineSource MonitorLineFromLogbook(const std::string& where);

class COrvyPcApp {
public:
    // Runs the program as the command line says; returns the exit status.
    // `argc`/`argv` go to the window system as given.
    int InitInstance(const Invocation& invocation, int argc, char** argv);

private:
    int RunEmbedded();
    int RunMainWindow(const Invocation& invocation, int argc, char** argv);
};
