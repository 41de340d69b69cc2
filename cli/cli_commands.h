// The commands of the front end. Each has a check of its arguments, run
// before anything is sent, and the run itself; the table in cli.cpp lists
// them, and a command may live in a file of its own.
#pragma once

#include "cli_session.h"

#include <cstdint>
#include <optional>
#include <string>

struct CliCommand {
    const char* name;
    // The usage error of the arguments and options, or an empty text.
    std::string (*check)(const CliOptions& options);
    int (*run)(Session& session);
};

// The site survey: exit status when some luminaires (or a whole gateway,
// or a history) were not read; the output still has everything read.
inline constexpr int kExitSurveyIncomplete = 6;
std::string check_survey(const CliOptions& options);
int run_survey(Session& session);
// The scan: every gateway that answers within the discovery window.
int run_scan_gateways(Session& session);
// The survey of the gateway the session is connected to, with a progress
// line on standard error when a person watches it.
struct SiteSurvey;
SiteSurvey survey_connected_gateway(const CliOptions& options);
// The site's report: the gateway surveyed into the logbook, then the
// logbook's record of the period as a PDF.
std::string check_report(const CliOptions& options);
int run_report(Session& session);

// The command of that name, or null.
const CliCommand* find_command(const std::string& name);

// Checks shared by the commands.
std::string check_no_arguments(const CliOptions& o);
// Exactly one luminaire address ("A5") after the command.
std::string check_one_address(const CliOptions& o);
// The unit of a command whose check_one_address passed.
std::uint8_t address_argument(const CliOptions& o);
