// The commands of the front end. Each has a check of its arguments, run
// before anything is sent, and the run itself; the table in cli.cpp lists
// them, and a command may live in a file of its own.
#pragma once

#include "cli_session.h"
#include "site_survey.h"

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
// Connects to `gateway` (with the other link options of `o`; the key
// loaded) and surveys it. A gateway that takes no connection gives a survey
// that read nothing and says why.
SiteSurvey survey_gateway(const CliOptions& o, const std::string& gateway, const SurveyOptions& options);

// The unattended monitor (cli_monitor.cpp): surveys on a schedule and an
// e-mail for what changed.
std::string check_monitor(const CliOptions& options);
int run_monitor(Session& session);
// Its options, read with the others by the one command-line parser:
// whether `name` takes a value or is a flag of the monitor's, and the
// option read into `o` (the usage error, or ""); none when `name` is not
// one of them.
bool monitor_option_takes_value(const std::string& name);
bool monitor_flag(const std::string& name);
std::optional<std::string> apply_monitor_option(const std::string& name, const std::string& value, CliOptions& o);
// An e-mail could not be sent (monitor --test-mail; monitor --once with
// alerts left waiting), or the mail settings cannot be used.
inline constexpr int kExitMail = 9;

// The command of that name, or null.
const CliCommand* find_command(const std::string& name);

// Checks shared by the commands.
std::string check_no_arguments(const CliOptions& o);
// Exactly one luminaire address ("A5") after the command.
std::string check_one_address(const CliOptions& o);
// The unit of a command whose check_one_address passed.
std::uint8_t address_argument(const CliOptions& o);
