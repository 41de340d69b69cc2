// A site's report from the logbook to its PDF, for the command line and the
// window alike: read the site's period (whatever addresses its gateway
// had), its repairs and the seal of the last record it covers, compute what
// the report says, write it.
#pragma once

#include "logbook.h"
#include "report_content.h"

#include <optional>
#include <string>

struct ReportRequest {
    std::string siteUid;           // the site whose record the logbook gives
    ReportSite site;               // its name and addresses, for the cover
    std::string from, to;          // "YYYY-MM-DD", both days included
    std::string incomplete;        // what the reading of the gateway before it missed; empty: nothing
    std::string madeBy, machine;   // the user and this machine
};

// The request's site: its uid, its name and every address it had.
void report_on_site(ReportRequest& request, const Site& site);

// What the logbook holds for the request, or nothing (and why) when the
// store broke a read off: part of a period is never reported as the whole.
std::optional<ReportInput> read_report_input(Logbook& book, const ReportRequest& request, std::string* why);

// Reads, computes and writes the report at `path`. Empty when it was
// written; else why not (nothing was written then).
std::string write_site_report(Logbook& book, const ReportRequest& request, const std::string& path);

// The file name the save dialog proposes: "Test record 10.0.0.7 2026-12-09.pdf".
std::string proposed_report_name(const ReportRequest& request);
