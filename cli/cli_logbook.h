// The logbook on the command line: `history`, `logbook export|note|backup|
// sync`, and the recording of every listing that `results` and `details`
// run and of every survey.
#pragma once

#include "cli_commands.h"
#include "listed_records.h"
#include "site_survey.h"

#include <cstdint>
#include <optional>

// The logbook could not be opened or written (history, logbook).
inline constexpr int kExitLogbook = 7;

std::string check_history(const CliOptions& o);
int run_history(Session& s);
std::string check_logbook(const CliOptions& o);
int run_logbook(Session& s);

// Records what the listing just run read, marked complete or not as the
// listing ended, unless --no-logbook. A logbook that cannot be used is said
// on standard error; the command's own result stands. `unit`: the
// luminaire of a details listing.
void record_listing(Session& s, const char* kind, const ListedRecords& listed, std::optional<std::uint8_t> unit);

// Records the survey (unless --no-logbook) and gives it each luminaire's
// history from the logbook; a logbook that cannot be used is said on
// standard error and the survey stays as read.
void record_survey(Session& s, SiteSurvey& survey);
