// What the monitor keeps from round to round, behind one narrow interface:
// the last outcome of each site, the alerts not yet sent, and when each
// site's digest last went out. memory_monitor_store.h keeps it for as long
// as the program runs; logbook_monitor_store.h keeps it in the logbook,
// across restarts.
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
//  4. mark_sent() of an alert that is sent already, set aside, or unknown,
//     changes nothing and says so (false): no alert is sent twice by the
//     monitor.
//  5. A store that outlives the program writes each commit() and each mark
//     in one transaction, so a monitor killed at any moment and started
//     again finds every alert either queued or sent. The one window left is
//     between the server's acceptance and mark_sent(): mark_sending(),
//     written before each send, is still there after such a kill, and the
//     alert then goes once more, with the same Message-ID and a note that
//     it may be a copy (Alert::maybeCopy).
//  6. An alert the mail server refuses for good is counted, and set aside
//     at the monitor's limit: it then leaves unsent() and is listed by
//     set_aside(), so one bad alert never holds the others back.
//  7. A read that fails says so (false, none), never passes for "nothing
//     kept": a site whose state cannot be read is not compared as new.
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

// What a store keeps of one site; both empty for a site never committed.
struct SiteState {
    std::optional<SiteOutcome> outcome;
    std::optional<std::time_t> digestMark;
};

struct KnownSite {
    std::string site, gateway;
};

// How the mail server answered a send it did not take.
struct NotTaken {
    std::time_t when = 0;
    std::string error;
    bool forGood = false;             // refused for good: counts towards setting it aside
    bool mayHaveArrived = false;      // the whole message went before the exchange broke off
    int setAsideAfter = 0;            // refusals for good that set it aside
};

class MonitorStore {
public:
    virtual ~MonitorStore() = default;

    // What the store keeps of the site; false when it could not be read.
    virtual bool site_state(const std::string& site, SiteState* state) = 0;
    // Every site with a committed round, in the order first committed.
    virtual std::optional<std::vector<KnownSite>> sites() = 0;

    // All of the round or nothing (false, error()).
    virtual bool commit(const SiteRound& round) = 0;
    // Queued alerts not yet sent nor set aside, oldest first.
    virtual std::optional<std::vector<Alert>> unsent() = 0;
    // The site's alerts set aside at or after `since`, oldest first, each
    // with its refusals and the server's last words.
    virtual std::optional<std::vector<Alert>> set_aside(const std::string& site, std::time_t since) = 0;

    // A send of the waiting alert begins at `when`.
    virtual bool mark_sending(const std::string& uid, std::time_t when) = 0;
    // The alert was accepted by the mail server at `when`. False when it
    // was not waiting (sent already, set aside, or unknown), or could not
    // be written.
    virtual bool mark_sent(const std::string& uid, std::time_t when) = 0;
    // The server did not take it; `setAside` says whether this refusal set
    // it aside. False when it was not waiting, or could not be written.
    virtual bool mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) = 0;

    // Why the last call failed, in words.
    virtual std::string error() const = 0;
};
