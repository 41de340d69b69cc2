// The monitor's rounds, apart from how a site is surveyed and how a mail
// travels: each site's outcome is compared with the one the store keeps,
// what changed becomes an alert, and the alerts go out oldest first when
// the mail server takes them. The store (monitor_store.h) is what makes it
// "nothing lost, nothing doubled".
#pragma once

#include "alert_mail.h"
#include "mail_sender.h"
#include "monitor_config.h"
#include "monitor_store.h"
#include "site_changes.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// An alert the mail server refuses for good goes again at the next tries
// (a rule of the server's may pass), and is set aside at this many refusals.
inline constexpr int kRefusalsBeforeSetAside = 3;

struct MonitorPolicy {
    bool attach = false;              // the survey workbook goes with each alert
    DigestPeriod digest = DigestPeriod::None;
    std::string messageDomain;        // the Message-IDs' domain: the sender's
};

// What one site's turn in a round came to.
struct SiteTurn {
    SiteOutcome outcome;              // as surveyed
    std::vector<SiteChange> changes;
    bool firstRound = false;
    int alertsQueued = 0;
    bool committed = false;
    std::string error;                // the store's, when not committed
};

struct SendReport {
    int sent = 0;
    int waiting = 0;                  // still queued afterwards
    std::time_t oldestWaiting = 0;    // its time, when any wait
    std::string error;                // why the last one was not taken
    std::vector<Alert> setAside;      // refused for good once too often by this send
};

class Monitor {
public:
    Monitor(MonitorStore& store, MonitorPolicy policy);

    // Makes the survey workbook for an alert; none when it could not be
    // written (the alert goes without it).
    using WorkbookMaker = std::function<std::optional<MailAttachment>()>;

    // One site's new outcome at `now`: compared with its last, the changes
    // (and a digest that is due) queued as alerts and committed with the
    // outcome in one step. `workbook` is called only for an alert that
    // attaches it.
    SiteTurn take_site(const SiteOutcome& outcome, std::time_t now, const WorkbookMaker& workbook,
                       const std::string& surveyRunUid = {});

    // Sends the waiting alerts, oldest first, and marks each sent once the
    // server took it. One the server refuses for good is counted (and set
    // aside at kRefusalsBeforeSetAside) and the next one goes; any other
    // failure ends it (it and those after it wait for the next try); so
    // does `stop`.
    SendReport send_waiting(MailSender& sender, const MailAddressing& addressing, const std::function<bool()>& stop,
                            const std::function<std::time_t()>& now);
    // How many wait, and the oldest one's time (error: they could not be read).
    SendReport waiting();

private:
    Alert new_alert(AlertKind kind, const SiteOutcome& outcome, std::time_t now) const;

    MonitorStore& store_;
    MonitorPolicy policy_;
};
