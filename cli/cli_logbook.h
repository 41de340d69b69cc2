// The logbook on the command line: `history`, `logbook export|note|backup|
// sync|verify|check`, and the recording of every listing that `results`
// and `details` run and of every survey.
#pragma once

#include "cli_commands.h"
#include "listed_records.h"
#include "site_survey.h"

#include <cstdint>
#include <optional>

// The logbook could not be opened or written (history, logbook), or a run
// could not be recorded (results, details, survey).
inline constexpr int kExitLogbook = 7;
// logbook verify, logbook check: a record was changed, removed or put in
// after it was sealed.
inline constexpr int kExitSealBroken = 8;

std::string check_history(const CliOptions& o);
int run_history(Session& s);
std::string check_logbook(const CliOptions& o);
int run_logbook(Session& s);

// Records what the listing just run read, marked complete or not as the
// listing ended, unless --no-logbook. A logbook that cannot be used is said
// on standard error and the result is false: the command prints what it
// read and ends with kExitLogbook when nothing else went wrong. `unit`: the
// luminaire of a details listing.
bool record_listing(Session& s, const char* kind, const ListedRecords& listed, std::optional<std::uint8_t> unit);

// Records the survey (unless --no-logbook) and gives it each luminaire's
// history from the logbook; a logbook that cannot be used is said on
// standard error, the survey stays as read, and the result is false.
bool record_survey(Session& s, SiteSurvey& survey);
