// A site's report from the logbook to its PDF, for the command line and the
// window alike: read the period of every gateway address the site had,
// compute what the report says, write it.
#pragma once

#include "logbook.h"
#include "report_content.h"

#include <optional>
#include <string>

struct ReportRequest {
    ReportSite site;
    std::string from, to;          // "YYYY-MM-DD", both days included
    std::string incomplete;        // what the reading of the gateway before it missed; empty: nothing
    std::string madeBy, machine;   // the user and this machine
};

// What the logbook holds for the request, or nothing (and why) when the
// store broke a read off: part of a period is never reported as the whole.
std::optional<ReportInput> read_report_input(Logbook& book, const ReportRequest& request, std::string* why);

// Reads, computes and writes the report at `path`. Empty when it was
// written; else why not (nothing was written then).
std::string write_site_report(Logbook& book, const ReportRequest& request, const std::string& path);

// The file name the save dialog proposes: "Test record 10.0.0.7 2026-12-09.pdf".
std::string proposed_report_name(const ReportRequest& request);
