// What the home page's status line says of the unattended monitor: when a
// monitor records into the window's logbook, when its last round ran and
// how many luminaires need attention, from the monitor's state there (one
// query over one row per site). No Qt here; the window reads it on a worker.
#pragma once

#include "logbook_recording.h"

#include <ctime>
#include <string>

struct MonitorStatus {
    int sites = 0;                // sites a monitor keeps rounds of; 0: no monitor records here
    std::time_t lastRound = 0;    // the newest round's survey
    int attention = 0;            // luminaires that need attention, over every site's last round
    int unreachable = 0;          // sites whose gateway the last round could not reach
    std::string problem;          // the logbook could not be read (nothing else is set)
};

// From the logbook the window records into. A logbook file that does not
// exist yet is not made for this: no monitor records there.
MonitorStatus read_monitor_status(const LogbookChoice& choice);
// The same from a logbook at hand: each site's newest round, whichever
// machine's monitor ran it.
MonitorStatus monitor_status_of(Logbook& book);

// "Monitor 2026-12-09 22:03: 3 luminaires need attention" (the last round's
// time, and ", 1 gateway unreachable" when so); empty when no monitor
// records there or the logbook could not be read.
std::string monitor_status_text(const MonitorStatus& status);
