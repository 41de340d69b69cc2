// Where this program's logbook is and how a run of a listing goes into it,
// for the command line and the window alike (no Qt here).
//
// The logbook is, in this order: the --logbook option; for a gateway on
// this machine's loopback (the demonstration gateway, a simulator) a file
// of its own, so no simulated entry ever lands in a site's logbook; the
// "Location" value of the key store's Software\OrvyPc\Logbook key (a team
// server, usually); $XDG_DATA_HOME/OrvyPc/logbook.sqlite
// (%LOCALAPPDATA%\OrvyPc\logbook.sqlite on Windows).
#pragma once

#include "link_settings.h"
#include "logbook.h"
#include "site_choice.h"
#include "system_identity.h"
#include "test_result_record.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LogbookChoice {
    std::string explicitLocation;   // --logbook
    LinkSettings link;              // to tell a loopback gateway
    std::string site = {};          // --site NAME: the site to record under; empty: told by site_choice.h
};

// The local file that runs fall back to when the team server is away, and
// that `orvypc logbook sync` pushes from.
std::string local_logbook_path();
std::string demo_logbook_path();
// The configured location (see above).
std::string logbook_location(const LogbookChoice& choice);

// The logbook opened for a run: the configured one, or, when that is a
// server that cannot be reached, the local file (`fellBack`, with the
// server's reason in `why`). Null when neither can be used (`why`).
// Opening costs the same for a logbook of years as for a new one, so each
// run and each read opens it anew: a file replaced or mended meanwhile, or
// a server that went away, is met as it is now.
struct OpenedLogbook {
    std::shared_ptr<Logbook> book;
    bool fellBack = false;
    std::string why;
};
OpenedLogbook open_for_recording(const LogbookChoice& choice);

// Records the run into the logbook the choice names, under the site of the
// gateway `found` (site_choice.h: told, or asked, before anything is
// recorded). Empty when it was recorded there; else what to tell the user:
// it was not recorded, it was recorded on this machine because the team
// server is away, or under a new site.
std::string record_run(const LogbookChoice& choice, const RunRecord& run, const GatewayFound& found);
// The same, with the logbook the run went into and its site, for reading it
// back (book null when the run was not recorded, which a caller must not
// pass over).
struct RecordedRun {
    std::shared_ptr<Logbook> book;
    std::string note;
    Site site;
};
RecordedRun record_run_into(const LogbookChoice& choice, RunRecord run, const GatewayFound& found);
// The same into a logbook opened already; `site`: --site NAME, or empty.
RecordedRun record_run_in(const std::shared_ptr<Logbook>& book, const std::string& site, RunRecord run,
                          const GatewayFound& found);

// The remarks of the demonstration gateway's repairs (--demo), added with
// each run recorded from it into the site it is recorded under: the
// demonstration logbook then shows failures repaired and re-tested. Their
// uids are fixed, so each is stored once. Empty: none (the default).
void set_demonstration_remarks(std::vector<Remark> remarks);

// A listing's records as a run for the logbook. `fullUnit`: the luminaire
// whose whole list a complete details listing read.
RunRecord listing_run(const std::string& kind, const std::string& gateway,
                      const std::vector<TestResultRecord>& records, bool complete, const std::string& reason,
                      std::optional<std::uint8_t> fullUnit);
LogEntry log_entry_of(const std::string& gateway, const TestResultRecord& r);
