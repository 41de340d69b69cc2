#include "monitor_config.h"

#include "key_store.h"
#include "mail_message.h"
#include "private_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

constexpr long kMaxIntervalSeconds = 366 * kSecondsPerDay;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<long> number(const std::string& text, long min, long max) {
    long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return std::nullopt;
    return v;
}

std::optional<bool> yes_no(const std::string& text) {
    const std::string t = lower(trimmed(text));
    if (t == "yes" || t == "1" || t == "true" || t == "on") return true;
    if (t == "no" || t == "0" || t == "false" || t == "off" || t.empty()) return false;
    return std::nullopt;
}

// The key store's values, each checked; a bad one is said and left out.
void read_store(const KeyStore& store, MonitorConfig& c, std::vector<std::string>& warnings) {
    const auto value = [&](const char* name) -> const std::string* { return store.value(kMonitorKey, name); };
    const auto bad = [&](const char* name, const std::string& v, const char* want) {
        warnings.push_back(std::string("key store ") + kMonitorKey + ": \"" + name + "\"=\"" + v + "\" is not " + want +
                           "; it is not used");
    };
    if (const std::string* v = value("Server"); v && !parse_server(trimmed(*v), &c.server.host, &c.server.port))
        bad("Server", *v, "a host name or host:port");
    if (const std::string* v = value("Port")) {
        if (const auto port = number(trimmed(*v), 1, 65535)) c.server.port = static_cast<int>(*port);
        else bad("Port", *v, "a port number 1 to 65535");
    }
    if (const std::string* v = value("Sender")) c.sender = trimmed(*v);
    if (const std::string* v = value("Recipients")) c.recipients = split_addresses(*v);
    if (const std::string* v = value("User")) c.server.user = trimmed(*v);
    if (const std::string* v = value("PasswordFile")) c.passwordFile = trimmed(*v);
    if (const std::string* v = value("CaFile")) c.server.caFile = trimmed(*v);
    if (const std::string* v = value("Attach")) {
        if (const auto yes = yes_no(*v)) c.attach = *yes;
        else bad("Attach", *v, "yes or no");
    }
    if (const std::string* v = value("Digest")) {
        if (const auto d = parse_digest(trimmed(*v))) c.digest = *d;
        else bad("Digest", *v, "weekly, daily or off");
    }
    if (const std::string* v = value("Gateways")) c.gateways = split_addresses(*v);
    if (value("Password"))
        warnings.push_back(std::string("key store ") + kMonitorKey +
                           ": a \"Password\" value is never used: keep the password in ~/.netrc or in a file only "
                           "you can read, named by \"PasswordFile\" (and remove it from the key store)");
}

}  // namespace

long digest_seconds(DigestPeriod period) {
    switch (period) {
    case DigestPeriod::Daily: return kSecondsPerDay;
    case DigestPeriod::Weekly: return 7 * kSecondsPerDay;
    case DigestPeriod::None: break;
    }
    return 0;
}

const char* digest_name(DigestPeriod period) {
    switch (period) {
    case DigestPeriod::Daily: return "daily";
    case DigestPeriod::Weekly: return "weekly";
    case DigestPeriod::None: break;
    }
    return "";
}

std::optional<long> parse_interval(const std::string& text) {
    if (text.size() < 2) return std::nullopt;
    long unit = 0;
    switch (text.back()) {
    case 's': unit = 1; break;
    case 'm': unit = 60; break;
    case 'h': unit = 3600; break;
    case 'd': unit = kSecondsPerDay; break;
    default: return std::nullopt;
    }
    const auto n = number(text.substr(0, text.size() - 1), 1, kMaxIntervalSeconds);
    if (!n || *n > kMaxIntervalSeconds / unit) return std::nullopt;
    return *n * unit;
}

std::optional<DigestPeriod> parse_digest(const std::string& text) {
    const std::string t = lower(text);
    if (t == "weekly") return DigestPeriod::Weekly;
    if (t == "daily") return DigestPeriod::Daily;
    if (t == "off" || t == "none" || t == "no") return DigestPeriod::None;
    return std::nullopt;
}

bool parse_server(const std::string& text, std::string* host, int* port) {
    const std::size_t colon = text.rfind(':');
    const std::string name = colon == std::string::npos ? text : text.substr(0, colon);
    if (name.empty() || std::any_of(name.begin(), name.end(), [](unsigned char c) {
            return !(std::isalnum(c) || c == '.' || c == '-' || c == '_');
        }))
        return false;
    int p = *port;
    if (colon != std::string::npos) {
        const auto n = number(text.substr(colon + 1), 1, 65535);
        if (!n) return false;
        p = static_cast<int>(*n);
    }
    *host = name;
    *port = p;
    return true;
}

std::vector<std::string> split_addresses(const std::string& text) {
    std::vector<std::string> out;
    std::string item;
    for (const char c : text + ",") {
        if (c != ',' && c != ';') {
            item += c;
            continue;
        }
        if (const std::string t = trimmed(item); !t.empty()) out.push_back(t);
        item.clear();
    }
    return out;
}

MonitorConfig monitor_config(const KeyStore& store, const MonitorOptions& o, std::vector<std::string>* warnings) {
    MonitorConfig c;
    read_store(store, c, *warnings);
    if (!o.smtpHost.empty()) {
        c.server.host = o.smtpHost;
        c.server.port = o.smtpPort > 0 ? o.smtpPort : kSubmissionPort;
    }
    if (!o.smtpUser.empty()) c.server.user = o.smtpUser;
    if (!o.mailFrom.empty()) c.sender = o.mailFrom;
    if (!o.mailTo.empty()) c.recipients = o.mailTo;
    if (o.attach) c.attach = true;
    if (o.digest) c.digest = *o.digest;
    if (!o.gateways.empty()) c.gateways = o.gateways;
    if (o.everySeconds > 0) c.everySeconds = o.everySeconds;
    return c;
}

std::string check_mail_config(const MonitorConfig& c) {
    if (!c.mail_configured()) return {};
    if (c.sender.empty()) return "no sender address (\"Sender\" in the key store, or --mail-from)";
    if (!plain_mail_address(c.sender)) return "the sender '" + c.sender + "' is not a plain address such as orvypc@example.org";
    if (c.recipients.empty()) return "no recipients (\"Recipients\" in the key store, or --mail-to)";
    if (!c.passwordFile.empty() && c.server.user.empty())
        return "a password file but no user to log in as (\"User\" in the key store, or --smtp-user)";
    for (const std::string& r : c.recipients)
        if (!plain_mail_address(r)) return "the recipient '" + r + "' is not a plain address such as tech@example.org";
    return {};
}

bool mail_server_with_password(const MonitorConfig& c, MailServer* server, std::string* why) {
    *server = c.server;
    if (c.passwordFile.empty()) return true;
    std::string text;
    if (!read_private_file(c.passwordFile, &text, why)) {
        *why = "mail password: " + *why;
        return false;
    }
    server->password = text;
    return true;
}
