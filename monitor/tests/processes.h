// Programs the monitor's tests start and stop themselves: orvypc monitor,
// the simulator program and the loopback mail server. Their output goes to
// files the tests read as it grows; every wait is bounded and ends early on
// the event it waits for. POSIX only.
#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

// A wait that must hold on a loaded machine (Wine, five builds at once):
// long, but ended by the event itself.
inline constexpr std::chrono::seconds kPatience{60};

class Process {
public:
    // Starts `argv` with its output in files under `folder`; with `input`,
    // its standard input is a pipe the test writes to.
    Process(std::vector<std::string> argv, const std::filesystem::path& folder, bool input = false);
    ~Process();   // kills it when it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    std::vector<std::string> out_lines() const;
    std::string err() const;
    // Waits until standard output has a line `match` accepts; its index,
    // or -1 when none came within `patience` or the program ended.
    int wait_for_line(const std::function<bool(const std::string&)>& match, std::size_t from = 0,
                      std::chrono::milliseconds patience = kPatience);
    void write_line(const std::string& line);
    void signal(int sig);
    // The exit status once it ended (-1 when it did not within `patience`;
    // 128 + n for a signal n).
    int wait_exit(std::chrono::milliseconds patience = kPatience);
    bool running();

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int status_ = -1;
    std::filesystem::path out_, err_;
};

// Polls `done` every 20 ms until it is true or `patience` has passed.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience);

// The loopback mail server (smtp_test_server.py) on `port` (0: a free one),
// saving into `folder`; user "monitor", password "s3cret-p@ss:x". It
// refuses for good each message whose subject has `refuse` in it.
class MailServerProcess {
public:
    MailServerProcess(const std::filesystem::path& folder, int port = 0, const std::string& mechanisms = "LOGIN,PLAIN",
                      const std::string& refuse = "");
    int port() const { return port_; }
    std::filesystem::path certificate() const { return folder_ / "cert.pem"; }
    // What each message that arrived made, oldest first (mail_summary.py).
    std::vector<nlohmann::json> messages() const;
    void stop();

private:
    std::filesystem::path folder_;
    Process process_;
    int port_ = 0;
};

inline constexpr const char* kMailUser = "monitor";
inline constexpr const char* kMailPassword = "s3cret-p@ss:x";
