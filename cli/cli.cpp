#include "cli.h"

#include "cli_commands.h"
#include "cli_json.h"
#include "cli_logbook.h"
#include "cli_session.h"
#include "gateway_link.h"
#include "list_workbooks.h"
#include "host_address.h"
#include "save_prompt.h"
#include "status_workbook.h"
#include "listings.h"
#include "prompts.h"
#include "result_list.h"
#include "socket_layer.h"
#include "status_query.h"
#include "trace.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

#ifndef ORVYPC_VERSION
#define ORVYPC_VERSION "unknown"
#endif

namespace {

constexpr const char* kHelp = R"(Usage: orvypc [COMMAND [ADDRESS]] [OPTIONS]

Without a command, orvypc opens its desktop window. With a command it opens
no window and needs no display: the data goes to standard output, one line
per item or row with tab-separated columns, and messages go to standard error.
A tab, line feed, carriage return or backslash inside a field (a name, say)
is written as \t, \n, \r or \\, so each row stays one line of its columns.

Commands:
  scan             print the address of every gateway that answers within
                   the discovery window, first answer first
                     orvypc scan
  status ADDRESS   print the 74 status items of one luminaire as
                   Section, Item and Value; ADDRESS is the line letter
                   A or B and the short address 0 to 63
                     orvypc status A5
  results          print the latest test result of every luminaire
                     orvypc results --gateway 192.168.1.20
  details ADDRESS  print every stored test entry of one luminaire,
                   newest received first
                     orvypc details B3 --json
  survey           read every luminaire's status and stored tests: one
                   line each (address, verdict, faults or why it was
                   not read, last test, next tests), then a summary
                     orvypc survey -o "Site survey.xlsx"
  monitor          survey the gateways on a schedule, record each survey
                   in the logbook, and send an e-mail when a luminaire
                   becomes faulty or overdue, recovers or stops answering,
                   or a gateway cannot be reached; one line per round; runs
                   until stopped (mail settings: the key store's
                   [Software\OrvyPc\Monitor], or the options below)
                     orvypc monitor --gateway 192.168.1.20 --every 6h

  history ADDRESS  print every entry the logbook holds for one luminaire,
                   newest first, with remarks; it reads the gateway's list
                   first and marks the entries the gateway no longer holds
                     orvypc history A5 --since 2024-01-01
  logbook export   write the whole site's history as a workbook (-o FILE)
  logbook note ADDRESS TEXT
                   add a dated remark with your user name
                     orvypc logbook note A5 "battery replaced"
  logbook repair ADDRESS TEXT
                   record a repair (--part battery, lamp, gear or other):
                   the report links it to the failure before it and the
                   test after it
                     orvypc logbook repair A5 "new battery" --part battery
  logbook backup FILE
                   write a consistent copy of the logbook to FILE (a new
                   file), also while the program is running
  logbook sync     push what this machine recorded while the team logbook
                   was away; says how many runs and remarks were new there
  logbook verify   walk the logbook's seal chain and name every record
                   changed, removed or put in after it was sealed
  logbook check    the full check: every page of the file (SQLite's
                   integrity check, which reads all of it), then verify
  report           survey the gateway into the logbook, then write the
                   site's test record for a period from the logbook as a
                   PDF (-o FILE): month by month, defects, deviations,
                   remarks and a signature block; without a gateway that
                   answers, --gateway names the one to report from the
                   logbook alone
                     orvypc report --from 2026-01-01 -o "Test record.pdf"
  site list        every site the logbook knows: its addresses, its
                   luminaires, when it was last seen
  site name NAME   name the site of the gateway that answers (or of
                   --gateway, or the site --site OLD)
                     orvypc site name "Hospital West" --gateway 10.0.0.7

Every listing that results, details and history run is recorded in the
logbook ($XDG_DATA_HOME/OrvyPc/logbook.sqlite, on Windows
%LOCALAPPDATA%\OrvyPc\logbook.sqlite; the demonstration gateway has a
logbook of its own), each entry once, and each run and remark is sealed
(a SHA-256 chain). A run that cannot be recorded is said on standard
error; the command prints what it read and ends with exit status 7.
logbook export prints the seal of the last record it covers, and puts it
in the workbook's footer. A remark must be UTF-8 text, or text in the
encoding the locale names (LC_ALL, LANG).

A listing (results, details) during which a reply was lost or the link broke
is incomplete. It is run again on a fresh connection (see --retries); if it
stays incomplete, the rows it got are printed, the reason goes to standard
error, no workbook is written, and the exit status is 5.

Options:
  --gateway HOST    connect to this gateway directly, without discovery
                    (monitor: once for each gateway)
  --broadcast ADDR  send the discovery to ADDR (default 255.255.255.255)
  --port N          gateway port, discovery and connection (default 8000)
  --timeout MS      wait at most MS milliseconds for each reply and each
                    send (default: 20000 for replies, 4000 for sends)
  --retries N       run a listing that ended incomplete, or a status query
                    whose reply was lost, again on a fresh connection, up
                    to N times (default 2)
  --all-gateways    survey, monitor: each gateway that answers, one after
                    another (-o FILE gets the gateway's address before its
                    extension)
  --every TIME      monitor: a round every TIME, such as 90s, 30m, 6h or
                    2d (default 1d)
  --once            monitor: one round, then exit (for a system timer)
  --test-mail       monitor: send one test e-mail and exit
  --digest PERIOD   monitor: also mail every luminaire that still needs
                    attention, weekly or daily (default off)
  --attach          monitor: attach the survey workbook to each e-mail
  --smtp HOST[:PORT]
                    monitor: the mail server (port 587 with STARTTLS by
                    default; 465: TLS from the start)
  --smtp-user NAME  monitor: log in as NAME; the password comes from
                    ~/.netrc or the file the key store's PasswordFile names
  --mail-from ADDR  monitor: the sender's address
  --mail-to ADDR    monitor: a recipient (again for more, or ADDR,ADDR)
  --demo            use the built-in demonstration gateway on this machine
                      orvypc results --demo
  -o FILE           status, results, details, survey: write the workbook
                    to FILE instead of printing; report: the PDF; prints
                    nothing on success
                      orvypc results -o "Test Results.xlsx"
  --logbook WHERE   the logbook: a SQLite file, or a team server
                    postgresql://[user@]host/dbname (not on Windows)
  --no-logbook      do not record this run
  --site NAME       record under, or read, the site named NAME (a site
                    is a gateway told by its address and its luminaires)
  --part PART       logbook repair: battery, lamp, gear or other
  --since DATE      history, logbook export: from DATE (YYYY-MM-DD) on
  --from DATE       report: the period's first day (default: the first
                    day of the month eleven months back)
  --to DATE         report: the period's last day (default: today)
  --json            print the same data as JSON, with plain keys, numbers
                    as numbers, and "complete" and "reason" at the top
                    (the layout: docs/json.md)
  --trace           also print the diagnostic trace lines on standard output
  --help            print this help and exit
  --version         print the version and exit

Exit status: 0 success; 1 usage error; 2 no gateway found or the link
failed; 3 the gateway refused (unit does not exist, DALI busy, a reply
to another request); 4 the workbook or the report could not be written;
5 a listing stayed incomplete after its retries; 6 survey, report: some
luminaires, histories or gateways were not read (the output still has
all that was read, each luminaire not read listed with the reason; the
report says so on its cover); 7 the logbook could not be opened, written
or read whole (history, logbook, report; no report is written), or the
run was not recorded (results, details, survey: what was read is
printed; monitor --once: a round was not kept), or the file is damaged
(logbook check); 8 logbook verify, logbook check: a record was changed,
removed or put in after it was sealed; 9 monitor: an e-mail could not be
sent or was set aside, or the mail settings cannot be used.
)";

constexpr const char* kHint = " (see 'orvypc --help')";

bool valid_address_text(const std::string& text, std::string* resolved) {
    Ipv4Endpoint endpoint;
    if (parse_ipv4(text.c_str(), 0, &endpoint)) {
        *resolved = text;
        return true;
    }
    return resolve_ipv4_host(text, resolved);
}

// A status reply that was lost is asked for again on a fresh connection;
// a refusal (no such unit, DALI busy, a reply for another unit) is not.
bool query_status_with_retries(std::uint8_t unit, int retries) {
    bool ok = QueryStatus(unit);
    for (int attempt = 1; !ok && attempt <= retries && last_status_outcome() == StatusOutcome::LinkFailed; ++attempt) {
        trace("status reply lost: retry %d of %d on a fresh connection\n", attempt, retries);
        if (!ReopenConnection()) break;
        ok = QueryStatus(unit);
    }
    return ok;
}

int run_status(Session& s) {
    const std::uint8_t unit = address_argument(s.options());
    if (!s.connect()) return kExitNoLink;
    if (!query_status_with_retries(unit, s.options().retries)) {
        const bool refused = last_status_outcome() == StatusOutcome::Refused;
        const char* why = refused ? "the gateway refused the status request" : "no valid status reply from the gateway";
        if (s.options().json) {
            Json out = json_header("status", false, why);
            add_json_address(out, unit);
            out["items"] = Json::array();
            std::cout << json_text(out) << '\n';
        }
        return s.failed(refused ? kExitRefused : kExitNoLink, why);
    }
    if (!s.options().output.empty()) {
        const std::vector<StatusItem> items = status_items(g_link.ucRxBuf);
        const bool lineB = unit >= 64;
        return s.write_workbook([&](SavePrompt& prompt) {
            ExportStatus(items, lineB ? "B" : "A", lineB ? unit - 64 : unit, std::time(nullptr), prompt);
        });
    }
    if (s.options().json) {
        Json out = json_header("status", true, {});
        add_json_address(out, unit);
        out["items"] = json_status_items(g_link.ucRxBuf);
        std::cout << json_text(out) << '\n';
    } else {
        for (const StatusItem& item : status_items(g_link.ucRxBuf)) print_line({item.section, item.label, item.value});
    }
    return kExitOk;
}

// The rows of a listing, whole or not: TSV with the display texts, or JSON
// with the records and whether the list is whole.
void print_listing(const Session& s, const MemoryResultList& list, const std::optional<std::uint8_t>& unit) {
    const bool complete = last_listing_complete();
    if (s.options().json) {
        Json out = json_header(s.options().command, complete, last_listing_reason());
        if (unit) add_json_address(out, *unit);
        out["entries"] = Json::array();
        for (const TestResultRecord& record : list.records()) out["entries"].push_back(json_entry(record));
        std::cout << json_text(out) << '\n';
        return;
    }
    print_line(std::vector<std::string>(kResultColumns.begin(), kResultColumns.end()));
    for (const RowTexts& row : list.rows()) print_line(std::vector<std::string>(row.begin(), row.end()));
}

// A listing that stayed incomplete after its retries is no test record: its
// rows are printed (even with -o), the reason goes to standard error, and
// no workbook is written.
int finish_listing(Session& s, const MemoryResultList& list, const std::optional<std::uint8_t>& unit,
                   const std::function<void(SavePrompt&)>& exportCall) {
    const bool complete = last_listing_complete();
    if (complete && !s.options().output.empty()) return s.write_workbook(exportCall);
    print_listing(s, list, unit);
    if (complete) return kExitOk;
    std::string why = "the list is incomplete: " + last_listing_reason();
    if (s.options().retries > 0) why += " (also after " + std::to_string(s.options().retries) + " retries)";
    why += "; " + std::to_string(list.rows().size()) + " rows printed";
    if (!s.options().output.empty()) why += ", no workbook written";
    const int code = last_listing_outcome() == ListingOutcome::Refused ? kExitRefused : kExitIncomplete;
    return s.failed_always(code, why);
}

int run_results(Session& s) {
    if (!s.connect()) return kExitNoLink;
    MemoryResultList list;
    ListedRecords recorded(list);
    run_listing_with_retries([&] { QueryTestResults(recorded); }, s.options().retries);
    const bool logged = record_listing(s, "results", recorded, std::nullopt);
    const int status = finish_listing(s, list, std::nullopt, [&](SavePrompt& prompt) { ExportTestResults(list, prompt); });
    return status == kExitOk && !logged ? kExitLogbook : status;
}

int run_details(Session& s) {
    const std::uint8_t unit = address_argument(s.options());
    if (!s.connect()) return kExitNoLink;
    MemoryResultList list;
    ListedRecords recorded(list);
    run_listing_with_retries([&] { QueryDetails(recorded, unit); }, s.options().retries);
    const bool logged = record_listing(s, "details", recorded, unit);
    const int status = finish_listing(s, list, unit, [&](SavePrompt& prompt) { ExportDetails(list, unit, prompt); });
    return status == kExitOk && !logged ? kExitLogbook : status;
}


std::string check_scan(const CliOptions& o) {
    if (!o.output.empty()) return "-o writes a workbook; scan has none";
    return check_no_arguments(o);
}

constexpr CliCommand kCommands[] = {
    {"scan", check_scan, run_scan_gateways},
    {"status", check_one_address, run_status},
    {"results", check_no_arguments, run_results},
    {"details", check_one_address, run_details},
    {"survey", check_survey, run_survey},
    {"monitor", check_monitor, run_monitor},
    {"history", check_history, run_history},
    {"logbook", check_logbook, run_logbook},
    {"report", check_report, run_report},
    {"site", check_site, run_site},
};

}  // namespace

const CliCommand* find_command(const std::string& name) {
    for (const CliCommand& command : kCommands) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

std::string check_no_arguments(const CliOptions& o) {
    if (!o.arguments.empty()) return "unexpected argument '" + o.arguments[0] + "'";
    return {};
}

std::string check_one_address(const CliOptions& o) {
    if (o.arguments.empty()) return o.command + " needs a luminaire address such as A5";
    if (o.arguments.size() > 1) return "unexpected argument '" + o.arguments[1] + "'";
    if (!parse_luminaire_address(o.arguments[0]))
        return "'" + o.arguments[0] + "' is not a luminaire address: line A or B and short address 0 to 63, such as A5";
    return {};
}

std::uint8_t address_argument(const CliOptions& o) { return parse_luminaire_address(o.arguments.at(0)).value(); }

std::optional<std::uint8_t> parse_luminaire_address(const std::string& text) {
    if (text.size() < 2 || text.size() > 4) return std::nullopt;
    const char line = text[0];
    int base = 0;
    if (line == 'A' || line == 'a') base = 0;
    else if (line == 'B' || line == 'b') base = 64;
    else return std::nullopt;
    int shortAddress = -1;
    const char* first = text.data() + 1;
    const char* last = text.data() + text.size();
    if (*first < '0' || *first > '9') return std::nullopt;   // no sign, no blank
    const auto [end, ec] = std::from_chars(first, last, shortAddress);
    if (ec != std::errc() || end != last || shortAddress < 0 || shortAddress > 63) return std::nullopt;
    return static_cast<std::uint8_t>(base + shortAddress);
}

std::string apply_link_option(const std::string& name, const std::string& value, LinkSettings& settings) {
    if (name == "--gateway") {
        std::string resolved;
        if (value.empty() || !valid_address_text(value, &resolved))
            return "--gateway: '" + value + "' is not an IPv4 address or a host name that resolves to one";
        settings.gatewayAddress = resolved;
        return {};
    }
    if (name == "--broadcast") {
        Ipv4Endpoint endpoint;
        if (!parse_ipv4(value.c_str(), 0, &endpoint))
            return "--broadcast: '" + value + "' is not an IPv4 address";
        settings.broadcastAddress = value;
        return {};
    }
    if (name == "--port" || name == "--timeout") {
        long number = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        const bool digits = !value.empty() && ec == std::errc() && end == value.data() + value.size();
        if (name == "--port") {
            if (!digits || number < 1 || number > 65535) return "--port: '" + value + "' is not a port number 1 to 65535";
            settings.port = static_cast<std::uint16_t>(number);
        } else {
            if (!digits || number < 1 || number > 600000)
                return "--timeout: '" + value + "' is not a time in milliseconds, 1 to 600000";
            settings.recvTimeoutMs = static_cast<int>(number);
            settings.sendTimeoutMs = static_cast<int>(number);
        }
        return {};
    }
    return "unknown option '" + name + "'";
}

int usage_error(const std::string& text) {
    std::cerr << "orvypc: " << text << kHint << '\n';
    return kExitUsage;
}

int run_commands(const CliOptions& o) {
    if (o.help) {
        std::cout << kHelp;
        return kExitOk;
    }
    if (o.version) {
        std::cout << "orvypc " << ORVYPC_VERSION << '\n';
        return kExitOk;
    }
    const CliCommand* command = find_command(o.command);
    if (const std::string error = command->check(o); !error.empty()) return usage_error(error);
    Session session(o);
    return command->run(session);
}
