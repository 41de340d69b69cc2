// An alert: one e-mail's worth of news about one site, as plain values.
// Everything that goes into the mail is fixed when the alert is queued (its
// identity, its time, the changes, the workbook), so a mail sent rounds
// later, or sent again after a crash, is the same mail.
#pragma once

#include "mail_message.h"
#include "site_changes.h"

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

enum class AlertKind : std::uint8_t {
    Changes,   // what a round found changed at the site
    Digest,    // every luminaire that still needs attention
};

struct Alert {
    std::string uid;                  // 32 hex digits, new for each alert
    std::string messageId;            // "<uid@domain>", the mail's Message-ID
    AlertKind kind = AlertKind::Changes;
    std::string site, gateway;
    std::string siteKey;              // SiteOutcome::key of its site
    std::time_t created = 0;          // when the round found it: the mail's Date
    std::time_t surveyed = 0;         // when the survey behind it ran
    bool firstRound = false;          // the site's first survey by the monitor
    std::vector<SiteChange> changes;  // Changes
    std::string period;               // Digest: "weekly" or "daily"
    // The site as the survey found it: whether it was reached, its counts
    // per verdict (indexed by Verdict) and its luminaires that need
    // attention, most urgent first (the digest lists them).
    bool reachable = true;
    std::array<int, 4> counts{};
    std::vector<LuminaireOutcome> attention;
    std::optional<MailAttachment> workbook;   // the survey's, when asked for
    // Digest: the site's alerts that the mail server refused for good and
    // that were set aside since the digest before.
    struct SetAside {
        std::string subject;
        std::time_t created = 0;
        std::string why;              // the server's last words
    };
    std::vector<SetAside> setAside;

    // How it stands in the store, read with it; not part of what it says.
    bool maybeCopy = false;           // a send began before and how it ended is not known
    int refusals = 0;                 // times the mail server refused it for good
    std::string lastError;
    std::time_t setAsideAt = 0;       // 0: not set aside
};

// A fresh alert identity and its Message-ID in `domain` (the sender's).
std::string new_alert_uid();
std::string alert_message_id(const std::string& uid, const std::string& domain);
