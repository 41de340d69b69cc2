// What the monitor keeps from round to round, behind one narrow interface:
// the last outcome of each site, the alerts not yet sent, and when each
// site's digest last went out. memory_monitor_store.h keeps it for as long
// as the program runs; a store in the logbook keeps it across restarts.
//
// The contract, "nothing lost, nothing doubled", which every store keeps
// and the monitor relies on:
//
//  1. commit() keeps a site's new outcome together with the alerts found
//     against its old one (and the digest mark), or keeps none of them. A
//     round that ends before its commit (stopped, killed) leaves the old
//     outcome, so the next round finds the same changes again and queues
//     them then, once.
//  2. An alert stays in unsent() until mark_sent(), which the monitor calls
//     only once the mail server has accepted the message. Its uid,
//     Message-ID, time and content are fixed when it is queued and never
//     change: sent rounds later, it carries its original time.
//  3. unsent() gives the alerts oldest first, in the order they were queued.
//  4. mark_sent() of an alert that is sent already, or unknown, changes
//     nothing and says so (false): no alert is sent twice by the monitor.
//  5. A store that outlives the program writes each commit() and each
//     mark_sent() in one transaction, so a monitor killed at any moment and
//     started again finds every alert either queued or sent. The one window
//     left is between the server's acceptance and mark_sent(): such an alert
//     is sent once more, with the same Message-ID, by which the recipients'
//     mail programs know it for the same message.
#pragma once

#include "alert.h"
#include "site_outcome.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

// One site's round, committed whole.
struct SiteRound {
    SiteOutcome outcome;              // what the next round compares with
    std::vector<Alert> alerts;        // queued by this round, oldest first
    std::optional<std::time_t> digestMark;   // set: the digest's clock restarts here
    // The logbook run that recorded this survey ("" when it was not
    // recorded): a store in the logbook ties the round to it.
    std::string surveyRunUid;
};

class MonitorStore {
public:
    virtual ~MonitorStore() = default;

    // The site's outcome of its last committed round; none for a new site.
    virtual std::optional<SiteOutcome> previous(const std::string& site) = 0;
    // Every site with a committed round, in the order first committed.
    virtual std::vector<std::string> sites() = 0;
    // When the site's digest clock last restarted; none before its first.
    virtual std::optional<std::time_t> digest_mark(const std::string& site) = 0;

    // All of the round or nothing (false, error()).
    virtual bool commit(const SiteRound& round) = 0;
    // Queued alerts not yet sent, oldest first.
    virtual std::vector<Alert> unsent() = 0;
    // The alert was accepted by the mail server at `when`. False when it
    // was not waiting (sent already, or unknown), or could not be written.
    virtual bool mark_sent(const std::string& uid, std::time_t when) = 0;

    // Why the last call failed, in words.
    virtual std::string error() const = 0;
};
