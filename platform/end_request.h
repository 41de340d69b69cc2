// How a command-line program that runs until stopped (orvypc monitor) learns
// that it is to end: SIGINT and SIGTERM on POSIX, Ctrl+C, Ctrl+Break and the
// console closing on Windows. The request is noted and every wait below
// ends at once, so the program ends in order. Should it still be running
// `endAtLatestMs` later (an exchange with a silent gateway holds it), the
// process ends there: by the same signal's default action on POSIX, with
// the console's interrupt status on Windows. No Qt here; the desktop program
// has end_signals.h.
#pragma once

// Starts watching; once per process, before any thread starts.
void watch_end_requests(int endAtLatestMs);
bool end_requested();
// Waits `ms` milliseconds or until an end is requested; true when it was.
bool wait_for_end_request(long long ms);
