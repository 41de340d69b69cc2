// How a program that waits for nothing else is told to stop (the simulator
// program, the desktop program as an automation server): Ctrl+C or a
// termination request from the system. One implementation file per
// platform.
#pragma once

// Makes stop requests wait for wait_for_stop(); called before any thread
// starts, so that every thread leaves them to it.
void prepare_for_stop();
// Returns once a stop has been asked for.
void wait_for_stop();
