// How a test tells a running program to end, as the system it runs on does:
// SIGTERM and SIGINT on POSIX; on Windows taskkill, which sends WM_CLOSE to
// the process's windows. One implementation file per platform.
#pragma once

#include <QString>

#include <vector>

class QProcess;

struct EndRequest {
    QString name;
    int id;
};
// The ways this system has, each for a row of a data table.
std::vector<EndRequest> end_requests();

// Holds the requests back in this process until it waits for them (a
// child that says it is ready before it waits); nothing to hold on Windows,
// where request_end() asks again until the program has ended.
void hold_end_requests();

// Asks `child` to end in the way `id`; true once it has ended, within
// `withinMs`.
bool request_end(QProcess& child, int id, int withinMs);
