// The desktop program: the main window and its pages.
#pragma once

struct Invocation;

// Runs the window until it closes; returns the process exit status. The
// automation-server switches ("/Regserver", "-Embedding", ...) are answered
// without a window; the link and logbook options are those of the command
// line (parse_invocation). `argc`/`argv` go to the window system as given.
int run_desktop(const Invocation& invocation, int argc, char** argv);
