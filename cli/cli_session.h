// What every command of the front end shares: its options, the prompts that
// turn message boxes into lines on standard error, and the session that
// loads the key, finds the gateway and ends the link in order. A command
// lives in a file of its own and is listed in the command table of cli.cpp.
#pragma once

#include "link_settings.h"
#include "monitor_config.h"
#include "prompts.h"
#include "save_prompt.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Listings that end incomplete are run again this many times by default,
// each on a fresh connection.
inline constexpr int kDefaultRetries = 2;

struct CliOptions {
    std::string command;                 // empty: none
    std::vector<std::string> arguments;  // after the command
    std::string output;                  // -o FILE: write the workbook there
    LinkSettings link;
    int retries = kDefaultRetries;       // --retries N
    bool allGateways = false;            // --all-gateways
    std::string since;                   // --since DATE
    std::string from, to;                // --from DATE, --to DATE (report)
    std::string logbook;                 // --logbook FILE or URL
    std::string site;                    // --site NAME, as UTF-8
    std::string part;                    // --part battery|lamp|gear|other (logbook repair)
    bool noLogbook = false;              // --no-logbook
    MonitorOptions monitor;              // monitor's options; --gateway, repeated, too
    bool json = false;
    bool trace = false;
    bool help = false;
    bool version = false;
};

// Message boxes become lines on standard error (the heartbeat thread may
// show one too). The status line is kept and shown only when discovery fails
// (it is the reason then).
class CliPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override;
    void set_status_line(const std::string& text) override { statusLine = text; }
    std::string statusLine;
    std::atomic<int> shown{0};
};

// One field of a tab-separated line: a tab, a line feed, a carriage return
// or a backslash in it is written as \t, \n, \r or \\, so a name cannot
// shift the columns or split the row.
std::string tsv_field(const std::string& text);
// The fields, escaped, joined by tabs, and a line feed, on standard output.
void print_line(const std::vector<std::string>& fields);

// One run of a command: key, link, discovery, the query, and an orderly end
// of the link.
class Session {
public:
    explicit Session(const CliOptions& o);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Finds the gateway and connects; false (with the reason on standard
    // error) when there is no connection to query.
    bool connect();

    // The exit status of a query that did not succeed; says why on standard
    // error when no message has done so.
    int failed(int code, const std::string& why);
    // Says why on standard error, whatever messages came before.
    int failed_always(int code, const std::string& why);

    const CliOptions& options() const { return options_; }
    CliPrompts& cli_prompts() { return prompts_; }

    // Writes the workbook of -o through `exportCall`. Success only when the
    // export ran to its end without a message and the file is there; else
    // exit 4, the reason already on standard error.
    int write_workbook(const std::function<void(SavePrompt&)>& exportCall);

private:
    CliOptions options_;
    CliPrompts prompts_;
};
