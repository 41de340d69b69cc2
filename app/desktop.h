// The desktop program: the main window and its pages.
#pragma once

// Runs the window until it closes; returns the process exit status.
int run_desktop(int argc, char** argv);
