// The unattended monitor's state in the logbook: each site's last round and
// the alerts the rounds queued, kept by the machine whose monitor made them,
// beside the surveys those rounds recorded. It is the monitor's working
// state, not the test record: these rows are not sealed (the surveys behind
// them are, as every run is), a sync does not push them, a server's backup
// does not copy them, and `logbook verify` does not walk them. What a row
// holds of an outcome or an alert is the monitor's own text, opaque here.
//
// Times are UTC "YYYY-MM-DDTHH:MM:SSZ", as everywhere in the logbook.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct MonitorSiteRecord {
    std::string host;         // the machine whose monitor keeps it
    std::string site;         // the site's key (its gateway's address, until sites have their own)
    std::string gateway;
    std::string surveyed;     // when the round's survey ran
    std::string runUid;       // the survey's run ("" when it was not recorded)
    bool reachable = false;
    int attention = 0;        // luminaires that need attention after the round
    std::string outcome;      // what the next round compares with
    std::string digestMark;   // when the site's digest clock last restarted; "" none
};

struct MonitorAlertRecord {
    std::string uid, host, site;
    std::string messageId;
    std::string kind;
    std::string created;
    std::string content;                   // the alert as the monitor wrote it
    std::optional<std::string> workbook;   // the attachment's bytes
    std::string runUid;
    // How it stands, as the store holds it:
    std::string sendingSince;   // a send began and how it ended is not known
    std::string sentAt, setAsideAt;
    int refusals = 0;           // times the mail server refused it for good
    std::string lastError;
};

// One site's round: its new last outcome and the alerts found against the
// old one. A digest mark left empty keeps the one stored.
struct MonitorRoundRecord {
    MonitorSiteRecord site;
    std::vector<MonitorAlertRecord> alerts;
};

// What a mark did: changed the alert, found it not waiting (sent, set
// aside, unknown), or failed (error()).
enum class AlertMark { Done, NotWaiting, Failed };

// How the mail server answered a send it did not take.
struct AlertNotTaken {
    std::string when;
    std::string error;
    bool forGood = false;         // refused for good: counted, and set aside at `setAsideAfter`
    bool mayHaveArrived = false;  // the exchange broke off after the whole message went
    int setAsideAfter = 0;
};

class MonitorState {
public:
    virtual ~MonitorState() = default;

    // The round with its alerts in one transaction (inside Logbook::
    // record_with(), that one): all of it or nothing. An alert whose uid is
    // stored already fails the whole round.
    virtual bool commit_round(const MonitorRoundRecord& round) = 0;
    // The site's row as `host` keeps it (none for a new site); false when
    // it could not be read.
    virtual bool site(const std::string& host, const std::string& site, std::optional<MonitorSiteRecord>* out) = 0;
    // Every site's row without its outcome text, first committed first;
    // host "" for every machine's. One query over one row per site and
    // machine.
    virtual std::optional<std::vector<MonitorSiteRecord>> sites(const std::string& host) = 0;
    // The alerts not sent and not set aside, in the order they were queued.
    virtual std::optional<std::vector<MonitorAlertRecord>> waiting(const std::string& host) = 0;
    // One site's alerts set aside at or after `since`, without workbooks.
    virtual std::optional<std::vector<MonitorAlertRecord>> set_aside(const std::string& host, const std::string& site,
                                                                     const std::string& since) = 0;

    // A send of the waiting alert begins at `when`: until it ends, what goes
    // out may be a copy of what arrived.
    virtual AlertMark sending(const std::string& uid, const std::string& when) = 0;
    // The mail server took it at `when`.
    virtual AlertMark sent(const std::string& uid, const std::string& when) = 0;
    // The mail server did not take it; `setAside` (when given) says whether
    // this refusal set it aside.
    virtual AlertMark not_taken(const std::string& uid, const AlertNotTaken& how, bool* setAside) = 0;

    virtual std::string error() const = 0;
};
