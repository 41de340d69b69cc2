// Start-up of the desktop program: the automation-server switches, and
// otherwise the main window.
#pragma once

#include <string>
#include <vector>

// What the command line asks of the start-up. Each switch is introduced by
// "/" or "-" and compared without regard to case; the per-user forms act as
// the plain ones; any other argument is left to the window.
struct CommandLineInfo {
    bool runEmbedded = false;   // "Embedding" or "Automation": no window, keep running
    bool unregister = false;    // "Unregister", "Unregserver" (and their PerUser forms)
    bool registerServer = false;  // "Register", "Regserver" (and their PerUser forms)
};
CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments);

class COrvyPcApp {
public:
    // Runs the program as the command line says; returns the exit status.
    int InitInstance(int argc, char** argv);

private:
    int RunEmbedded();
    int RunMainWindow(int argc, char** argv);
    // The link options of the command line into the link settings; false
    // (with the reason on standard error) for a bad one.
    static bool ApplyLinkOptions(int argc, char** argv);
};
