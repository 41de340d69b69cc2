// The monitor's settings: the key store's [Software\OrvyPc\Monitor] values,
// with the command line's options over them. The password is never among
// them: it comes from ~/.netrc (read by the mail library) or from a file
// that only the user can read, named by "PasswordFile".
//
//   [Software\OrvyPc\Monitor]
//   "Server"="smtp.example.org"          (or "smtp.example.org:465")
//   "Port"="587"
//   "Sender"="orvypc@example.org"
//   "Recipients"="facilities@example.org, tech@example.org"
//   "User"="orvypc"
//   "PasswordFile"="/home/me/.config/OrvyPc/smtp-password"
//   "CaFile"="/etc/ssl/certs/our-ca.pem"
//   "Attach"="yes"
//   "Digest"="weekly"
//   "Gateways"="192.168.1.20, 192.168.1.21"
#pragma once

#include "mail_sender.h"

#include <optional>
#include <string>
#include <vector>

class KeyStore;

inline constexpr const char* kMonitorKey = "Software\\OrvyPc\\Monitor";

enum class DigestPeriod : std::uint8_t { None, Daily, Weekly };
inline constexpr long kSecondsPerDay = 86400;
long digest_seconds(DigestPeriod period);       // 0 for None
const char* digest_name(DigestPeriod period);   // "", "daily", "weekly"

inline constexpr long kDefaultEverySeconds = kSecondsPerDay;

// What the command line says; unset fields leave the key store's value.
struct MonitorOptions {
    std::vector<std::string> gateways;    // --gateway, repeated
    long everySeconds = 0;                // --every; 0: not given
    bool once = false;                    // --once
    bool testMail = false;                // --test-mail
    bool attach = false;                  // --attach
    std::optional<DigestPeriod> digest;   // --digest
    std::string smtpHost;                 // --smtp HOST[:PORT]
    int smtpPort = 0;
    std::string smtpUser;                 // --smtp-user
    std::string mailFrom;                 // --mail-from
    std::vector<std::string> mailTo;      // --mail-to, repeated or with commas
};

struct MonitorConfig {
    MailServer server;                    // no password here
    std::string passwordFile;
    std::string sender;
    std::vector<std::string> recipients;
    bool attach = false;
    DigestPeriod digest = DigestPeriod::None;
    std::vector<std::string> gateways;    // empty: every gateway that answers
    long everySeconds = kDefaultEverySeconds;

    bool mail_configured() const { return !server.host.empty(); }
};

// The key store's values under the command line's. `warnings` gets what is
// wrong with a value that was left out for it.
MonitorConfig monitor_config(const KeyStore& store, const MonitorOptions& options, std::vector<std::string>* warnings);
// What keeps the mail settings from being used: a server without a sender
// or recipients, an address that is not a plain one. Empty when none (no
// server at all is no error: the alerts are then printed and kept).
std::string check_mail_config(const MonitorConfig& config);
// The server with its password read from the password file, if one is
// named. False, with the reason, when that file is not fit to be read.
bool mail_server_with_password(const MonitorConfig& config, MailServer* server, std::string* why);

// "90s", "5m", "6h", "1d": seconds, from 1 s to 366 days. None for
// anything else (a bare number too: its unit would be a guess).
std::optional<long> parse_interval(const std::string& text);
std::optional<DigestPeriod> parse_digest(const std::string& text);
// "host" or "host:port".
bool parse_server(const std::string& text, std::string* host, int* port);
// "a@x, b@y; c@z": the addresses, blanks trimmed.
std::vector<std::string> split_addresses(const std::string& text);
