// The command-line front end of the orvypc program: the same queries as the
// desktop pages, with the data on standard output and the messages on
// standard error, and no window at all.
#pragma once

#include "link_settings.h"

#include <optional>
#include <string>

struct CliOptions;

// Runs the command the options name (or --help / --version) and gives its
// exit status.
int run_commands(const CliOptions& options);
// Says a usage error on standard error; kExitUsage.
int usage_error(const std::string& text);

// Exit statuses of the sub-commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;      // bad command line
inline constexpr int kExitNoLink = 2;     // no gateway found, or the link failed
inline constexpr int kExitRefused = 3;    // the gateway refused or answered something else
inline constexpr int kExitExport = 4;     // the workbook could not be written (-o)
inline constexpr int kExitIncomplete = 5; // a listing stayed incomplete after its retries

// "A5", "b63": line letter (either case) and short address 0..63 to a unit
// number (line B adds 64); std::nullopt for anything else.
std::optional<std::uint8_t> parse_luminaire_address(const std::string& text);

// The link options that the desktop program accepts too (--gateway,
// --broadcast, --port, --timeout): applied to `settings`, in either the
// "--opt VALUE" or the "--opt=VALUE" form. Returns the error text of a bad
// value, or an empty string.
std::string apply_link_option(const std::string& name, const std::string& value, LinkSettings& settings);
