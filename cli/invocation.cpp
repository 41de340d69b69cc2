#include "invocation.h"

#include "cli.h"
#include "cli_commands.h"
#include "history_rows.h"
#include "site_choice.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool equals_ignoring_case(const std::string& a, const char* b) {
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool is_one_of(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return equals_ignoring_case(name, n); });
}

// Options that take a value, as "--name VALUE" or "--name=VALUE".
bool takes_value(const std::string& name) {
    return name == "--gateway" || name == "--broadcast" || name == "--port" || name == "--timeout" ||
           name == "--retries" || name == "--since" || name == "--logbook" || name == "--from" || name == "--to" ||
           name == "--site" || name == "--part" || monitor_option_takes_value(name);
}

bool link_option(const std::string& name) {
    return name == "--gateway" || name == "--broadcast" || name == "--port" || name == "--timeout";
}

// The options of the front end's own commands; the link options are shared
// with the window (apply_link_option).
std::string apply_front_end_option(const std::string& name, const std::string& value, CliOptions& o) {
    if (std::optional<std::string> why = apply_monitor_option(name, value, o)) return *why;
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
    if (name == "--from" || name == "--to") {
        if (value.empty()) return "option '" + name + "' needs a date";
        (name == "--from" ? o.from : o.to) = value;
        return {};
    }
    if (name == "--logbook") {
        if (value.empty()) return "option '--logbook' needs a file or a URL";
        o.logbook = value;
        return {};
    }
    if (name == "--site") {
        std::string why;
        const std::optional<std::string> site = site_name_text(value, &why);
        if (!site) return "--site: " + why;
        o.site = *site;
        return {};
    }
    if (name == "--part") {
        if (!repair_part_known(value) || value.empty())
            return "--part: '" + value + "' is not a part: battery, lamp, gear or other";
        o.part = value;
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
    std::string why = apply_link_option(name, value, o.link);
    if (why.empty() && name == "--gateway") o.monitor.gateways.push_back(o.link.gatewayAddress);
    return why;
}

// What is wrong with the words, in their order, before it is known which
// front end runs.
enum class Problem { Misspelt, BadValue, BadLinkValue, UnknownSwitch };
struct Found {
    Problem problem;
    std::string text;
};

void read_words(int argc, char** argv, Invocation& inv, std::vector<Found>& found) {
    CliOptions& o = inv.options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--demo") {
            inv.demo = true;
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--trace") {
            o.trace = true;
        } else if (arg == "-o") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') found.push_back({Problem::BadValue, "option '-o' needs a file name"});
            else o.output = argv[++i];
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            std::string name = arg, value;
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            } else if (takes_value(name)) {
                if (i + 1 >= argc) {
                    found.push_back({link_option(name) ? Problem::BadLinkValue : Problem::BadValue,
                                     "option '" + name + "' needs a value"});
                    continue;
                }
                value = argv[++i];
            }
            const std::string why = apply_front_end_option(name, value, o);
            if (why.empty()) continue;
            const bool known =
                takes_value(name) || name == "--all-gateways" || name == "--no-logbook" || monitor_flag(name);
            found.push_back({!known                ? Problem::UnknownSwitch
                             : link_option(name) ? Problem::BadLinkValue
                                                 : Problem::BadValue,
                             why});
        } else if (arg.size() > 1 && arg[0] == '-') {
            found.push_back({Problem::UnknownSwitch, "unknown option '" + arg + "'"});
        } else if (o.command.empty() && arg.size() > 1 && arg[0] == '/') {
            found.push_back({Problem::UnknownSwitch, "unknown option '" + arg + "'"});
        } else if (o.command.empty() && find_command(arg) != nullptr) {
            o.command = arg;
        } else if (!o.command.empty()) {
            o.arguments.push_back(arg);   // a command's arguments; its check judges them
        } else {
            found.push_back({Problem::Misspelt, "unknown command '" + arg + "'"});
        }
    }
}

const Found* first_of(const std::vector<Found>& found, Problem problem) {
    for (const Found& f : found) {
        if (f.problem == problem) return &f;
    }
    return nullptr;
}

}  // namespace

CommandLineInfo ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLineInfo info;
    for (const std::string& argument : arguments) {
        if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) continue;
        const std::string name = argument.substr(1);
        if (is_one_of(name, {"Embedding", "Automation"})) info.runEmbedded = true;
        else if (is_one_of(name, {"Unregister", "Unregserver", "UnregisterPerUser", "UnregserverPerUser"}))
            info.unregister = true;
        else if (is_one_of(name, {"Register", "Regserver", "RegisterPerUser", "RegserverPerUser"}))
            info.registerServer = true;
    }
    return info;
}

Invocation parse_invocation(int argc, char** argv) {
    Invocation inv;
    inv.server = ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    // The server switches answer without a window and without the commands.
    if (inv.server.any()) return inv;

    std::vector<Found> found;
    read_words(argc, argv, inv, found);
    const CliOptions& o = inv.options;
    if (!o.command.empty() || o.help || o.version) {
        inv.frontEnd = FrontEnd::Commands;
        if (!found.empty()) inv.error = found.front().text;
        return inv;
    }
    // The window: a misspelt command, or a bad value of an option it takes
    // too, is still an error; the front end's other options mean nothing to
    // it, and switches it does not know are left to it.
    if (const Found* misspelt = first_of(found, Problem::Misspelt)) {
        inv.frontEnd = FrontEnd::Commands;
        inv.error = misspelt->text;
    } else if (const Found* bad = first_of(found, Problem::BadLinkValue)) {
        inv.error = bad->text;
    }
    return inv;
}
