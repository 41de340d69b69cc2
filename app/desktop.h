// The desktop program: the main window and its pages.
#pragma once

// Runs the window until it closes; returns the process exit status. The
// automation-server switches ("/Regserver", "-Embedding", ...) are answered
// without a window; "--gateway", "--broadcast", "--port" and "--timeout" set
// the link as for the front end.
int run_desktop(int argc, char** argv);

// The command line holds an automation-server switch: start-up must see it
// before the front end (which knows no such switches).
bool has_server_switch(int argc, char** argv);
