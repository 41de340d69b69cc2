#include "cli.h"

#include "cli_commands.h"
#include "cli_session.h"
#include "gateway_link.h"
#include "host_address.h"
#include "list_export.h"
#include "save_prompt.h"
#include "status_export.h"
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

Commands:
  scan             find the gateway and print its address
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

Options:
  --gateway HOST    connect to this gateway directly, without discovery
  --broadcast ADDR  send the discovery to ADDR (default 255.255.255.255)
  --port N          gateway port, discovery and connection (default 8000)
  --timeout MS      wait at most MS milliseconds for each reply and each
                    send (default: 20000 for replies, 4000 for sends)
  --retries N       run a listing that ended incomplete again, on a fresh
                    connection, up to N times (default 2)
  --demo            use the built-in demonstration gateway on this machine
                      orvypc results --demo
  -o FILE           status, results, details: write the workbook to FILE
                    instead of printing; prints nothing on success
                      orvypc results -o "Test Results.xlsx"
  --json            print the same data as JSON
  --trace           also print the diagnostic trace lines on standard output
  --help            print this help and exit
  --version         print the version and exit

Exit status: 0 success; 1 usage error; 2 no gateway found or the link
failed; 3 the gateway refused (unit does not exist, DALI busy, a reply
to another request); 4 the workbook could not be written.
)";

constexpr const char* kHint = " (see 'orvypc --help')";

struct Parsed {
    CliOptions options;
    std::string error;   // a usage error, one line
};

// Options that take a value, as "--name VALUE" or "--name=VALUE".
bool takes_value(const std::string& name) {
    return name == "--gateway" || name == "--broadcast" || name == "--port" || name == "--timeout" ||
           name == "--retries" || name == "--since" || name == "--logbook";
}

// The options of the front end's own commands; the link options are shared
// with the window (apply_link_option).
std::string apply_front_end_option(const std::string& name, const std::string& value, CliOptions& o) {
    if (name == "--retries") {
        int number = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size() || number < 0 || number > 100)
            return "--retries: '" + value + "' is not a count 0 to 100";
        o.retries = number;
        return {};
    }
    if (name == "--since") {
        if (value.empty()) return "option '--since' needs a date";
        o.since = value;
        return {};
    }
    if (name == "--logbook") {
        if (value.empty()) return "option '--logbook' needs a file or a URL";
        o.logbook = value;
        return {};
    }
    if (name == "--all-gateways") {
        o.allGateways = true;
        return {};
    }
    if (name == "--no-logbook") {
        o.noLogbook = true;
        return {};
    }
    return apply_link_option(name, value, o.link);
}

Parsed parse_arguments(int argc, char** argv) {
    Parsed p;
    CliOptions& o = p.options;
    for (int i = 1; i < argc && p.error.empty(); ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--trace") {
            o.trace = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                p.error = "option '-o' needs a file name";
                break;
            }
            o.output = argv[++i];
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
            p.error = "unknown option '" + arg + "'";
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            std::string name = arg;
            std::string value;
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            } else if (takes_value(name)) {
                if (i + 1 >= argc) {
                    p.error = "option '" + name + "' needs a value";
                    break;
                }
                value = argv[++i];
            }
            p.error = apply_front_end_option(name, value, o);
        } else if (o.command.empty() && find_command(arg) != nullptr) {
            o.command = arg;
        } else if (!o.command.empty()) {
            o.arguments.push_back(arg);
        } else {
            p.error = "unknown command '" + arg + "'";
        }
    }
    return p;
}

bool valid_address_text(const std::string& text, std::string* resolved) {
    Ipv4Endpoint endpoint;
    if (parse_ipv4(text.c_str(), 0, &endpoint)) {
        *resolved = text;
        return true;
    }
    return resolve_ipv4_host(text, resolved);
}

int run_scan(Session& s) {
    if (!s.connect()) return kExitNoLink;
    const std::string address = g_link.pucDestIpBuf;
    if (s.options().json) std::cout << nlohmann::ordered_json{{"gateway", address}}.dump(2) << '\n';
    else std::cout << address << '\n';
    return kExitOk;
}

int run_status(Session& s) {
    const std::uint8_t unit = address_argument(s.options());
    if (!s.connect()) return kExitNoLink;
    if (!QueryStatus(unit)) {
        return last_status_outcome() == StatusOutcome::Refused
                   ? s.failed(kExitRefused, "the gateway refused the status request")
                   : s.failed(kExitNoLink, "no valid status reply from the gateway");
    }
    const std::vector<StatusItem> items = status_items(g_link.ucRxBuf);
    if (!s.options().output.empty()) {
        const bool lineB = unit >= 64;
        return s.write_workbook([&](SavePrompt& prompt) {
            ExportStatus(items, lineB ? "B" : "A", lineB ? unit - 64 : unit, std::time(nullptr), prompt);
        });
    }
    if (s.options().json) {
        nlohmann::ordered_json out;
        out["address"] = FormatUnitAddress(unit);
        out["items"] = nlohmann::ordered_json::array();
        for (const StatusItem& item : items)
            out["items"].push_back({{"section", item.section}, {"item", item.label}, {"value", item.value}});
        std::cout << out.dump(2) << '\n';
    } else {
        for (const StatusItem& item : items) print_line({item.section, item.label, item.value});
    }
    return kExitOk;
}

void print_rows(const CliOptions& o, const std::vector<RowTexts>& rows, const std::string* address) {
    if (o.json) {
        nlohmann::ordered_json out;
        if (address != nullptr) out["address"] = *address;
        out["rows"] = nlohmann::ordered_json::array();
        for (const RowTexts& row : rows) {
            nlohmann::ordered_json r;
            for (std::size_t c = 0; c < row.size(); ++c) r[kResultColumns[c]] = row[c];
            out["rows"].push_back(r);
        }
        std::cout << out.dump(2) << '\n';
        return;
    }
    print_line(std::vector<std::string>(kResultColumns.begin(), kResultColumns.end()));
    for (const RowTexts& row : rows) print_line(std::vector<std::string>(row.begin(), row.end()));
}

// The rows gathered so far are printed whatever the outcome: a listing that
// ends early keeps them, and so does the output.
int listing_status(Session& s) {
    switch (last_listing_outcome()) {
    case ListingOutcome::Complete:
        return kExitOk;
    case ListingOutcome::Refused:
        return s.failed(kExitRefused, "the gateway answered another request; the list ends there");
    case ListingOutcome::Truncated:
        return s.failed(kExitNoLink, "the gateway kept the list going past its limit; the list ends there");
    case ListingOutcome::LinkFailed:
        break;
    }
    return s.failed(kExitNoLink, "the link to the gateway failed; the list ends there");
}

int run_results(Session& s) {
    if (!s.connect()) return kExitNoLink;
    MemoryResultList list;
    QueryTestResults(list);
    // A list that ended early is no test record: it is printed (rows kept)
    // but never written as a workbook.
    if (!s.options().output.empty()) {
        if (last_listing_outcome() != ListingOutcome::Complete) return listing_status(s);
        return s.write_workbook([&](SavePrompt& prompt) { ExportTestResults(list, prompt); });
    }
    print_rows(s.options(), list.rows(), nullptr);
    return listing_status(s);
}

int run_details(Session& s) {
    const std::uint8_t unit = address_argument(s.options());
    if (!s.connect()) return kExitNoLink;
    MemoryResultList list;
    QueryDetails(list, unit);
    if (!s.options().output.empty()) {
        if (last_listing_outcome() != ListingOutcome::Complete) return listing_status(s);
        return s.write_workbook([&](SavePrompt& prompt) { ExportDetails(list, unit, prompt); });
    }
    const std::string address = FormatUnitAddress(unit);
    print_rows(s.options(), list.rows(), &address);
    return listing_status(s);
}

int usage_error(const std::string& text) {
    std::cerr << "orvypc: " << text << kHint << '\n';
    return kExitUsage;
}

std::string check_scan(const CliOptions& o) {
    if (!o.output.empty()) return "-o writes a workbook; scan has none";
    return check_no_arguments(o);
}

constexpr CliCommand kCommands[] = {
    {"scan", check_scan, run_scan},
    {"status", check_one_address, run_status},
    {"results", check_no_arguments, run_results},
    {"details", check_one_address, run_details},
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

std::optional<int> run_cli(int argc, char** argv) {
    const Parsed parsed = parse_arguments(argc, argv);
    const CliOptions& o = parsed.options;
    const bool cliWanted = !o.command.empty() || o.help || o.version;
    // Without a command the window starts and reads its own options; only a
    // word that is no command is refused here.
    if (!cliWanted && parsed.error.rfind("unknown command", 0) != 0) return std::nullopt;
    if (!parsed.error.empty()) return usage_error(parsed.error);
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
