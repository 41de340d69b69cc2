// The clock of the exports: proposed file names, sheet titles and the
// creation time stored in each workbook. Tests set a fixed one so names
// and files come out the same on every run.
#pragma once

#include <ctime>
#include <functional>

using ExportClock = std::function<std::time_t()>;

// An empty function puts the system clock back.
void set_export_clock(ExportClock clock);
std::time_t export_now();
// Local broken-down time of `when`.
std::tm export_local_time(std::time_t when);
