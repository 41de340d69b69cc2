// The monitor's store when its logbook is a team server: the rounds go into
// the server's logbook with their surveys, and each outcome is also copied
// into this machine's file afterwards (mirror()). While the server is away,
// a round falls back to that file, as every run then does, and compares
// with the copy there, not with nothing; back on the server, the newer of
// the two outcomes counts, and the alerts that waited in the file go too.
// So neither a change found during the absence nor an unchanged fault is
// mailed twice.
#pragma once

#include "monitor_store.h"

#include <set>
#include <vector>

class MirroredMonitorStore final : public MonitorStore {
public:
    // `main`: the server's; `local`: this machine's file.
    MirroredMonitorStore(MonitorStore& main, MonitorStore& local) : main_(main), local_(local) {}

    bool site_state(const std::string& site, SiteState* state) override;
    std::optional<std::vector<KnownSite>> sites() override;
    // Into the server's logbook; the copy waits for settle().
    bool commit(const SiteRound& round) override;
    // The transaction that held the commits ended: when it was kept, each
    // round's outcome and digest mark go into this machine's file too; else
    // they are dropped. What could not be copied, in words ("" when all
    // was): the file then holds an older outcome.
    std::string settle(bool kept);
    std::optional<std::vector<Alert>> unsent() override;
    std::optional<std::vector<Alert>> set_aside(const std::string& site, std::time_t since) override;
    bool mark_sending(const std::string& uid, std::time_t when) override { return holder(uid).mark_sending(uid, when); }
    bool mark_sent(const std::string& uid, std::time_t when) override { return holder(uid).mark_sent(uid, when); }
    bool mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) override {
        return holder(uid).mark_not_taken(uid, how, setAside);
    }
    std::string error() const override { return error_; }

private:
    MonitorStore& holder(const std::string& uid) { return localUids_.count(uid) ? local_ : main_; }
    bool failed(const MonitorStore& store) {
        error_ = store.error();
        return false;
    }

    MonitorStore& main_;
    MonitorStore& local_;
    std::set<std::string> localUids_;   // the waiting alerts that the file holds
    std::vector<SiteRound> pending_;    // committed, not yet copied
    std::string error_;
};
