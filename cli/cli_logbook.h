// The logbook on the command line: `history`, `logbook export|note|repair|
// backup|sync|verify|check`, `site list|name`, and the recording of every
// listing that `results` and `details` run and of every survey.
#pragma once

#include "cli_commands.h"
#include "listed_records.h"
#include "site_survey.h"

#include "logbook.h"

#include <cstdint>
#include <memory>
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
// The logbook for reading or for a remark: the configured one, or this
// machine's file when the team server is away (said on standard error).
// Null when neither can be used (said, with kExitLogbook).
std::shared_ptr<Logbook> open_for_reading(Session& s);

std::string check_site(const CliOptions& o);
int run_site(Session& s);

// Records what the listing just run read, marked complete or not as the
// listing ended, unless --no-logbook. A logbook that cannot be used is said
// on standard error and the result is false: the command prints what it
// read and ends with kExitLogbook when nothing else went wrong. `unit`: the
// luminaire of a details listing; `site` (when given) gets the uid of the
// site the run was recorded under.
bool record_listing(Session& s, const char* kind, const ListedRecords& listed, std::optional<std::uint8_t> unit,
                    std::string* site = nullptr);

// Records the survey (unless --no-logbook) and gives it each luminaire's
// history from the logbook; a logbook that cannot be used is said on
// standard error, the survey stays as read, and the result is false.
bool record_survey(Session& s, SiteSurvey& survey);
